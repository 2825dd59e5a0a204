// Connect to controller: learns whether the controller's BIOS or its bootstrap answers, reads both version
// texts and records the connection state. Over COM the controller is caught at reset; over USB it is first
// asked whether it must restart.
#include "engine/app/DravikApp.h"
#include "engine/app/MessageTexts.h"
#include "engine/app/RecordScope.h"
#include "engine/app/UserInterface.h"
#include "engine/link/SerialHandler.h"
#include "platform/Clock.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr uint8_t kBell = 0x07;
constexpr uint8_t kEscape = 0x1B;
constexpr uint32_t kResetWaitMs = 30000;
constexpr uint32_t kAfterEscapeMs = 3000;
constexpr uint32_t kControlTimeoutMs = 1000;
constexpr int kRestartNotSupported = 10;

} // namespace

void CDravikApp::ParseProtocolVersion(const char* text) {
    if (text == nullptr || std::strlen(text) < 4) {
        m_nConnectState = ConnectNone;
        return;
    }
    if (std::strncmp(text, "PL03", 4) == 0)
        m_nConnectState = ConnectBootstrap;
    else if (std::strncmp(text, "PL01", 4) == 0 || std::strncmp(text, "PL02", 4) == 0)
        m_nConnectState = ConnectBios;
    else
        m_nConnectState = ConnectNone;
}

void CDravikApp::SetControllerTexts(const char protocol[5], const char version[5]) {
    const std::lock_guard lock(m_controllerTextLock);
    if (protocol)
        std::memcpy(m_szProtocol, protocol, sizeof m_szProtocol);
    if (version)
        std::memcpy(m_szVersion, version, sizeof m_szVersion);
}

std::string CDravikApp::ControllerVersionText() const {
    const std::lock_guard lock(m_controllerTextLock);
    return m_szVersion;
}

std::string CDravikApp::ControllerProtocolText() const {
    const std::lock_guard lock(m_controllerTextLock);
    return m_szProtocol;
}

int CDravikApp::UsbRestartCheck() {
    uint8_t state = 0;
    uint8_t answer[5] = {};
    int status = ControlExchange(0x80, 0, state, answer, kControlTimeoutMs);
    if (status != 0)
        return status;
    if (state != 0)
        return kRestartNotNeeded;
    if (answer[0] != 1) {
        m_usbDevice.ClearRing(3);
        return kRestartNotNeeded;
    }
    status = ControlExchange(0x81, 1, state, answer, kControlTimeoutMs);
    if (status != 0)
        return kRestartExchangeFailed;
    if (state == 0) {
        m_dwRestartTick = CClock::Instance().TickCount();
        m_bRestartPending = true;
        return kRestartStarted;
    }
    if (state == 1 && answer[0] == 0) {
        m_pUi->MessageBox("Restart rejected by DXU 'RUN' state!\nStop DXU and retry to connect!");
        return kRestartRejected;
    }
    if (state == 1 && answer[0] == 1) {
        // The bootstrap's version as an IEEE single, least significant byte first.
        const uint32_t bits = static_cast<uint32_t>(answer[1]) | static_cast<uint32_t>(answer[2]) << 8 |
                              static_cast<uint32_t>(answer[3]) << 16 | static_cast<uint32_t>(answer[4]) << 24;
        float version = 0;
        static_assert(sizeof version == sizeof bits);
        std::memcpy(&version, &bits, sizeof version);
        char text[256];
        std::snprintf(text, sizeof text,
                      "This DXU Bootstrap (V%.1f) does not support USB!\nUse RS-232 or upgrade the Bootstrap "
                      "software\nto at least Version 2.1 in order to use USB.",
                      static_cast<double>(version));
        m_pUi->MessageBox(text);
        return kRestartBootstrapNoUsb;
    }
    return kRestartNotNeeded;
}

void CDravikApp::OnConnect() {
    bool probed = false; // runs that stop before the probes leave an old state behind
    CRecordScope record(*this, "connect", [this, &probed] {
        return std::pair<int, bool>(m_nConnectState, probed && m_nConnectState != ConnectNone);
    });
    char protocol[5] = {};
    char version[5] = {};
    SetControllerTexts(protocol, version);
    SwitchTerminalModeOff();

    std::unique_ptr<CSerialHandler> link = OpenCommandLink(kNoSerialLink);
    if (!link)
        return;

    bool restartNotSupported = false;
    if (m_nLinkKind == kLinkUsb) {
        const int restart = UsbRestartCheck();
        if (restart == kRestartNotSupported)
            restartNotSupported = true;
        else if (restart != kRestartNotNeeded)
            return; // started: the idle pass connects again; refusals have said why
    }

    std::unique_ptr<IWaitWindow> wait;
    if (m_nLinkKind == kLinkCom)
        wait = m_pUi->CreateWaitWindow(
            "Connect...", "Please reset controller.  Dravik will wait 30s for controller to connect.");

    bool protocolOk = link->EscapeD(protocol, 0);
    SetControllerTexts(protocol, nullptr);
    ParseProtocolVersion(protocol);
    probed = true;

    if (m_nConnectState == ConnectNone) {
        link->SetReadTimeout(kResetWaitMs);
        if (link->WaitForByte(kBell)) {
            // ESC holds the controller in its bootstrap.
            link->WriteByte(kEscape);
            CClock::Instance().Sleep(kAfterEscapeMs);
            if (m_nLinkKind == kLinkCom) {
                link.reset();
                int result = 0;
                link = std::make_unique<CSerialHandler>(*this, PortName(), kSettingNormal, result, false);
                if (result != CSerialHandler::kOpenOk) {
                    const std::vector<std::string> reason = link->OpenFailureReason(PortName());
                    link.reset();
                    wait.reset();
                    m_pUi->MessageBoxWithReason(kComPortOpenFailed, reason);
                    return;
                }
            }
            protocolOk = link->EscapeD(protocol, 4);
            SetControllerTexts(protocol, nullptr);
            ParseProtocolVersion(protocol);
            if (m_nConnectState == ConnectNone)
                m_nConnectState = ConnectBios; // it sent BEL and took the ESC
        } else if (restartNotSupported) {
            m_pUi->MessageBox(
                "DXU Restart Command is not supported by this Operating System!\nDo the following:\n"
                "Use Terminal mode, restart DXU and hit ESC key to hold DXU in Bootstrap!\n"
                "Afterwards try again Connect to controller...");
        }
    }

    const bool versionOk = link->EscapeC(version);
    SetControllerTexts(nullptr, version);
    wait.reset();

    const int state = m_nConnectState;
    if (versionOk && protocolOk) {
        std::string report = "Controller connected.\n";
        report += state == ConnectBootstrap ? " Bootstrap Version " : " Bios Version ";
        report += version;
        report += "/Protocol Version ";
        report += protocol;
        m_pUi->MessageBox(report);
    } else if (state == ConnectNone) {
        m_pUi->MessageBox("No connection established");
    } else if (state == ConnectBios) {
        m_pUi->MessageBox("Connection established");
    }
}
