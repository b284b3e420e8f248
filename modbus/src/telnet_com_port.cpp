#include "telnet_com_port.h"

#include <algorithm>
#include <functional>
#include <utility>

namespace telnet_com_port {

namespace {

constexpr quint8 iac = 255, dont = 254, doVerb = 253, wont = 252, will = 251, sb = 250, se = 240;
constexpr quint8 binaryOption = 0, suppressGoAhead = 3, comPortOption = 44;

// Client commands of the COM port option; the server answers each with the command plus 100.
constexpr quint8 setBaudRate = 1, setDataSize = 2, setParity = 3, setStopSize = 4, setControl = 5,
                 setLineStateMask = 10, purgeData = 12;
constexpr quint8 serverReply = 100;
// The server's own notice of the line's state.
constexpr quint8 notifyLineState = 106;
constexpr quint8 purgeReceiveBuffer = 1, purgeBothBuffers = 3;
// SET-CONTROL values: the outbound (or both ways) flow control, and the modem lines.
constexpr quint8 noFlowControl = 1, hardwareFlowControl = 3, dtrOn = 8, rtsOn = 11;
constexpr quint8 parityErrorBit = 0x04, framingErrorBit = 0x08;

// Anything longer than the longest reply we read is kept only in part.
constexpr qsizetype longestSubnegotiation = 16;

quint8 parityCode(char parity)
{
    switch (parity) {
    case 'o': return 2;
    case 'e': return 3;
    default: return 1;
    }
}

void appendEscaped(QByteArray &out, quint8 byte)
{
    out.append(char(byte));
    if (byte == iac)
        out.append(char(iac));
}

QByteArray comPortCommand(quint8 command, QByteArrayView value)
{
    QByteArray out;
    out.append(char(iac)).append(char(sb)).append(char(comPortOption)).append(char(command));
    for (const char byte : value)
        appendEscaped(out, quint8(byte));
    out.append(char(iac)).append(char(se));
    return out;
}

QByteArray verb(quint8 verb, quint8 option)
{
    const char bytes[] = {char(iac), char(verb), char(option)};
    return QByteArray(bytes, 3);
}

// The options both sides may use; everything else the server offers is declined.
bool acceptable(quint8 option)
{
    return option == binaryOption || option == suppressGoAhead;
}

quint32 bigEndian(QByteArrayView bytes)
{
    quint32 value = 0;
    for (const char byte : bytes)
        value = value << 8 | quint8(byte);
    return value;
}

} // namespace

Session::Session(const LineSettings &line) : line_(line) {}

QByteArray Session::opening()
{
    options_[comPortOption].offered = true;
    options_[binaryOption].offered = true;
    options_[binaryOption].requested = true;
    return verb(will, comPortOption) + verb(will, binaryOption) + verb(doVerb, binaryOption);
}

// The line as a local port sets it: no flow control, DTR and RTS raised (some RS-485 converters
// draw power from them), parity and framing errors reported.
QByteArray Session::lineSettingsRequest()
{
    const quint32 speed = quint32(line_.speed);
    const char speedBytes[] = {char(speed >> 24), char(speed >> 16), char(speed >> 8), char(speed)};
    const char dataBits = char(line_.dataBits);
    const char parity = char(parityCode(line_.parity));
    const char stopBits = char(line_.stopBits);
    const char noFlow = char(noFlowControl), dtr = char(dtrOn), rts = char(rtsOn);
    const char lineErrors = char(parityErrorBit | framingErrorBit);
    const char both = char(purgeBothBuffers);
    ++purgesAwaited_;
    return comPortCommand(setBaudRate, QByteArrayView(speedBytes, 4))
           + comPortCommand(setDataSize, QByteArrayView(&dataBits, 1))
           + comPortCommand(setParity, QByteArrayView(&parity, 1))
           + comPortCommand(setStopSize, QByteArrayView(&stopBits, 1))
           + comPortCommand(setControl, QByteArrayView(&noFlow, 1))
           + comPortCommand(setControl, QByteArrayView(&dtr, 1))
           + comPortCommand(setControl, QByteArrayView(&rts, 1))
           + comPortCommand(setLineStateMask, QByteArrayView(&lineErrors, 1))
           + comPortCommand(purgeData, QByteArrayView(&both, 1));
}

Session::Fed Session::feed(QByteArrayView bytes)
{
    Fed fed;
    for (const char byte : bytes)
        take(quint8(byte), fed);
    return fed;
}

void Session::take(quint8 byte, Fed &fed)
{
    switch (state_) {
    case State::Data:
        if (byte == iac)
            state_ = State::Command;
        else
            fed.data.append(char(byte));
        break;
    case State::Command:
        state_ = State::Data;
        if (byte == iac)
            fed.data.append(char(byte));
        else if (byte == sb) {
            sub_.clear();
            state_ = State::Sub;
        } else if (byte >= will) {
            verb_ = byte;
            state_ = State::Option;
        }
        // Other commands (NOP, go-ahead, break...) carry nothing for the line.
        break;
    case State::Option:
        command(verb_, byte, fed.answer);
        state_ = State::Data;
        break;
    case State::Sub:
        if (byte == iac)
            state_ = State::SubCommand;
        else
            keepSubByte(byte);
        break;
    case State::SubCommand:
        if (byte == iac) {
            keepSubByte(byte);
            state_ = State::Sub;
            break;
        }
        subnegotiation(fed);
        state_ = State::Data;
        // A server that forgot IAC SE: the subnegotiation ends and the byte is a command.
        if (byte != se) {
            state_ = State::Command;
            take(byte, fed);
        }
        break;
    }
}

void Session::keepSubByte(quint8 byte)
{
    if (sub_.size() < longestSubnegotiation)
        sub_.append(char(byte));
}

void Session::command(quint8 verbByte, quint8 option, QByteArray &answer)
{
    switch (verbByte) {
    case will: onWill(option, answer); break;
    case wont: onWont(option, answer); break;
    case doVerb: onDo(option, answer); break;
    default: onDont(option, answer); break;
    }
}

// Each option changes state at most once per request, so two sides never answer each other
// forever.
void Session::onWill(quint8 option, QByteArray &answer)
{
    OptionState &state = options_[option];
    if (state.theirs)
        return;
    if (!acceptable(option)) {
        if (!std::exchange(state.declinedTheirs, true))
            answer += verb(dont, option);
        return;
    }
    state.theirs = true;
    if (!std::exchange(state.requested, false))
        answer += verb(doVerb, option);
}

void Session::onWont(quint8 option, QByteArray &answer)
{
    OptionState &state = options_[option];
    state.requested = false;
    if (std::exchange(state.theirs, false))
        answer += verb(dont, option);
}

void Session::onDo(quint8 option, QByteArray &answer)
{
    OptionState &state = options_[option];
    if (state.ours)
        return;
    if (option != comPortOption && !acceptable(option)) {
        if (!std::exchange(state.declinedOurs, true))
            answer += verb(wont, option);
        return;
    }
    state.ours = true;
    if (!std::exchange(state.offered, false))
        answer += verb(will, option);
    // Once per session: a server toggling the option must not make us repeat the settings.
    if (option == comPortOption && !std::exchange(lineRequested_, true))
        answer += lineSettingsRequest();
}

void Session::onDont(quint8 option, QByteArray &answer)
{
    OptionState &state = options_[option];
    state.offered = false;
    if (std::exchange(state.ours, false))
        answer += verb(wont, option);
    if (option == comPortOption)
        refuse(Refusal::ComPortOption);
}

// Only the value's first bytes count: some servers send more after it (sredird four zero bytes
// after the speed).
void Session::subnegotiation(Fed &fed)
{
    if (sub_.size() < 3 || quint8(sub_[0]) != comPortOption)
        return;
    const QByteArrayView value = QByteArrayView(sub_).sliced(2);
    switch (quint8(sub_[1])) {
    case serverReply + setBaudRate:
        if (value.size() >= 4)
            confirm(0, quint32(line_.speed), bigEndian(value.first(4)), Refusal::Speed);
        break;
    case serverReply + setDataSize:
        confirm(1, quint32(line_.dataBits), quint8(value[0]), Refusal::DataBits);
        break;
    case serverReply + setParity:
        confirm(2, parityCode(line_.parity), quint8(value[0]), Refusal::Parity);
        break;
    case serverReply + setStopSize:
        confirm(3, quint32(line_.stopBits), quint8(value[0]), Refusal::StopBits);
        break;
    case serverReply + setControl:
        // Answers to DTR and RTS are not checked: a line without modem lines (a pseudo-terminal)
        // refuses them and carries data all the same. Some servers answer those with the flow
        // control in effect, which is as good as the answer to the flow control itself.
        if (quint8(value[0]) >= noFlowControl && quint8(value[0]) <= hardwareFlowControl)
            confirm(4, noFlowControl, quint8(value[0]), Refusal::FlowControl);
        break;
    case notifyLineState:
        fed.lineError = fed.lineError || (quint8(value[0]) & (parityErrorBit | framingErrorBit)) != 0;
        break;
    case serverReply + purgeData: acknowledgePurge(fed); break;
    default: break; // modem state notifications, the line-state mask's answer, anything unknown
    }
}

// What the server sent before it carried out the purge was read from the line before it.
void Session::acknowledgePurge(Fed &fed)
{
    if (purgesAwaited_ == 0)
        return;
    --purgesAwaited_;
    fed.data.clear();
    fed.purged = true;
}

void Session::confirm(int index, quint32 asked, quint32 got, Refusal refusal)
{
    if (asked == got)
        confirmed_[std::size_t(index)] = true;
    else
        refuse(refusal);
}

void Session::refuse(Refusal refusal)
{
    if (refusal_ == Refusal::None)
        refusal_ = refusal;
}

bool Session::lineConfirmed() const
{
    return refusal_ == Refusal::None && std::all_of(confirmed_.begin(), confirmed_.end(), std::identity());
}

QByteArray Session::escaped(QByteArrayView data)
{
    QByteArray out;
    out.reserve(data.size());
    for (const char byte : data)
        appendEscaped(out, quint8(byte));
    return out;
}

QByteArray Session::purgeReceived()
{
    ++purgesAwaited_;
    const char receive = char(purgeReceiveBuffer);
    return comPortCommand(purgeData, QByteArrayView(&receive, 1));
}

} // namespace telnet_com_port
