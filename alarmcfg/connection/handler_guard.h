#pragma once

#include <QString>

#include <functional>

namespace alarmcfg {

class FormMain;

// Runs one handler that talks to the controller. Nothing runs once the program is ending; a port
// that fails under the handler ends its sequence and gives up the connection, so no exception
// reaches the event loop. `cutShort` tells the user what the loss left unfinished, if anything.
void runHandler(FormMain &form, const std::function<void()> &handler, const QString &cutShort = {});

// Runs one request and returns its result. While connected, a request that could not even be
// sent (no reply event was raised) means the port is gone: it throws SerialPortError with the
// component's reason, so the sequence ends instead of every further request failing the same way,
// and the user hears of it once, as the lost connection.
bool sendRequest(FormMain &form, const std::function<bool()> &request);

} // namespace alarmcfg
