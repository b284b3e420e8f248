#pragma once

#include "app/command_line.h"
#include "editions/edition.h"

// --read, --write and --verify: configuration values read from and written to the controller
// through a link of their own, without a window; its messages on standard error. Needs a
// QCoreApplication.
namespace alarmcfg {

class TrafficLog;

// The exit status: 0 only when every request was answered and confirmed. Every transaction goes
// to `trafficLog` when there is one.
int runWithoutWindow(const CommandLine &commandLine, const Edition &edition, TrafficLog *trafficLog);

} // namespace alarmcfg
