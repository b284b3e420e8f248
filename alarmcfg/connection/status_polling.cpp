#include "connection/status_polling.h"

#include "connection/handler_guard.h"
#include "connection/link.h"
#include "connection/read_sequence.h"

namespace alarmcfg {

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
