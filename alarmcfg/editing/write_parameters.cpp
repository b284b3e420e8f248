#include "editing/write_parameters.h"

#include "connection/config_view.h"
#include "connection/handler_guard.h"
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

// ProgressBar1 where the edition has one; the value keeps its halves between requests.
class Progress {
public:
    explicit Progress(QProgressBar *bar) : bar_(bar) {}

    void start()
    {
        set(0);
        if (bar_)
            bar_->setVisible(true);
    }
    void advance(double step) { set(value_ + step); }
    void finish()
    {
        set(100);
        hide();
    }
    void hide()
    {
        if (bar_)
            bar_->setVisible(false);
    }

private:
    void set(double newValue)
    {
        value_ = newValue;
        if (bar_)
            bar_->setValue(int(value_));
    }

    QProgressBar *bar_;
    double value_ = 0;
};

bool sendOne(modbus &component, const WriteRequest &request)
{
    const auto address = qint16(request.address);
    if (request.singleRegister)
        return component.FC06_PresetSingleRegister_4X(controllerSlave, address, request.registers.at(0));
    return component.FC16_PresetMultiRegister_4X(controllerSlave, address, request.registers,
                                                 qint16(request.registers.size()));
}

// Sends the requests in order, going on after an unconfirmed one; true when all were confirmed.
// A lost port ends the sequence with SerialPortError, a silent controller with ControllerSilent.
bool sendAll(FormMain &form, const std::vector<WriteRequest> &requests, Progress &progress)
{
    bool allConfirmed = true;
    for (const WriteRequest &request : requests) {
        if (request.field == Field::PhoneSlot && request.index < form.ui.lstPhone->count())
            form.ui.lstPhone->setCurrentRow(request.index);
        const bool confirmed = sendRequest(form, [&] { return sendOne(*form.modbus1, request); });
        allConfirmed = allConfirmed && confirmed;
        progress.advance(request.progressAdvance);
    }
    return allConfirmed;
}

void clearPhoneSelection(FormMain &form)
{
    form.ui.lstPhone->setCurrentRow(-1);
    form.ui.lstPhone->clearSelection();
}

// While the requests go out, however they end (a lost port or a silent controller ends them
// early): the progress shown and the phone entry being written selected.
class WriteDisplay {
public:
    WriteDisplay(FormMain &form, Progress &progress) : form(form), progress(progress) { progress.start(); }
    ~WriteDisplay()
    {
        clearPhoneSelection(form);
        progress.hide();
    }
    WriteDisplay(const WriteDisplay &) = delete;
    WriteDisplay &operator=(const WriteDisplay &) = delete;

private:
    FormMain &form;
    Progress &progress;
};

void refuse(FormMain &form, const WriteStatus &status, const QString &reason)
{
    showStatus(form, status.refused.arg(reason));
    form.showMessage(reason);
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

void refuse(FormMain &form, const WriteStatus &status, const WriteRefusal &refusal)
{
    refuse(form, status, refusal.message);
    pointAtRefused(form, refusal);
}

void writeParameters(FormMain &form, const WriteStatus &status, const std::function<ConfigWrite()> &prepare)
{
    BusyStep busy(form, writingStatus);
    if (!form.IsConnected) {
        refuse(form, status, connectFirstMessage);
        return;
    }
    const ConfigWrite prepared = prepare();
    if (prepared.refusal) {
        refuse(form, status, *prepared.refusal);
        return;
    }
    Progress progress(form.ui.ProgressBar1);
    bool confirmed = false;
    const bool finished = runSequence(form, int(prepared.requests.size()), {WriteMessages::failed, true}, [&] {
        const WriteDisplay display(form, progress);
        confirmed = sendAll(form, prepared.requests, progress);
        progress.finish();
    });
    if (!finished)
        return;
    showStatus(form, confirmed ? status.written : status.partly + failureNote(form));
    form.showMessage(confirmed ? WriteMessages::succeeded : WriteMessages::failed);
}

} // namespace

void writeWindow(FormMain &form, const WriteStatus &status)
{
    runHandler(form, [&form, &status] { writeParameters(form, status, [&form] { return windowWrite(form); }); },
               WriteMessages::connectionLostDuringWrite);
}

void writeConfiguration(FormMain &form, const ControllerConfig &config)
{
    runHandler(form,
               [&form, &config] {
                   writeParameters(form, parameterWriteStatus,
                                   [&form, &config] { return checkedWrite(form.edition(), config); });
               },
               WriteMessages::connectionLostDuringWrite);
}

void cmdRelayWrite_Click(FormMain &form)
{
    writeWindow(form, parameterWriteStatus);
}

} // namespace alarmcfg
