#include "modbus/conversion.h"

#include "rounding.h"

#include <limits>
#include <stdexcept>

namespace {

constexpr int largestByteIndex = std::numeric_limits<qint16>::max();

// Byte indexes are 16-bit quantities in this interface; anything larger is an overflow.
int byteIndex(int valueIndex, int half)
{
    const int index = 2 * valueIndex + half;
    if (index > largestByteIndex)
        throw std::overflow_error("byte index above 32767");
    return index;
}

template <typename T>
void checkIndex(const QVector<T> &array, int index)
{
    if (index < 0 || index >= array.size())
        throw std::out_of_range("array index out of range");
}

template <typename T>
T elementAt(const QVector<T> &array, int index)
{
    checkIndex(array, index);
    return array[index];
}

template <typename T>
void store(QVector<T> &array, int index, T value)
{
    checkIndex(array, index);
    array[index] = value;
}

} // namespace

namespace RegisterBytes {

void integersToBytes(const QVector<qint16> &int_data, QVector<quint8> &byte_data, qint16 length)
{
    if (length == std::numeric_limits<qint16>::min())
        throw std::overflow_error("length -32768 cannot be counted down");
    for (int i = 0; i < length; ++i) {
        const quint16 v = quint16(elementAt(int_data, i));
        store(byte_data, byteIndex(i, 0), quint8(v >> 8));
        store(byte_data, byteIndex(i, 1), quint8(v & 0xFF));
    }
}

void bytesToIntegers(QVector<qint16> &int_data, const QVector<quint8> &byte_data, qint16 length)
{
    const int count = valueCount(length);
    for (int i = 0; i < count; ++i) {
        const quint8 high = elementAt(byte_data, byteIndex(i, 0));
        const quint8 low = elementAt(byte_data, byteIndex(i, 1));
        store(int_data, i, qint16(quint16(high << 8 | low)));
    }
}

int valueCount(qint16 length)
{
    if (length <= 0)
        return 0;
    return int(modbus_detail::roundHalfEven(length / 2.0 - 1.0)) + 1;
}

} // namespace RegisterBytes
