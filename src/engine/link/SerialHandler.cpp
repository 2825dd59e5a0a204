#include "engine/link/SerialHandler.h"

#include "engine/app/MessageTexts.h"
#include "engine/app/UserInterface.h"
#include "engine/link/LinkContext.h"
#include "engine/link/UsbHidDevice.h"
#include "platform/Clock.h"
#include "platform/PortDiagnosis.h"
#include "platform/PortNames.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <unistd.h>

namespace {

constexpr uint32_t kOpenReadConstant = 20000;
constexpr uint32_t kOpenWriteConstant = 100;
constexpr uint32_t kPollReceiveWaitMs = 10;
constexpr uint8_t kUsbDataReport = 3;
// Typed keys waiting for a slow port; beyond this a stuck port loses keys instead of taking memory.
constexpr size_t kMaxPendingSend = 4096;

} // namespace

CSerialHandler::CSerialHandler(CLinkContext& context, const std::string& portName, const std::string& setting,
                               int& result, bool overlapped)
    : m_context(context), m_bOverlapped(overlapped) {
    result = kOpenOk;
    SerialMode mode;
    if (!ParseSerialMode(setting, mode)) {
        result = m_nOpenResult = kOpenBadSetting;
        return;
    }
    m_strDevice = ResolvePortName(portName);
    if (m_strDevice.empty() || !m_port.Open(m_strDevice, overlapped)) {
        m_nOpenError = m_strDevice.empty() ? 0 : errno;
        result = m_nOpenResult = kOpenFailed;
        return;
    }
    CommTimeouts timeouts;
    timeouts.nReadConstant = kOpenReadConstant;
    timeouts.nWriteConstant = kOpenWriteConstant;
    if (!m_port.ApplyMode(mode) || !m_port.SetTimeouts(timeouts)) {
        // The destructor closes the handle that did open.
        m_nOpenError = errno;
        result = m_nOpenResult = kOpenConfigFailed;
        return;
    }
    m_bReadPending = false;
    m_pUsbDevice = nullptr;
    m_nUsbReadTimeout = 0;
}

std::vector<std::string> CSerialHandler::OpenFailureReason(const std::string& portName) const {
    switch (m_nOpenResult) {
    case kOpenFailed:
        return ExplainPortOpenFailure(portName, m_strDevice, m_nOpenError);
    case kOpenConfigFailed:
        return ExplainPortSetupFailure(m_strDevice, m_nOpenError);
    case kOpenBadSetting:
        return {"The line settings were not understood."};
    default:
        return {};
    }
}

CSerialHandler::CSerialHandler(CLinkContext& context, CUsbHidDevice* usbDevice)
    : m_context(context), m_pUsbDevice(usbDevice) {}

CSerialHandler::~CSerialHandler() {
    if (m_bOverlapped)
        FlushPendingSends();
    m_port.Close();
}

bool CSerialHandler::UsesUsbPath() const {
    return m_context.m_nLinkKind == kLinkUsb && m_context.m_bUsbPresent && m_pUsbDevice != nullptr;
}

void CSerialHandler::ShowMessage(const char* text) const {
    if (m_context.m_pUi)
        m_context.m_pUi->MessageBox(text);
}

bool CSerialHandler::Write(const uint8_t* data, size_t length, size_t& written) {
    written = 0;
    if (UsesUsbPath()) {
        if (m_pUsbDevice->IsDeviceGone())
            return false;
        m_pUsbDevice->SendReport(4, data, length);
        written = length;
        return true;
    }
    if (!HasPort())
        return false;
    return m_port.Write(data, length, written);
}

bool CSerialHandler::Read(uint8_t* buffer, size_t length, size_t& got) {
    got = 0;
    if (UsesUsbPath()) {
        size_t count = length;
        if (!m_pUsbDevice->ReadRing(3, buffer, length, count, m_nUsbReadTimeout))
            return false;
        got = count;
        return true;
    }
    if (!HasPort())
        return false;
    if (m_port.Read(buffer, length, got))
        return true;
    m_bFailed = true; // hung up or gone: the port will not deliver again
    return false;
}

bool CSerialHandler::HasFailed() const {
    return m_bFailed || (UsesUsbPath() && m_pUsbDevice->IsDeviceGone());
}

bool CSerialHandler::WriteByte(uint8_t byte) {
    size_t written = 0;
    return Write(&byte, 1, written) && written == 1;
}

int CSerialHandler::ReadSome(uint8_t* buffer, size_t length) {
    size_t got = 0;
    if (m_context.m_nLinkKind == kLinkCom) {
        if (!HasPort() || !m_port.Read(buffer, length, got))
            return 0;
        return static_cast<int>(got);
    }
    if (!Read(buffer, length, got))
        return 0;
    return static_cast<int>(got);
}

bool CSerialHandler::SetReadTimeout(uint32_t milliseconds) {
    // A COM link opened while USB is the chosen kind (erase and options always use the port) programs its
    // port: the raised wait for "DONE" must reach the reads that use it.
    if (m_context.m_nLinkKind == kLinkUsb && !HasPort()) {
        m_nUsbReadTimeout = milliseconds;
        return true;
    }
    if (!HasPort())
        return false; // a link built on the USB device has no port: fail quietly
    CommTimeouts timeouts;
    timeouts.nReadConstant = milliseconds;
    if (!m_port.SetTimeouts(timeouts)) {
        ShowMessage("Error configuring communications timeouts.");
        return false;
    }
    return true;
}

bool CSerialHandler::SetTimeouts(uint32_t readInterval, uint32_t readMultiplier, uint32_t readConstant,
                                 uint32_t writeMultiplier, uint32_t writeConstant) {
    if (m_context.m_nLinkKind != kLinkCom)
        return true;
    if (!HasPort())
        return false;
    const CommTimeouts timeouts{readInterval, readMultiplier, readConstant, writeMultiplier, writeConstant};
    if (!m_port.SetTimeouts(timeouts)) {
        ShowMessage("Error configuring communications timeouts.");
        return false;
    }
    return true;
}

uint32_t CSerialHandler::ReadTimeout() const {
    if (UsesUsbPath())
        return m_nUsbReadTimeout;
    return m_port.Timeouts().nReadConstant;
}

bool CSerialHandler::ClearErrors(uint32_t& errors, CommStatus& status) {
    errors = 0;
    status = CommStatus{};
    // Over USB the controller's bytes wait in the receive ring: its count is the input queue, so a
    // transfer sees a header the receiver sent while data was still going out.
    if (UsesUsbPath()) {
        status.nInQueue = m_pUsbDevice->Count(kUsbDataReport);
        return true;
    }
    if (m_context.m_nLinkKind != kLinkCom)
        return true;
    return m_port.ClearErrors(errors, status);
}

bool CSerialHandler::Purge(uint32_t flags) {
    if (UsesUsbPath()) {
        if (flags & (kPurgeRxAbort | kPurgeRxClear))
            m_pUsbDevice->ClearRing(kUsbDataReport);
        return true;
    }
    if (m_context.m_nLinkKind != kLinkCom)
        return true;
    return m_port.Purge(flags);
}

bool CSerialHandler::ChangeSetting(const std::string& setting) {
    SerialMode mode;
    if (!ParseSerialMode(setting, mode)) {
        ShowMessage("Error creating device control block!");
        return false;
    }
    if (!m_port.ApplyMode(mode)) {
        ShowMessage("Error configuring COM port.");
        return false;
    }
    return true;
}

unsigned CSerialHandler::PollReceive() {
    if (!HasPort())
        return 0;
    FlushPendingSends();
    // A send that found the port gone is reported here, where the receive side would find it too.
    long got = m_bFailed ? -1 : m_port.ReadAvailable(m_receiveBuffer, sizeof m_receiveBuffer);
    if (got == 0) {
        // Nothing yet: the read stays pending for at most one short wait.
        m_bReadPending = true;
        const auto wait = CClock::Instance().RealDuration(kPollReceiveWaitMs);
        const int waitMs =
            std::max(1, static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(wait).count()));
        const int ready = m_port.WaitReadable(waitMs);
        if (ready == 0)
            return 0;
        // A hang-up may still leave the bytes that came before it.
        got = m_port.ReadAvailable(m_receiveBuffer, sizeof m_receiveBuffer);
        if (ready < 0 && got == 0)
            got = -1;
    }
    if (got < 0) {
        m_bReadPending = false;
        m_bFailed = true;
        ShowMessage(kComPortReadFailed);
        return 0;
    }
    m_bReadPending = false;
    return static_cast<unsigned>(got);
}

void CSerialHandler::FlushPendingSends() {
    if (m_pendingSend.empty() || !HasPort())
        return;
    // The descriptor is non-blocking: take what the port accepts now, keep the rest in order.
    const uint8_t* data = reinterpret_cast<const uint8_t*>(m_pendingSend.data());
    size_t sent = 0;
    while (sent < m_pendingSend.size()) {
        const ssize_t n = ::write(m_port.Descriptor(), data + sent, m_pendingSend.size() - sent);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            m_bFailed = true; // the port is gone: nothing queued will ever leave
            m_pendingSend.clear();
            return;
        }
        break;
    }
    m_pendingSend.erase(0, sent);
}

bool CSerialHandler::PostByte(uint8_t byte) {
    return PostBytes(&byte, 1);
}

bool CSerialHandler::PostBytes(const uint8_t* data, size_t length) {
    // A send still in progress must not lose the next keystroke: queue behind it, within a bound.
    if (m_bFailed)
        return true;
    length = std::min(length, kMaxPendingSend - std::min(kMaxPendingSend, m_pendingSend.size()));
    m_pendingSend.append(reinterpret_cast<const char*>(data), length);
    FlushPendingSends();
    return true;
}
