#include "connection/handler_guard.h"

#include "connection/link.h"
#include "window/form_main.h"

#include "modbus/modbus.h"
#include "modbus/serial_port.h"

#include <QStringList>

namespace alarmcfg {

void runHandler(FormMain &form, const std::function<void()> &handler, const QString &cutShort)
{
    if (form.isEnding())
        return;
    try {
        handler();
    } catch (const SerialPortError &e) {
        dropConnection(form, connectionLostMessage(QString::fromUtf8(e.what()), cutShort));
    }
}

namespace {

// While connected, the component speaks only when a request could not be sent, which ends in
// the lost-connection message: its own message is withheld, so the user is told once.
class WithheldMessages {
public:
    explicit WithheldMessages(FormMain &form) : form(form)
    {
        if (form.IsConnected)
            form.modbus1->setMessageSink([](const QString &) {});
    }
    ~WithheldMessages()
    {
        form.modbus1->setMessageSink([&form = form](const QString &text) { form.showMessage(text); });
    }
    WithheldMessages(const WithheldMessages &) = delete;
    WithheldMessages &operator=(const WithheldMessages &) = delete;

private:
    FormMain &form;
};

bool timedOut(const RequestOutcome &outcome)
{
    return outcome.kind == RequestOutcome::Kind::Failed && outcome.error == CommErrorCode::TimeOut;
}

// Marks the requests that follow as one sequence until it ends, however it ends.
class SequenceScope {
public:
    SequenceScope(FormMain &form, int requestCount) : tally(form.requestTally)
    {
        tally.sequenceFirst = tally.sent;
        tally.sequenceLength = requestCount;
        tally.silentInARow = 0;
    }
    ~SequenceScope() { tally.sequenceLength = 0; }
    SequenceScope(const SequenceScope &) = delete;
    SequenceScope &operator=(const SequenceScope &) = delete;

private:
    FormMain::RequestTally &tally;
};

QString silenceText(const SilenceReport &report)
{
    QStringList lines{report.failedMessage, silenceMessage};
    if (report.writes)
        lines << partialWriteMessage;
    return lines.join(QLatin1Char('\n'));
}

} // namespace

bool sendRequest(FormMain &form, const std::function<bool()> &request)
{
    const bool connected = form.IsConnected;
    const WithheldMessages withheld(form);
    const bool answered = request();
    FormMain::RequestTally &tally = form.requestTally;
    ++tally.sent;
    tally.unanswered += answered ? 0 : 1;
    const RequestOutcome outcome = form.modbus1->lastRequestOutcome();
    if (!outcome.raisedEvent() && connected)
        throw SerialPortError(form.modbus1->lastPortFailure().toStdString());
    tally.silentInARow = timedOut(outcome) ? tally.silentInARow + 1 : 0;
    if (tally.sequenceLength > 0 && tally.silentInARow >= silentRequestLimit)
        throw ControllerSilent(tally.sent - tally.sequenceFirst, tally.sequenceLength);
    return answered;
}

bool runSequence(FormMain &form, int requestCount, const SilenceReport &report,
                 const std::function<void()> &sequence)
{
    const SequenceScope scope(form, requestCount);
    try {
        sequence();
        return true;
    } catch (const ControllerSilent &silent) {
        dropConnection(form, silenceText(report), silenceStatus.arg(silent.stoppedAt).arg(silent.requestCount));
        return false;
    }
}

} // namespace alarmcfg
