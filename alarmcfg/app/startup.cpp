#include "app/startup.h"

#include "connection/port_choice.h"
#include "editing/di_alarm_texts.h"
#include "editing/factory_defaults.h"
#include "window/form_main.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace alarmcfg {

namespace {

void fillAndSelectFirst(QComboBox *box, const QStringList &items)
{
    box->clear();
    box->addItems(items);
    box->setCurrentIndex(0);
}

QStringList comPortItems()
{
    QStringList items;
    for (int port = 1; port <= listedPortCount; ++port)
        items << QStringLiteral("COM%1").arg(port);
    return items;
}

void loadConversionDefaults(FormMain &form)
{
    for (QComboBox *box : form.ui.cmbRangeSel)
        fillAndSelectFirst(box, form.edition().rangeItems);
    for (QLineEdit *box : form.ui.txtAIRange)
        box->setText(form.edition().startupFullScale);
}

} // namespace

void FormMain_Load(FormMain &form)
{
    fillAndSelectFirst(form.ui.cmbComSel, comPortItems());
    showPortDevices(form);
    setDefaultDIAlarmTexts(form, form.edition().diAlarmStartupSlots);
    fillAndSelectFirst(form.ui.cmbDISel, diChannelItems());
    form.ui.txtDIAlarm->setPlainText(form.DIAlarmText[0]);
    loadConversionDefaults(form);
    for (int relay = 0; relay < form.edition().relayCount; ++relay)
        showDefaultRelayTexts(form, relay);
}

} // namespace alarmcfg
