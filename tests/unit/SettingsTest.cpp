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
#include <sys/wait.h>
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

    void WriteFile(const std::string& bytes) { std::ofstream(m_strPath, std::ios::binary) << bytes; }
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
        std::string strRewritten; // empty: the file keeps its bytes
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
        {"/dev/serial/by-id/usb-Adapter_0001-if00-port0\nWD\nDBGE\nuseCOM\n", ""},
        {"/\nWD\nDBGE\nuseCOM\n", "COM1\nWD\nDBGE\nuseCOM\n"},
        {"/dev/ttyUSB0\r\nWD\r\nDBGE\r\nuseUSB\r\n", "COM1\nWE\nDBGD\nuseCOM\n"},
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
    m_app.SaveSettings(); // cannot be written: nothing happens, nothing is shown
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

// A folder that takes no new file, with the file itself writable: rewritten in place. Root writes into
// every folder, so the save runs as an unprivileged user in a child when the test runs as root.
TEST_F(SettingsTest, UnwritableFolderRewritesTheWritableFileInPlace) {
    WriteFile("COM3\nWD\nDBGD\nuseCOM\n");
    const bool root = ::geteuid() == 0;
    const uid_t nobody = 65534;
    if (root) {
        ASSERT_EQ(::chown(m_strPath.c_str(), nobody, nobody), 0);
    }
    ::chmod(m_strPath.c_str(), 0640);
    ::chmod(m_strFolder.c_str(), 0555);
    struct stat before {};
    ASSERT_EQ(::stat(m_strPath.c_str(), &before), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        // From inside the folder: the test's own temporary folders above it are closed to that user.
        if (::chdir(m_strFolder.c_str()) != 0 || (root && (::setgid(nobody) != 0 || ::setuid(nobody) != 0)))
            ::_exit(2);
        CTestUserInterface ui;
        CDravikApp app(&ui);
        app.m_strSettingsPath = "Dravik.cfg";
        app.LoadSettings();
        app.SetPortName("COM8");
        app.SaveSettings();
        ::_exit(0);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReadFile(), "COM8\nWD\nDBGD\nuseCOM\n");
    struct stat after {};
    ASSERT_EQ(::stat(m_strPath.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(OtherFiles(), 0);
}

TEST_F(SettingsTest, PortNamesAreCutToFourCharactersUnlessADevicePathAndLinkKindNoneWritesNoLine) {
    m_app.LoadSettings();
    m_app.SetPortName("COM12");
    m_app.SaveSettings();
    EXPECT_EQ(ReadFile(), "COM1\nWE\nDBGD\nuseCOM\n");
    m_app.SetPortName("com5");
    m_app.SaveSettings();
    EXPECT_EQ(ReadFile(), "COM5\nWE\nDBGD\nuseCOM\n");
    const std::string byId = "/dev/serial/by-id/usb-Adapter_0001-if00-port0";
    m_app.SetPortName(byId);
    m_app.SaveSettings();
    EXPECT_EQ(ReadFile(), byId + "\nWE\nDBGD\nuseCOM\n");
    CDravikApp next(&m_ui);
    next.m_strSettingsPath = m_strPath;
    next.LoadSettings();
    EXPECT_EQ(next.m_strPort, byId);
    m_app.SetPortName("");
    m_app.m_nLinkKind = kLinkNone;
    m_app.SaveSettings();
    EXPECT_EQ(ReadFile(), "\nWE\nDBGD\n");
}

TEST_F(SettingsTest, SavingKeepsTheFilesOwnerGroupAndPermissions) {
    WriteFile("COM3\nWD\nDBGD\nuseCOM\n");
    ::chmod(m_strPath.c_str(), 0640);
    // As root the file can belong to somebody else, as a shared installation's file does.
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(m_strPath.c_str(), 1234, 5678), 0);
    }
    m_app.LoadSettings();
    m_app.SetPortName("COM7");
    m_app.SaveSettings();
    EXPECT_EQ(ReadFile(), "COM7\nWD\nDBGD\nuseCOM\n");
    struct stat info {};
    ASSERT_EQ(::stat(m_strPath.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(info.st_uid, root ? 1234u : ::geteuid());
    EXPECT_EQ(info.st_gid, root ? 5678u : ::getegid());
    EXPECT_EQ(OtherFiles(), 0);
}

TEST_F(SettingsTest, FifoOrDeviceInPlaceOfTheFileReadsAsNoFileWithoutBlocking) {
    ASSERT_EQ(::mkfifo(m_strPath.c_str(), 0600), 0);
    m_app.LoadSettings(); // opening a FIFO for reading would wait for a writer forever
    EXPECT_EQ(m_app.m_strPort, "COM1");
    EXPECT_EQ(m_app.m_strWizard, "WE");
    ::unlink(m_strPath.c_str());
    ASSERT_EQ(::symlink("/dev/null", m_strPath.c_str()), 0);
    m_app.LoadSettings();
    EXPECT_EQ(m_app.m_strPort, "COM1");
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
