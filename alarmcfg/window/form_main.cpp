#include "window/form_main.h"

#include "window/window_icon.h"
#include "window/window_layout.h"

#include "modbus/modbus.h"

#include <QApplication>
#include <QLayout>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>

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
    keepGroupsWhole();
    resize(sizeHint());
}

FormMain::~FormMain() = default;

// The groups keep the outline's client area, or what larger fonts need: a smaller window
// scrolls them rather than squeezing their texts.
void FormMain::keepGroupsWhole()
{
    QWidget *groups = ui.clientArea->widget();
    const QSize outline(edition_.clientWidthTwips / twipsPerPixel,
                        edition_.clientHeightTwips / twipsPerPixel - ui.StatusBar1->sizeHint().height());
    groups->setMinimumSize(outline.expandedTo(groups->minimumSizeHint()));
}

// The whole groups with the status line below them and a menu bar, when there is one, above.
QSize FormMain::sizeHint() const
{
    const QWidget *menuBar = layout() ? layout()->menuBar() : nullptr;
    const int bars = ui.StatusBar1->sizeHint().height() + (menuBar ? menuBar->sizeHint().height() : 0);
    return ui.clientArea->widget()->minimumSize() + QSize(0, bars);
}

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
    QApplication::setOverrideCursor(Qt::ArrowCursor); // over a busy operation that asks
    box.exec();
    QApplication::restoreOverrideCursor();
}

void FormMain::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!centred_) {
        centred_ = true;
        centreOnScreen();
    }
}

// A screen smaller than the window (a laptop at 150 % scaling) gets a window that fits it; the
// groups scroll inside.
void FormMain::centreOnScreen()
{
    const QScreen *target = screen();
    if (!target)
        return;
    const QRect available = target->availableGeometry();
    const QSize decoration = frameGeometry().size() - size();
    resize(size().boundedTo(available.size() - decoration));
    QRect frame = frameGeometry();
    frame.moveCenter(available.center());
    move(frame.topLeft());
}

} // namespace alarmcfg
