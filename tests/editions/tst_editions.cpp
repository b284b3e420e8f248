#include "edition_named.h"
#include "editions/edition.h"
#include "register_map.h"

#include <QTest>

#include <numeric>

using namespace alarmcfg;

namespace {

using registermap::Span;

// A read plan as address and count per step; refreshing txtDIAlarm as the map writes it down.
std::vector<Span> spans(const std::vector<ReadStep> &steps)
{
    std::vector<Span> reads;
    for (const auto &step : steps)
        reads.push_back(step.kind == ReadStep::Kind::ShowDIAlarmText ? registermap::showDIText.span
                                                                     : Span{step.block.address, step.block.count});
    return reads;
}

std::vector<Span> spans(const std::vector<registermap::Read> &steps)
{
    std::vector<Span> reads;
    for (const auto &step : steps)
        reads.push_back(step.span);
    return reads;
}

int readCount(const std::vector<Span> &reads)
{
    return int(std::ranges::count_if(reads, [](const Span &r) { return r.address >= 0; }));
}

} // namespace

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
    QTest::addColumn<int>("requests");
    QTest::newRow("analog read-back") << "analog" << false << 57;
    QTest::newRow("analog on-demand") << "analog" << true << 53;
    QTest::newRow("th read-back") << "th" << false << 39;
    QTest::newRow("th on-demand") << "th" << true << 12;
}

void TestEditions::readPlans()
{
    QFETCH(QString, edition);
    QFETCH(bool, onDemand);
    QFETCH(int, requests);
    const Edition &e = editionNamed(edition);
    const registermap::EditionMap &map = registermap::of(edition);
    const std::vector<Span> reads = spans(onDemand ? e.onDemandRead : e.readBack);
    const std::vector<Span> expected = spans(onDemand ? map.onDemand : map.readBack);
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
    QTest::addColumn<double>("progress");
    QTest::newRow("analog: 58 requests") << "analog" << 92.0;
    QTest::newRow("th: 29 + 11 phone slots") << "th" << 0.0;
}

void TestEditions::writePlans()
{
    QFETCH(QString, edition);
    QFETCH(double, progress);
    const std::vector<WriteStep> &writes = editionNamed(edition).writePlan;
    const std::vector<registermap::Write> &expected = registermap::of(edition).write;
    QCOMPARE(writes.size(), expected.size());
    for (std::size_t i = 0; i < writes.size(); ++i) {
        QCOMPARE(int(writes[i].block.address), expected[i].span.address);
        QCOMPARE(writes[i].block.field, expected[i].field);
        QCOMPARE(writes[i].passwordPrefix, expected[i].passwordPrefix);
        QCOMPARE(writes[i].lengthCheck, expected[i].lengthCheck);
        QCOMPARE(writes[i].progressAdvance, expected[i].advance);
    }
    const double sum = std::accumulate(writes.begin(), writes.end(), 0.0,
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
    QTest::newRow("analog") << "analog";
    QTest::newRow("th") << "th";
}

// Every block the read-back reads is one a reply may carry.
void TestEditions::blockAtEveryReadableAddress()
{
    QFETCH(QString, edition);
    const Edition &e = editionNamed(edition);
    std::size_t blocks = 0;
    for (const registermap::Read &expected : registermap::of(edition).readBack) {
        if (expected.span.address < 0)
            continue;
        ++blocks;
        const RegisterBlock *found = e.blockAt(expected.span.address);
        QVERIFY2(found, qPrintable(QString::number(expected.span.address)));
        QCOMPARE(int(found->address), expected.span.address);
        QCOMPARE(found->field, expected.field);
        QCOMPARE(found->index, expected.index);
        QCOMPARE(int(found->count), expected.span.count);
    }
    QCOMPARE(e.readableBlocks.size(), blocks);
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
    QCOMPARE(a.emptyPhoneSlotText, QString("a"));
    QCOMPARE(t.emptyPhoneSlotText, QString("a")); // a deleted number leaves the controller
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
