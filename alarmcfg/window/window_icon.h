#pragma once

#include <QIcon>

namespace alarmcfg {

// The program icon, drawn at 16 and 32 pixels: a message bubble with an alarm mark.
QIcon applicationIcon();

} // namespace alarmcfg
