#include "edition.h"
#include "plan_builders.h"

#include "model/phone_slot.h"

// The analog model: eight inputs and relays, two analog channels, ten phone slots.

namespace alarmcfg {

namespace {

using namespace plan;

constexpr int relays = 8;

PlanShape planShape()
{
    return {
        .relayCount = relays,
        .phoneSlots = joined({textSlots(Field::PhoneSlot, 0, 710, 3),
                              textSlots(Field::PhoneSlot, 3, 1100, 7)}),
        .actionTimesWritten = 8,
        .conversionBlocks = {{Field::FullScale, 0, 1022, 2},
                             {Field::RangeCodes, 0, 1026, 2},
                             {Field::Options, 0, 1030, 1}},
        .advances = {.relayTexts = 1.5,
                     .allCommands = 1.5,
                     .diAlarmTexts = 1.5,
                     .phoneSlots = 2,
                     .alarmTexts = 1.5,
                     .settings = 3,
                     .conversion = 0},
    };
}

Edition makeAnalogEdition()
{
    Edition e;
    e.programName = "alarmcfg";
    e.modelName = QStringLiteral("模拟量型号");
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
    const PlanShape shape = planShape();
    e.readBack = readBack(shape);
    e.onDemandRead = textReads(shape); // the texts, without status and conversion blocks
    e.readableBlocks = readableFrom(e.readBack, e.onDemandRead);
    e.writePlan = writePlan(shape);
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
