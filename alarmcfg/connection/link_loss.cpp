#include "connection/link_loss.h"

#include "window/form_main.h"

#include "modbus/modbus.h"

#include <QPushButton>

namespace alarmcfg {

namespace {

void closePortQuietly(modbus &port)
{
    try {
        port.ClosePort();
    } catch (const SerialPortError &) {
        // The device is gone; there is nothing left to close.
    }
}
} // namespace

QString connectionLostMessage(const QString &reason)
{
    return reason.isEmpty() ? portFailureMessage : portFailureMessage + QLatin1Char('\n') + reason;
}

void dropConnection(FormMain &form, const QString &message)
{
    closePortQuietly(*form.modbus1);
    form.Timer1->setEnabled(false);
    form.Timer2->setEnabled(false);
    form.ui.cmdConnect->setText(disconnectedCaption);
    form.IsConnected = false;
    form.showMessage(message);
}

} // namespace alarmcfg
