// One simulated controller USB HID device: the reports it takes from and gives to the host, and its
// answers to the restart control reports. The controller behind it is attached as a byte stream (bytes
// of output reports id 4 in, bytes to the host out in input reports id 3), so the same controller model
// serves the serial and the USB transport. The bus it is plugged into is CUsbSimHub.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// How the device answers the restart query (0x80, 0) and request (0x81, 1).
enum class EUsbRestartMode {
    NotNeeded,    // the query says no restart is needed
    Accept,       // a restart is needed and accepted: the device drops off and comes back
    RefuseRun,    // refused: the controller's application is in its RUN state
    OldBootstrap, // the bootstrap has no USB support; its version goes with the answer
};

struct SUsbSimOptions {
    uint16_t nVendorId = 0x10C4;
    uint16_t nProductId = 0x8468;
    EUsbRestartMode eRestart = EUsbRestartMode::NotNeeded;
    float fBootstrapVersion = 2.0f; // sent as an IEEE single, least significant byte first
    uint32_t nRestartDropMs = 200;  // clock time from the accepted request until the device drops off
    uint32_t nRestartAwayMs = 3000; // clock time it stays away
    uint32_t nBusyPolls = 0;        // control answers with state 2 (busy) after each request
    bool bRefuseOpen = false;       // another program holds the device: opening it fails
    std::string strSerial;          // the USB serial number string; empty: the device has none
};

class CUsbSimDevice {
public:
    static constexpr size_t kReportSize = 61;
    static constexpr size_t kMaxInputData = kReportSize - 2;
    static constexpr uint8_t kStateBusy = 2;
    static constexpr size_t kMaxQueuedReports = 4096; // a host that stops reading loses later reports

    explicit CUsbSimDevice(const SUsbSimOptions& options = {});

    SUsbSimOptions Options() const;
    void SetRestartMode(EUsbRestartMode mode);
    // The next this-many control answers say busy.
    void SetBusyPolls(uint32_t polls);
    void SetRefuseOpen(bool refuse);

    // Controller side. The handler gets the data bytes of every output report id 4, on the host's thread.
    void SetHostBytesHandler(std::function<void(const uint8_t*, size_t)> handler);
    // Bytes from the controller, cut into input reports id 3.
    void SendToHost(const uint8_t* data, size_t length);
    // Called (on the bus's thread) when the device comes back from an accepted restart.
    void SetRestartHandler(std::function<void()> handler);
    // Any raw input report (other ids, odd counts: what a faulty device might send).
    void InjectInputReport(const std::vector<uint8_t>& report);

    // Host side (the hub calls these).
    // Waits up to the real time given for an input report; false when none came. A reader whose session
    // was closed (closed true) takes nothing: the reports stay for the next session.
    bool TakeInputReport(std::vector<uint8_t>& report, std::chrono::nanoseconds wait,
                         const std::atomic<bool>* closed = nullptr);
    // Puts a taken report back in front: its reader could not pass it on (the program had gone).
    void ReturnInputReport(std::vector<uint8_t> report);
    void OutputReport(const uint8_t* report, size_t length);
    void ControlOut(const uint8_t* report, size_t length);
    // Fills buffer[1..] with the answer to the last control request. True once when that answer
    // accepted a restart (the hub then takes the device off the bus for a while).
    bool ControlIn(uint8_t* buffer, size_t length);
    // The bus dropped or restored the device: queued reports are lost, a restart completes.
    void OnUnplugged();
    void OnRestarted();

    // What reached the device, for tests: every output report as sent (61 bytes each).
    std::vector<std::vector<uint8_t>> OutputReports() const;
    void ClearOutputReports();
    // Control input reports answered so far.
    unsigned ControlInCount() const;
    // Wakes a host waiting in TakeInputReport (the hub when the device goes or a session closes).
    void WakeHost();

private:
    void QueueReport(std::vector<uint8_t> report);

    mutable std::mutex m_lock;
    std::condition_variable m_inputReady;
    SUsbSimOptions m_options;
    std::deque<std::vector<uint8_t>> m_input;
    std::vector<std::vector<uint8_t>> m_outputs;
    std::function<void(const uint8_t*, size_t)> m_hostBytes;
    std::function<void()> m_restarted;
    uint8_t m_request[8] = {};
    uint32_t m_nBusyLeft = 0;
    bool m_bRestarted = false; // after an accepted restart the controller sits in its bootstrap
    uint64_t m_nWakeCount = 0;
    unsigned m_nControlIns = 0;
};
