#include "simulator_log.h"

#include <QFile>
#include <QJsonDocument>

#include <stdexcept>

namespace bench {

SimulatorLog::SimulatorLog(QString logPath) : path(std::move(logPath)) {}

QList<QJsonObject> SimulatorLog::takeNewRequests()
{
    QFile log(path);
    if (!log.open(QIODevice::ReadOnly) || !log.seek(consumed))
        throw std::runtime_error(("cannot read the simulator log " + path).toStdString());
    QList<QJsonObject> requests;
    while (!log.atEnd()) {
        const QByteArray line = log.readLine();
        if (!line.endsWith('\n'))
            break; // still being written; the next call takes it whole
        consumed += line.size();
        const QJsonObject entry = QJsonDocument::fromJson(line).object();
        if (entry.contains(QStringLiteral("fn")))
            requests << entry;
    }
    return requests;
}

} // namespace bench
