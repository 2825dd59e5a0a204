// ZModem framing on a real pseudo-terminal: the CRCs against the standard check values, hex and binary
// header layouts, escaping in headers and subpackets, the ZFILE information, and header reception with
// its tolerance of case, CAN handling, stray-byte budget and time-outs.
#include "engine/link/LinkContext.h"
#include "engine/link/SerialHandler.h"
#include "engine/zmodem/ZModemCrc.h"
#include "engine/zmodem/ZModemDlg.h"
#include "engine/zmodem/ZModemUtil.h"
#include "platform/Clock.h"
#include "support/PtyPair.h"
#include "support/TempFolder.h"
#include "support/TestUserInterface.h"
#include "support/ZModemHexHeader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

Bytes B(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(ZModemCrcTest, StandardCheckValues) {
    uint16_t crc16 = 0;
    for (char c : std::string("123456789"))
        crc16 = UpdateCrc16(crc16, static_cast<uint8_t>(c));
    EXPECT_EQ(crc16, 0x31C3); // CRC-16/XMODEM
    // The register fed with the frame and its CRC, high byte first, ends at 0.
    EXPECT_EQ(UpdateCrc16(UpdateCrc16(crc16, 0x31), 0xC3), 0);

    const Crc32Table table = BuildCrc32Table();
    EXPECT_EQ(table[0], 0u);
    EXPECT_EQ(table[1], 0x77073096u);
    EXPECT_EQ(table[128], 0xEDB88320u);
    EXPECT_EQ(table[255], 0x2D02EF8Du);
    uint32_t crc32 = 0xFFFFFFFFu;
    for (char c : std::string("123456789"))
        crc32 = UpdateCrc32(table, crc32, static_cast<uint8_t>(c));
    EXPECT_EQ(~crc32, 0xCBF43926u); // IEEE 802.3
}

TEST(ZModemCrcTest, RunsEqualTheByteAtATimeRegister) {
    const Bytes check = B("123456789");
    EXPECT_EQ(UpdateCrc16(0, check.data(), check.size()), 0x31C3);
    EXPECT_EQ(~UpdateCrc32(0xFFFFFFFFu, check.data(), check.size()), 0xCBF43926u);
    // Every length around the eight-byte steps, from registers that are not zero.
    Bytes data(1030);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 131 + (i >> 3));
    const Crc32Table table = BuildCrc32Table();
    for (size_t length : {0, 1, 7, 8, 9, 15, 16, 17, 1024, 1030}) {
        uint16_t crc16 = 0xBEEF;
        uint32_t crc32 = 0x12345678u;
        for (size_t i = 0; i < length; ++i) {
            crc16 = UpdateCrc16(crc16, data[i]);
            crc32 = UpdateCrc32(table, crc32, data[i]);
        }
        EXPECT_EQ(UpdateCrc16(0xBEEF, data.data(), length), crc16) << length;
        EXPECT_EQ(UpdateCrc32(0x12345678u, data.data(), length), crc32) << length;
    }
}

TEST(ZModemFileInformationTest, NameNulAndOctalFigures) {
    EXPECT_EQ(CZModemDlg::TransferName("C:\\dir\\a.dat"), "a.dat");
    EXPECT_EQ(CZModemDlg::TransferName("/home/tech/pages/a.dat"), "a.dat");
    EXPECT_EQ(CZModemDlg::TransferName("a.dat"), "a.dat");
    EXPECT_EQ(CZModemDlg::FileInformation("a.dat", 300, 01234567, 0100644),
              B("a.dat") + Bytes{0} + B("300 1234567 100644"));
    EXPECT_EQ(CZModemDlg::FileInformation("e", 0, 0, 0), B("e") + Bytes{0} + B("0 0 0"));
}

class ZModemFramesTest : public ::testing::Test {
protected:
    void SetUp() override {
        int result = -1;
        m_pLink =
            std::make_unique<CSerialHandler>(m_context, m_pty.SlavePath(), kSettingNormal, result, false);
        ASSERT_EQ(result, CSerialHandler::kOpenOk);
        ASSERT_TRUE(m_pLink->SetTimeouts(5000, 1, 10000, 10, 1000));
        m_util.SetLink(m_pLink.get());
    }
    Bytes Wire(size_t count) { return m_pty.ReadMaster(count, 500ms); }
    Bytes AllWire() { return m_pty.ReadMaster(100000, 50ms); }

    CClockSpeedScope m_speed{1000};
    CTestUserInterface m_ui;
    CLinkContext m_context{&m_ui};
    CPtyPair m_pty;
    std::unique_ptr<CSerialHandler> m_pLink;
    CZModemUtil m_util;
};

TEST_F(ZModemFramesTest, HexHeadersInUpperCaseWithXonExceptAfterZfin) {
    const uint8_t zero[4] = {0, 0, 0, 0};
    m_util.SendHexHeader(ZRQINIT, zero);
    EXPECT_EQ(AllWire(), B("**\x18"
                           "B00000000000000\r\n\x11"));
    const uint8_t flags[4] = {0, 0, 0, 0x23};
    m_util.SendHexHeader(ZRINIT, flags);
    EXPECT_EQ(AllWire(), B("**\x18"
                           "B0100000023BE50\r\n\x11"));
    m_util.SendHexHeader(ZFIN, zero);
    const Bytes fin = AllWire();
    EXPECT_EQ(Bytes(fin.begin(), fin.begin() + 4), B("**\x18"
                                                     "B"));
    EXPECT_EQ(Bytes(fin.begin() + 4, fin.begin() + 6), B("08"));
    EXPECT_EQ(Bytes(fin.end() - 2, fin.end()), B("\r\n"));
}

TEST_F(ZModemFramesTest, BinaryHeaderEscapesOffsetBytesAndCrc) {
    m_util.m_nUseCrc32 = 0;
    const uint8_t position[4] = {0x18, 0x11, 0x00, 0x00}; // offset 0x1118
    m_util.SendBinaryHeader(ZDATA, position);
    EXPECT_EQ(m_util.m_nCrcMode, kCrcMode16);
    const Bytes wire = AllWire();
    const Bytes head = B("**\x18"
                         "A") +
                       Bytes{ZDATA, 0x18, 0x58, 0x18, 0x51, 0x00, 0x00};
    ASSERT_GE(wire.size(), head.size() + 2);
    EXPECT_EQ(Bytes(wire.begin(), wire.begin() + head.size()), head);
    // Unescape the CRC and check the frame with it.
    Bytes crc;
    for (size_t i = head.size(); i < wire.size(); ++i)
        crc.push_back(wire[i] == ZDLE ? static_cast<uint8_t>(wire[++i] ^ 0x40) : wire[i]);
    ASSERT_EQ(crc.size(), 2u);
    uint16_t check = 0;
    for (uint8_t byte : Bytes{ZDATA, 0x18, 0x11, 0x00, 0x00, crc[0], crc[1]})
        check = UpdateCrc16(check, byte);
    EXPECT_EQ(check, 0);

    m_util.m_nUseCrc32 = 1;
    m_util.SendBinaryHeader(ZFILE, position);
    EXPECT_EQ(m_util.m_nCrcMode, kCrcMode32);
    const Bytes wire32 = AllWire();
    EXPECT_EQ(Bytes(wire32.begin(), wire32.begin() + 4), B("**\x18"
                                                           "C"));
}

TEST_F(ZModemFramesTest, SubpacketEscapesSevenBytesAndEndsWithFrameEndAndCrc) {
    m_util.m_nUseCrc32 = 0;
    const uint8_t zero[4] = {0, 0, 0, 0};
    m_util.SendBinaryHeader(ZDATA, zero);
    AllWire();
    const Bytes data = {0x11, 0x18, 0x98, 0x0D, 0x7F, 0x90, 0x10, 0x13, 0x91, 0x93, 0x8D, 0xFF};
    EXPECT_EQ(m_util.SendDataSubpacket(data.data(), data.size(), ZCRCG), 1);
    const Bytes wire = AllWire();
    const Bytes body = {0x18, 0x51, 0x18, 0x58, 0x98, 0x0D, 0x7F, 0x18, 0xD0, 0x18, 0x50,
                        0x18, 0x53, 0x18, 0xD1, 0x18, 0xD3, 0x8D, 0xFF, 0x18, ZCRCG};
    ASSERT_GE(wire.size(), body.size());
    EXPECT_EQ(Bytes(wire.begin(), wire.begin() + body.size()), body);

    // The frame-end byte counts in the CRC: "12345678" ended by '9' carries the check value of "123456789".
    const Bytes digits = B("12345678");
    m_util.SendDataSubpacket(digits.data(), digits.size(), '9');
    EXPECT_EQ(AllWire(), (digits + Bytes{0x18, '9', 0x31, 0xC3}));
    // An empty subpacket still carries its CRC.
    m_util.SendDataSubpacket(nullptr, 0, ZCRCE);
    const Bytes empty = AllWire();
    EXPECT_EQ(Bytes(empty.begin(), empty.begin() + 2), (Bytes{0x18, ZCRCE}));
    EXPECT_GE(empty.size(), 4u);
}

TEST_F(ZModemFramesTest, Crc32SubpacketsKeepTheirKindAcrossReceivedHeaders) {
    m_util.m_nUseCrc32 = 1;
    const uint8_t zero[4] = {0, 0, 0, 0};
    m_util.SendBinaryHeader(ZDATA, zero);
    AllWire();
    // A hex header received between subpackets sets CRC-16 for headers, not for the data.
    m_pty.WriteMaster(B("**\x18"
                        "B0300000000"));
    m_pty.WriteMaster(B("0000\r\n"));
    uint8_t data[4];
    m_util.GetHeader(data);
    const Bytes digits = B("12345678");
    m_util.SendDataSubpacket(digits.data(), digits.size(), '9');
    EXPECT_EQ(AllWire(), (digits + Bytes{0x18, '9', 0x26, 0x39, 0xF4, 0xCB}));
}

TEST_F(ZModemFramesTest, ReceivesHexHeadersInEitherCase) {
    uint8_t data[4] = {9, 9, 9, 9};
    // What rz sends at its start, with LF and the high bit, and XON.
    m_pty.WriteMaster(B("rz\r**\x18"
                        "B0100000023be50\r\x8a\x11"));
    EXPECT_EQ(m_util.GetHeader(data), ZRINIT);
    EXPECT_EQ(Bytes(data, data + 4), (Bytes{0, 0, 0, 0x23}));
    EXPECT_EQ(m_util.ReceivedFormat(), ZHEX);
    m_pty.WriteMaster(B("**\x18"
                        "B0100000023BE50\r\n\x11"));
    EXPECT_EQ(m_util.GetHeader(data), ZRINIT);
    // A damaged CRC is refused.
    m_pty.WriteMaster(B("**\x18"
                        "B0100000023be51\r\n\x11"));
    EXPECT_EQ(m_util.GetHeader(data), -1);
}

TEST_F(ZModemFramesTest, ReceivesBinaryHeaders) {
    const Bytes frame = {ZRPOS, 0x00, 0x04, 0x00, 0x00};
    uint16_t crc = 0;
    for (uint8_t byte : frame)
        crc = UpdateCrc16(crc, byte);
    m_pty.WriteMaster(B("*\x18"
                        "A") +
                      frame + Bytes{static_cast<uint8_t>(crc >> 8), static_cast<uint8_t>(crc)});
    uint8_t data[4] = {};
    EXPECT_EQ(m_util.GetHeader(data), ZRPOS);
    EXPECT_EQ(Bytes(data, data + 4), (Bytes{0x00, 0x04, 0x00, 0x00}));
    EXPECT_EQ(m_util.ReceivedFormat(), ZBIN);
    m_pty.WriteMaster(B("*\x18"
                        "A") +
                      frame + Bytes{static_cast<uint8_t>(crc >> 8), static_cast<uint8_t>(crc ^ 1)});
    EXPECT_EQ(m_util.GetHeader(data), -1);
}

TEST_F(ZModemFramesTest, FiveCanEndTheWaitFourDoNot) {
    uint8_t data[4] = {};
    m_pty.WriteMaster(Bytes{0x18, 0x18, 0x18, 0x18, 0x18} + B("**\x18"
                                                              "B0100000023be50\r\n\x11"));
    EXPECT_EQ(m_util.GetHeader(data), -1);
    AllWire();
    m_pty.WriteMaster(Bytes{0x18, 0x18, 0x18, 0x18, 'x'} + B("**\x18"
                                                             "B0100000023be50\r\n\x11"));
    EXPECT_EQ(m_util.GetHeader(data), ZRINIT);
}

TEST_F(ZModemFramesTest, StrayByteBudgetSendsCancel) {
    uint8_t data[4] = {};
    // The header's first pad is the 1000th byte read: within the budget.
    m_pty.WriteMaster(Bytes(999, 'x') + B("**\x18"
                                          "B0100000023be50\r\n\x11"));
    EXPECT_EQ(m_util.GetHeader(data), ZRINIT);
    AllWire();
    m_pty.WriteMaster(Bytes(1000, 'x') + B("**\x18"
                                           "B0100000023be50\r\n\x11"));
    EXPECT_EQ(m_util.GetHeader(data), -1);
    EXPECT_EQ(AllWire(), Bytes(5, 0x18));
}

TEST_F(ZModemFramesTest, TimeOutsOnTheFormatByteAndInTheTail) {
    uint8_t data[4] = {};
    EXPECT_EQ(m_util.GetHeader(data), -1); // nothing at all
    m_pty.WriteMaster(B("**\x18"));
    EXPECT_EQ(m_util.GetHeader(data), 0); // the format byte never came
    m_pty.WriteMaster(B("**\x18"
                        "B0100000023be50"));
    EXPECT_EQ(m_util.GetHeader(data), -1); // no CR after the digits
    m_pty.WriteMaster(B("**\x18"
                        "B0100000023be50\r"));
    EXPECT_EQ(m_util.GetHeader(data), -1); // no XON after a ZRINIT
}

TEST_F(ZModemFramesTest, ZackAndZfinNeedNoXon) {
    const uint8_t zero[4] = {0, 0, 0, 0};
    // Build the two headers with the sender's own hex form and feed them back.
    CPtyPair loop;
    int result = -1;
    CSerialHandler writer(m_context, loop.SlavePath(), kSettingNormal, result, false);
    ASSERT_EQ(result, CSerialHandler::kOpenOk);
    CZModemUtil sender;
    sender.SetLink(&writer);
    sender.SendHexHeader(ZFIN, zero);
    Bytes fin = loop.ReadMaster(100, 50ms);
    m_pty.WriteMaster(fin);
    uint8_t data[4] = {};
    EXPECT_EQ(m_util.GetHeader(data), ZFIN);
    sender.SendHexHeader(ZACK, zero);
    Bytes ack = loop.ReadMaster(100, 50ms);
    ack.pop_back(); // without its XON
    m_pty.WriteMaster(ack);
    EXPECT_EQ(m_util.GetHeader(data), ZACK);
}

// A receiver that answers every data header, or every end of file, with a resend request for offset 0
// (for a while: then it falls silent, so that a sender without a bound ends too).
TEST_F(ZModemFramesTest, ReceiverThatKeepsRestartingAtTheSameOffsetEndsWithTooManyErrors) {
    CClockSpeedScope realTime(1); // the receiver below answers in real time
    std::string path = TestTempDir() + "/dravik-zmodem-stubborn-XXXXXX";
    const CUniqueFd file(::mkstemp(path.data()));
    ASSERT_TRUE(file.IsValid());
    const std::string content(20000, 'p');
    ASSERT_EQ(::write(file.Get(), content.data(), content.size()), static_cast<ssize_t>(content.size()));
    for (const uint8_t trigger : {uint8_t{ZDATA}, uint8_t{ZEOF}}) {
        m_pty.ReadMaster(100000, 50ms); // what the last row left
        m_pty.WriteMaster(ZModemHexHeader(ZRINIT));
        std::atomic<int> requests{0};
        std::atomic<bool> done{false};
        std::thread receiver([&] {
            // Binary headers start "*", ZDLE, "A" and their type; data never holds ZDLE unescaped.
            Bytes seen;
            while (!done) {
                const Bytes got = m_pty.ReadMaster(4096, 20ms);
                seen.insert(seen.end(), got.begin(), got.end());
                for (size_t at = 0; at + 3 < seen.size(); ++at) {
                    if (seen[at] != '*' || seen[at + 1] != 0x18 || seen[at + 2] != 'A')
                        continue;
                    if (seen[at + 3] == ZFILE || (seen[at + 3] == trigger && ++requests < 200))
                        m_pty.WriteMaster(ZModemHexHeader(ZRPOS));
                }
                seen.erase(seen.begin(), seen.end() - std::min<size_t>(seen.size(), 3));
            }
        });
        const ZModemOptions options{1, 1, 0};
        EXPECT_EQ(ZModemSendFile(m_ui, path, &options, *m_pLink), ZModemTooManyErrors) << int{trigger};
        done = true;
        receiver.join();
        EXPECT_LE(requests, 20) << int{trigger};
    }
    ::unlink(path.c_str());
}

} // namespace
