// Bad input in every editable widget: texts at and beyond their byte limits in Chinese and mixed
// scripts, numbers out of range, fractions, signs and letters, typed port names, empty selections.
// A refusal shows its message and sends nothing; an accepted value goes out exactly as decoded.
#include "form_rig.h"
#include "packed_text.h"
#include "reliability_support.h"

#include "connection/connect.h"
#include "editing/phone_list.h"
#include "editing/write_parameters.h"

#include "modbus/modbus.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>

#include <functional>
#include <optional>

using namespace alarmcfg;
using namespace reliability;

namespace {

using Setup = std::function<void(FormMain &)>;

Setup box(std::vector<QLineEdit *> Controls::*array, int index, const QString &text)
{
    return [=](FormMain &form) { (form.ui.*array).at(index)->setText(text); };
}

Setup password(const QString &text, const Setup &then = {})
{
    return [=](FormMain &form) {
        form.ui.txtMiMa->setText(text);
        if (then)
            then(form);
    };
}

// Typed into txtDIAlarm while `channel` is selected.
Setup diAlarm(int channel, const QString &text)
{
    return [=](FormMain &form) {
        form.ui.cmbDISel->setCurrentIndex(channel);
        form.ui.txtDIAlarm->setPlainText(text);
    };
}

// Function 16 requests by first register, with their values, from the frames the port took.
std::optional<QVector<qint16>> writtenAt(const QList<QByteArray> &frames, int address)
{
    std::optional<QVector<qint16>> found;
    for (const QByteArray &frame : frames) {
        if (frame.size() < 9 || quint8(frame[1]) != 0x10)
            continue;
        if ((quint8(frame[2]) << 8 | quint8(frame[3])) != address)
            continue;
        QVector<qint16> values;
        for (int i = 7; i + 1 < frame.size() - 2; i += 2)
            values << qint16(quint16(quint8(frame[i]) << 8 | quint8(frame[i + 1])));
        found = values;
    }
    return found;
}

// A window whose port is open on the scripted backend and which counts as connected; the
// controller never answers, which costs nothing on the virtual clock.
struct ConnectedRig : FormRig {
    explicit ConnectedRig(const Edition &edition) : FormRig(edition)
    {
        form->modbus1->setCommPort(1);
        form->IsConnected = form->modbus1->OpenPort();
        if (edition.requiresPhoneNumber)
            form->ui.lstPhone->addItem(QStringLiteral("15800000000"));
        // Every write request is answered with a wrong CRC: a write fails but goes on to its end.
        for (std::size_t i = 0; i < edition.writePlan.size(); ++i)
            port->reply(QByteArray(8, '\x01'));
    }
};

} // namespace

class TestBadInput : public QObject {
    Q_OBJECT

private slots:
    void writeInput_data();
    void writeInput();
    void phoneInput_data();
    void phoneInput();
    void typedPortName_data();
    void typedPortName();
    void emptyChannelSelection();
};

void TestBadInput::writeInput_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("refusal");  // empty: the write goes ahead
    QTest::addColumn<int>("address");      // the accepted field's request
    QTest::addColumn<int>("element");      // -1: the whole text; else one number of the block
    QTest::addColumn<QVector<qint16>>("expected");

    const QString ten = QString("设").repeated(10);  // 20 bytes
    const QString twenty = QString("报").repeated(20); // 40 bytes
    const QString emoji = QString::fromUtf8("\xF0\x9F\x94\xA5");
    const auto text = [](const QString &written) { return writtenText(written); };
    const auto number = [](int value) { return QVector<qint16>{qint16(value)}; };
    const QString none;

    // Commands: 20 bytes with the prefix pass, 21 fail; Chinese counts two bytes.
    QTest::newRow("open command, 10 Chinese, no password") << "analog" << password("", box(&Controls::txtOpen, 0, ten))
                                                           << none << 10 << -1 << text(ten);
    QTest::newRow("open command, a letter and 10 Chinese") << "analog" << password("", box(&Controls::txtOpen, 0, "a" + ten))
                                                           << WriteMessages::commandTooLong << 0 << -1 << text("");
    QTest::newRow("mixed password and command at 20 bytes")
        << "analog" << password("密码12", box(&Controls::txtClose, 7, "设备1开关闭ab")) << none << 450 << -1
        << text("密码12*设备1开关闭ab");
    QTest::newRow("mixed password and command at 21 bytes")
        << "th" << password("密码12", box(&Controls::txtClose, 3, "设备1开关闭abc")) << WriteMessages::commandTooLong << 0
        << -1 << text("");
    QTest::newRow("all-off command of 1000 letters") << "analog" << box(&Controls::txtAllCmd, 1, QString("x").repeated(1000))
                                                     << WriteMessages::commandTooLong << 0 << -1 << text("");
    QTest::newRow("off-reply mixed at 20 bytes") << "analog" << box(&Controls::txtCAnswer, 0, "设备1关闭成功了abcde")
                                                 << none << 850 << -1 << text("设备1关闭成功了abcde");
    QTest::newRow("off-reply mixed at 21 bytes") << "analog" << box(&Controls::txtCAnswer, 0, "设备1关闭成功了abcdef")
                                                 << WriteMessages::commandTooLong << 0 << -1 << text("");
    QTest::newRow("password of 6 Chinese") << "analog" << password("一二三四五六", box(&Controls::txtOpen, 1, "开"))
                                           << none << 70 << -1 << text("一二三四五六*开");
    QTest::newRow("password of 6 Chinese and a letter") << "th" << password("一二三四五六a")
                                                        << WriteMessages::passwordTooLong << 0 << -1 << text("");

    // Alarm texts fill a 40-byte slot and no more.
    QTest::newRow("alarm text, 20 Chinese") << "analog" << box(&Controls::txtTHAlmMsg, 0, twenty) << none << 770 << -1
                                            << text(twenty);
    QTest::newRow("alarm text, mixed at 40 bytes") << "th" << box(&Controls::txtTHAlmMsg, 2, "a" + twenty.left(19) + "b")
                                                   << none << 810 << -1 << text("a" + twenty.left(19) + "b");
    QTest::newRow("alarm text, 20 Chinese and a letter") << "th" << box(&Controls::txtTHAlmMsg, 3, twenty + "a")
                                                         << WriteMessages::textTooLong << 0 << -1 << text("");
    QTest::newRow("alarm text with an emoji") << "th" << box(&Controls::txtTHAlmMsg, 1, "温度" + emoji)
                                              << WriteMessages::notEncodable << 0 << -1 << text("");
    QTest::newRow("input alarm text, 20 Chinese") << "analog" << diAlarm(3, twenty) << none << 582 << -1 << text(twenty);
    QTest::newRow("input alarm text of 10,000 characters") << "analog" << diAlarm(2, QString("门").repeated(10000))
                                                           << WriteMessages::textTooLong << 0 << -1 << text("");
    QTest::newRow("th input alarm text, 19 Chinese and 3 letters") << "th" << diAlarm(0, twenty.left(19) + "abc")
                                                                   << WriteMessages::textTooLong << 0 << -1 << text("");

    // Numbers: the leading decimal number, halves to even, in range or refused.
    QTest::newRow("time with a plus sign") << "analog" << box(&Controls::txtTime, 2, "+5") << none << 690 << 2 << number(5);
    QTest::newRow("time with blanks before it") << "analog" << box(&Controls::txtTime, 3, "  12") << none << 690 << 3
                                                << number(12);
    QTest::newRow("time with a sign after it") << "analog" << box(&Controls::txtTime, 4, "7-") << none << 690 << 4
                                               << number(7);
    QTest::newRow("time with two signs") << "analog" << box(&Controls::txtTime, 5, "--7") << none << 690 << 5 << number(0);
    QTest::newRow("limit -0.5") << "analog" << box(&Controls::txtAdc, 1, "-0.5") << none << 1010 << 1 << number(0);
    QTest::newRow("limit 1.5") << "analog" << box(&Controls::txtAdc, 2, "1.5") << none << 1010 << 2 << number(2);
    QTest::newRow("limit with letters after it") << "analog" << box(&Controls::txtAdc, 3, "12.7V") << none << 1010 << 3
                                                 << number(13);
    QTest::newRow("limit in Chinese") << "analog" << box(&Controls::txtAdc, 0, "五十") << none << 1010 << 0 << number(0);
    QTest::newRow("th limit of two Chinese characters") << "th" << box(&Controls::txtAdc, 0, "五十") << none << 1010 << 0
                                                        << number(0);
    QTest::newRow("th limit of three characters") << "th" << box(&Controls::txtAdc, 2, "9.5")
                                                  << WriteMessages::limitTooLong << 0 << -1 << text("");
    QTest::newRow("calibration -32769") << "analog" << box(&Controls::txtTHCalc, 1, "-32769")
                                        << WriteMessages::numberOutOfRange << 0 << -1 << text("");
    QTest::newRow("th calibration 1e9") << "th" << box(&Controls::txtTHCalc, 0, "1000000000")
                                        << WriteMessages::numberOutOfRange << 0 << -1 << text("");
    QTest::newRow("full scale 65535") << "analog" << box(&Controls::txtAIRange, 0, "65535")
                                      << WriteMessages::numberOutOfRange << 0 << -1 << text("");
    QTest::newRow("full scale -32768.5 rounds to -32768") << "analog" << box(&Controls::txtAIRange, 1, "-32768.5")
                                                          << none << 1022 << 1 << number(-32768);
    QTest::newRow("time 32767.5 rounds out of range") << "analog" << box(&Controls::txtTime, 0, "32767.5")
                                                      << WriteMessages::numberOutOfRange << 0 << -1 << text("");

    // Combo boxes: a typed text that is no item, or none selected, is no range: -1.
    QTest::newRow("range typed over") << "analog" << Setup([](FormMain &form) {
        form.ui.cmbRangeSel[1]->setEditText("5V");
    }) << none << 1026 << 1 << number(-1);
    QTest::newRow("range typed as an item") << "analog" << Setup([](FormMain &form) {
        form.ui.cmbRangeSel[0]->setEditText("0~10V");
    }) << none << 1026 << 0 << number(3);
}

void TestBadInput::writeInput()
{
    QFETCH(QString, edition);
    QFETCH(Setup, setup);
    QFETCH(QString, refusal);
    QFETCH(int, address);
    QFETCH(int, element);
    QFETCH(QVector<qint16>, expected);
    ConnectedRig rig(editionNamed(edition));
    QVERIFY(rig.form->IsConnected);
    setup(*rig.form);

    QTest::mouseClick(rig.form->ui.cmdRelayWrite, Qt::LeftButton);

    if (!refusal.isEmpty()) {
        QCOMPARE(rig.messages, QStringList{refusal});
        QCOMPARE(rig.port->written, QList<QByteArray>());
        QVERIFY(rig.form->IsConnected);
        return;
    }
    QCOMPARE(rig.messages, QStringList{WriteMessages::failed}); // no request was confirmed
    const std::optional<QVector<qint16>> values = writtenAt(rig.port->written, address);
    QVERIFY(values);
    if (element < 0)
        QCOMPARE(*values, expected);
    else
        QCOMPARE(values->value(element, qint16(0x5A5A)), expected.first());
}

void TestBadInput::phoneInput_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("message");
    QTest::newRow("1000 digits") << QString("1").repeated(1000) << phoneLengthMessage;
    QTest::newRow("eleven with a blank") << "1580000000 " << QString();
    QTest::newRow("six Chinese and five digits") << "一二三四五六12345" << QString();
    QTest::newRow("ten Chinese") << QString("一").repeated(10) << phoneLengthMessage;
    QTest::newRow("signs and letters") << "+86-1580000" << QString();
}

// An entry the add button accepts must also survive the write into its own slot.
void TestBadInput::phoneInput()
{
    QFETCH(QString, number);
    QFETCH(QString, message);
    ConnectedRig rig(analogEdition());
    rig.form->ui.lstPhone->clear();
    rig.form->ui.txtPhone->setText(number);

    QTest::mouseClick(rig.form->ui.cmdAddPhone, Qt::LeftButton);

    QCOMPARE(rig.form->ui.txtPhone->text(), number); // adding never edits the box
    if (!message.isEmpty()) {
        QCOMPARE(rig.messages, QStringList{message});
        QCOMPARE(rig.form->ui.lstPhone->count(), 0);
        return;
    }
    QCOMPARE(rig.form->ui.lstPhone->count(), 1);
    QTest::mouseClick(rig.form->ui.cmdRelayWrite, Qt::LeftButton);
    QCOMPARE(rig.messages, QStringList{WriteMessages::failed});
    QCOMPARE(writtenAt(rig.port->written, 710), std::optional(packedText("86" + number)));
}

void TestBadInput::typedPortName_data()
{
    QTest::addColumn<Setup>("choose");
    QTest::addColumn<bool>("connects");
    const auto typed = [](const QString &text) {
        return Setup([=](FormMain &form) { form.ui.cmbComSel->setEditText(text); });
    };
    QTest::newRow("COM9") << typed("COM9") << false;
    QTest::newRow("lower case com1") << typed("com1") << false;
    QTest::newRow("a device path") << typed("/dev/ttyUSB0") << false;
    QTest::newRow("Chinese") << typed("串口一") << false;
    QTest::newRow("empty text") << typed("") << false;
    QTest::newRow("no selection") << Setup([](FormMain &form) { form.ui.cmbComSel->setCurrentIndex(-1); }) << false;
    QTest::newRow("COM1 typed in full") << typed("COM1") << true;
}

// Port n is list entry n; any other text reaches no port: the component says so, nothing is sent.
void TestBadInput::typedPortName()
{
    QFETCH(Setup, choose);
    QFETCH(bool, connects);
    SimFormRig rig(analogEdition(), simArguments("analog"));
    QVERIFY2(rig.ready(), qPrintable(rig.sim.errorText()));
    rig.form->ui.cmbComSel->setCurrentIndex(1); // COM2 chosen first, then typed over
    choose(*rig.form);

    rig.connect();

    QCOMPARE(rig.form->IsConnected, connects);
    if (connects) {
        QCOMPARE(rig.messages, QStringList());
        return;
    }
    QCOMPARE(rig.messages.size(), 1);
    QVERIFY2(rig.messages[0].startsWith(modbus::portErrorMessage + '\n'), qPrintable(rig.messages[0]));
    QCOMPARE(rig.form->ui.cmdConnect->text(), QStringLiteral("连接"));
    QVERIFY(!rig.form->Timer1->isTicking());
    QCOMPARE(rig.requests().size(), 0);
}

// With no channel selected an edit has no slot: it changes no slot and the write sends the slots.
void TestBadInput::emptyChannelSelection()
{
    ConnectedRig rig(analogEdition());
    const QStringList before = rig.form->DIAlarmText;
    rig.form->ui.cmbDISel->setCurrentIndex(-1);
    rig.form->ui.txtDIAlarm->setPlainText(QStringLiteral("无处可去"));

    QCOMPARE(rig.form->DIAlarmText, before);
    QTest::mouseClick(rig.form->ui.cmdRelayWrite, Qt::LeftButton);
    QCOMPARE(rig.messages, QStringList{WriteMessages::failed});
    QCOMPARE(writtenAt(rig.port->written, 522), std::optional(writtenText(before[0])));
}

QTEST_MAIN(TestBadInput)
#include "tst_bad_input.moc"
