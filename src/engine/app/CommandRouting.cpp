// Which handler each menu command reaches, and when each command is enabled or checked. The rules are
// evaluated on the current state every time a face asks: nothing is cached.
#include "engine/app/CommandIds.h"
#include "engine/app/DravikApp.h"
#include "engine/app/UserInterface.h"

void CDravikApp::OnCommand(int commandId) {
    if (!IsCommandEnabled(commandId))
        return;
    switch (commandId) {
    case ID_COMMANDS_CONNECT:
        OnConnect();
        break;
    case ID_FILE_WIZARD:
        OnUpgradeWizard();
        break;
    case ID_FILE_LOAD:
        OnLoad();
        break;
    case ID_COMMANDS_TERMINAL:
        OnTerminalMode();
        break;
    case ID_SETUP_PORT:
        OnPortSetup();
        break;
    case ID_SETUP_USE_COM:
        UseCom();
        break;
    case ID_SETUP_USE_USB:
        UseUsb();
        break;
    case ID_APP_ABOUT:
        OnAbout();
        break;
    case ID_COMMANDS_UPDATE_BIOS:
        OnUpdateBios();
        break;
    case ID_COMMANDS_ERASE:
        OnEraseMemory();
        break;
    case ID_COMMANDS_OPTIONS:
        OnControllerOptions();
        break;
    case ID_FILE_CONVERT:
        OnConvert();
        break;
    default:
        break;
    }
}

bool CDravikApp::IsCommandEnabled(int commandId) const {
    const bool idle = !m_bDownloadRunning;
    const bool terminalOff = m_nTerminalMode == 0;
    const int state = m_nConnectState;
    switch (commandId) {
    case ID_FILE_LOAD:
        return idle && state != ConnectNone;
    case ID_SETUP_PORT:
        return idle && terminalOff;
    case ID_COMMANDS_ERASE:
        return idle && state != ConnectNone && (m_bDebug || state != ConnectBootstrap);
    case ID_COMMANDS_CONNECT:
        return idle;
    case ID_FILE_CONVERT:
        return true;
    case ID_COMMANDS_TERMINAL:
        return idle;
    case ID_COMMANDS_OPTIONS:
        return idle && state == ConnectBios;
    case ID_FILE_WIZARD:
        return idle;
    case ID_COMMANDS_UPDATE_BIOS:
        return idle && m_bBiosTool;
    case ID_SETUP_USE_COM:
        return idle && terminalOff;
    case ID_SETUP_USE_USB:
        return idle && terminalOff && m_bUsbPresent;
    case ID_APP_ABOUT:
        return true;
    case ID_APP_EXIT:
        return true;
    case ID_VIEW_STATUS_BAR:
        return true;
    default:
        return false;
    }
}

bool CDravikApp::IsCommandChecked(int commandId) const {
    switch (commandId) {
    case ID_COMMANDS_TERMINAL:
        return m_nTerminalMode != 0;
    case ID_SETUP_USE_COM:
        return m_nLinkKind == kLinkCom;
    case ID_SETUP_USE_USB:
        return m_nLinkKind == kLinkUsb;
    case ID_VIEW_STATUS_BAR:
        return m_bStatusBarShown;
    default:
        return false;
    }
}
