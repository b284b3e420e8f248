#pragma once

#include "modbus/serial_port.h"
#include "parity_mark_decoder.h"

#include <optional>

// Serial port on a POSIX terminal device: a device path, or port n as PortDirectory assigns it.
// Speeds are the standard termios ones (1200..230400); 14400, 28800, 56000, 128000 and 256000
// have no termios constant and are refused.
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

    // "9600,n,8,1" -> settings; throws SerialPortError for anything this backend cannot set.
    static LineSettings parseSettings(const QString &text);

private:
    void configureTerminal() const;
    void lockExclusively() const;
    void drainDevice();
    Clock::duration characterTime() const;
    void keepReceived(const QByteArray &raw);
    void requireOpen() const;

    int fd_ = -1;
    int portNumber_ = 1;
    QString devicePath_; // empty: port portNumber_
    LineSettings settings_;
    int inputCapacity_ = 1024;
    QByteArray received_;
    ParityMarkDecoder decoder_;
    CommEvent lastEvent_ = CommEvent::None;
};
