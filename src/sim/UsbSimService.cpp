#include "sim/UsbSimService.h"

#include <cstdlib>

namespace {

bool ParseNumber(const std::string& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end != nullptr && *end == '\0' && value >= 0;
}

} // namespace

const char* UsbSimUsageText() {
    return "USB (a simulated controller USB HID device, served on a UNIX socket):\n"
           "  --hid-socket PATH             serve the USB device on this socket\n"
           "  --usb-restart MODE            answer to the restart query and request: none (no restart\n"
           "                                needed), accept (drops off and comes back in its bootstrap),\n"
           "                                refuse-run (refused in RUN state), old-bootstrap (no USB "
           "support)\n"
           "  --usb-bootstrap-version X     the version old-bootstrap reports (default 2.0)\n"
           "  --usb-restart-away MS         how long an accepted restart keeps the device away (3000)\n"
           "  --usb-busy-polls N            control answers that say busy after each request (0)\n"
           "  --usb-devices N               1, or 2 to make the controller appear twice\n"
           "  --usb-refuse-open             the device is held by another program: opening it fails\n";
}

CUsbSimService::~CUsbSimService() {
    Stop();
}

bool CUsbSimService::TakeArgs(std::vector<std::string>& args, std::string& error) {
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool bHasValue = false;
        if (const size_t equals = name.find('='); name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
            bHasValue = true;
        }
        const bool bOurs = name == "--hid-socket" || name == "--usb-restart" ||
                           name == "--usb-bootstrap-version" || name == "--usb-restart-away" ||
                           name == "--usb-busy-polls" || name == "--usb-devices";
        if (name == "--usb-refuse-open") {
            m_usbOptions.bRefuseOpen = true;
            continue;
        }
        if (!bOurs) {
            rest.push_back(args[i]);
            continue;
        }
        if (!bHasValue) {
            if (i + 1 >= args.size()) {
                error = name + " needs a value";
                return false;
            }
            value = args[++i];
        }
        double number = 0;
        if (name == "--hid-socket") {
            m_strSocketPath = value;
        } else if (name == "--usb-restart") {
            if (value == "none")
                m_usbOptions.eRestart = EUsbRestartMode::NotNeeded;
            else if (value == "accept")
                m_usbOptions.eRestart = EUsbRestartMode::Accept;
            else if (value == "refuse-run")
                m_usbOptions.eRestart = EUsbRestartMode::RefuseRun;
            else if (value == "old-bootstrap")
                m_usbOptions.eRestart = EUsbRestartMode::OldBootstrap;
            else {
                error = "unknown --usb-restart mode: " + value;
                return false;
            }
        } else if (!ParseNumber(value, number)) {
            error = name + " needs a number, not " + value;
            return false;
        } else if (name == "--usb-bootstrap-version") {
            m_usbOptions.fBootstrapVersion = static_cast<float>(number);
        } else if (name == "--usb-restart-away") {
            m_usbOptions.nRestartAwayMs = static_cast<uint32_t>(number);
        } else if (name == "--usb-busy-polls") {
            m_usbOptions.nBusyPolls = static_cast<uint32_t>(number);
        } else if (name == "--usb-devices") {
            if (number != 1 && number != 2) {
                error = "--usb-devices takes 1 or 2";
                return false;
            }
            m_nDevices = static_cast<unsigned>(number);
        }
    }
    args.swap(rest);
    return true;
}

void CUsbSimService::AttachController(const std::shared_ptr<CUsbSimDevice>& device) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_controllers.push_back(std::make_unique<CUsbSimController>(device, m_simOptions));
}

bool CUsbSimService::Start(const SimOptions& options, std::string& error) {
    if (!IsEnabled())
        return true;
    m_simOptions = options;
    m_simOptions.nExpectFrameSpeed = 0; // USB has no line speed
    m_pHub = std::make_shared<CUsbSimHub>();
    m_pServer = std::make_unique<CUsbSocketServer>(m_pHub);
    m_pServer->SetDeviceAddedHandler(
        [this](std::shared_ptr<CUsbSimDevice> device) { AttachController(device); });
    for (unsigned i = 0; i < m_nDevices; ++i) {
        std::shared_ptr<CUsbSimDevice> device = m_pHub->AddDevice(m_usbOptions, false);
        AttachController(device);
        m_pServer->AddKnownDevice(device);
        m_pHub->Plug(device);
    }
    return m_pServer->Start(m_strSocketPath, error);
}

void CUsbSimService::Stop() {
    if (m_pServer)
        m_pServer->Stop();
    m_pServer.reset();
    std::lock_guard<std::mutex> guard(m_lock);
    m_controllers.clear();
    m_pHub.reset();
}

SimFlashRuns CUsbSimService::FlashRuns() {
    std::lock_guard<std::mutex> guard(m_lock);
    SimFlashRuns runs;
    for (const auto& controller : m_controllers)
        MergeSimFlashRuns(runs, controller->FlashRuns());
    return runs;
}
