// The simulator receives files by ZModem through the real rz: the configuration download of the engine's
// load command ("+++5", '*', the transfer, '*' once stored) on a real pseudo-terminal and over the
// simulated USB controller. The files must arrive byte for byte.
#include "engine/app/DravikApp.h"
#include "engine/link/LinkContext.h"
#include "engine/link/SerialHandler.h"
#include "engine/link/UsbHidDevice.h"
#include "engine/zmodem/ZModemDlg.h"
#include "platform/Clock.h"
#include "sim/SimTrace.h"
#include "sim/Simulator.h"
#include "sim/UsbSimController.h"
#include "sim/UsbSimHub.h"
#include "support/TestUserInterface.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {

const std::string kEraseQuestion = "This will erase old data on controller.\nDo you really want to continue?";
const std::string kRenameQuestion =
    "The file you've selected is not called \"config.dat.\"  Do you wish to rename "
    "it?  The controller may have difficulty if the name is not correct.";
const std::string kDone = "Download complete.  Controller must be reset.";

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every byte value, ZModem's escaped ones (ZDLE, XON, XOFF, CR after '@') among them.
std::vector<uint8_t> Content(size_t size) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < size; ++i)
        bytes.push_back(static_cast<uint8_t>(i * 7 + i / 256));
    return bytes;
}

// The meanings of the trace lines, in order.
std::vector<std::string> Meanings(const std::string& tracePath) {
    std::vector<std::string> meanings;
    std::ifstream in(tracePath);
    for (std::string line; std::getline(in, line);) {
        const size_t at = line.find("\"meaning\":\"");
        if (at != std::string::npos)
            meanings.push_back(line.substr(at + 11, line.rfind('"') - at - 11));
    }
    return meanings;
}

size_t IndexOf(const std::vector<std::string>& meanings, const std::string& meaning) {
    for (size_t i = 0; i < meanings.size(); ++i)
        if (meanings[i] == meaning)
            return i;
    return meanings.size();
}

class SimZModemTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "dravik-simz-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_folder = pattern;
        m_strTrace = (m_folder / "trace.jsonl").string();
        m_options.nDoneDelayMs = 20;
        m_options.bReceiveFiles = true;
        m_options.strTracePath = m_strTrace;
    }
    void TearDown() override {
        std::error_code error;
        std::filesystem::remove_all(m_folder, error);
    }
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        const std::string path = (m_folder / name).string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    // The program's ZModem waits are seconds long; rz answers at once in real time.
    CClockSpeedScope m_speed{10.0};
    std::filesystem::path m_folder;
    std::string m_strTrace;
    SimOptions m_options;
    CTestUserInterface m_ui;
};

TEST_F(SimZModemTest, ConfigurationDownloadStoresTheFileAndReportsItStored) {
    const std::vector<uint8_t> content = Content(5000);
    const std::string chosen = Write("page1.dat", content);
    CSimulator sim;
    std::string error;
    ASSERT_TRUE(sim.Start(m_options, error)) << error;
    const std::filesystem::path received = sim.ReceiveDir();
    ASSERT_TRUE(std::filesystem::is_directory(received));
    {
        CDravikApp app(&m_ui);
        app.m_strSettingsPath = (m_folder / "none.cfg").string();
        app.LoadSettings();
        app.m_strPort = sim.SlavePath();
        app.m_nConnectState = ConnectBios;
        m_ui.QueueAnswer(IDYES); // erase
        m_ui.QueueAnswer(IDYES); // rename to config.dat
        EXPECT_TRUE(app.LoadChosenFile(chosen));
        EXPECT_EQ(app.m_nLastLoadResult, 3);
    }
    EXPECT_EQ(m_ui.Messages(), (std::vector<std::string>{kEraseQuestion, kRenameQuestion, kDone}));
    EXPECT_EQ(ReadFile(received / "config.dat"), content);
    EXPECT_EQ(sim.Counters().strLastCommand, "+++5");
    sim.Stop();

    const auto meanings = Meanings(m_strTrace);
    const size_t ready = IndexOf(meanings, "ready for the file");
    const size_t start = IndexOf(meanings, "zmodem start");
    const size_t end = IndexOf(meanings, "zmodem end, exit 0, received config.dat");
    const size_t stored = IndexOf(meanings, "file stored");
    EXPECT_LT(ready, start);
    EXPECT_LT(start, end);
    EXPECT_LT(end, stored) << "the second '*' comes only once rz has stored the file";
    EXPECT_LT(stored, meanings.size());
}

// Over USB, with the engine's link and sender: the load command, the '*', the transfer, the second '*'.
// (The load command is sent with a read time-out here: a fresh USB link has none.)
TEST_F(SimZModemTest, OverTheSimulatedUsbControllerTheFileArrivesAndIsReportedStored) {
    const std::vector<uint8_t> config = Content(4000);
    const std::string chosen = Write("config.dat", config);
    std::filesystem::path received;
    {
        CSimTrace trace;
        ASSERT_TRUE(trace.Open(m_strTrace));
        auto hub = std::make_shared<CUsbSimHub>();
        auto controller = std::make_unique<CUsbSimController>(hub->AddDevice(), m_options, &trace);
        received = controller->ReceiveDir();
        ASSERT_TRUE(std::filesystem::is_directory(received));
        SelectHidLibrary(hub);
        {
            CLinkContext context{&m_ui};
            context.m_nLinkKind = kLinkUsb;
            context.m_bUsbPresent = true;
            CUsbHidDevice device;
            ASSERT_EQ(device.Open(), kHidSuccess);
            CSerialHandler link(context, &device);
            link.SetReadTimeout(kDefaultReadTimeout);
            ASSERT_TRUE(link.SendCommand(6)); // the load command, "+++5"
            EXPECT_TRUE(link.WaitForByte('*'));
            const ZModemOptions options{1, 1, 0};
            EXPECT_EQ(ZModemSendFile(m_ui, chosen, &options, link), ZModemOk);
            EXPECT_TRUE(link.WaitForByte('*')) << "the file is reported stored";
            device.Close();
        }
        EXPECT_EQ(ReadFile(received / "config.dat"), config);
        controller.reset();
        SelectHidLibrary(nullptr);
    }
    EXPECT_FALSE(std::filesystem::exists(received)) << "the temporary folder goes with the controller";
    const auto meanings = Meanings(m_strTrace);
    EXPECT_LT(IndexOf(meanings, "zmodem end, exit 0, received config.dat"), IndexOf(meanings, "file stored"));
    EXPECT_LT(IndexOf(meanings, "file stored"), meanings.size());
}

} // namespace

namespace {

// The Load command's configuration branch over USB from a fresh link, without the erase (so no command
// raises the link's read time-out before the load command's answer is read).
TEST_F(SimZModemTest, LoadOfAPageFileOverUsbWithoutErase) {
    const std::vector<uint8_t> content = Content(3000);
    const std::string chosen = Write("logo.gif", content);
    auto hub = std::make_shared<CUsbSimHub>();
    auto controller = std::make_unique<CUsbSimController>(hub->AddDevice(), m_options);
    const std::filesystem::path received = controller->ReceiveDir();
    SelectHidLibrary(hub);
    {
        CDravikApp app(&m_ui);
        app.m_strSettingsPath = (m_folder / "none.cfg").string();
        app.LoadSettings();
        app.m_nLinkKind = kLinkUsb;
        app.CheckUsbDevice();
        ASSERT_TRUE(app.m_bUsbPresent);
        app.m_nConnectState = ConnectBios;
        m_ui.QueueAnswer(IDNO); // erase: No
        EXPECT_TRUE(app.LoadChosenFile(chosen));
        EXPECT_EQ(app.m_nLastLoadResult, 3);
        app.m_usbDevice.Close();
    }
    EXPECT_EQ(m_ui.Messages(), (std::vector<std::string>{kEraseQuestion, kDone}));
    EXPECT_EQ(ReadFile(received / "logo.gif"), content);
    controller.reset();
    SelectHidLibrary(nullptr);
}

} // namespace
