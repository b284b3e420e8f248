#pragma once

#include "editions/edition.h"

#include <QString>

#include <optional>
#include <vector>

// Where each value of a configuration file lives in the window: one table per edition, built
// from the edition's data, read by one code path for both programs.
namespace alarmcfg {

// How a value is held in the window and in the file.
enum class ValueKind {
    Text,        // QLineEdit text; a JSON string
    Number,      // QLineEdit holding a register value; a JSON integer
    DIAlarmSlot, // a slot of the DIAlarmText buffer; a JSON string
    PhoneList,   // lstPhone entries; a JSON array of strings
    Range,       // cmbRangeSel selection; a JSON string, one of the list's items
    Option,      // check box; JSON true or false
};

struct ConfigField {
    QString path;   // in the file: "relays[0].open", "temperature.high"
    QString widget; // objectName; "DIAlarmText_k" for slot k of the buffer
    ValueKind kind;
    std::optional<Field> writeField; // the write block the value goes into; none: the password
    int writeIndex;                  // relay, slot or channel; position in a numeric block
    QString windowName;              // what the window calls it: "继电器1 开启命令"
};

struct ConfigLayout {
    QString editionName; // "analog" / "th"
    std::vector<ConfigField> fields;
};

// The file layout of an edition; throws std::invalid_argument for an edition without one.
ConfigLayout configLayout(const Edition &edition);

// The window's name for a file path of the layout, "手机号码 第2个" for "phones[1]"; a path the
// layout does not hold is returned as it is.
QString windowNameOf(const ConfigLayout &layout, const QString &path);

// The program that opens files of `editionName` ("alarmcfg_th" for "th"); empty for no edition.
QString programOpening(const QString &editionName);

} // namespace alarmcfg
