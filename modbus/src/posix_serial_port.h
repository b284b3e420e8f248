#pragma once

#include "modbus/serial_port.h"
#include "parity_mark_decoder.h"

#include <optional>

#include <termios.h>

// Serial port on a POSIX terminal device. Port n is the device named by the environment variable
// MODBUS_COM<n> when set, else /dev/ttyUSB<n-1> when it exists, else /dev/ttyS<n-1>.
// Every speed is set exactly through termios2, also those without a termios constant (14400,
// 28800, 56000, 128000, 256000); a speed the device cannot run at is refused on open. Failures
// say why in Chinese, naming the device path.
class PosixSerialPort : public SerialPort {
public:
    struct LineSettings {
        int speed = 9600;
        char parity = 'n';
        int dataBits = 8;
        int stopBits = 1;
    };

    PosixSerialPort() = default;
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort &) = delete;
    PosixSerialPort &operator=(const PosixSerialPort &) = delete;

    void setBufferSizes(int inputBytes, int outputBytes) override;
    void discardInput() override;
    void setSettings(const QString &settings) override;
    void setPortNumber(int number) override;
    bool isOpen() const override;
    void open() override;
    void close() override;
    void write(const QByteArray &bytes) override;
    int bytesWaiting() override;
    QByteArray takeAll() override;
    CommEvent lastEvent() const override;
    void waitForInput(Clock::time_point deadline) override;
    void waitForReply(Clock::time_point deadline, int expectedBytes) override;

    // "9600,n,8,1" -> settings; throws SerialPortError for a text of another form. The speed is
    // checked on open, where the device is known.
    static LineSettings parseSettings(const QString &text);
    static QString devicePath(int portNumber);
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
    int portNumber_ = 1;
    LineSettings settings_;
    int inputCapacity_ = 1024;
    QByteArray received_;
    ParityMarkDecoder decoder_;
    CommEvent lastEvent_ = CommEvent::None;
};
