#pragma once

#include "model/gbk_codec.h"

#include <QByteArray>
#include <QString>
#include <QStringEncoder>
#include <QVector>

// Texts packed into registers here, independently of the program's own encoder wherever Qt
// converts GBK, so that a test compares the program against a second implementation.

inline QByteArray gbkBytes(const QString &text)
{
    QStringEncoder gbk("GBK");
    if (gbk.isValid())
        return gbk.encode(text);
    // Qt for Windows here has no ICU, so no GBK converter: there only the program's own, on
    // Windows' code page 936, and the tests check how its bytes are laid out.
    return alarmcfg::encodeGbk(text).bytes;
}

// Two bytes per register, high half first, an odd count padded with a zero byte.
inline QVector<qint16> packed(QByteArray bytes)
{
    if (bytes.size() % 2 != 0)
        bytes.append('\0');
    QVector<qint16> registers;
    for (qsizetype i = 0; i < bytes.size(); i += 2)
        registers << qint16(quint16(quint8(bytes[i]) << 8 | quint8(bytes[i + 1])));
    return registers;
}

inline QVector<qint16> packedText(const QString &text)
{
    return packed(gbkBytes(text));
}

// What a write stores in a slot of `slotBytes`: the text and, when it is shorter than the slot,
// the zero byte that ends it.
inline QVector<qint16> writtenText(const QString &text, int slotBytes = 40)
{
    QByteArray bytes = gbkBytes(text);
    if (bytes.size() < slotBytes)
        bytes.append('\0');
    return packed(bytes);
}
