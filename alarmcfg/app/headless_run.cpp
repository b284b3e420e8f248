#include "app/headless_run.h"

#include "app/config_file.h"
#include "app/traffic_log.h"
#include "connection/connect.h"
#include "connection/controller_link.h"
#include "connection/port_choice.h"
#include "connection/read_configuration.h"
#include "editing/write_parameters.h"
#include "editions/config_decoding.h"

#include "modbus/modbus.h"

#include <QTextStream>

#include <optional>

namespace alarmcfg {

namespace {

constexpr int failureExitCode = 1;

// The link to the controller, its messages and the progress on standard error, one line each.
class CommandLineLink {
public:
    CommandLineLink(const CommandLine &commandLine, const Edition &edition, TrafficLog *trafficLog)
        : edition(edition)
        , link(component, LinkView{.showMessage = [this](const QString &text) { tell(text); }})
        , err_(stderr)
        , port_(commandLine.port)
    {
        component.setMessageSink(link.view.showMessage);
        if (trafficLog)
            trafficLog->observe(component);
    }

    void report(const QString &line) { err_ << edition.programName << ": " << line << Qt::endl; }

    // Probes first, as connecting does; a missing port, a silent controller or an old firmware
    // has said why when this is false.
    bool connect()
    {
        report(QStringLiteral("连接 %1").arg(portWithModel(shownPortName(port_), edition)));
        return connectLink(link, edition, port_); // the command line has checked the name
    }

    const Edition &edition;
    modbus component;
    ControllerLink link;
    QString lastMessage;

private:
    void tell(const QString &text)
    {
        lastMessage = text;
        report(text);
    }

    QTextStream err_;
    QString port_;
};

// How a run ended, and the exit status each outcome gives. --verify tells a controller that
// differs (1) from one that could not be read in full (3) and a file that cannot be used (2), so a
// fleet tells drift from an outage; --read and --write fail with 1 whatever went wrong.
enum class Outcome { Done, Differs, ControllerNotRead, Failed, FileUnusable };

struct ExitStatus {
    Outcome outcome;
    int ofVerify;
    int ofReadOrWrite;
};

constexpr ExitStatus exitStatuses[] = {
    {Outcome::Done, 0, 0},
    {Outcome::Differs, failureExitCode, failureExitCode},
    {Outcome::ControllerNotRead, 3, failureExitCode},
    {Outcome::Failed, failureExitCode, failureExitCode},
    {Outcome::FileUnusable, usageExitCode, failureExitCode},
};

int exitStatusOf(Outcome outcome, CommandLine::Action action)
{
    for (const ExitStatus &entry : exitStatuses)
        if (entry.outcome == outcome)
            return action == CommandLine::Action::Verify ? entry.ofVerify : entry.ofReadOrWrite;
    return failureExitCode;
}

// Connects and reads the whole configuration; nothing when the port or the controller failed, said
// with `notRead` (what is not done with the file) when the read was cut short.
std::optional<ControllerConfig> readController(CommandLineLink &session, const QString &notRead)
{
    if (!session.connect())
        return std::nullopt;
    session.report(QStringLiteral("读取全部参数"));
    std::optional<ControllerConfig> config =
        readWholeConfiguration(session.link, session.edition, blankConfig(session.edition));
    if (!config)
        session.report(QStringLiteral("控制器没有回答全部读取请求，%1").arg(notRead));
    return config;
}

// The file is checked first, so a read that could not be saved sends nothing.
Outcome readIntoFile(CommandLineLink &session, const QString &path)
{
    checkSavable(path);
    const std::optional<ControllerConfig> config = readController(session, QStringLiteral("未保存 %1").arg(path));
    if (!config)
        return Outcome::ControllerNotRead;
    saveConfiguration(session.edition, *config, path);
    session.report(QStringLiteral("已保存 %1").arg(path));
    return Outcome::Done;
}

// The file is checked in full before the port is opened, so a bad file sends nothing.
Outcome writeFromFile(CommandLineLink &session, const QString &path)
{
    session.report(QStringLiteral("检查 %1").arg(path));
    const ControllerConfig config = openConfiguration(session.edition, path);
    if (!session.connect())
        return Outcome::Failed;
    session.report(QStringLiteral("写入全部参数"));
    writeConfiguration(session.link, session.edition, config);
    return session.lastMessage == WriteMessages::succeeded ? Outcome::Done : Outcome::Failed;
}

// The file is checked before the port is opened; each difference is one line, the field named as
// the window names it.
Outcome verifyAgainstFile(CommandLineLink &session, const QString &path)
{
    session.report(QStringLiteral("检查 %1").arg(path));
    const Edition &edition = session.edition;
    const ControllerConfig file = comparedConfiguration(edition, path);
    const std::optional<ControllerConfig> controller =
        readController(session, QStringLiteral("无法与 %1 比较").arg(path));
    if (!controller)
        return Outcome::ControllerNotRead;
    const std::vector<ConfigDifference> differences = configDifferences(edition, file, *controller);
    for (const ConfigDifference &difference : differences)
        session.report(differenceLine(difference));
    if (!differences.empty()) {
        session.report(QStringLiteral("控制器与 %1 有%2处不同").arg(path).arg(differences.size()));
        return Outcome::Differs;
    }
    session.report(QStringLiteral("控制器与 %1 一致").arg(path));
    return Outcome::Done;
}

Outcome run(CommandLineLink &session, const CommandLine &commandLine)
{
    try {
        if (commandLine.action == CommandLine::Action::Read)
            return readIntoFile(session, commandLine.file);
        if (commandLine.action == CommandLine::Action::Verify)
            return verifyAgainstFile(session, commandLine.file);
        return writeFromFile(session, commandLine.file);
    } catch (const ConfigFileError &error) {
        session.report(error.message());
        return Outcome::FileUnusable;
    }
}

} // namespace

int runWithoutWindow(const CommandLine &commandLine, const Edition &edition, TrafficLog *trafficLog)
{
    CommandLineLink session(commandLine, edition, trafficLog);
    return exitStatusOf(run(session, commandLine), commandLine.action);
}

} // namespace alarmcfg
