#pragma once

#include "modbus/comm_error.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>

#include <stdexcept>

class modbus;

// --log-traffic: one line per transaction of the component, appended to a file and flushed at
// once, for support to read when a site misbehaves. Without it the component has no observer.
namespace alarmcfg {

class TrafficLogError : public std::runtime_error {
public:
    explicit TrafficLogError(const QString &message);
    QString message() const { return message_; }

private:
    QString message_;
};

class TrafficLog {
public:
    // Opens the file for appending (creating it); throws TrafficLogError when it cannot.
    explicit TrafficLog(const QString &path);
    // From now on every transaction of `component` is logged; the log must outlive it.
    void observe(modbus &component);

    // "time<TAB>request<TAB>reply<TAB>result": UTC time to the millisecond, bytes in hex ("-" for
    // none), "ok", "error 1000", "busy", "not sent" or "port failed: " and the port's reason.
    static QString lineFor(const QDateTime &time, const QByteArray &request, const QByteArray &reply,
                           const RequestOutcome &outcome, const QString &portFailure = {});

private:
    void append(const QString &line);

    QFile file_;
};

} // namespace alarmcfg
