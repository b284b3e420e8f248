#pragma once

#include <chrono>

namespace alarmsim {

// SIGINT, SIGTERM and SIGHUP end the simulator cleanly. The handler only writes to a pipe, so
// the main loop can wait for the line and for a stop at the same time.
class StopSignal {
public:
    StopSignal();
    ~StopSignal();
    StopSignal(const StopSignal &) = delete;
    StopSignal &operator=(const StopSignal &) = delete;

    int fd() const { return readFd; }
    bool requested() const;
    // Sleeps for the duration; returns early, with true, when a stop is requested.
    bool waitFor(std::chrono::microseconds duration) const;

private:
    int readFd = -1;
};

} // namespace alarmsim
