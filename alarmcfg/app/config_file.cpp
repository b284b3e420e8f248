#include "app/config_file.h"

#include "app/config_fields.h"
#include "app/json_path.h"
#include "connection/config_view.h"
#include "editions/config_decoding.h"
#include "editions/config_write_plan.h"
#include "model/register_text.h"
#include "window/form_main.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace alarmcfg {

namespace {

const QString formatKey = QStringLiteral("formatVersion");
const QString editionKey = QStringLiteral("edition");
const QString firmwareKey = QStringLiteral("firmware");
const QString savedKey = QStringLiteral("saved");

// Integers beyond this lose their exactness as JSON numbers.
constexpr double maxExactInteger = 9007199254740992.0;

// The field as the window names it, then where it stands in the file, for whoever edits the file.
QString fieldMessage(const Edition &edition, const QString &path, const QString &problem)
{
    const QString name = windowNameOf(configLayout(edition), path);
    const QString place = name == path ? path : QStringLiteral("%1（%2）").arg(name, path);
    return QStringLiteral("配置字段 %1：%2").arg(place, problem);
}

// True for the values connecting reads from the controller (and the password, which the window
// keeps for the commands); the others a file may leave out.
bool readByConnect(const Edition &edition, const ConfigField &field)
{
    return !field.writeField ||
        std::any_of(edition.readBack.begin(), edition.readBack.end(), [&field](const ReadStep &step) {
            return step.kind == ReadStep::Kind::Read && step.block.field == *field.writeField;
        });
}

int phoneSlotCount(const Edition &edition)
{
    return int(std::count_if(edition.writePlan.begin(), edition.writePlan.end(),
        [](const WriteStep &step) { return step.block.field == Field::PhoneSlot; }));
}

// --- where a file's field lives in the value ----------------------------------------------

template <class T>
auto &checkedAt(T &values, int index)
{
    if (index < 0 || index >= int(values.size()))
        throw std::out_of_range("no configuration value " + std::to_string(index));
    return values[index];
}

template <class Config>
auto &textOf(Config &config, const ConfigField &field)
{
    const int i = field.writeIndex;
    if (!field.writeField)
        return config.password;
    switch (*field.writeField) {
    case Field::OpenCommand: return checkedAt(config.relays, i).open;
    case Field::CloseCommand: return checkedAt(config.relays, i).close;
    case Field::OpenReply: return checkedAt(config.relays, i).openReply;
    case Field::CloseReply: return checkedAt(config.relays, i).closeReply;
    case Field::AlarmText: return checkedAt(config.alarmTexts, i);
    case Field::DIAlarmText: return checkedAt(config.inputAlarmTexts, i);
    default: throw std::logic_error("no text for " + field.path.toStdString());
    }
}

template <class Config>
auto &numbersOf(Config &config, const ConfigField &field)
{
    switch (field.writeField.value_or(Field::Status)) {
    case Field::ActionTimes: return config.actionTimes;
    case Field::Limits: return config.limits;
    case Field::Calibration: return config.calibration;
    case Field::FullScale: return config.fullScale;
    default: throw std::logic_error("no number for " + field.path.toStdString());
    }
}

bool isAllCommand(const ConfigField &field)
{
    return field.writeField == Field::AllCommand;
}

// --- value to file ---------------------------------------------------------------------------

QJsonValue rangeValue(const Edition &edition, const ControllerConfig &config, const ConfigField &field)
{
    const int index = checkedAt(config.rangeIndexes, field.writeIndex);
    if (index < 0 || index >= int(edition.rangeItems.size()))
        throw ConfigFileError(fieldMessage(edition, field.path, QStringLiteral("没有选择输入范围")));
    return edition.rangeItems.at(index);
}

QJsonArray phoneEntries(const ControllerConfig &config)
{
    return QJsonArray::fromStringList(config.phones);
}

// A field's value as the file holds it; undefined for an absent all-on or all-off command.
QJsonValue fileValue(const Edition &edition, const ControllerConfig &config, const ConfigField &field)
{
    if (isAllCommand(field)) {
        const auto &command = config.allCommands.at(std::size_t(field.writeIndex));
        return command ? QJsonValue(*command) : QJsonValue(QJsonValue::Undefined);
    }
    switch (field.kind) {
    case ValueKind::Text: return textOf(config, field);
    case ValueKind::Number: return checkedAt(numbersOf(config, field), field.writeIndex);
    case ValueKind::DIAlarmSlot: return untilFirstNul(textOf(config, field));
    case ValueKind::PhoneList: return phoneEntries(config);
    case ValueKind::Range: return rangeValue(edition, config, field);
    case ValueKind::Option: return config.options.at(std::size_t(field.writeIndex));
    }
    throw std::logic_error("unknown value kind");
}

QString refusedPath(const ConfigLayout &layout, const WriteRefusal &refusal)
{
    for (const ConfigField &field : layout.fields) {
        if (field.writeField != refusal.field)
            continue;
        if (field.kind == ValueKind::PhoneList)
            return QStringLiteral("%1[%2]").arg(field.path).arg(refusal.index);
        if (field.writeIndex == refusal.index)
            return field.path;
    }
    throw std::logic_error("a write refusal no configuration field holds");
}

ConfigFileError refusedField(const Edition &edition, const ConfigLayout &layout, const WriteRefusal &refusal)
{
    return ConfigFileError(fieldMessage(edition, refusedPath(layout, refusal), refusal.message));
}

bool refers(const WriteRefusal &refusal, const ConfigField &field)
{
    return field.kind == ValueKind::Number && refusal.field == field.writeField && refusal.index == field.writeIndex;
}

// --- file to window -------------------------------------------------------------------------

bool isWholeNumber(const QJsonValue &value)
{
    const double number = value.toDouble();
    return value.isDouble() && std::floor(number) == number && std::abs(number) <= maxExactInteger;
}

bool isTextList(const QJsonValue &value)
{
    const QJsonArray array = value.toArray();
    return value.isArray() &&
        std::all_of(array.begin(), array.end(), [](const QJsonValue &v) { return v.isString(); });
}

// What is wrong with the type of a value, if anything. Values the write checks come later.
std::optional<QString> typeProblem(const Edition &edition, ValueKind kind, const QJsonValue &value)
{
    switch (kind) {
    case ValueKind::Text:
    case ValueKind::DIAlarmSlot:
        return value.isString() ? std::nullopt : std::optional(QStringLiteral("应为文本"));
    case ValueKind::Number: return isWholeNumber(value) ? std::nullopt : std::optional(QStringLiteral("应为整数"));
    case ValueKind::PhoneList:
        if (!isTextList(value))
            return QStringLiteral("应为手机号码文本的列表");
        if (value.toArray().size() > phoneSlotCount(edition))
            return QStringLiteral("最多%1个手机号码").arg(phoneSlotCount(edition));
        return std::nullopt;
    case ValueKind::Range:
        return edition.rangeItems.contains(value.toString())
            ? std::nullopt
            : std::optional(QStringLiteral("应为以下之一：%1").arg(edition.rangeItems.join(QStringLiteral("、"))));
    case ValueKind::Option:
        return value.isBool() ? std::nullopt : std::optional(QStringLiteral("应为 true 或 false"));
    }
    throw std::logic_error("unknown value kind");
}

QJsonValue requiredValue(const Edition &edition, const QJsonObject &file, const QString &path, ValueKind kind)
{
    const std::optional<QJsonValue> value = valueAt(file, path);
    if (!value)
        throw ConfigFileError(fieldMessage(edition, path, QStringLiteral("缺少此字段")));
    if (const auto problem = typeProblem(edition, kind, *value))
        throw ConfigFileError(fieldMessage(edition, path, *problem));
    return *value;
}

// A field's checked value; none for a value connecting does not read, left out of the file.
std::optional<QJsonValue> fieldValue(const Edition &edition, const QJsonObject &file, const ConfigField &field)
{
    if (!readByConnect(edition, field) && !valueAt(file, field.path))
        return std::nullopt;
    return requiredValue(edition, file, field.path, field.kind);
}

void checkOptionalText(const Edition &edition, const QJsonObject &file, const QString &key)
{
    if (file.contains(key))
        requiredValue(edition, file, key, ValueKind::Text);
}

// Every place a file of this edition may use, with null leaves.
QJsonObject fileShape(const ConfigLayout &layout)
{
    QJsonObject shape;
    for (const QString &key : {formatKey, editionKey, firmwareKey, savedKey})
        shape[key] = QJsonValue();
    for (const ConfigField &field : layout.fields)
        setValueAt(shape, field.path, QJsonValue());
    return shape;
}

QString otherEditionMessage(const QString &fileEdition, const QString &ownEdition)
{
    const QString message = QStringLiteral("此文件是“%1”型号的配置，本程序只能打开“%2”型号的配置").arg(fileEdition, ownEdition);
    const QString program = programOpening(fileEdition);
    return program.isEmpty() ? message : message + QStringLiteral("，请用 %1 打开").arg(program);
}

void checkHeader(const Edition &edition, const ConfigLayout &layout, const QJsonObject &file)
{
    const QJsonValue format = requiredValue(edition, file, formatKey, ValueKind::Number);
    if (format.toDouble() != configFormatVersion)
        throw ConfigFileError(QStringLiteral("配置文件格式版本%1不受支持，本程序只能打开版本%2的文件")
                                  .arg(format.toDouble())
                                  .arg(configFormatVersion));
    const QString fileEdition = requiredValue(edition, file, editionKey, ValueKind::Text).toString();
    if (fileEdition != layout.editionName)
        throw ConfigFileError(otherEditionMessage(fileEdition, layout.editionName));
    if (const auto unknown = firstPathOutside(file, fileShape(layout)))
        throw ConfigFileError(fieldMessage(edition, *unknown, QStringLiteral("本型号没有此字段")));
    checkOptionalText(edition, file, firmwareKey);
    checkOptionalText(edition, file, savedKey);
}

// Qt's parse errors in the words of the program.
const std::pair<QJsonParseError::ParseError, const char *> parseErrorTexts[] = {
    {QJsonParseError::UnterminatedObject, "对象未正确结束（缺少逗号或 }）"},
    {QJsonParseError::MissingNameSeparator, "字段名后缺少冒号"},
    {QJsonParseError::UnterminatedArray, "列表缺少结尾的 ]"},
    {QJsonParseError::MissingValueSeparator, "缺少逗号"},
    {QJsonParseError::IllegalValue, "值无效"},
    {QJsonParseError::TerminationByNumber, "文件在数字处意外结束"},
    {QJsonParseError::IllegalNumber, "数字无效"},
    {QJsonParseError::IllegalEscapeSequence, "转义序列无效"},
    {QJsonParseError::IllegalUTF8String, "文本不是有效的 UTF-8"},
    {QJsonParseError::UnterminatedString, "文本缺少结尾的引号"},
    {QJsonParseError::MissingObject, "应为一个对象"},
    {QJsonParseError::DeepNesting, "嵌套过深"},
    {QJsonParseError::DocumentTooLarge, "文件过大"},
    {QJsonParseError::GarbageAtEnd, "结尾有多余的内容"},
};

QString parseErrorText(QJsonParseError::ParseError error)
{
    for (const auto &[code, text] : parseErrorTexts)
        if (code == error)
            return QString::fromUtf8(text);
    return QStringLiteral("格式错误");
}

// "第3行第12列": lines and columns counted from 1, columns in characters.
QString positionOf(const QByteArray &json, int offset)
{
    const QByteArray before = json.left(offset);
    const qsizetype lineStart = before.lastIndexOf('\n') + 1;
    const int line = int(before.count('\n')) + 1;
    const int column = int(QString::fromUtf8(before.mid(lineStart)).size()) + 1;
    return QStringLiteral("第%1行第%2列").arg(line).arg(column);
}

QString syntaxErrorMessage(const QByteArray &json, const QJsonParseError &error)
{
    return QStringLiteral("配置文件不是有效的 JSON：%1，%2").arg(positionOf(json, error.offset), parseErrorText(error.error));
}

QJsonObject parsedObject(const QByteArray &json)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        throw ConfigFileError(syntaxErrorMessage(json, error));
    if (!document.isObject())
        throw ConfigFileError(QStringLiteral("配置文件应为一个 JSON 对象"));
    return document.object();
}

// Whole numbers beyond a register's range, from a file that is being checked for the write: the
// value holds the nearest register value and the number is refused after the checks before it.
using OutOfRange = std::vector<WriteRefusal>;

qint16 registerValue(const Edition &edition, const ConfigField &field, double number, OutOfRange *outOfRange)
{
    const double nearest = std::clamp(number, double(std::numeric_limits<qint16>::min()),
                                      double(std::numeric_limits<qint16>::max()));
    if (nearest != number) {
        if (!outOfRange)
            throw ConfigFileError(fieldMessage(edition, field.path, WriteMessages::numberOutOfRange));
        outOfRange->push_back({WriteMessages::numberOutOfRange, field.writeField, field.writeIndex});
    }
    return qint16(nearest);
}

void setValue(const Edition &edition, ControllerConfig &config, const ConfigField &field, const QJsonValue &value,
              OutOfRange *outOfRange)
{
    if (isAllCommand(field)) {
        config.allCommands.at(std::size_t(field.writeIndex)) = value.toString();
        return;
    }
    switch (field.kind) {
    case ValueKind::Text:
    case ValueKind::DIAlarmSlot: textOf(config, field) = value.toString(); return;
    case ValueKind::Number:
        checkedAt(numbersOf(config, field), field.writeIndex) =
            registerValue(edition, field, value.toDouble(), outOfRange);
        return;
    case ValueKind::PhoneList:
        config.phones.clear();
        for (const QJsonValue &entry : value.toArray())
            config.phones << entry.toString();
        return;
    case ValueKind::Range:
        checkedAt(config.rangeIndexes, field.writeIndex) = int(edition.rangeItems.indexOf(value.toString()));
        return;
    case ValueKind::Option: config.options.at(std::size_t(field.writeIndex)) = value.toBool(); return;
    }
}

// The file's values after the checks of everything but the write's. A field the file may leave
// out and does stays absent.
ControllerConfig checkedConfig(const Edition &edition, const ConfigLayout &layout, const QByteArray &json,
                               OutOfRange *outOfRange)
{
    const QJsonObject file = parsedObject(json);
    checkHeader(edition, layout, file);
    ControllerConfig config = blankConfig(edition);
    if (file.contains(firmwareKey))
        config.firmware = file[firmwareKey].toString();
    for (const ConfigField &field : layout.fields)
        if (const auto value = fieldValue(edition, file, field))
            setValue(edition, config, field, *value, outOfRange);
    return config;
}

QByteArray fileText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ConfigFileError(QStringLiteral("无法打开配置文件 %1：%2").arg(path, file.errorString()));
    const QByteArray json = file.read(maxConfigFileBytes + 1);
    if (json.size() > maxConfigFileBytes)
        throw ConfigFileError(QStringLiteral("配置文件 %1 过大（超过%2字节）").arg(path).arg(maxConfigFileBytes));
    return json;
}

// A value as the file writes it, on one line: a text's line breaks show as \n.
QString jsonText(const QJsonValue &value)
{
    const QByteArray inArray = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(inArray.mid(1, inArray.size() - 2));
}

} // namespace

ConfigFileError::ConfigFileError(const QString &message)
    : std::runtime_error(message.toStdString())
    , message_(message)
{
}

QByteArray configurationJson(const Edition &edition, const ControllerConfig &config)
{
    const ConfigLayout layout = configLayout(edition);
    QJsonObject file{{formatKey, configFormatVersion}, {editionKey, layout.editionName},
        {savedKey, QDateTime::currentDateTimeUtc().toString(Qt::ISODate)}};
    if (config.firmware)
        file[firmwareKey] = *config.firmware;
    for (const ConfigField &field : layout.fields)
        if (const QJsonValue value = fileValue(edition, config, field); !value.isUndefined())
            setValueAt(file, field.path, value);
    return QJsonDocument(file).toJson(QJsonDocument::Indented);
}

ControllerConfig configurationFromJson(const Edition &edition, const QByteArray &json)
{
    const ConfigLayout layout = configLayout(edition);
    OutOfRange outOfRange;
    ControllerConfig config = checkedConfig(edition, layout, json, &outOfRange);
    if (const auto refusal = writeRefusal(edition, config))
        throw refusedField(edition, layout, *refusal);
    if (!outOfRange.empty())
        throw refusedField(edition, layout, outOfRange.front());
    return config;
}

QByteArray configurationJson(const FormMain &form)
{
    const Edition &edition = form.edition();
    const CollectedConfig collected = collectConfig(form);
    // What a file cannot hold is named in the order of the file's fields.
    for (const ConfigField &field : configLayout(edition).fields) {
        for (const WriteRefusal &refusal : collected.numbersOutOfRange)
            if (refers(refusal, field))
                throw ConfigFileError(fieldMessage(edition, field.path, refusal.message));
        fileValue(edition, collected.config, field); // a range with no selection throws
    }
    return configurationJson(edition, collected.config);
}

void applyConfigurationJson(FormMain &form, const QByteArray &json)
{
    showConfig(form, configurationFromJson(form.edition(), json));
}

namespace {

ConfigFileError unsavable(const QString &path, const QSaveFile &file)
{
    return ConfigFileError(QStringLiteral("无法保存配置文件 %1：%2").arg(path, file.errorString()));
}

void saveJson(const QByteArray &json, const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size() || !file.commit())
        throw unsavable(path, file);
}

} // namespace

void saveConfiguration(const Edition &edition, const ControllerConfig &config, const QString &path)
{
    saveJson(configurationJson(edition, config), path);
}

void saveConfiguration(const FormMain &form, const QString &path)
{
    saveJson(configurationJson(form), path);
}

void checkSavable(const QString &path)
{
    QSaveFile file(path); // what saving needs: a temporary file beside the target
    if (!file.open(QIODevice::WriteOnly))
        throw unsavable(path, file);
    file.cancelWriting();
}

ControllerConfig openConfiguration(const Edition &edition, const QString &path)
{
    return configurationFromJson(edition, fileText(path));
}

void openConfiguration(FormMain &form, const QString &path)
{
    applyConfigurationJson(form, fileText(path));
}

ControllerConfig comparedConfiguration(const Edition &edition, const QString &path)
{
    return checkedConfig(edition, configLayout(edition), fileText(path), nullptr);
}

std::vector<ConfigDifference> configDifferences(const Edition &edition, const ControllerConfig &file,
                                                const ControllerConfig &controller)
{
    std::vector<ConfigDifference> differences;
    for (const ConfigField &field : configLayout(edition).fields) {
        const QJsonValue fileSays = fileValue(edition, file, field);
        if (fileSays.isUndefined())
            continue; // a file without the field asks nothing of it
        const QJsonValue controllerHolds = fileValue(edition, controller, field);
        if (fileSays != controllerHolds)
            differences.push_back({field.windowName, jsonText(fileSays), jsonText(controllerHolds)});
    }
    return differences;
}

QString differenceLine(const ConfigDifference &difference)
{
    return QStringLiteral("%1：文件 %2，控制器 %3")
        .arg(difference.windowName, difference.fileValue, difference.controllerValue);
}

} // namespace alarmcfg
