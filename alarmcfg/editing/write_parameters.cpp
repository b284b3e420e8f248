#include "editing/write_parameters.h"

#include "connection/config_view.h"
#include "connection/handler_guard.h"
#include "connection/controller_link.h"
#include "connection/link.h"
#include "connection/status_line.h"
#include "connection/read_back_decoding.h"
#include "editing/phone_list.h"
#include "model/setting_values.h"
#include "window/form_main.h"
#include "window/widget_state.h"

#include "modbus/modbus.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>

#include <functional>
#include <optional>

namespace alarmcfg {

namespace {

// The boxes that show a field, one per index (a text) or per value (a numeric block); none for
// the fields shown otherwise.
const std::vector<QLineEdit *> *boxesOf(const Controls &ui, Field field)
{
    switch (field) {
    case Field::OpenCommand: return &ui.txtOpen;
    case Field::CloseCommand: return &ui.txtClose;
    case Field::OpenReply: return &ui.txtAnswer;
    case Field::CloseReply: return &ui.txtCAnswer;
    case Field::AllCommand: return &ui.txtAllCmd;
    case Field::AlarmText: return &ui.txtTHAlmMsg;
    case Field::ActionTimes: return &ui.txtTime;
    case Field::Limits: return &ui.txtAdc;
    case Field::Calibration: return &ui.txtTHCalc;
    case Field::FullScale: return &ui.txtAIRange;
    default: return nullptr;
    }
}

// The first limit box whose text is too long, if the edition limits them.
std::optional<int> limitTooLong(const FormMain &form)
{
    const std::optional<int> maxChars = form.edition().limitTextMaxChars;
    if (!maxChars)
        return std::nullopt;
    for (int k = 0; k < int(form.ui.txtAdc.size()); ++k)
        if (characterCount(form.ui.txtAdc[k]->text()) > *maxChars)
            return k;
    return std::nullopt;
}

// The checks that look at the window as a whole, in the order the user meets them: a limit is
// measured as typed.
std::optional<WriteRefusal> windowRefusal(const FormMain &form)
{
    if (form.edition().requiresPhoneNumber && form.ui.lstPhone->count() == 0)
        return WriteRefusal{WriteMessages::noPhoneNumber, Field::PhoneSlot, 0};
    if (const auto limit = limitTooLong(form))
        return WriteRefusal{WriteMessages::limitTooLong, Field::Limits, *limit};
    if (characterCount(form.ui.txtMiMa->text()) > maxPasswordChars)
        return WriteRefusal{WriteMessages::passwordTooLong, std::nullopt, 0};
    return std::nullopt;
}

// The window's values, checked and encoded before anything is sent: texts, then number boxes.
ConfigWrite windowWrite(const FormMain &form)
{
    if (auto refusal = windowRefusal(form))
        return {{}, refusal};
    const CollectedConfig collected = collectConfig(form);
    ConfigWrite write = configWrite(form.edition(), collected.config);
    if (!write.refusal && !collected.numbersOutOfRange.empty())
        return {{}, collected.numbersOutOfRange.front()};
    return write;
}

// A configuration's checks and requests.
ConfigWrite checkedWrite(const Edition &edition, const ControllerConfig &config)
{
    if (auto refusal = wholeConfigRefusal(edition, config))
        return {{}, refusal};
    return configWrite(edition, config);
}

bool sendOne(modbus &component, const WriteRequest &request)
{
    const auto address = qint16(request.address);
    if (request.singleRegister)
        return component.FC06_PresetSingleRegister_4X(controllerSlave, address, request.registers.at(0));
    return component.FC16_PresetMultiRegister_4X(controllerSlave, address, request.registers,
                                                 qint16(request.registers.size()));
}

// What a write shows while it runs: the window its progress, the phone entry being written and
// the refused value; the command line nothing.
class WriteShown {
public:
    virtual ~WriteShown() = default;
    virtual void start() {}
    virtual void sending(const WriteRequest &) {}
    virtual void sent(const WriteRequest &) {}
    virtual void finish() {}
    // However the requests ended (a lost port or a silent controller ends them early).
    virtual void end() {}
    virtual void pointAtRefused(const WriteRefusal &) {}
};

// From the first request to the end of the last, however they end.
class Sending {
public:
    explicit Sending(WriteShown &shown) : shown(shown) { shown.start(); }
    ~Sending() { shown.end(); }
    Sending(const Sending &) = delete;
    Sending &operator=(const Sending &) = delete;

private:
    WriteShown &shown;
};

// Sends the requests in order, going on after an unconfirmed one; true when all were confirmed.
// A lost port ends the sequence with SerialPortError, a silent controller with ControllerSilent.
bool sendAll(ControllerLink &link, const std::vector<WriteRequest> &requests, WriteShown &shown)
{
    bool allConfirmed = true;
    for (const WriteRequest &request : requests) {
        shown.sending(request);
        const bool confirmed = sendRequest(link, [&] { return sendOne(link.component, request); });
        allConfirmed = allConfirmed && confirmed;
        shown.sent(request);
    }
    return allConfirmed;
}

void refuse(ControllerLink &link, const WriteStatus &status, const QString &reason)
{
    link.view.showStatus(status.refused.arg(reason));
    link.view.showMessage(reason);
}

// Every check runs before the first request; the operation's request tally has begun.
void writeParameters(ControllerLink &link, const WriteStatus &status, const std::function<ConfigWrite()> &prepare,
                     WriteShown &shown)
{
    if (!link.connected) {
        refuse(link, status, connectFirstMessage);
        return;
    }
    const ConfigWrite prepared = prepare();
    if (prepared.refusal) {
        refuse(link, status, prepared.refusal->message);
        shown.pointAtRefused(*prepared.refusal);
        return;
    }
    bool confirmed = false;
    const bool finished = runSequence(link, int(prepared.requests.size()), {WriteMessages::failed, true}, [&] {
        const Sending sending(shown);
        confirmed = sendAll(link, prepared.requests, shown);
        shown.finish();
    });
    if (!finished)
        return;
    link.view.showStatus(confirmed ? status.written : status.partly + failureNote(link.tally));
    link.view.showMessage(confirmed ? WriteMessages::succeeded : WriteMessages::failed);
}

// The input's text is edited in txtDIAlarm once its channel is chosen.
void pointAtDIAlarmText(FormMain &form, int input)
{
    QComboBox *selector = form.ui.cmbDISel;
    if (input >= selector->count())
        return;
    selector->setCurrentIndex(input);
    selector->setEditText(selector->itemText(input));
    showSelectedDIAlarmText(form);
    pointAt(form.ui.txtDIAlarm);
}

// Takes the user to the refused value: its box focused with its text selected, a phone entry
// selected in the list.
void pointAtRefused(FormMain &form, const WriteRefusal &refusal)
{
    if (!refusal.field) {
        pointAt(form.ui.txtMiMa);
    } else if (const auto *boxes = boxesOf(form.ui, *refusal.field)) {
        pointAt(boxes->at(std::size_t(refusal.index)));
    } else if (*refusal.field == Field::DIAlarmText) {
        pointAtDIAlarmText(form, refusal.index);
    } else if (*refusal.field == Field::PhoneSlot) {
        QListWidget *list = form.ui.lstPhone;
        if (refusal.index < list->count())
            list->setCurrentRow(refusal.index);
        pointAt(form.ui.txtPhone); // an empty list: where a number is typed
    }
}

// ProgressBar1 where the edition has one, whose value keeps its halves between requests, and the
// phone entry being written selected.
class WindowWriteShown final : public WriteShown {
public:
    explicit WindowWriteShown(FormMain &form) : form(form), bar(form.ui.ProgressBar1) {}

    void start() override
    {
        set(0);
        if (bar)
            bar->setVisible(true);
    }
    void sending(const WriteRequest &request) override
    {
        if (request.field == Field::PhoneSlot && request.index < form.ui.lstPhone->count())
            form.ui.lstPhone->setCurrentRow(request.index);
    }
    void sent(const WriteRequest &request) override { set(value + request.progressAdvance); }
    void finish() override
    {
        set(100);
        hide();
    }
    void end() override
    {
        form.ui.lstPhone->setCurrentRow(-1);
        form.ui.lstPhone->clearSelection();
        hide();
    }
    void pointAtRefused(const WriteRefusal &refusal) override { alarmcfg::pointAtRefused(form, refusal); }

private:
    void set(double newValue)
    {
        value = newValue;
        if (bar)
            bar->setValue(int(value));
    }
    void hide()
    {
        if (bar)
            bar->setVisible(false);
    }

    FormMain &form;
    QProgressBar *const bar;
    double value = 0;
};

} // namespace

void writeWindow(FormMain &form, const WriteStatus &status)
{
    runHandler(form,
               [&form, &status] {
                   BusyStep busy(form, writingStatus);
                   ControllerLink link = windowLink(form);
                   WindowWriteShown shown(form);
                   writeParameters(link, status, [&form] { return windowWrite(form); }, shown);
               },
               WriteMessages::connectionLostDuringWrite);
}

void writeConfiguration(ControllerLink &link, const Edition &edition, const ControllerConfig &config)
{
    runHandler(link,
               [&link, &edition, &config] {
                   link.tally = {};
                   WriteShown nothingShown;
                   writeParameters(link, parameterWriteStatus, [&edition, &config] { return checkedWrite(edition, config); },
                                   nothingShown);
               },
               WriteMessages::connectionLostDuringWrite);
}

void cmdRelayWrite_Click(FormMain &form)
{
    writeWindow(form, parameterWriteStatus);
}

} // namespace alarmcfg
