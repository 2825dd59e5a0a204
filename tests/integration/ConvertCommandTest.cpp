// The Convert command through the test face: its two file dialogs and the default image name, the File
// Progress window, the messages for files that cannot be opened, and an empty or unknown input.
#include "SimFlashTestSupport.h"
#include "engine/app/CommandIds.h"
#include "engine/app/DravikApp.h"
#include "support/TestUserInterface.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

namespace {

using Texts = std::vector<std::string>;

class ConvertCommandTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& text) {
        const std::string path = m_dir.File(name);
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    bool Exists(const std::string& path) const {
        struct stat info {};
        return ::stat(path.c_str(), &info) == 0;
    }
    // Everything the command showed but status refreshes.
    Texts Shown() const {
        Texts shown;
        for (const auto& event : m_ui.Events())
            if (event.strKind != "status")
                shown.push_back(event.strKind + ":" + event.strText);
        return shown;
    }

    CSimFlashTempDir m_dir;
    CTestUserInterface m_ui;
    CDravikApp m_app{&m_ui};
};

TEST_F(ConvertCommandTest, DialogsDefaultNameProgressAndImage) {
    const std::string input =
        Write("APP.bin", "S00600004844521B\nS1130000000102030405060708090A0B0C0D0E0F74\nS9030000FC\n");
    const std::string output = m_dir.File("APP.img");
    m_ui.QueueFileName(input);
    m_ui.QueueFileName(output);
    // Always available, even without a controller and during a download.
    m_app.m_bDownloadRunning = true;
    m_app.OnCommand(ID_FILE_CONVERT);
    m_app.m_bDownloadRunning = false;

    const FileDialogRequest save = m_ui.LastFileRequest();
    EXPECT_FALSE(save.bOpen);
    EXPECT_EQ(save.strInitialName, "APP.img");
    EXPECT_EQ(save.strDefaultExt, "*.img");
    EXPECT_EQ(save.strFilter, "Software Image Files (*.img)|*.img||");
    EXPECT_EQ(Shown(), (Texts{"file:Software S-Record Files (*.bin)|*.bin||",
                              "file:Software Image Files (*.img)|*.img||", "progress:", "progress-range:0",
                              "progress-closed:"}));
    const std::vector<uint8_t> expected{0x7E, 'M', 'R', ':', 0, 0, 0,  0,  ':', 0,  1,  2, 3,
                                        4,    5,   6,   7,   8, 9, 10, 11, 12,  13, 14, 15};
    EXPECT_EQ(SimFlashReadFile(output), expected);
}

TEST_F(ConvertCommandTest, DefaultNameTakesTheLastThreeCharacters) {
    for (const auto& [name, image] : {std::pair<std::string, std::string>{"firmware.s19", "firmware.img"},
                                      {"x.BIN", "x.img"},
                                      {"ab", "ab.img"}}) {
        m_ui.QueueFileName(Write(name, ""));
        m_ui.QueueFileName(std::nullopt); // cancel the save dialog
        m_app.OnConvert();
        EXPECT_EQ(m_ui.LastFileRequest().strInitialName, image) << name;
    }
    EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(ConvertCommandTest, CancelledDialogsCreateNothing) {
    m_ui.QueueFileName(std::nullopt);
    m_app.OnConvert();
    const std::string output = m_dir.File("never.img");
    m_ui.QueueFileName(Write("in.bin", "S9030000FC\n"));
    m_ui.QueueFileName(std::nullopt);
    m_app.OnConvert();
    EXPECT_FALSE(Exists(output));
    EXPECT_EQ(Shown(), (Texts{"file:Software S-Record Files (*.bin)|*.bin||",
                              "file:Software S-Record Files (*.bin)|*.bin||",
                              "file:Software Image Files (*.img)|*.img||"}));
}

TEST_F(ConvertCommandTest, FilesThatCannotBeOpened) {
    const std::string input = Write("in.bin", "S9030000FC\n");
    EXPECT_FALSE(m_app.ConvertFile(m_dir.File("missing.bin"), m_dir.File("a.img")));
    EXPECT_FALSE(m_app.ConvertFile(input, m_dir.File("no-such-folder") + "/a.img"));
    EXPECT_EQ(m_ui.Messages(), (Texts{"Cannot open input file.", "Cannot open output file."}));
    EXPECT_FALSE(Exists(m_dir.File("a.img")));

    // The input chosen as output as well would be wiped before it is read.
    m_ui.Clear();
    EXPECT_FALSE(m_app.ConvertFile(input, input));
    EXPECT_EQ(m_ui.Messages(),
              Texts{"Cannot open output file.\nThe output file must not be the input file."});
    std::ifstream kept(input);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "S9030000FC\n");
}

TEST_F(ConvertCommandTest, EmptyAndUnknownInputsAndTheProgressRange) {
    const std::string output = m_dir.File("out.img");
    std::ofstream(output) << "old contents";
    EXPECT_TRUE(m_app.ConvertFile(Write("empty.bin", ""), output));
    EXPECT_TRUE(m_ui.Messages().empty());
    EXPECT_TRUE(SimFlashReadFile(output).empty()) << "an existing image is replaced";

    EXPECT_FALSE(m_app.ConvertFile(Write("blank.bin", "\nS9030000FC\n"), output));
    EXPECT_EQ(m_ui.Messages(), Texts{"Unknown file format."});
    EXPECT_TRUE(SimFlashReadFile(output).empty());

    // 25000 characters: a range of 2, and two steps (one per 10001 characters, at record starts).
    std::string text;
    for (uint32_t address = 0; text.size() < 25000; address += 16) {
        char line[64];
        unsigned sum = 0x13 + (address >> 8) + (address & 0xFF) + 16 * 0xAA;
        std::snprintf(line, sizeof(line), "S113%04X%s%02X\n", address, "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA",
                      (~sum) & 0xFF);
        text += line;
    }
    m_ui.Clear();
    EXPECT_TRUE(m_app.ConvertFile(Write("big.bin", text), output));
    EXPECT_EQ(Shown(), (Texts{"progress:", "progress-range:2",
                              "progress-step:", "progress-step:", "progress-closed:"}))
        << text.size();
}

} // namespace
