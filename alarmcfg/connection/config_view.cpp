#include "connection/config_view.h"

#include "connection/read_back_decoding.h"
#include "editions/config_decoding.h"
#include "window/form_main.h"
#include "window/widget_state.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

#include <array>

namespace alarmcfg {

namespace {

// The boxes and the values of each numeric block the window edits as text.
struct NumberBoxes {
    Field field;
    std::vector<QLineEdit *> Controls::*boxes;
    QVector<qint16> ControllerConfig::*values;
};

const std::array<NumberBoxes, 4> numberBoxes{{
    {Field::ActionTimes, &Controls::txtTime, &ControllerConfig::actionTimes},
    {Field::Limits, &Controls::txtAdc, &ControllerConfig::limits},
    {Field::Calibration, &Controls::txtTHCalc, &ControllerConfig::calibration},
    {Field::FullScale, &Controls::txtAIRange, &ControllerConfig::fullScale},
}};

using RelayBoxes = std::pair<std::vector<QLineEdit *> Controls::*, QString RelayConfig::*>;
const std::array<RelayBoxes, 4> relayBoxes{{
    {&Controls::txtOpen, &RelayConfig::open},
    {&Controls::txtClose, &RelayConfig::close},
    {&Controls::txtAnswer, &RelayConfig::openReply},
    {&Controls::txtCAnswer, &RelayConfig::closeReply},
}};

std::array<QCheckBox *, 3> optionBoxes(const Controls &ui)
{
    return {ui.chkHold, ui.chkPhoneAlarm, ui.chkAnswer};
}

void collectNumbers(const Controls &ui, CollectedConfig &collected)
{
    for (const NumberBoxes &block : numberBoxes) {
        QVector<qint16> &values = collected.config.*block.values;
        const std::vector<QLineEdit *> &boxes = ui.*block.boxes;
        for (int k = 0; k < int(std::min(values.size(), qsizetype(boxes.size()))); ++k) {
            const std::optional<qint16> value = registerValueOfText(boxes[k]->text());
            if (!value)
                collected.numbersOutOfRange.push_back({WriteMessages::numberOutOfRange, block.field, k});
            values[k] = value.value_or(0);
        }
    }
}

} // namespace

CollectedConfig collectConfig(const FormMain &form)
{
    const Controls &ui = form.ui;
    CollectedConfig collected{blankConfig(form.edition()), {}};
    ControllerConfig &config = collected.config;
    if (form.IsConnected)
        config.firmware = ui.lblVertion->text();
    config.password = ui.txtMiMa->text();
    for (std::size_t relay = 0; relay < config.relays.size(); ++relay)
        for (const auto &[boxes, text] : relayBoxes)
            config.relays[relay].*text = (ui.*boxes).at(relay)->text();
    for (std::size_t k = 0; k < config.allCommands.size(); ++k)
        config.allCommands[k] = ui.txtAllCmd.at(k)->text();
    for (int k = 0; k < config.inputAlarmTexts.size(); ++k)
        config.inputAlarmTexts[k] = form.DIAlarmText.at(k);
    for (int row = 0; row < ui.lstPhone->count(); ++row)
        config.phones << ui.lstPhone->item(row)->text();
    for (int k = 0; k < config.alarmTexts.size(); ++k)
        config.alarmTexts[k] = ui.txtTHAlmMsg.at(std::size_t(k))->text();
    collectNumbers(ui, collected);
    for (int c = 0; c < config.rangeIndexes.size(); ++c)
        config.rangeIndexes[c] = selectedIndex(ui.cmbRangeSel.at(std::size_t(c)));
    if (form.edition().hasOptions)
        for (std::size_t i = 0; i < config.options.size(); ++i)
            config.options[i] = optionBoxes(ui)[i]->checkState() == Qt::Checked;
    return collected;
}

void showConfig(FormMain &form, const ControllerConfig &config)
{
    Controls &ui = form.ui;
    ui.txtMiMa->setText(config.password);
    for (std::size_t relay = 0; relay < config.relays.size(); ++relay)
        for (const auto &[boxes, text] : relayBoxes)
            (ui.*boxes).at(relay)->setText(config.relays[relay].*text);
    for (std::size_t k = 0; k < config.allCommands.size(); ++k)
        if (config.allCommands[k])
            ui.txtAllCmd.at(k)->setText(*config.allCommands[k]);
    for (int k = 0; k < config.inputAlarmTexts.size(); ++k)
        form.DIAlarmText[k] = config.inputAlarmTexts[k];
    ui.lstPhone->clear();
    ui.lstPhone->addItems(config.phones);
    for (int k = 0; k < config.alarmTexts.size(); ++k)
        ui.txtTHAlmMsg.at(std::size_t(k))->setText(config.alarmTexts[k]);
    for (const NumberBoxes &block : numberBoxes) {
        const QVector<qint16> &values = config.*block.values;
        for (int k = 0; k < int(std::min(values.size(), qsizetype((ui.*block.boxes).size()))); ++k)
            (ui.*block.boxes)[k]->setText(QString::number(values[k]));
    }
    for (int c = 0; c < config.rangeIndexes.size(); ++c)
        ui.cmbRangeSel.at(std::size_t(c))->setCurrentIndex(config.rangeIndexes[c]);
    if (form.edition().hasOptions)
        for (std::size_t i = 0; i < config.options.size(); ++i)
            optionBoxes(ui)[i]->setChecked(config.options[i]);
    showSelectedDIAlarmText(form);
}

} // namespace alarmcfg
