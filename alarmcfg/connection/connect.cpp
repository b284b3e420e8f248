#include "connection/connect.h"

#include "connection/handler_guard.h"
#include "connection/link.h"
#include "connection/port_choice.h"
#include "connection/read_sequence.h"
#include "window/form_main.h"

#include "modbus/modbus.h"

#include <QThread>

namespace alarmcfg {

namespace {

// True when the controller answered the status read.
bool probe(FormMain &form)
{
    form.StatusSeen = false;
    readBlock(form, statusBlock);
    if (form.isEnding())
        return false;
    QThread::msleep(settleAfterProbeMs);
    return form.StatusSeen;
}

void connectController(FormMain &form)
{
    applyChosenPort(form);
    if (!form.modbus1->OpenPort())
        return; // the component has said why
    if (probe(form)) {
        goOnline(form);
        rememberPort(form);
        runReadSequence(form, form.edition().readBack);
    } else if (!form.isEnding()) {
        form.showMessage(noControllerMessage);
        form.modbus1->ClosePort();
    }
}

} // namespace

void cmdConnect_Click(FormMain &form)
{
    runHandler(form, [&form] {
        if (form.IsConnected)
            goOffline(form);
        else
            connectController(form);
    });
}

} // namespace alarmcfg
