// The service record of every operation, written by the engine whichever face drives it: a day of use
// against the simulated controller (connect, image load, a refused erase, options, convert) and a captured
// dump, each read back from the day's file with its fields, file digest, commands, texts and bytes.
#include "engine/app/DravikApp.h"
#include "engine/download/Download.h"
#include "engine/records/JsonText.h"
#include "engine/records/ServiceRecordBook.h"
#include "platform/Clock.h"
#include "sim/Simulator.h"
#include "support/ProgramOutput.h"
#include "support/PtyPair.h"
#include "support/RecordFolder.h"
#include "support/SystemSha256.h"
#include "support/TestUserInterface.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <unistd.h>

namespace {

using Texts = std::vector<std::string>;

std::vector<ServiceRecord> ReadRecords() {
    std::vector<ServiceRecord> records;
    size_t skipped = 0;
    std::string error;
    EXPECT_TRUE(CServiceRecordBook::ReadSince("", records, skipped, error)) << error;
    EXPECT_EQ(skipped, 0u);
    return records;
}

class ServiceRecordsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_app.m_strSettingsPath = m_folder.Home() + "/none.cfg";
        m_app.LoadSettings();
        m_app.ForgoWizardStart();
    }
    std::string WriteFile(const std::string& name, const std::string& bytes) {
        const std::string path = m_folder.Home() + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    CRecordFolder m_folder;
    CClockSpeedScope m_fast{100.0};
    CTestUserInterface m_ui;
    CDravikApp m_app{&m_ui};
};

TEST_F(ServiceRecordsTest, ADayOfUseLeavesOneRecordPerOperationWithItsFields) {
    SimOptions options;
    options.nDoneDelayMs = 10;
    options.faults.push_back(SimFault{SimFaultKind::ErrorAlways, 'B', 0}); // the LON database erase
    CSimulator sim;
    std::string error;
    ASSERT_TRUE(sim.Start(options, error)) << error;
    m_app.m_strPort = sim.SlavePath();
    m_app.m_nLinkKind = kLinkCom;

    m_app.OnConnect();
    ASSERT_EQ(m_app.m_nConnectState, ConnectBios);

    // An application image: an address record at 0x110000 and 600 data bytes.
    std::string image = std::string("\x7eMR:\x00\x11\x00\x00:", 9);
    for (int i = 0; i < 600; ++i)
        image += static_cast<char>('a' + i % 26);
    const std::string imagePath = WriteFile("app.img", image);
    m_ui.QueueAnswer(IDYES); // erase
    m_ui.QueueAnswer(IDNO);  // restart
    ASSERT_TRUE(m_app.LoadChosenFile(imagePath));
    m_app.WaitForDownload();
    ASSERT_EQ(m_app.m_nLastLoadResult, kLoadDoneApplication);

    EraseDialogData lon;
    lon.Ticked(EEraseArea::Lon) = true;
    EXPECT_FALSE(m_app.EraseMemory(&lon));
    OptionsDialogData choice;
    choice.nRs232Choice = 1;
    EXPECT_TRUE(m_app.SetControllerOptions(&choice));
    const std::string srec =
        WriteFile("app.bin", "S00600004844521B\nS1130000000102030405060708090A0B0C0D0E0F74\nS9030000FC\n");
    EXPECT_TRUE(m_app.ConvertFile(srec, m_folder.Home() + "/converted.img"));

    const std::vector<ServiceRecord> records = ReadRecords();
    ASSERT_EQ(records.size(), 5u);
    Texts operations;
    for (const ServiceRecord& record : records) {
        operations.push_back(record.strOperation);
        EXPECT_TRUE(CServiceRecordBook::IsDate(record.Day())) << record.strTime;
        EXPECT_FALSE(record.strHost.empty());
        EXPECT_FALSE(record.strUser.empty());
        EXPECT_EQ(record.strProgramVersion, "5120-41887 Version 4.0");
        EXPECT_EQ(record.strLink, "COM");
        EXPECT_EQ(record.strDevice, sim.SlavePath());
    }
    EXPECT_EQ(operations, (Texts{"connect", "load", "erase", "options", "convert"}));

    const ServiceRecord& connect = records[0];
    EXPECT_TRUE(connect.bOk);
    EXPECT_EQ(connect.nResult, ConnectBios);
    EXPECT_EQ(connect.strProtocol, "PL01");
    EXPECT_EQ(connect.strVersion, "V2.3");
    EXPECT_EQ(connect.messages, (Texts{"Controller connected.\n Bios Version V2.3/Protocol Version PL01"}));

    const ServiceRecord& load = records[1];
    EXPECT_TRUE(load.bOk);
    EXPECT_EQ(load.nResult, kLoadDoneApplication);
    EXPECT_EQ(load.strFile, "app.img");
    EXPECT_EQ(load.nFileSize, static_cast<int64_t>(image.size()));
    EXPECT_EQ(load.strFileSha256, SystemSha256(imagePath));
    EXPECT_EQ(load.regions, (Texts{"application"}));
    EXPECT_EQ(load.eraseCommands, (Texts{"+++2"}));
    EXPECT_EQ(load.commands, (Texts{"+++2", "+++4"}));
    EXPECT_EQ(load.nBytesSent, 600u);
    EXPECT_EQ(load.nBytesAcknowledged, 600u);
    EXPECT_EQ(load.messages.back(), "Should the controller be restarted now?");

    const ServiceRecord& erase = records[2];
    EXPECT_FALSE(erase.bOk);
    EXPECT_EQ(erase.eraseCommands, (Texts{"+++B"}));
    EXPECT_EQ(erase.messages,
              (Texts{"Slave responded with ERROR.", "Slave rejected erasure of LON database."}));

    EXPECT_TRUE(records[3].bOk);
    EXPECT_EQ(records[3].commands.size(), 1u);

    const ServiceRecord& convert = records[4];
    EXPECT_TRUE(convert.bOk);
    EXPECT_EQ(convert.strFileSha256, SystemSha256(srec));
    EXPECT_EQ(convert.strOutputSha256, SystemSha256(m_folder.Home() + "/converted.img"));
    EXPECT_EQ(convert.nFileSize, static_cast<int64_t>(std::filesystem::file_size(srec)));
    EXPECT_EQ(convert.nOutputSize,
              static_cast<int64_t>(std::filesystem::file_size(m_folder.Home() + "/converted.img")));

    // As a script reads them: dravik-cli records --json gives each operation with every field.
    const SProgramOutput listed = RunCapturing({DRAVIK_CLI_PATH, "records", "--json"});
    ASSERT_EQ(listed.nExit, 0) << listed.strErr;
    std::istringstream lines(listed.strOut);
    operations.clear();
    for (std::string line; std::getline(lines, line);) {
        CJsonValue record;
        ASSERT_TRUE(CJsonValue::Parse(line, record)) << line;
        if (record.Has("event"))
            continue; // the run's own result
        operations.push_back(record["operation"].Text());
        for (const char* field :
             {"time",      "host",     "user",        "program",        "program_version",
              "operation", "link",     "port",        "device",         "protocol",
              "version",   "regions",  "commands",    "erase_commands", "result",
              "ok",        "messages", "duration_ms", "bytes_sent",     "bytes_acknowledged"})
            EXPECT_TRUE(record.Has(field)) << field << " in " << line;
        if (record["operation"].Text() == "load" || record["operation"].Text() == "convert") {
            for (const char* field : {"file", "file_path", "file_size", "file_sha256"})
                EXPECT_TRUE(record.Has(field)) << field << " in " << line;
        }
        if (record["operation"].Text() == "load") {
            EXPECT_EQ(record["file_sha256"].Text(), SystemSha256(imagePath));
        }
    }
    EXPECT_EQ(operations, (Texts{"connect", "load", "erase", "options", "convert"}));
}

TEST_F(ServiceRecordsTest, ACapturedDumpIsRecordedWithItsFileAndWholeOnlyWhenComplete) {
    CPtyPair pty;
    m_app.m_strPort = pty.SlavePath();
    m_app.m_nLinkKind = kLinkCom;
    const std::string file = m_folder.Home() + "/dump.txt";
    const struct {
        const char* ending;
        std::string strCapture;
        bool bWhole;
    } rows[] = {{"trace complete", file, true},
                {"trace abort", file, false},
                // The end came, but the file could not take the dump (a full disk).
                {"trace complete", "/dev/full", false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.ending + (" into " + row.strCapture));
        m_app.SetTerminalMode(1);
        ASSERT_EQ(m_app.m_nTerminalMode, 1);
        const std::string& capture = row.strCapture;
        m_ui.QueueFileName(capture);
        const std::string dump =
            std::string("\r\n press Enter to start trace dump, <esc> to abort.\r\nline one\r\n") + row.ending;
        for (char c : dump)
            m_app.CaptureByte(static_cast<uint8_t>(c));
        ASSERT_EQ(m_app.m_nCaptureBusy, 0);
        m_app.SetTerminalMode(0);

        const std::vector<ServiceRecord> records = ReadRecords();
        ASSERT_FALSE(records.empty());
        EXPECT_EQ(records.back().strOperation, "capture");
        EXPECT_EQ(records.back().bOk, row.bWhole);
        EXPECT_EQ(records.back().strFilePath, capture);
        // A device is no file to take the digest of.
        EXPECT_EQ(records.back().strFileSha256, capture == file ? SystemSha256(capture) : "");
        EXPECT_EQ(records.back().nResult, 1) << "lines captured";
    }
    EXPECT_EQ(ReadRecords().size(), 3u);
}

TEST_F(ServiceRecordsTest, RecordingOffWritesNothingAndAnUnwritableFolderCostsOneWarning) {
    m_app.m_strPort = "/dev/null-no-such-port";
    ::setenv("DRAVIK_NO_RECORD", "1", 1);
    m_app.OnConnect();
    ::unsetenv("DRAVIK_NO_RECORD");
    m_app.m_bRecording = false;
    m_app.OnConnect();
    EXPECT_TRUE(ReadRecords().empty());

    m_app.m_bRecording = true;
    std::ofstream(m_folder.Home() + "/dravik") << "a file where the folder should be";
    m_app.OnConnect();
    m_app.OnConnect();
    Texts warnings;
    for (const auto& event : m_ui.Events())
        if (event.strText.rfind("Service record not written", 0) == 0)
            warnings.push_back(event.strText);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("DRAVIK_NO_RECORD=1"), std::string::npos);
    // The operation itself went on as always.
    EXPECT_EQ(m_ui.Messages(), (Texts(4, "Error opening specified COM port.")));
}

} // namespace
