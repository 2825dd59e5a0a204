// The application's start-up without a window and its idle pass: the delayed reconnect after a USB
// restart (unsigned tick difference, dropped while the wizard runs, not looked at in terminal mode), and
// the terminal pump from a real pseudo-terminal into the screen model.
#include "engine/app/CommandIds.h"
#include "engine/app/DravikApp.h"
#include "engine/link/SerialHandler.h"
#include "platform/Clock.h"
#include "support/PtyPair.h"
#include "support/TempFolder.h"
#include "support/TestUserInterface.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

class AppIdleTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_app.m_strSettingsPath = TestTempDir() + "/dravik-idle-test-missing.cfg";
        std::remove(m_app.m_strSettingsPath.c_str());
        m_app.LoadSettings();
        m_app.m_strWizard = "WD";
        m_app.OnIdle(0); // the first pass is behind us
        m_ui.RunPosted();
    }
    void ArmReconnect(uint32_t elapsedMs) {
        m_app.m_dwRestartTick = CClock::Instance().TickCount() - elapsedMs;
        m_app.m_bRestartPending = true;
    }

    CTestUserInterface m_ui;
    CDravikApp m_app{&m_ui};
};

TEST_F(AppIdleTest, ReconnectIsPostedOnceFiveSecondsHavePassed) {
    // Ticks start near zero in a test process, so the restart tick lies "before zero": the difference
    // must be taken unsigned to come out right.
    ArmReconnect(4000);
    EXPECT_TRUE(m_app.OnIdle(1)) << "a pending reconnect keeps the idle passes coming";
    EXPECT_EQ(m_ui.PendingPosted(), 0u);
    EXPECT_TRUE(m_app.m_bRestartPending);
    EXPECT_GT(m_app.ReconnectDueInMs(), 0u);
    EXPECT_LE(m_app.ReconnectDueInMs(), 1001u);

    ArmReconnect(5001 + 10);
    EXPECT_EQ(m_app.ReconnectDueInMs(), 0u);
    EXPECT_FALSE(m_app.OnIdle(1));
    EXPECT_FALSE(m_app.m_bRestartPending);
    EXPECT_EQ(m_ui.PendingPosted(), 1u) << "the Connect command is posted";
    EXPECT_FALSE(m_app.OnIdle(1));
    EXPECT_EQ(m_ui.PendingPosted(), 1u) << "and only once";
}

TEST_F(AppIdleTest, ReconnectIsDroppedWhileTheWizardRuns) {
    m_app.m_bWizardRunning = true;
    ArmReconnect(6000);
    m_app.OnIdle(1);
    EXPECT_FALSE(m_app.m_bRestartPending);
    EXPECT_EQ(m_ui.PendingPosted(), 0u);
}

TEST_F(AppIdleTest, ReconnectWaitsWhileTerminalModeIsOn) {
    m_app.m_nTerminalMode = 1;
    ArmReconnect(6000);
    EXPECT_TRUE(m_app.OnIdle(1));
    EXPECT_TRUE(m_app.m_bRestartPending);
    m_app.m_nTerminalMode = 0;
    m_app.OnIdle(1);
    EXPECT_FALSE(m_app.m_bRestartPending);
    EXPECT_EQ(m_ui.PendingPosted(), 1u);
}

TEST_F(AppIdleTest, IdleAsksForNothingMoreWhenNothingIsPending) {
    EXPECT_FALSE(m_app.OnIdle(1));
    EXPECT_EQ(m_app.ReconnectDueInMs(), 0u);
}

TEST_F(AppIdleTest, TerminalPumpFeedsTheScreenUnlessACaptureHoldsTheBytes) {
    CPtyPair pty;
    int result = -1;
    m_app.m_pTermLink =
        std::make_unique<CSerialHandler>(m_app, pty.SlavePath(), kSettingNormal, result, true);
    ASSERT_EQ(result, CSerialHandler::kOpenOk);
    m_app.m_nTerminalMode = 1;
    pty.WriteMaster("AB\r\nC");
    for (int i = 0; i < 200 && m_app.m_terminal.Lines().size() < 2; ++i)
        EXPECT_TRUE(m_app.OnIdle(1)) << "terminal mode keeps the idle passes coming";
    ASSERT_EQ(m_app.m_terminal.Lines().size(), 2u);
    EXPECT_EQ(m_app.m_terminal.Lines()[0], "AB");
    EXPECT_EQ(m_app.m_terminal.Lines()[1], "C");

    m_app.m_nCaptureBusy = 1;
    pty.WriteMaster("hidden");
    for (int i = 0; i < 20; ++i)
        m_app.OnIdle(1);
    EXPECT_EQ(m_app.m_terminal.Lines()[1], "C");
}

TEST(AppStartup, InitInstanceTakesTheCommandLineFileAndRefreshesTheStatus) {
    CTestUserInterface ui;
    CDravikApp app(&ui);
    const std::string folder = TestTempDir() + "/dravik-startup-test";
    std::remove((folder + "/Dravik.cfg").c_str());
    ASSERT_TRUE(app.InitInstance(folder + "/dravik", "/data/images/app v2.img"));
    EXPECT_EQ(app.m_strSettingsPath, "Dravik.cfg") << "no .exe in a Linux program path";
    EXPECT_EQ(app.m_strPathName, "/data/images/app v2.img");
    EXPECT_EQ(app.m_strLoadDir, "/data/images/");
    EXPECT_EQ(app.m_strFileName, "app v2.img");
    EXPECT_EQ(app.m_nConnectState, ConnectNone);
    EXPECT_FALSE(app.m_bWizardRunning);
    ui.RunPosted();
    EXPECT_EQ(ui.LastStatusMessagePane(), "Terminal mode off.");
    EXPECT_EQ(ui.LastStatusLinkPane(), app.m_strPort);
}

} // namespace
