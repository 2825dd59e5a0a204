// The user's choice of link: the port name, COM or USB, and the Port Setup command that edits both.
#include "engine/app/DravikApp.h"
#include "engine/app/MessageTexts.h"
#include "engine/app/UserInterface.h"
#include "platform/HidLibrary.h"
#include "platform/PortNames.h"
#include "platform/SerialPortList.h"

// COM port names are taken without regard to case, and kept as "COMn" so the settings file takes them.
void CDravikApp::SetPortName(const std::string& name) {
    const std::string port = CanonicalPortName(name);
    const std::lock_guard lock(m_portLock);
    m_strPort = port;
}

std::string CDravikApp::PortName() const {
    const std::lock_guard lock(m_portLock);
    return m_strPort;
}

void CDravikApp::UseUsb() {
    if (m_nLinkKind == kLinkCom) {
        if (m_bUsbPresent && m_usbDevice.Open() != 0) {
            m_bUsbPresent = false;
            m_pUi->MessageBoxWithReason(kUsbOpenFailed, HidLibrary().ExplainOpenFailure());
        }
        m_nLinkKind = kLinkUsb;
        SaveSettings();
    }
    RefreshStatus();
}

void CDravikApp::UseCom() {
    if (m_nLinkKind == kLinkUsb) {
        // The device stays plugged in: presence keeps its value.
        if (m_bUsbPresent && m_usbDevice.Close() != 0)
            m_pUi->MessageBox(kUsbCloseFailed);
        m_nLinkKind = kLinkCom;
        SaveSettings();
    }
    RefreshStatus();
}

void CDravikApp::OnPortSetup() {
    CommDialogData data;
    data.strCurrentPort = PortName();
    data.nLinkChoice = m_nLinkKind == kLinkUsb ? 1 : 0;
    for (const SSerialPortInfo& port : ListSerialPorts())
        data.devicePorts.push_back(port.strDevice);
    if (!m_pUi->RunCommDialog(data))
        return;
    SetPortName(data.strPort);
    if (data.nLinkChoice == 1)
        UseUsb();
    else
        UseCom();
    SaveSettings();
}
