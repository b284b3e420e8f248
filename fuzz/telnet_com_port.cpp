// The Telnet layer of the device-server port on its own: arbitrary server bytes (notifications,
// unknown subnegotiations, answers with extra bytes, purge acknowledgements), split at arbitrary
// points, held against the same bytes fed at once, and data escaped for the wire held against
// what the layer gives back.

#include "fuzz_input.h"

#include "telnet_com_port.h"

namespace {

using telnet_com_port::Refusal;
using telnet_com_port::Session;

constexpr char parities[] = {'n', 'o', 'e'};
// A server's command gets at most one command of the same length back; the line settings, at
// most 70 bytes with every byte of the speed escaped, are asked for once.
constexpr qsizetype longestLineRequest = 70;

LineSettings lineFrom(FuzzInput &in)
{
    return {int(in.word()) + 1, parities[in.below(3)], 5 + in.below(4), 1 + in.below(2)};
}

// Every answer is whole commands: IAC verb option, or a subnegotiation closed by IAC SE.
void checkAnswer(const QByteArray &answer, qsizetype serverBytes)
{
    FUZZ_CHECK(answer.size() <= serverBytes + longestLineRequest);
    qsizetype i = 0;
    while (i < answer.size()) {
        FUZZ_CHECK(quint8(answer[i]) == 255 && i + 2 < answer.size());
        const quint8 verb = quint8(answer[i + 1]);
        if (verb != 250) {
            FUZZ_CHECK(verb >= 251);
            i += 3;
            continue;
        }
        i += 2;
        while (!(quint8(answer[i]) == 255 && quint8(answer[i + 1]) == 240)) {
            i += quint8(answer[i]) == 255 ? 2 : 1;
            FUZZ_CHECK(i + 1 < answer.size());
        }
        i += 2;
    }
}

// The line's bytes as the port keeps them: an acknowledged purge drops what came before it.
void keep(QByteArray &kept, const Session::Fed &fed)
{
    if (fed.purged)
        kept.clear();
    kept += fed.data;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const quint8 *data, std::size_t size)
{
    FuzzInput in(data, size);
    const LineSettings line = lineFrom(in);
    Session split(line);
    Session whole(line);
    split.opening();
    whole.opening();
    // Purges of stale bytes, each awaiting its acknowledgement.
    for (int purges = in.below(3); purges > 0; --purges)
        FUZZ_CHECK(split.purgeReceived() == whole.purgeReceived());

    QByteArray all, splitData, splitAnswer;
    bool splitLineError = false;
    while (!in.empty()) {
        const QByteArray chunk = in.sizedBytes(64);
        const Session::Fed fed = split.feed(chunk);
        all += chunk;
        keep(splitData, fed);
        splitAnswer += fed.answer;
        splitLineError = splitLineError || fed.lineError;
        FUZZ_CHECK(!split.lineConfirmed() || split.refusal() == Refusal::None);
    }
    const Session::Fed once = whole.feed(all);
    QByteArray wholeData;
    keep(wholeData, once);
    FUZZ_CHECK(wholeData == splitData && once.answer == splitAnswer && once.lineError == splitLineError);
    FUZZ_CHECK(whole.purgeAwaited() == split.purgeAwaited());
    FUZZ_CHECK(once.data.size() <= all.size());
    FUZZ_CHECK(whole.lineConfirmed() == split.lineConfirmed() && whole.refusal() == split.refusal());
    checkAnswer(once.answer, all.size());

    // Data escaped for the wire comes back unchanged and carries no command.
    Session echo(line);
    const Session::Fed back = echo.feed(Session::escaped(all));
    FUZZ_CHECK(back.data == all && back.answer.isEmpty());
    return 0;
}
