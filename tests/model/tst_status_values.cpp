#include "model/status_values.h"

#include <QTest>

#include <stdexcept>

using namespace alarmcfg;

class TestStatusValues : public QObject {
    Q_OBJECT

private slots:
    void firmwareVersion_data();
    void firmwareVersion();
    void GetNumTbl();
    void sensorValueText_data();
    void sensorValueText();
};

void TestStatusValues::firmwareVersion_data()
{
    QTest::addColumn<qint16>("value");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("supported");
    QTest::newRow("0x21") << qint16(0x21) << "V2.1" << true;
    QTest::newRow("0x20") << qint16(0x20) << "V2.0" << true;
    QTest::newRow("0x1F") << qint16(0x1F) << "V1.15" << false;
    QTest::newRow("0x18") << qint16(0x18) << "V1.8" << false;
    QTest::newRow("0x10") << qint16(0x10) << "V1.0" << false;
    QTest::newRow("0") << qint16(0) << "V0.0" << false;
    QTest::newRow("0x7FFF") << qint16(0x7FFF) << "V2047.15" << true;
    QTest::newRow("0x8000 is negative") << qint16(-32768) << "V-2048.0" << false;
    QTest::newRow("0xFFFF floors to -1") << qint16(-1) << "V-1.15" << false;
    QTest::newRow("0xFFEF") << qint16(-17) << "V-2.15" << false;
}

void TestStatusValues::firmwareVersion()
{
    QFETCH(qint16, value);
    QFETCH(QString, caption);
    QFETCH(bool, supported);
    const FirmwareVersion version = alarmcfg::firmwareVersion(value);
    QCOMPARE(firmwareCaption(version), caption);
    QCOMPARE(isFirmwareSupported(version), supported);
    QCOMPARE(version.major * 16 + version.minor, int(value));
    QVERIFY(version.minor >= 0 && version.minor <= 15);
}

void TestStatusValues::GetNumTbl()
{
    const quint8 expected[] = {1, 2, 4, 8, 16, 32, 64, 128};
    for (int index = 0; index < 8; ++index)
        QCOMPARE(alarmcfg::GetNumTbl(index), expected[index]);
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, alarmcfg::GetNumTbl(-1));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, alarmcfg::GetNumTbl(8));
}

void TestStatusValues::sensorValueText_data()
{
    QTest::addColumn<SensorDisplay>("display");
    QTest::addColumn<int>("channel");
    QTest::addColumn<qint16>("value");
    QTest::addColumn<QString>("text");
    const auto th = SensorDisplay::TemperatureHumidity;
    const auto plain = SensorDisplay::Plain;
    QTest::newRow("23.5^C") << th << 0 << qint16(235) << "23.5^C";
    QTest::newRow("whole degrees") << th << 0 << qint16(250) << "25^C";
    QTest::newRow("negative below one") << th << 0 << qint16(-5) << "-0.5^C";
    QTest::newRow("negative") << th << 0 << qint16(-12) << "-1.2^C";
    QTest::newRow("humidity") << th << 1 << qint16(655) << "65.5%";
    QTest::newRow("zero humidity") << th << 1 << qint16(0) << "0%";
    QTest::newRow("-10 is whole") << th << 0 << qint16(-10) << "-1^C";
    QTest::newRow("most negative") << th << 0 << qint16(-32768) << "-3276.8^C";
    QTest::newRow("largest") << th << 1 << qint16(32767) << "3276.7%";
    QTest::newRow("plain signed") << plain << 0 << qint16(-1) << "-1";
    QTest::newRow("plain no scaling") << plain << 1 << qint16(5000) << "5000";
}

void TestStatusValues::sensorValueText()
{
    QFETCH(SensorDisplay, display);
    QFETCH(int, channel);
    QFETCH(qint16, value);
    QFETCH(QString, text);
    QCOMPARE(alarmcfg::sensorValueText(display, channel, value), text);
}

QTEST_GUILESS_MAIN(TestStatusValues)
#include "tst_status_values.moc"
