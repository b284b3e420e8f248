#include "modbus_rig.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

namespace {

// Records the order of every key written and read.
class OrderedBag : public MemoryPropertyBag {
public:
    void write(const QString &key, const QVariant &value, const QVariant &defaultValue) override
    {
        writes.append(key);
        MemoryPropertyBag::write(key, value, defaultValue);
    }
    QVariant read(const QString &key, const QVariant &defaultValue) const override
    {
        reads.append(key);
        return MemoryPropertyBag::read(key, defaultValue);
    }
    QStringList writes;
    mutable QStringList reads;
};

const QStringList savedKeys = {"Interval", "commPort", "dataBit", "baudRate", "parity", "stopBit"};

// Fills a bag directly, as a host's stored window would.
class StoredBag : public PropertyBag {
public:
    explicit StoredBag(QVariantMap values) : values_(std::move(values)) {}
    void write(const QString &, const QVariant &, const QVariant &) override {}
    QVariant read(const QString &key, const QVariant &defaultValue) const override
    {
        return values_.value(key, defaultValue);
    }

private:
    QVariantMap values_;
};

struct Fresh {
    FakeSerialPort *port = new FakeSerialPort;
    modbus component{std::unique_ptr<SerialPort>(port)};
    MessageRecorder messages{component};
};

} // namespace

class PropertiesTest : public QObject {
    Q_OBJECT

private slots:
    void defaultSinkShowsOneOkBoxTitledByTheWindow()
    {
        QWidget window;
        window.setWindowTitle("Host window");
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto *port = new FakeSerialPort;
        modbus component{std::unique_ptr<SerialPort>(port)};
        QString text, title;
        int buttons = 0;
        QTimer::singleShot(0, [&] {
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                if (auto *box = qobject_cast<QMessageBox *>(widget); box && box->isVisible()) {
                    text = box->text();
                    title = box->windowTitle();
                    buttons = int(box->buttons().size());
                    box->accept();
                }
            }
        });
        QCOMPARE(component.FC06_PresetSingleRegister_4X(1, 5, 15), false);   // port not open
        QCOMPARE(text, modbus::sendErrorMessage);
        QCOMPARE(title, QString("Host window"));
        QCOMPARE(buttons, 1);
    }

    void defaults()
    {
        Fresh f;
        QCOMPARE(f.component.BaudRate(), 9600);
        QCOMPARE(f.component.CommPort(), 1);
        QCOMPARE(f.component.DataBit(), 8);
        QCOMPARE(f.component.Parity(), 0);
        QCOMPARE(f.component.StopBit(), 1);
        QCOMPARE(f.component.RespondTimeOut(), qint16(500));
        QCOMPARE(f.component.CommStatus(), qint16(0));
        QCOMPARE(f.component.CommError(), qint16(0));
    }

    void creationPreparesThePort()
    {
        Fresh f;
        QCOMPARE(f.port->inputBufferSize, 1024);
        QCOMPARE(f.port->outputBufferSize, 1024);
        QCOMPARE(f.port->discardCount, 1);
        QVERIFY(!f.port->isOpen());
    }

    void propertiesByName()
    {
        Fresh f;
        QVERIFY(f.component.setProperty("BaudRate", 19200));
        QVERIFY(f.component.setProperty("CommPort", 7));
        QVERIFY(f.component.setProperty("RespondTimeOut", 250));
        f.component.setProperty("CommStatus", 1000);
        f.component.setProperty("CommError", 1003);
        QCOMPARE(f.component.property("BaudRate").toInt(), 19200);
        QCOMPARE(f.component.property("CommPort").toInt(), 7);
        QCOMPARE(f.component.property("RespondTimeOut").toInt(), 250);
        QCOMPARE(f.component.property("CommStatus").toInt(), 0);
        QCOMPARE(f.component.property("CommError").toInt(), 0);
        QVERIFY(f.port->settings.isEmpty());   // nothing reaches the port before OpenPort
    }

    void respondTimeOutRoundTrip_data()
    {
        QTest::addColumn<int>("milliseconds");
        for (int ms : {500, 1234, 1, 0, -1, 999, 32767, -32768})
            QTest::addRow("%d", ms) << ms;
    }
    void respondTimeOutRoundTrip()
    {
        QFETCH(int, milliseconds);
        Fresh f;
        f.component.setRespondTimeOut(qint16(milliseconds));
        QCOMPARE(f.component.RespondTimeOut(), qint16(milliseconds));
    }

    void settingsText_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("dataBits");
        QTest::addColumn<int>("stopBits");
        QTest::addColumn<QString>("text");
        QTest::newRow("defaults") << 9600 << 0 << 8 << 1 << "9600,n,8,1";
        QTest::newRow("even") << 19200 << 2 << 7 << 2 << "19200,e,7,2";
        QTest::newRow("odd") << 2400 << 1 << 8 << 1 << "2400,o,8,1";
        QTest::newRow("unvalidated numbers") << 123 << 0 << 9 << 3 << "123,n,9,3";
        QTest::newRow("parity 3") << 9600 << 3 << 8 << 1 << "";
        QTest::newRow("parity -1") << 9600 << -1 << 8 << 1 << "";
    }
    void settingsText()
    {
        QFETCH(int, baud);
        QFETCH(int, parity);
        QFETCH(int, dataBits);
        QFETCH(int, stopBits);
        QFETCH(QString, text);
        Fresh f;
        f.component.setBaudRate(baud);
        f.component.setParity(parity);
        f.component.setDataBit(dataBits);
        f.component.setStopBit(stopBits);
        QCOMPARE(f.component.settingsText(), text);
    }

    void openPortHandsSettingsAndNumber()
    {
        Fresh f;
        f.component.setCommPort(3);
        QCOMPARE(f.component.OpenPort(), true);
        QCOMPARE(f.port->settings, QString("9600,n,8,1"));
        QCOMPARE(f.port->portNumber, 3);
        QVERIFY(f.port->isOpen());
        QVERIFY(f.messages.texts.isEmpty());
        // Open again: the new settings are applied, the port stays open.
        f.component.setBaudRate(19200);
        QCOMPARE(f.component.OpenPort(), true);
        QCOMPARE(f.port->settings, QString("19200,n,8,1"));
    }

    void openPortFailure_data()
    {
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("portNumber");
        QTest::addColumn<bool>("refuseSettings");
        QTest::addColumn<bool>("refuseOpen");
        QTest::addColumn<QString>("reason"); // the port's, on the message's second line
        QTest::newRow("empty settings (parity 3)") << 3 << 1 << false << false << "settings refused";
        QTest::newRow("settings refused") << 0 << 1 << true << false << "settings refused";
        QTest::newRow("port number 0") << 0 << 0 << false << false << "no such port";
        QTest::newRow("missing or in use") << 0 << 4 << false << true << "port missing or in use";
    }
    void openPortFailure()
    {
        QFETCH(int, parity);
        QFETCH(int, portNumber);
        QFETCH(bool, refuseSettings);
        QFETCH(bool, refuseOpen);
        QFETCH(QString, reason);
        Fresh f;
        f.component.setParity(parity);
        f.component.setCommPort(portNumber);
        f.port->refuseSettings = refuseSettings;
        f.port->refuseOpen = refuseOpen;
        QCOMPARE(f.component.OpenPort(), false);
        QCOMPARE(f.messages.texts, QStringList{modbus::portErrorMessage + '\n' + reason});
        QCOMPARE(f.component.lastPortFailure(), reason);
        QCOMPARE(f.component.CommStatus(), qint16(0));
        QVERIFY(!f.port->isOpen());
    }

    void closePort()
    {
        Fresh f;
        f.component.ClosePort();
        QCOMPARE(f.component.CommStatus(), qint16(0));
        QVERIFY(f.messages.texts.isEmpty());
        QVERIFY(f.component.OpenPort());
        f.component.ClosePort();
        QVERIFY(!f.port->isOpen());
    }

    void closeFailureReachesTheCaller()
    {
        Fresh f;
        QVERIFY(f.component.OpenPort());
        f.port->failClose = true;
        QVERIFY_THROWS_EXCEPTION(SerialPortError, f.component.ClosePort());
        QVERIFY(f.messages.texts.isEmpty());
    }

    void defaultsSaveNothingInKeyOrder()
    {
        Fresh f;
        OrderedBag bag;
        f.component.saveProperties(bag);
        QCOMPARE(bag.writes, savedKeys);
        QVERIFY(bag.values().isEmpty());
        f.component.restoreProperties(bag);
        QCOMPARE(bag.reads, savedKeys);
        QCOMPARE(f.component.RespondTimeOut(), qint16(500));
        QCOMPARE(f.component.BaudRate(), 9600);
    }

    void persistenceRoundTrip()
    {
        Fresh saved;
        saved.component.setRespondTimeOut(1234);
        saved.component.setCommPort(4);
        saved.component.setDataBit(7);
        saved.component.setBaudRate(19200);
        saved.component.setParity(2);
        saved.component.setStopBit(2);
        MemoryPropertyBag bag;
        saved.component.saveProperties(bag);
        QCOMPARE(bag.values().value("Interval").typeId(), QMetaType::Float);
        // 1234 x 0.001 in double, narrowed once (not 1234.0f x 0.001f = 1.2340000867843628).
        QCOMPARE(double(bag.values().value("Interval").toFloat()), 1.2339999675750732);
        QCOMPARE(bag.values().value("commPort").toInt(), 4);

        Fresh restored;
        restored.component.restoreProperties(bag);
        QCOMPARE(restored.component.RespondTimeOut(), qint16(1234));
        QCOMPARE(restored.component.settingsText(), QString("19200,e,7,2"));
        QCOMPARE(restored.component.CommPort(), 4);
        QVERIFY(restored.port->settings.isEmpty());   // restoring does not touch the port
        QVERIFY(!restored.port->isOpen());
    }

    // Stored values the properties cannot hold fall back to the defaults.
    void unusableStoredValues_data()
    {
        QTest::addColumn<QVariantMap>("stored");
        QTest::addColumn<int>("timeOut");
        QTest::addColumn<int>("baudRate");
        QTest::newRow("text") << QVariantMap{{"Interval", "soon"}, {"baudRate", "fast"}} << 500 << 9600;
        QTest::newRow("time-out too long") << QVariantMap{{"Interval", 40.0f}} << 500 << 9600;
        QTest::newRow("not a number") << QVariantMap{{"Interval", qQNaN()}} << 500 << 9600;
        QTest::newRow("largest time-out") << QVariantMap{{"Interval", 32.767f}, {"baudRate", 2400}} << 32767 << 2400;
    }
    void unusableStoredValues()
    {
        QFETCH(QVariantMap, stored);
        QFETCH(int, timeOut);
        QFETCH(int, baudRate);
        Fresh f;
        f.component.restoreProperties(StoredBag(stored));
        QCOMPARE(f.component.RespondTimeOut(), qint16(timeOut));
        QCOMPARE(f.component.BaudRate(), baudRate);
    }
};

QTEST_MAIN(PropertiesTest)
#include "tst_properties.moc"
