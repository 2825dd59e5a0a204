// The simulator's injected answer faults.
#include "SimTestLink.h"
#include "sim/Simulator.h"
#include "support/TempFolder.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

SimOptions WithFaults(std::vector<SimFault> faults) {
    SimOptions options;
    options.nDoneDelayMs = 20;
    options.faults = std::move(faults);
    return options;
}

} // namespace

TEST(SimFaults, LetterFaultsChangeOnlyTheirCommand) {
    CSimulator sim;
    std::string error;
    ASSERT_TRUE(sim.Start(WithFaults({{SimFaultKind::ErrorOnce, '0', 0},
                                      {SimFaultKind::ErrorAlways, '5', 0},
                                      {SimFaultKind::FailDone, 'A', 0},
                                      {SimFaultKind::NoAnswer, 'E', 0},
                                      {SimFaultKind::NoAnswer, 'D', 0}}),
                          error))
        << error;
    CSimTestLink link(sim.SlavePath());

    link.WriteBytewise("+++0");
    EXPECT_EQ(link.Read(6), "ERROR\n");
    link.WriteBytewise("+++0");
    EXPECT_EQ(link.Read(8), "OK\nDONE\n");
    for (int i = 0; i < 2; ++i) {
        link.WriteBytewise("+++5");
        EXPECT_EQ(link.Read(6), "ERROR\n");
    }
    link.WriteBytewise("+++A");
    EXPECT_EQ(link.Read(9), "OK\nERROR\n");
    link.WriteBytewise("+++E");
    link.WriteBytewise("+++D");
    link.WriteBytewise("+++F");
    EXPECT_EQ(link.Read(3), "OK\n");
    // Unfaulted letters are still served.
    link.WriteBytewise("+++B");
    EXPECT_EQ(link.Read(8), "OK\nDONE\n");
}

TEST(SimFaults, CrlfEndsEveryAnswerLineWithCrLf) {
    CSimulator sim;
    std::string error;
    ASSERT_TRUE(sim.Start(WithFaults({{SimFaultKind::Crlf, 0, 0}}), error)) << error;
    CSimTestLink link(sim.SlavePath());

    link.WriteBytewise("+++2");
    EXPECT_EQ(link.Read(10), "OK\r\nDONE\r\n");
    link.WriteBytewise("+++D");
    EXPECT_EQ(link.Read(6), "PL01\r\n");
}

TEST(SimFaults, GarbageAnswersNoiseThatNoAnswerMatches) {
    CSimulator sim;
    std::string error;
    ASSERT_TRUE(sim.Start(WithFaults({{SimFaultKind::Garbage, 0, 0}}), error)) << error;
    CSimTestLink link(sim.SlavePath());

    for (const char* command : {"+++4", "+++D", "+++C"}) {
        link.WriteBytewise(command);
        const std::string line = link.Read(8);
        ASSERT_EQ(line.size(), 8u) << command;
        EXPECT_EQ(line.back(), '\n');
        EXPECT_EQ(line.find('\n'), 7u);
        EXPECT_TRUE(line[0] != 'P' && line[0] != 'V' && line[0] != 'T') << command;
        EXPECT_NE(line.substr(0, 2), "OK");
    }
    // Frames are still acknowledged.
    link.Write(SimTestFrame({7}));
    EXPECT_EQ(link.Read(1), std::string(1, '\x06'));
}

TEST(SimFaults, SilentSendsNothingAtAll) {
    std::string dir = TestTempDir() + "/dxu-sim-test-XXXXXX";
    ASSERT_NE(::mkdtemp(dir.data()), nullptr);
    const std::string tracePath = std::string(dir) + "/trace.jsonl";
    SimOptions options = WithFaults({{SimFaultKind::Silent, 0, 0}});
    options.strTracePath = tracePath;
    CSimulator sim;
    std::string error;
    ASSERT_TRUE(sim.Start(options, error)) << error;
    CSimTestLink link(sim.SlavePath());

    link.WriteBytewise("+++D");
    link.WriteBytewise("+++0");
    link.Write(SimTestFrame({1, 2}));
    sim.Reset();
    ASSERT_TRUE(WaitUntil([&] {
        const SimCounters counters = sim.Counters();
        return counters.nFrames == 1 && counters.nResets == 1;
    }));
    sim.Stop();
    // Everything was received and decided on, and no element went out: the trace has no tx line.
    std::ifstream trace(tracePath);
    std::string line;
    int rxLines = 0;
    while (std::getline(trace, line)) {
        EXPECT_EQ(line.find("\"direction\":\"tx\""), std::string::npos) << line;
        rxLines += line.find("\"direction\":\"rx\"") != std::string::npos;
    }
    EXPECT_EQ(rxLines, 3);
    EXPECT_EQ(link.Read(1, std::chrono::milliseconds(0)), "");
    ::unlink(tracePath.c_str());
    ::rmdir(dir.c_str());
}
