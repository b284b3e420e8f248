#include "stop_signal.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <system_error>
#include <unistd.h>

namespace alarmsim {
namespace {

int writeFd = -1;

void onSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(writeFd, &byte, 1);
    errno = saved;
}

} // namespace

StopSignal::StopSignal()
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::system_error(errno, std::generic_category(), "pipe");
    readFd = fds[0];
    writeFd = fds[1];
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(sig, &action, nullptr);
}

StopSignal::~StopSignal()
{
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        ::signal(sig, SIG_DFL);
    ::close(writeFd);
    ::close(readFd);
    writeFd = -1;
}

bool StopSignal::requested() const
{
    return waitFor(std::chrono::microseconds(0));
}

bool StopSignal::waitFor(std::chrono::microseconds duration) const
{
    pollfd p{readFd, POLLIN, 0};
    const timespec timeout{time_t(duration.count() / 1000000), long(duration.count() % 1000000) * 1000};
    int rc;
    do
        rc = ::ppoll(&p, 1, &timeout, nullptr);
    while (rc < 0 && errno == EINTR);
    return rc > 0;
}

} // namespace alarmsim
