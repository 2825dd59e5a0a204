// Dialog templates are laid out in dialog units: a quarter of the font's average character width across,
// an eighth of its height down. These turn them into pixels for a widget's font.
#pragma once

#include <QFontMetrics>
#include <QRect>
#include <QWidget>

inline QRect DialogRect(const QWidget* widget, int x, int y, int width, int height) {
    const QFontMetrics metrics(widget->font());
    const int unitX = metrics.averageCharWidth();
    const int unitY = metrics.height();
    return QRect(x * unitX / 4, y * unitY / 8, width * unitX / 4, height * unitY / 8);
}
