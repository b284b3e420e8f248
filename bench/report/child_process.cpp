#include "child_process.h"

#include <QDeadlineTimer>

#include <cstdio>
#include <stdexcept>

namespace bench {
namespace {

constexpr int simulatorStartMs = 10000;
constexpr int simulatorStopMs = 5000;
constexpr int benchmarkLimitMs = 180000;

} // namespace

SimulatorProcess::SimulatorProcess(const QStringList &arguments)
{
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral(ALARMSIM_PATH), arguments);
    const QDeadlineTimer deadline(simulatorStartMs);
    while (!process.canReadLine() && process.state() != QProcess::NotRunning &&
           !deadline.hasExpired())
        process.waitForReadyRead(int(deadline.remainingTime()));
    if (!process.canReadLine())
        throw std::runtime_error("alarmsim printed no device path");
    path = QString::fromLocal8Bit(process.readLine()).trimmed();
}

SimulatorProcess::~SimulatorProcess()
{
    process.terminate();
    if (!process.waitForFinished(simulatorStopMs))
        process.kill();
    process.waitForFinished(simulatorStopMs);
}

std::optional<Figures> runBenchmark(const QString &program, const QStringList &arguments)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(program, arguments);
    if (!child.waitForFinished(benchmarkLimitMs)) {
        child.kill();
        child.waitForFinished();
        std::fprintf(stderr, "%s %s: did not finish\n", qPrintable(program),
                     qPrintable(arguments.join(' ')));
        return std::nullopt;
    }
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
        std::fprintf(stderr, "%s %s: failed\n", qPrintable(program), qPrintable(arguments.join(' ')));
        return std::nullopt;
    }
    return parseFigures(child.readAllStandardOutput());
}

} // namespace bench
