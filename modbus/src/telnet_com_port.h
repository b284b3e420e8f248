#pragma once

#include "line_settings.h"

#include <QByteArray>
#include <QByteArrayView>

#include <array>

// Telnet with the COM port control option, as a device server in that mode speaks it: the line
// settings and purges travel in-band with the data. Pure bytes in, bytes out; the socket is the
// caller's.
namespace telnet_com_port {

// What the server would not do; the first refusal is kept.
enum class Refusal { None, ComPortOption, Speed, DataBits, Parity, StopBits, FlowControl };

class Session {
public:
    explicit Session(const LineSettings &line);

    // The first bytes to send: offers the COM port option and binary data both ways. The line
    // settings (no flow control, DTR and RTS raised, parity and framing errors notified) and a
    // purge of both server buffers follow once the server takes the option.
    QByteArray opening();

    struct Fed {
        QByteArray data;         // the line's bytes, unescaped; after a purge, only those after it
        QByteArray answer;       // to send to the server, in order
        bool purged = false;     // an awaited purge was acknowledged: earlier data is stale
        bool lineError = false;  // the server saw a parity or framing error on the line
    };
    // Bytes from the server in any split; commands and subnegotiations may span calls.
    Fed feed(QByteArrayView bytes);

    // The server has set the four line settings and "no flow control" to the values asked for.
    bool lineConfirmed() const;
    Refusal refusal() const { return refusal_; }

    // Line data for the wire: every 0xFF doubled.
    static QByteArray escaped(QByteArrayView data);
    // Asks the server to drop what it has received from the line and not yet sent; its
    // acknowledgement is awaited.
    QByteArray purgeReceived();
    // A purge sent has not been acknowledged yet.
    bool purgeAwaited() const { return purgesAwaited_ > 0; }
    // Gives up on unacknowledged purges: a late acknowledgement drops nothing.
    void forgetPurges() { purgesAwaited_ = 0; }

private:
    struct OptionState {
        bool ours = false;      // we do it
        bool offered = false;   // we sent WILL, no answer yet
        bool theirs = false;    // the server does it
        bool requested = false; // we sent DO, no answer yet
        bool declinedOurs = false;
        bool declinedTheirs = false;
    };
    enum class State { Data, Command, Option, Sub, SubCommand };

    void take(quint8 byte, Fed &fed);
    void keepSubByte(quint8 byte);
    void command(quint8 verb, quint8 option, QByteArray &answer);
    void onWill(quint8 option, QByteArray &answer);
    void onWont(quint8 option, QByteArray &answer);
    void onDo(quint8 option, QByteArray &answer);
    void onDont(quint8 option, QByteArray &answer);
    void subnegotiation(Fed &fed);
    void acknowledgePurge(Fed &fed);
    void confirm(int index, quint32 asked, quint32 got, Refusal refusal);
    void refuse(Refusal refusal);
    QByteArray lineSettingsRequest();

    LineSettings line_;
    std::array<OptionState, 256> options_{};
    State state_ = State::Data;
    quint8 verb_ = 0;
    QByteArray sub_;
    bool lineRequested_ = false;
    std::array<bool, 5> confirmed_{};
    int purgesAwaited_ = 0;
    Refusal refusal_ = Refusal::None;
};

} // namespace telnet_com_port
