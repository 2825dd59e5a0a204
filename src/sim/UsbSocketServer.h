// Serves a simulated USB bus (CUsbSimHub) on a UNIX socket, so that a separate program reaches the
// simulated controller's USB device through its socket HID backend. The message format is described in
// platform/HidSocketProtocol.h: a SOCK_SEQPACKET socket; each connection's first message makes it a device
// count query, an open device's request channel, that device's input report stream, a watch of arrivals
// and removals, or a test control request (unplug, plug, add a second device).
#pragma once

#include "platform/StopEvent.h"
#include "platform/UniqueFd.h"
#include "sim/UsbSimHub.h"

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

class CUsbSocketServer {
public:
    explicit CUsbSocketServer(std::shared_ptr<CUsbSimHub> hub);
    ~CUsbSocketServer();
    CUsbSocketServer(const CUsbSocketServer&) = delete;
    CUsbSocketServer& operator=(const CUsbSocketServer&) = delete;

    // Binds the socket (an old socket file at the path is replaced) and starts serving. False with a
    // message on failure.
    bool Start(const std::string& path, std::string& error);
    // Closes every connection (open devices are closed) and removes the socket file.
    void Stop();

    // The devices that test control requests name by number; the first is used as a model for 'A'.
    void AddKnownDevice(std::shared_ptr<CUsbSimDevice> device);
    // Called for every device that 'A' adds, so the caller can put a controller behind it.
    void SetDeviceAddedHandler(std::function<void(std::shared_ptr<CUsbSimDevice>)> handler);

private:
    void AcceptProc();
    void Serve(CUniqueFd fd);
    void ServeRequests(int fd, HidHandle handle, uint32_t token);
    void ServeInput(int fd, uint32_t token);
    void ServeWatch(int fd);
    std::vector<uint8_t> HandleControl(const std::vector<uint8_t>& message);
    void Notify(bool arrived);

    std::shared_ptr<CUsbSimHub> m_pHub;
    std::string m_strPath;
    CUniqueFd m_listen;
    std::unique_ptr<CStopEvent> m_pStop; // ends the accept loop
    std::thread m_acceptThread;

    std::mutex m_lock;
    bool m_bStopping = false;
    struct SWorker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> pDone;
    };
    std::vector<SWorker> m_workers; // finished ones are joined as new connections come
    std::set<int> m_connections;    // open connection descriptors, shut down by Stop
    std::set<int> m_watchers;
    std::map<uint32_t, HidHandle> m_open; // tokens of open devices
    uint32_t m_nNextToken = 1;
    std::vector<std::shared_ptr<CUsbSimDevice>> m_devices;
    std::function<void(std::shared_ptr<CUsbSimDevice>)> m_deviceAdded;
};
