// A simulated USB bus holding simulated controller devices, seen through the HID library interface: the
// in-process HID backend of the tests and the demo, and what dxu-sim serves on its HID socket. Devices
// can be plugged, unplugged and attached twice; an accepted restart takes a device off the bus for a
// while. Arrival and removal notifications come from the bus's own thread.
#pragma once

#include "platform/HidLibrary.h"
#include "sim/UsbSimDevice.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class CUsbSimHub : public IHidLibrary {
public:
    // Real time one interrupt read waits before it reports a time-out (the library's own time-out).
    static constexpr uint32_t kReadWaitMs = 50;

    CUsbSimHub();
    ~CUsbSimHub() override;
    CUsbSimHub(const CUsbSimHub&) = delete;
    CUsbSimHub& operator=(const CUsbSimHub&) = delete;

    // A new device on the bus; plugged at once unless told otherwise.
    std::shared_ptr<CUsbSimDevice> AddDevice(const SUsbSimOptions& options = {}, bool bPlugged = true);
    void Plug(const std::shared_ptr<CUsbSimDevice>& device);
    void Unplug(const std::shared_ptr<CUsbSimDevice>& device);
    // The device an open handle reads from; null for a handle that is not open.
    std::shared_ptr<CUsbSimDevice> DeviceOf(HidHandle handle);
    bool IsPlugged(const std::shared_ptr<CUsbSimDevice>& device) const;
    // Handles opened and not yet closed (tests: nothing left open).
    unsigned OpenHandles() const;
    // Interrupt reads asked for so far (tests: a reader parked on a removed device stops asking).
    uint64_t InputReadCalls() const { return m_nReadCalls; }

    unsigned GetNumHidDevices(uint16_t vendorId, uint16_t productId) override;
    std::vector<SHidDeviceName> DeviceNames(uint16_t vendorId, uint16_t productId) override;
    int Open(HidHandle& handle, unsigned index, uint16_t vendorId, uint16_t productId) override;
    int Close(HidHandle handle) override;
    int GetInputReportInterrupt(HidHandle handle, uint8_t* buffer, size_t size, size_t& returned) override;
    int SetOutputReportInterrupt(HidHandle handle, const uint8_t* report, size_t length) override;
    int SetOutputReportControl(HidHandle handle, const uint8_t* report, size_t length) override;
    int GetInputReportControl(HidHandle handle, uint8_t* buffer, size_t length) override;
    void SetDeviceChangeHandler(std::function<void(bool arrived)> handler) override;

private:
    struct SSlot {
        std::shared_ptr<CUsbSimDevice> device;
        bool bPlugged = false;
        uint64_t nGeneration = 0; // counts unplugs: a handle lives for one generation
    };
    struct SSession {
        std::shared_ptr<CUsbSimDevice> device;
        uint64_t nGeneration = 0;
        std::atomic<bool> bClosed{false}; // set by Close; a read still waiting then takes nothing
    };
    struct SEvent {
        uint32_t nDueTick;
        std::function<void()> action;
    };

    SSlot* SlotOf(const CUsbSimDevice* device);
    // The session of a handle while its device is on the bus; null when the handle is unknown.
    std::shared_ptr<SSession> SessionOf(HidHandle handle, bool& bAlive);
    // The session of a handle whose device is on the bus: kHidSuccess, else the status to return.
    int LiveSession(HidHandle handle, std::shared_ptr<SSession>& session);
    void SetPlugged(const std::shared_ptr<CUsbSimDevice>& device, bool bPlugged);
    void Schedule(uint32_t delayMs, std::function<void()> action);
    void BusProc();

    mutable std::mutex m_lock;
    std::atomic<uint64_t> m_nReadCalls{0};
    std::vector<SSlot> m_slots;
    std::map<HidHandle, std::shared_ptr<SSession>> m_sessions;

    std::mutex m_handlerLock; // held while a notification runs
    std::function<void(bool)> m_handler;

    std::mutex m_eventLock;
    std::condition_variable m_eventReady;
    std::vector<SEvent> m_events;
    bool m_bStop = false;
    std::thread m_busThread;
};
