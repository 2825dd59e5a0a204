// The link's command exchange against the simulated controller: probes, DONE-awaiting commands, frames
// with their acknowledges, and the controller's faults, which must end in the right message, never a hang.
#include "engine/link/LinkContext.h"
#include "engine/link/SerialHandler.h"
#include "platform/Clock.h"
#include "sim/Simulator.h"
#include "support/TestUserInterface.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class SimExchangeTest : public ::testing::Test {
protected:
    void Start(SimOptions options = {}) {
        options.nDoneDelayMs = 20;
        std::string error;
        ASSERT_TRUE(m_sim.Start(options, error)) << error;
        int result = -1;
        m_link =
            std::make_unique<CSerialHandler>(m_context, m_sim.SlavePath(), kSettingNormal, result, false);
        ASSERT_EQ(result, CSerialHandler::kOpenOk);
    }
    static SimFault Fault(SimFaultKind kind, char letter = 0, unsigned frame = 0) {
        SimFault fault;
        fault.nKind = kind;
        fault.cLetter = letter;
        fault.nFrame = frame;
        return fault;
    }

    CTestUserInterface m_ui;
    CLinkContext m_context{&m_ui};
    CSimulator m_sim;
    std::unique_ptr<CSerialHandler> m_link;
};

TEST_F(SimExchangeTest, ProbesReadProtocolAndVersion) {
    SimOptions options;
    options.strProtocol = "PL02";
    options.strVersion = "V3.1";
    Start(options);
    char protocol[5] = {};
    char version[5] = {};
    EXPECT_TRUE(m_link->EscapeD(protocol, 0));
    EXPECT_STREQ(protocol, "PL02");
    EXPECT_TRUE(m_link->EscapeC(version));
    EXPECT_STREQ(version, "V3.1");
    EXPECT_EQ(m_sim.Counters().nProbes, 2u);
}

TEST_F(SimExchangeTest, EveryCommandIsAnsweredAndDoneIsAwaited) {
    Start();
    for (int code = 1; code <= 17; ++code)
        EXPECT_TRUE(m_link->SendCommand(code)) << "code " << code;
    EXPECT_EQ(m_sim.Counters().nCommands, 17u);
    EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(SimExchangeTest, FailedCompletionShowsOneMessage) {
    SimOptions options;
    options.faults.push_back(Fault(SimFaultKind::FailDone, '0'));
    Start(options);
    EXPECT_FALSE(m_link->SendCommand(2));
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{"Slave failed to complete operation."});
    EXPECT_EQ(m_sim.Counters().nCommands, 2u);
    EXPECT_EQ(m_link->ReadTimeout(), 20000u);
}

TEST_F(SimExchangeTest, ErrorOnceIsRepeatedQuietly) {
    SimOptions options;
    options.faults.push_back(Fault(SimFaultKind::ErrorOnce, 'A'));
    Start(options);
    EXPECT_TRUE(m_link->SendCommand(3));
    EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(SimExchangeTest, BadAnswersEndInTheirMessageWithoutHanging) {
    struct Case {
        SimFaultKind nKind;
        std::string strMessage;
    } cases[] = {
        {SimFaultKind::Crlf, "Slave failed to respond."},
        {SimFaultKind::Garbage, "Slave failed to respond."},
        {SimFaultKind::Silent, "Slave failed to respond."},
        {SimFaultKind::ErrorAlways, "Slave responded with ERROR."},
        {SimFaultKind::NoAnswer, "Slave failed to respond."},
    };
    CClockSpeedScope fast(1000.0);
    for (const auto& c : cases) {
        CTestUserInterface ui;
        CLinkContext context(&ui);
        CSimulator sim;
        SimOptions options;
        options.faults.push_back(Fault(c.nKind, '2'));
        std::string error;
        ASSERT_TRUE(sim.Start(options, error)) << error;
        int result = -1;
        CSerialHandler link(context, sim.SlavePath(), kSettingNormal, result, false);
        ASSERT_EQ(result, CSerialHandler::kOpenOk);
        EXPECT_FALSE(link.SendCommand(8));
        EXPECT_EQ(ui.Messages(), std::vector<std::string>{c.strMessage}) << static_cast<int>(c.nKind);
    }
}

TEST_F(SimExchangeTest, FramesAreCheckedAndAcknowledged) {
    Start();
    const uint8_t data[] = {0x7E, 'M', 'R', 0x3A, 0x00, 0xFF};
    EXPECT_TRUE(m_link->SendBlock(data, sizeof data));
    EXPECT_TRUE(m_link->SendMRBlock(data, 4));
    const auto frames = m_sim.Frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_TRUE(frames[0].bChecksumOk);
    EXPECT_FALSE(frames[0].bMr);
    EXPECT_EQ(frames[0].data, std::vector<uint8_t>(data, data + sizeof data));
    EXPECT_TRUE(frames[1].bMr);
    EXPECT_EQ(frames[1].data, std::vector<uint8_t>(data, data + 4));
    EXPECT_EQ(frames[1].nSpeed, 19200u);
}

TEST_F(SimExchangeTest, LostAcknowledgeIsRetriedForAddressFramesOnly) {
    SimOptions options;
    options.faults.push_back(Fault(SimFaultKind::DropAck, 0, 1));
    options.faults.push_back(Fault(SimFaultKind::WrongAck, 0, 3));
    Start(options);
    CClockSpeedScope fast(100.0);
    ASSERT_TRUE(m_link->SetReadTimeout(1000));
    // Frame 1's acknowledge is lost: the MR frame goes again as frame 2 and is taken.
    EXPECT_TRUE(m_link->SendMRBlock(nullptr, 0));
    EXPECT_EQ(m_sim.Counters().nFrames, 2u);
    // Frame 3 is answered with the wrong byte: a plain frame is not retried.
    const uint8_t data[] = {1, 2, 3};
    EXPECT_FALSE(m_link->SendBlock(data, 3));
    EXPECT_EQ(m_sim.Counters().nFrames, 3u);
}

TEST_F(SimExchangeTest, FramesAtTheWrongSpeedAreRefused) {
    SimOptions options;
    options.nExpectFrameSpeed = 38400;
    Start(options);
    CClockSpeedScope fast(100.0);
    const uint8_t data[] = {9};
    EXPECT_FALSE(m_link->SendBlock(data, 1));
    ASSERT_TRUE(m_link->ChangeSetting(kSettingFast));
    EXPECT_TRUE(m_link->SendBlock(data, 1));
    const auto frames = m_sim.Frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].nSpeed, 19200u);
    EXPECT_EQ(frames[1].nSpeed, 38400u);
}

TEST_F(SimExchangeTest, ResetBellIsCaughtAndEscapeHoldsTheBootstrap) {
    SimOptions options;
    options.strProtocol.clear();   // an application runs: no protocol answer until held in the bootstrap
    options.nResetAfterMs = 10000; // well after the probe's 1 s read, while the program waits for BEL
    CClockSpeedScope fast(10.0);
    Start(options);
    char protocol[5] = {};
    EXPECT_FALSE(m_link->EscapeD(protocol, 0));
    ASSERT_TRUE(m_link->SetReadTimeout(30000));
    EXPECT_TRUE(m_link->WaitForByte(0x07));
    EXPECT_TRUE(m_link->WriteByte(0x1B));
    EXPECT_TRUE(m_link->EscapeD(protocol, 4));
    EXPECT_STREQ(protocol, "PL03");
    EXPECT_TRUE(m_sim.Counters().bBootstrap);
}

} // namespace
