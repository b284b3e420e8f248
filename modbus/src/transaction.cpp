#include "modbus_private.h"

#include <algorithm>

namespace {

constexpr qint16 statusIdle = 0;
constexpr qint16 statusAwaitingReply = 1000;
constexpr qint16 statusWriteConfirmed = 1001;
constexpr qint16 statusReplyDelivered = 1002;
constexpr qint16 readReplyCode = 1001;

// The wait wakes this long after the time-out limit, so the check that follows sees it passed.
constexpr auto waitMargin = std::chrono::milliseconds(1);
// Bytes heard near the late-reply bound may be a reply still arriving: the line must then fall
// silent for this long, more than a USB adapter's 16 ms packet latency and 3.5 characters at
// 2400 bit/s.
constexpr auto quietGap = std::chrono::milliseconds(50);

using Kind = RequestOutcome::Kind;
const RequestOutcome answered{Kind::Answered, CommErrorCode::None};

SerialPort::Clock::duration durationOf(double milliseconds)
{
    return std::chrono::ceil<SerialPort::Clock::duration>(
        std::chrono::duration<double, std::milli>(std::max(0.0, milliseconds)));
}

} // namespace

bool modbus::FC03_ReadHoldingRegister_4X(quint8 slaveAddress, qint16 startAddress,
                                         qint16 RegisterCount)
{
    return d->readRegisters(modbus_frame::readHoldingRegisters,
                            &modbus::FC03ReadHoldingRegisterRespond4X, slaveAddress, startAddress,
                            RegisterCount);
}

bool modbus::FC04_ReadInputRegister_3X(quint8 slaveAddress, qint16 startAddress,
                                       qint16 RegisterCount)
{
    return d->readRegisters(modbus_frame::readInputRegisters,
                            &modbus::FC04ReadInputRegisterRespond3X, slaveAddress, startAddress,
                            RegisterCount);
}

bool modbus::FC06_PresetSingleRegister_4X(quint8 slaveAddress, qint16 RegisterAddress,
                                          qint16 PresetData)
{
    return d->presetSingle(slaveAddress, RegisterAddress, PresetData);
}

bool modbus::FC16_PresetMultiRegister_4X(quint8 slaveAddress, qint16 RegisterAddress,
                                         const QVector<qint16> &RegisterData, qint16 RegisterCount)
{
    return d->presetMulti(slaveAddress, RegisterAddress, RegisterData, RegisterCount);
}

RequestOutcome modbus::lastRequestOutcome() const
{
    return d->lastOutcome;
}

void modbus::setTrafficObserver(TrafficObserver observer)
{
    d->trafficObserver = std::move(observer);
}

bool modbus::Private::readRegisters(quint8 function, ReadSignal signal, quint8 slaveAddress,
                                    qint16 startAddress, qint16 count)
{
    if (!admitRead())
        return false;
    const auto request = modbus_frame::readRequest(slaveAddress, function, startAddress, count);
    const auto reply = transact(request, modbus_frame::readReply(slaveAddress, count));
    if (!reply)
        return false;
    QVector<qint16> registerData = modbus_frame::registersOf(*reply);
    qint16 slave = slaveAddress;
    setState(statusReplyDelivered, readReplyCode);
    emit(q->*signal)(statusReplyDelivered, readReplyCode, slave, startAddress, registerData, count);
    setState(statusIdle, 0);
    return finish(answered);
}

bool modbus::Private::presetSingle(quint8 slaveAddress, qint16 registerAddress, qint16 presetData)
{
    if (!admitWrite())
        return false;
    const auto request =
        modbus_frame::presetSingleRequest(slaveAddress, registerAddress, presetData);
    return completeWrite(&modbus::FC06PresetSingleRegisterRespond4X, request, slaveAddress,
                         registerAddress, presetData, presetData);
}

bool modbus::Private::presetMulti(quint8 slaveAddress, qint16 registerAddress,
                                  const QVector<qint16> &data, qint16 count)
{
    if (!admitWrite())
        return false;
    const auto request =
        modbus_frame::presetMultipleRequest(slaveAddress, registerAddress, data, count);
    const qint16 firstValue = data.isEmpty() ? 0 : data.first();
    return completeWrite(&modbus::FC16PresetMultiRegisterRespond4X, request, slaveAddress,
                         registerAddress, count, firstValue);
}

bool modbus::Private::completeWrite(WriteSignal signal, const std::optional<QByteArray> &request,
                                    quint8 slaveAddress, qint16 registerAddress,
                                    qint16 echoedSecondWord, qint16 presetData)
{
    const auto shape = modbus_frame::writeReply(slaveAddress, registerAddress, echoedSecondWord);
    if (!transact(request, shape))
        return false;
    qint16 slave = slaveAddress;
    qint16 address = registerAddress;
    qint16 value = presetData;
    setState(statusWriteConfirmed, 0);
    emit(q->*signal)(statusWriteConfirmed, 0, slave, address, value);
    setState(statusIdle, 0);
    return finish(answered);
}

// A read may start inside another reply's event; only a reply still awaited blocks it.
bool modbus::Private::admitRead()
{
    return commStatus != statusAwaitingReply || refuseAsBusy();
}

bool modbus::Private::admitWrite()
{
    return commStatus == statusIdle || refuseAsBusy();
}

bool modbus::Private::refuseAsBusy()
{
    showMessage(busyMessage);
    return finish({Kind::Busy, CommErrorCode::None});
}

std::optional<QByteArray> modbus::Private::transact(const std::optional<QByteArray> &request,
                                                    const modbus_frame::ReplyShape &shape)
{
    if (!request || !sendFrame(*request)) {
        failSend(request.value_or(QByteArray()));
        return std::nullopt;
    }
    const Received received = receiveReplyOrReportCutOff(*request, shape);
    const CommErrorCode error = received.verdict.error;
    if (error == CommErrorCode::None) {
        observe(*request, received.bytes, answered);
        return received.verdict.frame;
    }
    const RequestOutcome failed{Kind::Failed, error};
    observe(*request, received.bytes, failed);
    failedAt = port->now();
    endWithError(error);
    finish(failed);
    return std::nullopt;
}

bool modbus::Private::sendFrame(const QByteArray &frame)
{
    portFailure.clear();
    try {
        awaitQuietLine();
        port->discardInput();
        port->write(frame);
    } catch (const SerialPortError &e) {
        notePortFailure(e);
        return false;
    }
    commStatus = statusAwaitingReply;
    return true;
}

void modbus::Private::failSend(const QByteArray &frame)
{
    const RequestOutcome notSent{Kind::NotSent, CommErrorCode::None};
    observe(frame, {}, notSent);
    showMessage(sendErrorMessage);
    commStatus = statusIdle;
    finish(notSent);
}

// A failed request's reply may still come, up to one time-out after the failure. Until then,
// and until a reply caught arriving has ended, whatever the line brings is discarded, so that it
// cannot be taken for the next request's reply. A line that never falls silent is given up on
// after one more time-out.
void modbus::Private::awaitQuietLine()
{
    if (!failedAt)
        return;
    const auto timeOut = durationOf(timeOutMilliseconds());
    const auto lateReplyBound = *failedAt + timeOut;
    const auto giveUp = lateReplyBound + timeOut + quietGap;
    auto lastHeard = *failedAt;
    for (;;) {
        if (port->bytesWaiting() > 0) {
            port->discardInput();
            lastHeard = port->now();
        }
        const auto sendAt = std::min(std::max(lateReplyBound, lastHeard + quietGap), giveUp);
        if (port->now() >= sendAt)
            break;
        port->waitForInput(sendAt);
    }
    failedAt.reset();
}

// Checks in a fixed order: time first, so a reply completing at the moment the time is up is a
// time-out; then a parity error; then the exact length. Between checks the port sleeps.
modbus::Private::WaitOutcome modbus::Private::awaitLength(int expectedLength)
{
    const SerialPort::Clock::time_point start = port->now();
    const std::chrono::duration<double, std::milli> limit(timeOutMilliseconds());
    const auto deadline = start + std::chrono::ceil<SerialPort::Clock::duration>(limit) + waitMargin;
    for (;;) {
        if (port->now() - start > limit)
            return WaitOutcome::TimedOut;
        if (port->lastEvent() == CommEvent::ReceiveParityError)
            return WaitOutcome::ParityError;
        if (port->bytesWaiting() == expectedLength)
            return WaitOutcome::Complete;
        port->waitForReply(deadline, expectedLength);
    }
}

modbus::Private::Received modbus::Private::receiveReply(const modbus_frame::ReplyShape &shape)
{
    switch (awaitLength(shape.length)) {
    case WaitOutcome::TimedOut: return {{}, {CommErrorCode::TimeOut, {}}};
    case WaitOutcome::ParityError: return {{}, {CommErrorCode::Parity, {}}};
    case WaitOutcome::Complete: break;
    }
    const int counted = port->bytesWaiting();
    const QByteArray bytes = port->takeAll();
    return {bytes, modbus_frame::checkReply(bytes, counted, shape)};
}

// A port that fails under the wait ends the call with its error, but the request did go out: the
// observer still hears of it, with the port's reason.
modbus::Private::Received modbus::Private::receiveReplyOrReportCutOff(const QByteArray &request,
                                                                      const modbus_frame::ReplyShape &shape)
{
    try {
        return receiveReply(shape);
    } catch (const SerialPortError &e) {
        portFailure = QString::fromUtf8(e.what());
        const RequestOutcome cutOff{Kind::PortFailed, CommErrorCode::None};
        observe(request, {}, cutOff);
        finish(cutOff);
        throw;
    }
}

void modbus::Private::endWithError(CommErrorCode code)
{
    setState(statusReplyDelivered, qint16(code));
    emit q->CommPortEventError(statusReplyDelivered, qint16(code));
    setState(statusIdle, 0);
}

bool modbus::Private::finish(RequestOutcome outcome)
{
    lastOutcome = outcome;
    return outcome.kind == Kind::Answered;
}

void modbus::Private::observe(const QByteArray &request, const QByteArray &reply,
                              const RequestOutcome &outcome) const
{
    if (trafficObserver)
        trafficObserver(request, reply, outcome);
}

void modbus::Private::setState(qint16 status, qint16 error)
{
    commStatus = status;
    commError = error;
}
