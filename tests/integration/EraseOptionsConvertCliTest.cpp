// dravik-cli erase, options and convert as scripts use them: against the dxu-sim program on a
// pseudo-terminal and the real srec_cat, with messages on standard error and the exit codes.
#include "SimFlashTestSupport.h"
#include "support/ProgramOutput.h"
#include "support/SimProcess.h"
#include "support/SimTraceEvents.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

// Runs dravik-cli with the arguments, started without a shell, standard input empty.
SProgramOutput RunCli(CSimFlashTempDir& dir, const std::vector<std::string>& args) {
    std::vector<std::string> argv{DRAVIK_CLI_PATH, "--settings", dir.File("none.cfg")};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunCapturing(argv);
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(EraseOptionsConvertCli, EraseNamedAreasAndAllOfThem) {
    CSimFlashTempDir dir;
    const std::string trace = dir.File("trace.jsonl");
    CSimProcess sim({"--done-delay", "0", "--trace", trace});
    ASSERT_TRUE(sim.IsReady());
    auto result = RunCli(dir, {"--port", sim.SlavePath(), "--state", "bios", "erase", "lon", "application"});
    EXPECT_EQ(result.nExit, 0) << result.strErr;
    EXPECT_TRUE(Contains(result.strErr, "Memory erasure complete.")) << result.strErr;
    result = RunCli(dir, {"--port", sim.SlavePath(), "--state", "bios", "erase", "all"});
    EXPECT_EQ(result.nExit, 0) << result.strErr;
    // The box order decides, not the order named.
    EXPECT_EQ(ReadSimTraceEvents(trace), (std::vector<std::string>{"+++0", "+++1", "+++B", "+++0", "+++1",
                                                                   "+++2", "+++3", "+++A", "+++B"}));
}

TEST(EraseOptionsConvertCli, EraseRefusalsAndTheBootstrapsRules) {
    CSimFlashTempDir dir;
    CSimProcess sim({"--done-delay", "0", "--protocol", "PL03", "--fault", "error-always:2"});
    ASSERT_TRUE(sim.IsReady());
    // Without the debug option a bootstrap offers no erase.
    auto result = RunCli(dir, {"--port", sim.SlavePath(), "--state", "bootstrap", "erase", "config"});
    EXPECT_EQ(result.nExit, 1);
    EXPECT_TRUE(Contains(result.strErr, "Erase Memory is not available")) << result.strErr;

    const std::string settings = dir.File("debug.cfg");
    std::FILE* file = std::fopen(settings.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs("COM1\nWE\nDBGE\nuseCOM\n", file);
    std::fclose(file);
    result = RunCli(dir, {"--settings", settings, "--port", sim.SlavePath(), "--state", "bootstrap", "erase",
                          "parameter"});
    EXPECT_EQ(result.nExit, 1);
    EXPECT_TRUE(Contains(result.strErr, "cannot be erased in the bootstrap")) << result.strErr;
    result = RunCli(
        dir, {"--settings", settings, "--port", sim.SlavePath(), "--state", "bootstrap", "erase", "data"});
    EXPECT_EQ(result.nExit, 1);
    EXPECT_TRUE(Contains(result.strErr,
                         "Slave responded with ERROR.\nSlave rejected erasure of configuration files.\n"))
        << result.strErr;
    EXPECT_FALSE(Contains(result.strErr, "Memory erasure complete.")) << result.strErr;

    EXPECT_EQ(RunCli(dir, {"erase"}).nExit, 64);
    EXPECT_EQ(RunCli(dir, {"erase", "everything"}).nExit, 64);
}

TEST(EraseOptionsConvertCli, OptionsForEachPort) {
    CSimFlashTempDir dir;
    const std::string trace = dir.File("trace.jsonl");
    CSimProcess sim({"--trace", trace, "--fault", "error-always:H"});
    ASSERT_TRUE(sim.IsReady());
    auto result = RunCli(dir, {"--port", sim.SlavePath(), "--state", "bios", "options", "ir=server"});
    EXPECT_EQ(result.nExit, 0) << result.strErr;
    result = RunCli(dir, {"--port", sim.SlavePath(), "--state", "bios", "options", "rs232=server", "ir=os"});
    EXPECT_EQ(result.nExit, 1);
    EXPECT_TRUE(Contains(result.strErr, "Slave rejected RS232 port settings.")) << result.strErr;
    EXPECT_EQ(ReadSimTraceEvents(trace), (std::vector<std::string>{"+++L", "+++H", "+++H", "+++I"}));

    result = RunCli(dir, {"--port", sim.SlavePath(), "--state", "bootstrap", "options", "ir=os"});
    EXPECT_EQ(result.nExit, 1);
    for (const char* bad : {"rs232", "ir=tcp", "usb=os"})
        EXPECT_EQ(RunCli(dir, {"options", bad}).nExit, 64) << bad;
    EXPECT_EQ(RunCli(dir, {"options", "ir=os", "ir=client"}).nExit, 64);
}

TEST(EraseOptionsConvertCli, ConvertSrecCatOutput) {
    CSimFlashTempDir dir;
    const std::string binary = dir.File("app.raw");
    std::vector<uint8_t> data(1000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 13 + 5);
    std::FILE* file = std::fopen(binary.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(data.data(), 1, data.size(), file);
    std::fclose(file);
    const std::string srec = dir.File("app.bin");
    ASSERT_EQ(RunProgram({"srec_cat", binary, "-binary", "-offset", "0x1E0000", "-o", srec, "-motorola"}), 0);

    const std::string image = dir.File("app.img");
    auto result = RunCli(dir, {"convert", srec, image});
    EXPECT_EQ(result.nExit, 0) << result.strErr;
    std::vector<uint8_t> expected{0x7E, 'M', 'R', ':', 0, 0x1E, 0, 0, ':'};
    expected.insert(expected.end(), data.begin(), data.end());
    EXPECT_EQ(SimFlashReadFile(image), expected);

    const std::string raw = dir.File("raw.img");
    result = RunCli(dir, {"convert", binary, raw});
    EXPECT_EQ(result.nExit, 1);
    EXPECT_EQ(result.strErr, "Unknown file format.\n");
    EXPECT_NE(::access(raw.c_str(), F_OK), 0) << "no image is left after a failure";

    // Without OUT the image goes beside the input under the window's suggested name.
    const std::string beside = dir.File("app.img");
    std::remove(image.c_str());
    EXPECT_EQ(RunCli(dir, {"convert", srec}).nExit, 0);
    EXPECT_EQ(SimFlashReadFile(beside), expected);
    // A conversion that fails halfway leaves an older image as it was and no temporary file.
    const std::string broken = dir.File("broken.bin");
    file = std::fopen(broken.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs("S1130000AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAEC\nS1130010AAAA\n", file);
    std::fclose(file);
    result = RunCli(dir, {"convert", broken, beside});
    EXPECT_EQ(result.nExit, 1);
    EXPECT_FALSE(result.strErr.empty());
    EXPECT_EQ(SimFlashReadFile(beside), expected);
    if (DIR* folder = ::opendir(beside.substr(0, beside.rfind('/')).c_str())) {
        while (const dirent* entry = ::readdir(folder))
            EXPECT_EQ(std::string(entry->d_name).find(".dravik-convert"), std::string::npos) << entry->d_name;
        ::closedir(folder);
    }
    EXPECT_EQ(RunCli(dir, {"convert"}).nExit, 64);
    EXPECT_EQ(RunCli(dir, {"convert", srec, beside, "extra"}).nExit, 64);
}

} // namespace
