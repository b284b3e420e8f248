#include "edition_named.h"
#include "editions/config_decoding.h"
#include "editions/config_write_plan.h"
#include "editions/edition.h"
#include "packed_text.h"
#include "register_map.h"

#include <QTest>

#include <functional>
#include <numeric>

using namespace alarmcfg;

using ConfigChange = std::function<void(ControllerConfig &)>;
using Replies = std::vector<std::pair<int, QVector<qint16>>>;
Q_DECLARE_METATYPE(ConfigChange)
Q_DECLARE_METATYPE(Replies)

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

// A text as a read of its slot returns it: the first 10 registers, zeros after the text.
QVector<qint16> slotRead(const QString &text)
{
    QVector<qint16> registers = packedText(text);
    registers.resize(10);
    return registers;
}

// `count` GBK bytes of text: two-byte characters, then "a" for an odd count.
QString gbkText(int count)
{
    return QString(count / 2, QChar(u'字')) + QString(count % 2, QLatin1Char('a'));
}

// A configuration the write accepts: every text and the one phone number the th model needs.
ControllerConfig writable(const Edition &edition)
{
    ControllerConfig config = blankConfig(edition);
    config.password = "739164";
    config.allCommands = {QStringLiteral("全开"), QStringLiteral("全关")};
    config.phones = {"15800000000"};
    return config;
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
    void readRepliesFillAConfiguration_data();
    void readRepliesFillAConfiguration();
    void configurationWrites_data();
    void configurationWrites();
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

void TestEditions::readRepliesFillAConfiguration_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<Replies>("replies"); // start address and registers, in the order they arrive
    QTest::addColumn<ConfigChange>("expected"); // from the blank configuration

    const QVector<qint16> nulThenTail{0x4F4B, 0x0000, 0x4142};
    QTest::newRow("status: the firmware") << "analog" << Replies{{0, {0, 0, 0, 0, 0, 0, 0x23}}}
                                          << ConfigChange([](auto &c) { c.firmware = "V2.3"; });
    QTest::newRow("open command: password before the star")
        << "analog" << Replies{{70, slotRead("123*开灯")}}
        << ConfigChange([](auto &c) { c.password = "123"; c.relays[1].open = "开灯"; });
    QTest::newRow("open command without a star: no password")
        << "th" << Replies{{10, slotRead("123*开")}, {70, slotRead("开")}}
        << ConfigChange([](auto &c) { c.relays[0].open = "开"; c.relays[1].open = "开"; });
    QTest::newRow("close command: the command between the stars")
        << "analog" << Replies{{30, slotRead("1*关*x")}} << ConfigChange([](auto &c) { c.relays[0].close = "关"; });
    QTest::newRow("a text ends at its first NUL")
        << "analog" << Replies{{870, nulThenTail}, {522, nulThenTail}}
        << ConfigChange([](auto &c) { c.relays[1].closeReply = "OK"; c.inputAlarmTexts[0] = "OK"; });
    QTest::newRow("all-off command, read for a file")
        << "th" << Replies{{510, slotRead("739164*全关")}}
        << ConfigChange([](auto &c) { c.allCommands[1] = "全关"; });
    QTest::newRow("phone list emptied at its first slot")
        << "analog"
        << Replies{{710, slotRead("8615800000000")}, {730, slotRead("8613900000001")},
                   {710, slotRead("a")}, {730, slotRead("8613900000001")}}
        << ConfigChange([](auto &c) { c.phones = {"13900000001"}; });
    QTest::newRow("th: eleventh phone slot") << "th" << Replies{{460, slotRead("8613900000011")}}
                                             << ConfigChange([](auto &c) { c.phones = {"13900000011"}; });
    QTest::newRow("range code outside 0..3 keeps its range")
        << "analog" << Replies{{1026, {2, 1}}, {1026, {7, -1}}}
        << ConfigChange([](auto &c) { c.rangeIndexes = {2, 1}; });
    QTest::newRow("options: bits 0 to 2 only") << "analog" << Replies{{1030, {0x7FFA}}}
                                               << ConfigChange([](auto &c) { c.options = {false, true, false}; });
    QTest::newRow("a short reply leaves the rest") << "th" << Replies{{1010, {-5}}}
                                                   << ConfigChange([](auto &c) { c.limits[0] = -5; });
    QTest::newRow("th: eight action times read, four kept")
        << "th" << Replies{{690, {1, 2, 3, 4, 5, 6, 7, 8}}}
        << ConfigChange([](auto &c) { c.actionTimes = {1, 2, 3, 4}; });
    QTest::newRow("an address no block starts at") << "analog" << Replies{{3, {1, 2}}, {1011, {9}}}
                                                   << ConfigChange([](auto &) {});
}

// Replies go into the value as the window's read-back shows them.
void TestEditions::readRepliesFillAConfiguration()
{
    QFETCH(QString, edition);
    QFETCH(Replies, replies);
    QFETCH(ConfigChange, expected);
    const Edition &e = editionNamed(edition);
    ControllerConfig config = blankConfig(e);
    for (const auto &[address, registers] : replies)
        applyReadReply(config, e, address, registers);
    ControllerConfig wanted = blankConfig(e);
    expected(wanted);
    QVERIFY(config == wanted);
}

void TestEditions::configurationWrites_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<ConfigChange>("change"); // from writable()
    QTest::addColumn<int>("address");
    QTest::addColumn<QVector<qint16>>("registers"); // none: no request there
    QTest::addColumn<QString>("refusal");

    const auto none = QVector<qint16>();
    QTest::newRow("password in front of a command")
        << "analog" << ConfigChange([](auto &c) { c.relays[0].open = "开"; }) << 10 << packedText("739164*开") << "";
    QTest::newRow("th: a command without a password")
        << "th" << ConfigChange([](auto &c) { c.password = ""; c.relays[1].close = "关灯1"; }) << 90
        << packedText("关灯1") << "";
    QTest::newRow("alarm text of 40 bytes fills its slot")
        << "analog" << ConfigChange([](auto &c) { c.alarmTexts[2] = gbkText(40); }) << 810 << packedText(gbkText(40)) << "";
    QTest::newRow("alarm text of 39 bytes ends in its pad byte")
        << "th" << ConfigChange([](auto &c) { c.alarmTexts[3] = gbkText(39); }) << 830 << packedText(gbkText(39)) << "";
    QTest::newRow("alarm text of 41 bytes")
        << "analog" << ConfigChange([](auto &c) { c.alarmTexts[0] = gbkText(41); }) << 770 << none
        << WriteMessages::textTooLong;
    QTest::newRow("input text of 41 bytes")
        << "th" << ConfigChange([](auto &c) { c.inputAlarmTexts[3] = gbkText(41); }) << 582 << none
        << WriteMessages::textTooLong;
    QTest::newRow("command of 21 bytes with its password")
        << "analog" << ConfigChange([](auto &c) { c.relays[7].close = gbkText(14); }) << 450 << none
        << WriteMessages::commandTooLong;
    QTest::newRow("all-on command absent: the controller keeps its own")
        << "analog" << ConfigChange([](auto &c) { c.allCommands[0].reset(); }) << 490 << none << "";
    QTest::newRow("th: all-off command absent")
        << "th" << ConfigChange([](auto &c) { c.allCommands[1].reset(); }) << 510 << none << "";
    QTest::newRow("all-off command present")
        << "th" << ConfigChange([](auto &) {}) << 510 << packedText("739164*全关") << "";
    QTest::newRow("analog: tenth phone")
        << "analog" << ConfigChange([](auto &c) { c.phones = QStringList(10, "13900000001"); }) << 1220
        << packedText("8613900000001") << "";
    QTest::newRow("analog: a slot without a number gets the marker")
        << "analog" << ConfigChange([](auto &) {}) << 730 << packedText("a") << "";
    QTest::newRow("th: eleventh phone")
        << "th" << ConfigChange([](auto &c) { c.phones = QStringList(11, "13900000011"); }) << 460
        << packedText("8613900000011") << "";
    QTest::newRow("th: no phone number")
        << "th" << ConfigChange([](auto &c) { c.phones.clear(); }) << 260 << none << WriteMessages::noPhoneNumber;
    QTest::newRow("password of 7 characters")
        << "analog" << ConfigChange([](auto &c) { c.password = "1234567"; }) << 10 << none
        << WriteMessages::passwordTooLong;
    QTest::newRow("analog: limits over the register's range")
        << "analog" << ConfigChange([](auto &c) { c.limits = {-32768, 32767, 0, 1}; }) << 1010
        << QVector<qint16>{-32768, 32767, 0, 1} << "";
    QTest::newRow("th: a limit of three characters")
        << "th" << ConfigChange([](auto &c) { c.limits[2] = 100; }) << 1010 << none << WriteMessages::limitTooLong;
    QTest::newRow("th: four action times")
        << "th" << ConfigChange([](auto &c) { c.actionTimes = {1, 2, 3, 4}; }) << 690 << QVector<qint16>{1, 2, 3, 4} << "";
    QTest::newRow("no range chosen: 0xFFFF")
        << "analog" << ConfigChange([](auto &c) { c.rangeIndexes = {-1, 3}; }) << 1026 << QVector<qint16>{-1, 3} << "";
    QTest::newRow("options word")
        << "analog" << ConfigChange([](auto &c) { c.options = {true, false, true}; }) << 1030 << QVector<qint16>{5}
        << "";
    QTest::newRow("th: no options word") << "th" << ConfigChange([](auto &c) { c.options = {true, true, true}; })
                                         << 1030 << none << "";
}

// The request a configuration's write sends at `address`, or why the write is refused.
void TestEditions::configurationWrites()
{
    QFETCH(QString, edition);
    QFETCH(ConfigChange, change);
    QFETCH(int, address);
    QFETCH(QVector<qint16>, registers);
    QFETCH(QString, refusal);
    const Edition &e = editionNamed(edition);
    ControllerConfig config = writable(e);
    change(config);
    const ConfigWrite write = configWrite(e, config);
    const std::optional<WriteRefusal> refused = writeRefusal(e, config);
    QCOMPARE(refused ? refused->message : QString(), refusal);
    if (!refusal.isEmpty())
        return;
    const auto at = std::ranges::find(write.requests, address, &WriteRequest::address);
    QCOMPARE(at == write.requests.end() ? QVector<qint16>() : at->registers, registers);
    QCOMPARE(write.requests.front().address, 10);
    QCOMPARE(std::ranges::count(write.requests, true, &WriteRequest::singleRegister), e.hasOptions ? 1 : 0);
}

QTEST_GUILESS_MAIN(TestEditions)
#include "tst_editions.moc"
