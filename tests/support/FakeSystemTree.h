// A fake sysfs, /dev, /proc and lock folder in a temporary folder, laid out as the kernel lays out the
// real ones, so that port listing and diagnosis run against known serial ports and HID devices.
#pragma once

#include "platform/SystemPaths.h"

#include <cstdint>
#include <filesystem>
#include <string>

struct SFakeUsb {
    uint16_t nVendorId = 0;
    uint16_t nProductId = 0;
    std::string strMaker;
    std::string strProduct;
};

class CFakeSystemTree {
public:
    CFakeSystemTree();
    ~CFakeSystemTree();
    CFakeSystemTree(const CFakeSystemTree&) = delete;
    CFakeSystemTree& operator=(const CFakeSystemTree&) = delete;

    const SSystemPaths& Paths() const { return m_paths; }
    const std::filesystem::path& Root() const { return m_root; }

    // A UART line: type is the 8250 driver's port type (0 = no UART answered).
    void AddUart(const std::string& name, int type);
    // A tty on a USB device (ttyUSB under a usb-serial driver, ttyACM under cdc_acm).
    void AddUsbTty(const std::string& name, const std::string& driver, const SFakeUsb& usb, int busPort);
    // A tty without a device under it (virtual terminal, console).
    void AddVirtualTty(const std::string& name);
    // A /dev/serial/by-id link to a device node.
    void AddById(const std::string& linkName, const std::string& ttyName);
    // A hidraw node of a USB HID device; serial is its serial number (none when empty).
    void AddHidraw(const std::string& name, uint16_t vendorId, uint16_t productId, const std::string& hidName,
                   const std::string& serial = "");
    // A process in the fake /proc with a descriptor open on a path.
    void AddProcess(int pid, const std::string& command, const std::string& openPath);
    std::string Dev(const std::string& name) const { return m_paths.strDev + "/" + name; }

private:
    void WriteFile(const std::filesystem::path& path, const std::string& text);
    std::filesystem::path m_root;
    SSystemPaths m_paths;
    unsigned m_nHidCount = 0;
};
