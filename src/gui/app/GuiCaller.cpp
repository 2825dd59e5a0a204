#include "gui/app/GuiCaller.h"

#include <QCoreApplication>
#include <QEvent>

#include <chrono>
#include <utility>

namespace {

const QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

} // namespace

class CGuiCaller::CTarget : public QObject {
public:
    explicit CTarget(CGuiCaller& owner) : m_owner(owner) {}
    bool event(QEvent* event) override {
        bool wake = false;
        {
            // A wake event was made under this lock: taking it shows the checker the hand-over.
            std::lock_guard<std::mutex> guard(m_owner.m_lock);
            wake = event->type() == kWakeEvent;
        }
        if (!wake)
            return QObject::event(event);
        m_owner.RunNext();
        return true;
    }

private:
    CGuiCaller& m_owner;
};

CGuiCaller::CGuiCaller() : m_pTarget(new CTarget(*this)) {}

CGuiCaller::~CGuiCaller() {
    delete m_pTarget; // its wake events still pending go with it
}

QObject* CGuiCaller::Context() {
    return m_pTarget;
}

QObject* CGuiCaller::Context() const {
    return m_pTarget;
}

void CGuiCaller::Post(std::function<void()> task) {
    Enqueue(STask{std::move(task), nullptr});
}

bool CGuiCaller::CallAndWait(std::function<void()> function) {
    bool done = false;
    QEvent* wake = nullptr;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_bClosed)
            return false;
        ++m_nWaiting;
        m_tasks.push_back(STask{std::move(function), &done});
        wake = new QEvent(kWakeEvent);
    }
    QCoreApplication::postEvent(m_pTarget, wake);
    std::unique_lock<std::mutex> guard(m_lock);
    m_changed.wait(guard, [&done] { return done; });
    --m_nWaiting;
    m_changed.notify_all();
    return true;
}

void CGuiCaller::Enqueue(STask task) {
    QEvent* wake = nullptr;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_tasks.push_back(std::move(task));
        wake = new QEvent(kWakeEvent);
    }
    QCoreApplication::postEvent(m_pTarget, wake);
}

void CGuiCaller::RunNext() {
    STask task;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_tasks.empty())
            return;
        task = std::move(m_tasks.front());
        m_tasks.pop_front();
    }
    task.run();
    if (task.pDone) {
        std::lock_guard<std::mutex> guard(m_lock);
        *task.pDone = true;
        m_changed.notify_all();
    }
}

void CGuiCaller::Close() {
    std::unique_lock<std::mutex> guard(m_lock);
    m_bClosed = true;
    while (m_nWaiting > 0) {
        // The waiting calls sit in this thread's event queue; deliver them, then give their callers the
        // moment they need to leave.
        guard.unlock();
        QCoreApplication::sendPostedEvents(m_pTarget, kWakeEvent);
        guard.lock();
        m_changed.wait_for(guard, std::chrono::milliseconds(1), [this] { return m_nWaiting == 0; });
    }
}

bool CGuiCaller::IsClosed() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_bClosed;
}

int CGuiCaller::WaitingCalls() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_nWaiting;
}
