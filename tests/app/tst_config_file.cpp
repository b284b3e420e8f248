#include "app/backups.h"
#include "app/config_fields.h"
#include "app/config_file.h"
#include "app/config_menu.h"
#include "app/json_path.h"
#include "editions/config_decoding.h"
#include "model/register_text.h"
#include "packed_text.h"
#include "connection/config_view.h"
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
#include <QMenu>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QApplication>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

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
    void windowNames_data();
    void windowNames();
    void differences_data();
    void differences();
    void registersToFileAndBack_data();
    void registersToFileAndBack();
    void saveReplacesOnlyWithAWholeFile();
    void windowMenu();
    void backupFileNames_data();
    void backupFileNames();
    void backupHoldsWhatConnectReads_data();
    void backupHoldsWhatConnectReads();
    void backupsKeepTheNewest();
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
    row("missing relay text", "analog", {{"relays[3].close", removed}}, {"继电器4 关闭命令（relays[3].close）", "缺少"});
    row("missing password", "th", {{"password", removed}}, {"password", "缺少"});
    row("missing phone list", "analog", {{"phones", removed}}, {"phones", "缺少"});
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
        {"继电器3 开启命令（relays[2].open）", WriteMessages::commandTooLong});
    row("all-off command too long", "th", {{"password", ""}, {"allOff", chinese(11)}},
        {"allOff", WriteMessages::commandTooLong});
    row("alarm text of 41 bytes", "th", {{"humidity.lowText", chinese(20) + "a"}},
        {"humidity.lowText", WriteMessages::textTooLong});
    row("th: limit out of range is measured as the write does", "th", {{"temperature.low", 40000}},
        {"temperature.low", WriteMessages::limitTooLong});
    row("alarm text over its slot", "analog", {{"analogInputs[0].lowText", chinese(21)}},
        {"analogInputs[0].lowText", WriteMessages::textTooLong});
    row("input text the controller cannot store", "analog",
        {{"inputAlarmTexts[2]", QString::fromUtf8("\xF0\x9F\x98\x80")}},
        {"inputAlarmTexts[2]", WriteMessages::notEncodable});
    row("phone entry over its slot", "analog", {{"phones", QJsonArray{"15800000000", QString(40, '1')}}},
        {"手机号码 第2个（phones[1]）", WriteMessages::textTooLong});
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

void TestConfigFile::windowNames_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");

    QTest::newRow("password") << "analog" << "password" << "指令密码";
    QTest::newRow("relay command") << "analog" << "relays[0].open" << "继电器1 开启命令";
    QTest::newRow("reply after closing") << "th" << "relays[3].closeReply" << "继电器4 回复命令（关闭）";
    QTest::newRow("analog all-on") << "analog" << "allOn" << "全开指令";
    QTest::newRow("th all-off") << "th" << "allOff" << "全关命令";
    QTest::newRow("input text") << "analog" << "inputAlarmTexts[2]" << "数字通道3 报警短信";
    QTest::newRow("phone entry") << "th" << "phones[1]" << "手机号码 第2个";
    QTest::newRow("analog limit") << "analog" << "analogInputs[1].low" << "通道1下限";
    QTest::newRow("th alarm text") << "th" << "humidity.highText" << "湿度上限 温湿度报警短信";
    QTest::newRow("calibration") << "th" << "temperature.calibration" << "温度值 校准值";
    QTest::newRow("full scale") << "analog" << "analogInputs[0].fullScale" << "模拟通道0 满量程值";
    QTest::newRow("option") << "analog" << "options.phoneAlarm" << "电话报警";
    QTest::newRow("not a field") << "analog" << "relays[9].open" << "relays[9].open";
}

// Every field has its own window name, so a message naming it points at one box.
void TestConfigFile::windowNames()
{
    QFETCH(QString, edition);
    QFETCH(QString, path);
    QFETCH(QString, name);
    const ConfigLayout layout = configLayout(editionNamed(edition));
    QCOMPARE(windowNameOf(layout, path), name);
    QSet<QString> names;
    for (const ConfigField &field : layout.fields) {
        QVERIFY2(!field.windowName.trimmed().isEmpty() && !names.contains(field.windowName),
            qPrintable(field.path));
        names.insert(field.windowName);
    }
}

void TestConfigFile::differences_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<bool>("phone");          // the window holds a phone number
    QTest::addColumn<QJsonObject>("changes"); // to the file saved from the window
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("same values") << "analog" << true << QJsonObject() << QStringList();
    QTest::newRow("a value the write refuses, held by both") << "th" << false << QJsonObject() << QStringList();
    QTest::newRow("number as the register holds it")
        << "analog" << true << QJsonObject{{"relays[2].actionTime", 3}}
        << QStringList{"继电器3 动作时间：文件 3，控制器 0"};
    QTest::newRow("line break stays on one line")
        << "analog" << true << QJsonObject{{"inputAlarmTexts[1]", "门\n开"}}
        << QStringList{"数字通道2 报警短信：文件 \"门\\n开\"，控制器 \""};
    QTest::newRow("range and empty text")
        << "analog" << true << QJsonObject{{"analogInputs[1].range", "0~10V"}, {"password", ""}}
        << QStringList{"指令密码：文件 \"\"，控制器 \"739164\"", "模拟通道1 输入选择：文件 \"0~10V\"，控制器 \"0~5V\""};
    QTest::newRow("a command the file leaves out asks nothing")
        << "analog" << true << QJsonObject{{"allOn", removed}, {"allOff", "开"}} << QStringList{"全关指令：文件 \"开\"，"};
}

// Compared as a file holds the values, in the window's order; the file's own checks apply but
// not the write's.
void TestConfigFile::differences()
{
    QFETCH(QString, edition);
    QFETCH(bool, phone);
    QFETCH(QJsonObject, changes);
    QFETCH(QStringList, lines);
    const auto rig = phone ? writableRig(edition) : std::make_unique<FormRig>(editionNamed(edition));
    QTemporaryDir dir;
    const QString path = dir.filePath("site.json");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(jsonText(withChanges(fileOf(*rig->form), changes))) > 0);
    file.close();
    QStringList reported;
    const Edition &ofRig = rig->form->edition();
    const auto differences = configDifferences(ofRig, comparedConfiguration(ofRig, path), collectConfig(*rig->form).config);
    for (const ConfigDifference &difference : differences)
        reported << differenceLine(difference);
    QCOMPARE(reported.size(), lines.size());
    for (int i = 0; i < lines.size(); ++i) {
        QVERIFY2(reported[i].startsWith(lines[i]), qPrintable(reported[i]));
        QVERIFY(!reported[i].contains('\n'));
    }
}

void TestConfigFile::registersToFileAndBack_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<int>("phones");       // slots with a number, the others hold "a"
    QTest::addColumn<QString>("password"); // in front of every command
    QTest::addColumn<bool>("emptyTexts");  // replies, alarm texts and commands hold nothing
    QTest::newRow("analog: all 10 phones, password prefix") << "analog" << 10 << "739164" << false;
    QTest::newRow("analog: empty texts, no password") << "analog" << 0 << "" << true;
    QTest::newRow("th: all 11 phones") << "th" << 11 << "12" << false;
    QTest::newRow("th: one phone, empty texts") << "th" << 1 << "" << true;
}

// Every value of a controller goes from its registers into a file and back to the registers it
// came from; a range code outside 0..3 writes the range the read kept.
void TestConfigFile::registersToFileAndBack()
{
    QFETCH(QString, edition);
    QFETCH(int, phones);
    QFETCH(QString, password);
    QFETCH(bool, emptyTexts);
    const Edition &e = editionNamed(edition);
    const QVector<qint16> nothing(10, 0);
    const auto slot = [](const QString &text) {
        QVector<qint16> registers = packedText(text);
        registers.resize(10); // what a read of the slot returns
        return registers;
    };
    const auto command = [&](const QString &text) {
        return emptyTexts ? nothing : slot(password.isEmpty() ? text : password + "*" + text);
    };
    const auto text = [&](const QString &held) { return emptyTexts ? nothing : slot(held); };
    const auto held = [&](const RegisterBlock &block) -> QVector<qint16> {
        const QString n = QString::number(block.index + 1);
        switch (block.field) {
        case Field::Status: return {0, 0, 0, 0, 0, 0, 0x23};
        case Field::OpenCommand: return command("开" + n);
        case Field::CloseCommand: return command("关" + n);
        case Field::OpenReply: return text(chinese(10)); // fills the read: no NUL in it
        case Field::CloseReply: return text("关闭成功" + n);
        case Field::AllCommand: return command(block.index == 0 ? "全开" : "全关");
        case Field::DIAlarmText: return text("数字通道" + n);
        case Field::AlarmText: return text("报警" + n);
        case Field::PhoneSlot:
            return slot(block.index < phones ? QStringLiteral("86139000000%1").arg(block.index, 2, 10, QChar('0')) : "a");
        case Field::ActionTimes: return {10, 20, 30, 40, 50, 60, 70, 80};
        case Field::Limits: return isTh(edition) ? QVector<qint16>{99, 0, -9, 5} : QVector<qint16>{-32768, 32767, 0, -1};
        case Field::Calibration: return {-3, 3};
        case Field::FullScale: return {5000, 32767};
        case Field::RangeCodes: return {3, 7};
        case Field::Options: return {5};
        }
        return {};
    };
    std::map<int, RegisterBlock> blocks; // what a whole read fetches, by address
    for (const ReadStep &step : e.readBack)
        if (step.kind == ReadStep::Kind::Read)
            blocks[step.block.address] = step.block;
    for (const WriteStep &step : e.writePlan)
        if (step.block.field == Field::AllCommand)
            blocks[step.block.address] = {step.block.field, step.block.index, step.block.address, 10};

    ControllerConfig read = blankConfig(e);
    for (const auto &[address, block] : blocks)
        applyReadReply(read, e, address, held(block));
    QCOMPARE(read.phones.size(), phones);
    QCOMPARE(read.password, password);
    QCOMPARE(read.rangeIndexes, (isTh(edition) ? QVector<int>() : QVector<int>{3, 0}));

    const ControllerConfig opened = configurationFromJson(e, configurationJson(e, read));
    QVERIFY(opened == read);
    const ConfigWrite write = configWrite(e, opened);
    QVERIFY(!write.refusal);
    const QList<Field> numeric{Field::ActionTimes, Field::Limits, Field::Calibration, Field::FullScale, Field::Options};
    for (const WriteRequest &request : write.requests) {
        const QVector<qint16> registers = held(blocks.at(request.address));
        if (request.field == Field::RangeCodes)
            QCOMPARE(request.registers, (QVector<qint16>{3, 0}));
        else if (!numeric.contains(request.field))
            QCOMPARE(untilFirstNul(registersToText(request.registers)), untilFirstNul(registersToText(registers)));
        else
            QCOMPARE(request.registers, registers.first(request.registers.size()));
        blocks.erase(request.address);
    }
    for (const auto &[address, block] : blocks) // read, never written: the status, empty th phone slots
        QVERIFY2(block.field == Field::Status || (block.field == Field::PhoneSlot && block.index >= phones),
                 qPrintable(QString::number(address)));

    // Texts longer than a read carries go into a file and back whole, up to their 40-byte slot.
    ControllerConfig longTexts = read;
    longTexts.alarmTexts[0] = chinese(19) + "a";
    longTexts.alarmTexts[1] = chinese(20);
    QVERIFY(configurationFromJson(e, configurationJson(e, longTexts)) == longTexts);
    for (const WriteRequest &request : configWrite(e, longTexts).requests)
        if (request.field == Field::AlarmText && request.index < 2)
            QCOMPARE(request.registers.size(), 20);
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
    QSettings settings(dir.filePath("settings.ini"), QSettings::IniFormat);
    rig.form->settings = &settings;
    QList<QUrl> opened;
    int asked = 0;
    addConfigurationMenu(*rig.form, [&chosen, &asked](FileChoice) { ++asked; return chosen; },
                         [&opened](const QUrl &url) { opened << url; return true; });
    auto *save = rig.form->findChild<QAction *>("mnuSaveConfig");
    auto *open = rig.form->findChild<QAction *>("mnuOpenConfig");
    QVERIFY(save && open);
    QCOMPARE(save->text(), "保存配置…");
    QCOMPARE(save->shortcut(), QKeySequence(QKeySequence::Save));
    QCOMPARE(open->text(), "打开配置…");
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

    // Comparing needs a connection and asks for no file without one.
        rig.form->findChild<QAction *>("mnuCompareConfig")->trigger();
    QCOMPARE(rig.messages.size(), 2);
    QCOMPARE(rig.messages[1], "请链接设备");
    QCOMPARE(asked, 3);
    // Only files opened or saved are listed, the newest first and each once; an entry opens its file.
    for (int i = 0; i < recentConfigurationCount + 2; ++i) {
        chosen = dir.filePath(QStringLiteral("site%1.json").arg(i));
        save->trigger();
    }
    chosen = dir.filePath("site3.json");
    open->trigger();
    auto recent = rig.form->findChildren<QAction *>("mnuRecent");
    QCOMPARE(recent.size(), recentConfigurationCount);
    const QStringList kept = settings.value(recentConfigurationsKey).toStringList();
    QCOMPARE(kept.size(), recentConfigurationCount);
    QCOMPARE(kept.first(), chosen);
    QCOMPARE(kept.count(chosen), 1);
    QVERIFY(!kept.contains(dir.filePath("site0.json")));
    QVERIFY(!kept.contains(dir.filePath("missing.json")));
    const auto entries = rig.form->findChild<QMenu *>("mnuFile")->actions();
    QVERIFY(entries[entries.indexOf(open) + 4]->text().endsWith(QDir::toNativeSeparators(chosen)));
    rig.form->ui.txtOpen[0]->setText("changed");
    entries[entries.indexOf(open) + 4]->trigger();
    QCOMPARE(rig.form->ui.txtOpen[0]->text(), "开门");

    auto *quit = rig.form->findChild<QAction *>("mnuExit");
    QCOMPARE(quit->shortcut(), QKeySequence("Ctrl+Q"));
    rig.form->findChild<QAction *>("mnuBackups")->trigger();
    QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(backupFolder())});
    QVERIFY(QFileInfo(backupFolder()).isDir());
    rig.form->findChild<QAction *>("mnuUserGuide")->trigger();
    QCOMPARE(opened.size(), 2);
    QVERIFY(opened[1].toLocalFile().endsWith("/README.md"));
    QVERIFY(QFileInfo::exists(opened[1].toLocalFile()));

    rig.messages.clear();
    rig.form->findChild<QAction *>("mnuAbout")->trigger();
    QCOMPARE(rig.messages.size(), 1);
    for (const QString &part : {QStringLiteral("alarmcfg 5.0"), QStringLiteral("模拟量型号"),
                                QString::fromLatin1(qVersion()), QStringLiteral("Veltra")})
        QVERIFY2(rig.messages[0].contains(part), qPrintable(rig.messages[0]));
}

void TestConfigFile::backupFileNames_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("name");
    QTest::newRow("COM port") << "COM1" << "20261207-203015-COM1.json";
    QTest::newRow("device path") << "/dev/ttyUSB0" << "20261207-203015-dev_ttyUSB0.json";
    QTest::newRow("by-id path") << "/dev/serial/by-id/usb-FTDI_FT232R:1.0-port0"
                                << "20261207-203015-dev_serial_by-id_usb-FTDI_FT232R_1.0-port0.json";
    QTest::newRow("windows device") << "\\\\.\\COM12" << "20261207-203015-COM12.json";
    QTest::newRow("parent folder") << "../../etc" << "20261207-203015-etc.json";
    QTest::newRow("nothing usable") << "//" << "20261207-203015-port.json";
}

// A port name never leaves the backups folder or makes an invalid file name.
void TestConfigFile::backupFileNames()
{
    QFETCH(QString, port);
    QFETCH(QString, name);
    QCOMPARE(backupFileName(QDateTime(QDate(2026, 12, 7), QTime(20, 30, 15)), port), name);
}

void TestConfigFile::backupHoldsWhatConnectReads_data()
{
    examplesOpen_data();
}

// A backup holds what connecting read and the all-on and all-off commands read for it. A command
// not read is left out: opening the file leaves its box as it is, as for a backup from before
// the commands were kept.
void TestConfigFile::backupHoldsWhatConnectReads()
{
    QFETCH(QString, edition);
    QTemporaryDir dir;
    const auto source = writableRig(edition);
    source->form->ui.txtOpen[1]->setText("开灯");
    source->form->ui.txtAllCmd[0]->setText("源全开");
    ControllerConfig read = collectConfig(*source->form).config;
    read.allCommands = {QStringLiteral("控制器全开"), std::nullopt};
    const QString path = saveBackup(source->form->edition(), read, "COM1", dir.filePath("backups"),
                                    QDateTime::currentDateTime());
    QVERIFY(path.startsWith(dir.filePath("backups/")));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject saved = QJsonDocument::fromJson(file.readAll()).object();
    QJsonObject expected = fileOf(*source->form);
    expected["allOn"] = "控制器全开";
    expected.remove("allOff");
    QJsonObject savedWithoutTime = saved;
    savedWithoutTime.remove("saved");
    QCOMPARE(savedWithoutTime, expected);

    const auto target = writableRig(edition);
    target->form->ui.txtAllCmd[0]->setText("本机全开");
    target->form->ui.txtAllCmd[1]->setText("本机全关");
    openConfiguration(*target->form, path);
    QCOMPARE(target->form->ui.txtAllCmd[0]->text(), "控制器全开");
    QCOMPARE(target->form->ui.txtOpen[1]->text(), "开灯");
    QCOMPARE(target->form->ui.txtAllCmd[1]->text(), "本机全关");

    // Only those two may be missing; a present one is checked as before.
    QVERIFY_THROWS_EXCEPTION(ConfigFileError,
        applyConfigurationJson(*target->form, jsonText(withChanges(saved, {{"allOff", chinese(11)}}))));
    QCOMPARE(target->form->ui.txtAllCmd[1]->text(), "本机全关");
}

// The newest backups are kept, and always the one just saved; files of other names in the folder
// are never deleted. Backups are the user's alone; a file the user saves keeps the umask.
void TestConfigFile::backupsKeepTheNewest()
{
    QTemporaryDir dir;
    const QDir folder(dir.filePath("backups"));
    QVERIFY(folder.mkpath("."));
    const QDateTime start(QDate(2026, 1, 1), QTime(8, 0));
    for (int i = 0; i < keptBackups; ++i) {
        QFile old(folder.filePath(backupFileName(start.addSecs(i), "COM1")));
        QVERIFY(old.open(QIODevice::WriteOnly));
    }
    QFile mine(folder.filePath("site.json"));
    QVERIFY(mine.open(QIODevice::WriteOnly));
    mine.close();

    FormRig rig(analogEdition());
    const QDateTime now = start.addDays(1);
    const ControllerConfig config = collectConfig(*rig.form).config;
    const QString first = saveBackup(analogEdition(), config, "COM1", folder.path(), now);
    const QString second = saveBackup(analogEdition(), config, "COM1", folder.path(), now); // the same second
    QVERIFY(first != second);
    const QStringList left = folder.entryList(QDir::Files);
    QCOMPARE(left.size(), keptBackups + 1);
    QVERIFY(left.contains("site.json"));
    QVERIFY(!left.contains(backupFileName(start, "COM1")));
    QVERIFY(!left.contains(backupFileName(start.addSecs(1), "COM1")));
    QVERIFY(left.contains(backupFileName(start.addSecs(2), "COM1")));
    QVERIFY(left.contains(QFileInfo(first).fileName()) && left.contains(QFileInfo(second).fileName()));

    const QString behind = saveBackup(analogEdition(), config, "COM1", folder.path(), start.addSecs(-1)); // clock set back
    QVERIFY(QFile::exists(behind));
    QCOMPARE(folder.entryList(QDir::Files).size(), keptBackups + 1);
#ifdef Q_OS_UNIX
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
                                          | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    QCOMPARE(QFile::permissions(folder.path()) & others, QFileDevice::Permissions());
    QCOMPARE(QFile::permissions(behind) & others, QFileDevice::Permissions());
    QVERIFY(QFile::permissions(behind) & QFileDevice::WriteOwner);
    const mode_t umaskBefore = ::umask(022);
    saveConfiguration(*rig.form, dir.filePath("mine.json"));
    ::umask(umaskBefore);
    QCOMPARE(QFile::permissions(dir.filePath("mine.json")) & others, QFileDevice::ReadGroup | QFileDevice::ReadOther);
#endif

    QFile blocker(dir.filePath("file"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    QVERIFY_THROWS_EXCEPTION(ConfigFileError, saveBackup(analogEdition(), config, "COM1", dir.filePath("file/backups"), now));
}

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QStandardPaths::setTestModeEnabled(true); // the backups folder of a test, not the user's
    TestConfigFile test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_config_file.moc"
