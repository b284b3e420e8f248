#include "switching_serial_port.h"

#include "modbus/port_directory.h"
#include "network_serial_port.h"
#include "system_serial_port.h"

SwitchingSerialPort::SwitchingSerialPort(std::unique_ptr<SerialPort> local,
                                         std::unique_ptr<SerialPort> network)
    : local_(std::move(local)), network_(std::move(network)), chosen_(local_.get()),
      current_(local_.get())
{
}

void SwitchingSerialPort::setBufferSizes(int inputBytes, int outputBytes)
{
    local_->setBufferSizes(inputBytes, outputBytes);
    network_->setBufferSizes(inputBytes, outputBytes);
}

void SwitchingSerialPort::setSettings(const QString &settings)
{
    local_->setSettings(settings);
    network_->setSettings(settings);
}

void SwitchingSerialPort::setPortNumber(int number)
{
    local_->setPortNumber(number);
    chosen_ = local_.get();
}

void SwitchingSerialPort::setDevicePath(const QString &path)
{
    SerialPort *port = isDeviceServerName(path) ? network_.get() : local_.get();
    port->setDevicePath(path);
    chosen_ = port;
}

bool SwitchingSerialPort::isOpen() const { return current_->isOpen(); }

void SwitchingSerialPort::open()
{
    if (current_->isOpen())
        return;
    current_ = chosen_;
    current_->open();
}

void SwitchingSerialPort::close() { current_->close(); }
void SwitchingSerialPort::discardInput() { current_->discardInput(); }
void SwitchingSerialPort::write(const QByteArray &bytes) { current_->write(bytes); }
int SwitchingSerialPort::bytesWaiting() { return current_->bytesWaiting(); }
QByteArray SwitchingSerialPort::takeAll() { return current_->takeAll(); }
CommEvent SwitchingSerialPort::lastEvent() const { return current_->lastEvent(); }
SerialPort::Clock::time_point SwitchingSerialPort::now() const { return current_->now(); }

void SwitchingSerialPort::waitForInput(Clock::time_point deadline)
{
    current_->waitForInput(deadline);
}

void SwitchingSerialPort::waitForReply(Clock::time_point deadline, int expectedBytes)
{
    current_->waitForReply(deadline, expectedBytes);
}

std::unique_ptr<SerialPort> makeComponentSerialPort()
{
    return std::make_unique<SwitchingSerialPort>(makeSystemSerialPort(),
                                                 std::make_unique<NetworkSerialPort>());
}
