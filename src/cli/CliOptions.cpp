#include "cli/CliOptions.h"

#include <cstdlib>

const char* CliUsageLine() { return "usage: dravik-cli [GLOBAL OPTIONS] COMMAND [ARGS]  (dravik-cli --help)"; }

const char* CliHelpText() {
    return "dravik-cli [GLOBAL OPTIONS] COMMAND [ARGS]\n"
           "GLOBAL OPTIONS\n"
           "  --port NAME            COM1..COM9 or a device path (default: the settings file's port and link kind)\n"
           "  --usb                  use the USB link (link kind 2)\n"
           "  --hid-socket PATH      use the simulated USB controller served on PATH (implies --usb)\n"
           "  --settings PATH        the settings file (default: as the desktop program finds it)\n"
           "  --yes                  answer Yes to every confirmation: erase consent, size warning, rename, restart\n"
           "  --no-restart           answer No to \"Should the controller be restarted now?\" (wins over --yes)\n"
           "  --state bios|bootstrap skip Connect and take connection state 1 or 2\n"
           "  --clock-speed FACTOR   run the program's waits FACTOR times faster (tests and demonstrations)\n"
           "COMMANDS\n"
           "  connect                run Connect; exit 0 when the connection state is 1 or 2, else 1\n"
           "  load FILE              run Connect (unless --state); stop with exit 1 if the state is 0; then the Load\n"
           "                         command for FILE without a file dialog: for *.img the size check and the download;\n"
           "                         exit 0 for results 1, 2 and 3, otherwise the result code\n"
           "  info FILE.img          print the image's address records (address, data bytes), gaps, total data bytes,\n"
           "                         and its region set for a bootstrap controller and for any other state\n"
           "  probe                  ask the controller's protocol (+++D) and version (+++C); exit 0 when both answer\n"
           "  command CODE           send command code 1..17 and await its answer; exit 0 on success\n"
           "  erase AREA...          run Connect (unless --state), then Erase Memory on the COM port for the\n"
           "                         areas application, config (screen, data), parameter, veloria (commboard),\n"
           "                         lon, or all; exit 0 when every erase succeeded\n"
           "  options [rs232=MODE] [ir=MODE]\n"
           "                         run Connect (unless --state), then Controller Options on the COM port;\n"
           "                         MODE is os, application, client or server; exit 0 when the controller took them\n"
           "  convert IN.bin OUT.img convert the S-record file IN.bin into the image OUT.img; exit 0 on success\n";
}

bool ParseCliOptions(int argc, const char* const* argv, CliOptions& options, std::string& error) {
    int i = 1;
    auto value = [&](const std::string& name, std::string& target) {
        if (i + 1 >= argc) {
            error = name + " needs a value";
            return false;
        }
        target = argv[++i];
        return true;
    };
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--", 0) != 0 || !options.strCommand.empty()) {
            if (options.strCommand.empty())
                options.strCommand = arg;
            else
                options.arguments.push_back(arg);
            continue;
        }
        if (arg == "--help") {
            options.bHelp = true;
        } else if (arg == "--version") {
            options.bVersion = true;
        } else if (arg == "--port") {
            if (!value(arg, options.strPort))
                return false;
        } else if (arg == "--usb") {
            options.bUsb = true;
        } else if (arg == "--hid-socket") {
            if (!value(arg, options.strHidSocket))
                return false;
            options.bUsb = true;
        } else if (arg == "--settings") {
            if (!value(arg, options.strSettings))
                return false;
        } else if (arg == "--clock-speed") {
            std::string factor;
            if (!value(arg, factor))
                return false;
            char* end = nullptr;
            options.dClockSpeed = std::strtod(factor.c_str(), &end);
            if (*end != '\0' || !(options.dClockSpeed >= 1.0 && options.dClockSpeed <= 10000.0)) {
                error = "--clock-speed takes a factor from 1 to 10000";
                return false;
            }
        } else if (arg == "--yes") {
            options.bYes = true;
        } else if (arg == "--no-restart") {
            options.bNoRestart = true;
        } else if (arg == "--state") {
            std::string state;
            if (!value(arg, state))
                return false;
            if (state == "bios")
                options.nState = 1;
            else if (state == "bootstrap")
                options.nState = 2;
            else {
                error = "--state takes bios or bootstrap";
                return false;
            }
        } else {
            error = "unknown option " + arg;
            return false;
        }
    }
    if (!options.bHelp && !options.bVersion && options.strCommand.empty()) {
        error = "no command given";
        return false;
    }
    return true;
}
