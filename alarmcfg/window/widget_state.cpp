#include "window/widget_state.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>

namespace alarmcfg {

void setIndicator(QPushButton *button, bool on)
{
    QPalette palette = button->palette();
    palette.setColor(QPalette::Button, on ? QColor(indicatorGreen) : buttonFaceColor(button));
    button->setPalette(palette);
}

QColor indicatorColor(const QPushButton *button)
{
    return button->palette().color(QPalette::Button);
}

QColor buttonFaceColor(const QPushButton *button)
{
    return QApplication::palette(button).color(QPalette::Button);
}

int selectedIndex(const QComboBox *box)
{
    const QString shown = box->currentText();
    const int current = box->currentIndex();
    if (current >= 0 && box->itemText(current) == shown)
        return current;
    return box->findText(shown, Qt::MatchExactly | Qt::MatchCaseSensitive);
}

} // namespace alarmcfg
