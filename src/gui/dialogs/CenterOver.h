// Where the program's own windows open: centred over the main window when it is up, so they appear where
// the person is looking; otherwise centred on the screen.
#pragma once

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

inline void CenterOverMainWindow(QWidget* window) {
    QRect area;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top != window && top->isVisible() && top->inherits("CMainFrame"))
            area = top->frameGeometry();
    if (area.isNull())
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            area = screen->availableGeometry();
    if (!area.isNull())
        window->move(area.center() - QPoint(window->width() / 2, window->height() / 2));
}
