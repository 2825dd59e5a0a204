#include "platform/ThreadPriority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

void SetCurrentThreadPriority(EThreadPriority priority) {
    // On Linux the nice value is per thread when addressed by thread id.
    constexpr int kStep = 2;
    const auto thread = static_cast<id_t>(::syscall(SYS_gettid));
    const int current = ::getpriority(PRIO_PROCESS, thread);
    ::setpriority(PRIO_PROCESS, thread,
                  priority == EThreadPriority::AboveNormal ? current - kStep : current + kStep);
}
