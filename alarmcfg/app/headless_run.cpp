#include "app/headless_run.h"

#include "app/assembly.h"
#include "app/config_file.h"
#include "app/traffic_log.h"
#include "connection/connect.h"
#include "connection/handler_guard.h"
#include "connection/port_choice.h"
#include "connection/read_sequence.h"
#include "editing/write_parameters.h"
#include "editions/plan_builders.h"
#include "model/command_text.h"
#include "model/register_text.h"
#include "window/form_main.h"

#include "modbus/modbus.h"

#include <QComboBox>
#include <QLineEdit>
#include <QScopeGuard>
#include <QTextStream>

#include <algorithm>
#include <optional>

namespace alarmcfg {

namespace {

constexpr int failureExitCode = 1;
// --verify: the controller differs from the file (1), or could not be read in full (3); a file
// that cannot be used exits with usageExitCode, so a fleet tells drift from an outage.
constexpr int differsExitCode = 1;
constexpr int unreadableExitCode = 3;

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

// Reads one all-on/all-off command slot into its box as the read-back shows relay commands (the
// command without its password). True when the controller answered.
bool readAllCommand(FormMain &form, const RegisterBlock &slot)
{
    std::optional<QString> stored;
    const auto connection = QObject::connect(
        form.modbus1, &modbus::FC03ReadHoldingRegisterRespond4X, &form,
        [&](qint16, qint16, qint16 &, qint16 startAddress, QVector<qint16> &data, qint16 count) {
            if (startAddress == slot.address)
                stored = registersToText(data.first(qBound(0, int(count), int(data.size()))));
        },
        Qt::DirectConnection);
    // Removed also when the read throws (a silent controller, a lost port).
    const auto disconnect = qScopeGuard([&connection] { QObject::disconnect(connection); });
    readBlock(form, {slot.field, slot.index, slot.address, plan::textReadRegisters});
    if (stored)
        form.ui.txtAllCmd.at(slot.index)->setText(untilFirstNul(splitCommand(*stored).command));
    return stored.has_value();
}

int allCommandCount(const Edition &edition)
{
    return int(std::ranges::count(edition.writePlan, Field::AllCommand,
                                  [](const WriteStep &step) { return step.block.field; }));
}

// The window's read-back leaves out the all-on and all-off commands, which it only writes; a file
// must carry them, so that writing it reproduces the controller.
bool readAllCommands(FormMain &form)
{
    bool answered = true;
    for (const WriteStep &step : form.edition().writePlan)
        if (step.block.field == Field::AllCommand && !form.isEnding())
            answered = readAllCommand(form, step.block) && answered;
    return answered;
}

bool readBack(HiddenWindow &window)
{
    window.report(QStringLiteral("读取全部参数"));
    return readWholeConfiguration(window.form);
}

// The file is checked first, so a read that could not be saved sends nothing.
int readIntoFile(HiddenWindow &window, const QString &path)
{
    checkSavable(path);
    if (!window.connect())
        return failureExitCode;
    if (!readBack(window)) {
        window.report(QStringLiteral("控制器没有回答全部读取请求，未保存 %1").arg(path));
        return failureExitCode;
    }
    saveConfiguration(window.form, path);
    window.report(QStringLiteral("已保存 %1").arg(path));
    return 0;
}

// The file is checked in full before the port is opened, so a bad file sends nothing.
int writeFromFile(HiddenWindow &window, const QString &path)
{
    window.report(QStringLiteral("检查 %1").arg(path));
    openConfiguration(window.form, path);
    if (!window.connect())
        return failureExitCode;
    window.report(QStringLiteral("写入全部参数"));
    cmdRelayWrite_Click(window.form);
    return window.lastMessage == WriteMessages::succeeded ? 0 : failureExitCode;
}

// The file is checked before the port is opened; each difference is one line, the field named as
// the window names it.
int compareWithFile(HiddenWindow &window, const QString &path)
{
    window.report(QStringLiteral("检查 %1").arg(path));
    differencesFromFile(window.form, path);
    if (!window.connect())
        return unreadableExitCode;
    if (!readBack(window)) {
        window.report(QStringLiteral("控制器没有回答全部读取请求，无法与 %1 比较").arg(path));
        return unreadableExitCode;
    }
    const std::vector<ConfigDifference> differences = differencesFromFile(window.form, path);
    for (const ConfigDifference &difference : differences)
        window.report(differenceLine(difference));
    if (!differences.empty()) {
        window.report(QStringLiteral("控制器与 %1 有%2处不同").arg(path).arg(differences.size()));
        return differsExitCode;
    }
    window.report(QStringLiteral("控制器与 %1 一致").arg(path));
    return 0;
}

int verifyAgainstFile(HiddenWindow &window, const QString &path)
{
    try {
        return compareWithFile(window, path);
    } catch (const ConfigFileError &error) {
        window.report(error.message());
        return usageExitCode;
    }
}

} // namespace

bool readWholeConfiguration(FormMain &form)
{
    bool answered = false;
    const std::vector<ReadStep> &plan = form.edition().readBack;
    const int requests = requestCount(plan) + allCommandCount(form.edition());
    runHandler(form, [&] {
        runSequence(form, requests, {readBackFailedMessage},
                    [&] { answered = runReadSequence(form, plan) && readAllCommands(form); });
    });
    return answered && form.IsConnected;
}

int runWithoutWindow(const CommandLine &commandLine, const Edition &edition, TrafficLog *trafficLog)
{
    HiddenWindow window(commandLine, edition, trafficLog);
    try {
        if (commandLine.action == CommandLine::Action::Read)
            return readIntoFile(window, commandLine.file);
        if (commandLine.action == CommandLine::Action::Verify)
            return verifyAgainstFile(window, commandLine.file);
        return writeFromFile(window, commandLine.file);
    } catch (const ConfigFileError &error) {
        window.report(error.message());
        return failureExitCode;
    }
}

} // namespace alarmcfg
