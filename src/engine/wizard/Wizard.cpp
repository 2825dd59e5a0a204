#include "engine/wizard/Wizard.h"
#include "engine/app/MessageTexts.h"
#include "engine/wizard/UpgradeOutcome.h"

#include "engine/app/DravikApp.h"
#include "engine/app/RecordScope.h"
#include "engine/app/UserInterface.h"
#include "engine/download/Download.h"
#include "engine/link/SerialHandler.h"
#include "platform/Clock.h"

#include <future>

namespace {

constexpr int kStateCable = 1;
constexpr int kStateConnect = 2;
constexpr int kStateFileType = 3;
constexpr int kStateLoad = 4;
constexpr int kStateImageResult = 5;
constexpr int kStateConfigurationResult = 6;
constexpr int kStatePortSetup = 7;
constexpr int kStatePortFailed = 8;
constexpr int kStateExit = 9;
constexpr int kStateEnd = 10;

constexpr uint32_t kPollMs = 1000;
constexpr uint32_t kResetWaitMs = 30000;
constexpr uint32_t kResetSliceMs = 250;
constexpr uint8_t kBell = 0x07;

constexpr const char* kExitQuestion = "Exit Upgrade Wizard?";

} // namespace

CWizard::CWizard(CDravikApp& app) : m_app(app), m_ui(app.Ui()) {}

CWizard::~CWizard() {
    Stop();
}

void CWizard::Start() {
    if (m_thread.joinable())
        m_thread.join();
    m_bStop = false;
    m_app.m_bWizardRunning = true;
    m_thread = std::thread([this] { Run(); });
}

void CWizard::Stop() {
    m_bStop = true;
    if (m_thread.joinable())
        m_thread.join();
}

bool CWizard::IsRunning() const {
    return m_app.m_bWizardRunning;
}

bool CWizard::AwaitReset(CSerialHandler& link) {
    // The controller's BEL within 30 s, read in short slices: the program's end does not wait them out.
    const uint32_t start = CClock::Instance().TickCount();
    link.SetReadTimeout(kResetSliceMs);
    bool bell = false;
    while (!bell && !m_bStop && CClock::Instance().TickCount() - start < kResetWaitMs) {
        uint8_t byte = 0;
        size_t got = 0;
        if (!link.Read(&byte, 1, got)) {
            m_ui.MessageBox(m_app.m_nLinkKind == kLinkUsb ? kUsbReadFailed : kComPortReadFailed);
            break;
        }
        bell = got == 1 && byte == kBell;
    }
    link.SetReadTimeout(kResetWaitMs);
    return bell && !m_bStop;
}

bool CWizard::Pause(uint32_t milliseconds) {
    // A posted task wakes the user-interface thread's idle pass, which carries out the wizard's requests.
    m_ui.Post([] {});
    const uint32_t start = CClock::Instance().TickCount();
    while (CClock::Instance().TickCount() - start < milliseconds) {
        if (m_bStop)
            return false;
        CClock::Instance().Sleep(std::min<uint32_t>(50, milliseconds));
    }
    return !m_bStop;
}

void CWizard::Run() {
    int state = kStateCable;
    while (state != kStateEnd) {
        if (m_bStop)
            break;
        state = Step(state);
    }
    m_app.m_bWizardRunning = false;
}

int CWizard::AskExit(int stay) {
    return m_ui.MessageBox(kExitQuestion, EMsgButtons::YesNo, EMsgIcon::Question) == IDYES ? kStateExit
                                                                                           : stay;
}

int CWizard::Step(int state) {
    WizardPageData page;
    switch (state) {
    case kStateCable:
        if (m_ui.RunWizardPage(kWizardPageCable, page) != kWizardNext)
            return AskExit(kStateCable);
        return m_app.m_nLinkKind == kLinkUsb ? AfterCablePage() : kStateConnect;
    case kStateConnect:
        return ConnectState();
    case kStateFileType:
        page.nFileType = 0; // the first choice each time the page opens
        if (m_ui.RunWizardPage(kWizardPageFileType, page) != kWizardNext)
            return AskExit(kStateFileType);
        m_app.m_nLoadType = page.nFileType;
        return kStateLoad;
    case kStateLoad:
        return LoadState();
    case kStateImageResult:
        return ImageResultState();
    case kStateConfigurationResult:
        return ConfigurationResultState();
    case kStatePortSetup: {
        // The Port Setup command changes the application's link: it runs on the user-interface thread.
        auto done = std::make_shared<std::promise<void>>();
        std::future<void> finished = done->get_future();
        m_ui.Post([this, done] {
            m_app.OnPortSetup();
            done->set_value();
        });
        while (finished.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready)
            if (m_bStop)
                return kStateEnd;
        return kStateCable;
    }
    case kStatePortFailed: {
        const int answer = m_ui.MessageBox(
            "Error opening the PC's selected COM Port!\n  \nThis may be due to an incorrect PC serial port "
            "setting "
            "or another\nprogram having the serial port open.\n  \nTry the following:\n  \n 1) Close all "
            "other "
            "program and retry downloading by clicking 'Yes'.\n 2) Verify comm port selection by clicking "
            "'No'.  "
            "This will bring up\n     a dialog box where you can change the selected comm port.  After\n     "
            "selecting the comm port you must reconnect to the controller.\n  \nIf the problem persists try "
            "using "
            "a different PC.\nClick 'Cancel' to exit the Upgrade Wizard.",
            EMsgButtons::YesNoCancel);
        return answer == IDYES ? kStateCable : answer == IDNO ? kStatePortSetup : kStateExit;
    }
    case kStateExit:
        m_ui.MessageBox("Upgrade Wizard Exiting.\nTo restart the Upgrade Wizard from the Dravik\nmenu select "
                        "'File->Upgrade Wizard'.");
        return kStateEnd;
    default:
        return kStateExit;
    }
}

int CWizard::AfterCablePage() {
    if (!m_app.m_bUsbPresent &&
        m_ui.MessageBox(
            "USB is not plugged in!\nPlease connect USB cable and check the controller is powered!\n"
            "Press YES if ready to continue.",
            EMsgButtons::YesNo, EMsgIcon::Question) != IDYES)
        return kStateCable;
    if (m_app.m_bUsbPresent && m_app.m_nLinkKind == kLinkUsb) {
        const int restart = RestartOverUsb([this] { return Pause(kPollMs); });
        if (restart == kRestartStopped)
            return kStateEnd;
        if (restart != kRestartNotNeeded && restart != kRestartStarted)
            return m_ui.MessageBox("Restarting the Controller failed!\nExit Upgrade Wizard?",
                                   EMsgButtons::YesNo, EMsgIcon::Question) == IDYES
                       ? kStateExit
                       : kStateCable;
    }
    return kStateConnect;
}

int CWizard::RestartOverUsb(const std::function<bool()>& pause) {
    const int restart = m_app.UsbRestartCheck();
    if (restart == kRestartStarted) {
        // The idle pass clears the flag 5 s after the restart (and posts no Connect while the wizard runs).
        while (m_app.m_bRestartPending)
            if (!pause())
                return kRestartStopped;
        m_app.m_usbDevice.ClearRing(3);
    }
    return restart;
}

int CWizard::ConnectState() {
    std::unique_ptr<IWaitWindow> notice;
    if (m_app.m_nLinkKind == kLinkCom)
        notice = m_ui.ShowWizardNotice();
    const int result = WizardConnect();
    notice.reset();
    if (m_bStop)
        return kStateEnd;
    switch (result) {
    case kConnectPortFailed:
        return kStatePortFailed;
    case kConnectNoController: {
        WizardPageData page;
        const int answer = m_ui.RunWizardPage(kWizardPageNoController, page);
        if (answer == kWizardTryAgain)
            return kStateConnect;
        if (answer == kWizardComPort)
            return kStatePortSetup;
        return AskExit(kStateCable);
    }
    case kConnectNoLinkChosen:
        return kStateCable;
    case kConnectNoUsb:
        return m_ui.MessageBox("Do you want to retry with USB?\n", EMsgButtons::YesNoCancel,
                               EMsgIcon::Question) == IDNO
                   ? kStatePortSetup
                   : kStateCable;
    default:
        return kStateFileType;
    }
}

int CWizard::WizardConnect() {
    bool probed = false;
    CRecordScope record(m_app, "connect", [this, &probed] {
        return std::pair<int, bool>(m_app.m_nConnectState, probed && m_app.m_nConnectState != ConnectNone);
    });
    char protocol[5] = {};
    char version[5] = {};
    m_app.SetControllerTexts(protocol, version);
    if (m_app.m_nTerminalMode != 0) {
        // The screen belongs to the user-interface thread.
        auto done = std::make_shared<std::promise<void>>();
        std::future<void> finished = done->get_future();
        m_ui.Post([this, done] {
            m_app.SwitchTerminalModeOff();
            done->set_value();
        });
        while (finished.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready)
            if (m_bStop)
                return kConnectNoController;
    }

    std::unique_ptr<CSerialHandler> link;
    const int kind = m_app.m_nLinkKind;
    auto openCom = [&] {
        int result = 0;
        link = std::make_unique<CSerialHandler>(m_app, m_app.PortName(), kSettingNormal, result, false);
        return result == CSerialHandler::kOpenOk;
    };
    if (kind == kLinkUsb) {
        if (!m_app.m_bUsbPresent) {
            m_ui.MessageBox("USB is not connected!");
            return kConnectNoUsb;
        }
        link = std::make_unique<CSerialHandler>(m_app, &m_app.m_usbDevice);
    } else if (kind == kLinkCom) {
        if (!openCom())
            return kConnectPortFailed;
    } else {
        m_ui.MessageBox("Please first select COM or USB to be used for communication");
        return kConnectNoLinkChosen;
    }

    link->EscapeD(protocol, 0);
    m_app.SetControllerTexts(protocol, nullptr);
    m_app.ParseProtocolVersion(protocol);
    probed = true;
    if (m_app.m_nConnectState == ConnectNone) {
        if (!AwaitReset(*link))
            return kConnectNoController;
        link->WriteByte(0x1B); // holds the controller in its bootstrap
        if (!Pause(2000))
            return kConnectNoController;
        if (kind == kLinkCom) {
            link.reset();
            if (!openCom())
                return kConnectPortFailed;
        }
        // Five probes at most, as one probe with four repetitions would send, but one at a time so that
        // the program's end need not wait for all of them.
        for (int probe = 0; probe < 5 && !m_bStop; ++probe)
            if (link->EscapeD(protocol, 0))
                break;
        m_app.SetControllerTexts(protocol, nullptr);
        if (m_bStop)
            return kConnectNoController;
        m_app.ParseProtocolVersion(protocol);
        if (m_app.m_nConnectState == ConnectNone)
            m_app.m_nConnectState = ConnectBios;
    }
    link->EscapeC(version);
    m_app.SetControllerTexts(nullptr, version);
    return kConnectDone;
}

int CWizard::LoadState() {
    m_app.m_bLoadOk = 0;
    m_app.m_bLoadRequest = 1;
    while (m_app.m_bLoadRequest != 0)
        if (!Pause(kPollMs))
            return kStateEnd;
    if (m_app.m_bLoadOk != 0 && m_app.m_nLastLoadKind == kLoadKindImage)
        return kStateImageResult;
    if (m_app.m_bLoadOk != 0 && m_app.m_nLastLoadKind == kLoadKindConfiguration)
        return kStateConfigurationResult;
    return m_ui.MessageBox("No file selected. Try again?", EMsgButtons::YesNo, EMsgIcon::Question) == IDYES
               ? kStateLoad
               : kStateFileType;
}

int CWizard::ImageResultState() {
    m_app.WaitForDownloadEnd();
    return OutcomeState(ImageUpgradeOutcome(m_app.m_nLastLoadResult, m_app.m_nConnectState));
}

int CWizard::ConfigurationResultState() {
    return OutcomeState(ConfigurationUpgradeOutcome(m_app.m_nLastLoadResult));
}

int CWizard::OutcomeState(const UpgradeOutcome& outcome) {
    switch (outcome.nStep) {
    case EUpgradeStep::Done:
        m_ui.MessageBox(outcome.pszText, EMsgButtons::Ok, outcome.nIcon);
        return kStateEnd;
    case EUpgradeStep::AnotherFile: {
        WizardPageData page;
        if (m_ui.RunWizardPage(kWizardPageAnotherFile, page) == kWizardNext) {
            m_app.m_nLoadType = kLoadTypeImageOrConfiguration;
            return kStateLoad;
        }
        return AskExit(kStateConnect);
    }
    case EUpgradeStep::PortFailed:
        return kStatePortFailed;
    case EUpgradeStep::Retry:
        return m_ui.MessageBox(outcome.pszText, EMsgButtons::RetryCancel, outcome.nIcon) == IDRETRY
                   ? (outcome.bRetryFromFileType ? kStateFileType : kStateCable)
                   : kStateExit;
    case EUpgradeStep::ProgramError:
        break;
    }
    m_ui.MessageBox(outcome.pszText);
    return kStateExit;
}
