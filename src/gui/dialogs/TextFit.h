// Keeps a dialog laid out in dialog units from clipping its texts at the font in use: labels, check
// boxes and radio buttons that want more room get it, the group boxes around them grow with them, and the
// push buttons at the right move over by as much as the texts needed, the dialog growing with them. A
// dialog whose texts fit is left exactly as laid out.
#pragma once

#include <QAbstractButton>
#include <QCheckBox>
#include <QDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

inline void FitTextsToDialog(QDialog* dialog) {
    const int gap = QFontMetrics(dialog->font()).averageCharWidth() * 7 / 4; // the templates' 7 units
    int textRight = 0; // right edge of the texts, in the dialog
    for (QWidget* child : dialog->findChildren<QWidget*>()) {
        const bool text = qobject_cast<QCheckBox*>(child) || qobject_cast<QRadioButton*>(child) ||
                          (qobject_cast<QLabel*>(child) && qobject_cast<QLabel*>(child)->pixmap().isNull());
        if (!text)
            continue;
        child->resize(std::max(child->width(), child->sizeHint().width()), child->height());
        QWidget* parent = child->parentWidget();
        if (auto* box = qobject_cast<QGroupBox*>(parent); box && box->parentWidget() == dialog) {
            const int boxRight = child->geometry().right() + gap / 2;
            if (boxRight > box->width())
                box->resize(boxRight, box->height());
            textRight = std::max(textRight, box->geometry().right());
        } else if (parent == dialog) {
            textRight = std::max(textRight, child->geometry().right());
        }
    }
    int buttonsLeft = dialog->width();
    for (QPushButton* button : dialog->findChildren<QPushButton*>(Qt::FindDirectChildrenOnly))
        buttonsLeft = std::min(buttonsLeft, button->x());
    const int shift = std::max(0, textRight + gap - buttonsLeft);
    if (shift == 0)
        return;
    for (QPushButton* button : dialog->findChildren<QPushButton*>(Qt::FindDirectChildrenOnly))
        button->move(button->x() + shift, button->y());
    dialog->setFixedSize(dialog->width() + shift, dialog->height());
}
