#pragma once

#include "line_settings.h"
#include "linux_line.h"
#include "modbus/serial_port.h"
#include "parity_mark_decoder.h"

#include <optional>

#include <termios.h>

// Serial port on a POSIX terminal device: a device path, or port n as PortDirectory assigns it.
// Every speed is set exactly through termios2, also those without a termios constant (14400,
// 28800, 56000, 128000, 256000); a speed the device cannot run at is refused on open. Failures
// say why in Chinese, naming the device path.
class PosixSerialPort : public SerialPort {
public:
    PosixSerialPort() = default;
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort &) = delete;
    PosixSerialPort &operator=(const PosixSerialPort &) = delete;

    void setBufferSizes(int inputBytes, int outputBytes) override;
    void discardInput() override;
    void setSettings(const QString &settings) override;
    void setPortNumber(int number) override;
    void setDevicePath(const QString &path) override;
    bool isOpen() const override;
    void open() override;
    void close() override;
    void write(const QByteArray &bytes) override;
    int bytesWaiting() override;
    QByteArray takeAll() override;
    CommEvent lastEvent() const override;
    void waitForInput(Clock::time_point deadline) override;
    void waitForReply(Clock::time_point deadline, int expectedBytes) override;

    // Raw mode with the character frame of `settings`; the speed is set apart.
    static void applyLineSettings(termios &tio, const LineSettings &settings);

private:
    void configureTerminal();
    void setSpeed() const;
    void lockExclusively() const;
    bool giveBack() noexcept;
    void setWakeCount(int bytes);
    void sleepUntilReadable(Clock::time_point deadline);
    void drainDevice();
    void keepReceived(const QByteArray &raw);
    void requireOpen() const;

    int fd_ = -1;
    QString path_;
    int wakeCount_ = 1; // VMIN of the terminal
    std::optional<int> driverFlags_;
    std::optional<linux_line::TerminalSettings> foundSettings_; // as the device was before open
    int portNumber_ = 1;
    QString devicePath_; // empty: port portNumber_
    LineSettings settings_;
    int inputCapacity_ = 1024;
    QByteArray received_;
    ParityMarkDecoder decoder_;
    CommEvent lastEvent_ = CommEvent::None;
};
