#pragma once

// Shared by the reliability tests: the controller's register image before and after an operation,
// which registers an operation may change, and ending the controller from another thread while the
// window's thread is blocked in a request.

#include "edition_named.h"
#include "indicators.h"
#include "register_map.h"
#include "sim_form_rig.h"

#include "window/form_main.h"

#include <QFile>
#include <QSet>
#include <QString>
#include <QThread>

#include <csignal>
#include <map>
#include <thread>

namespace reliability {

// The image a controller started with `simArguments(edition, presets)` holds before any request.
inline QVector<qint16> initialImage(const QString &edition, const QStringList &presets = {})
{
    static std::map<QStringList, QVector<qint16>> cache;
    const QStringList arguments = simArguments(edition, presets);
    auto found = cache.find(arguments);
    if (found != cache.end())
        return found->second;
    Simulator sim;
    if (!sim.start(arguments) || !sim.stop())
        return {};
    return cache.emplace(arguments, sim.registers()).first->second;
}

using registermap::Span;

// Every register the full write may touch.
inline QList<Span> writableFields(const QString &edition)
{
    QList<Span> spans;
    for (const registermap::Write &step : registermap::of(edition).write)
        spans << step.span;
    return spans;
}

inline QSet<int> addressesOf(const QList<Span> &spans)
{
    QSet<int> addresses;
    for (const auto &[first, count] : spans)
        for (int a = first; a < first + count; ++a)
            addresses.insert(a);
    return addresses;
}

// Addresses whose value differs between two images. An image that was never saved (the
// controller was killed before any write) counts as unchanged.
inline QList<int> changedAddresses(const QVector<qint16> &before, const QVector<qint16> &after)
{
    QList<int> changed;
    if (after.isEmpty())
        return changed;
    for (int a = 0; a < after.size(); ++a)
        if (a >= before.size() || before[a] != after[a])
            changed << a;
    return changed;
}

inline QList<int> outside(const QList<int> &addresses, const QSet<int> &allowed)
{
    QList<int> out;
    for (int a : addresses)
        if (!allowed.contains(a))
            out << a;
    return out;
}

inline int allBits(int count)
{
    return (1 << count) - 1;
}

// Kills the simulator `afterMs` after construction, from its own thread; the test's thread may be
// blocked in a request meanwhile. Joined on destruction.
class DelayedKill {
public:
    DelayedKill(qint64 pid, int afterMs)
        : thread([pid, afterMs] {
              QThread::msleep(afterMs);
              ::kill(pid_t(pid), SIGKILL);
          })
    {
    }
    ~DelayedKill() { thread.join(); }
    DelayedKill(const DelayedKill &) = delete;
    DelayedKill &operator=(const DelayedKill &) = delete;

private:
    std::thread thread;
};

// Resident memory of this process in kB, from /proc/self/status.
inline qint64 residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

} // namespace reliability
