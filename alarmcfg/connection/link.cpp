#include "connection/link.h"

#include "connection/status_line.h"
#include "window/form_main.h"

#include "modbus/modbus.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace alarmcfg {

namespace {

void closePortQuietly(modbus &port)
{
    try {
        port.ClosePort();
    } catch (const SerialPortError &) {
        // The device is gone; there is nothing left to close.
    }
}

void stopTimers(FormMain &form)
{
    form.Timer1->setEnabled(false);
    form.Timer2->setEnabled(false); // a watchdog armed while connected must not fire afterwards
}

void showOffline(FormMain &form)
{
    form.ui.cmdConnect->setText(disconnectedCaption);
    form.IsConnected = false;
    showLiveValuesCurrent(form, false);
}

} // namespace

void showLiveValuesCurrent(FormMain &form, bool current)
{
    for (QLineEdit *value : form.ui.txtAI)
        value->setEnabled(current);
    for (QPushButton *input : form.ui.cmdDI)
        input->setEnabled(current);
    form.ui.lblVertion->setEnabled(current);
}

void goOnline(FormMain &form)
{
    form.Timer1->setInterval(pollingPeriodMs);
    form.Timer1->setEnabled(true);
    form.ui.cmdConnect->setText(connectedCaption);
    form.IsConnected = true;
    showLiveValuesCurrent(form, true);
}

void goOffline(FormMain &form)
{
    form.modbus1->ClosePort();
    stopTimers(form);
    showOffline(form);
    showStatus(form, disconnectedStatus);
}

QString connectionLostMessage(const QString &reason, const QString &cutShort)
{
    QStringList lines{portFailureMessage, cutShort, reason};
    lines.removeAll(QString());
    return lines.join(QLatin1Char('\n'));
}

void dropConnection(FormMain &form, const QString &message)
{
    dropConnection(form, message, linkLostStatus.arg(QString(message).replace(QLatin1Char('\n'), QLatin1Char(' '))));
}

void dropConnection(FormMain &form, const QString &message, const QString &status)
{
    closePortQuietly(*form.modbus1);
    stopTimers(form);
    showOffline(form);
    showStatus(form, status);
    form.showMessage(message);
}

void releaseLink(FormMain &form)
{
    stopTimers(form);
    closePortQuietly(*form.modbus1);
}

void heardFromController(FormMain &form)
{
    form.Timer2->setEnabled(false);
}

void armWatchdog(FormMain &form)
{
    if (form.isEnding() || !form.IsConnected || form.Timer2->isTicking())
        return;
    form.Timer2->setInterval(watchdogPeriodMs);
    form.Timer2->setEnabled(true);
}

} // namespace alarmcfg
