#include "request_log.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <stdexcept>

namespace alarmsim {
namespace {

int word(const QByteArray &frame, int at)
{
    return at + 1 < frame.size() ? (uint8_t(frame[at]) << 8) | uint8_t(frame[at + 1]) : 0;
}

} // namespace

LoggedRequest decodeRequest(const QByteArray &frame)
{
    LoggedRequest r;
    r.frame = frame;
    r.slave = frame.size() > 0 ? uint8_t(frame[0]) : 0;
    r.function = frame.size() > 1 ? uint8_t(frame[1]) : 0;
    r.address = word(frame, 2);
    if (r.function == 6) {
        r.count = 1;
        r.values << int16_t(word(frame, 4));
    } else {
        r.count = word(frame, 4);
    }
    if (r.function == 16)
        for (int i = 0; i < r.count && 7 + 2 * i + 1 < frame.size() - 2; ++i)
            r.values << int16_t(word(frame, 7 + 2 * i));
    return r;
}

QString hexBytes(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

RequestLog::RequestLog(const QString &path) : file(path)
{
    clock.start();
    if (!path.isEmpty() && !file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        throw std::runtime_error(("cannot write " + path + ": " + file.errorString()).toStdString());
}

void RequestLog::request(const LoggedRequest &request, const QByteArray &reply, const QString &fault,
                         const ReplyTimings &timings)
{
    QJsonArray values;
    for (int16_t v : request.values)
        values.append(int(v));
    QJsonObject entry{{"t", secondsSinceStart()},
                      {"slave", request.slave},
                      {"fn", request.function},
                      {"addr", request.address},
                      {"count", request.count},
                      {"values", values},
                      {"request", hexBytes(request.frame)},
                      {"reply", hexBytes(reply)},
                      {"fault", fault}};
    if (timings.reaction)
        entry.insert("reaction_us", double(timings.reaction->count()));
    if (timings.due)
        entry.insert("due_us", double(timings.due->count()));
    writeLine(QJsonDocument(entry).toJson(QJsonDocument::Compact));
}

void RequestLog::discarded(const QByteArray &bytes, const QString &reason)
{
    writeLine(QJsonDocument(QJsonObject{{"t", secondsSinceStart()},
                                        {"discarded", hexBytes(bytes)},
                                        {"reason", reason}})
                  .toJson(QJsonDocument::Compact));
}

void RequestLog::writeLine(const QByteArray &line)
{
    if (!file.isOpen())
        return;
    file.write(line + '\n');
    file.flush();
}

double RequestLog::secondsSinceStart() const
{
    return std::round(double(clock.nsecsElapsed()) / 1e3) / 1e6;
}

} // namespace alarmsim
