// The controller's USB HID device: opens and closes it, runs a reader thread that turns input reports
// into bytes in two receive rings, cuts byte streams into output reports, and exchanges control reports.
#pragma once

#include "platform/HidLibrary.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

struct SReceiveRing {
    static constexpr uint32_t kSize = 8192;
    uint8_t data[kSize];
    uint32_t nWrite;
    uint32_t nRead;
    uint32_t nCount;     // at most kSize - 1
    uint32_t nOverflow;  // bytes dropped because the ring was full
};

class CUsbHidDevice {
public:
    static constexpr size_t kReportSize = 61;
    static constexpr size_t kMaxReportData = 58;

    CUsbHidDevice();
    ~CUsbHidDevice();
    CUsbHidDevice(const CUsbHidDevice&) = delete;
    CUsbHidDevice& operator=(const CUsbHidDevice&) = delete;

    unsigned CountDevices();
    int Open();
    int Close();
    bool IsOpen() const;
    void StartReader();

    void SendReport(uint8_t reportId, const uint8_t* data, size_t length);
    bool ReadRing(uint8_t reportId, uint8_t* buffer, size_t length, size_t& count, uint32_t timeoutMs);
    bool PopByte(uint8_t reportId, uint8_t& byte, uint32_t timeoutMs);
    void ClearRing(uint8_t reportId);
    int SendControl(const uint8_t request[8]);
    int GetControl(uint8_t answer[8]);

    // Stores one input report as the reader does (the reader's own path; tests feed reports through it).
    void StoreReport(const uint8_t* report, size_t length);
    // Overflow count of a ring (tests, diagnostics).
    uint32_t Overflow(uint8_t reportId);
    uint32_t Count(uint8_t reportId);

private:
    SReceiveRing* RingOf(uint8_t reportId);
    void ReaderProc();

    std::thread m_readerThread;
    std::mutex m_lock;
    std::condition_variable m_dataEvent;
    bool m_bDataSignalled = false;  // the auto-reset event's state, under m_lock
    HidHandle m_device = nullptr;
    std::atomic<bool> m_bStop{false};
    SReceiveRing m_rings[2];
};
