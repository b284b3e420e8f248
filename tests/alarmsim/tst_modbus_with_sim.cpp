// The component against the simulator over a pseudo-terminal: another Modbus stack answers,
// and each injected fault must end in the component's own outcome for it.
#include "device_server.h"
#include "message_recorder.h"
#include "modbus/modbus.h"
#include "network_serial_port.h"
#include "simulator.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QThread>

#include <memory>

#include <thread>

namespace {

constexpr int portNumber = 7;

struct Outcome {
    QString event;
    QList<int> args; // every argument except RegisterData
    QVector<qint16> data;
};

// The simulator and an opened component on its line, recording events and messages.
class Rig {
public:
    // A device server's rig opens the component itself, on the server's address.
    enum class Line { Local, DeviceServer };

    explicit Rig(const QStringList &simulatorArguments, Line line = Line::Local)
    {
        sim.setPortNumber(portNumber);
        started = sim.start(simulatorArguments + QStringList{"--static"});
        using M = modbus;
        QObject::connect(&component, &M::FC03ReadHoldingRegisterRespond4X,
                         [this](qint16 s, qint16 e, qint16 &slave, qint16 start, QVector<qint16> &data, qint16 n) {
                             outcomes << Outcome{"FC03", {s, e, slave, start, n}, data};
                         });
        QObject::connect(&component, &M::FC06PresetSingleRegisterRespond4X,
                         [this](qint16 s, qint16 e, qint16 &slave, qint16 &address, qint16 &value) {
                             outcomes << Outcome{"FC06", {s, e, slave, address, value}, {}};
                         });
        QObject::connect(&component, &M::FC16PresetMultiRegisterRespond4X,
                         [this](qint16 s, qint16 e, qint16 &slave, qint16 &address, qint16 &value) {
                             outcomes << Outcome{"FC16", {s, e, slave, address, value}, {}};
                         });
        QObject::connect(&component, &M::CommPortEventError, [this](qint16 s, qint16 e) {
            outcomes << Outcome{"Error", {s, e}, {}};
        });
        component.setProperty("CommPort", portNumber);
        opened = started && (line == Line::DeviceServer || component.OpenPort());
    }

    bool ready() const { return opened; }

    Simulator sim;
    modbus component;
    MessageRecorder messages{component};
    QList<Outcome> outcomes;

private:
    bool started = false;
    bool opened = false;
};

enum class Request { Read, WriteSingle, WriteBlock };

// What happens to a connection through a device server.
enum class ServerCase { ReadAndWrite, LineSettings, ServerKilled, ClosedPort, UnknownHost, NoTelnet };

// What the client sends and the server answers, for one connection.
struct Step {
    QByteArray awaited;          // the client's bytes that start the step (after the previous ones)
    QList<QByteArray> segments;  // sent one TCP segment each
    int delayMilliseconds = 0;   // before the first segment
};

// An RFC 2217 server on 127.0.0.1 playing a script for one connection, for what the packaged
// servers do not show. It stands in for the controller as well: a request is one awaited step.
class ScriptedServer {
public:
    explicit ScriptedServer(const QList<Step> &script)
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        port = probe.serverPort();
        probe.close();
        thread = std::thread([this, script] { play(script); });
        listening.tryAcquire(1, 5000);
    }
    ~ScriptedServer() { thread.join(); }

    quint16 port = 0;

private:
    void play(const QList<Step> &script)
    {
        QTcpServer server;
        if (!server.listen(QHostAddress::LocalHost, port))
            return;
        listening.release();
        if (!server.waitForNewConnection(5000))
            return;
        QTcpSocket *client = server.nextPendingConnection();
        client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        QByteArray received;
        qsizetype from = 0;
        for (const Step &step : script) {
            while (received.indexOf(step.awaited, from) < 0) {
                if (!client->waitForReadyRead(5000))
                    return;
                received += client->readAll();
            }
            from = received.indexOf(step.awaited, from) + step.awaited.size();
            QThread::msleep(step.delayMilliseconds);
            for (const QByteArray &segment : step.segments) {
                client->write(segment);
                client->waitForBytesWritten(1000);
                QThread::msleep(2);
            }
        }
        client->waitForDisconnected(5000);
    }

    QSemaphore listening;
    std::thread thread;
};

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// The status block 2500, 1200, 0, 0, 5, 0, 0x21 from slave 1.
const QByteArray statusReply = hex("01030e09c404b000000000000500000021428c");

// One segment per byte.
QList<QByteArray> bytewise(const QByteArray &bytes)
{
    QList<QByteArray> segments;
    for (const char byte : bytes)
        segments << QByteArray(1, byte);
    return segments;
}

// The settings of a terminal as stty shows them.
QString sttyOf(const QString &device)
{
    QProcess stty;
    stty.start(QStringLiteral("stty"), {QStringLiteral("-a"), QStringLiteral("-F"), device});
    stty.waitForFinished(3000);
    return QString::fromLocal8Bit(stty.readAllStandardOutput());
}

bool send(modbus &component, Request request)
{
    switch (request) {
    case Request::Read:
        return component.FC03_ReadHoldingRegister_4X(1, 0, 7);
    case Request::WriteSingle:
        return component.FC06_PresetSingleRegister_4X(1, 5, 3);
    case Request::WriteBlock:
        return component.FC16_PresetMultiRegister_4X(1, 1010, {-1, 2, 3}, 3);
    }
    return false;
}

} // namespace

Q_DECLARE_METATYPE(Request)
Q_DECLARE_METATYPE(ServerCase)

class TestModbusWithSim : public QObject {
    Q_OBJECT

private slots:
    void readsRegisters_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("address");
        QTest::addColumn<QVector<qint16>>("expected");
        QTest::newRow("analog status block")
            << QStringList() << 0 << QVector<qint16>{2500, 1200, 0, 0, 5, 0, 0x21};
        QTest::newRow("th status block") << QStringList{"--edition", "th"} << 0
                                         << QVector<qint16>{235, 655, 0, 0, 5, 0, 0x21};
        QTest::newRow("negative values") << QStringList{"--set", "1018=-123", "--set", "1019=0x8000"}
                                         << 1018 << QVector<qint16>{-123, -32768};
        QTest::newRow("last register") << QStringList{"--set", "1299=77"} << 1299 << QVector<qint16>{77};
        // Bytes paced as on a real line: the wait sleeps through the reply's wire time.
        QTest::newRow("paced at 9600 bit/s") << QStringList{"--baud", "9600"} << 0
                                             << QVector<qint16>{2500, 1200, 0, 0, 5, 0, 0x21};
        // Handed over in batches: the wait wakes once the last batch is there.
        QTest::newRow("UART FIFO batches") << QStringList{"--baud", "9600", "--deliver", "fifo"} << 0
                                           << QVector<qint16>{2500, 1200, 0, 0, 5, 0, 0x21};
        QTest::newRow("USB packets") << QStringList{"--baud", "9600", "--deliver", "usb"} << 0
                                     << QVector<qint16>{2500, 1200, 0, 0, 5, 0, 0x21};
    }

    void readsRegisters()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, address);
        QFETCH(QVector<qint16>, expected);
        Rig rig(arguments);
        QVERIFY2(rig.ready(), qPrintable(rig.sim.errorText()));
        const auto count = qint16(expected.size());
        QVERIFY(rig.component.FC03_ReadHoldingRegister_4X(1, qint16(address), count));
        QCOMPARE(rig.outcomes.size(), 1);
        QCOMPARE(rig.outcomes[0].event, QStringLiteral("FC03"));
        QCOMPARE(rig.outcomes[0].args, (QList<int>{1002, 1001, 1, address, count}));
        QCOMPARE(rig.outcomes[0].data, expected + QVector<qint16>{0});
        QCOMPARE(rig.sim.requests().value(0).request.size(), 23); // exactly one 8-byte frame
    }

    void writesSingleRegister()
    {
        Rig rig({});
        QVERIFY2(rig.ready(), qPrintable(rig.sim.errorText()));
        QVERIFY(rig.component.FC06_PresetSingleRegister_4X(1, 5, 15));
        QCOMPARE(rig.outcomes.value(0).event, QStringLiteral("FC06"));
        QCOMPARE(rig.outcomes.value(0).args, (QList<int>{1001, 0, 1, 5, 15}));
        QCOMPARE(rig.sim.requests().value(0).request, QStringLiteral("01 06 00 05 00 0F D9 CF"));
        QCOMPARE(rig.sim.registers().value(5), qint16(15));
    }

    void writesBlockOfNegativeValues()
    {
        Rig rig({});
        QVERIFY2(rig.ready(), qPrintable(rig.sim.errorText()));
        const QVector<qint16> values{-123, 1, -32768, 32767};
        QVERIFY(rig.component.FC16_PresetMultiRegister_4X(1, 1010, values, 4));
        QCOMPARE(rig.outcomes.value(0).args, (QList<int>{1001, 0, 1, 1010, -123}));
        QVERIFY(rig.component.FC03_ReadHoldingRegister_4X(1, 1010, 4));
        QCOMPARE(rig.outcomes.value(1).data, values + QVector<qint16>{0});
        const SimulatorRequest written = rig.sim.requests().value(0);
        QCOMPARE(written.fn, 16);
        QCOMPARE(written.addr, 1010);
        QCOMPARE(written.count, 4);
        QCOMPARE(written.values, values);
        QVERIFY(rig.messages.texts.isEmpty());
    }

    // An empty text goes out as a write of zero registers; the controller confirms it unchanged.
    void confirmsEmptyBlockWrite()
    {
        Rig rig({});
        QVERIFY2(rig.ready(), qPrintable(rig.sim.errorText()));
        const QVector<qint16> before = rig.sim.registers();
        QVERIFY(rig.component.FC16_PresetMultiRegister_4X(1, 770, {}, 0));
        QCOMPARE(rig.outcomes.value(0).args, (QList<int>{1001, 0, 1, 770, 0}));
        QCOMPARE(rig.sim.requests().value(0).reply, QStringLiteral("01 10 03 02 00 00 61 8D"));
        QVERIFY(before.isEmpty() || rig.sim.registers().mid(770, 20) == before.mid(770, 20));
    }

    void reportsInjectedFaults_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<Request>("request");
        QTest::addColumn<QList<int>>("errors"); // any of these codes
        const QList<Request> requests{Request::Read, Request::WriteSingle, Request::WriteBlock};
        const QStringList names{"read", "fc06", "fc16"};
        const struct {
            const char *name;
            QStringList arguments;
            QList<int> errors;
        } faults[] = {
            {"badcrc", {"--fault", "badcrc"}, {1003}},
            {"wrongslave", {"--fault", "wrongslave"}, {1001}},
            {"exception", {"--fault", "exception"}, {1000}},
            {"short", {"--fault", "short"}, {1000}},
            {"long", {"--fault", "long"}, {1000, 1003}},
            {"slow", {"--fault", "slow", "--slow-ms", "800"}, {1000}},
            {"silent", {"--silent"}, {1000}},
            {"paced badcrc", {"--fault", "badcrc", "--baud", "9600"}, {1003}},
            {"paced short", {"--fault", "short", "--baud", "9600"}, {1000}},
            {"batched long", {"--fault", "long", "--baud", "9600", "--deliver", "fifo"}, {1000, 1003}},
        };
        for (const auto &fault : faults)
            for (int i = 0; i < requests.size(); ++i)
                QTest::addRow("%s %s", fault.name, qPrintable(names[i]))
                    << fault.arguments << requests[i] << fault.errors;
    }

    void reportsInjectedFaults()
    {
        QFETCH(QStringList, arguments);
        QFETCH(Request, request);
        QFETCH(QList<int>, errors);
        Rig rig(arguments);
        QVERIFY2(rig.ready(), qPrintable(rig.sim.errorText()));
        QVERIFY(!send(rig.component, request));
        QCOMPARE(rig.outcomes.size(), 1);
        QCOMPARE(rig.outcomes[0].event, QStringLiteral("Error"));
        QCOMPARE(rig.outcomes[0].args.value(0), 1002);
        QVERIFY2(errors.contains(rig.outcomes[0].args.value(1)),
                 qPrintable(QString::number(rig.outcomes[0].args.value(1))));
        QVERIFY(rig.messages.texts.isEmpty());
        QCOMPARE(rig.component.CommStatus(), qint16(0));
    }

    // The late reply to a read of register 6 would fit a read of register 5 as well: it must be
    // discarded, also when it comes a full time-out after its time-out and the next read is at once.
    void lateReplyIsDroppedByTheNextRequest_data()
    {
        QTest::addColumn<QString>("slowMs");
        QTest::addColumn<int>("idleMs");
        QTest::newRow("arriving while idle") << "700" << 400;
        QTest::newRow("next read at once") << "700" << 0;
        QTest::newRow("a full time-out after the time-out") << "950" << 0;
    }
    void lateReplyIsDroppedByTheNextRequest()
    {
        QFETCH(QString, slowMs);
        QFETCH(int, idleMs);
        Rig rig({"--fault", "slow", "--at", "6", "--slow-ms", slowMs, "--set", "5=0x0A"});
        QVERIFY2(rig.ready(), qPrintable(rig.sim.errorText()));
        QVERIFY(!rig.component.FC03_ReadHoldingRegister_4X(1, 6, 1));
        if (idleMs > 0)
            QTest::qWait(idleMs); // the late reply arrives meanwhile
        QVERIFY(rig.component.FC03_ReadHoldingRegister_4X(1, 5, 1));
        QCOMPARE(rig.outcomes.value(1).data.value(0), qint16(0x0A));
        QVERIFY(rig.component.FC03_ReadHoldingRegister_4X(1, 0, 7));
        QCOMPARE(rig.outcomes.value(2).data.value(6), qint16(0x21));
    }

    void faultOnEveryThirdRequestOnly()
    {
        Rig rig({"--fault", "badcrc", "--every", "3"});
        QVERIFY2(rig.ready(), qPrintable(rig.sim.errorText()));
        QList<bool> results;
        for (int i = 0; i < 6; ++i)
            results << rig.component.FC03_ReadHoldingRegister_4X(1, 6, 1);
        QCOMPARE(results, (QList<bool>{true, true, false, true, true, false}));
    }

    // The same requests and replies as on a local line, byte for byte, through ser2net raw and
    // with COM port control; and each way a device server fails, with its reason.
    void deviceServers_data()
    {
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<ServerCase>("what");
        QTest::addColumn<QString>("failure"); // part of the reason, for failures
        for (const char *scheme : {"tcp", "rfc2217"}) {
            QTest::addRow("%s read and write", scheme) << scheme << ServerCase::ReadAndWrite << "";
            QTest::addRow("%s line settings", scheme) << scheme << ServerCase::LineSettings << "";
            QTest::addRow("%s server killed", scheme) << scheme << ServerCase::ServerKilled << "的连接已断开";
            QTest::addRow("%s closed port", scheme) << scheme << ServerCase::ClosedPort << "拒绝连接";
            QTest::addRow("%s unknown host", scheme) << scheme << ServerCase::UnknownHost
                                                    << "找不到设备服务器 no-such-server.invalid";
        }
        QTest::newRow("rfc2217 on a raw port") << "rfc2217" << ServerCase::NoTelnet << "没有应答串口设置";
    }
    void deviceServers()
    {
        QFETCH(QString, scheme);
        QFETCH(ServerCase, what);
        QFETCH(QString, failure);
        Rig rig({}, Rig::Line::DeviceServer);
        QVERIFY2(rig.ready(), qPrintable(rig.sim.errorText()));
        DeviceServer server;
        // The server opens the line at other settings than the program's, so that stty tells.
        if (!server.start(rig.sim.devicePath(), QStringLiteral("19200n82")))
            QFAIL(qPrintable(server.errorText()));
        const bool telnet = scheme == QStringLiteral("rfc2217");
        const quint16 port = telnet && what != ServerCase::NoTelnet ? server.telnetPort : server.rawPort;
        QString address = server.url(qPrintable(scheme), port);
        if (what == ServerCase::ClosedPort)
            address = server.url(qPrintable(scheme), DeviceServer::freePort());
        if (what == ServerCase::UnknownHost)
            address = scheme + QStringLiteral("://no-such-server.invalid:4001");
        rig.component.setDevicePath(address);
        const bool opened = rig.component.OpenPort();

        if (!failure.isEmpty() && what != ServerCase::ServerKilled) {
            QVERIFY(!opened);
            QCOMPARE(rig.messages.texts.size(), 1);
            QVERIFY2(rig.messages.texts[0].startsWith(QStringLiteral("串口错误\n"))
                         && rig.messages.texts[0].contains(failure),
                     qPrintable(rig.messages.texts[0]));
            return;
        }
        QVERIFY2(opened, qPrintable(rig.messages.texts.join('\n')));
        if (what == ServerCase::LineSettings) {
            // A pseudo-terminal keeps speed and stop bits; it forces 8 data bits and no parity. A raw
            // connection is open before ser2net has opened the line, so its settings may come later.
            const QString speed = telnet ? QStringLiteral("speed 9600 baud") : QStringLiteral("speed 19200 baud");
            QString stty;
            QTRY_VERIFY2_WITH_TIMEOUT((stty = sttyOf(rig.sim.devicePath())).contains(speed), qPrintable(stty), 3000);
            QVERIFY2(stty.contains(telnet ? QStringLiteral("-cstopb") : QStringLiteral(" cstopb")), qPrintable(stty));
        }
        if (what == ServerCase::ServerKilled) {
            QVERIFY(rig.component.FC03_ReadHoldingRegister_4X(1, 0, 7));
            server.kill();
            bool answered = true;
            QString reason;
            try {
                answered = rig.component.FC03_ReadHoldingRegister_4X(1, 0, 7);
                reason = rig.component.lastPortFailure();
            } catch (const SerialPortError &e) {
                answered = false;
                reason = QString::fromUtf8(e.what());
            }
            QVERIFY(!answered);
            QVERIFY2(reason.contains(failure), qPrintable(reason));
            return;
        }
        // 0xFF in the written values and in the replies crosses the Telnet escaping both ways.
        const QVector<qint16> values{-1, 255, -256, 0x0DFF};
        QVERIFY(rig.component.FC16_PresetMultiRegister_4X(1, 1010, values, 4));
        QVERIFY(rig.component.FC03_ReadHoldingRegister_4X(1, 1010, 4));
        QVERIFY(rig.component.FC03_ReadHoldingRegister_4X(1, 0, 7));
        QCOMPARE(rig.outcomes.value(1).data, values + QVector<qint16>{0});
        QCOMPARE(rig.outcomes.value(2).data, (QVector<qint16>{2500, 1200, 0, 0, 5, 0, 0x21, 0}));
        const QList<SimulatorRequest> requests = rig.sim.requests();
        QCOMPARE(requests.size(), 3);
        QCOMPARE(requests[0].request, QStringLiteral("01 10 03 F2 00 04 08 FF FF 00 FF FF 00 0D FF 29 A4"));
        QCOMPARE(requests[2].request, QStringLiteral("01 03 00 00 00 07 04 08"));
        QVERIFY(rig.messages.texts.isEmpty());
    }

    // RFC 2217 servers as they are in the field, played by the scripted server: each opens the
    // line (or is refused, naming the setting), then answers one read of the status block.
    void scriptedServers_data()
    {
        QTest::addColumn<QList<QByteArray>>("answers"); // to the settings, after the given delay
        QTest::addColumn<int>("answerDelay");
        QTest::addColumn<bool>("stale");                    // stale bytes reach the client before the request
        QTest::addColumn<QList<QByteArray>>("purgeAnswer"); // to the purge of the stale bytes
        QTest::addColumn<QList<QByteArray>>("reply");       // to the request
        QTest::addColumn<QString>("outcome");               // the event, or the reason the port was refused

        const QByteArray line = hex("fffa2c6608fff0fffa2c6701fff0fffa2c6801fff0");
        const QByteArray speed = hex("fffa2c6500002580fff0");
        const QByteArray noFlow = hex("fffa2c6901fff0");
        const QByteArray purged = hex("fffa2c7003fff0");
        const QByteArray answers = speed + line + noFlow + purged;
        const QList<QByteArray> reply{statusReply};
        const QString read = QStringLiteral("FC03 1002 1001");

        QTest::newRow("as asked") << QList{answers} << 0 << false << QList<QByteArray>() << reply << read;
        QTest::newRow("speed answer with four more bytes (sredird)")
            << QList{hex("fffa2c650000258000000000fff0") + line + noFlow + purged} << 0 << false
            << QList<QByteArray>() << reply << read;
        QTest::newRow("answers late") << QList{answers} << 2000 << false << QList<QByteArray>() << reply << read;
        QTest::newRow("one byte per segment") << bytewise(answers) << 0 << false << QList<QByteArray>()
                                              << bytewise(statusReply) << read;
        QTest::newRow("DTR and RTS refused, notices, unknown options")
            << QList{hex("fffa2c6bbbfff0fffb18fffa1801fff0") + answers + hex("fffa2c6909fff0fff1fffa2c690cfff0")} << 0
            << false << QList<QByteArray>() << reply << read;
        QTest::newRow("notices, NOP and unknown options between reply bytes")
            << QList{answers} << 0 << false << QList<QByteArray>()
            << QList{statusReply.first(3), hex("fffa2c6b30fff0"), statusReply.sliced(3, 5), hex("fff1fffb18fffa2c5501fff0"),
                     statusReply.sliced(8, 1), hex("fffa2c6a60fff0fffa1801fff0"), statusReply.sliced(9)}
            << read;
        QTest::newRow("purge never acknowledged")
            << QList{answers} << 0 << true << QList<QByteArray>() << reply << read;
        QTest::newRow("stale bytes still coming before the purge is acknowledged")
            << QList{answers} << 0 << true << QList{hex("0103"), hex("0e09c4"), hex("fffa2c7001fff0")} << reply << read;
        QTest::newRow("parity error during the reply")
            << QList{answers} << 0 << false << QList<QByteArray>()
            << QList{statusReply.first(5), hex("fffa2c6a04fff0"), statusReply.sliced(5)} << QStringLiteral("Error 1002 1004");
        QTest::newRow("server preset to hardware flow control")
            << QList{speed + line + hex("fffa2c6903fff0") + purged} << 0 << false << QList<QByteArray>() << reply
            << QStringLiteral("不接受串口设置：流控制");
        QTest::newRow("other speed set") << QList{hex("fffa2c6500004b00fff0") + line + noFlow + purged} << 0 << false
                                         << QList<QByteArray>() << reply << QStringLiteral("不接受串口设置：波特率");
    }
    void scriptedServers()
    {
        QFETCH(QList<QByteArray>, answers);
        QFETCH(int, answerDelay);
        QFETCH(bool, stale);
        QFETCH(QList<QByteArray>, purgeAnswer);
        QFETCH(QList<QByteArray>, reply);
        QFETCH(QString, outcome);
        const QByteArray request = hex("0103000000070408");
        QList<Step> script{{hex("fffb2c"), {hex("fffd2c")}}, {hex("fffa2c0c03fff0"), answers, answerDelay}};
        if (stale)
            script << Step{{}, {hex("4142")}, 300} << Step{hex("fffa2c0c01fff0"), purgeAnswer};
        script << Step{request, reply};
        ScriptedServer server(script);
        Rig rig({}, Rig::Line::DeviceServer);
        QVERIFY2(rig.ready(), qPrintable(rig.sim.errorText()));
        rig.component.setDevicePath(QStringLiteral("rfc2217://127.0.0.1:%1").arg(server.port));

        const bool opened = rig.component.OpenPort();
        if (!outcome.startsWith(QStringLiteral("FC03")) && !outcome.startsWith(QStringLiteral("Error"))) {
            QVERIFY(!opened);
            QCOMPARE(rig.messages.texts.size(), 1);
            QVERIFY2(rig.messages.texts[0].contains(outcome), qPrintable(rig.messages.texts[0]));
            return;
        }
        QVERIFY2(opened, qPrintable(rig.messages.texts.join('\n')));
        if (stale)
            QThread::msleep(600); // the stale bytes are there before the request
        rig.component.FC03_ReadHoldingRegister_4X(1, 0, 7);
        QCOMPARE(rig.outcomes.size(), 1);
        QStringList got{rig.outcomes[0].event};
        for (const int arg : rig.outcomes[0].args.first(2))
            got << QString::number(arg);
        QCOMPARE(got.join(' '), outcome);
        if (outcome.startsWith(QStringLiteral("FC03")))
            QCOMPARE(rig.outcomes[0].data, (QVector<qint16>{2500, 1200, 0, 0, 5, 0, 0x21, 0}));
        QVERIFY(rig.messages.texts.isEmpty());
    }

    // A name lookup that never answers (an unreachable DNS server) ends the connect within its
    // limit, saying why, instead of holding the window for as long as the system resolver waits.
    void nameLookupWithoutAnswer()
    {
        auto answer = std::make_shared<QSemaphore>();
        NetworkSerialPort port([answer](const QString &) {
            answer->acquire(); // until the test has its result
            return QHostInfo();
        });
        port.setSettings(QStringLiteral("9600,n,8,1"));
        port.setDevicePath(QStringLiteral("rfc2217://slow-dns.example:4001"));
        QElapsedTimer took;
        took.start();
        QString reason;
        try {
            port.open();
        } catch (const SerialPortError &e) {
            reason = QString::fromUtf8(e.what());
        }
        const qint64 milliseconds = took.elapsed();
        answer->release();
        QCOMPARE(reason, QStringLiteral("查找设备服务器 slow-dns.example 的地址超时"));
        QVERIFY2(milliseconds < 4000, qPrintable(QString::number(milliseconds)));
        QVERIFY(!port.isOpen());
    }

    void vanishedControllerEndsTheRequest()
    {
        Rig rig({});
        QVERIFY2(rig.ready(), qPrintable(rig.sim.errorText()));
        QVERIFY(rig.component.FC03_ReadHoldingRegister_4X(1, 0, 7));
        rig.sim.kill();
        bool answered = true;
        try {
            answered = rig.component.FC03_ReadHoldingRegister_4X(1, 0, 7);
        } catch (const SerialPortError &) {
            answered = false;
        }
        QVERIFY(!answered);
    }
};

QTEST_MAIN(TestModbusWithSim)
#include "tst_modbus_with_sim.moc"
