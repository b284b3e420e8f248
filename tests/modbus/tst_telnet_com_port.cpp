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
        all.lineError = all.lineError || fed.lineError;
    }
    return all;
}

LineSettings line(int speed, char parity, int dataBits, int stopBits)
{
    return {speed, parity, dataBits, stopBits};
}

// After the four settings: no flow control, DTR and RTS on, parity and framing errors notified,
// and a purge of both buffers.
const QByteArray requestTail = hex("fffa2c0501fff0" "fffa2c0508fff0" "fffa2c050bfff0" "fffa2c0a0cfff0"
                                   "fffa2c0c03fff0");
// The server's answer to "no flow control".
const QByteArray noFlowAnswer = hex("fffa2c6901fff0");
// The settings and purge a 9600,n,8,1 line asks for once the server takes the option.
const QByteArray request9600n81 = hex("fffa2c0100002580fff0" "fffa2c0208fff0" "fffa2c0301fff0"
                                      "fffa2c0401fff0") + requestTail;
const QByteArray replies9600n81 = hex("fffa2c6500002580fff0" "fffa2c6608fff0" "fffa2c6701fff0"
                                      "fffa2c6801fff0") + noFlowAnswer;

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
        QTest::addColumn<bool>("lineError");

        QTest::newRow("plain data") << QList{hex("0103020001")} << hex("0103020001") << QByteArray() << false;
        QTest::newRow("doubled 0xFF is one data byte") << QList{hex("01ffff02")} << hex("01ff02") << QByteArray() << false;
        QTest::newRow("doubled 0xFF split") << QList{hex("01ff"), hex("ff02")} << hex("01ff02") << QByteArray() << false;
        QTest::newRow("NOP and go-ahead dropped") << QList{hex("01fff1fff902")} << hex("0102") << QByteArray() << false;
        QTest::newRow("echo declined") << QList{hex("fffb01")} << QByteArray() << hex("fffe01") << false;
        QTest::newRow("echo declined once") << QList{hex("fffb01fffb01")} << QByteArray() << hex("fffe01") << false;
        QTest::newRow("terminal type refused") << QList{hex("fffd18")} << QByteArray() << hex("fffc18") << false;
        QTest::newRow("suppress go-ahead taken") << QList{hex("fffb03fffd03")} << QByteArray() << hex("fffd03fffb03") << false;
        QTest::newRow("command split in three") << QList{hex("05ff"), hex("fb"), hex("0106")} << hex("0506") << hex("fffe01") << false;
        QTest::newRow("line state notice dropped") << QList{hex("07fffa2c6a60fff008")} << hex("0708") << QByteArray() << false;
        QTest::newRow("notice split, 0xFF inside") << QList{hex("fffa2c6b"), hex("ffff"), hex("fff0"), hex("09")}
                                                   << hex("09") << QByteArray() << false;
        QTest::newRow("notice without IAC SE") << QList{hex("fffa2c6a00fffb01")} << QByteArray() << hex("fffe01") << false;
        QTest::newRow("overlong subnegotiation") << QList{QByteArray(hex("fffa2c6b") + QByteArray(400, 'x') + hex("fff0aa"))}
                                                 << hex("aa") << QByteArray() << false;
        // What real servers send between data bytes: notices, NOP, options and subnegotiations
        // we do not know.
        QTest::newRow("modem state notice between data") << QList{hex("01fffa2c6bbbfff002")} << hex("0102")
                                                          << QByteArray() << false;
        QTest::newRow("unknown subnegotiations between data")
            << QList{hex("01fffa1801fff002fffa2c55ffff00fff003")} << hex("010203") << QByteArray() << false;
        QTest::newRow("notices one byte each") << QList{hex("01"), hex("ff"), hex("fa"), hex("2c"), hex("6b"), hex("30"),
                                                        hex("ff"), hex("f0"), hex("02")}
                                               << hex("0102") << QByteArray() << false;
        QTest::newRow("parity error notified") << QList{hex("01fffa2c6a04fff002")} << hex("0102") << QByteArray() << true;
        QTest::newRow("framing error notified") << QList{hex("fffa2c6a68fff0")} << QByteArray() << QByteArray() << true;
        QTest::newRow("line state without errors") << QList{hex("fffa2c6a61fff0")} << QByteArray() << QByteArray() << false;
    }

    void serverBytes()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, answer);
        QFETCH(bool, lineError);
        Session session(line(9600, 'n', 8, 1));
        const Session::Fed fed = feedAll(session, chunks);
        QCOMPARE(fed.data.toHex(' '), data.toHex(' '));
        QCOMPARE(fed.answer.toHex(' '), answer.toHex(' '));
        QCOMPARE(fed.lineError, lineError);
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
                                     << QByteArray(takes + hex("fffa2c6500004b00fff0fffa2c6607fff0fffa2c6703fff0fffa2c6802fff0")
                                                   + noFlowAnswer)
                                     << QByteArray(hex("fffa2c0100004b00fff0fffa2c0207fff0fffa2c0303fff0fffa2c0402fff0")
                                                   + requestTail)
                                     << true << Refusal::None;
        QTest::newRow("odd parity") << line(2400, 'o', 8, 1)
                                    << QByteArray(takes + hex("fffa2c6500000960fff0fffa2c6608fff0fffa2c6702fff0fffa2c6801fff0")
                                                  + noFlowAnswer)
                                    << QByteArray(hex("fffa2c0100000960fff0fffa2c0208fff0fffa2c0302fff0fffa2c0401fff0")
                                                  + requestTail)
                                    << true << Refusal::None;
        QTest::newRow("speed byte 0xFF escaped") << line(65535, 'n', 8, 1) << takes
                                                 << QByteArray(hex("fffa2c010000ffffffffff" "f0" "fffa2c0208fff0fffa2c0301fff0"
                                                                   "fffa2c0401fff0")
                                                               + requestTail)
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
        // Servers as they are: answers with bytes after the value, DTR and RTS refused on a line
        // without modem lines, anything in between.
        QTest::newRow("speed answer with four more bytes (sredird)")
            << line(9600, 'n', 8, 1) << QByteArray(takes + hex("fffa2c650000258000000000fff0") + replies9600n81.sliced(10))
            << request9600n81 << true << Refusal::None;
        QTest::newRow("DTR and RTS refused") << line(9600, 'n', 8, 1)
                                             << QByteArray(takes + replies9600n81 + hex("fffa2c6909fff0fffa2c690cfff0"))
                                             << request9600n81 << true << Refusal::None;
        QTest::newRow("DTR and RTS answered with the flow control (sredird)")
            << line(9600, 'n', 8, 1) << QByteArray(takes + replies9600n81 + noFlowAnswer + noFlowAnswer)
            << request9600n81 << true << Refusal::None;
        QTest::newRow("notices and unknown subnegotiations among the answers")
            << line(9600, 'n', 8, 1)
            << QByteArray(takes + hex("fffa2c6bbbfff0fff1fffa2c6e00fff0fffa1801fff0") + replies9600n81
                          + hex("fffa2c7003fff0"))
            << request9600n81 << true << Refusal::None;
        QTest::newRow("no answer to the flow control yet")
            << line(9600, 'n', 8, 1) << QByteArray(takes + replies9600n81.chopped(noFlowAnswer.size()))
            << request9600n81 << false << Refusal::None;
        QTest::newRow("hardware flow control kept")
            << line(9600, 'n', 8, 1) << QByteArray(takes + replies9600n81.chopped(noFlowAnswer.size()) + hex("fffa2c6903fff0"))
            << request9600n81 << false << Refusal::FlowControl;
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

    void purgeOfReceivedBytes_data()
    {
        QTest::addColumn<bool>("givenUp"); // the port stopped waiting before the acknowledgement
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QByteArray>("kept"); // the data the port keeps
        QTest::addColumn<bool>("awaited");

        QTest::newRow("data before the acknowledgement dropped")
            << false << QList{hex("0102fffa2c7001fff00304")} << hex("0304") << false;
        QTest::newRow("acknowledgement in pieces")
            << false << QList{hex("0102fffa2c"), hex("70"), hex("01fff003")} << hex("03") << false;
        QTest::newRow("no acknowledgement yet") << false << QList{hex("0102")} << hex("0102") << true;
        QTest::newRow("late acknowledgement after giving up drops nothing")
            << true << QList{hex("0102fffa2c7001fff003")} << hex("010203") << false;
    }
    void purgeOfReceivedBytes()
    {
        QFETCH(bool, givenUp);
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QByteArray, kept);
        QFETCH(bool, awaited);
        Session session(line(9600, 'n', 8, 1));
        QCOMPARE(session.purgeReceived().toHex(' '), hex("fffa2c0c01fff0").toHex(' '));
        QVERIFY(session.purgeAwaited());
        if (givenUp)
            session.forgetPurges();
        QByteArray data;
        for (const QByteArray &chunk : chunks) {
            const Session::Fed fed = session.feed(chunk);
            if (fed.purged)
                data.clear();
            data += fed.data;
        }
        QCOMPARE(data.toHex(' '), kept.toHex(' '));
        QCOMPARE(session.purgeAwaited(), awaited);
    }
};

QTEST_GUILESS_MAIN(TelnetComPortTest)
#include "tst_telnet_com_port.moc"
