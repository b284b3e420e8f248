#include "connection/port_choice.h"

#include "window/form_main.h"
#include "window/widget_state.h"

#include "modbus/modbus.h"
#include "modbus/port_directory.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSettings>

namespace alarmcfg {

namespace {

const QString noDevice = QStringLiteral("未找到串口设备");
const QString lastPortKey = QStringLiteral("port/last");

// A device path, or a device server's address, that can be typed in place of a list item.
bool isTypedDeviceName(const QString &text)
{
    return QDir::isAbsolutePath(text) || deviceServerAddress(text).has_value();
}

// n of "COMn" in any case; 0 for anything else.
int comNumber(const QString &text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^COM([1-9][0-9]{0,2})$"), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(text.trimmed());
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

// Text typed into the box that names a device rather than a list item.
QString typedDevicePath(const FormMain &form)
{
    const QString text = form.ui.cmbComSel->currentText().trimmed();
    return selectedIndex(form.ui.cmbComSel) < 0 && isTypedDeviceName(text) ? text : QString();
}

// The list position plus 1, or n of a typed COMn beyond the list (Windows numbers its ports as it
// pleases); 0 for other typed text, a device path among it.
int chosenPortNumber(const FormMain &form)
{
    const int index = selectedIndex(form.ui.cmbComSel);
    if (index >= 0)
        return index + 1;
    const QString text = form.ui.cmbComSel->currentText();
    const int number = isPortName(text) ? comNumber(text) : 0;
    return number > listedPortCount ? number : 0;
}

SerialDevice chosenSerialDevice(const FormMain &form)
{
    const int number = chosenPortNumber(form);
    if (number > 0)
        return form.portDirectory.port(number);
    return {typedDevicePath(form), {}};
}

QString tooltipOf(const SerialDevice &device)
{
    if (device.path.isEmpty())
        return noDevice;
    if (device.description.isEmpty())
        return device.path;
    return device.path + QLatin1Char('\n') + device.description;
}

void showChosenDevice(FormMain &form)
{
    const SerialDevice device = chosenSerialDevice(form);
    const int index = selectedIndex(form.ui.cmbComSel);
    const QString port =
        index >= 0 ? form.ui.cmbComSel->itemText(index) + QStringLiteral("：") : QString();
    form.ui.lblPort->setText(port + (device.path.isEmpty() ? noDevice : device.path));
    form.ui.lblPort->setToolTip(tooltipOf(device));
    const QString note = form.portDirectory.presentPortsNote();
    form.ui.cmbComSel->setToolTip(tooltipOf(device) + (note.isEmpty() ? QString() : QLatin1Char('\n') + note));
}

// Refreshes the tooltips whenever the list of ports is about to be seen.
class PortListWatcher : public QObject {
public:
    explicit PortListWatcher(FormMain &form) : QObject(&form), form_(form) {}

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            showPortDevices(form_);
        return false;
    }

private:
    FormMain &form_;
};

} // namespace

bool isPortName(const QString &port)
{
    const int number = comNumber(port);
#ifdef Q_OS_WIN
    if (number > 0)
        return true;
#else
    if (number > 0 && number <= listedPortCount)
        return true;
#endif
    return isTypedDeviceName(port.trimmed());
}

void showPortDevices(FormMain &form)
{
    QComboBox *box = form.ui.cmbComSel;
    for (int index = 0; index < box->count(); ++index)
        box->setItemData(index, tooltipOf(form.portDirectory.port(index + 1)), Qt::ToolTipRole);
    showChosenDevice(form);
}

void watchPortChoice(FormMain &form)
{
    QComboBox *box = form.ui.cmbComSel;
    QObject::connect(box, &QComboBox::currentTextChanged, &form, [&form] { showChosenDevice(form); });
    box->view()->installEventFilter(new PortListWatcher(form));
}

void applyChosenPort(FormMain &form)
{
    form.modbus1->setCommPort(chosenPortNumber(form));
    form.modbus1->setDevicePath(typedDevicePath(form));
}

QString shownPortName(const QString &port)
{
    const int number = comNumber(port);
    return number > 0 && number <= listedPortCount ? QStringLiteral("COM%1").arg(number) : port.trimmed();
}

void applyPort(modbus &component, const QString &port)
{
    const QString name = port.trimmed();
    component.setCommPort(isPortName(name) ? comNumber(name) : 0);
    component.setDevicePath(isTypedDeviceName(name) ? name : QString());
}

QString chosenDevice(const FormMain &form)
{
    return chosenSerialDevice(form).path;
}

bool preselectPort(FormMain &form, const QString &port)
{
    QComboBox *box = form.ui.cmbComSel;
    const int index = box->findText(port.trimmed(), Qt::MatchFixedString);
    if (index >= 0)
        box->setCurrentIndex(index);
    else if (isPortName(port))
        box->setEditText(port.trimmed());
    else
        return false;
    return true;
}

void rememberPort(FormMain &form)
{
    if (form.settings)
        form.settings->setValue(lastPortKey, form.ui.cmbComSel->currentText().trimmed());
}

void preselectRememberedPort(FormMain &form)
{
    if (form.settings)
        preselectPort(form, form.settings->value(lastPortKey).toString());
}

} // namespace alarmcfg
