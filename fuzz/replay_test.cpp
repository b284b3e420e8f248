// Runs a fuzz target's entry over every file of its seed corpus and its regressions.

#include <QDir>
#include <QFile>
#include <QObject>
#include <QTest>

#include <cstddef>

extern "C" int LLVMFuzzerTestOneInput(const quint8 *data, std::size_t size);
// Optional, as under libFuzzer.
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) __attribute__((weak));

class FuzzReplay : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (LLVMFuzzerInitialize) {
            int argc = 0;
            char **argv = nullptr;
            LLVMFuzzerInitialize(&argc, &argv);
        }
    }

    void replay_data()
    {
        QTest::addColumn<QString>("path");
        for (const QString &kind : {QStringLiteral("corpus"), QStringLiteral("regressions")}) {
            const QDir dir(QStringLiteral(FUZZ_DIR "/%1/" FUZZ_TARGET).arg(kind));
            for (const QFileInfo &file : dir.entryInfoList(QDir::Files, QDir::Name))
                QTest::newRow(qPrintable(kind + u'/' + file.fileName())) << file.absoluteFilePath();
        }
    }

    void replay()
    {
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
        const QByteArray input = file.readAll();
        LLVMFuzzerTestOneInput(reinterpret_cast<const quint8 *>(input.constData()),
                               std::size_t(input.size()));
    }
};

QTEST_MAIN(FuzzReplay)
#include "replay_test.moc"
