#pragma once

#include "stop_signal.h"

#include <QByteArray>
#include <QString>

#include <chrono>
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

// Wire time of a line at a given speed, 10 bits per character.
struct WireTiming {
    int baud = 0; // 0: no emulation

    std::chrono::microseconds characters(double count) const;
    // Request on the wire plus a turnaround of 3.5 character times.
    std::chrono::microseconds replyDelay(int requestBytes) const;
};

// Writes the reply as a line at the given speed would deliver it, byte by byte from the
// moment the request arrived. Returns false when a stop was requested meanwhile or the line
// refused the bytes.
bool sendPaced(const SerialLine &line, const QByteArray &reply, const WireTiming &timing,
               std::chrono::steady_clock::time_point requestArrived, int requestBytes,
               const StopSignal &stop);

} // namespace alarmsim
