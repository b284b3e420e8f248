#include "modbus/modbus.h"

#include <stdexcept>

namespace {

// The two byte tables of the reflected CRC-16 (polynomial 0xA001): the first holds the low byte
// of each table entry, the second its high byte.
struct CrcTables {
    std::array<quint8, 256> first{};
    std::array<quint8, 256> second{};

    constexpr CrcTables()
    {
        for (int i = 0; i < 256; ++i) {
            quint16 entry = quint16(i);
            for (int bit = 0; bit < 8; ++bit)
                entry = (entry & 1) ? quint16((entry >> 1) ^ 0xA001) : quint16(entry >> 1);
            first[i] = quint8(entry & 0xFF);
            second[i] = quint8(entry >> 8);
        }
    }
};

constexpr CrcTables tables;

static_assert(tables.first[1] == 0xC1 && tables.first[7] == 0x41);
static_assert(tables.second[1] == 0xC0 && tables.second[7] == 0xC2);

template <typename ByteAt>
std::array<quint8, 2> crcOf(int n, ByteAt byteAt)
{
    quint8 hi = 0xFF;
    quint8 lo = 0xFF;
    for (int i = 0; i < n; ++i) {
        const quint8 idx = lo ^ byteAt(i);
        lo = hi ^ tables.first[idx];
        hi = tables.second[idx];
    }
    return {hi, lo};
}

void requireBytes(int n, qsizetype available)
{
    if (n > available)
        throw std::out_of_range("CRC count exceeds the data");
}

} // namespace

namespace CrcCheck {

std::array<quint8, 2> GetCrc16(const quint8 *data, int n)
{
    return crcOf(n, [data](int i) { return data[i]; });
}

std::array<quint8, 2> GetCrc16(const QByteArray &data, int n)
{
    requireBytes(n, data.size());
    return crcOf(n, [&data](int i) { return quint8(data[i]); });
}

} // namespace CrcCheck
