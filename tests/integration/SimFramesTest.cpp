// The simulator's frame reception: checksums, the two frame forms, acknowledges, line speed refusal.
#include "SimTestLink.h"
#include "platform/Clock.h"
#include "sim/SimController.h"
#include "sim/Simulator.h"

#include <gtest/gtest.h>

namespace {

const std::string kAck(1, '\x06');
const std::string kNak(1, '\x15');

} // namespace

TEST(SimFrames, GoodFramesAreAcknowledgedAndBadChecksumsRefused) {
    CSimulator sim;
    std::string error;
    ASSERT_TRUE(sim.Start(SimOptions{}, error)) << error;
    CSimTestLink link(sim.SlavePath());

    // A plain frame of three bytes and an empty MR frame, with their known checksums.
    link.Write(std::vector<uint8_t>{0x02, 0x03, 0x10, 0x20, 0x30, 0x01});
    EXPECT_EQ(link.Read(1), kAck);
    link.Write(std::vector<uint8_t>{0x02, 0x04, 0x4D, 0x52, 0x3A, 0x3A, 0x19});
    EXPECT_EQ(link.Read(1), kAck);
    // The same MR frame with one checksum bit wrong.
    link.Write(std::vector<uint8_t>{0x02, 0x04, 0x4D, 0x52, 0x3A, 0x3A, 0x18});
    EXPECT_EQ(link.Read(1), kNak);
    // A full-length frame whose payload holds a probe and an STX: all of it is frame data.
    std::vector<uint8_t> payload(255, 0x2B);
    payload[3] = 'D';
    payload[10] = 0x02;
    const std::vector<uint8_t> longFrame = SimTestFrame(payload);
    // Split across writes, as a slow line would deliver it.
    link.Write(std::vector<uint8_t>(longFrame.begin(), longFrame.begin() + 100));
    link.Write(std::vector<uint8_t>(longFrame.begin() + 100, longFrame.end()));
    link.WriteBytewise("+++C");
    EXPECT_EQ(link.Read(6), kAck + "V2.3\n");
    // An MR frame with four address bytes.
    link.Write(SimTestFrame({'M', 'R', ':', 0x00, 0x10, 0x00, 0x00, ':'}));
    EXPECT_EQ(link.Read(1), kAck);

    const std::vector<SimFrame> frames = sim.Frames();
    ASSERT_EQ(frames.size(), 5u);
    EXPECT_EQ(frames[0].data, (std::vector<uint8_t>{0x10, 0x20, 0x30}));
    EXPECT_FALSE(frames[0].bMr);
    EXPECT_TRUE(frames[1].bMr);
    EXPECT_TRUE(frames[1].data.empty());
    EXPECT_FALSE(frames[2].bAccepted);
    EXPECT_EQ(frames[3].data, payload);
    EXPECT_TRUE(frames[4].bMr);
    EXPECT_EQ(frames[4].data, (std::vector<uint8_t>{0x00, 0x10, 0x00, 0x00}));
    const SimCounters counters = sim.Counters();
    EXPECT_EQ(counters.nFrames, 5u);
    EXPECT_EQ(counters.nFramesAcked, 4u);
    EXPECT_EQ(counters.nFramesRefused, 1u);
    EXPECT_EQ(counters.nProbes, 1u);
}

TEST(SimFrames, FramesAtTheWrongLineSpeedGetNoAnswer) {
    SimOptions options;
    options.nExpectFrameSpeed = 38400;
    CSimulator sim;
    std::string error;
    ASSERT_TRUE(sim.Start(options, error)) << error;
    CSimTestLink link(sim.SlavePath(), B19200);

    const std::vector<uint8_t> frame = SimTestFrame({1, 2, 3, 4});
    link.Write(frame);
    // Nothing for the frame: the probe's answer is the first thing to come.
    link.WriteBytewise("+++D");
    EXPECT_EQ(link.Read(5), "PL01\n");

    ASSERT_TRUE(link.SetSpeed(B38400));
    link.Write(frame);
    EXPECT_EQ(link.Read(1), kAck);

    const SimCounters counters = sim.Counters();
    EXPECT_EQ(counters.nFramesRefused, 1u);
    EXPECT_EQ(counters.nFramesAcked, 1u);
    const std::vector<SimFrame> frames = sim.Frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].nSpeed, 19200u);
    EXPECT_FALSE(frames[0].bAccepted);
    EXPECT_EQ(frames[1].nSpeed, 38400u);
    EXPECT_TRUE(frames[1].bAccepted);
}

TEST(SimFrames, AcknowledgeFaultsHitOnlyTheirFrame) {
    SimOptions options;
    options.faults = {
        {SimFaultKind::DropAck, 0, 1}, {SimFaultKind::WrongAck, 0, 2}, {SimFaultKind::IgnoreFrame, 0, 3}};
    CSimulator sim;
    std::string error;
    ASSERT_TRUE(sim.Start(options, error)) << error;
    CSimTestLink link(sim.SlavePath());

    const std::vector<uint8_t> frame = SimTestFrame({0xAA, 0x55});
    std::string replies;
    for (int i = 0; i < 4; ++i) {
        link.Write(frame);
        link.WriteBytewise("+++C");
        replies += link.Read(i == 1 || i == 3 ? 6 : 5);
    }
    EXPECT_EQ(replies, "V2.3\n" + std::string("\x86") + "V2.3\n" + "V2.3\n" + kAck + "V2.3\n");
    const SimCounters counters = sim.Counters();
    EXPECT_EQ(counters.nFrames, 4u);
    EXPECT_EQ(counters.nFramesAcked, 1u);
    // The ignored frame is not kept; the dropped and the wrongly acknowledged ones were taken.
    EXPECT_EQ(sim.Frames().size(), 3u);
}

TEST(SimFrames, AnUnfinishedFrameIsDroppedAfterASilence) {
    CClockSpeedScope fast(100.0);
    CSimulator sim;
    std::string error;
    ASSERT_TRUE(sim.Start(SimOptions{}, error)) << error;
    CSimTestLink link(sim.SlavePath());

    // Three bytes of a frame that promised five: the rest never comes.
    link.Write(std::vector<uint8_t>{0x02, 0x05, 0x01});
    ASSERT_TRUE(WaitUntil([&] { return sim.Counters().nFramesIncomplete == 1; }));
    // Commands are heard again, not swallowed as frame bytes.
    link.WriteBytewise("+++D");
    EXPECT_EQ(link.Read(5), "PL01\n");
    EXPECT_EQ(sim.Counters().nFrames, 0u);
}
