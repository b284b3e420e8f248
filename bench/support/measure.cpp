#include "measure.h"

#include <QFile>
#include <QList>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <stdexcept>

#include <sys/resource.h>
#include <unistd.h>

namespace bench {
namespace {

Micros toMicros(const timeval &t)
{
    return Micros(double(t.tv_sec) * 1e6 + double(t.tv_usec));
}

// Field 22 of /proc/self/stat: start time in clock ticks after boot. The command name (field 2)
// may hold spaces, so counting starts after its closing parenthesis.
double startTicksAfterBoot()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read /proc/self/stat");
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    constexpr int startTimeAfterName = 22 - 3;
    if (fields.size() <= startTimeAfterName)
        throw std::runtime_error("unexpected /proc/self/stat");
    return fields[startTimeAfterName].toDouble();
}

} // namespace

Micros processCpuTime()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return toMicros(usage.ru_utime) + toMicros(usage.ru_stime);
}

double peakResidentMiB()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

Micros sinceProcessStart()
{
    timespec now{};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    const double nowMicros = double(now.tv_sec) * 1e6 + double(now.tv_nsec) / 1e3;
    const double startMicros = startTicksAfterBoot() * 1e6 / double(::sysconf(_SC_CLK_TCK));
    return Micros(nowMicros - startMicros);
}

double quantile(std::vector<double> samples, double q)
{
    if (samples.empty())
        throw std::invalid_argument("quantile of no samples");
    const auto rank = std::size_t(std::ceil(q * double(samples.size())));
    const std::size_t index = std::clamp<std::size_t>(rank, 1, samples.size()) - 1;
    std::nth_element(samples.begin(), samples.begin() + std::ptrdiff_t(index), samples.end());
    return samples[index];
}

double RunFigures::cpuPerTransaction() const
{
    return wallMicros.empty() ? 0.0 : cpuTotal.count() / double(wallMicros.size());
}

double RunFigures::cpuShareOfWall() const
{
    return wallTotal.count() > 0 ? cpuTotal.count() / wallTotal.count() : 0.0;
}

RunFigures timeTransactions(int count, const std::function<bool(int index)> &transaction)
{
    using Clock = std::chrono::steady_clock;
    RunFigures figures;
    figures.wallMicros.reserve(std::size_t(std::max(count, 0)));
    const Micros cpuBefore = processCpuTime();
    const auto runStart = Clock::now();
    for (int i = 0; i < count; ++i) {
        const auto start = Clock::now();
        if (!transaction(i))
            ++figures.failures;
        figures.wallMicros.push_back(Micros(Clock::now() - start).count());
    }
    figures.wallTotal = Clock::now() - runStart;
    figures.cpuTotal = processCpuTime() - cpuBefore;
    return figures;
}

} // namespace bench
