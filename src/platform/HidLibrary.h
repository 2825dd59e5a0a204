// The HID device library the USB link talks to, shaped like the vendor library's calls. One backend is
// chosen for the whole process (real hidraw, or the simulated controller) by SelectHidLibrary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

constexpr uint16_t kDxuVendorId = 0x10C4;
constexpr uint16_t kDxuProductId = 0x8468;

constexpr int kHidSuccess = 0;
constexpr int kHidDeviceNotFound = 1;
constexpr int kHidInvalidHandle = 2;
constexpr int kHidDeviceIoFailed = 3;
constexpr int kHidReadTimedOut = 4;
constexpr int kHidDeviceAccessError = 5;
constexpr int kHidDeviceRemoved = 6;
constexpr int kHidAlreadyOpen = 7;
// The operating system does not support the function (the control reports on an old kernel).
constexpr int kHidFunctionNotSupported = 10;

// One open device; closing it is the library's Close.
using HidHandle = void*;

// What tells one attached device from another: its device node (/dev/hidraw3; empty where the backend has
// none) and its USB serial number (empty when the device has none).
struct SHidDeviceName {
    std::string strNode;
    std::string strSerial;
};

class IHidLibrary {
public:
    virtual ~IHidLibrary() = default;

    virtual unsigned GetNumHidDevices(uint16_t vendorId, uint16_t productId) = 0;
    virtual int Open(HidHandle& handle, unsigned index, uint16_t vendorId, uint16_t productId) = 0;
    virtual int Close(HidHandle handle) = 0;
    // Waits for one input report up to the library's own short time-out, so that a reader can look at
    // its stop flag between calls. The report (id first) is put at the start of the buffer.
    // kHidDeviceRemoved once the device has gone; every later call on the handle says the same.
    virtual int GetInputReportInterrupt(HidHandle handle, uint8_t* buffer, size_t size, size_t& returned) = 0;
    virtual int SetOutputReportInterrupt(HidHandle handle, const uint8_t* report, size_t length) = 0;
    virtual int SetOutputReportControl(HidHandle handle, const uint8_t* report, size_t length) = 0;
    // buffer[0] holds the report id on entry; the answer follows it.
    virtual int GetInputReportControl(HidHandle handle, uint8_t* buffer, size_t length) = 0;

    // The names of the devices GetNumHidDevices counts, in the order Open numbers them.
    virtual std::vector<SHidDeviceName> DeviceNames(uint16_t vendorId, uint16_t productId) = 0;

    // Why no single controller was found, or why opening it failed, in lines for a person; empty when
    // the backend cannot tell.
    virtual std::vector<std::string> ExplainNoDevice() { return {}; }
    virtual std::vector<std::string> ExplainOpenFailure() { return {}; }

    // Device arrival (true) and removal (false) of any HID device; called from the library's own thread.
    // An empty function stops the notifications (and waits for a call in progress to end).
    virtual void SetDeviceChangeHandler(std::function<void(bool arrived)> handler) = 0;
};

// The process's HID library. Until a backend is selected it is the real hidraw backend.
IHidLibrary& HidLibrary();
// The same, shared: an open device keeps the backend it was opened on alive.
std::shared_ptr<IHidLibrary> CurrentHidLibrary();
// Replaces the process's backend (the simulated controller, tests). Call before any device is opened.
// Null puts the real backend back.
void SelectHidLibrary(std::shared_ptr<IHidLibrary> library);

// The backends this layer offers.
std::shared_ptr<IHidLibrary> CreateHidRawLibrary();
// A simulated controller served by dxu-sim on a UNIX socket (format in HidSocketProtocol.h).
std::shared_ptr<IHidLibrary> CreateHidSocketLibrary(const std::string& socketPath);
