#pragma once

#include <QColor>

#include <QWidget>

class QComboBox;
class QPushButton;

namespace alarmcfg {

// Colour of an active input or a closed relay.
inline constexpr QRgb indicatorGreen = 0x00FF00;

// Paints an indicator button green or in the normal button face.
void setIndicator(QPushButton *button, bool on);
// The background colour the button was last given (the button face when never set).
QColor indicatorColor(const QPushButton *button);
// The platform's button-face colour for this button.
QColor buttonFaceColor(const QPushButton *button);

// Index of the list item the box shows, or -1 when its text was typed over with something that
// is no list item.
int selectedIndex(const QComboBox *box);

// Puts the keyboard focus on a box and selects its text, so the user can correct it at once.
// For any box with selectAll (line and text edits).
template <class Box>
void pointAt(Box *box)
{
    box->setFocus(Qt::OtherFocusReason);
    box->selectAll();
}

} // namespace alarmcfg
