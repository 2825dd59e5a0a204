#include "cli/CliPorts.h"

#include "platform/HidLibrary.h"
#include "platform/PortDiagnosis.h"
#include "platform/SerialPortList.h"

std::string DeviceAccessText(const std::string& devicePath) {
    const SDeviceAccess access = DescribeDeviceAccess(devicePath);
    if (!access.bExists)
        return "no device node";
    if (access.bCanOpen)
        return "this user may open it";
    return "this user may not open it (" + access.strMode + " " + access.strOwner + ":" + access.strGroup +
           ")";
}

int RunPorts(const SSystemPaths& paths, std::FILE* out) {
    const std::vector<SSerialPortInfo> ports = ListSerialPorts(paths);
    std::fprintf(out, "Serial ports:%s\n", ports.empty() ? " none" : "");
    for (const SSerialPortInfo& port : ports) {
        std::fprintf(out, "  %s; %s\n", DescribeSerialPort(port).c_str(),
                     DeviceAccessText(port.strDevice).c_str());
        for (const std::string& name : port.byIdNames)
            std::fprintf(out, "    also %s\n", name.c_str());
    }
    std::vector<SHidDeviceInfo> controllers;
    for (const SHidDeviceInfo& device : ListHidDevices(paths))
        if (device.nVendorId == kDxuVendorId && device.nProductId == kDxuProductId)
            controllers.push_back(device);
    std::fprintf(out, "Controller USB devices (%s):%s\n", FormatUsbId(kDxuVendorId, kDxuProductId).c_str(),
                 controllers.empty() ? " none" : "");
    for (const SHidDeviceInfo& device : controllers)
        std::fprintf(out, "  %s %s%s; %s\n", device.strNode.c_str(), device.strName.c_str(),
                     device.strSerial.empty() ? "" : (", serial number " + device.strSerial).c_str(),
                     DeviceAccessText(device.strNode).c_str());
    return 0;
}
