#include "component_events.h"
#include "device_tree.h"
#include "frames.h"
#include "message_recorder.h"
#include "modbus/modbus.h"
#include "parity_mark_decoder.h"
#include "linux_line.h"
#include "posix_serial_port.h"
#include "modbus/port_directory.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

// A pseudo-terminal: the component opens the slave side by path, the test plays the device on
// the master side.
class PseudoTerminal {
public:
    PseudoTerminal()
    {
        char name[128] = {};
        int masterFd = -1;
        if (::openpty(&masterFd, &slave, name, nullptr, nullptr) != 0)
            qFatal("openpty failed");
        master = masterFd;
        path = QString::fromLocal8Bit(name);
    }
    ~PseudoTerminal()
    {
        closeMaster();
        ::close(slave);
    }
    void closeMaster()
    {
        const int fd = master.exchange(-1);
        if (fd >= 0)
            ::close(fd);
    }
    // Callable from the device thread, so it reports instead of using test macros.
    bool send(const QByteArray &bytes) const
    {
        return ::write(master, bytes.constData(), size_t(bytes.size())) == ssize_t(bytes.size());
    }
    // Reads up to n bytes, giving up after two seconds.
    QByteArray receive(int n) const
    {
        QByteArray got;
        while (got.size() < n) {
            pollfd pfd{master, POLLIN, 0};
            if (::poll(&pfd, 1, 2000) <= 0)
                break;
            char chunk[256];
            const ssize_t r = ::read(master, chunk, size_t(qMin<qsizetype>(n - got.size(), sizeof chunk)));
            if (r <= 0)
                break;
            got.append(chunk, r);
        }
        return got;
    }

    std::atomic<int> master{-1};
    int slave = -1;
    QString path;
};

constexpr int portNumber = 7;
constexpr uid_t nobody = 65534;

// Runs `job` in a child process as user and group nobody; its result is the exit code, or -1.
int asNobody(const std::function<int()> &job)
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(::setgroups(0, nullptr) == 0 && ::setgid(nobody) == 0 && ::setuid(nobody) == 0 ? job() : 99);
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

bool reconnects(const QString &path)
{
    qputenv("MODBUS_COM9", path.toLocal8Bit());
    PosixSerialPort port;
    port.setSettings("9600,n,8,1");
    port.setPortNumber(9);
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            port.open();
            port.close();
        } catch (const SerialPortError &) {
            return false;
        }
    }
    return true;
}

int openFailsWith(const QString &path, const QString &reason)
{
    qputenv("MODBUS_COM9", path.toLocal8Bit());
    PosixSerialPort port;
    port.setSettings("9600,n,8,1");
    port.setPortNumber(9);
    try {
        port.open();
    } catch (const SerialPortError &e) {
        return QString::fromUtf8(e.what()) == reason ? 0 : 2;
    }
    return 1;
}

// The component on the pseudo-terminal's slave side, as port 7.
struct Connected : ComponentEvents {
    explicit Connected(const PseudoTerminal &pty)
    {
        qputenv("MODBUS_COM7", pty.path.toLocal8Bit());
        component.setCommPort(portNumber);
    }
};

} // namespace

class PosixSerialPortTest : public QObject {
    Q_OBJECT

private slots:
    void parityMarks_data()
    {
        QTest::addColumn<QList<QByteArray>>("reads");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("marked");
        QTest::newRow("plain") << QList<QByteArray>{"\x01\x03"} << QByteArray("\x01\x03") << false;
        QTest::newRow("doubled FF") << QList<QByteArray>{QByteArray("\x01\xFF\xFF\x85", 4)} << QByteArray("\x01\xFF\x85") << false;
        QTest::newRow("mark") << QList<QByteArray>{QByteArray("\x01\xFF\x00\x41\x02", 5)} << QByteArray("\x01\x41\x02") << true;
        QTest::newRow("marked zero") << QList<QByteArray>{QByteArray("\xFF\x00\x00", 3)} << QByteArray(1, '\0') << true;
        QTest::newRow("doubled FF split") << QList<QByteArray>{"\x07\xFF", "\xFF\x08"} << QByteArray("\x07\xFF\x08") << false;
        QTest::newRow("mark split twice") << QList<QByteArray>{"\xFF", QByteArray(1, '\0'), "\x41"} << QByteArray("\x41") << true;
        QTest::newRow("stray escape kept") << QList<QByteArray>{"\xFF\x12"} << QByteArray("\xFF\x12") << false;
    }
    void parityMarks()
    {
        QFETCH(QList<QByteArray>, reads);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, marked);
        ParityMarkDecoder decoder;
        QByteArray out;
        bool anyMark = false;
        for (const QByteArray &raw : reads) {
            const auto result = decoder.feed(raw);
            out += result.bytes;
            anyMark = anyMark || result.errorMarked;
        }
        QCOMPARE(out, bytes);
        QCOMPARE(anyMark, marked);
    }

    void settingsParsing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("defaults") << "9600,n,8,1" << true;
        QTest::newRow("even 7 2") << "19200,e,7,2" << true;
        QTest::newRow("odd upper case") << "2400,O,8,1" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("parity letter") << "9600,x,8,1" << false;
        QTest::newRow("14400 has no termios constant") << "14400,n,8,1" << true;
        QTest::newRow("256000 has no termios constant") << "256000,n,8,1" << true;
        QTest::newRow("9 data bits") << "9600,n,9,1" << false;
        QTest::newRow("3 stop bits") << "9600,n,8,3" << false;
        QTest::newRow("too few fields") << "9600,n,8" << false;
        QTest::newRow("not a number") << "fast,n,8,1" << false;
    }
    void settingsParsing()
    {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        PosixSerialPort port;
        bool threw = false;
        try {
            port.setSettings(text);
        } catch (const SerialPortError &) {
            threw = true;
        }
        QCOMPARE(threw, !accepted);
    }

    void portAssignment_data()
    {
        // Tree entries as addToTree takes them; expected: "dev/NAME|description" in port order.
        QTest::addColumn<QStringList>("tree");
        QTest::addColumn<QStringList>("ports");
        QTest::newRow("nothing plugged in") << QStringList{} << QStringList{};
        QTest::newRow("a lone adapter that is not ttyUSB0")
            << QStringList{"dev/ttyUSB1"} << QStringList{"dev/ttyUSB1|USB 串口"};
        QTest::newRow("udev's by-id order, not the numbers")
            << QStringList{"dev/ttyUSB0", "dev/ttyUSB1", "by-id/usb-A_adapter-port0>ttyUSB1",
                           "by-id/usb-B_adapter-port0>ttyUSB0", "by-id/usb-C_gone-port0>ttyUSB7"}
            << QStringList{"dev/ttyUSB1|USB 串口", "dev/ttyUSB0|USB 串口"};
        QTest::newRow("without links by number, ttyACM after ttyUSB")
            << QStringList{"dev/ttyACM0", "dev/ttyUSB10", "dev/ttyUSB9", "dev/ttyUSBx"}
            << QStringList{"dev/ttyUSB9|USB 串口", "dev/ttyUSB10|USB 串口", "dev/ttyACM0|USB 通信设备"};
        QTest::newRow("built-in ports only with a UART, after USB")
            << QStringList{"dev/ttyS0", "dev/ttyS1", "dev/ttyS2", "type/ttyS0=4", "type/ttyS1=0",
                           "dev/ttyUSB0"}
            << QStringList{"dev/ttyUSB0|USB 串口", "dev/ttyS0|内置串口"};
        QTest::newRow("adapter described from sysfs")
            << QStringList{"dev/ttyUSB0", "usb/ttyUSB0=FTDI|FT232R USB UART|A50285BI|0403|6001",
                           "dev/ttyACM0", "usb/ttyACM0=|CP2102 Bridge||10c4|ea60"}
            << QStringList{"dev/ttyUSB0|FTDI FT232R USB UART，序列号 A50285BI（USB 0403:6001）",
                           "dev/ttyACM0|CP2102 Bridge（USB 10c4:ea60）"};
    }
    void portAssignment()
    {
        QFETCH(QStringList, tree);
        QFETCH(QStringList, ports);
        QTemporaryDir root;
        for (const QString &entry : tree)
            QVERIFY2(addToTree(root.path(), entry), qPrintable(entry));
        const PortDirectory directory(root.path());
        QStringList found;
        for (const SerialDevice &device : directory.devices())
            found << QDir(root.path()).relativeFilePath(device.path) + '|' + device.description;
        QCOMPARE(found, ports);
        for (int i = 0; i < ports.size(); ++i)
            QCOMPARE(directory.port(i + 1).path, root.filePath(ports[i].section('|', 0, 0)));
        QVERIFY(directory.port(int(ports.size()) + 1).path.isEmpty());
        QVERIFY(directory.port(0).path.isEmpty());
        // The environment still overrides.
        qputenv("MODBUS_COM1", "/dev/custom-port");
        const SerialDevice configured = directory.port(1);
        qunsetenv("MODBUS_COM1");
        QCOMPARE(configured.path, QString("/dev/custom-port"));
        QCOMPARE(configured.description, QString("环境变量 MODBUS_COM1"));
    }

    void devicePaths()
    {
        PosixSerialPort port;
        QVERIFY_THROWS_EXCEPTION(SerialPortError, port.setPortNumber(0));
        // A port number with no device behind it fails to open; a path opens that device.
        port.setPortNumber(99);
        QVERIFY_THROWS_EXCEPTION(SerialPortError, port.open());
        PseudoTerminal pty;
        port.setDevicePath(pty.path);
        port.open();
        QVERIFY(port.isOpen());
    }

    // The speed is read back exactly (termios2). A pseudo-terminal forces 8 data bits without
    // parity whatever it is asked, so those two are checked on what the port hands it. Closing
    // hands the terminal back with the settings it was found with.
    void lineSettingsReachTheTerminal_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("dataBits");
        QTest::addColumn<int>("stopBits");
        QTest::newRow("9600 none 8 1") << 9600 << 0 << 8 << 1;
        QTest::newRow("14400 odd 8 1") << 14400 << 1 << 8 << 1;
        QTest::newRow("28800 even 7 2") << 28800 << 2 << 7 << 2;
        QTest::newRow("56000 none 8 2") << 56000 << 0 << 8 << 2;
        QTest::newRow("128000 even 8 1") << 128000 << 2 << 8 << 1;
        QTest::newRow("256000 odd 7 1") << 256000 << 1 << 7 << 1;
        QTest::newRow("19200 even 8 1") << 19200 << 2 << 8 << 1;
    }
    void lineSettingsReachTheTerminal()
    {
        QFETCH(int, baud);
        QFETCH(int, parity);
        QFETCH(int, dataBits);
        QFETCH(int, stopBits);
        PseudoTerminal pty;
        const auto found = linux_line::terminalSettings(pty.slave);
        QVERIFY(found);
        Connected c(pty);
        c.component.setBaudRate(baud);
        c.component.setParity(parity);
        c.component.setDataBit(dataBits);
        c.component.setStopBit(stopBits);
        QVERIFY(c.component.OpenPort());
        termios onTerminal{};
        QCOMPARE(::tcgetattr(pty.slave, &onTerminal), 0);
        QCOMPARE(linux_line::exactSpeed(pty.slave), baud);
        QCOMPARE(bool(onTerminal.c_cflag & PARODD), parity == 1);
        QCOMPARE(bool(onTerminal.c_cflag & CSTOPB), stopBits == 2);
        termios handed{};
        PosixSerialPort::applyLineSettings(handed, parseLineSettings(c.component.settingsText()));
        QCOMPARE(bool(handed.c_cflag & PARENB), parity != 0);
        QCOMPARE(bool(handed.c_cflag & PARODD), parity == 1);
        QCOMPARE(handed.c_cflag & CSIZE, dataBits == 7 ? tcflag_t(CS7) : tcflag_t(CS8));
        QVERIFY(linux_line::terminalSettings(pty.slave) != found);
        c.component.ClosePort();
        QVERIFY(linux_line::terminalSettings(pty.slave) == found);
    }

    // The reason stands on the message's second line; %1 is the device path.
    void openFailures_data()
    {
        QTest::addColumn<QByteArray>("device"); // empty: a pseudo-terminal
        QTest::addColumn<int>("baud");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing device") << QByteArray("/nonexistent/ttyX") << 9600 << "找不到串口设备 %1";
        QTest::newRow("not a terminal") << QByteArray("/dev/null") << 9600 << "%1 不是串口设备";
        QTest::newRow("speed not supported") << QByteArray() << 12345 << "串口设备 %1 不支持波特率 12345";
    }
    void openFailures()
    {
        QFETCH(QByteArray, device);
        QFETCH(int, baud);
        QFETCH(QString, reason);
        const PseudoTerminal pty;
        const auto found = linux_line::terminalSettings(pty.slave);
        const QString path = device.isEmpty() ? pty.path : QString::fromLatin1(device);
        qputenv("MODBUS_COM8", path.toLocal8Bit());
        modbus component;
        MessageRecorder messages(component);
        component.setCommPort(8);
        component.setBaudRate(baud);
        QCOMPARE(component.OpenPort(), false);
        QCOMPARE(messages.texts, QStringList{modbus::portErrorMessage + '\n' + reason.arg(path)});
        QCOMPARE(component.FC03_ReadHoldingRegister_4X(1, 0, 1), false);
        QCOMPARE(messages.texts.last(), modbus::sendErrorMessage);
        QVERIFY(linux_line::terminalSettings(pty.slave) == found); // a failed open changes nothing
    }

    // Exclusive mode is cleared on close: a user who is not root connects, disconnects and
    // connects again. One who may not open the device is told how to get the right.
    void unprivilegedUserReconnects()
    {
        if (::geteuid() != 0)
            QSKIP("needs root to drop privileges");
        PseudoTerminal pty;
        QCOMPARE(::fchmod(pty.slave, 0600), 0);
        const QString refused = QStringLiteral("没有权限打开串口设备 %1：请把当前用户加入 dialout 组，然后重新登录").arg(pty.path);
        QCOMPARE(asNobody([&] { return openFailsWith(pty.path, refused); }), 0);
        QCOMPARE(::fchmod(pty.slave, 0666), 0);
        QCOMPARE(asNobody([&] { return reconnects(pty.path) ? 0 : 1; }), 0);
    }

    void secondOpenerFindsThePortInUse()
    {
        PseudoTerminal pty;
        Connected first(pty);
        QVERIFY(first.component.OpenPort());
        Connected second(pty);
        QCOMPARE(second.component.OpenPort(), false);
        QCOMPARE(second.messages.texts,
                 QStringList{modbus::portErrorMessage + QStringLiteral("\n串口设备 %1 正被其他程序占用").arg(pty.path)});
        first.component.ClosePort();
        QVERIFY(second.component.OpenPort());
    }

    void goodTransactionWithFFBytes()
    {
        PseudoTerminal pty;
        Connected c(pty);
        QVERIFY(c.component.OpenPort());
        QByteArray request;
        std::thread device([&] {
            request = pty.receive(8);
            pty.send(withCrc(QByteArray::fromHex("010304FF8500FF")));
        });
        const bool result = c.component.FC03_ReadHoldingRegister_4X(1, 0, 2);
        device.join();
        QCOMPARE(request, QByteArray::fromHex("010300000002C40B"));
        QCOMPARE(result, true);
        QCOMPARE(c.registers, (QVector<qint16>{-123, 255, 0}));
    }

    void silentDeviceTimesOut()
    {
        PseudoTerminal pty;
        Connected c(pty);
        c.component.setRespondTimeOut(100);
        QVERIFY(c.component.OpenPort());
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(c.component.FC06_PresetSingleRegister_4X(1, 5, 15), false);
        QVERIFY(clock.elapsed() >= 100);
        QVERIFY(clock.elapsed() < 1000);
        QCOMPARE(c.errors, QList<int>{1000});
        QCOMPARE(pty.receive(8), QByteArray::fromHex("01060005000FD9CF"));
    }

    void staleBytesAreThrownAway()
    {
        PseudoTerminal pty;
        Connected c(pty);
        QVERIFY(c.component.OpenPort());
        QVERIFY(pty.send(QByteArray::fromHex("010302002A399B")));   // a late reply, already received
        QTest::qWait(50);
        std::thread device([&] {
            pty.receive(8);
            pty.send(withCrc(QByteArray::fromHex("0103020007")));
        });
        const bool result = c.component.FC03_ReadHoldingRegister_4X(1, 0, 1);
        device.join();
        QCOMPARE(result, true);
        QCOMPARE(c.registers, (QVector<qint16>{7, 0}));
    }

    void vanishedDeviceEndsTheWaitWithAnError()
    {
        PseudoTerminal pty;
        Connected c(pty);
        c.component.setRespondTimeOut(5000);
        QVERIFY(c.component.OpenPort());
        std::thread device([&] {
            pty.receive(8);
            pty.closeMaster();
        });
        QElapsedTimer clock;
        clock.start();
        QVERIFY_THROWS_EXCEPTION(SerialPortError, c.component.FC03_ReadHoldingRegister_4X(1, 0, 1));
        device.join();
        QVERIFY(clock.elapsed() < 2000);
        QCOMPARE(c.component.CommStatus(), qint16(1000));
        QVERIFY(c.errors.isEmpty());
        c.component.ClosePort();
        QCOMPARE(c.component.CommStatus(), qint16(0));
    }

    void inputBeyondTheBufferIsDropped()
    {
        PseudoTerminal pty;
        qputenv("MODBUS_COM7", pty.path.toLocal8Bit());
        PosixSerialPort port;
        port.setBufferSizes(1024, 1024);
        port.setSettings("9600,n,8,1");
        port.setPortNumber(portNumber);
        port.open();
        QVERIFY(pty.send(QByteArray(1100, 'a')));
        QTest::qWait(100);
        QCOMPARE(port.bytesWaiting(), 1024);
        QCOMPARE(port.takeAll().size(), 1024);
        QCOMPARE(port.bytesWaiting(), 0);
    }
};

QTEST_MAIN(PosixSerialPortTest)
#include "tst_posix_serial_port.moc"
