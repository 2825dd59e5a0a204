// The simulator's answers to probes and commands, seen through a real pseudo-terminal.
#include "SimTestLink.h"
#include "sim/Simulator.h"

#include <gtest/gtest.h>

namespace {

struct StartedSim {
    explicit StartedSim(const SimOptions& options) { bStarted = sim.Start(options, error); }
    CSimulator sim;
    std::string error;
    bool bStarted = false;
};

SimOptions FastOptions() {
    SimOptions options;
    options.nDoneDelayMs = 20;
    return options;
}

} // namespace

TEST(SimAnswers, ProbesAnswerFourTextBytesAndOneMore) {
    StartedSim started(FastOptions());
    ASSERT_TRUE(started.bStarted) << started.error;
    CSimTestLink link(started.sim.SlavePath());
    ASSERT_TRUE(link.IsOpen());

    link.WriteBytewise("+++D");
    EXPECT_EQ(link.Read(5), "PL01\n");
    link.WriteBytewise("+++C");
    EXPECT_EQ(link.Read(5), "V2.3\n");
    EXPECT_EQ(started.sim.Counters().nProbes, 2u);
}

TEST(SimAnswers, ProtocolAndVersionTextsComeFromTheOptions) {
    SimOptions options = FastOptions();
    options.strProtocol = "PL02";
    options.strVersion = "T1.7";
    StartedSim started(options);
    ASSERT_TRUE(started.bStarted) << started.error;
    CSimTestLink link(started.sim.SlavePath());

    link.WriteBytewise("+++D");
    EXPECT_EQ(link.Read(5), "PL02\n");
    link.WriteBytewise("+++C");
    EXPECT_EQ(link.Read(5), "T1.7\n");
}

TEST(SimAnswers, EveryCommandAnswersOkAndTheEraseCommandsDoneAfterwards) {
    StartedSim started(FastOptions());
    ASSERT_TRUE(started.bStarted) << started.error;
    CSimTestLink link(started.sim.SlavePath());

    const std::string withDone = "0AB321";
    const std::string withoutDone = "457EFHGIJLK";
    for (char letter : withDone) {
        link.WriteBytewise(std::string("+++") + letter);
        EXPECT_EQ(link.Read(8), "OK\nDONE\n") << letter;
    }
    for (char letter : withoutDone) {
        link.WriteBytewise(std::string("+++") + letter);
        // The version probe right after shows that no DONE (or anything else) came between.
        link.WriteBytewise("+++C");
        EXPECT_EQ(link.Read(8), "OK\nV2.3\n") << letter;
    }
    EXPECT_EQ(started.sim.Counters().nCommands, withDone.size() + withoutDone.size());
}

TEST(SimAnswers, DoneWaitsForItsDelay) {
    SimOptions options;
    options.nDoneDelayMs = 60000;
    StartedSim started(options);
    ASSERT_TRUE(started.bStarted) << started.error;
    CSimTestLink link(started.sim.SlavePath());

    link.WriteBytewise("+++0");
    link.WriteBytewise("+++C");
    // OK at once, DONE not before a minute: the probe's answer overtakes it.
    EXPECT_EQ(link.Read(8), "OK\nV2.3\n");
}

TEST(SimAnswers, CommandsAreFoundAmidOtherBytesAndAcrossReads) {
    StartedSim started(FastOptions());
    ASSERT_TRUE(started.bStarted) << started.error;
    CSimTestLink link(started.sim.SlavePath());

    // Stray bytes, a broken-off "++", extra pluses and an unknown letter are not commands.
    link.Write("xy++z");
    link.Write("+++++");
    link.Write("D");
    EXPECT_EQ(link.Read(5), "PL01\n");
    link.WriteBytewise("+++Z+++C");
    EXPECT_EQ(link.Read(5), "V2.3\n");
    const SimCounters counters = started.sim.Counters();
    EXPECT_EQ(counters.nProbes, 2u);
    EXPECT_EQ(counters.nCommands, 0u);
}

TEST(SimAnswers, PortSurvivesTheProgramClosingAndReopeningIt) {
    StartedSim started(FastOptions());
    ASSERT_TRUE(started.bStarted) << started.error;
    {
        CSimTestLink first(started.sim.SlavePath());
        first.WriteBytewise("+++D");
        EXPECT_EQ(first.Read(5), "PL01\n");
    }
    CSimTestLink second(started.sim.SlavePath());
    ASSERT_TRUE(second.IsOpen());
    second.WriteBytewise("+++C");
    EXPECT_EQ(second.Read(5), "V2.3\n");
}

TEST(SimAnswers, LineSpeedsTheProgramSetAreSeen) {
    StartedSim started(FastOptions());
    ASSERT_TRUE(started.bStarted) << started.error;
    CSimTestLink link(started.sim.SlavePath(), B19200);
    link.WriteBytewise("+++D");
    EXPECT_EQ(link.Read(5), "PL01\n");
    ASSERT_TRUE(link.SetSpeed(B38400));
    link.WriteBytewise("+++D");
    EXPECT_EQ(link.Read(5), "PL01\n");
    EXPECT_EQ(started.sim.Counters().speedsSeen, (std::vector<unsigned>{19200, 38400}));
}
