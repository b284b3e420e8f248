#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <array>
#include <stdexcept>

// The one frame buffer every request is built in. Its fixed size is the limit of a frame,
// CRC included; writing past it is an error, never a silent overrun.
class FrameBuffer {
public:
    static constexpr int capacity = 101;

    void put(int index, quint8 byte)
    {
        if (index < 0 || index >= capacity)
            throw std::out_of_range("frame buffer index out of range");
        bytes_[std::size_t(index)] = byte;
    }
    // Puts a 16-bit field high byte first.
    void putWord(int index, quint16 value)
    {
        put(index, quint8(value >> 8));
        put(index + 1, quint8(value & 0xFF));
    }
    const quint8 *data() const { return bytes_.data(); }
    QByteArray frame(int length) const
    {
        return QByteArray(reinterpret_cast<const char *>(bytes_.data()), length);
    }

private:
    std::array<quint8, capacity> bytes_{};
};
