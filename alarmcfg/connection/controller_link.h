#pragma once

#include "model/request_tally.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <functional>

class modbus;

namespace alarmcfg {

// What the user of a link sees of it. The window shows it in its widgets; the command line prints
// the messages and shows nothing else.
struct LinkView {
    std::function<void(const QString &text)> showMessage;
    std::function<void(const QString &text)> showStatus = [](const QString &) {};
    // The controller answered the probe; `connected` holds already.
    std::function<void()> wentOnline = [] {};
    // The connection was given up; `connected` no longer holds.
    std::function<void()> wentOffline = [] {};
    // Once it holds, nothing more is sent.
    std::function<bool()> isEnding = [] { return false; };
};

// A connection to the controller without any widget: the component that speaks to it, whether
// it answered (connected), the requests of the current operation and who hears of it. The command
// line owns one; the window makes one over its own state for each operation.
class ControllerLink {
public:
    // A link with its own state.
    ControllerLink(modbus &component, LinkView view);
    // A link over state kept elsewhere, such as the window's IsConnected and request tally.
    ControllerLink(modbus &component, bool &connected, RequestTally &tally, LinkView view);
    ControllerLink(const ControllerLink &) = delete;
    ControllerLink &operator=(const ControllerLink &) = delete;

private:
    // Before the references, which a link with its own state binds to these.
    bool ownConnected_ = false;
    RequestTally ownTally_;

public:
    modbus &component;
    bool &connected;
    RequestTally &tally;
    const LinkView view;
};

// The connect button's caption once a connection has ended.
inline const QString disconnectedCaption = QStringLiteral("链接");
// Shown by every handler that needs a connection when there is none.
inline const QString connectFirstMessage = QStringLiteral("请链接设备");
inline const QString portFailureMessage = QStringLiteral("串口通信错误，连接已断开！");
inline const QString connectedCaption = QStringLiteral("断开");
// The status line once a connection has ended.
inline const QString disconnectedStatus = QStringLiteral("已断开连接");
inline const QString linkLostStatus = QStringLiteral("连接已中断：%1");

// The lost-connection message: then, each on a line of its own when there is one, what the loss
// cut short and the port's reason.
QString connectionLostMessage(const QString &reason, const QString &cutShort = {});

// Closes the port; a port that fails while closing is closed all the same.
void closePortQuietly(modbus &component);

// The controller answered the probe: the link is connected and its view shows it online.
void goOnline(ControllerLink &link);

// Gives up the connection after the port failed or the controller fell silent: closes the port
// (a port that fails again while closing is closed all the same), shows the link offline with
// `status`, then tells the user `message`.
void dropConnection(ControllerLink &link, const QString &message, const QString &status);
// The same with the lost connection's words for the status line.
void dropConnection(ControllerLink &link, const QString &message);

// "（58 个请求中 3 个失败）" for the requests counted in `tally`; empty when none failed.
QString failureNote(const RequestTally &tally);

// The registers a read reply holds: the component's array carries one spare element.
QVector<qint16> repliedRegisters(const QVector<qint16> &data, qint16 count);

// Hands `take` each read reply the component raises while it lives, however the reads end.
class ReadRepliesTo {
public:
    using Take = std::function<void(int startAddress, const QVector<qint16> &registers)>;
    ReadRepliesTo(modbus &component, Take take);
    ~ReadRepliesTo();
    ReadRepliesTo(const ReadRepliesTo &) = delete;
    ReadRepliesTo &operator=(const ReadRepliesTo &) = delete;

private:
    QMetaObject::Connection connection_;
};

} // namespace alarmcfg
