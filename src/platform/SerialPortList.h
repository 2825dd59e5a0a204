// The serial ports and HID devices this computer has, read from sysfs: a tty counts as a serial port
// when it sits on a device (a UART that answered its probe, a USB adapter, a modem), never by its name.
#pragma once

#include "platform/SystemPaths.h"

#include <cstdint>
#include <string>
#include <vector>

struct SSerialPortInfo {
    std::string strName;                // ttyUSB0
    std::string strDevice;              // /dev/ttyUSB0
    std::string strDriver;              // ftdi_sio, cdc_acm, serial8250, ... (empty when sysfs does not say)
    std::vector<std::string> byIdNames; // /dev/serial/by-id/... names of the same device
    bool bUsb = false;
    uint16_t nVendorId = 0;
    uint16_t nProductId = 0;
    std::string strMaker;
    std::string strProduct;
    std::string strComName; // COM1..COM9 when one of them maps to this device
};

struct SHidDeviceInfo {
    std::string strNode; // /dev/hidraw0
    uint16_t nVendorId = 0;
    uint16_t nProductId = 0;
    std::string strName;   // the device's own name, as the kernel has it
    std::string strSerial; // its USB serial number ("uniq"); empty when it has none
};

// Sorted by kind and number: ttyS0, ttyS1, ..., ttyUSB0, ...
std::vector<SSerialPortInfo> ListSerialPorts(const SSystemPaths& paths = SystemPaths());
// Every hidraw node with its USB (or other bus) vendor and product.
std::vector<SHidDeviceInfo> ListHidDevices(const SSystemPaths& paths = SystemPaths());

// "10C4:8468".
std::string FormatUsbId(uint16_t vendorId, uint16_t productId);
// One line for a person: "/dev/ttyUSB0 (COM3) USB 0403:6001 FTDI FT232R USB UART".
std::string DescribeSerialPort(const SSerialPortInfo& port);
// The COM1..COM9 name that maps to a device path, or empty (a device folder other than /dev counts as /dev).
std::string ComNameForDevice(const std::string& devicePath, const SSystemPaths& paths = SystemPaths());
