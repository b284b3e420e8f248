#pragma once

// The controller's register map as the tests state it, written down on its own and never taken
// from the editions' plan tables: every read of the read-back and of the on-demand read and every
// request of the full write, in order, for both models. Link alarmcfg_model to use it.

#include "edition_named.h"
#include "editions/edition.h"

#include <QList>
#include <QString>

#include <initializer_list>
#include <vector>

namespace registermap {

using alarmcfg::Field;

// A run of registers: the first one and how many.
struct Span {
    int address;
    int count;
    bool operator==(const Span &) const = default;
};

// One step of a read sequence: a function 3 read of the block holding `field` number `index`, or
// `showDIText`, refreshing the digital-input text box from what was read.
struct Read {
    Field field;
    int index;
    Span span;
};

inline constexpr Read showDIText{Field::DIAlarmText, 0, {-1, 0}};

// One request of the full write: function 16 (6 for the option word) at `span.address`;
// `span.count` is the most it may change: 11 registers for commands and relay replies (20 bytes and
// the zero register that ends them), a text slot's 20, a number block's size.
struct Write {
    Field field;
    int index;
    Span span;
    int function;
    bool passwordPrefix;
    bool lengthCheck;
    double advance; // progress bar after the request
};

struct EditionMap {
    std::vector<Read> readBack; // after the probe
    std::vector<Read> onDemand;
    std::vector<Write> write;   // with every phone slot: "a" for the slots after the numbers
};

inline constexpr Span statusBlock{0, 7};

namespace detail {

template<typename Step>
std::vector<Step> joined(std::initializer_list<std::vector<Step>> parts)
{
    std::vector<Step> all;
    for (const auto &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// `n` slots 20 registers apart.
inline std::vector<int> slotsFrom(int first, int n)
{
    std::vector<int> addresses;
    for (int k = 0; k < n; ++k)
        addresses.push_back(first + 20 * k);
    return addresses;
}

// Text slots read 10 registers each; slot k holds `field` number k.
inline std::vector<Read> slotReads(Field field, const std::vector<int> &addresses)
{
    std::vector<Read> reads;
    for (int k = 0; k < int(addresses.size()); ++k)
        reads.push_back({field, k, {addresses[std::size_t(k)], 10}});
    return reads;
}

// Each relay's open command, close command and open reply, 20 registers apart in rows of 60.
inline std::vector<Read> relayTextReads(int relays)
{
    std::vector<Read> reads;
    for (int r = 0; r < relays; ++r) {
        reads.push_back({Field::OpenCommand, r, {10 + 60 * r, 10}});
        reads.push_back({Field::CloseCommand, r, {30 + 60 * r, 10}});
        reads.push_back({Field::OpenReply, r, {50 + 60 * r, 10}});
    }
    return reads;
}

inline std::vector<Read> closeReplyReads(int relays)
{
    return slotReads(Field::CloseReply, slotsFrom(850, relays));
}

inline std::vector<Read> numberReads()
{
    return {{Field::ActionTimes, 0, {690, 8}}, {Field::Limits, 0, {1010, 4}}, {Field::Calibration, 0, {1018, 2}}};
}

inline std::vector<Read> conversionReads()
{
    return {{Field::FullScale, 0, {1022, 2}}, {Field::RangeCodes, 0, {1026, 2}}, {Field::Options, 0, {1030, 1}}};
}

// Commands and replies of every relay: open, close, open reply, close reply.
inline std::vector<Write> relayWrites(int relays, double advance)
{
    std::vector<Write> writes;
    for (int r = 0; r < relays; ++r) {
        writes.push_back({Field::OpenCommand, r, {10 + 60 * r, 11}, 16, true, true, advance});
        writes.push_back({Field::CloseCommand, r, {30 + 60 * r, 11}, 16, true, true, advance});
        writes.push_back({Field::OpenReply, r, {50 + 60 * r, 11}, 16, false, true, advance});
        writes.push_back({Field::CloseReply, r, {850 + 20 * r, 11}, 16, false, true, advance});
    }
    return writes;
}

inline std::vector<Write> allCommandWrites(double advance)
{
    return {{Field::AllCommand, 0, {490, 11}, 16, true, true, advance},
            {Field::AllCommand, 1, {510, 11}, 16, true, true, advance}};
}

// Text slots of 20 registers; slot k holds `field` number k.
inline std::vector<Write> slotWrites(Field field, const std::vector<int> &addresses, double advance)
{
    std::vector<Write> writes;
    for (int k = 0; k < int(addresses.size()); ++k)
        writes.push_back({field, k, {addresses[std::size_t(k)], 20}, 16, false, false, advance});
    return writes;
}

inline std::vector<Write> numberWrites(int actionTimes, double advance)
{
    return {{Field::ActionTimes, 0, {690, actionTimes}, 16, false, false, advance},
            {Field::Limits, 0, {1010, 4}, 16, false, false, advance},
            {Field::Calibration, 0, {1018, 2}, 16, false, false, advance}};
}

inline std::vector<Write> conversionWrites()
{
    return {{Field::FullScale, 0, {1022, 2}, 16, false, false, 0},
            {Field::RangeCodes, 0, {1026, 2}, 16, false, false, 0},
            {Field::Options, 0, {1030, 1}, 6, false, false, 0}};
}

inline EditionMap analogMap()
{
    const std::vector<int> phones = joined<int>({slotsFrom(710, 3), slotsFrom(1100, 7)});
    const std::vector<Read> texts = joined<Read>(
        {slotReads(Field::DIAlarmText, slotsFrom(522, 4)), slotReads(Field::PhoneSlot, phones),
         slotReads(Field::AlarmText, slotsFrom(770, 4)), {showDIText}, relayTextReads(8), closeReplyReads(8),
         numberReads()});
    return {joined<Read>({{{Field::Status, 0, statusBlock}}, texts, conversionReads()}), texts,
            joined<Write>({relayWrites(8, 1.5), allCommandWrites(1.5),
                           slotWrites(Field::DIAlarmText, slotsFrom(522, 4), 1.5),
                           slotWrites(Field::PhoneSlot, phones, 2),
                           slotWrites(Field::AlarmText, slotsFrom(770, 4), 1.5), numberWrites(8, 3),
                           conversionWrites()})};
}

inline EditionMap thMap()
{
    const std::vector<int> phones = slotsFrom(260, 11);
    return {joined<Read>({{{Field::Status, 0, statusBlock}}, slotReads(Field::DIAlarmText, slotsFrom(522, 4)),
                          slotReads(Field::PhoneSlot, phones), slotReads(Field::AlarmText, slotsFrom(770, 4)),
                          {showDIText}, relayTextReads(4), closeReplyReads(4), numberReads()}),
            relayTextReads(4),
            joined<Write>({relayWrites(4, 0), allCommandWrites(0), slotWrites(Field::DIAlarmText, slotsFrom(522, 4), 0),
                           slotWrites(Field::PhoneSlot, phones, 0), slotWrites(Field::AlarmText, slotsFrom(770, 4), 0),
                           numberWrites(4, 0)})};
}

} // namespace detail

// The map of the edition a data row names, as `editionNamed` reads the name.
inline const EditionMap &of(const QString &edition)
{
    static const EditionMap analog = detail::analogMap();
    static const EditionMap th = detail::thMap();
    return isTh(edition) ? th : analog;
}

// The requests of a read sequence, without refreshing the text box.
inline QList<Span> requests(const std::vector<Read> &steps)
{
    QList<Span> spans;
    for (const Read &step : steps)
        if (step.span.address >= 0)
            spans << step.span;
    return spans;
}

} // namespace registermap
