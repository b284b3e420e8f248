#pragma once

#include "editions/edition.h"
#include "model/controller_config.h"

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

// Saves `config`, read from the controller at `port`, into `folder`, creating it, then deletes
// the oldest backups beyond keptBackups, never the one just saved. The folder and the file are
// the user's alone (0700, 0600). Returns the file's path. Throws ConfigFileError.
QString saveBackup(const Edition &edition, const ControllerConfig &config, const QString &port,
                   const QString &folder, const QDateTime &time);

// After each connect's read-back the window reads the all-on and all-off commands for the backup
// (its boxes keep theirs), saves what connecting read with them into `folder`, and its status
// line names the file. A command not answered is left out of the file, so writing it leaves the
// controller's own. A read-back with unanswered requests is not saved, since the window then
// holds values the controller does not.
void keepBackupsAfterConnect(FormMain &form, const QString &folder);

} // namespace alarmcfg
