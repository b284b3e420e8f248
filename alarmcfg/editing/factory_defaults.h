#pragma once

#include <QString>

namespace alarmcfg {

class FormMain;

// The default commands and replies of one relay; start-up and factory defaults both use them.
struct RelayTexts {
    QString open;        // txtOpen
    QString close;       // txtClose
    QString answer;      // txtAnswer
    QString closeAnswer; // txtCAnswer
};
RelayTexts defaultRelayTexts(int relay);

// Puts the default commands and replies of relay `relay` into its text boxes.
void showDefaultRelayTexts(FormMain &form, int relay);

// Puts the edition's factory values into the window, then writes them like the Set button.
// Without a connection the window keeps the factory values and the write refuses.
void Command1_Click(FormMain &form);

} // namespace alarmcfg
