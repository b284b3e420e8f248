#include "app/backups.h"

#include "app/config_file.h"
#include "connection/config_view.h"
#include "connection/read_configuration.h"
#include "window/form_main.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace alarmcfg {

namespace {

const QString timeFormat = QStringLiteral("yyyyMMdd-HHmmss");
// Only files of this form are backups the program may delete; anything else in the folder stays.
const QRegularExpression backupName(QStringLiteral("^\\d{8}-\\d{6}-.+\\.json$"));

QString safeForFileName(const QString &port)
{
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._-]+"));
    QString safe = QString(port).replace(unsafe, QStringLiteral("_"));
    while (safe.startsWith(QLatin1Char('_')) || safe.startsWith(QLatin1Char('.')))
        safe.remove(0, 1);
    return safe.isEmpty() ? QStringLiteral("port") : safe;
}

// A second connect within the same second gets its own file.
QString unusedPath(const QDir &dir, const QString &fileName)
{
    const QString stem = fileName.chopped(5); // ".json"
    QString candidate = fileName;
    for (int n = 2; dir.exists(candidate); ++n)
        candidate = QStringLiteral("%1-%2.json").arg(stem).arg(n);
    return dir.filePath(candidate);
}

// Names begin with the time, so the name order is the age order. The backup just written stays,
// also when the clock is behind the newest one.
void deleteOldestBeyondKept(QDir &dir, const QString &written)
{
    QStringList backups = dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name).filter(backupName);
    backups.removeAll(QFileInfo(written).fileName());
    while (backups.size() >= keptBackups)
        dir.remove(backups.takeFirst());
}

constexpr QFileDevice::Permissions userOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// Backups hold the command password: the folder is closed to others before anything is written
// into it, and each backup is the user's alone. Windows keeps others out of the user's profile.
void keepToUser([[maybe_unused]] const QString &path, [[maybe_unused]] QFileDevice::Permissions permissions)
{
#ifdef Q_OS_UNIX
    if (!QFile::setPermissions(path, permissions))
        throw ConfigFileError(QStringLiteral("无法限制 %1 的访问权限").arg(QDir::toNativeSeparators(path)));
#endif
}

// What connecting read, with the all-on and all-off commands read for the backup alone.
ControllerConfig backedUpConfig(FormMain &form)
{
    ControllerConfig config = collectConfig(form).config;
    config.allCommands = readAllCommands(form);
    return config;
}

QString backupStatus(FormMain &form, const QString &folder, bool complete)
{
    if (!complete)
        return QStringLiteral("；有请求未应答，未保存备份");
    const ControllerConfig config = backedUpConfig(form);
    const QString port = form.ui.cmbComSel->currentText().trimmed();
    try {
        const QString path = saveBackup(form.edition(), config, port, folder, QDateTime::currentDateTime());
        return QStringLiteral("；已备份为 %1").arg(QFileInfo(path).fileName());
    } catch (const ConfigFileError &error) {
        return QStringLiteral("；备份失败：%1").arg(error.message());
    }
}

} // namespace

QString backupFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/backups");
}

QString backupFileName(const QDateTime &time, const QString &port)
{
    return QStringLiteral("%1-%2.json").arg(time.toString(timeFormat), safeForFileName(port));
}

QString saveBackup(const Edition &edition, const ControllerConfig &config, const QString &port,
                   const QString &folder, const QDateTime &time)
{
    QDir dir(folder);
    if (!dir.mkpath(QStringLiteral(".")))
        throw ConfigFileError(QStringLiteral("无法创建备份文件夹 %1").arg(QDir::toNativeSeparators(folder)));
    keepToUser(dir.absolutePath(), userOnly | QFileDevice::ExeOwner);
    const QString path = unusedPath(dir, backupFileName(time, port));
    saveConfiguration(edition, config, path);
    keepToUser(path, userOnly);
    deleteOldestBeyondKept(dir, path);
    return path;
}

void keepBackupsAfterConnect(FormMain &form, const QString &folder)
{
    form.afterConnectReadBack = [&form, folder](bool complete) { return backupStatus(form, folder, complete); };
}

} // namespace alarmcfg
