#include "platform/PortDiagnosis.h"

#include "platform/HidLibrary.h"
#include "platform/PortNames.h"
#include "platform/SerialPortList.h"
#include "platform/UucpLock.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string ModeText(mode_t mode) {
    std::string text = S_ISCHR(mode) ? "c" : S_ISBLK(mode) ? "b" : S_ISDIR(mode) ? "d" : "-";
    const char* letters = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit)
        text += (mode & (0400 >> bit)) ? letters[bit] : '-';
    return text;
}

std::string GroupName(gid_t gid) {
    const group* entry = ::getgrgid(gid);
    return entry ? entry->gr_name : std::to_string(gid);
}

std::string UserName(uid_t uid) {
    const passwd* entry = ::getpwuid(uid);
    return entry ? entry->pw_name : std::to_string(uid);
}

bool ListedInGroup(uid_t uid, gid_t gid) {
    const passwd* entry = ::getpwuid(uid);
    if (entry == nullptr)
        return false;
    if (entry->pw_gid == gid)
        return true;
    int count = 64;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    if (::getgrouplist(entry->pw_name, entry->pw_gid, groups.data(), &count) < 0) {
        groups.resize(static_cast<size_t>(count));
        if (::getgrouplist(entry->pw_name, entry->pw_gid, groups.data(), &count) < 0)
            return false;
    }
    groups.resize(static_cast<size_t>(count));
    for (gid_t listed : groups)
        if (listed == gid)
            return true;
    return false;
}

bool SessionHasGroup(gid_t gid) {
    if (::getegid() == gid)
        return true;
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(static_cast<size_t>(count > 0 ? count : 0));
    if (count > 0 && ::getgroups(count, groups.data()) != count)
        return false;
    for (gid_t held : groups)
        if (held == gid)
            return true;
    return false;
}

bool IsHidrawNode(const std::string& devicePath) {
    return devicePath.find("hidraw") != std::string::npos;
}

std::string SplitFolders(const std::string& folders, std::vector<std::string>& list) {
    std::stringstream stream(folders);
    std::string folder;
    while (std::getline(stream, folder, ':'))
        if (!folder.empty())
            list.push_back(folder);
    return folders;
}

void AppendUdevRuleAdvice(std::vector<std::string>& lines, const SSystemPaths& paths) {
    const std::string rule = FindUdevRule(paths);
    if (rule.empty()) {
        std::vector<std::string> folders;
        SplitFolders(paths.strUdevRuleFolders, folders);
        std::string searched;
        for (const std::string& folder : folders)
            searched += (searched.empty() ? "" : ", ") + folder;
        lines.push_back(
            std::string("The udev rule ") + kUdevRuleName +
            " that opens the controller's USB interface to its user is not installed (looked in " + searched +
            ").");
        lines.push_back("To fix: install the dravik package, or from the source tree run sudo make install "
                        "(or sudo cp resources/" +
                        std::string(kUdevRuleName) +
                        " /etc/udev/rules.d/), then sudo udevadm control --reload-rules && sudo udevadm "
                        "trigger, and plug the controller in again.");
    } else {
        lines.push_back("The udev rule " + rule +
                        " is installed; plug the controller in again so that it applies, or add the user to "
                        "group dialout (sudo usermod -aG dialout $USER, then log out and log in again).");
    }
}

void AppendPermissionLines(std::vector<std::string>& lines, const std::string& devicePath, int error) {
    const SDeviceAccess access = DescribeDeviceAccess(devicePath);
    const std::string where =
        devicePath + " (" + access.strMode + " " + access.strOwner + ":" + access.strGroup + ")";
    if (!access.bGroupMayOpen) {
        lines.push_back("Permission denied: " + where + " lets only its owner " + access.strOwner +
                        " open it.");
        if (!IsHidrawNode(devicePath))
            lines.push_back("To fix: give group dialout read and write access to it (a udev rule with "
                            "GROUP=\"dialout\", MODE=\"0660\"), then add the user to that group.");
        return;
    }
    if (!access.bUserInGroup) {
        lines.push_back("Permission denied: " + where + " belongs to group " + access.strGroup +
                        ", and user " + access.strUser + " is not in that group.");
        lines.push_back("To fix: sudo usermod -aG " + access.strGroup +
                        " $USER, then log out and log in again.");
    } else if (!access.bSessionHasGroup) {
        lines.push_back("Permission denied: " + where + " belongs to group " + access.strGroup + "; user " +
                        access.strUser + " is in that group, but this login started before it was added.");
        lines.push_back("To fix: log out and log in again (or run newgrp " + access.strGroup + ").");
    } else {
        lines.push_back("Permission denied: " + where + ", although user " + access.strUser +
                        " is in group " + access.strGroup + " (" + std::strerror(error) + ").");
    }
}

void AppendBusyLines(std::vector<std::string>& lines, const std::string& devicePath,
                     const SSystemPaths& paths) {
    const pid_t lockHolder = UucpLockHolder(devicePath, paths);
    if (lockHolder != 0)
        lines.push_back("Port busy: lock file " + UucpLockFilePath(devicePath, paths) + " names " +
                        ProcessName(lockHolder, paths) + " (PID " + std::to_string(lockHolder) + ").");
    for (const SDeviceHolder& holder : FindDeviceHolders(devicePath, paths)) {
        if (holder.nPid == lockHolder)
            continue;
        lines.push_back("Port busy: " + devicePath + " is open for exclusive use in " + holder.strProgram +
                        " (PID " + std::to_string(holder.nPid) + ").");
    }
    if (lines.empty()) {
        lines.push_back("Port busy: another program holds " + devicePath +
                        ", but this user may not see which (sudo dravik-cli doctor --port " + devicePath +
                        " shows it).");
    }
    lines.push_back("To fix: close that program, or choose another port.");
}

void AppendPortList(std::vector<std::string>& lines, const SSystemPaths& paths) {
    const std::vector<SSerialPortInfo> ports = ListSerialPorts(paths);
    if (ports.empty()) {
        lines.push_back("No serial ports were found on this computer: plug in the USB serial adapter or the "
                        "cable, then try again.");
        return;
    }
    lines.push_back("Serial ports on this computer:");
    for (const SSerialPortInfo& port : ports)
        lines.push_back("  " + DescribeSerialPort(port));
}

} // namespace

std::string ProcessName(pid_t pid, const SSystemPaths& paths) {
    std::string name;
    if (!ReadFirstLine(paths.strProc + "/" + std::to_string(pid) + "/comm", name) || name.empty())
        return "?";
    return name;
}

std::vector<SDeviceHolder> FindDeviceHolders(const std::string& devicePath, const SSystemPaths& paths) {
    std::vector<SDeviceHolder> holders;
    DIR* proc = ::opendir(paths.strProc.c_str());
    if (proc == nullptr)
        return holders;
    while (const dirent* process = ::readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(process->d_name, &end, 10);
        if (pid <= 0 || *end != '\0')
            continue;
        if (ProcessDeviceUse(static_cast<pid_t>(pid), devicePath, paths) == EDeviceUse::Open)
            holders.push_back({static_cast<pid_t>(pid), ProcessName(static_cast<pid_t>(pid), paths)});
    }
    ::closedir(proc);
    return holders;
}

SDeviceAccess DescribeDeviceAccess(const std::string& devicePath) {
    SDeviceAccess access;
    access.strUser = UserName(::geteuid());
    struct stat info {};
    if (::stat(devicePath.c_str(), &info) != 0)
        return access;
    access.bExists = true;
    access.strMode = ModeText(info.st_mode);
    access.strOwner = UserName(info.st_uid);
    access.strGroup = GroupName(info.st_gid);
    access.bGroupMayOpen = (info.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    access.bUserInGroup = ListedInGroup(::geteuid(), info.st_gid);
    access.bSessionHasGroup = SessionHasGroup(info.st_gid);
    access.bCanOpen = ::faccessat(AT_FDCWD, devicePath.c_str(), R_OK | W_OK, AT_EACCESS) == 0;
    return access;
}

std::string FindUdevRule(const SSystemPaths& paths) {
    std::vector<std::string> folders;
    SplitFolders(paths.strUdevRuleFolders, folders);
    for (const std::string& folder : folders) {
        const std::string rule = folder + "/" + kUdevRuleName;
        if (::access(rule.c_str(), F_OK) == 0)
            return rule;
    }
    return {};
}

std::vector<std::string> ExplainPortOpenFailure(const std::string& portName, const std::string& devicePath,
                                                int error, const SSystemPaths& paths) {
    std::vector<std::string> lines;
    if (devicePath.empty()) {
        lines.push_back("No such port: " + portName +
                        " is neither COM1 to COM9 nor a device path such as "
                        "/dev/ttyUSB0.");
        AppendPortList(lines, paths);
        return lines;
    }
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
        lines.push_back("No such port: " + devicePath + ".");
        if (portName != devicePath && portName.compare(0, 3, "COM") == 0)
            lines.push_back(portName + " stands for " + devicePath +
                            "; to use another device, enter its path, "
                            "or make " +
                            DravikConfigFolder() + "/" + portName + " a link to it.");
        AppendPortList(lines, paths);
        break;
    case EACCES:
    case EPERM:
        AppendPermissionLines(lines, devicePath, error);
        if (IsHidrawNode(devicePath))
            AppendUdevRuleAdvice(lines, paths);
        break;
    case EBUSY:
        AppendBusyLines(lines, devicePath, paths);
        break;
    case ENOTTY:
        lines.push_back(devicePath + " is not a serial port: it does not take line settings.");
        break;
    default:
        lines.push_back(devicePath + ": " + std::strerror(error) + ".");
        break;
    }
    return lines;
}

std::vector<std::string> ExplainPortSetupFailure(const std::string& devicePath, int error) {
    return {devicePath + " opened but did not take the line settings: " + std::strerror(error) + "."};
}

std::vector<std::string> ExplainNoControllerDevice(const SSystemPaths& paths) {
    std::vector<std::string> lines;
    const std::string controller = FormatUsbId(kDxuVendorId, kDxuProductId);
    const std::vector<SHidDeviceInfo> devices = ListHidDevices(paths);
    int controllers = 0;
    for (const SHidDeviceInfo& device : devices)
        controllers += device.nVendorId == kDxuVendorId && device.nProductId == kDxuProductId;
    if (controllers > 1) {
        lines.push_back(std::to_string(controllers) + " controllers (USB " + controller +
                        ") are attached; unplug all but one.");
        return lines;
    }
    lines.push_back("No controller (USB " + controller +
                    ") is attached: check the USB cable and that the "
                    "controller is powered.");
    if (devices.empty()) {
        lines.push_back("No HID devices are attached.");
        return lines;
    }
    lines.push_back("HID devices attached:");
    for (const SHidDeviceInfo& device : devices)
        lines.push_back("  " + device.strNode + " " + FormatUsbId(device.nVendorId, device.nProductId) +
                        (device.strName.empty() ? "" : " " + device.strName));
    return lines;
}

std::vector<std::string> ExplainControllerOpenFailure(const SSystemPaths& paths) {
    for (const SHidDeviceInfo& device : ListHidDevices(paths)) {
        if (device.nVendorId != kDxuVendorId || device.nProductId != kDxuProductId)
            continue;
        const SDeviceAccess access = DescribeDeviceAccess(device.strNode);
        if (access.bExists && !access.bCanOpen)
            return ExplainPortOpenFailure(device.strNode, device.strNode, EACCES, paths);
        std::vector<std::string> lines;
        for (const SDeviceHolder& holder : FindDeviceHolders(device.strNode, paths))
            if (holder.nPid != ::getpid())
                lines.push_back(device.strNode + " is open in " + holder.strProgram + " (PID " +
                                std::to_string(holder.nPid) + "); close that program.");
        if (lines.empty())
            lines.push_back(device.strNode + " is the controller's node and this user may open it.");
        return lines;
    }
    return ExplainNoControllerDevice(paths);
}
