// Update BIOS: the tool located through the registry file and started without a shell, and the command
// enabled only when the tool's key exists.
#include "engine/app/BiosUpdate.h"
#include "engine/app/CommandIds.h"
#include "engine/app/DravikApp.h"
#include "platform/RegistryFile.h"
#include "support/TestUserInterface.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const kCouldNotLocate =
    "Dravik could not locate Arvenco's BIOS Update utility\nTessoran.  Please "
    "contact Arvenco to obtain this\nutility for performing BIOS updates.";
const char* const kCouldNotExecute =
    "Dravik could not execute Arvenco's BIOS Update utility\nTessoran.  Please "
    "contact Arvenco to obtain this\nutility for performing BIOS updates.";

// Points the configuration folders at a temporary folder for one test.
class BiosLauncherTest : public testing::Test {
protected:
    BiosLauncherTest() {
        ::setenv("XDG_CONFIG_HOME", m_dir.path().toLocal8Bit().constData(), 1);
        ::setenv("XDG_CONFIG_DIRS", (m_dir.path() + "/system").toLocal8Bit().constData(), 1);
        ::mkdir((m_dir.path() + "/dravik").toLocal8Bit().constData(), 0755);
    }
    ~BiosLauncherTest() override {
        ::unsetenv("XDG_CONFIG_HOME");
        ::unsetenv("XDG_CONFIG_DIRS");
    }

    void WriteRegistry(const std::string& text) {
        std::ofstream file((m_dir.path() + "/dravik/registry.reg").toStdString(), std::ios::binary);
        file << text;
    }
    // A .reg string value for a path (backslashes and quotes escaped as the export format does).
    static std::string RegString(const std::string& text) {
        std::string out = "\"";
        for (char c : text) {
            if (c == '\\' || c == '"')
                out += '\\';
            out += c;
        }
        return out + "\"";
    }
    void WriteToolKey(const std::string& valueLine) {
        WriteRegistry("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Arvenco Applications\\Tessoran]\r\n" +
                      valueLine + "\r\n");
    }

    QTemporaryDir m_dir;
    CTestUserInterface m_ui;
};

TEST(BiosToolPath, SeparatorAddedOnlyWhenMissing) {
    EXPECT_EQ(BiosToolPath("/opt/tools/bios"), "/opt/tools/bios/Tessoran.exe");
    EXPECT_EQ(BiosToolPath("/opt/tools/bios/"), "/opt/tools/bios/Tessoran.exe");
}

TEST_F(BiosLauncherTest, KeyMissingDisablesTheCommand) {
    WriteRegistry(
        "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Arvenco Applications\\Other]\n\"Install_Dir\"=\"/x\"\n");
    EXPECT_FALSE(CDravikApp::IsBiosToolInstalled());
    // Start-up looks the key up; its settings file goes to the temporary folder.
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(m_dir.path()));
    CDravikApp app(&m_ui);
    app.InitInstance("/nonexistent/dravik", "");
    QDir::setCurrent(previous);
    EXPECT_FALSE(app.m_bBiosTool);
    EXPECT_FALSE(app.IsCommandEnabled(ID_COMMANDS_UPDATE_BIOS));
}

TEST_F(BiosLauncherTest, NoRegistryFileAtAll) {
    EXPECT_FALSE(CDravikApp::IsBiosToolInstalled());
}

TEST_F(BiosLauncherTest, KeyWithoutValueSaysCouldNotLocate) {
    WriteToolKey("\"Version\"=\"2.0\"");
    EXPECT_TRUE(CDravikApp::IsBiosToolInstalled());
    CDravikApp app(&m_ui);
    app.OnUpdateBios();
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{kCouldNotLocate});
}

TEST_F(BiosLauncherTest, EmptyNonStringOrRelativeValueSaysCouldNotLocate) {
    // A relative folder holding the tool, under the current folder: it is still not run.
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(m_dir.path()));
    ASSERT_EQ(::mkdir("bios", 0755), 0);
    std::ofstream("bios/Tessoran.exe") << "#!/bin/sh\ntouch ran\n";
    ASSERT_EQ(::chmod("bios/Tessoran.exe", 0755), 0);
    CDravikApp app(&m_ui);
    for (const char* value : {"\"\"", "dword:00000001", "\"bios\"", "\"./bios/\""}) {
        WriteToolKey(std::string("\"Install_Dir\"=") + value);
        app.OnUpdateBios();
    }
    QDir::setCurrent(previous);
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>(4, kCouldNotLocate));
}

TEST_F(BiosLauncherTest, FolderWithoutTheToolSaysCouldNotExecute) {
    WriteToolKey("\"Install_Dir\"=" + RegString(m_dir.path().toStdString() + "/empty"));
    CDravikApp app(&m_ui);
    app.OnUpdateBios();
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{kCouldNotExecute});
}

TEST_F(BiosLauncherTest, TooLongFolderIsRefused) {
    WriteToolKey("\"Install_Dir\"=" + RegString("/" + std::string(600, 'a')));
    CDravikApp app(&m_ui);
    app.OnUpdateBios();
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{kCouldNotExecute});
}

// The tool writes the path it was started as into a FIFO; reading it proves the start and the exact path.
TEST_F(BiosLauncherTest, FolderWithSpacesAndQuotesStartsTheToolWithoutAShell) {
    const std::string folder = m_dir.path().toStdString() + "/Bios \"Tools\" $(touch pwned); x";
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    const std::string tool = folder + "/Tessoran.exe";
    {
        std::ofstream script(tool);
        script << "#!/bin/sh\nprintf '%s' \"$0\" > \"$DRAVIK_TEST_FIFO\"\n";
    }
    ASSERT_EQ(::chmod(tool.c_str(), 0755), 0);
    const std::string fifo = m_dir.path().toStdString() + "/started";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ::setenv("DRAVIK_TEST_FIFO", fifo.c_str(), 1);

    // The trailing separator form gives the same program.
    WriteToolKey("\"Install_Dir\"=" + RegString(folder + "/"));
    CDravikApp app(&m_ui);
    app.OnUpdateBios();
    EXPECT_TRUE(m_ui.Messages().empty());

    const int fd = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    std::string seen;
    char buffer[512];
    // A failure bound only: the tool normally answers within milliseconds.
    for (int rounds = 0; rounds < 100; ++rounds) {
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, 100) <= 0)
            continue;
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0)
            seen.append(buffer, static_cast<size_t>(got));
        else if (got == 0 && !seen.empty())
            break;
    }
    ::close(fd);
    ::unsetenv("DRAVIK_TEST_FIFO");
    EXPECT_EQ(seen, tool);
    EXPECT_NE(::access((m_dir.path().toStdString() + "/pwned").c_str(), F_OK), 0);
}

TEST(RegistryFile, ParsesExportSyntax) {
    CRegistryFile file;
    file.Parse("Windows Registry Editor Version 5.00\r\n\r\n"
               "; comment\r\n"
               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Arvenco Applications\\Tessoran]\r\n"
               "\"Install_Dir\"=\"C:\\\\Tools\\\\Bios \\\"x\\\"\"\r\n"
               "\"Blob\"=hex:01,02,\\\r\n  03,04\r\n"
               "@=\"default\"\r\n"
               "[-HKEY_LOCAL_MACHINE\\Software\\Gone]\r\n"
               "\"Orphan\"=\"ignored\"\r\n");
    std::string value;
    EXPECT_TRUE(file.HasKey("hkey_local_machine\\software\\arvenco applications\\tessoran"));
    EXPECT_TRUE(file.HasKey("HKLM\\Software\\Arvenco Applications\\Tessoran"));
    ASSERT_TRUE(file.QueryString("HKEY_LOCAL_MACHINE\\Software\\Arvenco Applications\\Tessoran",
                                 "install_dir", value));
    EXPECT_EQ(value, "C:\\Tools\\Bios \"x\"");
    EXPECT_FALSE(
        file.QueryString("HKEY_LOCAL_MACHINE\\Software\\Arvenco Applications\\Tessoran", "Blob", value));
    EXPECT_TRUE(file.QueryString("HKEY_LOCAL_MACHINE\\Software\\Arvenco Applications\\Tessoran", "", value));
    EXPECT_EQ(value, "default");
    EXPECT_FALSE(file.HasKey("HKEY_LOCAL_MACHINE\\Software\\Gone"));
}

TEST_F(BiosLauncherTest, UserFileComesBeforeSystemFile) {
    ::mkdir((m_dir.path() + "/system").toLocal8Bit().constData(), 0755);
    ::mkdir((m_dir.path() + "/system/dravik").toLocal8Bit().constData(), 0755);
    std::ofstream((m_dir.path() + "/system/dravik/registry.reg").toStdString()) << "REGEDIT4\n";
    EXPECT_EQ(RegistryFilePath(), (m_dir.path() + "/system/dravik/registry.reg").toStdString());
    WriteRegistry("REGEDIT4\n");
    EXPECT_EQ(RegistryFilePath(), (m_dir.path() + "/dravik/registry.reg").toStdString());
}

} // namespace
