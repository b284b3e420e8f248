#include "window/periodic_timer.h"

#include <algorithm>

namespace alarmcfg {

PeriodicTimer::PeriodicTimer(QObject *parent) : QObject(parent)
{
    connect(&timer_, &QTimer::timeout, this, &PeriodicTimer::tick);
}

void PeriodicTimer::setInterval(int milliseconds)
{
    interval_ = std::max(milliseconds, 0);
    apply();
}

void PeriodicTimer::setEnabled(bool enabled)
{
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    apply();
}

void PeriodicTimer::apply()
{
    if (enabled_ && interval_ > 0) {
        timer_.start(interval_);
        emit restarted();
    } else {
        timer_.stop();
    }
}

} // namespace alarmcfg
