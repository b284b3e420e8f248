#include "editing/di_alarm_texts.h"

#include "window/form_main.h"
#include "window/widget_state.h"

#include <QComboBox>
#include <QPlainTextEdit>

namespace alarmcfg {

namespace {

// The selector keeps its list selection while its text is typed over, so the slot is always
// that of the entry last chosen; -1 only while the list is empty.
int selectedSlot(const FormMain &form)
{
    const int slot = form.ui.cmbDISel->currentIndex();
    return slot >= 0 && slot < form.DIAlarmText.size() ? slot : -1;
}

QString upToFirstNul(const QString &text)
{
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.left(nul);
}

} // namespace

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
    const int slot = selectedSlot(form);
    if (slot >= 0)
        form.ui.txtDIAlarm->setPlainText(upToFirstNul(form.DIAlarmText[slot]));
}

void txtDIAlarm_Change(FormMain &form)
{
    const int slot = selectedSlot(form);
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
