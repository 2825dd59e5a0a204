#include "platform/StopEvent.h"

#include <cerrno>
#include <cstdint>
#include <sys/eventfd.h>

CStopEvent::CStopEvent() : m_fd(::eventfd(0, EFD_CLOEXEC)) {}

void CStopEvent::Raise() {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_fd.Get(), &one, sizeof(one));
}

CStopEvent::EWait CStopEvent::Wait(int fd, short events, short* revents) const {
    pollfd entries[2] = {{fd, events, 0}, {m_fd.Get(), POLLIN, 0}};
    for (;;) {
        if (::poll(entries, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return EWait::Failed;
        }
        if (entries[1].revents != 0)
            return EWait::Stopped;
        if (revents)
            *revents = entries[0].revents;
        return EWait::Ready;
    }
}
