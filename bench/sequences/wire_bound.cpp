#include "wire_bound.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <stdexcept>

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

WireBound::WireBound(QString path, int baudRate) : logPath(std::move(path)), baud(baudRate) {}

double WireBound::takeNewMilliseconds()
{
    QFile log(logPath);
    if (!log.open(QIODevice::ReadOnly) || !log.seek(consumed))
        throw std::runtime_error(("cannot read the simulator log " + logPath).toStdString());
    double characters = 0;
    requests_ = 0;
    unanswered_ = 0;
    while (!log.atEnd()) {
        const QByteArray line = log.readLine();
        if (!line.endsWith('\n'))
            break; // still being written; the next call takes it whole
        consumed += line.size();
        const QJsonObject entry = QJsonDocument::fromJson(line).object();
        if (!entry.contains(QStringLiteral("fn")))
            continue; // discarded bytes
        const int replyBytes = byteCount(entry[QStringLiteral("reply")].toString());
        ++requests_;
        if (replyBytes == 0)
            ++unanswered_;
        characters += byteCount(entry[QStringLiteral("request")].toString()) + replyBytes +
                      turnaroundCharacters;
    }
    return characters * bitsPerCharacter * 1000.0 / baud;
}

} // namespace bench
