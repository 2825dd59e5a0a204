#include "cli/CliSignalCancel.h"

#include "platform/ExitCleanup.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <string>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

// Says text as the program's last word: the other threads' output goes to /dev/null from here on, so
// that no message of a transfer still winding down follows it. Straight to the descriptor: the console's
// stream may be held by a thread that is about to vanish.
void SayLast(const char* text) {
    const int errorFd = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
    const int nullFd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (nullFd >= 0) {
        ::dup2(nullFd, STDOUT_FILENO);
        ::dup2(nullFd, STDERR_FILENO);
    }
    if (errorFd >= 0 && ::write(errorFd, text, std::strlen(text)) < 0) {
        // Nothing more to do for a closed standard error.
    }
}

} // namespace

CCliSignalCancel::CCliSignalCancel() {
    sigemptyset(&m_signals);
    sigaddset(&m_signals, SIGINT);
    sigaddset(&m_signals, SIGTERM);
    sigaddset(&m_signals, SIGHUP);
    // Threads started from here on inherit the mask, so only the watcher takes these signals.
    pthread_sigmask(SIG_BLOCK, &m_signals, &m_previousMask);
    m_signalFd.Reset(::signalfd(-1, &m_signals, SFD_CLOEXEC));
    m_stopEvent.Reset(::eventfd(0, EFD_CLOEXEC));
    if (m_signalFd.IsValid() && m_stopEvent.IsValid())
        m_watcher = std::thread([this] { Watch(); });
    else
        pthread_sigmask(SIG_SETMASK, &m_previousMask, nullptr); // the default actions stay
}

CCliSignalCancel::~CCliSignalCancel() {
    if (m_watcher.joinable()) {
        const uint64_t one = 1;
        if (::write(m_stopEvent.Get(), &one, sizeof one) == sizeof one)
            m_watcher.join();
        else
            m_watcher.detach();
    }
    // A signal that came while the run was ending finds nothing left to stop: it is dropped.
    const timespec now{0, 0};
    while (sigtimedwait(&m_signals, nullptr, &now) > 0) {
    }
    pthread_sigmask(SIG_SETMASK, &m_previousMask, nullptr);
}

void CCliSignalCancel::SetCancelAction(std::function<bool()> cancel) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_cancel = std::move(cancel);
}

void CCliSignalCancel::Watch() {
    int count = 0;
    pollfd waits[2] = {{m_signalFd.Get(), POLLIN, 0}, {m_stopEvent.Get(), POLLIN, 0}};
    for (;;) {
        if (::poll(waits, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (waits[1].revents != 0)
            return;
        signalfd_siginfo info{};
        if (::read(m_signalFd.Get(), &info, sizeof info) != sizeof info)
            continue;
        const int signal = static_cast<int>(info.ssi_signo);
        if (++count > 1)
            EndAtOnce(signal);
        bool taken = false;
        {
            // Under the lock: the action's owner cannot go away while it runs.
            std::lock_guard<std::mutex> guard(m_lock);
            taken = m_cancel && m_cancel();
        }
        if (!taken)
            EndAtOnce(signal);
    }
}

void CCliSignalCancel::EndAtOnce(int signal) {
    ExitCleanup::Run();
    SayLast(
        "Stopped before the command finished. Connect to the controller again before the next command.\n");
    ::_exit(128 + signal);
}
