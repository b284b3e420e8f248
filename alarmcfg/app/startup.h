#pragma once

namespace alarmcfg {

class FormMain;

// Load handling when the window opens: port list, alarm text buffer, channel selector, range
// lists and full-scale values, relay texts. Sends nothing.
void FormMain_Load(FormMain &form);

} // namespace alarmcfg
