// The application's side of USB: the presence check, arrival and removal, the control exchange of the
// restart requests, and what is left when the application ends. Runs on the in-process simulated bus.
#include "engine/app/DravikApp.h"
#include "engine/link/SerialHandler.h"
#include "platform/Clock.h"
#include "sim/UsbSimController.h"
#include "sim/UsbSimHub.h"
#include "support/TestUserInterface.h"

#include "support/ProcessAccounting.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <dirent.h>

namespace {

constexpr const char* kOpenFailed =
    "Opening USB device failed!\nThe USB device may be used by other Application!";

class UsbPresenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_hub = std::make_shared<CUsbSimHub>();
        SelectHidLibrary(m_hub);
        m_app = std::make_unique<CDravikApp>(&m_ui);
    }
    void TearDown() override {
        m_app.reset();
        SelectHidLibrary(nullptr);
    }
    // Runs what the bus's notifications posted, waiting (bounded) until the condition holds.
    template <typename Pred> bool PumpUntil(Pred done) {
        return WaitUntil([&] {
            m_ui.RunPosted();
            return done();
        });
    }

    CTestUserInterface m_ui;
    std::shared_ptr<CUsbSimHub> m_hub;
    std::unique_ptr<CDravikApp> m_app;
};

TEST_F(UsbPresenceTest, PresentOnlyWithExactlyOneDevice) {
    m_app->m_nLinkKind = kLinkUsb;
    m_app->CheckUsbDevice();
    EXPECT_FALSE(m_app->m_bUsbPresent);
    m_ui.RunPosted();
    EXPECT_EQ(m_ui.LastStatusLinkPane(), "USB disconnected");

    auto first = m_hub->AddDevice();
    auto second = m_hub->AddDevice();
    m_app->CheckUsbDevice();
    EXPECT_FALSE(m_app->m_bUsbPresent) << "two controllers: neither is used";
    EXPECT_FALSE(m_app->m_usbDevice.IsOpen());

    m_hub->Unplug(second);
    m_app->CheckUsbDevice();
    EXPECT_TRUE(m_app->m_bUsbPresent);
    EXPECT_TRUE(m_app->m_usbDevice.IsOpen());
    m_ui.RunPosted();
    EXPECT_EQ(m_ui.LastStatusLinkPane(), "USB connected");
    EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(UsbPresenceTest, WithComChosenThePresentDeviceIsNotOpened) {
    m_hub->AddDevice();
    m_app->m_nLinkKind = kLinkCom;
    m_app->CheckUsbDevice();
    EXPECT_TRUE(m_app->m_bUsbPresent);
    EXPECT_FALSE(m_app->m_usbDevice.IsOpen());
    EXPECT_EQ(m_hub->OpenHandles(), 0u);
}

TEST_F(UsbPresenceTest, ADeviceThatCannotBeOpenedIsNotPresent) {
    SUsbSimOptions options;
    options.bRefuseOpen = true;
    m_hub->AddDevice(options);
    m_app->m_nLinkKind = kLinkUsb;
    m_app->CheckUsbDevice();
    EXPECT_FALSE(m_app->m_bUsbPresent);
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{kOpenFailed});
}

TEST_F(UsbPresenceTest, ArrivalAndRemovalFollowTheBus) {
    m_app->m_nLinkKind = kLinkUsb;
    m_app->WatchUsbDevices();
    auto device = m_hub->AddDevice();
    ASSERT_TRUE(PumpUntil([&] { return m_app->m_bUsbPresent.load(); }));
    EXPECT_TRUE(m_app->m_usbDevice.IsOpen());

    // A second controller arrives, then goes again: the check withdraws presence, the removal of one of
    // two changes nothing.
    auto twin = m_hub->AddDevice();
    ASSERT_TRUE(PumpUntil([&] { return !m_app->m_bUsbPresent; }));
    m_ui.RunPosted();
    m_hub->Unplug(twin);
    ASSERT_TRUE(WaitUntil([&] { return m_ui.RunPosted() > 0; })) << "the removal's notification was handled";
    EXPECT_FALSE(m_app->m_bUsbPresent);
    EXPECT_TRUE(m_app->m_usbDevice.IsOpen());

    // Plugged back in as the only one: present and usable again.
    m_hub->Plug(twin);
    m_hub->Unplug(twin);
    ASSERT_TRUE(PumpUntil([&] { return m_hub->GetNumHidDevices(kDxuVendorId, kDxuProductId) == 1; }));
    m_app->CheckUsbDevice();
    EXPECT_TRUE(m_app->m_bUsbPresent);

    // The last one goes: the device is closed and presence withdrawn, without a message.
    m_hub->Unplug(device);
    ASSERT_TRUE(PumpUntil([&] { return !m_app->m_usbDevice.IsOpen(); }));
    EXPECT_FALSE(m_app->m_bUsbPresent);
    EXPECT_EQ(m_hub->OpenHandles(), 0u);
    EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(UsbPresenceTest, AHandleOfAnUnpluggedDeviceIsNotReusedForTheNextOne) {
    m_app->m_nLinkKind = kLinkUsb;
    auto first = m_hub->AddDevice();
    m_app->CheckUsbDevice();
    ASSERT_TRUE(m_app->m_usbDevice.IsOpen());
    auto second = m_hub->AddDevice();
    m_app->CheckUsbDevice(); // two: not present, the first stays open
    m_hub->Unplug(first);
    m_app->OnUsbDeviceRemoved(); // one left: nothing happens
    ASSERT_TRUE(WaitUntil([&] { return m_app->m_usbDevice.IsDeviceGone(); }))
        << "the reader notices the removal";
    m_app->CheckUsbDevice();
    ASSERT_TRUE(m_app->m_bUsbPresent);

    // Bytes from the device now attached reach the ring.
    second->SendToHost(reinterpret_cast<const uint8_t*>("hi"), 2);
    uint8_t buffer[2];
    size_t count = 2;
    EXPECT_TRUE(m_app->m_usbDevice.ReadRing(3, buffer, 2, count, 2000));
    EXPECT_EQ(count, 2u);
}

TEST_F(UsbPresenceTest, ControlExchangeAnswersTheRestartRequests) {
    CClockSpeedScope fast(20);
    m_app->m_nLinkKind = kLinkUsb;
    auto device = m_hub->AddDevice();
    m_app->CheckUsbDevice();
    ASSERT_TRUE(m_app->m_usbDevice.IsOpen());
    uint8_t state = 9;
    uint8_t answer[5] = {};

    ASSERT_EQ(m_app->ControlExchange(0x80, 0, state, answer, 1000), 0);
    EXPECT_EQ(state, 0);
    EXPECT_EQ(answer[0], 0) << "no restart needed";

    device->SetRestartMode(EUsbRestartMode::RefuseRun);
    ASSERT_EQ(m_app->ControlExchange(0x80, 0, state, answer, 1000), 0);
    EXPECT_EQ(answer[0], 1);
    ASSERT_EQ(m_app->ControlExchange(0x81, 1, state, answer, 1000), 0);
    EXPECT_EQ(state, 1);
    EXPECT_EQ(answer[0], 0);

    device->SetRestartMode(EUsbRestartMode::OldBootstrap);
    ASSERT_EQ(m_app->ControlExchange(0x81, 1, state, answer, 1000), 0);
    EXPECT_EQ(state, 1);
    EXPECT_EQ(answer[0], 1);
    float version = 0;
    const uint32_t bits =
        answer[1] | answer[2] << 8 | answer[3] << 16 | static_cast<uint32_t>(answer[4]) << 24;
    std::memcpy(&version, &bits, sizeof(version));
    EXPECT_FLOAT_EQ(version, 2.0f);
}

TEST_F(UsbPresenceTest, BusyAnswersArePolledUntilTheTimeOutRunsOut) {
    CClockSpeedScope fast(50);
    m_app->m_nLinkKind = kLinkUsb;
    auto device = m_hub->AddDevice();
    m_app->CheckUsbDevice();
    uint8_t state = 0;
    uint8_t answer[5] = {};

    device->SetBusyPolls(UINT32_MAX);
    unsigned before = device->ControlInCount();
    ASSERT_EQ(m_app->ControlExchange(0x80, 0, state, answer, 1000), 0);
    EXPECT_EQ(state, 2);
    EXPECT_EQ(device->ControlInCount() - before, 10u);

    before = device->ControlInCount();
    ASSERT_EQ(m_app->ControlExchange(0x80, 0, state, answer, 50), 0);
    EXPECT_EQ(device->ControlInCount() - before, 1u) << "at least one poll";

    device->SetBusyPolls(3);
    before = device->ControlInCount();
    ASSERT_EQ(m_app->ControlExchange(0x80, 0, state, answer, 1000), 0);
    EXPECT_EQ(state, 0);
    EXPECT_EQ(device->ControlInCount() - before, 4u);

    m_hub->Unplug(device);
    EXPECT_NE(m_app->ControlExchange(0x80, 0, state, answer, 1000), 0);
}

TEST_F(UsbPresenceTest, AnAcceptedRestartDropsTheDeviceAndBringsItBackInItsBootstrap) {
    CClockSpeedScope fast(20);
    SUsbSimOptions usb;
    usb.eRestart = EUsbRestartMode::Accept;
    auto device = m_hub->AddDevice(usb);
    SimOptions options;
    options.strProtocol = "PL01";
    CUsbSimController controller(device, options);
    m_app->m_nLinkKind = kLinkUsb;
    m_app->WatchUsbDevices();
    m_app->CheckUsbDevice();
    ASSERT_TRUE(m_app->m_bUsbPresent);

    uint8_t state = 9;
    uint8_t answer[5] = {};
    ASSERT_EQ(m_app->ControlExchange(0x80, 0, state, answer, 1000), 0);
    ASSERT_EQ(answer[0], 1);
    ASSERT_EQ(m_app->ControlExchange(0x81, 1, state, answer, 1000), 0);
    EXPECT_EQ(state, 0);
    ASSERT_TRUE(PumpUntil([&] { return !m_app->m_bUsbPresent; }));
    EXPECT_FALSE(m_app->m_usbDevice.IsOpen());
    ASSERT_TRUE(PumpUntil([&] { return m_app->m_bUsbPresent.load(); }));
    ASSERT_TRUE(m_app->m_usbDevice.IsOpen());
    // The restarted controller's BEL, which the restart check clears away before probing.
    ASSERT_TRUE(PumpUntil([&] { return m_app->m_usbDevice.Count(3) == 1; }));

    ASSERT_EQ(m_app->ControlExchange(0x80, 0, state, answer, 1000), 0);
    EXPECT_EQ(answer[0], 0) << "no restart needed any more";
    m_app->m_usbDevice.ClearRing(3);
    CSerialHandler link(*m_app, &m_app->m_usbDevice);
    char reply[5] = {};
    ASSERT_TRUE(link.EscapeD(reply, 0));
    EXPECT_STREQ(reply, "PL03");
    EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(UsbPresenceTest, NothingIsLeftRunningWhenTheApplicationEnds) {
    const unsigned threadsBefore = ThreadCount();
    auto first = m_hub->AddDevice();
    m_app->m_nLinkKind = kLinkUsb;
    m_app->WatchUsbDevices();
    m_app->CheckUsbDevice();
    ASSERT_TRUE(m_app->m_usbDevice.IsOpen());
    EXPECT_GT(ThreadCount(), threadsBefore);
    m_app.reset();
    EXPECT_LE(ThreadCountSettled(threadsBefore), threadsBefore);
    EXPECT_EQ(m_hub->OpenHandles(), 0u);

    // Also when presence was withdrawn while the device stayed open (a second one came).
    m_app = std::make_unique<CDravikApp>(&m_ui);
    m_app->m_nLinkKind = kLinkUsb;
    m_app->CheckUsbDevice();
    m_hub->AddDevice();
    m_app->CheckUsbDevice();
    ASSERT_FALSE(m_app->m_bUsbPresent);
    ASSERT_TRUE(m_app->m_usbDevice.IsOpen());
    m_app.reset();
    EXPECT_LE(ThreadCountSettled(threadsBefore), threadsBefore);
    EXPECT_EQ(m_hub->OpenHandles(), 0u);
    m_ui.Clear();
}

} // namespace
