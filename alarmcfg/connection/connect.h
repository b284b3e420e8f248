#pragma once

#include "connection/link.h"
#include "editions/edition.h"

#include <QString>

namespace alarmcfg {

class FormMain;

inline const QString noControllerMessage =
    QStringLiteral("设备未连接或设备初始化尚未完成，请稍后重试！");

// The read-back after connecting stopped because the controller fell silent.
inline const QString readBackFailedMessage = QStringLiteral("读取控制器参数失败，请检查设备连接！");

inline constexpr unsigned long settleAfterProbeMs = 100;

// What the status line says while and after connecting; %1 is the device (with the model once it
// is being connected), %2 the firmware version.
struct ConnectStatus {
    static inline const QString connecting = QStringLiteral("正在连接 %1…");
    static inline const QString notOpened = QStringLiteral("未连接：无法打开 %1");
    static inline const QString noController = QStringLiteral("未连接：%1 上没有控制器应答");
    static inline const QString readingAll = QStringLiteral("已连接 %1，正在读取全部参数…");
    static inline const QString connected = QStringLiteral("已连接 %1，固件版本 %2");
};

// "COM1（模拟量型号）": the port with the model this program speaks to.
QString portWithModel(const QString &port, const Edition &edition);

// Connects (open the chosen port, probe, start polling, full read-back) or disconnects, by
// IsConnected.
void cmdConnect_Click(FormMain &form);

// Connects `link` to the controller at `port` (a name the command line accepts) as the button
// connects the window, without the read-back; a missing port, a silent controller or an old
// firmware has said why when this is false.
bool connectLink(ControllerLink &link, const Edition &edition, const QString &port);

} // namespace alarmcfg
