// The simulator on its line, byte by byte: the controller a configured device looks like, the
// exception beyond its map, faults, the log, the saved session and garbage on the line.
#include "raw_link.h"
#include "simulator.h"

#include "faults.h"
#include "serial_line.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QTest>

namespace {

QByteArray readRequest(int address, int count)
{
    return bytes({1, 3, address >> 8, address & 0xFF, count >> 8, count & 0xFF});
}

QVector<int> registersOf(const QByteArray &readReply)
{
    QVector<int> out;
    for (int i = 3; i + 1 < readReply.size() - 2; i += 2)
        out << qint16((uchar(readReply[i]) << 8) | uchar(readReply[i + 1]));
    return out;
}

QString textOf(const QByteArray &readReply)
{
    const QByteArray data = readReply.mid(3, readReply.size() - 5);
    const qsizetype end = data.indexOf('\0');
    QStringDecoder gbk("GBK");
    return gbk.decode(end < 0 ? data : data.left(end));
}

QByteArray exceptionReply(int function, int code)
{
    return alarmsim::withCrc(bytes({1, function | 0x80, code}));
}

const QByteArray statusRead = alarmsim::withCrc(readRequest(0, 7));

} // namespace

class TestAlarmsim : public QObject {
    Q_OBJECT

private slots:
    void startsAsConfiguredController_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("address");
        QTest::addColumn<QVector<int>>("expected");
        const QStringList th{"--edition", "th"};
        QTest::newRow("analog status") << QStringList() << 0 << QVector<int>{2500, 1200, 0, 0, 5, 0, 0x21};
        QTest::newRow("th status in tenths") << th << 0 << QVector<int>{235, 655, 0, 0, 5, 0, 0x21};
        QTest::newRow("--firmware sets register 6") << QStringList{"--firmware", "0x1F"} << 6 << QVector<int>{0x1F};
        QTest::newRow("--set, negative and hex")
            << QStringList{"--set", "1010=-5", "--set", "1015=0xFFFF"} << 1010
            << QVector<int>{-5, 0, 5000, 0, 0, -1};
        QTest::newRow("analog limits, calibration") << QStringList() << 1010
                                                    << QVector<int>{5000, 0, 5000, 0, 0, 0, 0, 0, 0, 0};
        QTest::newRow("analog full scale, range codes, options")
            << QStringList() << 1022 << QVector<int>{5000, 5000, 0, 0, 0, 1, 0, 0, 5};
        QTest::newRow("th limits") << th << 1010 << QVector<int>{99, 0, 99, 0};
        QTest::newRow("th has no option bits") << th << 1030 << QVector<int>{0};
        QTest::newRow("last register answers") << QStringList() << 1299 << QVector<int>{0};
    }

    void startsAsConfiguredController()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, address);
        QFETCH(QVector<int>, expected);
        Simulator sim;
        QVERIFY2(sim.start(arguments + QStringList{"--static"}), qPrintable(sim.errorText()));
        RawLink link(sim.devicePath());
        QCOMPARE(registersOf(link.transact(readRequest(address, int(expected.size())))), expected);
    }

    void holdsTexts_data()
    {
        QTest::addColumn<QString>("edition");
        QTest::addColumn<int>("address");
        QTest::addColumn<QString>("expected");
        QTest::newRow("open command with password") << "analog" << 10 << "739164*设备1开";
        QTest::newRow("relay 8 close command") << "analog" << 450 << "739164*设备8关";
        QTest::newRow("relay 8 reply after closing") << "analog" << 990 << "设备8关闭成功";
        QTest::newRow("all-off command") << "analog" << 510 << "739164*全关";
        QTest::newRow("digital channel 4") << "analog" << 582 << "数字通道4报警";
        QTest::newRow("analog alarm text") << "analog" << 830 << "模拟量1低于下限值";
        QTest::newRow("phone slot 1") << "analog" << 710 << "8615800000000";
        QTest::newRow("phone slot 2") << "analog" << 730 << "8613900000001";
        QTest::newRow("phone slot 3 empty marker") << "analog" << 750 << "a";
        QTest::newRow("phone slot 10 empty marker") << "analog" << 1220 << "a";
        QTest::newRow("th phone slot 1") << "th" << 260 << "8615800000000";
        QTest::newRow("th phone slot 2") << "th" << 280 << "8613900000001";
        QTest::newRow("th phone slot 3 empty") << "th" << 300 << "";
        QTest::newRow("th relay 4 open command") << "th" << 190 << "739164*设备4开";
        QTest::newRow("th humidity alarm text") << "th" << 810 << "湿度超过上限值";
        QTest::newRow("th has no analog phone slots") << "th" << 710 << "";
    }

    void holdsTexts()
    {
        QFETCH(QString, edition);
        QFETCH(int, address);
        QFETCH(QString, expected);
        Simulator sim;
        QVERIFY2(sim.start({"--static", "--edition", edition}), qPrintable(sim.errorText()));
        RawLink link(sim.devicePath());
        QCOMPARE(textOf(link.transact(readRequest(address, 20))), expected);
    }

    void answersOutsideItsMapWithException2_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("read at 1300") << readRequest(1300, 1) << exceptionReply(3, 2);
        QTest::newRow("read across the end") << readRequest(1299, 2) << exceptionReply(3, 2);
        QTest::newRow("write at 1300") << bytes({1, 6, 0x05, 0x14, 0, 1}) << exceptionReply(6, 2);
        QTest::newRow("write block across the end")
            << bytes({1, 0x10, 0x05, 0x13, 0, 2, 4, 0, 1, 0, 2}) << exceptionReply(16, 2);
    }

    void answersOutsideItsMapWithException2()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, expected);
        Simulator sim;
        QVERIFY2(sim.start({"--static"}), qPrintable(sim.errorText()));
        RawLink link(sim.devicePath());
        QCOMPARE(link.transact(request).toHex(' '), expected.toHex(' '));
    }

    void resynchronisesAfterGarbage_data()
    {
        QTest::addColumn<QByteArray>("garbage");
        QTest::newRow("partial frame") << bytes({1, 3, 0});
        QTest::newRow("wrong CRC") << bytes({1, 3, 0, 0, 0, 7, 0x12, 0x34});
        QTest::newRow("another slave") << alarmsim::withCrc(bytes({2, 3, 0, 0, 0, 7}));
        QTest::newRow("write claiming 254 data bytes") << bytes({1, 0x10, 0, 0, 0, 0x7F, 0xFE, 1, 2, 3});
        QTest::newRow("unknown function") << bytes({1, 0x55, 0xAA, 0x55});
        QTest::newRow("300 x FF") << QByteArray(300, char(0xFF));
        QTest::newRow("300 zero bytes") << QByteArray(300, '\0');
        QByteArray noise(1000, '\0');
        QRandomGenerator random(20240611);
        for (char &c : noise)
            c = char(random.bounded(256));
        QTest::newRow("random noise") << noise;
    }

    void resynchronisesAfterGarbage()
    {
        QFETCH(QByteArray, garbage);
        Simulator sim;
        QVERIFY2(sim.start({"--static"}), qPrintable(sim.errorText()));
        RawLink link(sim.devicePath());
        link.send(garbage);
        link.receive(300);
        QCOMPARE(registersOf(link.transact(readRequest(6, 1))), QVector<int>{0x21});
        QVERIFY(sim.stop());
    }

    void logsEveryRequestAndReply()
    {
        Simulator sim;
        QVERIFY2(sim.start({"--static"}), qPrintable(sim.errorText()));
        RawLink link(sim.devicePath());
        link.transact(readRequest(0, 7));
        link.transact(bytes({1, 6, 0, 5, 0, 0x0F}));
        link.transact(bytes({1, 0x10, 0x03, 0xF2, 0, 2, 4, 0xFF, 0x85, 0, 1}));
        const QList<SimulatorRequest> log = sim.requests();
        QCOMPARE(log.size(), 3);
        QCOMPARE(log[0].request, QStringLiteral("01 03 00 00 00 07 04 08"));
        QCOMPARE(log[0].reply, QStringLiteral("01 03 0E 09 C4 04 B0 00 00 00 00 00 05 00 00 00 21 42 8C"));
        QCOMPARE(log[1].fn, 6);
        QCOMPARE(log[1].addr, 5);
        QCOMPARE(log[1].values, QVector<qint16>{15});
        QCOMPARE(log[1].reply, QStringLiteral("01 06 00 05 00 0F D9 CF"));
        QCOMPARE(log[2].fn, 16);
        QCOMPARE(log[2].addr, 1010);
        QCOMPARE(log[2].count, 2);
        QCOMPARE(log[2].values, (QVector<qint16>{-123, 1}));
        QCOMPARE(log[2].fault, QString());
        QVERIFY(log[0].t <= log[1].t && log[1].t <= log[2].t);
    }

    void injectsFaultsOnChosenRequests_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("expectedFirst");
        QTest::addColumn<QByteArray>("expectedSecond");
        QTest::addColumn<QString>("secondFault");
        const QByteArray read = readRequest(6, 1);
        const QByteArray good = alarmsim::withCrc(bytes({1, 3, 2, 0, 0x21}));
        QByteArray badCrc = good;
        badCrc[5] = char(badCrc[5] ^ 0xFF);
        QTest::newRow("badcrc every 2") << QStringList{"--fault", "badcrc", "--every", "2"} << read << good
                                        << badCrc << "badcrc";
        QTest::newRow("wrongslave every 2")
            << QStringList{"--fault", "wrongslave", "--every", "2"} << read << good
            << alarmsim::withCrc(bytes({2, 3, 2, 0, 0x21})) << "wrongslave";
        QTest::newRow("exception every 2") << QStringList{"--fault", "exception", "--every", "2"} << read
                                           << good << exceptionReply(3, 4) << "exception";
        QTest::newRow("short every 2") << QStringList{"--fault", "short", "--every", "2"} << read << good
                                       << good.left(4) << "short";
        QTest::newRow("long every 2") << QStringList{"--fault", "long", "--every", "2"} << read << good
                                      << good + QByteArray(3, '\0') << "long";
        QTest::newRow("silent every 2") << QStringList{"--fault", "silent", "--every", "2"} << read << good
                                        << QByteArray() << "silent";
        QTest::newRow("--silent") << QStringList{"--silent"} << read << QByteArray() << QByteArray()
                                  << "silent";
        QTest::newRow("at another address") << QStringList{"--fault", "badcrc", "--at", "0,5"} << read
                                            << good << good << "";
    }

    void injectsFaultsOnChosenRequests()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, expectedFirst);
        QFETCH(QByteArray, expectedSecond);
        QFETCH(QString, secondFault);
        Simulator sim;
        QVERIFY2(sim.start(arguments + QStringList{"--static"}), qPrintable(sim.errorText()));
        RawLink link(sim.devicePath());
        QCOMPARE(link.transact(request).toHex(' '), expectedFirst.toHex(' '));
        QCOMPARE(link.transact(request).toHex(' '), expectedSecond.toHex(' '));
        QCOMPARE(sim.requests().value(1).fault, secondFault);
    }

    void refusedWriteLeavesRegisterAlone()
    {
        Simulator sim;
        QVERIFY2(sim.start({"--static", "--fault", "exception", "--at", "5"}), qPrintable(sim.errorText()));
        RawLink link(sim.devicePath());
        QCOMPARE(link.transact(bytes({1, 6, 0, 5, 0, 3})).toHex(' '), exceptionReply(6, 4).toHex(' '));
        QCOMPARE(registersOf(link.transact(readRequest(0, 7))).value(5, -1), 0);
    }

    void slowFaultDelaysTheReply()
    {
        Simulator sim;
        QVERIFY2(sim.start({"--static", "--fault", "slow", "--slow-ms", "700"}), qPrintable(sim.errorText()));
        RawLink link(sim.devicePath());
        link.send(alarmsim::withCrc(readRequest(6, 1)));
        QCOMPARE(link.receive(500), QByteArray());
        QCOMPARE(registersOf(link.receive(500)), QVector<int>{0x21});
    }

    void emulatesWireTime()
    {
        Simulator sim;
        QVERIFY2(sim.start({"--static", "--baud", "9600"}), qPrintable(sim.errorText()));
        RawLink link(sim.devicePath());
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(link.transact(readRequest(0, 7), 100).size(), 19);
        // 8 request bytes, 3.5 characters of turnaround and 19 reply bytes at 1.04 ms each.
        QVERIFY(clock.elapsed() >= 31);
    }

    // Hand-overs as (µs after the reply's first bit, bytes) pairs, at 9600 bit/s: a byte every
    // 1041.7 µs; a FIFO of 14 with the rest 4 characters later; USB packets per latency period.
    void handsRepliesOverAsTheLineWould_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("latencyMs");
        QTest::addColumn<int>("replyBytes");
        QTest::addColumn<QVector<int>>("handovers");
        QTest::newRow("byte") << "byte" << 16 << 3 << QVector<int>{1041, 1, 2083, 1, 3125, 1};
        QTest::newRow("fifo, two full batches and a rest")
            << "fifo" << 16 << 30 << QVector<int>{14583, 14, 29166, 14, 35416, 2};
        QTest::newRow("fifo, one full batch") << "fifo" << 16 << 14 << QVector<int>{14583, 14};
        QTest::newRow("fifo, short reply after the silence") << "fifo" << 16 << 8 << QVector<int>{12500, 8};
        QTest::newRow("usb 16 ms") << "usb" << 16 << 25 << QVector<int>{16000, 15, 32000, 10};
        QTest::newRow("usb 1 ms, no empty packets") << "usb" << 1 << 3 << QVector<int>{2000, 1, 3000, 1, 4000, 1};
    }

    void handsRepliesOverAsTheLineWould()
    {
        QFETCH(QString, mode);
        QFETCH(int, latencyMs);
        QFETCH(int, replyBytes);
        QFETCH(QVector<int>, handovers);
        const alarmsim::WireTiming timing{9600, *alarmsim::deliveryFromName(mode), std::chrono::milliseconds(latencyMs)};
        QVector<int> got;
        for (const alarmsim::Handover &handover : timing.handovers(replyBytes))
            got << int(handover.after.count()) << handover.bytes;
        QCOMPARE(got, handovers);
    }

    void savesSessionAndRestoresItAfterRestart()
    {
        Simulator sim;
        QVERIFY2(sim.start({"--static", "--edition", "th"}), qPrintable(sim.errorText()));
        {
            RawLink link(sim.devicePath());
            // "ab*c" over the first open command, and relay 2 switched on.
            link.transact(bytes({1, 0x10, 0, 10, 0, 2, 4, 'a', 'b', '*', 'c'}));
            link.transact(bytes({1, 6, 0, 5, 0, 2}));
        }
        QCOMPARE(sim.registers().value(5), qint16(2)); // saved after the write, before stopping
        QVERIFY(sim.stop());
        QCOMPARE(sim.registerText(10), QStringLiteral("ab*c64*设备1开"));
        QFile state(sim.statePath());
        QVERIFY(state.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(state.readAll()).contains("\"text\":\"ab*c64*设备1开\""));

        QVERIFY2(sim.start({"--static"}), qPrintable(sim.errorText()));
        RawLink link(sim.devicePath());
        QCOMPARE(registersOf(link.transact(readRequest(0, 7))), (QVector<int>{235, 655, 0, 0, 5, 2, 0x21}));
        QCOMPARE(textOf(link.transact(readRequest(10, 10))), QStringLiteral("ab*c64*设备1开"));
    }

    void survivesBeingKilledWithItsLastWrite()
    {
        Simulator sim;
        QVERIFY2(sim.start({"--static"}), qPrintable(sim.errorText()));
        RawLink(sim.devicePath()).transact(bytes({1, 6, 0x04, 0x06, 0, 6}));
        sim.kill();
        QCOMPARE(sim.registers().value(1030), qint16(6));
    }

    void servesClientAfterClient()
    {
        Simulator sim;
        QVERIFY2(sim.start({"--static"}), qPrintable(sim.errorText()));
        for (int client = 0; client < 3; ++client) {
            RawLink link(sim.devicePath());
            QCOMPARE(registersOf(link.transact(readRequest(6, 1))), QVector<int>{0x21});
        }
        QVERIFY(sim.stop());
    }

    void refusesBadStartWithoutTouchingState_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("state");
        const QByteArray thState = "{\"edition\":\"th\",\"registers\":[{\"address\":0,\"values\":[1]}]}";
        QTest::newRow("state file not JSON") << QStringList() << QByteArray("not json {");
        QTest::newRow("register value out of range")
            << QStringList() << QByteArray("{\"edition\":\"analog\",\"registers\":[{\"address\":0,\"values\":[70000]}]}");
        QTest::newRow("row beyond the map")
            << QStringList() << QByteArray("{\"edition\":\"analog\",\"registers\":[{\"address\":1295,\"values\":[1,2,3,4,5,6]}]}");
        QTest::newRow("edition contradicts state") << QStringList{"--edition", "analog"} << thState;
        QTest::newRow("unknown fault") << QStringList{"--fault", "noise"} << thState;
        QTest::newRow("--set beyond the map") << QStringList{"--set", "1300=1"} << thState;
        QTest::newRow("--set without value") << QStringList{"--set", "12"} << thState;
        QTest::newRow("--every without --fault") << QStringList{"--every", "3"} << thState;
        QTest::newRow("unknown edition") << QStringList{"--edition", "digital"} << thState;
        QTest::newRow("--deliver without --baud") << QStringList{"--deliver", "fifo"} << thState;
        QTest::newRow("unknown delivery") << QStringList{"--baud", "9600", "--deliver", "burst"} << thState;
    }

    void refusesBadStartWithoutTouchingState()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, state);
        Simulator sim;
        {
            QFile file(sim.statePath());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(state);
        }
        QVERIFY(!sim.start(arguments));
        QVERIFY(!sim.errorText().isEmpty());
        QFile file(sim.statePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), state);
    }

    // --version is the simulator's own, not the controller's firmware register.
    void printsItsOwnVersion()
    {
        QProcess process;
        process.start(QStringLiteral(ALARMSIM_PATH), {"--version"});
        QVERIFY(process.waitForFinished(5000));
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(process.readAllStandardOutput().startsWith("alarmsim "));
    }

    void thStatusDriftsWithinRange()
    {
        Simulator sim;
        QVERIFY2(sim.start({"--edition", "th"}), qPrintable(sim.errorText()));
        RawLink link(sim.devicePath());
        QTest::qWait(2200);
        const QVector<int> status = registersOf(link.transact(readRequest(0, 7)));
        QCOMPARE(status.size(), 7);
        // Two or three ticks, each at most 0.3 degrees and 0.5 percent.
        QVERIFY(status[0] >= 226 && status[0] <= 244);
        QVERIFY(status[1] >= 640 && status[1] <= 670);
        QVERIFY((status[4] & ~0x0F) == 0); // only the four inputs change
    }
};

QTEST_GUILESS_MAIN(TestAlarmsim)
#include "tst_alarmsim.moc"
