#include "cli/CliDoctor.h"

#include "cli/CliPorts.h"
#include "engine/app/DravikApp.h"
#include "engine/app/SilentUserInterface.h"
#include "platform/HidLibrary.h"
#include "platform/PortDiagnosis.h"
#include "platform/PortNames.h"
#include "platform/SerialPort.h"
#include "platform/SerialPortList.h"
#include "platform/UniqueFd.h"
#include "platform/UucpLock.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

class CChecklist {
public:
    explicit CChecklist(std::FILE* out) : m_out(out) {}
    void Ok(const std::string& text) { Line("[ok] ", text); }
    void Problem(const std::string& text) { Line("[!!] ", text); }
    void Note(const std::string& text) { Line("[--] ", text); }
    void Detail(const std::string& text) { Line("       ", text); }

private:
    void Line(const char* mark, const std::string& text) {
        std::fprintf(m_out, "%s%s\n", mark, text.c_str());
    }
    std::FILE* m_out;
};

// The file's bytes; error is 0 when it was read, else the system's reason.
std::string ReadWhole(const std::string& path, int& error) {
    std::string text;
    CUniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    error = fd.IsValid() ? 0 : errno;
    char buffer[4096];
    ssize_t n = 0;
    while (fd.IsValid() && (n = ::read(fd.Get(), buffer, sizeof buffer)) > 0 && text.size() < 65536)
        text.append(buffer, static_cast<size_t>(n));
    if (n < 0)
        error = errno;
    return text;
}

std::string Quoted(const std::string& line) {
    std::string text = "\"";
    for (char c : line) {
        if (c == '\r')
            text += "\\r";
        else if (static_cast<unsigned char>(c) < 0x20)
            text += '?';
        else
            text += c;
    }
    return text + "\"";
}

struct SEffectiveSettings {
    std::string strPort;
    int nLinkKind = kLinkCom;
};

// Reads the settings as the program does, from a copy, so that a file the program would correct is
// reported and left as it is.
SEffectiveSettings CheckSettings(const std::string& path, CChecklist& list) {
    static const char* const kMeaning[] = {"port", "wizard setting", "debug option", "link kind"};
    int readError = 0;
    const std::string original = ReadWhole(path, readError);
    const bool exists = readError == 0;

    std::error_code error;
    std::string folder = (std::filesystem::temp_directory_path(error) / "dravik-doctor-XXXXXX").string();
    const bool haveFolder = ::mkdtemp(folder.data()) != nullptr;
    CSilentUserInterface ui(IDCANCEL);
    CDravikApp app(&ui);
    app.m_strSettingsPath = haveFolder ? folder + "/Dravik.cfg" : "/nonexistent/Dravik.cfg";
    if (exists && haveFolder)
        std::ofstream(app.m_strSettingsPath, std::ios::binary) << original;
    app.LoadSettings();
    int copyError = 0;
    const std::string corrected = haveFolder ? ReadWhole(app.m_strSettingsPath, copyError) : original;
    if (haveFolder)
        std::filesystem::remove_all(folder, error);

    const std::string effective = app.m_strPort + ", " + app.m_strWizard + ", " +
                                  (app.m_bDebug ? "DBGE" : "DBGD") + ", " +
                                  (app.m_nLinkKind == kLinkUsb ? "useUSB" : "useCOM");
    if (!exists) {
        const std::string why =
            readError == ENOENT ? "none" : std::string("cannot be read: ") + std::strerror(readError);
        list.Note("settings file " + path + ": " + why + "; the program uses " + effective);
    } else {
        if (corrected != original)
            list.Problem("settings file " + path + ": the program corrects it at start to " + effective);
        else
            list.Ok("settings file " + path);
        std::istringstream lines(original);
        std::string line;
        for (int i = 0; i < 4; ++i) {
            if (!std::getline(lines, line))
                line.clear();
            list.Detail(std::to_string(i + 1) + " " + Quoted(line) + " " + kMeaning[i]);
        }
    }
    return {app.m_strPort, app.m_nLinkKind};
}

std::string GroupsOfThisLogin() {
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(static_cast<size_t>(std::max(count, 0)));
    if (count > 0)
        ::getgroups(count, groups.data());
    std::set<std::string> names;
    const group* primary = ::getgrgid(::getegid());
    names.insert(primary ? primary->gr_name : std::to_string(::getegid()));
    for (gid_t gid : groups) {
        const group* entry = ::getgrgid(gid);
        names.insert(entry ? entry->gr_name : std::to_string(gid));
    }
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : " ") + name;
    return text;
}

void CheckGroups(const std::vector<std::string>& devices, CChecklist& list) {
    std::set<std::string> checked;
    for (const std::string& device : devices) {
        const SDeviceAccess access = DescribeDeviceAccess(device);
        if (!access.bExists || access.strGroup == "root" || !checked.insert(access.strGroup).second)
            continue;
        if (access.bUserInGroup && access.bSessionHasGroup)
            list.Ok("group " + access.strGroup + ": user " + access.strUser + " is in it");
        else if (access.bUserInGroup)
            list.Problem("group " + access.strGroup + ": user " + access.strUser +
                         " is in it, but this login started before: log out and log in again");
        else if (!access.bCanOpen)
            list.Problem("group " + access.strGroup + ": user " + access.strUser +
                         " is not in it; to fix: sudo "
                         "usermod -aG " +
                         access.strGroup + " $USER, then log out and log in again");
        else
            list.Note("group " + access.strGroup + ": user " + access.strUser +
                      " is not in it, but may open the devices anyway");
    }
}

// Whether the live process a lock file names may have the device it guards open (LCK..pts_3 guards pts/3
// below the device folder or /dev): false only when /proc shows it surely has not.
bool LockHolderMayHaveDevice(pid_t holder, const std::string& lockName, const SSystemPaths& paths) {
    std::string device = lockName.substr(5);
    std::replace(device.begin(), device.end(), '_', '/');
    for (const std::string& folder : {paths.strDev, std::string("/dev")})
        if (ProcessDeviceUse(holder, folder + "/" + device, paths) != EDeviceUse::NotOpen)
            return true;
    return false;
}

void CheckLockFiles(const SSystemPaths& paths, CChecklist& list) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(paths.strLock.c_str())) {
        while (const dirent* entry = ::readdir(dir))
            if (std::string(entry->d_name).rfind("LCK..", 0) == 0)
                names.push_back(entry->d_name);
        ::closedir(dir);
    } else {
        list.Note("lock folder " + paths.strLock + ": none (" + std::strerror(errno) + ")");
        return;
    }
    std::sort(names.begin(), names.end());
    if (names.empty())
        list.Ok("lock files in " + paths.strLock + ": none");
    for (const std::string& name : names) {
        const std::string file = paths.strLock + "/" + name;
        const pid_t holder = UucpLockFileHolder(file);
        const std::string named =
            holder != 0 ? ProcessName(holder, paths) + " (PID " + std::to_string(holder) + ")" : "";
        if (holder != 0 && LockHolderMayHaveDevice(holder, name, paths))
            list.Problem("lock file " + file + ": held by " + named);
        else if (holder != 0)
            list.Note("lock file " + file + ": names " + named +
                      ", which does not have the port open; the port opens all the same");
        else if (::access(file.c_str(), R_OK) != 0)
            list.Problem(
                "lock file " + file +
                ": this user may not read it, so the port it guards counts as busy; to fix: sudo rm " + file +
                " once no program uses that port");
        else
            list.Note("lock file " + file + ": stale (its program has ended); the port opens all the same");
    }
}

void CheckModemManager(const SSystemPaths& paths, CChecklist& list) {
    pid_t running = 0;
    if (DIR* dir = ::opendir(paths.strProc.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            char* end = nullptr;
            const long pid = std::strtol(entry->d_name, &end, 10);
            if (pid > 0 && *end == '\0' && ProcessName(static_cast<pid_t>(pid), paths) == "ModemManager")
                running = static_cast<pid_t>(pid);
        }
        ::closedir(dir);
    }
    if (running != 0) {
        list.Problem("modem manager: ModemManager runs (PID " + std::to_string(running) +
                     ") and probes new serial ports, which can hold a USB adapter for seconds after it is "
                     "plugged in; to fix: sudo systemctl stop ModemManager (or disable it)");
    } else if (::access("/usr/sbin/ModemManager", F_OK) == 0) {
        list.Note("modem manager: ModemManager is installed but not running");
    } else {
        list.Ok("modem manager: none that grabs serial ports");
    }
}

// Opens the chosen port or device as a command would, and closes it again.
bool CheckChosenLink(const SEffectiveSettings& chosen, const SSystemPaths& paths, CChecklist& list) {
    if (chosen.nLinkKind == kLinkUsb) {
        IHidLibrary& library = HidLibrary();
        const unsigned count = library.GetNumHidDevices(kDxuVendorId, kDxuProductId);
        HidHandle handle = nullptr;
        if (count == 1 && library.Open(handle, 0, kDxuVendorId, kDxuProductId) == kHidSuccess) {
            library.Close(handle);
            list.Ok("chosen link USB: the controller's device opens");
            return true;
        }
        list.Problem("chosen link USB: the controller's device does not open");
        for (const std::string& line : count == 1 ? library.ExplainOpenFailure() : library.ExplainNoDevice())
            list.Detail(line);
        return false;
    }
    const std::string device = ResolvePortName(chosen.strPort);
    const std::string label = "chosen port " + chosen.strPort +
                              (device.empty() || device == chosen.strPort ? "" : " (" + device + ")");
    int error = 0;
    if (!device.empty()) {
        CSerialPort port;
        if (port.Open(device, false)) {
            list.Ok(label + ": opens");
            return true;
        }
        error = errno;
    }
    list.Problem(label + ": does not open");
    for (const std::string& line : ExplainPortOpenFailure(chosen.strPort, device, error, paths))
        list.Detail(line);
    return false;
}

} // namespace

int RunDoctor(const SDoctorRequest& request, const SSystemPaths& paths, std::FILE* out) {
    CChecklist list(out);
    list.Ok("version: " + request.strVersion);

    SEffectiveSettings chosen = CheckSettings(request.strSettingsPath, list);
    if (!request.strPort.empty()) {
        chosen.strPort = request.strPort;
        chosen.nLinkKind = kLinkCom;
    }
    if (request.bUsb)
        chosen.nLinkKind = kLinkUsb;

    const std::vector<SSerialPortInfo> ports = ListSerialPorts(paths);
    std::vector<std::string> devices;
    if (ports.empty())
        list.Problem("serial ports: none found");
    else
        list.Ok("serial ports: " + std::to_string(ports.size()) + " found");
    for (const SSerialPortInfo& port : ports) {
        list.Detail(DescribeSerialPort(port) + "; " + DeviceAccessText(port.strDevice));
        devices.push_back(port.strDevice);
    }

    const passwd* user = ::getpwuid(::geteuid());
    list.Note("user " + std::string(user ? user->pw_name : std::to_string(::geteuid())) +
              ", groups of this login: " + GroupsOfThisLogin());
    const std::string chosenDevice = chosen.nLinkKind == kLinkCom ? ResolvePortName(chosen.strPort) : "";
    if (!chosenDevice.empty())
        devices.push_back(chosenDevice);
    CheckGroups(devices, list);
    CheckLockFiles(paths, list);

    std::vector<SHidDeviceInfo> controllers;
    for (const SHidDeviceInfo& device : ListHidDevices(paths))
        if (device.nVendorId == kDxuVendorId && device.nProductId == kDxuProductId)
            controllers.push_back(device);
    list.Note("controller USB devices (" + FormatUsbId(kDxuVendorId, kDxuProductId) +
              "): " + (controllers.empty() ? "none attached" : std::to_string(controllers.size())));
    for (const SHidDeviceInfo& device : controllers)
        list.Detail(device.strNode + (device.strSerial.empty() ? "" : ", serial number " + device.strSerial) +
                    "; " + DeviceAccessText(device.strNode));
    const std::string rule = FindUdevRule(paths);
    if (rule.empty())
        list.Problem(std::string("udev rule ") + kUdevRuleName +
                     ": not installed, so only root may open the "
                     "controller's USB device; it installs with the dravik package (or sudo make install)");
    else
        list.Ok("udev rule: " + rule);
    CheckModemManager(paths, list);

    return CheckChosenLink(chosen, paths, list) ? 0 : 1;
}
