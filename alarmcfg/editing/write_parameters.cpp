#include "editing/write_parameters.h"

#include "connection/handler_guard.h"
#include "connection/link.h"
#include "connection/status_line.h"
#include "connection/read_back_decoding.h"
#include "editing/phone_list.h"
#include "model/command_text.h"
#include "model/phone_slot.h"
#include "model/register_text.h"
#include "model/setting_values.h"
#include "window/form_main.h"
#include "window/widget_state.h"

#include "modbus/modbus.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>

#include <optional>
#include <stdexcept>
#include <variant>

namespace alarmcfg {

namespace {

// What one step of the plan takes from the window: a text, the texts of a numeric block, or
// register values that need no conversion.
using Source = std::variant<QString, QStringList, QVector<qint16>>;

// One request of the write, encoded and checked.
struct Request {
    quint16 address;
    QVector<qint16> registers;
    bool singleRegister;    // function 6: the options word
    double progressAdvance;
    int phoneRow;           // list entry selected while its slot is written; -1 for none
};

// The requests of one write, or why it is refused.
struct PreparedWrite {
    std::vector<Request> requests;
    std::optional<WriteRefusal> refusal;
};

QStringList textsOf(const std::vector<QLineEdit *> &boxes, int count)
{
    QStringList texts;
    for (int k = 0; k < count; ++k)
        texts << boxes.at(k)->text();
    return texts;
}

Source phoneSlotSource(const FormMain &form, int slot)
{
    const QListWidget *list = form.ui.lstPhone;
    if (slot < list->count())
        return phoneSlotText(list->item(slot)->text());
    return form.edition().emptyPhoneSlotText;
}

QVector<qint16> rangeCodes(const FormMain &form, int count)
{
    QVector<qint16> codes;
    for (int c = 0; c < count; ++c)
        codes << qint16(selectedIndex(form.ui.cmbRangeSel.at(c))); // none selected: -1, 0xFFFF
    return codes;
}

qint16 optionsWordOf(const FormMain &form)
{
    return optionsWord({form.ui.chkHold->checkState(), form.ui.chkPhoneAlarm->checkState(),
                        form.ui.chkAnswer->checkState()});
}

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

Source sourceOf(const FormMain &form, const WriteStep &step)
{
    const int index = step.block.index;
    const int count = step.block.count;
    switch (step.block.field) {
    case Field::OpenCommand:
    case Field::CloseCommand:
    case Field::OpenReply:
    case Field::CloseReply:
    case Field::AllCommand:
    case Field::AlarmText: return boxesOf(form.ui, step.block.field)->at(index)->text();
    case Field::DIAlarmText: return form.DIAlarmText.at(index);
    case Field::PhoneSlot: return phoneSlotSource(form, index);
    case Field::ActionTimes:
    case Field::Limits:
    case Field::Calibration:
    case Field::FullScale: return textsOf(*boxesOf(form.ui, step.block.field), count);
    case Field::RangeCodes: return rangeCodes(form, count);
    case Field::Options: return QVector<qint16>{optionsWordOf(form)};
    case Field::Status: break;
    }
    throw std::logic_error("the status block is not part of the parameter write");
}

// Commands and relay replies stop at 20 bytes; every other text at the size of its slot, so
// that no write reaches into the next field. A character GBK lacks would be stored as "?".
std::optional<QString> textRefusal(const QString &text, const WriteStep &step)
{
    if (!isGbkEncodable(text))
        return WriteMessages::notEncodable;
    const int bytes = gbkByteLength(text);
    if (step.lengthCheck && bytes > maxCommandBytes)
        return WriteMessages::commandTooLong;
    if (!step.lengthCheck && bytes > 2 * step.block.count)
        return WriteMessages::textTooLong;
    return std::nullopt;
}

// The registers of a numeric block, or the position of the first value out of range.
std::variant<QVector<qint16>, int> numberRegisters(const QStringList &texts)
{
    QVector<qint16> values;
    for (int k = 0; k < texts.size(); ++k) {
        const std::optional<qint16> value = registerValueOfText(texts[k]);
        if (!value)
            return k;
        values << *value;
    }
    return values;
}

int phoneRowOf(const FormMain &form, const WriteStep &step)
{
    const bool listEntry = step.block.field == Field::PhoneSlot && step.block.index < form.ui.lstPhone->count();
    return listEntry ? step.block.index : -1;
}

// Checks and encodes every step before anything is sent.
PreparedWrite prepareWrite(const FormMain &form)
{
    PreparedWrite prepared;
    const QString password = form.ui.txtMiMa->text();
    for (const WriteStep &step : form.edition().writePlan) {
        const Source source = sourceOf(form, step);
        QVector<qint16> registers;
        if (const auto *text = std::get_if<QString>(&source)) {
            const QString stored = step.passwordPrefix ? commandText(password, *text) : *text;
            if (auto refusal = textRefusal(stored, step))
                return {{}, WriteRefusal{*refusal, step.block.field, step.block.index}};
            registers = textToRegisters(stored, step.block.count);
        } else if (const auto *numbers = std::get_if<QStringList>(&source)) {
            auto values = numberRegisters(*numbers);
            if (const int *position = std::get_if<int>(&values))
                return {{}, WriteRefusal{WriteMessages::numberOutOfRange, step.block.field, *position}};
            registers = std::get<QVector<qint16>>(values);
        } else {
            registers = std::get<QVector<qint16>>(source);
        }
        prepared.requests.push_back({step.block.address, registers, step.block.field == Field::Options,
                                     step.progressAdvance, phoneRowOf(form, step)});
    }
    return prepared;
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

// The checks that look at the window as a whole, in the order the user meets them.
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

bool sendOne(modbus &component, const Request &request)
{
    const auto address = qint16(request.address);
    if (request.singleRegister)
        return component.FC06_PresetSingleRegister_4X(controllerSlave, address, request.registers.at(0));
    return component.FC16_PresetMultiRegister_4X(controllerSlave, address, request.registers,
                                                 qint16(request.registers.size()));
}

// Sends the requests in order, going on after an unconfirmed one; true when all were confirmed.
// A lost port ends the sequence with SerialPortError, a silent controller with ControllerSilent.
bool sendAll(FormMain &form, const std::vector<Request> &requests, Progress &progress)
{
    bool allConfirmed = true;
    for (const Request &request : requests) {
        if (request.phoneRow >= 0)
            form.ui.lstPhone->setCurrentRow(request.phoneRow);
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

void writeParameters(FormMain &form, const WriteStatus &status)
{
    BusyStep busy(form, writingStatus);
    if (!form.IsConnected) {
        refuse(form, status, connectFirstMessage);
        return;
    }
    if (const auto refusal = windowRefusal(form)) {
        refuse(form, status, *refusal);
        return;
    }
    const PreparedWrite prepared = prepareWrite(form);
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
    runHandler(form, [&form, &status] { writeParameters(form, status); }, WriteMessages::connectionLostDuringWrite);
}

std::optional<WriteRefusal> valueRefusal(const FormMain &form)
{
    if (auto refusal = windowRefusal(form))
        return refusal;
    return prepareWrite(form).refusal;
}

void cmdRelayWrite_Click(FormMain &form)
{
    writeWindow(form, parameterWriteStatus);
}

} // namespace alarmcfg
