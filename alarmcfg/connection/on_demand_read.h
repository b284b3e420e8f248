#pragma once

#include <QString>

namespace alarmcfg {

class FormMain;

inline const QString readSucceededMessage = QStringLiteral("读取继电器命令成功！");
inline const QString readFailedMessage = QStringLiteral("读取继电器命令失败，请检查设备连接！");
// The status line while reading and afterwards; %1 names the groups the read fills.
inline const QString readingStatus = QStringLiteral("正在读取…");
inline const QString readStatus = QStringLiteral("已重新读取：%1");

// Reads the edition's texts and settings again; tells whether every read was answered.
void cmdRelayRead_Click(FormMain &form);

} // namespace alarmcfg
