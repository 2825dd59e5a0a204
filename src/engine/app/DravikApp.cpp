#include "engine/app/DravikApp.h"

#include "engine/app/CommandIds.h"
#include "engine/app/MessageTexts.h"
#include "engine/app/UserInterface.h"
#include "engine/download/Download.h"
#include "engine/link/SerialHandler.h"
#include "engine/records/RecordingUserInterface.h"
#include "engine/records/ServiceVisit.h"
#include "engine/wizard/Wizard.h"
#include "platform/Clock.h"
#include "platform/HidLibrary.h"

#include <unistd.h>

namespace {

constexpr uint32_t kReconnectDelayMs = 5000;
constexpr uint8_t kControllerDataReport = 3;
// One PollReceive fills at most the link's receive buffer; a terminal pump pass takes at most this much.
constexpr unsigned kTerminalReceiveChunk = 128;
constexpr size_t kMaxPumpBytes = 32768;

// The current folder with a trailing separator.
std::string CurrentFolder() {
    char folder[4096];
    return ::getcwd(folder, sizeof folder) ? std::string(folder) + "/" : std::string("./");
}

} // namespace

CDravikApp::CDravikApp(IUserInterface* ui) : CLinkContext(ui) {
    // Every text the engine shows passes the record of the operation in progress on its way to the face.
    m_pRecordingUi = std::make_unique<CRecordingUserInterface>(
        *ui, [this](const std::string& text) { NoteShownText(text); });
    m_pUi = m_pRecordingUi.get();
    m_strSettingsPath = "Dravik.cfg";
    m_nLinkKind = kLinkCom;
}

CDravikApp::~CDravikApp() {
    // A download still running is cancelled and ends at its next check point; the wizard's worker, which
    // may be waiting for it, ends next.
    if (m_downloadThread.joinable())
        CancelDownload();
    if (m_pWizard)
        m_pWizard->Stop();
    WaitForDownload();
    m_pTermLink.reset();
    if (m_captureFile.IsValid())
        CloseCapture();
    if (m_bUsbPresent && m_nLinkKind == kLinkUsb)
        m_usbDevice.Close();
}

bool CDravikApp::InitInstance(const std::string& programPath, const std::string& commandLineFile) {
    m_bBiosTool = IsBiosToolInstalled();
    m_strSettingsPath = SettingsPathFor(programPath);
    m_nTerminalMode = 0;
    LoadSettings();
    if (!commandLineFile.empty()) {
        m_strPathName = commandLineFile;
        const size_t slash = commandLineFile.find_last_of('/');
        // A bare name ("dravik app.img" in a shell) lies in the current folder.
        m_strLoadDir = slash == std::string::npos ? CurrentFolder() : commandLineFile.substr(0, slash + 1);
        m_strFileName = slash == std::string::npos ? commandLineFile : commandLineFile.substr(slash + 1);
    }
    CheckUsbDevice();
    RefreshStatus();
    m_bWizardRunning = false;
    return true;
}

bool CDravikApp::OnIdle(long count) {
    const bool frameworkWantsMore = count <= 0;

    if ((m_bFirstIdle && m_strWizard == "WE") || m_bWizardRequest)
        StartWizard();
    m_bFirstIdle = false;
    m_bWizardRequest = false;

    if (m_bLoadRequest != 0 && !m_bLoadRunning) {
        // The request is cleared only when the load has run, so the wizard reads a settled result.
        m_bLoadRunning = true;
        const int type = m_nLoadType;
        m_pUi->RunControllerWork([this, type] {
            m_bLoadOk = RunRequestedLoad(type);
            m_bLoadRunning = false;
            m_bLoadRequest = 0;
        });
    }

    if (m_nTerminalMode == 0 || m_bWizardRunning) {
        if (m_bRestartPending) {
            const uint32_t elapsed = CClock::Instance().TickCount() - m_dwRestartTick;
            if (elapsed > kReconnectDelayMs) {
                m_bRestartPending = false;
                if (!m_bWizardRunning)
                    m_pUi->PostCommand(ID_COMMANDS_CONNECT, [this] { OnCommand(ID_COMMANDS_CONNECT); });
            }
        }
        return frameworkWantsMore || m_bRestartPending;
    }

    PumpTerminal();
    return true;
}

uint32_t CDravikApp::ReconnectDueInMs() const {
    if (!m_bRestartPending)
        return 0;
    const uint32_t elapsed = CClock::Instance().TickCount() - m_dwRestartTick;
    return elapsed > kReconnectDelayMs ? 0 : kReconnectDelayMs + 1 - elapsed;
}

void CDravikApp::PumpTerminal() {
    if (m_bUsbPresent && m_nLinkKind == kLinkUsb) {
        uint8_t byte = 0;
        while (m_usbDevice.PopByte(kControllerDataReport, byte, 0))
            DeliverTerminalByte(byte);
        FlushCapture();
    } else if (m_nLinkKind == kLinkCom && m_pTermLink) {
        // What the port holds goes in one pass, bounded so that typed keys and the window stay responsive
        // under a controller that never stops talking; a short read means the port is drained.
        for (size_t total = 0; total < kMaxPumpBytes && m_pTermLink && !m_pTermLink->HasFailed();) {
            const unsigned got = m_pTermLink->PollReceive();
            const uint8_t* bytes = m_pTermLink->ReceiveBuffer();
            for (unsigned i = 0; i < got; ++i)
                DeliverTerminalByte(bytes[i]);
            total += got;
            if (got < kTerminalReceiveChunk)
                break;
        }
        FlushCapture();
        // The port hung up (its message has been shown): terminal mode ends instead of asking again.
        if (m_pTermLink && m_pTermLink->HasFailed())
            SetTerminalMode(0);
    }
}

void CDravikApp::RefreshStatus() {
    m_pUi->Post([this] { OnStatusRefresh(); });
}

void CDravikApp::OnStatusRefresh() {
    m_pUi->ShowStatus(MessagePaneText(), LinkPaneText());
}

std::string CDravikApp::MessagePaneText() const {
    return std::string("Terminal mode ") + (m_nTerminalMode != 0 ? "on." : "off.");
}

std::string CDravikApp::LinkPaneText() const {
    if (m_nLinkKind == kLinkUsb)
        return m_bUsbPresent ? "USB connected" : "USB disconnected";
    if (m_nLinkKind == kLinkCom)
        return PortName();
    return {};
}

std::unique_ptr<CSerialHandler> CDravikApp::OpenCommandLink(const char* noLinkMessage, bool overlapped) {
    if (m_bUsbPresent && m_nLinkKind == kLinkUsb)
        return std::make_unique<CSerialHandler>(*this, &m_usbDevice);
    if (m_nLinkKind != kLinkCom) {
        if (noLinkMessage && m_nLinkKind == kLinkUsb)
            m_pUi->MessageBoxWithReason(noLinkMessage, HidLibrary().ExplainNoDevice());
        else if (noLinkMessage)
            m_pUi->MessageBox(noLinkMessage);
        return nullptr;
    }
    return OpenComLink(overlapped);
}

std::unique_ptr<CSerialHandler> CDravikApp::OpenFileTransferLink(int& failure) {
    const bool usb = m_bUsbPresent && m_nLinkKind == kLinkUsb;
    failure = !usb && m_nLinkKind == kLinkCom ? kConfigComPortFailed : kConfigNoLink;
    auto link = OpenCommandLink(kNoSerialLink);
    // A new USB link starts without any read time-out: its first answer could not be waited for.
    if (link && usb)
        link->SetReadTimeout(kDefaultReadTimeout);
    return link;
}

std::unique_ptr<CSerialHandler> CDravikApp::OpenComLink(bool overlapped) {
    int result = 0;
    auto link = std::make_unique<CSerialHandler>(*this, PortName(), kSettingNormal, result, overlapped);
    if (result != CSerialHandler::kOpenOk) {
        const std::vector<std::string> reason = link->OpenFailureReason(PortName());
        link.reset(); // the port closes before the person reads the message
        m_pUi->MessageBoxWithReason(kComPortOpenFailed, reason);
        return nullptr;
    }
    return link;
}
