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
    } catch (const SerialPortError &e) {
        dropConnection(form, connectionLostMessage(QString::fromUtf8(e.what())));
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

// While connected, the component speaks only when a request could not be sent, which ends in
// the lost-connection message: its own message is withheld, so the user is told once.
class WithheldMessages {
public:
    explicit WithheldMessages(FormMain &form) : form(form)
    {
        if (form.IsConnected)
            form.modbus1->setMessageSink([](const QString &) {});
    }
    ~WithheldMessages()
    {
        form.modbus1->setMessageSink([&form = form](const QString &text) { form.showMessage(text); });
    }
    WithheldMessages(const WithheldMessages &) = delete;
    WithheldMessages &operator=(const WithheldMessages &) = delete;

private:
    FormMain &form;
};

} // namespace

bool sendRequest(FormMain &form, const std::function<bool()> &request)
{
    const bool connected = form.IsConnected;
    const EventWitness witness(form.modbus1);
    const WithheldMessages withheld(form);
    const bool answered = request();
    if (!answered && !witness.eventRaised() && connected)
        throw SerialPortError(form.modbus1->lastPortFailure().toStdString());
    return answered;
}

} // namespace alarmcfg
