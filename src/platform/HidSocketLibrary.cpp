// The simulated HID backend: the controller's USB device as dxu-sim serves it on a UNIX socket.
#include "platform/HidLibrary.h"
#include "platform/HidSocketProtocol.h"
#include "platform/StopEvent.h"
#include "platform/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <vector>

namespace {

using namespace HidSocket;

// One interrupt read waits this long (real time) so that the reader looks at its stop flag.
constexpr int kReadPollMs = 100;
// A request that has no reply within this time means the simulator has gone.
constexpr int kReplyWaitMs = 5000;

struct SSocketDevice {
    std::mutex lock; // one request and its reply at a time
    CUniqueFd request;
    CUniqueFd input;
};

SSocketDevice* DeviceOf(HidHandle handle) {
    return static_cast<SSocketDevice*>(handle);
}

bool SendMessage(int fd, const std::vector<uint8_t>& message) {
    return ::send(fd, message.data(), message.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(message.size());
}

// Waits for one message; empty when the peer closed, failed or did not answer in time.
std::vector<uint8_t> ReceiveMessage(int fd, int waitMs) {
    pollfd pfd{fd, POLLIN, 0};
    int ready;
    do
        ready = ::poll(&pfd, 1, waitMs);
    while (ready < 0 && errno == EINTR);
    if (ready <= 0)
        return {};
    std::vector<uint8_t> message(kMaxMessage);
    const ssize_t n = ::recv(fd, message.data(), message.size(), 0);
    if (n <= 0)
        return {};
    message.resize(static_cast<size_t>(n));
    return message;
}

class CHidSocketLibrary : public IHidLibrary {
public:
    explicit CHidSocketLibrary(std::string path) : m_strPath(std::move(path)) {}
    ~CHidSocketLibrary() override { StopWatch(); }

    unsigned GetNumHidDevices(uint16_t vendorId, uint16_t productId) override {
        std::vector<uint8_t> message{kCount, 0, 0, 0, 0};
        PutU16(&message[1], vendorId);
        PutU16(&message[3], productId);
        CUniqueFd fd = Connect();
        if (!fd.IsValid() || !SendMessage(fd.Get(), message))
            return 0;
        const std::vector<uint8_t> reply = ReceiveMessage(fd.Get(), kReplyWaitMs);
        return reply.size() == 5 && reply[0] == kCountReply ? GetU32(&reply[1]) : 0;
    }

    std::vector<SHidDeviceName> DeviceNames(uint16_t vendorId, uint16_t productId) override {
        std::vector<uint8_t> message{kNames, 0, 0, 0, 0};
        PutU16(&message[1], vendorId);
        PutU16(&message[3], productId);
        CUniqueFd fd = Connect();
        if (!fd.IsValid() || !SendMessage(fd.Get(), message))
            return {};
        const std::vector<uint8_t> reply = ReceiveMessage(fd.Get(), kReplyWaitMs);
        if (reply.empty() || reply[0] != kNamesReply)
            return {};
        std::vector<SHidDeviceName> names;
        for (size_t at = 1; at < reply.size() && at + 1 + reply[at] <= reply.size(); at += 1 + reply[at])
            names.push_back({"", std::string(reply.begin() + static_cast<long>(at) + 1,
                                             reply.begin() + static_cast<long>(at) + 1 + reply[at])});
        return names;
    }

    int Open(HidHandle& handle, unsigned index, uint16_t vendorId, uint16_t productId) override {
        handle = nullptr;
        std::vector<uint8_t> message{kOpen, 0, 0, 0, 0, 0, 0, 0, 0};
        PutU32(&message[1], index);
        PutU16(&message[5], vendorId);
        PutU16(&message[7], productId);
        auto device = std::make_unique<SSocketDevice>();
        device->request = Connect();
        if (!device->request.IsValid() || !SendMessage(device->request.Get(), message))
            return kHidDeviceNotFound;
        const std::vector<uint8_t> reply = ReceiveMessage(device->request.Get(), kReplyWaitMs);
        if (reply.size() != 6 || reply[0] != kOpenReply)
            return kHidDeviceIoFailed;
        if (reply[1] != kHidSuccess)
            return reply[1];
        std::vector<uint8_t> attach{kInput, 0, 0, 0, 0};
        std::memcpy(&attach[1], &reply[2], 4);
        device->input = Connect();
        if (!device->input.IsValid() || !SendMessage(device->input.Get(), attach))
            return kHidDeviceIoFailed;
        handle = device.release();
        return kHidSuccess;
    }

    int Close(HidHandle handle) override {
        if (handle == nullptr)
            return kHidInvalidHandle;
        std::unique_ptr<SSocketDevice> device(DeviceOf(handle));
        return kHidSuccess;
    }

    int GetInputReportInterrupt(HidHandle handle, uint8_t* buffer, size_t size, size_t& returned) override {
        returned = 0;
        if (handle == nullptr)
            return kHidInvalidHandle;
        pollfd pfd{DeviceOf(handle)->input.Get(), POLLIN, 0};
        const int ready = ::poll(&pfd, 1, kReadPollMs);
        if (ready == 0 || (ready < 0 && errno == EINTR))
            return kHidReadTimedOut;
        if (ready < 0)
            return kHidDeviceIoFailed;
        uint8_t message[kMaxMessage];
        const ssize_t n = ::recv(pfd.fd, message, sizeof(message), 0);
        // The simulator closes the stream when the device is unplugged (or the simulator ends).
        if (n <= 0)
            return (n < 0 && (errno == EAGAIN || errno == EINTR)) ? kHidReadTimedOut : kHidDeviceRemoved;
        if (message[0] != kInputReport)
            return kHidDeviceIoFailed;
        returned = std::min(size, static_cast<size_t>(n - 1));
        std::memcpy(buffer, message + 1, returned);
        return kHidSuccess;
    }

    int SetOutputReportInterrupt(HidHandle handle, const uint8_t* report, size_t length) override {
        return StatusRequest(handle, kSetOutput, kSetOutputReply, report, length);
    }

    int SetOutputReportControl(HidHandle handle, const uint8_t* report, size_t length) override {
        return StatusRequest(handle, kSetControl, kSetControlReply, report, length);
    }

    int GetInputReportControl(HidHandle handle, uint8_t* buffer, size_t length) override {
        if (handle == nullptr)
            return kHidInvalidHandle;
        if (length == 0 || length > 255)
            return kHidDeviceIoFailed;
        const std::vector<uint8_t> message{static_cast<uint8_t>(kGetControl), static_cast<uint8_t>(length),
                                           buffer[0]};
        const std::vector<uint8_t> reply = Request(DeviceOf(handle), message);
        if (reply.size() < 2 || reply[0] != kGetControlReply)
            return kHidDeviceRemoved;
        if (reply[1] != kHidSuccess)
            return reply[1];
        std::memcpy(buffer, reply.data() + 2, std::min(length, reply.size() - 2));
        return kHidSuccess;
    }

    void SetDeviceChangeHandler(std::function<void(bool arrived)> handler) override {
        StopWatch();
        if (!handler)
            return;
        CUniqueFd watch = Connect();
        auto stop = std::make_unique<CStopEvent>();
        const std::vector<uint8_t> message{kWatch};
        if (!watch.IsValid() || !stop->IsValid() || !SendMessage(watch.Get(), message))
            return;
        m_watchFd = std::move(watch);
        m_pStop = std::move(stop);
        m_handler = std::move(handler);
        m_watchThread = std::thread(&CHidSocketLibrary::WatchProc, this);
    }

private:
    CUniqueFd Connect() const {
        CUniqueFd fd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (!fd.IsValid() || m_strPath.size() >= sizeof(address.sun_path))
            return {};
        std::memcpy(address.sun_path, m_strPath.c_str(), m_strPath.size() + 1);
        if (::connect(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0)
            return {};
        return fd;
    }

    static std::vector<uint8_t> Request(SSocketDevice* device, const std::vector<uint8_t>& message) {
        std::lock_guard<std::mutex> guard(device->lock);
        if (!SendMessage(device->request.Get(), message))
            return {};
        return ReceiveMessage(device->request.Get(), kReplyWaitMs);
    }

    int StatusRequest(HidHandle handle, char kind, char replyKind, const uint8_t* report, size_t length) {
        if (handle == nullptr)
            return kHidInvalidHandle;
        std::vector<uint8_t> message{static_cast<uint8_t>(kind)};
        message.insert(message.end(), report, report + length);
        const std::vector<uint8_t> reply = Request(DeviceOf(handle), message);
        if (reply.size() != 2 || reply[0] != replyKind)
            return kHidDeviceRemoved;
        return reply[1];
    }

    void WatchProc() {
        while (m_pStop->Wait(m_watchFd.Get(), POLLIN) == CStopEvent::EWait::Ready) {
            const std::vector<uint8_t> message = ReceiveMessage(m_watchFd.Get(), 0);
            if (message.empty())
                return; // the simulator has gone
            if (message[0] == kArrived || message[0] == kRemoved)
                m_handler(message[0] == kArrived);
        }
    }

    void StopWatch() {
        if (m_watchThread.joinable()) {
            m_pStop->Raise();
            m_watchThread.join();
        }
        m_watchFd.Reset();
        m_pStop.reset();
        m_handler = nullptr;
    }

    std::string m_strPath;
    std::function<void(bool)> m_handler;
    CUniqueFd m_watchFd;
    std::unique_ptr<CStopEvent> m_pStop;
    std::thread m_watchThread;
};

} // namespace

std::shared_ptr<IHidLibrary> CreateHidSocketLibrary(const std::string& socketPath) {
    return std::make_shared<CHidSocketLibrary>(socketPath);
}
