#include "editing/factory_defaults.h"

#include "editing/di_alarm_texts.h"
#include "editing/write_parameters.h"
#include "window/form_main.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>

namespace alarmcfg {

namespace {

const QString factoryActionTime = QStringLiteral("0");

void setTexts(const std::vector<QLineEdit *> &boxes, const QStringList &texts)
{
    for (qsizetype k = 0; k < texts.size(); ++k)
        boxes.at(std::size_t(k))->setText(texts[k]);
}

// Channel 1 selected and shown; the handlers store the shown text back unchanged.
void showFirstDIChannel(FormMain &form)
{
    QComboBox *selector = form.ui.cmbDISel;
    selector->setCurrentIndex(0);
    selector->setEditText(selector->itemText(0));
    form.ui.txtDIAlarm->setPlainText(form.DIAlarmText[0]);
}

void setFactoryRelay(FormMain &form, int relay)
{
    showDefaultRelayTexts(form, relay);
    form.ui.txtTime.at(std::size_t(relay))->setText(factoryActionTime);
}

void selectRange(FormMain &form, int index)
{
    for (QComboBox *box : form.ui.cmbRangeSel) {
        box->setCurrentIndex(index);
        box->setEditText(box->itemText(index));
    }
}

void setFactoryPhoneList(FormMain &form, const QString &number)
{
    form.ui.lstPhone->clear();
    form.ui.lstPhone->addItem(number);
}

// In the order the values are set: alarm texts, relays, calibration, limits, SMS texts, range,
// full scale, phone list, password. All-commands, options and txtPhone keep what they hold.
void showFactoryValues(FormMain &form)
{
    const FactoryValues &factory = form.edition().factory;
    setDefaultDIAlarmTexts(form, factory.diAlarmSlots);
    showFirstDIChannel(form);
    for (int relay = 0; relay < form.edition().relayCount; ++relay)
        setFactoryRelay(form, relay);
    setTexts(form.ui.txtTHCalc, factory.calibration);
    setTexts(form.ui.txtAdc, factory.limits);
    setTexts(form.ui.txtTHAlmMsg, factory.alarmTexts);
    if (factory.rangeIndex)
        selectRange(form, *factory.rangeIndex);
    setTexts(form.ui.txtAIRange, factory.fullScale);
    setFactoryPhoneList(form, factory.phone);
    form.ui.txtMiMa->setText(factory.password);
}

} // namespace

RelayTexts defaultRelayTexts(int relay)
{
    const QString device = QStringLiteral("设备") + QString::number(relay + 1);
    return {device + QStringLiteral("开"), device + QStringLiteral("关"),
            device + QStringLiteral("开启成功"), device + QStringLiteral("关闭成功")};
}

void showDefaultRelayTexts(FormMain &form, int relay)
{
    const RelayTexts texts = defaultRelayTexts(relay);
    form.ui.txtOpen.at(relay)->setText(texts.open);
    form.ui.txtClose.at(relay)->setText(texts.close);
    form.ui.txtAnswer.at(relay)->setText(texts.answer);
    form.ui.txtCAnswer.at(relay)->setText(texts.closeAnswer);
}

void Command1_Click(FormMain &form)
{
    showFactoryValues(form);
    cmdRelayWrite_Click(form);
}

} // namespace alarmcfg
