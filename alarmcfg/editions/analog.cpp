#include "edition.h"
#include "plan_builders.h"

#include "model/phone_slot.h"

// The analog model: eight inputs and relays, two analog channels, ten phone slots.

namespace alarmcfg {

namespace {

using namespace plan;

constexpr int relays = 8;

std::vector<RegisterBlock> phoneSlots()
{
    return joined({textSlots(Field::PhoneSlot, 0, 710, 3), textSlots(Field::PhoneSlot, 3, 1100, 7)});
}

// The texts both read sequences fetch, in the order they are read.
std::vector<ReadStep> textReads()
{
    return joined({reads(textSlots(Field::DIAlarmText, 0, 522, 4)),
                   reads(phoneSlots()),
                   reads(textSlots(Field::AlarmText, 0, 770, 4)),
                   {showDIAlarmText()},
                   reads(relayTextSlots(relays)),
                   reads(textSlots(Field::CloseReply, 0, 850, relays)),
                   reads({{Field::ActionTimes, 0, 690, 8},
                          {Field::Limits, 0, 1010, 4},
                          {Field::Calibration, 0, 1018, 2}})});
}

std::vector<ReadStep> readBack()
{
    return joined({reads({statusBlock}),
                   textReads(),
                   reads({{Field::FullScale, 0, 1022, 2},
                          {Field::RangeCodes, 0, 1026, 2},
                          {Field::Options, 0, 1030, 1}})});
}

std::vector<WriteStep> writePlan()
{
    return joined({relayTextWrites(relays, 1.5),
                   allCommandWrites(1.5),
                   plainTextWrites(textSlots(Field::DIAlarmText, 0, 522, 4), 1.5),
                   plainTextWrites(phoneSlots(), 2),
                   plainTextWrites(textSlots(Field::AlarmText, 0, 770, 4), 1.5),
                   {numericWrite(Field::ActionTimes, 690, 8, 3),
                    numericWrite(Field::Limits, 1010, 4, 3),
                    numericWrite(Field::Calibration, 1018, 2, 3),
                    numericWrite(Field::FullScale, 1022, 2, 0),
                    numericWrite(Field::RangeCodes, 1026, 2, 0),
                    numericWrite(Field::Options, 1030, 1, 0)}});
}

Edition makeAnalogEdition()
{
    Edition e;
    e.programName = "alarmcfg";
    e.inputCount = 8;
    e.relayCount = relays;
    e.diAlarmStartupSlots = 8;
    e.sensorDisplay = SensorDisplay::Plain;
    e.refusesOldFirmware = true;
    e.hasAnalogConversion = true;
    e.hasOptions = true;
    e.hasProgressBar = true;
    e.requiresPhoneNumber = false;
    e.limitTextMaxChars = std::nullopt;
    e.emptyPhoneSlotText = emptyPhoneSlotMarker;
    e.rangeItems = {"0~5V", "4~20ma", "0~20ma", "0~10V"};
    e.startupFullScale = "5000";
    e.clientWidthTwips = 16110;
    e.clientHeightTwips = 8850;
    e.readBack = readBack();
    e.onDemandRead = textReads();
    e.readableBlocks = readableFrom(e.readBack, e.onDemandRead);
    e.writePlan = writePlan();
    e.window = {
        .sensorFrameCaption = "模拟量状态",
        .sensorLabels = {"模拟通道0", "模拟通道1", "实时值：", "校准值："},
        .alarmFrameCaption = "模拟量报警设置",
        .alarmHeading = "模拟量报警短信",
        .limitLabels = {"通道0上限", "通道0下限", "通道1上限", "通道1下限"},
        .limitInitial = {"99", "0", "99", "0"},
        .alarmTextInitial = {"模拟量超过上限值", "模拟量低于下限值", "模拟量超过上限值", "模拟量低于下限值"},
        .relayFrameNames = {"Frame5", "Frame7", "Frame9", "Frame10", "Frame11", "Frame12", "Frame13",
                            "Frame14"},
    };
    e.factory = {
        .diAlarmSlots = 8,
        .limits = {"5000", "0", "5000", "0"},
        .calibration = {"0", "0"},
        .alarmTexts = {"模拟量0超过上限值", "模拟量0低于下限值", "模拟量1超过上限值", "模拟量1低于下限值"},
        .fullScale = {"5000", "5000"},
        .rangeIndex = 0,
        .phone = "15800000000",
        .password = "739164",
    };
    return e;
}

} // namespace

const Edition &analogEdition()
{
    static const Edition edition = makeAnalogEdition();
    return edition;
}

} // namespace alarmcfg
