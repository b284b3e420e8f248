#include "connection/connect.h"

#include "connection/handler_guard.h"
#include "connection/link.h"
#include "connection/read_sequence.h"
#include "window/form_main.h"
#include "window/widget_state.h"

#include "modbus/modbus.h"

#include <QComboBox>
#include <QThread>

namespace alarmcfg {

namespace {

// Port n is list position n-1; typed text that is no list item gives 0, which cannot be opened.
int chosenPortNumber(const FormMain &form)
{
    return selectedIndex(form.ui.cmbComSel) + 1;
}

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
    form.modbus1->setCommPort(chosenPortNumber(form));
    if (!form.modbus1->OpenPort())
        return; // the component has said why
    if (probe(form)) {
        goOnline(form);
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
