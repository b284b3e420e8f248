#include "app/program.h"

#include "app/assembly.h"
#include "app/backups.h"
#include "app/command_line.h"
#include "app/config_menu.h"
#include "app/headless_run.h"
#include "app/qt_translations.h"
#include "app/traffic_log.h"
#include "connection/port_choice.h"
#include "window/form_main.h"

#include <QApplication>
#include <QSettings>
#include <QStyleFactory>
#include <QTextStream>

#include <cstdio>
#include <memory>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace alarmcfg {

namespace {

// A Windows window program has no console of its own: when started from one, it answers there,
// so --help, --version, --read and --write print where the user typed them.
void useParentConsole()
{
#ifdef Q_OS_WIN
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        (void)!std::freopen("CONOUT$", "w", stdout);
        (void)!std::freopen("CONOUT$", "w", stderr);
    }
#endif
}

QStringList argumentsOf(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// Scripts (cron, Ansible) read the command line's output: it prints its own lines only, never Qt's
// diagnostics about the environment (no XDG_RUNTIME_DIR, another user's runtime folder, fonts).
// The program's own lines go straight to their stream; only a fatal error still says why.
void dropQtDiagnostics(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtFatalMsg)
        QTextStream(stderr) << message << Qt::endl;
}

int print(FILE *stream, const QString &text, int exitCode)
{
    QTextStream(stream) << text;
    return exitCode;
}

// The parser's own texts (an unknown option, the usage) come through Qt's translator, which needs an
// application object: they are parsed again under one. No display is needed for it.
int answerWithoutWindow(int argc, char **argv, const QStringList &arguments, const Edition &edition)
{
    QCoreApplication application(argc, argv);
    installQtTranslations();
    const CommandLine commandLine = parseCommandLine(arguments, edition);
    if (commandLine.action == CommandLine::Action::Refused)
        return print(stderr, commandLine.text, usageExitCode);
    return print(stdout, commandLine.text, 0);
}

int showWindow(const CommandLine &commandLine, const Edition &edition, TrafficLog *trafficLog)
{
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QSettings settings(QStringLiteral("Veltra"), edition.programName);
    FormMain window(edition);
    assembleWindow(window);
    window.settings = &settings;
    preselectRememberedPort(window);
    if (!commandLine.port.isEmpty())
        preselectPort(window, commandLine.port); // the command line has checked the name
    if (trafficLog)
        trafficLog->observe(*window.modbus1);
    addConfigurationMenu(window);
    keepBackupsAfterConnect(window, backupFolder());
    window.show();
    return QApplication::exec();
}

} // namespace

int runProgram(int argc, char **argv, const Edition &edition)
{
    useParentConsole();
    const QStringList arguments = argumentsOf(argc, argv);
    const CommandLine commandLine = parseCommandLine(arguments, edition);
    if (commandLine.action != CommandLine::Action::Window)
        qInstallMessageHandler(dropQtDiagnostics);
    switch (commandLine.action) {
    case CommandLine::Action::Help:
    case CommandLine::Action::Version:
    case CommandLine::Action::Refused: return answerWithoutWindow(argc, argv, arguments, edition);
    case CommandLine::Action::Read:
    case CommandLine::Action::Write:
    case CommandLine::Action::Verify: qputenv("QT_QPA_PLATFORM", "offscreen"); break;
    case CommandLine::Action::Window: break;
    }
    std::unique_ptr<TrafficLog> trafficLog;
    try {
        if (!commandLine.trafficLog.isEmpty())
            trafficLog = std::make_unique<TrafficLog>(commandLine.trafficLog);
    } catch (const TrafficLogError &error) {
        return print(stderr, error.message() + QLatin1Char('\n'), 1);
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(edition.programName);
    QApplication::setOrganizationName(QStringLiteral("Veltra")); // the backups folder's parent
    installQtTranslations();
    if (commandLine.action == CommandLine::Action::Window)
        return showWindow(commandLine, edition, trafficLog.get());
    return runWithoutWindow(commandLine, edition, trafficLog.get());
}

} // namespace alarmcfg
