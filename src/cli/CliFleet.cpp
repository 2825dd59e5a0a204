#include "cli/CliFleet.h"

#include "cli/CliEventWriter.h"
#include "cli/CliExitCodes.h"
#include "cli/CliSignalCancel.h"
#include "cli/FleetMember.h"
#include "platform/HidDeviceChoice.h"
#include "platform/PortNames.h"
#include "platform/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr int kRedrawMs = 250;

// One child: its process, the read end of its standard output and what it has told.
struct SChild {
    FleetMember member;
    pid_t pid = -1;
    CUniqueFd out;
    std::string pending; // an unfinished line
    int nShownPercent = -1;
    std::string strShownState;
};

bool ReadPorts(const CliOptions& options, std::vector<std::string>& ports, std::string& error) {
    ports = options.ports;
    if (!options.strPortsFrom.empty()) {
        std::ifstream file(options.strPortsFrom);
        if (!file) {
            error = "cannot read the port list " + options.strPortsFrom + ": " + std::strerror(errno);
            return false;
        }
        for (std::string line; std::getline(file, line);) {
            line.erase(0, line.find_first_not_of(" \t"));
            line.erase(line.find_last_not_of(" \t\r") + 1);
            if (!line.empty() && line[0] != '#')
                ports.push_back(line);
        }
    }
    // Two names of one device (COM1 and /dev/ttyS0; a hidraw node and usb: its serial number) are one port.
    SSystemPaths paths;
    if (!options.strSysfs.empty())
        paths.strSys = options.strSysfs;
    if (!options.strDev.empty())
        paths.strDev = options.strDev;
    std::vector<std::string> devices;
    for (const std::string& port : ports) {
        SUsbDeviceChoice choice;
        std::vector<std::string> why;
        std::string device = ResolvePortName(port);
        if (IsUsbPortName(port))
            device = ChooseUsbDevice(port, paths, choice, why) && !choice.strSerial.empty()
                         ? kUsbSerialPrefix + choice.strSerial
                         : port;
        const auto same = std::find(devices.begin(), devices.end(), device.empty() ? port : device);
        if (same != devices.end()) {
            const std::string& first = ports[static_cast<size_t>(same - devices.begin())];
            error = first == port ? "the port " + port + " is named twice"
                                  : port + " and " + first + " name the same controller";
            error += "; each controller needs a port of its own";
            return false;
        }
        devices.push_back(device.empty() ? port : device);
    }
    if (ports.empty())
        error = "no port to upgrade: name them with --port or --ports-from";
    return !ports.empty();
}

std::string ProgramPath() {
    char path[4096] = {};
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string("dravik-cli");
}

// The child's command line: the run's own options for one port, events on standard output.
std::vector<std::string> ChildArguments(const CliOptions& options, const std::string& port) {
    std::vector<std::string> args{ProgramPath(), "--json", "--port", port};
    if (!options.strSettings.empty())
        args.insert(args.end(), {"--settings", options.strSettings});
    if (!options.strHidSocket.empty() && IsUsbPortName(port)) // it would make a COM port's child use USB
        args.insert(args.end(), {"--hid-socket", options.strHidSocket});
    if (!options.strSysfs.empty())
        args.insert(args.end(), {"--sysfs", options.strSysfs});
    if (!options.strDev.empty())
        args.insert(args.end(), {"--dev", options.strDev});
    if (options.bYes)
        args.push_back("--yes");
    if (options.bNoRestart)
        args.push_back("--no-restart");
    if (options.bNoRecord)
        args.push_back("--no-record");
    if (options.nState > 0)
        args.insert(args.end(), {"--state", options.nState == 2 ? "bootstrap" : "bios"});
    if (options.dClockSpeed != 1.0)
        args.insert(args.end(), {"--clock-speed", std::to_string(options.dClockSpeed)});
    args.push_back("upgrade");
    args.insert(args.end(), options.arguments.begin(), options.arguments.end());
    return args;
}

// Starts the child in a process group of its own, so that a Ctrl-C at the terminal reaches the parent
// alone and each child gets exactly one Cancel from it; signals as a fresh program has them.
bool Spawn(SChild& child, const std::vector<std::string>& args, std::string& error) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return false;
    }
    child.out.Reset(pipeFds[0]);
    CUniqueFd writeEnd(pipeFds[1]);
    std::vector<char*> argv;
    std::vector<std::string> copy = args;
    for (std::string& arg : copy)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.Get(), STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    const int rc = ::posix_spawn(&child.pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        child.pid = -1;
        error = "cannot start " + args[0] + ": " + std::strerror(rc);
        return false;
    }
    return true;
}

// Shows the controllers' lines: on a terminal the block is redrawn in place; otherwise a line is written
// when a controller's state changes or its progress passes another tenth.
class CFleetDisplay {
public:
    explicit CFleetDisplay(std::vector<SChild>& children) : m_children(children), m_bTerminal(::isatty(1)) {}

    void Show(bool force) {
        const auto now = std::chrono::steady_clock::now();
        if (!force && now - m_lastDraw < std::chrono::milliseconds(kRedrawMs))
            return;
        m_lastDraw = now;
        if (m_bTerminal) {
            if (m_bDrawn)
                std::printf("\033[%zuA", m_children.size());
            for (const SChild& child : m_children)
                std::printf("\r\033[K%s\n", child.member.Line().c_str());
            m_bDrawn = true;
        } else {
            for (SChild& child : m_children) {
                const std::string state = child.member.Line().substr(child.member.Line().rfind("bps  ") + 5);
                const int tenth = child.member.Percent() / 10;
                if (state != child.strShownState || tenth != child.nShownPercent) {
                    std::printf("%s\n", child.member.Line().c_str());
                    child.strShownState = state;
                    child.nShownPercent = tenth;
                }
            }
        }
        std::fflush(stdout);
    }

private:
    std::vector<SChild>& m_children;
    bool m_bTerminal;
    bool m_bDrawn = false;
    std::chrono::steady_clock::time_point m_lastDraw{};
};

void Summary(const std::vector<SChild>& children) {
    std::printf("\n%-20s %-6s %-6s %-7s %s\n", "PORT", "VERS", "RESULT", "STATE", "MESSAGE");
    for (const SChild& child : children) {
        const std::string message = child.member.Outcome();
        std::printf("%-20s %-6s %-6d %-7s %s\n", child.member.strPort.c_str(),
                    child.member.strVersion.empty() ? "-" : child.member.strVersion.c_str(),
                    child.member.nExitCode, child.member.nExitCode == 0 ? "ok" : "FAILED", message.c_str());
    }
    const size_t failed = static_cast<size_t>(std::count_if(
        children.begin(), children.end(), [](const SChild& child) { return child.member.nExitCode != 0; }));
    std::printf("%zu of %zu controllers upgraded", children.size() - failed, children.size());
    if (failed > 0)
        std::printf("; %zu failed: see their messages above, fix the cause and upgrade those ports again",
                    failed);
    std::printf(".\n");
}

} // namespace

int RunFleet(const CliOptions& options, CCliEventWriter* events) {
    if (options.arguments.empty() || options.arguments.size() > 2) {
        std::fprintf(stderr, "%s\nupgrade takes a file, and the configuration file that may follow it\n",
                     CliUsageLine());
        return kExitUsage;
    }
    std::vector<std::string> ports;
    std::string error;
    if (!ReadPorts(options, ports, error)) {
        std::fprintf(stderr, "%s\n%s\n", CliUsageLine(), error.c_str());
        return kExitUsage;
    }
    if (options.bUsb && options.strHidSocket.empty()) { // --hid-socket alone implies --usb
        std::fprintf(stderr,
                     "%s\na fleet upgrade names every controller by its port, one by USB as /dev/hidrawN or "
                     "usb:SERIAL; leave out --usb\n",
                     CliUsageLine());
        return kExitUsage;
    }

    CCliSignalCancel signals; // before the children start: they get the signals' defaults back
    std::vector<SChild> children(ports.size());
    for (size_t i = 0; i < ports.size(); ++i) {
        children[i].member.strPort = ports[i];
        if (!Spawn(children[i], ChildArguments(options, ports[i]), error)) {
            children[i].member.nExitCode = kExitFailed;
            children[i].member.strLastMessage = error + ". Check that the program file can be run.";
        }
    }
    // The first Ctrl-C presses every child's Cancel; each ends the way the window's Cancel ends it.
    const CCliSignalCancel::CActionScope cancel(signals, [&children] {
        for (const SChild& child : children)
            if (child.pid > 0)
                ::kill(child.pid, SIGINT);
        return true;
    });

    CFleetDisplay display(children);
    if (!events)
        display.Show(true);
    for (;;) {
        std::vector<pollfd> fds;
        std::vector<SChild*> owners;
        for (SChild& child : children)
            if (child.out.IsValid()) {
                fds.push_back(pollfd{child.out.Get(), POLLIN, 0});
                owners.push_back(&child);
            }
        if (fds.empty())
            break;
        if (::poll(fds.data(), fds.size(), kRedrawMs) < 0 && errno != EINTR)
            break;
        for (size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].revents == 0)
                continue;
            SChild& child = *owners[i];
            char buffer[4096];
            const ssize_t got = ::read(child.out.Get(), buffer, sizeof buffer);
            if (got <= 0) {
                if (got == 0 || errno != EINTR)
                    child.out.Reset();
                continue;
            }
            child.pending.append(buffer, static_cast<size_t>(got));
            for (size_t end; (end = child.pending.find('\n')) != std::string::npos;) {
                const std::string line = child.pending.substr(0, end);
                child.pending.erase(0, end + 1);
                if (child.member.TakeEvent(line) && events && line.size() > 1 && line[0] == '{')
                    events->WriteLine("{\"port\":" + JsonQuoted(child.member.strPort) + "," + line.substr(1));
            }
        }
        if (!events)
            display.Show(false);
    }
    bool allOk = true;
    for (SChild& child : children) {
        if (child.pid > 0) {
            int status = 0;
            while (::waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
            }
            const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            if (!child.member.bResultSeen || child.member.nExitCode != code) {
                child.member.nExitCode = code;
                if (child.member.strLastMessage.empty())
                    child.member.strLastMessage = WIFSIGNALED(status) ? "the upgrade ended by signal " +
                                                                            std::to_string(WTERMSIG(status))
                                                                      : "the upgrade ended without a result";
            }
        }
        allOk = allOk && child.member.nExitCode == 0;
    }
    if (events) {
        for (const SChild& child : children)
            events->Write("controller_result", {JsonText("port", child.member.strPort),
                                                JsonText("version", child.member.strVersion),
                                                JsonNumber("code", child.member.nExitCode),
                                                JsonText("message", child.member.strLastMessage)});
    } else {
        display.Show(true);
        Summary(children);
    }
    return allOk ? kExitOk : kExitFailed;
}
