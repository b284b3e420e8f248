#include "telnet_com_port.h"

#include <QTest>

using telnet_com_port::Refusal;
using telnet_com_port::Session;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// The server's chunks fed one after another; what came out of all of them.
Session::Fed feedAll(Session &session, const QList<QByteArray> &chunks)
{
    Session::Fed all;
    for (const QByteArray &chunk : chunks) {
        const Session::Fed fed = session.feed(chunk);
        all.data += fed.data;
        all.answer += fed.answer;
    }
    return all;
}

LineSettings line(int speed, char parity, int dataBits, int stopBits)
{
    return {speed, parity, dataBits, stopBits};
}

// The settings and purge a 9600,n,8,1 line asks for once the server takes the option.
const QByteArray request9600n81 = hex("fffa2c0100002580fff0" "fffa2c0208fff0" "fffa2c0301fff0"
                                      "fffa2c0401fff0" "fffa2c0c03fff0");
const QByteArray replies9600n81 = hex("fffa2c6500002580fff0" "fffa2c6608fff0" "fffa2c6701fff0"
                                      "fffa2c6801fff0");

} // namespace

Q_DECLARE_METATYPE(LineSettings)

class TelnetComPortTest : public QObject {
    Q_OBJECT

private slots:
    void serverBytes_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("answer");

        QTest::newRow("plain data") << QList{hex("0103020001")} << hex("0103020001") << QByteArray();
        QTest::newRow("doubled 0xFF is one data byte") << QList{hex("01ffff02")} << hex("01ff02") << QByteArray();
        QTest::newRow("doubled 0xFF split") << QList{hex("01ff"), hex("ff02")} << hex("01ff02") << QByteArray();
        QTest::newRow("NOP and go-ahead dropped") << QList{hex("01fff1fff902")} << hex("0102") << QByteArray();
        QTest::newRow("echo declined") << QList{hex("fffb01")} << QByteArray() << hex("fffe01");
        QTest::newRow("echo declined once") << QList{hex("fffb01fffb01")} << QByteArray() << hex("fffe01");
        QTest::newRow("terminal type refused") << QList{hex("fffd18")} << QByteArray() << hex("fffc18");
        QTest::newRow("suppress go-ahead taken") << QList{hex("fffb03fffd03")} << QByteArray() << hex("fffd03fffb03");
        QTest::newRow("command split in three") << QList{hex("05ff"), hex("fb"), hex("0106")} << hex("0506") << hex("fffe01");
        QTest::newRow("line state notice dropped") << QList{hex("07fffa2c6a60fff008")} << hex("0708") << QByteArray();
        QTest::newRow("notice split, 0xFF inside") << QList{hex("fffa2c6b"), hex("ffff"), hex("fff0"), hex("09")}
                                                   << hex("09") << QByteArray();
        QTest::newRow("notice without IAC SE") << QList{hex("fffa2c6a00fffb01")} << QByteArray() << hex("fffe01");
        QTest::newRow("overlong subnegotiation") << QList{QByteArray(hex("fffa2c6b") + QByteArray(400, 'x') + hex("fff0aa"))}
                                                 << hex("aa") << QByteArray();
    }
    void serverBytes()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, answer);
        Session session(line(9600, 'n', 8, 1));
        const Session::Fed fed = feedAll(session, chunks);
        QCOMPARE(fed.data.toHex(' '), data.toHex(' '));
        QCOMPARE(fed.answer.toHex(' '), answer.toHex(' '));
    }

    void lineSettings_data()
    {
        QTest::addColumn<LineSettings>("settings");
        QTest::addColumn<QByteArray>("serverSays");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("confirmed");
        QTest::addColumn<Refusal>("refusal");

        const QByteArray takes = hex("fffd2cfffd00fffb00");
        QTest::newRow("9600,n,8,1 confirmed") << line(9600, 'n', 8, 1) << QByteArray(takes + replies9600n81)
                                             << request9600n81 << true << Refusal::None;
        QTest::newRow("19200,e,7,2") << line(19200, 'e', 7, 2)
                                     << QByteArray(takes + hex("fffa2c6500004b00fff0fffa2c6607fff0fffa2c6703fff0fffa2c6802fff0"))
                                     << hex("fffa2c0100004b00fff0fffa2c0207fff0fffa2c0303fff0fffa2c0402fff0fffa2c0c03fff0")
                                     << true << Refusal::None;
        QTest::newRow("odd parity") << line(2400, 'o', 8, 1)
                                    << QByteArray(takes + hex("fffa2c6500000960fff0fffa2c6608fff0fffa2c6702fff0fffa2c6801fff0"))
                                    << hex("fffa2c0100000960fff0fffa2c0208fff0fffa2c0302fff0fffa2c0401fff0fffa2c0c03fff0")
                                    << true << Refusal::None;
        QTest::newRow("speed byte 0xFF escaped") << line(65535, 'n', 8, 1) << takes
                                                 << hex("fffa2c010000ffffffffff" "f0" "fffa2c0208fff0fffa2c0301fff0"
                                                        "fffa2c0401fff0fffa2c0c03fff0")
                                                 << false << Refusal::None;
        QTest::newRow("server offers the option first") << line(9600, 'n', 8, 1) << hex("fffd2c") << request9600n81
                                                        << false << Refusal::None;
        QTest::newRow("option asked twice, line set once") << line(9600, 'n', 8, 1) << hex("fffd2cfffd2c")
                                                           << request9600n81 << false << Refusal::None;
        QTest::newRow("option dropped and taken again, line set once")
            << line(9600, 'n', 8, 1) << hex("fffd2cfffe2cfffd2c")
            << QByteArray(request9600n81 + hex("fffc2cfffb2c")) << false << Refusal::ComPortOption;
        QTest::newRow("no confirmation yet") << line(9600, 'n', 8, 1) << QByteArray(takes + hex("fffa2c6500002580fff0"))
                                             << request9600n81 << false << Refusal::None;
        QTest::newRow("other speed set") << line(9600, 'n', 8, 1) << QByteArray(takes + hex("fffa2c6500004b00fff0"))
                                         << request9600n81 << false << Refusal::Speed;
        QTest::newRow("other parity set") << line(9600, 'n', 8, 1)
                                          << QByteArray(takes + hex("fffa2c6500002580fff0fffa2c6608fff0fffa2c6703fff0"))
                                          << request9600n81 << false << Refusal::Parity;
        QTest::newRow("other stop bits set") << line(9600, 'n', 8, 1)
                                             << QByteArray(takes + hex("fffa2c6802fff0")) << request9600n81 << false
                                             << Refusal::StopBits;
        QTest::newRow("option declined") << line(9600, 'n', 8, 1) << hex("fffe2c") << QByteArray() << false
                                         << Refusal::ComPortOption;
    }
    void lineSettings()
    {
        QFETCH(LineSettings, settings);
        QFETCH(QByteArray, serverSays);
        QFETCH(QByteArray, answer);
        QFETCH(bool, confirmed);
        QFETCH(Refusal, refusal);
        Session session(settings);
        QCOMPARE(session.opening().toHex(' '), hex("fffb2cfffb00fffd00").toHex(' '));
        // Byte by byte: every command and subnegotiation split at every point.
        Session::Fed all;
        for (const char byte : serverSays) {
            const Session::Fed fed = session.feed(QByteArray(1, byte));
            all.data += fed.data;
            all.answer += fed.answer;
        }
        QCOMPARE(all.data, QByteArray());
        QCOMPARE(all.answer.toHex(' '), answer.toHex(' '));
        QCOMPARE(session.lineConfirmed(), confirmed);
        QCOMPARE(session.refusal(), refusal);
    }

    void escaping_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("wire");
        QTest::newRow("no 0xFF") << hex("010300000007") << hex("010300000007");
        QTest::newRow("0xFF doubled") << hex("ff01ff") << hex("ffff01ffff");
        QTest::newRow("only 0xFF") << hex("ffff") << hex("ffffffff");
        QTest::newRow("empty") << QByteArray() << QByteArray();
    }
    void escaping()
    {
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, wire);
        QCOMPARE(Session::escaped(data).toHex(' '), wire.toHex(' '));
        // What goes out comes back as it was.
        Session session(line(9600, 'n', 8, 1));
        QCOMPARE(session.feed(wire).data.toHex(' '), data.toHex(' '));
    }

    void purgeOfReceivedBytes()
    {
        QCOMPARE(Session::purgeReceived().toHex(' '), hex("fffa2c0c01fff0").toHex(' '));
    }
};

QTEST_GUILESS_MAIN(TelnetComPortTest)
#include "tst_telnet_com_port.moc"
