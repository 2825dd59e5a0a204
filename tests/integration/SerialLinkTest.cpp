// The serial layer on real pseudo-terminals: opening and its result codes, the Windows read time-outs,
// exclusive use, line speed changes seen from the other side, and the terminal's overlapped mode.
#include "engine/link/LinkContext.h"
#include "engine/link/SerialHandler.h"
#include "platform/Clock.h"
#include "platform/PortNames.h"
#include "platform/SerialPort.h"
#include "support/PtyPair.h"
#include "support/TempFolder.h"
#include "support/TestUserInterface.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <optional>
#include <thread>

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

namespace {

class SerialLinkTest : public ::testing::Test {
protected:
    std::unique_ptr<CSerialHandler> Open(int& result, bool overlapped = false,
                                         const std::string& setting = kSettingNormal) {
        return std::make_unique<CSerialHandler>(m_context, m_pty.SlavePath(), setting, result, overlapped);
    }

    CTestUserInterface m_ui;
    CLinkContext m_context{&m_ui};
    CPtyPair m_pty;
};

TEST_F(SerialLinkTest, OpenResultCodes) {
    int result = -1;
    auto link = Open(result);
    EXPECT_EQ(result, CSerialHandler::kOpenOk);
    EXPECT_EQ(m_pty.SlaveBaud(), 19200u);

    int second = -1;
    auto again = Open(second);
    EXPECT_EQ(second, CSerialHandler::kOpenFailed) << "a port in use must not be shared";
    again.reset();
    link.reset();
    auto reopened = Open(result);
    EXPECT_EQ(result, CSerialHandler::kOpenOk) << "closing gives the port back";
    reopened.reset();

    CSerialHandler badSetting(m_context, m_pty.SlavePath(), "19200,q,8,1", result, false);
    EXPECT_EQ(result, CSerialHandler::kOpenBadSetting);
    CSerialHandler missing(m_context, "/dev/does-not-exist-7", kSettingNormal, result, false);
    EXPECT_EQ(result, CSerialHandler::kOpenFailed);
    CSerialHandler notComName(m_context, "COMX", kSettingNormal, result, false);
    EXPECT_EQ(result, CSerialHandler::kOpenFailed);
    // A device that opens but is no serial port: configuring it fails.
    CSerialHandler notTty(m_context, "/dev/null", kSettingNormal, result, false);
    EXPECT_EQ(result, CSerialHandler::kOpenFailed);
    // A line speed the port cannot take.
    CSerialHandler oddSpeed(m_context, m_pty.SlavePath(), "12345,n,8,1", result, false);
    EXPECT_EQ(result, CSerialHandler::kOpenConfigFailed);
    EXPECT_TRUE(m_ui.Messages().empty()) << "opening shows nothing itself";
}

TEST_F(SerialLinkTest, ComNamesResolveThroughTheRunsOwnMapAndTheUsersLinks) {
    // The test's own temporary folder stands in for the user's configuration home.
    const std::string config = TestTempDir() + "/dravik";
    ASSERT_EQ(::mkdir(config.c_str(), 0700), 0);
    ::setenv("XDG_CONFIG_HOME", TestTempDir().c_str(), 1);

    EXPECT_EQ(ResolvePortName("COM7"), "/dev/ttyS6");
    EXPECT_EQ(ResolvePortName("/dev/ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(ResolvePortName("LPT1"), "");
    EXPECT_EQ(ResolvePortName("COM"), "");

    // A link named COM7 in the user's folder points the name at another device.
    ASSERT_EQ(::symlink(m_pty.SlavePath().c_str(), (config + "/COM7").c_str()), 0);
    int result = -1;
    {
        CSerialHandler link(m_context, "COM7", kSettingNormal, result, false);
        EXPECT_EQ(result, CSerialHandler::kOpenOk);
    }
    // The run's own map wins and is forgotten when removed.
    SetPortNameOverride("COM7", "/dev/does-not-exist-7");
    {
        CSerialHandler link(m_context, "COM7", kSettingNormal, result, false);
        EXPECT_EQ(result, CSerialHandler::kOpenFailed);
    }
    SetPortNameOverride("COM7", "");
    EXPECT_EQ(ResolvePortName("COM7"), config + "/COM7");
    // Port names do not depend on case: "com7" is the same port, link included.
    EXPECT_EQ(ResolvePortName("com7"), config + "/COM7");
    EXPECT_EQ(ResolvePortName("Com5"), "/dev/ttyS4");

    ::unsetenv("XDG_CONFIG_HOME");
}

TEST_F(SerialLinkTest, FreshPortWaitsTwentySecondsForAByteThenTheNewTimeout) {
    std::optional<CClockSpeedScope> fast(std::in_place, 20.0);
    int result = -1;
    auto link = Open(result);
    ASSERT_EQ(result, CSerialHandler::kOpenOk);
    uint8_t byte = 0;
    size_t got = 99;
    uint32_t start = CClock::Instance().TickCount();
    EXPECT_TRUE(link->Read(&byte, 1, got));
    EXPECT_EQ(got, 0u);
    uint32_t waited = CClock::Instance().TickCount() - start;
    EXPECT_GE(waited, 20000u);
    EXPECT_LT(waited, 40000u);

    // A 1 s time-out is measured slower, above the clock's shortest real time-out.
    fast.emplace(2.0);
    ASSERT_TRUE(link->SetReadTimeout(1000));
    start = CClock::Instance().TickCount();
    EXPECT_TRUE(link->Read(&byte, 1, got));
    waited = CClock::Instance().TickCount() - start;
    EXPECT_EQ(got, 0u);
    EXPECT_GE(waited, 1000u);
    EXPECT_LT(waited, 5000u);
}

TEST_F(SerialLinkTest, ReadReturnsAsSoonAsAllBytesCame) {
    int result = -1;
    auto link = Open(result);
    m_pty.WriteMaster("abcde");
    uint8_t buffer[5] = {};
    size_t got = 0;
    const auto start = SteadyClock::now();
    EXPECT_TRUE(link->Read(buffer, 5, got));
    EXPECT_EQ(got, 5u);
    EXPECT_LT(SteadyClock::now() - start, 5s);
}

TEST(SerialPortTimeouts, IntervalAndMultiplierBehaveAsWindowsDefinesThem) {
    // Slow enough that the time-outs measured stay above the clock's shortest real time-out.
    CClockSpeedScope fast(2.0);
    CPtyPair pty;
    CSerialPort port;
    ASSERT_TRUE(port.Open(pty.SlavePath(), false));
    SerialMode mode;
    ASSERT_TRUE(ParseSerialMode("19200,n,8,1", mode));
    ASSERT_TRUE(port.ApplyMode(mode));
    uint8_t buffer[16] = {};
    size_t got = 0;

    // Total = multiplier × bytes + constant: 100 × 10 + 500 = 1500 ms on the clock.
    ASSERT_TRUE(port.SetTimeouts({0, 100, 500, 0, 0}));
    uint32_t start = CClock::Instance().TickCount();
    EXPECT_TRUE(port.Read(buffer, 10, got));
    uint32_t waited = CClock::Instance().TickCount() - start;
    EXPECT_EQ(got, 0u);
    EXPECT_GE(waited, 1500u);
    EXPECT_LT(waited, 3000u);

    // The interval counts only after the first byte: with bytes arriving and then stopping, the read ends
    // one interval after the last byte, long before its total.
    ASSERT_TRUE(port.SetTimeouts({1000, 0, 60000, 0, 0}));
    pty.WriteMaster("xyz");
    start = CClock::Instance().TickCount();
    EXPECT_TRUE(port.Read(buffer, 10, got));
    waited = CClock::Instance().TickCount() - start;
    EXPECT_EQ(got, 3u);
    EXPECT_GE(waited, 1000u);
    EXPECT_LT(waited, 20000u);

    // Interval alone with no byte: there is no total, so the read waits for the first byte.
    ASSERT_TRUE(port.SetTimeouts({200, 0, 0, 0, 0}));
    std::thread late([&] {
        std::this_thread::sleep_for(CClock::Instance().TimeoutDuration(200) * 2); // well past the interval
        pty.WriteMaster("q");
    });
    EXPECT_TRUE(port.Read(buffer, 4, got));
    late.join();
    EXPECT_EQ(got, 1u);

    // MAXDWORD interval with zero totals returns at once with what is there.
    ASSERT_TRUE(port.SetTimeouts({0xFFFFFFFFu, 0, 0, 0, 0}));
    const auto realStart = SteadyClock::now();
    EXPECT_TRUE(port.Read(buffer, 4, got));
    EXPECT_EQ(got, 0u);
    EXPECT_LT(SteadyClock::now() - realStart, 1s); // a read that waited would wait for ever
}

TEST(SerialModeStrings, AcceptedAndRejected) {
    SerialMode mode;
    ASSERT_TRUE(ParseSerialMode("19200,n,8,1", mode));
    EXPECT_EQ(mode.nBaud, 19200u);
    EXPECT_EQ(mode.cParity, 'n');
    EXPECT_EQ(mode.nDataBits, 8);
    EXPECT_EQ(mode.nStopBits, 1);
    ASSERT_TRUE(ParseSerialMode("38400,N,8,1", mode));
    EXPECT_EQ(mode.nBaud, 38400u);
    ASSERT_TRUE(ParseSerialMode("96,e,7,2", mode));
    EXPECT_EQ(mode.nBaud, 9600u);
    EXPECT_EQ(mode.cParity, 'e');
    EXPECT_EQ(mode.nDataBits, 7);
    EXPECT_EQ(mode.nStopBits, 2);
    ASSERT_TRUE(ParseSerialMode("COM1: 9600,o,8,1", mode));
    EXPECT_EQ(mode.cParity, 'o');
    ASSERT_TRUE(ParseSerialMode("baud=57600 parity=N data=8 stop=1", mode));
    EXPECT_EQ(mode.nBaud, 57600u);
    ASSERT_TRUE(ParseSerialMode("4800", mode));
    EXPECT_EQ(mode.nBaud, 4800u);

    const SerialMode before = mode;
    for (const char* bad : {"", ",", "fast,n,8,1", "19200,x,8,1", "19200,n,9,1", "19200,n,8,3",
                            "19200,n,8,1,z", "19200,n,8,1,x,extra", "19200;n;8;1", "parity=N", "baud=abc",
                            "COM1 19200,n,8,1", "-19200,n,8,1", "19200,n,,1"}) {
        EXPECT_FALSE(ParseSerialMode(bad, mode)) << "\"" << bad << "\"";
    }
    EXPECT_EQ(mode.nBaud, before.nBaud) << "a rejected string leaves the mode as it was";
}

TEST_F(SerialLinkTest, ChangeSettingChangesTheLineSpeedSeenFromTheOtherSide) {
    int result = -1;
    auto link = Open(result);
    ASSERT_EQ(result, CSerialHandler::kOpenOk);
    EXPECT_EQ(m_pty.SlaveBaud(), 19200u);
    EXPECT_TRUE(link->ChangeSetting(kSettingFast));
    EXPECT_EQ(m_pty.SlaveBaud(), 38400u);
    EXPECT_TRUE(link->ChangeSetting(kSettingNormal));
    EXPECT_EQ(m_pty.SlaveBaud(), 19200u);

    EXPECT_FALSE(link->ChangeSetting("38400,n,8"
                                     ",7"));
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{"Error creating device control block!"});
    EXPECT_EQ(m_pty.SlaveBaud(), 19200u);
    m_ui.Clear();
    EXPECT_FALSE(link->ChangeSetting("12345,n,8,1"));
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{"Error configuring COM port."});
}

TEST_F(SerialLinkTest, LinkKindDecidesHousekeepingAndUsbObjectsFailQuietly) {
    int result = -1;
    auto link = Open(result);
    uint32_t errors = 0;
    CommStatus status;
    m_pty.WriteMaster("abc");
    EXPECT_TRUE(WaitUntil([&] { return link->ClearErrors(errors, status) && status.nInQueue == 3; }));
    EXPECT_TRUE(link->Purge(kPurgeRxClear | kPurgeRxAbort));
    EXPECT_TRUE(link->ClearErrors(errors, status));
    EXPECT_EQ(status.nInQueue, 0u);

    // A link built on the USB device while no device is present: every operation fails, nothing shown.
    m_context.m_nLinkKind = kLinkUsb;
    m_context.m_bUsbPresent = false;
    CSerialHandler usbLink(m_context, nullptr);
    EXPECT_TRUE(usbLink.SetTimeouts(1, 2, 3, 4, 5));
    EXPECT_TRUE(usbLink.ClearErrors(errors, status));
    EXPECT_TRUE(usbLink.Purge(0x0F));
    EXPECT_TRUE(usbLink.SetReadTimeout(1234)); // stored for the USB path, no port touched
    m_context.m_nLinkKind = kLinkCom;
    uint8_t byte = 0;
    size_t got = 0;
    EXPECT_FALSE(usbLink.Read(&byte, 1, got));
    EXPECT_FALSE(usbLink.WriteByte(0x41));
    EXPECT_FALSE(usbLink.SetReadTimeout(1000));
    EXPECT_EQ(usbLink.ReadSome(&byte, 1), 0);
    EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(SerialLinkTest, OverlappedReceiveAndQueuedKeystrokes) {
    int result = -1;
    auto link = Open(result, true);
    ASSERT_EQ(result, CSerialHandler::kOpenOk);
    const auto start = SteadyClock::now();
    EXPECT_EQ(link->PollReceive(), 0u);
    EXPECT_LT(SteadyClock::now() - start, 500ms);

    m_pty.WriteMaster("hello");
    std::string received;
    for (int i = 0; i < 100 && received.size() < 5; ++i) {
        const unsigned got = link->PollReceive();
        received.append(reinterpret_cast<const char*>(link->ReceiveBuffer()), got);
    }
    EXPECT_EQ(received, "hello");

    // Keys typed in quick succession all arrive, in order.
    for (char c : std::string("abcdefghij"))
        EXPECT_TRUE(link->PostByte(static_cast<uint8_t>(c)));
    const uint8_t arrow[] = {0x1B, '[', 'D'};
    EXPECT_TRUE(link->PostBytes(arrow, 3));
    const auto wire = m_pty.ReadMaster(13, 2000ms);
    EXPECT_EQ(std::string(wire.begin(), wire.end()), "abcdefghij\x1b[D");

    // Nobody reads the other side: the port's buffer fills, the queue behind it stays bounded.
    const std::vector<uint8_t> chunk(4096, 'x');
    for (int i = 0; i < 64; ++i)
        link->PostBytes(chunk.data(), chunk.size());
    EXPECT_LE(link->PendingSendBytes(), 4096u);
}

double ThreadCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Closing the other side is a real hang-up: reads and writes fail at once, without spinning, the
// exchange reports the failed read and does not repeat a command on a line that is gone.
TEST_F(SerialLinkTest, HangUpFailsAtOnceWithoutSpinning) {
    int result = -1;
    auto link = Open(result);
    ASSERT_EQ(result, CSerialHandler::kOpenOk);
    m_pty.HangUp();
    const auto start = SteadyClock::now();
    const double cpuBefore = ThreadCpuSeconds();
    uint8_t buffer[4] = {};
    size_t got = 9;
    EXPECT_FALSE(link->Read(buffer, sizeof buffer, got));
    EXPECT_EQ(got, 0u);
    EXPECT_FALSE(link->SendCommand(2));
    EXPECT_FALSE(link->WaitForByte('*'));
    EXPECT_FALSE(link->WriteByte('x'));
    EXPECT_LT(SteadyClock::now() - start, 1s);
    EXPECT_LT(ThreadCpuSeconds() - cpuBefore, 0.1);
    EXPECT_EQ(m_ui.Messages(),
              (std::vector<std::string>{"Error reading COM port.", "Slave failed to respond.",
                                        "Error reading COM port."}));

    // Terminal mode's receive on a port that hangs up reports it once and stays failed.
    CPtyPair other;
    auto terminal =
        std::make_unique<CSerialHandler>(m_context, other.SlavePath(), kSettingNormal, result, true);
    ASSERT_EQ(result, CSerialHandler::kOpenOk);
    EXPECT_FALSE(terminal->HasFailed());
    other.HangUp();
    EXPECT_EQ(terminal->PollReceive(), 0u);
    EXPECT_TRUE(terminal->HasFailed());
    EXPECT_EQ(m_ui.Messages().size(), 4u);
}

} // namespace
