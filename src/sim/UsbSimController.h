// Runs the simulated controller behind a simulated USB device: the bytes of the host's output reports
// go to the controller, its answers go back as input reports, and its timers run on a thread of its own.
// An accepted USB restart resets the controller and leaves it held in its bootstrap.
#pragma once

#include "sim/SimController.h"
#include "sim/SimOptions.h"
#include "sim/SimTrace.h"
#include "sim/UsbSimDevice.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class CUsbSimController {
public:
    // pTrace may be null; it must outlive this object.
    CUsbSimController(std::shared_ptr<CUsbSimDevice> device, const SimOptions& options,
                      CSimTrace* pTrace = nullptr);
    ~CUsbSimController();
    CUsbSimController(const CUsbSimController&) = delete;
    CUsbSimController& operator=(const CUsbSimController&) = delete;

    SimCounters Counters() const { return m_controller.Counters(); }
    std::vector<SimFrame> Frames() const { return m_controller.Frames(); }
    SimFlashRuns FlashRuns() const { return m_controller.FlashRuns(); }
    // The folder the files received by ZModem are stored in; fixed for the controller's life.
    const std::string& ReceiveDir() const { return m_controller.ReceiveDir(); }

private:
    void Run();

    std::shared_ptr<CUsbSimDevice> m_pDevice;
    CSimController m_controller;
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::vector<uint8_t> m_received; // from the host, not yet given to the controller
    bool m_bRestart = false;
    bool m_bStop = false;
    std::thread m_thread;
};
