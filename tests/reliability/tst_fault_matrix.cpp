// Every injected controller fault against every operation of both programs, on alarmsim: what the
// user sees, that the operation ends, and from the controller's saved register image that
// nothing outside the fields the operation writes has changed.
#include "reliability_support.h"

#include "connection/connect.h"
#include "connection/handler_guard.h"
#include "connection/link.h"
#include "connection/on_demand_read.h"
#include "connection/status_polling.h"
#include "editing/write_parameters.h"
#include "window/widget_state.h"

#include "modbus/modbus.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QTest>
#include <QThread>

#include <functional>
#include <optional>

using namespace alarmcfg;
using namespace reliability;

namespace {

// Inputs 0 and 2 active, relay 0 closed: every indicator has a known colour to show.
const QStringList presets{"--set", "4=0x05", "--set", "5=0x01"};
constexpr int presetInputs = 0x05;
constexpr int presetRelays = 0x01;

// A faulty reply takes at most one time-out plus a late reply's delay; far more means a hang.
constexpr qint64 hangLimitMs = 20000;
// Slower than the 500 ms time-out: "slow" arrives half a time-out after it, "late" nearly a
// full one; the next request must not take either for its own reply.
const QString slowReplyMs = QStringLiteral("700");
const QString lateReplyMs = QStringLiteral("950");
// A controller that stalls until the watcher thread kills it.
const QString stalledReplyMs = QStringLiteral("5000");
constexpr int killWhileWaitingAfterMs = 150;
constexpr qint64 lateRequestGraceMs = 3000;

const QString initialConnectCaption = QStringLiteral("连接");
const QString keptMarker = QStringLiteral("kept");

// Requests of a connection (probe plus read-back).
int connectRequests(const QString &edition)
{
    return isTh(edition) ? 40 : 58;
}

// Where each operation meets its fault: only the operation's own requests, or a block that the
// connection reads as well (the connection must survive that).
QStringList placement(const QString &edition, const QString &operation)
{
    if (operation == u"probe")
        return {"--at", "0"};
    if (operation == u"poll") // the second poll after connecting
        return {"--every", QString::number(connectRequests(edition) + 2)};
    if (operation == u"relay")
        return {"--at", "5"};
    if (operation == u"write")
        return {"--at", "490"}; // the all-on command: written, never read
    return {"--at", "30"};      // relay 0's close command: read back and read on demand
}

QStringList faultArguments(const QString &fault, const QString &edition, const QString &operation)
{
    const bool late = fault == u"late";
    QStringList arguments{"--fault", late ? QStringLiteral("slow") : fault};
    arguments += placement(edition, operation);
    if (fault == u"slow" || late)
        arguments += QStringList{"--slow-ms", late ? lateReplyMs : slowReplyMs};
    return presets + arguments;
}

// The controller did not carry the request out.
bool notExecuted(const QString &fault)
{
    return fault == u"silent" || fault == u"exception";
}

struct Outcome {
    QStringList messages;
    QVector<qint16> before;
    QVector<qint16> after;
};

void verifyConnected(const SimFormRig &rig)
{
    QVERIFY(rig.form->IsConnected);
    QCOMPARE(rig.form->ui.cmdConnect->text(), connectedCaption);
    QVERIFY(rig.form->Timer1->isTicking());
}

void verifyGivenUp(const SimFormRig &rig)
{
    QVERIFY(!rig.messages.isEmpty());
    QVERIFY2(rig.messages.last().startsWith(portFailureMessage), qPrintable(rig.messages.last()));
    for (const QString &message : rig.messages)
        QVERIFY2(message.startsWith(portFailureMessage) || message == modbus::sendErrorMessage, qPrintable(message));
    QVERIFY(!rig.form->IsConnected);
    QCOMPARE(rig.form->ui.cmdConnect->text(), disconnectedCaption);
    QVERIFY(!rig.form->Timer1->isTicking());
    QVERIFY(!rig.form->Timer2->isTicking());
    QVERIFY(!rig.form->ui.txtAI[0]->isEnabled());
}

void verifyIndicators(const SimFormRig &rig, int inputs, int relays)
{
    const Edition &edition = rig.form->edition();
    QCOMPARE(greenMask(rig.form->ui.cmdDI), inputs & allBits(edition.inputCount));
    QCOMPARE(greenMask(rig.form->ui.cmdRelay), relays & allBits(edition.relayCount));
}

void verifyOnlyWritableChanged(const QString &edition, const QVector<qint16> &before,
                               const QVector<qint16> &after)
{
    QCOMPARE(outside(changedAddresses(before, after), addressesOf(writableFields(edition))), QList<int>());
}

// Runs `operation`, failing the test if it does not come back in time.
void runBounded(const std::function<void()> &operation)
{
    QElapsedTimer clock;
    clock.start();
    operation();
    QVERIFY2(clock.elapsed() < hangLimitMs, qPrintable(QString::number(clock.elapsed())));
}

// Calls `action` once, from inside the reply event of the request at `address`.
template <class Signal>
void onReplyAt(SimFormRig &rig, Signal signal, int address, std::function<void()> action)
{
    auto done = std::make_shared<bool>(false);
    QObject::connect(rig.form->modbus1, signal, rig.form.get(),
                     [done, address, action](auto, auto, auto &, auto &&start, auto &&...) {
                         if (*done || start != address)
                             return;
                         *done = true;
                         action();
                     });
}

// The controller's requests once it has seen `count` of them, or after a grace period; no events
// are processed meanwhile, so the window sends nothing more.
QList<SimulatorRequest> awaitRequests(const SimFormRig &rig, qsizetype count)
{
    QElapsedTimer clock;
    clock.start();
    QList<SimulatorRequest> seen = rig.requests();
    while (seen.size() < count && clock.elapsed() < lateRequestGraceMs) {
        QThread::msleep(20);
        seen = rig.requests();
    }
    return seen;
}

// The write request that comes right before the one at `address`.
int writtenBefore(const Edition &edition, int address)
{
    int previous = -1;
    for (const WriteStep &step : edition.writePlan) {
        if (step.block.address == address)
            return previous;
        previous = step.block.address;
    }
    return -1;
}

} // namespace

class TestFaultMatrix : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void replyFaults_data();
    void replyFaults();
    void controllerKilled_data();
    void controllerKilled();
    void controllerFallsSilent_data();
    void controllerFallsSilent();

private:
    void runFaultCell(SimFormRig &rig, const QString &edition, const QString &fault,
                      const QString &operation);
};

void TestFaultMatrix::initTestCase()
{
    QVERIFY(!initialImage("analog", presets).isEmpty());
    QVERIFY(!initialImage("th", presets).isEmpty());
}

void TestFaultMatrix::replyFaults_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("operation");
    const QStringList faults{"silent", "badcrc", "wrongslave", "exception", "short", "long", "slow", "late"};
    const QStringList operations{"probe", "read-back", "poll", "relay", "on-demand read", "write"};
    for (const QString edition : {"analog", "th"})
        for (const QString &fault : faults)
            for (const QString &operation : operations)
                QTest::addRow("%s %s %s", qPrintable(edition), qPrintable(fault), qPrintable(operation))
                    << edition << fault << operation;
}

void TestFaultMatrix::replyFaults()
{
    QFETCH(QString, edition);
    QFETCH(QString, fault);
    QFETCH(QString, operation);
    SimFormRig rig(editionNamed(edition), simArguments(edition, faultArguments(fault, edition, operation)));
    QVERIFY2(rig.ready(), qPrintable(rig.sim.errorText()));

    runFaultCell(rig, edition, fault, operation);
}

void TestFaultMatrix::runFaultCell(SimFormRig &rig, const QString &edition, const QString &fault,
                                   const QString &operation)
{
    Controls &ui = rig.form->ui;
    const QVector<qint16> before = initialImage(edition, presets);
    // One faulty request fails, and no other: a late reply taken for the next request's would fail
    // that one, or pass it with another block's values.
    int failures = 0;
    QObject::connect(rig.form->modbus1, &modbus::CommPortEventError, rig.form.get(), [&failures] { ++failures; });
    QSet<int> mayChange;
    if (operation == u"probe") {
        runBounded([&] { rig.connect(); });
        QCOMPARE(rig.messages, QStringList{noControllerMessage});
        QVERIFY(!rig.form->IsConnected);
        QCOMPARE(ui.cmdConnect->text(), initialConnectCaption);
        QVERIFY(!rig.form->Timer1->isTicking());
    } else if (operation == u"read-back") {
        ui.txtClose[0]->setText(keptMarker);
        runBounded([&] { rig.connect(); });
        QCOMPARE(rig.messages, QStringList());
        verifyConnected(rig);
        QCOMPARE(ui.txtClose[0]->text(), keptMarker);
        verifyIndicators(rig, presetInputs, presetRelays);
    } else if (operation == u"poll") {
        rig.connect();
        Timer1_Tick(*rig.form);
        setIndicator(ui.cmdDI[0], false); // a poll that gets no good reply must not repaint it
        runBounded([&] { Timer1_Tick(*rig.form); });
        QCOMPARE(greenMask(ui.cmdDI), presetInputs & ~1);
        QCOMPARE(rig.messages, QStringList()); // one unanswered poll is no reason to complain
        Timer1_Tick(*rig.form);
        Timer1_Tick(*rig.form); // a late reply may spoil the first
        QCOMPARE(rig.messages, QStringList());
        verifyConnected(rig);
        verifyIndicators(rig, presetInputs, presetRelays);
    } else if (operation == u"relay") {
        rig.connect();
        runBounded([&] { rig.click(ui.cmdRelay[1]); });
        QCOMPARE(greenMask(ui.cmdRelay), 0x03); // coloured before the write, whatever came back
        QCOMPARE(rig.messages, QStringList());
        verifyConnected(rig);
        Timer1_Tick(*rig.form);
        Timer1_Tick(*rig.form); // a late reply may spoil the first
        verifyIndicators(rig, presetInputs, notExecuted(fault) ? presetRelays : 0x03);
        mayChange = {5};
    } else if (operation == u"on-demand read") {
        rig.connect();
        ui.txtClose[0]->setText(keptMarker);
        runBounded([&] { rig.click(ui.cmdRelayRead); });
        QCOMPARE(rig.messages, QStringList{readFailedMessage});
        verifyConnected(rig);
        QCOMPARE(ui.txtClose[0]->text(), keptMarker);
    } else if (operation == u"write") {
        rig.connect();
        const qsizetype afterConnect = rig.requests().size();
        runBounded([&] { rig.click(ui.cmdRelayWrite); });
        QCOMPARE(rig.messages, QStringList{WriteMessages::failed});
        verifyConnected(rig);
        if (ui.ProgressBar1)
            QVERIFY(!ui.ProgressBar1->isVisible());
        // The sequence went on after the faulty request, to its last one. After a late reply the
        // program may finish before the controller has even read the last request.
        const auto expected = qsizetype(registermap::of(edition).write.size()); // every phone slot
        const QList<SimulatorRequest> written = awaitRequests(rig, afterConnect + expected).mid(afterConnect);
        QCOMPARE(written.size(), expected);
        QCOMPARE(written.last().addr, isTh(edition) ? 1018 : 1030);
        mayChange = addressesOf(writableFields(edition));
    }
    QVERIFY(rig.sim.stop()); // saves the image
    const QVector<qint16> after = rig.sim.registers();
    QCOMPARE(outside(changedAddresses(before, after), mayChange), QList<int>());
    if (operation == u"write" && notExecuted(fault))
        QCOMPARE(after.mid(490, 10), before.mid(490, 10));
    // The text read next to the faulty one is the controller's own, also after a late reply.
    const bool readsNextBlock = operation == u"read-back" || operation == u"on-demand read";
    if (rig.form->IsConnected && readsNextBlock)
        QCOMPARE(ui.txtAnswer[0]->text(), rig.sim.registerText(50, 10));
    QCOMPARE(failures, operation == u"on-demand read" ? 2 : 1); // the read-back meets block 30 too
}

void TestFaultMatrix::controllerKilled_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<QString>("moment");
    const QStringList moments{"between read-back requests", "awaiting a read-back reply",
                              "between write requests",     "awaiting a write reply",
                              "between polls",              "awaiting a poll reply"};
    for (const QString edition : {"analog", "th"})
        for (const QString &moment : moments)
            QTest::addRow("%s %s", qPrintable(edition), qPrintable(moment)) << edition << moment;
}

void TestFaultMatrix::controllerKilled()
{
    QFETCH(QString, edition);
    QFETCH(QString, moment);
    const bool awaiting = moment.startsWith(u"awaiting");
    const bool write = moment.contains(u"write");
    const bool readBack = moment.contains(u"read-back");
    const Edition &model = editionNamed(edition);
    // While awaiting a reply the controller stalls on that request until it is killed.
    QStringList extra = presets;
    if (awaiting) {
        extra += QStringList{"--fault", "slow", "--slow-ms", stalledReplyMs};
        if (readBack)
            extra += QStringList{"--at", "542"};
        else if (write)
            extra += QStringList{"--at", "490"};
        else
            extra += QStringList{"--every", QString::number(connectRequests(edition) + 1)};
    }
    SimFormRig rig(model, simArguments(edition, extra));
    QVERIFY2(rig.ready(), qPrintable(rig.sim.errorText()));
    const qint64 pid = rig.sim.processId();
    std::optional<DelayedKill> killer;
    const auto killNow = [&] {
        if (awaiting)
            killer.emplace(pid, killWhileWaitingAfterMs);
        else
            rig.sim.kill();
    };

    if (readBack) {
        onReplyAt(rig, &modbus::FC03ReadHoldingRegisterRespond4X, 522, killNow);
        runBounded([&] { rig.connect(); });
    } else {
        rig.connect();
        verifyConnected(rig);
        if (write) {
            const int previous = awaiting ? writtenBefore(model, 490) : 10;
            onReplyAt(rig, &modbus::FC16PresetMultiRegisterRespond4X, previous, killNow);
            runBounded([&] { rig.click(rig.form->ui.cmdRelayWrite); });
            if (rig.form->ui.ProgressBar1)
                QVERIFY(!rig.form->ui.ProgressBar1->isVisible());
        } else {
            killNow();
            runBounded([&] { Timer1_Tick(*rig.form); });
        }
    }
    killer.reset();

    verifyGivenUp(rig);
    QTest::qWait(50); // a poll or watchdog now due must find nothing to do
    verifyGivenUp(rig);
    const QVector<qint16> before = initialImage(edition, presets);
    if (write)
        verifyOnlyWritableChanged(edition, before, rig.sim.registers());
    else
        QCOMPARE(changedAddresses(before, rig.sim.registers()), QList<int>());
}

void TestFaultMatrix::controllerFallsSilent_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("lastReply");  // the controller freezes after answering at this address
    QTest::addColumn<int>("stoppedAt");  // request of the operation's sequence where it stops
    QTest::addColumn<int>("sequenceLength");
    QTest::addColumn<QString>("message");
    const QString silence = QLatin1Char('\n') + silenceMessage;
    const QString partial = silence + QLatin1Char('\n') + partialWriteMessage;
    QTest::newRow("analog read-back") << "analog" << "read-back" << 542 << 6 << 57 << readBackFailedMessage + silence;
    QTest::newRow("th read-back") << "th" << "read-back" << 522 << 5 << 39 << readBackFailedMessage + silence;
    QTest::newRow("analog on-demand read") << "analog" << "on-demand read" << 70 << 25 << 53 << readFailedMessage + silence;
    QTest::newRow("analog write") << "analog" << "write" << 10 << 4 << 58 << WriteMessages::failed + partial;
    QTest::newRow("th write") << "th" << "write" << 30 << 5 << 40 << WriteMessages::failed + partial;
    QTest::newRow("th factory") << "th" << "factory" << 30 << 5 << 40 << WriteMessages::failed + partial;
}

// A controller that stops answering ends the sequence after a few unanswered requests, with one
// message and the connection given up, so no watchdog message follows for the same silence.
void TestFaultMatrix::controllerFallsSilent()
{
    QFETCH(QString, edition);
    QFETCH(QString, operation);
    QFETCH(int, lastReply);
    QFETCH(int, stoppedAt);
    QFETCH(int, sequenceLength);
    QFETCH(QString, message);
    SimFormRig rig(editionNamed(edition), simArguments(edition));
    QVERIFY2(rig.ready(), qPrintable(rig.sim.errorText()));
    const qint64 pid = rig.sim.processId();
    const auto freeze = [pid] { ::kill(pid_t(pid), SIGSTOP); };
    Controls &ui = rig.form->ui;

    if (operation == u"read-back") {
        onReplyAt(rig, &modbus::FC03ReadHoldingRegisterRespond4X, lastReply, freeze);
        runBounded([&] { rig.connect(); });
    } else {
        rig.connect();
        verifyConnected(rig);
        if (operation == u"on-demand read") {
            onReplyAt(rig, &modbus::FC03ReadHoldingRegisterRespond4X, lastReply, freeze);
            runBounded([&] { rig.click(ui.cmdRelayRead); });
        } else {
            onReplyAt(rig, &modbus::FC16PresetMultiRegisterRespond4X, lastReply, freeze);
            runBounded([&] { rig.click(operation == u"write" ? ui.cmdRelayWrite : ui.Command1); });
        }
    }

    QCOMPARE(rig.messages, QStringList{message});
    QCOMPARE(ui.lblStatus->text(), silenceStatus.arg(stoppedAt).arg(sequenceLength));
    QVERIFY(!rig.form->IsConnected);
    QCOMPARE(ui.cmdConnect->text(), disconnectedCaption);
    QVERIFY(!rig.form->Timer1->isTicking());
    QVERIFY(!rig.form->Timer2->isTicking());
    if (ui.ProgressBar1)
        QVERIFY(!ui.ProgressBar1->isVisible());
    QTest::qWait(50);
    QCOMPARE(rig.messages.size(), 1);
    ::kill(pid_t(pid), SIGCONT);
}

QTEST_MAIN(TestFaultMatrix)
#include "tst_fault_matrix.moc"
