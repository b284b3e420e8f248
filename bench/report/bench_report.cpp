// Runs every benchmark side by side against alarmsim and prints one table:
//  1. transaction cost of our component, libmodbus and Qt against an unpaced simulator;
//  2. on a 9600 bit/s line delivered byte by byte, by a UART FIFO and by USB adapters: each
//     master's reaction (last reply byte to next request) and CPU share while it waits;
//  3. full read-back and full write of both programs against the 9600 bit/s wire bound, and of
//     alarmcfg in every delivery mode;
//     the full read-back of alarmcfg through a device server (ser2net raw and with COM port
//     control, sredird with COM port control) against the same read-back on the simulator's own line;
//  4. start-up to the window shown, and peak memory, of both programs.
// Figures that miss their target are marked; the program fails only when a benchmark cannot run.

#include "child_process.h"
#include "device_server.h"
#include "measure.h"
#include "simulator_log.h"
#include "table.h"

#include <QCoreApplication>
#include <QJsonObject>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <functional>
#include <optional>

namespace {

using bench::Figures;
using MaybeFigures = std::optional<Figures>;
using Value = std::optional<double>;

constexpr int fastTransactions = 2000;
constexpr int fastRounds = 8;
constexpr int waitingReads = 100;
constexpr int startupRuns = 5;
constexpr double waitingCpuLimitPercent = 0.5;
constexpr double reactionLimitMicros = 200;
constexpr double sequenceMarginLimitPercent = 1;
constexpr double deviceServerLimitPercent = 2;
constexpr double startupLimitMs = 300;
constexpr double peakMemoryLimitMiB = 60;

const QStringList masters{QStringLiteral("ours"), QStringLiteral("libmodbus"), QStringLiteral("qt")};
const QStringList slowLine{QStringLiteral("--static"), QStringLiteral("--baud"), QStringLiteral("9600")};

// How the simulator hands a paced reply to the master.
struct DeliveryMode {
    QString name;
    QStringList arguments;
};
const QList<DeliveryMode> deliveryModes{
    {QStringLiteral("byte by byte"), {QStringLiteral("--deliver"), QStringLiteral("byte")}},
    {QStringLiteral("UART FIFO"), {QStringLiteral("--deliver"), QStringLiteral("fifo")}},
    {QStringLiteral("USB 16 ms"),
     {QStringLiteral("--deliver"), QStringLiteral("usb"), QStringLiteral("--usb-latency-ms"), QStringLiteral("16")}},
    {QStringLiteral("USB 1 ms"),
     {QStringLiteral("--deliver"), QStringLiteral("usb"), QStringLiteral("--usb-latency-ms"), QStringLiteral("1")}},
};

struct Edition {
    QString argument; // for alarmsim --edition, bench_sequences and bench_startup
    QString program;
};
const QList<Edition> editions{{QStringLiteral("analog"), QStringLiteral("alarmcfg")},
                              {QStringLiteral("th"), QStringLiteral("alarmcfg_th")}};

// A target on our figure; `met` also sees libmodbus's figure when there is one.
struct Target {
    QString text;
    std::function<bool(double ours, Value libmodbus)> met;
};

const Target atMostLibmodbus{QStringLiteral("<= libmodbus"),
                             [](double ours, Value libmodbus) { return libmodbus && ours <= *libmodbus; }};

bool allRan = true;

MaybeFigures noteFailure(MaybeFigures figures)
{
    if (!figures)
        allRan = false;
    return figures;
}

QString number(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

Value figure(const MaybeFigures &figures, const QString &key)
{
    if (!figures || figures->value(key).isEmpty())
        return std::nullopt;
    return figures->value(key).first();
}

QString cell(Value value, int decimals)
{
    return value ? number(*value, decimals) : QStringLiteral("failed");
}

QString ratio(Value ours, Value peer)
{
    return ours && peer && *peer > 0 ? number(*ours / *peer, 2) : QString();
}

QStringList targetCells(const std::optional<Target> &target, Value ours, Value libmodbus)
{
    if (!target)
        return {};
    const QString met = ours ? (target->met(*ours, libmodbus) ? QStringLiteral("met") : QStringLiteral("MISSED"))
                             : QString();
    return {target->text, met};
}

// Columns: figure, ours, libmodbus, Qt, ours/libmodbus, ours/Qt, target, met.
void addRow(bench::Table &table, const QString &label, const QList<Value> &values,
            const std::optional<Target> &target, int decimals)
{
    const Value ours = values.value(0);
    const Value libmodbus = values.value(1);
    const Value qt = values.value(2);
    const bool peers = values.size() > 1;
    QStringList row{label, cell(ours, decimals),
                    peers ? cell(libmodbus, decimals) : QString(), peers ? cell(qt, decimals) : QString(),
                    ratio(ours, libmodbus), ratio(ours, qt)};
    table.addRow(row + targetCells(target, ours, libmodbus));
}

// What one master did over all rounds; empty when a round failed to run.
struct MasterRuns {
    std::optional<bench::RunFigures> read;
    std::optional<bench::RunFigures> write;
    std::vector<double> reactionMicros; // from the simulator's log, when it keeps one
    bool failed = false;
};

void accumulate(std::optional<bench::RunFigures> &total, const std::optional<bench::RunFigures> &round)
{
    if (!round)
        return;
    if (total)
        bench::merge(*total, *round);
    else
        total = round;
}

// The reactions the simulator logged since the last call. A run's first request follows the
// previous process's last reply, so it tells nothing about this master.
std::vector<double> takeReactions(std::optional<bench::SimulatorLog> &log)
{
    std::vector<double> reactions;
    if (!log)
        return reactions;
    const QList<QJsonObject> requests = log->takeNewRequests();
    for (qsizetype i = 1; i < requests.size(); ++i)
        if (requests[i].contains(QStringLiteral("reaction_us")))
            reactions.push_back(requests[i][QStringLiteral("reaction_us")].toDouble());
    return reactions;
}

// The masters take turns against one simulator, round after round and each round led by the
// next one, so that other load on the machine falls on all three alike. With a log path the
// simulator logs there, and each master's reactions are collected.
QList<MasterRuns> runMasters(const QStringList &simulatorArguments, int rounds, int reads, int writes,
                             const QString &logPath = {})
{
    const bench::SimulatorProcess simulator(
        logPath.isEmpty() ? simulatorArguments : simulatorArguments + QStringList{QStringLiteral("--log"), logPath});
    std::optional<bench::SimulatorLog> log;
    if (!logPath.isEmpty())
        log.emplace(logPath);
    QList<MasterRuns> runs(masters.size());
    for (int round = 0; round < rounds; ++round) {
        for (qsizetype turn = 0; turn < masters.size(); ++turn) {
            const qsizetype i = (round + turn) % masters.size();
            const MaybeFigures figures = noteFailure(bench::runBenchmark(
                QStringLiteral(BENCH_MASTER_PATH),
                {masters[i], simulator.devicePath(), QString::number(reads), QString::number(writes)}));
            runs[i].failed = runs[i].failed || !figures;
            const std::vector<double> reactions = takeReactions(log);
            runs[i].reactionMicros.insert(runs[i].reactionMicros.end(), reactions.begin(), reactions.end());
            if (!figures)
                continue;
            accumulate(runs[i].read, bench::runFrom(*figures, QStringLiteral("read")));
            accumulate(runs[i].write, bench::runFrom(*figures, QStringLiteral("write")));
        }
    }
    return runs;
}

using Metric = std::function<double(const bench::RunFigures &)>;
using Kind = std::optional<bench::RunFigures> MasterRuns::*;

QList<Value> across(const QList<MasterRuns> &runs, Kind kind, const Metric &metric)
{
    QList<Value> values;
    for (const MasterRuns &run : runs)
        values << (run.failed || !(run.*kind) ? Value() : Value(metric(*(run.*kind))));
    return values;
}

void addTransactionCost(bench::Table &table)
{
    const QList<MasterRuns> runs = runMasters({QStringLiteral("--static")}, fastRounds,
                                              fastTransactions / fastRounds, fastTransactions / fastRounds);
    const QList<std::pair<Kind, QString>> kinds{{&MasterRuns::read, QStringLiteral("read 10 registers")},
                                                {&MasterRuns::write, QStringLiteral("write 1 register")}};
    for (const auto &[kind, name] : kinds) {
        addRow(table, name + ": median wall, µs", across(runs, kind, &bench::RunFigures::median),
               atMostLibmodbus, 1);
        addRow(table, name + ": 99th percentile wall, µs", across(runs, kind, &bench::RunFigures::p99),
               std::nullopt, 1);
        addRow(table, name + ": CPU user+system, µs",
               across(runs, kind, &bench::RunFigures::cpuPerTransaction), atMostLibmodbus, 1);
        addRow(table, name + QStringLiteral(": failed of %1").arg(fastTransactions),
               across(runs, kind, [](const bench::RunFigures &run) { return double(run.failures); }),
               std::nullopt, 0);
    }
}

QList<Value> medianReactions(const QList<MasterRuns> &runs)
{
    QList<Value> values;
    for (const MasterRuns &run : runs)
        values << (run.failed || run.reactionMicros.empty() ? Value() : Value(bench::quantile(run.reactionMicros, 0.5)));
    return values;
}

void addDeliveryModes(bench::Table &table)
{
    const Target quickReaction{QStringLiteral("<= 200 µs"),
                               [](double ours, Value) { return ours <= reactionLimitMicros; }};
    const Target idleWait{QStringLiteral("<= 0.5 %"),
                          [](double ours, Value) { return ours <= waitingCpuLimitPercent; }};
    for (const DeliveryMode &mode : deliveryModes) {
        const QTemporaryDir logDir;
        const QList<MasterRuns> runs = runMasters(slowLine + mode.arguments, 1, waitingReads, 0,
                                                  logDir.filePath(QStringLiteral("requests.jsonl")));
        const QString label = QStringLiteral("9600 bit/s, ") + mode.name;
        addRow(table, label + QStringLiteral(": median reaction, µs"), medianReactions(runs), quickReaction, 1);
        addRow(table, label + QStringLiteral(": CPU while waiting, % of wall"),
               across(runs, &MasterRuns::read,
                      [](const bench::RunFigures &run) { return 100 * run.cpuShareOfWall(); }),
               idleWait, 2);
    }
}

// Measured time next to the wire bound: "2412.3 (bound 2390.0, +0.9 %)".
void addSequence(bench::Table &table, const QString &label, const MaybeFigures &run, const QString &key)
{
    const Value measured = figure(run, key + ".ms");
    const Value bound = figure(run, key + ".bound_ms");
    if (!measured || !bound || *bound <= 0) {
        table.addRow({label, QStringLiteral("failed")});
        return;
    }
    const double excess = 100 * (*measured / *bound - 1);
    table.addRow({label,
                  QStringLiteral("%1 (bound %2, %3%4 %)")
                      .arg(number(*measured, 1), number(*bound, 1), excess >= 0 ? "+" : "", number(excess, 1)),
                  {}, {}, {}, {}, QStringLiteral("<= bound + 1 %"),
                  excess <= sequenceMarginLimitPercent ? QStringLiteral("met") : QStringLiteral("MISSED")});
}

void addSequenceRun(bench::Table &table, const Edition &edition, const DeliveryMode &mode)
{
    const QTemporaryDir logDir;
    const QString log = logDir.filePath(QStringLiteral("requests.jsonl"));
    const bench::SimulatorProcess simulator(slowLine + mode.arguments +
                                            QStringList{QStringLiteral("--edition"), edition.argument,
                                                        QStringLiteral("--log"), log});
    const MaybeFigures run = noteFailure(bench::runBenchmark(
        QStringLiteral(BENCH_SEQUENCES_PATH), {edition.argument, simulator.devicePath(), log}));
    const QString line = QStringLiteral(" at 9600 bit/s, %1, ms").arg(mode.name);
    addSequence(table, edition.program + QStringLiteral(" full read-back") + line, run,
                QStringLiteral("readback"));
    addSequence(table, edition.program + QStringLiteral(" full write") + line, run, QStringLiteral("write"));
}

// Both programs byte by byte; alarmcfg also in every other delivery mode.
void addSequences(bench::Table &table)
{
    for (const Edition &edition : editions)
        addSequenceRun(table, edition, deliveryModes.first());
    for (const DeliveryMode &mode : deliveryModes.mid(1))
        addSequenceRun(table, editions.first(), mode);
}

// The full read-back through a device server (ser2net raw and with COM port control, sredird with
// COM port control) against the same read-back on the simulator's own line.
void addDeviceServers(bench::Table &table)
{
    const Edition &edition = editions.first();
    const auto readBack = [&](const std::function<QString(const QString &device)> &portOf) -> Value {
        const QTemporaryDir logDir;
        const QString log = logDir.filePath(QStringLiteral("requests.jsonl"));
        const bench::SimulatorProcess simulator(
            slowLine + QStringList{QStringLiteral("--edition"), edition.argument, QStringLiteral("--log"), log});
        const QString port = portOf(simulator.devicePath());
        if (port.isEmpty())
            return std::nullopt;
        return figure(noteFailure(bench::runBenchmark(QStringLiteral(BENCH_SEQUENCES_PATH),
                                                      {edition.argument, port, log})),
                      QStringLiteral("readback.ms"));
    };
    const Value local = readBack([](const QString &device) { return device; });
    using Kind = DeviceServer::Kind;
    const std::pair<const char *, Kind> servers[] = {{"tcp", Kind::Ser2net}, {"rfc2217", Kind::Ser2net},
                                                     {"rfc2217", Kind::Sredird}};
    for (const auto &[scheme, kind] : servers) {
        DeviceServer server;
        const Value remote = readBack([&, scheme = scheme, kind = kind](const QString &device) {
            if (!server.start(device, QStringLiteral("9600n81"), kind)) {
                std::fprintf(stderr, "bench_report: %s\n", qPrintable(server.errorText()));
                allRan = false;
                return QString();
            }
            return server.url(scheme, QLatin1String(scheme) == QLatin1String("tcp") ? server.rawPort
                                                                                     : server.telnetPort);
        });
        const QString label = edition.program
                              + QStringLiteral(" full read-back through %1, %2://, ms").arg(DeviceServer::name(kind), scheme);
        if (!remote || !local) {
            table.addRow({label, QStringLiteral("failed")});
            continue;
        }
        const double excess = 100 * (*remote / *local - 1);
        table.addRow({label,
                      QStringLiteral("%1 (local %2, %3%4 %)")
                          .arg(number(*remote, 1), number(*local, 1), excess >= 0 ? "+" : "", number(excess, 1)),
                      {}, {}, {}, {}, QStringLiteral("<= local + 2 %"),
                      excess <= deviceServerLimitPercent ? QStringLiteral("met") : QStringLiteral("MISSED")});
    }
}

// Median start-up over several cold processes; memory is the largest peak seen.
void addStartup(bench::Table &table)
{
    for (const Edition &edition : editions) {
        std::vector<double> times;
        double peak = 0;
        for (int i = 0; i < startupRuns; ++i) {
            const MaybeFigures run = noteFailure(
                bench::runBenchmark(QStringLiteral(BENCH_STARTUP_PATH), {edition.argument}));
            if (const Value ms = figure(run, QStringLiteral("startup.ms")))
                times.push_back(*ms);
            peak = std::max(peak, figure(run, QStringLiteral("startup.peak_mib")).value_or(0));
        }
        const Value startup = times.empty() ? Value() : Value(bench::quantile(times, 0.5));
        addRow(table, edition.program + QStringLiteral(" start-up to window shown, ms"), {startup},
               Target{QStringLiteral("< 300"), [](double ms, Value) { return ms < startupLimitMs; }}, 1);
        addRow(table, edition.program + QStringLiteral(" peak memory, MiB"), {times.empty() ? Value() : Value(peak)},
               Target{QStringLiteral("< 60"), [](double mib, Value) { return mib < peakMemoryLimitMiB; }}, 1);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    bench::Table table({QStringLiteral("Figure"), QStringLiteral("ours"), QStringLiteral("libmodbus"),
                        QStringLiteral("Qt"), QStringLiteral("ours/libmodbus"), QStringLiteral("ours/Qt"),
                        QStringLiteral("target"), QStringLiteral("met")});
    try {
        addTransactionCost(table);
        addDeliveryModes(table);
        addSequences(table);
        addDeviceServers(table);
        addStartup(table);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_report: %s\n", e.what());
        return 1;
    }
    std::printf("%s", qPrintable(table.render()));
    return allRan ? 0 : 1;
}
