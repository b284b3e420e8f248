#include "connection/on_demand_read.h"

#include "connection/handler_guard.h"
#include "connection/link.h"
#include "connection/read_sequence.h"
#include "window/form_main.h"

namespace alarmcfg {

void cmdRelayRead_Click(FormMain &form)
{
    runHandler(form, [&form] {
        if (!form.IsConnected) {
            form.showMessage(connectFirstMessage);
            return;
        }
        const bool allAnswered = runReadSequence(form, form.edition().onDemandRead);
        if (!form.isEnding())
            form.showMessage(allAnswered ? readSucceededMessage : readFailedMessage);
    });
}

} // namespace alarmcfg
