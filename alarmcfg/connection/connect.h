#pragma once

#include "connection/link.h"

#include <QString>

namespace alarmcfg {

class FormMain;

inline const QString noControllerMessage =
    QStringLiteral("设备未连接或设备初始化尚未完成，请稍后重试！");

inline constexpr unsigned long settleAfterProbeMs = 100;

// Connects (open the chosen port, probe, start polling, full read-back) or disconnects, by
// IsConnected.
void cmdConnect_Click(FormMain &form);

// Connects as the button does but without the read-back, for callers that fill the window
// themselves; does nothing while connected.
void connectWithoutReadBack(FormMain &form);

} // namespace alarmcfg
