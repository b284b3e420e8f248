#include "parity_mark_decoder.h"

namespace {
constexpr char escape = '\xFF';
constexpr char markFollows = '\x00';
} // namespace

ParityMarkDecoder::Result ParityMarkDecoder::feed(const QByteArray &raw)
{
    Result result;
    result.bytes.reserve(raw.size());
    for (const char byte : raw) {
        switch (state_) {
        case State::Plain:
            if (byte == escape)
                state_ = State::AfterEscape;
            else
                result.bytes.append(byte);
            break;
        case State::AfterEscape:
            if (byte == markFollows) {
                state_ = State::AfterMark;
                break;
            }
            // 0xFF 0xFF is a data 0xFF; anything else cannot follow an escape and is kept as is.
            result.bytes.append(escape);
            if (byte != escape)
                result.bytes.append(byte);
            state_ = State::Plain;
            break;
        case State::AfterMark:
            // The damaged byte keeps its place so the reply length stays what the line carried.
            result.bytes.append(byte);
            result.errorMarked = true;
            state_ = State::Plain;
            break;
        }
    }
    return result;
}
