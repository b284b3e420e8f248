#pragma once

#include "modbus/serial_port.h"

#include <memory>

// The component's port: a local device (the system's backend) or a device server, by the name
// it is given. A choice made while a port is open takes effect on the next open, as a new path
// does on a local port.
class SwitchingSerialPort : public SerialPort {
public:
    SwitchingSerialPort(std::unique_ptr<SerialPort> local, std::unique_ptr<SerialPort> network);

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
    Clock::time_point now() const override;
    void waitForInput(Clock::time_point deadline) override;
    void waitForReply(Clock::time_point deadline, int expectedBytes) override;

private:
    std::unique_ptr<SerialPort> local_;
    std::unique_ptr<SerialPort> network_;
    SerialPort *chosen_;  // opened on the next open
    SerialPort *current_; // the one open, or last opened
};

// The local backend of this system, or a device server for tcp:// and rfc2217:// names.
std::unique_ptr<SerialPort> makeComponentSerialPort();
