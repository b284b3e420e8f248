#pragma once

#include "editions/edition.h"

namespace alarmcfg {

// The whole program for one edition: application, Fusion style (indicator colours show on every
// platform), the main window shown until it is closed.
int runProgram(int argc, char **argv, const Edition &edition);

} // namespace alarmcfg
