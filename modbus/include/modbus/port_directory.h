#pragma once

#include <QDir>
#include <QList>
#include <QString>

#include <optional>

// A serial device as the port list shows it.
struct SerialDevice {
    QString path;        // what to open; empty when a port leads to no device
    QString description; // the USB adapter (vendor, product, serial number) or the kind of port
};

// Which device each numbered port (COM1, COM2, ...) opens; on Windows port n is COMn itself,
// described by the name SetupAPI gives it. On
// Linux port n is the device named by the environment variable MODBUS_COM<n> when it is set;
// otherwise the n-th serial device present: USB serial adapters (ttyUSB) first, then USB modems and adapters of the
// communication class (ttyACM), each kind in /dev/serial/by-id order, so that an adapter keeps its
// number when it is plugged in again, and by device number where udev made no link; then the
// built-in ports (ttyS) that have a UART behind them.
class PortDirectory {
public:
    // `root` stands for "/": tests give a temporary tree with dev/ and sys/ in it.
    explicit PortDirectory(const QString &root = QStringLiteral("/"));

    // The devices present, in the order the port numbers take them.
    QList<SerialDevice> devices() const;
    // The device of port `number` (1 = COM1); an empty path when it has none.
    SerialDevice port(int number) const;
    // On Windows, where any COMn may be typed, the ports present with the names Windows gives
    // them, or that it lists none; empty elsewhere, where the numbered ports say it all.
    QString presentPortsNote() const;

private:
    QDir root_;
};

// A serial device server on the network: tcp://HOST:PORT (a raw byte stream) or
// rfc2217://HOST:PORT (Telnet with COM port control, so the line settings reach the server).
struct DeviceServerAddress {
    bool comPortControl = false; // rfc2217://
    QString host;
    quint16 port = 0;
};

// Whether `name` is meant for a device server: it starts with tcp:// or rfc2217://, in any case.
bool isDeviceServerName(const QString &name);
// The address `name` gives; nothing when it is not a whole tcp:// or rfc2217:// address.
std::optional<DeviceServerAddress> deviceServerAddress(const QString &name);
