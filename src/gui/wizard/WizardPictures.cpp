#include "gui/wizard/WizardPictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

const QColor kInk(0x20, 0x20, 0x20);
const QColor kCase(0xd8, 0xd8, 0xd0);
const QColor kController(0x1f, 0x4e, 0x8c);
const QColor kCable(0x50, 0x50, 0x58);
const QColor kUsbCable(0x30, 0x30, 0x30);
const QColor kMetal(0xa8, 0xad, 0xb4);

// The face of a 9-pin D-sub connector (five pins over four), centred on centre, wider side up.
void DrawDb9Face(QPainter& painter, QPointF centre, qreal width) {
    const qreal height = width * 0.45;
    QPainterPath shell;
    shell.moveTo(centre.x() - width / 2, centre.y() - height / 2);
    shell.lineTo(centre.x() + width / 2, centre.y() - height / 2);
    shell.lineTo(centre.x() + width * 0.40, centre.y() + height / 2);
    shell.lineTo(centre.x() - width * 0.40, centre.y() + height / 2);
    shell.closeSubpath();
    painter.setPen(QPen(kInk, 1));
    painter.setBrush(kMetal);
    painter.drawPath(shell);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kInk);
    const qreal pitch = width * 0.16;
    for (int i = 0; i < 5; ++i)
        painter.drawEllipse(QPointF(centre.x() + (i - 2) * pitch, centre.y() - height * 0.18), 1.3, 1.3);
    for (int i = 0; i < 4; ++i)
        painter.drawEllipse(QPointF(centre.x() + (i - 1.5) * pitch, centre.y() + height * 0.20), 1.3, 1.3);
}

// The hood of a plug where its cable meets a device.
void DrawHood(QPainter& painter, QRectF hood, QColor colour) {
    painter.setPen(QPen(kInk, 1));
    painter.setBrush(colour);
    painter.drawRoundedRect(hood, 2, 2);
}

void DrawLabel(QPainter& painter, QRectF box, const QString& text, int pointSize, bool bold = false) {
    QFont font = painter.font();
    font.setPointSize(pointSize);
    font.setBold(bold);
    painter.setFont(font);
    painter.setPen(kInk);
    painter.drawText(box, Qt::AlignCenter, text);
}

} // namespace

QPixmap WizardConnectionPicture() {
    QPixmap pixmap(kConnectionPictureWidth, kConnectionPictureHeight);
    pixmap.fill(Qt::white);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);

    // The PC: a tower with its drive bays and power button, its connector panel on the right.
    const QRectF tower(14, 14, 66, 128);
    painter.setPen(QPen(kInk, 1.5));
    painter.setBrush(kCase);
    painter.drawRoundedRect(tower, 4, 4);
    painter.setBrush(QColor(0xb8, 0xb8, 0xb0));
    for (int i = 0; i < 2; ++i)
        painter.drawRect(QRectF(tower.left() + 9, tower.top() + 12 + i * 14, tower.width() - 18, 9));
    painter.setBrush(QColor(0x40, 0xa0, 0x40));
    painter.drawEllipse(QPointF(tower.center().x(), tower.bottom() - 18), 5, 5);
    DrawLabel(painter, QRectF(tower.left(), tower.bottom() + 2, tower.width(), 16), "PC", 9, true);

    // The controller: a module with its terminal block, status lamps and a COM and a USB port on the left.
    const QRectF controller(306, 22, 80, 120);
    painter.setPen(QPen(kInk, 1.5));
    painter.setBrush(kController);
    painter.drawRoundedRect(controller, 5, 5);
    painter.setBrush(QColor(0x2e, 0x8b, 0x3e));
    painter.drawRect(QRectF(controller.left() + 8, controller.top() - 8, controller.width() - 16, 10));
    painter.setBrush(kMetal);
    for (int i = 0; i < 6; ++i)
        painter.drawEllipse(QPointF(controller.left() + 14 + i * 10.4, controller.top() - 3), 2.2, 2.2);
    const QColor lamps[] = {QColor(0x60, 0xe0, 0x60), QColor(0xf0, 0xc0, 0x30), QColor(0xe0, 0x50, 0x40)};
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 3; ++i) {
        painter.setBrush(lamps[i]);
        painter.drawEllipse(QPointF(controller.right() - 14, controller.top() + 18 + i * 12), 3, 3);
    }
    painter.setPen(Qt::white);
    {
        QFont font = painter.font();
        font.setPointSize(9);
        font.setBold(true);
        painter.setFont(font);
        painter.drawText(QRectF(controller.left(), controller.bottom() - 24, controller.width(), 18),
                         Qt::AlignCenter, "DXU");
    }
    DrawLabel(painter, QRectF(controller.left() - 10, controller.bottom() + 2, controller.width() + 20, 16),
              "Controller", 9, true);

    // COM: a null-modem cable with a DB9 connector at either end.
    const qreal comY = 56;
    DrawDb9Face(painter, QPointF(tower.right() - 16, comY), 22);
    DrawDb9Face(painter, QPointF(controller.left() + 16, comY), 22);
    painter.setPen(QPen(kCable, 5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(tower.right() + 22, comY), QPointF(controller.left() - 22, comY));
    DrawHood(painter, QRectF(tower.right(), comY - 9, 24, 18), kMetal);
    DrawHood(painter, QRectF(controller.left() - 24, comY - 9, 24, 18), kMetal);
    DrawLabel(painter, QRectF(150, comY - 26, 100, 16), "COM", 10, true);
    DrawLabel(painter, QRectF(110, comY + 8, 180, 14), "RS-232 null-modem cable, DB9", 7);

    // USB: a cable from the PC's flat plug to the controller's square one.
    const qreal usbY = 116;
    painter.setPen(QPen(kInk, 1));
    painter.setBrush(kInk);
    painter.drawRect(QRectF(tower.right() - 24, usbY - 3, 14, 6));
    painter.drawRect(QRectF(controller.left() + 8, usbY - 5, 10, 10));
    QPainterPath usbCable;
    usbCable.moveTo(tower.right() + 26, usbY);
    usbCable.cubicTo(170, usbY + 22, 230, usbY - 22, controller.left() - 22, usbY);
    painter.setPen(QPen(kUsbCable, 4, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(usbCable);
    DrawHood(painter, QRectF(tower.right(), usbY - 6, 26, 12), QColor(0x70, 0x70, 0x78));
    DrawHood(painter, QRectF(controller.left() - 22, usbY - 8, 22, 16), QColor(0x70, 0x70, 0x78));
    DrawLabel(painter, QRectF(150, usbY + 10, 100, 16), "USB", 10, true);
    DrawLabel(painter, QRectF(110, usbY + 26, 180, 14), "USB cable (DXU with USB)", 7);
    return pixmap;
}

QPixmap WizardWelcomePicture() {
    const qreal w = kWelcomePictureWidth;
    const qreal h = kWelcomePictureHeight;
    QPixmap pixmap(kWelcomePictureWidth, kWelcomePictureHeight);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, QColor(0x10, 0x2a, 0x52));
    sky.setColorAt(1, QColor(0x1f, 0x6e, 0x8c));
    painter.fillRect(QRectF(0, 0, w, h), sky);

    // Circuit traces running down to the controller.
    painter.setPen(QPen(QColor(0x6f, 0xc3, 0xd6, 110), 2));
    for (int i = 0; i < 5; ++i) {
        const qreal x = 14 + i * 25;
        QPainterPath trace;
        trace.moveTo(x, 0);
        trace.lineTo(x, 30 + i * 9);
        trace.lineTo(w / 2 + (i - 2) * 8, 70 + i * 6);
        trace.lineTo(w / 2 + (i - 2) * 8, 148);
        painter.drawPath(trace);
        painter.setBrush(QColor(0x9c, 0xd3, 0x6b));
        painter.drawEllipse(QPointF(x, 30 + i * 9), 2.5, 2.5);
        painter.setBrush(Qt::NoBrush);
    }

    // A download arrow into a controller module.
    QPainterPath arrow;
    arrow.moveTo(w / 2 - 13, 86);
    arrow.lineTo(w / 2 + 13, 86);
    arrow.lineTo(w / 2 + 13, 122);
    arrow.lineTo(w / 2 + 27, 122);
    arrow.lineTo(w / 2, 150);
    arrow.lineTo(w / 2 - 27, 122);
    arrow.lineTo(w / 2 - 13, 122);
    arrow.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xe8, 0x8a, 0x1a));
    painter.drawPath(arrow);

    const QRectF module(18, 156, w - 36, 52);
    painter.setPen(QPen(QColor(0xe0, 0xe8, 0xf0), 1.5));
    painter.setBrush(QColor(0x0c, 0x1c, 0x36));
    painter.drawRoundedRect(module, 5, 5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x9c, 0xd3, 0x6b));
    for (int i = 0; i < 4; ++i)
        painter.drawRect(QRectF(module.left() + 10 + i * 14, module.bottom() - 16, 8, 8));
    painter.setBrush(QColor(0x60, 0xe0, 0x60));
    painter.drawEllipse(QPointF(module.right() - 12, module.top() + 12), 3.5, 3.5);
    return pixmap;
}
