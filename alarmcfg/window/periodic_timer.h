#pragma once

#include <QObject>
#include <QTimer>

namespace alarmcfg {

// A timer with a period and an enabled flag that ticks only while it is enabled and has a
// period: a bare QTimer with interval 0 would fire on every pass of the event loop.
class PeriodicTimer : public QObject {
    Q_OBJECT

public:
    explicit PeriodicTimer(QObject *parent = nullptr);

    // Milliseconds; 0 means no period. Setting it restarts the countdown.
    void setInterval(int milliseconds);
    int interval() const { return interval_; }

    void setEnabled(bool enabled);
    bool isEnabled() const { return enabled_; }

    // Whether ticks are being delivered: enabled and with a period.
    bool isTicking() const { return timer_.isActive(); }

signals:
    void tick();
    // The countdown to the next tick has begun afresh (enabled with a period, or a new period set);
    // lets a test run the timer on virtual time.
    void restarted();

private:
    void apply();

    QTimer timer_;
    int interval_ = 0;
    bool enabled_ = true;
};

} // namespace alarmcfg
