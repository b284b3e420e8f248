#pragma once

#include <QString>

namespace alarmcfg {

class FormMain;

// The connect button's caption once a connection has ended.
inline const QString disconnectedCaption = QStringLiteral("链接");
// Shown by every handler that needs a connection when there is none.
inline const QString connectFirstMessage = QStringLiteral("请链接设备");
inline const QString portFailureMessage = QStringLiteral("串口通信错误，连接已断开！");

// The lost-connection message, with the port's reason on a second line when there is one.
QString connectionLostMessage(const QString &reason);

// Gives up the connection after the port failed or the controller fell silent: closes the port
// (a port that fails again while closing is closed all the same), stops polling and the watchdog,
// shows the disconnected caption, clears IsConnected, then tells the user `message`.
void dropConnection(FormMain &form, const QString &message);

} // namespace alarmcfg
