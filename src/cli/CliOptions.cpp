#include "cli/CliOptions.h"

#include "platform/OptionParser.h"

#include <cstdlib>

namespace {

enum EOption {
    OptPort,
    OptUsb,
    OptHidSocket,
    OptSettings,
    OptYes,
    OptNoRestart,
    OptState,
    OptClockSpeed,
    OptQuiet,
    OptJson,
    OptCapture,
    OptSysfs,
    OptDev,
    OptHelp,
    OptVersion,
    OptPortsFrom,
    OptNoRecord,
    OptSince,
};

constexpr SOptionSpec kOptions[] = {
    {"port", 'p', true, OptPort},
    {"usb", 0, false, OptUsb},
    {"hid-socket", 0, true, OptHidSocket},
    {"settings", 0, true, OptSettings},
    {"yes", 'y', false, OptYes},
    {"no-restart", 0, false, OptNoRestart},
    {"state", 0, true, OptState},
    {"clock-speed", 0, true, OptClockSpeed},
    {"quiet", 'q', false, OptQuiet},
    {"json", 0, false, OptJson},
    {"capture", 0, true, OptCapture},
    {"help", 'h', false, OptHelp},
    {"version", 'V', false, OptVersion},
    {"sysfs", 0, true, OptSysfs},
    {"dev", 0, true, OptDev},
    {"ports-from", 0, true, OptPortsFrom},
    {"no-record", 0, false, OptNoRecord},
    {"since", 0, true, OptSince},
};

bool TakeOption(CliOptions& options, int id, const std::string& value, std::string& error) {
    switch (id) {
    case OptPort:
        options.strPort = value;
        options.ports.push_back(value);
        break;
    case OptPortsFrom:
        options.strPortsFrom = value;
        break;
    case OptNoRecord:
        options.bNoRecord = true;
        break;
    case OptSince:
        options.strSince = value;
        break;
    case OptUsb:
        options.bUsb = true;
        break;
    case OptHidSocket:
        options.strHidSocket = value;
        options.bUsb = true;
        break;
    case OptSettings:
        options.strSettings = value;
        break;
    case OptYes:
        options.bYes = true;
        break;
    case OptNoRestart:
        options.bNoRestart = true;
        break;
    case OptState:
        if (value == "bios")
            options.nState = 1;
        else if (value == "bootstrap")
            options.nState = 2;
        else {
            error = "--state takes bios or bootstrap";
            return false;
        }
        break;
    case OptClockSpeed: {
        char* end = nullptr;
        options.dClockSpeed = std::strtod(value.c_str(), &end);
        if (value.empty() || *end != '\0' ||
            !(options.dClockSpeed >= 1.0 && options.dClockSpeed <= 10000.0)) {
            error = "--clock-speed takes a factor from 1 to 10000";
            return false;
        }
        break;
    }
    case OptQuiet:
        options.bQuiet = true;
        break;
    case OptJson:
        options.bJson = true;
        break;
    case OptCapture:
        options.strCapture = value;
        break;
    case OptSysfs:
        options.strSysfs = value;
        break;
    case OptDev:
        options.strDev = value;
        break;
    case OptHelp:
        options.bHelp = true;
        break;
    case OptVersion:
        options.bVersion = true;
        break;
    }
    return true;
}

} // namespace

const char* CliUsageLine() {
    return "usage: dravik-cli [OPTIONS] COMMAND [ARGS]  (dravik-cli --help)";
}

std::string CliHelpText() {
    return std::string(
               "dravik-cli [OPTIONS] COMMAND [ARGS]\n"
               "Options may come before or after the command; --name=value and --name value are the same.\n"
               "OPTIONS\n"
               "  -p, --port NAME        COM1..COM9 or a device path (default: the settings file's port and "
               "link kind);\n"
               "                         a USB controller by hidraw node or usb:SERIAL, that device alone "
               "among several\n"
               "      --usb              use the USB link (link kind 2)\n"
               "      --hid-socket PATH  use the simulated USB controller served on PATH (implies --usb)\n"
               "      --settings PATH    the settings file (default: as the desktop program finds it)\n"
               "  -y, --yes              answer Yes to every confirmation: erase consent, size warning, "
               "rename, restart\n"
               "      --no-restart       answer No to \"Should the controller be restarted now?\" (wins over "
               "--yes)\n"
               "      --state bios|bootstrap\n"
               "                         skip Connect and take connection state 1 or 2\n"
               "      --clock-speed FACTOR\n"
               "                         run the program's waits FACTOR times faster (tests and "
               "demonstrations)\n"
               "  -q, --quiet            do not print the status bar's texts\n"
               "      --json             standard output carries one JSON object per line for every event\n"
               "      --sysfs DIR        ports, doctor, --port hidrawN: read sysfs below DIR instead of /sys "
               "(tests)\n"
               "      --dev DIR          ports, doctor, --port hidrawN: device nodes below DIR instead of "
               "/dev (tests)\n"
               "      --no-record        keep no service record of this run (DRAVIK_NO_RECORD=1 does the "
               "same for every run)\n"
               "  -h, --help             show this text\n"
               "  -V, --version          show the program's version\n"
               "COMMANDS\n"
               "  connect                run Connect; exit 0 when the connection state is 1 or 2, else 1\n"
               "  load FILE              run Connect (unless --state); stop with exit 1 if the state is 0; "
               "then the Load\n"
               "                         command for FILE without a file dialog: for *.img the size check "
               "and the download;\n"
               "                         exit 0 for results 1, 2 and 3, otherwise the result code\n"
               "  info FILE.img          print the image's address records (address, data bytes), gaps, "
               "total data bytes,\n"
               "                         and its region set for a bootstrap controller and for any other "
               "state\n"
               "  probe                  ask the controller's protocol (+++D) and version (+++C); exit 0 "
               "when both answer\n"
               "  command CODE           send command code 1..17 and await its answer; exit 0 on success\n"
               "  erase AREA...          run Connect (unless --state), then Erase Memory on the COM port for "
               "the\n"
               "                         areas application, config (screen, data), parameter, veloria "
               "(commboard),\n"
               "                         lon, or all; exit 0 when every erase succeeded\n"
               "  options [rs232=MODE] [ir=MODE]\n"
               "                         run Connect (unless --state), then Controller Options on the COM "
               "port;\n"
               "                         MODE is os, application, client or server; exit 0 when the "
               "controller took them\n"
               "  convert IN.bin [OUT.img]\n"
               "                         convert the S-record file IN.bin into the image OUT.img (default: "
               "IN's name\n"
               "                         with \"img\" for its last three letters, beside it); exit 0 on "
               "success. A\n"
               "                         failed conversion leaves no image behind and an older OUT.img as it "
               "was\n"
               "  terminal [--capture FILE]\n"
               "                         the controller's console on this terminal: keys go to the "
               "controller,\n"
               "                         its bytes to standard output; Ctrl-] (or the end of the input) "
               "leaves.\n"
               "                         A diagnostic dump the controller offers is saved into FILE "
               "(without\n"
               "                         --capture the dump is refused)\n"
               "  ports                  list the serial ports (USB VID:PID, maker, product, COM name, "
               "access) and the\n"
               "                         controller's USB devices with their hidraw nodes and serial "
               "numbers\n"
               "  doctor                 print a checklist for support: ports, access, groups, lock files, "
               "udev rule,\n"
               "                         modem manager, settings file, version; exit 0 when the chosen port "
               "opens\n"
               "  upgrade FILE [NEXT]    the Upgrade Wizard without pages: the USB restart or the COM reset "
               "catch, Connect,\n"
               "                         the load of FILE, and NEXT when the controller needs a "
               "configuration file as well;\n"
               "                         exit 0 when the wizard would say \"Download OK!\", otherwise the "
               "load's result code\n"
               "                         (2: another file is needed). With --port given more than once or "
               "--ports-from FILE\n"
               "                         (one port a line): every controller side by side, one line each and "
               "a summary;\n"
               "                         exit 0 only when every one succeeded\n"
               "  records [--since YYYY-MM-DD]\n"
               "                         list the service records kept under "
               "$XDG_DATA_HOME/dravik/records (--json: one\n"
               "                         record a line as stored)\n"
               "EXIT CODES\n") +
           CliExitCodeText();
}

bool ParseCliOptions(int argc, const char* const* argv, CliOptions& options, std::string& error) {
    std::vector<std::string> positional;
    const auto take = [&](int id, const std::string& value, std::string& reason) {
        return TakeOption(options, id, value, reason);
    };
    if (!ParseCommandLine(argc, argv, kOptions, take, positional, error))
        return false;
    if (!positional.empty()) {
        options.strCommand = positional.front();
        options.arguments.assign(positional.begin() + 1, positional.end());
    }
    if (!options.bHelp && !options.bVersion && options.strCommand.empty()) {
        error = "no command given";
        return false;
    }
    return true;
}
