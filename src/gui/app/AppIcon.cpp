#include "gui/app/AppIcon.h"

#include <QPainter>
#include <QPainterPath>

QImage AppIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    // A controller box with a download arrow into it; resources/dravik.svg draws the same on a grid of 100.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x1f, 0x4e, 0x8c));
    painter.drawRoundedRect(QRectF(s * 0.06, s * 0.38, s * 0.88, s * 0.56), s * 0.08, s * 0.08);
    painter.setBrush(QColor(0x9c, 0xd3, 0x6b));
    for (int i = 0; i < 3; ++i)
        painter.drawRect(QRectF(s * (0.18 + i * 0.14), s * 0.74, s * 0.08, s * 0.08));
    QPainterPath arrow;
    arrow.moveTo(s * 0.42, s * 0.04);
    arrow.lineTo(s * 0.58, s * 0.04);
    arrow.lineTo(s * 0.58, s * 0.30);
    arrow.lineTo(s * 0.72, s * 0.30);
    arrow.lineTo(s * 0.50, s * 0.56);
    arrow.lineTo(s * 0.28, s * 0.30);
    arrow.lineTo(s * 0.42, s * 0.30);
    arrow.closeSubpath();
    painter.setBrush(QColor(0xe8, 0x8a, 0x1a));
    painter.drawPath(arrow);
    painter.end();
    return image;
}

QPixmap AppIconPixmap(int size) {
    return QPixmap::fromImage(AppIconImage(size));
}

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64})
        icon.addPixmap(AppIconPixmap(size));
    return icon;
}
