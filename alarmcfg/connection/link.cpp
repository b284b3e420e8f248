#include "connection/link.h"

#include "connection/status_line.h"
#include "window/form_main.h"

#include "modbus/modbus.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <utility>

namespace alarmcfg {

namespace {

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

ControllerLink windowLink(FormMain &form)
{
    FormMain *f = &form;
    LinkView view;
    view.showMessage = [f](const QString &text) { f->showMessage(text); };
    view.showStatus = [f](const QString &text) { showStatus(*f, text); };
    view.wentOnline = [f] { goOnline(*f); };
    view.wentOffline = [f] {
        stopTimers(*f);
        showOffline(*f);
    };
    view.isEnding = [f] { return f->isEnding(); };
    return ControllerLink(*form.modbus1, form.IsConnected, form.requestTally, std::move(view));
}

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

void dropConnection(FormMain &form, const QString &message)
{
    ControllerLink link = windowLink(form);
    dropConnection(link, message);
}

void dropConnection(FormMain &form, const QString &message, const QString &status)
{
    ControllerLink link = windowLink(form);
    dropConnection(link, message, status);
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
