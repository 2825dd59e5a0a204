// The simulator's reset: BEL, and ESC within the window holds the bootstrap (PL03).
#include "SimTestLink.h"
#include "sim/Simulator.h"

#include <gtest/gtest.h>

TEST(SimReset, UnansweredProbeLeadsToBelAndEscHoldsTheBootstrap) {
    SimOptions options;
    options.strProtocol.clear();
    options.nResetAfterMs = 100;
    CSimulator sim;
    std::string error;
    ASSERT_TRUE(sim.Start(options, error)) << error;
    CSimTestLink link(sim.SlavePath());

    // The application does not answer the protocol probe, but the version probe.
    link.WriteBytewise("+++D");
    link.WriteBytewise("+++C");
    EXPECT_EQ(link.Read(5), "V2.3\n");
    EXPECT_EQ(link.Read(1), "\x07");
    link.Write("\x1b");
    link.WriteBytewise("+++D");
    EXPECT_EQ(link.Read(5), "PL03\n");

    const SimCounters counters = sim.Counters();
    EXPECT_EQ(counters.nResets, 1u);
    EXPECT_EQ(counters.nEscHeld, 1u);
    EXPECT_TRUE(counters.bBootstrap);
}

TEST(SimReset, WithoutEscTheApplicationRunsAgain) {
    SimOptions options;
    options.nEscWindowMs = 100;
    CSimulator sim;
    std::string error;
    ASSERT_TRUE(sim.Start(options, error)) << error;
    CSimTestLink link(sim.SlavePath());

    // An ESC outside a reset window changes nothing.
    link.Write("\x1b");
    link.WriteBytewise("+++D");
    EXPECT_EQ(link.Read(5), "PL01\n");

    sim.Reset();
    EXPECT_EQ(link.Read(1), "\x07");
    ASSERT_TRUE(WaitUntil([&] { return sim.Counters().nEscWindowsMissed == 1; }));
    link.Write("\x1b");
    link.WriteBytewise("+++D");
    EXPECT_EQ(link.Read(5), "PL01\n");

    // A second reset, this time with ESC in time.
    sim.Reset();
    EXPECT_EQ(link.Read(1), "\x07");
    link.Write("\x1b");
    link.WriteBytewise("+++D");
    EXPECT_EQ(link.Read(5), "PL03\n");
    EXPECT_EQ(sim.Counters().nEscHeld, 1u);
}
