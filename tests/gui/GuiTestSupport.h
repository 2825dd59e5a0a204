// Helpers for the GUI tests: answering modal dialogs, letting queued work run, temporary folders.
#pragma once

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <functional>

// Runs action on the next modal dialog of type Dialog once its event loop is running (the dialog's own
// loop delivers the timer). Looks every few milliseconds for up to ten seconds of real time, so that a
// dialog a loaded machine brings up late is still answered and a missing one fails the test's checks.
template <class Dialog>
void LookForModal(std::function<void(Dialog*)> action, QDeadlineTimer deadline, int delayMs) {
    QTimer::singleShot(delayMs, [action, deadline] {
        if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
            action(dialog);
            return;
        }
        if (!deadline.hasExpired())
            LookForModal<Dialog>(action, deadline, 5);
    });
}
template <class Dialog> void OnNextModal(std::function<void(Dialog*)> action) {
    LookForModal<Dialog>(std::move(action), QDeadlineTimer(std::chrono::seconds(10)), 0);
}

// Delivers everything already queued (posted tasks, queued calls, deferred paints and deletions).
inline void ProcessQueued() {
    for (int i = 0; i < 3; ++i) {
        QApplication::processEvents(QEventLoop::AllEvents);
        // Outside a running loop deferred deletions wait for one; a test has none running here.
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// Runs the event loop until done() is true, for at most the bound of real time so that a broken test
// fails instead of hanging (a ticking timer wakes the wait when done() turns true without an event).
inline bool ProcessUntil(const std::function<bool()>& done,
                         std::chrono::milliseconds bound = std::chrono::seconds(10)) {
    const QDeadlineTimer deadline(bound);
    QTimer tick;
    tick.start(10);
    while (!done() && !deadline.hasExpired())
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return done();
}

// Looks at the windows every few milliseconds while an event loop runs (the test's own or a dialog's):
// hands each new modal dialog to onModal once, and calls onLook on every look (to follow modeless
// windows such as a progress window). onShown sees a window each time it or a part of it is shown or
// painted, so that one that comes and goes between two looks is seen as well; it must only look.
class CGuiWatcher {
public:
    explicit CGuiWatcher(std::function<void(QWidget*)> onModal, std::function<void()> onLook = {},
                         std::function<void(QWidget*)> onShown = {})
        : m_onModal(std::move(onModal)), m_onLook(std::move(onLook)), m_shown(std::move(onShown)) {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Look(); });
        m_timer.start(2);
        if (m_shown.m_onShown)
            qApp->installEventFilter(&m_shown);
    }

private:
    class CShownFilter : public QObject {
    public:
        explicit CShownFilter(std::function<void(QWidget*)> onShown) : m_onShown(std::move(onShown)) {}
        bool eventFilter(QObject* object, QEvent* event) override {
            if ((event->type() == QEvent::Show || event->type() == QEvent::Paint) && object->isWidgetType())
                m_onShown(static_cast<QWidget*>(object)->window());
            return false;
        }
        std::function<void(QWidget*)> m_onShown;
    };

    void Look() {
        if (m_onLook)
            m_onLook();
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal != m_pLastModal) {
            m_pLastModal = modal;
            m_onModal(modal);
        }
    }

    std::function<void(QWidget*)> m_onModal;
    std::function<void()> m_onLook;
    QPointer<QWidget> m_pLastModal;
    QTimer m_timer;
    CShownFilter m_shown;
};
