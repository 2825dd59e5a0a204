// The Load command's text file branch: after the controller's '*' the file goes by ZModem without any
// command before it; without a link, or with a port that does not open, the branch says so and sends
// nothing.
#include "ZModemReceiver.h"

#include "engine/app/DravikApp.h"
#include "engine/app/UserInterface.h"
#include "engine/link/LinkContext.h"
#include "platform/Clock.h"
#include "support/TestUserInterface.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

class ZModemLoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_app.m_strSettingsPath = m_sources.File("none.cfg");
        m_app.m_nLinkKind = kLinkCom;
        m_app.m_nConnectState = ConnectBios;
        m_app.m_nLastLoadKind = 1;
        m_app.m_nLastLoadResult = 42;
    }

    CClockSpeedScope m_speed{10};
    CTestUserInterface m_ui;
    CDravikApp m_app{&m_ui};
    CTempFolder m_sources;
    CRzReceiver m_rz;
};

TEST_F(ZModemLoadTest, TextFileGoesByZModemAfterThePrompt) {
    Bytes content(3000);
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<uint8_t>(i * 13);
    const std::string path = m_sources.Write("Notes.TXT", content);
    m_app.m_strPort = m_rz.Pty().SlavePath();
    ASSERT_TRUE(m_rz.Start());
    EXPECT_TRUE(m_app.LoadChosenFile(path));
    EXPECT_EQ(m_rz.Wait(5s), 0);
    EXPECT_EQ(m_rz.Folder().Read("Notes.TXT"), content);
    EXPECT_TRUE(m_ui.Messages().empty());
    ASSERT_TRUE(m_ui.ZModemView());
    EXPECT_EQ(m_ui.ZModemView()->Field(EZModemField::FileName), "Notes.TXT");
    // The outcome replaces an earlier load's, in the configuration download's codes.
    EXPECT_EQ(m_app.m_nLastLoadKind, 1);
    EXPECT_EQ(m_app.m_nLastLoadResult, 3);
}

TEST_F(ZModemLoadTest, NoLinkChosen) {
    m_app.m_nLinkKind = kLinkNone;
    const std::string path = m_sources.Write("a.txt", Bytes{'x'});
    EXPECT_EQ(m_app.DownloadOtherFile(path, "a.txt"), 14);
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{
                                   "No serial link available! Please select one or check if USB connected."});
    EXPECT_FALSE(m_ui.ZModemView());
    // Through the Load command the outcome is still a carried-out load, with its result recorded.
    EXPECT_TRUE(m_app.LoadChosenFile(path));
    EXPECT_EQ(m_app.m_nLastLoadResult, 14);
}

TEST_F(ZModemLoadTest, PortThatDoesNotOpen) {
    m_app.m_strPort = m_sources.File("no-such-port");
    const std::string path = m_sources.Write("a.txt", Bytes{'x'});
    EXPECT_EQ(m_app.DownloadOtherFile(path, "a.txt"), 4);
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{"Error opening specified COM port."});
    EXPECT_FALSE(m_ui.ZModemView());
}

TEST_F(ZModemLoadTest, SilentControllerEndsWithTheNoResponseMessage) {
    // No '*' and no receiver: the wait and the transfer give up on their time-outs, and the person is told.
    CClockSpeedScope fast(1000);
    const std::string path = m_sources.Write("a.txt", Bytes{'x'});
    m_app.m_strPort = m_rz.Pty().SlavePath();
    EXPECT_EQ(m_app.DownloadOtherFile(path, "a.txt"), 8);
    const auto messages = m_ui.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], "No response from slave.");
    EXPECT_EQ(messages[1].rfind("The controller did not take the file. Check the cable", 0), 0u)
        << messages[1];
    ASSERT_TRUE(m_ui.ZModemView());
    EXPECT_TRUE(m_ui.ZModemView()->IsClosed());
    EXPECT_TRUE(m_rz.Pty().ReadMaster(1, 50ms).empty()); // no command, no ZModem frame
}

} // namespace
