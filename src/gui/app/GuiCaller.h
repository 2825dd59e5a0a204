// Carries calls from other threads to the GUI thread and blocks the caller until they have run; a call
// made on the GUI thread runs directly (a blocking queued call from there would deadlock). Once closed,
// at the program's end while the GUI thread waits for workers, calls from other threads are skipped
// instead of waiting for an event loop that no longer runs.
#pragma once

#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <utility>

class CGuiCaller {
public:
    // Lives on the thread that constructs it, which must be the GUI thread.
    CGuiCaller() = default;
    CGuiCaller(const CGuiCaller&) = delete;
    CGuiCaller& operator=(const CGuiCaller&) = delete;

    QObject* Context() { return &m_context; }
    bool IsGuiThread() const { return QThread::currentThread() == m_context.thread(); }

    // Runs function on the GUI thread and returns when it has run; false when it was skipped (closed).
    template <class Function> bool Call(Function&& function) {
        if (IsGuiThread()) {
            function();
            return true;
        }
        if (!EnterCall())
            return false;
        QMetaObject::invokeMethod(&m_context, std::forward<Function>(function), Qt::BlockingQueuedConnection);
        LeaveCall();
        return true;
    }

    // Runs task later on the GUI thread, never inside this call.
    void Post(std::function<void()> task) {
        QMetaObject::invokeMethod(&m_context, std::move(task), Qt::QueuedConnection);
    }

    // On the GUI thread: refuses further calls from other threads and runs those already waiting, so
    // that the GUI thread may then wait for the workers.
    void Close();
    bool IsClosed() const;
    // Calls from other threads that wait for the GUI thread now.
    int WaitingCalls() const;

private:
    bool EnterCall();
    void LeaveCall();

    QObject m_context;
    mutable std::mutex m_lock;
    std::condition_variable m_left;
    int m_nWaiting = 0;
    bool m_bClosed = false;
};
