#include "register_image.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

namespace alarmsim {
namespace {

const QString factoryPassword = QStringLiteral("739164");

// The two numbers a configured controller carries in its first phone slots.
const QStringList storedPhoneNumbers = {QStringLiteral("8615800000000"),
                                        QStringLiteral("8613900000001")};

struct EditionTable {
    Edition edition;
    QString name;
    int relays;
    int inputs;
    QVector<int> phoneSlots;
    QString emptyPhoneSlot; // what a slot without a number holds
    QVector<int16_t> status;
    QStringList sensorAlarmTexts;
    QVector<int16_t> limits;
};

const QVector<EditionTable> &editionTables()
{
    static const QVector<EditionTable> tables = {
        {Edition::Analog, QStringLiteral("analog"), 8, 8,
         {710, 730, 750, 1100, 1120, 1140, 1160, 1180, 1200, 1220}, QStringLiteral("a"),
         {2500, 1200, 0, 0, 0x05, 0, 0x21},
         {QStringLiteral("模拟量0超过上限值"), QStringLiteral("模拟量0低于下限值"),
          QStringLiteral("模拟量1超过上限值"), QStringLiteral("模拟量1低于下限值")},
         {5000, 0, 5000, 0}},
        {Edition::TemperatureHumidity, QStringLiteral("th"), 4, 4,
         {260, 280, 300, 320, 340, 360, 380, 400, 420, 440, 460}, QString(),
         {235, 655, 0, 0, 0x05, 0, 0x21},
         {QStringLiteral("温度超过上限值"), QStringLiteral("温度低于下限值"),
          QStringLiteral("湿度超过上限值"), QStringLiteral("湿度低于下限值")},
         {99, 0, 99, 0}},
    };
    return tables;
}

const EditionTable &tableOf(Edition edition)
{
    const auto &tables = editionTables();
    return *std::find_if(tables.begin(), tables.end(),
                         [edition](const EditionTable &t) { return t.edition == edition; });
}

Field textField(int address, const QString &name, const QString &text)
{
    return {address, textSlotRegisters, name, true, text, {}};
}

Field numberField(int address, const QString &name, QVector<int16_t> values)
{
    const auto count = int(values.size());
    return {address, count, name, false, QString(), std::move(values)};
}

QString command(const QString &text)
{
    return factoryPassword + QLatin1Char('*') + text;
}

void addRelayFields(const EditionTable &t, QVector<Field> &out)
{
    for (int r = 0; r < t.relays; ++r) {
        const QString n = QString::number(r + 1);
        const QString relay = QStringLiteral("relay %1 ").arg(n);
        out << textField(10 + 60 * r, relay + "open command", command("设备" + n + "开"))
            << textField(30 + 60 * r, relay + "close command", command("设备" + n + "关"))
            << textField(50 + 60 * r, relay + "reply after opening", "设备" + n + "开启成功")
            << textField(850 + 20 * r, relay + "reply after closing", "设备" + n + "关闭成功");
    }
    out << textField(490, QStringLiteral("all-on command"), command(QStringLiteral("全开")))
        << textField(510, QStringLiteral("all-off command"), command(QStringLiteral("全关")))
        << numberField(690, QStringLiteral("relay action times"), QVector<int16_t>(8, 0));
}

void addAlarmFields(const EditionTable &t, QVector<Field> &out)
{
    for (int k = 0; k < 4; ++k) {
        const QString n = QString::number(k + 1);
        out << textField(522 + 20 * k, "digital channel " + n + " alarm text",
                         "数字通道" + n + "报警");
        out << textField(770 + 20 * k, "sensor alarm text " + n, t.sensorAlarmTexts[k]);
    }
    out << numberField(1010, QStringLiteral("alarm limits"), t.limits)
        << numberField(1018, QStringLiteral("calibration values"), {0, 0});
}

void addPhoneFields(const EditionTable &t, QVector<Field> &out)
{
    for (int k = 0; k < t.phoneSlots.size(); ++k) {
        const QString text = k < storedPhoneNumbers.size() ? storedPhoneNumbers[k] : t.emptyPhoneSlot;
        out << textField(t.phoneSlots[k], QStringLiteral("phone slot %1").arg(k + 1), text);
    }
}

void addAnalogSettings(QVector<Field> &out)
{
    out << numberField(1022, QStringLiteral("full-scale values"), {5000, 5000})
        << numberField(1026, QStringLiteral("input range codes"), {0, 1})
        << numberField(1030, QStringLiteral("option bits"), {0x05});
}

} // namespace

std::optional<Edition> editionFromName(const QString &name)
{
    for (const auto &t : editionTables())
        if (t.name == name)
            return t.edition;
    return std::nullopt;
}

QString editionName(Edition edition)
{
    return tableOf(edition).name;
}

int inputCount(Edition edition)
{
    return tableOf(edition).inputs;
}

QVector<Field> fields(Edition edition)
{
    const EditionTable &t = tableOf(edition);
    QVector<Field> out;
    out << numberField(statusAddress, QStringLiteral("status"), t.status);
    addRelayFields(t, out);
    addAlarmFields(t, out);
    addPhoneFields(t, out);
    if (edition == Edition::Analog)
        addAnalogSettings(out);
    std::sort(out.begin(), out.end(),
              [](const Field &a, const Field &b) { return a.address < b.address; });
    return out;
}

void fillFactoryImage(Edition edition, Registers registers)
{
    std::fill(registers.begin(), registers.end(), uint16_t(0));
    for (const Field &f : fields(edition)) {
        if (f.isText) {
            const QVector<uint16_t> words = encodeText(f.factoryText);
            storeRegisters(registers, f.address, words);
        } else {
            const QVector<uint16_t> words(f.factoryValues.begin(), f.factoryValues.end());
            storeRegisters(registers, f.address, words);
        }
    }
}

QVector<uint16_t> encodeText(const QString &text)
{
    QStringEncoder encoder("GBK");
    const QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        throw TextError("text cannot be written in GBK: " + text.toStdString());
    QVector<uint16_t> words((bytes.size() + 1) / 2, 0);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        words[i / 2] |= uint16_t(uint8_t(bytes[i])) << (i % 2 == 0 ? 8 : 0);
    return words;
}

QString decodeText(std::span<const uint16_t> slot)
{
    QByteArray bytes;
    for (uint16_t word : slot)
        bytes.append(char(word >> 8)).append(char(word & 0xFF));
    bytes.truncate(bytes.indexOf('\0') < 0 ? bytes.size() : bytes.indexOf('\0'));
    QStringDecoder decoder("GBK");
    return decoder.decode(bytes);
}

void storeRegisters(Registers registers, int address, std::span<const uint16_t> values)
{
    if (address < 0 || address + values.size() > registers.size())
        throw RegisterRangeError("registers " + std::to_string(address) + ".." +
                                 std::to_string(address + int(values.size()) - 1) +
                                 " lie outside 0.." + std::to_string(registers.size() - 1));
    std::copy(values.begin(), values.end(), registers.begin() + address);
}

} // namespace alarmsim
