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
enum class Refusal { None, ComPortOption, Speed, DataBits, Parity, StopBits };

class Session {
public:
    explicit Session(const LineSettings &line);

    // The first bytes to send: offers the COM port option and binary data both ways. The line
    // settings and a purge of both server buffers follow once the server takes the option.
    QByteArray opening();

    struct Fed {
        QByteArray data;   // the line's bytes, unescaped
        QByteArray answer; // to send to the server, in order
    };
    // Bytes from the server in any split; commands and subnegotiations may span calls.
    Fed feed(QByteArrayView bytes);

    // The server has set all four line settings to the values asked for.
    bool lineConfirmed() const;
    Refusal refusal() const { return refusal_; }

    // Line data for the wire: every 0xFF doubled.
    static QByteArray escaped(QByteArrayView data);
    // Asks the server to drop what it has received from the line and not yet sent.
    static QByteArray purgeReceived();

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
    void subnegotiation();
    void confirm(int index, quint32 asked, quint32 got, Refusal refusal);
    void refuse(Refusal refusal);
    QByteArray lineSettingsRequest() const;

    LineSettings line_;
    std::array<OptionState, 256> options_{};
    State state_ = State::Data;
    quint8 verb_ = 0;
    QByteArray sub_;
    bool lineRequested_ = false;
    std::array<bool, 4> confirmed_{};
    Refusal refusal_ = Refusal::None;
};

} // namespace telnet_com_port
