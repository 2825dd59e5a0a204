// Ctrl-C, SIGTERM and SIGHUP for dravik-cli: the first one presses the transfer window's Cancel, so that
// a download ends the way the window's Cancel ends it (the controller's load closed, the line slow
// again); with nothing to cancel, and at a second signal, the program ends at once after releasing its
// ports and removing its temporary files. Lives for the whole run; make it before any other thread, as
// it keeps the three signals for a thread of its own.
#pragma once

#include "platform/UniqueFd.h"

#include <functional>
#include <mutex>
#include <signal.h>
#include <thread>

class CCliSignalCancel {
public:
    CCliSignalCancel();
    ~CCliSignalCancel();
    CCliSignalCancel(const CCliSignalCancel&) = delete;
    CCliSignalCancel& operator=(const CCliSignalCancel&) = delete;

    // What the first signal does: true when something took the Cancel and will end by itself.
    void SetCancelAction(std::function<bool()> cancel);

    // The action for as long as the scope lives (declare it after what the action reaches).
    class CActionScope {
    public:
        CActionScope(CCliSignalCancel& owner, std::function<bool()> cancel) : m_owner(owner) {
            m_owner.SetCancelAction(std::move(cancel));
        }
        ~CActionScope() { m_owner.SetCancelAction({}); }
        CActionScope(const CActionScope&) = delete;
        CActionScope& operator=(const CActionScope&) = delete;

    private:
        CCliSignalCancel& m_owner;
    };

private:
    void Watch();
    [[noreturn]] void EndAtOnce(int signal);

    sigset_t m_signals{};
    sigset_t m_previousMask{};
    CUniqueFd m_signalFd;
    CUniqueFd m_stopEvent;
    std::mutex m_lock;
    std::function<bool()> m_cancel;
    std::thread m_watcher;
};
