// Controller Options against the simulated controller on a pseudo-terminal: the one command per chosen
// port, in the order RS-232 then IR, the messages when the controller refuses one, and the COM port it
// uses whatever the link kind.
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

OptionsDialogData Choose(int rs232, int ir) {
    OptionsDialogData data;
    data.nRs232Choice = rs232;
    data.nIrChoice = ir;
    return data;
}

class OptionsCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_strTrace = TestTempDir() + "/dravik-options-trace-" + std::to_string(::getpid()) + ".jsonl";
        m_app.m_strSettingsPath = TestTempDir() + "/dravik-options-test-none.cfg";
        std::remove(m_app.m_strSettingsPath.c_str());
        m_app.LoadSettings();
    }
    void TearDown() override { std::remove(m_strTrace.c_str()); }

    void StartSim(std::vector<SimFault> faults = {}) {
        SimOptions options;
        options.strTracePath = m_strTrace;
        options.faults = std::move(faults);
        std::string error;
        ASSERT_TRUE(m_sim.Start(options, error)) << error;
        m_app.m_strPort = m_sim.SlavePath();
        m_app.m_nLinkKind = kLinkCom;
        m_app.m_nConnectState = ConnectBios;
    }
    Texts Wire() const { return ReadSimTraceEvents(m_strTrace); }

    CTestUserInterface m_ui;
    CDravikApp m_app{&m_ui};
    CSimulator m_sim;
    std::string m_strTrace;
};

TEST_F(OptionsCommandTest, EachChoiceSendsItsLetter) {
    StartSim();
    // RS-232 then IR for each choice: OS, application, TCP/IP client, TCP/IP server.
    for (int choice = 0; choice < 4; ++choice) {
        m_ui.QueueOptionsDialog(Choose(choice, choice));
        m_app.OnCommand(ID_COMMANDS_OPTIONS);
    }
    EXPECT_EQ(Wire(), (Texts{"+++E", "+++I", "+++F", "+++J", "+++G", "+++K", "+++H", "+++L"}));
    EXPECT_TRUE(m_ui.Messages().empty()) << "no message confirms success";
}

TEST_F(OptionsCommandTest, OnlyThePortsWithAChoice) {
    StartSim();
    m_ui.QueueOptionsDialog(Choose(-1, 3)); // IR "TCP/IP Server" alone
    m_app.OnControllerOptions();
    m_ui.QueueOptionsDialog(Choose(2, 0)); // RS-232 "TCP/IP Client", IR "OS Configured"
    m_app.OnControllerOptions();
    m_ui.QueueOptionsDialog(Choose(-1, -1)); // OK without a choice
    m_app.OnControllerOptions();
    m_ui.QueueOptionsDialog(std::nullopt); // Cancel
    m_app.OnControllerOptions();
    EXPECT_EQ(Wire(), (Texts{"+++L", "+++G", "+++I"}));
    EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(OptionsCommandTest, RefusedRs232SettingStillSendsTheIrSetting) {
    StartSim({{SimFaultKind::ErrorAlways, 'H', 0}, {SimFaultKind::NoAnswer, 'J', 0}});
    CClockSpeedScope fast(100.0); // the unanswered command waits out its read time-out twice
    m_ui.QueueOptionsDialog(Choose(3, 1));
    EXPECT_FALSE(m_app.SetControllerOptions(nullptr));
    EXPECT_EQ(Wire(), (Texts{"+++H", "+++H", "+++J", "+++J"}));
    EXPECT_EQ(m_ui.Messages(), (Texts{"Slave responded with ERROR.", "Slave rejected RS232 port settings.",
                                      "Slave failed to respond.", "Slave rejected IrDA port settings."}));
}

TEST_F(OptionsCommandTest, UsesTheComPortWhateverTheLinkKindAndOnlyForABios) {
    StartSim();
    m_app.m_nLinkKind = kLinkUsb;
    m_app.m_bUsbPresent = true;
    m_ui.QueueOptionsDialog(Choose(1, -1));
    m_app.OnCommand(ID_COMMANDS_OPTIONS);
    EXPECT_EQ(Wire(), Texts{"+++F"});

    // Disabled for a bootstrap and without a controller: the dialog does not even open.
    for (int state : {ConnectNone, ConnectBootstrap}) {
        m_app.m_nConnectState = state;
        m_app.OnCommand(ID_COMMANDS_OPTIONS);
    }
    EXPECT_EQ(Wire(), Texts{"+++F"});

    m_app.m_nConnectState = ConnectBios;
    m_app.m_strPort = "/dev/no-such-port";
    m_ui.Clear();
    m_app.OnCommand(ID_COMMANDS_OPTIONS);
    EXPECT_EQ(m_ui.Messages(), Texts{"Error opening specified COM port."});
    for (const auto& event : m_ui.Events())
        EXPECT_NE(event.strKind, "options-dialog");
}

} // namespace
