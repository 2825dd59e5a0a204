// The settings file: what is read from each line, when the file is rewritten, and the exact bytes left on
// disk; the settings path rule; the link choice commands and their status refreshes.
#include "engine/app/DravikApp.h"
#include "support/TempFolder.h"
#include "support/TestUserInterface.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string folder = TestTempDir() + "/dravik-settings-XXXXXX";
        ASSERT_NE(::mkdtemp(folder.data()), nullptr);
        m_strFolder = folder;
        m_strPath = m_strFolder + "/Dravik.cfg";
        m_app.m_strSettingsPath = m_strPath;
    }
    void TearDown() override {
        ::chmod(m_strFolder.c_str(), 0700);
        std::string command = "rm -rf '" + m_strFolder + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }

    void WriteFile(const std::string& bytes) {
        std::ofstream(m_strPath, std::ios::binary) << bytes;
    }
    std::string ReadFile() const {
        std::ifstream in(m_strPath, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    bool Exists() const { return ::access(m_strPath.c_str(), F_OK) == 0; }
    // Files in the folder besides the settings file (a left-over temporary would show here).
    int OtherFiles() const {
        std::string command = "test $(ls -A '" + m_strFolder + "' | grep -vx Dravik.cfg | wc -l) -eq 0";
        return std::system(command.c_str()) == 0 ? 0 : 1;
    }

    std::string m_strFolder;
    std::string m_strPath;
    CTestUserInterface m_ui;
    CDravikApp m_app{&m_ui};
};

TEST_F(SettingsTest, MissingFileGivesDefaultsAndCreatesNothing) {
    m_app.LoadSettings();
    EXPECT_EQ(m_app.m_strPort, "COM1");
    EXPECT_EQ(m_app.m_strWizard, "WE");
    EXPECT_FALSE(m_app.m_bDebug);
    EXPECT_EQ(m_app.m_nLinkKind, kLinkCom);
    EXPECT_FALSE(Exists());

    m_app.SaveSettings();
    EXPECT_EQ(ReadFile(), "COM1\nWE\nDBGD\nuseCOM\n");
    EXPECT_EQ(OtherFiles(), 0);
}

TEST_F(SettingsTest, ValidFileIsTakenAsItStandsAndNotRewritten) {
    WriteFile("COM9\nWD\nDBGE\nuseUSB\n");
    struct stat before {};
    ::stat(m_strPath.c_str(), &before);
    m_app.LoadSettings();
    EXPECT_EQ(m_app.m_strPort, "COM9");
    EXPECT_EQ(m_app.m_strWizard, "WD");
    EXPECT_TRUE(m_app.m_bDebug);
    EXPECT_EQ(m_app.m_nLinkKind, kLinkUsb);
    struct stat after {};
    ::stat(m_strPath.c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino) << "an untouched file is not replaced";
}

TEST_F(SettingsTest, InvalidLinesAreCorrectedAndRewritten) {
    struct Case {
        std::string strFile;
        std::string strRewritten;  // empty: the file keeps its bytes
    } cases[] = {
        {"COM10\nWD\nDBGE\nuseCOM\n", "COM1\nWD\nDBGE\nuseCOM\n"},
        {"COM0\nWE\nDBGD\nuseCOM\n", "COM1\nWE\nDBGD\nuseCOM\n"},
        {"com3\nWE\nDBGD\nuseCOM\n", "COM1\nWE\nDBGD\nuseCOM\n"},
        {"COM3\r\nWD\r\nDBGE\r\nuseUSB\r\n", "COM1\nWE\nDBGD\nuseCOM\n"},
        {"COM4\nWX\nDBGD\nuseCOM\n", "COM4\nWE\nDBGD\nuseCOM\n"},
        {"COM4\nWD\ndbge\nuseUSB\n", "COM4\nWD\nDBGD\nuseUSB\n"},
        {"COM2\nWD\nDBGE\nuseusb\n", ""},
        {"COM2\nWD\nDBGE\n", ""},
        {"COM2\nWD\nDBGE", ""},
        {"COM5\n", "COM5\nWE\nDBGD\nuseCOM\n"},
        {"", "COM1\nWE\nDBGD\nuseCOM\n"},
        {"COM6\nWD\nDBGE\nuseUSB\nextra line\n", ""},
        {std::string(300, 'C') + "\nWD\n", "COM1\nWE\nDBGD\nuseCOM\n"},
    };
    for (const auto& c : cases) {
        CDravikApp app(&m_ui);
        app.m_strSettingsPath = m_strPath;
        WriteFile(c.strFile);
        app.LoadSettings();
        EXPECT_EQ(ReadFile(), c.strRewritten.empty() ? c.strFile : c.strRewritten)
            << "file " << ::testing::PrintToString(c.strFile);
        EXPECT_EQ(OtherFiles(), 0);
    }
}

TEST_F(SettingsTest, LowerCaseUsbMeansComAndKeepsTheText) {
    WriteFile("COM2\nWD\nDBGE\nuseusb\n");
    m_app.LoadSettings();
    EXPECT_EQ(m_app.m_nLinkKind, kLinkCom);
    EXPECT_EQ(ReadFile(), "COM2\nWD\nDBGE\nuseusb\n");
}

TEST_F(SettingsTest, UnreadableFileGivesDefaultsAndIsLeftAlone) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    WriteFile("COM5\nWD\nDBGE\nuseUSB\n");
    ::chmod(m_strPath.c_str(), 0);
    m_app.LoadSettings();
    EXPECT_EQ(m_app.m_strPort, "COM1");
    EXPECT_EQ(m_app.m_strWizard, "WE");
}

TEST_F(SettingsTest, DirectoryInPlaceOfTheFileGivesDefaults) {
    ASSERT_EQ(::mkdir(m_strPath.c_str(), 0700), 0);
    m_app.LoadSettings();
    EXPECT_EQ(m_app.m_strPort, "COM1");
    m_app.SaveSettings();  // cannot be written: nothing happens, nothing is shown
    EXPECT_TRUE(m_ui.Messages().empty());
    ::rmdir(m_strPath.c_str());
}

TEST_F(SettingsTest, ReadOnlyFileIsSilentlyNotWritten) {
    WriteFile("COM3\nWD\nDBGD\nuseCOM\n");
    ::chmod(m_strPath.c_str(), 0444);
    m_app.LoadSettings();
    m_app.SetPortName("COM8");
    m_app.SaveSettings();
    EXPECT_EQ(ReadFile(), "COM3\nWD\nDBGD\nuseCOM\n");
    EXPECT_TRUE(m_ui.Messages().empty());
    EXPECT_EQ(OtherFiles(), 0);
}

TEST_F(SettingsTest, UnwritableFolderLeavesTheFileWholeAndNoTemporary) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into every folder";
    WriteFile("COM3\nWD\nDBGD\nuseCOM\n");
    ::chmod(m_strFolder.c_str(), 0500);
    m_app.LoadSettings();
    m_app.SetPortName("COM8");
    m_app.SaveSettings();
    EXPECT_EQ(ReadFile(), "COM3\nWD\nDBGD\nuseCOM\n");
}

TEST_F(SettingsTest, PortNameIsCutToFourCharactersAndLinkKindNoneWritesNoLine) {
    m_app.LoadSettings();
    m_app.SetPortName("COM12");
    m_app.SaveSettings();
    EXPECT_EQ(ReadFile(), "COM1\nWE\nDBGD\nuseCOM\n");
    m_app.SetPortName("");
    m_app.m_nLinkKind = kLinkNone;
    m_app.SaveSettings();
    EXPECT_EQ(ReadFile(), "\nWE\nDBGD\n");
}

TEST_F(SettingsTest, SavingKeepsTheFilesPermissions) {
    WriteFile("COM3\nWD\nDBGD\nuseCOM\n");
    ::chmod(m_strPath.c_str(), 0640);
    m_app.LoadSettings();
    m_app.SaveSettings();
    struct stat info {};
    ASSERT_EQ(::stat(m_strPath.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST(SettingsPath, ProgramPathRule) {
    EXPECT_EQ(CDravikApp::SettingsPathFor("C:\\Tools\\Dravik.exe"), "C:\\Tools\\Dravik.cfg");
    EXPECT_EQ(CDravikApp::SettingsPathFor("C:\\Tools\\DRAVIK.EXE"), "Dravik.cfg");
    EXPECT_EQ(CDravikApp::SettingsPathFor("C:\\my.exe.d\\Dravik.exe"), "Dravik.cfg");
    EXPECT_EQ(CDravikApp::SettingsPathFor("/usr/bin/dravik"), "Dravik.cfg");
    EXPECT_EQ(CDravikApp::SettingsPathFor("/opt/a.exe/dravik"), "/opt/a.cfg/dravik");
    // Only the first 259 characters of the path count.
    EXPECT_EQ(CDravikApp::SettingsPathFor(std::string(256, 'x') + ".exe"), "Dravik.cfg");
    EXPECT_EQ(CDravikApp::SettingsPathFor(std::string(255, 'x') + ".exe"), std::string(255, 'x') + ".cfg");
}

TEST_F(SettingsTest, LinkChoiceCommandsWriteOnlyOnAChangeAndAlwaysRefresh) {
    m_app.LoadSettings();
    m_app.UseCom();
    EXPECT_FALSE(Exists()) << "Use COM while on COM writes nothing";
    EXPECT_EQ(m_ui.RunPosted(), 1);
    EXPECT_EQ(m_ui.LastStatusLinkPane(), "COM1");
    EXPECT_EQ(m_ui.LastStatusMessagePane(), "Terminal mode off.");

    // No USB device attached: Use USB chooses USB without opening anything.
    m_app.UseUsb();
    EXPECT_EQ(m_app.m_nLinkKind, kLinkUsb);
    EXPECT_EQ(ReadFile(), "COM1\nWE\nDBGD\nuseUSB\n");
    m_ui.RunPosted();
    EXPECT_EQ(m_ui.LastStatusLinkPane(), "USB disconnected");

    m_app.UseCom();
    EXPECT_EQ(ReadFile(), "COM1\nWE\nDBGD\nuseCOM\n");
    EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(SettingsTest, PortSetupOkAlwaysRewritesAndCancelChangesNothing) {
    WriteFile("COM3\nWD\nDBGD\nuseCOM\n");
    m_app.LoadSettings();

    m_ui.QueueCommDialog(std::nullopt);
    m_app.OnPortSetup();
    EXPECT_EQ(m_ui.LastCommDialogInput().strCurrentPort, "COM3");
    EXPECT_EQ(m_ui.LastCommDialogInput().nLinkChoice, 0);
    EXPECT_EQ(m_app.m_strPort, "COM3");
    EXPECT_EQ(ReadFile(), "COM3\nWD\nDBGD\nuseCOM\n");

    // OK without a change still writes the file again.
    ::unlink(m_strPath.c_str());
    CommDialogData same;
    same.strPort = "COM3";
    m_ui.QueueCommDialog(same);
    m_app.OnPortSetup();
    EXPECT_EQ(ReadFile(), "COM3\nWD\nDBGD\nuseCOM\n");

    CommDialogData usb;
    usb.strPort = "COM5";
    usb.nLinkChoice = 1;
    m_ui.QueueCommDialog(usb);
    m_app.OnPortSetup();
    EXPECT_EQ(m_app.m_strPort, "COM5");
    EXPECT_EQ(ReadFile(), "COM5\nWD\nDBGD\nuseUSB\n");
    m_ui.QueueCommDialog(std::nullopt);
    m_app.OnPortSetup();
    EXPECT_EQ(m_ui.LastCommDialogInput().nLinkChoice, 1) << "link kind 2 opens the dialog on USB";
}

} // namespace
