// The demo: a run on the simulated controller that never writes the settings file, whatever the user
// changes during it.
#include "gui/app/DemoSession.h"
#include "engine/app/DravikApp.h"
#include "engine/app/UserInterface.h"
#include "support/TestUserInterface.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(DemoSession, NothingTheUserChangesReachesTheSettingsFile) {
    QTemporaryDir folder;
    const std::string settings = folder.path().toStdString() + "/Dravik.cfg";
    // An invalid first line: start-up alone would correct the file and rewrite it.
    const std::string original = "COM12\nWD\nDBGE\nuseUSB\n";
    std::ofstream(settings, std::ios::binary) << original;

    CDemoSession demo;
    std::string error;
    ASSERT_TRUE(demo.Start(error)) << error;
    CTestUserInterface ui;
    CDravikApp app(&ui);
    CDemoSession::KeepSettings(app);
    app.InitInstance(folder.path().toStdString() + "/Dravik.exe", "");
    CDemoSession::UseDemoLink(app);
    EXPECT_EQ(app.m_strPort, "COM1");
    EXPECT_EQ(app.m_nLinkKind, kLinkCom);

    // The welcome page's check box, then leaving the wizard.
    app.OnUpgradeWizard();
    ui.QueueWizardPage(IDCANCEL, true);
    ui.QueueAnswer(IDYES);
    app.OnIdle(0);
    EXPECT_EQ(app.m_strWizard, "WE");
    app.UseUsb();
    app.UseCom();
    ui.QueueCommDialog(CommDialogData{"COM5", 1, "COM1", {}});
    app.OnPortSetup();
    ui.QueueCommDialog(CommDialogData{"/dev/ttyUSB0", 0, "COM5", {}});
    app.OnPortSetup();
    EXPECT_EQ(app.m_strPort, "/dev/ttyUSB0");
    EXPECT_EQ(ReadWhole(settings), original);
}

} // namespace
