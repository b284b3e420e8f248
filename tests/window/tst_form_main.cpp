#include "app/config_menu.h"
#include "app/qt_translations.h"
#include "device_tree.h"
#include "edition_named.h"
#include "form_rig.h"
#include "window/form_main.h"
#include "window/widget_state.h"

#include "modbus/modbus.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QTest>

using namespace alarmcfg;

namespace {

// Caption or text a user reads on the widget.
QString shownText(const QWidget *widget)
{
    if (auto *box = qobject_cast<const QGroupBox *>(widget))
        return box->title();
    if (auto *label = qobject_cast<const QLabel *>(widget))
        return label->text();
    if (auto *button = qobject_cast<const QAbstractButton *>(widget))
        return button->text();
    if (auto *line = qobject_cast<const QLineEdit *>(widget))
        return line->text();
    if (auto *combo = qobject_cast<const QComboBox *>(widget))
        return combo->currentText();
    if (auto *text = qobject_cast<const QPlainTextEdit *>(widget))
        return text->toPlainText();
    return {};
}

// Name of the innermost group box holding the widget; "" when it sits on the window itself.
QString enclosingFrame(const QWidget *widget)
{
    for (QWidget *up = widget->parentWidget(); up; up = up->parentWidget())
        if (qobject_cast<QGroupBox *>(up))
            return up->objectName();
    return {};
}

struct Expected {
    const char *name;
    const char *kind;
    const char *text;
    const char *frame;
};

// Widgets both windows share, with the texts they show after start-up.
const Expected sharedWidgets[] = {
    {"Frame6", "QGroupBox", "串口设置", ""},
    {"cmbComSel", "QComboBox", "COM1", "Frame6"},
    {"cmdConnect", "QPushButton", "连接", "Frame6"},
    {"Frame16", "QGroupBox", "固件版本", ""},
    {"Label1_4", "QLabel", "", "Frame16"},
    {"lblVertion", "QLabel", "0.0", "Frame16"},
    {"Frame3", "QGroupBox", nullptr, ""},
    {"Label1_2", "QLabel", "实时值：", "Frame3"},
    {"Label1_3", "QLabel", "校准值：", "Frame3"},
    {"txtAI_0", "QLineEdit", "0", "Frame3"},
    {"txtAI_1", "QLineEdit", "0", "Frame3"},
    {"txtTHCalc_0", "QLineEdit", "0", "Frame3"},
    {"txtTHCalc_1", "QLineEdit", "0", "Frame3"},
    {"Frame2", "QGroupBox", "数字量状态", ""},
    {"cmdDI_0", "QPushButton", "I0", "Frame2"},
    {"cmdDI_3", "QPushButton", "I3", "Frame2"},
    {"cmdRelay_0", "QPushButton", "Q0", "Frame2"},
    {"cmdRelay_3", "QPushButton", "Q3", "Frame2"},
    {"Frame4", "QGroupBox", "报警设置", ""},
    {"Frame15", "QGroupBox", "手机号码设置", "Frame4"},
    {"cmdAddPhone", "QPushButton", "添加", "Frame15"},
    {"cmdDelPhone", "QPushButton", "删除", "Frame15"},
    {"txtPhone", "QLineEdit", "15800000000", "Frame15"},
    {"lstPhone", "QListWidget", "", "Frame15"},
    {"通道", "QGroupBox", nullptr, "Frame4"},
    {"Label13", "QLabel", nullptr, "通道"},
    {"txtAdc_0", "QLineEdit", "99", "通道"},
    {"txtAdc_1", "QLineEdit", "0", "通道"},
    {"txtAdc_2", "QLineEdit", "99", "通道"},
    {"txtAdc_3", "QLineEdit", "0", "通道"},
    {"Frame1", "QGroupBox", "数字量短信报警设置", "Frame4"},
    {"Label3", "QLabel", "通道选择", "Frame1"},
    {"cmbDISel", "QComboBox", "数字通道1", "Frame1"},
    {"txtDIAlarm", "QPlainTextEdit", "数字通道1报警", "Frame1"},
    {"Frame8", "QGroupBox", "继电器指令设置", ""},
    {"Label14", "QLabel", "开启命令：", "Frame8"},
    {"Label9", "QLabel", "回复命令：", "Frame8"},
    {"Label10", "QLabel", "关闭命令：", "Frame8"},
    {"Label16", "QLabel", "回复命令：", "Frame8"},
    {"Label15", "QLabel", "动作时间：", "Frame8"},
    {"Frame5", "QGroupBox", "继电器1", "Frame8"},
    {"Frame7", "QGroupBox", "继电器2", "Frame8"},
    {"txtOpen_0", "QLineEdit", "设备1开", "Frame5"},
    {"txtAnswer_0", "QLineEdit", "设备1开启成功", "Frame5"},
    {"txtClose_0", "QLineEdit", "设备1关", "Frame5"},
    {"txtCAnswer_0", "QLineEdit", "设备1关闭成功", "Frame5"},
    {"txtTime_0", "QLineEdit", "0", "Frame5"},
    {"txtOpen_1", "QLineEdit", "设备2开", "Frame7"},
    {"txtMiMa", "QLineEdit", "739164", nullptr},
    {"txtAllCmd_0", "QLineEdit", "全开", nullptr},
    {"txtAllCmd_1", "QLineEdit", "全关", nullptr},
    {"cmdRelayWrite", "QPushButton", "设置", nullptr},
    {"cmdRelayRead", "QPushButton", "读取", nullptr},
    {"Command1", "QPushButton", "恢复出厂", nullptr},
};

const Expected analogWidgets[] = {
    {"Frame3", "QGroupBox", "模拟量状态", ""},
    {"Label1_0", "QLabel", "模拟通道0", "Frame3"},
    {"Label1_1", "QLabel", "模拟通道1", "Frame3"},
    {"cmdDI_7", "QPushButton", "I7", "Frame2"},
    {"cmdRelay_7", "QPushButton", "Q7", "Frame2"},
    {"Frame21", "QGroupBox", "模拟量转换", ""},
    {"Label1_5", "QLabel", "输入选择：", "Frame21"},
    {"Label1_6", "QLabel", "满量程值：", "Frame21"},
    {"Label1_7", "QLabel", "模拟通道0", "Frame21"},
    {"Label1_8", "QLabel", "模拟通道1", "Frame21"},
    {"cmbRangeSel_0", "QComboBox", "0~5V", "Frame21"},
    {"cmbRangeSel_1", "QComboBox", "0~5V", "Frame21"},
    {"txtAIRange_0", "QLineEdit", "5000", "Frame21"},
    {"txtAIRange_1", "QLineEdit", "5000", "Frame21"},
    {"ProgressBar1", "QProgressBar", "", ""},
    {"通道", "QGroupBox", "模拟量报警设置", "Frame4"},
    {"Label13", "QLabel", "模拟量报警短信", "通道"},
    {"Label7", "QLabel", "通道0上限", "通道"},
    {"Label5", "QLabel", "通道0下限", "通道"},
    {"Label8", "QLabel", "通道1上限", "通道"},
    {"Label11", "QLabel", "通道1下限", "通道"},
    {"txtTHAlmMsg_0", "QLineEdit", "模拟量超过上限值", "通道"},
    {"txtTHAlmMsg_1", "QLineEdit", "模拟量低于下限值", "通道"},
    {"txtTHAlmMsg_2", "QLineEdit", "模拟量超过上限值", "通道"},
    {"txtTHAlmMsg_3", "QLineEdit", "模拟量低于下限值", "通道"},
    {"Frame9", "QGroupBox", "继电器3", "Frame8"},
    {"Frame10", "QGroupBox", "继电器4", "Frame8"},
    {"Frame11", "QGroupBox", "继电器5", "Frame8"},
    {"Frame12", "QGroupBox", "继电器6", "Frame8"},
    {"Frame13", "QGroupBox", "继电器7", "Frame8"},
    {"Frame14", "QGroupBox", "继电器8", "Frame8"},
    {"txtOpen_2", "QLineEdit", "设备3开", "Frame9"},
    {"txtCAnswer_7", "QLineEdit", "设备8关闭成功", "Frame14"},
    {"txtTime_7", "QLineEdit", "0", "Frame14"},
    {"Label6", "QLabel", "全局设置：", "Frame8"},
    {"Frame17", "QGroupBox", "指令密码", "Frame8"},
    {"Frame18", "QGroupBox", "全开指令", "Frame8"},
    {"Frame19", "QGroupBox", "全关指令", "Frame8"},
    {"Frame20", "QGroupBox", "系统选项", "Frame8"},
    {"txtMiMa", "QLineEdit", "739164", "Frame17"},
    {"txtAllCmd_0", "QLineEdit", "全开", "Frame18"},
    {"txtAllCmd_1", "QLineEdit", "全关", "Frame19"},
    {"chkHold", "QCheckBox", "掉电记忆", "Frame20"},
    {"chkPhoneAlarm", "QCheckBox", "电话报警", "Frame20"},
    {"chkAnswer", "QCheckBox", "短信回复", "Frame20"},
    {"cmdRelayWrite", "QPushButton", "设置", "Frame8"},
    {"cmdRelayRead", "QPushButton", "读取", "Frame8"},
    {"Command1", "QPushButton", "恢复出厂", "Frame8"},
    {"Label2", "QLabel", nullptr, ""},
    {"Label4", "QLabel", nullptr, ""},
};

const Expected thWidgets[] = {
    {"Frame3", "QGroupBox", "温湿度状态", ""},
    {"Label1_0", "QLabel", "温度值", "Frame3"},
    {"Label1_1", "QLabel", "湿度值", "Frame3"},
    {"通道", "QGroupBox", "温湿度报警设置", "Frame4"},
    {"Label13", "QLabel", "温湿度报警短信", "通道"},
    {"Label7", "QLabel", "温度上限", "通道"},
    {"Label5", "QLabel", "温度下限", "通道"},
    {"Label8", "QLabel", "湿度上限", "通道"},
    {"Label11", "QLabel", "湿度下限", "通道"},
    {"txtTHAlmMsg_0", "QLineEdit", "温度超过上限值", "通道"},
    {"txtTHAlmMsg_1", "QLineEdit", "温度低于下限值", "通道"},
    {"txtTHAlmMsg_2", "QLineEdit", "湿度超过上限值", "通道"},
    {"txtTHAlmMsg_3", "QLineEdit", "湿度低于下限值", "通道"},
    {"Frame9_0", "QGroupBox", "继电器3", "Frame8"},
    {"Frame9_1", "QGroupBox", "继电器4", "Frame8"},
    {"txtOpen_2", "QLineEdit", "设备3开", "Frame9_0"},
    {"txtCAnswer_3", "QLineEdit", "设备4关闭成功", "Frame9_1"},
    {"txtTime_3", "QLineEdit", "0", "Frame9_1"},
    {"Label6", "QLabel", "指令密码：", "Frame8"},
    {"Label2", "QLabel", "全开命令：", "Frame8"},
    {"Label4", "QLabel", "全关命令：", "Frame8"},
    {"txtMiMa", "QLineEdit", "739164", "Frame8"},
    {"txtAllCmd_0", "QLineEdit", "全开", "Frame8"},
    {"txtAllCmd_1", "QLineEdit", "全关", "Frame8"},
    {"cmdRelayWrite", "QPushButton", "设置", ""},
    {"cmdRelayRead", "QPushButton", "读取", ""},
    {"Command1", "QPushButton", "恢复出厂", ""},
    {"Label12", "QLabel", nullptr, ""},
    {"Label17", "QLabel", nullptr, ""},
};

const char *const absentFromTh[] = {
    "Frame21", "ProgressBar1", "cmbRangeSel_0", "cmbRangeSel_1", "txtAIRange_0", "Label1_5",
    "Label1_8", "Frame10", "Frame14", "Frame17", "Frame20", "chkHold", "chkPhoneAlarm",
    "chkAnswer", "cmdDI_4", "cmdRelay_4", "txtOpen_4", "txtAnswer_4", "txtClose_4",
    "txtCAnswer_4", "txtTime_4", "Frame9",
};

const char *const absentFromAnalog[] = {"Frame9_0", "Frame9_1", "Label12", "Label17", "cmdDI_8",
                                        "Label1_9", "txtOpen_8"};

template <std::size_t N>
void addRows(const char *edition, const Expected (&rows)[N])
{
    for (const Expected &row : rows)
        QTest::addRow("%s %s", edition, row.name)
            << QString::fromLatin1(edition) << QString::fromUtf8(row.name)
            << QString::fromLatin1(row.kind)
            << (row.text ? QVariant(QString::fromUtf8(row.text)) : QVariant())
            << (row.frame ? QVariant(QString::fromUtf8(row.frame)) : QVariant());
}

// The README pictures' font (tools/screenshot), at 96 dpi.
const QFont pictureFont(QStringLiteral("WenQuanYi Zen Hei"), 9);

// Width the widget needs to show its caption or text whole; 0 for widgets without one.
int widthForText(const QWidget *widget)
{
    const QStyle *style = widget->style();
    const int textWidth = widget->fontMetrics().horizontalAdvance(shownText(widget));
    if (qobject_cast<const QGroupBox *>(widget))
        return widget->minimumSizeHint().width();
    if (qobject_cast<const QLabel *>(widget) || qobject_cast<const QCheckBox *>(widget))
        return widget->sizeHint().width();
    const int frame = 2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, widget);
    if (qobject_cast<const QPushButton *>(widget))
        return textWidth + frame;
    if (qobject_cast<const QLineEdit *>(widget)) // the editable combo boxes' texts too
        return textWidth + frame + 4; // QLineEdit keeps 2 pixels either side of its text
    return 0;
}

QStringList clippedTexts(const QWidget *window)
{
    QStringList clipped;
    for (const QWidget *widget : window->findChildren<QWidget *>())
        if (widget->isVisible() && widget->width() < widthForText(widget))
            clipped << QStringLiteral("%1 \"%2\" %3 < %4")
                           .arg(widget->objectName(), shownText(widget))
                           .arg(widget->width())
                           .arg(widthForText(widget));
    return clipped;
}

// Every relay group box must hold the text boxes of the relay its caption names.
int relayOfFrameCaption(const QString &caption)
{
    return caption.mid(3).toInt() - 1;
}

} // namespace

class TestFormMain : public QObject {
    Q_OBJECT

private slots:
    void widgetTree_data();
    void widgetTree();
    void absentWidgets_data();
    void absentWidgets();
    void arraySizesFollowEdition_data();
    void arraySizesFollowEdition();
    void relayFramesHoldTheirRelay_data();
    void relayFramesHoldTheirRelay();
    void windowCaptionIconAndComponent_data();
    void windowCaptionIconAndComponent();
    void startupLists_data();
    void startupLists();
    void startupBuffer_data();
    void startupBuffer();
    void timersDoNotRunAfterStartup_data();
    void timersDoNotRunAfterStartup();
    void nothingSentBeforeConnecting_data();
    void nothingSentBeforeConnecting();
    void inputClicksDoNothing();
    void indicatorColours();
    void selectedIndexOfTypedText_data();
    void selectedIndexOfTypedText();
    void componentMessagesGoThroughWindow();
    void qtOwnTextsInChinese();
    void buttonsSayWhatTheyDoToTheController_data();
    void buttonsSayWhatTheyDoToTheController();
    void progressBarRange();
    void defaultSizeFitsALaptop_data();
    void defaultSizeFitsALaptop();
    void portDevicesShown_data();
    void portDevicesShown();
};

void TestFormMain::widgetTree_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QVariant>("text");  // null: not checked here
    QTest::addColumn<QVariant>("frame"); // null: differs between editions, listed there
    addRows("analog", sharedWidgets);
    addRows("th", sharedWidgets);
    addRows("analog", analogWidgets);
    addRows("th", thWidgets);
}

void TestFormMain::widgetTree()
{
    QFETCH(QString, edition);
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QVariant, text);
    QFETCH(QVariant, frame);
    FormRig rig(editionNamed(edition));
    const QList<QWidget *> found = rig.form->findChildren<QWidget *>(name);
    QCOMPARE(found.size(), 1);
    QWidget *widget = found.front();
    QVERIFY2(widget->inherits(kind.toLatin1()), widget->metaObject()->className());
    if (!text.isNull())
        QCOMPARE(shownText(widget), text.toString());
    if (!frame.isNull())
        QCOMPARE(enclosingFrame(widget), frame.toString());
}

void TestFormMain::absentWidgets_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<QString>("name");
    for (const char *name : absentFromTh)
        QTest::addRow("th %s", name) << QStringLiteral("th") << QString::fromLatin1(name);
    for (const char *name : absentFromAnalog)
        QTest::addRow("analog %s", name) << QStringLiteral("analog") << QString::fromLatin1(name);
}

void TestFormMain::absentWidgets()
{
    QFETCH(QString, edition);
    QFETCH(QString, name);
    FormRig rig(editionNamed(edition));
    QVERIFY(!rig.form->findChild<QObject *>(name));
}

void TestFormMain::arraySizesFollowEdition_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<int>("inputs");
    QTest::addColumn<int>("relays");
    QTest::addColumn<int>("label1");
    QTest::addColumn<int>("ranges");
    QTest::addColumn<bool>("options");
    QTest::newRow("analog") << "analog" << 8 << 8 << 9 << 2 << true;
    QTest::newRow("th") << "th" << 4 << 4 << 5 << 0 << false;
}

void TestFormMain::arraySizesFollowEdition()
{
    QFETCH(QString, edition);
    QFETCH(int, inputs);
    QFETCH(int, relays);
    QFETCH(int, label1);
    QFETCH(int, ranges);
    QFETCH(bool, options);
    FormRig rig(editionNamed(edition));
    const Controls &ui = rig.form->ui;
    QCOMPARE(int(ui.cmdDI.size()), inputs);
    QCOMPARE(int(ui.cmdRelay.size()), relays);
    for (const auto *array : {&ui.txtOpen, &ui.txtAnswer, &ui.txtClose, &ui.txtCAnswer, &ui.txtTime})
        QCOMPARE(int(array->size()), relays);
    QCOMPARE(int(ui.relayFrames.size()), relays);
    QCOMPARE(int(ui.Label1.size()), label1);
    for (QLabel *label : ui.Label1)
        QVERIFY(label);
    QCOMPARE(int(ui.cmbRangeSel.size()), ranges);
    QCOMPARE(int(ui.txtAIRange.size()), ranges);
    QCOMPARE(ui.chkHold != nullptr, options);
    QCOMPARE(ui.ProgressBar1 != nullptr, options);
    QCOMPARE(int(ui.txtAdc.size()), 4);
    QCOMPARE(int(ui.txtTHAlmMsg.size()), 4);
    QCOMPARE(int(ui.txtAllCmd.size()), 2);
}

void TestFormMain::relayFramesHoldTheirRelay_data()
{
    QTest::addColumn<QString>("edition");
    QTest::newRow("analog") << "analog";
    QTest::newRow("th") << "th";
}

void TestFormMain::relayFramesHoldTheirRelay()
{
    QFETCH(QString, edition);
    FormRig rig(editionNamed(edition));
    const Controls &ui = rig.form->ui;
    for (std::size_t relay = 0; relay < ui.relayFrames.size(); ++relay) {
        QGroupBox *frame = ui.relayFrames[relay];
        QCOMPARE(relayOfFrameCaption(frame->title()), int(relay));
        for (const auto *array : {&ui.txtOpen, &ui.txtAnswer, &ui.txtClose, &ui.txtCAnswer, &ui.txtTime})
            QCOMPARE(array->at(relay)->parentWidget(), frame);
        QCOMPARE(ui.cmdRelay[relay]->text(), QStringLiteral("Q%1").arg(relay));
    }
}

void TestFormMain::windowCaptionIconAndComponent_data()
{
    relayFramesHoldTheirRelay_data();
}

void TestFormMain::windowCaptionIconAndComponent()
{
    QFETCH(QString, edition);
    FormRig rig(editionNamed(edition));
    QCOMPARE(rig.form->windowTitle(), QStringLiteral("Veltra短信报警器配置工具V5.0"));
    QCOMPARE(rig.form->objectName(), QStringLiteral("FormMain"));
    QVERIFY(!rig.form->windowIcon().isNull());
    QVERIFY(!rig.form->windowIcon().availableSizes().isEmpty());
    auto *component = rig.form->findChild<modbus *>(QStringLiteral("modbus1"));
    QCOMPARE(component, rig.form->modbus1);
    QCOMPARE(component->BaudRate(), 9600);
    QCOMPARE(int(component->RespondTimeOut()), 500);
    QCOMPARE(component->settingsText(), QStringLiteral("9600,n,8,1"));
    QCOMPARE(rig.form->findChild<PeriodicTimer *>(QStringLiteral("Timer1")), rig.form->Timer1);
    QCOMPARE(rig.form->findChild<PeriodicTimer *>(QStringLiteral("Timer2")), rig.form->Timer2);
    QVERIFY(!rig.form->IsConnected);
    QVERIFY(!rig.form->StatusSeen);
    QCOMPARE(rig.form->RelayState, qint16(0));
    QCOMPARE(rig.form->DIState, quint16(0));
}

void TestFormMain::startupLists_data()
{
    relayFramesHoldTheirRelay_data();
}

void TestFormMain::startupLists()
{
    QFETCH(QString, edition);
    FormRig rig(editionNamed(edition));
    const Controls &ui = rig.form->ui;
    QStringList ports;
    for (int i = 0; i < ui.cmbComSel->count(); ++i)
        ports << ui.cmbComSel->itemText(i);
    QCOMPARE(ports, QStringList({"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7"}));
    QCOMPARE(ui.cmbComSel->currentIndex(), 0);
    QStringList channels;
    for (int i = 0; i < ui.cmbDISel->count(); ++i)
        channels << ui.cmbDISel->itemText(i);
    QCOMPARE(channels, QStringList({"数字通道1", "数字通道2", "数字通道3", "数字通道4"}));
    QCOMPARE(ui.cmbDISel->currentIndex(), 0);
    for (QComboBox *range : ui.cmbRangeSel) {
        QCOMPARE(range->count(), 4);
        QCOMPARE(range->itemText(0), QStringLiteral("0~5V"));
        QCOMPARE(range->itemText(1), QStringLiteral("4~20ma"));
        QCOMPARE(range->itemText(2), QStringLiteral("0~20ma"));
        QCOMPARE(range->itemText(3), QStringLiteral("0~10V"));
        QCOMPARE(range->currentIndex(), 0);
    }
    const int last = int(ui.txtOpen.size()) - 1;
    const QString n = QString::number(last + 1);
    QCOMPARE(ui.txtOpen[last]->text(), "设备" + n + "开");
    QCOMPARE(ui.txtClose[last]->text(), "设备" + n + "关");
    QCOMPARE(ui.txtAnswer[last]->text(), "设备" + n + "开启成功");
    QCOMPARE(ui.txtCAnswer[last]->text(), "设备" + n + "关闭成功");
    QVERIFY(ui.lstPhone->count() == 0);
    for (QCheckBox *option : {ui.chkHold, ui.chkPhoneAlarm, ui.chkAnswer})
        QVERIFY(!option || !option->isChecked());
}

void TestFormMain::startupBuffer_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<QStringList>("buffer");
    QTest::newRow("analog") << "analog"
                            << QStringList({"数字通道1报警", "数字通道2报警", "数字通道3报警",
                                            "数字通道4报警", "数字通道5报警", "数字通道6报警",
                                            "数字通道7报警", "数字通道8报警", ""});
    QTest::newRow("th") << "th"
                        << QStringList({"数字通道1报警", "数字通道2报警", "数字通道3报警",
                                        "数字通道4报警", "", "", "", "", ""});
}

void TestFormMain::startupBuffer()
{
    QFETCH(QString, edition);
    QFETCH(QStringList, buffer);
    FormRig rig(editionNamed(edition));
    QCOMPARE(rig.form->DIAlarmText, buffer);
    QCOMPARE(rig.form->ui.txtDIAlarm->toPlainText(), buffer[0]);
}

void TestFormMain::timersDoNotRunAfterStartup_data()
{
    relayFramesHoldTheirRelay_data();
}

void TestFormMain::timersDoNotRunAfterStartup()
{
    QFETCH(QString, edition);
    FormRig rig(editionNamed(edition));
    for (PeriodicTimer *timer : {rig.form->Timer1, rig.form->Timer2}) {
        QVERIFY(timer->isEnabled());
        QCOMPARE(timer->interval(), 0);
        QVERIFY(!timer->isTicking());
    }
    QVERIFY(!rig.form->ui.txtAI[0]->isEnabled()); // nothing read yet
    QVERIFY(!rig.form->ui.lblVertion->isEnabled());
    QSignalSpy ticks1(rig.form->Timer1, &PeriodicTimer::tick);
    QSignalSpy ticks2(rig.form->Timer2, &PeriodicTimer::tick);
    rig.form->show();
    QTest::qWait(50);
    QCOMPARE(ticks1.count(), 0);
    QCOMPARE(ticks2.count(), 0);
}

void TestFormMain::nothingSentBeforeConnecting_data()
{
    relayFramesHoldTheirRelay_data();
}

void TestFormMain::nothingSentBeforeConnecting()
{
    QFETCH(QString, edition);
    FormRig rig(editionNamed(edition));
    rig.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig.form.get()));
    QTest::qWait(100);
    QVERIFY(rig.port->written.isEmpty());
    QVERIFY(!rig.port->isOpen());
    QCOMPARE(rig.form->modbus1->CommPort(), 1);
    QVERIFY(rig.messages.isEmpty());
}

void TestFormMain::inputClicksDoNothing()
{
    FormRig rig(analogEdition());
    setIndicator(rig.form->ui.cmdDI[2], true);
    for (QPushButton *input : rig.form->ui.cmdDI)
        QTest::mouseClick(input, Qt::LeftButton);
    QVERIFY(rig.port->written.isEmpty());
    QVERIFY(rig.messages.isEmpty());
    QCOMPARE(indicatorColor(rig.form->ui.cmdDI[2]), QColor(0x00FF00));
    QCOMPARE(indicatorColor(rig.form->ui.cmdDI[0]), buttonFaceColor(rig.form->ui.cmdDI[0]));
    QCOMPARE(rig.form->DIState, quint16(0));
    QCOMPARE(rig.form->RelayState, qint16(0));
}

void TestFormMain::indicatorColours()
{
    FormRig rig(analogEdition());
    QPushButton *relay = rig.form->ui.cmdRelay[5];
    QCOMPARE(indicatorColor(relay), buttonFaceColor(relay));
    setIndicator(relay, true);
    QCOMPARE(indicatorColor(relay).rgb() & 0xFFFFFF, QRgb(0x00FF00));
    QCOMPARE(indicatorColor(rig.form->ui.cmdRelay[4]), buttonFaceColor(relay));
    setIndicator(relay, false);
    QCOMPARE(indicatorColor(relay), buttonFaceColor(relay));
}

void TestFormMain::selectedIndexOfTypedText_data()
{
    QTest::addColumn<QString>("typed"); // null: choose item 3 from the list instead
    QTest::addColumn<int>("index");
    QTest::newRow("start-up selection") << QString() << 0;
    QTest::newRow("port beyond the list") << QStringLiteral("COM9") << -1;
    QTest::newRow("empty text") << QStringLiteral("") << -1;
    QTest::newRow("lower case") << QStringLiteral("com2") << -1;
    QTest::newRow("an item typed in full") << QStringLiteral("COM3") << 2;
}

void TestFormMain::selectedIndexOfTypedText()
{
    QFETCH(QString, typed);
    QFETCH(int, index);
    FormRig rig(analogEdition());
    QComboBox *ports = rig.form->ui.cmbComSel;
    if (!typed.isNull()) {
        ports->lineEdit()->selectAll();
        QTest::keyClick(ports->lineEdit(), Qt::Key_Backspace);
        QTest::keyClicks(ports->lineEdit(), typed);
    }
    QCOMPARE(selectedIndex(ports), index);
    ports->setCurrentIndex(3);
    QCOMPARE(selectedIndex(ports), 3);
}

void TestFormMain::componentMessagesGoThroughWindow()
{
    FormRig rig(analogEdition());
    // A request on the closed port fails to send; the component reports it through the window.
    rig.form->modbus1->FC03_ReadHoldingRegister_4X(1, 0, 7);
    QCOMPARE(rig.messages, QStringList{modbus::sendErrorMessage});
    rig.form->showMessage(QStringLiteral("请链接设备"));
    QCOMPARE(rig.messages.last(), QStringLiteral("请链接设备"));
}

// Message boxes and file dialogs are Qt's: their buttons follow its translation, not the system.
void TestFormMain::qtOwnTextsInChinese()
{
#ifdef Q_OS_WIN
    // Qt built for Windows has no translations of its own; the zip carries Debian's beside the program.
    if (!installQtTranslations())
        QSKIP("no Qt translations beside the test");
#else
    QVERIFY(installQtTranslations());
#endif
    QMessageBox box(QMessageBox::NoIcon, FormMain::caption, QStringLiteral("请链接设备"), QMessageBox::Ok);
    QCOMPARE(box.button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
    QCOMPARE(QFileDialog::tr("&Open"), QStringLiteral("打开(&O)"));
}

void TestFormMain::buttonsSayWhatTheyDoToTheController_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("says");
    QTest::newRow("connect") << "analog" << "cmdConnect" << QStringList{"读取控制器的全部参数", "不写入控制器", "断开"};
    QTest::newRow("set") << "th" << "cmdRelayWrite" << QStringList{"写入已连接的控制器"};
    QTest::newRow("read") << "analog" << "cmdRelayRead" << QStringList{"读取", "不写入控制器"};
    QTest::newRow("factory values") << "th" << "Command1" << QStringList{"已连接时立即写入控制器", "不再询问"};
}

void TestFormMain::buttonsSayWhatTheyDoToTheController()
{
    QFETCH(QString, edition);
    QFETCH(QString, button);
    QFETCH(QStringList, says);
    FormRig rig(editionNamed(edition));
    const QString tip = rig.widget<QPushButton>(button)->toolTip();
    for (const QString &part : says)
        QVERIFY2(tip.contains(part), qPrintable(tip));
}

void TestFormMain::progressBarRange()
{
    FormRig rig(analogEdition());
    QProgressBar *bar = rig.form->ui.ProgressBar1;
    rig.form->show();
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), 100);
    QVERIFY(!bar->isVisible());
}

void TestFormMain::defaultSizeFitsALaptop_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<QSize>("largest"); // the outline's client area plus 10 %
    QTest::newRow("analog") << "analog" << QSize(1180, 650);
    QTest::newRow("th") << "th" << QSize(860, 640);
}

void TestFormMain::defaultSizeFitsALaptop()
{
    QFETCH(QString, edition);
    QFETCH(QSize, largest);
    const QFont applicationFont = QApplication::font();
    QApplication::setFont(pictureFont);
    FormRig rig(editionNamed(edition));
    addConfigurationMenu(*rig.form); // as the program shows it
    QApplication::setFont(applicationFont);
    const QSize defaultSize = rig.form->size();
    QVERIFY2(defaultSize.boundedTo(largest) == defaultSize, qPrintable(QStringLiteral("%1 x %2")
             .arg(defaultSize.width()).arg(defaultSize.height())));

    // The offscreen screen (800 x 600) is smaller than the analog window, as a laptop's at 150 %:
    // the window fits it and its groups scroll at their whole size.
    rig.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig.form.get()));
    const QSize screen = rig.form->screen()->availableGeometry().size();
    QCOMPARE(rig.form->frameGeometry().size().boundedTo(screen), rig.form->frameGeometry().size());
    QWidget *groups = rig.form->ui.clientArea->widget();
    QCOMPARE(groups->size().expandedTo(groups->minimumSize()), groups->size());

    rig.form->resize(defaultSize);
    QTRY_COMPARE(rig.form->size(), defaultSize);
    // At its default size nothing scrolls.
    QTRY_COMPARE(rig.form->ui.clientArea->viewport()->size().expandedTo(groups->minimumSize()),
                 rig.form->ui.clientArea->viewport()->size());
    QTRY_VERIFY2(clippedTexts(rig.form.get()).isEmpty(),
                 qPrintable(clippedTexts(rig.form.get()).join(QLatin1Char('\n'))));
}

void TestFormMain::portDevicesShown_data()
{
    // On a machine with an FTDI adapter and one built-in port; ROOT is the fake "/".
    QTest::addColumn<QString>("choice"); // a list item, or text typed into the box
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("tooltip");
    const QString adapter = "ROOT/dev/ttyUSB0\nFTDI FT232R USB UART，序列号 A1（USB 0403:6001）";
    QTest::newRow("COM1 is the adapter") << "COM1" << "COM1：ROOT/dev/ttyUSB0" << adapter;
    QTest::newRow("COM2 the built-in port") << "COM2" << "COM2：ROOT/dev/ttyS0" << "ROOT/dev/ttyS0\n内置串口";
    QTest::newRow("COM3 nothing") << "COM3" << "COM3：未找到串口设备" << "未找到串口设备";
    QTest::newRow("typed device path") << "/dev/ttyACM5" << "/dev/ttyACM5" << "/dev/ttyACM5";
    QTest::newRow("typed device server") << "rfc2217://10.0.0.5:4001" << "rfc2217://10.0.0.5:4001"
                                         << "rfc2217://10.0.0.5:4001";
    QTest::newRow("typed port beyond the list") << "COM9" << "未找到串口设备" << "未找到串口设备";
}

void TestFormMain::portDevicesShown()
{
#ifdef Q_OS_WIN
    QSKIP("Windows names its ports itself; the device tree is Linux's");
#endif
    QFETCH(QString, choice);
    QFETCH(QString, status);
    QFETCH(QString, tooltip);
    QTemporaryDir root;
    for (const char *entry : {"dev/ttyUSB0", "usb/ttyUSB0=FTDI|FT232R USB UART|A1|0403|6001",
                                 "dev/ttyS0", "type/ttyS0=4", "dev/ttyS1", "type/ttyS1=0"})
        QVERIFY(addToTree(root.path(), QString::fromUtf8(entry)));
    FormRig rig(analogEdition());
    rig.form->portDirectory = PortDirectory(root.path());
    QComboBox *ports = rig.form->ui.cmbComSel;
    rig.form->show();
    ports->showPopup(); // opening the list looks for devices again
    ports->hidePopup();
    if (ports->findText(choice) >= 0)
        ports->setCurrentIndex(ports->findText(choice));
    else
        ports->setEditText(choice);

    const auto rooted = [&root](QString text) { return text.replace("ROOT", root.path()); };
    QCOMPARE(rig.form->ui.lblPort->text(), rooted(status));
    QCOMPARE(ports->toolTip(), rooted(tooltip));
    if (ports->findText(choice) >= 0)
        QCOMPARE(ports->itemData(ports->findText(choice), Qt::ToolTipRole).toString(), rooted(tooltip));
}

QTEST_MAIN(TestFormMain)
#include "tst_form_main.moc"
