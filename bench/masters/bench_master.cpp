// bench_master MASTER DEVICE READS WRITES
// Reads 10 registers READS times, then writes one register WRITES times, against slave 1 on
// DEVICE; prints per-transaction wall time (median, 99th percentile) and CPU time.

#include "master.h"
#include "results.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <exception>
#include <functional>
#include <map>

namespace {

using Factory = std::function<std::unique_ptr<bench::Master>(const QString &)>;

const std::map<QString, Factory> masters = {
    {QStringLiteral("ours"), bench::makeOurMaster},
    {QStringLiteral("libmodbus"), bench::makeLibmodbusMaster},
    {QStringLiteral("qt"), bench::makeQtMaster},
};

constexpr int readAddress = 10;    // first relay's open command
constexpr int readCount = 10;
constexpr int writeAddress = 690;  // first relay's action time
constexpr int warmUpTransactions = 20;

int usage()
{
    std::fprintf(stderr, "usage: bench_master ours|libmodbus|qt DEVICE READS WRITES\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const QStringList args = application.arguments();
    if (args.size() != 5 || !masters.count(args[1]))
        return usage();
    bool readsOk = false;
    bool writesOk = false;
    const int reads = args[3].toInt(&readsOk);
    const int writes = args[4].toInt(&writesOk);
    if (!readsOk || !writesOk || reads < 0 || writes < 0)
        return usage();
    try {
        const auto master = masters.at(args[1])(args[2]);
        for (int i = 0; i < warmUpTransactions; ++i)
            master->readRegisters(readAddress, readCount);
        if (reads > 0)
            bench::printRun(QStringLiteral("read"),
                            bench::timeTransactions(reads, [&](int) {
                                return master->readRegisters(readAddress, readCount);
                            }));
        if (writes > 0)
            bench::printRun(QStringLiteral("write"),
                            bench::timeTransactions(writes, [&](int i) {
                                return master->writeRegister(writeAddress, i % 100);
                            }));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_master %s: %s\n", qPrintable(args[1]), e.what());
        return 1;
    }
    return 0;
}
