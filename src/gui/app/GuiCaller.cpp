#include "gui/app/GuiCaller.h"

#include <QCoreApplication>

#include <chrono>

bool CGuiCaller::EnterCall() {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_bClosed)
        return false;
    ++m_nWaiting;
    return true;
}

void CGuiCaller::LeaveCall() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        --m_nWaiting;
    }
    m_left.notify_all();
}

void CGuiCaller::Close() {
    std::unique_lock<std::mutex> guard(m_lock);
    m_bClosed = true;
    while (m_nWaiting > 0) {
        // The waiting calls sit in this thread's event queue; deliver them, then give their callers the
        // moment they need to leave.
        guard.unlock();
        QCoreApplication::sendPostedEvents(&m_context);
        guard.lock();
        m_left.wait_for(guard, std::chrono::milliseconds(1), [this] { return m_nWaiting == 0; });
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
