#include "cli/CliUpgrade.h"

#include "cli/CliEventWriter.h"
#include "cli/ConsoleUserInterface.h"
#include "engine/app/DravikApp.h"
#include "engine/download/Download.h"
#include "engine/wizard/UpgradeOutcome.h"
#include "engine/wizard/Wizard.h"
#include "platform/Clock.h"

#include <algorithm>

namespace {

constexpr const char* kAnotherFile =
    "Another file is required!\n\nThe controller requires the download of a configuration file \n(*.dat or "
    "*.img).  The controller will not operate correctly without \nthis file.\n\nClick \"Next\" and select "
    "the "
    "*.dat or *.img file you wish to download.";

// The wizard's text for a port that does not open, with the console's way out instead of its buttons.
constexpr const char* kPortFailed =
    "Error opening the PC's selected COM Port!\nClose every other program that "
    "has the port open, or name another port with --port.";

// Tells a fleet's parent (and any --json reader) where the road is.
void Step(CCliEventWriter* events, const char* step) {
    if (events)
        events->Write("step", {JsonText("step", step)});
}

// The wizard's flag for the whole road: the download asks no erase question, and the idle pass leaves a
// USB restart's re-connect to the road instead of posting Connect.
struct SWizardRunning {
    CDravikApp& app;
    explicit SWizardRunning(CDravikApp& a) : app(a) { app.m_bWizardRunning = true; }
    ~SWizardRunning() { app.m_bWizardRunning = false; }
};

// The connect step: true when the controller answered. exitCode holds the run's code otherwise.
bool ConnectForUpgrade(CDravikApp& app, CConsoleUserInterface& ui, CWizard& wizard, int& exitCode) {
    if (app.m_nLinkKind == kLinkUsb && app.m_bUsbPresent) {
        // One poll period of the wizard: the idle pass runs here, as the desktop's would meanwhile.
        const int restart = wizard.RestartOverUsb([&app, &ui] {
            CClock::Instance().Sleep(std::clamp<uint32_t>(app.ReconnectDueInMs(), 1, 1000));
            app.OnIdle(1);
            ui.RunPosted();
            return true;
        });
        if (restart != kRestartNotNeeded && restart != kRestartStarted) {
            ui.MessageBox("Restarting the Controller failed!\nCheck that the controller is powered and its "
                          "application stopped, then run the upgrade again.",
                          EMsgButtons::Ok, EMsgIcon::Warning);
            exitCode = kExitFailed;
            return false;
        }
    }
    switch (wizard.WizardConnect()) {
    case kConnectDone:
        return true;
    case kConnectPortFailed:
        ui.MessageBox(kPortFailed, EMsgButtons::Ok, EMsgIcon::Warning);
        exitCode = kLoadComPortFailed;
        return false;
    case kConnectNoController:
        ui.MessageBox("No controller detected!\nCheck the cable between PC and controller and the port "
                      "chosen, then run the upgrade again and cycle the controller OFF/ON right after.",
                      EMsgButtons::Ok, EMsgIcon::Warning);
        exitCode = kExitFailed;
        return false;
    default: // kConnectNoLinkChosen and kConnectNoUsb have said why
        exitCode = kExitFailed;
        return false;
    }
}

} // namespace

int RunUpgrade(CDravikApp& app, CConsoleUserInterface& ui, const CliOptions& options, CCliEventWriter* events,
               std::vector<SCliResult>& results) {
    if (options.arguments.empty() || options.arguments.size() > 2) {
        std::fprintf(stderr, "%s\nupgrade takes a file, and the configuration file that may follow it\n",
                     CliUsageLine());
        return kExitUsage;
    }
    SWizardRunning running(app);
    CWizard wizard(app);
    int exitCode = kExitFailed;
    Step(events, "connect");
    if (options.nState <= 0 && !ConnectForUpgrade(app, ui, wizard, exitCode))
        return exitCode;
    ui.RunPosted();
    results.push_back({"protocol", "Protocol", app.m_szProtocol});
    results.push_back({"version", "Version", app.m_szVersion});
    if (events)
        events->Write("controller",
                      {JsonText("protocol", app.m_szProtocol), JsonText("version", app.m_szVersion),
                       JsonNumber("state", app.m_nConnectState)});

    for (size_t file = 0; file < options.arguments.size(); ++file) {
        Step(events, "load");
        app.m_nLastLoadResult = kLoadPending;
        if (!app.LoadChosenFile(options.arguments[file]))
            return kExitFailed; // the reason has been shown
        app.WaitForDownload();
        ui.RunPosted();
        const int result = app.m_nLastLoadResult;
        results.push_back({"load_result", "Load result", std::to_string(result), true});
        const UpgradeOutcome outcome = app.m_nLastLoadKind == kLoadKindImage
                                           ? ImageUpgradeOutcome(result, app.m_nConnectState)
                                           : ConfigurationUpgradeOutcome(result);
        switch (outcome.nStep) {
        case EUpgradeStep::Done:
            ui.MessageBox(outcome.pszText, EMsgButtons::Ok, outcome.nIcon);
            Step(events, "done");
            return kExitOk;
        case EUpgradeStep::AnotherFile:
            if (file + 1 < options.arguments.size())
                continue; // the next file is the one the wizard would ask for
            ui.MessageBox(std::string(kAnotherFile) + "\nName it after the first file: upgrade FILE NEXT.",
                          EMsgButtons::Ok, EMsgIcon::Warning);
            return result;
        case EUpgradeStep::PortFailed:
            ui.MessageBox(kPortFailed, EMsgButtons::Ok, EMsgIcon::Warning);
            return result;
        case EUpgradeStep::Retry:
        case EUpgradeStep::ProgramError:
            ui.MessageBox(outcome.pszText, EMsgButtons::Ok, outcome.nIcon);
            return result > 0 ? result : kExitFailed;
        }
    }
    return exitCode;
}
