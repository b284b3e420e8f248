#include "modbus_rig.h"

#include <QTest>

using Ms = FakeSerialPort::Milliseconds;

namespace {

const QByteArray goodRead = hex("010302002A399B");   // slave 1, one register holding 42

QByteArray lastByteChanged(QByteArray frame)
{
    frame[frame.size() - 1] = char(frame[frame.size() - 1] ^ 0x01);
    return frame;
}

} // namespace

class RepliesTest : public QObject {
    Q_OBJECT

private slots:
    // FC03 slave 1, start 0, count 1 answered by one scripted reply.
    void readOutcome_data()
    {
        QTest::addColumn<FakeSerialPort::Script>("script");
        QTest::addColumn<int>("timeOut");
        QTest::addColumn<QString>("event");
        QTest::addColumn<QList<int>>("args");
        QTest::addColumn<QVector<qint16>>("registerData");
        const auto at = [](int ms, const QByteArray &bytes) {
            return FakeSerialPort::Script{{{Ms(ms), bytes}}, {}, {}};
        };
        const QList<int> good{1002, 1001, 1, 0, 1};
        QTest::newRow("good reply") << at(5, goodRead) << 500 << "FC03" << good << QVector<qint16>{42, 0};
        QTest::newRow("negative register") << at(5, withCrc(hex("010302FF85"))) << 500 << "FC03" << good << QVector<qint16>{-123, 0};
        QTest::newRow("wrong function code accepted") << at(5, withCrc(hex("010402002A"))) << 500 << "FC03" << good << QVector<qint16>{42, 0};
        QTest::newRow("byte count not checked") << at(5, withCrc(hex("010377002A"))) << 500 << "FC03" << good << QVector<qint16>{42, 0};
        QTest::newRow("CRC wrong") << at(5, lastByteChanged(goodRead)) << 500 << "Error" << QList<int>{1002, 1003} << QVector<qint16>{};
        QTest::newRow("other slave") << at(5, withCrc(hex("020302002A"))) << 500 << "Error" << QList<int>{1002, 1001} << QVector<qint16>{};
        QTest::newRow("other slave and CRC wrong: CRC first") << at(5, lastByteChanged(withCrc(hex("020302002A")))) << 500 << "Error" << QList<int>{1002, 1003} << QVector<qint16>{};
        QTest::newRow("no reply") << FakeSerialPort::Script{} << 500 << "Error" << QList<int>{1002, 1000} << QVector<qint16>{};
        QTest::newRow("reply too long") << at(5, goodRead + 'x') << 500 << "Error" << QList<int>{1002, 1000} << QVector<qint16>{};
        QTest::newRow("reply too short") << at(5, goodRead.left(6)) << 500 << "Error" << QList<int>{1002, 1000} << QVector<qint16>{};
        QTest::newRow("complete exactly at the time-out") << at(500, goodRead) << 500 << "FC03" << good << QVector<qint16>{42, 0};
        QTest::newRow("complete just after the time-out") << at(501, goodRead) << 500 << "Error" << QList<int>{1002, 1000} << QVector<qint16>{};
        QTest::newRow("trickling past the time-out")
            << FakeSerialPort::Script{{{Ms(300), goodRead.left(4)}, {Ms(700), goodRead.mid(4)}}, {}, {}}
            << 500 << "Error" << QList<int>{1002, 1000} << QVector<qint16>{};
        QTest::newRow("in chunks within the time-out")
            << FakeSerialPort::Script{{{Ms(3), goodRead.left(1)}, {Ms(40), goodRead.mid(1, 4)}, {Ms(90), goodRead.mid(5)}}, {}, {}}
            << 500 << "FC03" << good << QVector<qint16>{42, 0};
        QTest::newRow("parity error") << FakeSerialPort::Script{{{Ms(20), goodRead}}, Ms(10), {}} << 500 << "Error" << QList<int>{1002, 1004} << QVector<qint16>{};
        QTest::newRow("time-out 0, immediate reply") << at(0, goodRead) << 0 << "FC03" << good << QVector<qint16>{42, 0};
        QTest::newRow("time-out 0, reply after 1 ms") << at(1, goodRead) << 0 << "Error" << QList<int>{1002, 1000} << QVector<qint16>{};
        QTest::newRow("negative time-out") << at(0, goodRead) << -1 << "Error" << QList<int>{1002, 1000} << QVector<qint16>{};
    }
    void readOutcome()
    {
        QFETCH(FakeSerialPort::Script, script);
        QFETCH(int, timeOut);
        QFETCH(QString, event);
        QFETCH(QList<int>, args);
        QFETCH(QVector<qint16>, registerData);
        ModbusRig rig;
        rig.component.setRespondTimeOut(qint16(timeOut));
        rig.port->expect(script);
        const bool result = rig.component.FC03_ReadHoldingRegister_4X(1, 0, 1);
        QCOMPARE(rig.events.size(), 1);
        const RaisedEvent raised = rig.events.first();
        QCOMPARE(raised.name, event);
        QCOMPARE(raised.args, args);
        QCOMPARE(raised.registerData, registerData);
        QCOMPARE(raised.statusInside, args[0]);
        QCOMPARE(raised.errorInside, args[1]);
        QCOMPARE(result, event != "Error");
        QCOMPARE(rig.component.CommStatus(), qint16(0));
        QCOMPARE(rig.component.CommError(), qint16(0));
        QVERIFY(rig.messages.texts.isEmpty());
        QCOMPARE(rig.port->stalledWaits, 0);
        // Asked instead of watched, and seen once by the traffic observer.
        const RequestOutcome outcome{result ? RequestOutcome::Kind::Answered : RequestOutcome::Kind::Failed,
                                     CommErrorCode(result ? 0 : args[1])};
        QVERIFY(rig.component.lastRequestOutcome() == outcome);
        QCOMPARE(rig.traffic.size(), 1);
        QCOMPARE(rig.traffic[0].request, rig.port->written.value(0));
        QVERIFY(rig.traffic[0].outcome == outcome);
        QCOMPARE(rig.traffic[0].reply.isEmpty(), args[1] == 1000 || args[1] == 1004);
    }

    void timeOutEndsAfterRespondTimeOut()
    {
        ModbusRig rig;
        rig.component.setRespondTimeOut(1234);
        QCOMPARE(rig.component.FC04_ReadInputRegister_3X(1, 0, 1), false);
        QVERIFY(rig.port->sinceLastWrite() > 1234);
        QVERIFY(rig.port->sinceLastWrite() <= 1236);
    }

    void exceptionReplyIsATimeOut()
    {
        ModbusRig rig;
        rig.port->reply(withCrc(hex("018302")));
        QCOMPARE(rig.component.FC03_ReadHoldingRegister_4X(1, 0, 2), false);
        QCOMPARE(rig.events.first().args, (QList<int>{1002, 1000}));
    }

    void readOfZeroRegistersTakesFiveBytes()
    {
        ModbusRig rig;
        rig.port->reply(withCrc(hex("018302")));
        QCOMPARE(rig.component.FC03_ReadHoldingRegister_4X(1, 7, 0), true);
        QCOMPARE(rig.events.first().args, (QList<int>{1002, 1001, 1, 7, 0}));
        QCOMPARE(rig.events.first().registerData, QVector<qint16>{0});
    }

    void functionFourRaisesItsOwnEvent()
    {
        ModbusRig rig;
        rig.port->reply(withCrc(hex("0104040001FFFF")));
        QCOMPARE(rig.component.FC04_ReadInputRegister_3X(1, 3, 2), true);
        QCOMPARE(rig.events.first().name, QString("FC04"));
        QCOMPARE(rig.events.first().args, (QList<int>{1002, 1001, 1, 3, 2}));
        QCOMPARE(rig.events.first().registerData, (QVector<qint16>{1, -1, 0}));
    }

    void writeOutcome_data()
    {
        QTest::addColumn<int>("function");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("event");
        QTest::addColumn<QList<int>>("args");
        // FC06: register 5, value 15. FC16: three values 7, 8, 9 at 0x0010.
        QTest::newRow("FC06 confirmed") << 6 << hex("01060005000FD9CF") << "FC06" << QList<int>{1001, 0, 1, 5, 15};
        QTest::newRow("FC06 other value") << 6 << withCrc(hex("010600050010")) << "Error" << QList<int>{1002, 1005};
        QTest::newRow("FC06 other address") << 6 << withCrc(hex("01060006000F")) << "Error" << QList<int>{1002, 1002};
        QTest::newRow("FC06 address checked first") << 6 << withCrc(hex("010600060010")) << "Error" << QList<int>{1002, 1002};
        QTest::newRow("FC06 CRC wrong") << 6 << lastByteChanged(hex("01060005000FD9CF")) << "Error" << QList<int>{1002, 1003};
        QTest::newRow("FC06 other slave") << 6 << withCrc(hex("02060005000F")) << "Error" << QList<int>{1002, 1001};
        QTest::newRow("FC06 exception reply") << 6 << withCrc(hex("018602")) << "Error" << QList<int>{1002, 1000};
        QTest::newRow("FC16 confirmed") << 16 << withCrc(hex("011000100003")) << "FC16" << QList<int>{1001, 0, 1, 16, 7};
        QTest::newRow("FC16 other count") << 16 << withCrc(hex("011000100002")) << "Error" << QList<int>{1002, 1005};
        QTest::newRow("FC16 other address") << 16 << withCrc(hex("011000110003")) << "Error" << QList<int>{1002, 1002};
        QTest::newRow("FC16 CRC wrong") << 16 << lastByteChanged(withCrc(hex("011000100003"))) << "Error" << QList<int>{1002, 1003};
        QTest::newRow("FC16 other slave") << 16 << withCrc(hex("031000100003")) << "Error" << QList<int>{1002, 1001};
    }
    void writeOutcome()
    {
        QFETCH(int, function);
        QFETCH(QByteArray, reply);
        QFETCH(QString, event);
        QFETCH(QList<int>, args);
        ModbusRig rig;
        rig.port->reply(reply);
        const bool result = function == 6
                                ? rig.component.FC06_PresetSingleRegister_4X(1, 5, 15)
                                : rig.component.FC16_PresetMultiRegister_4X(1, 0x10, {7, 8, 9}, 3);
        QCOMPARE(rig.events.size(), 1);
        QCOMPARE(rig.events.first().name, event);
        QCOMPARE(rig.events.first().args, args);
        QCOMPARE(rig.events.first().statusInside, args[0]);
        QCOMPARE(rig.events.first().errorInside, args[1]);
        QCOMPARE(result, event != "Error");
        QCOMPARE(rig.component.CommStatus(), qint16(0));
        QCOMPARE(rig.component.CommError(), qint16(0));
    }

    void emptyMultiWriteReportsPresetDataZero()
    {
        ModbusRig rig;
        rig.port->reply(withCrc(hex("011000000000")));
        QCOMPARE(rig.component.FC16_PresetMultiRegister_4X(1, 0, {}, 0), true);
        QCOMPARE(rig.events.first().args, (QList<int>{1001, 0, 1, 0, 0}));
    }

    // A failed read's reply, however late, is never taken for the next read's: that one is sent
    // only when the failed reply can no longer arrive inside it (one time-out after the failure,
    // once the line is quiet). Times from the failed request's write.
    void lateReplyIsDiscardedByTheNextRequest_data()
    {
        QTest::addColumn<FakeSerialPort::Script>("late");
        QTest::addColumn<int>("idleMs");
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("sentFromMs");
        QTest::addColumn<int>("sentByMs");
        const auto script = [](QList<FakeSerialPort::Chunk> chunks) { return FakeSerialPort::Script{chunks, {}, {}}; };
        QTest::newRow("completing after the time-out, during idle time")
            << script({{Ms(400), goodRead.left(3)}, {Ms(600), goodRead.mid(3)}}) << 200 << 1000 << 1001 << 1060;
        QTest::newRow("a full time-out after the time-out, next request at once")
            << script({{Ms(1000), goodRead}}) << 0 << 1000 << 1050 << 1060;
        QTest::newRow("still arriving at the bound")
            << script({{Ms(980), goodRead.left(3)}, {Ms(1030), goodRead.mid(3)}}) << 0 << 1000 << 1080 << 1090;
        QTest::newRow("silence; idle time counts")
            << script({}) << 1000 << 1000 << 1501 << 1501;
        QTest::newRow("a rejected reply, then another")
            << script({{Ms(5), lastByteChanged(goodRead)}, {Ms(300), goodRead}}) << 0 << 1003 << 505 << 505;
    }
    void lateReplyIsDiscardedByTheNextRequest()
    {
        QFETCH(FakeSerialPort::Script, late);
        QFETCH(int, idleMs);
        QFETCH(int, error);
        QFETCH(int, sentFromMs);
        QFETCH(int, sentByMs);
        ModbusRig rig;
        rig.port->expect(late);
        const auto firstSent = rig.port->now();
        QCOMPARE(rig.component.FC03_ReadHoldingRegister_4X(1, 0, 1), false);
        QCOMPARE(rig.events.last().args, (QList<int>{1002, error}));
        rig.port->advance(Ms(idleMs));
        rig.port->reply(withCrc(hex("0103020007")));
        QCOMPARE(rig.component.FC03_ReadHoldingRegister_4X(1, 0, 1), true);
        QCOMPARE(rig.events.last().registerData, (QVector<qint16>{7, 0}));
        const double nextSentMs = std::chrono::duration<double, std::milli>(rig.port->now() - firstSent).count()
                                  - rig.port->sinceLastWrite();
        QVERIFY2(nextSentMs >= sentFromMs && nextSentMs <= sentByMs, qPrintable(QString::number(nextSentMs)));
    }

    void readStartedInsideAReadEvent()
    {
        ModbusRig rig;
        rig.port->reply(goodRead);
        rig.port->reply(withCrc(hex("0103020063")));
        bool nestedResult = false;
        int nestedStatusBefore = -1;
        rig.insideEvent = [&] {
            if (rig.events.size() != 1)
                return;
            nestedStatusBefore = rig.component.CommStatus();
            nestedResult = rig.component.FC03_ReadHoldingRegister_4X(1, 9, 1);
        };
        QCOMPARE(rig.component.FC03_ReadHoldingRegister_4X(1, 0, 1), true);
        QCOMPARE(nestedStatusBefore, 1002);
        QCOMPARE(nestedResult, true);
        QCOMPARE(rig.events.size(), 2);
        QCOMPARE(rig.events[1].args, (QList<int>{1002, 1001, 1, 9, 1}));
        QCOMPARE(rig.events[1].registerData, (QVector<qint16>{99, 0}));
        QCOMPARE(rig.port->written.size(), 2);
        QCOMPARE(rig.component.CommStatus(), qint16(0));
        QCOMPARE(rig.component.CommError(), qint16(0));
    }

    void readStartedInsideAnErrorEvent()
    {
        ModbusRig rig;
        rig.port->silence();
        rig.port->reply(goodRead);
        bool nestedResult = false;
        rig.insideEvent = [&] {
            if (rig.events.size() == 1)
                nestedResult = rig.component.FC04_ReadInputRegister_3X(1, 0, 1);
        };
        QCOMPARE(rig.component.FC03_ReadHoldingRegister_4X(1, 0, 1), false);
        QCOMPARE(nestedResult, true);
        QCOMPARE(rig.events[1].name, QString("FC04"));
    }

    void writeInsideAnEventIsRefusedAsBusy()
    {
        ModbusRig rig;
        rig.port->reply(goodRead);
        bool nestedResult = true;
        rig.insideEvent = [&] {
            nestedResult = rig.component.FC06_PresetSingleRegister_4X(1, 5, 1)
                           || rig.component.FC16_PresetMultiRegister_4X(1, 5, {1}, 1);
        };
        QCOMPARE(rig.component.FC03_ReadHoldingRegister_4X(1, 0, 1), true);
        QCOMPARE(nestedResult, false);
        QCOMPARE(rig.messages.texts, (QStringList{modbus::busyMessage, modbus::busyMessage}));
        QCOMPARE(rig.port->written.size(), 1);
        QCOMPARE(rig.events.size(), 1);
    }

    void portFailureWhileWaiting()
    {
        ModbusRig rig;
        rig.port->expect({{{Ms(5), goodRead.left(2)}}, {}, Ms(50)});
        QVERIFY_THROWS_EXCEPTION(SerialPortError, rig.component.FC03_ReadHoldingRegister_4X(1, 0, 1));
        QVERIFY(rig.events.isEmpty());
        QCOMPARE(rig.component.CommStatus(), qint16(1000));
        QCOMPARE(rig.component.FC03_ReadHoldingRegister_4X(1, 0, 1), false);
        QCOMPARE(rig.messages.texts, QStringList{modbus::busyMessage});

        rig.component.ClosePort();
        QCOMPARE(rig.component.CommStatus(), qint16(0));
        QVERIFY(rig.component.OpenPort());
        rig.port->reply(goodRead);
        QCOMPARE(rig.component.FC03_ReadHoldingRegister_4X(1, 0, 1), true);
    }

    void failingOpenPortClearsTheBusyState()
    {
        ModbusRig rig;
        rig.port->expect({{}, {}, Ms(1)});
        QVERIFY_THROWS_EXCEPTION(SerialPortError, rig.component.FC06_PresetSingleRegister_4X(1, 0, 1));
        rig.port->refuseSettings = true;
        QCOMPARE(rig.component.OpenPort(), false);
        QCOMPARE(rig.component.CommStatus(), qint16(0));
    }
};

QTEST_MAIN(RepliesTest)
#include "tst_replies.moc"
