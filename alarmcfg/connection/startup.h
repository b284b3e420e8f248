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

// Load handling when the window opens: port list, alarm text buffer, channel selector, range
// lists and full-scale values, relay texts. Sends nothing.
void FormMain_Load(FormMain &form);

} // namespace alarmcfg
