#pragma once

#include "faults.h"
#include "live_status.h"
#include "register_image.h"
#include "request_log.h"
#include "serial_line.h"
#include "stop_signal.h"

#include <QString>

#include <chrono>
#include <optional>
#include <vector>

struct _modbus;
struct _modbus_mapping_t;

namespace alarmsim {

struct SlaveSetup {
    Edition edition = Edition::Analog;
    std::vector<uint16_t> image; // registerCount values
    QString statePath;           // empty: nothing is saved
    FaultPlan faults;
    WireTiming timing;
    bool frozen = false;
};

// The controller on its line: answers requests for slave 1 from the register image, keeps the
// status block live and saves the image after every write.
class Slave {
public:
    Slave(SlaveSetup setup, const SerialLine &line, RequestLog &log, const StopSignal &stop);
    ~Slave();
    Slave(const Slave &) = delete;
    Slave &operator=(const Slave &) = delete;

    // Serves until a stop is requested. Throws LineError when the line goes away.
    void run();
    // Throws StateFileError.
    void saveState() const;

private:
    void serveRequest();
    void discardInput(const QString &reason);
    // The good reply libmodbus builds, with the registers updated; empty for a broadcast.
    QByteArray execute(const QByteArray &frame);
    void answer(const QByteArray &frame, std::chrono::steady_clock::time_point arrived);
    void resetContext();
    ReplyTimings replyTimings(std::chrono::steady_clock::time_point arrived, int requestBytes,
                              int replyBytes);
    Registers registers();

    SlaveSetup setup;
    const SerialLine &line;
    RequestLog &log;
    const StopSignal &stop;
    LiveStatus live;
    WireTiming timing;
    _modbus *context = nullptr;
    _modbus_mapping_t *mapping = nullptr;
    int replyPipe[2] = {-1, -1};
    int requestNumber = 0;
    // When the last byte of the latest reply went out; none once a request has come since.
    std::optional<std::chrono::steady_clock::time_point> replyDelivered;
};

} // namespace alarmsim
