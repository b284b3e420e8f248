#include "connection/relay_switching.h"

#include "connection/handler_guard.h"
#include "model/status_values.h"
#include "window/form_main.h"
#include "window/widget_state.h"

#include "modbus/modbus.h"

namespace alarmcfg {

namespace {

bool isOn(qint16 state, int relay)
{
    return (state & 0xFF & GetNumTbl(relay)) != 0;
}

void writeRelays(FormMain &form)
{
    form.Timer1->setEnabled(false);
    sendRequest(form, [&form] {
        return form.modbus1->FC06_PresetSingleRegister_4X(controllerSlave, relayRegister,
                                                          form.RelayState);
    });
    if (form.IsConnected && !form.isEnding())
        form.Timer1->setEnabled(true); // an unanswered write must not stop the live view for good
}

} // namespace

qint16 relayStateAfterToggle(qint16 state, int relay)
{
    const int bit = GetNumTbl(relay);
    return isOn(state, relay) ? qint16(state & 0xFF & ~bit) : qint16(state | bit);
}

void cmdRelay_Click(FormMain &form, int relay)
{
    runHandler(form, [&form, relay] {
        form.RelayState = relayStateAfterToggle(form.RelayState, relay);
        setIndicator(form.ui.cmdRelay.at(relay), isOn(form.RelayState, relay));
        writeRelays(form);
    });
}

void FC06PresetSingleRegisterRespond4X(FormMain &form)
{
    form.Timer1->setEnabled(true);
}

} // namespace alarmcfg
