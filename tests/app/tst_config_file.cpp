#include "app/config_file.h"
#include "app/config_menu.h"
#include "app/json_path.h"
#include "editing/write_parameters.h"
#include "edition_named.h"
#include "form_rig.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QLabel>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace alarmcfg;

namespace {

// A window of the edition that the write accepts (the th model needs a phone number).
std::unique_ptr<FormRig> writableRig(const QString &edition)
{
    auto rig = std::make_unique<FormRig>(editionNamed(edition));
    rig->form->ui.lstPhone->addItem("15800000000");
    return rig;
}

// The window's values as a file holds them, without the time of saving.
QJsonObject fileOf(const FormMain &form)
{
    QJsonObject file = QJsonDocument::fromJson(configurationJson(form)).object();
    file.remove("saved");
    return file;
}

// A change to this value removes the field.
const QString removed = QStringLiteral("(removed)");

void removeAt(QJsonObject &file, const QString &path)
{
    const qsizetype dot = path.lastIndexOf('.');
    if (dot < 0) {
        file.remove(path);
        return;
    }
    QJsonObject parent = valueAt(file, path.left(dot))->toObject();
    parent.remove(path.mid(dot + 1));
    setValueAt(file, path.left(dot), parent);
}

QJsonObject withChanges(QJsonObject file, const QJsonObject &changes)
{
    for (auto it = changes.begin(); it != changes.end(); ++it) {
        if (it.value() == removed)
            removeAt(file, it.key());
        else
            setValueAt(file, it.key(), it.value());
    }
    return file;
}

QByteArray jsonText(const QJsonObject &file)
{
    return QJsonDocument(file).toJson();
}

QString chinese(int characters)
{
    return QString(characters, QChar(0x4E2D)); // 中, two GBK bytes each
}

} // namespace

class TestConfigFile : public QObject {
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void badFile_data();
    void badFile();
    void examplesOpen_data();
    void examplesOpen();
    void saveReplacesOnlyWithAWholeFile();
    void windowMenu();
};

void TestConfigFile::roundTrip_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<QJsonObject>("changes");

    const QJsonObject common{{"password", ""}, {"relays[1].open", "开灯"}, {"relays[3].actionTime", -7},
        {"allOff", "全关"}, {"inputAlarmTexts[3]", "门磁"}, {"phones", QJsonArray{"13900000000", "13900000001"}}};
    QJsonObject analog = common;
    analog["analogInputs[1].range"] = "4~20ma";
    analog["analogInputs[0].fullScale"] = 20000;
    analog["analogInputs[1].lowText"] = "低";
    analog["options.answer"] = true;
    QJsonObject th = common;
    th["humidity.low"] = -5;
    th["temperature.highText"] = "热";
    QTest::newRow("analog") << "analog" << analog;
    QTest::newRow("th") << "th" << th;
}

// What one window saves, another opens and saves again unchanged, whatever the kind of value.
void TestConfigFile::roundTrip()
{
    QFETCH(QString, edition);
    QFETCH(QJsonObject, changes);
    const QJsonObject file = withChanges(fileOf(*writableRig(edition)->form), changes);

    FormRig target(editionNamed(edition));
    applyConfigurationJson(*target.form, jsonText(file));
    QCOMPARE(fileOf(*target.form), file);
    QVERIFY(target.messages.isEmpty());
}

void TestConfigFile::badFile_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<QJsonObject>("changes");  // path -> value, or removed
    QTest::addColumn<QByteArray>("raw");       // replaces the whole file when set
    QTest::addColumn<QStringList>("expected"); // parts of the message

    auto row = [](const char *name, const QString &edition, const QJsonObject &changes,
                   const QStringList &expected) {
        QTest::newRow(name) << edition << changes << QByteArray() << expected;
    };
    QTest::newRow("not JSON") << "analog" << QJsonObject() << QByteArray("{\"edition\": ") << QStringList{"JSON"};
    QTest::newRow("missing comma on line 3")
        << "analog" << QJsonObject() << QByteArray("{\n  \"password\": \"密码\"\n  \"edition\": \"analog\"\n}")
        << QStringList{"第3行第4列", "缺少逗号"};
    QTest::newRow("not an object") << "analog" << QJsonObject() << QByteArray("[]") << QStringList{"JSON 对象"};
    QTest::newRow("not UTF-8") << "analog" << QJsonObject() << QByteArray("{\"password\": \"\xff\"}")
                               << QStringList{"JSON"};
    row("other edition", "analog", {{"edition", "th"}}, {"“th”", "“analog”"});
    row("analog file for th", "th", {{"edition", "analog"}}, {"“analog”", "“th”", "请用 alarmcfg 打开"});
    row("th file for analog", "analog", {{"edition", "th"}}, {"请用 alarmcfg_th 打开"});
    row("unknown format version", "analog", {{"formatVersion", 2}}, {"版本2"});
    row("format version missing", "th", {{"formatVersion", removed}}, {"formatVersion", "缺少"});
    row("unknown field", "analog", {{"pasword", "1"}}, {"pasword", "没有此字段"});
    row("relay the model lacks", "th", {{"relays[4].open", "x"}}, {"relays[4]", "没有此字段"});
    row("analog field in th file", "th", {{"temperature.range", "0~5V"}}, {"temperature.range"});
    row("missing relay text", "analog", {{"relays[3].close", removed}}, {"relays[3].close", "缺少"});
    row("password not text", "analog", {{"password", 739164}}, {"password", "应为文本"});
    row("time as text", "analog", {{"relays[0].actionTime", "3"}}, {"relays[0].actionTime", "应为整数"});
    row("time with fraction", "th", {{"relays[2].actionTime", 2.5}}, {"relays[2].actionTime", "应为整数"});
    row("firmware not text", "analog", {{"firmware", 21}}, {"firmware", "应为文本"});
    row("option not boolean", "analog", {{"options.hold", 1}}, {"options.hold", "true"});
    row("unknown range", "analog", {{"analogInputs[1].range", "0~6V"}}, {"analogInputs[1].range", "0~5V"});
    row("phones not a list", "analog", {{"phones", "15800000000"}}, {"phones", "列表"});
    row("phone not text", "th", {{"phones", QJsonArray{158}}}, {"phones", "列表"});
    row("more phones than slots", "analog",
        {{"phones", QJsonArray::fromStringList(QStringList(11, "15800000000"))}}, {"phones", "最多10个"});
    row("full scale out of range", "analog", {{"analogInputs[1].fullScale", 40000}},
        {"analogInputs[1].fullScale", WriteMessages::numberOutOfRange});
    row("huge calibration", "th", {{"humidity.calibration", 1e15}},
        {"humidity.calibration", WriteMessages::numberOutOfRange});
    row("password too long", "analog", {{"password", "1234567"}}, {"password", WriteMessages::passwordTooLong});
    row("command with password over 20 bytes", "analog", {{"relays[2].open", chinese(7)}},
        {"relays[2].open", WriteMessages::commandTooLong});
    row("all-off command too long", "th", {{"password", ""}, {"allOff", chinese(11)}},
        {"allOff", WriteMessages::commandTooLong});
    row("alarm text over its slot", "analog", {{"analogInputs[0].lowText", chinese(21)}},
        {"analogInputs[0].lowText", WriteMessages::textTooLong});
    row("input text the controller cannot store", "analog",
        {{"inputAlarmTexts[2]", QString::fromUtf8("\xF0\x9F\x98\x80")}},
        {"inputAlarmTexts[2]", WriteMessages::notEncodable});
    row("phone entry over its slot", "analog", {{"phones", QJsonArray{"15800000000", QString(40, '1')}}},
        {"phones[1]", WriteMessages::textTooLong});
    row("th: limit of three characters", "th", {{"humidity.high", 100}},
        {"humidity.high", WriteMessages::limitTooLong});
    row("th: no phone number", "th", {{"phones", QJsonArray{}}}, {"phones", WriteMessages::noPhoneNumber});
}

// A file that fails any check says where, and the window keeps every value it had.
void TestConfigFile::badFile()
{
    QFETCH(QString, edition);
    QFETCH(QJsonObject, changes);
    QFETCH(QByteArray, raw);
    QFETCH(QStringList, expected);
    const auto rig = writableRig(edition);
    const QByteArray file = raw.isEmpty() ? jsonText(withChanges(fileOf(*rig->form), changes)) : raw;
    rig->form->ui.txtOpen[0]->setText("现在的值");
    const QJsonObject before = fileOf(*rig->form);

    try {
        applyConfigurationJson(*rig->form, file);
        QFAIL("the file was accepted");
    } catch (const ConfigFileError &error) {
        for (const QString &part : expected)
            QVERIFY2(error.message().contains(part), qPrintable(error.message()));
    }
    QCOMPARE(fileOf(*rig->form), before);
}

void TestConfigFile::examplesOpen_data()
{
    QTest::addColumn<QString>("edition");
    QTest::newRow("analog") << "analog";
    QTest::newRow("th") << "th";
}

// The documented examples are valid files of their edition.
void TestConfigFile::examplesOpen()
{
    QFETCH(QString, edition);
    FormRig rig(editionNamed(edition));
    const QString path = QDir(EXAMPLES_DIR).filePath(edition + ".json");
    openConfiguration(*rig.form, path);
    QFile example(path);
    QVERIFY(example.open(QIODevice::ReadOnly));
    QJsonObject expected = QJsonDocument::fromJson(example.readAll()).object();
    for (const char *header : {"saved", "firmware"})
        expected.remove(header);
    QCOMPARE(fileOf(*rig.form), expected);
}

// A refused save leaves the old file whole and no temporary file beside it.
void TestConfigFile::saveReplacesOnlyWithAWholeFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("site.json");
    FormRig rig(analogEdition());
    saveConfiguration(*rig.form, path);
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray first = saved.readAll();
    saved.close();

    rig.form->ui.txtTime[2]->setText("40000");
    QVERIFY_THROWS_EXCEPTION(ConfigFileError, saveConfiguration(*rig.form, path));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), first);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"site.json"});

    rig.form->ui.txtTime[2]->setText("2.5");
    try {
        saveConfiguration(*rig.form, dir.filePath("missing/site.json"));
        QFAIL("saved into a missing folder");
    } catch (const ConfigFileError &error) {
        QVERIFY(error.message().contains("missing/site.json"));
    }
}

// 保存配置 and 打开配置 with their shortcuts; a failure is told in the window's message box.
void TestConfigFile::windowMenu()
{
    QTemporaryDir dir;
    QString chosen = dir.filePath("site.json");
    FormRig rig(analogEdition());
    addConfigurationMenu(*rig.form, [&chosen](FileChoice) { return chosen; });
    auto *save = rig.form->findChild<QAction *>("mnuSaveConfig");
    auto *open = rig.form->findChild<QAction *>("mnuOpenConfig");
    QVERIFY(save && open);
    QCOMPARE(save->text(), "保存配置");
    QCOMPARE(save->shortcut(), QKeySequence(QKeySequence::Save));
    QCOMPARE(open->text(), "打开配置");
    QCOMPARE(open->shortcut(), QKeySequence(QKeySequence::Open));

    rig.form->ui.txtOpen[0]->setText("开门");
    save->trigger();
    QCOMPARE(rig.form->ui.lblStatus->text(), "已保存配置 site.json");
    rig.form->ui.txtOpen[0]->setText("changed");
    rig.form->ui.lblStatus->clear();
    open->trigger();
    QCOMPARE(rig.form->ui.txtOpen[0]->text(), "开门");
    QCOMPARE(rig.form->ui.lblStatus->text(), "已打开配置 site.json");

    chosen = dir.filePath("missing.json");
    open->trigger();
    QCOMPARE(rig.messages.size(), 1);
    QVERIFY(rig.messages[0].contains(chosen));
    QCOMPARE(rig.form->ui.txtOpen[0]->text(), "开门");
}

QTEST_MAIN(TestConfigFile)
#include "tst_config_file.moc"
