// The simulated controller's flash over a real pseudo-terminal: a load programs address and data frames,
// the erase commands clear their ranges by state, programming without an erase is refused, and a PL01
// controller is re-armed for a second load.
#include "SimFlashTestSupport.h"
#include "sim/Simulator.h"

#include <gtest/gtest.h>

namespace {

const std::string kAck(1, '\x06');
const std::string kNak(1, '\x15');

class SimFlashTest : public ::testing::Test {
protected:
    void Start(const std::string& protocol = "PL01") {
        SimOptions options;
        options.strProtocol = protocol;
        options.nDoneDelayMs = 0;
        std::string error;
        ASSERT_TRUE(m_sim.Start(options, error)) << error;
        m_pLink = std::make_unique<CSimTestLink>(m_sim.SlavePath());
        ASSERT_TRUE(m_pLink->IsOpen());
    }
    CSimTestLink& Link() { return *m_pLink; }
    std::string Send(const std::vector<uint8_t>& frame) { return SimFlashSend(*m_pLink, frame); }
    std::string Command(const std::string& command) { return SimFlashCommand(*m_pLink, command); }

    CSimulator m_sim;
    std::unique_ptr<CSimTestLink> m_pLink;
};

TEST_F(SimFlashTest, AddressAndDataFramesProgramConsecutiveBytes) {
    Start();
    ASSERT_EQ(Command("+++0"), "OK\nDONE\n");
    ASSERT_EQ(Command("+++2"), "OK\nDONE\n");
    ASSERT_EQ(Command("+++4"), "OK\n");
    const std::vector<uint8_t> first = SimFlashPattern(252, 1);
    const std::vector<uint8_t> second = SimFlashPattern(10, 99);
    const std::vector<uint8_t> third = SimFlashPattern(5, 200);
    ASSERT_TRUE(Link().SetSpeed(B38400));
    EXPECT_EQ(Send(SimFlashAddressFrame(0x012345)), kAck);
    EXPECT_EQ(Send(SimTestFrame(first)), kAck);
    EXPECT_EQ(Send(SimTestFrame(second)), kAck);
    // Address bytes that are colons are address bytes all the same.
    EXPECT_EQ(Send(SimFlashAddressFrame(0x3A3A3A3A)), kAck);
    EXPECT_EQ(Send(SimTestFrame(third)), kAck);
    EXPECT_EQ(Send(SimFlashAddressFrame(0)), kAck);

    std::vector<uint8_t> joined = first;
    joined.insert(joined.end(), second.begin(), second.end());
    const SimFlashRuns expected{{0x012345, joined}, {0x3A3A3A3A, third}};
    EXPECT_EQ(m_sim.FlashRuns(), expected);
    const SimCounters counters = m_sim.Counters();
    EXPECT_EQ(counters.nLoads, 1u);
    EXPECT_EQ(counters.nLoadsClosed, 1u);
    EXPECT_EQ(counters.nErases, 2u);
    EXPECT_EQ(counters.nFlashBytes, 267u);
    EXPECT_EQ(counters.nFlashFaults, 0u);

    // After the closing frame the load is over: a frame is still acknowledged but programs nothing.
    EXPECT_EQ(Send(SimTestFrame(first)), kAck);
    EXPECT_EQ(m_sim.FlashRuns(), expected);
}

TEST_F(SimFlashTest, ProgrammingWithoutAnEraseIsRefused) {
    Start();
    const std::vector<uint8_t> data = SimFlashPattern(16, 3);
    ASSERT_EQ(Command("+++4"), "OK\n");
    EXPECT_EQ(Send(SimFlashAddressFrame(0x1000)), kAck);
    // The flash still holds the old software: refused, nothing programmed.
    EXPECT_EQ(Send(SimTestFrame(data)), kNak);
    EXPECT_TRUE(m_sim.FlashRuns().empty());
    EXPECT_EQ(m_sim.Counters().nFlashFaults, 1u);

    ASSERT_EQ(Command("+++0"), "OK\nDONE\n");
    ASSERT_EQ(Command("+++4"), "OK\n");
    EXPECT_EQ(Send(SimFlashAddressFrame(0x1000)), kAck);
    EXPECT_EQ(Send(SimTestFrame(data)), kAck);
    EXPECT_EQ(Send(SimFlashAddressFrame(0)), kAck);

    // A second load over the same bytes without a new erase.
    ASSERT_EQ(Command("+++4"), "OK\n");
    EXPECT_EQ(Send(SimFlashAddressFrame(0x1008)), kAck);
    EXPECT_EQ(Send(SimTestFrame(data)), kNak);
    // Beside them is still erased.
    EXPECT_EQ(Send(SimFlashAddressFrame(0x1010)), kAck);
    EXPECT_EQ(Send(SimTestFrame(data)), kAck);
    // A frame running over the end of the operating system's range into the application's.
    EXPECT_EQ(Send(SimFlashAddressFrame(0x0FFFF8)), kAck);
    EXPECT_EQ(Send(SimTestFrame(data)), kNak);
    // The application erase (+++1, the BIOS's second erase for the operating system) makes room there.
    ASSERT_EQ(Command("+++1"), "OK\nDONE\n");
    ASSERT_EQ(Command("+++4"), "OK\n");
    EXPECT_EQ(Send(SimFlashAddressFrame(0x0FFFF8)), kAck);
    EXPECT_EQ(Send(SimTestFrame(data)), kAck);

    const SimFlashRuns expected{{0x1000,
                                 [&] {
                                     std::vector<uint8_t> both = data;
                                     both.insert(both.end(), data.begin(), data.end());
                                     return both;
                                 }()},
                                {0x0FFFF8, data}};
    EXPECT_EQ(m_sim.FlashRuns(), expected);
    EXPECT_EQ(m_sim.Counters().nFlashFaults, 3u);

    // An erase takes away what it covers, and only that.
    ASSERT_EQ(Command("+++2"), "OK\nDONE\n");
    EXPECT_EQ(m_sim.FlashRuns(),
              (SimFlashRuns{{0x1000, expected.at(0x1000)}, {0x0FFFF8, SimFlashPattern(9, 3)}}));
}

TEST_F(SimFlashTest, BootstrapRangesAndFramesWithoutAPlace) {
    Start("PL03");
    const std::vector<uint8_t> data = SimFlashPattern(8, 5);
    ASSERT_EQ(Command("+++0"), "OK\nDONE\n");
    ASSERT_EQ(Command("+++4"), "OK\n");
    // Data before any address: taken, not programmed.
    EXPECT_EQ(Send(SimTestFrame(data)), kAck);
    EXPECT_EQ(m_sim.Counters().nUnaddressedBytes, 8u);
    // The bootstrap's own area and the communication board's are not erased by +++0.
    EXPECT_EQ(Send(SimFlashAddressFrame(0x00F000)), kAck);
    EXPECT_EQ(Send(SimTestFrame(data)), kNak);
    EXPECT_EQ(Send(SimFlashAddressFrame(0x1D0000)), kAck);
    EXPECT_EQ(Send(SimTestFrame(data)), kNak);
    EXPECT_EQ(Send(SimFlashAddressFrame(0x010000)), kAck);
    EXPECT_EQ(Send(SimTestFrame(data)), kAck);
    EXPECT_EQ(Send(SimFlashAddressFrame(0x1CFFFC)), kAck);
    EXPECT_EQ(Send(SimTestFrame(data)), kNak); // runs into the communication board's range
    ASSERT_EQ(Command("+++A"), "OK\nDONE\n");
    EXPECT_EQ(Send(SimFlashAddressFrame(0x1D0000)), kAck);
    EXPECT_EQ(Send(SimTestFrame(data)), kAck);
    // An address frame that is not four bytes is taken, but leaves the load without a place for data.
    EXPECT_EQ(Send(SimTestFrame({'M', 'R', ':', 0x01, 0x00, 0x00, ':'})), kAck);
    EXPECT_EQ(Send(SimTestFrame(data)), kNak);
    EXPECT_EQ(m_sim.FlashRuns(), (SimFlashRuns{{0x010000, data}, {0x1D0000, data}}));
    EXPECT_EQ(m_sim.Counters().nFlashFaults, 4u);
    // A good address frame gives data its place again.
    EXPECT_EQ(Send(SimFlashAddressFrame(0x010008)), kAck);
    EXPECT_EQ(Send(SimTestFrame(data)), kAck);
    std::vector<uint8_t> twice = data;
    twice.insert(twice.end(), data.begin(), data.end());
    EXPECT_EQ(m_sim.FlashRuns(), (SimFlashRuns{{0x010000, twice}, {0x1D0000, data}}));
}

TEST_F(SimFlashTest, StagedLoadOfAPl01ControllerAndAnImageAtAddressZero) {
    Start();
    const std::vector<uint8_t> low = SimFlashPattern(300, 11);
    const std::vector<uint8_t> high = SimFlashPattern(40, 22);
    ASSERT_EQ(Command("+++0"), "OK\nDONE\n");
    ASSERT_EQ(Command("+++1"), "OK\nDONE\n");
    ASSERT_EQ(Command("+++4"), "OK\n");
    // An image whose first record is the address 0: before any data a zero address is an address.
    EXPECT_EQ(Send(SimFlashAddressFrame(0)), kAck);
    EXPECT_EQ(Send(SimTestFrame(std::vector<uint8_t>(low.begin(), low.begin() + 252))), kAck);
    EXPECT_EQ(Send(SimTestFrame(std::vector<uint8_t>(low.begin() + 252, low.end()))), kAck);
    // The staged step: closing frame, the load command again, then the second part.
    EXPECT_EQ(Send(SimFlashAddressFrame(0)), kAck);
    EXPECT_EQ(Send(SimTestFrame(high)), kAck); // between the loads: not programmed
    ASSERT_EQ(Command("+++4"), "OK\n");
    EXPECT_EQ(Send(SimFlashAddressFrame(0x1E0000)), kAck);
    EXPECT_EQ(Send(SimTestFrame(high)), kAck);
    EXPECT_EQ(Send(SimFlashAddressFrame(0)), kAck);

    EXPECT_EQ(m_sim.FlashRuns(), (SimFlashRuns{{0, low}, {0x1E0000, high}}));
    const SimCounters counters = m_sim.Counters();
    EXPECT_EQ(counters.nLoads, 2u);
    EXPECT_EQ(counters.nLoadsClosed, 2u);
    EXPECT_EQ(counters.nFlashFaults, 0u);
    // A reset ends no programming that happened: the flash keeps it.
    m_sim.Reset();
    EXPECT_EQ(Link().Read(1), "\x07");
    EXPECT_EQ(m_sim.FlashRuns().size(), 2u);
}

} // namespace
