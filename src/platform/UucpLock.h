// Lock files in the UUCP manner (/var/lock/LCK..ttyUSB0 holding the owner's PID as ten digits and a
// line end), which serial programs on Linux make and honour so that two of them never share a port.
#pragma once

#include "platform/SystemPaths.h"

#include <string>
#include <sys/types.h>

// The lock file that guards a device: LCK.. and the device's path under /dev with '/' as '_'.
std::string UucpLockFilePath(const std::string& devicePath, const SSystemPaths& paths = SystemPaths());
// The PID a device's lock file names when that process holds the device: it is alive and has the
// device open, or this user may not see its descriptors. 0 for no lock file, an unreadable one, a stale
// one (its process has ended) or one whose process lives on without the device.
pid_t UucpLockHolder(const std::string& devicePath, const SSystemPaths& paths = SystemPaths());
// The PID a lock file named by its path names when that process is alive; 0 otherwise.
pid_t UucpLockFileHolder(const std::string& lockFilePath);

// What /proc shows of one process's descriptors on a device.
enum class EDeviceUse { Open, NotOpen, Hidden };
EDeviceUse ProcessDeviceUse(pid_t pid, const std::string& devicePath,
                            const SSystemPaths& paths = SystemPaths());

// Holds the lock file of one device while it exists.
class CUucpLock {
public:
    CUucpLock() = default;
    ~CUucpLock() { Release(); }
    CUucpLock(const CUucpLock&) = delete;
    CUucpLock& operator=(const CUucpLock&) = delete;

    // False with errno EBUSY when the device's lock file names a process that holds the device (see
    // UucpLockHolder). A stale lock file is removed. Where no lock file of ours can be made (no lock
    // folder, a folder not writable, a stale file this user may not remove, a live process's file that
    // names a device it no longer has) nothing is locked and the call succeeds: the exclusive open still
    // keeps other programs out.
    bool Acquire(const std::string& devicePath, const SSystemPaths& paths = SystemPaths());
    void Release();
    bool Held() const { return !m_strPath.empty(); }

private:
    std::string m_strPath;
};
