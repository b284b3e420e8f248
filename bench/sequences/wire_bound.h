#pragma once

#include "simulator_log.h"

#include <QString>

namespace bench {

// Reads a simulator request log as it grows and sums the wire time of the frames it gained:
// request and reply bytes at 10 bits per character, plus the simulator's turnaround of 3.5
// character times per request. Where the simulator hands replies over in batches, a reply ends
// when its last byte is due at the master, as the simulator logged it.
class WireBound {
public:
    WireBound(QString logPath, int baud);

    // Wire time in ms of the requests logged since the last call; their count in `requests`.
    // A request that got no reply counts as a failure in `unanswered`.
    double takeNewMilliseconds();
    int requests() const { return requests_; }
    int unanswered() const { return unanswered_; }

private:
    SimulatorLog log;
    int baud;
    int requests_ = 0;
    int unanswered_ = 0;
};

} // namespace bench
