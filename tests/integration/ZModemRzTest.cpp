// ZModem sends to the reference receiver rz over a real pseudo-terminal: files of every awkward size and
// every byte value arrive byte for byte with CRC-16 and CRC-32; the receiver's refusal, its requests to
// resume and to resend, and Cancel end the way the callers expect.
#include "ZModemReceiver.h"

#include "engine/app/UserInterface.h"
#include "engine/link/LinkContext.h"
#include "engine/link/SerialHandler.h"
#include "engine/zmodem/ZModemDlg.h"
#include "platform/Clock.h"
#include "support/TestUserInterface.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

namespace {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

// Every byte value, in an order that puts the escaped ones next to each other and to themselves.
Bytes Content(size_t size, uint32_t seed = 1) {
    Bytes bytes(size);
    uint32_t state = seed;
    for (size_t i = 0; i < size; ++i) {
        if ((i / 256) % 2 == 0) {
            bytes[i] = static_cast<uint8_t>(i);
        } else {
            state = state * 1103515245u + 12345u;
            bytes[i] = static_cast<uint8_t>(state >> 16);
        }
    }
    return bytes;
}

class ZModemRzTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(m_sources.Path().empty()); }

    std::unique_ptr<CSerialHandler> OpenLink() {
        int result = -1;
        auto link = std::make_unique<CSerialHandler>(m_context, m_rz.Pty().SlavePath(), kSettingNormal,
                                                     result, false);
        EXPECT_EQ(result, CSerialHandler::kOpenOk);
        return link;
    }

    // As the callers do: wait for the receiver's first '*', then send.
    int Send(const std::string& path, ZModemOptions options) {
        auto link = OpenLink();
        EXPECT_TRUE(link->WaitForByte('*'));
        return ZModemSendFile(m_ui, path, &options, *link);
    }

    void ExpectRoundTrip(const std::string& name, const Bytes& content, ZModemOptions options) {
        const std::string path = m_sources.Write(name, content);
        ASSERT_TRUE(m_rz.Start());
        EXPECT_EQ(Send(path, options), ZModemOk);
        EXPECT_EQ(m_rz.Wait(5s), 0);
        EXPECT_EQ(m_rz.Folder().Read(name), content) << name << " of " << content.size() << " bytes";
    }

    CClockSpeedScope m_speed{10};
    CTestUserInterface m_ui;
    CLinkContext m_context{&m_ui};
    CTempFolder m_sources;
    CRzReceiver m_rz;
};

struct SRoundTrip {
    size_t nSize;
    int nForceCrc16;
    int nSubpacketSize;
};

class ZModemRoundTripTest : public ZModemRzTest, public ::testing::WithParamInterface<SRoundTrip> {};

TEST_P(ZModemRoundTripTest, ReceivedFileEqualsSentFile) {
    const SRoundTrip& trip = GetParam();
    ExpectRoundTrip("data.bin", Content(trip.nSize), ZModemOptions{trip.nForceCrc16, 1, trip.nSubpacketSize});
    EXPECT_TRUE(m_ui.ZModemView()->IsClosed());
}

// Sizes around the subpacket, and lengths whose offset bytes need escaping in the ZEOF and ZDATA
// headers (0x11, 0x13, 0x18 in any byte).
INSTANTIATE_TEST_SUITE_P(Sizes, ZModemRoundTripTest,
                         ::testing::Values(SRoundTrip{0, 1, 0}, SRoundTrip{1, 1, 0}, SRoundTrip{1023, 1, 0},
                                           SRoundTrip{1024, 1, 0}, SRoundTrip{1025, 1, 0},
                                           SRoundTrip{17, 1, 0}, SRoundTrip{0x1318, 1, 0},
                                           SRoundTrip{0, 0, 0}, SRoundTrip{1, 0, 0}, SRoundTrip{1024, 0, 0},
                                           SRoundTrip{0x1118, 0, 0}, SRoundTrip{200000, 1, 0},
                                           SRoundTrip{200000, 0, 8192}, SRoundTrip{5000, 1, 100000}));

TEST_F(ZModemRzTest, ReceiverGetsTheNameWithoutTheFolder) {
    const std::string path = m_sources.Write("report.txt", Content(300));
    ASSERT_TRUE(m_rz.Start());
    EXPECT_EQ(Send(path, ZModemOptions{1, 1, 0}), ZModemOk);
    EXPECT_EQ(m_rz.Wait(5s), 0);
    EXPECT_TRUE(m_rz.Folder().Exists("report.txt"));
    EXPECT_EQ(m_ui.ZModemView()->Field(EZModemField::FileName), "report.txt");
}

TEST_F(ZModemRzTest, ReceiverKeepsTheFilesTimeAndPermissions) {
    // The header's figures are what receivers read: length, modification time and the mode in octal
    // (with its regular-file bit, which tells a receiver that the permissions are Unix ones).
    const std::string path = m_sources.Write("page.dat", Content(3000));
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    const struct timespec times[2] = {{1500000000, 0}, {1500000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    ASSERT_TRUE(m_rz.Start());
    EXPECT_EQ(Send(path, ZModemOptions{1, 1, 0}), ZModemOk);
    EXPECT_EQ(m_rz.Wait(5s), 0);
    struct stat received {};
    ASSERT_EQ(::stat(m_rz.Folder().File("page.dat").c_str(), &received), 0);
    EXPECT_EQ(received.st_mode & 07777, 0640u);
    EXPECT_EQ(received.st_mtime, 1500000000);
}

TEST_F(ZModemRzTest, ProtectedExistingFileIsSkipped) {
    const Bytes content = Content(5000);
    const std::string path = m_sources.Write("page.dat", content);
    m_rz.Folder().Write("page.dat", Bytes{'o', 'l', 'd'});
    ASSERT_TRUE(m_rz.Start({"-p"}));
    EXPECT_EQ(Send(path, ZModemOptions{1, 1, 0}), ZModemSkipped);
    EXPECT_EQ(m_rz.Folder().Read("page.dat"), (Bytes{'o', 'l', 'd'}));
    m_rz.Wait(5s);
}

TEST_F(ZModemRzTest, ResumeStartsAtTheReceiversOffset) {
    // rz asks for the rest of a file it holds part of: the sender seeks there.
    const Bytes content = Content(10000);
    const std::string path = m_sources.Write("resume.bin", content);
    m_rz.Folder().Write("resume.bin", Bytes(content.begin(), content.begin() + 4096));
    ASSERT_TRUE(m_rz.Start({"-r"}));
    EXPECT_EQ(Send(path, ZModemOptions{1, 1, 0}), ZModemOk);
    EXPECT_EQ(m_rz.Wait(5s), 0);
    EXPECT_EQ(m_rz.Folder().Read("resume.bin"), content);
}

TEST_F(ZModemRzTest, ResendRequestsAfterDamagedSubpacketsAreServed) {
    // rz damages the stream now and then and asks for the data again from where it broke.
    const Bytes content = Content(60000, 7);
    const std::string path = m_sources.Write("damaged.bin", content);
    ASSERT_TRUE(m_rz.Start({"--errors", "20000"}));
    EXPECT_EQ(Send(path, ZModemOptions{1, 1, 0}), ZModemOk);
    EXPECT_EQ(m_rz.Wait(5s), 0);
    EXPECT_EQ(m_rz.Folder().Read("damaged.bin"), content);
}

TEST_F(ZModemRzTest, CancelMidTransferAbortsTheReceiver) {
    const Bytes content = Content(100000);
    const std::string path = m_sources.Write("cut.bin", content);
    m_ui.NextZModemView()->CancelAt(20000);
    ASSERT_TRUE(m_rz.Start());
    EXPECT_EQ(Send(path, ZModemOptions{1, 1, 0}), ZModemCancelled);
    // The receiver must not take the cut file for a whole one.
    const int status = m_rz.Wait(5s);
    EXPECT_NE(status, 0);
    EXPECT_NE(status, CRzReceiver::kStillRunning);
    EXPECT_NE(m_rz.Folder().Read("cut.bin"), content);
    EXPECT_TRUE(m_ui.ZModemView()->IsClosed());
}

TEST_F(ZModemRzTest, MissingFileSendsNothing) {
    auto link = OpenLink();
    const ZModemOptions options{1, 1, 0};
    EXPECT_EQ(ZModemSendFile(m_ui, m_sources.File("absent.txt"), &options, *link), ZModemCannotOpenFile);
    EXPECT_TRUE(m_rz.Pty().ReadMaster(1, 50ms).empty());
    // A folder is no file either.
    EXPECT_EQ(ZModemSendFile(m_ui, m_sources.Path().string(), &options, *link), ZModemCannotOpenFile);
    EXPECT_TRUE(m_rz.Pty().ReadMaster(1, 50ms).empty());
}

TEST_F(ZModemRzTest, SilentReceiverEndsTheOpeningWaitAfterTheReadTimeOut) {
    CClockSpeedScope fast(20); // the 10 s time-out stays above the clock's shortest real time-out
    const std::string path = m_sources.Write("quiet.txt", Content(10));
    auto link = OpenLink();
    const ZModemOptions options{1, 1, 0};
    const uint32_t start = CClock::Instance().TickCount();
    EXPECT_EQ(ZModemSendFile(m_ui, path, &options, *link), ZModemNoResponse);
    const uint32_t elapsed = CClock::Instance().TickCount() - start;
    // One single-byte read of about 10 s, then the window's one-second pause.
    EXPECT_GE(elapsed, 10000u);
    EXPECT_LT(elapsed, 30000u);
    EXPECT_TRUE(m_rz.Pty().ReadMaster(1, 50ms).empty());
}

TEST_F(ZModemRzTest, FinalFiguresShowEvenWithinTheFirstSecond) {
    ExpectRoundTrip("ten.bin", Content(10000), ZModemOptions{1, 1, 0});
    EXPECT_EQ(m_ui.ZModemView()->Field(EZModemField::Bytes), "10000 / 10000 (100%)");
    EXPECT_EQ(m_ui.ZModemView()->Range(), 10000u);
    EXPECT_EQ(m_ui.ZModemView()->Pos(), 10000u);
}

TEST_F(ZModemRzTest, LongerFileShowsThousands) {
    ExpectRoundTrip("eleven.bin", Content(10001), ZModemOptions{1, 1, 0});
    EXPECT_EQ(m_ui.ZModemView()->Field(EZModemField::Bytes), "10K / 10K (100%)");
}

} // namespace
