// Runs every benchmark side by side against alarmsim and prints one table:
//  1. transaction cost of our component, libmodbus and Qt against an unpaced simulator;
//  2. CPU share of each master while it waits on a 9600 bit/s line;
//  3. full read-back and full write of both programs against the 9600 bit/s wire bound;
//  4. start-up to the window shown, and peak memory, of both programs.
// Figures that miss their target are marked; the program fails only when a benchmark cannot run.

#include "child_process.h"
#include "measure.h"
#include "table.h"

#include <QCoreApplication>
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
constexpr int waitingReads = 250;
constexpr int startupRuns = 5;
constexpr double waitingCpuLimitPercent = 2;
constexpr double sequenceMarginLimitPercent = 5;
constexpr double startupLimitMs = 300;
constexpr double peakMemoryLimitMiB = 60;

const QStringList masters{QStringLiteral("ours"), QStringLiteral("libmodbus"), QStringLiteral("qt")};
const QStringList slowLine{QStringLiteral("--static"), QStringLiteral("--baud"), QStringLiteral("9600")};

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

// The masters take turns against one simulator, round after round and each round led by the
// next one, so that other load on the machine falls on all three alike.
QList<MasterRuns> runMasters(const QStringList &simulatorArguments, int rounds, int reads, int writes)
{
    const bench::SimulatorProcess simulator(simulatorArguments);
    QList<MasterRuns> runs(masters.size());
    for (int round = 0; round < rounds; ++round) {
        for (qsizetype turn = 0; turn < masters.size(); ++turn) {
            const qsizetype i = (round + turn) % masters.size();
            const MaybeFigures figures = noteFailure(bench::runBenchmark(
                QStringLiteral(BENCH_MASTER_PATH),
                {masters[i], simulator.devicePath(), QString::number(reads), QString::number(writes)}));
            runs[i].failed = runs[i].failed || !figures;
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

void addWaitingCpu(bench::Table &table)
{
    const QList<MasterRuns> runs = runMasters(slowLine, 1, waitingReads, 0);
    const Target underLimit{QStringLiteral("< 2 %"),
                            [](double ours, Value) { return ours < waitingCpuLimitPercent; }};
    addRow(table, QStringLiteral("reads at 9600 bit/s: CPU, % of wall"),
           across(runs, &MasterRuns::read,
                  [](const bench::RunFigures &run) { return 100 * run.cpuShareOfWall(); }),
           underLimit, 2);
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
                  {}, {}, {}, {}, QStringLiteral("<= bound + 5 %"),
                  excess <= sequenceMarginLimitPercent ? QStringLiteral("met") : QStringLiteral("MISSED")});
}

void addSequences(bench::Table &table)
{
    for (const Edition &edition : editions) {
        const QTemporaryDir logDir;
        const QString log = logDir.filePath(QStringLiteral("requests.jsonl"));
        const bench::SimulatorProcess simulator(
            slowLine + QStringList{QStringLiteral("--edition"), edition.argument, QStringLiteral("--log"), log});
        const MaybeFigures run = noteFailure(bench::runBenchmark(
            QStringLiteral(BENCH_SEQUENCES_PATH), {edition.argument, simulator.devicePath(), log}));
        addSequence(table, edition.program + QStringLiteral(" full read-back at 9600 bit/s, ms"), run,
                    QStringLiteral("readback"));
        addSequence(table, edition.program + QStringLiteral(" full write at 9600 bit/s, ms"), run,
                    QStringLiteral("write"));
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
        addWaitingCpu(table);
        addSequences(table);
        addStartup(table);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_report: %s\n", e.what());
        return 1;
    }
    std::printf("%s", qPrintable(table.render()));
    return allRan ? 0 : 1;
}
