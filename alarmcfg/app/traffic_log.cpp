#include "app/traffic_log.h"

#include "modbus/modbus.h"

namespace alarmcfg {

namespace {

QString hexOrDash(const QByteArray &bytes)
{
    return bytes.isEmpty() ? QStringLiteral("-") : QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QString resultOf(const RequestOutcome &outcome, const QString &portFailure)
{
    switch (outcome.kind) {
    case RequestOutcome::Kind::Answered: return QStringLiteral("ok");
    case RequestOutcome::Kind::Failed: return QStringLiteral("error %1").arg(qint16(outcome.error));
    case RequestOutcome::Kind::Busy: return QStringLiteral("busy");
    case RequestOutcome::Kind::NotSent: return QStringLiteral("not sent");
    case RequestOutcome::Kind::PortFailed: return QStringLiteral("port failed: %1").arg(portFailure);
    }
    return QStringLiteral("unknown");
}

} // namespace

TrafficLogError::TrafficLogError(const QString &message)
    : std::runtime_error(message.toStdString())
    , message_(message)
{
}

TrafficLog::TrafficLog(const QString &path)
    : file_(path)
{
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        throw TrafficLogError(QStringLiteral("无法打开通信记录文件 %1：%2").arg(path, file_.errorString()));
}

void TrafficLog::observe(modbus &component)
{
    component.setTrafficObserver(
        [this, &component](const QByteArray &request, const QByteArray &reply, const RequestOutcome &outcome) {
            append(lineFor(QDateTime::currentDateTimeUtc(), request, reply, outcome, component.lastPortFailure()));
        });
}

QString TrafficLog::lineFor(const QDateTime &time, const QByteArray &request, const QByteArray &reply,
                            const RequestOutcome &outcome, const QString &portFailure)
{
    return QStringList{time.toString(Qt::ISODateWithMs), hexOrDash(request), hexOrDash(reply),
                       resultOf(outcome, portFailure)}
        .join(QLatin1Char('\t'));
}

void TrafficLog::append(const QString &line)
{
    file_.write((line + QLatin1Char('\n')).toUtf8());
    file_.flush();
}

} // namespace alarmcfg
