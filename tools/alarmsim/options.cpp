#include "options.h"

#include <QCommandLineParser>

#include <limits>

namespace alarmsim {
namespace {

const QString turnaroundNote = QStringLiteral(
    "With --baud N on a pseudo-terminal, a reply leaves after the request's own wire time plus a\n"
    "turnaround of 3.5 character times, and its bytes are paced at N bit/s, 10 bits per\n"
    "character. With --device, N sets the line speed instead (default 9600) and the line paces.\n"
    "--deliver chooses how the receiver gets the paced bytes: byte by byte (byte), as a UART\n"
    "FIFO in batches of 14 with the rest after 4 character times of silence (fifo), or as a\n"
    "USB adapter, whatever arrived once per --usb-latency-ms (usb).\n"
    "Faults apply to every Nth request (--every N) or to requests starting at the listed\n"
    "addresses (--at ADDR,...); without either, to every request. Exception and silent leave\n"
    "the registers unchanged; the other faults only spoil the reply.\n");

void addOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Simulated SMS alarm controller: a Modbus RTU slave (address 1, functions 3, 6 and 16)\n"
        "on a pseudo-terminal whose path is the first line of output."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {"edition", "Register map: analog (default) or th.", "analog|th"},
        {"device", "Serve this serial device instead of a new pseudo-terminal.", "PATH"},
        {"state", "Load the register image from FILE if it exists; save it after every write "
                  "and on exit.", "FILE"},
        {"log", "Write every request and its reply to FILE as JSON lines.", "FILE"},
        {"firmware", "Firmware version register, e.g. 0x1F (default 0x21).", "VALUE"},
        {"set", "Preset a register (repeatable), e.g. --set 1010=-5.", "ADDR=VALUE"},
        {"static", "Freeze the live status values."},
        {"silent", "Never answer."},
        {"fault", "Spoil replies: " + faultNames().join(", ") + ".", "KIND"},
        {"every", "Fault on every Nth request.", "N"},
        {"at", "Fault on requests starting at these addresses.", "ADDR[,ADDR...]"},
        {"slow-ms", "Delay of the slow fault (default 1000).", "MS"},
        {"baud", "Emulate the wire time of a line at N bit/s.", "N"},
        {"deliver", "How paced replies reach the master: " + deliveryNames().join(", ") +
                        " (default byte).", "MODE"},
        {"usb-latency-ms", "Packet period of the usb delivery (default 16).", "MS"},
    });
}

[[noreturn]] void refuse(const QString &why)
{
    throw UsageError(why.toStdString());
}

// Decimal, or hexadecimal with 0x; never octal, so "010" is ten.
long long parseInteger(const QString &text, const QString &what, long long min, long long max)
{
    bool ok = false;
    const bool hex = text.startsWith("0x", Qt::CaseInsensitive);
    const long long value = hex ? text.mid(2).toLongLong(&ok, 16) : text.toLongLong(&ok, 10);
    if (!ok || value < min || value > max)
        refuse(QStringLiteral("%1 must be a number from %2 to %3, not \"%4\"")
                   .arg(what).arg(min).arg(max).arg(text));
    return value;
}

uint16_t parseRegisterValue(const QString &text, const QString &what)
{
    return uint16_t(parseInteger(text, what, -32768, 65535) & 0xFFFF);
}

int parseAddress(const QString &text)
{
    return int(parseInteger(text, QStringLiteral("a register address"), 0, registerCount - 1));
}

PresetRegister parsePreset(const QString &text)
{
    const QStringList parts = text.split('=');
    if (parts.size() != 2)
        refuse(QStringLiteral("--set expects ADDR=VALUE, not \"%1\"").arg(text));
    return {parseAddress(parts[0]), parseRegisterValue(parts[1], QStringLiteral("--set value"))};
}

FaultPlan parseFaultPlan(const QCommandLineParser &parser)
{
    FaultPlan plan;
    if (parser.isSet("silent") && parser.isSet("fault"))
        refuse(QStringLiteral("--silent and --fault exclude each other"));
    if (parser.isSet("every") && parser.isSet("at"))
        refuse(QStringLiteral("--every and --at exclude each other"));
    if (parser.isSet("silent")) {
        plan.kind = FaultKind::Silent;
    } else if (parser.isSet("fault")) {
        const auto kind = faultFromName(parser.value("fault"));
        if (!kind)
            refuse("--fault must be one of " + faultNames().join(", "));
        plan.kind = *kind;
    } else if (parser.isSet("every") || parser.isSet("at")) {
        refuse(QStringLiteral("--every and --at need --fault"));
    }
    plan.every = parser.isSet("at") ? 0 : 1;
    if (parser.isSet("every"))
        plan.every = int(parseInteger(parser.value("every"), "--every", 1, std::numeric_limits<int>::max()));
    for (const QString &a : parser.value("at").split(',', Qt::SkipEmptyParts))
        plan.addresses.insert(parseAddress(a.trimmed()));
    if (parser.isSet("slow-ms"))
        plan.slowMs = int(parseInteger(parser.value("slow-ms"), "--slow-ms", 0, 600000));
    return plan;
}

void parseDelivery(const QCommandLineParser &parser, Options &options)
{
    if ((parser.isSet("deliver") || parser.isSet("usb-latency-ms")) && !parser.isSet("baud"))
        refuse(QStringLiteral("--deliver and --usb-latency-ms need --baud"));
    if (parser.isSet("deliver")) {
        const auto delivery = deliveryFromName(parser.value("deliver"));
        if (!delivery)
            refuse("--deliver must be one of " + deliveryNames().join(", "));
        options.delivery = *delivery;
    }
    if (parser.isSet("usb-latency-ms"))
        options.usbLatencyMs = int(parseInteger(parser.value("usb-latency-ms"), "--usb-latency-ms", 1, 255));
}

} // namespace

Options parseOptions(const QStringList &arguments)
{
    QCommandLineParser parser;
    addOptions(parser);
    if (!parser.parse(arguments))
        refuse(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        refuse("unexpected argument \"" + parser.positionalArguments().first() + "\"");

    Options options;
    options.help = parser.isSet("help");
    if (parser.isSet("edition")) {
        options.edition = editionFromName(parser.value("edition"));
        if (!options.edition)
            refuse(QStringLiteral("--edition must be analog or th"));
    }
    options.device = parser.value("device");
    options.statePath = parser.value("state");
    options.logPath = parser.value("log");
    options.version = parser.isSet("version");
    if (parser.isSet("firmware"))
        options.firmware = parseRegisterValue(parser.value("firmware"), "--firmware");
    for (const QString &preset : parser.values("set"))
        options.presets << parsePreset(preset);
    options.frozen = parser.isSet("static");
    options.faults = parseFaultPlan(parser);
    if (parser.isSet("baud"))
        options.baud = int(parseInteger(parser.value("baud"), "--baud", 50, 4000000));
    parseDelivery(parser, options);
    return options;
}

QString helpText()
{
    QCommandLineParser parser;
    addOptions(parser);
    return parser.helpText() + '\n' + turnaroundNote;
}

} // namespace alarmsim
