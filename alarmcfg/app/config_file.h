#pragma once

#include <QByteArray>
#include <QString>

#include <stdexcept>

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
QByteArray configurationJson(const FormMain &form);

// Checks a file's text in full against the window's edition and the write's checks, then fills
// the window as a read-back would. Throws ConfigFileError, leaving the window as it was.
void applyConfigurationJson(FormMain &form, const QByteArray &json);

// The same, to and from a file. Saving replaces the target only once the whole file is written.
void saveConfiguration(const FormMain &form, const QString &path);
void openConfiguration(FormMain &form, const QString &path);

// Throws ConfigFileError when a configuration could not be saved at `path`; changes nothing.
void checkSavable(const QString &path);

} // namespace alarmcfg
