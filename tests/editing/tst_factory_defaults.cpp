#include "edition_named.h"
#include "connection/link.h"
#include "editing/write_parameters.h"
#include "write_checks.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>

using namespace alarmcfg;

namespace {

QStringList texts(const std::vector<QLineEdit *> &boxes)
{
    QStringList values;
    for (const QLineEdit *box : boxes)
        values << box->text();
    return values;
}

QStringList entries(const QListWidget *list)
{
    QStringList values;
    for (int row = 0; row < list->count(); ++row)
        values << list->item(row)->text();
    return values;
}

// Values the factory defaults must leave alone, and a window far from the factory values.
void editEverything(FormMain &form)
{
    Controls &ui = form.ui;
    for (auto *boxes : {&ui.txtOpen, &ui.txtClose, &ui.txtAnswer, &ui.txtCAnswer, &ui.txtTime, &ui.txtAdc,
                        &ui.txtTHCalc, &ui.txtTHAlmMsg, &ui.txtAIRange})
        for (QLineEdit *box : *boxes)
            box->setText("7");
    for (QComboBox *box : ui.cmbRangeSel)
        box->setCurrentIndex(3);
    for (int slot = 0; slot < FormMain::diAlarmSlotCount; ++slot)
        form.DIAlarmText[slot] = QStringLiteral("edited %1").arg(slot);
    ui.cmbDISel->setCurrentIndex(2);
    ui.lstPhone->clear();
    ui.lstPhone->addItems({"13900000001", "13900000002"});
    ui.lstPhone->setCurrentRow(1);
    ui.txtMiMa->clear();
    ui.txtAllCmd[0]->setText("allon");
    ui.txtAllCmd[1]->setText("alloff");
    ui.txtPhone->setText("13700000000");
    for (QCheckBox *box : {ui.chkHold, ui.chkPhoneAlarm, ui.chkAnswer})
        if (box)
            box->setChecked(box == ui.chkAnswer);
}

QStringList factoryDIAlarmTexts(int slotCount)
{
    QStringList values;
    for (int k = 1; k <= slotCount; ++k)
        values << QStringLiteral("数字通道%1报警").arg(k);
    return values;
}

} // namespace

class TestFactoryDefaults : public QObject {
    Q_OBJECT

private slots:
    void window_data();
    void window();
    void writtenToController_data();
    void writtenToController();
};

void TestFactoryDefaults::window_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<QStringList>("limits");
    QTest::addColumn<QStringList>("alarmTexts");
    QTest::newRow("analog") << "analog" << QStringList{"5000", "0", "5000", "0"}
                            << QStringList{"模拟量0超过上限值", "模拟量0低于下限值", "模拟量1超过上限值", "模拟量1低于下限值"};
    QTest::newRow("th") << "th" << QStringList{"99", "0", "99", "0"}
                        << QStringList{"温度超过上限值", "温度对于下限值", "湿度超过上限值", "湿度低于下限值"};
}

// Without a connection the window receives the factory values and the write refuses.
void TestFactoryDefaults::window()
{
    QFETCH(QString, edition);
    QFETCH(QStringList, limits);
    QFETCH(QStringList, alarmTexts);
    WriteRig rig(editionNamed(edition));
    QVERIFY2(rig.ready(), qPrintable(rig.sim.errorText()));
    FormMain &form = *rig.form;
    Controls &ui = form.ui;
    editEverything(form);

    rig.click(ui.Command1);

    QCOMPARE(rig.messages, QStringList{connectFirstMessage});
    QCOMPARE(ui.lblStatus->text(), "出厂值只设置在窗口中，未写入控制器：" + connectFirstMessage);
    QVERIFY(rig.requests().isEmpty());
    const int relays = form.edition().relayCount;
    const int slotCount = form.edition().factory.diAlarmSlots;
    QCOMPARE(form.DIAlarmText.mid(0, slotCount), factoryDIAlarmTexts(slotCount));
    for (int slot = slotCount; slot < FormMain::diAlarmSlotCount; ++slot)
        QCOMPARE(form.DIAlarmText[slot], QStringLiteral("edited %1").arg(slot));
    QCOMPARE(ui.cmbDISel->currentIndex(), 0);
    QCOMPARE(ui.txtDIAlarm->toPlainText(), "数字通道1报警");
    for (int i = 0; i < relays; ++i) {
        const QString n = QString::number(i + 1);
        QCOMPARE(ui.txtOpen[i]->text(), "设备" + n + "开");
        QCOMPARE(ui.txtClose[i]->text(), "设备" + n + "关");
        QCOMPARE(ui.txtAnswer[i]->text(), "设备" + n + "开启成功");
        QCOMPARE(ui.txtCAnswer[i]->text(), "设备" + n + "关闭成功");
        QCOMPARE(ui.txtTime[i]->text(), "0");
    }
    QCOMPARE(texts(ui.txtTHCalc), (QStringList{"0", "0"}));
    QCOMPARE(texts(ui.txtAdc), limits);
    QCOMPARE(texts(ui.txtTHAlmMsg), alarmTexts);
    for (const QComboBox *box : ui.cmbRangeSel)
        QCOMPARE(box->currentText(), "0~5V");
    for (const QLineEdit *box : ui.txtAIRange)
        QCOMPARE(box->text(), "5000");
    QCOMPARE(entries(ui.lstPhone), QStringList{"15800000000"});
    QVERIFY(ui.lstPhone->selectedItems().isEmpty());
    QCOMPARE(ui.txtMiMa->text(), "739164");
    // Left as they were.
    QCOMPARE(texts(ui.txtAllCmd), (QStringList{"allon", "alloff"}));
    QCOMPARE(ui.txtPhone->text(), "13700000000");
    if (ui.chkAnswer)
        QVERIFY(ui.chkAnswer->isChecked());
}

void TestFactoryDefaults::writtenToController_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<int>("requestCount");
    QTest::addColumn<QVector<qint16>>("limits");
    QTest::addColumn<QString>("secondAlarmText");
    QTest::newRow("analog") << "analog" << 58 << QVector<qint16>{5000, 0, 5000, 0} << "模拟量0低于下限值";
    QTest::newRow("th") << "th" << 40 << QVector<qint16>{99, 0, 99, 0} << "温度对于下限值";
}

// The write carries the factory values, the factory password in front of every command, and
// whatever the all-commands and options held before.
void TestFactoryDefaults::writtenToController()
{
    QFETCH(QString, edition);
    QFETCH(int, requestCount);
    QFETCH(QVector<qint16>, limits);
    QFETCH(QString, secondAlarmText);
    WriteRig rig(editionNamed(edition));
    QVERIFY2(rig.open(), qPrintable(rig.sim.errorText()));
    editEverything(*rig.form);

    rig.click(rig.form->ui.Command1);

    QCOMPARE(rig.messages, QStringList{WriteMessages::succeeded});
    QCOMPARE(rig.form->ui.lblStatus->text(), QStringLiteral("出厂值已写入控制器"));
    QCOMPARE(rig.writes().size(), requestCount);
    QCOMPARE(rig.requestAt(10)->values, writtenText("739164*设备1开"));
    QCOMPARE(rig.requestAt(850)->values, writtenText("设备1关闭成功"));
    QCOMPARE(rig.requestAt(490)->values, writtenText("739164*allon"));
    QCOMPARE(rig.requestAt(510)->values, writtenText("739164*alloff"));
    QCOMPARE(rig.requestAt(522)->values, writtenText("数字通道1报警"));
    QCOMPARE(rig.requestAt(790)->values, writtenText(secondAlarmText));
    QCOMPARE(rig.requestAt(690)->values, QVector<qint16>(rig.form->edition().relayCount, 0));
    QCOMPARE(rig.requestAt(1010)->values, limits);
    QCOMPARE(rig.requestAt(1018)->values, (QVector<qint16>{0, 0}));
    const int firstPhoneSlot = edition == "th" ? 260 : 710;
    QCOMPARE(rig.requestAt(firstPhoneSlot)->values, packedText("8615800000000"));
    QCOMPARE(rig.requestAt(firstPhoneSlot + 20)->values, QVector<qint16>{0x6100}); // a number removed
    if (edition == "analog") {
        QCOMPARE(rig.requestAt(1022)->values, (QVector<qint16>{5000, 5000}));
        QCOMPARE(rig.requestAt(1026)->values, (QVector<qint16>{0, 0}));
        QCOMPARE(rig.requestAt(1030)->values, QVector<qint16>{4}); // chkAnswer as it was
    }
    QCOMPARE(rig.form->ui.lstPhone->count(), 1);
    QVERIFY(rig.form->ui.lstPhone->selectedItems().isEmpty());
}

QTEST_MAIN(TestFactoryDefaults)
#include "tst_factory_defaults.moc"
