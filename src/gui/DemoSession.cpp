#include "gui/DemoSession.h"

#include "platform/PortNames.h"

CDemoSession::~CDemoSession() {
    m_simulator.Stop();
    if (m_bMapped)
        SetPortNameOverride(kPortName, "");
}

bool CDemoSession::Start(std::string& error) {
    SimOptions options;
    options.bReceiveFiles = true; // configuration files go to the simulated controller by ZModem
    if (!m_simulator.Start(options, error))
        return false;
    SetPortNameOverride(kPortName, m_simulator.SlavePath());
    m_bMapped = true;
    return true;
}
