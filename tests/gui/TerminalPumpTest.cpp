// The terminal pump runs when the terminal link's descriptor has data, not by polling: bytes written by
// the controller on a real pseudo-terminal reach the screen through the main window's idle pass, and an
// idle window with terminal mode on arms no timer.
#include "GuiTestSupport.h"
#include "engine/app/DravikApp.h"
#include "engine/link/SerialHandler.h"
#include "gui/MainFrame.h"
#include "gui/QtUserInterface.h"
#include "support/PtyPair.h"

#include <gtest/gtest.h>

namespace {

TEST(TerminalPump, ControllerOutputReachesTheScreenOnDescriptorReadiness) {
    CPtyPair pty;
    CQtUserInterface ui;
    CDravikApp app(&ui);
    CMainFrame frame(app);
    ui.SetMainFrame(&frame);
    frame.show();

    // Terminal mode as its command leaves it: an overlapped COM link with a 10 ms read time-out.
    int result = -1;
    app.m_nLinkKind = kLinkCom;
    app.m_pTermLink = std::make_unique<CSerialHandler>(app, pty.SlavePath(), kSettingNormal, result, true);
    ASSERT_EQ(result, CSerialHandler::kOpenOk);
    app.m_pTermLink->SetReadTimeout(10);
    app.m_nTerminalMode = 1;
    app.m_terminal.ShowTerminal();
    frame.RunIdle();
    EXPECT_EQ(frame.WatchedTerminalDescriptor(), app.m_pTermLink->Descriptor());
    EXPECT_FALSE(frame.IdleTimerArmed());

    pty.WriteMaster("DXU> help\r\n1 - alarm history\r\n");
    EXPECT_TRUE(ProcessUntil([&] { return app.m_terminal.Lines().size() >= 3; }));
    EXPECT_EQ(app.m_terminal.Lines(), (std::vector<std::string>{"DXU> help", "1 - alarm history", ""}));

    // Leaving terminal mode stops watching the port.
    app.SwitchTerminalModeOff();
    frame.RunIdle();
    EXPECT_EQ(frame.WatchedTerminalDescriptor(), -1);
}

} // namespace
