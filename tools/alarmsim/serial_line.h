#pragma once

#include "stop_signal.h"

#include <QByteArray>
#include <QString>

#include <QStringList>

#include <chrono>
#include <optional>
#include <vector>
#include <stdexcept>

namespace alarmsim {

class LineError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The slave's end of the serial line: the master side of a new pseudo-terminal (whose slave
// side stays open here too, so the line survives clients coming and going) or a real device.
class SerialLine {
public:
    static SerialLine openPseudoTerminal();
    static SerialLine openDevice(const QString &path, int baud);
    SerialLine(SerialLine &&other) noexcept;
    SerialLine &operator=(SerialLine &&) = delete;
    ~SerialLine();

    int fd() const { return lineFd; }
    QString path() const { return devicePath; }
    // A pseudo-terminal has no speed of its own: emulated wire time applies to it only.
    bool pacedBySoftware() const { return keepOpenFd >= 0; }

    // Takes what the line holds until it has been quiet for the gap.
    QByteArray drainUntilQuiet(std::chrono::milliseconds gap) const;
    // Writes everything; returns false when the line does not take the bytes within a second.
    bool writeAll(const QByteArray &bytes) const;

private:
    SerialLine(int lineFd, int keepOpenFd, QString path);
    int lineFd = -1;
    int keepOpenFd = -1;
    QString devicePath;
};

// How the receiver's hardware hands over the bytes of the wire: one by one, as a UART FIFO
// (in batches of its trigger level, the rest after 4 character times of silence), or as a USB
// adapter (whatever arrived, once per latency period).
enum class Delivery { Byte, Fifo, Usb };

std::optional<Delivery> deliveryFromName(const QString &name);
QStringList deliveryNames();

// One hand-over: `bytes` more bytes, `after` the reply's first bit went on the wire.
struct Handover {
    std::chrono::microseconds after;
    int bytes;
};

// Wire time of a line at a given speed, 10 bits per character.
struct WireTiming {
    int baud = 0; // 0: no emulation
    Delivery delivery = Delivery::Byte;
    std::chrono::microseconds usbLatency{16000};

    std::chrono::microseconds characters(double count) const;
    // Request on the wire plus a turnaround of 3.5 character times.
    std::chrono::microseconds replyDelay(int requestBytes) const;
    // The hand-overs of a reply of n bytes, in order.
    std::vector<Handover> handovers(int replyBytes) const;
};

// Writes the reply as a line at the given speed would deliver it, from the moment the request
// arrived. Returns false when a stop was requested meanwhile or the line refused the bytes.
bool sendPaced(const SerialLine &line, const QByteArray &reply, const WireTiming &timing,
               std::chrono::steady_clock::time_point requestArrived, int requestBytes,
               const StopSignal &stop);

} // namespace alarmsim
