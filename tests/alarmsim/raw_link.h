#pragma once

#include "faults.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

// The client end of the simulator's line, byte by byte, for checks below the component.
class RawLink {
public:
    explicit RawLink(const QString &path)
        : fd(::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
        termios t{};
        if (fd >= 0 && ::tcgetattr(fd, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(fd, TCSANOW, &t);
        }
    }
    ~RawLink()
    {
        if (fd >= 0)
            ::close(fd);
    }
    RawLink(const RawLink &) = delete;
    RawLink &operator=(const RawLink &) = delete;

    bool isOpen() const { return fd >= 0; }

    void send(const QByteArray &bytes) const
    {
        [[maybe_unused]] const auto n = ::write(fd, bytes.constData(), size_t(bytes.size()));
    }

    // Sends the frame with its CRC and collects the reply until the line is quiet.
    QByteArray transact(const QByteArray &frame, int quietMs = 150) const
    {
        send(alarmsim::withCrc(frame));
        return receive(quietMs);
    }

    QByteArray receive(int quietMs) const
    {
        QByteArray got;
        pollfd p{fd, POLLIN, 0};
        while (::poll(&p, 1, quietMs) > 0) {
            char buffer[512];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            got.append(buffer, n);
        }
        return got;
    }

private:
    int fd;
};

inline QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}
