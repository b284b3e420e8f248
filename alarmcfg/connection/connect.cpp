#include "connection/connect.h"

#include "connection/handler_guard.h"
#include "connection/link.h"
#include "connection/port_choice.h"
#include "connection/read_back_decoding.h"
#include "connection/read_sequence.h"
#include "connection/status_line.h"
#include "window/form_main.h"

#include "modbus/modbus.h"

#include <QComboBox>
#include <QLabel>
#include <QThread>

namespace alarmcfg {

namespace {

enum class ProbeResult { Answered, Silent, Refused };

// Reads the status block. The program refuses a controller whose firmware its edition cannot
// configure (the window has ended by then; elsewhere the refusal is said here).
ProbeResult probe(ControllerLink &link, const Edition &edition)
{
    QVector<qint16> status;
    bool answered = false;
    {
        const ReadRepliesTo replies(link.component, [&status](int startAddress, const QVector<qint16> &registers) {
            if (startAddress == statusBlock.address)
                status = registers;
        });
        answered = readBlock(link, statusBlock);
    }
    if (link.view.isEnding())
        return ProbeResult::Refused;
    if (answered && refusesFirmware(edition, status)) {
        link.view.showMessage(firmwareTooOldMessage);
        return ProbeResult::Refused;
    }
    QThread::msleep(settleAfterProbeMs);
    return answered ? ProbeResult::Answered : ProbeResult::Silent;
}

// The device the choice opens, or the typed text when it leads nowhere.
QString deviceName(const FormMain &form)
{
    const QString device = chosenDevice(form);
    return device.isEmpty() ? form.ui.cmbComSel->currentText() : device;
}

// True when a controller answered and polling runs.
bool openAndProbe(ControllerLink &link, const Edition &edition, const QString &device)
{
    if (!link.component.OpenPort()) {
        link.view.showStatus(ConnectStatus::notOpened.arg(device)); // the component has said why
        return false;
    }
    const ProbeResult result = probe(link, edition);
    if (result == ProbeResult::Answered) {
        goOnline(link);
        return true;
    }
    if (result == ProbeResult::Silent) {
        link.view.showStatus(ConnectStatus::noController.arg(device));
        link.view.showMessage(noControllerMessage);
        link.component.ClosePort();
    }
    return false;
}

bool openAndProbe(FormMain &form, const QString &device)
{
    applyChosenPort(form);
    ControllerLink link = windowLink(form);
    if (!openAndProbe(link, form.edition(), device))
        return false;
    rememberPort(form);
    return true;
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

bool connectLink(ControllerLink &link, const Edition &edition, const QString &port)
{
    applyPort(link.component, port);
    runHandler(link, [&] { openAndProbe(link, edition, port.trimmed()); });
    return link.connected;
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
