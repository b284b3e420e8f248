#pragma once

#include "model/setting_values.h"

#include <QString>

namespace alarmcfg {

class FormMain;

inline constexpr int phoneNumberLength = 11;
inline constexpr int maxPhoneNumbers = 10;

inline const QString phoneLengthMessage = QStringLiteral("手机号长度必须为11！");
inline const QString phoneListFullMessage = QStringLiteral("手机号码设置最多数量为10！");
inline const QString selectPhoneMessage = QStringLiteral("请选择手机号码！");


// Appends txtPhone to lstPhone: 11 characters, at most 10 entries.
void cmdAddPhone_Click(FormMain &form);
// Removes the selected entry; the following ones move up.
void cmdDelPhone_Click(FormMain &form);

} // namespace alarmcfg
