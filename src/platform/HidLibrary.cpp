#include "platform/HidLibrary.h"

#include <mutex>
#include <utility>

namespace {
std::mutex g_libraryLock;
std::shared_ptr<IHidLibrary> g_pLibrary;
} // namespace

// The one place where the process's backend is chosen.
std::shared_ptr<IHidLibrary> CurrentHidLibrary() {
    std::lock_guard<std::mutex> guard(g_libraryLock);
    if (!g_pLibrary)
        g_pLibrary = CreateHidRawLibrary();
    return g_pLibrary;
}

IHidLibrary& HidLibrary() {
    return *CurrentHidLibrary();
}

void SelectHidLibrary(std::shared_ptr<IHidLibrary> library) {
    std::shared_ptr<IHidLibrary> previous;
    {
        std::lock_guard<std::mutex> guard(g_libraryLock);
        previous = std::exchange(g_pLibrary, std::move(library));
    }
    // The old backend ends here, outside the lock (its monitor thread may be joined).
}
