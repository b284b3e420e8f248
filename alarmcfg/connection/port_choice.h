#pragma once

#include <QString>

class modbus;

namespace alarmcfg {

class FormMain;

// The ports cmbComSel lists: COM1 to COM7.
inline constexpr int listedPortCount = 7;

// True for what --port and the port box accept: a listed COMn in any case (on Windows any COMn,
// which is how Windows names USB adapters), a device path or a device server.
bool isPortName(const QString &port);

// Puts in each item of cmbComSel's tooltip the device the port opens and the adapter behind it,
// and in the status line the device of the current choice. Runs at start-up, when the choice
// changes and when the list opens (adapters come and go).
void showPortDevices(FormMain &form);
void watchPortChoice(FormMain &form);

// Hands the choice to modbus1: CommPort is the list position plus 1, or n of a typed COMn on
// Windows (0 for other typed text); a typed device path, such as /dev/ttyUSB0, or device server
// is opened instead.
void applyChosenPort(FormMain &form);

// A port name as cmbComSel shows it once preselectPort has chosen it: "COM2" for "com2".
QString shownPortName(const QString &port);

// Hands a port name that isPortName accepts to `component` as applyChosenPort hands the same
// choice made in cmbComSel.
void applyPort(modbus &component, const QString &port);

// The device the current choice opens ("/dev/ttyUSB0"); empty when there is none.
QString chosenDevice(const FormMain &form);

// Selects `port` in cmbComSel: a list item named in any case ("com2"), or a device path, a device
// server (tcp://HOST:PORT, rfc2217://HOST:PORT) or (on Windows) a COMn beyond the list, which is
// put into the box as typed. False, with the box unchanged, for anything else.
bool preselectPort(FormMain &form, const QString &port);

// The last port connected to, kept in the window's settings (when it has any) and preselected at
// the next start.
void rememberPort(FormMain &form);
void preselectRememberedPort(FormMain &form);

} // namespace alarmcfg
