#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QVector>

#include <chrono>
#include <cstdint>
#include <optional>

namespace alarmsim {

// One request as it came off the line, decoded for the log.
struct LoggedRequest {
    int slave = 0;
    int function = 0;
    int address = 0;
    int count = 0;
    QVector<int16_t> values; // written values of functions 6 and 16
    QByteArray frame;
};

LoggedRequest decodeRequest(const QByteArray &frame);

// Timings of one reply on a paced line, for benchmarks.
struct ReplyTimings {
    // From the last byte of the previous reply to this request's arrival.
    std::optional<std::chrono::microseconds> reaction;
    // When the reply's last byte is due to reach the master, after the request arrived.
    std::optional<std::chrono::microseconds> due;
};

// "01 03 00 00 00 07 04 08"
QString hexBytes(const QByteArray &bytes);

// JSON lines, one per request (or per run of discarded bytes), flushed at once so that a
// test reading the file after its reply has arrived sees the line.
class RequestLog {
public:
    // An empty path logs nothing. Throws std::runtime_error when the file cannot be opened.
    explicit RequestLog(const QString &path);

    void request(const LoggedRequest &request, const QByteArray &reply, const QString &fault,
                 const ReplyTimings &timings = {});
    void discarded(const QByteArray &bytes, const QString &reason);

private:
    void writeLine(const QByteArray &line);
    double secondsSinceStart() const;

    QFile file;
    QElapsedTimer clock;
};

} // namespace alarmsim
