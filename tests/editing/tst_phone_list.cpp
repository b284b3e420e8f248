#include "editing/phone_list.h"
#include "form_rig.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using namespace alarmcfg;

namespace {

QStringList entries(const QListWidget *list)
{
    QStringList texts;
    for (int row = 0; row < list->count(); ++row)
        texts << list->item(row)->text();
    return texts;
}

QStringList numbers(int count)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << QStringLiteral("1380000%1").arg(i, 4, 10, QLatin1Char('0'));
    return list;
}

} // namespace

class TestPhoneList : public QObject {
    Q_OBJECT

private slots:
    void add_data();
    void add();
    void deleteWithoutSelection();
    void deleteShiftsFollowingEntries();
};

void TestPhoneList::add_data()
{
    QTest::addColumn<int>("entriesBefore");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("message"); // empty: accepted
    const QString tooShortOrLong = phoneLengthMessage;
    QTest::newRow("eleven digits") << 0 << "15800000000" << "";
    QTest::newRow("eleven letters") << 3 << "abcdefghijk" << "";
    QTest::newRow("duplicate of an entry") << 1 << numbers(1)[0] << "";
    QTest::newRow("ninth and tenth entry") << 9 << "13912345678" << "";
    QTest::newRow("ten digits") << 0 << "1580000000" << tooShortOrLong;
    QTest::newRow("twelve digits") << 0 << "158000000000" << tooShortOrLong;
    QTest::newRow("empty") << 0 << "" << tooShortOrLong;
    QTest::newRow("ten digits, list full") << 10 << "1580000000" << tooShortOrLong;
    QTest::newRow("twelve digits, list full") << 10 << "158000000000" << tooShortOrLong;
    QTest::newRow("eleven digits, list full") << 10 << "15800000000" << phoneListFullMessage;
    QTest::newRow("eleven digits, eleven read back") << 11 << "15800000000" << phoneListFullMessage;
    // Counted in characters: one character outside the BMP is one, not two.
    QTest::newRow("ten digits and an emoji") << 0 << QString::fromUtf8("1580000000\xF0\x9F\x98\x80") << "";
    QTest::newRow("nine digits and an emoji") << 0 << QString::fromUtf8("158000000\xF0\x9F\x98\x80") << tooShortOrLong;
    QTest::newRow("eleven Chinese characters") << 0 << "一二三四五六七八九十百" << "";
}

void TestPhoneList::add()
{
    QFETCH(int, entriesBefore);
    QFETCH(QString, number);
    QFETCH(QString, message);
    FormRig rig(analogEdition());
    QListWidget *list = rig.form->ui.lstPhone;
    const QStringList before = numbers(entriesBefore);
    list->addItems(before);
    rig.form->ui.txtPhone->setText(number);

    QTest::mouseClick(rig.form->ui.cmdAddPhone, Qt::LeftButton);

    if (message.isEmpty()) {
        QVERIFY(rig.messages.isEmpty());
        QCOMPARE(entries(list), before + QStringList{number});
    } else {
        QCOMPARE(rig.messages, QStringList{message});
        QCOMPARE(entries(list), before);
        // A number of the wrong length is selected in its box, to be typed over.
        QWidget *box = message == phoneLengthMessage ? static_cast<QWidget *>(rig.form->ui.txtPhone) : rig.form->ui.cmdAddPhone;
        QCOMPARE(rig.form->focusWidget(), box);
        QCOMPARE(rig.form->ui.txtPhone->hasSelectedText(), message == phoneLengthMessage && !number.isEmpty());
    }
    QCOMPARE(rig.form->ui.txtPhone->text(), number);
    QVERIFY(rig.port->written.isEmpty());
}

void TestPhoneList::deleteWithoutSelection()
{
    FormRig rig(temperatureHumidityEdition());
    QListWidget *list = rig.form->ui.lstPhone;
    QTest::mouseClick(rig.form->ui.cmdDelPhone, Qt::LeftButton);
    QCOMPARE(rig.messages, QStringList{selectPhoneMessage});

    list->addItems(numbers(3));
    list->setCurrentRow(1);
    list->clearSelection(); // the write clears the selection after reading the list
    QTest::mouseClick(rig.form->ui.cmdDelPhone, Qt::LeftButton);
    QCOMPARE(rig.messages, QStringList({selectPhoneMessage, selectPhoneMessage}));
    QCOMPARE(entries(list), numbers(3));
}

void TestPhoneList::deleteShiftsFollowingEntries()
{
    FormRig rig(analogEdition());
    QListWidget *list = rig.form->ui.lstPhone;
    const QStringList five = numbers(5);
    list->addItems(five);
    list->setCurrentRow(1);

    QTest::mouseClick(rig.form->ui.cmdDelPhone, Qt::LeftButton);

    QVERIFY(rig.messages.isEmpty());
    QCOMPARE(entries(list), QStringList({five[0], five[2], five[3], five[4]}));
    QVERIFY(list->selectedItems().isEmpty());
    // A second press must not silently take the next number.
    QTest::mouseClick(rig.form->ui.cmdDelPhone, Qt::LeftButton);
    QCOMPARE(rig.messages, QStringList{selectPhoneMessage});
    QCOMPARE(list->count(), 4);
}

QTEST_MAIN(TestPhoneList)
#include "tst_phone_list.moc"
