#include "modbus_private.h"

#include "rounding.h"

#include <algorithm>
#include <stdexcept>

namespace {

constexpr quint8 readHoldingRegisters = 3;
constexpr quint8 readInputRegisters = 4;
constexpr quint8 presetSingleRegister = 6;
constexpr quint8 presetMultipleRegisters = 16;

constexpr int headerLength = 6;
constexpr int byteCountIndex = 6;
constexpr int firstValueIndex = 7;
constexpr int crcLength = 2;
constexpr int writeReplyLength = 8;
constexpr int readReplyOverhead = 5;

constexpr qint16 statusIdle = 0;
constexpr qint16 statusAwaitingReply = 1000;
constexpr qint16 statusWriteConfirmed = 1001;
constexpr qint16 statusReplyDelivered = 1002;

constexpr qint16 noError = 0;
constexpr qint16 errorTimeOut = 1000;
constexpr qint16 errorSlave = 1001;
constexpr qint16 errorEchoedAddress = 1002;
constexpr qint16 errorCrc = 1003;
constexpr qint16 errorParity = 1004;
constexpr qint16 errorEchoedValue = 1005;
constexpr qint16 readReplyCode = 1001;

// The wait wakes this long after the time-out limit, so the check that follows sees it passed.
constexpr auto waitMargin = std::chrono::milliseconds(1);

// Address and count fields carry 0..32767.
quint16 addressField(qint16 value)
{
    if (value < 0)
        throw std::overflow_error("negative register address or count");
    return quint16(value);
}

quint8 byteCountField(qint16 registerCount)
{
    const int byteCount = 2 * registerCount;
    if (byteCount > 0xFF)
        throw std::overflow_error("byte count does not fit one byte");
    return quint8(byteCount);
}

qint16 valueAt(const QVector<qint16> &data, int index)
{
    if (index >= data.size())
        throw std::out_of_range("RegisterData holds fewer values than RegisterCount");
    return data[index];
}

qint16 wordAt(const QByteArray &bytes, int index)
{
    return qint16(quint16(quint8(bytes[index]) << 8 | quint8(bytes[index + 1])));
}

bool crcMatches(const QByteArray &bytes)
{
    const int n = int(bytes.size());
    const auto crc = CrcCheck::GetCrc16(bytes, n - crcLength);
    return quint8(bytes[n - 2]) == crc[1] && quint8(bytes[n - 1]) == crc[0];
}

// Registers a read reply of n bytes carries: (n-5)/2, a half going to the even neighbour.
int registersIn(int replyLength)
{
    return std::max(0, int(modbus_detail::roundHalfEven((replyLength - readReplyOverhead) / 2.0)));
}

} // namespace

bool modbus::FC03_ReadHoldingRegister_4X(quint8 slaveAddress, qint16 startAddress,
                                         qint16 RegisterCount)
{
    return d->readRegisters(readHoldingRegisters, &modbus::FC03ReadHoldingRegisterRespond4X,
                            slaveAddress, startAddress, RegisterCount);
}

bool modbus::FC04_ReadInputRegister_3X(quint8 slaveAddress, qint16 startAddress,
                                       qint16 RegisterCount)
{
    return d->readRegisters(readInputRegisters, &modbus::FC04ReadInputRegisterRespond3X,
                            slaveAddress, startAddress, RegisterCount);
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

bool modbus::Private::readRegisters(quint8 function, ReadSignal signal, quint8 slaveAddress,
                                    qint16 startAddress, qint16 count)
{
    if (!admitRead())
        return false;
    putHeader(slaveAddress, function, addressField(startAddress), addressField(count));
    if (!sendFrame(headerLength))
        return false;
    return completeRead(signal, slaveAddress, startAddress, count);
}

bool modbus::Private::presetSingle(quint8 slaveAddress, qint16 registerAddress, qint16 presetData)
{
    if (!admitWrite())
        return false;
    putHeader(slaveAddress, presetSingleRegister, addressField(registerAddress),
              quint16(presetData));
    if (!sendFrame(headerLength))
        return false;
    return completeWrite(&modbus::FC06PresetSingleRegisterRespond4X, slaveAddress,
                         registerAddress, presetData, presetData);
}

bool modbus::Private::presetMulti(quint8 slaveAddress, qint16 registerAddress,
                                  const QVector<qint16> &data, qint16 count)
{
    if (!admitWrite())
        return false;
    putHeader(slaveAddress, presetMultipleRegisters, addressField(registerAddress),
              addressField(count));
    sendBuffer.put(byteCountIndex, byteCountField(count));
    for (int i = 0; i < count; ++i)
        sendBuffer.putWord(firstValueIndex + 2 * i, quint16(valueAt(data, i)));
    if (!sendFrame(firstValueIndex + 2 * count))
        return false;
    const qint16 firstValue = data.isEmpty() ? 0 : data.first();
    return completeWrite(&modbus::FC16PresetMultiRegisterRespond4X, slaveAddress,
                         registerAddress, count, firstValue);
}

// A read may start inside another reply's event; only a reply still awaited blocks it.
bool modbus::Private::admitRead()
{
    if (commStatus != statusAwaitingReply)
        return true;
    showMessage(busyMessage);
    return false;
}

bool modbus::Private::admitWrite()
{
    if (commStatus == statusIdle)
        return true;
    showMessage(busyMessage);
    return false;
}

void modbus::Private::putHeader(quint8 slaveAddress, quint8 function, quint16 firstWord,
                                quint16 secondWord)
{
    sendBuffer.put(0, slaveAddress);
    sendBuffer.put(1, function);
    sendBuffer.putWord(2, firstWord);
    sendBuffer.putWord(4, secondWord);
}

bool modbus::Private::sendFrame(int length)
{
    if (length + crcLength > FrameBuffer::capacity)
        return failSend();
    const auto crc = CrcCheck::GetCrc16(sendBuffer.data(), length);
    sendBuffer.put(length, crc[1]);
    sendBuffer.put(length + 1, crc[0]);
    portFailure.clear();
    try {
        port->discardInput();
        port->write(sendBuffer.frame(length + crcLength));
    } catch (const SerialPortError &e) {
        notePortFailure(e);
        return failSend();
    }
    commStatus = statusAwaitingReply;
    return true;
}

bool modbus::Private::failSend()
{
    showMessage(sendErrorMessage);
    commStatus = statusIdle;
    return false;
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

modbus::Private::Reply modbus::Private::receiveReply(quint8 slaveAddress, int expectedLength)
{
    switch (awaitLength(expectedLength)) {
    case WaitOutcome::TimedOut: return {{}, errorTimeOut};
    case WaitOutcome::ParityError: return {{}, errorParity};
    case WaitOutcome::Complete: break;
    }
    const int counted = port->bytesWaiting();
    QByteArray bytes = port->takeAll();
    // A port that hands over fewer bytes than it counted delivered no complete reply.
    if (bytes.size() < std::max(counted, expectedLength))
        return {{}, errorTimeOut};
    bytes.truncate(counted);
    if (!crcMatches(bytes))
        return {{}, errorCrc};
    if (quint8(bytes[0]) != slaveAddress)
        return {{}, errorSlave};
    return {bytes, noError};
}

bool modbus::Private::completeRead(ReadSignal signal, quint8 slaveAddress, qint16 startAddress,
                                   qint16 count)
{
    const Reply reply = receiveReply(slaveAddress, 2 * count + readReplyOverhead);
    if (reply.error != noError)
        return endWithError(reply.error);
    const int registers = registersIn(int(reply.bytes.size()));
    QVector<qint16> registerData(registers + 1);
    for (int i = 0; i < registers; ++i)
        registerData[i] = wordAt(reply.bytes, 3 + 2 * i);
    qint16 slave = slaveAddress;
    setState(statusReplyDelivered, readReplyCode);
    emit(q->*signal)(statusReplyDelivered, readReplyCode, slave, startAddress, registerData, count);
    setState(statusIdle, noError);
    return true;
}

bool modbus::Private::completeWrite(WriteSignal signal, quint8 slaveAddress,
                                    qint16 registerAddress, qint16 echoedSecondWord,
                                    qint16 presetData)
{
    const Reply reply = receiveReply(slaveAddress, writeReplyLength);
    if (reply.error != noError)
        return endWithError(reply.error);
    if (wordAt(reply.bytes, 2) != registerAddress)
        return endWithError(errorEchoedAddress);
    if (wordAt(reply.bytes, 4) != echoedSecondWord)
        return endWithError(errorEchoedValue);
    qint16 slave = slaveAddress;
    qint16 address = registerAddress;
    qint16 value = presetData;
    setState(statusWriteConfirmed, noError);
    emit(q->*signal)(statusWriteConfirmed, noError, slave, address, value);
    setState(statusIdle, noError);
    return true;
}

bool modbus::Private::endWithError(qint16 code)
{
    setState(statusReplyDelivered, code);
    emit q->CommPortEventError(statusReplyDelivered, code);
    setState(statusIdle, noError);
    return false;
}

void modbus::Private::setState(qint16 status, qint16 error)
{
    commStatus = status;
    commError = error;
}
