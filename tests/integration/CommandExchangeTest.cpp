// The command exchange over a real pseudo-terminal, with the test playing the controller on the master
// side: exact bytes on the wire, answer framing, the two attempts and their one message, time-outs.
#include "engine/link/LinkContext.h"
#include "engine/link/SerialHandler.h"
#include "platform/Clock.h"
#include "support/PtyPair.h"
#include "support/TestUserInterface.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

using namespace std::chrono_literals;

namespace {

std::vector<uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

class CommandExchangeTest : public ::testing::Test {
protected:
    void SetUp() override {
        int result = -1;
        m_link =
            std::make_unique<CSerialHandler>(m_context, m_pty.SlavePath(), kSettingNormal, result, false);
        ASSERT_EQ(result, CSerialHandler::kOpenOk);
    }

    // Everything the program put on the wire so far.
    std::vector<uint8_t> Wire(size_t expected) { return m_pty.ReadMaster(expected, 2000ms); }

    CClockSpeedScope m_fast{1000.0}; // answers come at once; a time-out that runs out takes half a second
    CTestUserInterface m_ui;
    CLinkContext m_context{&m_ui};
    CPtyPair m_pty;
    std::unique_ptr<CSerialHandler> m_link;
};

TEST_F(CommandExchangeTest, AnswerLinesAreFramedByLineFeedAlone) {
    struct Case {
        std::string strLine;
        int nCode;
    } cases[] = {
        {"OK\n", kAnswerOk},      {"DONE\n", kAnswerDone},   {"ERROR\n", kAnswerError},
        {"OK\r\n", kAnswerOther}, {"OKAY\n", kAnswerOther},  {"\n", kAnswerOther},
        {"ok\n", kAnswerOther},   {"DONE \n", kAnswerOther}, {std::string("OK\0X\n", 5), kAnswerOther},
    };
    for (const auto& c : cases) {
        m_pty.WriteMaster(c.strLine);
        EXPECT_EQ(m_link->ReadAnswer(), c.nCode) << "line " << ::testing::PrintToString(c.strLine);
    }
    EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(CommandExchangeTest, TenCharactersWithoutLineFeedEndTheAnswerAndLeaveTheRest) {
    m_pty.WriteMaster("0123456789ABC\n");
    EXPECT_EQ(m_link->ReadAnswer(), kAnswerOther);
    // The rest of the line is still unread.
    uint8_t rest[4] = {};
    size_t got = 0;
    ASSERT_TRUE(m_link->Read(rest, 4, got));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(rest), got), "ABC\n");
}

TEST_F(CommandExchangeTest, NoAnswerIsCodeFiveWithoutMessage) {
    ASSERT_TRUE(m_link->SetReadTimeout(1000));
    EXPECT_EQ(m_link->ReadAnswer(), kAnswerNothing);
    EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(CommandExchangeTest, CommandsSendPrefixAndLetterWithoutTerminator) {
    const std::string letters = "40AB3572"
                                "1EFHGIJLK";
    for (int code = 1; code <= 17; ++code) {
        const bool done = CSerialHandler::CommandAwaitsDone(code);
        m_pty.WriteMaster(done ? "OK\nDONE\n" : "OK\n");
        EXPECT_TRUE(m_link->SendCommand(code)) << "code " << code;
        EXPECT_EQ(Wire(4), Bytes(std::string("+++") + letters[code - 1])) << "code " << code;
    }
    EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(CommandExchangeTest, UnknownCodesSendNothing) {
    EXPECT_FALSE(m_link->SendCommand(0));
    EXPECT_FALSE(m_link->SendCommand(18));
    EXPECT_TRUE(m_pty.ReadMaster(1, 50ms).empty());
    EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(CommandExchangeTest, DoneAwaitingCommandSucceedsOnOkThenDone) {
    m_pty.WriteMaster("OK\nDONE\n");
    EXPECT_TRUE(m_link->SendCommand(2));
    EXPECT_EQ(Wire(4), Bytes("+++0"));
    EXPECT_TRUE(m_ui.Messages().empty());
    EXPECT_EQ(m_link->ReadTimeout(), 20000u);
}

TEST_F(CommandExchangeTest, OkThenErrorTwiceShowsOneMessageAfterTheSecondAttempt) {
    m_pty.WriteMaster("OK\nERROR\nOK\nERROR\n");
    EXPECT_FALSE(m_link->SendCommand(2));
    EXPECT_EQ(Wire(8), Bytes("+++0+++0"));
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{"Slave failed to complete operation."});
    EXPECT_EQ(m_link->ReadTimeout(), 20000u);
}

TEST_F(CommandExchangeTest, TheLastAttemptChoosesTheMessage) {
    struct Case {
        std::string strAnswers;
        int nCode;
        bool bSuccess;
        std::vector<std::string> messages;
    } cases[] = {
        {"ERROR\nOK\n", 1, true, {}},
        {"ERROR\nERROR\n", 1, false, {"Slave responded with ERROR."}},
        {"OK\r\nOK\r\n", 1, false, {"Slave failed to respond."}},
        {"OK\nERROR\nERROR\n", 8, false, {"Slave responded with ERROR."}},
        {"ERROR\nOK\nOK\n", 9, false, {"Slave failed to complete operation."}},
        {"DONE\nDONE\n", 3, true, {}},
    };
    for (const auto& c : cases) {
        m_ui.Clear();
        m_pty.WriteMaster(c.strAnswers);
        EXPECT_EQ(m_link->SendCommand(c.nCode), c.bSuccess) << c.strAnswers;
        EXPECT_EQ(m_ui.Messages(), c.messages) << c.strAnswers;
        m_pty.ReadMaster(8, 100ms);
    }
}

TEST_F(CommandExchangeTest, NoAnswerAtAllFailsAfterTwoFullWaits) {
    CClockSpeedScope measurable(80.0); // each 40 s wait stays above the clock's shortest real time-out
    const uint32_t start = CClock::Instance().TickCount();
    EXPECT_FALSE(m_link->SendCommand(2));
    const uint32_t waited = CClock::Instance().TickCount() - start;
    // Two attempts of 40 s each on the clock.
    EXPECT_GE(waited, 80000u);
    EXPECT_LT(waited, 200000u);
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{"Slave failed to respond."});
    EXPECT_EQ(Wire(8), Bytes("+++0+++0"));
}

TEST_F(CommandExchangeTest, CodeFiveWaitsForDoneWithTheCallersTimeout) {
    CClockSpeedScope measurable(6.0); // each 3 s wait stays above the clock's shortest real time-out
    ASSERT_TRUE(m_link->SetReadTimeout(3000));
    m_pty.WriteMaster("OK\n");
    const uint32_t start = CClock::Instance().TickCount();
    // The DONE never comes: each attempt waits the caller's 3 s, not 40 s.
    EXPECT_FALSE(m_link->SendCommand(5));
    const uint32_t waited = CClock::Instance().TickCount() - start;
    EXPECT_GE(waited, 6000u);
    EXPECT_LT(waited, 40000u);
    EXPECT_EQ(m_link->ReadTimeout(), 3000u);
}

TEST_F(CommandExchangeTest, RaisedTimeoutIsPutBackToTwentySecondsNotThePreviousValue) {
    ASSERT_TRUE(m_link->SetReadTimeout(30000));
    m_pty.WriteMaster("OK\nDONE\n");
    EXPECT_TRUE(m_link->SendCommand(4));
    EXPECT_EQ(m_link->ReadTimeout(), 20000u);
}

TEST_F(CommandExchangeTest, PlainFrameLayoutAndChecksum) {
    const uint8_t data[] = {0x10, 0x20, 0x30};
    m_pty.WriteMaster(std::vector<uint8_t>{0x06});
    EXPECT_TRUE(m_link->SendBlock(data, 3));
    EXPECT_EQ(Wire(6), (std::vector<uint8_t>{0x02, 0x03, 0x10, 0x20, 0x30, 0x01}));

    EXPECT_FALSE(m_link->SendBlock(data, 0));
    EXPECT_TRUE(m_pty.ReadMaster(1, 50ms).empty());
}

TEST_F(CommandExchangeTest, MrFrameLayoutAndChecksum) {
    m_pty.WriteMaster(std::vector<uint8_t>{0x06});
    EXPECT_TRUE(m_link->SendMRBlock(nullptr, 0));
    EXPECT_EQ(Wire(7), (std::vector<uint8_t>{0x02, 0x04, 0x4D, 0x52, 0x3A, 0x3A, 0x19}));

    const uint8_t data[] = {0x7E, 0x3A};
    m_pty.WriteMaster(std::vector<uint8_t>{0x06});
    EXPECT_TRUE(m_link->SendMRBlock(data, 2));
    const uint8_t sum = 0x02 ^ 0x06 ^ 'M' ^ 'R' ^ ':' ^ 0x7E ^ 0x3A ^ ':';
    EXPECT_EQ(Wire(9), (std::vector<uint8_t>{0x02, 0x06, 'M', 'R', ':', 0x7E, 0x3A, ':', sum}));
}

TEST_F(CommandExchangeTest, FullSizeFramesFitTheLengthByte) {
    std::vector<uint8_t> data(255, 0xA5);
    m_pty.WriteMaster(std::vector<uint8_t>{0x06});
    EXPECT_TRUE(m_link->SendBlock(data.data(), 255));
    const auto frame = Wire(258);
    ASSERT_EQ(frame.size(), 258u);
    EXPECT_EQ(frame[1], 255);
    EXPECT_FALSE(m_link->SendBlock(data.data(), 256));
    EXPECT_FALSE(m_link->SendMRBlock(data.data(), 252));
    EXPECT_TRUE(m_pty.ReadMaster(1, 50ms).empty());
}

TEST_F(CommandExchangeTest, AcknowledgeMustBeTheAckByte) {
    const uint8_t data[] = {1};
    m_pty.WriteMaster(std::vector<uint8_t>{0x15});
    EXPECT_FALSE(m_link->SendBlock(data, 1));
    ASSERT_TRUE(m_link->SetReadTimeout(500));
    EXPECT_FALSE(m_link->SendBlock(data, 1)); // no acknowledge at all
    EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(CommandExchangeTest, MrFrameIsTriedFourTimes) {
    ASSERT_TRUE(m_link->SetReadTimeout(200));
    EXPECT_FALSE(m_link->SendMRBlock(nullptr, 0));
    EXPECT_EQ(Wire(28).size(), 28u); // four identical frames of seven bytes
    EXPECT_TRUE(m_pty.ReadMaster(1, 50ms).empty());

    // Acknowledged on the third attempt: exactly three frames go out.
    m_pty.WriteMaster(std::vector<uint8_t>{0x15, 0x00, 0x06});
    EXPECT_TRUE(m_link->SendMRBlock(nullptr, 0));
    EXPECT_EQ(Wire(21).size(), 21u);
    EXPECT_TRUE(m_pty.ReadMaster(1, 50ms).empty());
}

TEST_F(CommandExchangeTest, ProtocolProbeAttemptsAndSuccessLetter) {
    char reply[5] = {};
    // Count 4: five attempts when nobody answers, and the time-out back at 20 s.
    EXPECT_FALSE(m_link->EscapeD(reply, 4));
    EXPECT_EQ(Wire(20), Bytes("+++D+++D+++D+++D+++D"));
    EXPECT_EQ(m_link->ReadTimeout(), 20000u);
    // Count 0: one attempt.
    EXPECT_FALSE(m_link->EscapeD(reply, 0));
    EXPECT_EQ(Wire(4), Bytes("+++D"));
    EXPECT_TRUE(m_pty.ReadMaster(1, 50ms).empty());

    m_pty.WriteMaster("PL03\n");
    EXPECT_TRUE(m_link->EscapeD(reply, 0));
    EXPECT_STREQ(reply, "PL03");
    m_pty.ReadMaster(4, 100ms);

    // A version-like answer is no protocol answer.
    m_pty.WriteMaster("V2.3\n");
    EXPECT_FALSE(m_link->EscapeD(reply, 0));
    EXPECT_STREQ(reply, "V2.3");
    EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(CommandExchangeTest, VersionProbeAcceptsVTOrPAndStopsAtTheFirstGoodAnswer) {
    char reply[5] = {};
    for (const char* answer : {"V1.2\n", "T3.0\n", "P9.9\n"}) {
        m_pty.WriteMaster(answer);
        EXPECT_TRUE(m_link->EscapeC(reply)) << answer;
        EXPECT_EQ(std::string(reply), std::string(answer, 4));
        EXPECT_EQ(Wire(4), Bytes("+++C"));
    }
    m_pty.WriteMaster("X1.0\nV4.0\n");
    EXPECT_TRUE(m_link->EscapeC(reply));
    EXPECT_STREQ(reply, "V4.0");
    EXPECT_EQ(Wire(8), Bytes("+++C+++C"));

    EXPECT_FALSE(m_link->EscapeC(reply));
    EXPECT_EQ(Wire(20).size(), 20u);
    EXPECT_EQ(m_link->ReadTimeout(), 20000u);
}

TEST_F(CommandExchangeTest, WaitForByteSkipsOtherBytesAndGivesUpQuietly) {
    ASSERT_TRUE(m_link->SetReadTimeout(30000));
    m_pty.WriteMaster("boot...\x07");
    EXPECT_TRUE(m_link->WaitForByte(0x07));
    const uint32_t start = CClock::Instance().TickCount();
    EXPECT_FALSE(m_link->WaitForByte(0x07));
    EXPECT_GE(CClock::Instance().TickCount() - start, 30000u);
    EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(CommandExchangeTest, WaitForByteEndsWhenTheLimitPassesAmidOtherTraffic) {
    ASSERT_TRUE(m_link->SetReadTimeout(2000));
    std::atomic<bool> stop{false};
    std::thread chatter([&] {
        while (!stop) {
            m_pty.WriteMaster("x");
            std::this_thread::sleep_for(1ms);
        }
    });
    // Bytes keep coming but never the awaited one: the calendar limit ends the wait.
    EXPECT_FALSE(m_link->WaitForByte(0x07));
    stop = true;
    chatter.join();
}

} // namespace
