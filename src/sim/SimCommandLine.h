// dxu-sim's command line: one table of options for the serial simulator and its simulated USB device.
#pragma once

#include "sim/SimOptions.h"
#include "sim/UsbSimDevice.h"

#include <string>

// The simulated USB device dxu-sim serves beside its pseudo-terminal.
struct SimUsbOptions {
    std::string strSocketPath; // empty: no USB device
    SUsbSimOptions device;
    unsigned nDevices = 1;            // 2: the controller appears twice
    std::string strSerial = "DXUSIM"; // the device's USB serial number; with --count, "-I" is added
};

struct SimCommandLine {
    SimOptions sim;
    SimUsbOptions usb;
    bool bHelp = false;
};

// Parses dxu-sim's argv. False with a message for a bad argument.
bool ParseSimCommandLine(int argc, const char* const* argv, SimCommandLine& parsed, std::string& error);

// The --help text.
const char* SimUsageText();
