#include "platform/UucpLock.h"

#include "platform/ExitCleanup.h"
#include "platform/UniqueFd.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The PID in a lock file: ten ASCII digits, or four binary bytes from older programs. 0 for no file or
// no PID in it, -1 for a file that cannot be read.
pid_t ReadLockPid(const std::string& path) {
    CUniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!fd.IsValid())
        return errno == ENOENT ? 0 : -1;
    char buffer[64] = {};
    const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer - 1);
    if (n == static_cast<ssize_t>(sizeof(int))) {
        int binary = 0;
        std::memcpy(&binary, buffer, sizeof binary);
        return binary > 0 ? binary : 0;
    }
    if (n <= 0)
        return 0;
    const long pid = std::strtol(buffer, nullptr, 10);
    return pid > 0 && pid < 0x7FFFFFFF ? static_cast<pid_t>(pid) : 0;
}

bool ProcessAlive(pid_t pid) {
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

} // namespace

std::string UucpLockFilePath(const std::string& devicePath, const SSystemPaths& paths) {
    std::string name = RealPath(devicePath);
    const std::string devPrefix = RealPath(paths.strDev) + "/";
    if (name.compare(0, devPrefix.size(), devPrefix) == 0)
        name.erase(0, devPrefix.size());
    else if (name.compare(0, 5, "/dev/") == 0)
        name.erase(0, 5);
    else
        name.erase(0, name.find_last_of('/') + 1);
    for (char& c : name)
        if (c == '/')
            c = '_';
    return paths.strLock + "/LCK.." + name;
}

pid_t UucpLockHolder(const std::string& devicePath, const SSystemPaths& paths) {
    const pid_t pid = UucpLockFileHolder(UucpLockFilePath(devicePath, paths));
    return pid != 0 && ProcessDeviceUse(pid, devicePath, paths) != EDeviceUse::NotOpen ? pid : 0;
}

pid_t UucpLockFileHolder(const std::string& lockFilePath) {
    const pid_t pid = ReadLockPid(lockFilePath);
    return ProcessAlive(pid) ? pid : 0;
}

EDeviceUse ProcessDeviceUse(pid_t pid, const std::string& devicePath, const SSystemPaths& paths) {
    const std::string fdFolder = paths.strProc + "/" + std::to_string(pid) + "/fd";
    DIR* fds = ::opendir(fdFolder.c_str());
    if (fds == nullptr)
        return EDeviceUse::Hidden; // another user's process, or one this /proc does not show
    const std::string wanted = RealPath(devicePath);
    EDeviceUse use = EDeviceUse::NotOpen;
    while (const dirent* fd = ::readdir(fds)) {
        char target[4096];
        const std::string link = fdFolder + "/" + fd->d_name;
        const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
        const std::string opened(target, n > 0 ? static_cast<size_t>(n) : 0);
        if (n > 0 && (opened == wanted || opened == devicePath)) {
            use = EDeviceUse::Open;
            break;
        }
    }
    ::closedir(fds);
    return use;
}

bool CUucpLock::Acquire(const std::string& devicePath, const SSystemPaths& paths) {
    Release();
    const std::string path = UucpLockFilePath(devicePath, paths);
    // Two tries: the second after removing a stale file, or after losing a race to create it.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const pid_t holder = ReadLockPid(path);
        if (holder < 0) {
            errno = EBUSY;
            return false;
        }
        if (ProcessAlive(holder)) {
            if (ProcessDeviceUse(holder, devicePath, paths) != EDeviceUse::NotOpen) {
                errno = EBUSY;
                return false;
            }
            // The process lives on without the device: its lock outlived its use, or its PID went to
            // another program since. The file is not ours to remove.
            return true;
        }
        // Its process has ended, or it names none. A file this user may not remove (another user's, in a
        // sticky folder) leaves the port unlocked rather than busy.
        if (::unlink(path.c_str()) != 0 && errno != ENOENT)
            return true;
        if (::access(paths.strLock.c_str(), W_OK) != 0)
            return true; // nowhere to put our own lock
        CUniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
        if (!fd.IsValid()) {
            if (errno == EEXIST)
                continue;
            return true;
        }
        char text[16];
        const int length = std::snprintf(text, sizeof text, "%10ld\n", static_cast<long>(::getpid()));
        if (::write(fd.Get(), text, static_cast<size_t>(length)) != length) {
            ::unlink(path.c_str());
            return true;
        }
        m_strPath = path;
        ExitCleanup::AddPath(path); // a program ended at once leaves no stale lock behind
        return true;
    }
    errno = EBUSY;
    return false;
}

void CUucpLock::Release() {
    if (m_strPath.empty())
        return;
    ExitCleanup::RemovePath(m_strPath);
    // Only our own: a file another program put there after a stale removal stays.
    if (ReadLockPid(m_strPath) == ::getpid())
        ::unlink(m_strPath.c_str());
    m_strPath.clear();
}
