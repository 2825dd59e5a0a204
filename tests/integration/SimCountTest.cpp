// dxu-sim --count: several controllers in one simulator, each on its own pseudo-terminal with its own
// faults and files; the hang-up fault closes one controller's line in the middle of a load.
#include "SimFlashTestSupport.h"
#include "support/SimProcess.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <set>

namespace {

const std::string kAck(1, '\x06');

TEST(SimCount, ControllersSideBySideEachWithItsFaultsAndDump) {
    CSimFlashTempDir dir;
    const std::string dump = dir.File("flash.srec");
    CSimProcess sim({"--count", "3", "--done-delay", "0", "--flash-dump", dump, "--fault-on", "2:hang-up:2",
                     "--fault-on", "3:error-always:0"},
                    3);
    ASSERT_EQ(sim.SlavePaths().size(), 3u);
    EXPECT_EQ(std::set<std::string>(sim.SlavePaths().begin(), sim.SlavePaths().end()).size(), 3u);

    CSimTestLink first(sim.SlavePaths()[0]);
    CSimTestLink second(sim.SlavePaths()[1]);
    CSimTestLink third(sim.SlavePaths()[2]);
    EXPECT_EQ(SimFlashCommand(first, "+++0"), "OK\nDONE\n");
    third.WriteBytewise("+++0");
    EXPECT_EQ(third.Read(6), "ERROR\n") << "only the third refuses its erase";
    EXPECT_EQ(SimFlashCommand(second, "+++0"), "OK\nDONE\n");

    ASSERT_EQ(SimFlashCommand(first, "+++4"), "OK\n");
    EXPECT_EQ(SimFlashSend(first, SimFlashAddressFrame(0x010000)), kAck);
    EXPECT_EQ(SimFlashSend(first, SimTestFrame({1, 2, 3})), kAck);

    ASSERT_EQ(SimFlashCommand(second, "+++4"), "OK\n");
    EXPECT_EQ(SimFlashSend(second, SimFlashAddressFrame(0x010000)), kAck);
    EXPECT_EQ(SimFlashSend(second, SimTestFrame({9})), "") << "frame 2 finds the line gone";
    // The program's side of the line reports the hang-up, as a pulled cable does.
    pollfd pfd{second.Fd(), POLLIN, 0};
    ASSERT_EQ(::poll(&pfd, 1, 5000), 1);
    EXPECT_NE(pfd.revents & POLLHUP, 0);
    // The others go on.
    EXPECT_EQ(SimFlashSend(first, SimTestFrame({4})), kAck);
    EXPECT_EQ(sim.Stop(), 0);

    const std::vector<uint8_t> firstDump = SimFlashReadFile(dir.File("flash-1.srec"));
    EXPECT_NE(std::string(firstDump.begin(), firstDump.end()).find("S3"), std::string::npos);
    EXPECT_FALSE(SimFlashReadFile(dir.File("flash-3.srec")).empty()) << "each controller writes its own dump";
    EXPECT_TRUE(SimFlashReadFile(dump).empty()) << "no dump under the shared name";
}

TEST(SimCount, BadCountsAndControllersAreRefused) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--count", "0"},
                                               {"--count", "65"},
                                               {"--count", "2", "--fault-on", "3:silent"},
                                               {"--fault-on", "1:nonsense"},
                                               {"--fault-on", "x:silent"},
                                               {"--fault", "hang-up"}}) {
        std::vector<std::string> argv{DXU_SIM_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        EXPECT_EQ(RunProgram(argv), 2) << args[0] << " " << args[1];
    }
}

} // namespace
