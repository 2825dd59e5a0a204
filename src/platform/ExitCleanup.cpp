#include "platform/ExitCleanup.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <vector>

namespace {

struct SRegistry {
    std::mutex lock;
    std::vector<int> ports;
    std::vector<std::string> paths;
    std::vector<std::pair<int, termios>> terminals;
};

SRegistry& Registry() {
    static SRegistry registry;
    return registry;
}

template <typename T> void Erase(std::vector<T>& list, const T& item) {
    const auto found = std::find(list.rbegin(), list.rend(), item);
    if (found != list.rend())
        list.erase(std::next(found).base());
}

} // namespace

namespace ExitCleanup {

void AddPort(int fd) {
    std::lock_guard<std::mutex> guard(Registry().lock);
    Registry().ports.push_back(fd);
}

void RemovePort(int fd) {
    std::lock_guard<std::mutex> guard(Registry().lock);
    Erase(Registry().ports, fd);
}

void AddPath(const std::string& path) {
    std::lock_guard<std::mutex> guard(Registry().lock);
    Registry().paths.push_back(path);
}

void RemovePath(const std::string& path) {
    std::lock_guard<std::mutex> guard(Registry().lock);
    Erase(Registry().paths, path);
}

void AddTerminal(int fd, const termios& saved) {
    std::lock_guard<std::mutex> guard(Registry().lock);
    Registry().terminals.emplace_back(fd, saved);
}

void RemoveTerminal(int fd) {
    std::lock_guard<std::mutex> guard(Registry().lock);
    auto& terminals = Registry().terminals;
    terminals.erase(std::remove_if(terminals.begin(), terminals.end(),
                                   [fd](const std::pair<int, termios>& entry) { return entry.first == fd; }),
                    terminals.end());
}

void Run() {
    // Held to the end: an owner that closes its port now cannot hand its descriptor number to another file.
    SRegistry& registry = Registry();
    registry.lock.lock();
    for (const auto& [fd, saved] : registry.terminals)
        ::tcsetattr(fd, TCSANOW, &saved);
    for (const int fd : registry.ports) {
        ::ioctl(fd, TIOCNXCL);
        ::flock(fd, LOCK_UN);
    }
    for (auto path = registry.paths.rbegin(); path != registry.paths.rend(); ++path)
        std::remove(path->c_str());
    registry.ports.clear();
    registry.paths.clear();
    registry.terminals.clear();
}

} // namespace ExitCleanup
