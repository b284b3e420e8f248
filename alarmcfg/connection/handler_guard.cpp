#include "connection/handler_guard.h"

#include "connection/link.h"
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

namespace {

// Notes whether the component raised any event while the witness lives; disconnects on every exit,
// also when the request throws.
class EventWitness {
public:
    explicit EventWitness(modbus *component)
        : connections{
              QObject::connect(component, &modbus::FC03ReadHoldingRegisterRespond4X, noteEvent()),
              QObject::connect(component, &modbus::FC06PresetSingleRegisterRespond4X, noteEvent()),
              QObject::connect(component, &modbus::FC16PresetMultiRegisterRespond4X, noteEvent()),
              QObject::connect(component, &modbus::CommPortEventError, noteEvent()),
          }
    {
    }
    ~EventWitness()
    {
        for (const QMetaObject::Connection &connection : connections)
            QObject::disconnect(connection);
    }
    EventWitness(const EventWitness &) = delete;
    EventWitness &operator=(const EventWitness &) = delete;

    bool eventRaised() const { return raised; }

private:
    std::function<void()> noteEvent()
    {
        return [this] { raised = true; };
    }

    bool raised = false;
    std::array<QMetaObject::Connection, 4> connections;
};

} // namespace

bool sendRequest(FormMain &form, const std::function<bool()> &request)
{
    const EventWitness witness(form.modbus1);
    const bool answered = request();
    if (!answered && !witness.eventRaised() && form.IsConnected)
        throw SerialPortError("request could not be sent");
    return answered;
}

} // namespace alarmcfg
