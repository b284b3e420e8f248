#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <stdexcept>

// The serial port as the Modbus master needs it. A POSIX termios backend (Linux) or a Win32 one
// (Windows) does the real work; tests script a fake one.

// Why a port could not be used, as far as a backend can tell; a message for the user builds on it.
enum class PortFailure { Other, NotFound, AccessDenied, InUse, NotSerialPort, SettingsRefused };

// Any failure of the port itself: missing device, device in use, refused settings, unplugged
// while a reply is awaited. The text says why, in Chinese, for the user (UTF-8).
class SerialPortError : public std::runtime_error {
public:
    explicit SerialPortError(const std::string &what, PortFailure reason = PortFailure::Other)
        : std::runtime_error(what), reason_(reason)
    {
    }
    PortFailure reason() const { return reason_; }

private:
    PortFailure reason_;
};

// The latest communication event, as far as the reply wait cares.
enum class CommEvent { None, ReceiveParityError };

class SerialPort {
public:
    using Clock = std::chrono::steady_clock;

    virtual ~SerialPort() = default;

    // Take effect on the next open.
    virtual void setBufferSizes(int inputBytes, int outputBytes) = 0;
    // Received bytes are dropped; on a closed port this does nothing.
    virtual void discardInput() = 0;
    // "9600,n,8,1"; throws SerialPortError for an empty or unsupported text.
    virtual void setSettings(const QString &settings) = 0;
    // Throws SerialPortError for a number that cannot be used (at the latest on open).
    virtual void setPortNumber(int number) = 0;
    // Opens the device at `path` instead of a numbered port, until the next setPortNumber.
    // Backends that know only numbered ports refuse a path with SerialPortError.
    virtual void setDevicePath(const QString &path)
    {
        throw SerialPortError("no device paths on this port: " + path.toStdString());
    }
    virtual bool isOpen() const = 0;
    // Throws SerialPortError when missing, not permitted, in use, no serial port, or the device
    // cannot run at the speed.
    virtual void open() = 0;
    virtual void close() = 0;
    // Queues every byte in order; throws SerialPortError when the port is not open.
    virtual void write(const QByteArray &bytes) = 0;
    // Current count of received bytes; throws SerialPortError when the device failed.
    virtual int bytesWaiting() = 0;
    // Every waiting byte; the receive buffer is empty afterwards.
    virtual QByteArray takeAll() = 0;
    virtual CommEvent lastEvent() const = 0;

    // The reply wait's clock. A scripted port plays exact timings by providing its own.
    virtual Clock::time_point now() const { return Clock::now(); }
    // Sleeps until more bytes may have arrived or the deadline has passed, whichever is first.
    // Never spins; throws SerialPortError when the device failed.
    virtual void waitForInput(Clock::time_point deadline) = 0;
    // The same, knowing that `expectedBytes` are awaited in all: a port may sleep until that many
    // are there instead of waking for each one.
    virtual void waitForReply(Clock::time_point deadline, int /*expectedBytes*/)
    {
        waitForInput(deadline);
    }
};
