#include "faults.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <utility>

namespace alarmsim {
namespace {

constexpr std::array<std::pair<FaultKind, const char *>, 7> faultNameTable{{
    {FaultKind::Silent, "silent"},
    {FaultKind::BadCrc, "badcrc"},
    {FaultKind::WrongSlave, "wrongslave"},
    {FaultKind::Exception, "exception"},
    {FaultKind::Short, "short"},
    {FaultKind::Long, "long"},
    {FaultKind::Slow, "slow"},
}};

// Slave device failure: the controller understood the request but could not carry it out.
constexpr char exceptionCode = 0x04;
constexpr int shortReplyMissingBytes = 3;
const QByteArray longReplyExtraBytes("\x00\x00\x00", 3);

} // namespace

std::optional<FaultKind> faultFromName(const QString &name)
{
    for (const auto &[kind, text] : faultNameTable)
        if (name == QLatin1String(text))
            return kind;
    return std::nullopt;
}

QString faultName(FaultKind kind)
{
    for (const auto &[k, text] : faultNameTable)
        if (k == kind)
            return QString::fromLatin1(text);
    return QString();
}

QStringList faultNames()
{
    QStringList names;
    for (const auto &entry : faultNameTable)
        names << QString::fromLatin1(entry.second);
    return names;
}

FaultKind FaultPlan::faultFor(int requestNumber, int startAddress) const
{
    const bool hit = every > 0 ? requestNumber % every == 0 : addresses.contains(startAddress);
    return hit ? kind : FaultKind::None;
}

bool faultSkipsExecution(FaultKind kind)
{
    return kind == FaultKind::Silent || kind == FaultKind::Exception;
}

QByteArray faultyReply(FaultKind kind, const QByteArray &request, const QByteArray &goodReply)
{
    if (goodReply.isEmpty() && kind != FaultKind::Exception)
        return goodReply;
    switch (kind) {
    case FaultKind::None:
    case FaultKind::Slow:
        return goodReply;
    case FaultKind::Silent:
        return QByteArray();
    case FaultKind::BadCrc: {
        QByteArray reply = goodReply;
        if (reply.size() >= 2)
            reply[reply.size() - 2] = char(reply[reply.size() - 2] ^ 0xFF);
        return reply;
    }
    case FaultKind::WrongSlave: {
        QByteArray body = goodReply.left(goodReply.size() - 2);
        body[0] = char(uint8_t(body[0]) + 1);
        return withCrc(body);
    }
    case FaultKind::Exception: {
        const char slave = request.isEmpty() ? char(0) : request[0];
        const char function = request.size() > 1 ? request[1] : char(0);
        const char header[] = {slave, char(uint8_t(function) | 0x80), exceptionCode};
        return withCrc(QByteArray(header, sizeof header));
    }
    case FaultKind::Short:
        return goodReply.left(std::max<qsizetype>(1, goodReply.size() - shortReplyMissingBytes));
    case FaultKind::Long:
        return goodReply + longReplyExtraBytes;
    }
    return goodReply;
}

QByteArray crc16(const QByteArray &data)
{
    uint16_t crc = 0xFFFF;
    for (char c : data) {
        crc ^= uint8_t(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
    }
    const char bytes[] = {char(crc & 0xFF), char(crc >> 8)};
    return QByteArray(bytes, 2);
}

QByteArray withCrc(const QByteArray &data)
{
    return data + crc16(data);
}

} // namespace alarmsim
