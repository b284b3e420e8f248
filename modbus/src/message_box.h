#pragma once

#include <QString>

// The message box every host gets unless it installs its own sink: modal, one OK button, the
// active window's caption as title. Without a QApplication the text goes to the log instead.
// The only part of the component that needs Qt Widgets.
namespace modbus_detail {
void showMessageBox(const QString &text);
}
