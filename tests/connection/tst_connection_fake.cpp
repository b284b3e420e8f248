// Read-back decoding, relay bit rules, the watchdog and port failures on the scripted port, where
// replies, silences and failures can be placed exactly.
#include "edition_named.h"
#include "form_rig.h"
#include "frames.h"
#include "timer_driver.h"

#include "connection/link.h"
#include "connection/port_choice.h"
#include "connection/read_back_decoding.h"
#include "connection/relay_switching.h"
#include "connection/status_polling.h"
#include "model/register_text.h"
#include "window/widget_state.h"

#include "modbus/modbus.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace alarmcfg;

namespace {

constexpr int textReadRegisters = 10;

// `before`, a NUL character, `after`.
QString withNul(const QString &before, const QString &after)
{
    return before + QChar(u'\0') + after;
}

// A text as the controller returns it from a 10-register read: zero-padded.
QVector<qint16> textRegisters(const QString &text)
{
    QVector<qint16> registers = textToRegisters(text, textReadRegisters);
    registers.resize(textReadRegisters);
    return registers;
}

// The component's event arguments: the registers plus one spare zero element.
void deliver(FormMain &form, int address, QVector<qint16> registers)
{
    const auto count = qint16(registers.size());
    registers.append(0);
    FC03ReadHoldingRegisterRespond4X(form, qint16(address), registers, count);
}

// Function 3 reply of slave 1 carrying `registers`.
QByteArray readReply(const QVector<qint16> &registers)
{
    QByteArray body{"\x01\x03", 2};
    body.append(char(2 * registers.size()));
    for (qint16 value : registers)
        body.append(char(quint16(value) >> 8)).append(char(value & 0xFF));
    return withCrc(body);
}

QByteArray statusReply(qint16 version = 0x21)
{
    return readReply({0, 0, 0, 0, 0, 0, version});
}

// Start address of a request frame (function 3 or 6).
int addressOf(const QByteArray &frame)
{
    return quint8(frame[2]) << 8 | quint8(frame[3]);
}

// A reply of the read's length with a wrong CRC: the controller answers, the read fails.
QByteArray spoiledReadReply(const RegisterBlock &block)
{
    return QByteArray(5 + 2 * block.count, '\x01');
}

// Spoiled replies to the first `count` reads of the read-back.
void spoilReadBack(FakeSerialPort &port, const Edition &edition, int count)
{
    for (const ReadStep &step : edition.readBack)
        if (step.kind == ReadStep::Kind::Read && count-- > 0)
            port.reply(spoiledReadReply(step.block));
}

// A connected window whose controller answered the probe and then spoiled every read-back reply.
struct ConnectedRig : FormRig {
    explicit ConnectedRig(const Edition &edition) : FormRig(edition)
    {
        form->setProgramEnd([this] { ++programEnds; });
        port->reply(statusReply());
        spoilReadBack(*port, edition, int(edition.readBack.size()));
    }
    void connect() { QTest::mouseClick(form->ui.cmdConnect, Qt::LeftButton); }

    int programEnds = 0;
};

} // namespace

class TestConnectionFake : public QObject {
    Q_OBJECT

private slots:
    void textBlocks_data();
    void textBlocks();
    void diAlarmTextKeepsNuls();
    void phoneSlots_data();
    void phoneSlots();
    void rangeCodesAndOptions();
    void actionTimesOfFourRelays();
    void meaninglessAddressChangesNothing_data();
    void meaninglessAddressChangesNothing();
    void relayStateAfterToggle_data();
    void relayStateAfterToggle();
    void relayPressWhileDisconnected();
    void watchdogFiresAfterFiveSilentSeconds();
    void portFailureDuringReadBack();
    void oldFirmwareAtLaterPollEndsProgram();
    void portChoiceIsOpenedAndRemembered_data();
    void portChoiceIsOpenedAndRemembered();
};

void TestConnectionFake::textBlocks_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("password"); // txtMiMa afterwards; it starts as "keep"

    QTest::newRow("open with password") << 10 << "123*开灯" << "txtOpen_0" << "开灯" << "123";
    QTest::newRow("open without star empties password")
        << 70 << "开灯" << "txtOpen_1" << "开灯" << "";
    QTest::newRow("open, second star ends command") << 430 << "1*a*b" << "txtOpen_7" << "a" << "1";
    QTest::newRow("open, text ends at its NUL") << 10 << withNul("ab", "c*d") << "txtOpen_0"
                                                << "ab" << "";
    QTest::newRow("close drops password") << 30 << "9*关灯" << "txtClose_0" << "关灯" << "keep";
    QTest::newRow("close without star") << 450 << "关" << "txtClose_7" << "关" << "keep";
    QTest::newRow("opening reply cut at NUL") << 50 << withNul("ok", "junk") << "txtAnswer_0"
                                              << "ok" << "keep";
    QTest::newRow("closing reply") << 990 << "已关" << "txtCAnswer_7" << "已关" << "keep";
    QTest::newRow("alarm text") << 830 << "过低" << "txtTHAlmMsg_3" << "过低" << "keep";
}

void TestConnectionFake::textBlocks()
{
    QFETCH(int, address);
    QFETCH(QString, stored);
    QFETCH(QString, box);
    FormRig rig(analogEdition());
    rig.form->ui.txtMiMa->setText("keep");

    deliver(*rig.form, address, textRegisters(stored));

    QTEST(rig.widget<QLineEdit>(box)->text(), "shown");
    QTEST(rig.form->ui.txtMiMa->text(), "password");
}

void TestConnectionFake::diAlarmTextKeepsNuls()
{
    FormRig rig(analogEdition());
    const QString shownBefore = rig.form->ui.txtDIAlarm->toPlainText();
    const QVector<qint16> registers = textRegisters(withNul("报警", "x"));

    deliver(*rig.form, 542, registers);

    QCOMPARE(rig.form->DIAlarmText[1], registersToText(registers));
    QVERIFY(rig.form->DIAlarmText[1].startsWith(withNul("报警", "x")));
    QCOMPARE(rig.form->ui.txtDIAlarm->toPlainText(), shownBefore);
}

void TestConnectionFake::phoneSlots_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<QList<int>>("addresses");
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QStringList>("listed");

    QTest::newRow("analog: marker, number, zeros, number")
        << "analog" << QList<int>{710, 730, 750, 1100}
        << QStringList{"a", "8613912345678", "", "8615800000000"}
        << QStringList{"13912345678", "15800000000"};
    QTest::newRow("analog: slot 1 empties the list") << "analog" << QList<int>{710}
                                                     << QStringList{""} << QStringList{};
    QTest::newRow("analog: later slot appends") << "analog" << QList<int>{730}
                                                << QStringList{"8613912345678"}
                                                << QStringList{"old", "13912345678"};
    QTest::newRow("th: slot 1 at 260") << "th" << QList<int>{260, 460}
                                       << QStringList{"8613912345678", "8615800000000"}
                                       << QStringList{"13912345678", "15800000000"};
    QTest::newRow("th: 710 is no phone slot") << "th" << QList<int>{710, 1100}
                                              << QStringList{"8613912345678", "8613912345678"}
                                              << QStringList{"old"};
}

void TestConnectionFake::phoneSlots()
{
    QFETCH(QString, edition);
    QFETCH(QList<int>, addresses);
    QFETCH(QStringList, stored);
    FormRig rig(editionNamed(edition));
    rig.form->ui.lstPhone->addItem("old");

    for (int i = 0; i < addresses.size(); ++i)
        deliver(*rig.form, addresses[i], textRegisters(stored[i]));

    QStringList listed;
    for (int row = 0; row < rig.form->ui.lstPhone->count(); ++row)
        listed << rig.form->ui.lstPhone->item(row)->text();
    QTEST(listed, "listed");
}

void TestConnectionFake::rangeCodesAndOptions()
{
    FormRig rig(analogEdition());
    const Controls &ui = rig.form->ui;
    ui.cmbRangeSel[1]->setCurrentIndex(3);
    ui.chkHold->setChecked(true);

    deliver(*rig.form, 1026, {2, 7});
    deliver(*rig.form, 1030, {6});

    QCOMPARE(ui.cmbRangeSel[0]->currentText(), QStringLiteral("0~20ma"));
    QCOMPARE(ui.cmbRangeSel[1]->currentIndex(), 3);
    QVERIFY(!ui.chkHold->isChecked());
    QVERIFY(ui.chkPhoneAlarm->isChecked());
    QVERIFY(ui.chkAnswer->isChecked());

    deliver(*rig.form, 1030, {qint16(0x0100)}); // only the low byte counts
    QVERIFY(!ui.chkHold->isChecked());
    QVERIFY(!ui.chkPhoneAlarm->isChecked());
    QVERIFY(!ui.chkAnswer->isChecked());
}

void TestConnectionFake::actionTimesOfFourRelays()
{
    FormRig rig(temperatureHumidityEdition());

    deliver(*rig.form, 690, {1, 2, 3, -4, 5, 6, 7, 8});

    const QStringList expected{"1", "2", "3", "-4"};
    QCOMPARE(int(rig.form->ui.txtTime.size()), 4);
    for (int r = 0; r < 4; ++r)
        QCOMPARE(rig.form->ui.txtTime[r]->text(), expected[r]);
}

void TestConnectionFake::meaninglessAddressChangesNothing_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<int>("address");
    QTest::newRow("analog all-on command") << "analog" << 490;
    QTest::newRow("analog relay register") << "analog" << 5;
    QTest::newRow("analog mid-slot") << "analog" << 20;
    QTest::newRow("th options") << "th" << 1030;
    QTest::newRow("th range codes") << "th" << 1026;
    QTest::newRow("th relay 4 open command") << "th" << 250;
}

void TestConnectionFake::meaninglessAddressChangesNothing()
{
    QFETCH(QString, edition);
    QFETCH(int, address);
    FormRig rig(editionNamed(edition));
    FormMain &form = *rig.form;
    form.Timer2->setInterval(5000);
    const QStringList before{form.ui.txtOpen[0]->text(), form.ui.txtMiMa->text(),
                             form.ui.lblVertion->text(), form.ui.txtTime[0]->text()};

    deliver(form, address, textRegisters("1*x"));

    QVERIFY(!form.Timer2->isTicking()); // every read reply stops the watchdog
    QCOMPARE((QStringList{form.ui.txtOpen[0]->text(), form.ui.txtMiMa->text(),
                          form.ui.lblVertion->text(), form.ui.txtTime[0]->text()}),
             before);
    QVERIFY(!form.StatusSeen);
}

void TestConnectionFake::relayStateAfterToggle_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("relay");
    QTest::addColumn<int>("expected");
    QTest::newRow("0, Q3 on") << 0 << 3 << 8;
    QTest::newRow("8, Q3 off") << 8 << 3 << 0;
    QTest::newRow("0x0105, Q1 on keeps high byte") << 0x0105 << 1 << 0x0107;
    QTest::newRow("0x0107, Q0 off drops high byte") << 0x0107 << 0 << 0x0006;
    QTest::newRow("bit 8 alone is not Q0") << 0x0100 << 0 << 0x0101;
    QTest::newRow("0xFFFF, Q7 off") << -1 << 7 << 0x007F;
    QTest::newRow("0x8000, Q7 on") << int(qint16(0x8000)) << 7 << int(qint16(0x8080));
}

void TestConnectionFake::relayStateAfterToggle()
{
    QFETCH(int, state);
    QFETCH(int, relay);
    QTEST(int(alarmcfg::relayStateAfterToggle(qint16(state), relay)), "expected");
}

void TestConnectionFake::relayPressWhileDisconnected()
{
    FormRig rig(analogEdition());

    QTest::mouseClick(rig.form->ui.cmdRelay[4], Qt::LeftButton);

    QCOMPARE(rig.form->RelayState, qint16(0x10));
    QCOMPARE(indicatorColor(rig.form->ui.cmdRelay[4]), QColor(indicatorGreen));
    QCOMPARE(rig.messages, QStringList{modbus::sendErrorMessage}); // only the component's word
    QCOMPARE(rig.form->ui.cmdConnect->text(), QStringLiteral("连接"));
    QVERIFY(!rig.form->Timer1->isTicking());
}

void TestConnectionFake::watchdogFiresAfterFiveSilentSeconds()
{
    ConnectedRig rig(analogEdition());
    for (int poll = 0; poll < 3; ++poll)
        rig.port->reply(statusReply());
    TimerDriver time({rig.form->Timer1, rig.form->Timer2});
    rig.connect();
    QVERIFY(rig.form->IsConnected);

    // Three answered polls keep re-arming it; it fires five seconds after the last of them.
    time.advance(7999);
    QVERIFY(rig.messages.isEmpty());
    time.advance(1);
    QCOMPARE(rig.messages, QStringList{watchdogMessage});
    QCOMPARE(rig.form->ui.cmdConnect->text(), QStringLiteral("链接"));
    QVERIFY(!rig.form->IsConnected);
    QVERIFY(!rig.port->isOpen());
    QVERIFY(!rig.form->Timer1->isTicking());
    QVERIFY(!rig.form->Timer2->isTicking());
}

void TestConnectionFake::portFailureDuringReadBack()
{
    FormRig rig(analogEdition());
    rig.port->reply(statusReply());
    spoilReadBack(*rig.port, analogEdition(), 5);
    rig.port->expect({{}, {}, FakeSerialPort::Milliseconds(20)});

    QTest::mouseClick(rig.form->ui.cmdConnect, Qt::LeftButton);

    QCOMPARE(rig.port->written.size(), 7); // probe, five reads, the one that failed
    QCOMPARE(rig.messages, QStringList{connectionLostMessage(QStringLiteral("device removed"))});
    QVERIFY(!rig.form->IsConnected);
    QVERIFY(!rig.form->Timer1->isTicking());
    QCOMPARE(rig.form->ui.cmdConnect->text(), QStringLiteral("链接"));
}

void TestConnectionFake::oldFirmwareAtLaterPollEndsProgram()
{
    ConnectedRig rig(analogEdition());
    rig.port->reply(statusReply(0x1F));
    rig.connect();
    const qsizetype afterConnect = rig.port->written.size();

    QTRY_COMPARE_WITH_TIMEOUT(rig.programEnds, 1, 3000);
    QTest::qWait(1500);

    QCOMPARE(rig.messages, QStringList{firmwareTooOldMessage});
    QCOMPARE(rig.port->written.size(), afterConnect + 1);
    QCOMPARE(addressOf(rig.port->written.last()), 0);
    QCOMPARE(rig.programEnds, 1);
}

void TestConnectionFake::portChoiceIsOpenedAndRemembered_data()
{
    QTest::addColumn<QString>("typed");        // null: item COM3 chosen from the list
    QTest::addColumn<int>("commPort");
    QTest::addColumn<QString>("devicePath");   // what the port was told to open instead
    QTest::addColumn<QString>("remembered");   // null: the connection failed, nothing kept
    QTest::addColumn<bool>("preselects");      // the choice given to the next start (--port)
    QTest::addColumn<int>("preselectedIndex");
    QTest::newRow("list item") << QString() << 3 << "" << "COM3" << true << 2;
    QTest::newRow("device path") << "/dev/ttyUSB1" << 0 << "/dev/ttyUSB1" << "/dev/ttyUSB1" << true << -1;
    QTest::newRow("raw device server") << "tcp://192.168.1.20:4001" << 0 << "tcp://192.168.1.20:4001"
                                       << "tcp://192.168.1.20:4001" << true << -1;
    QTest::newRow("device server with line control") << "RFC2217://server.local:7000" << 0
                                                     << "RFC2217://server.local:7000"
                                                     << "RFC2217://server.local:7000" << true << -1;
    QTest::newRow("device server without a port") << "tcp://192.168.1.20" << 0 << "" << QString() << false << 0;
    QTest::newRow("item in lower case: refused here, preselected at start")
        << "com2" << 0 << "" << QString() << true << 1;
    QTest::newRow("neither item nor path") << "USB" << 0 << "" << QString() << false << 0;
}

void TestConnectionFake::portChoiceIsOpenedAndRemembered()
{
    QFETCH(QString, typed);
    QFETCH(QString, remembered);
    QTemporaryDir home;
    QSettings settings(home.filePath("alarmcfg.ini"), QSettings::IniFormat);
    ConnectedRig rig(analogEdition());
    rig.form->settings = &settings;
    if (typed.isNull())
        rig.form->ui.cmbComSel->setCurrentIndex(2);
    else
        rig.form->ui.cmbComSel->setEditText(typed);

    rig.connect();

    QTEST(rig.form->modbus1->CommPort(), "commPort");
    QTEST(rig.port->devicePath, "devicePath");
    QCOMPARE(rig.form->IsConnected, !remembered.isNull());
    QCOMPARE(settings.value("port/last").toString(), remembered);
    FormRig next(analogEdition());
    next.form->settings = &settings;
    preselectRememberedPort(*next.form);
    if (!remembered.isNull())
        QCOMPARE(next.form->ui.cmbComSel->currentText(), remembered);
    QTEST(preselectPort(*next.form, typed.isNull() ? remembered : typed), "preselects");
    QTEST(selectedIndex(next.form->ui.cmbComSel), "preselectedIndex");
}

QTEST_MAIN(TestConnectionFake)
#include "tst_connection_fake.moc"
