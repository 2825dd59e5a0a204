// The controller's USB HID device: opens and closes it, runs a reader thread that turns input reports
// into bytes in two receive rings, cuts byte streams into output reports, and exchanges control reports.
#pragma once

#include "platform/HidLibrary.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

struct SReceiveRing {
    static constexpr uint32_t kSize = 8192;
    uint8_t data[kSize];
    uint32_t nWrite;
    uint32_t nRead;
    uint32_t nCount;    // at most kSize - 1
    uint32_t nOverflow; // bytes dropped because the ring was full
};

class CUsbHidDevice {
public:
    static constexpr size_t kReportSize = 61;
    static constexpr size_t kMaxReportData = 58;
    static constexpr size_t kReadBufferSize = 8192;
    static constexpr uint8_t kControlOutId = 0xFD;
    static constexpr uint8_t kControlInId = 0xFE;

    CUsbHidDevice();
    // Closes the device if it is still open, so no reader thread outlives the object.
    ~CUsbHidDevice();
    CUsbHidDevice(const CUsbHidDevice&) = delete;
    CUsbHidDevice& operator=(const CUsbHidDevice&) = delete;

    unsigned CountDevices();
    // Opens device index 0 and starts the reader. An already open device stays as it is (status 0).
    int Open();
    // Stops the reader, then closes the device; the library's status (kHidInvalidHandle when not open).
    int Close();
    bool IsOpen() const;
    // The reader found the open device removed: reads and writes on it fail at once until it is opened again.
    bool IsDeviceGone() const { return m_bDeviceGone; }
    // A device was removed while this one was open: the next Open opens afresh.
    void NoteRemoval() { m_bRemovalSeen = true; }
    void StartReader();

    void SendReport(uint8_t reportId, const uint8_t* data, size_t length);
    bool ReadRing(uint8_t reportId, uint8_t* buffer, size_t length, size_t& count, uint32_t timeoutMs);
    bool PopByte(uint8_t reportId, uint8_t& byte, uint32_t timeoutMs);
    void ClearRing(uint8_t reportId);
    int SendControl(const uint8_t request[8]);
    int GetControl(uint8_t answer[8]);

    // Called on the reader thread after the controller's bytes (report id 3) were stored, so a face can
    // pump them without polling. An empty function stops the calls; setting waits for a call in progress.
    void SetDataHandler(std::function<void()> handler);

    // Stores one input report as the reader does (the reader's own path; tests feed reports through it).
    void StoreReport(const uint8_t* report, size_t length);
    // Overflow and fill of a ring (tests, diagnostics).
    uint32_t Overflow(uint8_t reportId);
    uint32_t Count(uint8_t reportId);
    // Whether a reader thread exists (tests check that Close leaves none).
    bool IsReaderRunning() const;

private:
    SReceiveRing* RingOf(uint8_t reportId);
    // Waits for the data event until the deadline; true when it came (and resets it).
    bool WaitDataEvent(std::unique_lock<std::mutex>& lock, std::chrono::steady_clock::time_point deadline);
    void ReaderProc();

    std::thread m_readerThread;
    std::atomic<bool> m_bReaderRunning{false};
    std::mutex m_lock;
    std::condition_variable m_dataEvent;
    std::mutex m_handlerLock;
    std::function<void()> m_dataHandler;
    bool m_bDataSignalled = false; // the auto-reset event's state, under m_lock
    std::atomic<HidHandle> m_device{nullptr};
    std::shared_ptr<IHidLibrary> m_pLibrary; // the backend the open device belongs to
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bDeviceGone{false};  // the reader found the device removed under its handle
    std::atomic<bool> m_bRemovalSeen{false}; // a removal was notified while the device was open
    std::mutex m_stopLock;                   // wakes a reader parked on a removed device
    std::condition_variable m_stopEvent;
    SReceiveRing m_rings[2];
    uint8_t m_readBuffer[kReadBufferSize]; // the reader's only buffer
};

// Keeps a device-change handler registered with the process's HID library while it lives; the handler is
// called on the library's thread with true for an arrival and false for a removal.
class CUsbDeviceWatch {
public:
    CUsbDeviceWatch() = default;
    ~CUsbDeviceWatch() { Stop(); }
    CUsbDeviceWatch(const CUsbDeviceWatch&) = delete;
    CUsbDeviceWatch& operator=(const CUsbDeviceWatch&) = delete;

    void Start(std::function<void(bool arrived)> handler);
    // Returns once no call of the handler is running any more.
    void Stop();

private:
    std::shared_ptr<IHidLibrary> m_pLibrary;
};
