#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>

#include <optional>

namespace alarmsim {

enum class FaultKind { None, Silent, BadCrc, WrongSlave, Exception, Short, Long, Slow };

std::optional<FaultKind> faultFromName(const QString &name);
QString faultName(FaultKind kind);
QStringList faultNames();

// Which requests get the fault: every Nth request for this slave (counting from 1), or every
// request whose start address is listed.
struct FaultPlan {
    FaultKind kind = FaultKind::None;
    int every = 0;
    QSet<int> addresses;
    int slowMs = 1000;

    FaultKind faultFor(int requestNumber, int startAddress) const;
};

// Exception and silence stand for a controller that did not carry the request out.
bool faultSkipsExecution(FaultKind kind);

// The bytes sent instead of the good reply; the good reply itself for None and Slow.
QByteArray faultyReply(FaultKind kind, const QByteArray &request, const QByteArray &goodReply);

// CRC-16/MODBUS as it goes on the wire: low byte first.
QByteArray crc16(const QByteArray &data);
QByteArray withCrc(const QByteArray &data);

} // namespace alarmsim
