// Lock files in the UUCP manner (/var/lock/LCK..ttyUSB0 holding the owner's PID as ten digits and a
// line end), which serial programs on Linux make and honour so that two of them never share a port.
#pragma once

#include "platform/SystemPaths.h"

#include <string>
#include <sys/types.h>

// The lock file that guards a device: LCK.. and the device's path under /dev with '/' as '_'.
std::string UucpLockFilePath(const std::string& devicePath, const SSystemPaths& paths = SystemPaths());
// The PID a lock file names when that process is alive; 0 for no lock file, an unreadable one or a
// stale one (its process has ended).
pid_t UucpLockHolder(const std::string& devicePath, const SSystemPaths& paths = SystemPaths());
// The same for a lock file named by its path.
pid_t UucpLockFileHolder(const std::string& lockFilePath);

// Holds the lock file of one device while it exists.
class CUucpLock {
public:
    CUucpLock() = default;
    ~CUucpLock() { Release(); }
    CUucpLock(const CUucpLock&) = delete;
    CUucpLock& operator=(const CUucpLock&) = delete;

    // False with errno EBUSY when a live process holds the device's lock file. A stale lock file is
    // removed. Where the lock folder is missing or not writable nothing is locked and the call succeeds:
    // the exclusive open still keeps other programs out.
    bool Acquire(const std::string& devicePath, const SSystemPaths& paths = SystemPaths());
    void Release();
    bool Held() const { return !m_strPath.empty(); }

private:
    std::string m_strPath;
};
