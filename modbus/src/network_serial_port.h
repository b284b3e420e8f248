#pragma once

#include "line_settings.h"
#include "modbus/port_directory.h"
#include "modbus/serial_port.h"
#include "telnet_com_port.h"

#include <QHostInfo>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QTcpSocket;

// A serial line behind a device server: tcp://HOST:PORT is the raw byte stream of a server in
// TCP server mode, rfc2217://HOST:PORT is Telnet with the COM port option, through which the
// line settings and purges reach the server's port. The waits block on the socket without
// dispatching events, as on a local port. Failures say why in Chinese, naming HOST:PORT.
class NetworkSerialPort : public SerialPort {
public:
    // Finds a host's addresses, blocking; it runs on a thread of its own, so a resolver that
    // never answers costs the connect no more than its limit.
    using HostLookup = std::function<QHostInfo(const QString &host)>;

    explicit NetworkSerialPort(HostLookup lookup = &QHostInfo::fromName);
    ~NetworkSerialPort() override;
    NetworkSerialPort(const NetworkSerialPort &) = delete;
    NetworkSerialPort &operator=(const NetworkSerialPort &) = delete;

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

private:
    QString where() const;
    QList<QHostAddress> addresses(Clock::time_point deadline) const;
    void connectSocket(Clock::time_point deadline);
    void setLine(Clock::time_point deadline);
    void awaitPurge(Clock::time_point deadline);
    void send(const QByteArray &wire);
    void receive(int waitMilliseconds);
    void requireOpen() const;
    [[noreturn]] void failLost();
    [[noreturn]] void failConnecting();

    HostLookup lookup_;
    std::optional<DeviceServerAddress> address_;
    LineSettings settings_;
    int inputCapacity_ = 1024;
    std::unique_ptr<QTcpSocket> socket_;
    std::optional<telnet_com_port::Session> session_;
    QByteArray received_;
    CommEvent lastEvent_ = CommEvent::None;
};
