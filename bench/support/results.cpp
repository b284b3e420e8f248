#include "results.h"

#include <cstdio>

namespace bench {

void printFigure(const QString &key, double value)
{
    std::printf("%s %.6g\n", qPrintable(key), value);
    std::fflush(stdout);
}

void printRun(const QString &prefix, const RunFigures &run)
{
    std::printf("%s.wall_us", qPrintable(prefix));
    for (double sample : run.wallMicros)
        std::printf(" %.3f", sample);
    std::printf("\n");
    printFigure(prefix + ".wall_total_us", run.wallTotal.count());
    printFigure(prefix + ".cpu_total_us", run.cpuTotal.count());
    printFigure(prefix + ".failures", run.failures);
}

Figures parseFigures(const QByteArray &output)
{
    Figures figures;
    for (const QByteArray &line : output.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        QList<double> values;
        bool ok = fields.size() > 1;
        for (qsizetype i = 1; ok && i < fields.size(); ++i)
            values << fields[i].toDouble(&ok);
        if (ok)
            figures.insert(QString::fromUtf8(fields[0]), values);
    }
    return figures;
}

std::optional<RunFigures> runFrom(const Figures &figures, const QString &prefix)
{
    const QString wall = prefix + ".wall_us";
    const QString wallTotal = prefix + ".wall_total_us";
    const QString cpuTotal = prefix + ".cpu_total_us";
    const QString failures = prefix + ".failures";
    for (const QString &key : {wall, wallTotal, cpuTotal, failures})
        if (figures.value(key).isEmpty())
            return std::nullopt;
    RunFigures run;
    const QList<double> samples = figures.value(wall);
    run.wallMicros.assign(samples.begin(), samples.end());
    run.wallTotal = Micros(figures.value(wallTotal).first());
    run.cpuTotal = Micros(figures.value(cpuTotal).first());
    run.failures = int(figures.value(failures).first());
    return run;
}

void merge(RunFigures &into, const RunFigures &more)
{
    into.wallMicros.insert(into.wallMicros.end(), more.wallMicros.begin(), more.wallMicros.end());
    into.wallTotal += more.wallTotal;
    into.cpuTotal += more.cpuTotal;
    into.failures += more.failures;
}

} // namespace bench
