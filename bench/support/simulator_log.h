#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

namespace bench {

// Reads a simulator request log (JSON lines) as it grows.
class SimulatorLog {
public:
    explicit SimulatorLog(QString path);

    // The request entries logged since the last call; runs of discarded bytes are left out.
    // Throws std::runtime_error when the log cannot be read.
    QList<QJsonObject> takeNewRequests();

private:
    QString path;
    qint64 consumed = 0;
};

} // namespace bench
