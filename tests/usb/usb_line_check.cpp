// Every speed, parity and stop-bit setting on the guest's USB adapter, read back from the driver
// through a second descriptor while the port holds the device; a speed the driver would silently
// replace is refused. Prints one line per check, "PASS name: ..." or "FAIL name: ...".
#include "linux_line.h"
#include "posix_serial_port.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace {

const QString adapter = QStringLiteral("/dev/ttyUSB0");

int report(const char *check, bool passed, const QString &seen)
{
    std::printf("%s %s: %s\n", passed ? "PASS" : "FAIL", check, qPrintable(seen));
    std::fflush(stdout);
    return passed ? 0 : 1;
}

// What the driver holds now: "9600,o,8,2". Root may open the device beside the exclusive holder.
QString driverSettings()
{
    const int fd = ::open(adapter.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return QStringLiteral("unreadable");
    termios tio{};
    ::tcgetattr(fd, &tio);
    const QString text = QStringLiteral("%1,%2,8,%3")
                             .arg(linux_line::exactSpeed(fd))
                             .arg((tio.c_cflag & PARENB) ? ((tio.c_cflag & PARODD) ? 'o' : 'e') : 'n')
                             .arg((tio.c_cflag & CSTOPB) ? 2 : 1);
    ::close(fd);
    return text;
}

// Opens the adapter with `settings`; the driver's read-back, or the refusal's text.
QString openWith(const QString &settings)
{
    PosixSerialPort port;
    try {
        port.setSettings(settings);
        port.setDevicePath(adapter);
        port.open();
    } catch (const SerialPortError &e) {
        return QStringLiteral("refused: ") + QString::fromUtf8(e.what());
    }
    const QString seen = driverSettings();
    port.close();
    return seen;
}

int lineSettings()
{
    const QStringList speeds = {"2400", "4800", "9600", "14400", "19200", "28800", "38400", "56000", "128000", "256000"};
    QStringList wrong;
    int tried = 0;
    for (const QString &speed : speeds)
        for (const char *frame : {"o,8,1", "e,8,2", "n,8,1", "o,8,2", "e,8,1"}) {
            const QString wanted = speed + QLatin1Char(',') + QLatin1String(frame);
            const QString seen = openWith(wanted);
            ++tried;
            if (seen != wanted)
                wrong << wanted + QStringLiteral(" -> ") + seen;
        }
    return report("line-settings", wrong.isEmpty(),
                  QStringLiteral("%1 settings read back from ftdi_sio%2")
                      .arg(tried)
                      .arg(wrong.isEmpty() ? QString() : QStringLiteral(", wrong: ") + wrong.join(QStringLiteral("; "))));
}

// The driver accepts 4000000 and settles on another speed without an error; the port must notice.
int replacedSpeed()
{
    const int fd = ::open(adapter.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    const bool accepted = fd >= 0 && linux_line::setExactSpeed(fd, 4000000);
    const int became = fd >= 0 ? linux_line::exactSpeed(fd) : -1;
    if (fd >= 0)
        ::close(fd);
    const QString driverDid = QStringLiteral("driver %1 4000000 and reads back %2")
                                  .arg(accepted ? "accepted" : "refused")
                                  .arg(became);

    // The port must refuse it with the reason, never run at the speed the driver chose.
    PosixSerialPort port;
    QString refusal = QStringLiteral("accepted");
    bool refusedForSpeed = false;
    try {
        port.setSettings(QStringLiteral("4000000,n,8,1"));
        port.setDevicePath(adapter);
        port.open();
        port.close();
    } catch (const SerialPortError &e) {
        refusal = QString::fromUtf8(e.what());
        refusedForSpeed = refusal.contains(QStringLiteral("不支持波特率 4000000"));
    }
    return report("replaced-speed", accepted && became != 4000000 && refusedForSpeed,
                  driverDid + QStringLiteral("; the port at 4000000: ") + refusal);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString mode = app.arguments().value(1);
    if (mode == u"line-settings")
        return lineSettings();
    if (mode == u"replaced-speed")
        return replacedSpeed();
    std::fprintf(stderr, "usage: usb_line_check line-settings | replaced-speed\n");
    return 2;
}
