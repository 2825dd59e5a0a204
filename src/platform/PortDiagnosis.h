// Why a port or device does not open, in lines a person can act on: what is wrong and the command or
// step that fixes it. The callers show these after their own message.
#pragma once

#include "platform/SystemPaths.h"

#include <string>
#include <sys/types.h>
#include <vector>

struct SDeviceHolder {
    pid_t nPid = 0;
    std::string strProgram; // its command name, or "?" when hidden from this user
};

// Processes that have the device open, from /proc (as far as this user may look into them).
std::vector<SDeviceHolder> FindDeviceHolders(const std::string& devicePath,
                                             const SSystemPaths& paths = SystemPaths());
std::string ProcessName(pid_t pid, const SSystemPaths& paths = SystemPaths());

// Who may open a device and whether this user is among them.
struct SDeviceAccess {
    bool bExists = false;
    std::string strMode;           // "crw-rw----"
    std::string strOwner;          // user name
    std::string strGroup;          // group name
    std::string strUser;           // this process's user
    bool bGroupMayOpen = false;    // the group has read and write permission
    bool bUserInGroup = false;     // the user database lists the user in the group
    bool bSessionHasGroup = false; // this process runs with the group
    bool bCanOpen = false;         // read and write access for this process
};
SDeviceAccess DescribeDeviceAccess(const std::string& devicePath);

// The installed controller udev rule, or empty when none of the rule folders has it.
std::string FindUdevRule(const SSystemPaths& paths = SystemPaths());
constexpr const char* kUdevRuleName = "60-dravik.rules";

// A serial port that did not open: error is the errno of the open (0 when the name named no device).
std::vector<std::string> ExplainPortOpenFailure(const std::string& portName, const std::string& devicePath,
                                                int error, const SSystemPaths& paths = SystemPaths());
// The port opened but its line settings did not take.
std::vector<std::string> ExplainPortSetupFailure(const std::string& devicePath, int error);
// USB is the chosen link but no controller (10C4:8468) is attached: the HID devices that are.
std::vector<std::string> ExplainNoControllerDevice(const SSystemPaths& paths = SystemPaths());
// The controller is attached but its hidraw node did not open.
std::vector<std::string> ExplainControllerOpenFailure(const SSystemPaths& paths = SystemPaths());
