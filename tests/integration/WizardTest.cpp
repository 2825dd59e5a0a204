// The Upgrade Wizard against the simulated controller: its start, its pages and questions in order, the
// load it asks the idle pass for, and its reactions to the results, with the test as the person.
#include "engine/app/DravikApp.h"
#include "engine/download/Download.h"
#include "engine/wizard/UpgradeOutcome.h"
#include "platform/Clock.h"
#include "sim/Simulator.h"
#include "support/ImageTestBytes.h"
#include "support/TempFolder.h"
#include "support/TestUserInterface.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace {

const std::string kExitMessage = "Upgrade Wizard Exiting.\nTo restart the Upgrade Wizard from the "
                                 "Dravik\nmenu select 'File->Upgrade Wizard'.";
const std::string kImageOk = "Download OK!\n \nThe Upgrade Wizard is complete.\nDisconnect the PC and cycle "
                             "the controller power OFF/ON";

class WizardTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_strFolder = TestTempDir() + "/dravik-wizard-" + std::to_string(::getpid()) + "/";
        ::mkdir(m_strFolder.c_str(), 0700);
        m_app.m_strSettingsPath = m_strFolder + "Dravik.cfg";
        m_app.LoadSettings();
    }
    void TearDown() override {
        const std::string command = "rm -rf '" + m_strFolder + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    void StartSim(SimOptions options) {
        options.nDoneDelayMs = 5;
        std::string error;
        ASSERT_TRUE(m_sim.Start(options, error)) << error;
        m_app.m_strPort = m_sim.SlavePath();
    }
    std::string Image(const std::string& name, uint32_t address) {
        std::vector<uint8_t> bytes = ImageRecordBytes(address);
        for (int i = 0; i < 600; ++i)
            bytes.push_back(static_cast<uint8_t>(i));
        const std::string path = m_strFolder + name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    // The user-interface thread's part: idle passes and posted work until the wizard has ended.
    bool RunUntilWizardEnds() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        do {
            m_app.OnIdle(1);
            m_ui.RunPosted();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (std::chrono::steady_clock::now() > deadline)
                return false;
        } while (m_app.m_bWizardRunning);
        m_ui.RunPosted();
        return true;
    }
    std::string SettingsFile() const {
        std::ifstream in(m_app.m_strSettingsPath, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    CClockSpeedScope m_fast{100.0};
    std::string m_strFolder;
    CTestUserInterface m_ui;
    CDravikApp m_app{&m_ui};
    CSimulator m_sim;
};

TEST_F(WizardTest, WelcomePageCancelThenYesEndsWithoutTheExitMessage) {
    m_ui.QueueWizardPage(IDCANCEL);
    m_ui.QueueAnswer(IDYES);
    m_app.OnIdle(0);
    EXPECT_FALSE(m_app.m_bWizardRunning);
    EXPECT_EQ(m_ui.WizardPages(), std::vector<int>{1});
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{"Exit Upgrade Wizard?"});
    EXPECT_EQ(SettingsFile(), "") << "the check box was left as it was: nothing written";
    m_app.OnIdle(1);
    EXPECT_EQ(m_ui.WizardPages().size(), 1u) << "the automatic start happens once";
}

TEST_F(WizardTest, UncheckedBoxIsSavedAndCancelThenNoStillStartsTheWizard) {
    m_ui.QueueWizardPage(IDCANCEL, false);
    m_ui.QueueAnswer(IDNO);         // "Exit Upgrade Wizard?" No: the wizard goes on
    m_ui.QueueWizardPage(IDCANCEL); // the cable page
    m_ui.QueueAnswer(IDYES);        // "Exit Upgrade Wizard?" Yes
    m_app.OnIdle(0);
    EXPECT_EQ(SettingsFile(), "COM1\nWD\nDBGD\nuseCOM\n");
    ASSERT_TRUE(RunUntilWizardEnds());
    EXPECT_EQ(m_ui.WizardPages(), (std::vector<int>{1, 2}));
    EXPECT_EQ(m_ui.Messages(),
              (std::vector<std::string>{"Exit Upgrade Wizard?", "Exit Upgrade Wizard?", kExitMessage}));
}

TEST_F(WizardTest, ImageDownloadFromStartToFinishOnCom) {
    SimOptions options;
    options.strProtocol = "PL03";
    StartSim(options);
    const std::string image = Image("app.img", 0x1E0000);
    m_app.m_bWizardRequest = true;
    m_ui.QueueWizardPage(kWizardNext);          // welcome
    m_ui.QueueWizardPage(kWizardNext);          // cable
    m_ui.QueueWizardPage(kWizardNext, true, 0); // file type: image
    m_ui.QueueFileName(image);
    m_app.OnIdle(1);
    ASSERT_TRUE(RunUntilWizardEnds());
    EXPECT_EQ(m_ui.WizardPages(), (std::vector<int>{1, 2, 4}));
    EXPECT_EQ(m_app.m_nConnectState, ConnectBootstrap);
    EXPECT_EQ(m_app.m_nLastLoadResult, kLoadDoneApplication);
    // No erase question during the wizard; the download's own end, then the wizard's.
    EXPECT_EQ(m_ui.Messages(),
              (std::vector<std::string>{"Download complete.", "Should the controller be restarted now?",
                                        kImageOk}));
    EXPECT_EQ(m_ui.LastFileRequest().strFilter, "Software Files (*.img)|*.img|");
    bool notice = false;
    for (const auto& event : m_ui.Events())
        notice |= event.strKind == "wait" && event.strText.find("Cycle power (OFF/ON)") != std::string::npos;
    EXPECT_TRUE(notice) << "the power-cycle notice during the connect step on COM";
}

TEST_F(WizardTest, NoControllerPageComPortRunsPortSetupThenBackToTheCable) {
    SimOptions options;
    options.strProtocol.clear(); // never answers, never resets
    StartSim(options);
    m_app.m_bWizardRequest = true;
    m_ui.QueueWizardPage(kWizardNext);    // welcome
    m_ui.QueueWizardPage(kWizardNext);    // cable
    m_ui.QueueWizardPage(kWizardComPort); // "No controller detected!"
    m_ui.QueueCommDialog(std::nullopt);   // Port Setup cancelled
    m_ui.QueueWizardPage(IDCANCEL);       // cable again
    m_ui.QueueAnswer(IDYES);              // exit
    m_app.OnIdle(1);
    ASSERT_TRUE(RunUntilWizardEnds());
    EXPECT_EQ(m_ui.WizardPages(), (std::vector<int>{1, 2, 5, 2}));
    EXPECT_EQ(m_ui.LastCommDialogInput().strCurrentPort, m_sim.SlavePath());
    EXPECT_EQ(m_ui.Messages(), (std::vector<std::string>{"Exit Upgrade Wizard?", kExitMessage}));
}

TEST_F(WizardTest, CancelledFileDialogAsksToTryAgainAndNoReturnsToTheFileTypePage) {
    SimOptions options;
    options.strProtocol = "PL02";
    StartSim(options);
    m_app.m_bWizardRequest = true;
    m_ui.QueueWizardPage(kWizardNext);          // welcome
    m_ui.QueueWizardPage(kWizardNext);          // cable
    m_ui.QueueWizardPage(kWizardNext, true, 1); // page file
    m_ui.QueueFileName(std::nullopt);
    m_ui.QueueAnswer(IDNO);         // try again? No
    m_ui.QueueWizardPage(IDCANCEL); // file type page again
    m_ui.QueueAnswer(IDYES);        // exit
    m_app.OnIdle(1);
    ASSERT_TRUE(RunUntilWizardEnds());
    EXPECT_EQ(m_ui.WizardPages(), (std::vector<int>{1, 2, 4, 4}));
    EXPECT_EQ(m_ui.LastFileRequest().strFilter, "Configuration Files (*.dat)|*.dat|");
    EXPECT_EQ(m_ui.Messages(), (std::vector<std::string>{"No file selected. Try again?",
                                                         "Exit Upgrade Wizard?", kExitMessage}));
}

TEST_F(WizardTest, TextFileThatNobodyReceivesIsNotReportedAsAnEarlierSuccess) {
    SimOptions options;
    options.strProtocol = "PL03";
    StartSim(options); // takes no file without its load command
    const std::string notes = m_strFolder + "notes.txt";
    std::ofstream(notes) << "notes";
    m_app.m_nLastLoadKind = 0; // an earlier image download went through
    m_app.m_nLastLoadResult = kLoadDoneOsAndApplication;
    m_app.m_bWizardRequest = true;
    m_ui.QueueWizardPage(kWizardNext); // welcome
    m_ui.QueueWizardPage(kWizardNext); // cable
    m_ui.QueueWizardPage(kWizardNext); // file type: image, but a text file is typed in
    m_ui.QueueFileName(notes);
    m_app.OnIdle(1);
    ASSERT_TRUE(RunUntilWizardEnds());
    const auto messages = m_ui.Messages();
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[0], "No response from slave."); // then how to fix it
    EXPECT_EQ(messages[2].rfind("Error controller rejected software download command!", 0), 0u)
        << messages[2];
    EXPECT_EQ(messages[3], kExitMessage);
}

TEST_F(WizardTest, OperatingSystemOnlyOnABiosAsksForAnotherFile) {
    SimOptions options;
    options.strProtocol = "PL02";
    StartSim(options);
    const std::string image = Image("os.img", 0x010000);
    m_app.m_bWizardRequest = true;
    m_ui.QueueWizardPage(kWizardNext); // welcome
    m_ui.QueueWizardPage(kWizardNext); // cable
    m_ui.QueueWizardPage(kWizardNext); // file type: image
    m_ui.QueueFileName(image);
    m_ui.QueueAnswer(IDNO);         // restart question
    m_ui.QueueWizardPage(IDCANCEL); // "Another file is required!"
    m_ui.QueueAnswer(IDNO);         // exit? No: back to the connect step
    m_ui.QueueWizardPage(IDCANCEL); // file type page after connecting again
    m_ui.QueueAnswer(IDYES);        // exit
    m_app.OnIdle(1);
    ASSERT_TRUE(RunUntilWizardEnds());
    EXPECT_EQ(m_app.m_nLastLoadResult, kLoadDoneOther);
    EXPECT_EQ(m_ui.WizardPages(), (std::vector<int>{1, 2, 4, 6, 4}));
}

TEST_F(WizardTest, ClosingTheProgramEndsARunningWizard) {
    auto ui = std::make_unique<CTestUserInterface>();
    auto app = std::make_unique<CDravikApp>(ui.get());
    app->m_strSettingsPath = m_strFolder + "other.cfg";
    app->m_bWizardRequest = true;
    ui->QueueWizardPage(kWizardNext);
    // The cable page is cancelled and "Exit?" answered No forever: only the program's end stops it.
    app->OnIdle(1);
    EXPECT_TRUE(app->m_bWizardRunning);
    while (ui->WizardPages().size() < 3)
        std::this_thread::yield(); // the worker circles between the cable page and the question
    app.reset();                   // stops and joins the worker, or the test hangs here
    EXPECT_EQ(ui->WizardPages()[1], 2);
}

TEST_F(WizardTest, ClosingTheProgramWhileTheWizardWaitsForTheResetEndsAtOnce) {
    CClockSpeedScope slower(2.0); // the 30 s wait for the controller's reset is 15 s of real time
    SimOptions options;
    options.strProtocol.clear(); // never answers, never resets
    StartSim(options);
    auto ui = std::make_unique<CTestUserInterface>();
    auto app = std::make_unique<CDravikApp>(ui.get());
    app->m_strSettingsPath = m_strFolder + "other.cfg";
    app->m_strPort = m_sim.SlavePath();
    app->m_bWizardRequest = true;
    ui->QueueWizardPage(kWizardNext); // welcome
    ui->QueueWizardPage(kWizardNext); // cable: the connect step waits for the reset
    app->OnIdle(1);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (m_sim.Counters().nProbes == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_GT(m_sim.Counters().nProbes, 0u);
    const uint32_t start = CClock::Instance().TickCount();
    app.reset(); // the program ends: the worker must not hold the port for the rest of the wait
    EXPECT_LT(CClock::Instance().TickCount() - start, 10000u);
    EXPECT_EQ(ui->WizardPages(), (std::vector<int>{1, 2})) << "no page after the program's end";
}

// Every row of the result tables the wizard (and the console's upgrade) reads a finished load by: what
// comes next, the box's first line and icon, and where Retry leads.
TEST(WizardOutcome, EveryImageAndConfigurationResultRow) {
    enum { kImage, kConfiguration };
    constexpr EUpgradeStep kDone = EUpgradeStep::Done, kAnother = EUpgradeStep::AnotherFile,
                           kPort = EUpgradeStep::PortFailed, kRetry = EUpgradeStep::Retry,
                           kError = EUpgradeStep::ProgramError;
    constexpr EMsgIcon kQuestion = EMsgIcon::Question, kWarning = EMsgIcon::Warning, kNone = EMsgIcon::None;
    const char* const kOk = "Download OK!";
    const char* const kCancelled = "Download canceled by user!";
    const char* const kErase = "Error erasing controller memory prior to download!";
    const char* const kOpen = "Error opening the selected file.  The file may be corrupt.";
    const char* const kRejected = "Error controller rejected software download command!";
    const char* const kProgram = "Upgrade Wizard program error!  Restart the Upgrade Wizard.";
    struct Row {
        int nKind;
        int nResult;
        int nConnectState;
        EUpgradeStep nStep;
        const char* pszFirstLine; // null: no box of its own
        EMsgIcon nIcon;
        bool bRetryFromFileType;
    };
    const Row rows[] = {
        {kImage, kLoadDoneOsAndApplication, ConnectBios, kDone, kOk, kQuestion, false},
        {kImage, kLoadDoneApplication, ConnectBootstrap, kDone, kOk, kQuestion, false},
        {kImage, kLoadDoneOther, ConnectBootstrap, kDone, kOk, kQuestion, false},
        {kImage, kLoadDoneOther, ConnectBios, kAnother, nullptr, kNone, false},
        {kImage, kLoadComPortFailed, ConnectBios, kPort, nullptr, kNone, false},
        {kImage, kLoadCancelled, ConnectBios, kRetry, kCancelled, kQuestion, false},
        {kImage, kLoadEraseRefused, ConnectBios, kRetry, kErase, kWarning, false},
        {kImage, kLoadFileNotOpened, ConnectBios, kRetry, kOpen, kWarning, true},
        {kImage, kLoadRefused, ConnectBios, kRetry, kRejected, kWarning, false},
        {kImage, kLoadBaudChangeFailed, ConnectBios, kRetry, "Error changing the PC's serial port baud rate!",
         kWarning, false},
        {kImage, kLoadUnexpectedEnd, ConnectBios, kRetry, "Error processing the selected file!", kWarning,
         true},
        {kImage, kLoadNoLink, ConnectBios, kError, kProgram, kNone, false},
        {kImage, kLoadPending, ConnectBios, kError, kProgram, kNone, false},
        {kImage, 9, ConnectBios, kError, kProgram, kNone, false},
        {kConfiguration, kConfigLoadDone, ConnectBios, kDone, kOk, EMsgIcon::Information, false},
        {kConfiguration, kConfigComPortFailed, ConnectBios, kPort, nullptr, kNone, false},
        {kConfiguration, kConfigCancelled, ConnectBios, kRetry, kCancelled, kQuestion, false},
        {kConfiguration, kConfigEraseRefused, ConnectBios, kRetry, kErase, kWarning, false},
        {kConfiguration, kConfigFileNotOpened, ConnectBios, kRetry, kOpen, kWarning, true},
        {kConfiguration, kConfigRefused, ConnectBios, kRetry, kRejected, kWarning, false},
        {kConfiguration, kConfigSkipped, ConnectBios, kRetry, kRejected, kWarning, false},
        {kConfiguration, kConfigTooManyErrors, ConnectBios, kRetry, "Error too many communication errors.!",
         kWarning, false},
        {kConfiguration, kConfigCopyFailed, ConnectBios, kRetry, "Error renaming file!", kWarning, true},
        {kConfiguration, kConfigNoLink, ConnectBios, kError, kProgram, kNone, false},
        {kConfiguration, kConfigUnknown, ConnectBios, kError, kProgram, kNone, false},
        {kConfiguration, kLoadDoneOsAndApplication, ConnectBios, kError, kProgram, kNone, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << (row.nKind == kImage ? "image" : "configuration") << " result "
                                        << row.nResult << ", connection state " << row.nConnectState);
        const UpgradeOutcome outcome = row.nKind == kImage
                                           ? ImageUpgradeOutcome(row.nResult, row.nConnectState)
                                           : ConfigurationUpgradeOutcome(row.nResult);
        EXPECT_EQ(outcome.nStep, row.nStep);
        if (row.pszFirstLine) {
            ASSERT_NE(outcome.pszText, nullptr);
            const std::string text = outcome.pszText;
            EXPECT_EQ(text.substr(0, text.find('\n')), row.pszFirstLine);
        } else {
            EXPECT_EQ(outcome.pszText, nullptr);
        }
        EXPECT_EQ(outcome.nIcon, row.nIcon);
        EXPECT_EQ(outcome.bRetryFromFileType, row.bRetryFromFileType);
    }
}

// A failed image load's box through the wizard's worker: Retry goes back to the cable page or to the file
// type page, Cancel ends the wizard.
TEST_F(WizardTest, RetryAndCancelOfAFailedLoadLeadBackOrOut) {
    struct Row {
        const char* pszName;
        char cRefusedLetter; // the command the controller answers "ERROR"; 0 for none
        bool bCutShort;      // the image ends inside an address record
        int nAnswer;
        int nResult;
        const char* pszFirstLine;
        std::vector<int> pages;
    };
    const Row rows[] = {
        {"erase refused, Retry",
         '2',
         false,
         IDRETRY,
         kLoadEraseRefused,
         "Error erasing controller memory prior to download!",
         {1, 2, 4, 2}},
        {"erase refused, Cancel",
         '2',
         false,
         IDCANCEL,
         kLoadEraseRefused,
         "Error erasing controller memory prior to download!",
         {1, 2, 4}},
        {"load refused, Retry",
         '4',
         false,
         IDRETRY,
         kLoadRefused,
         "Error controller rejected software download command!",
         {1, 2, 4, 2}},
        {"cut short, Retry",
         0,
         true,
         IDRETRY,
         kLoadUnexpectedEnd,
         "Error processing the selected file!",
         {1, 2, 4, 4}},
        {"cut short, Cancel",
         0,
         true,
         IDCANCEL,
         kLoadUnexpectedEnd,
         "Error processing the selected file!",
         {1, 2, 4}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.pszName);
        m_sim.Stop();
        m_ui.Clear();
        SimOptions options;
        options.strProtocol = "PL03";
        if (row.cRefusedLetter)
            options.faults.push_back({SimFaultKind::ErrorAlways, row.cRefusedLetter, 0});
        StartSim(options);
        std::string image = Image("app.img", 0x1E0000);
        if (row.bCutShort) {
            const std::string cut = ImageRecord(0x1F0000).substr(0, 6);
            std::ofstream(image, std::ios::binary | std::ios::app).write(cut.data(), cut.size());
        }
        m_app.m_bWizardRequest = true;
        m_ui.QueueWizardPage(kWizardNext); // welcome
        m_ui.QueueWizardPage(kWizardNext); // cable
        m_ui.QueueWizardPage(kWizardNext); // file type: image
        m_ui.QueueFileName(image);
        m_ui.QueueAnswer(row.nAnswer);
        if (row.nAnswer == IDRETRY) {
            m_ui.QueueWizardPage(IDCANCEL); // the page Retry leads to
            m_ui.QueueAnswer(IDYES);        // exit
        }
        m_app.OnIdle(1);
        ASSERT_TRUE(RunUntilWizardEnds());
        EXPECT_EQ(m_app.m_nLastLoadResult, row.nResult);
        std::vector<int> pages = m_ui.WizardPages();
        EXPECT_EQ(std::vector<int>(pages.end() - std::min(pages.size(), row.pages.size()), pages.end()),
                  row.pages);
        const auto events = m_ui.Events();
        std::vector<ShownEvent> boxes;
        for (const ShownEvent& event : events)
            if (event.strKind == "message")
                boxes.push_back(event);
        const size_t tail = row.nAnswer == IDRETRY ? 3 : 2; // the box, ("Exit Upgrade Wizard?",) the end
        ASSERT_GE(boxes.size(), tail);
        const ShownEvent& box = boxes[boxes.size() - tail];
        EXPECT_EQ(box.strText.substr(0, box.strText.find('\n')), row.pszFirstLine);
        EXPECT_EQ(box.buttons, EMsgButtons::RetryCancel);
        EXPECT_EQ(boxes.back().strText, kExitMessage);
        if (row.nAnswer == IDRETRY) {
            EXPECT_EQ(boxes[boxes.size() - 2].strText, "Exit Upgrade Wizard?");
        }
    }
}

} // namespace
