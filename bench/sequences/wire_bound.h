#pragma once

#include <QString>

namespace bench {

// Reads a simulator request log as it grows and sums the wire time of the frames it gained:
// request and reply bytes at 10 bits per character, plus the simulator's turnaround of 3.5
// character times per request.
class WireBound {
public:
    WireBound(QString logPath, int baud);

    // Wire time in ms of the requests logged since the last call; their count in `requests`.
    // A request that got no reply counts as a failure in `unanswered`.
    double takeNewMilliseconds();
    int requests() const { return requests_; }
    int unanswered() const { return unanswered_; }

private:
    QString logPath;
    int baud;
    qint64 consumed = 0;
    int requests_ = 0;
    int unanswered_ = 0;
};

} // namespace bench
