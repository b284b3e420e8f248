#include "edition.h"
#include "plan_builders.h"

#include "model/phone_slot.h"

// The temperature/humidity model: four inputs and relays, eleven phone slots from 260, no
// analog conversion, no option bits and no progress bar.

namespace alarmcfg {

namespace {

using namespace plan;

constexpr int relays = 4;

// No progress bar, so no advances; no conversion blocks.
PlanShape planShape()
{
    return {
        .relayCount = relays,
        .phoneSlots = textSlots(Field::PhoneSlot, 0, 260, 11),
        .actionTimesWritten = relays,
        .conversionBlocks = {},
        .advances = {},
    };
}

Edition makeTemperatureHumidityEdition()
{
    Edition e;
    e.programName = "alarmcfg_th";
    e.modelName = QStringLiteral("温湿度型号");
    e.inputCount = 4;
    e.relayCount = relays;
    e.diAlarmStartupSlots = 4;
    e.sensorDisplay = SensorDisplay::TemperatureHumidity;
    e.refusesOldFirmware = false;
    e.hasAnalogConversion = false;
    e.hasOptions = false;
    e.hasProgressBar = false;
    e.requiresPhoneNumber = true;
    e.limitTextMaxChars = 2;
    e.emptyPhoneSlotText = emptyPhoneSlotMarker; // a deleted number leaves the controller
    e.clientWidthTwips = 11715;
    e.clientHeightTwips = 8715;
    const PlanShape shape = planShape();
    e.readBack = readBack(shape);
    e.onDemandRead = reads(relayTextSlots(relays));
    e.readableBlocks = readableFrom(e.readBack, e.onDemandRead);
    e.writePlan = writePlan(shape);
    e.window = {
        .sensorFrameCaption = "温湿度状态",
        .sensorLabels = {"温度值", "湿度值", "实时值：", "校准值："},
        .alarmFrameCaption = "温湿度报警设置",
        .alarmHeading = "温湿度报警短信",
        .limitLabels = {"温度上限", "温度下限", "湿度上限", "湿度下限"},
        .limitInitial = {"99", "0", "99", "0"},
        .alarmTextInitial = {"温度超过上限值", "温度低于下限值", "湿度超过上限值", "湿度低于下限值"},
        .relayFrameNames = {"Frame5", "Frame7", "Frame9_0", "Frame9_1"},
    };
    // The controller's factory text for the second alarm differs from the window's initial text.
    e.factory = {
        .diAlarmSlots = 4,
        .limits = {"99", "0", "99", "0"},
        .calibration = {"0", "0"},
        .alarmTexts = {"温度超过上限值", "温度对于下限值", "湿度超过上限值", "湿度低于下限值"},
        .fullScale = {},
        .rangeIndex = std::nullopt,
        .phone = "15800000000",
        .password = "739164",
    };
    return e;
}

} // namespace

const Edition &temperatureHumidityEdition()
{
    static const Edition edition = makeTemperatureHumidityEdition();
    return edition;
}

} // namespace alarmcfg
