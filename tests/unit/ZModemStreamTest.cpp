// The sender's whole byte stream for fixed files and fixed receiver answers, compared with digests
// recorded from the byte-at-a-time sender: faster framing must not change a single byte on the wire.
// The receiver answers ZFILE with ZRPOS 0, the first ZEOF with a ZRPOS back into the file (a ZDATA
// header with escaped offset bytes), the second with ZRINIT, and ZFIN with ZFIN.
#include "engine/link/LinkContext.h"
#include "engine/link/SerialHandler.h"
#include "engine/zmodem/ZModemDlg.h"
#include "engine/zmodem/ZModemUtil.h"
#include "support/PtyPair.h"
#include "support/TestUserInterface.h"
#include "support/ZModemHexHeader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <thread>

namespace {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

// Where a pattern occurs for the n-th time (0 = first) at or after from; npos when it does not.
size_t Find(const Bytes& stream, const Bytes& pattern, size_t from) {
    const auto at = std::search(stream.begin() + static_cast<std::ptrdiff_t>(from), stream.end(),
                                pattern.begin(), pattern.end());
    return at == stream.end() ? std::string::npos : static_cast<size_t>(at - stream.begin());
}

// The end of count escaped bytes starting at from; npos while they have not all arrived.
size_t EndOfEscaped(const Bytes& stream, size_t from, size_t count) {
    for (; count > 0; --count) {
        from += stream.size() > from && stream[from] == ZDLE ? 2 : 1;
        if (from > stream.size())
            return std::string::npos;
    }
    return from;
}

uint64_t Digest(const Bytes& bytes) {
    uint64_t hash = 14695981039346656037ull; // FNV-1a
    for (uint8_t byte : bytes)
        hash = (hash ^ byte) * 1099511628211ull;
    return hash;
}

struct SStreamCase {
    const char* pszName;
    ZModemOptions options;
    size_t nFileSize;
    uint32_t nResendAt; // the ZRPOS offset answered to the first ZEOF
    size_t nStreamLength;
    uint64_t nDigest;
};

void PrintTo(const SStreamCase& row, std::ostream* out) {
    *out << row.pszName;
}

class ZModemStreamTest : public ::testing::TestWithParam<SStreamCase> {};

TEST_P(ZModemStreamTest, WireBytesEqualTheRecordedStream) {
    const SStreamCase& row = GetParam();
    std::string folder = (std::filesystem::temp_directory_path() / "dravik-stream-XXXXXX").string();
    ASSERT_NE(::mkdtemp(folder.data()), nullptr);
    const std::filesystem::path path = std::filesystem::path(folder) / "a.dat"; // the name is on the wire
    {
        Bytes content(row.nFileSize);
        uint32_t state = 7;
        for (size_t i = 0; i < content.size(); ++i) {
            state = state * 1103515245u + 12345u;
            // Every byte value, with long runs of the escaped ones.
            content[i] = (i / 512) % 2 == 0 ? static_cast<uint8_t>(i) : static_cast<uint8_t>(state >> 16);
        }
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(content.data()),
                   static_cast<std::streamsize>(content.size()));
    }
    // The ZFILE subpacket carries the modification time and mode: fix both.
    ::chmod(path.c_str(), 0644);
    const struct timespec times[2] = {{1700000000, 0}, {1700000000, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);

    CTestUserInterface ui;
    CLinkContext context{&ui};
    CPtyPair pty;
    int result = -1;
    CSerialHandler link(context, pty.SlavePath(), kSettingNormal, result, false);
    ASSERT_EQ(result, CSerialHandler::kOpenOk);
    pty.WriteMaster(ZModemHexHeader(ZRINIT, 0x23000000));

    CZModemDlg dialog(ui);
    dialog.m_strPath = path.string();
    dialog.m_pLink = &link;
    dialog.m_options = row.options;
    std::thread sender([&dialog] { dialog.SendFile(); });

    const uint8_t format = row.options.nForceCrc16 ? ZBIN : ZBIN32;
    const Bytes zeof = {ZPAD, ZPAD, ZDLE, format, ZEOF};
    const Bytes zfin = {ZPAD, ZPAD, ZDLE, format, ZFIN};
    const size_t crcLength = row.options.nForceCrc16 ? 2 : 4;
    // The receiver's turns, each taken once its trigger and the escaped bytes after it have all arrived
    // (the sender purges its queues on every header it receives).
    const struct {
        Bytes trigger;
        size_t nTail;
        Bytes answer;
    } turns[] = {{{ZDLE, ZCRCW}, crcLength, ZModemHexHeader(ZRPOS, 0)},
                 {zeof, 4 + crcLength, ZModemHexHeader(ZRPOS, row.nResendAt)},
                 {zeof, 4 + crcLength, ZModemHexHeader(ZRINIT, 0x23000000)},
                 {zfin, 4 + crcLength, ZModemHexHeader(ZFIN, 0)},
                 {{'O', 'O', '\r'}, 0, {}}};
    Bytes stream;
    size_t searchFrom = 0;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    for (const auto& turn : turns) {
        size_t at = std::string::npos;
        size_t end = std::string::npos;
        auto arrived = [&] {
            at = Find(stream, turn.trigger, searchFrom);
            end = at == std::string::npos ? at : EndOfEscaped(stream, at + turn.trigger.size(), turn.nTail);
            return end != std::string::npos;
        };
        while (!arrived() && std::chrono::steady_clock::now() < deadline) {
            const Bytes more = pty.ReadMaster(1 << 16, 20ms);
            stream.insert(stream.end(), more.begin(), more.end());
        }
        ASSERT_NE(end, std::string::npos) << "the sender stopped after " << stream.size() << " bytes";
        searchFrom = end;
        if (!turn.answer.empty())
            pty.WriteMaster(turn.answer);
    }
    sender.join();
    std::filesystem::remove_all(folder);
    EXPECT_EQ(dialog.Result(), ZModemOk);
    EXPECT_EQ(stream.size(), row.nStreamLength);
    EXPECT_EQ(Digest(stream), row.nDigest) << std::hex << "0x" << Digest(stream);
}

INSTANTIATE_TEST_SUITE_P(
    Recorded, ZModemStreamTest,
    ::testing::Values(SStreamCase{"Crc16Subpackets1024", {1, 1, 0}, 10000, 0x1311, 15725, 0x94dd38ef96029849},
                      SStreamCase{"Crc32Subpackets1024", {0, 0, 0}, 10000, 0x1811, 14448, 0x6e1c0768da86a9b1},
                      SStreamCase{
                          "Crc16Subpackets8192", {1, 1, 8192}, 20000, 0x0C00, 38123, 0x270eb251f20091c6},
                      SStreamCase{"EmptyFile", {1, 1, 0}, 0, 0, 107, 0xe2ad1e1acd4d1ff6}),
    [](const ::testing::TestParamInfo<SStreamCase>& info) { return std::string(info.param.pszName); });

} // namespace
