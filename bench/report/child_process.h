#pragma once

#include "results.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <optional>

namespace bench {

// alarmsim on a fresh pseudo-terminal for the length of one benchmark.
class SimulatorProcess {
public:
    // Throws std::runtime_error when alarmsim prints no device path.
    explicit SimulatorProcess(const QStringList &arguments);
    ~SimulatorProcess();
    SimulatorProcess(const SimulatorProcess &) = delete;
    SimulatorProcess &operator=(const SimulatorProcess &) = delete;

    QString devicePath() const { return path; }

private:
    QProcess process;
    QString path;
};

// Runs a benchmark program to its end and collects its figures; none when it failed (its
// error output then goes to our stderr).
std::optional<Figures> runBenchmark(const QString &program, const QStringList &arguments);

} // namespace bench
