// The terminal pump runs when the terminal link's descriptor has data, not by polling: bytes written by
// the controller on a real pseudo-terminal reach the screen through the main window's idle pass, and an
// idle window with terminal mode on arms no timer.
#include "GuiTestSupport.h"
#include "engine/app/CommandIds.h"
#include "engine/app/DravikApp.h"
#include "engine/link/SerialHandler.h"
#include "gui/app/DemoSession.h"
#include "gui/app/MainFrame.h"
#include "gui/app/QtUserInterface.h"
#include "sim/SimConsole.h"
#include "support/PtyPair.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QTemporaryDir>
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

namespace {

TEST(TerminalModeWindow, MenuCommandTypedKeysAndControllerEcho) {
    CPtyPair pty;
    CQtUserInterface ui;
    CDravikApp app(&ui);
    CMainFrame frame(app);
    ui.SetMainFrame(&frame);
    frame.show();
    app.m_nLinkKind = kLinkCom;
    app.m_strPort = pty.SlavePath();

    frame.RunCommand(ID_COMMANDS_TERMINAL);
    EXPECT_EQ(app.m_nTerminalMode, 1);
    EXPECT_EQ(pty.ReadMaster(1, std::chrono::milliseconds(1000)), std::vector<uint8_t>{0x1B});
    EXPECT_TRUE(ProcessUntil([&] { return frame.MessagePaneText() == "Terminal mode on."; }));
    EXPECT_EQ(frame.WatchedTerminalDescriptor(), app.m_pTermLink->Descriptor());

    // Keys in the view go to the controller and show nothing until it echoes them.
    QWidget* view = frame.centralWidget();
    view->setFocus();
    auto press = [view](int key, const QString& text) {
        QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(view, &down);
        QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QApplication::sendEvent(view, &up);
    };
    press(Qt::Key_A, "a");
    press(Qt::Key_B, "b");
    press(Qt::Key_Left, "");
    const auto sent = pty.ReadMaster(5, std::chrono::milliseconds(1000));
    EXPECT_EQ(std::string(sent.begin(), sent.end()), "ab\x1b[D");
    EXPECT_EQ(app.m_terminal.Lines(), std::vector<std::string>{""});
    pty.WriteMaster("ab");
    EXPECT_TRUE(ProcessUntil([&] { return app.m_terminal.Lines().front() == "ab"; }));

    frame.RunCommand(ID_COMMANDS_TERMINAL);
    EXPECT_EQ(app.m_nTerminalMode, 0);
    EXPECT_TRUE(ProcessUntil([&] { return frame.MessagePaneText() == "Terminal mode off."; }));
}

// The demo's controller end to end: its console in the window, and a trace dump saved through the
// capture's file dialog byte for byte.
TEST(TerminalModeWindow, DemoConsoleTraceDumpIsCapturedThroughTheFileDialog) {
    QTemporaryDir dir;
    const QString capture = dir.filePath("trace.txt");
    CDemoSession demo;
    std::string error;
    ASSERT_TRUE(demo.Start(error)) << error;
    CQtUserInterface ui;
    CDravikApp app(&ui);
    CMainFrame frame(app);
    ui.SetMainFrame(&frame);
    frame.show();
    app.m_nLinkKind = kLinkCom;
    app.m_strPort = CDemoSession::kPortName;
    QString dialogTitle;
    CGuiWatcher watcher([&](QWidget* modal) {
        if (auto* files = qobject_cast<QFileDialog*>(modal)) {
            dialogTitle = files->windowTitle();
            files->selectFile(capture);
            QMetaObject::invokeMethod(files, "accept");
        }
    });
    auto screenHas = [&](const std::string& text) {
        for (const std::string& line : app.m_terminal.Lines())
            if (line.find(text) != std::string::npos)
                return true;
        return false;
    };

    frame.RunCommand(ID_COMMANDS_TERMINAL);
    ASSERT_TRUE(ProcessUntil([&] { return screenHas("DXU> "); })); // the ESC of terminal mode
    const std::string keys = "diag\r";
    app.SendTerminalBytes(reinterpret_cast<const uint8_t*>(keys.data()), keys.size());
    ASSERT_TRUE(ProcessUntil([&] { return screenHas("Choice: "); }));
    app.SendTerminalByte('2');
    ASSERT_TRUE(ProcessUntil([&] { return frame.MessagePaneText() == "File opened ok."; }));
    ASSERT_TRUE(ProcessUntil([&] { return app.m_nCaptureBusy == 0 && screenHas("Choice: "); }));
    EXPECT_EQ(dialogTitle, "Save data to file: ");
    EXPECT_TRUE(screenHas(" Downloading line:  403 "));
    QFile file(capture);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::string dump = CSimConsole::TraceDump();
    EXPECT_EQ(file.readAll().toStdString(), dump.substr(0, dump.find("complete") + 8));
    frame.RunCommand(ID_COMMANDS_TERMINAL);
}

TEST(TerminalModeWindow, PortThatCannotOpenSaysSoInTheStatusBar) {
    CQtUserInterface ui;
    CDravikApp app(&ui);
    CMainFrame frame(app);
    ui.SetMainFrame(&frame);
    frame.show();
    app.m_nLinkKind = kLinkCom;
    app.m_strPort = "/dev/no-such-port";
    frame.RunCommand(ID_COMMANDS_TERMINAL);
    EXPECT_EQ(app.m_nTerminalMode, 0);
    EXPECT_EQ(frame.MessagePaneText(), "Terminal mode could not be activated.");
}

} // namespace
