#pragma once

#include "edition.h"

#include <initializer_list>
#include <vector>

// Building blocks shared by the two edition tables, so that each table states only what differs.
namespace alarmcfg::plan {

inline constexpr quint16 textReadRegisters = 10; // a text read fetches the first 20 bytes of its slot
inline constexpr quint16 textSlotStride = 20;    // one text slot every 20 registers
inline constexpr quint16 allOffFreeRegisters = 12; // 510..521, before the first digital-channel text

// `count` text slots of one field, 20 registers apart, read 10 registers each.
std::vector<RegisterBlock> textSlots(Field field, int firstIndex, quint16 firstAddress, int count);

// Open command, close command and opening reply of each relay, in address order 10, 30, 50, 70, ...
std::vector<RegisterBlock> relayTextSlots(int relayCount);

// Several block lists as one, in the given order.
std::vector<RegisterBlock> joined(std::initializer_list<std::vector<RegisterBlock>> lists);

// One function 3 read per block, in order.
std::vector<ReadStep> reads(const std::vector<RegisterBlock> &blocks);

// The step that refreshes txtDIAlarm from the buffer after the text reads.
ReadStep showDIAlarmText();

std::vector<ReadStep> joined(std::initializer_list<std::vector<ReadStep>> lists);

// Per relay: open command, close command, on-reply, off-reply; all four length-checked.
std::vector<WriteStep> relayTextWrites(int relayCount, double advance);

// The two all-commands, with password prefix and length check.
std::vector<WriteStep> allCommandWrites(double advance);

// Plain text slots (alarm texts, phone slots): no prefix, no length check.
std::vector<WriteStep> plainTextWrites(const std::vector<RegisterBlock> &textBlocks, double advance);

// One function 16 (or, for the options word, function 6) request of a numeric block.
WriteStep numericWrite(Field field, quint16 address, quint16 count, double advance);

std::vector<WriteStep> joined(std::initializer_list<std::vector<WriteStep>> lists);

// Progress bar advance after each kind of write step.
struct WriteAdvances {
    double relayTexts;
    double allCommands;
    double diAlarmTexts;
    double phoneSlots;
    double alarmTexts;
    double settings;   // action times, limits, calibration
    double conversion; // the edition's trailing numeric blocks
};

// What the two editions' read and write plans differ in; the order of the steps is shared.
struct PlanShape {
    int relayCount;
    std::vector<RegisterBlock> phoneSlots;
    quint16 actionTimesWritten; // the read always fetches eight
    std::vector<RegisterBlock> conversionBlocks; // read back and written after everything else
    WriteAdvances advances;
};

// Alarm texts, phone slots, the txtDIAlarm refresh, relay texts and the numeric settings, in the
// order they are read.
std::vector<ReadStep> textReads(const PlanShape &shape);

// The status block, the text reads, then the conversion blocks.
std::vector<ReadStep> readBack(const PlanShape &shape);

// Relay texts, all-commands, alarm texts, phone slots, settings, then the conversion blocks.
std::vector<WriteStep> writePlan(const PlanShape &shape);

// Every block the two read sequences fetch, once each, sorted by start address.
std::vector<RegisterBlock> readableFrom(const std::vector<ReadStep> &readBack,
                                        const std::vector<ReadStep> &onDemandRead);

} // namespace alarmcfg::plan
