#include "slave.h"

#include "state_file.h"

#include <modbus/modbus.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <system_error>
#include <unistd.h>

namespace alarmsim {
namespace {

constexpr int slaveAddress = 1;
constexpr std::chrono::milliseconds tickPeriod(1000);
// Silence that ends a spoilt frame; a real slave resynchronises on the pause between frames.
constexpr std::chrono::milliseconds minimumResyncGap(20);
// A request whose bytes stop arriving for this long is incomplete.
constexpr int byteTimeoutUs = 50000;

QByteArray readAvailable(int fd)
{
    QByteArray bytes;
    char buffer[512];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, n);
    return bytes;
}

// The programs write an empty text as a function 16 request of zero registers, and the controller
// confirms it; libmodbus would answer with exception 3.
bool isEmptyMultipleWrite(const QByteArray &frame)
{
    constexpr int functionIndex = 1, countHigh = 4, countLow = 5;
    return frame.size() >= 9 && uint8_t(frame[functionIndex]) == 0x10 && frame[countHigh] == 0 &&
           frame[countLow] == 0;
}

} // namespace

Slave::Slave(SlaveSetup setupIn, const SerialLine &line, RequestLog &log, const StopSignal &stop)
    : setup(std::move(setupIn)), line(line), log(log), stop(stop), live(setup.edition),
      timing(setup.timing)
{
    mapping = modbus_mapping_new(0, 0, registerCount, 0);
    if (!mapping || ::pipe2(replyPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::system_error(errno, std::generic_category(), "simulator set-up");
    std::copy_n(setup.image.begin(), registerCount, mapping->tab_registers);
    resetContext();
}

Slave::~Slave()
{
    if (context)
        modbus_free(context);
    modbus_mapping_free(mapping);
    for (int fd : replyPipe)
        if (fd >= 0)
            ::close(fd);
}

Registers Slave::registers()
{
    return Registers(mapping->tab_registers, registerCount);
}

// A fresh context also forgets libmodbus's habit of skipping the frame after a request for
// another slave (on a shared bus that would be the other slave's reply; here there is none).
void Slave::resetContext()
{
    if (context)
        modbus_free(context);
    context = modbus_new_rtu("/dev/null", 9600, 'N', 8, 1);
    if (!context)
        throw std::system_error(errno, std::generic_category(), "modbus context");
    modbus_set_slave(context, slaveAddress);
    modbus_set_socket(context, line.fd());
    modbus_set_byte_timeout(context, 0, byteTimeoutUs);
}

void Slave::run()
{
    using clock = std::chrono::steady_clock;
    auto nextTick = clock::now() + tickPeriod;
    while (true) {
        const auto untilTick = std::chrono::duration_cast<std::chrono::milliseconds>(nextTick - clock::now());
        pollfd fds[2] = {{line.fd(), POLLIN, 0}, {stop.fd(), POLLIN, 0}};
        const int rc = ::poll(fds, 2, setup.frozen ? -1 : int(std::max<long long>(0, untilTick.count())));
        if (rc < 0 && errno != EINTR)
            throw LineError("poll failed");
        if (fds[1].revents)
            return;
        if (fds[0].revents & POLLIN)
            serveRequest();
        else if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL))
            throw LineError(("the line " + line.path() + " went away").toStdString());
        if (!setup.frozen && clock::now() >= nextTick) {
            live.tick(registers());
            nextTick += tickPeriod;
        }
    }
}

void Slave::serveRequest()
{
    const auto arrived = std::chrono::steady_clock::now();
    uint8_t frame[MODBUS_RTU_MAX_ADU_LENGTH];
    const int length = modbus_receive(context, frame);
    if (length < 0) {
        discardInput(QString::fromLocal8Bit(modbus_strerror(errno)));
    } else if (length == 0) {
        resetContext();
        discardInput(QStringLiteral("request for slave %1").arg(frame[0]));
    } else {
        answer(QByteArray(reinterpret_cast<const char *>(frame), length), arrived);
    }
}

void Slave::discardInput(const QString &reason)
{
    const auto gap = std::max(minimumResyncGap,
                              std::chrono::duration_cast<std::chrono::milliseconds>(timing.characters(3.5)));
    log.discarded(line.drainUntilQuiet(gap), reason);
}

void Slave::answer(const QByteArray &frame, std::chrono::steady_clock::time_point arrived)
{
    const LoggedRequest request = decodeRequest(frame);
    const FaultKind fault = request.slave == slaveAddress
                                ? setup.faults.faultFor(++requestNumber, request.address)
                                : FaultKind::None;
    QByteArray goodReply;
    if (!faultSkipsExecution(fault)) {
        const std::vector<uint16_t> before(mapping->tab_registers, mapping->tab_registers + registerCount);
        goodReply = execute(frame);
        if (!std::equal(before.begin(), before.end(), mapping->tab_registers))
            saveState();
    }
    const QByteArray reply = faultyReply(fault, frame, goodReply);
    log.request(request, reply, faultName(fault), replyTimings(arrived, int(frame.size()), int(reply.size())));
    if (fault == FaultKind::Slow && stop.waitFor(std::chrono::milliseconds(setup.faults.slowMs)))
        return;
    if (reply.isEmpty())
        return;
    if (sendPaced(line, reply, timing, arrived, int(frame.size()), stop))
        replyDelivered = std::chrono::steady_clock::now();
    else if (!stop.requested())
        log.discarded(reply, QStringLiteral("the line did not take the reply"));
}

// The master's reaction to the previous reply, and when this reply's last byte is due.
ReplyTimings Slave::replyTimings(std::chrono::steady_clock::time_point arrived, int requestBytes,
                                 int replyBytes)
{
    using std::chrono::microseconds;
    ReplyTimings timings;
    if (replyDelivered)
        timings.reaction = std::chrono::duration_cast<microseconds>(arrived - *std::exchange(replyDelivered, std::nullopt));
    const auto handovers = timing.handovers(replyBytes);
    if (timing.baud > 0 && line.pacedBySoftware() && !handovers.empty())
        timings.due = timing.replyDelay(requestBytes) + handovers.back().after;
    return timings;
}

QByteArray Slave::execute(const QByteArray &frame)
{
    if (isEmptyMultipleWrite(frame))
        return withCrc(frame.left(6));
    modbus_set_socket(context, replyPipe[1]);
    modbus_reply(context, reinterpret_cast<const uint8_t *>(frame.constData()), int(frame.size()), mapping);
    modbus_set_socket(context, line.fd());
    return readAvailable(replyPipe[0]);
}

void Slave::saveState() const
{
    if (!setup.statePath.isEmpty())
        saveStateFile(setup.statePath, setup.edition,
                      std::span<const uint16_t>(mapping->tab_registers, registerCount));
}

} // namespace alarmsim
