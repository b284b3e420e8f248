#include "app/headless_run.h"

#include "app/assembly.h"
#include "app/config_file.h"
#include "app/port_choice.h"
#include "app/traffic_log.h"
#include "connection/connect.h"
#include "connection/handler_guard.h"
#include "connection/read_sequence.h"
#include "editing/write_parameters.h"
#include "window/form_main.h"

#include <QComboBox>
#include <QTextStream>

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
        preselectPort(form, commandLine.port);
    }

    void report(const QString &line) { err_ << programName_ << ": " << line << Qt::endl; }

    // Probes first, as connecting does; a missing port, a silent controller or an old firmware
    // has said why when this is false.
    bool connect()
    {
        report(QStringLiteral("连接 %1").arg(form.ui.cmbComSel->currentText()));
        connectWithoutReadBack(form);
        return form.IsConnected;
    }

    FormMain form;
    QString lastMessage;

private:
    QTextStream err_;
    QString programName_;
};

// True when every read was answered and the connection still stands.
bool readBack(HiddenWindow &window)
{
    window.report(QStringLiteral("读取全部参数"));
    bool answered = false;
    runHandler(window.form, [&] { answered = runReadSequence(window.form, window.form.edition().readBack); });
    return answered && window.form.IsConnected;
}

int readIntoFile(HiddenWindow &window, const QString &path)
{
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

} // namespace

int runWithoutWindow(const CommandLine &commandLine, const Edition &edition, TrafficLog *trafficLog)
{
    HiddenWindow window(commandLine, edition, trafficLog);
    try {
        if (commandLine.action == CommandLine::Action::Read)
            return readIntoFile(window, commandLine.file);
        return writeFromFile(window, commandLine.file);
    } catch (const ConfigFileError &error) {
        window.report(error.message());
        return failureExitCode;
    }
}

} // namespace alarmcfg
