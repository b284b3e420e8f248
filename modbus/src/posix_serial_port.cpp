#include "posix_serial_port.h"

#include "line_settings.h"
#include "linux_line.h"
#include "modbus/port_directory.h"
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

tcflag_t dataBitsFlag(int dataBits)
{
    switch (dataBits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
    }
}

[[noreturn]] void fail(const QString &reason)
{
    throw SerialPortError(reason.toStdString());
}

// Why opening a device failed, by errno; %1 is the device path.
struct OpenFailure {
    int error;
    const char *reason;
};

const OpenFailure openFailures[] = {
    {ENOENT, "找不到串口设备 %1"},
    {ENODEV, "找不到串口设备 %1"},
    {ENXIO, "找不到串口设备 %1"},
    {EIO, "找不到串口设备 %1"},
    {EACCES, "没有权限打开串口设备 %1：请把当前用户加入 dialout 组，然后重新登录"},
    {EPERM, "没有权限打开串口设备 %1：请把当前用户加入 dialout 组，然后重新登录"},
    {EBUSY, "串口设备 %1 正被其他程序占用"},
    {EWOULDBLOCK, "串口设备 %1 正被其他程序占用"},
    {ENOTTY, "%1 不是串口设备"},
};

[[noreturn]] void failToOpen(const QString &path)
{
    for (const OpenFailure &failure : openFailures)
        if (failure.error == errno)
            fail(QString::fromUtf8(failure.reason).arg(path));
    fail(QStringLiteral("无法打开串口设备 %1：%2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
}

[[noreturn]] void failSettingsRefused(const QString &path)
{
    fail(QStringLiteral("串口设备 %1 不接受这些串口设置：%2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
}

[[noreturn]] void failUnsupportedSpeed(const QString &path, int speed)
{
    fail(QStringLiteral("串口设备 %1 不支持波特率 %2").arg(path).arg(speed));
}

[[noreturn]] void failLost(const QString &path)
{
    fail(QStringLiteral("串口设备 %1 已断开").arg(path));
}

constexpr int writeStallMilliseconds = 2000;
// VMIN is one byte wide.
constexpr int largestWakeCount = 255;

timespec timespecOf(std::chrono::nanoseconds span)
{
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(span);
    return {time_t(seconds.count()), long((span - seconds).count())};
}

} // namespace

PosixSerialPort::~PosixSerialPort()
{
    if (fd_ >= 0)
        giveBack();
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
        failLost(path_);
}

void PosixSerialPort::setSettings(const QString &settings)
{
    settings_ = parseLineSettings(settings);
}

void PosixSerialPort::setPortNumber(int number)
{
    if (number < 1)
        fail(QStringLiteral("没有串口 %1").arg(number));
    portNumber_ = number;
    devicePath_.clear();
}

void PosixSerialPort::setDevicePath(const QString &path)
{
    devicePath_ = path;
}

bool PosixSerialPort::isOpen() const
{
    return fd_ >= 0;
}

void PosixSerialPort::open()
{
    if (isOpen())
        return;
    const QString path = devicePath_.isEmpty() ? PortDirectory().port(portNumber_).path : devicePath_;
    if (path.isEmpty())
        fail(QStringLiteral("找不到串口 COM%1 的设备：请插上串口适配器，或在串口框中输入设备路径").arg(portNumber_));
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        failToOpen(path);
    fd_ = fd;
    path_ = path;
    foundSettings_ = linux_line::terminalSettings(fd_);
    try {
        lockExclusively();
        configureTerminal();
        discardInput();
    } catch (const SerialPortError &) {
        giveBack();
        throw;
    }
    driverFlags_ = linux_line::requestLowLatency(fd_);
}

// Another program (or another component) holding the port makes the open fail as "in use".
void PosixSerialPort::lockExclusively() const
{
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0)
        failToOpen(path_);
}

void PosixSerialPort::configureTerminal()
{
    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0)
        failToOpen(path_);
    applyLineSettings(tio, settings_);
    // Damaged bytes arrive marked (0xFF 0x00 X) instead of silently passing or vanishing.
    tio.c_iflag &= ~tcflag_t(IGNPAR | ISTRIP | IXON | IXOFF | IXANY);
    tio.c_iflag |= INPCK | PARMRK;
    // With O_NONBLOCK an empty line reads EAGAIN, so 0 means hung up; the reply wait raises
    // VMIN to the bytes it still needs.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    wakeCount_ = 1;
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0)
        failSettingsRefused(path_);
    setSpeed();
    ::ioctl(fd_, TIOCEXCL);
}

void PosixSerialPort::applyLineSettings(termios &tio, const LineSettings &settings)
{
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~tcflag_t(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= CLOCAL | CREAD | dataBitsFlag(settings.dataBits);
    if (settings.parity != 'n')
        tio.c_cflag |= PARENB;
    if (settings.parity == 'o')
        tio.c_cflag |= PARODD;
    if (settings.stopBits == 2)
        tio.c_cflag |= CSTOPB;
}

// A driver that cannot run at the speed refuses it or settles on another one.
void PosixSerialPort::setSpeed() const
{
    if (!isListedSpeed(settings_.speed) || !linux_line::setExactSpeed(fd_, settings_.speed)
        || linux_line::exactSpeed(fd_) != settings_.speed)
        failUnsupportedSpeed(path_, settings_.speed);
}

// Exclusive mode, the driver's flags and the terminal settings belong to the device, not to this
// descriptor: exclusive mode left set locks out every later program that is not root, and our
// VMIN, parity marking and speed would break the next program that relies on the defaults.
// False when the close failed.
bool PosixSerialPort::giveBack() noexcept
{
    const int fd = std::exchange(fd_, -1);
    if (driverFlags_)
        linux_line::restoreDriverFlags(fd, *std::exchange(driverFlags_, std::nullopt));
    ::ioctl(fd, TIOCNXCL);
    if (foundSettings_)
        linux_line::restoreTerminalSettings(fd, *std::exchange(foundSettings_, std::nullopt));
    return ::close(fd) == 0 || errno == EINTR;
}

void PosixSerialPort::close()
{
    if (!isOpen())
        return;
    received_.clear();
    decoder_.reset();
    if (!giveBack())
        failLost(path_);
}

void PosixSerialPort::requireOpen() const
{
    if (!isOpen())
        fail(QStringLiteral("串口未打开"));
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
            failLost(path_);
        pollfd pfd{fd_, POLLOUT, 0};
        if (::poll(&pfd, 1, writeStallMilliseconds) <= 0 || (pfd.revents & (POLLERR | POLLHUP)))
            fail(QStringLiteral("串口设备 %1 不接受发送的数据").arg(path_));
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
            failLost(path_);
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return;
        failLost(path_);
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
    setWakeCount(1);
    sleepUntilReadable(deadline);
}

// The terminal reports the descriptor readable only once VMIN bytes are queued, so the wait wakes
// when the reply's last byte arrives, however the line delivers it, and not for each byte.
// Parity marks only add bytes: the count is a lower bound, and the caller counts again.
void PosixSerialPort::waitForReply(Clock::time_point deadline, int expectedBytes)
{
    requireOpen();
    setWakeCount(std::clamp(expectedBytes - int(received_.size()), 1, largestWakeCount));
    sleepUntilReadable(deadline);
}

void PosixSerialPort::setWakeCount(int bytes)
{
    if (bytes == wakeCount_)
        return;
    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0)
        failLost(path_);
    tio.c_cc[VMIN] = cc_t(bytes);
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0)
        failLost(path_);
    wakeCount_ = bytes;
}

void PosixSerialPort::sleepUntilReadable(Clock::time_point deadline)
{
    const auto remaining = deadline - now();
    if (remaining <= Clock::duration::zero())
        return;
    const timespec timeout = timespecOf(remaining);
    pollfd pfd{fd_, POLLIN, 0};
    const int ready = ::ppoll(&pfd, 1, &timeout, nullptr);
    if (ready < 0 && errno != EINTR)
        failLost(path_);
    if (ready > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)))
        failLost(path_);
}

std::unique_ptr<SerialPort> makeSystemSerialPort()
{
    return std::make_unique<PosixSerialPort>();
}
