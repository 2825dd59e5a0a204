#include "sim/UsbSimService.h"

CUsbSimService::~CUsbSimService() {
    Stop();
}

void CUsbSimService::Configure(const SimUsbOptions& options) {
    m_strSocketPath = options.strSocketPath;
    m_usbOptions = options.device;
    m_nDevices = options.nDevices;
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
