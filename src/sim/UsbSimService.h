// dxu-sim's simulated USB controller: its command-line options, the simulated bus with one or two
// devices (or one per controller of --count), a simulated controller behind each, and the HID socket that
// serves them.
#pragma once

#include "sim/SimFlash.h"

#include "sim/SimCommandLine.h"
#include "sim/SimOptions.h"
#include "sim/UsbSimController.h"
#include "sim/UsbSimHub.h"
#include "sim/UsbSocketServer.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CUsbSimService {
public:
    CUsbSimService() = default;
    ~CUsbSimService();
    CUsbSimService(const CUsbSimService&) = delete;
    CUsbSimService& operator=(const CUsbSimService&) = delete;

    // The device to serve, as dxu-sim's command line names it; none without a socket path.
    void Configure(const SimUsbOptions& options);
    bool IsEnabled() const { return !m_strSocketPath.empty(); }
    const std::string& SocketPath() const { return m_strSocketPath; }

    // Starts the bus, the controllers (with the serial simulator's options) and the socket.
    bool Start(const SimOptions& options, std::string& error);
    void Stop();

    std::shared_ptr<CUsbSimHub> Hub() const { return m_pHub; }
    // What the controllers behind the USB devices programmed, together (later devices win an overlap).
    SimFlashRuns FlashRuns();
    // What controller index (from 1) of --count programmed over its own device.
    SimFlashRuns FlashRuns(unsigned index);

private:
    void AttachController(const std::shared_ptr<CUsbSimDevice>& device, const SimOptions& options);

    std::string m_strSocketPath;
    SUsbSimOptions m_usbOptions;
    unsigned m_nDevices = 1;
    std::string m_strSerial;
    SimOptions m_simOptions;
    std::shared_ptr<CUsbSimHub> m_pHub;
    std::unique_ptr<CUsbSocketServer> m_pServer;
    std::mutex m_lock;
    std::vector<std::unique_ptr<CUsbSimController>> m_controllers;
};
