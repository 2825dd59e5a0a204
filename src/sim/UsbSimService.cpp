#include "sim/UsbSimService.h"

#include "sim/SimControllerSet.h"

CUsbSimService::~CUsbSimService() {
    Stop();
}

void CUsbSimService::Configure(const SimUsbOptions& options) {
    m_strSocketPath = options.strSocketPath;
    m_usbOptions = options.device;
    m_nDevices = options.nDevices;
    m_strSerial = options.strSerial;
}

void CUsbSimService::AttachController(const std::shared_ptr<CUsbSimDevice>& device,
                                      const SimOptions& options) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_controllers.push_back(std::make_unique<CUsbSimController>(device, options));
}

bool CUsbSimService::Start(const SimOptions& options, std::string& error) {
    if (!IsEnabled())
        return true;
    m_simOptions = options;
    m_simOptions.nExpectFrameSpeed = 0; // USB has no line speed
    m_pHub = std::make_shared<CUsbSimHub>();
    m_pServer = std::make_unique<CUsbSocketServer>(m_pHub);
    m_pServer->SetDeviceAddedHandler(
        [this](std::shared_ptr<CUsbSimDevice> device) { AttachController(device, m_simOptions); });
    // --count N: a device with a serial number of its own for each controller; else one controller,
    // shown once or (--usb-devices 2) twice.
    const bool many = options.nCount > 1;
    for (unsigned i = 0; i < (many ? options.nCount : m_nDevices); ++i) {
        SUsbSimOptions deviceOptions = m_usbOptions;
        deviceOptions.strSerial = many ? m_strSerial + "-" + std::to_string(i + 1) : m_strSerial;
        std::shared_ptr<CUsbSimDevice> device = m_pHub->AddDevice(deviceOptions, false);
        AttachController(device, many ? SimOptionsForController(m_simOptions, i + 1) : m_simOptions);
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

SimFlashRuns CUsbSimService::FlashRuns(unsigned index) {
    std::lock_guard<std::mutex> guard(m_lock);
    return index >= 1 && index <= m_controllers.size() ? m_controllers[index - 1]->FlashRuns()
                                                       : SimFlashRuns();
}
