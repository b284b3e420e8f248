#include "plan_builders.h"

#include <algorithm>

namespace alarmcfg::plan {

namespace {

template <typename T>
std::vector<T> concatenated(std::initializer_list<std::vector<T>> lists)
{
    std::vector<T> all;
    for (const auto &list : lists)
        all.insert(all.end(), list.begin(), list.end());
    return all;
}

// A write of a text slot: `count` is the most registers the text may occupy.
WriteStep textWrite(Field field, int index, quint16 address, quint16 slotRegisters,
                    bool passwordPrefix, bool lengthCheck, double advance)
{
    return {{field, index, address, slotRegisters}, passwordPrefix, lengthCheck, advance};
}

} // namespace

std::vector<RegisterBlock> textSlots(Field field, int firstIndex, quint16 firstAddress, int count)
{
    std::vector<RegisterBlock> blocks;
    for (int k = 0; k < count; ++k)
        blocks.push_back({field, firstIndex + k, quint16(firstAddress + textSlotStride * k),
                         textReadRegisters});
    return blocks;
}

std::vector<RegisterBlock> relayTextSlots(int relayCount)
{
    static constexpr Field perRelay[] = {Field::OpenCommand, Field::CloseCommand, Field::OpenReply};
    std::vector<RegisterBlock> blocks;
    for (int i = 0; i < 3 * relayCount; ++i)
        blocks.push_back({perRelay[i % 3], i / 3, quint16(10 + textSlotStride * i), textReadRegisters});
    return blocks;
}

std::vector<RegisterBlock> joined(std::initializer_list<std::vector<RegisterBlock>> lists)
{
    return concatenated(lists);
}

std::vector<ReadStep> reads(const std::vector<RegisterBlock> &blocks)
{
    std::vector<ReadStep> steps;
    for (const auto &block : blocks)
        steps.push_back({ReadStep::Kind::Read, block});
    return steps;
}

ReadStep showDIAlarmText()
{
    return {ReadStep::Kind::ShowDIAlarmText, {Field::DIAlarmText, 0, 0, 0}};
}

std::vector<ReadStep> joined(std::initializer_list<std::vector<ReadStep>> lists)
{
    return concatenated(lists);
}

std::vector<WriteStep> relayTextWrites(int relayCount, double advance)
{
    std::vector<WriteStep> steps;
    for (int r = 0; r < relayCount; ++r) {
        steps.push_back(textWrite(Field::OpenCommand, r, quint16(10 + 60 * r), textSlotStride, true, true, advance));
        steps.push_back(textWrite(Field::CloseCommand, r, quint16(30 + 60 * r), textSlotStride, true, true, advance));
        steps.push_back(textWrite(Field::OpenReply, r, quint16(50 + 60 * r), textSlotStride, false, true, advance));
        steps.push_back(textWrite(Field::CloseReply, r, quint16(850 + 20 * r), textSlotStride, false, true, advance));
    }
    return steps;
}

std::vector<WriteStep> allCommandWrites(double advance)
{
    return {textWrite(Field::AllCommand, 0, 490, textSlotStride, true, true, advance),
            textWrite(Field::AllCommand, 1, 510, allOffFreeRegisters, true, true, advance)};
}

std::vector<WriteStep> plainTextWrites(const std::vector<RegisterBlock> &textBlocks, double advance)
{
    std::vector<WriteStep> steps;
    for (const auto &slot : textBlocks)
        steps.push_back(textWrite(slot.field, slot.index, slot.address, textSlotStride, false, false, advance));
    return steps;
}

WriteStep numericWrite(Field field, quint16 address, quint16 count, double advance)
{
    return {{field, 0, address, count}, false, false, advance};
}

std::vector<WriteStep> joined(std::initializer_list<std::vector<WriteStep>> lists)
{
    return concatenated(lists);
}

namespace {

constexpr quint16 diAlarmTextsAddress = 522;
constexpr quint16 alarmTextsAddress = 770;
constexpr quint16 closeRepliesAddress = 850;
constexpr int diAlarmTextSlots = 4;
constexpr int alarmTextSlots = 4;

const RegisterBlock actionTimes{Field::ActionTimes, 0, 690, 8};
const RegisterBlock limits{Field::Limits, 0, 1010, 4};
const RegisterBlock calibration{Field::Calibration, 0, 1018, 2};

std::vector<RegisterBlock> diAlarmTexts()
{
    return textSlots(Field::DIAlarmText, 0, diAlarmTextsAddress, diAlarmTextSlots);
}

std::vector<RegisterBlock> alarmTexts()
{
    return textSlots(Field::AlarmText, 0, alarmTextsAddress, alarmTextSlots);
}

WriteStep blockWrite(const RegisterBlock &block, quint16 count, double advance)
{
    return numericWrite(block.field, block.address, count, advance);
}

std::vector<WriteStep> numericWrites(const std::vector<RegisterBlock> &blocks, double advance)
{
    std::vector<WriteStep> steps;
    for (const RegisterBlock &block : blocks)
        steps.push_back(blockWrite(block, block.count, advance));
    return steps;
}

} // namespace

std::vector<ReadStep> textReads(const PlanShape &shape)
{
    return joined({reads(diAlarmTexts()),
                   reads(shape.phoneSlots),
                   reads(alarmTexts()),
                   {showDIAlarmText()},
                   reads(relayTextSlots(shape.relayCount)),
                   reads(textSlots(Field::CloseReply, 0, closeRepliesAddress, shape.relayCount)),
                   reads({actionTimes, limits, calibration})});
}

std::vector<ReadStep> readBack(const PlanShape &shape)
{
    return joined({reads({statusBlock}), textReads(shape), reads(shape.conversionBlocks)});
}

std::vector<WriteStep> writePlan(const PlanShape &shape)
{
    const WriteAdvances &advance = shape.advances;
    return joined({relayTextWrites(shape.relayCount, advance.relayTexts),
                   allCommandWrites(advance.allCommands),
                   plainTextWrites(diAlarmTexts(), advance.diAlarmTexts),
                   plainTextWrites(shape.phoneSlots, advance.phoneSlots),
                   plainTextWrites(alarmTexts(), advance.alarmTexts),
                   {blockWrite(actionTimes, shape.actionTimesWritten, advance.settings),
                    blockWrite(limits, limits.count, advance.settings),
                    blockWrite(calibration, calibration.count, advance.settings)},
                   numericWrites(shape.conversionBlocks, advance.conversion)});
}

std::vector<RegisterBlock> readableFrom(const std::vector<ReadStep> &readBack,
                                        const std::vector<ReadStep> &onDemandRead)
{
    std::vector<RegisterBlock> blocks;
    for (const auto *steps : {&readBack, &onDemandRead})
        for (const auto &step : *steps)
            if (step.kind == ReadStep::Kind::Read)
                blocks.push_back(step.block);
    std::ranges::sort(blocks, {}, &RegisterBlock::address);
    // std::unique rather than std::ranges::unique: clang 14 (the fuzz builds) cannot compile the
    // latter's subrange against libstdc++ 12.
    const auto sameAddress = [](const RegisterBlock &a, const RegisterBlock &b) {
        return a.address == b.address;
    };
    blocks.erase(std::unique(blocks.begin(), blocks.end(), sameAddress), blocks.end());
    return blocks;
}

} // namespace alarmcfg::plan
