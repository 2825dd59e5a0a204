// The configuration download against a controller played by the test on a real pseudo-terminal: it
// answers the erase and load commands, shows its '*', and hands the line to the real rz for the ZModem
// transfer; afterwards it announces the stored file with another '*'.
#include <fcntl.h>

#include "ZModemReceiver.h"
#include "engine/app/DravikApp.h"
#include "platform/Clock.h"
#include "support/TempFolder.h"
#include "support/TestUserInterface.h"

#include <gtest/gtest.h>

#include <atomic>
#include <glob.h>
#include <mutex>

using namespace std::chrono_literals;

namespace {

const std::string kEraseQuestion = "This will erase old data on controller.\nDo you really want to continue?";
const std::string kRenameQuestion =
    "The file you've selected is not called \"config.dat.\"  Do you wish to rename "
    "it?  The controller may have difficulty if the name is not correct.";
const std::string kDone = "Download complete.  Controller must be reset.";

size_t TemporaryCopies() {
    glob_t found{};
    const int result = ::glob((TestTempDir() + "/dravik-config-*").c_str(), 0, nullptr, &found);
    const size_t count = result == 0 ? found.gl_pathc : 0;
    ::globfree(&found);
    return count;
}

// The controller's side: commands until the load command, then rz takes the line.
class CConfigController {
public:
    explicit CConfigController(CRzReceiver& rz, bool refuseErase = false)
        : m_rz(rz), m_bRefuseErase(refuseErase) {
        m_thread = std::thread([this] { Run(); });
    }
    ~CConfigController() {
        m_bStop = true;
        m_thread.join();
    }
    std::string Commands() const {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_strCommands;
    }
    size_t CopiesWhileStoring() const { return m_nCopiesWhileStoring; }

private:
    void Run() {
        std::string seen;
        while (!m_bStop) {
            const auto bytes = m_rz.Pty().ReadMaster(1, 20ms);
            if (bytes.empty())
                continue;
            seen.push_back(static_cast<char>(bytes[0]));
            if (seen.size() < 4 || seen.compare(seen.size() - 4, 3, "+++") != 0)
                continue;
            const char letter = seen.back();
            {
                std::lock_guard<std::mutex> guard(m_lock);
                m_strCommands += seen.substr(seen.size() - 4);
            }
            if (letter == '2') {
                m_rz.Pty().WriteMaster(m_bRefuseErase ? "ERROR\n" : "OK\nDONE\n");
            } else if (letter == '5') {
                m_rz.Pty().WriteMaster("OK\n*");
                m_rz.Start();
                while (!m_bStop && m_rz.Wait(20ms) == CRzReceiver::kStillRunning) {
                }
                m_nCopiesWhileStoring = TemporaryCopies();
                m_rz.Pty().WriteMaster("*"); // the file is stored
                return;
            }
        }
    }

    CRzReceiver& m_rz;
    bool m_bRefuseErase;
    std::atomic<bool> m_bStop{false};
    mutable std::mutex m_lock; // the commands are read while the thread may still run
    std::string m_strCommands;
    std::atomic<size_t> m_nCopiesWhileStoring{0};
    std::thread m_thread;
};

class ConfigDownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_app.m_strSettingsPath = m_files.File("none.cfg");
        m_app.LoadSettings();
        m_app.m_strPort = m_rz.Pty().SlavePath();
        m_app.m_nConnectState = ConnectBios;
    }
    std::vector<uint8_t> Content() const {
        std::vector<uint8_t> bytes;
        for (int i = 0; i < 3000; ++i)
            bytes.push_back(static_cast<uint8_t>(i * 31));
        return bytes;
    }

    CClockSpeedScope m_fast{10.0};
    CTempFolder m_files;
    CRzReceiver m_rz;
    CTestUserInterface m_ui;
    CDravikApp m_app{&m_ui};
};

TEST_F(ConfigDownloadTest, PageFileGoesAsConfigDatAfterEraseAndLoad) {
    const std::string chosen = m_files.Write("page1.dat", Content());
    const std::string beside = m_files.Write("config.dat", {'k', 'e', 'e', 'p'});
    const size_t copiesBefore = TemporaryCopies();
    m_ui.QueueAnswer(IDYES); // erase
    m_ui.QueueAnswer(IDYES); // rename
    std::string commands;
    {
        CConfigController controller(m_rz);
        EXPECT_TRUE(m_app.LoadChosenFile(chosen));
        commands = controller.Commands();
        EXPECT_EQ(controller.CopiesWhileStoring(), copiesBefore + 1) << "the copy is made under TMPDIR";
    }
    EXPECT_EQ(m_app.m_nLastLoadResult, 3);
    EXPECT_EQ(m_app.m_nLastLoadKind, 1);
    EXPECT_EQ(commands, "+++2+++5");
    EXPECT_EQ(m_ui.Messages(), (std::vector<std::string>{kEraseQuestion, kRenameQuestion, kDone}));
    EXPECT_EQ(m_rz.Folder().Read("config.dat"), Content());
    EXPECT_EQ(m_files.Read("page1.dat"), Content()) << "the chosen file is never changed";
    EXPECT_EQ(m_files.Read("config.dat"), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}))
        << "a config.dat beside the chosen file is neither overwritten nor deleted";
    EXPECT_EQ(TemporaryCopies(), copiesBefore) << "the copy is gone after the transfer";
    bool storeWait = false;
    for (const auto& event : m_ui.Events())
        storeWait |=
            event.strKind == "wait" && event.strText == "Erasing...|Please wait while file is saved.";
    EXPECT_TRUE(storeWait);
}

TEST_F(ConfigDownloadTest, NameCaseMattersAndOtherTypesAreNeverRenamed) {
    const std::string chosen = m_files.Write("Config.dat", Content());
    m_ui.QueueAnswer(IDNO); // erase: No, nothing erased
    m_ui.QueueAnswer(IDNO); // rename: No, sent under its own name
    std::string commands;
    {
        CConfigController controller(m_rz);
        m_app.LoadChosenFile(chosen);
        commands = controller.Commands();
    }
    EXPECT_EQ(commands, "+++5");
    EXPECT_EQ(m_ui.Messages(), (std::vector<std::string>{kEraseQuestion, kRenameQuestion, kDone}));
    EXPECT_TRUE(m_rz.Folder().Exists("Config.dat"));
}

TEST_F(ConfigDownloadTest, GifFilesGetNoRenameQuestionAndTheWizardErasesWithoutAsking) {
    const std::string chosen = m_files.Write("logo.gif", Content());
    m_app.m_bWizardRunning = true;
    std::string commands;
    {
        CConfigController controller(m_rz);
        m_app.LoadChosenFile(chosen);
        commands = controller.Commands();
    }
    m_app.m_bWizardRunning = false;
    EXPECT_EQ(commands, "+++2+++5");
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{kDone});
    EXPECT_EQ(m_rz.Folder().Read("logo.gif"), Content());
}

TEST_F(ConfigDownloadTest, RefusedEraseStopsWithBothMessages) {
    const std::string chosen = m_files.Write("page.dat", Content());
    m_ui.QueueAnswer(IDYES);
    CClockSpeedScope faster(1000.0);
    {
        CConfigController controller(m_rz, true);
        m_app.LoadChosenFile(chosen);
    }
    EXPECT_EQ(m_app.m_nLastLoadResult, 6);
    EXPECT_EQ(m_ui.Messages(), (std::vector<std::string>{kEraseQuestion, "Slave responded with ERROR.",
                                                         "Slave rejected erasure of config area."}));
}

TEST_F(ConfigDownloadTest, NoLinkAndNoPort) {
    m_app.m_nLinkKind = kLinkNone;
    EXPECT_EQ(m_app.DownloadConfigFile(m_files.File("x.dat"), "x.dat"), 14);
    m_app.m_nLinkKind = kLinkCom;
    m_app.m_strPort = "/dev/no-such-port";
    EXPECT_EQ(m_app.DownloadConfigFile(m_files.File("x.dat"), "x.dat"), 4);
    EXPECT_EQ(m_ui.Messages(), (std::vector<std::string>{
                                   "No serial link available! Please select one or check if USB connected.",
                                   "Error opening specified COM port."}));
}

} // namespace
