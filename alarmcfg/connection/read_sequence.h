#pragma once

#include "editions/edition.h"

#include <vector>

namespace alarmcfg {

class ControllerLink;
class FormMain;

// One function 3 read of `block` from the controller; true when a good reply arrived (it has
// been decoded into the window by then).
bool readBlock(ControllerLink &link, const RegisterBlock &block);
bool readBlock(FormMain &form, const RegisterBlock &block);

// Works through a read plan in order: reads, and refreshing txtDIAlarm from the buffer.
// True when every read was answered. Stops at once when the program is ending; a failing port
// ends it with SerialPortError.
bool runReadSequence(FormMain &form, const std::vector<ReadStep> &steps);

// How many requests a read plan sends.
int requestCount(const std::vector<ReadStep> &steps);

} // namespace alarmcfg
