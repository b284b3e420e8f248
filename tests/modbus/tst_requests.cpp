#include "modbus_rig.h"

#include <QTest>

#include <stdexcept>

namespace {

enum class Outcome { Sent, SendError, OutOfRange, Overflow };

struct Call {
    int function;
    quint8 slave;
    qint16 address;
    qint16 second;   // count, or the value for function 6
    QVector<qint16> data;
};

bool issue(modbus &m, const Call &c)
{
    switch (c.function) {
    case 3: return m.FC03_ReadHoldingRegister_4X(c.slave, c.address, c.second);
    case 4: return m.FC04_ReadInputRegister_3X(c.slave, c.address, c.second);
    case 6: return m.FC06_PresetSingleRegister_4X(c.slave, c.address, c.second);
    default: return m.FC16_PresetMultiRegister_4X(c.slave, c.address, c.data, c.second);
    }
}

Outcome outcomeOf(modbus &m, const Call &c)
{
    try {
        issue(m, c);
        return Outcome::Sent;
    } catch (const std::out_of_range &) {
        return Outcome::OutOfRange;
    } catch (const std::overflow_error &) {
        return Outcome::Overflow;
    }
}

QVector<qint16> counting(int n)
{
    QVector<qint16> values(n);
    for (int i = 0; i < n; ++i)
        values[i] = qint16(i + 1);
    return values;
}

const QList<Call> oneOfEach = {
    {3, 1, 0, 1, {}},
    {4, 1, 0, 1, {}},
    {6, 1, 5, 15, {}},
    {16, 1, 0, 1, {0x41}},
};

} // namespace

Q_DECLARE_METATYPE(Call)

class RequestsTest : public QObject {
    Q_OBJECT

private slots:
    void frameOnTheWire_data()
    {
        QTest::addColumn<Call>("call");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("FC03 example") << Call{3, 1, 0, 1, {}} << hex("010300000001 840A");
        QTest::newRow("FC04 example") << Call{4, 1, 0, 1, {}} << hex("01040000000131CA");
        QTest::newRow("FC06 example") << Call{6, 1, 5, 15, {}} << hex("01060005000FD9CF");
        QTest::newRow("FC16 example") << Call{16, 1, 0, 1, {0x41}} << hex("0110000000010200416660");
        QTest::newRow("FC06 data -1") << Call{6, 1, 5, -1, {}} << withCrc(hex("01060005FFFF"));
        QTest::newRow("FC06 data 0") << Call{6, 1, 5, 0, {}} << withCrc(hex("010600050000"));
        QTest::newRow("FC06 data -256") << Call{6, 1, 5, -256, {}} << withCrc(hex("01060005FF00"));
        QTest::newRow("FC16 count 0") << Call{16, 1, 0, 0, {}} << withCrc(hex("01100000000000"));
        QTest::newRow("FC16 sends only count values")
            << Call{16, 1, 0x10, 2, {-1, 258, 7}} << withCrc(hex("011000100002 04 FFFF 0102"));
        QTest::newRow("FC03 fields high byte first")
            << Call{3, 0, 0x1234, 0x0102, {}} << withCrc(hex("000312340102"));
        QTest::newRow("FC04 largest fields")
            << Call{4, 255, 32767, 32767, {}} << withCrc(hex("FF047FFF7FFF"));
    }
    void frameOnTheWire()
    {
        QFETCH(Call, call);
        QFETCH(QByteArray, frame);
        ModbusRig rig;
        issue(rig.component, call);
        QCOMPARE(rig.port->written, QList<QByteArray>{frame});
    }

    void largestFrameIs101Bytes()
    {
        ModbusRig rig;
        rig.component.FC16_PresetMultiRegister_4X(1, 0, counting(46), 46);
        QCOMPARE(rig.port->written.size(), 1);
        const QByteArray frame = rig.port->written.first();
        QCOMPARE(frame.size(), 101);
        QCOMPARE(quint8(frame[6]), quint8(92));
        QCOMPARE(frame.right(4).left(2), hex("002E"));
        QCOMPARE(frame, withCrc(frame.left(99)));
    }

    void argumentLimits_data()
    {
        QTest::addColumn<Call>("call");
        QTest::addColumn<int>("outcome");
        const int range = int(Outcome::OutOfRange), over = int(Outcome::Overflow);
        QTest::newRow("FC16 count 47: the CRC does not fit") << Call{16, 1, 0, 47, counting(47)} << int(Outcome::SendError);
        QTest::newRow("FC16 count 48") << Call{16, 1, 0, 48, counting(48)} << range;
        QTest::newRow("FC16 count 127") << Call{16, 1, 0, 127, counting(127)} << range;
        QTest::newRow("FC16 count 128") << Call{16, 1, 0, 128, counting(128)} << over;
        QTest::newRow("FC16 count 32767") << Call{16, 1, 0, 32767, {}} << over;
        QTest::newRow("FC16 data shorter than count") << Call{16, 1, 0, 3, counting(2)} << range;
        QTest::newRow("FC16 negative count") << Call{16, 1, 0, -1, counting(2)} << over;
        QTest::newRow("FC16 negative address") << Call{16, 1, -1, 1, counting(1)} << over;
        QTest::newRow("FC03 negative start") << Call{3, 1, -5, 1, {}} << over;
        QTest::newRow("FC03 negative count") << Call{3, 1, 0, -1, {}} << over;
        QTest::newRow("FC04 negative start") << Call{4, 1, -32768, 1, {}} << over;
        QTest::newRow("FC04 negative count") << Call{4, 1, 0, -2, {}} << over;
        QTest::newRow("FC06 negative address") << Call{6, 1, -1, 0, {}} << over;
    }
    void argumentLimits()
    {
        QFETCH(Call, call);
        QFETCH(int, outcome);
        ModbusRig rig;
        const Outcome got = outcomeOf(rig.component, call);
        if (Outcome(outcome) == Outcome::SendError) {
            QCOMPARE(got, Outcome::Sent);
            QCOMPARE(rig.messages.texts, QStringList{modbus::sendErrorMessage});
        } else {
            QCOMPARE(int(got), outcome);
            QVERIFY(rig.messages.texts.isEmpty());
        }
        QVERIFY(rig.port->written.isEmpty());
        QVERIFY(rig.events.isEmpty());
        QCOMPARE(rig.component.CommStatus(), qint16(0));
    }

    void closedPortGivesSendError_data() { eachFunction(); }
    void closedPortGivesSendError()
    {
        QFETCH(Call, call);
        ModbusRig rig;
        rig.component.ClosePort();
        QCOMPARE(issue(rig.component, call), false);
        QCOMPARE(rig.messages.texts, QStringList{modbus::sendErrorMessage});
        QVERIFY(rig.events.isEmpty());
        QVERIFY(rig.port->written.isEmpty());
        QCOMPARE(rig.component.CommStatus(), qint16(0));
        QCOMPARE(rig.port->stalledWaits, 0);
        QCOMPARE(rig.component.lastRequestOutcome().kind, RequestOutcome::Kind::NotSent);
        QCOMPARE(rig.traffic.size(), 1);   // the frame that could not be sent
        QCOMPARE(rig.traffic[0].outcome.kind, RequestOutcome::Kind::NotSent);
        QCOMPARE(rig.traffic[0].request.size(), call.function == 16 ? 11 : 8);
    }

    void refusedWriteGivesSendError()
    {
        ModbusRig rig;
        rig.port->refuseWrite = true;
        QCOMPARE(rig.component.FC06_PresetSingleRegister_4X(1, 5, 15), false);
        QCOMPARE(rig.messages.texts, QStringList{modbus::sendErrorMessage});
        QVERIFY(rig.events.isEmpty());
    }

    // A port failure during a wait leaves CommStatus at 1000: everything is refused as busy.
    void busyRefusesEveryRequest_data() { eachFunction(); }
    void busyRefusesEveryRequest()
    {
        QFETCH(Call, call);
        ModbusRig rig;
        rig.port->expect({{}, {}, FakeSerialPort::Milliseconds(10)});
        QVERIFY_THROWS_EXCEPTION(SerialPortError, rig.component.FC03_ReadHoldingRegister_4X(1, 0, 1));
        QCOMPARE(rig.component.CommStatus(), qint16(1000));
        QCOMPARE(rig.traffic.size(), 1); // the cut-off request is reported with the port's reason
        QCOMPARE(rig.traffic[0].outcome.kind, RequestOutcome::Kind::PortFailed);
        QVERIFY(!rig.component.lastPortFailure().isEmpty());
        rig.port->written.clear();
        QCOMPARE(issue(rig.component, call), false);
        QCOMPARE(rig.messages.texts, QStringList{modbus::busyMessage});
        QVERIFY(rig.port->written.isEmpty());
        QVERIFY(rig.events.isEmpty());
        QCOMPARE(rig.component.CommStatus(), qint16(1000));
        QCOMPARE(rig.component.lastRequestOutcome().kind, RequestOutcome::Kind::Busy);
    }

    void staleBytesAreDiscardedBeforeTheWrite()
    {
        ModbusRig rig;
        rig.port->receiveNow(hex("0103 02 00 2A 39 9B"));   // a complete late reply
        QCOMPARE(rig.component.FC03_ReadHoldingRegister_4X(1, 0, 1), false);
        QCOMPARE(rig.events.size(), 1);
        QCOMPARE(rig.events.first().args, (QList<int>{1002, 1000}));

        rig.events.clear();
        rig.port->receiveNow(hex("FFFF"));
        rig.port->reply(hex("010302002A399B"));
        QCOMPARE(rig.component.FC03_ReadHoldingRegister_4X(1, 0, 1), true);
        QCOMPARE(rig.events.first().registerData, (QVector<qint16>{42, 0}));
    }

private:
    void eachFunction()
    {
        QTest::addColumn<Call>("call");
        for (const Call &call : oneOfEach)
            QTest::addRow("FC%02d", call.function) << call;
    }
};

QTEST_MAIN(RequestsTest)
#include "tst_requests.moc"
