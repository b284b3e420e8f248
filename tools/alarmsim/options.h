#pragma once

#include "faults.h"
#include "register_image.h"
#include "serial_line.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <stdexcept>

namespace alarmsim {

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct PresetRegister {
    int address = 0;
    uint16_t value = 0;
};

struct Options {
    bool help = false;
    bool version = false;           // print alarmsim's own version
    std::optional<Edition> edition; // unset: the state file's, else analog
    QString device;                 // empty: a new pseudo-terminal
    QString statePath;
    QString logPath;
    std::optional<uint16_t> firmware;
    QList<PresetRegister> presets;
    bool frozen = false;
    FaultPlan faults;
    int baud = 0; // 0: replies leave at once
    Delivery delivery = Delivery::Byte;
    int usbLatencyMs = 16;
};

// Throws UsageError with a message for the user.
Options parseOptions(const QStringList &arguments);

QString helpText();

} // namespace alarmsim
