// Connect to controller against the simulated controller, over a pseudo-terminal and over the simulated
// USB bus: the reports and states of each kind of answer, the reset catch, the USB restart outcomes and
// the reconnect that follows an accepted restart.
#include "engine/app/CommandIds.h"
#include "engine/app/DravikApp.h"
#include "platform/Clock.h"
#include "sim/Simulator.h"
#include "sim/UsbSimController.h"
#include "sim/UsbSimHub.h"
#include "support/TempFolder.h"
#include "support/TestUserInterface.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

class ConnectTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_app.m_strSettingsPath = TestTempDir() + "/dravik-connect-test-none.cfg";
        std::remove(m_app.m_strSettingsPath.c_str());
        m_app.LoadSettings();
        m_app.ForgoWizardStart(); // the idle passes here carry the reconnect, not the wizard
    }
    void StartCom(SimOptions options) {
        options.nDoneDelayMs = 20;
        std::string error;
        ASSERT_TRUE(m_sim.Start(options, error)) << error;
        m_app.m_strPort = m_sim.SlavePath();
        m_app.m_nLinkKind = kLinkCom;
    }
    void StartUsb(const SimOptions& options, const SUsbSimOptions& usb) {
        m_hub = std::make_shared<CUsbSimHub>();
        m_device = m_hub->AddDevice(usb);
        m_controller = std::make_unique<CUsbSimController>(m_device, options);
        SelectHidLibrary(m_hub);
        m_app.m_nLinkKind = kLinkUsb;
        m_app.WatchUsbDevices();
        m_app.CheckUsbDevice();
        ASSERT_TRUE(m_app.m_bUsbPresent);
    }
    void TearDown() override {
        if (m_hub) {
            m_app.m_usbDevice.Close();
            m_controller.reset();
            SelectHidLibrary(nullptr);
        }
    }
    std::vector<std::string> WaitWindowEvents() const {
        std::vector<std::string> waits;
        for (const auto& event : m_ui.Events())
            if (event.strKind.rfind("wait", 0) == 0)
                waits.push_back(event.strKind + ":" + event.strText);
        return waits;
    }

    CTestUserInterface m_ui;
    CDravikApp m_app{&m_ui};
    CSimulator m_sim;
    std::shared_ptr<CUsbSimHub> m_hub;
    std::shared_ptr<CUsbSimDevice> m_device;
    std::unique_ptr<CUsbSimController> m_controller;
};

TEST_F(ConnectTest, BiosAnswersAtOnceWithoutTheResetWait) {
    for (const char* protocol : {"PL01", "PL02"}) {
        CTestUserInterface ui;
        CDravikApp app(&ui);
        CSimulator sim;
        SimOptions options;
        options.strProtocol = protocol;
        options.strVersion = "V4.2";
        std::string error;
        ASSERT_TRUE(sim.Start(options, error));
        app.m_strPort = sim.SlavePath();
        const uint32_t start = CClock::Instance().TickCount();
        app.OnCommand(ID_COMMANDS_CONNECT);
        EXPECT_LT(CClock::Instance().TickCount() - start, 10000u) << "no 30 s wait";
        EXPECT_EQ(app.m_nConnectState, ConnectBios);
        EXPECT_EQ(ui.Messages(),
                  std::vector<std::string>{std::string("Controller connected.\n Bios Version V4.2/"
                                                       "Protocol Version ") +
                                           protocol});
        EXPECT_EQ(sim.Counters().nResets, 0u);
    }
}

TEST_F(ConnectTest, BootstrapIsNamedAndTheWaitWindowComesAndGoes) {
    SimOptions options;
    options.strProtocol = "PL03";
    options.strVersion = "V2.1";
    StartCom(options);
    m_app.OnConnect();
    EXPECT_EQ(m_app.m_nConnectState, ConnectBootstrap);
    EXPECT_STREQ(m_app.m_szProtocol, "PL03");
    EXPECT_STREQ(m_app.m_szVersion, "V2.1");
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{
                                   "Controller connected.\n Bootstrap Version V2.1/Protocol Version PL03"});
    EXPECT_EQ(WaitWindowEvents(),
              (std::vector<std::string>{
                  "wait:Connect...|Please reset controller.  Dravik will wait 30s for controller to connect.",
                  "wait-closed:"}));
}

TEST_F(ConnectTest, ControllerCaughtAtResetAndHeldInItsBootstrap) {
    SimOptions options;
    options.strProtocol.clear();   // its application runs and does not answer the probe
    options.nResetAfterMs = 10000; // well after the probe's time-out, even where a busy machine stretches it
    CClockSpeedScope fast(10.0);
    StartCom(options);
    m_app.OnConnect();
    EXPECT_EQ(m_sim.Counters().nEscHeld, 1u);
    EXPECT_EQ(m_app.m_nConnectState, ConnectBootstrap);
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{
                                   "Controller connected.\n Bootstrap Version V2.3/Protocol Version PL03"});
}

TEST_F(ConnectTest, NoAnswerAtAllAfterThirtySeconds) {
    SimOptions options;
    options.strProtocol.clear();
    CClockSpeedScope fast(100.0);
    StartCom(options);
    m_app.m_nConnectState = ConnectBios; // an earlier run's state is rewritten
    const uint32_t start = CClock::Instance().TickCount();
    m_app.OnConnect();
    EXPECT_GE(CClock::Instance().TickCount() - start, 30000u);
    EXPECT_EQ(m_app.m_nConnectState, ConnectNone);
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{"No connection established"});
    EXPECT_EQ(m_ui.Events().back().strKind, "message") << "the wait window closes before the report";
}

TEST_F(ConnectTest, BootstrapWithoutVersionTextEndsSilently) {
    SimOptions options;
    options.strProtocol = "PL03";
    options.faults.push_back({SimFaultKind::NoAnswer, 'C', 0});
    CClockSpeedScope fast(10.0);
    StartCom(options);
    m_app.OnConnect();
    EXPECT_EQ(m_app.m_nConnectState, ConnectBootstrap);
    EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(ConnectTest, BiosWithoutVersionTextIsReportedPlainly) {
    SimOptions options;
    options.faults.push_back({SimFaultKind::NoAnswer, 'C', 0});
    CClockSpeedScope fast(10.0);
    StartCom(options);
    m_app.OnConnect();
    EXPECT_EQ(m_app.m_nConnectState, ConnectBios);
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{"Connection established"});
}

TEST_F(ConnectTest, NoLinkOrNoPortLeavesTheStateAlone) {
    m_app.m_nConnectState = ConnectBootstrap;
    m_app.m_nLinkKind = kLinkUsb; // chosen, but no device present
    m_app.OnConnect();
    m_app.m_nLinkKind = kLinkCom;
    m_app.m_strPort = "/dev/no-such-port";
    m_app.OnConnect();
    EXPECT_EQ(m_ui.Messages(), (std::vector<std::string>{
                                   "No serial link available! Please select one or check if USB connected.",
                                   "Error opening specified COM port."}));
    EXPECT_EQ(m_app.m_nConnectState, ConnectBootstrap);
    EXPECT_STREQ(m_app.m_szProtocol, "") << "both texts are cleared all the same";
}

TEST(ProtocolText, ParserTakesExactlyTheFirstFourBytes) {
    CTestUserInterface ui;
    CDravikApp app(&ui);
    const struct {
        const char* text;
        int state;
    } cases[] = {{"PL01", 1}, {"PL02", 1}, {"PL03", 2}, {"PL04", 0}, {"pl01", 0},
                 {"PL0", 0},  {"", 0},     {"V2.3", 0}, {"PL03x", 2}};
    for (const auto& c : cases) {
        app.ParseProtocolVersion(c.text);
        EXPECT_EQ(app.m_nConnectState, c.state) << c.text;
    }
    app.ParseProtocolVersion(nullptr);
    EXPECT_EQ(app.m_nConnectState, 0);
}

TEST_F(ConnectTest, UsbWithoutRestartConnectsWithoutWaitWindow) {
    SimOptions options;
    options.strProtocol = "PL01";
    CClockSpeedScope fast(10.0);
    StartUsb(options, {});
    m_app.OnConnect();
    EXPECT_EQ(m_app.m_nConnectState, ConnectBios);
    EXPECT_TRUE(WaitWindowEvents().empty());
    EXPECT_EQ(m_ui.Messages(),
              std::vector<std::string>{"Controller connected.\n Bios Version V2.3/Protocol Version PL01"});
}

TEST_F(ConnectTest, AcceptedUsbRestartConnectsAgainByItselfAboutFiveSecondsLater) {
    SimOptions options;
    options.strProtocol = "PL01";
    SUsbSimOptions usb;
    usb.eRestart = EUsbRestartMode::Accept;
    usb.nRestartAwayMs = 2000;
    CClockSpeedScope fast(5.0); // slow enough that "about five seconds" has a margin a busy machine keeps
    StartUsb(options, usb);
    m_app.OnConnect();
    EXPECT_TRUE(m_ui.Messages().empty()) << "an accepted restart says nothing";
    EXPECT_TRUE(m_app.m_bRestartPending);
    EXPECT_EQ(m_app.m_nConnectState, ConnectNone);

    // Idle passes and posted work (the device leaves and comes back meanwhile) until the posted Connect
    // has run and reported.
    const uint32_t start = CClock::Instance().TickCount();
    uint32_t reconnectedAfter = 0;
    while (m_ui.Messages().empty()) {
        m_app.OnIdle(1);
        if (!m_app.m_bRestartPending && reconnectedAfter == 0)
            reconnectedAfter = CClock::Instance().TickCount() - start;
        m_ui.RunPosted();
        CClock::Instance().Sleep(50);
        ASSERT_LT(CClock::Instance().TickCount() - start, 60000u);
    }
    EXPECT_GE(reconnectedAfter, 4900u);
    EXPECT_LT(reconnectedAfter, 8000u);
    EXPECT_EQ(m_app.m_nConnectState, ConnectBootstrap)
        << "after its restart the controller waits in its bootstrap";
    ASSERT_FALSE(m_ui.Messages().empty());
    EXPECT_EQ(m_ui.Messages().back().rfind("Controller connected.\n Bootstrap Version", 0), 0u);
}

TEST_F(ConnectTest, RefusedAndUnsupportedUsbRestartsStopWithTheirMessage) {
    SimOptions options;
    SUsbSimOptions usb;
    usb.eRestart = EUsbRestartMode::RefuseRun;
    CClockSpeedScope fast(10.0);
    StartUsb(options, usb);
    m_app.OnConnect();
    m_device->SetRestartMode(EUsbRestartMode::OldBootstrap);
    m_app.OnConnect();
    EXPECT_EQ(
        m_ui.Messages(),
        (std::vector<std::string>{
            "Restart rejected by DXU 'RUN' state!\nStop DXU and retry to connect!",
            "This DXU Bootstrap (V2.0) does not support USB!\nUse RS-232 or upgrade the Bootstrap software\n"
            "to at least Version 2.1 in order to use USB."}));
    EXPECT_EQ(m_app.m_nConnectState, ConnectNone);
    EXPECT_FALSE(m_app.m_bRestartPending);
    EXPECT_EQ(m_controller->Counters().nProbes, 0u) << "Connect stops without probing";
}

TEST_F(ConnectTest, OldBootstrapVersionOnePointFiveIsNamed) {
    SUsbSimOptions usb;
    usb.eRestart = EUsbRestartMode::OldBootstrap;
    usb.fBootstrapVersion = 1.5f;
    CClockSpeedScope fast(10.0);
    StartUsb({}, usb);
    EXPECT_EQ(m_app.UsbRestartCheck(), 3);
    ASSERT_EQ(m_ui.Messages().size(), 1u);
    EXPECT_EQ(m_ui.Messages()[0].rfind("This DXU Bootstrap (V1.5) does not support USB!", 0), 0u);
}

} // namespace
