// Erase Memory against the simulated controller on a pseudo-terminal: the commands each ticked area sends
// and their order, the messages when the controller refuses one, the wait window, cancel, the bootstrap's
// disabled areas, and the COM port it uses whatever the link kind.
#include "engine/app/CommandIds.h"
#include "engine/app/DravikApp.h"
#include "engine/app/UserInterface.h"
#include "platform/Clock.h"
#include "sim/Simulator.h"
#include "support/SimTraceEvents.h"
#include "support/TempFolder.h"
#include "support/TestUserInterface.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

namespace {

using Texts = std::vector<std::string>;

EraseDialogData Ticks(std::initializer_list<EEraseArea> areas) {
    EraseDialogData data;
    for (EEraseArea area : areas)
        data.Ticked(area) = true;
    return data;
}

class EraseMemoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_strTrace = TestTempDir() + "/dravik-erase-trace-" + std::to_string(::getpid()) + ".jsonl";
        m_app.m_strSettingsPath = TestTempDir() + "/dravik-erase-test-none.cfg";
        std::remove(m_app.m_strSettingsPath.c_str());
        m_app.LoadSettings();
    }
    void TearDown() override { std::remove(m_strTrace.c_str()); }

    void StartSim(int connectState, std::vector<SimFault> faults = {}, uint32_t doneDelayMs = 10) {
        SimOptions options;
        options.strProtocol = connectState == ConnectBootstrap ? "PL03" : "PL01";
        options.nDoneDelayMs = doneDelayMs;
        options.strTracePath = m_strTrace;
        options.faults = std::move(faults);
        std::string error;
        ASSERT_TRUE(m_sim.Start(options, error)) << error;
        m_app.m_strPort = m_sim.SlavePath();
        m_app.m_nLinkKind = kLinkCom;
        m_app.m_nConnectState = connectState;
    }
    // The commands that reached the controller.
    Texts Wire() const { return ReadSimTraceEvents(m_strTrace); }
    // The dialog, wait window and message events, in order.
    Texts Shown() const {
        Texts shown;
        for (const auto& event : m_ui.Events())
            if (event.strKind != "status")
                shown.push_back(event.strKind + ":" + event.strText);
        return shown;
    }

    CClockSpeedScope m_fast{20.0};
    CTestUserInterface m_ui;
    CDravikApp m_app{&m_ui};
    CSimulator m_sim;
    std::string m_strTrace;
};

TEST_F(EraseMemoryTest, ApplicationFilesEraseOsThenApplicationAndReportCompletion) {
    StartSim(ConnectBios);
    m_ui.QueueEraseDialog(Ticks({EEraseArea::Application}));
    m_app.OnCommand(ID_COMMANDS_ERASE);
    EXPECT_EQ(Wire(), (Texts{"+++0", "+++1"}));
    EXPECT_EQ(Shown(), (Texts{"erase-dialog:1", "wait:Erasing...|Please wait while memory is erased.",
                              "wait-closed:", "message:Memory erasure complete."}));
}

TEST_F(EraseMemoryTest, AllFiveAreasInTheirOrder) {
    StartSim(ConnectBios);
    // No dialog answer queued: cancelled, which is no failure, and nothing is sent.
    EXPECT_TRUE(m_app.EraseMemory(nullptr));
    EXPECT_TRUE(Wire().empty());
    m_ui.Clear();

    m_ui.QueueEraseDialog(Ticks({EEraseArea::Application, EEraseArea::Configuration, EEraseArea::Parameter,
                                 EEraseArea::Veloria, EEraseArea::Lon}));
    EXPECT_TRUE(m_app.EraseMemory(nullptr));
    // Codes 2, 9, 8, 5, 3, 4.
    EXPECT_EQ(Wire(), (Texts{"+++0", "+++1", "+++2", "+++3", "+++A", "+++B"}));
    EXPECT_EQ(m_ui.Messages(), Texts{"Memory erasure complete."});
}

TEST_F(EraseMemoryTest, RefusedOsEraseStillErasesTheApplicationButIsNotComplete) {
    StartSim(ConnectBios, {{SimFaultKind::ErrorAlways, '0', 0}});
    m_ui.QueueEraseDialog(Ticks({EEraseArea::Application, EEraseArea::Lon}));
    EXPECT_FALSE(m_app.EraseMemory(nullptr));
    // The refused command is tried twice by the exchange; the rest of the sequence still goes out.
    EXPECT_EQ(Wire(), (Texts{"+++0", "+++0", "+++1", "+++B"}));
    EXPECT_EQ(m_ui.Messages(), (Texts{"Slave responded with ERROR.", "Slave rejected erasure of OS."}));
}

TEST_F(EraseMemoryTest, EachAreaNamesItsOwnRefusal) {
    StartSim(ConnectBios, {{SimFaultKind::ErrorAlways, '1', 0},
                           {SimFaultKind::FailDone, '2', 0},
                           {SimFaultKind::ErrorAlways, '3', 0},
                           {SimFaultKind::ErrorAlways, 'A', 0},
                           {SimFaultKind::ErrorAlways, 'B', 0}});
    m_ui.QueueEraseDialog(Ticks({EEraseArea::Application, EEraseArea::Configuration, EEraseArea::Parameter,
                                 EEraseArea::Veloria, EEraseArea::Lon}));
    EXPECT_FALSE(m_app.EraseMemory(nullptr));
    EXPECT_EQ(m_ui.Messages(),
              (Texts{"Slave responded with ERROR.", "Slave rejected erasure of application.",
                     "Slave failed to complete operation.", "Slave rejected erasure of configuration files.",
                     "Slave responded with ERROR.", "Slave rejected erasure of parameter RAM.",
                     "Slave responded with ERROR.", "Slave rejected erasure of Veloria files.",
                     "Slave responded with ERROR.", "Slave rejected erasure of LON database."}));
}

TEST_F(EraseMemoryTest, CancelOrNoTickSendsNothingButTheWaitWindowComesAndGoes) {
    StartSim(ConnectBios);
    m_ui.QueueEraseDialog(std::nullopt);
    m_app.OnEraseMemory();
    m_ui.QueueEraseDialog(EraseDialogData{});
    m_app.OnEraseMemory();
    EXPECT_TRUE(Wire().empty());
    EXPECT_EQ(Shown(), (Texts{"erase-dialog:1", "wait:Erasing...|Please wait while memory is erased.",
                              "wait-closed:", "erase-dialog:1",
                              "wait:Erasing...|Please wait while memory is erased.", "wait-closed:"}));
}

TEST_F(EraseMemoryTest, BootstrapDialogAndItsDisabledAreas) {
    StartSim(ConnectBootstrap);
    // Erase is offered to a bootstrap only with the debug option.
    m_ui.QueueEraseDialog(Ticks({EEraseArea::Application}));
    m_app.OnCommand(ID_COMMANDS_ERASE);
    EXPECT_TRUE(Shown().empty());
    EXPECT_TRUE(Wire().empty());

    m_app.m_bDebug = true;
    m_app.OnCommand(ID_COMMANDS_ERASE);
    // The same commands as for a BIOS behind 1005, 1006 and 1008; Parameter Memory and LON Network
    // Database are disabled for a bootstrap and never erased.
    m_ui.QueueEraseDialog(Ticks({EEraseArea::Application, EEraseArea::Configuration, EEraseArea::Parameter,
                                 EEraseArea::Veloria, EEraseArea::Lon}));
    m_app.OnCommand(ID_COMMANDS_ERASE);
    EXPECT_EQ(Wire(), (Texts{"+++0", "+++1", "+++0", "+++1", "+++2", "+++A"}));
    ASSERT_FALSE(Shown().empty());
    EXPECT_EQ(Shown().front(), "erase-dialog:2");
}

TEST_F(EraseMemoryTest, UsesTheComPortWhateverTheLinkKind) {
    StartSim(ConnectBios);
    m_app.m_nLinkKind = kLinkUsb;
    m_app.m_bUsbPresent = true;
    m_ui.QueueEraseDialog(Ticks({EEraseArea::Configuration}));
    m_app.OnEraseMemory();
    EXPECT_EQ(Wire(), Texts{"+++2"});

    m_ui.Clear();
    m_app.m_strPort = "/dev/no-such-port";
    m_ui.QueueEraseDialog(Ticks({EEraseArea::Configuration}));
    EXPECT_FALSE(m_app.EraseMemory(nullptr));
    EXPECT_EQ(Shown(), Texts{"message:Error opening specified COM port."});
}

// An erase that outlasts the default read time-out but not the raised one completes over the COM port, once,
// also when USB is the chosen link kind.
TEST_F(EraseMemoryTest, LongEraseCompletesOverTheComPortWhenUsbIsChosen) {
    CClockSpeedScope faster{400.0};
    StartSim(ConnectBios, {}, 30000);
    m_app.m_nLinkKind = kLinkUsb;
    m_app.m_bUsbPresent = true;
    m_ui.QueueEraseDialog(Ticks({EEraseArea::Configuration}));
    EXPECT_TRUE(m_app.EraseMemory(nullptr));
    EXPECT_EQ(Wire(), Texts{"+++2"});
    EXPECT_EQ(m_ui.Messages(), Texts{"Memory erasure complete."});
}

TEST_F(EraseMemoryTest, DisabledWithoutAControllerOrDuringADownload) {
    StartSim(ConnectBios);
    m_app.m_nConnectState = ConnectNone;
    m_ui.QueueEraseDialog(Ticks({EEraseArea::Application}));
    m_app.OnCommand(ID_COMMANDS_ERASE);
    m_app.m_nConnectState = ConnectBios;
    m_app.m_bDownloadRunning = true;
    m_app.OnCommand(ID_COMMANDS_ERASE);
    m_app.m_bDownloadRunning = false;
    EXPECT_TRUE(Wire().empty());
    EXPECT_TRUE(Shown().empty());
}

} // namespace
