#include "app/port_choice.h"

#include "window/form_main.h"

#include <QComboBox>
#include <QRegularExpression>

namespace alarmcfg {

void preselectPort(FormMain &form, const QString &port)
{
    if (port.isEmpty())
        return;
    static const QRegularExpression comName(
        QStringLiteral("^com\\d+$"), QRegularExpression::CaseInsensitiveOption);
    form.ui.cmbComSel->setCurrentText(comName.match(port).hasMatch() ? port.toUpper() : port);
}

} // namespace alarmcfg
