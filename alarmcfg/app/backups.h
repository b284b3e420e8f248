#pragma once

#include <QDateTime>
#include <QString>

// After every connect the program keeps what it read from the controller as a configuration file,
// so that one click (恢复出厂, 设置 of the wrong file) never loses a controller's configuration.
namespace alarmcfg {

class FormMain;

inline constexpr int keptBackups = 100;

// The program's backups folder in the platform's application data location.
QString backupFolder();

// "20261207-203015-COM1.json": the local time and the port; a typed device path is made safe
// for a file name ("/dev/ttyUSB0" gives "dev_ttyUSB0").
QString backupFileName(const QDateTime &time, const QString &port);

// Saves the values connecting read (without the all-on and all-off commands) into `folder`,
// creating it, then deletes the oldest backups beyond keptBackups, never the one just saved.
// The folder and the file are the user's alone (0700, 0600). Returns the file's path.
// Throws ConfigFileError.
QString saveBackup(const FormMain &form, const QString &folder, const QDateTime &time);

// After each connect's read-back the window saves a backup into `folder` and its status line
// names it; a read-back with unanswered requests is not saved, since the window then holds
// values the controller does not.
void keepBackupsAfterConnect(FormMain &form, const QString &folder);

} // namespace alarmcfg
