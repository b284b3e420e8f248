#pragma once

#include "app/command_line.h"
#include "editions/edition.h"

// --read and --write: the window's own handlers on a hidden window, its messages on standard
// error. Needs a running QApplication (the offscreen platform will do).
namespace alarmcfg {

class TrafficLog;

// The exit status: 0 only when every request was answered and confirmed. Every transaction goes
// to `trafficLog` when there is one.
int runWithoutWindow(const CommandLine &commandLine, const Edition &edition, TrafficLog *trafficLog);

} // namespace alarmcfg
