#pragma once

#include "window/periodic_timer.h"

#include <QObject>
#include <QtGlobal>

#include <initializer_list>
#include <vector>

// Runs PeriodicTimers on virtual time: advance() delivers, in time order, every tick that falls
// due meanwhile, without waiting. The event loop must not run meanwhile, or the real timers tick
// as well. Ticks due at the same moment come in the order the timers were given. Link
// alarmcfg_ui to use it.
class TimerDriver {
public:
    explicit TimerDriver(std::initializer_list<alarmcfg::PeriodicTimer *> timers)
    {
        for (alarmcfg::PeriodicTimer *timer : timers) {
            const std::size_t index = watched_.size();
            watched_.push_back({timer, now_});
            QObject::connect(timer, &alarmcfg::PeriodicTimer::restarted, &context_,
                             [this, index] { watched_[index].countdownFrom = now_; });
        }
    }

    // Milliseconds of virtual time since the driver was made.
    qint64 now() const { return now_; }

    void advance(qint64 milliseconds)
    {
        const qint64 end = now_ + milliseconds;
        while (Watched *next = nextDue(end)) {
            now_ = dueAt(*next);
            next->countdownFrom = now_;
            emit next->timer->tick();
        }
        now_ = end;
    }

private:
    struct Watched {
        alarmcfg::PeriodicTimer *timer;
        qint64 countdownFrom;
    };

    static qint64 dueAt(const Watched &w) { return w.countdownFrom + w.timer->interval(); }

    Watched *nextDue(qint64 end)
    {
        Watched *next = nullptr;
        for (Watched &w : watched_)
            if (w.timer->isTicking() && dueAt(w) <= end && (!next || dueAt(w) < dueAt(*next)))
                next = &w;
        return next;
    }

    QObject context_; // ends the connections with the driver
    std::vector<Watched> watched_;
    qint64 now_ = 0;
};
