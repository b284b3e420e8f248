#include "connection/handler_guard.h"

#include "connection/link.h"
#include "window/form_main.h"

#include "modbus/modbus.h"
#include "modbus/serial_port.h"

namespace alarmcfg {

void runHandler(FormMain &form, const std::function<void()> &handler)
{
    if (form.isEnding())
        return;
    try {
        handler();
    } catch (const SerialPortError &) {
        dropConnection(form, portFailureMessage);
    }
}

bool sendRequest(FormMain &form, const std::function<bool()> &request)
{
    const bool answered = request();
    if (!form.modbus1->lastRequestOutcome().raisedEvent() && form.IsConnected)
        throw SerialPortError("request could not be sent");
    return answered;
}

} // namespace alarmcfg
