#pragma once

#include <QtGlobal>

// The codes CommPortEventError delivers and CommError reads while it runs. A good read reply is
// accompanied by 1001 as well; a good write by 0.
enum class CommErrorCode : qint16 {
    None = 0,
    TimeOut = 1000,        // no reply of the expected length within RespondTimeOut
    WrongSlave = 1001,     // the reply comes from another slave address
    EchoedAddress = 1002,  // a write's echoed register address differs from the request
    Crc = 1003,            // the reply's CRC is wrong
    Parity = 1004,         // the port reported a parity error while the reply was awaited
    EchoedValue = 1005,    // a write's echoed value (function 6) or count (function 16) differs
};

// How one request call ended, for C++ callers that would rather ask than watch five signals.
struct RequestOutcome {
    enum class Kind {
        NotSent,   // the send failed (the send-error message was shown); no event
        Busy,      // refused while another request was running (the busy message was shown)
        Failed,    // sent; CommPortEventError was raised with `error`
        Answered,  // sent; the reply passed every check and its reply event was raised
        PortFailed, // sent; the port itself failed while the reply was awaited (no event; the call
                    // threw SerialPortError, and lastPortFailure() says why)
    };
    Kind kind = Kind::NotSent;
    CommErrorCode error = CommErrorCode::None;

    bool raisedEvent() const { return kind == Kind::Failed || kind == Kind::Answered; }
    friend bool operator==(const RequestOutcome &, const RequestOutcome &) = default;
};
