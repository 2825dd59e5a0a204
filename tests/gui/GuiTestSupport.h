// Helpers for the GUI tests: answering modal dialogs, letting queued work run, temporary folders.
#pragma once

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>

#include <functional>

// Runs action on the next modal dialog of type Dialog once its event loop is running (the dialog's own
// loop delivers the timer). Gives up after a bounded number of looks so that a missing dialog fails the
// test instead of hanging it.
template <class Dialog> void OnNextModal(std::function<void(Dialog*)> action, int looksLeft = 500) {
    QTimer::singleShot(looksLeft == 500 ? 0 : 5, [action, looksLeft] {
        if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
            action(dialog);
            return;
        }
        if (looksLeft > 0)
            OnNextModal<Dialog>(action, looksLeft - 1);
    });
}

// Delivers everything already queued (posted tasks, queued calls, deferred paints).
inline void ProcessQueued() {
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents(QEventLoop::AllEvents);
}

// Runs the event loop until done() is true; a failure bound of about ten seconds keeps a broken test from
// hanging (a ticking timer wakes the wait when done() turns true without an event).
inline bool ProcessUntil(const std::function<bool()>& done, int turns = 1000) {
    QTimer tick;
    tick.start(10);
    while (!done() && turns-- > 0)
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return done();
}
