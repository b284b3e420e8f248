#include "register_text.h"

#include "gbk_codec.h"

#include <modbus/conversion.h>

#include <limits>
#include <stdexcept>

namespace alarmcfg {

namespace {

// Decodes the bytes between two zero bytes. The segment is decoded with a trailing zero byte so
// that a dangling lead byte turns into a replacement character instead of being swallowed.
QString decodeSegment(QByteArrayView segment)
{
    QByteArray terminated(segment.data(), segment.size());
    terminated.append('\0');
    QString text = decodeGbk(terminated);
    if (text.endsWith(QChar(0)))
        text.chop(1);
    return text;
}

} // namespace

QByteArray toGbk(const QString &text)
{
    return encodeGbk(text).bytes;
}

bool isGbkEncodable(const QString &text)
{
    return encodeGbk(text).lossless;
}

int gbkByteLength(const QString &text)
{
    return int(toGbk(text).size());
}

QVector<qint16> textToRegisters(const QString &text, int slotRegisters)
{
    QByteArray bytes = toGbk(text);
    const qsizetype slotBytes = 2 * qsizetype(slotRegisters);
    if (bytes.size() > slotBytes || slotBytes > std::numeric_limits<qint16>::max())
        throw std::length_error("text longer than its register slot");
    if (bytes.size() < slotBytes)
        bytes.append('\0'); // the terminator; an odd count needs no other pad byte
    if (bytes.size() % 2 != 0)
        bytes.append('\0');
    const QVector<quint8> byteData(bytes.begin(), bytes.end());
    QVector<qint16> registers(bytes.size() / 2);
    RegisterBytes::bytesToIntegers(registers, byteData, qint16(byteData.size()));
    return registers;
}

QString registersToText(const QVector<qint16> &registers)
{
    if (2 * registers.size() > std::numeric_limits<qint16>::max())
        throw std::length_error("more registers than a reply can hold");
    QVector<quint8> bytes(2 * registers.size());
    RegisterBytes::integersToBytes(registers, bytes, qint16(registers.size()));
    bytes.append(0);

    QString text;
    qsizetype segmentStart = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != 0)
            continue;
        const QByteArrayView segment(reinterpret_cast<const char *>(bytes.constData()) + segmentStart,
                                     i - segmentStart);
        if (!segment.isEmpty())
            text += decodeSegment(segment);
        text += QChar(0);
        segmentStart = i + 1;
    }
    return text;
}

QString untilFirstNul(const QString &text)
{
    const qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? text : text.left(nul);
}

} // namespace alarmcfg
