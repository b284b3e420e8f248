#include "connection/handler_guard.h"

#include "connection/link.h"
#include "window/form_main.h"

#include "modbus/modbus.h"
#include "modbus/serial_port.h"

namespace alarmcfg {

void runHandler(FormMain &form, const std::function<void()> &handler, const QString &cutShort)
{
    if (form.isEnding())
        return;
    try {
        handler();
    } catch (const SerialPortError &e) {
        dropConnection(form, connectionLostMessage(QString::fromUtf8(e.what()), cutShort));
    }
}

namespace {

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
    const WithheldMessages withheld(form);
    const bool answered = request();
    ++form.requestTally.sent;
    form.requestTally.unanswered += answered ? 0 : 1;
    if (!form.modbus1->lastRequestOutcome().raisedEvent() && connected)
        throw SerialPortError(form.modbus1->lastPortFailure().toStdString());
    return answered;
}

} // namespace alarmcfg
