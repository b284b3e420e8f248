#include "connection/handler_guard.h"

#include "connection/link_loss.h"
#include "window/form_main.h"

#include "modbus/modbus.h"
#include "modbus/serial_port.h"

#include <array>

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
    bool eventRaised = false;
    const auto seen = [&eventRaised] { eventRaised = true; };
    modbus *component = form.modbus1;
    const std::array connections{
        QObject::connect(component, &modbus::FC03ReadHoldingRegisterRespond4X, seen),
        QObject::connect(component, &modbus::FC06PresetSingleRegisterRespond4X, seen),
        QObject::connect(component, &modbus::FC16PresetMultiRegisterRespond4X, seen),
        QObject::connect(component, &modbus::CommPortEventError, seen),
    };
    const bool answered = request();
    for (const QMetaObject::Connection &connection : connections)
        QObject::disconnect(connection);
    if (!answered && !eventRaised && form.IsConnected)
        throw SerialPortError("request could not be sent");
    return answered;
}

} // namespace alarmcfg
