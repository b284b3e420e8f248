#pragma once

#include <QString>

namespace alarmcfg {

class FormMain;

// Puts a --port value into the port box as if typed: "COMn" (any case) picks list entry n, a
// device path is left for the box to open. An empty value keeps the window's default.
void preselectPort(FormMain &form, const QString &port);

} // namespace alarmcfg
