#pragma once

#include "line_settings.h"
#include "modbus/serial_port.h"

#include <memory>

// Serial port on a Windows COM device: port n is \\.\COMn, which Windows opens for one program
// at a time. A wait blocks in ReadFile with read time-outs chosen for that wait, so the thread
// sleeps in the kernel until the bytes it needs have arrived or the deadline has passed.
class Win32SerialPort : public SerialPort {
public:
    Win32SerialPort();
    ~Win32SerialPort() override;
    Win32SerialPort(const Win32SerialPort &) = delete;
    Win32SerialPort &operator=(const Win32SerialPort &) = delete;

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

    static QString devicePath(int portNumber);

private:
    struct FoundState;

    void keepFoundState();
    void giveBackFoundState() noexcept;
    void configureDevice() const;
    void setReadTimeout(unsigned long milliseconds) const;
    unsigned long takeErrorsAndQueuedCount();
    void readBytes(unsigned long count);
    void waitForBytes(Clock::time_point deadline, int count);
    void requireOpen() const;

    void *handle_ = nullptr;   // the device's HANDLE while open
    std::unique_ptr<FoundState> found_; // the device's settings before we opened it
    int portNumber_ = 1;
    LineSettings settings_;
    int inputCapacity_ = 1024;
    int outputCapacity_ = 1024;
    QByteArray received_;
    CommEvent lastEvent_ = CommEvent::None;
};
