#include "connection/status_line.h"

#include "connection/controller_link.h"
#include "window/form_main.h"

#include <QApplication>
#include <QLabel>

namespace alarmcfg {

void showStatus(FormMain &form, const QString &text)
{
    form.ui.lblStatus->setText(text);
    form.ui.lblStatus->repaint();
}

BusyStep::BusyStep(FormMain &form, const QString &step)
{
    form.requestTally = {};
    QApplication::setOverrideCursor(Qt::WaitCursor);
    showStatus(form, step);
}

BusyStep::~BusyStep()
{
    QApplication::restoreOverrideCursor();
}

QString failureNote(const FormMain &form)
{
    return failureNote(form.requestTally);
}

} // namespace alarmcfg
