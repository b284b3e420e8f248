#include "edition_named.h"
#include "connection/handler_guard.h"
#include "connection/link.h"
#include "connection/port_choice.h"
#include "device_server.h"
#include "editing/write_parameters.h"
#include "model/register_text.h"
#include "form_rig.h"
#include "register_map.h"
#include "write_checks.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTest>

#include <functional>

using namespace alarmcfg;

using Setup = std::function<void(FormMain &)>;
Q_DECLARE_METATYPE(Setup)

namespace {

QStringList phoneNumbers(int count)
{
    QStringList numbers;
    for (int k = 0; k < count; ++k)
        numbers << QStringLiteral("1390000%1").arg(k, 4, 10, QLatin1Char('0'));
    return numbers;
}

// (function, first register) of every request the write should send, in order.
QList<QPair<int, int>> expectedSequence(const QString &edition)
{
    QList<QPair<int, int>> sequence;
    for (const registermap::Write &step : registermap::of(edition).write)
        sequence.append({step.function, step.span.address});
    return sequence;
}

QList<QPair<int, int>> sentSequence(const QList<SimulatorRequest> &requests)
{
    QList<QPair<int, int>> sequence;
    for (const SimulatorRequest &request : requests)
        sequence.append({request.fn, request.addr});
    return sequence;
}

// A box by its name as the window calls it, "txtOpen[2]" for an array's third.
QWidget *boxNamed(const Controls &ui, const QString &name)
{
    const std::pair<const char *, std::vector<QLineEdit *> Controls::*> arrays[] = {
        {"txtOpen", &Controls::txtOpen},         {"txtClose", &Controls::txtClose},
        {"txtAnswer", &Controls::txtAnswer},     {"txtCAnswer", &Controls::txtCAnswer},
        {"txtAllCmd", &Controls::txtAllCmd},     {"txtTHAlmMsg", &Controls::txtTHAlmMsg},
        {"txtTime", &Controls::txtTime},         {"txtAdc", &Controls::txtAdc},
        {"txtTHCalc", &Controls::txtTHCalc},     {"txtAIRange", &Controls::txtAIRange},
    };
    const QString array = name.section('[', 0, 0);
    const int index = name.section('[', 1).chopped(1).toInt();
    for (const auto &[arrayName, member] : arrays)
        if (array == QLatin1String(arrayName))
            return (ui.*member).at(std::size_t(index));
    if (name == u"txtMiMa")
        return ui.txtMiMa;
    if (name == u"txtPhone")
        return ui.txtPhone;
    return ui.txtDIAlarm;
}

// A reply of a write's echo length with a wrong CRC: the controller answers, the request fails.
const QByteArray spoiledEcho(8, '\x01');

// A text of `bytes` GBK bytes made of ASCII letters.
QString asciiText(int bytes)
{
    return QString(bytes, QLatin1Char('x'));
}

// A text of exactly the 20 bytes a read fetches, so that nothing older shows behind it.
QString fullRead(const QString &start, int prefixBytes = 0)
{
    return start + QString(20 - prefixBytes - int(gbkBytes(start).size()), QLatin1Char('x'));
}

// Distinct values in every field the write sends and the read-back fills; `variant` 0 or 1.
void fillEveryField(FormMain &form, int variant)
{
    const int prefix = 4; // "pw0*"
    const QString v = QString::number(variant);
    Controls &ui = form.ui;
    for (std::size_t i = 0; i < ui.txtOpen.size(); ++i) {
        const QString n = v + QString::number(i);
        ui.txtOpen[i]->setText(fullRead("开" + n, prefix));
        ui.txtClose[i]->setText(fullRead("关" + n, prefix));
        ui.txtAnswer[i]->setText(fullRead("已开" + n));
        ui.txtCAnswer[i]->setText(fullRead("已关" + n));
        ui.txtTime[i]->setText(QString::number(100 * variant + int(i)));
    }
    for (std::size_t k = 0; k < ui.txtAdc.size(); ++k) {
        ui.txtAdc[k]->setText(QString::number(10 * variant + int(k)));
        ui.txtTHAlmMsg[k]->setText(fullRead("报警" + v + QString::number(k)));
        form.DIAlarmText[int(k)] = fullRead("通道" + v + QString::number(k));
    }
    for (std::size_t c = 0; c < ui.txtTHCalc.size(); ++c)
        ui.txtTHCalc[c]->setText(QString::number(-variant - int(c)));
    for (std::size_t c = 0; c < ui.txtAIRange.size(); ++c) {
        ui.txtAIRange[c]->setText(QString::number(1000 * (variant + 1) + int(c)));
        ui.cmbRangeSel[c]->setCurrentIndex(int(c) + 2 * variant);
    }
    for (QCheckBox *box : {ui.chkHold, ui.chkAnswer})
        if (box)
            box->setChecked(variant == 1);
    ui.txtMiMa->setText("pw" + v);
    ui.lstPhone->clear();
    for (int k = 0; k < 3; ++k)
        ui.lstPhone->addItem(QStringLiteral("1370000%1").arg(100 * variant + k, 4, 10, QLatin1Char('0')));
}

QStringList everyField(const FormMain &form)
{
    const Controls &ui = form.ui;
    QStringList values;
    for (const auto *boxes : {&ui.txtOpen, &ui.txtClose, &ui.txtAnswer, &ui.txtCAnswer, &ui.txtTime,
                              &ui.txtAdc, &ui.txtTHAlmMsg, &ui.txtTHCalc, &ui.txtAIRange})
        for (const QLineEdit *box : *boxes)
            values << box->objectName() + "=" + box->text();
    for (int k = 0; k < 4; ++k)
        values << "DIAlarmText=" + untilFirstNul(form.DIAlarmText[k]);
    for (const QComboBox *box : ui.cmbRangeSel)
        values << box->objectName() + "=" + QString::number(box->currentIndex());
    for (const QCheckBox *box : {ui.chkHold, ui.chkPhoneAlarm, ui.chkAnswer})
        if (box)
            values << box->objectName() + "=" + QString::number(box->checkState());
    values << "txtMiMa=" + ui.txtMiMa->text();
    for (int row = 0; row < ui.lstPhone->count(); ++row)
        values << "lstPhone=" + ui.lstPhone->item(row)->text();
    return values;
}

} // namespace

class TestWriteParameters : public QObject {
    Q_OBJECT

private slots:
    void wholeSequence_data();
    void wholeSequence();
    void roundTrip_data();
    void roundTrip();
    void commandTexts_data();
    void commandTexts();
    void shorterTextEndsInsideItsSlot_data();
    void shorterTextEndsInsideItsSlot();
    void phoneSlots_data();
    void phoneSlots();
    void alarmTextKeepsItsNuls();
    void numbers_data();
    void numbers();
    void options_data();
    void options();
    void noRangeSelection();
    void refusals_data();
    void refusals();
    void silentController();
    void progressBarDuringWrite();
    void vanishedDeviceDropsConnection_data();
    void vanishedDeviceDropsConnection();
    void portFailureWhileAwaitingReply_data();
    void portFailureWhileAwaitingReply();
    void writeAgainAfterPortFailure();
};

void TestWriteParameters::wholeSequence_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<int>("phones");
    QTest::addColumn<int>("requestCount");
    QTest::newRow("analog, no numbers") << "analog" << 0 << 58;
    QTest::newRow("analog, ten numbers") << "analog" << 10 << 58;
    QTest::newRow("th, one number: \"a\" in the other ten slots") << "th" << 1 << 40;
    QTest::newRow("th, eleven numbers") << "th" << 11 << 40;
}

void TestWriteParameters::wholeSequence()
{
    QFETCH(QString, edition);
    QFETCH(int, phones);
    QFETCH(int, requestCount);
    WriteRig rig(editionNamed(edition));
    QVERIFY2(rig.open(), qPrintable(rig.sim.errorText()));
    rig.form->ui.lstPhone->clear();
    rig.form->ui.lstPhone->addItems(phoneNumbers(phones));

    rig.click(rig.form->ui.cmdRelayWrite);

    const QList<SimulatorRequest> sent = rig.writes();
    QCOMPARE(sent.size(), requestCount);
    QCOMPARE(sentSequence(sent), expectedSequence(edition));
    for (const SimulatorRequest &request : sent) {
        QCOMPARE(request.slave, 1);
        QVERIFY2(request.reply.size() > 0, qPrintable(request.request));
    }
    QCOMPARE(rig.messages, QStringList{WriteMessages::succeeded});
    QCOMPARE(rig.form->ui.lblStatus->text(), QStringLiteral("全部参数已写入控制器"));
}

void TestWriteParameters::roundTrip_data()
{
    QTest::addColumn<QString>("edition");
    QTest::newRow("analog") << "analog";
    QTest::newRow("th") << "th";
}

// Everything written reads back as written after reconnecting.
void TestWriteParameters::roundTrip()
{
    QFETCH(QString, edition);
    WriteRig rig(editionNamed(edition));
    QVERIFY2(rig.open(), qPrintable(rig.sim.errorText()));
    fillEveryField(*rig.form, 1);
    const QStringList written = everyField(*rig.form);
    rig.click(rig.form->ui.cmdRelayWrite);
    QCOMPARE(rig.messages, QStringList{WriteMessages::succeeded});

    rig.connect(); // disconnect
    fillEveryField(*rig.form, 0);
    rig.connect();

    QVERIFY(rig.form->IsConnected);
    QCOMPARE(everyField(*rig.form), written);
}

void TestWriteParameters::commandTexts_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("password and command") << "739164" << "设备1开" << gbkBytes("739164*设备1开");
    QTest::newRow("no password: no star") << "" << "设备1开" << gbkBytes("设备1开");
    QTest::newRow("odd length padded") << "" << "abc" << QByteArray("abc");
    QTest::newRow("exactly 20 bytes") << "123456" << "abcdefghijklm" << QByteArray("123456*abcdefghijklm");
    QTest::newRow("Chinese password, 20 bytes") << "一二三四五六" << "设备1开" << gbkBytes("一二三四五六*设备1开");
}

// Commands carry the password prefix; the relay replies next to them never do.
void TestWriteParameters::commandTexts()
{
    QFETCH(QString, password);
    QFETCH(QString, command);
    QFETCH(QByteArray, stored);
    WriteRig rig(analogEdition());
    QVERIFY2(rig.open(), qPrintable(rig.sim.errorText()));
    Controls &ui = rig.form->ui;
    ui.txtMiMa->setText(password);
    ui.txtOpen[0]->setText(command);
    ui.txtAllCmd[1]->setText(command);
    ui.txtAnswer[0]->setText("ok");

    rig.click(ui.cmdRelayWrite);

    const QVector<qint16> expected = packed(stored + '\0'); // every command is shorter than its slot
    for (int address : {10, 510}) {
        const auto request = rig.requestAt(address);
        QVERIFY(request);
        QCOMPARE(request->count, expected.size());
        QCOMPARE(request->values, expected);
        QCOMPARE(rig.imageAt(address, expected.size()), expected);
    }
    QCOMPARE(rig.requestAt(50)->values, writtenText("ok"));
    QCOMPARE(rig.messages, QStringList{WriteMessages::succeeded});
}

void TestWriteParameters::shorterTextEndsInsideItsSlot_data()
{
    QTest::addColumn<QString>("box");   // as boxNamed names it
    QTest::addColumn<int>("address");
    QTest::addColumn<QString>("older"); // written first
    QTest::addColumn<QString>("text");  // written over it
    QTest::addColumn<QVector<qint16>>("registers");
    QTest::addColumn<QString>("shown"); // after reconnecting
    QTest::newRow("shorter reply") << "txtAnswer[0]" << 50 << "开开启OK" << "开"
                                   << QVector<qint16>{qint16(0xBFAA), 0} << "开";
    QTest::newRow("emptied reply: one zero register")
        << "txtCAnswer[0]" << 850 << "old reply" << "" << QVector<qint16>{0} << "";
    QTest::newRow("odd length ends in its pad byte")
        << "txtCAnswer[1]" << 870 << "older reply" << "abc" << QVector<qint16>{0x6162, 0x6300} << "abc";
    QTest::newRow("command with password")
        << "txtClose[2]" << 150 << "关闭所有的门" << "on" << QVector<qint16>{0x3132, 0x2A6F, 0x6E00} << "on";
    QTest::newRow("alarm text") << "txtTHAlmMsg[3]" << 830 << "温度过低请检查" << "低"
                                << QVector<qint16>{qint16(0xB5CD), 0} << "低";
    QTest::newRow("input's alarm text") << "txtDIAlarm" << 522 << "数字通道1报警" << "ab"
                                        << QVector<qint16>{0x6162, 0} << "ab";
    QTest::newRow("a text that fills its slot as before") << "txtTHAlmMsg[1]" << 790 << "old" << QString(40, u'x')
                                                         << QVector<qint16>(20, 0x7878) << QString(20, u'x');
}

// A shorter text over a longer one ends at a zero byte inside its slot, so the older text's tail
// no longer reads back behind it; the empty text is one zero register.
void TestWriteParameters::shorterTextEndsInsideItsSlot()
{
    QFETCH(QString, box);
    QFETCH(int, address);
    QFETCH(QString, older);
    QFETCH(QString, text);
    QFETCH(QVector<qint16>, registers);
    QFETCH(QString, shown);
    WriteRig rig(analogEdition());
    QVERIFY2(rig.open(), qPrintable(rig.sim.errorText()));
    rig.form->ui.txtMiMa->setText("12");
    const auto setText = [&](const QString &value) {
        QWidget *widget = boxNamed(rig.form->ui, box);
        if (auto *line = qobject_cast<QLineEdit *>(widget))
            line->setText(value);
        else
            qobject_cast<QPlainTextEdit *>(widget)->setPlainText(value);
    };
    setText(older);
    rig.click(rig.form->ui.cmdRelayWrite);
    setText(text);

    rig.click(rig.form->ui.cmdRelayWrite);

    QCOMPARE(rig.requestAt(address)->values, registers);
    QCOMPARE(rig.messages, (QStringList{WriteMessages::succeeded, WriteMessages::succeeded}));
    rig.connect(); // disconnect
    rig.connect();
    QWidget *widget = boxNamed(rig.form->ui, box);
    const auto *line = qobject_cast<QLineEdit *>(widget);
    QCOMPARE(line ? line->text() : qobject_cast<QPlainTextEdit *>(widget)->toPlainText(), shown);
}

void TestWriteParameters::phoneSlots_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<QList<int>>("numberSlots");
    QTest::addColumn<QList<int>>("markerSlots"); // "a"
    QTest::addColumn<QList<int>>("untouched");
    QTest::newRow("analog") << "analog" << QList<int>{710, 730, 750}
                            << QList<int>{1100, 1120, 1140, 1160, 1180, 1200, 1220} << QList<int>{};
    QTest::newRow("th: \"a\" after the numbers") << "th" << QList<int>{260, 280, 300}
                                             << QList<int>{320, 340, 360, 380, 400, 420, 440, 460}
                                             << QList<int>{710, 1100};
}

void TestWriteParameters::phoneSlots()
{
    QFETCH(QString, edition);
    QFETCH(QList<int>, numberSlots);
    QFETCH(QList<int>, markerSlots);
    QFETCH(QList<int>, untouched);
    WriteRig rig(editionNamed(edition));
    QVERIFY2(rig.open(), qPrintable(rig.sim.errorText()));
    QListWidget *list = rig.form->ui.lstPhone;
    const QStringList numbers = phoneNumbers(3);
    list->clear();
    list->addItems(numbers);
    list->setCurrentRow(2);
    QList<QPair<int, int>> rowWhileWritten;
    connect(rig.form->modbus1, &modbus::FC16PresetMultiRegisterRespond4X, this,
            [&](qint16, qint16, qint16 &, qint16 &startAddress, qint16 &) {
                if (numberSlots.contains(startAddress))
                    rowWhileWritten.append({startAddress, list->currentRow()});
            });

    rig.click(rig.form->ui.cmdRelayWrite);

    for (int k = 0; k < numberSlots.size(); ++k) {
        const QVector<qint16> expected = packed("86" + numbers[k].toLatin1());
        QCOMPARE(expected.size(), 7);
        QCOMPARE(rig.requestAt(numberSlots[k])->values, expected);
        QCOMPARE(rowWhileWritten.value(k), qMakePair(numberSlots[k], k));
    }
    for (int address : markerSlots)
        QCOMPARE(rig.requestAt(address)->values, QVector<qint16>{0x6100});
    for (int address : untouched)
        QVERIFY2(!rig.requestAt(address), qPrintable(QString::number(address)));
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->currentRow(), -1);
    QVERIFY(list->selectedItems().isEmpty());
}

// A slot read back with its zero bytes and not selected since is written with them.
void TestWriteParameters::alarmTextKeepsItsNuls()
{
    WriteRig rig(analogEdition());
    QVERIFY2(rig.open(), qPrintable(rig.sim.errorText()));
    const QString readBack = QStringLiteral("数字通道2报警ABCDEFG") + QChar(0);
    QCOMPARE(gbkBytes(readBack).size(), 21);
    rig.form->DIAlarmText[1] = readBack;

    rig.click(rig.form->ui.cmdRelayWrite);

    const auto request = rig.requestAt(542);
    QVERIFY(request);
    QCOMPARE(request->count, 11);
    QCOMPARE(request->values, packed(gbkBytes(readBack)));
    QCOMPARE(request->values.last(), qint16(0));
}

void TestWriteParameters::numbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("half to even, down") << "2.5" << 2;
    QTest::newRow("half to even, up") << "3.5" << 4;
    QTest::newRow("negative half") << "-2.5" << -2;
    QTest::newRow("above half") << "2.51" << 3;
    QTest::newRow("letters") << "abc" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("leading number") << "12abc" << 12;
    QTest::newRow("largest") << "32767" << 32767;
    QTest::newRow("smallest") << "-32768" << -32768;
    QTest::newRow("rounds into range") << "-32768.4" << -32768;
}

void TestWriteParameters::numbers()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    WriteRig rig(analogEdition());
    QVERIFY2(rig.open(), qPrintable(rig.sim.errorText()));
    rig.form->ui.txtTime[3]->setText(text);
    rig.form->ui.txtAdc[2]->setText(text);

    rig.click(rig.form->ui.cmdRelayWrite);

    QCOMPARE(rig.requestAt(690)->values, (QVector<qint16>{0, 0, 0, qint16(value), 0, 0, 0, 0}));
    QCOMPARE(rig.requestAt(1010)->values.at(2), qint16(value));
    QCOMPARE(rig.imageAt(693, 1), QVector<qint16>{qint16(value)});
    QCOMPARE(rig.messages, QStringList{WriteMessages::succeeded});
}

void TestWriteParameters::options_data()
{
    QTest::addColumn<int>("hold");
    QTest::addColumn<int>("phoneAlarm");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("word");
    QTest::newRow("none") << int(Qt::Unchecked) << int(Qt::Unchecked) << int(Qt::Unchecked) << 0;
    QTest::newRow("all three") << int(Qt::Checked) << int(Qt::Checked) << int(Qt::Checked) << 7;
    QTest::newRow("phone alarm only") << int(Qt::Unchecked) << int(Qt::Checked) << int(Qt::Unchecked) << 2;
    QTest::newRow("greyed counts as clear") << int(Qt::PartiallyChecked) << int(Qt::Checked)
                                            << int(Qt::PartiallyChecked) << 2;
    QTest::newRow("all greyed") << int(Qt::PartiallyChecked) << int(Qt::PartiallyChecked)
                                << int(Qt::PartiallyChecked) << 0;
}

void TestWriteParameters::options()
{
    QFETCH(int, hold);
    QFETCH(int, phoneAlarm);
    QFETCH(int, answer);
    QFETCH(int, word);
    WriteRig rig(analogEdition());
    QVERIFY2(rig.open(), qPrintable(rig.sim.errorText()));
    rig.form->ui.chkHold->setCheckState(Qt::CheckState(hold));
    rig.form->ui.chkPhoneAlarm->setCheckState(Qt::CheckState(phoneAlarm));
    rig.form->ui.chkAnswer->setCheckState(Qt::CheckState(answer));

    rig.click(rig.form->ui.cmdRelayWrite);

    const SimulatorRequest last = rig.writes().last();
    QCOMPARE(last.fn, 6);
    QCOMPARE(last.addr, 1030);
    QCOMPARE(last.values, QVector<qint16>{qint16(word)});
    QCOMPARE(rig.imageAt(1030, 1), QVector<qint16>{qint16(word)});
}

void TestWriteParameters::noRangeSelection()
{
    WriteRig rig(analogEdition());
    QVERIFY2(rig.open(), qPrintable(rig.sim.errorText()));
    rig.form->ui.cmbRangeSel[0]->setCurrentIndex(-1);
    rig.form->ui.cmbRangeSel[1]->setCurrentIndex(3);

    rig.click(rig.form->ui.cmdRelayWrite);

    QCOMPARE(rig.requestAt(1026)->values, (QVector<qint16>{-1, 3}));
    QCOMPARE(rig.imageAt(1026, 2), (QVector<qint16>{-1, 3}));
}

void TestWriteParameters::refusals_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focused"); // the box the user is taken to; empty: it stays on 设置
    const auto text = [](auto member, int index, const QString &value) {
        return Setup([=](FormMain &form) { (form.ui.*member).at(index)->setText(value); });
    };
    const Setup oneNumber = [](FormMain &form) { form.ui.lstPhone->addItem("15800000000"); };
    const auto th = [oneNumber](Setup more) {
        return Setup([=](FormMain &form) {
            oneNumber(form);
            more(form);
        });
    };
    const Setup passwordOf7 = [](FormMain &form) { form.ui.txtMiMa->setText("1234567"); };
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");

    QTest::newRow("not connected") << "analog" << Setup([](FormMain &form) { form.IsConnected = false; })
                                   << connectFirstMessage << "";
    QTest::newRow("not connected comes first") << "analog" << Setup([&](FormMain &form) {
        form.IsConnected = false;
        form.ui.txtMiMa->setText("1234567");
    }) << connectFirstMessage << "";
    QTest::newRow("th: not connected") << "th" << Setup([](FormMain &form) { form.IsConnected = false; })
                                       << connectFirstMessage << "";
    const Setup noNumber = [](FormMain &form) { form.ui.lstPhone->clear(); };
    QTest::newRow("th: no phone number") << "th" << noNumber << WriteMessages::noPhoneNumber << "txtPhone";
    QTest::newRow("th: no phone number before the limit") << "th" << Setup([=](FormMain &form) {
        noNumber(form);
        form.ui.txtAdc[0]->setText("100");
    }) << WriteMessages::noPhoneNumber << "txtPhone";
    QTest::newRow("th: limit 100") << "th" << th(text(&Controls::txtAdc, 0, "100")) << WriteMessages::limitTooLong << "txtAdc[0]";
    QTest::newRow("th: limit -10") << "th" << th(text(&Controls::txtAdc, 3, "-10")) << WriteMessages::limitTooLong << "txtAdc[3]";
    QTest::newRow("th: limit 5.5") << "th" << th(text(&Controls::txtAdc, 1, "5.5")) << WriteMessages::limitTooLong << "txtAdc[1]";
    QTest::newRow("th: limit before password") << "th" << th([&](FormMain &form) {
        form.ui.txtAdc[2]->setText("100");
        form.ui.txtMiMa->setText("1234567");
    }) << WriteMessages::limitTooLong << "txtAdc[2]";
    QTest::newRow("th: password of 7") << "th" << th(passwordOf7) << WriteMessages::passwordTooLong << "txtMiMa";
    QTest::newRow("password of 7") << "analog" << passwordOf7 << WriteMessages::passwordTooLong << "txtMiMa";
    QTest::newRow("password of 7 Chinese characters") << "analog" << Setup([](FormMain &form) {
        form.ui.txtMiMa->setText("一二三四五六七");
    }) << WriteMessages::passwordTooLong << "txtMiMa";
    QTest::newRow("password before a long command") << "analog" << Setup([&](FormMain &form) {
        form.ui.txtMiMa->setText("1234567");
        form.ui.txtOpen[0]->setText(asciiText(30));
    }) << WriteMessages::passwordTooLong << "txtMiMa";
    QTest::newRow("open command 21 bytes with prefix") << "analog" << Setup([](FormMain &form) {
        form.ui.txtMiMa->setText("123456");
        form.ui.txtOpen[0]->setText(asciiText(14));
    }) << WriteMessages::commandTooLong << "txtOpen[0]";
    QTest::newRow("off-reply of the last relay 21 bytes") << "analog" << text(&Controls::txtCAnswer, 7, asciiText(21))
                                                         << WriteMessages::commandTooLong << "txtCAnswer[7]";
    QTest::newRow("on-reply 11 Chinese characters") << "analog" << text(&Controls::txtAnswer, 2, "一二三四五六七八九十百")
                                                   << WriteMessages::commandTooLong << "txtAnswer[2]";
    QTest::newRow("all-off command 21 bytes") << "analog" << Setup([](FormMain &form) {
        form.ui.txtMiMa->clear();
        form.ui.txtAllCmd[1]->setText(asciiText(21));
    }) << WriteMessages::commandTooLong << "txtAllCmd[1]";
    QTest::newRow("th: close command too long") << "th" << th(text(&Controls::txtClose, 3, asciiText(14)))
                                                << WriteMessages::commandTooLong << "txtClose[3]";
    QTest::newRow("digital-input text 41 bytes") << "analog" << Setup([](FormMain &form) {
        form.DIAlarmText[3] = asciiText(41);
    }) << WriteMessages::textTooLong << "txtDIAlarm";
    QTest::newRow("last alarm text 41 bytes") << "analog" << text(&Controls::txtTHAlmMsg, 3, asciiText(41))
                                              << WriteMessages::textTooLong << "txtTHAlmMsg[3]";
    QTest::newRow("th: alarm text 21 Chinese characters")
        << "th" << th(text(&Controls::txtTHAlmMsg, 0, QString(21, QChar(0x4E00)))) << WriteMessages::textTooLong << "txtTHAlmMsg[0]";
    QTest::newRow("phone entry beyond its slot") << "analog" << Setup([](FormMain &form) {
        form.ui.lstPhone->addItem(asciiText(39));
    }) << WriteMessages::textTooLong << "txtPhone";
    QTest::newRow("command before alarm text") << "analog" << Setup([](FormMain &form) {
        form.ui.txtTHAlmMsg[0]->setText(asciiText(41));
        form.ui.txtAllCmd[0]->setText(asciiText(30));
    }) << WriteMessages::commandTooLong << "txtAllCmd[0]";
    QTest::newRow("action time 32768") << "analog" << text(&Controls::txtTime, 7, "32768") << WriteMessages::numberOutOfRange << "txtTime[7]";
    QTest::newRow("limit -32769") << "analog" << text(&Controls::txtAdc, 1, "-32769") << WriteMessages::numberOutOfRange << "txtAdc[1]";
    QTest::newRow("calibration rounds out of range") << "analog" << text(&Controls::txtTHCalc, 0, "32767.5")
                                                     << WriteMessages::numberOutOfRange << "txtTHCalc[0]";
    QTest::newRow("full scale huge") << "analog" << text(&Controls::txtAIRange, 1, "99999999999999999999")
                                     << WriteMessages::numberOutOfRange << "txtAIRange[1]";
    QTest::newRow("th: calibration out of range") << "th" << th(text(&Controls::txtTHCalc, 1, "40000"))
                                                  << WriteMessages::numberOutOfRange << "txtTHCalc[1]";
    QTest::newRow("alarm text before number") << "analog" << Setup([](FormMain &form) {
        form.ui.txtTime[0]->setText("40000");
        form.ui.txtTHAlmMsg[3]->setText(asciiText(41));
    }) << WriteMessages::textTooLong << "txtTHAlmMsg[3]";
    QTest::newRow("reply not representable") << "analog" << text(&Controls::txtAnswer, 0, "ok" + emoji)
                                             << WriteMessages::notEncodable << "txtAnswer[0]";
    QTest::newRow("digital-input text not representable") << "analog" << Setup([=](FormMain &form) {
        form.DIAlarmText[0] = emoji;
    }) << WriteMessages::notEncodable << "txtDIAlarm";
}

// Every refused write leaves the controller as it was: not one request; the refused value's box
// has the keyboard focus with its text selected.
void TestWriteParameters::refusals()
{
    QFETCH(QString, edition);
    QFETCH(Setup, setup);
    QFETCH(QString, message);
    QFETCH(QString, focused);
    WriteRig rig(editionNamed(edition));
    QVERIFY2(rig.open(), qPrintable(rig.sim.errorText()));
    setup(*rig.form);
    QProgressBar *bar = rig.form->ui.ProgressBar1;
    bool barShown = false;
    if (bar)
        connect(bar, &QProgressBar::valueChanged, this, [&] { barShown = true; });

    rig.click(rig.form->ui.cmdRelayWrite);

    QCOMPARE(rig.messages, QStringList{message});
    QCOMPARE(rig.form->ui.lblStatus->text(), "参数未写入：" + message);
    QCOMPARE(rig.writes().size(), 0);
    QVERIFY(!barShown);
    QWidget *box = focused.isEmpty() ? rig.form->ui.cmdRelayWrite : boxNamed(rig.form->ui, focused);
    QCOMPARE(rig.form->focusWidget(), box);
    if (auto *line = qobject_cast<QLineEdit *>(box))
        QCOMPARE(line->selectedText(), line->text());
    if (auto *text = qobject_cast<QPlainTextEdit *>(box))
        QCOMPARE(text->textCursor().selectedText(), text->toPlainText());
    QVERIFY(!bar || bar->isHidden());
}

void TestWriteParameters::silentController()
{
    WriteRig rig(analogEdition(), {"--silent"});
    QVERIFY2(rig.openSilent(), qPrintable(rig.sim.errorText()));
    rig.form->modbus1->setRespondTimeOut(20);

    rig.click(rig.form->ui.cmdRelayWrite);

    // A silent controller is not helped by the remaining requests.
    QCOMPARE(rig.writes().size(), silentRequestLimit);
    QCOMPARE(rig.messages, QStringList{WriteMessages::failed + "\n" + silenceMessage + "\n" + partialWriteMessage});
    QCOMPARE(rig.form->ui.lblStatus->text(), QStringLiteral("控制器不再应答：在第 3 个请求处停止（共 58 个），连接已断开"));
    QVERIFY(rig.form->ui.ProgressBar1->isHidden());
    QVERIFY(!rig.form->IsConnected);
}

void TestWriteParameters::progressBarDuringWrite()
{
    WriteRig rig(analogEdition());
    QVERIFY2(rig.open(), qPrintable(rig.sim.errorText()));
    QProgressBar *bar = rig.form->ui.ProgressBar1;
    bar->setValue(40);
    QMap<int, int> valueAt;
    bool alwaysVisible = true;
    connect(rig.form->modbus1, &modbus::FC16PresetMultiRegisterRespond4X, this,
            [&](qint16, qint16, qint16 &, qint16 &startAddress, qint16 &) {
                valueAt[startAddress] = bar->value();
                alwaysVisible = alwaysVisible && bar->isVisibleTo(rig.form.get());
            });

    rig.click(rig.form->ui.cmdRelayWrite);

    QCOMPARE(valueAt.size(), 57);
    QVERIFY(alwaysVisible);
    QCOMPARE(valueAt[10], 0);          // the advance follows the request
    QCOMPARE(valueAt[30], 1);          // 1.5
    QCOMPARE(valueAt[710], 57);        // 38 texts of 1.5
    QCOMPARE(valueAt[770], 77);        // ten phone slots of 2
    QCOMPARE(valueAt[1022], 92);
    QCOMPARE(bar->value(), 100);
    QVERIFY(bar->isHidden());
}

void TestWriteParameters::vanishedDeviceDropsConnection_data()
{
    QTest::addColumn<QString>("scheme"); // empty: the local line, else a device server's
    QTest::newRow("local line") << "";
    QTest::newRow("raw device server") << "tcp";
    QTest::newRow("RFC 2217 device server") << "rfc2217";
}

// The device (or the device server) vanishing mid-write stops the sequence at the first request
// that cannot be sent and gives up the connection, instead of one send error per remaining
// request.
void TestWriteParameters::vanishedDeviceDropsConnection()
{
    QFETCH(QString, scheme);
    WriteRig rig(analogEdition());
    QVERIFY2(rig.ready(), qPrintable(rig.sim.errorText()));
    DeviceServer server;
    QString reason = QStringLiteral("串口设备 %1 已断开").arg(rig.sim.devicePath());
    if (!scheme.isEmpty()) {
        if (!server.start(rig.sim.devicePath()))
            QFAIL(qPrintable(server.errorText()));
        const quint16 port = scheme == "tcp" ? server.rawPort : server.telnetPort;
        QVERIFY(preselectPort(*rig.form, server.url(qPrintable(scheme), port)));
        reason = QStringLiteral("与设备服务器 127.0.0.1:%1 的连接已断开").arg(port);
    }
    QVERIFY(rig.open());
    connect(rig.form->modbus1, &modbus::FC16PresetMultiRegisterRespond4X, this,
            [&](qint16, qint16, qint16 &, qint16 &startAddress, qint16 &) {
                if (startAddress != 490)
                    return;
                if (scheme.isEmpty())
                    rig.sim.kill();
                else
                    server.kill();
            });

    rig.click(rig.form->ui.cmdRelayWrite);

    // One message: the connection is lost during the write, the controller may hold part of it, and why.
    QCOMPARE(rig.messages, QStringList{connectionLostMessage(reason, WriteMessages::connectionLostDuringWrite)});
    QVERIFY(!rig.form->IsConnected);
    QVERIFY(rig.form->ui.ProgressBar1->isHidden());
    QCOMPARE(rig.form->ui.lstPhone->currentRow(), -1);
}

void TestWriteParameters::portFailureWhileAwaitingReply_data()
{
    QTest::addColumn<int>("confirmedBefore"); // requests answered before the failing one
    QTest::newRow("first request") << 0;
    QTest::newRow("phone slot") << 41;
}

// The port failing during a reply wait (SerialPortError) must not escape into the event loop.
void TestWriteParameters::portFailureWhileAwaitingReply()
{
    QFETCH(int, confirmedBefore);
    FormRig rig(analogEdition());
    QVERIFY(rig.form->modbus1->OpenPort());
    rig.form->IsConnected = true;
    rig.form->ui.lstPhone->addItems(phoneNumbers(5));
    for (int k = 0; k < confirmedBefore; ++k)
        rig.port->reply(spoiledEcho); // answered, so the sequence goes on
    rig.port->expect({{}, {}, FakeSerialPort::Milliseconds(5)});
    rig.form->modbus1->setRespondTimeOut(10);

    QTest::mouseClick(rig.form->ui.cmdRelayWrite, Qt::LeftButton);

    QCOMPARE(rig.port->written.size(), confirmedBefore + 1);
    QCOMPARE(rig.messages, QStringList{portFailureMessage + QStringLiteral("\n") + WriteMessages::connectionLostDuringWrite
                                       + QStringLiteral("\ndevice removed")});
    QVERIFY(!rig.form->IsConnected);
    QVERIFY(rig.form->ui.ProgressBar1->isHidden());
    QCOMPARE(rig.form->ui.lstPhone->currentRow(), -1);
}

// After the port failed mid-write and was opened again, a write runs and is confirmed as usual.
void TestWriteParameters::writeAgainAfterPortFailure()
{
    FormRig rig(analogEdition());
    QVERIFY(rig.form->modbus1->OpenPort());
    rig.form->IsConnected = true;
    rig.port->expect({{}, {}, FakeSerialPort::Milliseconds(5)});
    rig.form->modbus1->setRespondTimeOut(10);
    QTest::mouseClick(rig.form->ui.cmdRelayWrite, Qt::LeftButton);
    QVERIFY(!rig.form->IsConnected);

    QVERIFY(rig.form->modbus1->OpenPort());
    rig.form->IsConnected = true;
    rig.messages.clear();
    rig.port->written.clear();
    for (int k = 0; k < 58; ++k)
        rig.port->reply(spoiledEcho);
    QTest::mouseClick(rig.form->ui.cmdRelayWrite, Qt::LeftButton);

    QCOMPARE(rig.port->written.size(), 58);
    QCOMPARE(rig.messages, QStringList{WriteMessages::failed});
}

QTEST_MAIN(TestWriteParameters)
#include "tst_write_parameters.moc"
