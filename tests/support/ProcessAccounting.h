// The test process's own accounting: how many threads and open descriptors it has, for tests that check
// nothing is left running or open.
#pragma once

#include "support/WaitUntil.h"

#include <dirent.h>
#include <string>
#include <thread>

inline unsigned CountEntries(const char* folder) {
    unsigned n = 0;
    if (DIR* dir = ::opendir(folder)) {
        while (dirent* entry = ::readdir(dir))
            if (entry->d_name[0] != '.')
                ++n;
        ::closedir(dir);
    }
    return n;
}

inline unsigned ThreadCount() {
    // ThreadSanitizer starts a helper thread of its own with the process's first thread: a first thread
    // started and joined here puts it in place before anything is counted.
    static const bool helperStarted = [] {
        std::thread([] {}).join();
        return true;
    }();
    (void)helperStarted;
    return CountEntries("/proc/self/task");
}
inline unsigned OpenDescriptors() {
    return CountEntries("/proc/self/fd");
}

// A joined thread can still be listed for a moment while the kernel finishes its exit: gives the count a
// short while to come down to at most the expected number (a thread that was never joined stays listed,
// and the check fails). Threads of earlier tests that end meanwhile only lower the count.
inline unsigned ThreadCountSettled(unsigned expected) {
    unsigned n = ThreadCount();
    WaitUntil([&] { return (n = ThreadCount()) <= expected; });
    return n;
}
