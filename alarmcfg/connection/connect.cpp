#include "connection/connect.h"

#include "connection/handler_guard.h"
#include "connection/link.h"
#include "connection/port_choice.h"
#include "connection/read_sequence.h"
#include "connection/status_line.h"
#include "window/form_main.h"

#include "modbus/modbus.h"

#include <QComboBox>
#include <QLabel>
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

// The device the choice opens, or the typed text when it leads nowhere.
QString deviceName(const FormMain &form)
{
    const QString device = chosenDevice(form);
    return device.isEmpty() ? form.ui.cmbComSel->currentText() : device;
}

// True when a controller answered and polling runs.
bool openAndProbe(FormMain &form, const QString &device)
{
    applyChosenPort(form);
    if (!form.modbus1->OpenPort()) {
        showStatus(form, ConnectStatus::notOpened.arg(device)); // the component has said why
        return false;
    }
    if (probe(form)) {
        goOnline(form);
        rememberPort(form);
        return true;
    }
    if (!form.isEnding()) {
        showStatus(form, ConnectStatus::noController.arg(device));
        form.showMessage(noControllerMessage);
        form.modbus1->ClosePort();
    }
    return false;
}

void readEverything(FormMain &form, const QString &device)
{
    const QString shown = portWithModel(device, form.edition());
    showStatus(form, ConnectStatus::readingAll.arg(shown));
    const std::vector<ReadStep> &plan = form.edition().readBack;
    bool complete = false;
    if (!runSequence(form, requestCount(plan), {readBackFailedMessage}, [&] { complete = runReadSequence(form, plan); }))
        return;
    const bool keepValues = form.afterConnectReadBack && !form.isEnding();
    const QString afterwards = keepValues ? form.afterConnectReadBack(complete) : QString();
    showStatus(form, ConnectStatus::connected.arg(shown, form.ui.lblVertion->text()) + failureNote(form) + afterwards);
}

void connectController(FormMain &form)
{
    const QString device = deviceName(form);
    BusyStep busy(form, ConnectStatus::connecting.arg(portWithModel(device, form.edition())));
    if (openAndProbe(form, device))
        readEverything(form, device);
}

} // namespace

QString portWithModel(const QString &port, const Edition &edition)
{
    return QStringLiteral("%1（%2）").arg(port, edition.modelName);
}

void connectWithoutReadBack(FormMain &form)
{
    runHandler(form, [&form] {
        if (!form.IsConnected)
            openAndProbe(form, deviceName(form));
    });
}

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
