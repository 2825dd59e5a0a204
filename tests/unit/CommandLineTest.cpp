// The command lines of dravik-cli and dxu-sim: options before or after the command, both value forms,
// the short options, and the usage errors with the option they name.
#include "cli/CliOptions.h"
#include "sim/SimCommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<const char*> Argv(const char* program, const std::vector<std::string>& args) {
    std::vector<const char*> argv{program};
    for (const std::string& arg : args)
        argv.push_back(arg.c_str());
    return argv;
}

struct CliRow {
    std::vector<std::string> args;
    std::string strCommand;             // the command expected
    std::vector<std::string> arguments; // its arguments
    std::string strPort;
    bool bYes;
    bool bJson;
    int nState;
    bool bHelp;
    bool bVersion;
};

TEST(CommandLine, DravikCliOptionsAnywhereInEitherForm) {
    const CliRow rows[] = {
        {{"--port", "COM2", "--yes", "load", "a.img"},
         "load",
         {"a.img"},
         "COM2",
         true,
         false,
         -1,
         false,
         false},
        {{"load", "a.img", "--port=COM2", "-y"}, "load", {"a.img"}, "COM2", true, false, -1, false, false},
        {{"-pCOM3", "erase", "--json", "lon", "--state=bios", "application"},
         "erase",
         {"lon", "application"},
         "COM3",
         false,
         true,
         1,
         false,
         false},
        {{"erase", "--state", "bootstrap", "config"}, "erase", {"config"}, "", false, false, 2, false, false},
        {{"convert", "--", "-odd.bin", "--x.img"},
         "convert",
         {"-odd.bin", "--x.img"},
         "",
         false,
         false,
         -1,
         false,
         false},
        {{"-h"}, "", {}, "", false, false, -1, true, false},
        {{"load", "-V"}, "load", {}, "", false, false, -1, false, true},
    };
    for (const CliRow& row : rows) {
        const std::vector<const char*> argv = Argv("dravik-cli", row.args);
        CliOptions options;
        std::string error;
        ASSERT_TRUE(ParseCliOptions(int(argv.size()), argv.data(), options, error)) << row.args[0] << error;
        EXPECT_EQ(options.strCommand, row.strCommand) << row.args[0];
        EXPECT_EQ(options.arguments, row.arguments) << row.args[0];
        EXPECT_EQ(options.strPort, row.strPort) << row.args[0];
        EXPECT_EQ(options.bYes, row.bYes) << row.args[0];
        EXPECT_EQ(options.bJson, row.bJson) << row.args[0];
        EXPECT_EQ(options.nState, row.nState) << row.args[0];
        EXPECT_EQ(options.bHelp, row.bHelp) << row.args[0];
        EXPECT_EQ(options.bVersion, row.bVersion) << row.args[0];
    }

    const std::pair<std::vector<std::string>, std::string> bad[] = {
        {{}, "no command given"},
        {{"--bogus", "probe"}, "--bogus"},
        {{"probe", "-x"}, "-x"},
        {{"probe", "--port"}, "--port needs a value"},
        {{"probe", "--yes=no"}, "--yes takes no value"},
        {{"--state", "run", "probe"}, "--state takes bios or bootstrap"},
        {{"--clock-speed=0.5", "probe"}, "--clock-speed takes a factor"},
    };
    for (const auto& [args, message] : bad) {
        const std::vector<const char*> argv = Argv("dravik-cli", args);
        CliOptions options;
        std::string error;
        EXPECT_FALSE(ParseCliOptions(int(argv.size()), argv.data(), options, error)) << message;
        EXPECT_NE(error.find(message), std::string::npos) << error;
    }
}

TEST(CommandLine, DravikCliHelpListsEveryExitCode) {
    const std::string help = CliHelpText();
    for (const SCliExitCode& row : CliExitCodes())
        EXPECT_NE(help.find(std::string("  ") + row.pszCode + " "), std::string::npos) << row.pszCode;
    for (const char* code : {"0", "1", "4", "14", "64"})
        EXPECT_NE(help.find(std::string("\n  ") + code), std::string::npos) << code;
}

TEST(CommandLine, DxuSimOneTableForSerialAndUsbOptions) {
    const std::vector<std::string> args{"--protocol=PL03",
                                        "--fault",
                                        "drop-ack:3",
                                        "--usb-devices=2",
                                        "--hid-socket",
                                        "/tmp/s",
                                        "--usb-restart",
                                        "accept",
                                        "--pace",
                                        "--receive-dir=/tmp/r",
                                        "--usb-refuse-open",
                                        "--done-delay",
                                        "7"};
    std::vector<const char*> argv = Argv("dxu-sim", args);
    SimCommandLine parsed;
    std::string error;
    ASSERT_TRUE(ParseSimCommandLine(int(argv.size()), argv.data(), parsed, error)) << error;
    EXPECT_EQ(parsed.sim.strProtocol, "PL03");
    ASSERT_EQ(parsed.sim.faults.size(), 1u);
    EXPECT_EQ(parsed.sim.faults[0].nFrame, 3u);
    EXPECT_TRUE(parsed.sim.bPace);
    EXPECT_TRUE(parsed.sim.bReceiveFiles);
    EXPECT_EQ(parsed.sim.strReceiveDir, "/tmp/r");
    EXPECT_EQ(parsed.sim.nDoneDelayMs, 7u);
    EXPECT_EQ(parsed.usb.strSocketPath, "/tmp/s");
    EXPECT_EQ(parsed.usb.nDevices, 2u);
    EXPECT_EQ(parsed.usb.device.eRestart, EUsbRestartMode::Accept);
    EXPECT_TRUE(parsed.usb.device.bRefuseOpen);
    EXPECT_FALSE(parsed.bHelp);

    const std::pair<std::vector<std::string>, std::string> bad[] = {
        {{"--protocol", "PL1"}, "bad value for --protocol: PL1"},
        {{"--usb-devices=3"}, "bad value for --usb-devices: 3"},
        {{"--fault", "drop-ack:0"}, "bad value for --fault"},
        {{"--usb-restart", "maybe"}, "bad value for --usb-restart"},
        {{"--trace"}, "--trace needs a value"},
        {{"--pace=1"}, "--pace takes no value"},
        {{"stray"}, "unexpected argument: stray"},
        {{"--nonsense"}, "--nonsense"},
    };
    for (const auto& [badArgs, message] : bad) {
        argv = Argv("dxu-sim", badArgs);
        SimCommandLine rejected;
        error.clear();
        EXPECT_FALSE(ParseSimCommandLine(int(argv.size()), argv.data(), rejected, error)) << badArgs[0];
        EXPECT_NE(error.find(message), std::string::npos) << error;
    }
    const std::vector<std::string> helpArgs{"-h"}; // argv points into it
    argv = Argv("dxu-sim", helpArgs);
    SimCommandLine help;
    EXPECT_TRUE(ParseSimCommandLine(int(argv.size()), argv.data(), help, error));
    EXPECT_TRUE(help.bHelp);
}

} // namespace
