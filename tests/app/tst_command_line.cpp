#include "app/backups.h"
#include "app/command_line.h"
#include "app/config_file.h"
#include "app/qt_translations.h"
#include "app/config_menu.h"
#include "app/json_path.h"
#include "device_server.h"
#include "connection/connect.h"
#include "connection/handler_guard.h"
#include "connection/read_back_decoding.h"
#include "editing/write_parameters.h"
#include "edition_named.h"
#include "sim_form_rig.h"

#include "modbus/modbus.h"

#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>

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
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR"}) // as cron runs it
        environment.remove(name);
    process.setProcessEnvironment(environment);
    process.start(programOf(edition), arguments);
    if (!process.waitForFinished(120000))
        process.kill();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
        QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

// Standard error lines that are not the program's own ("alarmcfg_th: ..."): Qt's warnings.
QStringList foreignLines(const QString &edition, const Run &run)
{
    const QString prefix = programOf(edition).section('/', -1) + ": ";
    QStringList foreign;
    for (const QString &line : run.err.split('\n', Qt::SkipEmptyParts))
        if (!line.startsWith(prefix))
            foreign << line;
    return foreign;
}

// Every request a controller received, as bytes.
QStringList requestsOf(const QList<SimulatorRequest> &requests)
{
    QStringList sent;
    for (const SimulatorRequest &request : requests)
        sent << request.request;
    return sent;
}

// A saved configuration without its time of saving.
QByteArray savedWithoutTime(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QJsonObject document = QJsonDocument::fromJson(file.readAll()).object();
    document.remove(QStringLiteral("saved"));
    return QJsonDocument(document).toJson();
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

// The example of `edition` with `changes` (JSON paths) saved at `path`.
bool writeExampleWith(const QString &edition, const QJsonObject &changes, const QString &path)
{
    QFile example(exampleOf(edition));
    if (!example.open(QIODevice::ReadOnly))
        return false;
    QJsonObject file = QJsonDocument::fromJson(example.readAll()).object();
    for (auto it = changes.begin(); it != changes.end(); ++it)
        setValueAt(file, it.key(), it.value());
    QFile given(path);
    return given.open(QIODevice::WriteOnly) && given.write(QJsonDocument(file).toJson()) > 0;
}

// A controller whose slots are all empty, so that no old text shows behind a shorter new one
// (such bytes read back as characters the write refuses, and opening the file names them).
bool startEmptyController(Simulator &sim, const QString &edition)
{
    QJsonArray emptyImage;
    for (int address = 0; address < 1300; ++address)
        emptyImage.append(address == 6 ? 0x21 : 0); // firmware V2.1
    QFile state(sim.statePath());
    if (!state.open(QIODevice::WriteOnly))
        return false;
    state.write(QJsonDocument(QJsonObject{{"edition", edition},
                                  {"registers", QJsonArray{QJsonObject{{"address", 0}, {"values", emptyImage}}}}})
                    .toJson());
    state.close();
    return sim.start(simulatorArguments(edition));
}

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void parse_data();
    void parse();
    void withoutDisplay_data();
    void withoutDisplay();
    void writeFromFileSendsWhatSetSends_data();
    void writeFromFileSendsWhatSetSends();
    void deviceServerCarriesTheSameRequests_data();
    void deviceServerCarriesTheSameRequests();
    void readThenWriteReproducesTheController_data();
    void readThenWriteReproducesTheController();
    void verifyListsDifferences_data();
    void verifyListsDifferences();
    void windowComparesWithController_data();
    void windowComparesWithController();
    void compareAfterComparesCutShort();
    void failures_data();
    void failures();
    void trafficLog_data();
    void trafficLog();
    void connectKeepsABackup_data();
    void connectKeepsABackup();
};

// The parser's texts in Chinese, as the programs show them.
void TestCommandLine::initTestCase()
{
    QVERIFY(installQtTranslations());
}

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
    QTest::newRow("help names device servers") << QStringList{"-h"} << Action::Help << ""
                                               << ""
                                               << "rfc2217://主机:端口";
    QTest::newRow("device server") << QStringList{"--port", "rfc2217://10.0.0.5:4001", "--read", "a.json"}
                                   << Action::Read << "rfc2217://10.0.0.5:4001"
                                   << "a.json"
                                   << "";
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
    QTest::newRow("verify") << QStringList{"--verify", "c.json", "--port", "COM3"} << Action::Verify << "COM3"
                            << "c.json"
                            << "";
    QTest::newRow("verify without port") << QStringList{"--verify", "c.json"} << Action::Refused << ""
                                         << ""
                                         << "--verify 需要 --port";
    QTest::newRow("verify and write") << QStringList{"--port", "COM1", "--verify", "a", "--write", "b"}
                                      << Action::Refused << ""
                                      << ""
                                      << "--verify 不能";
    QTest::newRow("verify and read") << QStringList{"--port", "COM1", "--read", "a", "--verify", "b"}
                                     << Action::Refused << ""
                                     << ""
                                     << "--verify 不能";
    QTest::newRow("unknown option") << QStringList{"--reed", "a.json"} << Action::Refused << ""
                                    << ""
                                    << "未知选项“reed”";
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

    QTest::newRow("help") << "th" << QStringList{"--help"} << 0 << "用法：alarmcfg_th [选项]"
                          << "";
    QTest::newRow("version") << "analog" << QStringList{"-v"} << 0 << "alarmcfg 5.0"
                             << "";
    QTest::newRow("unknown option") << "analog" << QStringList{"--bogus"} << usageExitCode << ""
                                    << "未知选项“bogus”。\n\n用法：alarmcfg [选项]";
    QTest::newRow("value missing") << "analog" << QStringList{"--port"} << usageExitCode << ""
                                   << "“--port”之后缺少值";
    QTest::newRow("verify without port") << "th" << QStringList{"--verify", "site.json"} << usageExitCode << ""
                                         << "--verify 需要 --port";
    QTest::newRow("traffic log not writable")
        << "analog" << QStringList{"--log-traffic", "/nonexistent/t.log"} << 1 << ""
        << "/nonexistent/t.log";
    QTest::newRow("read into a missing folder sends nothing")
        << "analog" << QStringList{"--port", "COM1", "--read", "/nonexistent/site.json"} << 1 << ""
        << "无法保存配置文件 /nonexistent/site.json";
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
    if (exitCode == 0) // nothing but the answer, whatever the environment lacks
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
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
    QCOMPARE(foreignLines(edition, run), QStringList());
    QVERIFY(!fromWindow.isEmpty());
    QCOMPARE(writesOf(sim.requests()), fromWindow);
}

void TestCommandLine::deviceServerCarriesTheSameRequests_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<DeviceServer::Kind>("server");
    using Kind = DeviceServer::Kind;
    const std::pair<const char *, Kind> servers[] = {
        {"tcp", Kind::Ser2net}, {"rfc2217", Kind::Ser2net}, {"rfc2217", Kind::PySerial}, {"rfc2217", Kind::Sredird}};
    for (const char *edition : {"analog", "th"})
        for (const auto &[scheme, server] : servers)
            QTest::addRow("%s %s %s", edition, scheme, qPrintable(DeviceServer::name(server)))
                << edition << scheme << server;
}

// The connect read-back and the full write through each device server put the same bytes on the
// line as on a local port, and the read-back saves the same file.
void TestCommandLine::deviceServerCarriesTheSameRequests()
{
    QFETCH(QString, edition);
    QFETCH(QString, scheme);
    QFETCH(DeviceServer::Kind, server);
    QTemporaryDir dir;
    // The read-back into `file`, then the example written; standard error of a failure.
    const auto readAndWrite = [&](const QString &port, const QString &file) {
        const Run read = runProgram(edition, {"--port", port, "--read", file});
        const Run write = runProgram(edition, {"--port", port, "--write", exampleOf(edition)});
        return read.err.repeated(read.exitCode != 0 ? 1 : 0) + write.err.repeated(write.exitCode != 0 ? 1 : 0);
    };
    Simulator local;
    Simulator remote;
    local.setPortNumber(5);
    QVERIFY2(local.start(simulatorArguments(edition, {"--static"})), qPrintable(local.errorText()));
    QVERIFY2(remote.start(simulatorArguments(edition, {"--static"})), qPrintable(remote.errorText()));
    DeviceServer served;
    if (!served.start(remote.devicePath(), QStringLiteral("9600n81"), server))
        QFAIL(qPrintable(served.errorText()));
    const QString port = served.url(qPrintable(scheme), scheme == "tcp" ? served.rawPort : served.telnetPort);

    const QString localFailure = readAndWrite("COM5", dir.filePath("local.json"));
    QVERIFY2(localFailure.isEmpty(), qPrintable(localFailure));
    const QString remoteFailure = readAndWrite(port, dir.filePath("remote.json"));
    QVERIFY2(remoteFailure.isEmpty(), qPrintable(remoteFailure));
    QVERIFY(requestsOf(local.requests()).size() > 50);
    QCOMPARE(requestsOf(remote.requests()), requestsOf(local.requests()));
    QCOMPARE(savedWithoutTime(dir.filePath("remote.json")), savedWithoutTime(dir.filePath("local.json")));
}

void TestCommandLine::readThenWriteReproducesTheController_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<QJsonObject>("target"); // changes to the example the target held before
    QJsonArray elevenPhones;
    for (int k = 0; k < 11; ++k)
        elevenPhones.append(QStringLiteral("1390000%1").arg(k, 4, 10, QLatin1Char('0')));
    const QJsonObject longer{{"relays[0].openReply", "设备1已经开启成功"}, {"inputAlarmTexts[2]", "机房门被打开了请检查"},
                             {"allOff", "全部关闭设备"}};
    QTest::newRow("analog") << "analog" << QJsonObject();
    QTest::newRow("th") << "th" << QJsonObject();
    QJsonObject thLonger = longer;
    thLonger.insert("phones", elevenPhones);
    thLonger.insert("temperature.highText", "机房温度过高请立即检查空调");
    QTest::newRow("th over longer texts and eleven numbers") << "th" << thLonger;
    QJsonObject analogLonger = longer;
    QJsonArray tenPhones = elevenPhones;
    tenPhones.removeLast();
    analogLonger.insert("phones", tenPhones);
    QTest::newRow("analog over longer texts and ten numbers") << "analog" << analogLonger;
}

// A controller configured from the example, read into a file and written to a blank controller:
// every register the write touches holds what the first controller holds. The first controller
// starts with empty slots.
void TestCommandLine::readThenWriteReproducesTheController()
{
    QFETCH(QString, edition);
    QFETCH(QJsonObject, target);
    QTemporaryDir dir;
    const QString copy = dir.filePath("copy.json");
    const QString held = dir.filePath("held.json");
    QVERIFY(writeExampleWith(edition, target, held));
    Simulator source;
    Simulator blank;
    source.setPortNumber(3);
    blank.setPortNumber(4);
    QVERIFY(startEmptyController(source, edition) && blank.start(simulatorArguments(edition)));
    QCOMPARE(runProgram(edition, {"--port", "COM3", "--write", exampleOf(edition)}).exitCode, 0);
    QCOMPARE(runProgram(edition, {"--port", "COM4", "--write", held}).exitCode, 0);
    const qsizetype heldRequests = blank.requests().size();

    const Run read = runProgram(edition, {"--port", "COM3", "--read", copy});
    QVERIFY2(read.exitCode == 0, qPrintable(read.err));
    const Run write = runProgram(edition, {"--port", "COM4", "--write", copy});
    QVERIFY2(write.exitCode == 0, qPrintable(write.err));
    // What --read saved verifies against the controller it came from, and the one it was written to.
    for (const QString port : {"COM3", "COM4"}) {
        const Run verify = runProgram(edition, {"--port", port, "--verify", copy});
        QVERIFY2(verify.exitCode == 0, qPrintable(verify.err));
        QCOMPARE(foreignLines(edition, verify), QStringList());
    }

    QVERIFY(source.stop() && blank.stop()); // saves the register images
    const QVector<qint16> expected = source.registers();
    const QVector<qint16> copied = blank.registers();
    int compared = 0;
    for (const SimulatorRequest &request : blank.requests().mid(heldRequests)) {
        if (request.fn != 16 && request.fn != 6)
            continue;
        for (int i = 0; i < request.values.size(); ++i, ++compared)
            QVERIFY2(copied[request.addr + i] == expected[request.addr + i],
                qPrintable(QStringLiteral("register %1").arg(request.addr + i)));
    }
    QVERIFY(compared > 100);
}

void TestCommandLine::verifyListsDifferences_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<QJsonObject>("changes"); // to the example the controller holds
    QTest::addColumn<QStringList>("lines");   // one per difference, in the window's order

    QTest::newRow("agrees") << "analog" << QJsonObject() << QStringList();
    QTest::newRow("relay command and option")
        << "analog" << QJsonObject{{"relays[0].open", "开灯"}, {"options.hold", true}}
        << QStringList{"继电器1 开启命令：文件 \"开灯\"，控制器 \"设备1开\"", "掉电记忆：文件 true，控制器 false"};
    QTest::newRow("th limit and phones")
        << "th" << QJsonObject{{"humidity.high", 70}, {"phones", QJsonArray{"13900000000"}}}
        << QStringList{"手机号码：文件 [\"13900000000\"]，控制器 [", "湿度上限：文件 70，控制器 80"};
}

// A controller written from the example, verified against the example with changes: each
// difference one line, in order, with both values; exit status 1 only when there are any.
void TestCommandLine::verifyListsDifferences()
{
    QFETCH(QString, edition);
    QFETCH(QJsonObject, changes);
    QFETCH(QStringList, lines);
    QTemporaryDir dir;
    const QString path = dir.filePath("site.json");
    QVERIFY(writeExampleWith(edition, changes, path));
    Simulator sim;
    sim.setPortNumber(7);
    QVERIFY(startEmptyController(sim, edition));
    QCOMPARE(runProgram(edition, {"--port", "COM7", "--write", exampleOf(edition)}).exitCode, 0);

    const Run run = runProgram(edition, {"--port", "COM7", "--verify", path});
    QCOMPARE(run.exitCode, lines.isEmpty() ? 0 : 1);
    QCOMPARE(foreignLines(edition, run), QStringList());
    const QString prefix = programOf(edition).section('/', -1) + ": ";
    QStringList reported;
    for (const QString &line : run.err.split('\n'))
        if (lines.isEmpty() || line.contains(QStringLiteral("：文件 ")))
            reported << line;
    if (lines.isEmpty()) {
        QVERIFY2(run.err.contains("一致"), qPrintable(run.err));
        return;
    }
    QCOMPARE(reported.size(), lines.size());
    for (int i = 0; i < lines.size(); ++i)
        QVERIFY2(reported[i].startsWith(prefix + lines[i]), qPrintable(reported[i]));
}

void TestCommandLine::windowComparesWithController_data()
{
    QTest::addColumn<QJsonObject>("changes"); // to the file saved after a first comparison
    QTest::addColumn<QByteArray>("raw");      // replaces the file when set
    QTest::addColumn<QString>("message");     // part of the one message
    QTest::addColumn<bool>("reads");          // the controller is read

    QTest::newRow("agrees") << QJsonObject() << QByteArray() << "与控制器一致" << true;
    QTest::newRow("differs") << QJsonObject{{"relays[1].close", "关灯"}, {"allOn", "开"}} << QByteArray()
                             << "继电器2 关闭命令：文件 \"关灯\"，控制器 \"" << true;
    QTest::newRow("broken file") << QJsonObject() << QByteArray("{") << "JSON" << false;
}

// 与控制器比较… reads the whole configuration, all-relay commands included, and shows the list in
// one message; a bad file is refused before anything is read. The window keeps what was typed.
void TestCommandLine::windowComparesWithController()
{
    QFETCH(QJsonObject, changes);
    QFETCH(QByteArray, raw);
    QFETCH(QString, message);
    QFETCH(bool, reads);
    QTemporaryDir dir;
    const QString path = dir.filePath("site.json");
    SimFormRig rig(analogEdition(), simulatorArguments("analog"));
    QVERIFY2(rig.ready(), qPrintable(rig.sim.errorText()));
    addConfigurationMenu(*rig.form, [&path](FileChoice) { return path; });
    auto *compare = rig.form->findChild<QAction *>("mnuCompareConfig");
    QVERIFY(compare);
    QCOMPARE(compare->text(), "与控制器比较…");
    rig.connect();
    QVERIFY(rig.form->IsConnected);
    saveConfiguration(*rig.form, path);
    compare->trigger(); // the window now holds the all-relay commands too
    saveConfiguration(*rig.form, path);
    QJsonObject file = QJsonDocument::fromJson([&] {
        QFile saved(path);
        return saved.open(QIODevice::ReadOnly) ? saved.readAll() : QByteArray();
    }()).object();
    for (auto it = changes.begin(); it != changes.end(); ++it)
        setValueAt(file, it.key(), it.value());
    QFile given(path);
    QVERIFY(given.open(QIODevice::WriteOnly) && given.write(raw.isEmpty() ? QJsonDocument(file).toJson() : raw) > 0);
    given.close();
    rig.messages.clear();
    const qsizetype before = rig.requests().size();
    rig.form->ui.txtOpen[0]->setText("我的修改");
    rig.form->ui.cmbRangeSel[1]->setCurrentIndex(3);
    const auto windowValues = [&rig] {
        QJsonObject values = QJsonDocument::fromJson(configurationJson(*rig.form)).object();
        values.remove("saved");
        return values;
    };
    const QJsonObject typed = windowValues();

    compare->trigger();
    QCOMPARE(windowValues(), typed);
    QCOMPARE(rig.messages.size(), 1);
    QVERIFY2(rig.messages[0].contains(message), qPrintable(rig.messages[0]));
    QCOMPARE(rig.messages[0].count('\n') + 1, changes.isEmpty() ? 1 : int(changes.size()));
    QCOMPARE(rig.requests().size() > before, reads);
}

// A compare cut short, first by a controller that falls silent and then by a port that vanishes
// while the all-on/all-off commands are read, leaves nothing listening: the next compare on a new
// connection reads and agrees.
void TestCommandLine::compareAfterComparesCutShort()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("site.json");
    SimFormRig rig(analogEdition(), simulatorArguments("analog"));
    QVERIFY2(rig.ready(), qPrintable(rig.sim.errorText()));
    addConfigurationMenu(*rig.form, [&path](FileChoice) { return path; });
    auto *compare = rig.form->findChild<QAction *>("mnuCompareConfig");
    rig.connect();
    QVERIFY(rig.form->IsConnected);
    saveConfiguration(*rig.form, path);
    compare->trigger();
    saveConfiguration(*rig.form, path);
    const auto cutShort = [&](int address, const std::function<void()> &fault) {
        rig.form->modbus1->setRespondTimeOut(50);
        rig.messages.clear();
        const QMetaObject::Connection onReply = connect(rig.form->modbus1, &modbus::FC03ReadHoldingRegisterRespond4X,
            this, [&](qint16, qint16, qint16 &, qint16 startAddress, QVector<qint16> &, qint16) {
                if (startAddress == address)
                    fault();
            });
        compare->trigger();
        disconnect(onReply);
        QVERIFY(!rig.form->IsConnected);
        QCOMPARE(rig.messages.size(), 1);
    };
    const qint64 pid = rig.sim.processId();

    cutShort(1010, [pid] { ::kill(pid_t(pid), SIGSTOP); }); // 1018, 1022 and 1026 go unanswered
    QVERIFY2(rig.messages[0].contains(silenceMessage), qPrintable(rig.messages[0]));
    ::kill(pid_t(pid), SIGCONT);
    QTest::qWait(200); // its late replies are gone before the next connect
    rig.connect();
    QVERIFY(rig.form->IsConnected);
    cutShort(490, [&rig] { rig.sim.kill(); }); // 510 cannot be sent
    QVERIFY2(rig.messages[0].contains(rig.sim.devicePath()), qPrintable(rig.messages[0]));
    QVERIFY2(rig.sim.start(simulatorArguments("analog")), qPrintable(rig.sim.errorText()));
    rig.connect();
    QVERIFY(rig.form->IsConnected);
    rig.messages.clear();

    compare->trigger();

    QCOMPARE(rig.messages, QStringList{"与控制器一致"});
}

void TestCommandLine::failures_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<QStringList>("simulator"); // {"none"}: no controller on the port
    QTest::addColumn<QString>("option");        // --read, --write or --verify
    QTest::addColumn<QByteArray>("file");       // what --write or --verify is given; empty: the example
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("requests"); // the controller saw this many; -1: any
    QTest::addColumn<int>("exitCode");

    QFile analogExample(exampleOf("analog"));
    QVERIFY(analogExample.open(QIODevice::ReadOnly));
    const QByteArray analogFile = analogExample.readAll();
    const QByteArray noFile;
    QTest::newRow("no port") << "analog" << QStringList{"none"} << "--read" << noFile << modbus::portErrorMessage
                             << -1 << 1;
    QTest::newRow("silent controller") << "th" << QStringList{"--silent"} << "--read" << noFile
                                       << noControllerMessage << -1 << 1;
    QTest::newRow("model named before the first request") << "analog" << QStringList{"--silent"} << "--read"
                                                          << noFile << "连接 COM5（模拟量型号）" << -1 << 1;
    QTest::newRow("old firmware") << "analog" << QStringList{"--firmware", "0x15"} << "--read" << noFile
                                  << firmwareTooOldMessage << 1 << 1;
    QTest::newRow("read not answered") << "analog" << QStringList{"--fault", "exception", "--at", "770"}
                                       << "--read" << noFile << "没有回答全部读取请求" << -1 << 1;
    QTest::newRow("controller falls silent during the read")
        << "analog" << QStringList{"--fault", "silent", "--at", "522,542,562"} << "--read" << noFile
        << silenceMessage << 5 << 1;
    QTest::newRow("controller falls silent during the write")
        << "analog" << QStringList{"--fault", "silent", "--at", "490,510,522"} << "--write" << noFile
        << partialWriteMessage << 36 << 1;
    QTest::newRow("refused value") << "th" << QStringList{"--fault", "exception", "--at", "850"} << "--write"
                                   << noFile << WriteMessages::failed << -1 << 1;
    // --verify tells an outage (3) from a file it cannot use (2) and from drift (1).
    QTest::newRow("verify: no port") << "th" << QStringList{"none"} << "--verify" << noFile
                                     << modbus::portErrorMessage << -1 << 3;
    QTest::newRow("verify: silent controller")
        << "analog" << QStringList{"--silent"} << "--verify" << noFile << noControllerMessage << -1 << 3;
    QTest::newRow("verify: read not answered") << "th" << QStringList{"--fault", "exception", "--at", "770"}
                                               << "--verify" << noFile << "没有回答全部读取请求" << -1 << 3;
    QTest::newRow("verify: controller falls silent during the read")
        << "analog" << QStringList{"--fault", "silent", "--at", "1018,1022,1026"} << "--verify" << noFile
        << silenceMessage << -1 << 3;
    QTest::newRow("verify: broken file") << "th" << QStringList() << "--verify"
                                         << QByteArray("{\"edition\": \"th\"") << "JSON" << 0 << 2;
    QTest::newRow("verify: file of the other model")
        << "th" << QStringList() << "--verify" << analogFile << "“analog”" << 0 << 2;
    QTest::newRow("broken file") << "analog" << QStringList() << "--write"
                                 << QByteArray("{\"edition\": \"analog\"") << "JSON" << 0 << 1;
    QTest::newRow("file of the other model")
        << "th" << QStringList() << "--write" << analogFile << "“analog”" << 0 << 1;
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
    QFETCH(int, exitCode);
    QTemporaryDir dir;
    const QString path = dir.filePath("site.json");
    if (option != "--read") {
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
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QCOMPARE(QFile::exists(path), option != "--read"); // a failed read leaves nothing behind
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

void TestCommandLine::connectKeepsABackup_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<QStringList>("fault");
    QTest::addColumn<bool>("saved");
    QTest::newRow("analog") << "analog" << QStringList{} << true;
    QTest::newRow("th") << "th" << QStringList{} << true;
    QTest::newRow("a read not answered") << "analog" << QStringList{"--fault", "exception", "--at", "770"} << false;
}

// After a connect the window's values are in the backups folder and the status line names the
// file, with the all-on and all-off commands the controller holds, read for the backup alone (the
// window keeps its boxes); a read-back with an unanswered request is not saved as if it were the
// controller's.
void TestCommandLine::connectKeepsABackup()
{
    QFETCH(QString, edition);
    QFETCH(QStringList, fault);
    QFETCH(bool, saved);
    QTemporaryDir dir;
    SimFormRig rig(editionNamed(edition), simArguments(edition, fault));
    QVERIFY2(rig.ready(), qPrintable(rig.sim.errorText()));
    keepBackupsAfterConnect(*rig.form, dir.filePath("backups"));
    rig.form->ui.txtAllCmd[0]->setText("窗口全开");
    rig.connect();
    QVERIFY(rig.form->IsConnected);
    const QString status = rig.form->ui.lblStatus->text();
    const QStringList files = QDir(dir.filePath("backups")).entryList(QDir::Files);
    if (!saved) {
        QVERIFY(files.isEmpty());
        QVERIFY2(status.contains("未保存备份"), qPrintable(status));
        return;
    }
    QCOMPARE(files.size(), 1);
    QVERIFY2(files[0].endsWith("-COM1.json"), qPrintable(files[0]));
    QVERIFY2(status.contains(files[0]), qPrintable(status));
    QCOMPARE(rig.form->ui.txtAllCmd[0]->text(), "窗口全开");

    const QString path = QDir(dir.filePath("backups")).filePath(files[0]);
    QFile backup(path);
    QVERIFY(backup.open(QIODevice::ReadOnly));
    const QJsonObject held = QJsonDocument::fromJson(backup.readAll()).object();
    QCOMPARE(held["allOn"].toString(), "全开");
    QCOMPARE(held["allOff"].toString(), "全关");

    FormMain copy(editionNamed(edition));
    assembleWindow(copy);
    openConfiguration(copy, path);
    auto valuesOf = [](const FormMain &form) {
        QJsonObject file = QJsonDocument::fromJson(configurationJson(form)).object();
        for (const char *header : {"saved", "firmware", "allOn", "allOff"})
            file.remove(header);
        return file;
    };
    QCOMPARE(valuesOf(copy), valuesOf(*rig.form));
}

QTEST_MAIN(TestCommandLine)
#include "tst_command_line.moc"
