// The image download against the simulated controller on a real pseudo-terminal: what goes on the wire
// and at which line speed, the erase commands by region and state, the staged programming of a PL01
// controller, the result codes and messages of every failure, and cancelling during the transfer.
#include "engine/app/DravikApp.h"
#include "engine/download/Download.h"
#include "platform/Clock.h"
#include "sim/Simulator.h"
#include "support/BootstrapDownload.h"
#include "support/ImageTestBytes.h"
#include "support/SimTraceEvents.h"
#include "support/TempFolder.h"
#include "support/TestUserInterface.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <thread>

namespace {

using Bytes = std::vector<uint8_t>;

const std::string kEraseQuestion = "This will erase old data on controller.\nDo you really want to continue?";
const std::string kCutShort = "The image file is cut short or damaged; nothing on the controller was erased. "
                              "Load a new copy of the file.";

Bytes Record(uint32_t address) {
    return ImageRecordBytes(address);
}

Bytes Data(size_t count, uint8_t seed = 1) {
    Bytes data(count);
    for (size_t i = 0; i < count; ++i)
        data[i] = static_cast<uint8_t>(seed + i * 7);
    return data;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class ImageDownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_strImage = TestTempDir() + "/dravik-download-test-" + std::to_string(::getpid()) + ".img";
        m_strTrace = TestTempDir() + "/dravik-download-trace-" + std::to_string(::getpid()) + ".jsonl";
        m_app.m_strSettingsPath = TestTempDir() + "/dravik-download-test-none.cfg";
        std::remove(m_app.m_strSettingsPath.c_str());
        m_app.LoadSettings();
    }
    void TearDown() override {
        std::remove(m_strImage.c_str());
        std::remove(m_strTrace.c_str());
    }
    void StartSim(const std::string& protocol, std::vector<SimFault> faults = {}) {
        SimOptions options;
        options.strProtocol = protocol;
        options.nDoneDelayMs = 10;
        options.strTracePath = m_strTrace;
        options.faults = std::move(faults);
        std::string error;
        ASSERT_TRUE(m_sim.Start(options, error)) << error;
        m_app.m_strPort = m_sim.SlavePath();
        m_app.m_nConnectState = protocol == "PL03" ? ConnectBootstrap : ConnectBios;
    }
    // Runs a download of the bytes as the Load command would, answering the erase question and the
    // restart question as given; the result code.
    int Download(const Bytes& image, int eraseAnswer = IDYES, int restartAnswer = IDNO) {
        std::ofstream(m_strImage, std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
        m_ui.QueueAnswer(eraseAnswer);
        m_ui.QueueAnswer(restartAnswer);
        m_app.m_strPathName = m_strImage;
        m_app.m_strFileName = "test.img";
        m_app.StartImageDownload();
        m_app.WaitForDownload();
        EXPECT_FALSE(m_app.m_bDownloadRunning);
        return m_app.m_nLastLoadResult;
    }
    // Commands and frames after the download's protocol probes.
    std::vector<std::string> Wire(bool withSpeed = false) {
        auto events = ReadSimTraceEvents(m_strTrace, withSpeed);
        events.erase(std::remove_if(events.begin(), events.end(),
                                    [](const std::string& e) { return e.rfind("probe", 0) == 0; }),
                     events.end());
        return events;
    }

    CClockSpeedScope m_fast{100.0};
    CTestUserInterface m_ui;
    CDravikApp m_app{&m_ui};
    CSimulator m_sim;
    std::string m_strImage;
    std::string m_strTrace;
};

TEST_F(ImageDownloadTest, ImageWithoutRecordsIsNotErasedAndGoesAsPlainFrames) {
    StartSim("PL03");
    EXPECT_EQ(Download(Data(600)), kLoadDoneOther);
    EXPECT_EQ(Wire(), (std::vector<std::string>{"+++4", "D252", "D252", "D96", "A00000000"}));
    EXPECT_EQ(m_ui.Messages(), (std::vector<std::string>{kEraseQuestion, "Download complete.",
                                                         "Should the controller be restarted now?"}));
    const auto view = m_ui.DownloadView();
    EXPECT_EQ(view->Field(EDownloadField::FileName), "test.img");
    EXPECT_TRUE(view->Closed());
}

TEST_F(ImageDownloadTest, FramesAtFastSpeedCommandsAtNormalSpeed) {
    StartSim("PL03");
    EXPECT_EQ(Download(Record(0x1E0000) + Data(10) + Record(0x1E1000) + Data(3), IDYES, IDYES),
              kLoadDoneApplication);
    EXPECT_EQ(Wire(true),
              (std::vector<std::string>{"+++2@19200", "+++4@19200", "A001E0000@38400", "D10@38400",
                                        "A001E1000@38400", "D3@38400", "A00000000@38400", "+++7@19200"}));
}

TEST_F(ImageDownloadTest, RegionSetsChooseEraseCommandsAndResults) {
    struct Case {
        std::string strProtocol;
        Bytes image;
        std::vector<std::string> erases;
        int nResult;
    } cases[] = {
        {"PL02", Record(0x100000) + Data(1) + Record(0x100001) + Data(4), {"+++0", "+++1", "+++2"}, 1},
        {"PL02", Record(0x200000) + Data(4), {"+++2"}, 3},
        {"PL02", Record(0x010000) + Data(4), {"+++0", "+++1"}, 2},
        {"PL03", Record(0x010000) + Data(4), {"+++0"}, 2},
        {"PL03", Record(0x1D8000) + Data(4), {"+++A"}, 2},
        {"PL03", Record(0x010000) + Data(4) + Record(0x1D8000) + Data(4), {"+++0", "+++A"}, 2},
        {"PL03", Record(0x010000) + Data(4) + Record(0x1E0000) + Data(4), {"+++0", "+++2"}, 1},
    };
    for (const auto& c : cases) {
        CTestUserInterface ui;
        CDravikApp app(&ui);
        CSimulator sim;
        SimOptions options;
        options.strProtocol = c.strProtocol;
        options.nDoneDelayMs = 5;
        options.strTracePath = m_strTrace;
        std::string error;
        ASSERT_TRUE(sim.Start(options, error));
        app.m_strPort = sim.SlavePath();
        app.m_nConnectState = c.strProtocol == "PL03" ? ConnectBootstrap : ConnectBios;
        std::ofstream(m_strImage, std::ios::binary)
            .write(reinterpret_cast<const char*>(c.image.data()),
                   static_cast<std::streamsize>(c.image.size()));
        app.m_strPathName = m_strImage;
        ui.QueueAnswer(IDYES);
        app.StartImageDownload();
        app.WaitForDownload();
        EXPECT_EQ(app.m_nLastLoadResult, c.nResult) << ::testing::PrintToString(ui.Messages());
        sim.Stop();
        auto wire = ReadSimTraceEvents(m_strTrace);
        std::vector<std::string> erases;
        for (const auto& word : wire)
            if (word != "+++4" && word != "+++7" && word.rfind("+++", 0) == 0)
                erases.push_back(word);
        EXPECT_EQ(erases, c.erases) << c.strProtocol;
    }
}

TEST_F(ImageDownloadTest, DataBeforeARecordIsSentFirst) {
    StartSim("PL03");
    EXPECT_EQ(Download(Data(10) + Record(0x1E0000) + Data(300)), kLoadDoneApplication);
    EXPECT_EQ(Wire(),
              (std::vector<std::string>{"+++2", "+++4", "D10", "A001E0000", "D252", "D48", "A00000000"}));
}

TEST_F(ImageDownloadTest, StagedProgrammingOfABiosThatAnswersPL01) {
    StartSim("PL01");
    const uint32_t start = CClock::Instance().TickCount();
    EXPECT_EQ(Download(Record(0x010000) + Data(300) + Record(0x1E0000) + Data(20)),
              kLoadDoneOsAndApplication);
    // 2 s after the first speed change, 7 s in the staged step, 5 s for the flash.
    EXPECT_GE(CClock::Instance().TickCount() - start, 14000u);
    EXPECT_EQ(Wire(true),
              (std::vector<std::string>{"+++0@19200", "+++1@19200", "+++2@19200", "+++4@19200",
                                        "A00010000@38400", "D252@38400", "D48@38400", "A00000000@38400",
                                        "+++4@19200", "A001E0000@38400", "D20@38400", "A00000000@38400"}));
}

TEST_F(ImageDownloadTest, NoStagedStepForOtherControllers) {
    StartSim("PL02");
    EXPECT_EQ(Download(Record(0x010000) + Data(4) + Record(0x1E0000) + Data(4)), kLoadDoneOsAndApplication);
    const auto wire = Wire();
    EXPECT_EQ(std::count(wire.begin(), wire.end(), std::string("+++4")), 1);
}

TEST_F(ImageDownloadTest, ContentThatLooksLikeMarkersIsData) {
    StartSim("PL03");
    const Bytes tricky = {0x7E, 'M', 'X', 0x7E, 'M', 'R', 0x3A - 1, 0x7E};
    const Bytes tail{0x7E, 'M', 'R'};
    EXPECT_EQ(Download(Record(0x1E3A3A) + tricky + tail), kLoadDoneApplication);
    EXPECT_EQ(Wire(), (std::vector<std::string>{"+++2", "+++4", "A001E3A3A", "D11", "A00000000"}));
    const auto frames = m_sim.Frames();
    ASSERT_GE(frames.size(), 2u);
    EXPECT_EQ(frames[1].data, tricky + tail);
}

TEST_F(ImageDownloadTest, DataThatReadsLikeAnAddressFrameIsSplit) {
    StartSim("PL03");
    // A full block of 252 bytes, then a block "MR:" 4 bytes ":" that a controller would take for an
    // address frame if it went whole.
    const Bytes lookalike = {'M', 'R', ':', 0x00, 0x00, 0x10, 0x00, ':'};
    EXPECT_EQ(Download(Record(0x1E0000) + Data(252) + lookalike), kLoadDoneApplication);
    EXPECT_EQ(Wire(),
              (std::vector<std::string>{"+++2", "+++4", "A001E0000", "D252", "D1", "D7", "A00000000"}));
    const auto frames = m_sim.Frames();
    ASSERT_EQ(frames.size(), 5u);
    EXPECT_EQ(frames[2].data, Bytes{'M'});
    EXPECT_EQ(frames[3].data, Bytes(lookalike.begin() + 1, lookalike.end()));
}

TEST_F(ImageDownloadTest, FailuresEndWithTheirMessageAndResult) {
    struct Case {
        std::string strName;
        Bytes image;
        std::vector<SimFault> faults;
        int nResult;
        std::vector<std::string> messages;
    } cases[] = {
        {"erase refused",
         Record(0x010000) + Data(4),
         {{SimFaultKind::ErrorAlways, '0', 0}},
         kLoadEraseRefused,
         {kEraseQuestion, "Slave responded with ERROR.", "Slave rejected erasure of OS."}},
        {"load refused",
         Record(0x010000) + Data(4),
         {{SimFaultKind::ErrorAlways, '4', 0}},
         kLoadRefused,
         {kEraseQuestion, "Slave responded with ERROR.", "Slave rejected software load command."}},
        {"frame refused",
         Data(600),
         {{SimFaultKind::WrongAck, 0, 2}},
         kLoadRefused,
         {kEraseQuestion, "Error downloading file to controller."}},
        // A file the transfer cannot finish is refused before the question: nothing is erased.
        {"record cut",
         Record(0x010000) + Data(5) + Bytes{0x7E, 'M', 'R', ':', 0x00, 0x01},
         {},
         kLoadUnexpectedEnd,
         {"Unexpected end of file.", kCutShort}},
        {"record not closed",
         Record(0x010000) + Data(5) + Bytes{0x7E, 'M', 'R', ':', 0, 1, 0, 0, 'X'} + Data(9),
         {},
         kLoadUnexpectedEnd,
         {"Unexpected end of file.", kCutShort}},
        {"line hangs up mid-transfer",
         Data(600),
         {{SimFaultKind::HangUp, 0, 2}},
         kLoadRefused,
         {kEraseQuestion, "Error downloading file to controller."}},
        // The closing frame's acknowledge is not examined, but a line that is gone took nothing.
        {"line hangs up at the closing frame",
         Data(600),
         {{SimFaultKind::HangUp, 0, 4}},
         kLoadComPortFailed,
         {kEraseQuestion, "Error reading COM port."}},
    };
    for (const auto& c : cases) {
        CTestUserInterface ui;
        CDravikApp app(&ui);
        CSimulator sim;
        SimOptions options;
        options.strProtocol = "PL03";
        options.nDoneDelayMs = 5;
        options.faults = c.faults;
        std::string error;
        ASSERT_TRUE(sim.Start(options, error));
        app.m_strPort = sim.SlavePath();
        app.m_nConnectState = ConnectBootstrap;
        std::ofstream(m_strImage, std::ios::binary)
            .write(reinterpret_cast<const char*>(c.image.data()),
                   static_cast<std::streamsize>(c.image.size()));
        app.m_strPathName = m_strImage;
        ui.QueueAnswer(IDYES);
        app.StartImageDownload();
        app.WaitForDownload();
        EXPECT_EQ(app.m_nLastLoadResult, c.nResult) << c.strName;
        EXPECT_EQ(ui.Messages(), c.messages) << c.strName;
        // The controller hears a command only once the person has agreed to the erase, and nothing at all
        // about a file that cannot be sent whole.
        EXPECT_EQ(sim.Counters().nCommands > 0, c.messages.front() == kEraseQuestion) << c.strName;
        EXPECT_EQ(sim.Counters().nProbes > 0, c.nResult != kLoadUnexpectedEnd) << c.strName;
    }
}

TEST_F(ImageDownloadTest, DecliningTheEraseSendsNothingAndTheWizardIsNotAsked) {
    StartSim("PL03");
    EXPECT_EQ(Download(Record(0x010000) + Data(4), IDNO), kLoadCancelled);
    EXPECT_TRUE(Wire().empty());

    m_app.m_bWizardRunning = true;
    m_ui.Clear();
    EXPECT_EQ(Download(Record(0x010000) + Data(4), IDNO, IDNO), kLoadDoneOther);
    EXPECT_EQ(m_ui.Messages(),
              (std::vector<std::string>{"Download complete.", "Should the controller be restarted now?"}));
}

TEST_F(ImageDownloadTest, MissingFileAndMissingLink) {
    StartSim("PL03");
    m_app.m_strPathName = TestTempDir() + "/no-such-image.img";
    m_app.StartImageDownload();
    m_app.WaitForDownload();
    EXPECT_EQ(m_app.m_nLastLoadResult, kLoadFileNotOpened);
    EXPECT_EQ(m_ui.DownloadView()->Field(EDownloadField::Status), "Unable to open file");
    EXPECT_TRUE(m_ui.Messages().empty());

    m_app.m_nLinkKind = kLinkNone;
    m_app.StartImageDownload();
    m_app.WaitForDownload();
    EXPECT_EQ(m_app.m_nLastLoadResult, kLoadNoLink);
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{"No COM or USB selected"});
    EXPECT_EQ(m_ui.DownloadView()->History(EDownloadField::Status), std::vector<std::string>{"Please wait"});

    m_app.m_nLinkKind = kLinkCom;
    m_app.m_strPort = "/dev/no-such-port";
    m_app.StartImageDownload();
    m_app.WaitForDownload();
    EXPECT_EQ(m_app.m_nLastLoadResult, kLoadComPortFailed);
}

TEST_F(ImageDownloadTest, CancelDuringTheTransferErasesTheSameRegionsAgain) {
    const Bytes image = Record(0x010000) + Data(200000);
    std::ofstream(m_strImage, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    // Cancel re-enables the Setup menu at once: Use USB chosen then must not change the finishing link.
    for (const bool useUsbAfterCancel : {false, true}) {
        CTestUserInterface ui;
        CDravikApp app(&ui);
        CSimulator sim;
        SimOptions options;
        options.strProtocol = "PL03";
        options.nDoneDelayMs = 10;
        options.strTracePath = m_strTrace;
        std::string error;
        ASSERT_TRUE(sim.Start(options, error)) << error;
        app.m_strPort = sim.SlavePath();
        app.m_nConnectState = ConnectBootstrap;
        ui.QueueAnswer(IDYES);
        app.m_strPathName = m_strImage;
        app.StartImageDownload();
        ASSERT_TRUE(WaitUntil([&] { return sim.Counters().nFrames >= 3 || !app.m_bDownloadRunning; }));
        ui.PressDownloadCancel();
        EXPECT_FALSE(app.m_bDownloadRunning) << "Cancel clears the busy flag at once";
        if (useUsbAfterCancel)
            app.m_nLinkKind = kLinkUsb;
        app.WaitForDownload();
        EXPECT_EQ(app.m_nLastLoadResult, kLoadCancelled);
        sim.Stop();

        const auto wire = Wire(true);
        ASSERT_GE(wire.size(), 5u);
        EXPECT_EQ(wire.front(), "+++0@19200");
        EXPECT_LT(wire.size(), 800u) << "the transfer stopped early";
        // The closing frame, then the same erase at the normal speed.
        EXPECT_EQ(std::vector<std::string>(wire.end() - 2, wire.end()),
                  (std::vector<std::string>{"A00000000@38400", "+++0@19200"}))
            << useUsbAfterCancel;
        bool waitShown = false;
        for (const auto& event : ui.Events())
            waitShown |= event.strKind == "wait" &&
                         event.strText == "Erasing...|Please wait while partial file download is erased.";
        EXPECT_TRUE(waitShown);
        EXPECT_EQ(ui.Messages().size(), 1u) << "only the erase question; no completion message";
    }
}

// Presses the download window's Cancel while the erase question is open, then answers it.
class CCancelAtEraseQuestion : public CTestUserInterface {
public:
    bool RunEraseOkDialog() override {
        PressDownloadCancel();
        return CTestUserInterface::RunEraseOkDialog();
    }
};

TEST_F(ImageDownloadTest, CancelWhileTheEraseQuestionIsOpenErasesNothing) {
    StartSim("PL03");
    std::ofstream(m_strImage, std::ios::binary).write("\x7eMR:\x00\x01\x00\x00:data", 13);
    CCancelAtEraseQuestion ui;
    EXPECT_EQ(RunBootstrapDownload(ui, m_sim.SlavePath(), m_strImage), kLoadCancelled);
    EXPECT_EQ(m_sim.Counters().nCommands, 0u);
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{kEraseQuestion});
}

TEST_F(ImageDownloadTest, ProgressFieldsShowTheFinalFigures) {
    StartSim("PL03");
    EXPECT_EQ(Download(Record(0x1E0000) + Data(30000)), kLoadDoneApplication);
    const auto view = m_ui.DownloadView();
    EXPECT_EQ(view->History(EDownloadField::Status),
              (std::vector<std::string>{"Please wait", "Analyzing File",
                                        "Erasing. Please wait while memory is erased", "Preparing download",
                                        "Downloading file",
                                        "Download complete... Please wait while flash is programmed"}));
    EXPECT_EQ(view->Range(), 30u);
    EXPECT_FALSE(view->Field(EDownloadField::Start).empty());
}

} // namespace
