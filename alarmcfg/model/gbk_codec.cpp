#include "gbk_codec.h"

#ifdef Q_OS_WIN
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <QStringDecoder>
#include <QStringEncoder>
#endif

namespace alarmcfg {

#ifdef Q_OS_WIN

namespace {

constexpr UINT gbkCodePage = 936;

// One BMP character; nothing when code page 936 has no exact byte sequence for it.
QByteArray encodeCharacter(wchar_t character)
{
    char bytes[4];
    BOOL usedDefault = FALSE;
    const int length = ::WideCharToMultiByte(gbkCodePage, WC_NO_BEST_FIT_CHARS, &character, 1, bytes,
                                             int(sizeof bytes), nullptr, &usedDefault);
    return length > 0 && !usedDefault ? QByteArray(bytes, length) : QByteArray();
}

// The character of a one- or two-byte sequence; nothing when the sequence is not one character.
QString decodeSequence(QByteArrayView bytes)
{
    wchar_t character[2];
    const int length = ::MultiByteToWideChar(gbkCodePage, MB_ERR_INVALID_CHARS, bytes.data(),
                                             int(bytes.size()), character, 2);
    return length == 1 ? QString::fromWCharArray(character, 1) : QString();
}

// Two bytes when they form one character, else one: a byte that starts no valid sequence is
// decoded on its own, so the byte after it is read afresh.
qsizetype sequenceLength(QByteArrayView bytes, qsizetype from)
{
    const bool pair = quint8(bytes[from]) >= 0x80 && from + 1 < bytes.size() &&
                      !decodeSequence(bytes.sliced(from, 2)).isEmpty();
    return pair ? 2 : 1;
}

} // namespace

GbkEncoded encodeGbk(const QString &text)
{
    GbkEncoded out{{}, true};
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const QByteArray bytes = c.isSurrogate() ? QByteArray() : encodeCharacter(wchar_t(c.unicode()));
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;   // a pair is one character, and GBK has none beyond the BMP
        out.bytes += bytes.isEmpty() ? QByteArray("?") : bytes;
        out.lossless = out.lossless && !bytes.isEmpty();
    }
    return out;
}

QString decodeGbk(QByteArrayView bytes)
{
    QString text;
    for (qsizetype i = 0; i < bytes.size();) {
        const qsizetype length = sequenceLength(bytes, i);
        const QString character = decodeSequence(bytes.sliced(i, length));
        text += character.isEmpty() ? QString(QChar::ReplacementCharacter) : character;
        i += length;
    }
    return text;
}

#else

GbkEncoded encodeGbk(const QString &text)
{
    QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    QByteArray bytes = encoder.encode(text);
    // A high surrogate at the very end would wait for its partner and vanish unflagged.
    const bool danglingSurrogate = !text.isEmpty() && text.back().isHighSurrogate();
    if (danglingSurrogate)
        bytes.append('?');
    return {bytes, !encoder.hasError() && !danglingSurrogate};
}

QString decodeGbk(QByteArrayView bytes)
{
    QStringDecoder decoder("GBK");
    return decoder.decode(bytes);
}

#endif

} // namespace alarmcfg
