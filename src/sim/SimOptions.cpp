#include "sim/SimOptions.h"

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
    "  --clock-speed FACTOR  run the simulator's clock FACTOR times faster (default 1)\n"
    "  --help                show this text\n"
    "\n"
    "A frame with a bad checksum is answered with NAK (0x15). The simulator ends on SIGTERM or SIGINT.\n"
    "\n"
    "Flash: \"+++4\" opens a load; in it an MR frame of four address bytes (most significant first) sets\n"
    "the address and plain frames program consecutive bytes; the MR frame of four zero bytes ends the\n"
    "load once data was programmed (before any data it is the address 0). \"+++0\", \"+++1\", \"+++2\"\n"
    "and \"+++A\" erase the operating system, application (1 and 2) and communication board ranges of\n"
    "the present state (bootstrap: 0x10000-0x1CFFFF, 0x1E0000 and up, 0x1D0000-0x1DFFFF; otherwise up\n"
    "to 0x100000, above 0x100000, none). A frame that would program a byte not erased, or programmed\n"
    "since its erase, is answered with NAK and programs nothing.\n";

bool ParseUnsigned(const std::string& text, uint64_t& value) {
    if (text.empty())
        return false;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc() && result.ptr == end;
}

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

} // namespace

const char* SimUsageText() {
    return kUsage;
}

bool ParseSimOptions(const std::vector<std::string>& args, SimOptions& options, bool& bHelp,
                     std::string& error) {
    bHelp = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool bHasValue = false;
        // Both "--name value" and "--name=value".
        if (const auto equals = name.find('='); name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
            bHasValue = true;
        }
        if (name == "--help") {
            bHelp = true;
            return true;
        }
        if (name == "--pace" && !bHasValue) {
            options.bPace = true;
            continue;
        }
        if (name == "--receive-files" && !bHasValue) {
            options.bReceiveFiles = true;
            continue;
        }
        static const char* const kWithValue[] = {"--protocol",    "--version",    "--done-delay",
                                                 "--reset-after", "--esc-window", "--expect-frame-speed",
                                                 "--fault",       "--trace",      "--control",
                                                 "--clock-speed", "--flash-dump", "--receive-dir"};
        bool bKnown = false;
        for (const char* known : kWithValue)
            bKnown = bKnown || name == known;
        if (!bKnown) {
            error = "unknown option: " + args[i];
            return false;
        }
        if (!bHasValue) {
            if (i + 1 >= args.size()) {
                error = "missing value for " + name;
                return false;
            }
            value = args[++i];
        }
        const std::string bad = "bad value for " + name + ": " + value;
        uint64_t number = 0;
        if (name == "--protocol") {
            if (value == "none") {
                options.strProtocol.clear();
            } else if (IsFourPrintable(value)) {
                options.strProtocol = value;
            } else {
                error = bad;
                return false;
            }
        } else if (name == "--version") {
            if (!IsFourPrintable(value)) {
                error = bad;
                return false;
            }
            options.strVersion = value;
        } else if (name == "--done-delay" || name == "--reset-after" || name == "--esc-window" ||
                   name == "--expect-frame-speed") {
            if (!ParseUnsigned(value, number) || number > 0x7FFFFFFF) {
                error = bad;
                return false;
            }
            if (name == "--done-delay")
                options.nDoneDelayMs = static_cast<uint32_t>(number);
            else if (name == "--reset-after")
                options.nResetAfterMs = static_cast<int64_t>(number);
            else if (name == "--esc-window")
                options.nEscWindowMs = static_cast<uint32_t>(number);
            else
                options.nExpectFrameSpeed = static_cast<unsigned>(number);
        } else if (name == "--fault") {
            SimFault fault;
            if (!ParseFault(value, fault)) {
                error = bad;
                return false;
            }
            options.faults.push_back(fault);
        } else if (name == "--trace") {
            options.strTracePath = value;
        } else if (name == "--control") {
            options.strControlPath = value;
        } else if (name == "--flash-dump") {
            options.strFlashDumpPath = value;
        } else if (name == "--receive-dir") {
            options.strReceiveDir = value;
            options.bReceiveFiles = true;
        } else if (name == "--clock-speed") {
            char* end = nullptr;
            const double factor = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != '\0' || !(factor > 0.0)) {
                error = bad;
                return false;
            }
            options.dClockSpeed = factor;
        }
    }
    return true;
}
