// The command exchange end to end over USB: the link on the USB device wrapper, the in-process simulated
// bus, and the simulated controller behind the simulated device.
#include "engine/link/LinkContext.h"
#include "engine/link/SerialHandler.h"
#include "engine/link/UsbHidDevice.h"
#include "engine/zmodem/ZModemDlg.h"
#include "engine/zmodem/ZModemTypes.h"
#include "engine/zmodem/ZModemUtil.h"
#include "platform/Clock.h"
#include "sim/UsbSimController.h"
#include "sim/UsbSimHub.h"
#include "support/TempFolder.h"
#include "support/TestUserInterface.h"
#include "support/ZModemHexHeader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <thread>

using namespace std::chrono_literals;

namespace {

class UsbLinkTest : public ::testing::Test {
protected:
    // With a controller behind the device, or (withController false) the test as the far side.
    void Start(const SimOptions& options = {}, bool withController = true) {
        m_hub = std::make_shared<CUsbSimHub>();
        m_sim = m_hub->AddDevice();
        if (withController)
            m_controller = std::make_unique<CUsbSimController>(m_sim, options);
        SelectHidLibrary(m_hub);
        m_context.m_nLinkKind = kLinkUsb;
        m_context.m_bUsbPresent = true;
        ASSERT_EQ(m_device.Open(), kHidSuccess);
        m_link = std::make_unique<CSerialHandler>(m_context, &m_device);
    }
    void TearDown() override {
        m_link.reset();
        m_device.Close();
        m_controller.reset();
        SelectHidLibrary(nullptr);
    }
    // Output reports that reached the device, by their data byte counts.
    std::vector<int> OutputReportSizes() const {
        std::vector<int> sizes;
        for (const auto& report : m_sim->OutputReports())
            sizes.push_back(report[0] == 4 ? report[1] : -1);
        return sizes;
    }

    CTestUserInterface m_ui;
    CLinkContext m_context{&m_ui};
    std::shared_ptr<CUsbSimHub> m_hub;
    std::shared_ptr<CUsbSimDevice> m_sim;
    std::unique_ptr<CUsbSimController> m_controller;
    CUsbHidDevice m_device;
    std::unique_ptr<CSerialHandler> m_link;
};

TEST_F(UsbLinkTest, ProbesAnswerOverUsb) {
    CClockSpeedScope fast(10);
    SimOptions options;
    options.strProtocol = "PL02";
    options.strVersion = "T1.7";
    Start(options);
    char reply[5] = {};
    ASSERT_TRUE(m_link->EscapeD(reply, 0));
    EXPECT_STREQ(reply, "PL02");
    // "+++D": each command byte travels in an output report of its own.
    EXPECT_EQ(OutputReportSizes(), (std::vector<int>{1, 1, 1, 1}));
    ASSERT_TRUE(m_link->EscapeC(reply));
    EXPECT_STREQ(reply, "T1.7");
    EXPECT_EQ(m_link->ReadTimeout(), 20000u);
    EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(UsbLinkTest, CommandsAwaitingDoneAndAcknowledgedFrames) {
    CClockSpeedScope fast(10);
    SimOptions options;
    options.nDoneDelayMs = 300;
    Start(options);
    m_link->SetReadTimeout(30000);
    ASSERT_TRUE(m_link->SendCommand(2)); // "+++0": OK, then DONE after a while
    EXPECT_EQ(m_link->ReadTimeout(), 20000u);
    ASSERT_TRUE(m_link->SendCommand(1)); // "+++4": OK only

    const uint8_t data[] = {0x10, 0x20, 0x30};
    EXPECT_TRUE(m_link->SendBlock(data, sizeof(data)));
    std::vector<uint8_t> big(252);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<uint8_t>(i * 7);
    m_sim->ClearOutputReports();
    EXPECT_TRUE(m_link->SendBlock(big.data(), 251));
    // 254 frame bytes: four full reports and a short one, in one write.
    EXPECT_EQ(OutputReportSizes(), (std::vector<int>{58, 58, 58, 58, 22}));
    EXPECT_TRUE(m_link->SendMRBlock(big.data(), 0));

    const auto frames = m_controller->Frames();
    ASSERT_EQ(frames.size(), 3u);
    for (const auto& frame : frames)
        EXPECT_TRUE(frame.bAccepted);
    EXPECT_EQ(frames[0].data, std::vector<uint8_t>(data, data + 3));
    EXPECT_EQ(frames[1].data, std::vector<uint8_t>(big.begin(), big.begin() + 251));
    EXPECT_TRUE(m_ui.Messages().empty());
    EXPECT_EQ(m_controller->Counters().strLastCommand, "+++4");
}

TEST_F(UsbLinkTest, ReadsThatTimeOutOverUsbBringUpTheirMessages) {
    CClockSpeedScope fast(20);
    SimOptions options;
    options.faults.push_back(SimFault{SimFaultKind::NoAnswer, '5', 0});
    Start(options);
    m_link->SetReadTimeout(1000);
    EXPECT_FALSE(m_link->SendCommand(6)); // "+++5", never answered
    // Over USB a read that gets nothing fails, so each attempt shows the read error first.
    EXPECT_EQ(m_ui.Messages(), (std::vector<std::string>{"Error reading COM port.", "Error reading COM port.",
                                                         "Slave failed to respond."}));
    m_ui.Clear();
    EXPECT_FALSE(m_link->WaitForByte(0x07));
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{"Error reading from USB link."});
}

TEST_F(UsbLinkTest, UsbPathOnlyWhileChosenAndPresent) {
    Start();
    m_link->SetReadTimeout(500);
    EXPECT_EQ(m_link->ReadTimeout(), 500u);
    // The receive ring is the input queue: its count shows, a receive purge empties it.
    const uint8_t report[] = {3, 2, 'a', 'b'};
    m_device.StoreReport(report, sizeof report);
    uint32_t errors = 1;
    CommStatus status;
    EXPECT_TRUE(m_link->ClearErrors(errors, status));
    EXPECT_EQ(status.nInQueue, 2u);
    EXPECT_TRUE(m_link->Purge(kPurgeTxClear));
    EXPECT_EQ(m_device.Count(3), 2u);
    EXPECT_TRUE(m_link->Purge(0xF));
    EXPECT_EQ(m_device.Count(3), 0u);
    EXPECT_TRUE(m_link->SetTimeouts(1, 2, 3, 4, 5));

    // Presence withdrawn: the link falls to the COM path, which has no port, and fails quietly.
    m_context.m_bUsbPresent = false;
    size_t written = 0;
    const uint8_t byte = 'x';
    m_sim->ClearOutputReports();
    EXPECT_FALSE(m_link->Write(&byte, 1, written));
    EXPECT_TRUE(m_sim->OutputReports().empty());
    uint8_t buffer[4];
    size_t got = 9;
    EXPECT_FALSE(m_link->Read(buffer, sizeof(buffer), got));
    EXPECT_EQ(got, 0u);
    EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(UsbLinkTest, UnpluggedDeviceFailsReadsAndWritesAtOnce) {
    Start();
    m_link->SetReadTimeout(kDefaultReadTimeout);
    // The read is waiting when the device goes (it fails the same if the unplug comes first).
    std::thread unplug([this] {
        std::this_thread::sleep_for(100ms);
        m_hub->Unplug(m_sim);
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(m_link->ReadAnswer(), kAnswerNothing);
    unplug.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s); // not the 20 s read time-out
    EXPECT_TRUE(m_link->HasFailed());
    EXPECT_FALSE(m_link->WriteByte('x'));
    EXPECT_FALSE(m_link->WaitForByte(0x07));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(m_ui.Messages(),
              (std::vector<std::string>{"Error reading COM port.", "Error reading from USB link."}));
}

// The test is the ZModem receiver behind the device: a resend request and then a skip, both sent while
// data is still going out, take effect at once, not after the end of the file.
TEST_F(UsbLinkTest, ZModemSeesTheReceiversHeadersMidStream) {
    Start({}, false);
    const std::string path = TestTempDir() + "/dravik-usb-zmodem.bin";
    constexpr size_t kFileSize = 400000;
    std::ofstream(path, std::ios::binary) << std::string(kFileSize, 'z');
    size_t received = 0;
    size_t resendAt = 0;
    int stage = 0;
    // Runs on the sender's thread; each header waits until it has reached the receive ring.
    auto reply = [this](const std::vector<uint8_t>& header) {
        m_sim->SendToHost(header.data(), header.size());
        for (int i = 0; i < 2000 && m_device.Count(3) == 0; ++i)
            std::this_thread::sleep_for(1ms);
    };
    m_sim->SetHostBytesHandler([&](const uint8_t*, size_t n) {
        received += n;
        if (stage == 0) { // the file header: go from the start
            const auto header = ZModemHexHeader(ZRPOS, 0);
            m_sim->SendToHost(header.data(), header.size());
            stage = 1;
        } else if (stage == 1 && received >= 100000) {
            reply(ZModemHexHeader(ZRPOS, 0));
            resendAt = received;
            stage = 2;
        } else if (stage == 2 && received >= resendAt + 50000) {
            reply(ZModemHexHeader(ZSKIP, 0));
            stage = 3;
        }
    });
    const auto init = ZModemHexHeader(ZRINIT, 0x03000000); // full duplex, overlapped I/O
    m_sim->SendToHost(init.data(), init.size());
    const ZModemOptions options{1, 0, 0};
    EXPECT_EQ(ZModemSendFile(m_ui, path, &options, *m_link), ZModemSkipped);
    EXPECT_EQ(stage, 3);
    EXPECT_LT(received, kFileSize);               // never reached the end of the file
    EXPECT_LT(m_ui.ZModemView()->Pos(), 100000u); // went back to the start when asked
    m_sim->SetHostBytesHandler(nullptr);
    std::remove(path.c_str());
}

} // namespace
