#include "modbus/port_directory.h"

#ifdef Q_OS_WIN
#include "windows_port_names.h"
#endif

#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <QStringList>

#include <algorithm>

namespace {

using Presence = bool (*)(const QDir &root, const QString &name);

// One kind of serial device node, in the order the port numbers take the kinds.
struct DeviceKind {
    const char *prefix;
    Presence present;
    const char *description; // when sysfs names no USB device above the node
};

bool nodeExists(const QDir &root, const QString &name)
{
    return QFileInfo::exists(root.filePath(QStringLiteral("dev/") + name));
}

QString sysfsText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).trimmed();
}

// The kernel makes /dev/ttyS0 to ttyS31 whether or not a UART is there; it reports the UART type
// 0 (unknown) for the empty places.
bool uartPresent(const QDir &root, const QString &name)
{
    const QString type = sysfsText(root.filePath(QStringLiteral("sys/class/tty/%1/type").arg(name)));
    return nodeExists(root, name) && type.toInt() != 0;
}

const DeviceKind kinds[] = {
    {"ttyUSB", nodeExists, "USB 串口"},
    {"ttyACM", nodeExists, "USB 通信设备"},
    {"ttyS", uartPresent, "内置串口"},
};

// n for "ttyUSBn" with prefix "ttyUSB"; -1 for any other name.
int deviceNumber(const QString &name, const QString &prefix)
{
    const QString digits = name.mid(prefix.size());
    const bool numbered = name.startsWith(prefix) && !digits.isEmpty()
                          && std::all_of(digits.begin(), digits.end(), [](QChar c) { return c.isDigit(); });
    return numbered ? digits.toInt() : -1;
}

// Node names of one kind: those udev linked in /dev/serial/by-id in the links' order, then the
// others by number.
QStringList namesOfKind(const QDir &root, const QString &prefix)
{
    QStringList names;
    const QDir byId(root.filePath(QStringLiteral("dev/serial/by-id")));
    for (const QFileInfo &link : byId.entryInfoList(QDir::Files | QDir::System, QDir::Name)) {
        const QString name = QFileInfo(link.canonicalFilePath()).fileName();
        if (deviceNumber(name, prefix) >= 0 && !names.contains(name))
            names << name;
    }
    QStringList unlinked;
    const QDir dev(root.filePath(QStringLiteral("dev")));
    for (const QString &name : dev.entryList({prefix + QLatin1Char('*')}, QDir::Files | QDir::System))
        if (deviceNumber(name, prefix) >= 0 && !names.contains(name))
            unlinked << name;
    std::sort(unlinked.begin(), unlinked.end(), [&prefix](const QString &a, const QString &b) {
        return deviceNumber(a, prefix) < deviceNumber(b, prefix);
    });
    return names + unlinked;
}

// "FTDI FT232R USB UART，序列号 A50285BI（USB 0403:6001）" from the USB device above the node.
QString usbDescription(const QDir &root, const QString &name)
{
    const QString sys = QFileInfo(root.filePath(QStringLiteral("sys"))).canonicalFilePath();
    QString dir = QFileInfo(root.filePath(QStringLiteral("sys/class/tty/%1/device").arg(name)))
                      .canonicalFilePath();
    for (; !sys.isEmpty() && dir.startsWith(sys + QLatin1Char('/')); dir = QFileInfo(dir).path()) {
        const QString vendorId = sysfsText(dir + QStringLiteral("/idVendor"));
        if (vendorId.isEmpty())
            continue;
        const QString product = QStringList{sysfsText(dir + QStringLiteral("/manufacturer")),
                                            sysfsText(dir + QStringLiteral("/product"))}
                                    .join(QLatin1Char(' '))
                                    .trimmed();
        const QString serial = sysfsText(dir + QStringLiteral("/serial"));
        const QString productId = sysfsText(dir + QStringLiteral("/idProduct"));
        return product + (serial.isEmpty() ? QString() : QStringLiteral("，序列号 ") + serial)
               + QStringLiteral("（USB %1:%2）").arg(vendorId, productId);
    }
    return {};
}

SerialDevice deviceOf(const QDir &root, const QString &name, const DeviceKind &kind)
{
    const QString usb = usbDescription(root, name);
    return {root.filePath(QStringLiteral("dev/") + name),
            usb.isEmpty() ? QString::fromUtf8(kind.description) : usb};
}

} // namespace

PortDirectory::PortDirectory(const QString &root) : root_(root) {}

QList<SerialDevice> PortDirectory::devices() const
{
#ifdef Q_OS_WIN
    return windowsSerialPorts();
#endif
    QList<SerialDevice> found;
    for (const DeviceKind &kind : kinds)
        for (const QString &name : namesOfKind(root_, QLatin1String(kind.prefix)))
            if (kind.present(root_, name))
                found << deviceOf(root_, name, kind);
    return found;
}

QString PortDirectory::presentPortsNote() const
{
#ifdef Q_OS_WIN
    const QList<SerialDevice> present = devices();
    if (present.isEmpty())
        return QStringLiteral("Windows 未列出任何串口；可直接输入 COMn");
    QStringList names;
    for (const SerialDevice &device : present)
        names << device.description;
    return QStringLiteral("本机串口：\n") + names.join(QLatin1Char('\n'));
#else
    return {};
#endif
}

SerialDevice PortDirectory::port(int number) const
{
    const QString variable = QStringLiteral("MODBUS_COM%1").arg(number);
    const QString configured = qEnvironmentVariable(variable.toLatin1().constData());
    if (!configured.isEmpty())
        return {configured, QStringLiteral("环境变量 ") + variable};
#ifdef Q_OS_WIN
    // Windows numbers its ports itself; the name it gives the adapter when it lists the port.
    if (number < 1)
        return {};
    const QString name = QStringLiteral("COM%1").arg(number);
    for (const SerialDevice &device : devices())
        if (device.path.compare(name, Qt::CaseInsensitive) == 0)
            return device;
    return {name, QStringLiteral("Windows 串口")};
#else
    const QList<SerialDevice> present = devices();
    return number >= 1 && number <= present.size() ? present[number - 1] : SerialDevice{};
#endif
}

namespace {

const QString rawScheme = QStringLiteral("tcp");
const QString comPortScheme = QStringLiteral("rfc2217");

} // namespace

bool isDeviceServerName(const QString &name)
{
    const QString text = name.trimmed();
    return text.startsWith(rawScheme + QStringLiteral("://"), Qt::CaseInsensitive)
           || text.startsWith(comPortScheme + QStringLiteral("://"), Qt::CaseInsensitive);
}

std::optional<DeviceServerAddress> deviceServerAddress(const QString &name)
{
    if (!isDeviceServerName(name))
        return std::nullopt;
    const QUrl url(name.trimmed(), QUrl::StrictMode);
    const int port = url.port();
    const bool whole = url.isValid() && !url.host().isEmpty() && port > 0 && url.userInfo().isEmpty()
                       && (url.path().isEmpty() || url.path() == QStringLiteral("/"))
                       && !url.hasQuery() && !url.hasFragment();
    if (!whole)
        return std::nullopt;
    return DeviceServerAddress{url.scheme().toLower() == comPortScheme, url.host(), quint16(port)};
}
