#include "connection/handler_guard.h"

#include "connection/link.h"

#include "modbus/modbus.h"
#include "modbus/serial_port.h"

#include <QStringList>

namespace alarmcfg {

void runHandler(ControllerLink &link, const std::function<void()> &handler, const QString &cutShort)
{
    if (link.view.isEnding())
        return;
    try {
        handler();
    } catch (const SerialPortError &e) {
        dropConnection(link, connectionLostMessage(QString::fromUtf8(e.what()), cutShort));
    }
}

void runHandler(FormMain &form, const std::function<void()> &handler, const QString &cutShort)
{
    ControllerLink link = windowLink(form);
    runHandler(link, handler, cutShort);
}

namespace {

// While connected, the component speaks only when a request could not be sent, which ends in
// the lost-connection message: its own message is withheld, so the user is told once.
class WithheldMessages {
public:
    explicit WithheldMessages(ControllerLink &link) : link(link)
    {
        if (link.connected)
            link.component.setMessageSink([](const QString &) {});
    }
    ~WithheldMessages() { link.component.setMessageSink(link.view.showMessage); }
    WithheldMessages(const WithheldMessages &) = delete;
    WithheldMessages &operator=(const WithheldMessages &) = delete;

private:
    ControllerLink &link;
};

bool timedOut(const RequestOutcome &outcome)
{
    return outcome.kind == RequestOutcome::Kind::Failed && outcome.error == CommErrorCode::TimeOut;
}

// Marks the requests that follow as one sequence until it ends, however it ends.
class SequenceScope {
public:
    SequenceScope(RequestTally &tally, int requestCount) : tally(tally)
    {
        tally.sequenceFirst = tally.sent;
        tally.sequenceLength = requestCount;
        tally.silentInARow = 0;
    }
    ~SequenceScope() { tally.sequenceLength = 0; }
    SequenceScope(const SequenceScope &) = delete;
    SequenceScope &operator=(const SequenceScope &) = delete;

private:
    RequestTally &tally;
};

QString silenceText(const SilenceReport &report)
{
    QStringList lines{report.failedMessage, silenceMessage};
    if (report.writes)
        lines << partialWriteMessage;
    return lines.join(QLatin1Char('\n'));
}

} // namespace

bool sendRequest(ControllerLink &link, const std::function<bool()> &request)
{
    const bool connected = link.connected;
    const WithheldMessages withheld(link);
    const bool answered = request();
    RequestTally &tally = link.tally;
    ++tally.sent;
    tally.unanswered += answered ? 0 : 1;
    const RequestOutcome outcome = link.component.lastRequestOutcome();
    if (!outcome.raisedEvent() && connected)
        throw SerialPortError(link.component.lastPortFailure().toStdString());
    tally.silentInARow = timedOut(outcome) ? tally.silentInARow + 1 : 0;
    if (tally.sequenceLength > 0 && tally.silentInARow >= silentRequestLimit)
        throw ControllerSilent(tally.sent - tally.sequenceFirst, tally.sequenceLength);
    return answered;
}

bool sendRequest(FormMain &form, const std::function<bool()> &request)
{
    ControllerLink link = windowLink(form);
    return sendRequest(link, request);
}

bool runSequence(ControllerLink &link, int requestCount, const SilenceReport &report,
                 const std::function<void()> &sequence)
{
    const SequenceScope scope(link.tally, requestCount);
    try {
        sequence();
        return true;
    } catch (const ControllerSilent &silent) {
        dropConnection(link, silenceText(report), silenceStatus.arg(silent.stoppedAt).arg(silent.requestCount));
        return false;
    }
}

bool runSequence(FormMain &form, int requestCount, const SilenceReport &report,
                 const std::function<void()> &sequence)
{
    ControllerLink link = windowLink(form);
    return runSequence(link, requestCount, report, sequence);
}

} // namespace alarmcfg
