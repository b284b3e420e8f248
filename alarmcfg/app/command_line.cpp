#include "app/command_line.h"

#include "connection/port_choice.h"

#include <QCommandLineParser>

namespace alarmcfg {

namespace {

const QString portOption = QStringLiteral("port");
const QString readOption = QStringLiteral("read");
const QString writeOption = QStringLiteral("write");
const QString trafficOption = QStringLiteral("log-traffic");
const QString helpOption = QStringLiteral("help");
const QString versionOption = QStringLiteral("version");

void addOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "短信报警控制器配置工具。不带 --read 或 --write 时打开窗口。\n退出码：0 成功，1 失败，2 参数错误。"));
    parser.addOptions({
        {portOption, QStringLiteral("使用串口 DEVICE（设备路径，如 /dev/ttyUSB0）或 COMn。"),
            QStringLiteral("DEVICE|COMn")},
        {readOption, QStringLiteral("不打开窗口：读取控制器的全部参数，保存到 FILE。"), QStringLiteral("FILE")},
        {writeOption, QStringLiteral("不打开窗口：检查 FILE，再把其中的全部参数写入控制器。"),
            QStringLiteral("FILE")},
        {trafficOption, QStringLiteral("把每次通信（时间、请求、应答、结果）追加到 FILE。"),
            QStringLiteral("FILE")},
        {{QStringLiteral("h"), helpOption}, QStringLiteral("显示此帮助。")},
        {{QStringLiteral("v"), versionOption}, QStringLiteral("显示版本。")},
    });
}

// Without an application object the parser cannot know the program's name.
QString helpText(const QCommandLineParser &parser, const Edition &edition)
{
    return parser.helpText().replace(QStringLiteral("<executable_name>"), edition.programName);
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
    if ((parser.isSet(readOption) || parser.isSet(writeOption)) && !parser.isSet(portOption))
        return QStringLiteral("--read 和 --write 需要 --port");
    for (const QString &option : {portOption, readOption, writeOption, trafficOption})
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
    return CommandLine::Action::Window;
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
    const QString file = parser.value(action == CommandLine::Action::Read ? readOption : writeOption);
    return {action, {}, parser.value(portOption), file, parser.value(trafficOption)};
}

QString unknownPortMessage(const QString &port)
{
#ifdef Q_OS_WIN
    // Any COMn is a port there: only other text ends up here.
    return QStringLiteral("无法识别的串口 %1：请用 COMn（如 COM3、COM12）\n").arg(port);
#else
    return QStringLiteral("无法识别的串口 %1：请用 COM1 到 COM7，或设备的绝对路径（如 /dev/ttyUSB0）\n").arg(port);
#endif
}

} // namespace alarmcfg
