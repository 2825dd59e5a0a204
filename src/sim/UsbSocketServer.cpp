#include "sim/UsbSocketServer.h"

#include "platform/HidSocketProtocol.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

using namespace HidSocket;

namespace {

std::vector<uint8_t> Receive(int fd) {
    std::vector<uint8_t> message(kMaxMessage);
    ssize_t n;
    do
        n = ::recv(fd, message.data(), message.size(), 0);
    while (n < 0 && errno == EINTR);
    if (n <= 0)
        return {};
    message.resize(static_cast<size_t>(n));
    return message;
}

bool Send(int fd, const std::vector<uint8_t>& message, bool bWait = true) {
    return ::send(fd, message.data(), message.size(), MSG_NOSIGNAL | (bWait ? 0 : MSG_DONTWAIT)) ==
           static_cast<ssize_t>(message.size());
}

} // namespace

CUsbSocketServer::CUsbSocketServer(std::shared_ptr<CUsbSimHub> hub) : m_pHub(std::move(hub)) {}

CUsbSocketServer::~CUsbSocketServer() {
    Stop();
}

void CUsbSocketServer::AddKnownDevice(std::shared_ptr<CUsbSimDevice> device) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_devices.push_back(std::move(device));
}

void CUsbSocketServer::SetDeviceAddedHandler(std::function<void(std::shared_ptr<CUsbSimDevice>)> handler) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_deviceAdded = std::move(handler);
}

bool CUsbSocketServer::Start(const std::string& path, std::string& error) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof(address.sun_path)) {
        error = "HID socket path is empty or too long: " + path;
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    CUniqueFd listen(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
    auto stop = std::make_unique<CStopEvent>();
    ::unlink(path.c_str());
    if (!listen.IsValid() || !stop->IsValid() ||
        ::bind(listen.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(listen.Get(), 16) != 0) {
        error = "cannot serve the HID socket " + path + ": " + std::strerror(errno);
        return false;
    }
    m_strPath = path;
    m_listen = std::move(listen);
    m_pStop = std::move(stop);
    m_bStopping = false;
    m_pHub->SetDeviceChangeHandler([this](bool arrived) { Notify(arrived); });
    m_acceptThread = std::thread(&CUsbSocketServer::AcceptProc, this);
    return true;
}

void CUsbSocketServer::Stop() {
    if (!m_acceptThread.joinable())
        return;
    m_pHub->SetDeviceChangeHandler(nullptr);
    m_pStop->Raise();
    m_acceptThread.join();
    std::vector<SWorker> workers;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_bStopping = true;
        for (int fd : m_connections)
            ::shutdown(fd, SHUT_RDWR);
        workers.swap(m_workers);
    }
    for (SWorker& worker : workers)
        worker.thread.join();
    m_listen.Reset();
    m_pStop.reset();
    ::unlink(m_strPath.c_str());
}

void CUsbSocketServer::AcceptProc() {
    while (m_pStop->Wait(m_listen.Get(), POLLIN) == CStopEvent::EWait::Ready) {
        CUniqueFd fd(::accept4(m_listen.Get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!fd.IsValid())
            continue;
        std::lock_guard<std::mutex> guard(m_lock);
        for (auto it = m_workers.begin(); it != m_workers.end();) {
            if (*it->pDone) {
                it->thread.join();
                it = m_workers.erase(it);
            } else {
                ++it;
            }
        }
        m_connections.insert(fd.Get());
        auto pDone = std::make_shared<std::atomic<bool>>(false);
        std::thread thread([this, pDone, fd = std::move(fd)]() mutable {
            Serve(std::move(fd));
            *pDone = true;
        });
        m_workers.push_back(SWorker{std::move(thread), pDone});
    }
}

void CUsbSocketServer::Serve(CUniqueFd fd) {
    const std::vector<uint8_t> first = Receive(fd.Get());
    if (first.size() == 5 && first[0] == kCount) {
        std::vector<uint8_t> reply{kCountReply, 0, 0, 0, 0};
        PutU32(&reply[1], m_pHub->GetNumHidDevices(GetU16(&first[1]), GetU16(&first[3])));
        Send(fd.Get(), reply);
    } else if (first.size() == 5 && first[0] == kNames) {
        std::vector<uint8_t> reply{kNamesReply};
        for (const SHidDeviceName& name : m_pHub->DeviceNames(GetU16(&first[1]), GetU16(&first[3]))) {
            const size_t length = std::min<size_t>(name.strSerial.size(), 255);
            reply.push_back(static_cast<uint8_t>(length));
            reply.insert(reply.end(), name.strSerial.begin(),
                         name.strSerial.begin() + static_cast<long>(length));
        }
        Send(fd.Get(), reply);
    } else if (first.size() == 9 && first[0] == kOpen) {
        HidHandle handle = nullptr;
        const int status = m_pHub->Open(handle, GetU32(&first[1]), GetU16(&first[5]), GetU16(&first[7]));
        uint32_t token = 0;
        if (status == kHidSuccess) {
            std::lock_guard<std::mutex> guard(m_lock);
            token = m_nNextToken++;
            m_open[token] = handle;
        }
        std::vector<uint8_t> reply{kOpenReply, static_cast<uint8_t>(status), 0, 0, 0, 0};
        PutU32(&reply[2], token);
        if (Send(fd.Get(), reply) && status == kHidSuccess)
            ServeRequests(fd.Get(), handle, token);
        else if (status == kHidSuccess)
            m_pHub->Close(handle);
    } else if (first.size() == 5 && first[0] == kInput) {
        ServeInput(fd.Get(), GetU32(&first[1]));
    } else if (first.size() == 1 && first[0] == kWatch) {
        ServeWatch(fd.Get());
    } else if (first.size() == 3 && first[0] == kControl) {
        Send(fd.Get(), HandleControl(first));
    }
    std::lock_guard<std::mutex> guard(m_lock);
    m_connections.erase(fd.Get());
    // fd closes here; the thread object stays in the list until Stop joins it.
}

void CUsbSocketServer::ServeRequests(int fd, HidHandle handle, uint32_t token) {
    for (;;) {
        const std::vector<uint8_t> request = Receive(fd);
        if (request.empty())
            break; // the program closed the device (or the server stops)
        std::vector<uint8_t> reply;
        if (request[0] == kSetOutput) {
            const int status =
                m_pHub->SetOutputReportInterrupt(handle, request.data() + 1, request.size() - 1);
            reply = {kSetOutputReply, static_cast<uint8_t>(status)};
        } else if (request[0] == kSetControl) {
            const int status = m_pHub->SetOutputReportControl(handle, request.data() + 1, request.size() - 1);
            reply = {kSetControlReply, static_cast<uint8_t>(status)};
        } else if (request[0] == kGetControl && request.size() == 3) {
            std::vector<uint8_t> buffer(request[1], 0);
            if (!buffer.empty())
                buffer[0] = request[2];
            const int status = m_pHub->GetInputReportControl(handle, buffer.data(), buffer.size());
            reply = {kGetControlReply, static_cast<uint8_t>(status)};
            reply.insert(reply.end(), buffer.begin(), buffer.end());
        } else {
            reply = {'?', static_cast<uint8_t>(kHidDeviceIoFailed)};
        }
        if (!Send(fd, reply))
            break;
    }
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_open.erase(token);
    }
    m_pHub->Close(handle);
}

void CUsbSocketServer::ServeInput(int fd, uint32_t token) {
    std::vector<uint8_t> message(1 + kMaxMessage);
    message[0] = kInputReport;
    for (;;) {
        HidHandle handle = nullptr;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            auto it = m_open.find(token);
            if (m_bStopping || it == m_open.end())
                return; // closed: the stream ends with it
            handle = it->second;
        }
        const std::shared_ptr<CUsbSimDevice> device = m_pHub->DeviceOf(handle);
        size_t returned = 0;
        const int status = m_pHub->GetInputReportInterrupt(handle, message.data() + 1, kMaxMessage, returned);
        if (status == kHidSuccess) {
            if (!Send(fd, std::vector<uint8_t>(message.begin(), message.begin() + 1 + returned))) {
                // The program ended while this stream waited, before the server closed its session: the
                // report is the next program's (an answer to its first command), not lost with this one.
                if (device)
                    device->ReturnInputReport(
                        std::vector<uint8_t>(message.begin() + 1, message.begin() + 1 + returned));
                return;
            }
        } else if (status != kHidReadTimedOut) {
            return; // removed: closing the stream tells the program
        }
    }
}

void CUsbSocketServer::ServeWatch(int fd) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_watchers.insert(fd);
    }
    while (!Receive(fd).empty()) {
    }
    std::lock_guard<std::mutex> guard(m_lock);
    m_watchers.erase(fd);
}

void CUsbSocketServer::Notify(bool arrived) {
    const std::vector<uint8_t> message{static_cast<uint8_t>(arrived ? kArrived : kRemoved)};
    std::lock_guard<std::mutex> guard(m_lock);
    for (int fd : m_watchers)
        Send(fd, message, false);
}

std::vector<uint8_t> CUsbSocketServer::HandleControl(const std::vector<uint8_t>& message) {
    std::shared_ptr<CUsbSimDevice> device;
    std::function<void(std::shared_ptr<CUsbSimDevice>)> added;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (message[2] < m_devices.size())
            device = m_devices[message[2]];
        else if (message[1] == kAddDevice && !m_devices.empty())
            device = m_devices.front();
        added = m_deviceAdded;
    }
    if (!device)
        return {kControlReply, static_cast<uint8_t>(kHidDeviceNotFound)};
    if (message[1] == kUnplug) {
        m_pHub->Unplug(device);
    } else if (message[1] == kPlug) {
        m_pHub->Plug(device);
    } else if (message[1] == kAddDevice) {
        std::shared_ptr<CUsbSimDevice> twin = m_pHub->AddDevice(device->Options(), false);
        AddKnownDevice(twin);
        if (added)
            added(twin);
        m_pHub->Plug(twin);
    } else {
        return {kControlReply, static_cast<uint8_t>(kHidDeviceIoFailed)};
    }
    return {kControlReply, static_cast<uint8_t>(kHidSuccess)};
}
