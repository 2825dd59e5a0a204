#include "cli/CliProgram.h"

#include "cli/CliDoctor.h"
#include "cli/CliEventWriter.h"
#include "cli/CliFleet.h"
#include "cli/CliImageInfo.h"
#include "cli/CliPorts.h"
#include "cli/CliRecords.h"
#include "cli/CliSignalCancel.h"
#include "cli/CliTerminal.h"
#include "cli/CliUpgrade.h"
#include "cli/ConsoleUserInterface.h"
#include "engine/app/CommandIds.h"
#include "engine/app/DravikApp.h"
#include "engine/app/MessageTexts.h"
#include "engine/app/UserInterface.h"
#include "engine/app/VersionText.h"
#include "engine/link/SerialHandler.h"
#include "platform/Clock.h"
#include "platform/HidDeviceChoice.h"
#include "platform/HidLibrary.h"

#include <algorithm>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

// How often the console looks at device arrivals and removals while it waits for a reconnect.
constexpr uint32_t kDevicePollMs = 50;

std::string ProgramPath() {
    char path[4096] = {};
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string("dravik-cli");
}

int RunProbe(CDravikApp& app, std::vector<SCliResult>& results) {
    auto link = app.OpenCommandLink(kNoSerialLink);
    if (!link)
        return 1;
    char protocol[5] = {};
    char version[5] = {};
    const bool protocolOk = link->EscapeD(protocol, 0);
    const bool versionOk = link->EscapeC(version);
    results.push_back({"protocol", "Protocol", protocolOk ? protocol : "(no answer)"});
    results.push_back({"version", "Version", versionOk ? version : "(no answer)"});
    return protocolOk && versionOk ? 0 : 1;
}

// The state Connect left, and the texts the controller answered.
void AddConnectResults(const CDravikApp& app, std::vector<SCliResult>& results) {
    const int state = app.m_nConnectState;
    const char* name = state == ConnectBios ? "BIOS" : state == ConnectBootstrap ? "bootstrap" : "none";
    results.push_back({"state", "Connection state", std::to_string(state), true});
    results.push_back({"state_name", "State", name});
    if (state != ConnectNone) {
        results.push_back({"protocol", "Protocol", app.m_szProtocol});
        results.push_back(
            {"version", state == ConnectBootstrap ? "Bootstrap Version" : "Bios Version", app.m_szVersion});
    }
}

int RunCommand(CDravikApp& app, const std::vector<std::string>& arguments) {
    char* end = nullptr;
    const long code = std::strtol(arguments[0].c_str(), &end, 10);
    if (*end != '\0' || CSerialHandler::CommandLetter(static_cast<int>(code)) == 0) {
        std::fprintf(stderr, "%s\ncommand code must be 1..17\n", CliUsageLine());
        return kExitUsage;
    }
    auto link = app.OpenCommandLink(kNoSerialLink);
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
        // The device's removal and arrival are handled as they come, as the desktop does, then the reconnect.
        CClock::Instance().Sleep(std::clamp<uint32_t>(app.ReconnectDueInMs(), 1, kDevicePollMs));
        ui.RunPosted();
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
    // A configuration load's kConfigLoadDone is 3 as well.
    return result >= kLoadDoneOsAndApplication && result <= kLoadDoneApplication ? 0 : result;
}

// The Erase Memory box (index from 1005) an area name on the command line stands for; -1 for none.
int EraseAreaIndex(const std::string& name) {
    if (name == "application")
        return 0;
    if (name == "config" || name == "screen" || name == "data")
        return 1;
    if (name == "parameter")
        return 2;
    if (name == "veloria" || name == "commboard")
        return 3;
    if (name == "lon")
        return 4;
    return -1;
}

// erase AREA...: Connect (unless --state), then Erase Memory on the areas named, under the menu's rule.
int RunErase(CDravikApp& app, CConsoleUserInterface& ui, const CliOptions& options) {
    EraseDialogData areas;
    bool all = false;
    for (const std::string& name : options.arguments) {
        const int index = EraseAreaIndex(name);
        if (index < 0 && name != "all") {
            std::fprintf(stderr, "%s\nunknown erase area %s\n", CliUsageLine(), name.c_str());
            return kExitUsage;
        }
        if (index >= 0)
            areas.bArea[index] = true;
        all = all || index < 0;
    }
    if (options.arguments.empty()) {
        std::fprintf(stderr, "%s\nerase needs at least one area\n", CliUsageLine());
        return kExitUsage;
    }
    if (!RunConnect(app, ui, options))
        return 1;
    if (!app.IsCommandEnabled(ID_COMMANDS_ERASE)) {
        ui.WriteLine("Erase Memory is not available: a bootstrap controller needs the debug option.");
        return 1;
    }
    const bool bootstrap = app.m_nConnectState == ConnectBootstrap;
    for (int i = 0; i < kEraseAreaCount; ++i) {
        const bool disabled =
            bootstrap && (i == EraseAreaIndex(EEraseArea::Parameter) || i == EraseAreaIndex(EEraseArea::Lon));
        if (disabled && areas.bArea[i]) {
            ui.WriteLine("Parameter Memory and LON Network Database cannot be erased in the bootstrap.");
            return 1;
        }
        areas.bArea[i] = areas.bArea[i] || (all && !disabled);
    }
    return app.EraseMemory(&areas) ? 0 : 1;
}

// A port mode named on the command line: 0 OS, 1 application, 2 TCP/IP client, 3 TCP/IP server; -1 none.
int PortModeIndex(const std::string& name) {
    static const char* const names[] = {"os", "application", "client", "server"};
    for (int i = 0; i < 4; ++i)
        if (name == names[i])
            return i;
    return -1;
}

// options rs232=MODE ir=MODE (either or both): Controller Options with those choices.
int RunOptions(CDravikApp& app, CConsoleUserInterface& ui, const CliOptions& options) {
    OptionsDialogData choice;
    for (const std::string& argument : options.arguments) {
        const size_t equals = argument.find('=');
        const std::string port = argument.substr(0, equals);
        const int mode = equals == std::string::npos ? -1 : PortModeIndex(argument.substr(equals + 1));
        int* target = port == "rs232" ? &choice.nRs232Choice : port == "ir" ? &choice.nIrChoice : nullptr;
        if (!target || mode < 0 || *target >= 0) {
            std::fprintf(stderr,
                         "%s\noptions takes rs232=MODE and ir=MODE, MODE os|application|client|server\n",
                         CliUsageLine());
            return kExitUsage;
        }
        *target = mode;
    }
    if (options.arguments.empty()) {
        std::fprintf(stderr, "%s\noptions needs rs232=MODE or ir=MODE\n", CliUsageLine());
        return kExitUsage;
    }
    if (!RunConnect(app, ui, options))
        return 1;
    if (!app.IsCommandEnabled(ID_COMMANDS_OPTIONS)) {
        ui.WriteLine("Controller Options needs a controller whose BIOS answers.");
        return 1;
    }
    return app.SetControllerOptions(&choice) ? 0 : 1;
}

// convert IN [OUT]: the S-record file IN as the image OUT (by default IN's name ending "img", beside it);
// no settings, link or controller. A failure leaves no image behind.
int RunConvert(const std::vector<std::string>& arguments, const CliOptions& options, CCliEventWriter* events,
               std::vector<SCliResult>& results) {
    if (arguments.empty() || arguments.size() > 2) {
        std::fprintf(stderr, "%s\nconvert needs an input file and takes an output file\n", CliUsageLine());
        return kExitUsage;
    }
    const std::string& input = arguments[0];
    const size_t slash = input.find_last_of('/');
    const std::string output =
        arguments.size() == 2
            ? arguments[1]
            : input.substr(0, slash == std::string::npos ? 0 : slash + 1) +
                  CDravikApp::DefaultImageName(slash == std::string::npos ? input : input.substr(slash + 1));
    CConsoleUserInterface ui({}, stderr, stdin, events, options.bQuiet);
    CDravikApp app(&ui);
    app.m_bRecording = !options.bNoRecord;
    if (!app.ConvertFile(input, output, true))
        return 1;
    results.push_back({"image", "Image", output});
    return 0;
}

SSystemPaths PathsOf(const CliOptions& options) {
    SSystemPaths paths;
    if (!options.strSysfs.empty())
        paths.strSys = options.strSysfs;
    if (!options.strDev.empty())
        paths.strDev = options.strDev;
    return paths;
}

// --port /dev/hidrawN or usb:SERIAL: the HID library shows this run that device alone, so the rules for
// exactly one attached controller hold for it among several. False (said why) when the name fits none.
bool ChooseNamedUsbDevice(const CliOptions& options) {
    SUsbDeviceChoice choice;
    std::vector<std::string> why;
    if (!ChooseUsbDevice(options.strPort, PathsOf(options), choice, why)) {
        for (const std::string& line : why)
            std::fprintf(stderr, "%s\n", line.c_str());
        return false;
    }
    SelectHidLibrary(CreateChosenHidLibrary(CurrentHidLibrary(), choice));
    return true;
}

// ports and doctor: this computer's ports and devices; doctor also opens the chosen port once.
int RunSystemCommand(const CliOptions& options) {
    if (!options.arguments.empty()) {
        std::fprintf(stderr, "%s\n%s takes no arguments\n", CliUsageLine(), options.strCommand.c_str());
        return kExitUsage;
    }
    const SSystemPaths paths = PathsOf(options);
    if (options.strCommand == "ports")
        return RunPorts(paths, stdout);
    if (!options.strHidSocket.empty())
        SelectHidLibrary(CreateHidSocketLibrary(options.strHidSocket));
    const bool usbPort = IsUsbPortName(options.strPort);
    if (usbPort && !ChooseNamedUsbDevice(options))
        return kExitFailed;
    SDoctorRequest request;
    request.strSettingsPath =
        options.strSettings.empty() ? CDravikApp::SettingsPathFor(ProgramPath()) : options.strSettings;
    request.strPort = usbPort ? "" : options.strPort;
    request.bUsb = options.bUsb || usbPort;
    request.strVersion = std::string("dravik-cli ") + kDravikVersionText;
    return RunDoctor(request, paths, stdout);
}

} // namespace

int RunCliProgram(const CliOptions& options, CCliEventWriter* events, std::vector<SCliResult>& results) {
    if (options.strCommand == "info") // no settings, link or controller needed
        return RunInfo(options.arguments, events);
    if (options.strCommand == "ports" || options.strCommand == "doctor")
        return RunSystemCommand(options);
    if (options.strCommand == "convert")
        return RunConvert(options.arguments, options, events, results);
    if (options.strCommand == "records") {
        if (options.arguments.empty())
            return RunRecords(options.strSince, options.bJson);
        std::fprintf(stderr, "%s\nrecords takes no arguments\n", CliUsageLine());
        return kExitUsage;
    }
    if (options.strCommand == "upgrade" && (options.ports.size() > 1 || !options.strPortsFrom.empty()))
        return RunFleet(options, events);
    const bool known = options.strCommand == "probe" || options.strCommand == "command" ||
                       options.strCommand == "connect" || options.strCommand == "load" ||
                       options.strCommand == "erase" || options.strCommand == "options" ||
                       options.strCommand == "terminal" || options.strCommand == "upgrade";
    if (!known) {
        std::fprintf(stderr, "%s\nunknown command %s\n", CliUsageLine(), options.strCommand.c_str());
        return kExitUsage;
    }
    const size_t wanted = options.strCommand == "command" || options.strCommand == "load" ? 1 : 0;
    const bool ownArguments =
        options.strCommand == "erase" || options.strCommand == "options" || options.strCommand == "upgrade";
    if (!ownArguments && options.arguments.size() != wanted) {
        std::fprintf(stderr, "%s\nwrong number of arguments for %s\n", CliUsageLine(),
                     options.strCommand.c_str());
        return kExitUsage;
    }

    CCliSignalCancel signals; // before any thread starts
    CClock::Instance().SetSpeedFactor(options.dClockSpeed);
    if (!options.strHidSocket.empty())
        SelectHidLibrary(CreateHidSocketLibrary(options.strHidSocket));
    const bool usbPort = IsUsbPortName(options.strPort);
    if (usbPort && !ChooseNamedUsbDevice(options))
        return kExitFailed;

    if (options.strCommand == "terminal" && events) {
        std::fprintf(stderr,
                     "%s\nterminal writes the controller's bytes to standard output; it takes no --json\n",
                     CliUsageLine());
        return kExitUsage;
    }
    CConsoleUserInterface ui({options.bYes, options.bNoRestart, options.strCapture}, stderr, stdin, events,
                             options.bQuiet);
    const CCliSignalCancel::CActionScope cancelAction(signals, [&ui] { return ui.PressCancel(); });
    CDravikApp app(&ui);
    app.m_bRecording = !options.bNoRecord;
    app.ForgoWizardStart(); // the console has no wizard pages
    // Settings: the named file, or where the desktop program finds it.
    app.m_strSettingsPath =
        options.strSettings.empty() ? CDravikApp::SettingsPathFor(ProgramPath()) : options.strSettings;
    app.LoadSettings();
    // The options hold for this run only and are never written to the settings file.
    if (!options.strPort.empty() && !usbPort) {
        app.m_strPort = options.strPort;
        app.m_nLinkKind = kLinkCom;
    }
    if (options.bUsb || usbPort)
        app.m_nLinkKind = kLinkUsb;
    // As the desktop does: the device leaving and coming back (an accepted restart) closes and opens it.
    if (app.m_nLinkKind == kLinkUsb)
        app.WatchUsbDevices();
    app.CheckUsbDevice();
    if (options.nState > 0)
        app.m_nConnectState = options.nState;
    ui.RunPosted();

    int exitCode = 1;
    if (options.strCommand == "connect") {
        exitCode = RunConnect(app, ui, options) ? 0 : 1;
        AddConnectResults(app, results);
    } else if (options.strCommand == "load") {
        exitCode = RunLoad(app, ui, options);
        if (app.m_nLastLoadResult > 0)
            results.push_back({"load_result", "Load result", std::to_string(app.m_nLastLoadResult), true});
    } else if (options.strCommand == "probe")
        exitCode = RunProbe(app, results);
    else if (options.strCommand == "command")
        exitCode = RunCommand(app, options.arguments);
    else if (options.strCommand == "erase")
        exitCode = RunErase(app, ui, options);
    else if (options.strCommand == "options")
        exitCode = RunOptions(app, ui, options);
    else if (options.strCommand == "terminal")
        exitCode = RunTerminal(app, ui, signals);
    else if (options.strCommand == "upgrade")
        exitCode = RunUpgrade(app, ui, options, events, results);
    ui.RunPosted();
    return exitCode;
}
