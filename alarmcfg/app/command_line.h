#pragma once

#include "editions/edition.h"

#include <QString>
#include <QStringList>

// The programs' options, parsed before any window or display exists.
namespace alarmcfg {

struct CommandLine {
    enum class Action {
        Window,  // show the window (port preselected, traffic log when asked)
        Help,    // print `text` to standard output, exit 0
        Version, // the same
        Refused, // print `text` (the error and the usage) to standard error, exit with usageExitCode
        Read,    // the read-back into `file`, without a window
        Write,   // the full write from `file`, without a window
        Verify,  // the read-back compared with `file`, without a window
    };
    Action action = Action::Window;
    QString text;
    QString port;       // DEVICE or COMn; empty: the window's default
    QString file;       // --read / --write / --verify
    QString trafficLog; // --log-traffic; empty: no log
};

inline constexpr int usageExitCode = 2;

// Why a --port value names no port the window offers (one line, ending in a newline).
QString unknownPortMessage(const QString &port);

// `arguments` as main() received them, the program name first.
CommandLine parseCommandLine(const QStringList &arguments, const Edition &edition);

} // namespace alarmcfg
