#pragma once

// Shared by the reliability tests: both editions by name, the controller's register image before
// and after an operation, which registers an operation may change, indicator colours, and ending
// the controller from another thread while the window's thread is blocked in a request.

#include "edition_named.h"
#include "sim_form_rig.h"

#include "window/form_main.h"
#include "window/widget_state.h"

#include <QFile>
#include <QPushButton>
#include <QSet>
#include <QString>
#include <QThread>

#include <csignal>
#include <map>
#include <thread>
#include <utility>

namespace reliability {

inline bool isTh(const QString &edition)
{
    return edition == u"th";
}

// Live values frozen, so that only the program's requests change the image.
inline QStringList simArguments(const QString &edition, const QStringList &extra = {})
{
    return QStringList{"--static", "--edition", edition} + extra;
}

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

using Span = std::pair<int, int>; // first register, register count

// Every register the full write may touch, written down from the register map independently of
// the program's own write plan: commands and relay replies hold at most 20 bytes, other texts
// their 20-register slot.
inline QList<Span> writableFields(const QString &edition)
{
    const bool th = isTh(edition);
    const int relays = th ? 4 : 8;
    QList<Span> spans;
    for (int r = 0; r < relays; ++r)
        spans << Span{10 + 60 * r, 10} << Span{30 + 60 * r, 10} << Span{50 + 60 * r, 10}
              << Span{850 + 20 * r, 10};
    spans << Span{490, 10} << Span{510, 10};
    for (int k = 0; k < 4; ++k)
        spans << Span{522 + 20 * k, 20} << Span{770 + 20 * k, 20};
    if (th) {
        for (int k = 0; k < 11; ++k)
            spans << Span{260 + 20 * k, 20};
        spans << Span{690, 4} << Span{1010, 4} << Span{1018, 2};
    } else {
        for (int k = 0; k < 3; ++k)
            spans << Span{710 + 20 * k, 20};
        for (int k = 0; k < 7; ++k)
            spans << Span{1100 + 20 * k, 20};
        spans << Span{690, 8} << Span{1010, 4} << Span{1018, 2} << Span{1022, 2} << Span{1026, 2}
              << Span{1030, 1};
    }
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

// Bit n set when indicator n shows green.
inline int greenMask(const std::vector<QPushButton *> &buttons)
{
    int mask = 0;
    for (int n = 0; n < int(buttons.size()); ++n)
        if (alarmcfg::indicatorColor(buttons[n]) == QColor(alarmcfg::indicatorGreen))
            mask |= 1 << n;
    return mask;
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
