#pragma once

#include "connection/controller_link.h"

#include <QString>

namespace alarmcfg {

class FormMain;

inline constexpr int pollingPeriodMs = 1000;
// How long polls may go unanswered before the connection is given up.
inline constexpr int watchdogPeriodMs = 5000;

// The one owner of the link state: the port, IsConnected, the connect button's caption, polling
// (Timer1) and the watchdog (Timer2) change together here and nowhere else.

// The window's link: its modbus1, IsConnected and request tally, shown in its widgets. Made for
// each operation; it holds nothing of its own.
ControllerLink windowLink(FormMain &form);

// The live values (txtAI, the input indicators, the firmware version) keep their last reading but
// are shown disabled while there is no connection, so nobody takes a dead value for a live one.
// The relay buttons stay usable: they are switches, and a click while disconnected keeps its answer.
void showLiveValuesCurrent(FormMain &form, bool current);

// The controller answered the probe: starts polling and shows the connected caption.
void goOnline(FormMain &form);

// The user disconnects: closes the port, stops polling and the watchdog, shows the disconnected
// caption. A port that fails while closing throws SerialPortError, so the user learns of it.
void goOffline(FormMain &form);

// Gives up the connection after the port failed or the controller fell silent: closes the port
// (a port that fails again while closing is closed all the same), stops polling and the watchdog,
// shows the disconnected caption, clears IsConnected, then tells the user `message`.
void dropConnection(FormMain &form, const QString &message);
// The same with its own words for the status line.
void dropConnection(FormMain &form, const QString &message, const QString &status);

// The program is ending: stops both timers and closes the port quietly.
void releaseLink(FormMain &form);

// A read reply arrived: the watchdog starts its countdown afresh from the next poll.
void heardFromController(FormMain &form);

// Starts the watchdog after a poll unless it is already counting down (or there is no
// connection), so it fires only after a silence of its whole period.
void armWatchdog(FormMain &form);

} // namespace alarmcfg
