#pragma once

#include "editions/edition.h"

namespace alarmcfg {

// The whole program for one edition. The command line is read before anything else, so --help,
// --version and a refused option need no display; --read and --write run on a hidden window
// with the offscreen platform. Otherwise: application, Fusion style (indicator colours show on
// every platform), the main window shown until it is closed.
int runProgram(int argc, char **argv, const Edition &edition);

} // namespace alarmcfg
