#include "model/command_text.h"
#include "model/phone_slot.h"
#include "model/register_text.h"

#include <QTest>

using namespace alarmcfg;

namespace {
const QString nul(1, QChar(0));
}

class TestCommandsPhones : public QObject {
    Q_OBJECT

private slots:
    void commandText_data();
    void commandText();
    void splitCommand_data();
    void splitCommand();
    void storedCommandSplitsBackAfterARead();
    void phoneSlotText();
    void phoneNumberInSlot_data();
    void phoneNumberInSlot();
};

void TestCommandsPhones::commandText_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("stored");
    QTest::newRow("password prefix") << "739164" << QString::fromUtf8("设备1开") << QString::fromUtf8("739164*设备1开");
    QTest::newRow("empty password: no asterisk") << QString() << QString::fromUtf8("全开") << QString::fromUtf8("全开");
    QTest::newRow("both empty") << QString() << QString() << QString();
    QTest::newRow("empty command keeps the prefix") << "12" << QString() << "12*";
}

void TestCommandsPhones::commandText()
{
    QFETCH(QString, password);
    QFETCH(QString, command);
    QFETCH(QString, stored);
    QCOMPARE(alarmcfg::commandText(password, command), stored);
}

void TestCommandsPhones::splitCommand_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("hasPassword");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("command");
    QTest::newRow("password and command") << "pw*on" << true << "pw" << "on";
    QTest::newRow("two asterisks: command between them") << "A*B*C" << true << "A" << "B";
    QTest::newRow("no asterisk: command alone") << "on" << false << QString() << "on";
    QTest::newRow("asterisk first: empty password") << "*on" << true << QString() << "on";
    QTest::newRow("asterisk last: empty command") << "pw*" << true << "pw" << QString();
    QTest::newRow("empty") << QString() << false << QString() << QString();
    QTest::newRow("the text ends at its first NUL") << "pw*on" + nul + nul << true << "pw" << "on";
    QTest::newRow("an older text's asterisk after the NUL is not a password")
        << "on" + nul + "56*old" << false << QString() << "on";
}

void TestCommandsPhones::splitCommand()
{
    QFETCH(QString, text);
    QFETCH(bool, hasPassword);
    QFETCH(QString, password);
    QFETCH(QString, command);
    const StoredCommand split = alarmcfg::splitCommand(text);
    QCOMPARE(split.hasPassword, hasPassword);
    QCOMPARE(split.password, password);
    QCOMPARE(split.command, command);
}

void TestCommandsPhones::storedCommandSplitsBackAfterARead()
{
    const QString stored = alarmcfg::commandText("739164", QString::fromUtf8("设备1开"));
    QVector<qint16> slot(10, 0);
    const QVector<qint16> written = textToRegisters(stored, 10);
    std::copy(written.begin(), written.end(), slot.begin());
    const StoredCommand split = alarmcfg::splitCommand(registersToText(slot));
    QCOMPARE(split.password, QString("739164"));
    QCOMPARE(split.command, QString::fromUtf8("设备1开"));
}

void TestCommandsPhones::phoneSlotText()
{
    QCOMPARE(alarmcfg::phoneSlotText("15800000000"), QString("8615800000000"));
    QCOMPARE(textToRegisters(emptyPhoneSlotMarker, 20), QVector<qint16>{0x6100});
}

void TestCommandsPhones::phoneNumberInSlot_data()
{
    QTest::addColumn<QString>("slot");
    QTest::addColumn<bool>("holdsNumber");
    QTest::addColumn<QString>("number");
    QTest::newRow("86 and a number") << "8615800000000" + nul << true << "15800000000";
    QTest::newRow("empty marker") << "a" + nul << false << QString();
    QTest::newRow("zero bytes only") << nul + nul << false << QString();
    QTest::newRow("prefix not checked") << "0013912345678" + nul << true << "13912345678";
    QTest::newRow("older bytes after the NUL are dropped") << "86139" + nul + "99" << true << "139";
    QTest::newRow("non-ASCII digit is no number") << QString::fromUtf8("８615800000000") << false << QString();
    QTest::newRow("replacement character") << QString(QChar::ReplacementCharacter) + "86" << false << QString();
    QTest::newRow("empty") << QString() << false << QString();
}

void TestCommandsPhones::phoneNumberInSlot()
{
    QFETCH(QString, slot);
    QFETCH(bool, holdsNumber);
    QFETCH(QString, number);
    const std::optional<QString> found = alarmcfg::phoneNumberInSlot(slot);
    QCOMPARE(found.has_value(), holdsNumber);
    if (holdsNumber)
        QCOMPARE(*found, number);
}

QTEST_GUILESS_MAIN(TestCommandsPhones)
#include "tst_commands_phones.moc"
