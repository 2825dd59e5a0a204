// Controller commands run on the command thread: the window keeps its event loop (it paints and answers
// dialogs) but takes no input until the command ends. Driven against the in-process simulated controller
// on a pseudo-terminal, as the demo mode runs it.
#include "GuiTestSupport.h"
#include "engine/app/CommandIds.h"
#include "engine/app/DravikApp.h"
#include "gui/app/DemoSession.h"
#include "gui/app/MainFrame.h"
#include "gui/app/QtUserInterface.h"
#include "gui/terminal/TextView.h"
#include "platform/PortNames.h"

#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

class CommandThreadTest : public testing::Test {
protected:
    CommandThreadTest() : m_app(&m_ui), m_frame(m_app) {
        m_ui.SetMainFrame(&m_frame);
        m_app.m_strSettingsPath = m_dir.filePath("Dravik.cfg").toStdString();
        m_frame.View()->SetSendFunction(
            [this](const uint8_t* data, size_t length) { m_typed.append(data, data + length); });
        m_frame.show();
        m_frame.View()->setFocus();
        QObject::connect(&m_frame, &CMainFrame::commandFinished,
                         [this](int id) { m_finished.push_back(id); });
        ProcessQueued();
    }

    // A key typed into the main window, as the platform delivers it (through the window).
    void TypeIntoWindow(const QString& text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, text);
        QApplication::sendEvent(m_frame.windowHandle(), &press);
    }

    QTemporaryDir m_dir;
    CQtUserInterface m_ui;
    CDravikApp m_app;
    CMainFrame m_frame;
    std::basic_string<uint8_t> m_typed;
    std::vector<int> m_finished;
};

TEST_F(CommandThreadTest, ConnectRunsOffTheGuiThreadAndTheWindowRefusesInputMeanwhile) {
    CDemoSession demo;
    std::string error;
    ASSERT_TRUE(demo.Start(error)) << error;
    m_app.m_nLinkKind = kLinkCom;
    m_app.m_strPort = CDemoSession::kPortName;

    TypeIntoWindow("a");
    ASSERT_EQ(m_typed, std::basic_string<uint8_t>{'a'}) << "keys reach the view while no command runs";

    struct Seen {
        bool running = false;
        QString caption, text;
        std::basic_string<uint8_t> typedDuring;
    } seen;
    OnNextModal<QMessageBox>([&](QMessageBox* box) {
        seen.running = m_frame.IsCommandRunning();
        seen.caption = box->windowTitle();
        seen.text = box->text();
        m_typed.clear();
        TypeIntoWindow("b");
        seen.typedDuring = m_typed;
        box->button(QMessageBox::Ok)->click();
    });
    m_frame.RunCommand(ID_COMMANDS_CONNECT);
    EXPECT_TRUE(m_frame.IsCommandRunning()); // returned at once: the command runs on its own thread
    EXPECT_TRUE(ProcessUntil([&] { return !m_finished.empty(); }));

    EXPECT_TRUE(seen.running);
    EXPECT_EQ(seen.caption, "Dravik");
    EXPECT_EQ(seen.text, "Controller connected.\n Bios Version V2.3/Protocol Version PL01");
    EXPECT_TRUE(seen.typedDuring.empty());
    EXPECT_FALSE(m_frame.IsCommandRunning());
    EXPECT_EQ(m_app.m_nConnectState, ConnectBios);
    EXPECT_EQ(m_finished, std::vector<int>{ID_COMMANDS_CONNECT});

    m_typed.clear();
    TypeIntoWindow("c");
    EXPECT_EQ(m_typed, std::basic_string<uint8_t>{'c'});
}

TEST_F(CommandThreadTest, PostedCommandIsRoutedLikeAMenuCommand) {
    bool ranDirectly = false;
    bool aboutShown = false;
    OnNextModal<QDialog>([&](QDialog* dialog) {
        aboutShown = dialog->windowTitle() == "About Dravik";
        dialog->accept();
    });
    m_ui.PostCommand(ID_APP_ABOUT, [&] { ranDirectly = true; });
    EXPECT_TRUE(m_finished.empty()); // posted, not run inside the call
    EXPECT_TRUE(ProcessUntil([&] { return !m_finished.empty(); }));
    EXPECT_TRUE(aboutShown);
    EXPECT_FALSE(ranDirectly);
    EXPECT_EQ(m_finished, std::vector<int>{ID_APP_ABOUT});
}

TEST_F(CommandThreadTest, DemoMapsCom1ForThisRunOnly) {
    std::string path;
    {
        CDemoSession demo;
        std::string error;
        ASSERT_TRUE(demo.Start(error)) << error;
        path = demo.DevicePath();
        EXPECT_EQ(ResolvePortName("COM1"), path);
    }
    EXPECT_NE(ResolvePortName("COM1"), path);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(m_app.m_strSettingsPath)));
}

} // namespace

namespace {

TEST(ControllerWork, TheWizardsLoadRequestRunsOffTheGuiThread) {
    CQtUserInterface ui;
    CDravikApp app(&ui);
    app.ForgoWizardStart();
    CMainFrame frame(app);
    ui.SetMainFrame(&frame);
    frame.show();
    app.m_nConnectState = ConnectBios;
    app.m_nLoadType = 0;
    app.m_bLoadRequest = 1; // as the wizard's worker asks for a Load

    bool commandThreadDuringDialog = false;
    bool guiKeptRunning = false;
    OnNextModal<QFileDialog>([&](QFileDialog* dialog) {
        commandThreadDuringDialog = frame.IsCommandRunning();
        guiKeptRunning = QThread::currentThread() == qApp->thread();
        dialog->reject();
    });
    frame.RunIdle();
    EXPECT_TRUE(ProcessUntil([&] { return app.m_bLoadRequest == 0; }));
    EXPECT_TRUE(commandThreadDuringDialog) << "the load ran like a menu command, off the GUI thread";
    EXPECT_TRUE(guiKeptRunning);
    EXPECT_EQ(app.m_bLoadOk, 0) << "a cancelled file dialog loads nothing";
    EXPECT_TRUE(ProcessUntil([&] { return !frame.IsCommandRunning(); }));
}

} // namespace
