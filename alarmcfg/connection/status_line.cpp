#include "connection/status_line.h"

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
    const FormMain::RequestTally &tally = form.requestTally;
    if (tally.unanswered == 0)
        return {};
    return QStringLiteral("（%1 个请求中 %2 个失败）").arg(tally.sent).arg(tally.unanswered);
}

} // namespace alarmcfg
