// dravik-cli as outside scripts use it: against the dxu-sim program on a pseudo-terminal, with the
// messages on standard error and the exit codes of its contract.
#include "support/ProgramOutput.h"
#include "support/PtyPair.h"
#include "support/SimProcess.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

using CliResult = SProgramOutput;

// Runs dravik-cli with the arguments, started without a shell, standard input empty.
CliResult RunCli(const std::vector<std::string>& args) {
    std::vector<std::string> argv{DRAVIK_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunCapturing(argv);
}

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

TEST(CliExchange, ProbeAndCommandsAgainstTheSimulator) {
    CSimProcess sim({"--protocol", "PL03", "--version", "V2.1", "--done-delay", "10"});
    ASSERT_TRUE(sim.IsReady());
    const std::string settings = TestTempDir() + "/dravik-cli-test-settings.cfg";
    std::remove(settings.c_str());

    // Results on standard output, options after the command as well as before it.
    auto probe = RunCli({"--settings", settings, "probe", "--port=" + sim.SlavePath()});
    EXPECT_EQ(probe.nExit, 0) << probe.strErr;
    EXPECT_EQ(probe.strOut, "Protocol: PL03\nVersion: V2.1\n") << probe.strErr;
    auto connect = RunCli({"--settings", settings, "-p", sim.SlavePath(), "connect", "--json", "-q"});
    EXPECT_EQ(connect.nExit, 0) << connect.strErr;
    EXPECT_EQ(connect.strOut.substr(connect.strOut.rfind("{")),
              "{\"event\":\"result\",\"code\":0,\"state\":2,\"state_name\":\"bootstrap\",\"protocol\":"
              "\"PL03\",\"version\":\"V2.1\"}\n");

    auto erase = RunCli({"--settings", settings, "--port", sim.SlavePath(), "command", "2"});
    EXPECT_EQ(erase.nExit, 0) << erase.strErr;
    // The port given on the command line is for this run only: no settings file appears.
    EXPECT_NE(::access(settings.c_str(), F_OK), 0);
}

TEST(CliExchange, RefusedCommandShowsItsMessageOnceAndFails) {
    CSimProcess sim({"--fault", "error-always:0"});
    ASSERT_TRUE(sim.IsReady());
    auto result = RunCli(
        {"--settings", TestTempDir() + "/dravik-cli-none.cfg", "--port", sim.SlavePath(), "command", "2"});
    EXPECT_EQ(result.nExit, 1);
    EXPECT_EQ(Count(result.strErr, "Slave responded with ERROR.\n"), 1u) << result.strErr;
}

// The line hangs up while the controller works on a command: the program ends at once with the read
// error, without spinning on the dead line.
TEST(CliExchange, HangUpMidCommandEndsAtOnceWithoutSpinning) {
    CPtyPair pty;
    CProgramRun run({DRAVIK_CLI_PATH, "--settings", TestTempDir() + "/none.cfg", "--port", pty.SlavePath(),
                     "command", "2"});
    const auto command = pty.ReadMaster(4, std::chrono::seconds(10));
    EXPECT_EQ(std::string(command.begin(), command.end()), "+++0");
    pty.HangUp();
    const auto hungUp = std::chrono::steady_clock::now();
    const CliResult result = run.Finish(std::chrono::seconds(15));
    // Not the 20 s the read would wait for an answer; a loaded machine (sanitizers) may take a second.
    EXPECT_LT(std::chrono::steady_clock::now() - hungUp, std::chrono::seconds(5));
    // Its whole run, start-up included, which a sanitizer build makes heavier; a spin would take seconds.
    EXPECT_LT(result.dCpuSeconds, 0.5);
    EXPECT_EQ(result.nExit, 1);
    EXPECT_NE(result.strErr.find("Error reading COM port.\n"), std::string::npos) << result.strErr;
}

// Over USB an accepted restart takes the device away: the console follows it leaving and coming back,
// connects again and goes on with the load.
TEST(CliExchange, UsbRestartIsFollowedByTheReconnectAndTheLoad) {
    const std::string stem = TestTempDir() + "/dravik-cli-usb";
    const std::string socket = stem + ".sock";
    const std::string image = stem + ".img";
    std::FILE* file = std::fopen(image.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs(std::string(600, 'a').c_str(), file);
    std::fclose(file);
    // Both clocks run ten times fast: the device is away 1.2 s of the 5 s before the reconnect.
    CSimProcess sim({"--hid-socket", socket, "--usb-restart", "accept", "--usb-restart-away", "1000",
                     "--protocol", "PL01", "--done-delay", "10", "--clock-speed", "10"});
    ASSERT_TRUE(sim.IsReady());
    auto result = RunCli({"--settings", TestTempDir() + "/none.cfg", "--hid-socket", socket, "--clock-speed",
                          "10", "--yes", "--no-restart", "load", image});
    EXPECT_EQ(result.nExit, 0) << result.strErr;
    EXPECT_NE(result.strErr.find("Controller connected.\n Bootstrap Version"), std::string::npos)
        << result.strErr;
    EXPECT_NE(result.strErr.find("Download complete."), std::string::npos) << result.strErr;
    std::remove(image.c_str());
    std::remove(socket.c_str());
}

TEST(CliExchange, MissingPortAndUsageErrors) {
    auto missing = RunCli(
        {"--settings", TestTempDir() + "/dravik-cli-none.cfg", "--port", "/dev/no-such-port", "probe"});
    EXPECT_EQ(missing.nExit, 1);
    // The status bar's texts come first, as the window would show them, then the one message and why.
    const std::string expected = "Terminal mode off.\n/dev/no-such-port\nError opening specified COM port.\n"
                                 "No such port: /dev/no-such-port.\n";
    EXPECT_EQ(missing.strErr.substr(0, expected.size()), expected) << missing.strErr;
    const std::string ports = missing.strErr.substr(std::min(expected.size(), missing.strErr.size()));
    EXPECT_TRUE(ports.rfind("Serial ports on this computer:\n", 0) == 0 ||
                ports == "No serial ports were found on this computer: plug in the USB serial adapter or the "
                         "cable, then try again.\n")
        << ports;
    auto quiet = RunCli(
        {"--settings", TestTempDir() + "/dravik-cli-none.cfg", "--port", "/dev/no-such-port", "probe", "-q"});
    EXPECT_EQ(quiet.strErr, "Error opening specified COM port.\nNo such port: /dev/no-such-port.\n" + ports);
    EXPECT_EQ(quiet.strOut, "");

    EXPECT_EQ(RunCli({}).nExit, 64);
    EXPECT_EQ(RunCli({"--bogus", "probe"}).nExit, 64);
    EXPECT_EQ(RunCli({"--state", "run", "probe"}).nExit, 64);
    EXPECT_EQ(RunCli({"command", "99"}).nExit, 64);
    EXPECT_EQ(RunCli({"frobnicate"}).nExit, 64);
    auto help = RunCli({"--help"});
    EXPECT_EQ(help.nExit, 0);
    EXPECT_NE(help.strOut.find("COMMANDS"), std::string::npos);
    EXPECT_EQ(RunCli({"-V"}).strOut, "dravik-cli 5120-41887 Version 4.0\n");
    auto usage = RunCli({"--json", "probe", "--port"});
    EXPECT_EQ(usage.nExit, 64);
    EXPECT_EQ(usage.strOut, "{\"event\":\"result\",\"code\":64}\n");
}

// A script follows a whole image download by the JSON lines alone.
TEST(CliExchange, JsonLoadPrintsOnlyEventsEndingWithTheResult) {
    CSimProcess sim({"--done-delay", "0"});
    ASSERT_TRUE(sim.IsReady());
    std::string folder = TestTempDir() + "/dravik-cli-json-XXXXXX";
    ASSERT_NE(::mkdtemp(folder.data()), nullptr);
    const std::string image = std::string(folder) + "/app.img";
    std::string bytes = std::string("~MR:") + std::string("\x00\x10\x00\x00", 4) + ":";
    for (int i = 0; i < 3000; ++i)
        bytes += static_cast<char>('a' + i % 26);
    std::FILE* file = std::fopen(image.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);

    auto load = RunCli({"--json", "--settings", std::string(folder) + "/none.cfg", "--port", sim.SlavePath(),
                        "--state", "bios", "--yes", "--no-restart", "--clock-speed", "20", "load", image});
    std::remove(image.c_str());
    ::rmdir(folder.c_str());
    EXPECT_EQ(load.nExit, 0) << load.strErr;
    std::vector<std::string> lines;
    for (size_t start = 0; start < load.strOut.size();) {
        const size_t end = load.strOut.find('\n', start);
        ASSERT_NE(end, std::string::npos) << "unterminated line: " << load.strOut.substr(start);
        lines.push_back(load.strOut.substr(start, end - start));
        start = end + 1;
    }
    ASSERT_FALSE(lines.empty());
    for (const std::string& line : lines)
        EXPECT_TRUE(line.rfind("{\"event\":\"", 0) == 0 && line.back() == '}') << line;
    const std::string total = std::to_string(bytes.size());
    EXPECT_EQ(Count(load.strOut, "\"bytes\":" + total + ",\"total\":" + total), 1u) << load.strOut;
    EXPECT_EQ(Count(load.strOut, "{\"event\":\"message\",\"text\":\"Download complete.\"}"), 1u)
        << load.strOut;
    // The erase consent and the restart, answered as the options say.
    EXPECT_EQ(Count(load.strOut, "\"answer\":\"Yes\"}"), 1u) << load.strOut;
    EXPECT_EQ(Count(load.strOut, "\"answer\":\"No\"}"), 1u) << load.strOut;
    EXPECT_EQ(lines.back(), "{\"event\":\"result\",\"code\":0,\"load_result\":2}");
}

// One simulated USB controller (dxu-sim serving its HID socket) takes ten configuration downloads with
// the erase in a row, each from a new dravik-cli: a program that has closed the device must not take an
// answer meant for the one that opens it next.
TEST(CliExchange, TenConfigurationDownloadsInARowOverOneSimulatedUsbController) {
    const std::string folder = TestTempDir(); // the test's own
    const std::string page = std::string(folder) + "/logo.gif";
    const std::string socket = std::string(folder) + "/hid.sock";
    if (std::FILE* file = std::fopen(page.c_str(), "w")) {
        for (int line = 0; line < 400; ++line)
            std::fprintf(file, "<p>line %d</p>\n", line);
        std::fclose(file);
    }
    {
        CSimProcess sim({"--hid-socket", socket, "--receive-files", "--done-delay", "5"});
        ASSERT_TRUE(sim.IsReady());
        for (int run = 0; run < 10; ++run) {
            const CliResult result =
                RunCli({"--settings", std::string(folder) + "/none.cfg", "--clock-speed", "20",
                        "--hid-socket", socket, "--yes", "--state", "bios", "load", page});
            const std::string said = result.strOut + result.strErr;
            EXPECT_EQ(result.nExit, 0) << "download " << run << ": " << said;
            EXPECT_EQ(Count(said, "Error reading COM port."), 0u) << "download " << run << ": " << said;
            EXPECT_EQ(Count(said, "Download complete.  Controller must be reset."), 1u) << "download " << run;
        }
        EXPECT_EQ(sim.Stop(), 0);
    }
}

} // namespace
