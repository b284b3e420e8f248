#include "posix_serial_port.h"

#include "system_serial_port.h"

#include <QFile>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

struct SpeedEntry {
    int bitsPerSecond;
    speed_t code;
};

const SpeedEntry speeds[] = {
    {1200, B1200},   {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},
    {38400, B38400}, {57600, B57600}, {115200, B115200}, {230400, B230400},
};

const SpeedEntry *speedEntry(int bitsPerSecond)
{
    for (const SpeedEntry &entry : speeds)
        if (entry.bitsPerSecond == bitsPerSecond)
            return &entry;
    return nullptr;
}

tcflag_t dataBitsFlag(int dataBits)
{
    switch (dataBits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
    }
}

[[noreturn]] void fail(const QString &what)
{
    throw SerialPortError(what.toStdString());
}

[[noreturn]] void failWithErrno(const QString &what)
{
    fail(QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno))));
}

int settingsNumber(const QString &field, const QString &text)
{
    bool ok = false;
    const int number = field.toInt(&ok);
    if (!ok)
        fail(QStringLiteral("unsupported port settings \"%1\"").arg(text));
    return number;
}

constexpr int writeStallMilliseconds = 2000;

timespec timespecOf(std::chrono::nanoseconds span)
{
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(span);
    return {time_t(seconds.count()), long((span - seconds).count())};
}

} // namespace

PosixSerialPort::~PosixSerialPort()
{
    if (fd_ >= 0)
        ::close(fd_);
}

PosixSerialPort::LineSettings PosixSerialPort::parseSettings(const QString &text)
{
    const QStringList fields = text.split(QLatin1Char(','));
    if (fields.size() != 4 || fields[1].size() != 1)
        fail(QStringLiteral("unsupported port settings \"%1\"").arg(text));
    LineSettings settings;
    settings.speed = settingsNumber(fields[0], text);
    settings.parity = fields[1].toLower().at(0).toLatin1();
    settings.dataBits = settingsNumber(fields[2], text);
    settings.stopBits = settingsNumber(fields[3], text);
    if (!speedEntry(settings.speed))
        fail(QStringLiteral("unsupported speed %1").arg(settings.speed));
    if (settings.parity != 'n' && settings.parity != 'o' && settings.parity != 'e')
        fail(QStringLiteral("unsupported parity in \"%1\"").arg(text));
    if (settings.dataBits < 5 || settings.dataBits > 8)
        fail(QStringLiteral("unsupported data bits in \"%1\"").arg(text));
    if (settings.stopBits != 1 && settings.stopBits != 2)
        fail(QStringLiteral("unsupported stop bits in \"%1\"").arg(text));
    return settings;
}

QString PosixSerialPort::devicePath(int portNumber)
{
    const QString configured =
        qEnvironmentVariable(QStringLiteral("MODBUS_COM%1").arg(portNumber).toLatin1().constData());
    if (!configured.isEmpty())
        return configured;
    const QString usb = QStringLiteral("/dev/ttyUSB%1").arg(portNumber - 1);
    return QFile::exists(usb) ? usb : QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
}

void PosixSerialPort::setBufferSizes(int inputBytes, int /*outputBytes: the kernel queues output*/)
{
    inputCapacity_ = inputBytes;
}

void PosixSerialPort::discardInput()
{
    received_.clear();
    decoder_.reset();
    lastEvent_ = CommEvent::None;
    if (fd_ >= 0 && ::tcflush(fd_, TCIFLUSH) != 0)
        failWithErrno(QStringLiteral("discarding input"));
}

void PosixSerialPort::setSettings(const QString &settings)
{
    settings_ = parseSettings(settings);
}

void PosixSerialPort::setPortNumber(int number)
{
    if (number < 1)
        fail(QStringLiteral("no serial port %1").arg(number));
    portNumber_ = number;
}

bool PosixSerialPort::isOpen() const
{
    return fd_ >= 0;
}

void PosixSerialPort::open()
{
    if (isOpen())
        return;
    const QString path = devicePath(portNumber_);
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        failWithErrno(QStringLiteral("opening %1").arg(path));
    fd_ = fd;
    try {
        lockExclusively();
        configureTerminal();
        discardInput();
    } catch (const SerialPortError &) {
        ::close(fd_);
        fd_ = -1;
        throw;
    }
}

// Another program (or another component) holding the port makes the open fail as "in use".
void PosixSerialPort::lockExclusively() const
{
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0)
        failWithErrno(QStringLiteral("serial port %1 in use").arg(portNumber_));
}

void PosixSerialPort::configureTerminal() const
{
    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0)
        failWithErrno(QStringLiteral("not a serial port"));
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~tcflag_t(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= CLOCAL | CREAD | dataBitsFlag(settings_.dataBits);
    if (settings_.parity != 'n')
        tio.c_cflag |= PARENB;
    if (settings_.parity == 'o')
        tio.c_cflag |= PARODD;
    if (settings_.stopBits == 2)
        tio.c_cflag |= CSTOPB;
    // Damaged bytes arrive marked (0xFF 0x00 X) instead of silently passing or vanishing.
    tio.c_iflag &= ~tcflag_t(IGNPAR | ISTRIP | IXON | IXOFF | IXANY);
    tio.c_iflag |= INPCK | PARMRK;
    // One byte minimum: with O_NONBLOCK an empty line reads EAGAIN, so 0 means hung up.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    const speed_t speed = speedEntry(settings_.speed)->code;
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0)
        failWithErrno(QStringLiteral("applying port settings"));
    ::ioctl(fd_, TIOCEXCL);
}

void PosixSerialPort::close()
{
    if (!isOpen())
        return;
    const int fd = std::exchange(fd_, -1);
    received_.clear();
    decoder_.reset();
    if (::close(fd) != 0 && errno != EINTR)
        failWithErrno(QStringLiteral("closing the serial port"));
}

void PosixSerialPort::requireOpen() const
{
    if (!isOpen())
        fail(QStringLiteral("serial port not open"));
}

void PosixSerialPort::write(const QByteArray &bytes)
{
    requireOpen();
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.constData() + sent, size_t(bytes.size() - sent));
        if (n > 0) {
            sent += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            failWithErrno(QStringLiteral("writing to the serial port"));
        pollfd pfd{fd_, POLLOUT, 0};
        if (::poll(&pfd, 1, writeStallMilliseconds) <= 0 || (pfd.revents & (POLLERR | POLLHUP)))
            fail(QStringLiteral("serial port does not accept output"));
    }
}

void PosixSerialPort::drainDevice()
{
    char chunk[512];
    for (;;) {
        const ssize_t n = ::read(fd_, chunk, sizeof chunk);
        if (n > 0) {
            keepReceived(QByteArray(chunk, n));
            // A terminal read returns less than asked only when it emptied the queue.
            if (size_t(n) < sizeof chunk)
                return;
            continue;
        }
        if (n == 0)
            fail(QStringLiteral("serial device hung up"));
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return;
        failWithErrno(QStringLiteral("reading from the serial port"));
    }
}

// Bytes beyond the input buffer are lost, as on a device whose buffer overflows.
void PosixSerialPort::keepReceived(const QByteArray &raw)
{
    const ParityMarkDecoder::Result decoded = decoder_.feed(raw);
    if (decoded.errorMarked)
        lastEvent_ = CommEvent::ReceiveParityError;
    const qsizetype room = qMax<qsizetype>(0, inputCapacity_ - received_.size());
    received_.append(decoded.bytes.left(room));
}

int PosixSerialPort::bytesWaiting()
{
    requireOpen();
    drainDevice();
    return int(received_.size());
}

// The bytes the latest count saw. The reply check takes them right after counting and keeps no
// more than it counted, so reading the terminal once more would only cost a call; anything
// still queued there is counted next time or discarded with the input.
QByteArray PosixSerialPort::takeAll()
{
    requireOpen();
    return std::exchange(received_, {});
}

CommEvent PosixSerialPort::lastEvent() const
{
    return lastEvent_;
}

void PosixSerialPort::waitForInput(Clock::time_point deadline)
{
    requireOpen();
    const auto remaining = deadline - now();
    if (remaining <= Clock::duration::zero())
        return;
    const timespec timeout = timespecOf(remaining);
    pollfd pfd{fd_, POLLIN, 0};
    const int ready = ::ppoll(&pfd, 1, &timeout, nullptr);
    if (ready < 0 && errno != EINTR)
        failWithErrno(QStringLiteral("waiting for the serial port"));
    if (ready > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)))
        fail(QStringLiteral("serial device hung up"));
}

// Once a reply has begun, its missing bytes need their wire time: sleep through all but the last
// of them, so a slow line wakes us a few times per reply instead of once per byte. What arrived
// meanwhile is taken in at once, so a parity error is known before the next length check.
void PosixSerialPort::waitForReply(Clock::time_point deadline, int expectedBytes)
{
    requireOpen();
    const int stillOnTheWire = expectedBytes - int(received_.size()) - 1;
    if (received_.isEmpty() || stillOnTheWire <= 0) {
        waitForInput(deadline);
        return;
    }
    const auto wake = std::min(deadline, now() + characterTime() * stillOnTheWire);
    const auto pause = wake - now();
    if (pause > Clock::duration::zero()) {
        const timespec timeout = timespecOf(pause);
        ::ppoll(nullptr, 0, &timeout, nullptr);
    }
    drainDevice();
}

// Start bit, data bits, parity bit, stop bits at the configured speed.
SerialPort::Clock::duration PosixSerialPort::characterTime() const
{
    const int bits = 1 + settings_.dataBits + (settings_.parity == 'n' ? 0 : 1) + settings_.stopBits;
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(double(bits) / settings_.speed));
}

std::unique_ptr<SerialPort> makeSystemSerialPort()
{
    return std::make_unique<PosixSerialPort>();
}
