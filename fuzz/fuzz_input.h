#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cstddef>
#include <cstdio>
#include <cstdlib>

// Takes typed values off the front of a fuzz input; an exhausted input yields zeros, so every
// input, however short, is a complete case.
class FuzzInput {
public:
    FuzzInput(const quint8 *data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return pos_ >= size_; }
    std::size_t remaining() const { return size_ - pos_; }

    quint8 byte() { return empty() ? 0 : data_[pos_++]; }
    quint16 word() { return quint16(byte() << 8 | byte()); }
    qint16 signedWord() { return qint16(word()); }
    bool flag() { return (byte() & 1) != 0; }
    // A number in 0..bound-1; bound must be positive.
    int below(int bound) { return int(word() % unsigned(bound)); }

    QByteArray bytes(std::size_t count)
    {
        const std::size_t n = qMin(count, remaining());
        QByteArray taken(reinterpret_cast<const char *>(data_ + pos_), qsizetype(n));
        pos_ += n;
        return taken;
    }
    // Up to maxBytes bytes, as many as a leading length byte says.
    QByteArray sizedBytes(std::size_t maxBytes) { return bytes(qMin<std::size_t>(byte(), maxBytes)); }
    QByteArray rest() { return bytes(remaining()); }

    // Raw UTF-16 code units, lone surrogates and NULs included.
    QString utf16Text(std::size_t maxUnits)
    {
        const std::size_t units = qMin<std::size_t>(byte(), maxUnits);
        QString text;
        for (std::size_t i = 0; i < units && !empty(); ++i)
            text.append(QChar(word()));
        return text;
    }

private:
    const quint8 *data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// A broken invariant is a finding: report it and abort so the fuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__,          \
                         #condition);                                                          \
            std::abort();                                                                      \
        }                                                                                      \
    } while (false)
