#include "component_events.h"
#include "modbus/modbus.h"
#include "modbus/port_directory.h"
#include "win32_serial_port.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <optional>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

// Runs on Windows, or under Wine with scripts/windows: COM7 is alarmsim (started with
// "--baud 9600 --fault silent --at 100"), COM8 and COM12 a device that is no serial port, COM99
// absent; ALARMCFG_TEST_SERVER_TCP and ALARMCFG_TEST_SERVER_RFC2217 name another alarmsim behind
// ser2net, ALARMCFG_TEST_SERVER_SREDIRD one behind sredird.

namespace {

constexpr int simulatorPort = 7;
constexpr int silentAddress = 100;

// CPU time this process has used, user and kernel.
std::chrono::milliseconds processorTime()
{
    FILETIME created, exited, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ticks = [](const FILETIME &t) {
        return (quint64(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 10000;
    };
    return std::chrono::milliseconds(ticks(kernel) + ticks(user));
}

// COM7 opened for a moment as another program would: its line as found, set to 1200 bit/s and 2
// stop bits first when `setOthers` holds (a pseudo-terminal keeps no parity or data bits). None
// when the port would not open.
std::optional<DCB> otherProgramsLine(bool setOthers)
{
    const HANDLE handle = ::CreateFileW(L"\\\\.\\COM7", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return std::nullopt;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    bool done = ::GetCommState(handle, &dcb);
    if (done && setOthers) {
        dcb.BaudRate = 1200;
        dcb.StopBits = TWOSTOPBITS;
        done = ::SetCommState(handle, &dcb);
    }
    ::CloseHandle(handle);
    return done ? std::optional(dcb) : std::nullopt;
}

// The component on the simulator's port, with what its events reported.
struct Connected : ComponentEvents {
    // A device server named by the environment variable `server`, or COM7 when none is given.
    explicit Connected(const QString &server = {})
    {
        component.setCommPort(simulatorPort);
        if (!server.isEmpty())
            component.setDevicePath(qEnvironmentVariable(qPrintable(server)));
        component.setRespondTimeOut(1000);
    }
};

} // namespace

class Win32SerialPortTest : public QObject {
    Q_OBJECT

private slots:
    void openFailures_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<int>("reason");
        QTest::newRow("no such port") << 99 << "9600,n,8,1" << int(PortFailure::NotFound);
        QTest::newRow("port 0") << 0 << "9600,n,8,1" << int(PortFailure::NotFound);
        QTest::newRow("not a serial port") << 8 << "9600,n,8,1" << int(PortFailure::NotSerialPort);
        // Reaches the device, not NotFound: ports from COM10 on need the \\.\ name.
        QTest::newRow("not a serial port, two digits")
            << 12 << "9600,n,8,1" << int(PortFailure::NotSerialPort);
        QTest::newRow("speed outside the list")
            << simulatorPort << "300,n,8,1" << int(PortFailure::SettingsRefused);
        QTest::newRow("empty settings text") << simulatorPort << "" << int(PortFailure::SettingsRefused);
    }
    void openFailures()
    {
        QFETCH(int, port);
        QFETCH(QString, settings);
        QFETCH(int, reason);
        Win32SerialPort serialPort;
        try {
            serialPort.setSettings(settings);
            serialPort.setPortNumber(port);
            serialPort.open();
            QFAIL("the port opened");
        } catch (const SerialPortError &error) {
            QCOMPARE(int(error.reason()), reason);
        }
        QVERIFY(!serialPort.isOpen());
    }

    // Every COMn is a port, whether or not SetupAPI lists it (under Wine it may list none).
    void portDirectoryNamesEveryCom_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("path");
        QTest::newRow("listed") << simulatorPort << "COM7";
        QTest::newRow("beyond the list") << 12 << "COM12";
        QTest::newRow("three digits") << 256 << "COM256";
        QTest::newRow("port 0") << 0 << "";
    }
    void portDirectoryNamesEveryCom()
    {
        QFETCH(int, number);
        const SerialDevice device = PortDirectory().port(number);
        QTEST(device.path, "path");
        QCOMPARE(device.description.isEmpty(), device.path.isEmpty());
        QVERIFY(!PortDirectory().presentPortsNote().isEmpty());
    }

    // Every speed of the BaudRate list and every parity reach the device (Wine applies the DCB to
    // the pseudo-terminal), the controller answers through it, and the next program finds the
    // line as the one before left it.
    void everySettingOpens_data()
    {
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("dataBits");
        QTest::addColumn<int>("stopBits");
        for (int speed : {2400, 4800, 9600, 14400, 19200, 28800, 38400, 56000, 128000, 256000})
            QTest::addRow("%d 8N1", speed) << speed << 0 << 8 << 1;
        QTest::newRow("odd parity, 7 data bits") << 9600 << 1 << 7 << 1;
        QTest::newRow("even parity, 2 stop bits") << 19200 << 2 << 8 << 2;
    }
    void everySettingOpens()
    {
        QFETCH(int, speed);
        QFETCH(int, parity);
        QFETCH(int, dataBits);
        QFETCH(int, stopBits);
        QVERIFY(otherProgramsLine(true));
        Connected c;
        c.component.setBaudRate(speed);
        c.component.setParity(parity);
        c.component.setDataBit(dataBits);
        c.component.setStopBit(stopBits);
        QVERIFY2(c.component.OpenPort(), qPrintable(c.messages.texts.join(' ')));
        QVERIFY(c.messages.texts.isEmpty());
        QVERIFY(c.component.FC03_ReadHoldingRegister_4X(1, 0, 7));
        QCOMPARE(c.registers.size(), 8);
        c.component.ClosePort();
        const std::optional<DCB> found = otherProgramsLine(false);
        QVERIFY(found);
        QCOMPARE(found->BaudRate, DWORD(1200));
        QCOMPARE(found->StopBits, BYTE(TWOSTOPBITS));
    }

    void transactions_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("server"); // empty: COM7
        QTest::newRow("status block") << 0 << 7 << 0 << "";
        QTest::newRow("120 registers, paced at 9600 bit/s") << 200 << 120 << 0 << "";
        QTest::newRow("silent controller times out") << silentAddress << 1 << 1000 << "";
        QTest::newRow("120 registers through a raw device server") << 200 << 120 << 0 << "ALARMCFG_TEST_SERVER_TCP";
        QTest::newRow("120 registers through an RFC 2217 server") << 200 << 120 << 0 << "ALARMCFG_TEST_SERVER_RFC2217";
        QTest::newRow("120 registers through sredird") << 200 << 120 << 0 << "ALARMCFG_TEST_SERVER_SREDIRD";
    }
    // The wait sleeps in the kernel: a spinning wait would use about as much processor time as
    // the wall clock shows.
    void transactions()
    {
        QFETCH(int, address);
        QFETCH(int, count);
        QFETCH(int, error);
        QFETCH(QString, server);
        if (!server.isEmpty() && qEnvironmentVariableIsEmpty(qPrintable(server)))
            QFAIL(qPrintable(server + " is not set: scripts/windows starts the device servers and sets it"));
        Connected c(server);
        QVERIFY2(c.component.OpenPort(), qPrintable(c.messages.texts.join('\n')));
        QElapsedTimer clock;
        clock.start();
        const auto cpuBefore = processorTime();
        const bool answered = c.component.FC03_ReadHoldingRegister_4X(1, qint16(address), qint16(count));
        const qint64 elapsed = clock.elapsed();
        const auto cpu = processorTime() - cpuBefore;
        QCOMPARE(answered, error == 0);
        QCOMPARE(c.errors, error ? QList<int>{error} : QList<int>{});
        QCOMPARE(c.registers.size(), error ? 0 : count + 1);
        if (error)
            QVERIFY2(elapsed >= 1000 && elapsed < 2000, qPrintable(QString::number(elapsed)));
        QVERIFY2(cpu.count() < elapsed / 4 + 20, qPrintable(QString::number(cpu.count())));
    }

    void writeIsReadBack()
    {
        Connected c;
        QVERIFY(c.component.OpenPort());
        QVERIFY(c.component.FC06_PresetSingleRegister_4X(1, 5, 0x2A));
        QVERIFY(c.component.FC03_ReadHoldingRegister_4X(1, 5, 1));
        QCOMPARE(c.registers.first(), qint16(0x2A));
    }

    // scripts/windows kills the controller when the file named by ALARMSIM_KILL_FILE appears and
    // removes the file when the controller is gone.
    void vanishedControllerFailsTheNextRequest()
    {
        const QString killFile = qEnvironmentVariable("ALARMSIM_KILL_FILE");
        if (killFile.isEmpty())
            QSKIP("needs scripts/windows to end the controller");
        Connected c;
        QVERIFY(c.component.OpenPort());
        QVERIFY(c.component.FC03_ReadHoldingRegister_4X(1, 0, 7));
        QFile(killFile).open(QIODevice::WriteOnly);
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(killFile), 10000);
        QElapsedTimer clock;
        clock.start();
        bool failed = false;
        try {
            failed = !c.component.FC03_ReadHoldingRegister_4X(1, 0, 7);
            QCOMPARE(c.messages.texts, QStringList{modbus::sendErrorMessage});
        } catch (const SerialPortError &) {
            failed = true;
        }
        QVERIFY(failed);
        QVERIFY(clock.elapsed() < 3000);
    }
};

QTEST_MAIN(Win32SerialPortTest)
#include "tst_win32_serial_port.moc"
