#pragma once

#include "editions/edition.h"
#include "model/controller_config.h"

#include <QByteArray>
#include <QString>

#include <stdexcept>
#include <vector>

// Configuration files: every value the full write sends, as readable JSON. A file is checked in
// full before any of it is used, and saved through a temporary file.
namespace alarmcfg {

class FormMain;

inline constexpr int configFormatVersion = 1;
inline constexpr qint64 maxConfigFileBytes = 1 << 20;

// Why a configuration could not be saved or opened; the message names the file or the field.
class ConfigFileError : public std::runtime_error {
public:
    explicit ConfigFileError(const QString &message);
    QString message() const { return message_; }

private:
    QString message_;
};

// A configuration as a file's text, numbers as the register values the write sends. An input's
// alarm text is saved up to its first NUL, as the window shows it. An absent all-on or all-off
// command is left out. Throws ConfigFileError only for a range with no selection; other values
// the write refuses are saved as they are (a controller's configuration is never lost for them),
// and opening the file names them.
QByteArray configurationJson(const Edition &edition, const ControllerConfig &config);

// Checks a file's text in full against the edition and the write's checks. The all-on and all-off
// commands may be missing (older backups): they stay absent. Throws ConfigFileError.
ControllerConfig configurationFromJson(const Edition &edition, const QByteArray &json);

// The same, to and from a file. Saving replaces the target only once the whole file is written.
void saveConfiguration(const Edition &edition, const ControllerConfig &config, const QString &path);
ControllerConfig openConfiguration(const Edition &edition, const QString &path);

// The window's side: what its boxes hold, saved; a file, checked before any of it is shown, shown
// as a read-back would (an absent command leaves its box as it is). Throws ConfigFileError, also
// for a number box outside a register's range, leaving the window as it was.
QByteArray configurationJson(const FormMain &form);
void applyConfigurationJson(FormMain &form, const QByteArray &json);
void saveConfiguration(const FormMain &form, const QString &path);
void openConfiguration(FormMain &form, const QString &path);

// One value that a file and a controller hold differently, each as a file writes it (JSON).
struct ConfigDifference {
    QString windowName;
    QString fileValue;
    QString controllerValue;
};

// The file at `path` checked as opening it would be, except for the values the write refuses: a
// controller may hold those, and a file read from it carries them. Throws ConfigFileError.
ControllerConfig comparedConfiguration(const Edition &edition, const QString &path);

// The values `file` holds and `controller` holds otherwise, value by value as a file holds them,
// in the file's order, each named as the window names it; a value the file leaves out asks nothing.
std::vector<ConfigDifference> configDifferences(const Edition &edition, const ControllerConfig &file,
                                                const ControllerConfig &controller);

// "继电器1 开启命令：文件 "开灯"，控制器 "开门"", one line.
QString differenceLine(const ConfigDifference &difference);

// Throws ConfigFileError when a configuration could not be saved at `path`; changes nothing.
void checkSavable(const QString &path);

} // namespace alarmcfg
