#pragma once

#include <chrono>
#include <functional>
#include <vector>

// Clocks and statistics of the benchmarks: wall time from steady_clock, CPU time and peak memory
// from getrusage.

namespace bench {

using Micros = std::chrono::duration<double, std::micro>;

// User plus system CPU time this process has used so far (all its threads).
Micros processCpuTime();

// Peak resident set size of this process, in MiB.
double peakResidentMiB();

// Wall time since the kernel started this process (its start time has clock-tick resolution,
// so the figure errs on the long side by at most one tick).
Micros sinceProcessStart();

// Nearest-rank quantile, q in 0..1. Throws std::invalid_argument for no samples.
double quantile(std::vector<double> samples, double q);

// Figures of one run of transactions.
struct RunFigures {
    std::vector<double> wallMicros; // per transaction
    Micros wallTotal{};
    Micros cpuTotal{};
    int failures = 0;

    double median() const { return quantile(wallMicros, 0.5); }
    double p99() const { return quantile(wallMicros, 0.99); }
    double cpuPerTransaction() const;
    double cpuShareOfWall() const;
};

// Runs `transaction` `count` times, timing each one; a false result counts as a failure.
RunFigures timeTransactions(int count, const std::function<bool(int index)> &transaction);

} // namespace bench
