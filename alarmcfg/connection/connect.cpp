#include "connection/connect.h"

#include "connection/handler_guard.h"
#include "connection/link_loss.h"
#include "connection/port_choice.h"
#include "connection/read_sequence.h"
#include "window/form_main.h"

#include "modbus/modbus.h"

#include <QPushButton>
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

void startPolling(FormMain &form)
{
    form.Timer1->setInterval(pollingPeriodMs);
    form.Timer1->setEnabled(true);
    form.ui.cmdConnect->setText(connectedCaption);
    form.IsConnected = true;
}

void connectController(FormMain &form)
{
    applyChosenPort(form);
    if (!form.modbus1->OpenPort())
        return; // the component has said why
    if (probe(form)) {
        startPolling(form);
        rememberPort(form);
        runReadSequence(form, form.edition().readBack);
    } else if (!form.isEnding()) {
        form.showMessage(noControllerMessage);
        form.modbus1->ClosePort();
    }
}

void disconnectController(FormMain &form)
{
    form.modbus1->ClosePort();
    form.Timer1->setEnabled(false);
    form.Timer2->setEnabled(false); // a watchdog armed while connected must not fire afterwards
    form.ui.cmdConnect->setText(disconnectedCaption);
    form.IsConnected = false;
}

} // namespace

void cmdConnect_Click(FormMain &form)
{
    runHandler(form, [&form] {
        if (form.IsConnected)
            disconnectController(form);
        else
            connectController(form);
    });
}

} // namespace alarmcfg
