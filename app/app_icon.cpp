#include "app/app_icon.h"

#include <QPainter>
#include <QPixmap>

namespace app {

QIcon AppIcon() {
    QIcon icon;
    for (const int size : {16, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal unit = size / 16.0;
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x20, 0x40, 0x80));
        painter.drawRoundedRect(QRectF(1 * unit, 7 * unit, 14 * unit, 8 * unit), unit, unit);
        painter.setBrush(QColor(0xF0, 0xB0, 0x20));
        painter.drawRoundedRect(QRectF(3 * unit, 1 * unit, 10 * unit, 7 * unit), unit, unit);
        painter.setBrush(QColor(0x60, 0xC0, 0x60));
        painter.drawEllipse(QPointF(12 * unit, 11 * unit), 1.2 * unit, 1.2 * unit);
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace app
