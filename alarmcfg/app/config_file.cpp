#include "app/config_file.h"

#include "app/assembly.h"
#include "app/config_fields.h"
#include "app/json_path.h"
#include "editing/di_alarm_texts.h"
#include "editing/write_parameters.h"
#include "model/register_text.h"
#include "model/setting_values.h"
#include "window/form_main.h"
#include "window/widget_state.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
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

template <class W>
W *widgetOf(const FormMain &form, const ConfigField &field)
{
    auto *widget = form.findChild<W *>(field.widget);
    if (!widget)
        throw std::logic_error("no widget " + field.widget.toStdString() + " for " + field.path.toStdString());
    return widget;
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

// --- window to file -------------------------------------------------------------------------

QJsonArray phoneEntries(const FormMain &form)
{
    QJsonArray entries;
    for (int row = 0; row < form.ui.lstPhone->count(); ++row)
        entries.append(form.ui.lstPhone->item(row)->text());
    return entries;
}

QJsonValue rangeValue(const FormMain &form, const ConfigField &field)
{
    const int index = selectedIndex(widgetOf<QComboBox>(form, field));
    if (index < 0)
        throw ConfigFileError(fieldMessage(form.edition(), field.path, QStringLiteral("没有选择输入范围")));
    return form.edition().rangeItems.at(index);
}

// The register value the write would send for a number box.
QJsonValue numberValue(const FormMain &form, const ConfigField &field)
{
    const std::optional<qint16> value = registerValueOfText(widgetOf<QLineEdit>(form, field)->text());
    if (!value)
        throw ConfigFileError(fieldMessage(form.edition(), field.path, WriteMessages::numberOutOfRange));
    return *value;
}

QJsonValue windowValue(const FormMain &form, const ConfigField &field)
{
    switch (field.kind) {
    case ValueKind::Text: return widgetOf<QLineEdit>(form, field)->text();
    case ValueKind::Number: return numberValue(form, field);
    case ValueKind::DIAlarmSlot: return untilFirstNul(form.DIAlarmText.at(field.writeIndex));
    case ValueKind::PhoneList: return phoneEntries(form);
    case ValueKind::Range: return rangeValue(form, field);
    case ValueKind::Option: return widgetOf<QCheckBox>(form, field)->checkState() == Qt::Checked;
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

void throwIfRefused(const FormMain &form, const ConfigLayout &layout)
{
    if (const auto refusal = valueRefusal(form))
        throw ConfigFileError(fieldMessage(form.edition(), refusedPath(layout, *refusal), refusal->message));
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

void setPhoneEntries(FormMain &form, const QJsonArray &entries)
{
    form.ui.lstPhone->clear();
    for (const QJsonValue &entry : entries)
        form.ui.lstPhone->addItem(entry.toString());
}

void fillField(FormMain &form, const ConfigField &field, const QJsonValue &value)
{
    switch (field.kind) {
    case ValueKind::Text: return widgetOf<QLineEdit>(form, field)->setText(value.toString());
    case ValueKind::Number:
        return widgetOf<QLineEdit>(form, field)->setText(QString::number(qint64(value.toDouble())));
    case ValueKind::DIAlarmSlot: form.DIAlarmText[field.writeIndex] = value.toString(); return;
    case ValueKind::PhoneList: return setPhoneEntries(form, value.toArray());
    case ValueKind::Range:
        return widgetOf<QComboBox>(form, field)
            ->setCurrentIndex(int(form.edition().rangeItems.indexOf(value.toString())));
    case ValueKind::Option: return widgetOf<QCheckBox>(form, field)->setChecked(value.toBool());
    }
}

// As the read-back does: the values, then txtDIAlarm shows the selected channel's text. A value
// the file left out leaves its box as it is.
void fillWindow(FormMain &form, const ConfigLayout &layout, const std::vector<std::optional<QJsonValue>> &values)
{
    for (std::size_t i = 0; i < values.size(); ++i)
        if (values[i])
            fillField(form, layout.fields[i], *values[i]);
    cmbDISel_Click(form);
}

// The file's values in the layout's order, after the checks of everything but the write's; none
// for a field the file may leave out and does.
std::vector<std::optional<QJsonValue>> checkedValues(const Edition &edition, const ConfigLayout &layout,
                                                     const QByteArray &json)
{
    const QJsonObject file = parsedObject(json);
    checkHeader(edition, layout, file);
    std::vector<std::optional<QJsonValue>> values;
    for (const ConfigField &field : layout.fields)
        values.push_back(fieldValue(edition, file, field));
    return values;
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

QByteArray configurationJson(const FormMain &form, ConfigContent content)
{
    const ConfigLayout layout = configLayout(form.edition());
    QJsonObject file{{formatKey, configFormatVersion}, {editionKey, layout.editionName},
        {savedKey, QDateTime::currentDateTimeUtc().toString(Qt::ISODate)}};
    if (form.IsConnected)
        file[firmwareKey] = form.ui.lblVertion->text();
    for (const ConfigField &field : layout.fields)
        if (content == ConfigContent::Everything || readByConnect(form.edition(), field))
            setValueAt(file, field.path, windowValue(form, field));
    return QJsonDocument(file).toJson(QJsonDocument::Indented);
}

void applyConfigurationJson(FormMain &form, const QByteArray &json)
{
    const Edition &edition = form.edition();
    const ConfigLayout layout = configLayout(edition);
    const std::vector<std::optional<QJsonValue>> values = checkedValues(edition, layout, json);
    FormMain scratch(edition);
    assembleWindow(scratch);
    fillWindow(scratch, layout, values);
    throwIfRefused(scratch, layout);
    fillWindow(form, layout, values);
}

namespace {

ConfigFileError unsavable(const QString &path, const QSaveFile &file)
{
    return ConfigFileError(QStringLiteral("无法保存配置文件 %1：%2").arg(path, file.errorString()));
}

} // namespace

void saveConfiguration(const FormMain &form, const QString &path, ConfigContent content)
{
    const QByteArray json = configurationJson(form, content);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size() || !file.commit())
        throw unsavable(path, file);
}

void checkSavable(const QString &path)
{
    QSaveFile file(path); // what saving needs: a temporary file beside the target
    if (!file.open(QIODevice::WriteOnly))
        throw unsavable(path, file);
    file.cancelWriting();
}

void openConfiguration(FormMain &form, const QString &path)
{
    applyConfigurationJson(form, fileText(path));
}

std::vector<ConfigDifference> differencesFromFile(const FormMain &controller, const QString &path)
{
    const Edition &edition = controller.edition();
    const ConfigLayout layout = configLayout(edition);
    FormMain fromFile(edition);
    assembleWindow(fromFile);
    const std::vector<std::optional<QJsonValue>> values = checkedValues(edition, layout, fileText(path));
    fillWindow(fromFile, layout, values);
    std::vector<ConfigDifference> differences;
    for (std::size_t i = 0; i < layout.fields.size(); ++i) {
        const ConfigField &field = layout.fields[i];
        if (!values[i])
            continue; // a file without the field asks nothing of it
        const QJsonValue fileValue = windowValue(fromFile, field);
        const QJsonValue controllerValue = windowValue(controller, field);
        if (fileValue != controllerValue)
            differences.push_back({field.windowName, jsonText(fileValue), jsonText(controllerValue)});
    }
    return differences;
}

WindowSnapshot::WindowSnapshot(const FormMain &form)
{
    for (const ConfigField &field : configLayout(form.edition()).fields) {
        switch (field.kind) {
        case ValueKind::Text:
        case ValueKind::Number: values_.push_back(widgetOf<QLineEdit>(form, field)->text()); break;
        case ValueKind::DIAlarmSlot: values_.push_back(form.DIAlarmText.at(field.writeIndex)); break;
        case ValueKind::PhoneList: values_.push_back(phoneEntries(form).toVariantList()); break;
        case ValueKind::Range: values_.push_back(selectedIndex(widgetOf<QComboBox>(form, field))); break;
        case ValueKind::Option: values_.push_back(int(widgetOf<QCheckBox>(form, field)->checkState())); break;
        }
    }
}

void WindowSnapshot::restore(FormMain &form) const
{
    const ConfigLayout layout = configLayout(form.edition());
    for (std::size_t i = 0; i < values_.size(); ++i) {
        const ConfigField &field = layout.fields[i];
        const QVariant &value = values_[i];
        switch (field.kind) {
        case ValueKind::Text:
        case ValueKind::Number: widgetOf<QLineEdit>(form, field)->setText(value.toString()); break;
        case ValueKind::DIAlarmSlot: form.DIAlarmText[field.writeIndex] = value.toString(); break;
        case ValueKind::PhoneList: setPhoneEntries(form, QJsonArray::fromVariantList(value.toList())); break;
        case ValueKind::Range: widgetOf<QComboBox>(form, field)->setCurrentIndex(value.toInt()); break;
        case ValueKind::Option:
            widgetOf<QCheckBox>(form, field)->setCheckState(Qt::CheckState(value.toInt()));
            break;
        }
    }
    cmbDISel_Click(form);
}

QString differenceLine(const ConfigDifference &difference)
{
    return QStringLiteral("%1：文件 %2，控制器 %3")
        .arg(difference.windowName, difference.fileValue, difference.controllerValue);
}

} // namespace alarmcfg
