#include "engine/link/UsbHidDevice.h"

#include "platform/Clock.h"

#include <algorithm>
#include <cstring>

CUsbHidDevice::CUsbHidDevice() {
    std::memset(m_rings, 0, sizeof(m_rings));
}

CUsbHidDevice::~CUsbHidDevice() {
    if (IsOpen())
        Close();
}

unsigned CUsbHidDevice::CountDevices() {
    return CurrentHidLibrary()->GetNumHidDevices(kDxuVendorId, kDxuProductId);
}

int CUsbHidDevice::Open() {
    // The presence check opens again on every arrival of any HID device; a second handle would leak the
    // first and leave the reader on it.
    if (IsOpen()) {
        if (!m_bDeviceGone && !m_bRemovalSeen)
            return kHidSuccess;
        // The handle may belong to a device that has been unplugged since (a restarting controller is
        // back before its removal is handled, and the reader need not have noticed yet): open the one
        // attached now.
        Close();
    }
    std::shared_ptr<IHidLibrary> library = CurrentHidLibrary();
    HidHandle handle = nullptr;
    const int status = library->Open(handle, 0, kDxuVendorId, kDxuProductId);
    if (status != kHidSuccess)
        return status;
    m_pLibrary = std::move(library);
    m_device = handle;
    m_bDeviceGone = false;
    m_bRemovalSeen = false;
    StartReader();
    return kHidSuccess;
}

int CUsbHidDevice::Close() {
    {
        std::lock_guard<std::mutex> guard(m_stopLock);
        m_bStop = true;
    }
    m_stopEvent.notify_all();
    if (m_readerThread.joinable())
        m_readerThread.join();
    HidHandle handle = m_device.exchange(nullptr);
    if (handle == nullptr || !m_pLibrary)
        return kHidInvalidHandle;
    return m_pLibrary->Close(handle);
}

bool CUsbHidDevice::IsOpen() const {
    return m_device.load() != nullptr;
}

bool CUsbHidDevice::IsReaderRunning() const {
    return m_bReaderRunning;
}

void CUsbHidDevice::StartReader() {
    m_bStop = false;
    if (m_readerThread.joinable())
        return;
    m_bReaderRunning = true;
    m_readerThread = std::thread(&CUsbHidDevice::ReaderProc, this);
}

void CUsbHidDevice::ReaderProc() {
    while (!m_bStop) {
        size_t returned = 0;
        const int status =
            m_pLibrary->GetInputReportInterrupt(m_device, m_readBuffer, sizeof(m_readBuffer), returned);
        if (status == kHidSuccess) {
            StoreReport(m_readBuffer, std::min(returned, sizeof(m_readBuffer)));
        } else if (status == kHidDeviceRemoved || status == kHidInvalidHandle) {
            // The device is gone and will not come back on this handle: wait for Close instead of
            // spinning on an error that repeats at once. Readers waiting for bytes learn it at once.
            {
                std::lock_guard<std::mutex> guard(m_lock);
                m_bDeviceGone = true;
            }
            m_dataEvent.notify_all();
            std::unique_lock<std::mutex> lock(m_stopLock);
            m_stopEvent.wait(lock, [this] { return m_bStop.load(); });
        }
        // Any other failure (the library's time-out among them): read again.
    }
    m_bReaderRunning = false;
}

SReceiveRing* CUsbHidDevice::RingOf(uint8_t reportId) {
    if (reportId == 1)
        return &m_rings[0];
    if (reportId == 3)
        return &m_rings[1];
    return nullptr;
}

void CUsbHidDevice::StoreReport(const uint8_t* report, size_t length) {
    if (report == nullptr || length < 2)
        return;
    // The count byte comes from the device: never take more bytes than the report holds.
    const size_t n = std::min<size_t>(report[1], length - 2);
    {
        std::lock_guard<std::mutex> guard(m_lock);
        SReceiveRing* ring = RingOf(report[0]);
        if (ring == nullptr)
            return;
        for (size_t i = 0; i < n; ++i) {
            if (ring->nCount >= SReceiveRing::kSize - 1) {
                ++ring->nOverflow;
                continue;
            }
            ring->data[ring->nWrite] = report[2 + i];
            ring->nWrite = (ring->nWrite + 1) % SReceiveRing::kSize;
            ++ring->nCount;
        }
        m_bDataSignalled = true;
    }
    m_dataEvent.notify_all();
    if (report[0] == 3 && n > 0) {
        std::lock_guard<std::mutex> guard(m_handlerLock);
        if (m_dataHandler)
            m_dataHandler();
    }
}

void CUsbHidDevice::SetDataHandler(std::function<void()> handler) {
    std::lock_guard<std::mutex> guard(m_handlerLock);
    m_dataHandler = std::move(handler);
}

bool CUsbHidDevice::WaitDataEvent(std::unique_lock<std::mutex>& lock,
                                  std::chrono::steady_clock::time_point deadline) {
    // A device found gone ends the wait too, reported as no event.
    const bool came =
        m_dataEvent.wait_until(lock, deadline, [this] { return m_bDataSignalled || m_bDeviceGone; });
    if (came)
        m_bDataSignalled = false;
    return came && !m_bDeviceGone;
}

bool CUsbHidDevice::ReadRing(uint8_t reportId, uint8_t* buffer, size_t length, size_t& count,
                             uint32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(m_lock);
    SReceiveRing* ring = RingOf(reportId);
    if (ring == nullptr || buffer == nullptr)
        return false;
    const size_t wanted = count;
    bool bAvailable = false;
    if (ring->nCount >= wanted || timeoutMs == 0) {
        m_bDataSignalled = false;
        bAvailable = ring->nCount >= wanted;
    } else {
        const auto deadline =
            std::chrono::steady_clock::now() + CClock::Instance().TimeoutDuration(timeoutMs);
        for (;;) {
            if (!WaitDataEvent(lock, deadline)) {
                // A device that is gone sends no more: what it sent before is delivered, nothing waited for.
                if (m_bDeviceGone)
                    bAvailable = ring->nCount >= 1;
                break;
            }
            // Once a byte has come, the read succeeds with what it has when the time-out passes.
            bAvailable = ring->nCount >= 1;
            if (ring->nCount >= wanted)
                break;
        }
    }
    if (!bAvailable)
        return false;
    const size_t n = std::min<size_t>(length, ring->nCount);
    for (size_t i = 0; i < n; ++i) {
        buffer[i] = ring->data[ring->nRead];
        ring->nRead = (ring->nRead + 1) % SReceiveRing::kSize;
    }
    ring->nCount -= static_cast<uint32_t>(n);
    count = n;
    return true;
}

bool CUsbHidDevice::PopByte(uint8_t reportId, uint8_t& byte, uint32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(m_lock);
    SReceiveRing* ring = RingOf(reportId);
    if (ring == nullptr)
        return false;
    if (ring->nCount > 0 || timeoutMs < 1) {
        m_bDataSignalled = false;
    } else if (!WaitDataEvent(lock, std::chrono::steady_clock::now() +
                                        CClock::Instance().TimeoutDuration(timeoutMs))) {
        return false;
    }
    if (ring->nCount == 0)
        return false;
    byte = ring->data[ring->nRead];
    ring->nRead = (ring->nRead + 1) % SReceiveRing::kSize;
    --ring->nCount;
    return true;
}

void CUsbHidDevice::ClearRing(uint8_t reportId) {
    std::lock_guard<std::mutex> guard(m_lock);
    SReceiveRing* ring = RingOf(reportId);
    if (ring != nullptr)
        std::memset(ring, 0, sizeof(*ring));
    m_bDataSignalled = false;
}

uint32_t CUsbHidDevice::Overflow(uint8_t reportId) {
    std::lock_guard<std::mutex> guard(m_lock);
    SReceiveRing* ring = RingOf(reportId);
    return ring ? ring->nOverflow : 0;
}

uint32_t CUsbHidDevice::Count(uint8_t reportId) {
    std::lock_guard<std::mutex> guard(m_lock);
    SReceiveRing* ring = RingOf(reportId);
    return ring ? ring->nCount : 0;
}

void CUsbHidDevice::SendReport(uint8_t reportId, const uint8_t* data, size_t length) {
    if (reportId < 1 || reportId > 4 || data == nullptr)
        return;
    HidHandle handle = m_device;
    if (handle == nullptr || !m_pLibrary)
        return;
    size_t offset = 0;
    while (offset < length) {
        const size_t n = std::min(kMaxReportData, length - offset);
        uint8_t report[kReportSize] = {};
        report[0] = reportId;
        report[1] = static_cast<uint8_t>(n);
        std::memcpy(report + 2, data + offset, n);
        m_pLibrary->SetOutputReportInterrupt(handle, report, sizeof(report));
        offset += n;
    }
}

int CUsbHidDevice::SendControl(const uint8_t request[8]) {
    HidHandle handle = m_device;
    if (handle == nullptr || !m_pLibrary)
        return kHidInvalidHandle;
    uint8_t report[9];
    report[0] = kControlOutId;
    std::memcpy(report + 1, request, 8);
    return m_pLibrary->SetOutputReportControl(handle, report, sizeof(report));
}

int CUsbHidDevice::GetControl(uint8_t answer[8]) {
    HidHandle handle = m_device;
    if (handle == nullptr || !m_pLibrary)
        return kHidInvalidHandle;
    uint8_t report[kReportSize] = {};
    report[0] = kControlInId;
    const int status = m_pLibrary->GetInputReportControl(handle, report, sizeof(report));
    if (status == kHidSuccess)
        std::memcpy(answer, report + 1, 8);
    return status;
}

void CUsbDeviceWatch::Start(std::function<void(bool arrived)> handler) {
    Stop();
    m_pLibrary = CurrentHidLibrary();
    m_pLibrary->SetDeviceChangeHandler(std::move(handler));
}

void CUsbDeviceWatch::Stop() {
    if (m_pLibrary)
        m_pLibrary->SetDeviceChangeHandler(nullptr);
    m_pLibrary.reset();
}
