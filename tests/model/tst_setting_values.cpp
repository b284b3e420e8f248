#include "model/setting_values.h"

#include <QTest>

using namespace alarmcfg;

Q_DECLARE_METATYPE(std::optional<qint16>)

class TestSettingValues : public QObject {
    Q_OBJECT

private slots:
    void registerValueOfText_data();
    void registerValueOfText();
    void optionsWord_data();
    void optionsWord();
    void optionBits_data();
    void optionBits();
    void rangeIndexOfCode_data();
    void rangeIndexOfCode();
};

void TestSettingValues::registerValueOfText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::optional<qint16>>("value");
    const std::optional<qint16> outOfRange;
    QTest::newRow("plain") << "5000" << std::optional<qint16>(5000);
    QTest::newRow("2.5 to even") << "2.5" << std::optional<qint16>(2);
    QTest::newRow("3.5 to even") << "3.5" << std::optional<qint16>(4);
    QTest::newRow("-2.5 to even") << "-2.5" << std::optional<qint16>(-2);
    QTest::newRow("-3.5 to even") << "-3.5" << std::optional<qint16>(-4);
    QTest::newRow("0.5 to even") << "0.5" << std::optional<qint16>(0);
    QTest::newRow("above the half") << "2.51" << std::optional<qint16>(3);
    QTest::newRow("below the half") << "2.49999" << std::optional<qint16>(2);
    QTest::newRow("half with trailing zeros") << "2.5000" << std::optional<qint16>(2);
    QTest::newRow("fraction only") << ".7" << std::optional<qint16>(1);
    QTest::newRow("leading blanks and plus") << "  +12" << std::optional<qint16>(12);
    QTest::newRow("trailing letters ignored") << "12abc" << std::optional<qint16>(12);
    QTest::newRow("letters only") << "abc" << std::optional<qint16>(0);
    QTest::newRow("empty") << QString() << std::optional<qint16>(0);
    QTest::newRow("sign only") << "-" << std::optional<qint16>(0);
    QTest::newRow("minus zero") << "-0.4" << std::optional<qint16>(0);
    QTest::newRow("lowest") << "-32768" << std::optional<qint16>(-32768);
    QTest::newRow("highest") << "32767" << std::optional<qint16>(32767);
    QTest::newRow("rounds into range") << "32767.4" << std::optional<qint16>(32767);
    QTest::newRow("rounds out of range") << "32767.5" << outOfRange;
    QTest::newRow("below range after rounding") << "-32768.6" << outOfRange;
    QTest::newRow("32768") << "32768" << outOfRange;
    QTest::newRow("40000") << "40000" << outOfRange;
    QTest::newRow("huge") << "99999999999999999999999" << outOfRange;
    QTest::newRow("leading zeros") << "000000000000000000000012" << std::optional<qint16>(12);
}

void TestSettingValues::registerValueOfText()
{
    QFETCH(QString, text);
    QFETCH(std::optional<qint16>, value);
    QCOMPARE(alarmcfg::registerValueOfText(text), value);
}

void TestSettingValues::optionsWord_data()
{
    QTest::addColumn<OptionStates>("states");
    QTest::addColumn<qint16>("word");
    QTest::newRow("none") << OptionStates{Qt::Unchecked, Qt::Unchecked, Qt::Unchecked} << qint16(0);
    QTest::newRow("all") << OptionStates{Qt::Checked, Qt::Checked, Qt::Checked} << qint16(7);
    QTest::newRow("greyed counts as clear")
        << OptionStates{Qt::PartiallyChecked, Qt::Checked, Qt::PartiallyChecked} << qint16(2);
    QTest::newRow("hold only") << OptionStates{Qt::Checked, Qt::Unchecked, Qt::Unchecked} << qint16(1);
    QTest::newRow("answer only") << OptionStates{Qt::Unchecked, Qt::Unchecked, Qt::Checked} << qint16(4);
}

void TestSettingValues::optionsWord()
{
    QFETCH(OptionStates, states);
    QFETCH(qint16, word);
    QCOMPARE(alarmcfg::optionsWord(states), word);
}

void TestSettingValues::optionBits_data()
{
    QTest::addColumn<qint16>("word");
    QTest::addColumn<OptionBits>("bits");
    QTest::newRow("6") << qint16(6) << OptionBits{false, true, true};
    QTest::newRow("0") << qint16(0) << OptionBits{false, false, false};
    QTest::newRow("other bits ignored") << qint16(-8) << OptionBits{false, false, false};
    QTest::newRow("all bits") << qint16(-1) << OptionBits{true, true, true};
}

void TestSettingValues::optionBits()
{
    QFETCH(qint16, word);
    QFETCH(OptionBits, bits);
    QCOMPARE(alarmcfg::optionBits(word), bits);
}

void TestSettingValues::rangeIndexOfCode_data()
{
    QTest::addColumn<qint16>("code");
    QTest::addColumn<int>("index"); // -1: selection unchanged
    QTest::newRow("0~5V") << qint16(0) << 0;
    QTest::newRow("0~10V") << qint16(3) << 3;
    QTest::newRow("4 unknown") << qint16(4) << -1;
    QTest::newRow("7 unknown") << qint16(7) << -1;
    QTest::newRow("negative") << qint16(-1) << -1;
}

void TestSettingValues::rangeIndexOfCode()
{
    QFETCH(qint16, code);
    QFETCH(int, index);
    QCOMPARE(alarmcfg::rangeIndexOfCode(code).value_or(-1), index);
}

QTEST_GUILESS_MAIN(TestSettingValues)
#include "tst_setting_values.moc"
