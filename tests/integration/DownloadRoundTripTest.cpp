// Images laid out by the writer for random sparse memory layouts are downloaded to the simulated
// controller, whose programmed flash must equal the source byte for byte; once in-process for many
// layouts, once through dravik-cli and the dxu-sim program with its flash dump.
#include "engine/app/DravikApp.h"
#include "engine/download/Download.h"
#include "engine/download/ImageSource.h"
#include "engine/download/ImageWriter.h"
#include "platform/ChildProcess.h"
#include "platform/Clock.h"
#include "sim/Simulator.h"
#include "support/BootstrapDownload.h"
#include "support/SimProcess.h"
#include "support/TempFolder.h"
#include "support/TestUserInterface.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <random>
#include <unistd.h>

namespace {

using Memory = std::map<uint32_t, uint8_t>;

// A random layout: pieces at ascending addresses with gaps of every kind (none, fill-sized, record-sized,
// huge), addresses holding 0x3A bytes, data full of 0x7E and "MR" but never "~MR:". All of it in the
// application region so one erase covers it.
Memory RandomLayout(std::mt19937& random) {
    Memory memory;
    uint32_t address = 0x1E0000 + (random() % 2 ? 0x3A3A : 0x0100);
    const int pieces = 3 + static_cast<int>(random() % 6);
    for (int piece = 0; piece < pieces; ++piece) {
        const size_t length = 1 + random() % 700;
        for (size_t i = 0; i < length; ++i) {
            static const uint8_t alphabet[] = {0x7E, 'M', 'R', 0x3A, 0x00, 0xFF, 0x41};
            uint8_t byte =
                random() % 3 ? alphabet[random() % sizeof alphabet] : static_cast<uint8_t>(random());
            // Keep "~MR:" out of the data (the writer refuses it, the format cannot carry it).
            if (byte == ':' && i >= 3 && memory[address - 1] == 'R' && memory[address - 2] == 'M' &&
                memory[address - 3] == 0x7E)
                byte = 0x3B;
            memory[address++] = byte;
        }
        const uint32_t gaps[] = {0, 1, 8, 9, 100, 252, 253, 0x3A00, 0x10000};
        address += gaps[random() % (sizeof gaps / sizeof gaps[0])];
    }
    return memory;
}

bool WriteImage(const Memory& memory, const std::string& path) {
    CImageFileSink sink;
    if (!sink.Create(path))
        return false;
    CImageWriter writer(sink);
    std::vector<uint8_t> run;
    uint32_t runStart = 0;
    auto flush = [&] {
        if (!run.empty() && writer.Put(runStart, run.data(), run.size()) != CImageWriter::EResult::Ok)
            return false;
        run.clear();
        return true;
    };
    for (const auto& [address, byte] : memory) {
        if (!run.empty() && address != runStart + run.size() && !flush())
            return false;
        if (run.empty())
            runStart = address;
        run.push_back(byte);
    }
    return flush() && sink.Close();
}

// The programmed flash without the fill bytes that the writer put into short gaps.
Memory Programmed(const SimFlashRuns& runs, const Memory& source) {
    Memory memory;
    for (const auto& [start, bytes] : runs)
        for (size_t i = 0; i < bytes.size(); ++i)
            if (source.count(start + static_cast<uint32_t>(i)) || bytes[i] != 0xFF)
                memory[start + static_cast<uint32_t>(i)] = bytes[i];
    return memory;
}

TEST(DownloadRoundTrip, RandomSparseLayoutsArriveByteForByte) {
    CClockSpeedScope fast(100.0);
    std::mt19937 random(20261208);
    const std::string path = TestTempDir() + "/dravik-roundtrip-" + std::to_string(::getpid()) + ".img";
    for (int layout = 0; layout < 12; ++layout) {
        const Memory source = RandomLayout(random);
        ASSERT_TRUE(WriteImage(source, path));
        CSimulator sim;
        SimOptions options;
        options.strProtocol = "PL03";
        options.nDoneDelayMs = 5;
        std::string error;
        ASSERT_TRUE(sim.Start(options, error)) << error;
        CTestUserInterface ui;
        ASSERT_EQ(RunBootstrapDownload(ui, sim.SlavePath(), path), kLoadDoneApplication)
            << "layout " << layout;
        EXPECT_EQ(Programmed(sim.FlashRuns(), source), source) << "layout " << layout;
    }
    std::remove(path.c_str());
}

// Reads the S3 records of a flash dump into memory.
Memory ReadDump(const std::string& path) {
    Memory memory;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() < 12 || line.compare(0, 2, "S3") != 0)
            continue;
        const unsigned count = std::stoul(line.substr(2, 2), nullptr, 16);
        const uint32_t address = static_cast<uint32_t>(std::stoul(line.substr(4, 8), nullptr, 16));
        for (unsigned i = 0; i + 5 < count; ++i)
            memory[address + i] = static_cast<uint8_t>(std::stoul(line.substr(12 + 2 * i, 2), nullptr, 16));
    }
    return memory;
}

// Runs dravik-cli without a shell, its output thrown away; its exit status, or -1.
int RunCliQuietly(std::vector<std::string> args) {
    args.insert(args.begin(), DRAVIK_CLI_PATH);
    SChildSetup setup;
    setup.in.strPath = setup.out.strPath = setup.err.strPath = "/dev/null";
    return RunProgram(args, setup);
}

// The flash dump without the fill bytes the writer put into short gaps.
Memory DumpedWithoutFill(const std::string& dump, const Memory& source) {
    Memory withoutFill;
    for (const auto& [address, byte] : ReadDump(dump))
        if (source.count(address) || byte != 0xFF)
            withoutFill[address] = byte;
    return withoutFill;
}

TEST(DownloadRoundTrip, ConsoleLoadIntoTheSimulatorProgramAndItsFlashDump) {
    std::mt19937 random(4711);
    const Memory source = RandomLayout(random);
    const std::string image = TestTempDir() + "/dravik-roundtrip-cli-" + std::to_string(::getpid()) + ".img";
    const std::string dump = TestTempDir() + "/dravik-roundtrip-dump-" + std::to_string(::getpid()) + ".s19";
    ASSERT_TRUE(WriteImage(source, image));
    {
        CSimProcess sim({"--protocol", "PL02", "--done-delay", "5", "--flash-dump", dump});
        ASSERT_TRUE(sim.IsReady());
        EXPECT_EQ(RunCliQuietly({"--settings", TestTempDir() + "/dravik-roundtrip-none.cfg", "--clock-speed",
                                 "50", "--port", sim.SlavePath(), "--state", "bios", "--yes", "--no-restart",
                                 "load", image}),
                  0);
        EXPECT_EQ(sim.Stop(), 0); // the dump is written as the simulator ends
    }
    EXPECT_EQ(DumpedWithoutFill(dump, source), source);
    std::remove(image.c_str());
    std::remove(dump.c_str());
}

TEST(DownloadRoundTrip, ConsoleLoadOverTheSimulatedUsbController) {
    std::mt19937 random(815);
    const Memory source = RandomLayout(random);
    const std::string stem = TestTempDir() + "/dravik-roundtrip-usb-" + std::to_string(::getpid());
    const std::string image = stem + ".img";
    const std::string dump = stem + ".s19";
    const std::string socket = stem + ".sock";
    ASSERT_TRUE(WriteImage(source, image));
    {
        CSimProcess sim(
            {"--protocol", "PL03", "--done-delay", "5", "--flash-dump", dump, "--hid-socket", socket});
        ASSERT_TRUE(sim.IsReady());
        // Connect runs first (over USB: no reset wait), then the download.
        EXPECT_EQ(RunCliQuietly({"--settings", TestTempDir() + "/dravik-roundtrip-none.cfg", "--clock-speed",
                                 "50", "--hid-socket", socket, "--yes", "--no-restart", "load", image}),
                  0);
        EXPECT_EQ(sim.Stop(), 0);
    }
    EXPECT_EQ(DumpedWithoutFill(dump, source), source);
    std::remove(image.c_str());
    std::remove(dump.c_str());
    std::remove(socket.c_str());
}

} // namespace
