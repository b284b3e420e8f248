#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <stdexcept>
#include <vector>

// Configuration files: every value the full write sends, as readable JSON. A file is checked in
// full before any of it reaches the window, and saved through a temporary file.
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

// The window's values as a file's text, numbers as the register values the write would send.
// An input's alarm text is saved up to its first NUL, as the window shows it: a slot read back
// keeps its zero bytes and whatever follows them, which the controller never shows.
// Throws ConfigFileError only for what a file cannot hold: a number outside the register's
// range, a range with no selection. Other values the write refuses are saved as they are (a
// controller's configuration is never lost for them); opening the file names them.
// ReadBack leaves out the values connecting does not read from the controller (the all-on and
// all-off commands), so a backup holds only what the controller held.
enum class ConfigContent { Everything, ReadBack };
QByteArray configurationJson(const FormMain &form, ConfigContent content = ConfigContent::Everything);

// Checks a file's text in full against the window's edition and the write's checks, then fills
// the window as a read-back would. Values connecting does not read may be missing: their boxes
// keep what they hold. Throws ConfigFileError, leaving the window as it was.
void applyConfigurationJson(FormMain &form, const QByteArray &json);

// The same, to and from a file. Saving replaces the target only once the whole file is written.
void saveConfiguration(
    const FormMain &form, const QString &path, ConfigContent content = ConfigContent::Everything);
void openConfiguration(FormMain &form, const QString &path);

// One value that a file and a controller hold differently, each as a file writes it (JSON).
struct ConfigDifference {
    QString windowName;
    QString fileValue;
    QString controllerValue;
};

// Compares the file at `path` with what `controller` holds after a read-back, value by value as
// a file holds them, so a file saved from the same values has none. The file is checked as opening
// it would be, except for the values the write refuses: a controller may hold those, and a file
// read from it carries them. Throws ConfigFileError for a file that cannot be read or checked.
std::vector<ConfigDifference> differencesFromFile(const FormMain &controller, const QString &path);

// The file's values as the window shows them, exactly as typed, to put back after a read that
// must leave the window as the user left it.
class WindowSnapshot {
public:
    explicit WindowSnapshot(const FormMain &form);
    void restore(FormMain &form) const;

private:
    std::vector<QVariant> values_; // one per field of the edition's layout
};

// "继电器1 开启命令：文件 "开灯"，控制器 "开门"", one line.
QString differenceLine(const ConfigDifference &difference);

// Throws ConfigFileError when a configuration could not be saved at `path`; changes nothing.
void checkSavable(const QString &path);

} // namespace alarmcfg
