#include "platform/SerialPortList.h"

#include "platform/PortNames.h"

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool Exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

std::string LinkTargetName(const std::string& link) {
    char target[4096];
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
    if (n <= 0)
        return {};
    const std::string path(target, static_cast<size_t>(n));
    return path.substr(path.find_last_of('/') + 1);
}

bool ReadHex16(const std::string& path, uint16_t& value) {
    std::string line;
    unsigned parsed = 0;
    if (!ReadFirstLine(path, line) || std::sscanf(line.c_str(), "%x", &parsed) != 1 || parsed > 0xFFFF)
        return false;
    value = static_cast<uint16_t>(parsed);
    return true;
}

// The USB device a tty hangs under: the nearest folder above it with a vendor and product id.
void FindUsbParent(const std::string& deviceFolder, const std::string& sysRoot, SSerialPortInfo& port) {
    std::string folder = RealPath(deviceFolder);
    const std::string root = RealPath(sysRoot);
    while (folder.size() > root.size() && folder.compare(0, root.size(), root) == 0) {
        if (ReadHex16(folder + "/idVendor", port.nVendorId) &&
            ReadHex16(folder + "/idProduct", port.nProductId)) {
            port.bUsb = true;
            ReadFirstLine(folder + "/manufacturer", port.strMaker);
            ReadFirstLine(folder + "/product", port.strProduct);
            return;
        }
        folder.erase(folder.find_last_of('/'));
    }
}

// The driver of the device a tty sits on. Newer kernels put the serial core's own "port" and "ctrl"
// devices between the tty and the UART's driver; those say nothing to a person.
std::string DriverName(const std::string& deviceFolder, const std::string& sysRoot) {
    std::string folder = RealPath(deviceFolder);
    const std::string root = RealPath(sysRoot);
    while (folder.size() > root.size()) {
        const std::string driver = LinkTargetName(folder + "/driver");
        if (driver != "port" && driver != "ctrl")
            return driver;
        folder.erase(folder.find_last_of('/'));
    }
    return {};
}

// ttyS10 sorts after ttyS9, and every ttyS before ttyUSB.
bool PortOrder(const SSerialPortInfo& a, const SSerialPortInfo& b) {
    auto split = [](const std::string& name) {
        size_t digits = name.size();
        while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9')
            --digits;
        const std::string number = name.substr(digits);
        return std::make_pair(name.substr(0, digits), number.empty() ? 0UL : std::stoul(number));
    };
    return split(a.strName) < split(b.strName);
}

} // namespace

std::string FormatUsbId(uint16_t vendorId, uint16_t productId) {
    char text[16];
    std::snprintf(text, sizeof text, "%04X:%04X", vendorId, productId);
    return text;
}

std::string ComNameForDevice(const std::string& devicePath, const SSystemPaths& paths) {
    const std::string wanted = RealPath(devicePath);
    for (int number = 1; number <= 9; ++number) {
        const std::string name = "COM" + std::to_string(number);
        std::string resolved = ResolvePortName(name);
        if (resolved.compare(0, 5, "/dev/") == 0 && paths.strDev != "/dev")
            resolved = paths.strDev + resolved.substr(4);
        if (!resolved.empty() && RealPath(resolved) == wanted)
            return name;
    }
    return {};
}

std::vector<SSerialPortInfo> ListSerialPorts(const SSystemPaths& paths) {
    std::vector<SSerialPortInfo> ports;
    const std::string classFolder = paths.strSys + "/class/tty";
    for (const std::string& name : FolderEntries(classFolder)) {
        const std::string entry = classFolder + "/" + name;
        // Consoles, virtual terminals and pseudo-terminals have no device under them.
        if (!Exists(entry + "/device"))
            continue;
        // The 8250 driver registers its ttyS lines whether or not a UART answered; type 0 is none.
        std::string type;
        if (ReadFirstLine(entry + "/type", type) && type == "0")
            continue;
        SSerialPortInfo port;
        port.strName = name;
        port.strDevice = paths.strDev + "/" + name;
        port.strDriver = DriverName(entry + "/device", paths.strSys);
        FindUsbParent(entry + "/device", paths.strSys, port);
        port.strComName = ComNameForDevice(port.strDevice, paths);
        ports.push_back(std::move(port));
    }
    std::sort(ports.begin(), ports.end(), PortOrder);

    const std::string byIdFolder = paths.strDev + "/serial/by-id";
    for (const std::string& name : FolderEntries(byIdFolder)) {
        const std::string target = RealPath(byIdFolder + "/" + name);
        for (SSerialPortInfo& port : ports)
            if (RealPath(port.strDevice) == target)
                port.byIdNames.push_back(byIdFolder + "/" + name);
    }
    return ports;
}

std::vector<SHidDeviceInfo> ListHidDevices(const SSystemPaths& paths) {
    std::vector<SHidDeviceInfo> devices;
    const std::string classFolder = paths.strSys + "/class/hidraw";
    for (const std::string& name : FolderEntries(classFolder)) {
        SHidDeviceInfo device;
        device.strNode = paths.strDev + "/" + name;
        std::ifstream uevent(classFolder + "/" + name + "/device/uevent");
        std::string line;
        while (std::getline(uevent, line)) {
            unsigned bus = 0, vendor = 0, product = 0;
            if (line.compare(0, 7, "HID_ID=") == 0 &&
                std::sscanf(line.c_str() + 7, "%x:%x:%x", &bus, &vendor, &product) == 3) {
                device.nVendorId = static_cast<uint16_t>(vendor);
                device.nProductId = static_cast<uint16_t>(product);
            } else if (line.compare(0, 9, "HID_NAME=") == 0) {
                device.strName = line.substr(9);
            } else if (line.compare(0, 9, "HID_UNIQ=") == 0) {
                device.strSerial = line.substr(9);
            }
        }
        devices.push_back(std::move(device));
    }
    return devices;
}

std::string DescribeSerialPort(const SSerialPortInfo& port) {
    std::string text = port.strDevice;
    if (!port.strComName.empty())
        text += " (" + port.strComName + ")";
    if (port.bUsb) {
        text += " USB " + FormatUsbId(port.nVendorId, port.nProductId);
        if (!port.strMaker.empty())
            text += " " + port.strMaker;
        if (!port.strProduct.empty())
            text += " " + port.strProduct;
    } else if (!port.strDriver.empty()) {
        text += " " + port.strDriver;
    }
    return text;
}
