#include "app/command_line.h"

#include "connection/port_choice.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace alarmcfg {

namespace {

const QString portOption = QStringLiteral("port");
const QString readOption = QStringLiteral("read");
const QString writeOption = QStringLiteral("write");
const QString verifyOption = QStringLiteral("verify");
const QString trafficOption = QStringLiteral("log-traffic");
const QString helpOption = QStringLiteral("help");
const QString versionOption = QStringLiteral("version");

void addOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "短信报警控制器配置工具。不带 --read、--write 或 --verify 时打开窗口。\n"
        "退出码：0 成功（--verify：一致），1 失败（--verify：不一致），2 参数错误。"));
    parser.addOptions({
        {portOption, QStringLiteral("使用串口 DEVICE（设备路径，如 /dev/ttyUSB0）或 COMn；"
                                    "串口服务器写成 tcp://主机:端口 或 rfc2217://主机:端口。"),
            QStringLiteral("DEVICE|COMn")},
        {readOption, QStringLiteral("不打开窗口：读取控制器的全部参数，保存到 FILE。"), QStringLiteral("FILE")},
        {writeOption, QStringLiteral("不打开窗口：检查 FILE，再把其中的全部参数写入控制器。"),
            QStringLiteral("FILE")},
        {verifyOption, QStringLiteral("不打开窗口：读取控制器的全部参数，与 FILE 逐项比较，每个不同之处一行。"),
            QStringLiteral("FILE")},
        {trafficOption, QStringLiteral("把每次通信（时间、请求、应答、结果）追加到 FILE。"),
            QStringLiteral("FILE")},
        {{QStringLiteral("h"), helpOption}, QStringLiteral("显示此帮助。")},
        {{QStringLiteral("v"), versionOption}, QStringLiteral("显示版本。")},
    });
}

// The usage names the program, not the path it was started by (without an application object the
// parser knows neither).
QString helpText(const QCommandLineParser &parser, const Edition &edition)
{
    const QString started = QCoreApplication::instance() ? QCoreApplication::arguments().constFirst()
                                                         : QStringLiteral("<executable_name>");
    QString text = parser.helpText();
    const qsizetype at = text.indexOf(started); // in the usage line, the first
    return at < 0 ? text : text.replace(at, started.size(), edition.programName);
}

CommandLine refused(const QCommandLineParser &parser, const Edition &edition, const QString &error)
{
    return {CommandLine::Action::Refused, error + QStringLiteral("\n\n") + helpText(parser, edition), {}, {}, {}};
}

// The checks QCommandLineParser does not make: what the options mean together.
std::optional<QString> combinationError(const QCommandLineParser &parser)
{
    if (!parser.positionalArguments().isEmpty())
        return QStringLiteral("多余的参数：%1").arg(parser.positionalArguments().first());
    if (parser.isSet(readOption) && parser.isSet(writeOption))
        return QStringLiteral("--read 和 --write 不能同时使用");
    if (parser.isSet(verifyOption) && (parser.isSet(readOption) || parser.isSet(writeOption)))
        return QStringLiteral("--verify 不能与 --read 或 --write 同时使用");
    if ((parser.isSet(readOption) || parser.isSet(writeOption)) && !parser.isSet(portOption))
        return QStringLiteral("--read 和 --write 需要 --port");
    if (parser.isSet(verifyOption) && !parser.isSet(portOption))
        return QStringLiteral("--verify 需要 --port");
    for (const QString &option : {portOption, readOption, writeOption, verifyOption, trafficOption})
        if (parser.values(option).size() > 1)
            return QStringLiteral("--%1 只能给一次").arg(option);
    // Checked here, before a display is needed, so that a mistyped port is refused everywhere.
    if (parser.isSet(portOption) && !isPortName(parser.value(portOption)))
        return unknownPortMessage(parser.value(portOption)).trimmed();
    return std::nullopt;
}

CommandLine::Action actionOf(const QCommandLineParser &parser)
{
    if (parser.isSet(helpOption))
        return CommandLine::Action::Help;
    if (parser.isSet(versionOption))
        return CommandLine::Action::Version;
    if (parser.isSet(readOption))
        return CommandLine::Action::Read;
    if (parser.isSet(writeOption))
        return CommandLine::Action::Write;
    if (parser.isSet(verifyOption))
        return CommandLine::Action::Verify;
    return CommandLine::Action::Window;
}

QString fileOptionOf(CommandLine::Action action)
{
    switch (action) {
    case CommandLine::Action::Read: return readOption;
    case CommandLine::Action::Write: return writeOption;
    case CommandLine::Action::Verify: return verifyOption;
    default: return {};
    }
}

} // namespace

CommandLine parseCommandLine(const QStringList &arguments, const Edition &edition)
{
    QCommandLineParser parser;
    addOptions(parser);
    if (!parser.parse(arguments))
        return refused(parser, edition, parser.errorText());
    const CommandLine::Action action = actionOf(parser);
    if (action == CommandLine::Action::Help)
        return {action, helpText(parser, edition), {}, {}, {}};
    if (action == CommandLine::Action::Version)
        return {action, QStringLiteral("%1 %2\n").arg(edition.programName, QStringLiteral(ALARMCFG_VERSION)), {},
            {}, {}};
    if (const auto error = combinationError(parser))
        return refused(parser, edition, *error);
    const QString fileOption = fileOptionOf(action);
    const QString file = fileOption.isEmpty() ? QString() : parser.value(fileOption);
    return {action, {}, parser.value(portOption), file, parser.value(trafficOption)};
}

QString unknownPortMessage(const QString &port)
{
#ifdef Q_OS_WIN
    // Any COMn is a port there: only other text ends up here.
    return QStringLiteral("无法识别的串口 %1：请用 COMn（如 COM3、COM12），或串口服务器 tcp://主机:端口、rfc2217://主机:端口\n").arg(port);
#else
    return QStringLiteral("无法识别的串口 %1：请用 COM1 到 COM7，或设备的绝对路径（如 /dev/ttyUSB0），或串口服务器 tcp://主机:端口、rfc2217://主机:端口\n").arg(port);
#endif
}

} // namespace alarmcfg
