// dravik-cli upgrade as scripts and production lines use it, against dxu-sim processes on pseudo-terminals:
// the reset catch and the flash equal to the image, the wizard's result rules, the records the runs left,
// and a fleet of eight controllers with one refusing its erase and one hanging up in the middle.
#include "SimFlashTestSupport.h"
#include "engine/records/JsonText.h"
#include "support/FakeSystemTree.h"
#include "support/ProgramOutput.h"
#include "support/RecordFolder.h"
#include "support/SimProcess.h"
#include "support/SystemSha256.h"

#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <poll.h>
#include <set>
#include <sstream>

namespace {

using CliRun = SProgramOutput;

// dravik-cli with a settings file of its own in the test's folder, so no run touches another's settings.
CliRun RunCli(CSimFlashTempDir& dir, const std::vector<std::string>& args) {
    std::vector<std::string> argv{DRAVIK_CLI_PATH, "--settings", dir.File("none.cfg")};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunCapturing(argv);
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

constexpr uint32_t kImageAddress = 0x110000;
constexpr size_t kImageBytes = 3000;

// An image of one address record and kImageBytes data bytes.
std::vector<uint8_t> ImageData(size_t bytes = kImageBytes) {
    return SimFlashPattern(bytes, 3);
}
std::string WriteImage(CSimFlashTempDir& dir, size_t bytes = kImageBytes) {
    const std::string path = dir.File("app-" + std::to_string(bytes) + ".img");
    std::string image("\x7eMR:\x00\x11\x00\x00:", 9);
    for (uint8_t byte : ImageData(bytes))
        image += static_cast<char>(byte == 0x7E ? 0x7D : byte); // no byte that could start a record
    std::ofstream(path, std::ios::binary) << image;
    return path;
}
std::vector<uint8_t> ImageBytesAsWritten() {
    std::vector<uint8_t> data = ImageData();
    std::replace(data.begin(), data.end(), uint8_t{0x7E}, uint8_t{0x7D});
    return data;
}

// What the flash dump holds at the image's address.
std::vector<uint8_t> DumpWindow(CSimFlashTempDir& dir, const std::string& dump) {
    return SimFlashSrecWindow(dir, dump, kImageAddress, kImageBytes);
}

TEST(UpgradeCli, TheResetCatchLoadsTheImageAndTheRecordsTellIt) {
    CSimFlashTempDir dir;
    CRecordFolder records;
    const std::string dump = dir.File("flash.srec");
    const std::string image = WriteImage(dir);
    CSimProcess sim({"--protocol", "none", "--reset-after", "20000", "--done-delay", "0", "--flash-dump",
                     dump, "--clock-speed", "20"});
    ASSERT_TRUE(sim.IsReady());
    const CliRun run =
        RunCli(dir, {"--port", sim.SlavePath(), "--no-restart", "--clock-speed", "20", "upgrade", image});
    EXPECT_EQ(run.nExit, 0) << run.strErr;
    EXPECT_TRUE(Contains(run.strErr, "Download OK!")) << run.strErr;
    ASSERT_EQ(sim.Stop(), 0);
    EXPECT_EQ(DumpWindow(dir, dump), ImageBytesAsWritten());

    const CliRun listed = RunCli(dir, {"records", "--json"});
    ASSERT_EQ(listed.nExit, 0) << listed.strErr;
    std::vector<std::string> operations;
    std::istringstream lines(listed.strOut);
    for (std::string line; std::getline(lines, line);) {
        CJsonValue record;
        ASSERT_TRUE(CJsonValue::Parse(line, record)) << line;
        if (record.Has("event"))
            continue; // the run's own result event
        operations.push_back(record["operation"].Text());
        EXPECT_EQ(record["program"].Text(), "dravik-cli");
        EXPECT_EQ(record["device"].Text(), sim.SlavePath());
        if (record["operation"].Text() == "load") {
            EXPECT_EQ(record["file_sha256"].Text(), SystemSha256(image));
            EXPECT_EQ(record["bytes_acknowledged"].Integer(), int64_t(kImageBytes));
            EXPECT_TRUE(record["ok"].Bool());
        } else {
            EXPECT_EQ(record["protocol"].Text(), "PL03") << "held in the bootstrap";
        }
    }
    EXPECT_EQ(operations, (std::vector<std::string>{"connect", "load"}));
    // --no-record leaves nothing; the table lists what is there.
    EXPECT_EQ(RunCli(dir, {"--no-record", "--port", "/dev/null-none", "connect"}).nExit, 1);
    const CliRun table = RunCli(dir, {"records", "--since", "2000-01-01"});
    EXPECT_TRUE(Contains(table.strOut, "2 record(s)")) << table.strOut;
    EXPECT_EQ(RunCli(dir, {"records", "--since", "yesterday"}).nExit, 64) << "a usage error";
}

TEST(UpgradeCli, AResultTheWizardWouldRetryEndsTheRunWithIt) {
    CSimFlashTempDir dir;
    const std::string image = WriteImage(dir);
    CSimProcess sim({"--done-delay", "0", "--fault", "error-always:2"});
    ASSERT_TRUE(sim.IsReady());
    const CliRun run = RunCli(dir, {"--port", sim.SlavePath(), "--yes", "upgrade", image});
    EXPECT_EQ(run.nExit, 6) << run.strErr;
    EXPECT_TRUE(Contains(run.strErr, "Slave rejected erasure of application.")) << run.strErr;
    EXPECT_TRUE(Contains(run.strErr, "Error erasing controller memory prior to download!")) << run.strErr;
    EXPECT_FALSE(Contains(run.strErr, "Download OK!"));
}

TEST(UpgradeCli, AFleetUpgradesEveryControllerAndNamesTheTwoFailures) {
    CSimFlashTempDir dir;
    const std::string dump = dir.File("flash.srec");
    const std::string image = WriteImage(dir);
    constexpr size_t kCount = 8;
    CSimProcess sim({"--count", std::to_string(kCount), "--done-delay", "0", "--flash-dump", dump,
                     "--fault-on", "3:error-always:2", "--fault-on", "6:hang-up:5", "--clock-speed", "20"},
                    kCount);
    ASSERT_EQ(sim.SlavePaths().size(), kCount);
    std::vector<std::string> args{"--yes", "--no-restart", "--clock-speed", "20", "upgrade", image};
    for (const std::string& port : sim.SlavePaths())
        args.insert(args.end(), {"--port", port});
    const CliRun run = RunCli(dir, args);
    EXPECT_EQ(run.nExit, 1) << run.strOut << run.strErr;
    ASSERT_EQ(sim.Stop(), 0);

    const std::string summary = run.strOut.substr(run.strOut.rfind("PORT"));
    for (size_t i = 0; i < kCount; ++i) {
        const std::string& port = sim.SlavePaths()[i];
        const std::string row =
            summary.substr(summary.find(port), summary.find('\n', summary.find(port)) - summary.find(port));
        if (i == 2) {
            EXPECT_TRUE(Contains(row, "FAILED") &&
                        Contains(row, "Slave rejected erasure of application. Error erasing"))
                << row;
        } else if (i == 5) {
            EXPECT_TRUE(Contains(row, "FAILED") &&
                        Contains(row, "Error downloading file to controller. Error controller rejected"))
                << row;
        } else {
            EXPECT_TRUE(Contains(row, " ok ")) << row;
            EXPECT_EQ(DumpWindow(dir, dir.File("flash-" + std::to_string(i + 1) + ".srec")),
                      ImageBytesAsWritten())
                << port;
        }
    }
    EXPECT_TRUE(Contains(summary, "6 of 8 controllers upgraded; 2 failed")) << summary;
}

TEST(UpgradeCli, AFleetTakesUsbControllersByNodeOrSerialNumberAndTheRecordsNameThem) {
    CSimFlashTempDir dir;
    CRecordFolder records;
    CFakeSystemTree tree; // where sysfs would show controller 2's USB device
    tree.AddHidraw("hidraw5", 0x10C4, 0x8468, "DXU", "DXUSIM-2");
    const std::string dump = dir.File("flash.srec");
    const std::string image = WriteImage(dir);
    const std::string socket = dir.File("hid.sock");
    // Each USB controller restarts into its bootstrap, drops off and comes back, as the wizard's road asks.
    CSimProcess sim({"--count", "3", "--hid-socket", socket, "--usb-restart", "accept", "--usb-restart-away",
                     "1000", "--done-delay", "0", "--flash-dump", dump, "--clock-speed", "20"},
                    3);
    ASSERT_EQ(sim.SlavePaths().size(), 3u);
    const std::vector<std::string> ports{"usb:DXUSIM-1", tree.Dev("hidraw5"), sim.SlavePaths()[2]};
    const CliRun run =
        RunCli(dir, {"--hid-socket", socket, "--sysfs", tree.Paths().strSys, "--dev", tree.Paths().strDev,
                     "--yes", "--no-restart", "--clock-speed", "20", "--port", ports[0], "--port", ports[1],
                     "--port", ports[2], "upgrade", image});
    EXPECT_EQ(run.nExit, 0) << run.strOut << run.strErr;
    EXPECT_TRUE(Contains(run.strOut, "3 of 3 controllers upgraded.")) << run.strOut;
    ASSERT_EQ(sim.Stop(), 0);
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(DumpWindow(dir, dir.File("flash-" + std::to_string(i) + ".srec")), ImageBytesAsWritten())
            << i;

    // Each load's record names the device it went to: serial number, node where named by one, pty.
    std::set<std::string> loads;
    std::istringstream lines(RunCli(dir, {"records", "--json"}).strOut);
    for (std::string line; std::getline(lines, line);) {
        CJsonValue record;
        if (!CJsonValue::Parse(line, record) || record["operation"].Text() != "load")
            continue;
        EXPECT_EQ(record["file_sha256"].Text(), SystemSha256(image));
        EXPECT_TRUE(record["ok"].Bool()) << line;
        loads.insert(record["link"].Text() + " " + record["device"].Text() + " " + record["usb_id"].Text() +
                     " " + record["usb_serial"].Text());
    }
    EXPECT_EQ(loads,
              (std::set<std::string>{"USB  10C4:8468 DXUSIM-1", "USB " + ports[1] + " 10C4:8468 DXUSIM-2",
                                     "COM " + ports[2] + "  "}));

    // One controller named twice, by its node and by its serial number, is refused as a usage error.
    const CliRun twice = RunCli(dir, {"--sysfs", tree.Paths().strSys, "--dev", tree.Paths().strDev, "--port",
                                      ports[1], "--port", "usb:DXUSIM-2", "upgrade", image});
    EXPECT_EQ(twice.nExit, 64);
    EXPECT_TRUE(Contains(twice.strErr, "usb:DXUSIM-2 and " + ports[1] + " name the same controller"))
        << twice.strErr;

    // A name that fits no controller fails before any link is opened, and says what is there.
    const CliRun wrong = RunCli(dir, {"--sysfs", tree.Paths().strSys, "--dev", tree.Paths().strDev, "--port",
                                      tree.Dev("hidraw9"), "upgrade", image});
    EXPECT_EQ(wrong.nExit, 1);
    EXPECT_EQ(wrong.strErr, "No such USB device: " + tree.Dev("hidraw9") + ".\n  a controller is at " +
                                tree.Dev("hidraw5") + ", serial number DXUSIM-2\n");
}

TEST(UpgradeCli, FleetJsonTagsEveryEventWithItsPort) {
    CSimFlashTempDir dir;
    const std::string image = WriteImage(dir);
    CSimProcess sim({"--count", "2", "--done-delay", "0", "--clock-speed", "20"}, 2);
    ASSERT_EQ(sim.SlavePaths().size(), 2u);
    const CliRun run = RunCli(dir, {"--json", "--yes", "--no-restart", "--clock-speed", "20", "--port",
                                    sim.SlavePaths()[0], "--port", sim.SlavePaths()[1], "upgrade", image});
    EXPECT_EQ(run.nExit, 0) << run.strOut;
    std::istringstream lines(run.strOut);
    size_t tagged = 0;
    int results = 0;
    for (std::string line; std::getline(lines, line);) {
        CJsonValue event;
        ASSERT_TRUE(CJsonValue::Parse(line, event)) << line;
        const std::string port = event["port"].Text();
        EXPECT_TRUE(port == sim.SlavePaths()[0] || port == sim.SlavePaths()[1] ||
                    event["event"].Text() == "result")
            << line;
        tagged += port.empty() ? 0 : 1;
        results += event["event"].Text() == "result" && !port.empty() && event["code"].Integer() == 0;
    }
    EXPECT_EQ(results, 2) << run.strOut;
    EXPECT_GT(tagged, 4u);
}

TEST(UpgradeCli, CtrlCCancelsEveryControllerOfAFleetTheCancelWay) {
    CSimFlashTempDir dir;
    // Paced lines and 60 kB: each transfer takes about 16 s, its first progress comes at a tenth.
    const std::string image = WriteImage(dir, 60000);
    CSimProcess sim({"--count", "2", "--done-delay", "0", "--pace"}, 2);
    ASSERT_EQ(sim.SlavePaths().size(), 2u);
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    CUniqueFd out(fds[0]);
    SChildSetup setup;
    setup.in.strPath = "/dev/null";
    setup.out.nFd = fds[1];
    setup.err.strPath = "/dev/null";
    CChildProcess fleet;
    ASSERT_EQ(fleet.Start({DRAVIK_CLI_PATH, "--settings", dir.File("none.cfg"), "--json", "--yes", "--port",
                           sim.SlavePaths()[0], "--port", sim.SlavePaths()[1], "upgrade", image},
                          setup),
              0);
    ::close(fds[1]);

    // What the fleet writes, a piece at a time; false once its output has ended.
    std::string events;
    auto readSome = [&] {
        pollfd pfd{out.Get(), POLLIN, 0};
        char buffer[4096];
        if (::poll(&pfd, 1, 1000) <= 0)
            return true;
        const ssize_t got = ::read(out.Get(), buffer, sizeof buffer);
        if (got <= 0)
            return false;
        events.append(buffer, static_cast<size_t>(got));
        return true;
    };
    // Once both controllers report progress, one Ctrl-C.
    std::set<std::string> moving;
    bool open = true;
    const auto moved = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (open && moving.size() < 2 && std::chrono::steady_clock::now() < moved) {
        open = readSome();
        for (const std::string& port : sim.SlavePaths())
            if (Contains(events, "{\"port\":\"" + port + "\",\"event\":\"progress\""))
                moving.insert(port);
    }
    ASSERT_EQ(moving.size(), 2u) << events;
    fleet.Signal(SIGINT);
    const auto ended = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (open && std::chrono::steady_clock::now() < ended)
        open = readSome();
    EXPECT_FALSE(open) << "the fleet's output ends within a minute of the Ctrl-C";
    EXPECT_EQ(fleet.WaitFor(std::chrono::seconds(10)), 1);
    // Each child ended as the window's Cancel ends a download: result 5, after the erase of its part.
    std::istringstream lines(events);
    int cancelled = 0;
    for (std::string line; std::getline(lines, line);) {
        CJsonValue event;
        ASSERT_TRUE(CJsonValue::Parse(line, event)) << line;
        cancelled += event["event"].Text() == "controller_result" && event["code"].Integer() == 5;
    }
    EXPECT_EQ(cancelled, 2) << events;
}

} // namespace
