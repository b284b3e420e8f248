#pragma once

#include "connection/link.h"

#include <QString>

namespace alarmcfg {

class FormMain;

inline const QString watchdogMessage = QStringLiteral("设备链接超时，请检查设备是否链接正常");

// Reads the status block, then arms the watchdog unless it is already counting down: every read
// reply stops it, so it fires only after a silence of its whole period.
void Timer1_Tick(FormMain &form);

// The controller has fallen silent: give up the connection.
void Timer2_Tick(FormMain &form);

} // namespace alarmcfg
