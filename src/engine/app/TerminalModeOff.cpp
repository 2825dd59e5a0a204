#include "engine/app/DravikApp.h"
#include "engine/link/SerialHandler.h"

void CDravikApp::SwitchTerminalModeOff() {
    if (m_nTerminalMode == 0)
        return;
    m_nTerminalMode = 0;
    m_terminal.PutChar(0x0C);
    m_terminal.BlankTerminal();
    m_pTermLink.reset();  // a COM port closes; the USB device stays open, it belongs to the application
    RefreshStatus();
}
