#include "sim/SimCommandLine.h"

#include "platform/OptionParser.h"

#include <charconv>
#include <cstdlib>

namespace {

const char kUsage[] =
    "Usage: dxu-sim [options]\n"
    "A simulated DXU controller on a pseudo-terminal. The first line of standard output is\n"
    "\"PTY <slave path>\"; open that path as the controller's COM port.\n"
    "\n"
    "  --protocol TEXT       answer to +++D (4 characters, default PL01); \"none\" answers nothing\n"
    "                        until a reset followed by ESC holds the bootstrap, which answers PL03\n"
    "  --version TEXT        answer to +++C (4 characters, default V2.3)\n"
    "  --done-delay MS       delay between OK and DONE of the erase commands (default 100)\n"
    "  --reset-after MS      reset (send BEL) MS ms after an unanswered +++D; choose MS above the\n"
    "                        program's probe time-out (1000 ms), or the probe's read takes the BEL\n"
    "  --esc-window MS       how long after BEL an ESC holds the bootstrap (default 1000)\n"
    "  --expect-frame-speed BAUD\n"
    "                        refuse (do not acknowledge) frames received at another line speed\n"
    "  --fault KIND          inject a fault; repeatable. KIND is one of\n"
    "                          error-once:LETTER    first command LETTER answered ERROR\n"
    "                          error-always:LETTER  every command LETTER answered ERROR\n"
    "                          fail-done:LETTER     command LETTER answered OK, then ERROR for DONE\n"
    "                          no-answer:LETTER     command LETTER never answered\n"
    "                          crlf                 answer lines end CR LF\n"
    "                          drop-ack:N           frame N (from 1) not acknowledged\n"
    "                          wrong-ack:N          frame N acknowledged with 0x86 instead of 0x06\n"
    "                          ignore-frame:N       no reaction to frame N\n"
    "                          hang-up:N            the line hangs up at frame N\n"
    "                          garbage              commands and probes answered with noise\n"
    "                          silent               never send anything\n"
    "                        LETTER is the character after \"+++\" (C and D are the probes)\n"
    "  --trace FILE          write a JSON-lines trace of every exchange element\n"
    "  --control PATH        listen on a UNIX stream socket at PATH for the lines \"reset\",\n"
    "                        \"counters\", \"flash\", \"dump\" and \"quit\"; each is answered with one line\n"
    "  --flash-dump FILE     write the programmed flash as S-records (S3) to FILE at exit and on\n"
    "                        the control line \"dump\"\n"
    "  --pace                take every received byte only after its time on the line at the speed\n"
    "                        the program set (10 bits per byte), as a real serial line delivers it\n"
    "  --receive-files       receive files by ZModem (through rz): \"+++5\" is answered OK and '*',\n"
    "                        and '*' again once the file is stored; a sender's opening header\n"
    "                        starts a transfer without a command\n"
    "  --receive-dir DIR     store the received files in DIR (default: a temporary folder, removed at\n"
    "                        exit); implies --receive-files\n"
    "  --console             the controller's console: a prompt (ESC shows it), \"diag\" opens the\n"
    "                        diagnostic menu whose three dumps end with \"... dump complete\"\n"
    "  --clock-speed FACTOR  run the simulator's clock FACTOR times faster (default 1)\n"
    "  --count N             serve N controllers (1..64), each on its own pseudo-terminal: one\n"
    "                        \"PTY <path>\" line each, in order, and with --hid-socket each on a USB\n"
    "                        device of its own as well. --trace, --control, --flash-dump and\n"
    "                        --receive-dir then name each controller's own file: dump.srec becomes\n"
    "                        dump-1.srec, dump-2.srec, ...\n"
    "  --fault-on I:KIND     inject fault KIND into controller I (from 1) only; repeatable\n"
    "  -h, --help            show this text\n"
    "\n"
    "A frame with a bad checksum is answered with NAK (0x15). The simulator ends on SIGTERM or SIGINT.\n"
    "\n"
    "Flash: \"+++4\" opens a load; in it an MR frame of four address bytes (most significant first) sets\n"
    "the address and plain frames program consecutive bytes; the MR frame of four zero bytes ends the\n"
    "load once data was programmed (before any data it is the address 0). \"+++0\", \"+++1\", \"+++2\"\n"
    "and \"+++A\" erase the operating system, application (1 and 2) and communication board ranges of\n"
    "the present state (bootstrap: 0x10000-0x1CFFFF, 0x1E0000 and up, 0x1D0000-0x1DFFFF; otherwise up\n"
    "to 0x100000, above 0x100000, none). A frame that would program a byte not erased, or programmed\n"
    "since its erase, is answered with NAK and programs nothing.\n"
    "\n"
    "USB (a simulated controller USB HID device, served on a UNIX socket):\n"
    "  --hid-socket PATH             serve the USB device on this socket; its path is then the second\n"
    "                                line of standard output, \"HID <path>\"\n"
    "  --usb-restart MODE            answer to the restart query and request: none (no restart\n"
    "                                needed), accept (drops off and comes back in its bootstrap),\n"
    "                                refuse-run (refused in RUN state), old-bootstrap (no USB support)\n"
    "  --usb-bootstrap-version X     the version old-bootstrap reports (default 2.0)\n"
    "  --usb-restart-away MS         how long an accepted restart keeps the device away (3000)\n"
    "  --usb-busy-polls N            control answers that say busy after each request (0)\n"
    "  --usb-devices N               1, or 2 to make the controller appear twice\n"
    "  --usb-refuse-open             the device is held by another program: opening it fails\n"
    "  --usb-serial TEXT             the device's USB serial number (default DXUSIM; with --count N\n"
    "                                controller I's device is TEXT-I); \"\" for a device without one\n"
    "\n"
    "Options may be given as --name value or --name=value.\n";

bool ParseUnsigned(const std::string& text, uint64_t& value) {
    if (text.empty())
        return false;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc() && result.ptr == end;
}

constexpr uint64_t kMaxSimCount = 64;

bool IsFourPrintable(const std::string& text) {
    if (text.size() != 4)
        return false;
    for (char c : text) {
        if (c < 0x20 || c > 0x7E)
            return false;
    }
    return true;
}

bool ParseFault(const std::string& text, SimFault& fault) {
    const auto colon = text.find(':');
    const std::string kind = text.substr(0, colon);
    const std::string arg = colon == std::string::npos ? std::string() : text.substr(colon + 1);
    struct Named {
        const char* pszName;
        SimFaultKind nKind;
        char cArg; // 'L' letter, 'N' frame number, 0 none
    };
    static const Named kKinds[] = {
        {"error-once", SimFaultKind::ErrorOnce, 'L'},
        {"error-always", SimFaultKind::ErrorAlways, 'L'},
        {"fail-done", SimFaultKind::FailDone, 'L'},
        {"no-answer", SimFaultKind::NoAnswer, 'L'},
        {"crlf", SimFaultKind::Crlf, 0},
        {"drop-ack", SimFaultKind::DropAck, 'N'},
        {"wrong-ack", SimFaultKind::WrongAck, 'N'},
        {"ignore-frame", SimFaultKind::IgnoreFrame, 'N'},
        {"hang-up", SimFaultKind::HangUp, 'N'},
        {"garbage", SimFaultKind::Garbage, 0},
        {"silent", SimFaultKind::Silent, 0},
    };
    for (const Named& named : kKinds) {
        if (kind != named.pszName)
            continue;
        fault = SimFault{};
        fault.nKind = named.nKind;
        if (named.cArg == 0)
            return colon == std::string::npos;
        if (named.cArg == 'L') {
            if (arg.size() != 1)
                return false;
            fault.cLetter = arg[0];
            return true;
        }
        uint64_t frame = 0;
        if (!ParseUnsigned(arg, frame) || frame == 0 || frame > 0xFFFFFFFFu)
            return false;
        fault.nFrame = static_cast<unsigned>(frame);
        return true;
    }
    return false;
}

bool ParseFactor(const std::string& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0' && value > 0.0;
}

enum EOption {
    OptProtocol,
    OptVersion,
    OptDoneDelay,
    OptResetAfter,
    OptEscWindow,
    OptExpectFrameSpeed,
    OptFault,
    OptTrace,
    OptControl,
    OptFlashDump,
    OptPace,
    OptReceiveFiles,
    OptReceiveDir,
    OptConsole,
    OptClockSpeed,
    OptHidSocket,
    OptUsbRestart,
    OptUsbBootstrapVersion,
    OptUsbRestartAway,
    OptUsbBusyPolls,
    OptUsbDevices,
    OptUsbRefuseOpen,
    OptUsbSerial,
    OptCount,
    OptFaultOn,
    OptHelp
};

constexpr SOptionSpec kOptions[] = {
    {"protocol", 0, true, OptProtocol},
    {"version", 0, true, OptVersion},
    {"done-delay", 0, true, OptDoneDelay},
    {"reset-after", 0, true, OptResetAfter},
    {"esc-window", 0, true, OptEscWindow},
    {"expect-frame-speed", 0, true, OptExpectFrameSpeed},
    {"fault", 0, true, OptFault},
    {"trace", 0, true, OptTrace},
    {"control", 0, true, OptControl},
    {"flash-dump", 0, true, OptFlashDump},
    {"pace", 0, false, OptPace},
    {"receive-files", 0, false, OptReceiveFiles},
    {"receive-dir", 0, true, OptReceiveDir},
    {"console", 0, false, OptConsole},
    {"clock-speed", 0, true, OptClockSpeed},
    {"hid-socket", 0, true, OptHidSocket},
    {"usb-restart", 0, true, OptUsbRestart},
    {"usb-bootstrap-version", 0, true, OptUsbBootstrapVersion},
    {"usb-restart-away", 0, true, OptUsbRestartAway},
    {"usb-busy-polls", 0, true, OptUsbBusyPolls},
    {"usb-devices", 0, true, OptUsbDevices},
    {"usb-refuse-open", 0, false, OptUsbRefuseOpen},
    {"usb-serial", 0, true, OptUsbSerial},
    {"count", 0, true, OptCount},
    {"fault-on", 0, true, OptFaultOn},
    {"help", 'h', false, OptHelp},
};

const char* OptionName(int id) {
    for (const SOptionSpec& spec : kOptions)
        if (spec.nId == id)
            return spec.pszLong;
    return "";
}

bool TakeOption(SimCommandLine& parsed, int id, const std::string& value, std::string& error) {
    SimOptions& options = parsed.sim;
    SimUsbOptions& usb = parsed.usb;
    uint64_t number = 0;
    double factor = 0;
    bool good = true;
    switch (id) {
    case OptProtocol:
        if (value == "none")
            options.strProtocol.clear();
        else if ((good = IsFourPrintable(value)))
            options.strProtocol = value;
        break;
    case OptVersion:
        if ((good = IsFourPrintable(value)))
            options.strVersion = value;
        break;
    case OptDoneDelay:
    case OptResetAfter:
    case OptEscWindow:
    case OptExpectFrameSpeed:
        good = ParseUnsigned(value, number) && number <= 0x7FFFFFFF;
        if (!good)
            break;
        if (id == OptDoneDelay)
            options.nDoneDelayMs = static_cast<uint32_t>(number);
        else if (id == OptResetAfter)
            options.nResetAfterMs = static_cast<int64_t>(number);
        else if (id == OptEscWindow)
            options.nEscWindowMs = static_cast<uint32_t>(number);
        else
            options.nExpectFrameSpeed = static_cast<unsigned>(number);
        break;
    case OptFault: {
        SimFault fault;
        if ((good = ParseFault(value, fault)))
            options.faults.push_back(fault);
        break;
    }
    case OptCount:
        if ((good = ParseUnsigned(value, number) && number >= 1 && number <= kMaxSimCount))
            options.nCount = static_cast<unsigned>(number);
        break;
    case OptFaultOn: {
        const auto colon = value.find(':');
        SimFault fault;
        good = colon != std::string::npos && ParseUnsigned(value.substr(0, colon), number) && number >= 1 &&
               number <= kMaxSimCount && ParseFault(value.substr(colon + 1), fault);
        if (good)
            options.controllerFaults.emplace_back(static_cast<unsigned>(number), fault);
        break;
    }
    case OptTrace:
        options.strTracePath = value;
        break;
    case OptControl:
        options.strControlPath = value;
        break;
    case OptFlashDump:
        options.strFlashDumpPath = value;
        break;
    case OptPace:
        options.bPace = true;
        break;
    case OptReceiveFiles:
        options.bReceiveFiles = true;
        break;
    case OptConsole:
        options.bConsole = true;
        break;
    case OptReceiveDir:
        options.strReceiveDir = value;
        options.bReceiveFiles = true;
        break;
    case OptClockSpeed:
        if ((good = ParseFactor(value, factor)))
            options.dClockSpeed = factor;
        break;
    case OptHidSocket:
        usb.strSocketPath = value;
        break;
    case OptUsbRestart:
        if (value == "none")
            usb.device.eRestart = EUsbRestartMode::NotNeeded;
        else if (value == "accept")
            usb.device.eRestart = EUsbRestartMode::Accept;
        else if (value == "refuse-run")
            usb.device.eRestart = EUsbRestartMode::RefuseRun;
        else if (value == "old-bootstrap")
            usb.device.eRestart = EUsbRestartMode::OldBootstrap;
        else
            good = false;
        break;
    case OptUsbBootstrapVersion: {
        char* end = nullptr;
        const double version = std::strtod(value.c_str(), &end);
        if ((good = !value.empty() && *end == '\0' && version >= 0))
            usb.device.fBootstrapVersion = static_cast<float>(version);
        break;
    }
    case OptUsbRestartAway:
    case OptUsbBusyPolls:
    case OptUsbDevices:
        good = ParseUnsigned(value, number) && number <= 0xFFFFFFFFu;
        if (id == OptUsbDevices)
            good = good && (number == 1 || number == 2);
        if (!good)
            break;
        if (id == OptUsbRestartAway)
            usb.device.nRestartAwayMs = static_cast<uint32_t>(number);
        else if (id == OptUsbBusyPolls)
            usb.device.nBusyPolls = static_cast<uint32_t>(number);
        else
            usb.nDevices = static_cast<unsigned>(number);
        break;
    case OptUsbRefuseOpen:
        usb.device.bRefuseOpen = true;
        break;
    case OptUsbSerial:
        if ((good = value.size() <= 126))
            usb.strSerial = value;
        break;
    case OptHelp:
        parsed.bHelp = true;
        break;
    }
    if (!good)
        error = std::string("bad value for --") + OptionName(id) + ": " + value;
    return good;
}

} // namespace

const char* SimUsageText() {
    return kUsage;
}

bool ParseSimCommandLine(int argc, const char* const* argv, SimCommandLine& parsed, std::string& error) {
    std::vector<std::string> positional;
    const auto take = [&](int id, const std::string& value, std::string& reason) {
        return TakeOption(parsed, id, value, reason);
    };
    if (!ParseCommandLine(argc, argv, kOptions, take, positional, error))
        return false;
    if (!positional.empty()) {
        error = "unexpected argument: " + positional.front();
        return false;
    }
    for (const auto& [index, fault] : parsed.sim.controllerFaults) {
        if (index > parsed.sim.nCount) {
            error = "--fault-on names controller " + std::to_string(index) + " of " +
                    std::to_string(parsed.sim.nCount) + " (raise --count)";
            return false;
        }
    }
    return true;
}
