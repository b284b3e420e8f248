#include "linux_line.h"

#include <asm/termbits.h>
#include <linux/serial.h>
#include <sys/ioctl.h>

#include <cstring>

namespace linux_line {

bool setExactSpeed(int fd, int bitsPerSecond)
{
    termios2 tio{};
    if (::ioctl(fd, TCGETS2, &tio) != 0)
        return false;
    tio.c_cflag &= ~tcflag_t(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = speed_t(bitsPerSecond);
    tio.c_ospeed = speed_t(bitsPerSecond);
    return ::ioctl(fd, TCSETS2, &tio) == 0;
}

int exactSpeed(int fd)
{
    termios2 tio{};
    if (::ioctl(fd, TCGETS2, &tio) != 0)
        return -1;
    return int(tio.c_ospeed);
}

std::optional<int> requestLowLatency(int fd)
{
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) != 0)
        return std::nullopt;
    const int previous = serial.flags;
    serial.flags |= ASYNC_LOW_LATENCY;
    if (::ioctl(fd, TIOCSSERIAL, &serial) != 0)
        return std::nullopt;
    return previous;
}

void restoreDriverFlags(int fd, int flags)
{
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) != 0)
        return;
    serial.flags = flags;
    ::ioctl(fd, TIOCSSERIAL, &serial);
}

static_assert(sizeof(termios2) <= sizeof(TerminalSettings::bytes));

std::optional<TerminalSettings> terminalSettings(int fd)
{
    termios2 tio{};
    if (::ioctl(fd, TCGETS2, &tio) != 0)
        return std::nullopt;
    TerminalSettings settings;
    std::memcpy(settings.bytes.data(), &tio, sizeof tio);
    return settings;
}

void restoreTerminalSettings(int fd, const TerminalSettings &settings)
{
    termios2 tio{};
    std::memcpy(&tio, settings.bytes.data(), sizeof tio);
    ::ioctl(fd, TCSETS2, &tio);
}

} // namespace linux_line
