#include "model/register_text.h"

#include <QTest>

#include <stdexcept>

using namespace alarmcfg;

namespace {

QString nuls(int count)
{
    return QString(count, QChar(0));
}

// What a slot read returns after `written` registers were stored over `before` (10 registers).
QVector<qint16> slotAfterWrite(QVector<qint16> before, const QVector<qint16> &written)
{
    std::copy(written.begin(), written.end(), before.begin());
    return before;
}

} // namespace

class TestRegisterText : public QObject {
    Q_OBJECT

private slots:
    void textToRegisters_data();
    void textToRegisters();
    void gbkByteLengthCountsChineseTwice_data();
    void gbkByteLengthCountsChineseTwice();
    void unencodableCharacterBecomesQuestionMark_data();
    void unencodableCharacterBecomesQuestionMark();
    void textLongerThanItsSlotThrows();
    void registersToText_data();
    void registersToText();
    void everyZeroByteIsANul();
    void untilFirstNul_data();
    void untilFirstNul();
};

void TestRegisterText::textToRegisters_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("slot"); // registers
    QTest::addColumn<QVector<qint16>>("registers");
    QTest::newRow("empty: one zero register") << QString() << 20 << QVector<qint16>{0};
    QTest::newRow("one letter: its pad byte ends it") << "a" << 20 << QVector<qint16>{0x6100};
    QTest::newRow("even length: one zero register after it") << "ab" << 20 << QVector<qint16>{0x6162, 0};
    QTest::newRow("5 bytes: 3 registers, zero low byte")
        << "abcde" << 20 << QVector<qint16>{0x6162, 0x6364, 0x6500};
    QTest::newRow("Chinese high half first")
        << QString::fromUtf8("设备1开") << 20
        << QVector<qint16>{qint16(0xC9E8), qint16(0xB1B8), 0x31BF, qint16(0xAA00)};
    QTest::newRow("phone slot text: 13 bytes, 7 registers")
        << "8615800000000" << 20
        << QVector<qint16>{0x3836, 0x3135, 0x3830, 0x3030, 0x3030, 0x3030, 0x3000};
    QTest::newRow("NUL characters are zero bytes")
        << QString("ab") + QChar(0) + "c" << 20 << QVector<qint16>{0x6162, 0x0063, 0};
    QVector<qint16> x38(19, 0x7878);
    QTest::newRow("38 bytes: the terminator is the slot's last register")
        << QString(38, u'x') << 20 << x38 + QVector<qint16>{0};
    QTest::newRow("39 bytes: 20 registers, the last byte the pad")
        << QString(39, u'x') << 20 << x38 + QVector<qint16>{0x7800};
    QTest::newRow("40 bytes fill the slot: no terminator")
        << QString(40, u'x') << 20 << x38 + QVector<qint16>{0x7878};
    QTest::newRow("20-byte command before 522: 11 of its 12 registers")
        << QString(20, u'x') << 12 << QVector<qint16>(10, 0x7878) + QVector<qint16>{0};
}

void TestRegisterText::textToRegisters()
{
    QFETCH(QString, text);
    QFETCH(int, slot);
    QFETCH(QVector<qint16>, registers);
    QCOMPARE(alarmcfg::textToRegisters(text, slot), registers);
}

void TestRegisterText::gbkByteLengthCountsChineseTwice_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("bytes");
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("password and command: 6+1+7") << QString::fromUtf8("739164*设备1开") << 14;
    QTest::newRow("20 bytes") << QString::fromUtf8("123456*设备1开启成功") << 20;
    QTest::newRow("21 bytes") << QString::fromUtf8("1234567*设备1开启成功") << 21;
}

void TestRegisterText::gbkByteLengthCountsChineseTwice()
{
    QFETCH(QString, text);
    QFETCH(int, bytes);
    QCOMPARE(gbkByteLength(text), bytes);
}

void TestRegisterText::unencodableCharacterBecomesQuestionMark_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVector<qint16>>("registers");
    QTest::newRow("outside the BMP") << QString::fromUtf8("a😀b") << QVector<qint16>{0x613F, 0x6200};
    QTest::newRow("euro sign kept, no near match for a-umlaut")
        << QString::fromUtf8("a€ä") << QVector<qint16>{0x6180, 0x3F00};
    QTest::newRow("lone high surrogate at the end")
        << QString("ab") + QChar(0xD83D) << QVector<qint16>{0x6162, 0x3F00};
    QTest::newRow("lone low surrogate") << "a" + QString(QChar(0xDE00)) + "b"
                                        << QVector<qint16>{0x613F, 0x6200};
}

void TestRegisterText::unencodableCharacterBecomesQuestionMark()
{
    QFETCH(QString, text);
    QFETCH(QVector<qint16>, registers);
    QVERIFY(!isGbkEncodable(text));
    QVERIFY(isGbkEncodable(QString::fromUtf8("设备1开")));
    QCOMPARE(gbkByteLength(text), 3);
    QCOMPARE(alarmcfg::textToRegisters(text, 20), registers);
}

// Nothing a write sends reaches beyond its slot, Chinese characters counted as two bytes.
void TestRegisterText::textLongerThanItsSlotThrows()
{
    QCOMPARE(alarmcfg::textToRegisters(QString(20, u'一'), 20).size(), 20);
    QVERIFY_THROWS_EXCEPTION(std::length_error, alarmcfg::textToRegisters(QString(41, u'x'), 20));
    QVERIFY_THROWS_EXCEPTION(std::length_error, alarmcfg::textToRegisters("x" + QString(20, u'一'), 20));
    QVERIFY_THROWS_EXCEPTION(std::length_error, alarmcfg::textToRegisters(QString(40000, u'x'), 20000));
}

void TestRegisterText::registersToText_data()
{
    QTest::addColumn<QVector<qint16>>("registers");
    QTest::addColumn<QString>("text");

    const QString twenty = QString::fromUtf8("设备1开启成功abcdefg"); // 13 + 7 = 20 bytes
    const QVector<qint16> twentyRegisters = alarmcfg::textToRegisters(twenty, 10);
    QTest::newRow("20 bytes read back whole") << twentyRegisters << twenty + nuls(1);

    const QString longer = twenty + QString::fromUtf8("更多");
    QTest::newRow("longer text cut to its first 20 bytes")
        << alarmcfg::textToRegisters(longer, 20).mid(0, 10) << twenty + nuls(1);

    const QVector<qint16> zeros(10, 0);
    QTest::newRow("5 bytes then NULs")
        << slotAfterWrite(zeros, alarmcfg::textToRegisters("abcde", 20)) << "abcde" + nuls(16);

    const QVector<qint16> older = slotAfterWrite(zeros, alarmcfg::textToRegisters("ABCDEFGH", 20));
    QTest::newRow("2 bytes over an older 8-byte text end at their zero register")
        << slotAfterWrite(older, alarmcfg::textToRegisters("xy", 20)) << "xy" + nuls(2) + "EFGH" + nuls(13);

    QTest::newRow("only zero bytes") << zeros << nuls(21);
    QTest::newRow("empty reply") << QVector<qint16>{} << nuls(1);
    QTest::newRow("lead byte before a zero byte")
        << QVector<qint16>{qint16(0x41D6), 0x0042} << QString("A") + QChar(QChar::ReplacementCharacter) + nuls(1)
        + "B" + nuls(1);
    QTest::newRow("lone lead byte at the end of the 20 bytes")
        << QVector<qint16>{0x4142, qint16(0x43D6)}
        << QString("ABC") + QChar(QChar::ReplacementCharacter) + nuls(1);
}

void TestRegisterText::registersToText()
{
    QFETCH(QVector<qint16>, registers);
    QFETCH(QString, text);
    QCOMPARE(alarmcfg::registersToText(registers), text);
}

void TestRegisterText::everyZeroByteIsANul()
{
    // Invalid GBK must not swallow the zero bytes around it, nor crash.
    const QVector<qint16> invalid{qint16(0xFF00), qint16(0x8100), qint16(0xFFFF), 0x0000, qint16(0x8130),
                                  qint16(0xD600), 0x0041, qint16(0x80FF), qint16(0xA1A1), qint16(0xFE00)};
    const QString text = alarmcfg::registersToText(invalid);
    QCOMPARE(text.count(QChar(0)), 8);
    QVERIFY(text.endsWith(QChar(0)));
    QVERIFY(text.contains(u'A'));
}

void TestRegisterText::untilFirstNul_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("no NUL") << "abc" << "abc";
    QTest::newRow("trailing NULs") << "abc" + nuls(3) << "abc";
    QTest::newRow("older bytes after the NUL") << "ab" + nuls(1) + "old" << "ab";
    QTest::newRow("NUL first") << nuls(1) + "x" << QString();
    QTest::newRow("empty") << QString() << QString();
}

void TestRegisterText::untilFirstNul()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(alarmcfg::untilFirstNul(text), shown);
}

QTEST_GUILESS_MAIN(TestRegisterText)
#include "tst_register_text.moc"
