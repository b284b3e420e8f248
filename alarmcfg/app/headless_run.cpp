#include "app/headless_run.h"

#include "app/assembly.h"
#include "app/config_file.h"
#include "app/traffic_log.h"
#include "connection/connect.h"
#include "connection/port_choice.h"
#include "connection/read_configuration.h"
#include "editing/write_parameters.h"
#include "editions/config_decoding.h"
#include "window/form_main.h"

#include "modbus/modbus.h"

#include <QComboBox>
#include <QTextStream>

#include <optional>

namespace alarmcfg {

namespace {

constexpr int failureExitCode = 1;

// The hidden window, its messages and the progress on standard error, one line each.
class HiddenWindow {
public:
    HiddenWindow(const CommandLine &commandLine, const Edition &edition, TrafficLog *trafficLog)
        : form(edition)
        , err_(stderr)
        , programName_(edition.programName)
    {
        assembleWindow(form);
        form.setMessageSink([this](const QString &text) {
            lastMessage = text;
            report(text);
        });
        form.setProgramEnd([] {}); // isEnding() now holds: nothing more is sent
        if (trafficLog)
            trafficLog->observe(*form.modbus1);
        preselectPort(form, commandLine.port); // the command line has checked the name
    }

    void report(const QString &line) { err_ << programName_ << ": " << line << Qt::endl; }

    // Probes first, as connecting does; a missing port, a silent controller or an old firmware
    // has said why when this is false.
    bool connect()
    {
        report(QStringLiteral("连接 %1").arg(portWithModel(form.ui.cmbComSel->currentText(), form.edition())));
        connectWithoutReadBack(form);
        return form.IsConnected;
    }

    FormMain form;
    QString lastMessage;

private:
    QTextStream err_;
    QString programName_;
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

std::optional<ControllerConfig> readBack(HiddenWindow &window)
{
    window.report(QStringLiteral("读取全部参数"));
    return readWholeConfiguration(window.form, blankConfig(window.form.edition()));
}

// The file is checked first, so a read that could not be saved sends nothing.
Outcome readIntoFile(HiddenWindow &window, const QString &path)
{
    checkSavable(path);
    if (!window.connect())
        return Outcome::ControllerNotRead;
    const std::optional<ControllerConfig> config = readBack(window);
    if (!config) {
        window.report(QStringLiteral("控制器没有回答全部读取请求，未保存 %1").arg(path));
        return Outcome::ControllerNotRead;
    }
    saveConfiguration(window.form.edition(), *config, path);
    window.report(QStringLiteral("已保存 %1").arg(path));
    return Outcome::Done;
}

// The file is checked in full before the port is opened, so a bad file sends nothing.
Outcome writeFromFile(HiddenWindow &window, const QString &path)
{
    window.report(QStringLiteral("检查 %1").arg(path));
    const ControllerConfig config = openConfiguration(window.form.edition(), path);
    if (!window.connect())
        return Outcome::Failed;
    window.report(QStringLiteral("写入全部参数"));
    writeConfiguration(window.form, config);
    return window.lastMessage == WriteMessages::succeeded ? Outcome::Done : Outcome::Failed;
}

// The file is checked before the port is opened; each difference is one line, the field named as
// the window names it.
Outcome verifyAgainstFile(HiddenWindow &window, const QString &path)
{
    window.report(QStringLiteral("检查 %1").arg(path));
    const Edition &edition = window.form.edition();
    const ControllerConfig file = comparedConfiguration(edition, path);
    if (!window.connect())
        return Outcome::ControllerNotRead;
    const std::optional<ControllerConfig> controller = readBack(window);
    if (!controller) {
        window.report(QStringLiteral("控制器没有回答全部读取请求，无法与 %1 比较").arg(path));
        return Outcome::ControllerNotRead;
    }
    const std::vector<ConfigDifference> differences = configDifferences(edition, file, *controller);
    for (const ConfigDifference &difference : differences)
        window.report(differenceLine(difference));
    if (!differences.empty()) {
        window.report(QStringLiteral("控制器与 %1 有%2处不同").arg(path).arg(differences.size()));
        return Outcome::Differs;
    }
    window.report(QStringLiteral("控制器与 %1 一致").arg(path));
    return Outcome::Done;
}

Outcome run(HiddenWindow &window, const CommandLine &commandLine)
{
    try {
        if (commandLine.action == CommandLine::Action::Read)
            return readIntoFile(window, commandLine.file);
        if (commandLine.action == CommandLine::Action::Verify)
            return verifyAgainstFile(window, commandLine.file);
        return writeFromFile(window, commandLine.file);
    } catch (const ConfigFileError &error) {
        window.report(error.message());
        return Outcome::FileUnusable;
    }
}

} // namespace

int runWithoutWindow(const CommandLine &commandLine, const Edition &edition, TrafficLog *trafficLog)
{
    HiddenWindow window(commandLine, edition, trafficLog);
    return exitStatusOf(run(window, commandLine), commandLine.action);
}

} // namespace alarmcfg
