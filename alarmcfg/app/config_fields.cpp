#include "app/config_fields.h"

#include "editing/di_alarm_texts.h"

#include <QStringList>

#include <stdexcept>

namespace alarmcfg {

namespace {

// What the two editions call their files and their two sensor channels.
struct EditionNames {
    QString programName;
    QString editionName;
    QStringList channels; // file path of sensor channel 0 and 1
};

const std::vector<EditionNames> editionNames{
    {"alarmcfg", "analog", {"analogInputs[0]", "analogInputs[1]"}},
    {"alarmcfg_th", "th", {"temperature", "humidity"}},
};

QString arrayName(const QString &name, int index)
{
    return QStringLiteral("%1_%2").arg(name).arg(index);
}

QString element(const QString &name, int index)
{
    return QStringLiteral("%1[%2]").arg(name).arg(index);
}

void addRelayFields(std::vector<ConfigField> &fields, int relay)
{
    const QString at = element("relays", relay) + ".";
    fields.push_back({at + "open", arrayName("txtOpen", relay), ValueKind::Text, Field::OpenCommand, relay});
    fields.push_back({at + "close", arrayName("txtClose", relay), ValueKind::Text, Field::CloseCommand, relay});
    fields.push_back({at + "openReply", arrayName("txtAnswer", relay), ValueKind::Text, Field::OpenReply, relay});
    fields.push_back(
        {at + "closeReply", arrayName("txtCAnswer", relay), ValueKind::Text, Field::CloseReply, relay});
    fields.push_back(
        {at + "actionTime", arrayName("txtTime", relay), ValueKind::Number, Field::ActionTimes, relay});
}

// Limits and alarm texts come in high/low pairs per channel: box 2c is the high, 2c+1 the low.
void addChannelFields(
    std::vector<ConfigField> &fields, const Edition &edition, const QString &channelPath, int channel)
{
    const QString at = channelPath + ".";
    const int high = 2 * channel;
    const int low = high + 1;
    fields.push_back({at + "high", arrayName("txtAdc", high), ValueKind::Number, Field::Limits, high});
    fields.push_back({at + "low", arrayName("txtAdc", low), ValueKind::Number, Field::Limits, low});
    fields.push_back({at + "highText", arrayName("txtTHAlmMsg", high), ValueKind::Text, Field::AlarmText, high});
    fields.push_back({at + "lowText", arrayName("txtTHAlmMsg", low), ValueKind::Text, Field::AlarmText, low});
    fields.push_back(
        {at + "calibration", arrayName("txtTHCalc", channel), ValueKind::Number, Field::Calibration, channel});
    if (!edition.hasAnalogConversion)
        return;
    fields.push_back(
        {at + "range", arrayName("cmbRangeSel", channel), ValueKind::Range, Field::RangeCodes, channel});
    fields.push_back(
        {at + "fullScale", arrayName("txtAIRange", channel), ValueKind::Number, Field::FullScale, channel});
}

void addOptionFields(std::vector<ConfigField> &fields)
{
    fields.push_back({"options.hold", "chkHold", ValueKind::Option, Field::Options, 0});
    fields.push_back({"options.phoneAlarm", "chkPhoneAlarm", ValueKind::Option, Field::Options, 1});
    fields.push_back({"options.answer", "chkAnswer", ValueKind::Option, Field::Options, 2});
}

const EditionNames &namesOf(const Edition &edition)
{
    for (const EditionNames &names : editionNames)
        if (names.programName == edition.programName)
            return names;
    throw std::invalid_argument("no configuration file layout for " + edition.programName.toStdString());
}

} // namespace

QString programOpening(const QString &editionName)
{
    for (const EditionNames &names : editionNames)
        if (names.editionName == editionName)
            return names.programName;
    return {};
}

ConfigLayout configLayout(const Edition &edition)
{
    const EditionNames &names = namesOf(edition);
    ConfigLayout layout{names.editionName, {}};
    auto &fields = layout.fields;
    fields.push_back({"password", "txtMiMa", ValueKind::Text, std::nullopt, 0});
    for (int relay = 0; relay < edition.relayCount; ++relay)
        addRelayFields(fields, relay);
    fields.push_back({"allOn", arrayName("txtAllCmd", 0), ValueKind::Text, Field::AllCommand, 0});
    fields.push_back({"allOff", arrayName("txtAllCmd", 1), ValueKind::Text, Field::AllCommand, 1});
    for (int k = 0; k < diChannelCount; ++k)
        fields.push_back({element("inputAlarmTexts", k), arrayName("DIAlarmText", k), ValueKind::DIAlarmSlot,
            Field::DIAlarmText, k});
    fields.push_back({"phones", "lstPhone", ValueKind::PhoneList, Field::PhoneSlot, 0});
    for (int channel = 0; channel < int(names.channels.size()); ++channel)
        addChannelFields(fields, edition, names.channels[channel], channel);
    if (edition.hasOptions)
        addOptionFields(fields);
    return layout;
}

} // namespace alarmcfg
