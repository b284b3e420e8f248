#pragma once

namespace alarmcfg {

class FormMain;

// Puts the edition's factory values into the window, then writes them like the Set button.
// Without a connection the window keeps the factory values and the write refuses.
void Command1_Click(FormMain &form);

} // namespace alarmcfg
