#include "serial_line.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <utility>

namespace alarmsim {
namespace {

[[noreturn]] void fail(const QString &what)
{
    throw LineError((what + ": " + QString::fromLocal8Bit(std::strerror(errno))).toStdString());
}

speed_t speedOf(int baud)
{
    static const std::pair<int, speed_t> speeds[] = {
        {1200, B1200},   {2400, B2400},   {4800, B4800},     {9600, B9600},
        {19200, B19200}, {38400, B38400}, {57600, B57600},   {115200, B115200},
        {230400, B230400}};
    for (const auto &[value, speed] : speeds)
        if (value == baud)
            return speed;
    errno = EINVAL;
    fail(QStringLiteral("unsupported line speed %1").arg(baud));
}

void makeRaw(int fd, speed_t speed)
{
    termios t{};
    if (::tcgetattr(fd, &t) != 0)
        fail(QStringLiteral("tcgetattr"));
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    if (::tcsetattr(fd, TCSANOW, &t) != 0)
        fail(QStringLiteral("tcsetattr"));
}

bool waitFor(int fd, short events, int timeoutMs)
{
    pollfd p{fd, events, 0};
    int rc;
    do
        rc = ::poll(&p, 1, timeoutMs);
    while (rc < 0 && errno == EINTR);
    return rc > 0 && (p.revents & events);
}

} // namespace

SerialLine::SerialLine(int lineFd, int keepOpenFd, QString path)
    : lineFd(lineFd), keepOpenFd(keepOpenFd), devicePath(std::move(path))
{
}

SerialLine::SerialLine(SerialLine &&other) noexcept
    : lineFd(std::exchange(other.lineFd, -1)), keepOpenFd(std::exchange(other.keepOpenFd, -1)),
      devicePath(std::move(other.devicePath))
{
}

SerialLine::~SerialLine()
{
    if (keepOpenFd >= 0)
        ::close(keepOpenFd);
    if (lineFd >= 0)
        ::close(lineFd);
}

SerialLine SerialLine::openPseudoTerminal()
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        fail(QStringLiteral("cannot create a pseudo-terminal"));
    const QString path = QString::fromLocal8Bit(::ptsname(master));
    const int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0)
        fail("cannot open " + path);
    SerialLine line(master, slave, path);
    // Without raw mode the terminal would echo our replies back to us as requests.
    makeRaw(slave, B9600);
    return line;
}

SerialLine SerialLine::openDevice(const QString &path, int baud)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        fail("cannot open " + path);
    SerialLine line(fd, -1, path);
    makeRaw(fd, speedOf(baud > 0 ? baud : 9600));
    return line;
}

QByteArray SerialLine::drainUntilQuiet(std::chrono::milliseconds gap) const
{
    QByteArray taken;
    char buffer[256];
    while (waitFor(lineFd, POLLIN, int(gap.count()))) {
        const ssize_t n = ::read(lineFd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        taken.append(buffer, n);
    }
    return taken;
}

bool SerialLine::writeAll(const QByteArray &bytes) const
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(lineFd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        else if (!waitFor(lineFd, POLLOUT, 1000))
            return false;
    }
    return true;
}

std::chrono::microseconds WireTiming::characters(double count) const
{
    if (baud <= 0)
        return std::chrono::microseconds(0);
    return std::chrono::microseconds(static_cast<long long>(count * 10.0 * 1e6 / baud));
}

std::chrono::microseconds WireTiming::replyDelay(int requestBytes) const
{
    return characters(requestBytes + 3.5);
}

namespace {

constexpr int fifoTriggerBytes = 14;
constexpr double fifoSilenceCharacters = 4;

std::vector<Handover> byteByByte(const WireTiming &timing, int replyBytes)
{
    std::vector<Handover> out;
    for (int i = 1; i <= replyBytes; ++i)
        out.push_back({timing.characters(i), 1});
    return out;
}

std::vector<Handover> fifoBatches(const WireTiming &timing, int replyBytes)
{
    std::vector<Handover> out;
    for (int end = fifoTriggerBytes; end <= replyBytes; end += fifoTriggerBytes)
        out.push_back({timing.characters(end), fifoTriggerBytes});
    if (const int rest = replyBytes % fifoTriggerBytes)
        out.push_back({timing.characters(replyBytes + fifoSilenceCharacters), rest});
    return out;
}

std::vector<Handover> usbPackets(const WireTiming &timing, int replyBytes)
{
    std::vector<Handover> out;
    int handed = 0;
    for (auto tick = timing.usbLatency; handed < replyBytes; tick += timing.usbLatency) {
        int arrived = handed;
        while (arrived < replyBytes && timing.characters(arrived + 1) <= tick)
            ++arrived;
        if (arrived > handed)
            out.push_back({tick, arrived - handed});
        handed = arrived;
    }
    return out;
}

struct DeliveryMode {
    const char *name;
    Delivery delivery;
    std::vector<Handover> (*handovers)(const WireTiming &, int);
};

const DeliveryMode deliveryModes[] = {
    {"byte", Delivery::Byte, byteByByte},
    {"fifo", Delivery::Fifo, fifoBatches},
    {"usb", Delivery::Usb, usbPackets},
};

} // namespace

std::optional<Delivery> deliveryFromName(const QString &name)
{
    for (const DeliveryMode &mode : deliveryModes)
        if (name == QLatin1String(mode.name))
            return mode.delivery;
    return std::nullopt;
}

QStringList deliveryNames()
{
    QStringList names;
    for (const DeliveryMode &mode : deliveryModes)
        names << QLatin1String(mode.name);
    return names;
}

std::vector<Handover> WireTiming::handovers(int replyBytes) const
{
    for (const DeliveryMode &mode : deliveryModes)
        if (mode.delivery == delivery)
            return mode.handovers(*this, replyBytes);
    return {};
}

bool sendPaced(const SerialLine &line, const QByteArray &reply, const WireTiming &timing,
               std::chrono::steady_clock::time_point requestArrived, int requestBytes,
               const StopSignal &stop)
{
    using namespace std::chrono;
    if (timing.baud <= 0 || !line.pacedBySoftware())
        return line.writeAll(reply);
    const auto start = requestArrived + timing.replyDelay(requestBytes);
    qsizetype sent = 0;
    for (const Handover &handover : timing.handovers(int(reply.size()))) {
        const auto due = start + handover.after;
        const auto now = steady_clock::now();
        if (due > now && stop.waitFor(duration_cast<microseconds>(due - now)))
            return false;
        if (!line.writeAll(reply.mid(sent, handover.bytes)))
            return false;
        sent += handover.bytes;
    }
    return true;
}

} // namespace alarmsim
