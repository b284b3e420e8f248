#pragma once

#include <QByteArray>

// Undoes the terminal's parity marking (PARMRK): 0xFF 0xFF is a received 0xFF, 0xFF 0x00 X is a
// byte X received with a parity or framing error. A sequence split across reads is completed by
// the next feed.
class ParityMarkDecoder {
public:
    struct Result {
        QByteArray bytes;
        bool errorMarked = false;
    };

    Result feed(const QByteArray &raw);
    void reset() { state_ = State::Plain; }

private:
    enum class State { Plain, AfterEscape, AfterMark };
    State state_ = State::Plain;
};
