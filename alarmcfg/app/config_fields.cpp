#include "app/config_fields.h"

#include "editing/di_alarm_texts.h"

#include <QStringList>

#include <stdexcept>

namespace alarmcfg {

namespace {

// What the two editions call their files, their two sensor channels and the all-relay commands.
struct EditionNames {
    QString programName;
    QString editionName;
    QStringList channels;    // file path of sensor channel 0 and 1
    QStringList allCommands; // the window's captions of txtAllCmd(0..1)
};

const std::vector<EditionNames> editionNames{
    {"alarmcfg", "analog", {"analogInputs[0]", "analogInputs[1]"}, {"全开指令", "全关指令"}},
    {"alarmcfg_th", "th", {"temperature", "humidity"}, {"全开命令", "全关命令"}},
};

const QString phonesName = QStringLiteral("手机号码");

QString arrayName(const QString &name, int index)
{
    return QStringLiteral("%1_%2").arg(name).arg(index);
}

QString element(const QString &name, int index)
{
    return QStringLiteral("%1[%2]").arg(name).arg(index);
}

// A caption without the colon the window puts after it.
QString bare(const QString &caption)
{
    return caption.endsWith(QStringLiteral("：")) ? caption.chopped(1) : caption;
}

QString named(const QString &owner, const QString &what)
{
    return owner + QLatin1Char(' ') + what;
}

void addRelayFields(std::vector<ConfigField> &fields, int relay)
{
    const QString at = element("relays", relay) + ".";
    const QString owner = QStringLiteral("继电器%1").arg(relay + 1);
    fields.push_back({at + "open", arrayName("txtOpen", relay), ValueKind::Text, Field::OpenCommand, relay,
        named(owner, "开启命令")});
    fields.push_back({at + "close", arrayName("txtClose", relay), ValueKind::Text, Field::CloseCommand, relay,
        named(owner, "关闭命令")});
    fields.push_back({at + "openReply", arrayName("txtAnswer", relay), ValueKind::Text, Field::OpenReply, relay,
        named(owner, "回复命令（开启）")});
    fields.push_back({at + "closeReply", arrayName("txtCAnswer", relay), ValueKind::Text, Field::CloseReply,
        relay, named(owner, "回复命令（关闭）")});
    fields.push_back({at + "actionTime", arrayName("txtTime", relay), ValueKind::Number, Field::ActionTimes, relay,
        named(owner, "动作时间")});
}

// Limits and alarm texts come in high/low pairs per channel: box 2c is the high, 2c+1 the low.
void addChannelFields(
    std::vector<ConfigField> &fields, const Edition &edition, const QString &channelPath, int channel)
{
    const QString at = channelPath + ".";
    const int high = 2 * channel;
    const int low = high + 1;
    const WindowTexts &texts = edition.window;
    const QString channelName = bare(texts.sensorLabels.value(channel));
    fields.push_back({at + "high", arrayName("txtAdc", high), ValueKind::Number, Field::Limits, high,
        texts.limitLabels.value(high)});
    fields.push_back({at + "low", arrayName("txtAdc", low), ValueKind::Number, Field::Limits, low,
        texts.limitLabels.value(low)});
    fields.push_back({at + "highText", arrayName("txtTHAlmMsg", high), ValueKind::Text, Field::AlarmText, high,
        named(texts.limitLabels.value(high), texts.alarmHeading)});
    fields.push_back({at + "lowText", arrayName("txtTHAlmMsg", low), ValueKind::Text, Field::AlarmText, low,
        named(texts.limitLabels.value(low), texts.alarmHeading)});
    fields.push_back({at + "calibration", arrayName("txtTHCalc", channel), ValueKind::Number, Field::Calibration,
        channel, named(channelName, bare(texts.sensorLabels.value(3)))});
    if (!edition.hasAnalogConversion)
        return;
    fields.push_back({at + "range", arrayName("cmbRangeSel", channel), ValueKind::Range, Field::RangeCodes,
        channel, named(channelName, "输入选择")});
    fields.push_back({at + "fullScale", arrayName("txtAIRange", channel), ValueKind::Number, Field::FullScale,
        channel, named(channelName, "满量程值")});
}

void addOptionFields(std::vector<ConfigField> &fields)
{
    fields.push_back({"options.hold", "chkHold", ValueKind::Option, Field::Options, 0, "掉电记忆"});
    fields.push_back({"options.phoneAlarm", "chkPhoneAlarm", ValueKind::Option, Field::Options, 1, "电话报警"});
    fields.push_back({"options.answer", "chkAnswer", ValueKind::Option, Field::Options, 2, "短信回复"});
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
    fields.push_back({"password", "txtMiMa", ValueKind::Text, std::nullopt, 0, "指令密码"});
    for (int relay = 0; relay < edition.relayCount; ++relay)
        addRelayFields(fields, relay);
    fields.push_back(
        {"allOn", arrayName("txtAllCmd", 0), ValueKind::Text, Field::AllCommand, 0, names.allCommands.value(0)});
    fields.push_back(
        {"allOff", arrayName("txtAllCmd", 1), ValueKind::Text, Field::AllCommand, 1, names.allCommands.value(1)});
    const QStringList inputs = diChannelItems();
    for (int k = 0; k < diChannelCount; ++k)
        fields.push_back({element("inputAlarmTexts", k), arrayName("DIAlarmText", k), ValueKind::DIAlarmSlot,
            Field::DIAlarmText, k, named(inputs.value(k), "报警短信")});
    fields.push_back({"phones", "lstPhone", ValueKind::PhoneList, Field::PhoneSlot, 0, phonesName});
    for (int channel = 0; channel < int(names.channels.size()); ++channel)
        addChannelFields(fields, edition, names.channels[channel], channel);
    if (edition.hasOptions)
        addOptionFields(fields);
    return layout;
}

QString windowNameOf(const ConfigLayout &layout, const QString &path)
{
    for (const ConfigField &field : layout.fields) {
        if (field.path == path)
            return field.windowName;
        const QString entry = field.path + QLatin1Char('[');
        if (field.kind == ValueKind::PhoneList && path.startsWith(entry) && path.endsWith(QLatin1Char(']')))
            return QStringLiteral("%1 第%2个").arg(field.windowName).arg(path.mid(entry.size()).chopped(1).toInt() + 1);
    }
    return path;
}

} // namespace alarmcfg
