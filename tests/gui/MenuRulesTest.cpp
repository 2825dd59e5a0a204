// The main window's menu: every item's enable and check rule evaluated when its pop-up opens, in the
// states that matter, and the status bar's panes.
#include "GuiTestSupport.h"
#include "engine/app/CommandIds.h"
#include "engine/app/DravikApp.h"
#include "gui/app/MainFrame.h"
#include "gui/app/MenuTable.h"
#include "gui/app/QtUserInterface.h"
#include "gui/terminal/TextView.h"
#include "platform/Clock.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWindow>

#include <algorithm>
#include <thread>

namespace {

class MainFrameTest : public testing::Test {
protected:
    MainFrameTest() : m_app(&m_ui), m_frame(m_app) {
        m_ui.SetMainFrame(&m_frame);
        m_app.m_strPort = "COM1";
        m_frame.show();
        ProcessQueued();
    }

    // Opens every pop-up as the person would, so each one evaluates its rules now.
    void OpenMenus() {
        for (QMenu* menu : m_frame.Menus()) {
            menu->popup(m_frame.mapToGlobal(QPoint(10, 10)));
            menu->hide();
        }
    }
    bool Enabled(int id) { return m_frame.Action(id)->isEnabled(); }
    bool Checked(int id) { return m_frame.Action(id)->isChecked(); }

    // Expected enable state of each routed command; everything not listed must be disabled.
    void ExpectEnabledExactly(std::initializer_list<int> enabled) {
        OpenMenus();
        static const int kRouted[] = {ID_FILE_LOAD,        ID_SETUP_PORT,    ID_COMMANDS_ERASE,
                                      ID_COMMANDS_CONNECT, ID_FILE_CONVERT,  ID_COMMANDS_TERMINAL,
                                      ID_COMMANDS_OPTIONS, ID_FILE_WIZARD,   ID_COMMANDS_UPDATE_BIOS,
                                      ID_SETUP_USE_COM,    ID_SETUP_USE_USB, ID_APP_ABOUT};
        for (int id : kRouted) {
            const bool expected = std::find(enabled.begin(), enabled.end(), id) != enabled.end();
            EXPECT_EQ(Enabled(id), expected) << "command " << id;
        }
    }

    CQtUserInterface m_ui;
    CDravikApp m_app;
    CMainFrame m_frame;
};

TEST_F(MainFrameTest, WindowIsDravikAt800By600WithFiveMenus) {
    EXPECT_EQ(m_frame.windowTitle(), "Dravik");
    EXPECT_EQ(m_frame.size(), QSize(800, 600));
    QStringList titles;
    for (QMenu* menu : m_frame.Menus())
        titles << menu->title();
    EXPECT_EQ(titles, (QStringList{"&File", "&View", "&Setup", "&Commands", "&Help"}));
    QStringList file;
    for (QAction* action : m_frame.Menus()[0]->actions())
        file << (action->isSeparator() ? "-" : action->text());
    EXPECT_EQ(file, (QStringList{"&Load...", "&Convert...", "Upgrade &Wizard", "-", "E&xit"}));
    EXPECT_EQ(m_frame.Action(ID_COMMANDS_CONNECT)->text(), "&Connect to controller...");
    EXPECT_EQ(m_frame.Action(ID_SETUP_PORT)->text(), "Port &Setup...");
}

TEST_F(MainFrameTest, EveryMenuItemWithItsIdPromptAndCheckMark) {
    struct Item {
        const char* pszText; // "-" for a separator
        int nId;
        const char* pszPrompt;
        bool bCheckable;
    };
    const std::vector<std::vector<Item>> expected = {
        {{"&Load...", ID_FILE_LOAD, "Load software or configuration files to controller.", false},
         {"&Convert...", ID_FILE_CONVERT, "Convert software from *.bin to *.img format.", false},
         {"Upgrade &Wizard", ID_FILE_WIZARD, "Wizard will walk you through software update process", false},
         {"-", 0, "", false},
         {"E&xit", ID_APP_EXIT, "Quit the application.", false}},
        {{"&Status Bar", ID_VIEW_STATUS_BAR, "Show or hide the status bar", true}},
        {{"Port &Setup...", ID_SETUP_PORT, "Select a COM Port for communication", false},
         {"Use &COM", ID_SETUP_USE_COM, "Use COM for communication", true},
         {"Use &USB", ID_SETUP_USE_USB, "Use USB for communication", true}},
        {{"&Connect to controller...", ID_COMMANDS_CONNECT, "Connect to a controller.", false},
         {"&Erase Memory...", ID_COMMANDS_ERASE, "Erase FLASH memory files on the controller.", false},
         {"Controller &Options...", ID_COMMANDS_OPTIONS, "Controller specific options", false},
         {"&Terminal Mode", ID_COMMANDS_TERMINAL, "Controller Command Terminal", true},
         {"&Update BIOS", ID_COMMANDS_UPDATE_BIOS,
          "This command will launch a utility to update the BIOS on your controller", false}},
        {{"&About Dravik...", ID_APP_ABOUT, "Display program information, version number and copyright",
          false}},
    };
    ASSERT_EQ(m_frame.Menus().size(), expected.size());
    for (size_t m = 0; m < expected.size(); ++m) {
        const QList<QAction*> actions = m_frame.Menus()[m]->actions();
        ASSERT_EQ(static_cast<size_t>(actions.size()), expected[m].size()) << "menu " << m;
        for (size_t i = 0; i < expected[m].size(); ++i) {
            const Item& item = expected[m][i];
            QAction* action = actions[static_cast<int>(i)];
            SCOPED_TRACE(item.pszText);
            if (item.nId == 0) {
                EXPECT_TRUE(action->isSeparator());
                continue;
            }
            EXPECT_EQ(action->text(), item.pszText);
            EXPECT_EQ(action->data().toInt(), item.nId);
            EXPECT_EQ(action->isCheckable(), item.bCheckable);
            EXPECT_EQ(PromptFor(item.nId), item.pszPrompt);
        }
    }
}

TEST_F(MainFrameTest, NoConnection) {
    m_app.m_nConnectState = ConnectNone;
    ExpectEnabledExactly({ID_COMMANDS_CONNECT, ID_FILE_WIZARD, ID_FILE_CONVERT, ID_SETUP_PORT,
                          ID_SETUP_USE_COM, ID_COMMANDS_TERMINAL, ID_APP_ABOUT});
}

TEST_F(MainFrameTest, BootstrapWithoutAndWithDebug) {
    m_app.m_nConnectState = ConnectBootstrap;
    OpenMenus();
    EXPECT_TRUE(Enabled(ID_FILE_LOAD));
    EXPECT_FALSE(Enabled(ID_COMMANDS_OPTIONS));
    EXPECT_FALSE(Enabled(ID_COMMANDS_ERASE));
    m_app.m_bDebug = true;
    OpenMenus(); // nothing cached: the same window now follows the new state
    EXPECT_TRUE(Enabled(ID_COMMANDS_ERASE));
    EXPECT_FALSE(Enabled(ID_COMMANDS_OPTIONS));
}

TEST_F(MainFrameTest, BiosConnection) {
    m_app.m_nConnectState = ConnectBios;
    OpenMenus();
    EXPECT_TRUE(Enabled(ID_FILE_LOAD));
    EXPECT_TRUE(Enabled(ID_COMMANDS_ERASE));
    EXPECT_TRUE(Enabled(ID_COMMANDS_OPTIONS));
}

TEST_F(MainFrameTest, UseUsbNeedsTheDevice) {
    m_app.m_bUsbPresent = false;
    OpenMenus();
    EXPECT_FALSE(Enabled(ID_SETUP_USE_USB));
    m_app.m_bUsbPresent = true;
    OpenMenus();
    EXPECT_TRUE(Enabled(ID_SETUP_USE_USB));
}

TEST_F(MainFrameTest, TerminalModeOn) {
    m_app.m_bUsbPresent = true;
    m_app.m_nTerminalMode = 1;
    OpenMenus();
    EXPECT_FALSE(Enabled(ID_SETUP_PORT));
    EXPECT_FALSE(Enabled(ID_SETUP_USE_COM));
    EXPECT_FALSE(Enabled(ID_SETUP_USE_USB));
    EXPECT_TRUE(Enabled(ID_COMMANDS_TERMINAL));
    EXPECT_TRUE(Checked(ID_COMMANDS_TERMINAL));
    m_app.m_nTerminalMode = 0;
    OpenMenus();
    EXPECT_FALSE(Checked(ID_COMMANDS_TERMINAL));
}

TEST_F(MainFrameTest, DownloadRunningLeavesOnlyConvertAndAbout) {
    m_app.m_nConnectState = ConnectBios;
    m_app.m_bUsbPresent = true;
    m_app.m_bBiosTool = true;
    m_app.m_bDownloadRunning = true;
    ExpectEnabledExactly({ID_FILE_CONVERT, ID_APP_ABOUT});
    EXPECT_TRUE(Enabled(ID_APP_EXIT));
    EXPECT_TRUE(Enabled(ID_VIEW_STATUS_BAR));
}

TEST_F(MainFrameTest, UpdateBiosFollowsTheToolFlag) {
    m_app.m_bBiosTool = false;
    OpenMenus();
    EXPECT_FALSE(Enabled(ID_COMMANDS_UPDATE_BIOS));
    m_app.m_bBiosTool = true;
    OpenMenus();
    EXPECT_TRUE(Enabled(ID_COMMANDS_UPDATE_BIOS));
}

TEST_F(MainFrameTest, LinkKindChecksUseComOrUseUsb) {
    m_app.m_nLinkKind = kLinkCom;
    OpenMenus();
    EXPECT_TRUE(Checked(ID_SETUP_USE_COM));
    EXPECT_FALSE(Checked(ID_SETUP_USE_USB));
    m_app.m_nLinkKind = kLinkUsb;
    OpenMenus();
    EXPECT_FALSE(Checked(ID_SETUP_USE_COM));
    EXPECT_TRUE(Checked(ID_SETUP_USE_USB));
}

TEST_F(MainFrameTest, StatusBarCommandHidesShowsAndChecks) {
    OpenMenus();
    EXPECT_TRUE(Checked(ID_VIEW_STATUS_BAR));
    m_frame.Action(ID_VIEW_STATUS_BAR)->trigger();
    EXPECT_FALSE(m_frame.statusBar()->isVisible());
    OpenMenus();
    EXPECT_FALSE(Checked(ID_VIEW_STATUS_BAR));
    m_frame.Action(ID_VIEW_STATUS_BAR)->trigger();
    EXPECT_TRUE(m_frame.statusBar()->isVisible());
    OpenMenus();
    EXPECT_TRUE(Checked(ID_VIEW_STATUS_BAR));
}

TEST_F(MainFrameTest, ExitClosesTheWindow) {
    m_frame.Action(ID_APP_EXIT)->trigger();
    EXPECT_FALSE(m_frame.isVisible());
}

TEST_F(MainFrameTest, MenuPromptsInMessagePaneThenReady) {
    QMenu* commands = m_frame.Menus()[3];
    commands->popup(m_frame.mapToGlobal(QPoint(10, 10)));
    commands->setActiveAction(m_frame.Action(ID_COMMANDS_CONNECT)); // keyboard navigation
    EXPECT_EQ(m_frame.MessagePaneText(), "Connect to a controller.");
    // The mouse over disabled items (no connection, no BIOS tool) still shows their prompts.
    auto moveOver = [&](int id) {
        const QPointF at = commands->actionGeometry(m_frame.Action(id)).center();
        QMouseEvent move(QEvent::MouseMove, at, commands->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(commands, &move);
    };
    moveOver(ID_COMMANDS_ERASE);
    EXPECT_EQ(m_frame.MessagePaneText(), "Erase FLASH memory files on the controller.");
    moveOver(ID_COMMANDS_UPDATE_BIOS);
    EXPECT_EQ(m_frame.MessagePaneText(),
              "This command will launch a utility to update the BIOS on your controller");
    commands->hide();
    EXPECT_EQ(m_frame.MessagePaneText(), "Ready");
    EXPECT_EQ(PromptFor(ID_VIEW_STATUS_BAR), "Show or hide the status bar");
}

TEST_F(MainFrameTest, LinkPaneTexts) {
    const QFontMetrics metrics(m_frame.LinkPane()->font());
    EXPECT_GE(m_frame.LinkPane()->width(), metrics.horizontalAdvance("Link info                "));

    m_app.m_nLinkKind = kLinkCom;
    m_app.m_strPort = "COM3";
    m_app.OnStatusRefresh();
    EXPECT_EQ(m_frame.LinkPaneText(), "COM3");
    EXPECT_EQ(m_frame.MessagePaneText(), "Terminal mode off.");

    m_app.m_nLinkKind = kLinkUsb;
    m_app.m_bUsbPresent = false;
    m_app.OnStatusRefresh();
    EXPECT_EQ(m_frame.LinkPaneText(), "USB disconnected");

    m_app.m_bUsbPresent = true;
    m_app.m_nTerminalMode = 1;
    m_app.OnStatusRefresh();
    EXPECT_EQ(m_frame.LinkPaneText(), "USB connected");
    EXPECT_EQ(m_frame.MessagePaneText(), "Terminal mode on.");
}

TEST_F(MainFrameTest, StatusRefreshFromAnotherThreadRunsOnTheGuiThread) {
    m_app.m_strPort = "COM7";
    std::thread worker([this] { m_app.RefreshStatus(); });
    worker.join();
    EXPECT_NE(m_frame.LinkPaneText(), "COM7"); // posted, not run inside the call
    ProcessQueued();
    EXPECT_EQ(m_frame.LinkPaneText(), "COM7");
}

TEST_F(MainFrameTest, LockIndicatorsFollowTheLockKeys) {
    m_frame.KeyboardLocks().SetStates(false, true, false, false);
    m_frame.UpdateLockPanes();
    EXPECT_EQ(m_frame.LockPane(ELockKey::Caps)->text(), "");
    EXPECT_EQ(m_frame.LockPane(ELockKey::Num)->text(), "NUM");
    QKeyEvent press(QEvent::KeyPress, Qt::Key_CapsLock, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_CapsLock, Qt::NoModifier);
    QApplication::sendEvent(m_frame.windowHandle(), &press);
    QApplication::sendEvent(m_frame.windowHandle(), &release);
    EXPECT_EQ(m_frame.LockPane(ELockKey::Caps)->text(), "CAP");
    QKeyEvent scroll(QEvent::KeyRelease, Qt::Key_ScrollLock, Qt::NoModifier);
    QApplication::sendEvent(m_frame.windowHandle(), &scroll);
    EXPECT_EQ(m_frame.LockPane(ELockKey::Scroll)->text(), "SCRL");
}

TEST_F(MainFrameTest, IdleSleepsUnlessAReconnectIsDue) {
    ProcessQueued();
    EXPECT_FALSE(m_frame.IdleTimerArmed());
    m_app.m_dwRestartTick = CClock::Instance().TickCount();
    m_app.m_bRestartPending = true;
    m_frame.RunIdle();
    EXPECT_TRUE(m_frame.IdleTimerArmed());
    m_app.m_bRestartPending = false;
    m_frame.RunIdle();
    EXPECT_FALSE(m_frame.IdleTimerArmed());
}

} // namespace
