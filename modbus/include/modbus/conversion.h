#pragma once

#include <QVector>
#include <QtGlobal>

// Register values and bytes, high byte first, two's complement: the rules of the component's
// ConvertIntegerTobytes / ConvertBytesToIntegers, usable without a component instance.
// Both write in place and never resize; a too-short array throws std::out_of_range after the
// elements before it were written, a byte index above 32767 (or length -32768 when converting
// registers to bytes) throws std::overflow_error.
namespace RegisterBytes {

void integersToBytes(const QVector<qint16> &int_data, QVector<quint8> &byte_data, qint16 length);

// Converts valueCount(length) values.
void bytesToIntegers(QVector<qint16> &int_data, const QVector<quint8> &byte_data, qint16 length);

// Values converted from `length` bytes: length/2 for even lengths; odd lengths round
// length/2 - 1 half to even (1 -> 1, 3 -> 1, 5 -> 3, 7 -> 3); none for 0 or less.
int valueCount(qint16 length);

} // namespace RegisterBytes
