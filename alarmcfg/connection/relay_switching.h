#pragma once

#include <QtGlobal>

namespace alarmcfg {

class FormMain;

// The relay register after pressing relay `relay`'s button: switching on sets its bit and keeps
// the rest; switching off clears it and drops bits 8 to 15.
qint16 relayStateAfterToggle(qint16 state, int relay);

// Switches relay `relay`: colour first, polling paused while register 5 is written, then resumed
// (while connected) whether or not the controller answered.
void cmdRelay_Click(FormMain &form, int relay);

// Any function 6 reply: polling goes on.
void FC06PresetSingleRegisterRespond4X(FormMain &form);

} // namespace alarmcfg
