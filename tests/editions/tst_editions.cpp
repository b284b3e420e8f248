#include "edition_named.h"
#include "editions/edition.h"

#include <QTest>

#include <numeric>

using namespace alarmcfg;

namespace {

struct Read {
    int address; // -1: refresh txtDIAlarm
    int count;
    bool operator==(const Read &) const = default;
};

struct Write {
    int address;
    Field field;
    bool passwordPrefix;
    bool lengthCheck;
    double advance;
    bool operator==(const Write &) const = default;
};

constexpr Read showDI{-1, 0};

std::vector<Read> textReadsFrom(int first, int n)
{
    std::vector<Read> reads;
    for (int k = 0; k < n; ++k)
        reads.push_back({first + 20 * k, 10});
    return reads;
}

std::vector<Read> concat(std::initializer_list<std::vector<Read>> parts)
{
    std::vector<Read> all;
    for (const auto &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

std::vector<Read> actual(const std::vector<ReadStep> &steps)
{
    std::vector<Read> reads;
    for (const auto &step : steps)
        reads.push_back(step.kind == ReadStep::Kind::ShowDIAlarmText
                            ? showDI
                            : Read{step.block.address, step.block.count});
    return reads;
}

// Sequences as the read-back and on-demand tables list them.
std::vector<Read> analogTexts()
{
    return concat({textReadsFrom(522, 4), textReadsFrom(710, 3), textReadsFrom(1100, 7),
                   textReadsFrom(770, 4), {showDI}, textReadsFrom(10, 24), textReadsFrom(850, 8),
                   {{690, 8}, {1010, 4}, {1018, 2}}});
}

std::vector<Read> analogReadBack()
{
    return concat({{{0, 7}}, analogTexts(), {{1022, 2}, {1026, 2}, {1030, 1}}});
}

std::vector<Read> thReadBack()
{
    return concat({{{0, 7}}, textReadsFrom(522, 4), textReadsFrom(260, 11), textReadsFrom(770, 4), {showDI},
                   textReadsFrom(10, 12), textReadsFrom(850, 4), {{690, 8}, {1010, 4}, {1018, 2}}});
}

std::vector<Write> relayWrites(int relays, double advance)
{
    std::vector<Write> writes;
    for (int r = 0; r < relays; ++r) {
        writes.push_back({10 + 60 * r, Field::OpenCommand, true, true, advance});
        writes.push_back({30 + 60 * r, Field::CloseCommand, true, true, advance});
        writes.push_back({50 + 60 * r, Field::OpenReply, false, true, advance});
        writes.push_back({850 + 20 * r, Field::CloseReply, false, true, advance});
    }
    return writes;
}

std::vector<Write> plainWrites(Field field, std::vector<int> addresses, double advance)
{
    std::vector<Write> writes;
    for (int address : addresses)
        writes.push_back({address, field, false, false, advance});
    return writes;
}

std::vector<Write> sharedTextWrites(int relays, double advance)
{
    auto writes = relayWrites(relays, advance);
    writes.push_back({490, Field::AllCommand, true, true, advance});
    writes.push_back({510, Field::AllCommand, true, true, advance});
    const auto di = plainWrites(Field::DIAlarmText, {522, 542, 562, 582}, advance);
    writes.insert(writes.end(), di.begin(), di.end());
    return writes;
}

std::vector<Write> analogWritePlan()
{
    auto writes = sharedTextWrites(8, 1.5);
    for (const auto &part : {plainWrites(Field::PhoneSlot, {710, 730, 750, 1100, 1120, 1140, 1160, 1180, 1200, 1220}, 2),
                             plainWrites(Field::AlarmText, {770, 790, 810, 830}, 1.5)})
        writes.insert(writes.end(), part.begin(), part.end());
    writes.push_back({690, Field::ActionTimes, false, false, 3});
    writes.push_back({1010, Field::Limits, false, false, 3});
    writes.push_back({1018, Field::Calibration, false, false, 3});
    writes.push_back({1022, Field::FullScale, false, false, 0});
    writes.push_back({1026, Field::RangeCodes, false, false, 0});
    writes.push_back({1030, Field::Options, false, false, 0});
    return writes;
}

std::vector<Write> thWritePlan()
{
    auto writes = sharedTextWrites(4, 0);
    std::vector<int> phones;
    for (int k = 0; k <= 10; ++k)
        phones.push_back(260 + 20 * k);
    for (const auto &part : {plainWrites(Field::PhoneSlot, phones, 0),
                             plainWrites(Field::AlarmText, {770, 790, 810, 830}, 0)})
        writes.insert(writes.end(), part.begin(), part.end());
    writes.push_back({690, Field::ActionTimes, false, false, 0});
    writes.push_back({1010, Field::Limits, false, false, 0});
    writes.push_back({1018, Field::Calibration, false, false, 0});
    return writes;
}

std::vector<Write> actual(const std::vector<WriteStep> &steps)
{
    std::vector<Write> writes;
    for (const auto &step : steps)
        writes.push_back({step.block.address, step.block.field, step.passwordPrefix, step.lengthCheck,
                          step.progressAdvance});
    return writes;
}

// Every block a reply may carry, by the register map: field, index and registers read.
std::vector<RegisterBlock> readableMap(int relays, std::vector<int> phoneAddresses, bool analog)
{
    std::vector<RegisterBlock> blocks{statusBlock};
    for (int r = 0; r < relays; ++r) {
        blocks.push_back({Field::OpenCommand, r, quint16(10 + 60 * r), 10});
        blocks.push_back({Field::CloseCommand, r, quint16(30 + 60 * r), 10});
        blocks.push_back({Field::OpenReply, r, quint16(50 + 60 * r), 10});
        blocks.push_back({Field::CloseReply, r, quint16(850 + 20 * r), 10});
    }
    for (int k = 0; k < 4; ++k) {
        blocks.push_back({Field::DIAlarmText, k, quint16(522 + 20 * k), 10});
        blocks.push_back({Field::AlarmText, k, quint16(770 + 20 * k), 10});
    }
    for (int k = 0; k < int(phoneAddresses.size()); ++k)
        blocks.push_back({Field::PhoneSlot, k, quint16(phoneAddresses[std::size_t(k)]), 10});
    blocks.push_back({Field::ActionTimes, 0, 690, 8});
    blocks.push_back({Field::Limits, 0, 1010, 4});
    blocks.push_back({Field::Calibration, 0, 1018, 2});
    if (analog) {
        blocks.push_back({Field::FullScale, 0, 1022, 2});
        blocks.push_back({Field::RangeCodes, 0, 1026, 2});
        blocks.push_back({Field::Options, 0, 1030, 1});
    }
    return blocks;
}

std::vector<RegisterBlock> analogReadable()
{
    return readableMap(8, {710, 730, 750, 1100, 1120, 1140, 1160, 1180, 1200, 1220}, true);
}

std::vector<RegisterBlock> thReadable()
{
    std::vector<int> phones;
    for (int k = 0; k <= 10; ++k)
        phones.push_back(260 + 20 * k);
    return readableMap(4, phones, false);
}

int readCount(const std::vector<Read> &reads)
{
    return int(std::ranges::count_if(reads, [](const Read &r) { return r.address >= 0; }));
}

} // namespace

Q_DECLARE_METATYPE(std::vector<Read>)
Q_DECLARE_METATYPE(std::vector<Write>)
Q_DECLARE_METATYPE(std::vector<RegisterBlock>)

class TestEditions : public QObject {
    Q_OBJECT

private slots:
    void readPlans_data();
    void readPlans();
    void writePlans_data();
    void writePlans();
    void writeStepsCarryTheirBlockSize_data();
    void writeStepsCarryTheirBlockSize();
    void blockAtEveryReadableAddress_data();
    void blockAtEveryReadableAddress();
    void blockAtMeaninglessAddress_data();
    void blockAtMeaninglessAddress();
    void editionFacts();
    void factoryValues();
};

void TestEditions::readPlans_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<bool>("onDemand");
    QTest::addColumn<std::vector<Read>>("expected");
    QTest::addColumn<int>("requests");
    QTest::newRow("analog read-back") << "analog" << false << analogReadBack() << 57;
    QTest::newRow("analog on-demand") << "analog" << true << analogTexts() << 53;
    QTest::newRow("th read-back") << "th" << false << thReadBack() << 39;
    QTest::newRow("th on-demand") << "th" << true << textReadsFrom(10, 12) << 12;
}

void TestEditions::readPlans()
{
    QFETCH(QString, edition);
    QFETCH(bool, onDemand);
    QFETCH(std::vector<Read>, expected);
    QFETCH(int, requests);
    const Edition &e = editionNamed(edition);
    const std::vector<Read> reads = actual(onDemand ? e.onDemandRead : e.readBack);
    QCOMPARE(readCount(reads), requests);
    QCOMPARE(readCount(expected), requests);
    QCOMPARE(reads.size(), expected.size());
    for (std::size_t i = 0; i < reads.size(); ++i) {
        QCOMPARE(reads[i].address, expected[i].address);
        QCOMPARE(reads[i].count, expected[i].count);
    }
}

void TestEditions::writePlans_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<std::vector<Write>>("expected");
    QTest::addColumn<double>("progress");
    QTest::newRow("analog: 58 requests") << "analog" << analogWritePlan() << 92.0;
    QTest::newRow("th: 29 + 11 phone slots") << "th" << thWritePlan() << 0.0;
}

void TestEditions::writePlans()
{
    QFETCH(QString, edition);
    QFETCH(std::vector<Write>, expected);
    QFETCH(double, progress);
    const Edition &e = editionNamed(edition);
    const std::vector<Write> writes = actual(e.writePlan);
    QCOMPARE(writes.size(), expected.size());
    for (std::size_t i = 0; i < writes.size(); ++i) {
        QCOMPARE(writes[i].address, expected[i].address);
        QCOMPARE(writes[i].field, expected[i].field);
        QCOMPARE(writes[i].passwordPrefix, expected[i].passwordPrefix);
        QCOMPARE(writes[i].lengthCheck, expected[i].lengthCheck);
        QCOMPARE(writes[i].advance, expected[i].advance);
    }
    const double sum = std::accumulate(e.writePlan.begin(), e.writePlan.end(), 0.0,
                                       [](double s, const WriteStep &w) { return s + w.progressAdvance; });
    QCOMPARE(sum, progress);
}

void TestEditions::writeStepsCarryTheirBlockSize_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("count");
    QTest::newRow("analog action times") << "analog" << 690 << 8;
    QTest::newRow("th action times: 4 registers") << "th" << 690 << 4;
    QTest::newRow("limits") << "analog" << 1010 << 4;
    QTest::newRow("calibration") << "th" << 1018 << 2;
    QTest::newRow("full scale") << "analog" << 1022 << 2;
    QTest::newRow("range codes") << "analog" << 1026 << 2;
    QTest::newRow("options") << "analog" << 1030 << 1;
    QTest::newRow("text slot holds 20 registers") << "analog" << 830 << 20;
    QTest::newRow("last th phone slot") << "th" << 460 << 20;
    QTest::newRow("all-off ends before 522") << "th" << 510 << 12;
}

void TestEditions::writeStepsCarryTheirBlockSize()
{
    QFETCH(QString, edition);
    QFETCH(int, address);
    QFETCH(int, count);
    const auto &plan = editionNamed(edition).writePlan;
    const auto step = std::ranges::find_if(plan, [&](const WriteStep &w) { return w.block.address == address; });
    QVERIFY(step != plan.end());
    QCOMPARE(int(step->block.count), count);
}

void TestEditions::blockAtEveryReadableAddress_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<std::vector<RegisterBlock>>("blocks");
    QTest::newRow("analog") << "analog" << analogReadable();
    QTest::newRow("th") << "th" << thReadable();
}

void TestEditions::blockAtEveryReadableAddress()
{
    QFETCH(QString, edition);
    QFETCH(std::vector<RegisterBlock>, blocks);
    const Edition &e = editionNamed(edition);
    for (const RegisterBlock &expected : blocks) {
        const RegisterBlock *found = e.blockAt(expected.address);
        QVERIFY2(found, qPrintable(QString::number(expected.address)));
        QCOMPARE(found->address, expected.address);
        QCOMPARE(found->field, expected.field);
        QCOMPARE(found->index, expected.index);
        QCOMPARE(found->count, expected.count);
    }
    QCOMPARE(e.readableBlocks.size(), blocks.size());
}

void TestEditions::blockAtMeaninglessAddress_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<int>("address");
    const QList<int> both{1, 6, 20, 490, 510, 521, 602, 689, 691, 1011, 1014, 1020, 1031, 1240, 32767, -1, 65536};
    for (int address : both) {
        QTest::addRow("analog %d", address) << "analog" << address;
        QTest::addRow("th %d", address) << "th" << address;
    }
    for (int address : {260, 480, 1300})
        QTest::addRow("analog %d", address) << "analog" << address;
    for (int address : {250, 270, 710, 730, 750, 930, 990, 1022, 1026, 1030, 1100, 1220})
        QTest::addRow("th %d", address) << "th" << address;
}

void TestEditions::blockAtMeaninglessAddress()
{
    QFETCH(QString, edition);
    QFETCH(int, address);
    QCOMPARE(editionNamed(edition).blockAt(address), nullptr);
}

void TestEditions::editionFacts()
{
    const Edition &a = analogEdition();
    const Edition &t = temperatureHumidityEdition();
    QCOMPARE(a.programName, QString("alarmcfg"));
    QCOMPARE(t.programName, QString("alarmcfg_th"));
    QCOMPARE(a.inputCount, 8);
    QCOMPARE(a.relayCount, 8);
    QCOMPARE(t.inputCount, 4);
    QCOMPARE(t.relayCount, 4);
    QCOMPARE(a.diAlarmStartupSlots, 8);
    QCOMPARE(t.diAlarmStartupSlots, 4);
    QCOMPARE(a.sensorDisplay, SensorDisplay::Plain);
    QCOMPARE(t.sensorDisplay, SensorDisplay::TemperatureHumidity);
    QVERIFY(a.refusesOldFirmware && !t.refusesOldFirmware);
    QVERIFY(a.hasAnalogConversion && a.hasOptions && a.hasProgressBar);
    QVERIFY(!t.hasAnalogConversion && !t.hasOptions && !t.hasProgressBar);
    QVERIFY(!a.requiresPhoneNumber && t.requiresPhoneNumber);
    QCOMPARE(a.limitTextMaxChars, std::nullopt);
    QCOMPARE(t.limitTextMaxChars, std::optional<int>(2));
    QCOMPARE(a.emptyPhoneSlotText, std::optional<QString>("a"));
    QCOMPARE(t.emptyPhoneSlotText, std::nullopt);
    QCOMPARE(a.rangeItems, (QStringList{"0~5V", "4~20ma", "0~20ma", "0~10V"}));
    QVERIFY(t.rangeItems.isEmpty());
    QCOMPARE(a.startupFullScale, QString("5000"));
    QCOMPARE(a.clientWidthTwips, 16110);
    QCOMPARE(a.clientHeightTwips, 8850);
    QCOMPARE(t.clientWidthTwips, 11715);
    QCOMPARE(t.clientHeightTwips, 8715);
    QCOMPARE(a.writePlan.back().block.field, Field::Options);
}

void TestEditions::factoryValues()
{
    const FactoryValues &a = analogEdition().factory;
    const FactoryValues &t = temperatureHumidityEdition().factory;
    QCOMPARE(a.diAlarmSlots, 8);
    QCOMPARE(a.limits, (QStringList{"5000", "0", "5000", "0"}));
    QCOMPARE(a.calibration, (QStringList{"0", "0"}));
    QCOMPARE(a.alarmTexts,
             QString::fromUtf8("模拟量0超过上限值|模拟量0低于下限值|模拟量1超过上限值|模拟量1低于下限值").split('|'));
    QCOMPARE(a.fullScale, (QStringList{"5000", "5000"}));
    QCOMPARE(a.rangeIndex, std::optional<int>(0));

    QCOMPARE(t.diAlarmSlots, 4);
    QCOMPARE(t.limits, (QStringList{"99", "0", "99", "0"}));
    QCOMPARE(t.calibration, (QStringList{"0", "0"}));
    QCOMPARE(t.alarmTexts,
             QString::fromUtf8("温度超过上限值|温度对于下限值|湿度超过上限值|湿度低于下限值").split('|'));
    QVERIFY(t.fullScale.isEmpty());
    QCOMPARE(t.rangeIndex, std::nullopt);

    for (const FactoryValues *f : {&a, &t}) {
        QCOMPARE(f->phone, QString("15800000000"));
        QCOMPARE(f->password, QString("739164"));
    }
}

QTEST_GUILESS_MAIN(TestEditions)
#include "tst_editions.moc"
