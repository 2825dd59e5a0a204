#include "sim/UsbSimHub.h"

#include "platform/Clock.h"

#include <algorithm>
#include <cstring>

CUsbSimHub::CUsbSimHub() : m_busThread(&CUsbSimHub::BusProc, this) {}

CUsbSimHub::~CUsbSimHub() {
    {
        std::lock_guard<std::mutex> guard(m_eventLock);
        m_bStop = true;
    }
    m_eventReady.notify_all();
    m_busThread.join();
}

std::shared_ptr<CUsbSimDevice> CUsbSimHub::AddDevice(const SUsbSimOptions& options, bool bPlugged) {
    auto device = std::make_shared<CUsbSimDevice>(options);
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_slots.push_back(SSlot{device, false, 0});
    }
    if (bPlugged)
        Plug(device);
    return device;
}

CUsbSimHub::SSlot* CUsbSimHub::SlotOf(const CUsbSimDevice* device) {
    for (SSlot& slot : m_slots)
        if (slot.device.get() == device)
            return &slot;
    return nullptr;
}

void CUsbSimHub::Plug(const std::shared_ptr<CUsbSimDevice>& device) {
    SetPlugged(device, true);
}

void CUsbSimHub::Unplug(const std::shared_ptr<CUsbSimDevice>& device) {
    SetPlugged(device, false);
}

void CUsbSimHub::SetPlugged(const std::shared_ptr<CUsbSimDevice>& device, bool bPlugged) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        SSlot* slot = SlotOf(device.get());
        if (slot == nullptr || slot->bPlugged == bPlugged)
            return;
        slot->bPlugged = bPlugged;
        if (!bPlugged)
            ++slot->nGeneration;
    }
    if (!bPlugged)
        device->OnUnplugged();
    // Notifications come from the bus's thread, never from the caller's.
    Schedule(0, [this, bPlugged] {
        std::lock_guard<std::mutex> guard(m_handlerLock);
        if (m_handler)
            m_handler(bPlugged);
    });
}

bool CUsbSimHub::IsPlugged(const std::shared_ptr<CUsbSimDevice>& device) const {
    std::lock_guard<std::mutex> guard(m_lock);
    for (const SSlot& slot : m_slots)
        if (slot.device == device)
            return slot.bPlugged;
    return false;
}

unsigned CUsbSimHub::OpenHandles() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return static_cast<unsigned>(m_sessions.size());
}

unsigned CUsbSimHub::GetNumHidDevices(uint16_t vendorId, uint16_t productId) {
    std::lock_guard<std::mutex> guard(m_lock);
    unsigned count = 0;
    for (const SSlot& slot : m_slots) {
        const SUsbSimOptions options = slot.device->Options();
        if (slot.bPlugged && options.nVendorId == vendorId && options.nProductId == productId)
            ++count;
    }
    return count;
}

std::vector<SHidDeviceName> CUsbSimHub::DeviceNames(uint16_t vendorId, uint16_t productId) {
    std::lock_guard<std::mutex> guard(m_lock);
    std::vector<SHidDeviceName> names;
    for (const SSlot& slot : m_slots) {
        const SUsbSimOptions options = slot.device->Options();
        if (slot.bPlugged && options.nVendorId == vendorId && options.nProductId == productId)
            names.push_back({"", options.strSerial});
    }
    return names;
}

int CUsbSimHub::Open(HidHandle& handle, unsigned index, uint16_t vendorId, uint16_t productId) {
    handle = nullptr;
    std::lock_guard<std::mutex> guard(m_lock);
    unsigned seen = 0;
    for (const SSlot& slot : m_slots) {
        const SUsbSimOptions options = slot.device->Options();
        if (!slot.bPlugged || options.nVendorId != vendorId || options.nProductId != productId)
            continue;
        if (seen++ != index)
            continue;
        if (options.bRefuseOpen)
            return kHidDeviceAccessError;
        auto session = std::make_shared<SSession>();
        session->device = slot.device;
        session->nGeneration = slot.nGeneration;
        handle = session.get();
        m_sessions[handle] = std::move(session);
        return kHidSuccess;
    }
    return kHidDeviceNotFound;
}

int CUsbSimHub::Close(HidHandle handle) {
    std::shared_ptr<SSession> session;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        auto it = m_sessions.find(handle);
        if (it == m_sessions.end())
            return kHidInvalidHandle;
        session = std::move(it->second);
        m_sessions.erase(it);
    }
    // A read of this session may still wait on the device (the socket server's input stream does):
    // wake it so it ends without taking what the device sends next.
    session->bClosed = true;
    session->device->WakeHost();
    return kHidSuccess;
}

std::shared_ptr<CUsbSimHub::SSession> CUsbSimHub::SessionOf(HidHandle handle, bool& bAlive) {
    std::lock_guard<std::mutex> guard(m_lock);
    bAlive = false;
    auto it = m_sessions.find(handle);
    if (it == m_sessions.end())
        return nullptr;
    const SSlot* slot = SlotOf(it->second->device.get());
    bAlive = slot != nullptr && slot->bPlugged && slot->nGeneration == it->second->nGeneration;
    return it->second;
}

std::shared_ptr<CUsbSimDevice> CUsbSimHub::DeviceOf(HidHandle handle) {
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = m_sessions.find(handle);
    return it == m_sessions.end() ? nullptr : it->second->device;
}

int CUsbSimHub::GetInputReportInterrupt(HidHandle handle, uint8_t* buffer, size_t size, size_t& returned) {
    returned = 0;
    ++m_nReadCalls;
    std::shared_ptr<SSession> session;
    if (const int status = LiveSession(handle, session))
        return status;
    std::vector<uint8_t> report;
    const bool bGot =
        session->device->TakeInputReport(report, std::chrono::milliseconds(kReadWaitMs), &session->bClosed);
    // The device may have left the bus while the read waited.
    if (const int status = LiveSession(handle, session))
        return status;
    if (!bGot)
        return kHidReadTimedOut;
    returned = std::min(size, report.size());
    std::memcpy(buffer, report.data(), returned);
    return kHidSuccess;
}

int CUsbSimHub::SetOutputReportInterrupt(HidHandle handle, const uint8_t* report, size_t length) {
    std::shared_ptr<SSession> session;
    if (const int status = LiveSession(handle, session))
        return status;
    session->device->OutputReport(report, length);
    return kHidSuccess;
}

int CUsbSimHub::SetOutputReportControl(HidHandle handle, const uint8_t* report, size_t length) {
    std::shared_ptr<SSession> session;
    if (const int status = LiveSession(handle, session))
        return status;
    session->device->ControlOut(report, length);
    return kHidSuccess;
}

int CUsbSimHub::GetInputReportControl(HidHandle handle, uint8_t* buffer, size_t length) {
    std::shared_ptr<SSession> session;
    if (const int status = LiveSession(handle, session))
        return status;
    if (session->device->ControlIn(buffer, length)) {
        // The controller restarts: it drops off the bus and comes back in its bootstrap.
        std::shared_ptr<CUsbSimDevice> device = session->device;
        const SUsbSimOptions options = device->Options();
        Schedule(options.nRestartDropMs, [this, device] { Unplug(device); });
        Schedule(options.nRestartDropMs + options.nRestartAwayMs, [this, device] {
            device->OnRestarted();
            Plug(device);
        });
    }
    return kHidSuccess;
}

int CUsbSimHub::LiveSession(HidHandle handle, std::shared_ptr<SSession>& session) {
    bool bAlive = false;
    session = SessionOf(handle, bAlive);
    if (!session)
        return kHidInvalidHandle;
    return bAlive ? kHidSuccess : kHidDeviceRemoved;
}

void CUsbSimHub::SetDeviceChangeHandler(std::function<void(bool arrived)> handler) {
    std::lock_guard<std::mutex> guard(m_handlerLock);
    m_handler = std::move(handler);
}

void CUsbSimHub::Schedule(uint32_t delayMs, std::function<void()> action) {
    {
        std::lock_guard<std::mutex> guard(m_eventLock);
        m_events.push_back(SEvent{CClock::Instance().TickCount() + delayMs, std::move(action)});
    }
    m_eventReady.notify_all();
}

void CUsbSimHub::BusProc() {
    CClock& clock = CClock::Instance();
    std::unique_lock<std::mutex> lock(m_eventLock);
    while (!m_bStop) {
        const uint32_t now = clock.TickCount();
        // Earliest due event first; events due at the same time keep their order.
        auto due =
            std::min_element(m_events.begin(), m_events.end(), [now](const SEvent& a, const SEvent& b) {
                return static_cast<int32_t>(a.nDueTick - now) < static_cast<int32_t>(b.nDueTick - now);
            });
        if (due != m_events.end() && static_cast<int32_t>(due->nDueTick - now) <= 0) {
            std::function<void()> action = std::move(due->action);
            m_events.erase(due);
            lock.unlock();
            action();
            lock.lock();
            continue;
        }
        // Look again at least every 20 ms of real time, so a change of the clock's speed takes hold.
        auto wait = std::chrono::nanoseconds(std::chrono::milliseconds(20));
        if (due != m_events.end())
            wait = std::min(wait, clock.RealDuration(static_cast<uint32_t>(due->nDueTick - now)));
        m_eventReady.wait_for(lock, wait);
    }
}
