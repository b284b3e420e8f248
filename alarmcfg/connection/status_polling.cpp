#include "connection/status_polling.h"

#include "connection/handler_guard.h"
#include "connection/link_loss.h"
#include "connection/read_sequence.h"
#include "window/form_main.h"

namespace alarmcfg {

namespace {

void armWatchdog(FormMain &form)
{
    if (form.isEnding() || !form.IsConnected || form.Timer2->isTicking())
        return;
    form.Timer2->setInterval(watchdogPeriodMs);
    form.Timer2->setEnabled(true);
}

} // namespace

void Timer1_Tick(FormMain &form)
{
    runHandler(form, [&form] {
        readBlock(form, statusBlock);
        armWatchdog(form);
    });
}

void Timer2_Tick(FormMain &form)
{
    runHandler(form, [&form] { dropConnection(form, watchdogMessage); });
}

} // namespace alarmcfg
