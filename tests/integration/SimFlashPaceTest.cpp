// Pacing: with --pace the simulator takes each received byte only after its time on the line (10 bits at
// the speed the program set), so a frame is acknowledged no sooner than a real line could deliver it.
#include "SimFlashTestSupport.h"
#include "sim/SimLinePacer.h"
#include "sim/Simulator.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono;

TEST(SimFlashPace, ByteTimesFollowTheLineSpeed) {
    EXPECT_EQ(CSimLinePacer::ByteTime(38400).count(), 260416); // 10 / 38400 s
    EXPECT_EQ(CSimLinePacer::ByteTime(19200).count(), 520833);
    EXPECT_EQ(CSimLinePacer::ByteTime(0).count(), 0);

    // Bytes queue behind each other; a pause lets the line go idle; speeds are not mixed in one take. The
    // pacer wakes at the end of an arrival, or after a time slice of a long one.
    CSimLinePacer pacer;
    const auto start = CSimLinePacer::Clock::now();
    const uint8_t bytes[4] = {1, 2, 3, 4};
    pacer.Arrive(bytes, 3, 38400, start);
    EXPECT_EQ(*pacer.NextDue() - start, nanoseconds(3 * 260416));
    std::vector<uint8_t> taken;
    unsigned speed = 0;
    EXPECT_FALSE(pacer.TakeDue(start + nanoseconds(260415), taken, speed));
    ASSERT_TRUE(pacer.TakeDue(start + nanoseconds(2 * 260416), taken, speed));
    EXPECT_EQ(taken, (std::vector<uint8_t>{1, 2}));
    EXPECT_EQ(speed, 38400u);
    pacer.Arrive(bytes + 3, 1, 19200, start + nanoseconds(1000));
    ASSERT_TRUE(pacer.TakeDue(start + seconds(1), taken, speed));
    EXPECT_EQ(taken, (std::vector<uint8_t>{3}));
    ASSERT_TRUE(pacer.TakeDue(start + seconds(1), taken, speed));
    EXPECT_EQ(taken, (std::vector<uint8_t>{4}));
    EXPECT_EQ(speed, 19200u);
    EXPECT_FALSE(pacer.NextDue().has_value());
    EXPECT_EQ(pacer.TotalWireTime(), nanoseconds(3 * 260416 + 520833));
    // After a pause the next byte counts from its own arrival.
    const auto later = start + seconds(5);
    pacer.Arrive(bytes, 1, 38400, later);
    EXPECT_EQ(*pacer.NextDue() - later, nanoseconds(260416));
    const std::vector<uint8_t> frame(100, 0x55); // 26 ms on the line
    pacer.Arrive(frame.data(), frame.size(), 38400, later);
    ASSERT_TRUE(pacer.TakeDue(later + seconds(1), taken, speed));
    pacer.Arrive(frame.data(), frame.size(), 38400, later + seconds(1));
    EXPECT_EQ(*pacer.NextDue() - (later + seconds(1)), nanoseconds(260416) + CSimLinePacer::kSlice);
}

TEST(SimFlashPace, FramesAreAcknowledgedAfterTheirLineTime) {
    SimOptions options;
    options.bPace = true;
    CSimulator sim;
    std::string error;
    ASSERT_TRUE(sim.Start(options, error)) << error;
    CSimTestLink link(sim.SlavePath(), B38400);
    ASSERT_TRUE(link.IsOpen());

    // Four full frames at once: 4 x 258 bytes, 268.75 ms on a 38400 baud line.
    std::vector<uint8_t> frames;
    for (int i = 0; i < 4; ++i) {
        const std::vector<uint8_t> frame = SimTestFrame(SimFlashPattern(255, static_cast<uint8_t>(i)));
        frames.insert(frames.end(), frame.begin(), frame.end());
    }
    const auto sent = steady_clock::now();
    link.Write(frames);
    EXPECT_EQ(link.Read(4), std::string(4, '\x06'));
    const auto elapsed = steady_clock::now() - sent;

    EXPECT_EQ(sim.PacedBytes(), frames.size());
    const nanoseconds wire = sim.PacedWireTime();
    EXPECT_NEAR(duration<double>(wire).count(), frames.size() * 10.0 / 38400, 1e-5);
    // The last acknowledge cannot come before the last byte's time on the line.
    EXPECT_GE(elapsed, wire - milliseconds(2));
    EXPECT_EQ(sim.Counters().nFramesAcked, 4u);
}

} // namespace
