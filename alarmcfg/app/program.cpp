#include "app/program.h"

#include "app/assembly.h"
#include "app/command_line.h"
#include "app/config_menu.h"
#include "app/headless_run.h"
#include "app/port_choice.h"
#include "window/form_main.h"

#include <QApplication>
#include <QStyleFactory>
#include <QTextStream>

namespace alarmcfg {

namespace {

QStringList argumentsOf(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

int print(FILE *stream, const QString &text, int exitCode)
{
    QTextStream(stream) << text;
    return exitCode;
}

int showWindow(const CommandLine &commandLine, const Edition &edition)
{
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    FormMain window(edition);
    assembleWindow(window);
    preselectPort(window, commandLine.port);
    addConfigurationMenu(window);
    window.show();
    return QApplication::exec();
}

} // namespace

int runProgram(int argc, char **argv, const Edition &edition)
{
    const CommandLine commandLine = parseCommandLine(argumentsOf(argc, argv), edition);
    switch (commandLine.action) {
    case CommandLine::Action::Help:
    case CommandLine::Action::Version: return print(stdout, commandLine.text, 0);
    case CommandLine::Action::Refused: return print(stderr, commandLine.text, usageExitCode);
    case CommandLine::Action::Read:
    case CommandLine::Action::Write: qputenv("QT_QPA_PLATFORM", "offscreen"); break;
    case CommandLine::Action::Window: break;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(edition.programName);
    if (commandLine.action == CommandLine::Action::Window)
        return showWindow(commandLine, edition);
    return runWithoutWindow(commandLine, edition);
}

} // namespace alarmcfg
