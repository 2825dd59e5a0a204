// Erase Memory: the person ticks memory areas in the dialog and each ticked area is erased with its own
// controller commands. Unlike the erase before an image download, a refusal does not stop the sequence:
// every ticked area is still tried, and only a clean run is reported as complete.
#include "engine/app/DravikApp.h"
#include "engine/app/MessageTexts.h"
#include "engine/app/RecordScope.h"
#include "engine/app/UserInterface.h"
#include "engine/link/SerialHandler.h"

#include <memory>

namespace {

struct EraseStep {
    int nCode;            // command code of the exchange
    const char* pRefusal; // shown when the controller refuses it
};

struct EraseArea {
    EraseStep steps[2];
    int nSteps;
};

// Indexed like the dialog's boxes, 1005 first.
constexpr EraseArea kEraseAreas[kEraseAreaCount] = {
    {{{CommandEraseOs, kOsEraseRefused}, {CommandEraseApplicationAfterOs, kApplicationEraseRefused}}, 2},
    {{{CommandEraseApplication, "Slave rejected erasure of configuration files."}}, 1},
    {{{CommandEraseParameterRam, "Slave rejected erasure of parameter RAM."}}, 1},
    {{{CommandEraseCommBoard, "Slave rejected erasure of Veloria files."}}, 1},
    {{{CommandEraseLonDatabase, "Slave rejected erasure of LON database."}}, 1},
};

// Boxes the bootstrap's dialog shows disabled: they can never be ticked there.
bool AreaDisabled(int kind, int area) {
    return kind == ConnectBootstrap &&
           (area == EraseAreaIndex(EEraseArea::Parameter) || area == EraseAreaIndex(EEraseArea::Lon));
}

} // namespace

void CDravikApp::OnEraseMemory() {
    EraseMemory(nullptr);
}

bool CDravikApp::EraseMemory(const EraseDialogData* chosen) {
    CRecordScope record(*this, "erase");
    SwitchTerminalModeOff();

    std::unique_ptr<CSerialHandler> link = OpenComLink();
    if (!link)
        return false;

    EraseDialogData areas;
    areas.nKind = m_nConnectState;
    if (chosen) {
        for (int i = 0; i < kEraseAreaCount; ++i)
            areas.bArea[i] = chosen->bArea[i];
    } else if (!m_pUi->RunEraseDialog(areas)) {
        // Cancel leaves every box unticked: nothing is erased, yet the wait window still comes and goes.
        areas = EraseDialogData{};
    }

    bool attempted = false;
    bool failed = false;
    {
        auto wait = m_pUi->CreateWaitWindow(kEraseWaitCaption, kEraseWaitText);
        for (int area = 0; area < kEraseAreaCount; ++area) {
            if (!areas.bArea[area] || AreaDisabled(m_nConnectState, area))
                continue;
            for (int step = 0; step < kEraseAreas[area].nSteps; ++step) {
                const EraseStep& command = kEraseAreas[area].steps[step];
                attempted = true;
                if (!link->SendCommand(command.nCode)) {
                    m_pUi->MessageBox(command.pRefusal);
                    failed = true;
                }
            }
        }
    }
    if (attempted && !failed)
        m_pUi->MessageBox("Memory erasure complete.");
    record.Finish(failed ? 0 : 1, !failed);
    return !failed;
}
