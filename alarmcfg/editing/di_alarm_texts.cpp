#include "editing/di_alarm_texts.h"

#include "connection/read_back_decoding.h"
#include "window/form_main.h"
#include "window/widget_state.h"

#include <QComboBox>
#include <QPlainTextEdit>

namespace alarmcfg {

QString defaultDIAlarmText(int slot)
{
    return QStringLiteral("数字通道") + QString::number(slot + 1) + QStringLiteral("报警");
}

void setDefaultDIAlarmTexts(FormMain &form, int slotCount)
{
    for (int slot = 0; slot < slotCount; ++slot)
        form.DIAlarmText[slot] = defaultDIAlarmText(slot);
}

QStringList diChannelItems()
{
    QStringList items;
    for (int channel = 1; channel <= diChannelCount; ++channel)
        items << QStringLiteral("数字通道") + QString::number(channel);
    return items;
}

void cmbDISel_Click(FormMain &form)
{
    showSelectedDIAlarmText(form);
}

void txtDIAlarm_Change(FormMain &form)
{
    const int slot = selectedDIAlarmSlot(form);
    if (slot >= 0)
        form.DIAlarmText[slot] = form.ui.txtDIAlarm->toPlainText();
}

void cmbDISel_EditingFinished(FormMain &form)
{
    QComboBox *box = form.ui.cmbDISel;
    const int typed = selectedIndex(box);
    if (typed >= 0)
        box->setCurrentIndex(typed);
    else if (box->currentIndex() >= 0)
        box->setEditText(box->itemText(box->currentIndex()));
}

} // namespace alarmcfg
