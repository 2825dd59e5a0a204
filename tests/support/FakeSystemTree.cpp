#include "support/FakeSystemTree.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace fs = std::filesystem;

CFakeSystemTree::CFakeSystemTree() {
    std::string pattern = (fs::temp_directory_path() / "dravik-system-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        std::abort();
    m_root = pattern;
    m_paths.strSys = (m_root / "sys").string();
    m_paths.strDev = (m_root / "dev").string();
    m_paths.strProc = (m_root / "proc").string();
    m_paths.strLock = (m_root / "lock").string();
    m_paths.strUdevRuleFolders =
        (m_root / "etc/udev/rules.d").string() + ":" + (m_root / "lib/udev/rules.d").string();
    for (const char* folder : {"sys/class/tty", "sys/class/hidraw", "sys/devices", "dev/serial/by-id", "proc",
                               "lock", "etc/udev/rules.d", "lib/udev/rules.d"})
        fs::create_directories(m_root / folder);
}

CFakeSystemTree::~CFakeSystemTree() {
    std::error_code error;
    fs::remove_all(m_root, error);
}

void CFakeSystemTree::WriteFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

void CFakeSystemTree::AddUart(const std::string& name, int type) {
    // As newer kernels lay it out: the UART's driver, then the serial core's controller and port devices.
    const fs::path top = m_root / "sys/devices/platform/serial8250";
    const fs::path device = top / ("serial8250:" + name) / ("serial8250:" + name + ".0");
    const fs::path tty = device / "tty" / name;
    fs::create_directories(tty);
    const std::pair<fs::path, const char*> drivers[] = {
        {top, "serial8250"}, {device.parent_path(), "ctrl"}, {device, "port"}};
    for (const auto& [folder, driverName] : drivers) {
        const fs::path driver = m_root / "sys/bus/drivers" / driverName;
        fs::create_directories(driver);
        if (!fs::exists(folder / "driver"))
            fs::create_directory_symlink(driver, folder / "driver");
    }
    fs::create_directory_symlink(device, tty / "device");
    WriteFile(tty / "type", std::to_string(type) + "\n");
    fs::create_directory_symlink(tty, m_root / "sys/class/tty" / name);
    WriteFile(m_root / "dev" / name, "");
}

void CFakeSystemTree::AddUsbTty(const std::string& name, const std::string& driver, const SFakeUsb& usb,
                                int busPort) {
    const fs::path usbDevice =
        m_root / "sys/devices/pci0000:00/0000:00:14.0/usb1" / ("1-" + std::to_string(busPort));
    char id[8];
    std::snprintf(id, sizeof id, "%04x\n", usb.nVendorId);
    WriteFile(usbDevice / "idVendor", id);
    std::snprintf(id, sizeof id, "%04x\n", usb.nProductId);
    WriteFile(usbDevice / "idProduct", id);
    WriteFile(usbDevice / "manufacturer", usb.strMaker + "\n");
    WriteFile(usbDevice / "product", usb.strProduct + "\n");
    const fs::path interface = usbDevice / ("1-" + std::to_string(busPort) + ":1.0");
    // usb-serial adapters put a port device between the interface and the tty; cdc_acm does not.
    const fs::path ttyParent = driver == "cdc_acm" ? interface : interface / name;
    const fs::path tty = ttyParent / "tty" / name;
    fs::create_directories(tty);
    const fs::path driverFolder = m_root / "sys/bus/usb/drivers" / driver;
    fs::create_directories(driverFolder);
    fs::create_directory_symlink(driverFolder, ttyParent / "driver");
    fs::create_directory_symlink(ttyParent, tty / "device");
    fs::create_directory_symlink(tty, m_root / "sys/class/tty" / name);
    WriteFile(m_root / "dev" / name, "");
}

void CFakeSystemTree::AddVirtualTty(const std::string& name) {
    const fs::path tty = m_root / "sys/devices/virtual/tty" / name;
    fs::create_directories(tty);
    fs::create_directory_symlink(tty, m_root / "sys/class/tty" / name);
    WriteFile(m_root / "dev" / name, "");
}

void CFakeSystemTree::AddById(const std::string& linkName, const std::string& ttyName) {
    fs::create_symlink("../../" + ttyName, m_root / "dev/serial/by-id" / linkName);
}

void CFakeSystemTree::AddHidraw(const std::string& name, uint16_t vendorId, uint16_t productId,
                                const std::string& hidName, const std::string& serial) {
    char hidId[64];
    const unsigned instance = ++m_nHidCount;
    std::snprintf(hidId, sizeof hidId, "0003:%04X:%04X.%04X", vendorId, productId, instance);
    const std::string usbPort = "2-" + std::to_string(instance);
    const fs::path hid =
        m_root / "sys/devices/pci0000:00/0000:00:14.0/usb2" / usbPort / (usbPort + ":1.0") / hidId;
    char uevent[256];
    std::snprintf(uevent, sizeof uevent,
                  "DRIVER=hid-generic\nHID_ID=0003:%08X:%08X\nHID_NAME=%s\nHID_UNIQ=%s\n", vendorId,
                  productId, hidName.c_str(), serial.c_str());
    WriteFile(hid / "uevent", uevent);
    const fs::path node = hid / "hidraw" / name;
    fs::create_directories(node);
    fs::create_directory_symlink(hid, node / "device");
    fs::create_directory_symlink(node, m_root / "sys/class/hidraw" / name);
    WriteFile(m_root / "dev" / name, "");
}

void CFakeSystemTree::AddProcess(int pid, const std::string& command, const std::string& openPath) {
    const fs::path process = m_root / "proc" / std::to_string(pid);
    WriteFile(process / "comm", command + "\n");
    fs::create_directories(process / "fd");
    fs::create_symlink(openPath, process / "fd" / "3");
}
