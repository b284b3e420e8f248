#include "connection/read_back_decoding.h"

#include "connection/link.h"
#include "model/command_text.h"
#include "model/phone_slot.h"
#include "model/register_text.h"
#include "model/setting_values.h"
#include "model/status_values.h"
#include "window/form_main.h"
#include "window/widget_state.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

#include <algorithm>
#include <array>

namespace alarmcfg {

namespace {

constexpr int inputsRegister = 4;
constexpr int relaysRegister = 5;
constexpr int versionRegister = 6;
constexpr int sensorChannels = 2;

void showIndicators(const std::vector<QPushButton *> &buttons, int bits)
{
    for (int n = 0; n < int(buttons.size()); ++n)
        setIndicator(buttons[n], (bits & GetNumTbl(n)) != 0);
}

void checkFirmware(FormMain &form, const QVector<qint16> &status)
{
    if (!refusesFirmware(form.edition(), status))
        return;
    form.showMessage(firmwareTooOldMessage);
    form.endProgram();
}

// A short block reads as zeros beyond its end rather than past the array.
void decodeStatus(FormMain &form, const QVector<qint16> &r)
{
    form.StatusSeen = true;
    form.DIState = quint16(r.value(inputsRegister));
    form.RelayState = r.value(relaysRegister);
    showIndicators(form.ui.cmdDI, form.DIState);
    showIndicators(form.ui.cmdRelay, form.RelayState & 0xFF);
    for (int channel = 0; channel < sensorChannels; ++channel)
        form.ui.txtAI.at(channel)->setText(
            sensorValueText(form.edition().sensorDisplay, channel, r.value(channel)));
    form.ui.lblVertion->setText(firmwareCaption(firmwareVersion(r.value(versionRegister))));
    checkFirmware(form, r);
}

void decodeOpenCommand(FormMain &form, int relay, const QString &text)
{
    const StoredCommand stored = splitCommand(text);
    form.ui.txtOpen.at(relay)->setText(untilFirstNul(stored.command));
    form.ui.txtMiMa->setText(stored.hasPassword ? untilFirstNul(stored.password) : QString());
}

void decodeCloseCommand(FormMain &form, int relay, const QString &text)
{
    form.ui.txtClose.at(relay)->setText(untilFirstNul(splitCommand(text).command));
}

void decodePhoneSlot(FormMain &form, int slot, const QString &text)
{
    if (slot == 0)
        form.ui.lstPhone->clear();
    if (const auto number = phoneNumberInSlot(text))
        form.ui.lstPhone->addItem(*number);
}

// Each register as signed decimal into the box of the same position; extra registers are unused.
void showNumbers(const std::vector<QLineEdit *> &boxes, const QVector<qint16> &r)
{
    for (int i = 0; i < int(std::min<qsizetype>(qsizetype(boxes.size()), r.size())); ++i)
        boxes[i]->setText(QString::number(r[i]));
}

void selectRanges(FormMain &form, const QVector<qint16> &r)
{
    const auto &boxes = form.ui.cmbRangeSel;
    for (int c = 0; c < int(std::min<qsizetype>(qsizetype(boxes.size()), r.size())); ++c)
        if (const auto index = rangeIndexOfCode(r[c]))
            boxes[c]->setCurrentIndex(*index);
}

void showOptions(FormMain &form, const QVector<qint16> &r)
{
    const OptionBits bits = optionBits(r.value(0));
    const std::array<QCheckBox *, 3> boxes{form.ui.chkHold, form.ui.chkPhoneAlarm, form.ui.chkAnswer};
    for (std::size_t i = 0; i < boxes.size(); ++i)
        boxes[i]->setChecked(bits[i]);
}

void showText(const std::vector<QLineEdit *> &boxes, int index, const QString &text)
{
    boxes.at(index)->setText(untilFirstNul(text));
}

void decodeBlock(FormMain &form, const RegisterBlock &block, const QVector<qint16> &r)
{
    Controls &ui = form.ui;
    const int i = block.index;
    switch (block.field) {
    case Field::Status: return decodeStatus(form, r);
    case Field::OpenCommand: return decodeOpenCommand(form, i, registersToText(r));
    case Field::CloseCommand: return decodeCloseCommand(form, i, registersToText(r));
    case Field::OpenReply: return showText(ui.txtAnswer, i, registersToText(r));
    case Field::CloseReply: return showText(ui.txtCAnswer, i, registersToText(r));
    case Field::AlarmText: return showText(ui.txtTHAlmMsg, i, registersToText(r));
    case Field::DIAlarmText: form.DIAlarmText[i] = registersToText(r); return;
    case Field::PhoneSlot: return decodePhoneSlot(form, i, registersToText(r));
    case Field::ActionTimes: return showNumbers(ui.txtTime, r);
    case Field::Limits: return showNumbers(ui.txtAdc, r);
    case Field::Calibration: return showNumbers(ui.txtTHCalc, r);
    case Field::FullScale: return showNumbers(ui.txtAIRange, r);
    case Field::RangeCodes: return selectRanges(form, r);
    case Field::Options: return showOptions(form, r);
    case Field::AllCommand: return; // written only, never read back
    }
}

} // namespace

bool refusesFirmware(const Edition &edition, const QVector<qint16> &status)
{
    return edition.refusesOldFirmware && !isFirmwareSupported(firmwareVersion(status.value(versionRegister)));
}

void FC03ReadHoldingRegisterRespond4X(FormMain &form, qint16 startAddress,
                                      const QVector<qint16> &RegisterData, qint16 RegisterCount)
{
    heardFromController(form);
    if (form.readingConfiguration && startAddress != statusBlock.address)
        return;
    const QVector<qint16> registers = repliedRegisters(RegisterData, RegisterCount);
    if (const RegisterBlock *block = form.edition().blockAt(startAddress))
        decodeBlock(form, *block, registers);
}

// The selector keeps its list selection while its text is typed over, so the slot is always
// that of the entry last chosen.
int selectedDIAlarmSlot(const FormMain &form)
{
    const int slot = form.ui.cmbDISel->currentIndex();
    return slot >= 0 && slot < form.DIAlarmText.size() ? slot : -1;
}

void showSelectedDIAlarmText(FormMain &form)
{
    const int slot = selectedDIAlarmSlot(form);
    if (slot >= 0)
        form.ui.txtDIAlarm->setPlainText(untilFirstNul(form.DIAlarmText[slot]));
}

} // namespace alarmcfg
