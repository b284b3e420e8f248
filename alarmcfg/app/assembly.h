#pragma once

namespace alarmcfg {

class FormMain;

// Makes a freshly built window a working program: sets how a refusal ends it, connects every
// button, selector, timer and the component's replies to their handlers, then runs the load
// handling. Nothing is sent until the
// user connects.
void assembleWindow(FormMain &form);

} // namespace alarmcfg
