// The real HID backend: hidraw device nodes for the reports, libudev to find the controller by vendor and
// product and to watch HID devices come and go.
#include "platform/HidLibrary.h"
#include "platform/PortDiagnosis.h"
#include "platform/StopEvent.h"
#include "platform/UniqueFd.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <libudev.h>
#include <linux/hidraw.h>
#include <memory>
#include <mutex>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <thread>
#include <vector>

namespace {

// How long one interrupt read waits, so that the reader looks at its stop flag this often.
constexpr int kReadPollMs = 100;

struct UdevDeleter {
    void operator()(udev* p) const { udev_unref(p); }
    void operator()(udev_enumerate* p) const { udev_enumerate_unref(p); }
    void operator()(udev_device* p) const { udev_device_unref(p); }
    void operator()(udev_monitor* p) const { udev_monitor_unref(p); }
};
template <typename T> using UdevPtr = std::unique_ptr<T, UdevDeleter>;

struct SHidRawDevice {
    CUniqueFd fd;
};

SHidRawDevice* DeviceOf(HidHandle handle) {
    return static_cast<SHidRawDevice*>(handle);
}

bool IsGoneError(int error) {
    return error == ENODEV || error == ENXIO || error == EIO;
}

// The attached devices with this vendor and product: node (/dev/hidrawN) and USB serial number (the HID
// device's "uniq" text, which the kernel takes from the USB serial number string), in node order.
std::vector<SHidDeviceName> FindDevices(uint16_t vendorId, uint16_t productId) {
    std::vector<SHidDeviceName> devices;
    UdevPtr<udev> context(udev_new());
    if (!context)
        return devices;
    UdevPtr<udev_enumerate> enumerate(udev_enumerate_new(context.get()));
    if (!enumerate)
        return devices;
    udev_enumerate_add_match_subsystem(enumerate.get(), "hidraw");
    udev_enumerate_scan_devices(enumerate.get());
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get())) {
        UdevPtr<udev_device> device(
            udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
        if (!device)
            continue;
        // The parent is owned by the child; it is not unreferenced.
        udev_device* hid = udev_device_get_parent_with_subsystem_devtype(device.get(), "hid", nullptr);
        const char* hidId = hid ? udev_device_get_property_value(hid, "HID_ID") : nullptr;
        const char* node = udev_device_get_devnode(device.get());
        unsigned bus = 0, vendor = 0, product = 0;
        if (hidId == nullptr || node == nullptr ||
            std::sscanf(hidId, "%x:%x:%x", &bus, &vendor, &product) != 3)
            continue;
        if (vendor == vendorId && product == productId) {
            const char* serial = udev_device_get_property_value(hid, "HID_UNIQ");
            devices.push_back({node, serial ? serial : ""});
        }
    }
    std::sort(devices.begin(), devices.end(),
              [](const SHidDeviceName& a, const SHidDeviceName& b) { return a.strNode < b.strNode; });
    return devices;
}

class CHidRawLibrary : public IHidLibrary {
public:
    ~CHidRawLibrary() override { StopMonitor(); }

    unsigned GetNumHidDevices(uint16_t vendorId, uint16_t productId) override {
        return static_cast<unsigned>(FindDevices(vendorId, productId).size());
    }

    std::vector<SHidDeviceName> DeviceNames(uint16_t vendorId, uint16_t productId) override {
        return FindDevices(vendorId, productId);
    }

    int Open(HidHandle& handle, unsigned index, uint16_t vendorId, uint16_t productId) override {
        handle = nullptr;
        const std::vector<SHidDeviceName> devices = FindDevices(vendorId, productId);
        if (index >= devices.size())
            return kHidDeviceNotFound;
        CUniqueFd fd(::open(devices[index].strNode.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK));
        if (!fd.IsValid())
            return (errno == EACCES || errno == EPERM || errno == EBUSY) ? kHidDeviceAccessError
                                                                         : kHidDeviceNotFound;
        auto device = std::make_unique<SHidRawDevice>();
        device->fd = std::move(fd);
        handle = device.release();
        return kHidSuccess;
    }

    std::vector<std::string> ExplainNoDevice() override { return ExplainNoControllerDevice(); }
    std::vector<std::string> ExplainOpenFailure() override { return ExplainControllerOpenFailure(); }

    int Close(HidHandle handle) override {
        if (handle == nullptr)
            return kHidInvalidHandle;
        std::unique_ptr<SHidRawDevice> device(DeviceOf(handle));
        return ::close(device->fd.Release()) == 0 ? kHidSuccess : kHidDeviceIoFailed;
    }

    int GetInputReportInterrupt(HidHandle handle, uint8_t* buffer, size_t size, size_t& returned) override {
        returned = 0;
        if (handle == nullptr)
            return kHidInvalidHandle;
        pollfd pfd{DeviceOf(handle)->fd.Get(), POLLIN, 0};
        const int ready = ::poll(&pfd, 1, kReadPollMs);
        if (ready == 0 || (ready < 0 && errno == EINTR))
            return kHidReadTimedOut;
        if (ready < 0)
            return kHidDeviceIoFailed;
        // A device unplugged under an open node hangs up; reading it again would fail at once forever.
        if (pfd.revents & (POLLHUP | POLLERR | POLLNVAL))
            return kHidDeviceRemoved;
        const ssize_t n = ::read(pfd.fd, buffer, size);
        if (n > 0) {
            returned = static_cast<size_t>(n);
            return kHidSuccess;
        }
        if (n == 0 || IsGoneError(errno))
            return kHidDeviceRemoved;
        return (errno == EAGAIN || errno == EINTR) ? kHidReadTimedOut : kHidDeviceIoFailed;
    }

    int SetOutputReportInterrupt(HidHandle handle, const uint8_t* report, size_t length) override {
        if (handle == nullptr)
            return kHidInvalidHandle;
        const ssize_t n = ::write(DeviceOf(handle)->fd.Get(), report, length);
        if (n == static_cast<ssize_t>(length))
            return kHidSuccess;
        return (n < 0 && IsGoneError(errno)) ? kHidDeviceRemoved : kHidDeviceIoFailed;
    }

    int SetOutputReportControl(HidHandle handle, const uint8_t* report, size_t length) override {
        if (handle == nullptr)
            return kHidInvalidHandle;
        std::vector<uint8_t> copy(report, report + length);
        return IoctlStatus(::ioctl(DeviceOf(handle)->fd.Get(), HIDIOCSOUTPUT(length), copy.data()));
    }

    int GetInputReportControl(HidHandle handle, uint8_t* buffer, size_t length) override {
        if (handle == nullptr)
            return kHidInvalidHandle;
        return IoctlStatus(::ioctl(DeviceOf(handle)->fd.Get(), HIDIOCGINPUT(length), buffer));
    }

    void SetDeviceChangeHandler(std::function<void(bool arrived)> handler) override {
        StopMonitor();
        if (!handler)
            return;
        m_handler = std::move(handler);
        StartMonitor();
    }

private:
    static int IoctlStatus(int rc) {
        if (rc >= 0)
            return kHidSuccess;
        if (IsGoneError(errno))
            return kHidDeviceRemoved;
        // Kernels before 5.11 know neither control-report request.
        if (errno == ENOTTY || errno == EINVAL)
            return kHidFunctionNotSupported;
        return kHidDeviceIoFailed;
    }

    void StartMonitor() {
        UdevPtr<udev> context(udev_new());
        if (!context)
            return;
        UdevPtr<udev_monitor> monitor(udev_monitor_new_from_netlink(context.get(), "udev"));
        if (!monitor ||
            udev_monitor_filter_add_match_subsystem_devtype(monitor.get(), "hidraw", nullptr) < 0 ||
            udev_monitor_enable_receiving(monitor.get()) < 0)
            return;
        auto stop = std::make_unique<CStopEvent>();
        if (!stop->IsValid())
            return;
        m_pStop = std::move(stop);
        m_monitorThread = std::thread([this, context = std::move(context), monitor = std::move(monitor)] {
            MonitorProc(monitor.get());
        });
    }

    void StopMonitor() {
        if (m_monitorThread.joinable()) {
            m_pStop->Raise();
            m_monitorThread.join();
        }
        m_pStop.reset();
        m_handler = nullptr;
    }

    void MonitorProc(udev_monitor* monitor) {
        short revents = 0;
        while (m_pStop->Wait(udev_monitor_get_fd(monitor), POLLIN, &revents) == CStopEvent::EWait::Ready) {
            if (revents & (POLLERR | POLLHUP | POLLNVAL))
                return;
            UdevPtr<udev_device> device(udev_monitor_receive_device(monitor));
            const char* action = device ? udev_device_get_action(device.get()) : nullptr;
            if (action == nullptr)
                continue;
            const std::string strAction(action);
            if (strAction == "add")
                m_handler(true);
            else if (strAction == "remove")
                m_handler(false);
        }
    }

    std::function<void(bool)> m_handler;
    std::unique_ptr<CStopEvent> m_pStop;
    std::thread m_monitorThread;
};

} // namespace

std::shared_ptr<IHidLibrary> CreateHidRawLibrary() {
    return std::make_shared<CHidRawLibrary>();
}
