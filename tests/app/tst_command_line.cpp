#include "app/command_line.h"
#include "app/config_file.h"
#include "connection/connect.h"
#include "connection/read_back_decoding.h"
#include "editing/write_parameters.h"
#include "edition_named.h"
#include "sim_form_rig.h"

#include "modbus/modbus.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace alarmcfg;
using Action = CommandLine::Action;
Q_DECLARE_METATYPE(CommandLine::Action)

namespace {

QString programOf(const QString &edition)
{
    return edition == "th" ? QStringLiteral(ALARMCFG_TH_PATH) : QStringLiteral(ALARMCFG_PATH);
}

QString exampleOf(const QString &edition)
{
    return QDir(EXAMPLES_DIR).filePath(edition + ".json");
}

QStringList simulatorArguments(const QString &edition, const QStringList &more = {})
{
    return QStringList{"--edition", edition} + more;
}

// One run of a program without a display: exit code and standard error.
struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run runProgram(const QString &edition, const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(name);
    process.setProcessEnvironment(environment);
    process.start(programOf(edition), arguments);
    if (!process.waitForFinished(120000))
        process.kill();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
        QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

// What a write put on the wire: function, first register and values of each request.
QStringList writesOf(const QList<SimulatorRequest> &requests)
{
    QStringList writes;
    for (const SimulatorRequest &request : requests)
        if (request.fn == 6 || request.fn == 16)
            writes << QStringLiteral("%1 %2 %3").arg(request.fn).arg(request.addr).arg(request.request);
    return writes;
}

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void withoutDisplay_data();
    void withoutDisplay();
    void writeFromFileSendsWhatSetSends_data();
    void writeFromFileSendsWhatSetSends();
    void readThenWriteReproducesTheController_data();
    void readThenWriteReproducesTheController();
    void failures_data();
    void failures();
    void trafficLog_data();
    void trafficLog();
};

void TestCommandLine::parse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("text"); // part of the text printed, if any

    QTest::newRow("window") << QStringList{} << Action::Window << ""
                            << ""
                            << "";
    QTest::newRow("port") << QStringList{"--port", "/dev/ttyUSB1"} << Action::Window << "/dev/ttyUSB1"
                          << ""
                          << "";
    QTest::newRow("help") << QStringList{"-h"} << Action::Help << ""
                          << ""
                          << "--log-traffic <FILE>";
    QTest::newRow("version") << QStringList{"--version"} << Action::Version << ""
                             << ""
                             << "alarmcfg 5.0";
    QTest::newRow("read") << QStringList{"--port", "COM2", "--read", "a.json"} << Action::Read << "COM2"
                          << "a.json"
                          << "";
    QTest::newRow("write") << QStringList{"--write", "b.json", "--port", "COM1", "--log-traffic", "t.log"}
                           << Action::Write << "COM1"
                           << "b.json"
                           << "";
    QTest::newRow("unknown option") << QStringList{"--reed", "a.json"} << Action::Refused << ""
                                    << ""
                                    << "Unknown option 'reed'";
    QTest::newRow("read without port") << QStringList{"--read", "a.json"} << Action::Refused << ""
                                       << ""
                                       << "--port";
    QTest::newRow("read and write") << QStringList{"--port", "COM1", "--read", "a", "--write", "b"}
                                    << Action::Refused << ""
                                    << ""
                                    << "--read";
    QTest::newRow("stray argument") << QStringList{"COM1"} << Action::Refused << ""
                                    << ""
                                    << "COM1";
    QTest::newRow("port beyond the list") << QStringList{"--port", "COM9"} << Action::Refused << ""
                                          << ""
                                          << "COM9";
    QTest::newRow("port in lower case") << QStringList{"--port", "com7", "--read", "a.json"} << Action::Read
                                        << "com7"
                                        << "a.json"
                                        << "";
    QTest::newRow("option twice") << QStringList{"--port", "COM1", "--port", "COM2"} << Action::Refused << ""
                                  << ""
                                  << "--port";
}

void TestCommandLine::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(Action, action);
    QFETCH(QString, port);
    QFETCH(QString, file);
    QFETCH(QString, text);
    const CommandLine parsed = parseCommandLine(QStringList{"alarmcfg"} + arguments, analogEdition());
    QCOMPARE(parsed.action, action);
    QCOMPARE(parsed.port, port);
    QCOMPARE(parsed.file, file);
    QVERIFY2(parsed.text.contains(text), qPrintable(parsed.text));
    if (action == Action::Refused)
        QVERIFY(parsed.text.contains("--log-traffic")); // the usage follows the error
}

void TestCommandLine::withoutDisplay_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    QTest::newRow("help") << "th" << QStringList{"--help"} << 0 << "Usage: alarmcfg_th"
                          << "";
    QTest::newRow("version") << "analog" << QStringList{"-v"} << 0 << "alarmcfg 5.0"
                             << "";
    QTest::newRow("unknown option") << "analog" << QStringList{"--bogus"} << usageExitCode << ""
                                    << "Usage: alarmcfg";
    QTest::newRow("traffic log not writable")
        << "analog" << QStringList{"--log-traffic", "/nonexistent/t.log"} << 1 << ""
        << "/nonexistent/t.log";
    QTest::newRow("bad file sends nothing")
        << "analog" << QStringList{"--port", "/dev/alarmcfg-no-port", "--write", "/nonexistent"} << 1 << ""
        << "/nonexistent";
    QTest::newRow("port beyond the list, read") << "analog" << QStringList{"--port", "COM9", "--read", "a.json"}
                                                << usageExitCode << "" << "无法识别的串口 COM9";
    QTest::newRow("port beyond the list refused before the file")
        << "th" << QStringList{"--port", "COM9", "--write", "/nonexistent"} << usageExitCode << ""
        << "无法识别的串口 COM9";
    QTest::newRow("port beyond the list, window")
        << "analog" << QStringList{"--port", "COM9"} << usageExitCode << "" << "无法识别的串口 COM9";
    QTest::newRow("port that is no name") << "analog" << QStringList{"--port", "USB", "--read", "a.json"}
                                          << usageExitCode << "" << "无法识别的串口 USB";
}

// The options that need no controller answer at once, without a display.
void TestCommandLine::withoutDisplay()
{
    QFETCH(QString, edition);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    const Run run = runProgram(edition, arguments);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.out.contains(out), qPrintable(run.out));
    QVERIFY2(run.err.contains(err), qPrintable(run.err));
}

void TestCommandLine::writeFromFileSendsWhatSetSends_data()
{
    QTest::addColumn<QString>("edition");
    QTest::newRow("analog") << "analog";
    QTest::newRow("th") << "th";
}

// The same file opened in the window and written with 设置, and written from the command line,
// puts the same bytes on the wire.
void TestCommandLine::writeFromFileSendsWhatSetSends()
{
    QFETCH(QString, edition);
    QStringList fromWindow;
    {
        SimFormRig rig(editionNamed(edition), simulatorArguments(edition));
        QVERIFY2(rig.ready(), qPrintable(rig.sim.errorText()));
        rig.connect();
        openConfiguration(*rig.form, exampleOf(edition));
        const qsizetype before = rig.requests().size();
        rig.click(rig.form->ui.cmdRelayWrite);
        QCOMPARE(rig.messages.last(), WriteMessages::succeeded);
        fromWindow = writesOf(rig.requests().mid(before));
    }
    Simulator sim;
    sim.setPortNumber(2);
    QVERIFY2(sim.start(simulatorArguments(edition)), qPrintable(sim.errorText()));
    const Run run = runProgram(edition, {"--port", "COM2", "--write", exampleOf(edition)});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY(run.err.contains(WriteMessages::succeeded));
    QVERIFY(!fromWindow.isEmpty());
    QCOMPARE(writesOf(sim.requests()), fromWindow);
}

void TestCommandLine::readThenWriteReproducesTheController_data()
{
    writeFromFileSendsWhatSetSends_data();
}

// A controller configured from the example, read into a file and written to a blank controller:
// every register the write touches holds what the first controller holds. The first controller
// starts with empty slots, so that no old text shows behind a shorter new one (such bytes read
// back as characters the write refuses, and opening the file names them).
void TestCommandLine::readThenWriteReproducesTheController()
{
    QFETCH(QString, edition);
    QTemporaryDir dir;
    const QString copy = dir.filePath("copy.json");
    Simulator source;
    Simulator blank;
    source.setPortNumber(3);
    blank.setPortNumber(4);
    QJsonArray emptyImage;
    for (int address = 0; address < 1300; ++address)
        emptyImage.append(address == 6 ? 0x21 : 0); // firmware V2.1
    QFile state(source.statePath());
    QVERIFY(state.open(QIODevice::WriteOnly));
    state.write(QJsonDocument(QJsonObject{{"edition", edition},
                                  {"registers", QJsonArray{QJsonObject{{"address", 0}, {"values", emptyImage}}}}})
                    .toJson());
    state.close();
    QVERIFY(source.start(simulatorArguments(edition)) && blank.start(simulatorArguments(edition)));
    QCOMPARE(runProgram(edition, {"--port", "COM3", "--write", exampleOf(edition)}).exitCode, 0);

    const Run read = runProgram(edition, {"--port", "COM3", "--read", copy});
    QVERIFY2(read.exitCode == 0, qPrintable(read.err));
    const Run write = runProgram(edition, {"--port", "COM4", "--write", copy});
    QVERIFY2(write.exitCode == 0, qPrintable(write.err));

    QVERIFY(source.stop() && blank.stop()); // saves the register images
    const QVector<qint16> expected = source.registers();
    const QVector<qint16> copied = blank.registers();
    int compared = 0;
    for (const SimulatorRequest &request : blank.requests()) {
        if (request.fn != 16 && request.fn != 6)
            continue;
        for (int i = 0; i < request.values.size(); ++i, ++compared)
            QVERIFY2(copied[request.addr + i] == expected[request.addr + i],
                qPrintable(QStringLiteral("register %1").arg(request.addr + i)));
    }
    QVERIFY(compared > 100);
}

void TestCommandLine::failures_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<QStringList>("simulator"); // {"none"}: no controller on the port
    QTest::addColumn<QString>("option");        // --read or --write
    QTest::addColumn<QByteArray>("file");       // what --write is given; empty: the edition's example
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("requests"); // the controller saw this many; -1: any

    QFile analogExample(exampleOf("analog"));
    QVERIFY(analogExample.open(QIODevice::ReadOnly));
    const QByteArray noFile;
    QTest::newRow("no port") << "analog" << QStringList{"none"} << "--read" << noFile << modbus::portErrorMessage
                             << -1;
    QTest::newRow("silent controller") << "th" << QStringList{"--silent"} << "--read" << noFile
                                       << noControllerMessage << -1;
    QTest::newRow("old firmware") << "analog" << QStringList{"--firmware", "0x15"} << "--read" << noFile
                                  << firmwareTooOldMessage << 1;
    QTest::newRow("read not answered") << "analog" << QStringList{"--fault", "exception", "--at", "770"}
                                       << "--read" << noFile << "没有回答全部读取请求" << -1;
    QTest::newRow("refused value") << "th" << QStringList{"--fault", "exception", "--at", "850"} << "--write"
                                   << noFile << WriteMessages::failed << -1;
    QTest::newRow("broken file") << "analog" << QStringList() << "--write"
                                 << QByteArray("{\"edition\": \"analog\"") << "JSON" << 0;
    QTest::newRow("file of the other model")
        << "th" << QStringList() << "--write" << analogExample.readAll() << "“analog”" << 0;
}

// Every failure says why, exits non-zero, leaves no file from a failed read and sends nothing for
// a bad file.
void TestCommandLine::failures()
{
    QFETCH(QString, edition);
    QFETCH(QStringList, simulator);
    QFETCH(QString, option);
    QFETCH(QByteArray, file);
    QFETCH(QString, message);
    QFETCH(int, requests);
    QTemporaryDir dir;
    const QString path = dir.filePath("site.json");
    if (option == "--write") {
        QFile example(exampleOf(edition));
        QVERIFY(example.open(QIODevice::ReadOnly));
        QFile given(path);
        QVERIFY(given.open(QIODevice::WriteOnly) && given.write(file.isEmpty() ? example.readAll() : file) > 0);
    }
    Simulator sim;
    sim.setPortNumber(5);
    if (simulator == QStringList{"none"})
        qputenv("MODBUS_COM5", dir.filePath("no-such-device").toLocal8Bit());
    else
        QVERIFY(sim.start(simulatorArguments(edition, simulator)));

    const Run run = runProgram(edition, {"--port", "COM5", option, path});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QCOMPARE(QFile::exists(path), option == "--write"); // a failed read leaves nothing behind
    if (requests >= 0)
        QCOMPARE(sim.requests().size(), requests);
    qunsetenv("MODBUS_COM5");
}

void TestCommandLine::trafficLog_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<QStringList>("simulator");
    QTest::addColumn<QString>("reply");  // start of the first reply in hex, "-" for none
    QTest::addColumn<QString>("result"); // of the first transaction

    QTest::newRow("answered") << "analog" << QStringList() << "01 03 0E"
                              << "ok";
    QTest::newRow("silent controller") << "th" << QStringList{"--silent"} << "-"
                                       << "error 1000";
}

// One line per transaction, appended after what the file held: time, request, reply, result.
void TestCommandLine::trafficLog()
{
    QFETCH(QString, edition);
    QFETCH(QStringList, simulator);
    QFETCH(QString, reply);
    QFETCH(QString, result);
    QTemporaryDir dir;
    const QString logPath = dir.filePath("traffic.log");
    QFile log(logPath);
    QVERIFY(log.open(QIODevice::WriteOnly) && log.write("earlier\n") > 0);
    log.close();
    Simulator sim;
    sim.setPortNumber(6);
    QVERIFY(sim.start(simulatorArguments(edition, simulator)));

    runProgram(edition, {"--port", "COM6", "--read", dir.filePath("site.json"), "--log-traffic", logPath});
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.first(), "earlier");
    QCOMPARE(lines.size() - 1, sim.requests().size());
    const QStringList first = lines[1].split('\t');
    QCOMPARE(first.size(), 4);
    QVERIFY(QDateTime::fromString(first[0], Qt::ISODateWithMs).isValid());
    QCOMPARE(first[1], "01 03 00 00 00 07 04 08");
    QVERIFY2(first[2].startsWith(reply), qPrintable(first[2]));
    QCOMPARE(first[3], result);
}

QTEST_MAIN(TestCommandLine)
#include "tst_command_line.moc"
