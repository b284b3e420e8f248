// The component's transaction fed arbitrary replies, timings, parity errors and port failures
// for every request shape, checking the frame on the wire and the one-event-per-call contract.

#include "fuzz_input.h"

#include "fake_serial_port.h"
#include "message_recorder.h"

#include "modbus/modbus.h"

#include <QVector>

#include <chrono>
#include <memory>
#include <optional>
#include <stdexcept>

namespace {

using std::chrono::milliseconds;

enum class Function : quint8 { ReadHolding = 3, ReadInput = 4, PresetSingle = 6, PresetMulti = 16 };
constexpr Function functions[] = {Function::ReadHolding, Function::ReadInput,
                                  Function::PresetSingle, Function::PresetMulti};

constexpr int maxRequests = 4;
constexpr int maxChunks = 5;
constexpr int maxChunkBytes = 80;
constexpr int maxTimeMs = 1200;
constexpr int maxMultiValues = 140; // past the 127-register byte-count limit

constexpr qint16 statusIdle = 0;
constexpr qint16 statusAwaiting = 1000;
constexpr qint16 statusWriteConfirmed = 1001;
constexpr qint16 statusReplyDelivered = 1002;
constexpr qint16 readReplyCode = 1001;

struct Request {
    Function function;
    quint8 slave;
    qint16 address;
    qint16 count; // for function 6 the preset value
    QVector<qint16> values;

    bool isRead() const { return function == Function::ReadHolding || function == Function::ReadInput; }
};

Request takeRequest(FuzzInput &in)
{
    Request request{functions[in.byte() % 4], in.byte(), in.signedWord(), in.signedWord(), {}};
    if (request.function == Function::PresetMulti) {
        const int valueCount = in.below(maxMultiValues);
        for (int i = 0; i < valueCount; ++i)
            request.values.append(in.signedWord());
    }
    return request;
}

void appendWord(QByteArray &bytes, quint16 word)
{
    bytes.append(char(word >> 8));
    bytes.append(char(word & 0xFF));
}

QByteArray withCrc(QByteArray frame)
{
    const auto crc = CrcCheck::GetCrc16(frame, int(frame.size()));
    frame.append(char(crc[1]));
    frame.append(char(crc[0]));
    return frame;
}

// A reply the request would accept, so the fuzzer reaches the events without guessing a CRC;
// register values come from the input, and one byte may then be flipped.
QByteArray plausibleReply(const Request &request, FuzzInput &in)
{
    QByteArray frame;
    frame.append(char(request.slave));
    frame.append(char(request.function));
    if (request.isRead()) {
        const int registers = qBound(0, int(request.count), maxChunkBytes / 2);
        frame.append(char(2 * registers));
        for (int i = 0; i < registers; ++i)
            appendWord(frame, in.word());
    } else {
        appendWord(frame, quint16(request.address));
        appendWord(frame, quint16(request.count));
    }
    frame = withCrc(frame);
    const quint8 flip = in.byte();
    if (flip != 0) {
        const int at = in.below(int(frame.size()));
        frame[at] = char(frame[at] ^ flip);
    }
    return frame;
}

FakeSerialPort::Script takeScript(const Request &request, FuzzInput &in)
{
    FakeSerialPort::Script script;
    const int chunks = in.byte() % (maxChunks + 1);
    for (int i = 0; i < chunks; ++i) {
        const milliseconds at(in.below(maxTimeMs));
        script.chunks.append({at, in.flag() ? plausibleReply(request, in) : in.sizedBytes(maxChunkBytes)});
    }
    const quint8 faults = in.byte();
    if (faults & 1)
        script.parityErrorAt = milliseconds(in.below(maxTimeMs));
    if (faults & 2)
        script.failureAt = milliseconds(in.below(maxTimeMs));
    return script;
}

// What the component raised during one request, at the outermost level only.
struct Events {
    int replies = 0;
    int errors = 0;
    int depth = 0;
};

bool issue(modbus &component, const Request &request)
{
    switch (request.function) {
    case Function::ReadHolding:
        return component.FC03_ReadHoldingRegister_4X(request.slave, request.address, request.count);
    case Function::ReadInput:
        return component.FC04_ReadInputRegister_3X(request.slave, request.address, request.count);
    case Function::PresetSingle:
        return component.FC06_PresetSingleRegister_4X(request.slave, request.address, request.count);
    case Function::PresetMulti:
        return component.FC16_PresetMultiRegister_4X(request.slave, request.address, request.values,
                                                     request.count);
    }
    return false;
}

// The frame on the wire: the request's fields high byte first, CRC low byte first.
void checkFrame(const Request &request, const QByteArray &frame)
{
    QByteArray expected;
    expected.append(char(request.slave));
    expected.append(char(request.function));
    appendWord(expected, quint16(request.address));
    appendWord(expected, quint16(request.count));
    if (request.function == Function::PresetMulti) {
        expected.append(char(2 * request.count));
        for (int i = 0; i < request.count; ++i)
            appendWord(expected, quint16(request.values.at(i)));
    }
    FUZZ_CHECK(frame == withCrc(expected));
    FUZZ_CHECK(frame.size() <= 101);
}

class Harness {
public:
    Harness()
    {
        auto ownedPort = std::make_unique<FakeSerialPort>();
        port = ownedPort.get();
        component = std::make_unique<modbus>(std::move(ownedPort));
        messages = std::make_unique<MessageRecorder>(*component);
        watchEvents();
    }

    void run(FuzzInput &in)
    {
        component->setRespondTimeOut(in.signedWord());
        FUZZ_CHECK(component->OpenPort());
        for (int i = 0; i < maxRequests && !in.empty(); ++i) {
            const Request request = takeRequest(in);
            nestedRead = in.flag() ? std::optional<Request>(takeRequest(in)) : std::nullopt;
            if (in.flag())
                port->receiveNow(in.sizedBytes(maxChunkBytes)); // stale bytes before the request
            port->expect(takeScript(request, in));
            if (nestedRead)
                port->expect(takeScript(*nestedRead, in));
            runOne(request);
            port->advance(milliseconds(in.below(maxTimeMs)));
        }
    }

private:
    void watchEvents()
    {
        const auto onRead = [this](qint16 status, qint16 error, qint16 &slave, qint16 start,
                                   QVector<qint16> &data, qint16 count) {
            if (events.depth == 0)
                checkReadEvent(status, error, slave, start, data, count);
            readFromHandler();
        };
        QObject::connect(component.get(), &modbus::FC03ReadHoldingRegisterRespond4X, onRead);
        QObject::connect(component.get(), &modbus::FC04ReadInputRegisterRespond3X, onRead);
        const auto onWrite = [this](qint16 status, qint16 error, qint16 &slave, qint16 &address,
                                    qint16 &value) {
            if (events.depth == 0)
                checkWriteEvent(status, error, slave, address, value);
        };
        QObject::connect(component.get(), &modbus::FC06PresetSingleRegisterRespond4X, onWrite);
        QObject::connect(component.get(), &modbus::FC16PresetMultiRegisterRespond4X, onWrite);
        QObject::connect(component.get(), &modbus::CommPortEventError,
                         [this](qint16 status, qint16 error) {
                             if (events.depth > 0)
                                 return;
                             ++events.errors;
                             FUZZ_CHECK(status == statusReplyDelivered);
                             FUZZ_CHECK(error >= 1000 && error <= 1005);
                             FUZZ_CHECK(component->CommStatus() == status);
                             FUZZ_CHECK(component->CommError() == error);
                         });
    }

    void checkReadEvent(qint16 status, qint16 error, qint16 slave, qint16 start,
                        const QVector<qint16> &data, qint16 count)
    {
        ++events.replies;
        FUZZ_CHECK(current->isRead());
        FUZZ_CHECK(status == statusReplyDelivered && error == readReplyCode);
        FUZZ_CHECK(slave == current->slave && start == current->address && count == current->count);
        FUZZ_CHECK(data.size() == count + 1 && data.last() == 0);
        FUZZ_CHECK(component->CommStatus() == status && component->CommError() == error);
    }

    void checkWriteEvent(qint16 status, qint16 error, qint16 slave, qint16 address, qint16 value)
    {
        ++events.replies;
        FUZZ_CHECK(!current->isRead());
        FUZZ_CHECK(status == statusWriteConfirmed && error == 0);
        FUZZ_CHECK(slave == current->slave && address == current->address);
        const qint16 expectedValue = current->function == Function::PresetSingle
                                         ? current->count
                                         : (current->values.isEmpty() ? 0 : current->values.first());
        FUZZ_CHECK(value == expectedValue);
    }

    // Inside a read reply a write is refused as busy and a read runs as a nested transaction.
    void readFromHandler()
    {
        if (!nestedRead || events.depth > 0)
            return;
        ++events.depth;
        const qsizetype writtenBefore = port->written.size();
        const qsizetype messagesBefore = messages->texts.size();
        FUZZ_CHECK(!component->FC06_PresetSingleRegister_4X(1, 0, 0));
        FUZZ_CHECK(port->written.size() == writtenBefore);
        FUZZ_CHECK(messages->texts.size() == messagesBefore + 1
                   && messages->texts.last() == modbus::busyMessage);
        try {
            issue(*component, *nestedRead);
        } catch (const std::overflow_error &) {
        } catch (const std::out_of_range &) {
        } catch (const SerialPortError &) {
            portFailedInside = true;
        }
        --events.depth;
    }

    void runOne(const Request &request)
    {
        current = &request;
        events = {};
        portFailedInside = false;
        const qsizetype writtenBefore = port->written.size();
        const qsizetype messagesBefore = messages->texts.size();
        bool result = false;
        try {
            result = issue(*component, request);
        } catch (const std::overflow_error &) {
            checkNothingHappened(writtenBefore, messagesBefore, statusIdle);
            return;
        } catch (const std::out_of_range &) {
            checkNothingHappened(writtenBefore, messagesBefore, statusIdle);
            return;
        } catch (const SerialPortError &) {
            // The device failed during the wait: no event, busy until the port is closed.
            FUZZ_CHECK(events.replies == 0 && events.errors == 0);
            FUZZ_CHECK(component->CommStatus() == statusAwaiting);
            component->ClosePort();
            FUZZ_CHECK(component->CommStatus() == statusIdle);
            FUZZ_CHECK(component->OpenPort());
            return;
        }
        const bool sendFailed = messages->texts.size() > messagesBefore
                                && messages->texts.at(messagesBefore) == modbus::sendErrorMessage;
        if (sendFailed) {
            FUZZ_CHECK(!result && events.replies == 0 && events.errors == 0);
            FUZZ_CHECK(port->written.size() == writtenBefore);
        } else {
            FUZZ_CHECK(port->written.size() > writtenBefore);
            checkFrame(request, port->written.at(writtenBefore));
            FUZZ_CHECK(events.replies + events.errors == 1);
            FUZZ_CHECK(result == (events.replies == 1));
        }
        if (portFailedInside) {
            // The nested wait failed; the outer call still ends its own transaction.
            component->ClosePort();
            FUZZ_CHECK(component->OpenPort());
        }
        FUZZ_CHECK(component->CommStatus() == statusIdle && component->CommError() == 0);
    }

    void checkNothingHappened(qsizetype writtenBefore, qsizetype messagesBefore, qint16 status)
    {
        FUZZ_CHECK(port->written.size() == writtenBefore);
        FUZZ_CHECK(messages->texts.size() == messagesBefore);
        FUZZ_CHECK(events.replies == 0 && events.errors == 0);
        FUZZ_CHECK(component->CommStatus() == status);
    }

    FakeSerialPort *port = nullptr; // owned by the component
    std::unique_ptr<modbus> component;
    std::unique_ptr<MessageRecorder> messages;
    const Request *current = nullptr;
    std::optional<Request> nestedRead;
    Events events;
    bool portFailedInside = false;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const quint8 *data, std::size_t size)
{
    FuzzInput in(data, size);
    Harness harness;
    harness.run(in);
    return 0;
}
