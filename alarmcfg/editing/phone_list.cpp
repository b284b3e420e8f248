#include "editing/phone_list.h"

#include "window/form_main.h"
#include "window/widget_state.h"

#include <QLineEdit>
#include <QListWidget>

namespace alarmcfg {

void cmdAddPhone_Click(FormMain &form)
{
    const QString number = form.ui.txtPhone->text();
    if (characterCount(number) != phoneNumberLength) {
        form.showMessage(phoneLengthMessage);
        pointAt(form.ui.txtPhone);
        return;
    }
    // A read-back can leave more entries than may be added by hand.
    if (form.ui.lstPhone->count() >= maxPhoneNumbers) {
        form.showMessage(phoneListFullMessage);
        return;
    }
    form.ui.lstPhone->addItem(number);
}

void cmdDelPhone_Click(FormMain &form)
{
    QListWidget *list = form.ui.lstPhone;
    const QList<QListWidgetItem *> selected = list->selectedItems();
    if (selected.isEmpty()) {
        form.showMessage(selectPhoneMessage);
        return;
    }
    delete list->takeItem(list->row(selected.front()));
    // Nothing stays selected, so a second press cannot remove the next number unseen.
    list->setCurrentRow(-1);
    list->clearSelection();
}

} // namespace alarmcfg
