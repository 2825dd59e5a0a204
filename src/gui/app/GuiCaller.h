// Carries calls from other threads to the GUI thread and blocks the caller until they have run; a call
// made on the GUI thread runs directly (a blocking queued call from there would deadlock). Once closed,
// at the program's end while the GUI thread waits for workers, calls from other threads are skipped
// instead of waiting for an event loop that no longer runs.
// The calls wait in a queue of our own, guarded by a standard mutex, and a bare event wakes the GUI
// thread for each: every hand-over between the threads is then one that a thread checker can see.
#pragma once

#include <QObject>
#include <QThread>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

class CGuiCaller {
public:
    // Lives on the thread that constructs it, which must be the GUI thread.
    CGuiCaller();
    ~CGuiCaller();
    CGuiCaller(const CGuiCaller&) = delete;
    CGuiCaller& operator=(const CGuiCaller&) = delete;

    // The object whose thread runs the calls, for timers and the like that belong to it.
    QObject* Context();
    bool IsGuiThread() const { return QThread::currentThread() == Context()->thread(); }

    // Runs function on the GUI thread and returns when it has run; false when it was skipped (closed).
    template <class Function> bool Call(Function&& function) {
        if (IsGuiThread()) {
            function();
            return true;
        }
        return CallAndWait(std::function<void()>(std::ref(function)));
    }

    // Runs task later on the GUI thread, never inside this call.
    void Post(std::function<void()> task);

    // On the GUI thread: refuses further calls from other threads and runs those already waiting, so
    // that the GUI thread may then wait for the workers.
    void Close();
    bool IsClosed() const;
    // Calls from other threads that wait for the GUI thread now.
    int WaitingCalls() const;

private:
    class CTarget;
    struct STask {
        std::function<void()> run;
        bool* pDone = nullptr; // a blocking call's flag, set under the lock once it has run
    };

    bool CallAndWait(std::function<void()> function);
    void Enqueue(STask task);
    void RunNext(); // on the GUI thread, once per wake event
    QObject* Context() const;

    CTarget* m_pTarget;
    mutable std::mutex m_lock;
    std::condition_variable m_changed; // a blocking call ran, or a waiting caller left
    std::deque<STask> m_tasks;
    int m_nWaiting = 0;
    bool m_bClosed = false;
};
