// A stop request for a thread that sleeps on a descriptor: the thread waits for its descriptor or for
// this event, whichever comes first, so stopping it needs no time-out and no polling.
#pragma once

#include "platform/UniqueFd.h"

#include <poll.h>

class CStopEvent {
public:
    CStopEvent();
    bool IsValid() const { return m_fd.IsValid(); }
    // Wakes every wait, present and future, for good.
    void Raise();

    enum class EWait { Ready, Stopped, Failed };
    // Waits until fd has one of the events (or hangs up or fails: see revents) or the event is raised;
    // a raised event wins over a ready descriptor.
    EWait Wait(int fd, short events, short* revents = nullptr) const;

private:
    CUniqueFd m_fd; // an eventfd
};
