#include "connection/read_sequence.h"

#include "connection/handler_guard.h"
#include "connection/link.h"
#include "connection/read_back_decoding.h"
#include "window/form_main.h"

#include "modbus/modbus.h"

#include <algorithm>

namespace alarmcfg {

bool readBlock(ControllerLink &link, const RegisterBlock &block)
{
    return sendRequest(link, [&link, &block] {
        return link.component.FC03_ReadHoldingRegister_4X(controllerSlave, qint16(block.address),
                                                          qint16(block.count));
    });
}

bool readBlock(FormMain &form, const RegisterBlock &block)
{
    ControllerLink link = windowLink(form);
    return readBlock(link, block);
}

bool runReadSequence(FormMain &form, const std::vector<ReadStep> &steps)
{
    bool allAnswered = true;
    for (const ReadStep &step : steps) {
        if (form.isEnding())
            return false;
        if (step.kind == ReadStep::Kind::Read)
            allAnswered = readBlock(form, step.block) && allAnswered;
        else
            showSelectedDIAlarmText(form); // its change handler stores it back
    }
    return allAnswered;
}

int requestCount(const std::vector<ReadStep> &steps)
{
    return int(std::ranges::count(steps, ReadStep::Kind::Read, &ReadStep::kind));
}

} // namespace alarmcfg
