#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// GBK (code page 936) both ways, the one place that knows how the system converts it: Qt's
// converter where Qt has ICU (Linux); Windows' own code page 936 where Qt has no GBK converter.
namespace alarmcfg {

struct GbkEncoded {
    QByteArray bytes;
    bool lossless;   // false when any character became "?"
};

// A character GBK lacks, and a lone surrogate, becomes one "?" byte.
GbkEncoded encodeGbk(const QString &text);

// Invalid bytes become replacement characters; ASCII bytes, zero included, stay themselves.
QString decodeGbk(QByteArrayView bytes);

} // namespace alarmcfg
