// dxu-sim: a simulated DXU controller on a pseudo-terminal, for tests, demonstrations and training.
//
// The first line of standard output is "PTY <slave path>"; the program under test opens that path as
// its COM port. The simulator answers "+++D" with its protocol text and "+++C" with its version text
// (each followed by LF), every "+++" command with "OK" (and "DONE" after a delay for the erase and
// program commands), acknowledges good data frames with ACK (0x06) and a bad checksum with NAK (0x15),
// sends BEL at a simulated reset and stays in its bootstrap (answering "PL03") when ESC follows within
// a short window. It notes the line speed the program set for every read and can refuse frames sent at
// the wrong speed. Faults are injected by option; a JSON-lines trace records every exchange element.
//
// Options (see --help for the full text):
//   --protocol TEXT|none   --version TEXT   --done-delay MS   --reset-after MS   --esc-window MS
//   --expect-frame-speed BAUD   --fault KIND (repeatable)   --trace FILE   --control PATH
//   --clock-speed FACTOR   --flash-dump FILE   --pace   --receive-files   --receive-dir DIR   --count N
//   --fault-on I:KIND   -h, --help
//   --hid-socket PATH and the --usb-... options serve a simulated USB device too; its socket path is
//   then the second line of standard output, "HID <path>" (sim/UsbSimService.h).
// Data and address frames after "+++4" program a simulated flash that the erase commands clear; with
// --flash-dump it is written as S-records at exit. --pace holds every received byte back for its time on
// the line at the speed the program set.
// The control socket (--control) takes the lines "reset", "counters", "flash", "dump [PATH]" and "quit",
// one reply line each.
// SIGTERM and SIGINT end the simulator cleanly (exit status 0).
#include "platform/Clock.h"
#include "platform/UniqueFd.h"
#include "sim/SimCommandLine.h"
#include "sim/SimControllerSet.h"
#include "sim/SimFlashDump.h"
#include "sim/SimPtyServer.h"
#include "sim/UsbSimService.h"

#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <sys/signalfd.h>
#include <thread>
#include <vector>

namespace {

// A controller served on its pseudo-terminal and on a USB device is one controller: its dump holds what
// either way in programmed. Nothing to do when nothing came by USB (the server wrote its own dump).
bool DumpBothWaysIn(const std::string& path, SimFlashRuns runs, const SimFlashRuns& usbRuns) {
    if (path.empty() || usbRuns.empty())
        return true;
    MergeSimFlashRuns(runs, usbRuns);
    std::string error;
    if (WriteSimFlashDump(path, runs, error))
        return true;
    std::fprintf(stderr, "dxu-sim: %s\n", error.c_str());
    return false;
}

// --count N: N controllers side by side, each on its own pseudo-terminal and thread (and on a USB device
// of its own with --hid-socket); a signal ends all.
int ServeMany(const SimOptions& options, CUsbSimService& usb, int stopFd) {
    std::vector<std::unique_ptr<CSimPtyServer>> servers;
    std::string error;
    for (unsigned index = 1; index <= options.nCount; ++index) {
        servers.push_back(std::make_unique<CSimPtyServer>());
        if (!servers.back()->Open(SimOptionsForController(options, index), error)) {
            std::fprintf(stderr, "dxu-sim: controller %u: %s\n", index, error.c_str());
            return 1;
        }
    }
    if (!usb.Start(options, error)) {
        std::fprintf(stderr, "dxu-sim: %s\n", error.c_str());
        return 1;
    }
    for (const auto& server : servers)
        std::printf("PTY %s\n", server->SlavePath().c_str());
    if (usb.IsEnabled())
        std::printf("HID %s\n", usb.SocketPath().c_str());
    std::fflush(stdout);
    std::vector<std::thread> threads;
    for (const auto& server : servers)
        threads.emplace_back([&server, stopFd] { server->Serve(stopFd); });
    for (std::thread& thread : threads)
        thread.join();
    bool dumped = true;
    for (unsigned index = 1; index <= options.nCount && usb.IsEnabled(); ++index)
        dumped = DumpBothWaysIn(SimOptionsForController(options, index).strFlashDumpPath,
                                servers[index - 1]->FlashRuns(), usb.FlashRuns(index)) &&
                 dumped;
    usb.Stop();
    return dumped ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    SimCommandLine commandLine;
    std::string error;
    if (!ParseSimCommandLine(argc, argv, commandLine, error)) {
        std::fprintf(stderr, "dxu-sim: %s (see --help)\n", error.c_str());
        return 2;
    }
    if (commandLine.bHelp) {
        std::fputs(SimUsageText(), stdout);
        return 0;
    }
    const SimOptions& options = commandLine.sim;
    CUsbSimService usb; // the simulated USB device, with --hid-socket
    usb.Configure(commandLine.usb);
    CClock::Instance().SetSpeedFactor(options.dClockSpeed);

    // The signals arrive on a descriptor that the serving loop waits on, so it ends between two steps.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    if (sigprocmask(SIG_BLOCK, &signals, nullptr) != 0) {
        std::perror("dxu-sim: sigprocmask");
        return 1;
    }
    CUniqueFd signalFd(signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK));
    if (!signalFd.IsValid()) {
        std::perror("dxu-sim: signalfd");
        return 1;
    }
    // A test that has stopped reading our output must not kill us with SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);

    if (options.nCount > 1)
        return ServeMany(options, usb, signalFd.Get());

    CSimPtyServer server;
    if (!server.Open(options, error)) {
        std::fprintf(stderr, "dxu-sim: %s\n", error.c_str());
        return 1;
    }
    if (!usb.Start(options, error)) {
        std::fprintf(stderr, "dxu-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("PTY %s\n", server.SlavePath().c_str());
    if (usb.IsEnabled())
        std::printf("HID %s\n", usb.SocketPath().c_str());
    std::fflush(stdout);
    server.Serve(signalFd.Get());
    const SimFlashRuns usbFlash = usb.IsEnabled() ? usb.FlashRuns() : SimFlashRuns();
    usb.Stop();
    return DumpBothWaysIn(options.strFlashDumpPath, server.FlashRuns(), usbFlash) ? 0 : 1;
}
