#pragma once

namespace alarmcfg {

class FormMain;

// Connects the connect, relay and read buttons, both timers and the component's read and
// single-write replies to their handlers.
void connectConnectionHandlers(FormMain &form);

} // namespace alarmcfg
