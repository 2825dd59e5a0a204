#include "gui/app/DemoSession.h"

#include "engine/app/DravikApp.h"
#include "platform/PortNames.h"

#include <sys/stat.h>

std::string CDemoSession::SamplesFolder() {
#ifdef DRAVIK_DEMO_SAMPLES_DIR
    struct stat info {};
    if (::stat(DRAVIK_DEMO_SAMPLES_DIR, &info) == 0 && S_ISDIR(info.st_mode))
        return DRAVIK_DEMO_SAMPLES_DIR;
#endif
    return std::string();
}

CDemoSession::~CDemoSession() {
    m_simulator.Stop();
    if (m_bMapped)
        SetPortNameOverride(kPortName, "");
}

bool CDemoSession::Start(std::string& error) {
    SimOptions options;
    options.bReceiveFiles = true; // configuration files go to the simulated controller by ZModem
    options.bConsole = true;      // terminal mode meets a prompt, the diagnostic menu and its dumps
    if (!m_simulator.Start(options, error))
        return false;
    SetPortNameOverride(kPortName, m_simulator.SlavePath());
    m_bMapped = true;
    return true;
}

void CDemoSession::KeepSettings(CDravikApp& app) {
    app.m_bSettingsReadOnly = true;
}

void CDemoSession::UseDemoLink(CDravikApp& app) {
    if (app.m_nLinkKind == kLinkUsb && app.m_usbDevice.IsOpen())
        app.m_usbDevice.Close();
    app.m_nLinkKind = kLinkCom;
    app.m_strPort = kPortName;
    app.RefreshStatus();
}
