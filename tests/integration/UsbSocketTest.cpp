// The engine's USB code on the socket backend against the dxu-sim program: the same device wrapper, link
// and presence logic as on the in-process bus, only the backend chosen differs.
#include "engine/app/DravikApp.h"
#include "engine/link/SerialHandler.h"
#include "platform/Clock.h"
#include "platform/HidSocketProtocol.h"
#include "support/SimProcess.h"
#include "support/TestUserInterface.h"

#include "support/ProcessAccounting.h"
#include "support/TempFolder.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <dirent.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A test control request to the simulator's bus: unplug, plug or add a device.
bool BusControl(const std::string& path, char op, uint8_t device) {
    CUniqueFd fd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    if (::connect(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0)
        return false;
    const uint8_t message[] = {HidSocket::kControl, static_cast<uint8_t>(op), device};
    uint8_t reply[2] = {};
    return ::send(fd.Get(), message, sizeof(message), MSG_NOSIGNAL) == 3 &&
           ::recv(fd.Get(), reply, sizeof(reply), 0) == 2 && reply[1] == kHidSuccess;
}

class UsbSocketTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int serial = 0;
        m_strSocket =
            TestTempDir() + "/dravik-usb-test-" + std::to_string(::getpid()) + "-" + std::to_string(++serial);
    }
    void TearDown() override { SelectHidLibrary(nullptr); }

    template <typename Pred> bool PumpUntil(Pred done) {
        return WaitUntil([&] {
            m_ui.RunPosted();
            return done();
        });
    }

    std::string m_strSocket;
    CTestUserInterface m_ui;
};

TEST_F(UsbSocketTest, CommandExchangeRestartAndTwinOverTheSimulatorsSocket) {
    CSimProcess sim({"--hid-socket", m_strSocket, "--usb-restart", "accept", "--usb-restart-away", "300",
                     "--protocol", "PL01", "--done-delay", "50"});
    ASSERT_TRUE(sim.IsReady());
    SelectHidLibrary(CreateHidSocketLibrary(m_strSocket));
    const unsigned threadsBefore = ThreadCount();
    const unsigned descriptorsBefore = OpenDescriptors();
    {
        auto app = std::make_unique<CDravikApp>(&m_ui);
        app->m_nLinkKind = kLinkUsb;
        app->WatchUsbDevices();
        app->CheckUsbDevice();
        ASSERT_TRUE(app->m_bUsbPresent);
        ASSERT_TRUE(app->m_usbDevice.IsOpen());

        {
            CSerialHandler link(*app, &app->m_usbDevice);
            char reply[5] = {};
            ASSERT_TRUE(link.EscapeD(reply, 0));
            EXPECT_STREQ(reply, "PL01");
            EXPECT_TRUE(link.SendCommand(2));
            const uint8_t data[] = {1, 2, 3, 4};
            EXPECT_TRUE(link.SendBlock(data, sizeof(data)));
        }

        // The restart: accepted, the device drops off and comes back with the controller in its bootstrap.
        uint8_t state = 9;
        uint8_t answer[5] = {};
        ASSERT_EQ(app->ControlExchange(0x80, 0, state, answer, 1000), 0);
        ASSERT_EQ(answer[0], 1);
        ASSERT_EQ(app->ControlExchange(0x81, 1, state, answer, 1000), 0);
        EXPECT_EQ(state, 0);
        ASSERT_TRUE(PumpUntil([&] { return !app->m_bUsbPresent; }));
        ASSERT_TRUE(PumpUntil([&] { return app->m_bUsbPresent.load(); }));
        ASSERT_TRUE(PumpUntil([&] { return app->m_usbDevice.Count(3) == 1; })); // its BEL
        app->m_usbDevice.ClearRing(3);
        {
            CSerialHandler link(*app, &app->m_usbDevice);
            char reply[5] = {};
            ASSERT_TRUE(link.EscapeD(reply, 0));
            EXPECT_STREQ(reply, "PL03");
        }

        // A second controller appears: presence is withdrawn; it goes again: nothing changes.
        ASSERT_TRUE(BusControl(m_strSocket, HidSocket::kAddDevice, 0));
        ASSERT_TRUE(PumpUntil([&] { return !app->m_bUsbPresent; }));
        m_ui.RunPosted();
        ASSERT_TRUE(BusControl(m_strSocket, HidSocket::kUnplug, 1));
        ASSERT_TRUE(WaitUntil([&] { return m_ui.RunPosted() > 0; }))
            << "the removal's notification was handled";
        EXPECT_FALSE(app->m_bUsbPresent);
        EXPECT_TRUE(app->m_usbDevice.IsOpen());

        // Unplugging the last one closes the device.
        ASSERT_TRUE(BusControl(m_strSocket, HidSocket::kUnplug, 0));
        ASSERT_TRUE(PumpUntil([&] { return !app->m_usbDevice.IsOpen(); }));
        ASSERT_TRUE(BusControl(m_strSocket, HidSocket::kPlug, 0));
        ASSERT_TRUE(PumpUntil([&] { return app->m_usbDevice.IsOpen(); }));
        EXPECT_TRUE(m_ui.Messages().empty());
    }
    EXPECT_LE(ThreadCountSettled(threadsBefore), threadsBefore);
    EXPECT_EQ(OpenDescriptors(), descriptorsBefore);
    m_ui.Clear();
    EXPECT_EQ(sim.Stop(), 0);
}

TEST_F(UsbSocketTest, RefusalsAndAnOldBootstrapComeThroughTheSocket) {
    CSimProcess sim({"--hid-socket", m_strSocket, "--usb-restart", "old-bootstrap", "--usb-bootstrap-version",
                     "1.5", "--usb-busy-polls", "2"});
    ASSERT_TRUE(sim.IsReady());
    SelectHidLibrary(CreateHidSocketLibrary(m_strSocket));
    CDravikApp app(&m_ui);
    app.m_nLinkKind = kLinkUsb;
    app.CheckUsbDevice();
    ASSERT_TRUE(app.m_bUsbPresent);
    uint8_t state = 9;
    uint8_t answer[5] = {};
    CClockSpeedScope fast(20);
    ASSERT_EQ(app.ControlExchange(0x81, 1, state, answer, 1000), 0);
    EXPECT_EQ(state, 1);
    EXPECT_EQ(answer[0], 1);
    float version = 0;
    const uint32_t bits =
        answer[1] | answer[2] << 8 | answer[3] << 16 | static_cast<uint32_t>(answer[4]) << 24;
    std::memcpy(&version, &bits, sizeof(version));
    EXPECT_FLOAT_EQ(version, 1.5f);
    // Still busy after the only poll a short time-out allows.
    ASSERT_EQ(app.ControlExchange(0x80, 0, state, answer, 50), 0);
    EXPECT_EQ(state, 2);
    EXPECT_EQ(sim.Stop(), 0);
    // The simulator gone: control requests fail instead of hanging.
    EXPECT_NE(app.ControlExchange(0x80, 0, state, answer, 1000), 0);
}

TEST_F(UsbSocketTest, ADeviceHeldByAnotherProgramCannotBeOpened) {
    CSimProcess sim({"--hid-socket", m_strSocket, "--usb-refuse-open"});
    ASSERT_TRUE(sim.IsReady());
    SelectHidLibrary(CreateHidSocketLibrary(m_strSocket));
    CDravikApp app(&m_ui);
    app.m_nLinkKind = kLinkUsb;
    app.CheckUsbDevice();
    EXPECT_FALSE(app.m_bUsbPresent);
    EXPECT_EQ(m_ui.Messages(),
              std::vector<std::string>{
                  "Opening USB device failed!\nThe USB device may be used by other Application!"});
}

} // namespace
