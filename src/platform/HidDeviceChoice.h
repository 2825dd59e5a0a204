// One controller's USB device named among several, by its hidraw node ("/dev/hidraw3") or by its USB
// serial number ("usb:SERIAL"). The program's own rules take a USB device only when exactly one is
// attached; a named device is served as a view of the HID library in which it is the only one.
#pragma once

#include "platform/HidLibrary.h"
#include "platform/SystemPaths.h"

#include <memory>
#include <string>
#include <vector>

struct SUsbDeviceChoice {
    std::string strNode;   // the hidraw node it was named by; empty when named by serial number
    std::string strSerial; // its serial number, as named or as the node's device has it; may be empty
};

constexpr const char* kUsbSerialPrefix = "usb:";

// True when a port name names a controller's USB device: "usb:SERIAL", or a path to a hidraw node.
bool IsUsbPortName(const std::string& portName);

// The choice a USB port name makes. A node is looked up below paths for its device's serial number; false
// with the lines that say why when nothing follows "usb:" or the node is not a controller's.
bool ChooseUsbDevice(const std::string& portName, const SSystemPaths& paths, SUsbDeviceChoice& choice,
                     std::vector<std::string>& why);

// The view of library in which only the chosen device is attached: counted, named and opened. A device
// named by node and known by serial number is followed by its serial number, so it is found again after a
// restart gives it another node.
std::shared_ptr<IHidLibrary> CreateChosenHidLibrary(std::shared_ptr<IHidLibrary> library,
                                                    SUsbDeviceChoice choice);
