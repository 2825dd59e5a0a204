// dravik-cli as outside scripts use it: against the dxu-sim program on a pseudo-terminal, with the
// messages on standard error and the exit codes of its contract.
#include "support/SimProcess.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct CliResult {
    int nExit = -1;
    std::string strErr;
    std::string strOut;
};

std::string ReadWhole(const char* path) {
    std::string text;
    if (std::FILE* file = std::fopen(path, "r")) {
        std::array<char, 256> buffer{};
        size_t n = 0;
        while ((n = std::fread(buffer.data(), 1, buffer.size(), file)) > 0)
            text.append(buffer.data(), n);
        std::fclose(file);
    }
    return text;
}

// Runs dravik-cli with the arguments, started without a shell, standard input empty.
CliResult RunCli(const std::vector<std::string>& args) {
    char outPath[] = "/tmp/dravik-cli-out-XXXXXX";
    char errPath[] = "/tmp/dravik-cli-err-XXXXXX";
    ::close(::mkstemp(outPath));
    ::close(::mkstemp(errPath));
    std::vector<std::string> argv{DRAVIK_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (auto& arg : argv)
        pointers.push_back(arg.data());
    pointers.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath, O_WRONLY | O_TRUNC, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errPath, O_WRONLY | O_TRUNC, 0);
    CliResult result;
    pid_t pid = -1;
    if (::posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, pointers.data(), environ) == 0) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        result.nExit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    result.strOut = ReadWhole(outPath);
    result.strErr = ReadWhole(errPath);
    std::remove(outPath);
    std::remove(errPath);
    return result;
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
    const std::string settings = "/tmp/dravik-cli-test-settings.cfg";
    std::remove(settings.c_str());

    auto probe = RunCli({"--settings", settings, "--port", sim.SlavePath(), "probe"});
    EXPECT_EQ(probe.nExit, 0) << probe.strErr;
    EXPECT_NE(probe.strErr.find("Protocol: PL03"), std::string::npos) << probe.strErr;
    EXPECT_NE(probe.strErr.find("Version: V2.1"), std::string::npos) << probe.strErr;

    auto erase = RunCli({"--settings", settings, "--port", sim.SlavePath(), "command", "2"});
    EXPECT_EQ(erase.nExit, 0) << erase.strErr;
    // The port given on the command line is for this run only: no settings file appears.
    EXPECT_NE(::access(settings.c_str(), F_OK), 0);
}

TEST(CliExchange, RefusedCommandShowsItsMessageOnceAndFails) {
    CSimProcess sim({"--fault", "error-always:0"});
    ASSERT_TRUE(sim.IsReady());
    auto result = RunCli({"--settings", "/tmp/dravik-cli-none.cfg", "--port", sim.SlavePath(), "command", "2"});
    EXPECT_EQ(result.nExit, 1);
    EXPECT_EQ(Count(result.strErr, "Slave responded with ERROR.\n"), 1u) << result.strErr;
}

TEST(CliExchange, MissingPortAndUsageErrors) {
    auto missing = RunCli({"--settings", "/tmp/dravik-cli-none.cfg", "--port", "/dev/no-such-port", "probe"});
    EXPECT_EQ(missing.nExit, 1);
    // The status bar's texts come first, as the window would show them, then the one message.
    EXPECT_EQ(missing.strErr, "Terminal mode off.\n/dev/no-such-port\nError opening specified COM port.\n");

    EXPECT_EQ(RunCli({}).nExit, 64);
    EXPECT_EQ(RunCli({"--bogus", "probe"}).nExit, 64);
    EXPECT_EQ(RunCli({"--state", "run", "probe"}).nExit, 64);
    EXPECT_EQ(RunCli({"command", "99"}).nExit, 64);
    EXPECT_EQ(RunCli({"frobnicate"}).nExit, 64);
    auto help = RunCli({"--help"});
    EXPECT_EQ(help.nExit, 0);
    EXPECT_NE(help.strOut.find("COMMANDS"), std::string::npos);
}

} // namespace
