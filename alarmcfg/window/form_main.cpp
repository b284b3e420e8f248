#include "window/form_main.h"

#include "window/window_icon.h"
#include "window/window_layout.h"

#include "modbus/modbus.h"

#include <QMessageBox>
#include <QScreen>

#include <algorithm>

namespace alarmcfg {

namespace {

constexpr int twipsPerPixel = 15; // at 96 dpi

modbus *makeModbus(std::unique_ptr<SerialPort> port, QObject *parent)
{
    auto *component = port ? new modbus(std::move(port), parent) : new modbus(parent);
    component->setObjectName(QStringLiteral("modbus1"));
    return component;
}

PeriodicTimer *makeTimer(const QString &name, QObject *parent)
{
    auto *timer = new PeriodicTimer(parent);
    timer->setObjectName(name);
    return timer;
}

} // namespace

FormMain::FormMain(const Edition &edition, std::unique_ptr<SerialPort> port, QWidget *parent)
    : QWidget(parent),
      Timer1(makeTimer(QStringLiteral("Timer1"), this)),
      Timer2(makeTimer(QStringLiteral("Timer2"), this)),
      modbus1(makeModbus(std::move(port), this)),
      DIAlarmText(diAlarmSlotCount),
      edition_(edition)
{
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(caption);
    setWindowIcon(applicationIcon());
    ui = buildWindow(this, edition_);
    modbus1->setMessageSink([this](const QString &text) { showMessage(text); });
    resize(size().expandedTo(QSize(edition_.clientWidthTwips, edition_.clientHeightTwips)
                             / twipsPerPixel)
               .expandedTo(sizeHint()));
}

FormMain::~FormMain() = default;

void FormMain::showMessage(const QString &text)
{
    if (messageSink_)
        messageSink_(text);
    else
        showMessageBox(text);
}

void FormMain::setMessageSink(MessageSink sink)
{
    messageSink_ = std::move(sink);
}

void FormMain::endProgram()
{
    ending_ = true;
    if (programEnd_)
        programEnd_();
}

void FormMain::setProgramEnd(ProgramEnd end)
{
    programEnd_ = std::move(end);
}

void FormMain::showMessageBox(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, windowTitle(), text, QMessageBox::Ok, this);
    box.exec();
}

void FormMain::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!centred_) {
        centred_ = true;
        centreOnScreen();
    }
}

void FormMain::centreOnScreen()
{
    const QScreen *target = screen();
    if (!target)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(target->availableGeometry().center());
    move(frame.topLeft());
}

} // namespace alarmcfg
