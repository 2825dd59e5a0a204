// Whether the controller's USB device is there: the check at start-up and on arrival, the reaction to
// removal, the present flag, and the control-report exchange the restart requests use.
#include "engine/app/DravikApp.h"
#include "engine/app/MessageTexts.h"
#include "engine/app/UserInterface.h"
#include "platform/Clock.h"
#include "platform/HidLibrary.h"

#include <algorithm>

namespace {

constexpr uint32_t kPollIntervalMs = 100;
constexpr uint8_t kStateBusy = 2;
constexpr int kAnswerMismatch = 64;

} // namespace

void CDravikApp::CheckUsbDevice() {
    if (m_usbDevice.CountDevices() != 1) {
        SetUsbPresent(false);
        return;
    }
    SetUsbPresent(true);
    if (m_nLinkKind == kLinkUsb && m_usbDevice.Open() != 0) {
        SetUsbPresent(false);
        m_pUi->MessageBoxWithReason(kUsbOpenFailed, HidLibrary().ExplainOpenFailure());
    }
}

void CDravikApp::OnUsbDeviceRemoved() {
    if (m_usbDevice.IsOpen())
        m_usbDevice.NoteRemoval();
    if (m_usbDevice.CountDevices() > 0)
        return;
    if (m_bUsbPresent && m_nLinkKind == kLinkUsb) {
        if (m_usbDevice.Close() != 0)
            m_pUi->MessageBox(kUsbCloseFailed);
    } else if (m_usbDevice.IsOpen()) {
        // Opened while it was the only one, then a second came and presence was withdrawn: with no device
        // left the handle is dead, and keeping it would stand in for the next device plugged in.
        m_usbDevice.Close();
    }
    SetUsbPresent(false);
}

void CDravikApp::SetUsbPresent(bool present) {
    m_bUsbPresent = present;
    RefreshStatus();
}

void CDravikApp::WatchUsbDevices() {
    m_usbWatch.Start([this](bool arrived) {
        if (arrived)
            m_pUi->Post([this] { CheckUsbDevice(); });
        else
            m_pUi->Post([this] { OnUsbDeviceRemoved(); });
    });
}

int CDravikApp::ControlExchange(uint8_t first, uint8_t second, uint8_t& state, uint8_t answer[5],
                                uint32_t timeoutMs) {
    const uint8_t request[8] = {first, second, 0, 0, 0, 0, 0, 0};
    int status = m_usbDevice.SendControl(request);
    if (status != 0)
        return status;
    const uint32_t polls = std::max<uint32_t>(1, timeoutMs / kPollIntervalMs);
    uint8_t reply[8] = {};
    for (uint32_t poll = 0; poll < polls; ++poll) {
        if (poll > 0)
            CClock::Instance().Sleep(kPollIntervalMs);
        status = m_usbDevice.GetControl(reply);
        if (status != 0)
            return status;
        if (reply[0] != first && reply[1] != second)
            return kAnswerMismatch;
        if (reply[2] != kStateBusy)
            break;
    }
    state = reply[2];
    std::copy(reply + 3, reply + 8, answer);
    return 0;
}
