#include "window/window_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace alarmcfg {

namespace {

QPixmap iconImage(int side)
{
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(side / 32.0, side / 32.0);

    // Bubble with a tail towards the lower left.
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(2, 3, 28, 20), 5, 5);
    QPainterPath tail;
    tail.moveTo(7, 21);
    tail.lineTo(5, 29);
    tail.lineTo(14, 21);
    tail.closeSubpath();
    painter.setPen(QPen(QColor(0x00, 0x00, 0x80), 1.5));
    painter.setBrush(QColor(0x00, 0x80, 0xFF));
    painter.drawPath(bubble.united(tail));

    // Exclamation mark: the alarm.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xFF, 0xFF, 0x00));
    painter.drawRoundedRect(QRectF(14, 6, 4, 10), 1.5, 1.5);
    painter.drawEllipse(QRectF(14, 17.5, 4, 4));
    return pixmap;
}

} // namespace

QIcon applicationIcon()
{
    QIcon icon;
    icon.addPixmap(iconImage(16));
    icon.addPixmap(iconImage(32));
    return icon;
}

} // namespace alarmcfg
