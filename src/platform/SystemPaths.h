// Where the system's device, sysfs, process and lock folders are. Tests point them at fake trees in a
// temporary folder; the program uses the real ones.
#pragma once

#include <string>

struct SSystemPaths {
    std::string strSys = "/sys";
    std::string strDev = "/dev";
    std::string strProc = "/proc";
    std::string strLock = "/var/lock";
    // Where the controller's udev rule may be installed, searched in this order.
    std::string strUdevRuleFolders =
        "/etc/udev/rules.d:/usr/lib/udev/rules.d:/lib/udev/rules.d:/usr/local/lib/udev/rules.d";
};

// The paths in force for this process (the real ones unless a test replaced them).
SSystemPaths SystemPaths();
void SetSystemPaths(const SSystemPaths& paths);

// The path with every symbolic link resolved; the path as given when it does not exist.
std::string RealPath(const std::string& path);
// A small text file's first line without its line end; false when it cannot be read.
bool ReadFirstLine(const std::string& path, std::string& line);
