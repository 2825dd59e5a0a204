#include "cli/CliProgram.h"

#include "cli/CliImageInfo.h"
#include "cli/ConsoleUserInterface.h"
#include "engine/app/DravikApp.h"
#include "engine/link/SerialHandler.h"
#include "platform/Clock.h"
#include "platform/HidLibrary.h"

#include <algorithm>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string ProgramPath() {
    char path[4096] = {};
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string("dravik-cli");
}

int RunProbe(CDravikApp& app, CConsoleUserInterface& ui) {
    auto link = app.OpenCommandLink("No serial link available! Please select one or check if USB connected.");
    if (!link)
        return 1;
    char protocol[5] = {};
    char version[5] = {};
    const bool protocolOk = link->EscapeD(protocol, 0);
    const bool versionOk = link->EscapeC(version);
    ui.WriteLine(std::string("Protocol: ") + (protocolOk ? protocol : "(no answer)"));
    ui.WriteLine(std::string("Version: ") + (versionOk ? version : "(no answer)"));
    return protocolOk && versionOk ? 0 : 1;
}

int RunCommand(CDravikApp& app, const std::vector<std::string>& arguments) {
    char* end = nullptr;
    const long code = std::strtol(arguments[0].c_str(), &end, 10);
    if (*end != '\0' || CSerialHandler::CommandLetter(static_cast<int>(code)) == 0) {
        std::fprintf(stderr, "%s\ncommand code must be 1..17\n", CliUsageLine());
        return kExitUsage;
    }
    auto link = app.OpenCommandLink("No serial link available! Please select one or check if USB connected.");
    if (!link)
        return 1;
    return link->SendCommand(static_cast<int>(code)) ? 0 : 1;
}

// Connect, or the state the options name; true when a controller is known.
bool RunConnect(CDravikApp& app, CConsoleUserInterface& ui, const CliOptions& options) {
    if (options.nState > 0)
        return true;
    app.OnConnect();
    // An accepted USB restart connects again about 5 s later, as the desktop's idle pass would.
    while (app.m_bRestartPending) {
        CClock::Instance().Sleep(std::max<uint32_t>(1, app.ReconnectDueInMs()));
        app.OnIdle(1);
        ui.RunPosted();
    }
    ui.RunPosted();
    return app.m_nConnectState != ConnectNone;
}

int RunLoad(CDravikApp& app, CConsoleUserInterface& ui, const CliOptions& options) {
    if (!RunConnect(app, ui, options))
        return 1;
    app.m_nLastLoadResult = 0;
    if (!app.LoadChosenFile(options.arguments[0]))
        return 1;
    app.WaitForDownload();
    ui.RunPosted();
    const int result = app.m_nLastLoadResult;
    return result >= 1 && result <= 3 ? 0 : result;
}

} // namespace

int RunCliProgram(const CliOptions& options) {
    if (options.strCommand == "info") // no settings, link or controller needed
        return RunInfo(options.arguments);
    const bool known =
        options.strCommand == "probe" || options.strCommand == "command" || options.strCommand == "connect" ||
        options.strCommand == "load";
    if (!known) {
        std::fprintf(stderr, "%s\nunknown command %s\n", CliUsageLine(), options.strCommand.c_str());
        return kExitUsage;
    }
    const size_t wanted = options.strCommand == "command" || options.strCommand == "load" ? 1 : 0;
    if (options.arguments.size() != wanted) {
        std::fprintf(stderr, "%s\nwrong number of arguments for %s\n", CliUsageLine(), options.strCommand.c_str());
        return kExitUsage;
    }

    CClock::Instance().SetSpeedFactor(options.dClockSpeed);
    if (!options.strHidSocket.empty())
        SelectHidLibrary(CreateHidSocketLibrary(options.strHidSocket));

    CConsoleUserInterface ui({options.bYes, options.bNoRestart});
    CDravikApp app(&ui);
    app.ForgoWizardStart();  // the console has no wizard pages
    // Settings: the named file, or where the desktop program finds it.
    app.m_strSettingsPath = options.strSettings.empty() ? CDravikApp::SettingsPathFor(ProgramPath())
                                                        : options.strSettings;
    app.LoadSettings();
    // The options hold for this run only and are never written to the settings file.
    if (!options.strPort.empty()) {
        app.m_strPort = options.strPort;
        app.m_nLinkKind = kLinkCom;
    }
    if (options.bUsb)
        app.m_nLinkKind = kLinkUsb;
    app.CheckUsbDevice();
    if (options.nState > 0)
        app.m_nConnectState = options.nState;
    ui.RunPosted();

    int exitCode = 1;
    if (options.strCommand == "connect") {
        exitCode = RunConnect(app, ui, options) ? 0 : 1;
    } else if (options.strCommand == "load") {
        exitCode = RunLoad(app, ui, options);
    } else if (options.strCommand == "probe")
        exitCode = RunProbe(app, ui);
    else if (options.strCommand == "command")
        exitCode = RunCommand(app, options.arguments);
    ui.RunPosted();
    return exitCode;
}
