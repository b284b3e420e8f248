#include "modbus/conversion.h"
#include "modbus/modbus.h"

#include <QTest>

#include <functional>
#include <stdexcept>


namespace {

enum class Failure { None, OutOfRange, Overflow };

// Runs a conversion and reports which failure, if any, ended it.
Failure failureOf(const std::function<void()> &call)
{
    try {
        call();
        return Failure::None;
    } catch (const std::out_of_range &) {
        return Failure::OutOfRange;
    } catch (const std::overflow_error &) {
        return Failure::Overflow;
    }
}

QVector<quint8> bytesOf(const char *hexText)
{
    const QByteArray raw = QByteArray::fromHex(hexText);
    return QVector<quint8>(raw.begin(), raw.end());
}

} // namespace

class CrcConversionTest : public QObject {
    Q_OBJECT

private slots:
    void crc_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("high");
        QTest::addColumn<int>("low");
        QTest::newRow("read request") << QByteArray::fromHex("010300000001") << 6 << 0x0A << 0x84;
        QTest::newRow("function 4 request") << QByteArray::fromHex("010400000001") << 6 << 0xCA << 0x31;
        QTest::newRow("function 6 request") << QByteArray::fromHex("01060005000F") << 6 << 0xCF << 0xD9;
        QTest::newRow("function 16 request") << QByteArray::fromHex("011000000001020041") << 9 << 0x60 << 0x66;
        QTest::newRow("read reply") << QByteArray::fromHex("010302002A") << 5 << 0x9B << 0x39;
        QTest::newRow("check string") << QByteArray("123456789") << 9 << 0x4B << 0x37;
        QTest::newRow("frame with its CRC leaves 0") << QByteArray::fromHex("01060005000FD9CF") << 8 << 0 << 0;
        QTest::newRow("prefix only") << QByteArray::fromHex("010300000001") << 3 << 0xF0 << 0x20;
        QTest::newRow("count 0") << QByteArray::fromHex("0103") << 0 << 0xFF << 0xFF;
        QTest::newRow("negative count") << QByteArray::fromHex("0103") << -4 << 0xFF << 0xFF;
    }
    void crc()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, count);
        QFETCH(int, high);
        QFETCH(int, low);
        const std::array<quint8, 2> expected{quint8(high), quint8(low)};
        QCOMPARE(CrcCheck::GetCrc16(data, count), expected);
        QCOMPARE(CrcCheck::GetCrc16(reinterpret_cast<const quint8 *>(data.constData()), count), expected);
    }

    void crcCountBeyondData()
    {
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, CrcCheck::GetCrc16(QByteArray("ab"), 3));
    }

    void integersToBytes_data()
    {
        QTest::addColumn<QVector<qint16>>("ints");
        QTest::addColumn<int>("byteSize");
        QTest::addColumn<int>("length");
        QTest::addColumn<QVector<quint8>>("expected");
        QTest::addColumn<int>("failure");
        const auto none = int(Failure::None);
        const auto range = int(Failure::OutOfRange);
        const auto overflow = int(Failure::Overflow);
        QTest::newRow("signed values") << QVector<qint16>{-1, 256, 0} << 6 << 3 << bytesOf("FFFF01000000") << none;
        QTest::newRow("extremes") << QVector<qint16>{-32768, 32767, -256} << 6 << 3 << bytesOf("80007FFFFF00") << none;
        QTest::newRow("length 0 writes nothing") << QVector<qint16>{5} << 2 << 0 << bytesOf("AAAA") << none;
        QTest::newRow("negative length writes nothing") << QVector<qint16>{5} << 2 << -3 << bytesOf("AAAA") << none;
        QTest::newRow("longer arrays keep their tail") << QVector<qint16>{1, 2} << 4 << 1 << bytesOf("0001AAAA") << none;
        QTest::newRow("byte array one short") << QVector<qint16>{0x0102, 0x0304} << 3 << 2 << bytesOf("010203") << range;
        QTest::newRow("integer array short") << QVector<qint16>{5} << 4 << 2 << bytesOf("0005AAAA") << range;
        QTest::newRow("length -32768") << QVector<qint16>{5} << 2 << -32768 << bytesOf("AAAA") << overflow;
    }
    void integersToBytes()
    {
        QFETCH(QVector<qint16>, ints);
        QFETCH(int, byteSize);
        QFETCH(int, length);
        QFETCH(QVector<quint8>, expected);
        QFETCH(int, failure);
        QVector<quint8> bytes(byteSize, 0xAA);
        modbus component;
        qint16 len = qint16(length);
        bool result = false;
        QCOMPARE(int(failureOf([&] { result = component.ConvertIntegerTobytes(ints, bytes, len); })), failure);
        QCOMPARE(bytes, expected);
        QCOMPARE(len, qint16(length));
        QCOMPARE(result, failure == int(Failure::None));
    }

    void byteIndexAbove32767Overflows()
    {
        const QVector<qint16> ints(16385, 0x0102);
        QVector<quint8> bytes(32770, 0);
        QVERIFY_THROWS_EXCEPTION(std::overflow_error, RegisterBytes::integersToBytes(ints, bytes, 16385));
        QCOMPARE(bytes[32767], quint8(0x02));   // the values before the failing index stay written
        QCOMPARE(bytes[32768], quint8(0));
    }

    void bytesToIntegers_data()
    {
        QTest::addColumn<QVector<quint8>>("bytes");
        QTest::addColumn<int>("intSize");
        QTest::addColumn<int>("length");
        QTest::addColumn<QVector<qint16>>("expected");
        QTest::addColumn<int>("failure");
        const auto none = int(Failure::None);
        const auto range = int(Failure::OutOfRange);
        QTest::newRow("negative values") << bytesOf("8000FFFE") << 2 << 4 << QVector<qint16>{-32768, -2} << none;
        QTest::newRow("positive value") << bytesOf("0105") << 1 << 2 << QVector<qint16>{261} << none;
        QTest::newRow("length 3 ignores the third byte") << bytesOf("00070009") << 2 << 3 << QVector<qint16>{7, 99} << none;
        QTest::newRow("length 5 reads six bytes") << bytesOf("000100020003") << 3 << 5 << QVector<qint16>{1, 2, 3} << none;
        QTest::newRow("length 5 on five bytes") << bytesOf("0001000200") << 3 << 5 << QVector<qint16>{1, 2, 99} << range;
        QTest::newRow("integer array short") << bytesOf("00010002") << 1 << 4 << QVector<qint16>{1} << range;
        QTest::newRow("length 0") << bytesOf("0001") << 1 << 0 << QVector<qint16>{99} << none;
        QTest::newRow("negative length") << bytesOf("0001") << 1 << -7 << QVector<qint16>{99} << none;
    }
    void bytesToIntegers()
    {
        QFETCH(QVector<quint8>, bytes);
        QFETCH(int, intSize);
        QFETCH(int, length);
        QFETCH(QVector<qint16>, expected);
        QFETCH(int, failure);
        QVector<qint16> ints(intSize, 99);
        modbus component;
        qint16 len = qint16(length);
        QCOMPARE(int(failureOf([&] { component.ConvertBytesToIntegers(ints, bytes, len); })), failure);
        QCOMPARE(ints, expected);
    }

    void valueCount_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("count");
        const int table[][2] = {{1, 1}, {2, 1}, {3, 1}, {4, 2}, {5, 3}, {7, 3}, {9, 5}, {11, 5},
                                {0, 0}, {-1, 0}, {-32768, 0}, {32766, 16383}, {32767, 16383}};
        for (const auto &row : table)
            QTest::addRow("%d", row[0]) << row[0] << row[1];
    }
    void valueCount()
    {
        QFETCH(int, length);
        QFETCH(int, count);
        QCOMPARE(RegisterBytes::valueCount(qint16(length)), count);
    }
};

QTEST_MAIN(CrcConversionTest)
#include "tst_crc_conversion.moc"
