#pragma once

#include "app/command_line.h"
#include "editions/edition.h"

// --read and --write: the window's own handlers on a hidden window, its messages on standard
// error. Needs a running QApplication (the offscreen platform will do).
namespace alarmcfg {

class FormMain;
class TrafficLog;

// The exit status: 0 only when every request was answered and confirmed. Every transaction goes
// to `trafficLog` when there is one.
int runWithoutWindow(const CommandLine &commandLine, const Edition &edition, TrafficLog *trafficLog);

// Reads every value a configuration file holds from the connected controller into the window:
// the read-back, then the all-on and all-off commands. True when every read was answered and the
// connection still stands.
bool readWholeConfiguration(FormMain &form);

} // namespace alarmcfg
