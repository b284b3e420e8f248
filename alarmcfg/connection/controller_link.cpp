#include "connection/controller_link.h"

#include "modbus/modbus.h"

#include <QStringList>

#include <algorithm>
#include <utility>

namespace alarmcfg {

ControllerLink::ControllerLink(modbus &component, LinkView view)
    : ControllerLink(component, ownConnected_, ownTally_, std::move(view))
{
}

ControllerLink::ControllerLink(modbus &component, bool &connected, RequestTally &tally, LinkView view)
    : component(component), connected(connected), tally(tally), view(std::move(view))
{
}

void closePortQuietly(modbus &component)
{
    try {
        component.ClosePort();
    } catch (const SerialPortError &) {
        // The device is gone; there is nothing left to close.
    }
}

QString connectionLostMessage(const QString &reason, const QString &cutShort)
{
    QStringList lines{portFailureMessage, cutShort, reason};
    lines.removeAll(QString());
    return lines.join(QLatin1Char('\n'));
}

void goOnline(ControllerLink &link)
{
    link.connected = true;
    link.view.wentOnline();
}

void dropConnection(ControllerLink &link, const QString &message, const QString &status)
{
    closePortQuietly(link.component);
    link.connected = false;
    link.view.wentOffline();
    link.view.showStatus(status);
    link.view.showMessage(message);
}

void dropConnection(ControllerLink &link, const QString &message)
{
    dropConnection(link, message, linkLostStatus.arg(QString(message).replace(QLatin1Char('\n'), QLatin1Char(' '))));
}

QString failureNote(const RequestTally &tally)
{
    if (tally.unanswered == 0)
        return {};
    return QStringLiteral("（%1 个请求中 %2 个失败）").arg(tally.sent).arg(tally.unanswered);
}

QVector<qint16> repliedRegisters(const QVector<qint16> &data, qint16 count)
{
    return data.first(std::clamp<qsizetype>(count, 0, data.size()));
}

ReadRepliesTo::ReadRepliesTo(modbus &component, Take take)
    : connection_(QObject::connect(
          &component, &modbus::FC03ReadHoldingRegisterRespond4X, &component,
          [take = std::move(take)](qint16, qint16, qint16 &, qint16 startAddress, QVector<qint16> &data,
                                   qint16 count) { take(startAddress, repliedRegisters(data, count)); },
          Qt::DirectConnection))
{
}

ReadRepliesTo::~ReadRepliesTo()
{
    QObject::disconnect(connection_);
}

} // namespace alarmcfg
