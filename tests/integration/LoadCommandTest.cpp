// The Load command: its file dialog by type, the start from the command-line file's folder, dispatch by
// the last three characters of the name, and the size plausibility check for bootstrap controllers.
#include "engine/app/DravikApp.h"
#include "engine/download/Download.h"
#include "support/TempFolder.h"
#include "support/TestUserInterface.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <unistd.h>

namespace {

const char* kSizeWarning = "Please verify this is the correct software for your DXU before continuing.\nThe "
                           "file size indicates that "
                           "this software is version 1.9.1 or older which\nis only compatible with Arvenco "
                           "part number 0000003962 CPU "
                           "boards.\n \nClick 'YES' to continue or 'NO' to abort.";

class LoadCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_strFolder = TestTempDir() + "/dravik-load-test-" + std::to_string(::getpid()) + "/";
        ::mkdir(m_strFolder.c_str(), 0700);
        m_app.m_strSettingsPath = m_strFolder + "none.cfg";
        m_app.LoadSettings();
        m_app.m_strPort = "/dev/no-such-port"; // a download that starts ends at once with result 4
    }
    void TearDown() override {
        m_app.WaitForDownload();
        const std::string command = "rm -rf '" + m_strFolder + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    std::string File(const std::string& name, size_t size) {
        const std::string path = m_strFolder + name;
        std::ofstream out(path, std::ios::binary);
        out.seekp(static_cast<std::streamoff>(size));
        if (size > 0) {
            out.seekp(static_cast<std::streamoff>(size - 1));
            out.put('\0');
        }
        return path;
    }
    // Loads the file as if chosen in the dialog; whether a download was started.
    bool DownloadStarted(const std::string& path) {
        m_app.m_nLastLoadResult = 0;
        m_ui.QueueFileName(path);
        m_app.LoadFile(2);
        m_app.WaitForDownload();
        return m_app.m_nLastLoadResult == kLoadComPortFailed;
    }

    std::string m_strFolder;
    CTestUserInterface m_ui;
    CDravikApp m_app{&m_ui};
};

TEST_F(LoadCommandTest, DialogFiltersByType) {
    const struct {
        int nType;
        const char* filter;
        const char* extension;
    } cases[] = {
        {2,
         "Software Files (*.img)|*.img|Configuration Files (*.dat)|*.dat|HTML Files (*.htm)|*.htm|GIF Files "
         "(*.gif)|*.gif|Neuron Software Files (*.nxe)|*.nxe|Neuron Exportable Image Files (*.xif)|*.xif||",
         "*.img"},
        {1, "Configuration Files (*.dat)|*.dat|", "*.dat"},
        {3, "Software Files (*.img)|*.img|Configuration Files (*.dat)|*.dat|", "*.img"},
        {0, "Software Files (*.img)|*.img|", "*.img"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(m_app.LoadFile(c.nType)) << "a cancelled dialog loads nothing";
        EXPECT_EQ(m_ui.LastFileRequest().strFilter, c.filter);
        EXPECT_EQ(m_ui.LastFileRequest().strDefaultExt, c.extension);
        EXPECT_TRUE(m_ui.LastFileRequest().bOpen);
        EXPECT_EQ(m_ui.LastFileRequest().strInitialDir, "");
    }
    EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(LoadCommandTest, CommandLineFileGivesTheDialogsFolderAndName) {
    char current[4096];
    ASSERT_NE(::getcwd(current, sizeof current), nullptr);
    const struct {
        const char* file;
        std::string folder;
        const char* name;
    } cases[] = {
        {"/data/images/dxu_os.img", "/data/images/", "dxu_os.img"},
        {"app.img", std::string(current) + "/", "app.img"}, // a bare name, as a shell passes it
    };
    for (const auto& c : cases) {
        CDravikApp app(&m_ui);
        app.m_strSettingsPath = m_strFolder + "none.cfg";
        app.InitInstance(m_strFolder + "dravik", c.file);
        app.LoadFile(2);
        EXPECT_EQ(m_ui.LastFileRequest().strInitialDir, c.folder);
        EXPECT_EQ(m_ui.LastFileRequest().strInitialName, c.name);
        EXPECT_EQ(app.m_strPathName, c.file);
    }
}

TEST_F(LoadCommandTest, DispatchByTheLastThreeCharacters) {
    m_app.m_nConnectState = ConnectBios;
    EXPECT_TRUE(DownloadStarted(File("upper.IMG", 100)));
    EXPECT_TRUE(DownloadStarted(File("nodotimg", 100)));
    EXPECT_EQ(m_app.m_strFileName, "nodotimg");
    EXPECT_EQ(m_app.m_strPathName, m_strFolder + "nodotimg");
    m_ui.Clear();
    m_ui.QueueFileName(File("page.html", 10));
    EXPECT_FALSE(m_app.LoadFile(2));
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{"Error: Unknown file type."});
}

TEST_F(LoadCommandTest, SizeWarningForOldSoftwareOnANewBootstrap) {
    const struct {
        size_t nSize;
        int nState;
        const char* version;
        bool bWarned;
    } cases[] = {
        {600000, ConnectBootstrap, "V2.1", true},  {1000000, ConnectBootstrap, "V2.1", true},
        {599999, ConnectBootstrap, "V2.1", false}, {1000001, ConnectBootstrap, "V2.1", false},
        {800000, ConnectBootstrap, "V1.9", false}, {800000, ConnectBios, "V2.1", false},
    };
    for (const auto& c : cases) {
        m_ui.Clear();
        m_app.m_nConnectState = c.nState;
        std::snprintf(m_app.m_szVersion, sizeof m_app.m_szVersion, "%s", c.version);
        const std::string path = File("size.img", c.nSize); // the warning, if any, is answered No
        const bool started = DownloadStarted(path);
        const auto messages = m_ui.Messages();
        const bool warned = !messages.empty() && messages.front() == kSizeWarning;
        EXPECT_EQ(warned, c.bWarned) << c.nSize << " " << c.version;
        EXPECT_EQ(started, !c.bWarned) << "No to the warning loads nothing";
    }
    // Yes goes on with the download.
    m_ui.Clear();
    m_app.m_nConnectState = ConnectBootstrap;
    std::snprintf(m_app.m_szVersion, sizeof m_app.m_szVersion, "V2.1");
    m_ui.QueueAnswer(IDYES);
    EXPECT_TRUE(DownloadStarted(File("yes.img", 700000)));
}

TEST_F(LoadCommandTest, MissingImageIsReportedAndTheDownloadStillStarts) {
    m_app.m_nConnectState = ConnectBios;
    m_ui.QueueFileName(m_strFolder + "missing.img");
    EXPECT_TRUE(m_app.LoadFile(2));
    m_app.WaitForDownload();
    EXPECT_EQ(m_ui.Messages().front(), "Cannot open input file.");
    EXPECT_EQ(m_app.m_nLastLoadResult, kLoadComPortFailed);
}

} // namespace
