#include "simulator.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>

#include <csignal>

namespace {

constexpr int startTimeoutMs = 10000;
constexpr int stopTimeoutMs = 10000;
constexpr int imageSize = 1300;

QJsonDocument readJson(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()) : QJsonDocument();
}

} // namespace

Simulator::Simulator() = default;

Simulator::~Simulator()
{
    if (isRunning())
        kill();
    if (portNumber > 0)
        qunsetenv(qPrintable(QStringLiteral("MODBUS_COM%1").arg(portNumber)));
}

void Simulator::setPortNumber(int number)
{
    portNumber = number;
    exportPort();
}

void Simulator::exportPort() const
{
    if (portNumber > 0 && !path.isEmpty())
        qputenv(qPrintable(QStringLiteral("MODBUS_COM%1").arg(portNumber)), path.toLocal8Bit());
}

bool Simulator::start(const QStringList &arguments)
{
    path.clear();
    error.clear();
    process.start(QStringLiteral(ALARMSIM_PATH),
                  arguments + QStringList{"--log", logPath(), "--state", statePath()});
    QDeadlineTimer deadline(startTimeoutMs);
    while (!process.canReadLine() && process.state() != QProcess::NotRunning && !deadline.hasExpired())
        process.waitForReadyRead(int(deadline.remainingTime()));
    if (!process.canReadLine()) {
        process.waitForFinished(1000);
        error = QStringLiteral("alarmsim printed no device path: ") +
                QString::fromLocal8Bit(process.readAllStandardError());
        return false;
    }
    path = QString::fromLocal8Bit(process.readLine()).trimmed();
    exportPort();
    return true;
}

bool Simulator::stop()
{
    if (!isRunning())
        return false;
    ::kill(pid_t(process.processId()), SIGTERM);
    const bool ended = process.waitForFinished(stopTimeoutMs);
    return ended && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

void Simulator::kill()
{
    process.kill();
    process.waitForFinished(stopTimeoutMs);
}

bool Simulator::isRunning() const
{
    return process.state() != QProcess::NotRunning;
}

QString Simulator::statePath() const
{
    return dir.filePath(QStringLiteral("state.json"));
}

QString Simulator::logPath() const
{
    return dir.filePath(QStringLiteral("requests.jsonl"));
}

QList<SimulatorRequest> Simulator::requests() const
{
    QList<SimulatorRequest> out;
    QFile file(logPath());
    if (!file.open(QIODevice::ReadOnly))
        return out;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (!o.contains("fn"))
            continue; // blank line or discarded bytes
        SimulatorRequest r;
        r.t = o["t"].toDouble();
        r.slave = o["slave"].toInt();
        r.fn = o["fn"].toInt();
        r.addr = o["addr"].toInt();
        r.count = o["count"].toInt();
        for (const QJsonValue &v : o["values"].toArray())
            r.values << qint16(v.toInt());
        r.request = o["request"].toString();
        r.reply = o["reply"].toString();
        r.fault = o["fault"].toString();
        out << r;
    }
    return out;
}

QVector<qint16> Simulator::registers() const
{
    const QJsonDocument doc = readJson(statePath());
    if (doc.isNull())
        return {};
    QVector<qint16> image(imageSize, 0);
    for (const QJsonValue &row : doc.object()["registers"].toArray()) {
        const int address = row["address"].toInt();
        const QJsonArray values = row["values"].toArray();
        for (int i = 0; i < values.size() && address + i < imageSize; ++i)
            image[address + i] = qint16(values[i].toInt());
    }
    return image;
}

QString Simulator::registerText(int address, int registerCount) const
{
    const QVector<qint16> image = registers();
    QByteArray bytes;
    for (int i = address; i < address + registerCount && i < image.size(); ++i)
        bytes.append(char(quint16(image[i]) >> 8)).append(char(image[i] & 0xFF));
    const qsizetype end = bytes.indexOf('\0');
    QStringDecoder gbk("GBK");
    return gbk.decode(end < 0 ? bytes : bytes.left(end));
}
