#include "sim/UsbSimDevice.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint8_t kDataOutId = 4;
constexpr uint8_t kDataInId = 3;
constexpr uint8_t kRestartQuery = 0x80;
constexpr uint8_t kRestartRequest = 0x81;
constexpr uint8_t kStateOk = 0;
constexpr uint8_t kStateRefused = 1;

} // namespace

CUsbSimDevice::CUsbSimDevice(const SUsbSimOptions& options) : m_options(options) {}

SUsbSimOptions CUsbSimDevice::Options() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_options;
}

void CUsbSimDevice::SetRestartMode(EUsbRestartMode mode) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_options.eRestart = mode;
    m_bRestarted = false;
}

void CUsbSimDevice::SetBusyPolls(uint32_t polls) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_options.nBusyPolls = polls;
    m_nBusyLeft = polls;
}

void CUsbSimDevice::SetRefuseOpen(bool refuse) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_options.bRefuseOpen = refuse;
}

void CUsbSimDevice::SetHostBytesHandler(std::function<void(const uint8_t*, size_t)> handler) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_hostBytes = std::move(handler);
}

void CUsbSimDevice::QueueReport(std::vector<uint8_t> report) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_input.size() >= kMaxQueuedReports)
            return;
        m_input.push_back(std::move(report));
    }
    m_inputReady.notify_all();
}

void CUsbSimDevice::SendToHost(const uint8_t* data, size_t length) {
    for (size_t offset = 0; offset < length;) {
        const size_t n = std::min(kMaxInputData, length - offset);
        std::vector<uint8_t> report(kReportSize, 0);
        report[0] = kDataInId;
        report[1] = static_cast<uint8_t>(n);
        std::memcpy(report.data() + 2, data + offset, n);
        QueueReport(std::move(report));
        offset += n;
    }
}

void CUsbSimDevice::InjectInputReport(const std::vector<uint8_t>& report) {
    QueueReport(report);
}

bool CUsbSimDevice::TakeInputReport(std::vector<uint8_t>& report, std::chrono::nanoseconds wait,
                                    const std::atomic<bool>* closed) {
    std::unique_lock<std::mutex> lock(m_lock);
    const uint64_t wakeCount = m_nWakeCount;
    m_inputReady.wait_for(lock, wait, [&] { return !m_input.empty() || m_nWakeCount != wakeCount; });
    // A program that has closed the device must not take an answer meant for the one that opens it next.
    if (m_input.empty() || (closed != nullptr && closed->load()))
        return false;
    report = std::move(m_input.front());
    m_input.pop_front();
    return true;
}

void CUsbSimDevice::ReturnInputReport(std::vector<uint8_t> report) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_input.push_front(std::move(report));
    }
    m_inputReady.notify_all();
}

void CUsbSimDevice::WakeHost() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        ++m_nWakeCount;
    }
    m_inputReady.notify_all();
}

void CUsbSimDevice::OutputReport(const uint8_t* report, size_t length) {
    std::function<void(const uint8_t*, size_t)> handler;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_outputs.emplace_back(report, report + length);
        handler = m_hostBytes;
    }
    if (length < 2 || report[0] != kDataOutId || !handler)
        return;
    handler(report + 2, std::min<size_t>(report[1], length - 2));
}

void CUsbSimDevice::ControlOut(const uint8_t* report, size_t length) {
    std::lock_guard<std::mutex> guard(m_lock);
    std::memset(m_request, 0, sizeof(m_request));
    if (length > 1)
        std::memcpy(m_request, report + 1, std::min(sizeof(m_request), length - 1));
    m_nBusyLeft = m_options.nBusyPolls;
}

bool CUsbSimDevice::ControlIn(uint8_t* buffer, size_t length) {
    std::lock_guard<std::mutex> guard(m_lock);
    ++m_nControlIns;
    uint8_t answer[8] = {m_request[0], m_request[1], kStateOk, 0, 0, 0, 0, 0};
    bool bRestart = false;
    const EUsbRestartMode mode = m_bRestarted ? EUsbRestartMode::NotNeeded : m_options.eRestart;
    if (m_nBusyLeft > 0) {
        if (m_nBusyLeft != UINT32_MAX)
            --m_nBusyLeft;
        answer[2] = kStateBusy;
    } else if (m_request[0] == kRestartQuery && m_request[1] == 0) {
        answer[3] = mode == EUsbRestartMode::NotNeeded ? 0 : 1;
    } else if (m_request[0] == kRestartRequest && m_request[1] == 1) {
        if (mode == EUsbRestartMode::RefuseRun) {
            answer[2] = kStateRefused;
            answer[3] = 0;
        } else if (mode == EUsbRestartMode::OldBootstrap) {
            answer[2] = kStateRefused;
            answer[3] = 1;
            uint32_t bits = 0;
            std::memcpy(&bits, &m_options.fBootstrapVersion, sizeof(bits));
            for (int i = 0; i < 4; ++i)
                answer[4 + i] = static_cast<uint8_t>(bits >> (8 * i));
        } else {
            bRestart = true;
            std::memset(m_request, 0, sizeof(m_request)); // one restart per request
        }
    }
    if (length > 1)
        std::memcpy(buffer + 1, answer, std::min(sizeof(answer), length - 1));
    return bRestart;
}

void CUsbSimDevice::OnUnplugged() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_input.clear();
        ++m_nWakeCount;
    }
    m_inputReady.notify_all();
}

void CUsbSimDevice::SetRestartHandler(std::function<void()> handler) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_restarted = std::move(handler);
}

void CUsbSimDevice::OnRestarted() {
    std::function<void()> handler;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_bRestarted = true;
        handler = m_restarted;
    }
    if (handler)
        handler();
}

std::vector<std::vector<uint8_t>> CUsbSimDevice::OutputReports() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_outputs;
}

void CUsbSimDevice::ClearOutputReports() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_outputs.clear();
}

unsigned CUsbSimDevice::ControlInCount() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_nControlIns;
}
