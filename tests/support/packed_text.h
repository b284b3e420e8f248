#pragma once

#include <QByteArray>
#include <QString>
#include <QStringEncoder>
#include <QVector>

// Texts packed into registers here, independently of the program's own encoder, so that a test
// compares the program against a second implementation.

inline QByteArray gbkBytes(const QString &text)
{
    QStringEncoder gbk("GBK");
    return gbk.encode(text);
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
