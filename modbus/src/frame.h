#pragma once

#include "modbus/comm_error.h"

#include <QByteArray>
#include <QVector>

#include <optional>

// Modbus RTU frames as bytes, with no port, clock or state: building a request and checking the
// reply the wait collected.
namespace modbus_frame {

constexpr quint8 readHoldingRegisters = 3;
constexpr quint8 readInputRegisters = 4;
constexpr quint8 presetSingleRegister = 6;
constexpr quint8 presetMultipleRegisters = 16;

// A whole request, CRC included (low byte first), as the one 101-byte frame buffer holds it;
// nullopt when the CRC no longer fits that buffer. A negative address or count, or a byte count
// past one byte, throws std::overflow_error; values that are missing or run past the buffer
// throw std::out_of_range.
std::optional<QByteArray> readRequest(quint8 slave, quint8 function, qint16 start, qint16 count);
std::optional<QByteArray> presetSingleRequest(quint8 slave, qint16 address, qint16 value);
std::optional<QByteArray> presetMultipleRequest(quint8 slave, qint16 address,
                                                const QVector<qint16> &values, qint16 count);

// What a request's reply must look like: its fixed length, its slave and, for a write, the
// register address and second word it echoes.
struct ReplyShape {
    quint8 slave = 0;
    int length = 0;
    struct Echo {
        qint16 address;
        qint16 secondWord;
    };
    std::optional<Echo> echo;
};
ReplyShape readReply(quint8 slave, qint16 count);
ReplyShape writeReply(quint8 slave, qint16 address, qint16 secondWord);

struct Verdict {
    CommErrorCode error = CommErrorCode::None;
    QByteArray frame;   // the counted bytes, when every check passed
};

// Checks a reply the wait saw at its expected length: `received` is everything taken from the
// port, `counted` the byte count read just before. In this order: a complete reply (else a
// time-out), the CRC over the counted bytes, the slave, the echoed address, the echoed word.
Verdict checkReply(const QByteArray &received, int counted, const ReplyShape &shape);

// The register values of a checked read reply of n bytes: (n-5)/2 of them, a half going to the
// even neighbour, followed by one 0 entry.
QVector<qint16> registersOf(const QByteArray &frame);

} // namespace modbus_frame
