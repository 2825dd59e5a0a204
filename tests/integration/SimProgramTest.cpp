// The dxu-sim program itself: its pseudo-terminal line, control socket, trace file and clean exit.
#include "SimFlashTestSupport.h"
#include "SimTestLink.h"
#include "support/SimProcess.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

TEST(SimProgram, ControlSocketResetsCountsAndQuits) {
    CSimFlashTempDir dir;
    const std::string control = dir.File("control");
    CSimProcess sim({"--protocol", "none", "--control", control});
    ASSERT_TRUE(sim.IsReady());
    CSimTestLink link(sim.SlavePath());
    ASSERT_TRUE(link.IsOpen());
    CSimFlashControl client(control);
    ASSERT_TRUE(client.IsConnected());

    EXPECT_EQ(client.Ask("reset"), "ok");
    EXPECT_EQ(link.Read(1), "\x07");
    link.Write("\x1b");
    link.WriteBytewise("+++D");
    EXPECT_EQ(link.Read(5), "PL03\n");
    EXPECT_EQ(client.Ask("counters"),
              "commands=0 probes=1 frames=0 acked=0 refused=0 resets=1 esc=1 bootstrap=1 speeds=19200");
    EXPECT_EQ(client.Ask("jump"), "error unknown command: jump");
    EXPECT_EQ(client.Ask("quit"), "ok");
    EXPECT_EQ(sim.WaitForExit(std::chrono::seconds(5)), 0);
    // The socket file goes with the program.
    EXPECT_NE(::access(control.c_str(), F_OK), 0);
}

TEST(SimProgram, TraceFileHasOneObjectPerElement) {
    CSimFlashTempDir dir;
    const std::string tracePath = dir.File("trace.jsonl");
    CSimProcess sim({"--trace", tracePath, "--expect-frame-speed", "38400", "--done-delay", "0"});
    ASSERT_TRUE(sim.IsReady());
    {
        CSimTestLink link(sim.SlavePath(), B19200);
        link.WriteBytewise("+++D");
        EXPECT_EQ(link.Read(5), "PL01\n");
        link.WriteBytewise("+++0");
        EXPECT_EQ(link.Read(8), "OK\nDONE\n");
        ASSERT_TRUE(link.SetSpeed(B38400));
        link.Write(std::vector<uint8_t>{0x02, 0x03, 0x10, 0x20, 0x30, 0x01});
        EXPECT_EQ(link.Read(1), "\x06");
        ASSERT_TRUE(link.SetSpeed(B19200));
        link.Write(std::vector<uint8_t>{0x02, 0x03, 0x10, 0x20, 0x30, 0x01});
        link.WriteBytewise("+++C");
        EXPECT_EQ(link.Read(5), "V2.3\n");
    }
    EXPECT_EQ(sim.Stop(), 0);

    std::ifstream trace(tracePath);
    std::vector<std::string> lines;
    for (std::string line; std::getline(trace, line);)
        lines.push_back(line);
    const std::regex shape(
        R"re(\{"time":(\d+),"direction":"(rx|tx)","speed":(\d+),"bytes":"([0-9a-f]*)","meaning":"([^"]*)"\})re");
    std::vector<std::string> elements;
    long lastTime = 0;
    for (const std::string& line : lines) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, shape)) << line;
        EXPECT_GE(std::stol(match[1]), lastTime);
        lastTime = std::stol(match[1]);
        elements.push_back(match[2].str() + " " + match[3].str() + " " + match[4].str() + " " +
                           match[5].str());
    }
    const std::vector<std::string> expected = {
        "rx 19200 2b2b2b44 probe D",
        "tx 19200 504c30310a answer PL01",
        "rx 19200 2b2b2b30 command +++0",
        "tx 19200 4f4b0a answer OK",
        "tx 19200 444f4e450a answer DONE, erased 0x0-0x100000",
        "rx 38400 020310203001 frame 1 len 3 ok",
        "tx 38400 06 ack",
        "rx 19200 020310203001 frame 2 len 3 refused: speed 19200, expected 38400",
        "rx 19200 2b2b2b43 probe C",
        "tx 19200 56322e330a answer V2.3",
    };
    EXPECT_EQ(elements, expected);
}

TEST(SimProgram, BadOptionsAreRefusedAndHelpSucceeds) {
    CSimProcess bad({"--fault", "drop-ack:0"});
    EXPECT_FALSE(bad.IsReady());
    EXPECT_EQ(bad.WaitForExit(std::chrono::seconds(5)), 2);
    CSimProcess version({"--version", "V2"});
    EXPECT_EQ(version.WaitForExit(std::chrono::seconds(5)), 2);
    CSimProcess help({"--help"});
    EXPECT_EQ(help.WaitForExit(std::chrono::seconds(5)), 0);
}

TEST(SimProgram, EndsCleanlyOnSigterm) {
    CSimProcess sim({});
    ASSERT_TRUE(sim.IsReady());
    CSimTestLink link(sim.SlavePath());
    link.WriteBytewise("+++D");
    EXPECT_EQ(link.Read(5), "PL01\n");
    EXPECT_EQ(sim.Stop(), 0);
}
