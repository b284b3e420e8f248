#include "edition_named.h"
#include "editing/di_alarm_texts.h"
#include "form_rig.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

using namespace alarmcfg;

namespace {

// Chinese text arrives committed by the input method, not key by key.
void typeInto(QPlainTextEdit *box, const QString &text)
{
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    box->insertPlainText(text);
}

void typeInto(QLineEdit *box, const QString &text)
{
    box->setFocus();
    box->selectAll();
    box->insert(text);
}

} // namespace

class TestDIAlarmTexts : public QObject {
    Q_OBJECT

private slots:
    void editsSurviveChannelSwitches_data();
    void editsSurviveChannelSwitches();
    void everyKeystrokeIsStored();
    void selectingCutsAtFirstNul_data();
    void selectingCutsAtFirstNul();
    void emptyTextEmptiesSlot();
    void editWhileSelectorTypedOver();
    void typedChannelNameSelectsIt();
};

void TestDIAlarmTexts::editsSurviveChannelSwitches_data()
{
    QTest::addColumn<QString>("edition");
    QTest::newRow("analog") << "analog";
    QTest::newRow("th") << "th";
}

void TestDIAlarmTexts::editsSurviveChannelSwitches()
{
    QFETCH(QString, edition);
    FormRig rig(editionNamed(edition));
    FormMain &form = *rig.form;
    const QStringList before = form.DIAlarmText;

    typeInto(form.ui.txtDIAlarm, QStringLiteral("仓库门打开"));
    form.ui.cmbDISel->setCurrentIndex(2);
    QCOMPARE(form.ui.txtDIAlarm->toPlainText(), before[2]);
    typeInto(form.ui.txtDIAlarm, QStringLiteral("水浸报警"));
    form.ui.cmbDISel->setCurrentIndex(0);

    QCOMPARE(form.ui.txtDIAlarm->toPlainText(), QStringLiteral("仓库门打开"));
    QStringList expected = before;
    expected[0] = QStringLiteral("仓库门打开");
    expected[2] = QStringLiteral("水浸报警");
    QCOMPARE(form.DIAlarmText, expected);
    QVERIFY(rig.port->written.isEmpty());
}

void TestDIAlarmTexts::everyKeystrokeIsStored()
{
    FormRig rig(analogEdition());
    FormMain &form = *rig.form;
    form.ui.cmbDISel->setCurrentIndex(1);
    form.ui.txtDIAlarm->setFocus();
    form.ui.txtDIAlarm->moveCursor(QTextCursor::End);
    QTest::keyClick(form.ui.txtDIAlarm, Qt::Key_A);
    QCOMPARE(form.DIAlarmText[1], QStringLiteral("数字通道2报警a"));
    QTest::keyClick(form.ui.txtDIAlarm, Qt::Key_Backspace);
    QTest::keyClick(form.ui.txtDIAlarm, Qt::Key_Backspace);
    QCOMPARE(form.DIAlarmText[1], QStringLiteral("数字通道2报"));
}

void TestDIAlarmTexts::selectingCutsAtFirstNul_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    const QString nul(1, QChar(u'\0'));
    QTest::newRow("trailing NULs") << QStringLiteral("门磁报警") + nul + nul + nul << "门磁报警";
    QTest::newRow("text after a NUL") << "abc" + nul + "def" + nul << "abc";
    QTest::newRow("NUL first") << nul + "abc" << "";
    QTest::newRow("no NUL") << "烟感报警" << "烟感报警";
}

void TestDIAlarmTexts::selectingCutsAtFirstNul()
{
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    FormRig rig(analogEdition());
    FormMain &form = *rig.form;
    // As a read-back leaves them: raw slots, the shown channel 0 untouched.
    form.DIAlarmText[1] = stored;
    form.DIAlarmText[3] = stored;
    QCOMPARE(form.ui.txtDIAlarm->toPlainText(), QStringLiteral("数字通道1报警"));
    QCOMPARE(form.DIAlarmText[1], stored);

    form.ui.cmbDISel->setCurrentIndex(1);

    QCOMPARE(form.ui.txtDIAlarm->toPlainText(), shown);
    QCOMPARE(form.DIAlarmText[1], shown);
    QCOMPARE(form.DIAlarmText[3], stored); // cut only when its channel is selected
    QCOMPARE(form.DIAlarmText[0], QStringLiteral("数字通道1报警"));
}

void TestDIAlarmTexts::emptyTextEmptiesSlot()
{
    FormRig rig(temperatureHumidityEdition());
    FormMain &form = *rig.form;
    form.ui.cmbDISel->setCurrentIndex(3);
    typeInto(form.ui.txtDIAlarm, QString());
    QCOMPARE(form.DIAlarmText[3], QString());
    form.ui.cmbDISel->setCurrentIndex(0);
    form.ui.cmbDISel->setCurrentIndex(3);
    QCOMPARE(form.ui.txtDIAlarm->toPlainText(), QString());
}

void TestDIAlarmTexts::editWhileSelectorTypedOver()
{
    FormRig rig(analogEdition());
    FormMain &form = *rig.form;
    QComboBox *selector = form.ui.cmbDISel;
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    selector->setCurrentIndex(1);
    typeInto(selector->lineEdit(), QStringLiteral("通道X"));
    QCOMPARE(selector->currentText(), QStringLiteral("通道X"));

    // The edit goes to the channel still selected in the list.
    typeInto(form.ui.txtDIAlarm, QStringLiteral("新文本"));
    QCOMPARE(form.DIAlarmText[1], QStringLiteral("新文本"));
    QCOMPARE(form.DIAlarmText[0], QStringLiteral("数字通道1报警"));
    // Leaving the selector brings back that channel's name.
    QCOMPARE(selector->currentText(), QStringLiteral("数字通道2"));
    QCOMPARE(selector->currentIndex(), 1);
    QVERIFY(rig.messages.isEmpty());
}

void TestDIAlarmTexts::typedChannelNameSelectsIt()
{
    FormRig rig(analogEdition());
    FormMain &form = *rig.form;
    QComboBox *selector = form.ui.cmbDISel;
    typeInto(selector->lineEdit(), QStringLiteral("数字通道3"));
    QTest::keyClick(selector->lineEdit(), Qt::Key_Return);
    QCOMPARE(selector->currentIndex(), 2);
    QCOMPARE(form.ui.txtDIAlarm->toPlainText(), QStringLiteral("数字通道3报警"));
}

QTEST_MAIN(TestDIAlarmTexts)
#include "tst_di_alarm_texts.moc"
