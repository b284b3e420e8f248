#include "wire_bound.h"

#include <QJsonObject>

namespace bench {
namespace {

constexpr double bitsPerCharacter = 10;
constexpr double turnaroundCharacters = 3.5;

// "01 03 00 00" holds four bytes.
int byteCount(const QString &hex)
{
    return hex.isEmpty() ? 0 : int(hex.count(' ')) + 1;
}

} // namespace

WireBound::WireBound(QString logPath, int baudRate) : log(std::move(logPath)), baud(baudRate) {}

double WireBound::takeNewMilliseconds()
{
    const double characterMs = bitsPerCharacter * 1000.0 / baud;
    double ms = 0;
    requests_ = 0;
    unanswered_ = 0;
    for (const QJsonObject &entry : log.takeNewRequests()) {
        const int replyBytes = byteCount(entry[QStringLiteral("reply")].toString());
        ++requests_;
        if (replyBytes == 0)
            ++unanswered_;
        const double wire = (byteCount(entry[QStringLiteral("request")].toString()) + replyBytes +
                             turnaroundCharacters) * characterMs;
        ms += entry.contains(QStringLiteral("due_us")) ? entry[QStringLiteral("due_us")].toDouble() / 1000.0
                                                        : wire;
    }
    return ms;
}

} // namespace bench
