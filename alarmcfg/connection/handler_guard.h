#pragma once

#include <functional>

namespace alarmcfg {

class FormMain;

// Runs one handler that talks to the controller. Nothing runs once the program is ending; a port
// that fails under the handler ends its sequence and gives up the connection, so no exception
// reaches the event loop.
void runHandler(FormMain &form, const std::function<void()> &handler);

} // namespace alarmcfg
