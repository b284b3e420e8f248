// Both programs against alarmsim over a pseudo-terminal: what goes on the wire when connecting,
// polling, switching relays and reading on demand, and what the window shows afterwards.
#include "edition_named.h"
#include "indicators.h"
#include "register_map.h"
#include "sim_form_rig.h"

#include "connection/config_view.h"
#include "connection/connect.h"
#include "connection/controller_link.h"
#include "connection/handler_guard.h"
#include "connection/link.h"
#include "connection/on_demand_read.h"
#include "connection/read_back_decoding.h"
#include "connection/read_configuration.h"
#include "editions/config_decoding.h"
#include "model/register_text.h"
#include "window/widget_state.h"

#include "modbus/modbus.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <signal.h>

using namespace alarmcfg;

namespace {

using registermap::Span;

// The probe, then the read-back.
QList<Span> expectedConnectReads(const QString &edition)
{
    return QList<Span>{registermap::statusBlock} + registermap::requests(registermap::of(edition).readBack);
}

QList<Span> expectedOnDemandReads(const QString &edition)
{
    return registermap::requests(registermap::of(edition).onDemand);
}

// Function 3 reads of slave 1 in the log, from position `from` on; anything else fails the test.
QList<Span> readsIn(const QList<SimulatorRequest> &log, qsizetype from = 0)
{
    QList<Span> out;
    for (qsizetype i = from; i < log.size(); ++i) {
        const SimulatorRequest &r = log[i];
        if (r.fn != 3 || r.slave != 1)
            return {{-r.fn, -1}};
        out << Span{r.addr, r.count};
    }
    return out;
}

QList<QVector<qint16>> relayWrites(const QList<SimulatorRequest> &log)
{
    QList<QVector<qint16>> out;
    for (const SimulatorRequest &r : log)
        if (r.fn == 6 && r.addr == 5)
            out << r.values;
    return out;
}

} // namespace

class TestConnectionSim : public QObject {
    Q_OBJECT

private slots:
    void connectReadsEverythingInOrder_data();
    void connectReadsEverythingInOrder();
    void configuredAnalogControllerFillsTheWindow();
    void configuredThControllerFillsTheWindow();
    void silentControllerIsNotConnected();
    void reconnectRepeatsTheReadBack();
    void linkWithoutWindowReadsWhatConnectShows_data();
    void linkWithoutWindowReadsWhatConnectShows();
    void firmwareVersion_data();
    void firmwareVersion();
    void indicators_data();
    void indicators();
    void temperatureAndHumidity_data();
    void temperatureAndHumidity();
    void relayButtonsWriteRegister5_data();
    void relayButtonsWriteRegister5();
    void pollingResumesAfterUnansweredRelayWrite();
    void onDemandRead_data();
    void onDemandRead();
    void onDemandReadReportsUnansweredRead();
    void onDemandReadNeedsConnection();
    void vanishedControllerDropsTheConnection_data();
    void vanishedControllerDropsTheConnection();
};

void TestConnectionSim::connectReadsEverythingInOrder_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<int>("requests");
    QTest::newRow("analog") << "analog" << 58;
    QTest::newRow("th") << "th" << 40;
}

void TestConnectionSim::connectReadsEverythingInOrder()
{
    QFETCH(QString, edition);
    QFETCH(int, requests);
    SimFormRig rig(editionNamed(edition), simArguments(edition));
    QVERIFY2(rig.ready(), qPrintable(rig.sim.errorText()));

    rig.connect();

    const QList<Span> reads = readsIn(rig.requests());
    QCOMPARE(reads.size(), requests);
    QCOMPARE(reads, expectedConnectReads(edition));
    QCOMPARE(rig.messages, QStringList());
    QVERIFY(rig.form->IsConnected);
    QCOMPARE(rig.form->ui.cmdConnect->text(), connectedCaption);
    QCOMPARE(rig.form->Timer1->interval(), 1000);
    QVERIFY(rig.form->Timer1->isTicking());
}

void TestConnectionSim::configuredAnalogControllerFillsTheWindow()
{
    SimFormRig rig(analogEdition(),
                   simArguments("analog", {"--set", "0=-7", "--set", "1=4095", "--set", "690=3",
                                           "--set", "697=-9", "--set", "1010=-5", "--set",
                                           "1013=300", "--set", "1018=7", "--set", "1019=-1",
                                           "--set", "1022=1234", "--set", "1026=3", "--set",
                                           "1027=2", "--set", "1030=6", "--set", "6=0x2A"}));
    QVERIFY2(rig.ready(), qPrintable(rig.sim.errorText()));
    const Controls &ui = rig.form->ui;
    rig.form->ui.chkHold->setChecked(true);

    rig.connect();
    QVERIFY(rig.sim.stop()); // saves the register image to compare with

    for (int r = 0; r < 8; ++r) {
        QCOMPARE(ui.txtOpen[r]->text(), QStringLiteral("设备%1开").arg(r + 1));
        QCOMPARE(ui.txtClose[r]->text(), QStringLiteral("设备%1关").arg(r + 1));
        QCOMPARE(ui.txtAnswer[r]->text(), rig.sim.registerText(50 + 60 * r, 10));
        QCOMPARE(ui.txtCAnswer[r]->text(), rig.sim.registerText(850 + 20 * r, 10));
    }
    QCOMPARE(ui.txtMiMa->text(), QStringLiteral("739164"));
    for (int k = 0; k < 4; ++k) {
        QCOMPARE(ui.txtTHAlmMsg[k]->text(), rig.sim.registerText(770 + 20 * k, 10));
        QCOMPARE(untilFirstNul(rig.form->DIAlarmText[k]), rig.sim.registerText(522 + 20 * k, 10));
    }
    QCOMPARE(ui.txtDIAlarm->toPlainText(), rig.sim.registerText(522, 10));
    QCOMPARE(ui.lstPhone->count(), 2);
    QCOMPARE(ui.lstPhone->item(0)->text(), QStringLiteral("15800000000"));
    QCOMPARE(ui.lstPhone->item(1)->text(), QStringLiteral("13900000001"));
    const QStringList times{"3", "0", "0", "0", "0", "0", "0", "-9"};
    for (int r = 0; r < 8; ++r)
        QCOMPARE(ui.txtTime[r]->text(), times[r]);
    const QStringList limits{"-5", "0", "5000", "300"};
    for (int k = 0; k < 4; ++k)
        QCOMPARE(ui.txtAdc[k]->text(), limits[k]);
    QCOMPARE(ui.txtTHCalc[0]->text(), QStringLiteral("7"));
    QCOMPARE(ui.txtTHCalc[1]->text(), QStringLiteral("-1"));
    QCOMPARE(ui.txtAIRange[0]->text(), QStringLiteral("1234"));
    QCOMPARE(ui.txtAIRange[1]->text(), QStringLiteral("5000"));
    QCOMPARE(ui.cmbRangeSel[0]->currentText(), QStringLiteral("0~10V"));
    QCOMPARE(ui.cmbRangeSel[1]->currentText(), QStringLiteral("0~20ma"));
    QVERIFY(!ui.chkHold->isChecked());
    QVERIFY(ui.chkPhoneAlarm->isChecked());
    QVERIFY(ui.chkAnswer->isChecked());
    QCOMPARE(ui.txtAI[0]->text(), QStringLiteral("-7"));
    QCOMPARE(ui.txtAI[1]->text(), QStringLiteral("4095"));
    QCOMPARE(ui.lblVertion->text(), QStringLiteral("V2.10"));
}

void TestConnectionSim::configuredThControllerFillsTheWindow()
{
    SimFormRig rig(temperatureHumidityEdition(),
                   simArguments("th", {"--set", "693=12", "--set", "1012=80", "--set", "1019=-3"}));
    QVERIFY2(rig.ready(), qPrintable(rig.sim.errorText()));
    const Controls &ui = rig.form->ui;

    rig.connect();
    QVERIFY(rig.sim.stop());

    for (int r = 0; r < 4; ++r) {
        QCOMPARE(ui.txtOpen[r]->text(), QStringLiteral("设备%1开").arg(r + 1));
        QCOMPARE(ui.txtCAnswer[r]->text(), rig.sim.registerText(850 + 20 * r, 10));
    }
    QCOMPARE(ui.txtTime[3]->text(), QStringLiteral("12"));
    QCOMPARE(ui.txtAdc[2]->text(), QStringLiteral("80"));
    QCOMPARE(ui.txtTHCalc[1]->text(), QStringLiteral("-3"));
    QCOMPARE(ui.txtTHAlmMsg[1]->text(), rig.sim.registerText(790, 10));
    QCOMPARE(ui.lstPhone->count(), 2);
    QCOMPARE(ui.lstPhone->item(1)->text(), QStringLiteral("13900000001"));
    QCOMPARE(ui.txtAI[0]->text(), QStringLiteral("23.5^C"));
    QCOMPARE(ui.txtAI[1]->text(), QStringLiteral("65.5%"));
}

void TestConnectionSim::silentControllerIsNotConnected()
{
    SimFormRig rig(analogEdition(), simArguments("analog", {"--silent"}));
    QVERIFY2(rig.ready(), qPrintable(rig.sim.errorText()));

    rig.connect();

    QCOMPARE(rig.messages, QStringList{noControllerMessage});
    QCOMPARE(rig.form->ui.lblStatus->text(), "未连接：" + rig.sim.devicePath() + " 上没有控制器应答");
    QVERIFY(!rig.form->IsConnected);
    QCOMPARE(rig.form->ui.cmdConnect->text(), QStringLiteral("连接"));
    QVERIFY(!rig.form->Timer1->isTicking());
    QTest::qWait(1200);
    QCOMPARE(readsIn(rig.requests()), (QList<Span>{{0, 7}}));
    // The port is closed: a relay press cannot even send.
    rig.click(rig.form->ui.cmdRelay[0]);
    QCOMPARE(rig.messages.last(), modbus::sendErrorMessage);
    QCOMPARE(rig.requests().size(), 1);
}

void TestConnectionSim::linkWithoutWindowReadsWhatConnectShows_data()
{
    QTest::addColumn<QString>("edition");
    QTest::newRow("analog") << "analog";
    QTest::newRow("th") << "th";
}

// The command line's link, without a window: a read cut short by a controller that falls silent
// leaves nothing listening to the component, and the next read gives what connecting shows.
void TestConnectionSim::linkWithoutWindowReadsWhatConnectShows()
{
    QFETCH(QString, edition);
    const Edition &shownEdition = editionNamed(edition);
    SimFormRig rig(shownEdition, simArguments(edition));
    QVERIFY2(rig.ready(), qPrintable(rig.sim.errorText()));
    rig.connect();
    QVERIFY(rig.form->IsConnected);
    ControllerConfig shown = collectConfig(*rig.form).config;
    for (QString &text : shown.inputAlarmTexts) // the window's buffer keeps what follows the NUL
        text = untilFirstNul(text);
    rig.connect(); // the port is the link's now

    modbus component;
    QStringList messages;
    ControllerLink link(component, LinkView{.showMessage = [&messages](const QString &text) { messages << text; }});
    component.setRespondTimeOut(50);
    const auto listening = [&component] { // nothing else listens to this component
        return QObject::disconnect(&component, &modbus::FC03ReadHoldingRegisterRespond4X, nullptr, nullptr);
    };
    const auto pid = pid_t(rig.sim.processId());
    QVERIFY(connectLink(link, shownEdition, "com1"));
    ::kill(pid, SIGSTOP);
    QVERIFY(!readWholeConfiguration(link, shownEdition, blankConfig(shownEdition)));
    ::kill(pid, SIGCONT);
    QVERIFY(!link.connected);
    QVERIFY(!listening());
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages[0].contains(silenceMessage), qPrintable(messages[0]));
    QTest::qWait(200); // its late replies are gone before the next connect

    QVERIFY(connectLink(link, shownEdition, "COM1"));
    std::optional<ControllerConfig> read = readWholeConfiguration(link, shownEdition, blankConfig(shownEdition));

    QVERIFY(read);
    QVERIFY(!listening());
    QVERIFY(read->allCommands[0] && read->allCommands[1]); // the window does not read these
    read->allCommands = shown.allCommands;
    read->firmware = shown.firmware;
    QVERIFY(*read == shown);
}

void TestConnectionSim::reconnectRepeatsTheReadBack()
{
    SimFormRig rig(analogEdition(), simArguments("analog"));
    QVERIFY2(rig.ready(), qPrintable(rig.sim.errorText()));
    QPushButton *button = rig.form->ui.cmdConnect;
    QStringList captions{button->text()};
    QList<Qt::CursorShape> cursorsDuringReplies;
    connect(rig.form->modbus1, &modbus::FC03ReadHoldingRegisterRespond4X, this, [&] {
        cursorsDuringReplies << (QApplication::overrideCursor() ? QApplication::overrideCursor()->shape()
                                                                : Qt::ArrowCursor);
    });

    rig.connect();
    captions << button->text();
    QVERIFY(!cursorsDuringReplies.isEmpty());
    QCOMPARE(cursorsDuringReplies.count(Qt::WaitCursor), cursorsDuringReplies.size());
    QVERIFY(!QApplication::overrideCursor()); // the busy cursor ends with the connect
    const qsizetype firstConnect = rig.requests().size();
    rig.connect();
    captions << button->text();
    QCOMPARE(rig.form->ui.lblStatus->text(), QStringLiteral("已断开连接"));
    QVERIFY(!rig.form->IsConnected);
    QVERIFY(!rig.form->Timer1->isTicking());
    QCOMPARE(rig.requests().size(), firstConnect); // disconnecting sends nothing
    rig.connect();
    captions << button->text();

    QCOMPARE(captions, (QStringList{"连接", "断开", "链接", "断开"}));
    QCOMPARE(readsIn(rig.requests(), firstConnect), expectedConnectReads("analog"));
    QVERIFY(rig.form->IsConnected);
    QCOMPARE(rig.messages, QStringList());
}

void TestConnectionSim::firmwareVersion_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QString>("status"); // DEV: the simulator's device
    QTest::newRow("analog 0x1F") << "analog" << "0x1F" << "V1.15" << true << "正在连接 DEV（模拟量型号）…";
    QTest::newRow("analog 0x20") << "analog" << "0x20" << "V2.0" << false << "已连接 DEV（模拟量型号），固件版本 V2.0";
    QTest::newRow("th 0x1F") << "th" << "0x1F" << "V1.15" << false << "已连接 DEV（温湿度型号），固件版本 V1.15";
    QTest::newRow("th 0x10") << "th" << "0x10" << "V1.0" << false << "已连接 DEV（温湿度型号），固件版本 V1.0";
}

void TestConnectionSim::firmwareVersion()
{
    QFETCH(QString, edition);
    QFETCH(QString, version);
    QFETCH(QString, caption);
    QFETCH(bool, refused);
    SimFormRig rig(editionNamed(edition), simArguments(edition, {"--firmware", version}));
    QVERIFY2(rig.ready(), qPrintable(rig.sim.errorText()));

    rig.connect();
    QTest::qWait(1200); // a poll would fall due meanwhile

    QCOMPARE(rig.form->ui.lblVertion->text(), caption);
    QTEST(rig.form->ui.lblStatus->text().replace(rig.sim.devicePath(), "DEV"), "status");
    if (refused) {
        QCOMPARE(rig.messages, QStringList{firmwareTooOldMessage});
        QCOMPARE(rig.programEnds, 1);
        QCOMPARE(rig.requests().size(), 1);
        QVERIFY(!rig.form->IsConnected);
        rig.click(rig.form->ui.cmdRelayRead); // no handler runs any more
        rig.click(rig.form->ui.cmdConnect);
        QCOMPARE(rig.requests().size(), 1);
        QCOMPARE(rig.messages.size(), 1);
    } else {
        QCOMPARE(rig.messages, QStringList());
        QCOMPARE(rig.programEnds, 0);
        QVERIFY(rig.form->IsConnected);
        QVERIFY(rig.requests().size() > expectedConnectReads(edition).size()); // polling
    }
}

void TestConnectionSim::indicators_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<QString>("inputs");
    QTest::addColumn<QString>("relays");
    QTest::addColumn<int>("greenInputs");
    QTest::addColumn<int>("greenRelays");
    QTest::newRow("analog 0x0005 0x0102") << "analog" << "0x0005" << "0x0102" << 0x05 << 0x02;
    QTest::newRow("analog all") << "analog" << "0xFFFF" << "0x00FF" << 0xFF << 0xFF;
    QTest::newRow("th 0x00F5 0x00FA") << "th" << "0x00F5" << "0x00FA" << 0x05 << 0x0A;
}

void TestConnectionSim::indicators()
{
    QFETCH(QString, edition);
    QFETCH(QString, inputs);
    QFETCH(QString, relays);
    QFETCH(int, greenInputs);
    QFETCH(int, greenRelays);
    SimFormRig rig(editionNamed(edition),
                   simArguments(edition, {"--set", "4=" + inputs, "--set", "5=" + relays}));
    QVERIFY2(rig.ready(), qPrintable(rig.sim.errorText()));

    rig.connect();

    QCOMPARE(greenMask(rig.form->ui.cmdDI), greenInputs);
    QCOMPARE(greenMask(rig.form->ui.cmdRelay), greenRelays);
    for (QPushButton *button : rig.form->ui.cmdDI)
        if (!isGreen(button))
            QCOMPARE(indicatorColor(button), buttonFaceColor(button));
    QVERIFY(rig.form->ui.cmdDI[0]->isEnabled() && rig.form->ui.txtAI[1]->isEnabled());

    rig.connect(); // disconnects: the last values stay, shown as not current
    QCOMPARE(greenMask(rig.form->ui.cmdDI), greenInputs);
    for (QWidget *live : {static_cast<QWidget *>(rig.form->ui.cmdDI[0]), static_cast<QWidget *>(rig.form->ui.txtAI[0]),
                          static_cast<QWidget *>(rig.form->ui.lblVertion)})
        QVERIFY2(!live->isEnabled(), qPrintable(live->objectName()));
    QVERIFY(rig.form->ui.cmdRelay[0]->isEnabled());
}

void TestConnectionSim::temperatureAndHumidity_data()
{
    QTest::addColumn<QString>("temperature");
    QTest::addColumn<QString>("humidity");
    QTest::addColumn<QString>("shownTemperature");
    QTest::addColumn<QString>("shownHumidity");
    QTest::newRow("23.5 65.5") << "235" << "655" << "23.5^C" << "65.5%";
    QTest::newRow("-1.2 0") << "-12" << "0" << "-1.2^C" << "0%";
    QTest::newRow("whole") << "250" << "1000" << "25^C" << "100%";
}

void TestConnectionSim::temperatureAndHumidity()
{
    QFETCH(QString, temperature);
    QFETCH(QString, humidity);
    SimFormRig rig(temperatureHumidityEdition(),
                   simArguments("th", {"--set", "0=" + temperature, "--set", "1=" + humidity}));
    QVERIFY2(rig.ready(), qPrintable(rig.sim.errorText()));

    rig.connect();

    QTEST(rig.form->ui.txtAI[0]->text(), "shownTemperature");
    QTEST(rig.form->ui.txtAI[1]->text(), "shownHumidity");
}

void TestConnectionSim::relayButtonsWriteRegister5_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<QString>("initial");
    QTest::addColumn<QList<int>>("presses");
    QTest::addColumn<QList<QVector<qint16>>>("written");
    QTest::addColumn<int>("greenAfter");
    QTest::newRow("Q3 on, off") << "analog" << "0" << QList<int>{3, 3}
                                << QList<QVector<qint16>>{{8}, {0}} << 0x00;
    QTest::newRow("0x0105: Q1 on, Q0 off") << "analog" << "0x0105" << QList<int>{1, 0}
                                           << QList<QVector<qint16>>{{0x0107}, {0x0006}} << 0x06;
    QTest::newRow("th Q3 on, Q0 on") << "th" << "0" << QList<int>{3, 0}
                                     << QList<QVector<qint16>>{{8}, {9}} << 0x09;
}

void TestConnectionSim::relayButtonsWriteRegister5()
{
    QFETCH(QString, edition);
    QFETCH(QString, initial);
    QFETCH(QList<int>, presses);
    QFETCH(QList<QVector<qint16>>, written);
    QFETCH(int, greenAfter);
    SimFormRig rig(editionNamed(edition), simArguments(edition, {"--set", "5=" + initial}));
    QVERIFY2(rig.ready(), qPrintable(rig.sim.errorText()));
    rig.connect();

    for (int relay : presses)
        rig.click(rig.form->ui.cmdRelay[relay]);

    QCOMPARE(relayWrites(rig.requests()), written);
    QCOMPARE(greenMask(rig.form->ui.cmdRelay), greenAfter);
    QVERIFY(rig.form->Timer1->isTicking());
    QCOMPARE(rig.messages, QStringList());
}

void TestConnectionSim::pollingResumesAfterUnansweredRelayWrite()
{
    SimFormRig rig(analogEdition(), simArguments("analog", {"--fault", "silent", "--at", "5"}));
    QVERIFY2(rig.ready(), qPrintable(rig.sim.errorText()));
    rig.connect();

    rig.click(rig.form->ui.cmdRelay[2]);
    QVERIFY(isGreen(rig.form->ui.cmdRelay[2])); // coloured before the write, not undone
    const qsizetype afterWrite = rig.requests().size();
    QCOMPARE(rig.requests().last().fn, 6);

    QTRY_VERIFY_WITH_TIMEOUT(readsIn(rig.requests(), afterWrite).contains(Span{0, 7}), 3000);
    QVERIFY(!isGreen(rig.form->ui.cmdRelay[2])); // the poll shows the controller's relays again
    QVERIFY(rig.form->IsConnected);
}

void TestConnectionSim::onDemandRead_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<QString>("status");
    QTest::newRow("analog") << "analog"
                            << "已重新读取：数字量报警短信、手机号码、模拟量报警短信、开启命令、关闭命令、"
                               "开启回复、关闭回复、动作时间、报警值、校准值";
    QTest::newRow("th") << "th" << "已重新读取：开启命令、关闭命令、开启回复";
}

void TestConnectionSim::onDemandRead()
{
    QFETCH(QString, edition);
    SimFormRig rig(editionNamed(edition), simArguments(edition));
    QVERIFY2(rig.ready(), qPrintable(rig.sim.errorText()));
    rig.connect();
    const qsizetype afterConnect = rig.requests().size();
    Controls &ui = rig.form->ui;
    // Edits the read overwrites, and edits it must keep.
    ui.txtOpen[0]->setText("x");
    ui.txtCAnswer[0]->setText("kept unless read");
    ui.lstPhone->clear();
    ui.txtAdc[0]->setText("42");
    if (!isTh(edition)) {
        ui.txtAIRange[0]->setText("1");
        ui.cmbRangeSel[0]->setCurrentIndex(3);
        ui.chkHold->setChecked(false);
    }

    rig.click(ui.cmdRelayRead);

    QCOMPARE(readsIn(rig.requests(), afterConnect), expectedOnDemandReads(edition));
    QCOMPARE(rig.messages, QStringList{readSucceededMessage});
    QTEST(ui.lblStatus->text(), "status");
    QCOMPARE(ui.txtOpen[0]->text(), QStringLiteral("设备1开"));
    if (isTh(edition)) {
        QCOMPARE(ui.txtCAnswer[0]->text(), QStringLiteral("kept unless read"));
        QCOMPARE(ui.lstPhone->count(), 0);
        QCOMPARE(ui.txtAdc[0]->text(), QStringLiteral("42"));
    } else {
        QCOMPARE(ui.txtCAnswer[0]->text(), QStringLiteral("设备1关闭成功"));
        QCOMPARE(ui.lstPhone->count(), 2);
        QCOMPARE(ui.txtAdc[0]->text(), QStringLiteral("5000"));
        QCOMPARE(ui.txtAIRange[0]->text(), QStringLiteral("1"));
        QCOMPARE(ui.cmbRangeSel[0]->currentIndex(), 3);
        QVERIFY(!ui.chkHold->isChecked());
    }
}

void TestConnectionSim::onDemandReadReportsUnansweredRead()
{
    SimFormRig rig(analogEdition(), simArguments("analog", {"--fault", "silent", "--at", "542"}));
    QVERIFY2(rig.ready(), qPrintable(rig.sim.errorText()));
    rig.connect();
    const qsizetype afterConnect = rig.requests().size();
    rig.form->ui.txtOpen[7]->setText("x");

    rig.click(rig.form->ui.cmdRelayRead);

    // The sequence goes on after the unanswered read, but says that something is missing.
    QCOMPARE(readsIn(rig.requests(), afterConnect), expectedOnDemandReads("analog"));
    QCOMPARE(rig.form->ui.txtOpen[7]->text(), QStringLiteral("设备8开"));
    QCOMPARE(rig.messages, QStringList{readFailedMessage});
    QVERIFY(rig.form->ui.lblStatus->text().endsWith(QStringLiteral("（53 个请求中 1 个失败）")));
    QVERIFY(rig.form->IsConnected);
}

void TestConnectionSim::onDemandReadNeedsConnection()
{
    SimFormRig rig(analogEdition(), simArguments("analog"));
    QVERIFY2(rig.ready(), qPrintable(rig.sim.errorText()));

    rig.click(rig.form->ui.cmdRelayRead);

    QCOMPARE(rig.messages, QStringList{connectFirstMessage});
    QCOMPARE(rig.requests().size(), 0);
}

void TestConnectionSim::vanishedControllerDropsTheConnection_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("on-demand read") << "read";
    QTest::newRow("poll") << "poll";
    QTest::newRow("relay write") << "relay";
}

void TestConnectionSim::vanishedControllerDropsTheConnection()
{
    QFETCH(QString, action);
    SimFormRig rig(analogEdition(), simArguments("analog"));
    QVERIFY2(rig.ready(), qPrintable(rig.sim.errorText()));
    rig.connect();
    QVERIFY(rig.form->IsConnected);

    rig.sim.kill();
    if (action == u"read")
        rig.click(rig.form->ui.cmdRelayRead);
    else if (action == u"relay")
        rig.click(rig.form->ui.cmdRelay[0]);
    else
        QTRY_VERIFY_WITH_TIMEOUT(!rig.messages.isEmpty(), 3000);

    // One message says the connection is lost and why; the sequence stops at the first request.
    const QString lost = connectionLostMessage(QStringLiteral("串口设备 %1 已断开").arg(rig.sim.devicePath()));
    QCOMPARE(rig.messages, QStringList{lost});
    QCOMPARE(rig.form->ui.lblStatus->text(), "连接已中断：" + QString(lost).replace('\n', ' '));
    QVERIFY(!rig.form->IsConnected);
    QCOMPARE(rig.form->ui.cmdConnect->text(), disconnectedCaption);
    QVERIFY(!rig.form->Timer1->isTicking());
    QVERIFY(!rig.form->Timer2->isTicking());
    QTest::qWait(1200);
    QCOMPARE(rig.messages.size(), 1);
}

QTEST_MAIN(TestConnectionSim)
#include "tst_connection_sim.moc"
