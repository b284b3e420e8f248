#include "frame.h"

#include "frame_buffer.h"
#include "modbus/modbus.h"
#include "rounding.h"

#include <algorithm>
#include <stdexcept>

namespace modbus_frame {

namespace {

constexpr int headerLength = 6;
constexpr int byteCountIndex = 6;
constexpr int firstValueIndex = 7;
constexpr int crcLength = 2;
constexpr int writeReplyLength = 8;
constexpr int readReplyOverhead = 5;
constexpr int firstRegisterIndex = 3;

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

FrameBuffer header(quint8 slave, quint8 function, quint16 firstWord, quint16 secondWord)
{
    FrameBuffer buffer;
    buffer.put(0, slave);
    buffer.put(1, function);
    buffer.putWord(2, firstWord);
    buffer.putWord(4, secondWord);
    return buffer;
}

std::optional<QByteArray> sealed(FrameBuffer &buffer, int length)
{
    if (length + crcLength > FrameBuffer::capacity)
        return std::nullopt;
    const auto crc = CrcCheck::GetCrc16(buffer.data(), length);
    buffer.put(length, crc[1]);
    buffer.put(length + 1, crc[0]);
    return buffer.frame(length + crcLength);
}

bool crcMatches(const QByteArray &bytes)
{
    const int n = int(bytes.size());
    const auto crc = CrcCheck::GetCrc16(bytes, n - crcLength);
    return quint8(bytes[n - 2]) == crc[1] && quint8(bytes[n - 1]) == crc[0];
}

CommErrorCode echoError(const QByteArray &frame, const ReplyShape::Echo &echo)
{
    if (wordAt(frame, 2) != echo.address)
        return CommErrorCode::EchoedAddress;
    if (wordAt(frame, 4) != echo.secondWord)
        return CommErrorCode::EchoedValue;
    return CommErrorCode::None;
}

} // namespace

std::optional<QByteArray> readRequest(quint8 slave, quint8 function, qint16 start, qint16 count)
{
    FrameBuffer buffer = header(slave, function, addressField(start), addressField(count));
    return sealed(buffer, headerLength);
}

std::optional<QByteArray> presetSingleRequest(quint8 slave, qint16 address, qint16 value)
{
    FrameBuffer buffer = header(slave, presetSingleRegister, addressField(address), quint16(value));
    return sealed(buffer, headerLength);
}

std::optional<QByteArray> presetMultipleRequest(quint8 slave, qint16 address,
                                                const QVector<qint16> &values, qint16 count)
{
    FrameBuffer buffer =
        header(slave, presetMultipleRegisters, addressField(address), addressField(count));
    buffer.put(byteCountIndex, byteCountField(count));
    for (int i = 0; i < count; ++i)
        buffer.putWord(firstValueIndex + 2 * i, quint16(valueAt(values, i)));
    return sealed(buffer, firstValueIndex + 2 * count);
}

ReplyShape readReply(quint8 slave, qint16 count)
{
    return {slave, 2 * count + readReplyOverhead, std::nullopt};
}

ReplyShape writeReply(quint8 slave, qint16 address, qint16 secondWord)
{
    return {slave, writeReplyLength, ReplyShape::Echo{address, secondWord}};
}

Verdict checkReply(const QByteArray &received, int counted, const ReplyShape &shape)
{
    // A port that hands over fewer bytes than it counted delivered no complete reply.
    if (counted < shape.length || received.size() < counted)
        return {CommErrorCode::TimeOut, {}};
    const QByteArray frame = received.left(counted);
    if (!crcMatches(frame))
        return {CommErrorCode::Crc, {}};
    if (quint8(frame[0]) != shape.slave)
        return {CommErrorCode::WrongSlave, {}};
    if (shape.echo) {
        if (const CommErrorCode error = echoError(frame, *shape.echo); error != CommErrorCode::None)
            return {error, {}};
    }
    return {CommErrorCode::None, frame};
}

QVector<qint16> registersOf(const QByteArray &frame)
{
    const int n = int(frame.size());
    const int registers =
        std::max(0, int(modbus_detail::roundHalfEven((n - readReplyOverhead) / 2.0)));
    QVector<qint16> values(registers + 1);
    for (int i = 0; i < registers; ++i)
        values[i] = wordAt(frame, firstRegisterIndex + 2 * i);
    return values;
}

} // namespace modbus_frame
