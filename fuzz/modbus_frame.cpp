// The component's frame layer on its own: requests built from arbitrary fields, and arbitrary
// received bytes checked against arbitrary expectations, each verdict held against the check
// order (length, CRC, slave, echoed address, echoed word).

#include "fuzz_input.h"

#include "frame.h"
#include "modbus/modbus.h"

#include <stdexcept>

namespace {

using namespace modbus_frame;

constexpr int maxValues = 140;   // past the 127-register byte-count limit
constexpr int maxReplyBytes = 120;

qint16 wordAt(const QByteArray &bytes, int index)
{
    return qint16(quint16(quint8(bytes[index]) << 8 | quint8(bytes[index + 1])));
}

bool crcMatches(const QByteArray &frame)
{
    const int n = int(frame.size());
    const auto crc = CrcCheck::GetCrc16(frame, n - 2);
    return quint8(frame[n - 2]) == crc[1] && quint8(frame[n - 1]) == crc[0];
}

void checkRequest(const QByteArray &frame, quint8 slave, quint8 function, qint16 first,
                  qint16 second)
{
    FUZZ_CHECK(frame.size() >= 8 && frame.size() <= 101);
    FUZZ_CHECK(crcMatches(frame));
    FUZZ_CHECK(quint8(frame[0]) == slave && quint8(frame[1]) == function);
    FUZZ_CHECK(wordAt(frame, 2) == first && wordAt(frame, 4) == second);
}

void buildRequest(FuzzInput &in)
{
    const quint8 slave = in.byte();
    const qint16 address = in.signedWord();
    const qint16 second = in.signedWord();
    QVector<qint16> values(in.below(maxValues));
    for (qint16 &value : values)
        value = in.signedWord();
    const quint8 read = in.flag() ? readHoldingRegisters : readInputRegisters;
    try {
        switch (in.byte() % 3) {
        case 0:
            if (const auto frame = readRequest(slave, read, address, second))
                checkRequest(*frame, slave, read, address, second);
            break;
        case 1:
            if (const auto frame = presetSingleRequest(slave, address, second))
                checkRequest(*frame, slave, presetSingleRegister, address, second);
            break;
        default:
            if (const auto frame = presetMultipleRequest(slave, address, values, second)) {
                checkRequest(*frame, slave, presetMultipleRegisters, address, second);
                FUZZ_CHECK(frame->size() == 9 + 2 * second && quint8((*frame)[6]) == 2 * second);
            } else {
                FUZZ_CHECK(second == 47 && values.size() >= 47);   // fits but for its CRC
            }
        }
    } catch (const std::overflow_error &) {
        FUZZ_CHECK(address < 0 || second < 0 || second >= 128);
    } catch (const std::out_of_range &) {
        FUZZ_CHECK(second > values.size() || second >= 48);
    }
}

// A frame whose CRC is right, so that the checks past the CRC are reached; then maybe one flip.
QByteArray receivedBytes(FuzzInput &in)
{
    QByteArray bytes = in.sizedBytes(maxReplyBytes);
    if (in.flag() && bytes.size() >= 2) {
        const auto crc = CrcCheck::GetCrc16(bytes, int(bytes.size()) - 2);
        bytes[bytes.size() - 2] = char(crc[1]);
        bytes[bytes.size() - 1] = char(crc[0]);
    }
    return bytes;
}

void checkVerdict(const QByteArray &received, int counted, const ReplyShape &shape)
{
    const Verdict verdict = checkReply(received, counted, shape);
    const bool complete = counted >= shape.length && received.size() >= counted;
    FUZZ_CHECK((verdict.error == CommErrorCode::TimeOut) == !complete);
    if (!complete)
        return;
    const QByteArray frame = received.left(counted);
    const bool crcRight = crcMatches(frame);
    FUZZ_CHECK((verdict.error == CommErrorCode::Crc) == !crcRight);
    if (!crcRight)
        return;
    const bool slaveRight = quint8(frame[0]) == shape.slave;
    FUZZ_CHECK((verdict.error == CommErrorCode::WrongSlave) == !slaveRight);
    if (!slaveRight)
        return;
    const bool addressRight = !shape.echo || wordAt(frame, 2) == shape.echo->address;
    FUZZ_CHECK((verdict.error == CommErrorCode::EchoedAddress) == !addressRight);
    if (!addressRight)
        return;
    const bool wordRight = !shape.echo || wordAt(frame, 4) == shape.echo->secondWord;
    FUZZ_CHECK((verdict.error == CommErrorCode::EchoedValue) == !wordRight);
    if (!wordRight)
        return;
    FUZZ_CHECK(verdict.error == CommErrorCode::None && verdict.frame == frame);
    if (!shape.echo) {
        const QVector<qint16> registers = registersOf(frame);
        FUZZ_CHECK(!registers.isEmpty() && registers.last() == 0);
        FUZZ_CHECK(2 * (registers.size() - 1) + 5 <= frame.size() + 1);
    }
}

void checkReplyBytes(FuzzInput &in)
{
    const quint8 slave = in.byte();
    const bool write = in.flag();
    const qint16 first = in.signedWord();
    const qint16 second = in.signedWord();
    const ReplyShape shape = write ? writeReply(slave, first, second)
                                   : readReply(slave, qint16(in.below(maxReplyBytes / 2)));
    const QByteArray received = receivedBytes(in);
    const int counted = in.below(maxReplyBytes + 1);
    checkVerdict(received, counted, shape);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const quint8 *data, std::size_t size)
{
    FuzzInput in(data, size);
    if (in.flag())
        checkReplyBytes(in);
    else
        buildRequest(in);
    return 0;
}
