// dravik-cli info: the description of an image written by the image writer, and the failures (missing
// file, an image ending inside a record, wrong argument count) with their exit codes.
#include "engine/download/ImageWriter.h"
#include "support/ImageTestBytes.h"
#include "support/ProgramOutput.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Runs dravik-cli with the arguments, started without a shell, standard input empty.
SProgramOutput RunCli(std::vector<std::string> args) {
    args.insert(args.begin(), DRAVIK_CLI_PATH);
    return RunCapturing(args);
}

class ImageInfoCli : public ::testing::Test {
protected:
    void SetUp() override {
        std::string folder = TestTempDir() + "/dravik-info-XXXXXX";
        ASSERT_NE(::mkdtemp(folder.data()), nullptr);
        m_strFolder = folder;
    }
    void TearDown() override {
        for (const std::string& file : m_files)
            ::unlink(file.c_str());
        ::rmdir(m_strFolder.c_str());
    }
    std::string Path(const std::string& name) {
        m_files.push_back(m_strFolder + "/" + name);
        return m_files.back();
    }
    std::string WriteRaw(const std::string& name, const std::string& bytes) {
        const std::string path = Path(name);
        CImageFileSink sink;
        EXPECT_TRUE(sink.Create(path));
        EXPECT_TRUE(sink.Write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
        EXPECT_TRUE(sink.Close());
        return path;
    }

    std::string m_strFolder;
    std::vector<std::string> m_files;
};

TEST_F(ImageInfoCli, DescribesRecordsGapsTotalAndRegions) {
    const std::string path = Path("app.img");
    {
        CImageFileSink sink;
        ASSERT_TRUE(sink.Create(path));
        CImageWriter writer(sink);
        const std::string low(100, 'L');
        const std::string high(20, 'H');
        ASSERT_EQ(writer.Put(0x1D8000, reinterpret_cast<const uint8_t*>(low.data()), low.size()),
                  CImageWriter::EResult::Ok);
        ASSERT_EQ(writer.Put(0x1D8068, reinterpret_cast<const uint8_t*>(high.data()), high.size()),
                  CImageWriter::EResult::Ok); // 4 fill bytes, no record
        ASSERT_EQ(writer.Put(0x3A1E3A00, reinterpret_cast<const uint8_t*>(high.data()), high.size()),
                  CImageWriter::EResult::Ok); // 252 fill bytes, then a record
        ASSERT_TRUE(sink.Close());
    }
    const SProgramOutput result = RunCli({"info", path});
    EXPECT_EQ(result.nExit, 0) << result.strErr;
    EXPECT_EQ(result.strErr, "");
    EXPECT_EQ(result.strOut, "Image " + path + ": " + std::to_string(9 + 124 + 252 + 9 + 20) +
                                 " bytes\n"
                                 "Address records: 2\n"
                                 "  0x001D8000  376 data bytes (up to 0x001D8177)\n"
                                 "  gap 0x001D8178..0x3A1E39FF  973125768 bytes\n"
                                 "  0x3A1E3A00  20 data bytes (up to 0x3A1E3A13)\n"
                                 "Total data bytes: 396 (fill bytes included)\n"
                                 "Regions for a bootstrap controller: application, communication board (6)\n"
                                 "Regions in any other state: application (2)\n");
}

TEST_F(ImageInfoCli, WarnsOfARecordTheAnalysisMisses) {
    // A data 0x7E right before a record hides it from the analysis: that region would not be erased.
    const std::string path = WriteRaw("hidden.img", "ab~" + ImageRecord(0x1E0000) + "xyz");
    const SProgramOutput result = RunCli({"info", path});
    EXPECT_EQ(result.nExit, 0);
    EXPECT_NE(result.strOut.find("Data before the first address record (no address): 3 bytes\n"),
              std::string::npos);
    EXPECT_NE(result.strOut.find("Regions for a bootstrap controller: none (0)\n  warning: the records reach "
                                 "application (2)"),
              std::string::npos)
        << result.strOut;
}

TEST_F(ImageInfoCli, FailuresAndUsage) {
    const SProgramOutput cut =
        RunCli({"info", WriteRaw("cut.img", ImageRecord(0x10000) + "abc~MR:\x01\x02")});
    EXPECT_EQ(cut.nExit, 1);
    EXPECT_EQ(cut.strErr, "The image ends inside an address record (at byte 18).\n");
    EXPECT_NE(cut.strOut.find("  0x00010000  3 data bytes"), std::string::npos);

    const SProgramOutput open = RunCli({"info", m_strFolder + "/missing.img"});
    EXPECT_EQ(open.nExit, 1);
    EXPECT_EQ(open.strErr,
              "Unable to open file " + m_strFolder + "/missing.img: No such file or directory\n");
    EXPECT_EQ(open.strOut, "");

    const SProgramOutput empty = RunCli({"info", WriteRaw("empty.img", "")});
    EXPECT_EQ(empty.nExit, 0);
    EXPECT_NE(empty.strOut.find("Address records: 0\nTotal data bytes: 0"), std::string::npos);
    EXPECT_NE(empty.strOut.find("Regions in any other state: none (0)\n"), std::string::npos);

    EXPECT_EQ(RunCli({"info"}).nExit, 64);
    EXPECT_EQ(RunCli({"info", "a.img", "b.img"}).nExit, 64);
}

} // namespace
