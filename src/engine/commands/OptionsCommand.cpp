// Controller Options: sets how the controller uses its own RS-232 and infrared ports, one command per port
// that has a choice. The controller's current setting is never read back, so nothing is preselected.
#include "engine/app/DravikApp.h"
#include "engine/app/RecordScope.h"
#include "engine/app/UserInterface.h"
#include "engine/link/SerialHandler.h"

#include <memory>

namespace {

// Commands by choice (OS, application, TCP/IP client, TCP/IP server). The wire letters follow the
// choices' order; the code numbering swaps client and server.
constexpr EControllerCommand kRs232Codes[4] = {CommandRs232Os, CommandRs232Application, CommandRs232TcpClient,
                                               CommandRs232TcpServer};
constexpr EControllerCommand kIrCodes[4] = {CommandIrOs, CommandIrApplication, CommandIrTcpClient,
                                            CommandIrTcpServer};

bool IsChoice(int choice) {
    return choice >= 0 && choice < 4;
}

} // namespace

void CDravikApp::OnControllerOptions() {
    SetControllerOptions(nullptr);
}

bool CDravikApp::SetControllerOptions(const OptionsDialogData* chosen) {
    CRecordScope record(*this, "options");
    SwitchTerminalModeOff();

    std::unique_ptr<CSerialHandler> link = OpenComLink();
    if (!link)
        return false;

    OptionsDialogData choice;
    if (chosen)
        choice = *chosen;
    else if (!m_pUi->RunOptionsDialog(choice)) {
        record.Finish(1, true); // cancelled: nothing sent, nothing failed
        return true;
    }

    bool ok = true;
    if (IsChoice(choice.nRs232Choice) && !link->SendCommand(kRs232Codes[choice.nRs232Choice])) {
        m_pUi->MessageBox("Slave rejected RS232 port settings.");
        ok = false;
    }
    // The IR port is set whatever became of the RS-232 port.
    if (IsChoice(choice.nIrChoice) && !link->SendCommand(kIrCodes[choice.nIrChoice])) {
        m_pUi->MessageBox("Slave rejected IrDA port settings.");
        ok = false;
    }
    record.Finish(ok ? 1 : 0, ok);
    return ok;
}
