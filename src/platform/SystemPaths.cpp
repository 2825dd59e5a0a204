#include "platform/SystemPaths.h"

#include <climits>
#include <cstdlib>
#include <fstream>
#include <mutex>

namespace {

std::mutex g_pathsLock;
SSystemPaths g_paths;

} // namespace

SSystemPaths SystemPaths() {
    std::lock_guard<std::mutex> guard(g_pathsLock);
    return g_paths;
}

void SetSystemPaths(const SSystemPaths& paths) {
    std::lock_guard<std::mutex> guard(g_pathsLock);
    g_paths = paths;
}

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr)
        return path;
    return resolved;
}

bool ReadFirstLine(const std::string& path, std::string& line) {
    std::ifstream file(path);
    if (!file || !std::getline(file, line))
        return false;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}
