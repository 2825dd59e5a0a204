// ZModem send speed against lrzsz's sz: the same file goes to rz over a fresh pseudo-terminal pair, from
// our sender or from sz on the slave side. Both clocks start once rz is up (its first '*' has arrived)
// and stop when the sender has ended (its end exchange done, rz has the whole file); the pairs are
// interleaved and the median ratios of wall time and of the sender's CPU time (ours / sz's) are printed
// for 1 MB and 16 MB with the callers' options. sz's time includes its own start.
#include "BenchSupport.h"

#include "engine/app/SilentUserInterface.h"
#include "engine/link/LinkContext.h"
#include "engine/link/SerialHandler.h"
#include "engine/zmodem/ZModemDlg.h"
#include "platform/ThreadPriority.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <random>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace bench;
namespace fs = std::filesystem;
constexpr double kReadySeconds = 20.0;
// A pair takes well under a second: more than the least number of pairs steadies the median on a busy
// machine. A 1 MB send lasts about 10 ms, where one late wake-up moves a pair by a third: it takes more.
int PairsFor(size_t size) {
    return size < 4000000 ? 31 : 21;
}

bool SameFile(const fs::path& a, const fs::path& b) {
    std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
    std::vector<char> left(1 << 16), right(1 << 16);
    while (x && y) {
        x.read(left.data(), static_cast<std::streamsize>(left.size()));
        y.read(right.data(), static_cast<std::streamsize>(right.size()));
        if (x.gcount() != y.gcount() || !std::equal(left.begin(), left.begin() + x.gcount(), right.begin()))
            return false;
    }
    return !x && !y;
}

// Reads the slave side up to the receiver's first '*': rz is up and has sent its first ZRINIT.
bool AwaitReceiver(int fd) {
    const auto start = SteadyClock::now();
    while (Seconds(start) < kReadySeconds) {
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, 100) <= 0)
            continue;
        char byte = 0;
        if (::read(fd, &byte, 1) == 1 && byte == '*')
            return true;
    }
    return false;
}

// After the sender has ended rz has the whole file: its ZFIN answer follows the file's close. rz may
// still wait for the closing "OO" that sz's queue flush took away; it is not waited for long.
bool Received(CChildProcess& rz, const fs::path& file, const fs::path& into) {
    if (rz.WaitFor(std::chrono::seconds(2)) == CChildProcess::kNotEnded)
        rz.Kill(SIGTERM);
    const bool same = SameFile(file, into / file.filename());
    fs::remove(into / file.filename());
    return same;
}

SRun Ours(const fs::path& file, const fs::path& into) {
    SRun run;
    SPty pty;
    CSilentUserInterface ui(
        IDOK, [](const std::string& text) { std::fprintf(stderr, "message: %s\n", text.c_str()); });
    CLinkContext context(&ui);
    int result = -1;
    // The port is set up before rz starts, as a program's port is before the controller's receiver runs.
    CSerialHandler link(context, pty.strSlave, kSettingNormal, result, false);
    CChildProcess rz = StartChild({"rz", "-q"}, pty.nMaster, pty.nMaster, into.string());
    if (result != 0 || !rz.IsRunning() || !link.WaitForByte('*')) {
        std::fprintf(stderr, "ours: rz did not come up (port %d, rz %s)\n", result,
                     rz.IsRunning() ? "running" : "not started");
        return run;
    }
    CZModemDlg dialog(ui);
    dialog.m_strPath = file.string();
    dialog.m_pLink = &link;
    dialog.m_options = ZModemOptions{1, 1, 0}; // what the callers pass: CRC-16, 1024-byte subpackets
    // The worker's part alone (no window, no closing pause), on a thread of its own at the priority the
    // program gives it, where the window starts one per transfer.
    const auto start = SteadyClock::now();
    std::thread worker([&] {
        SetCurrentThreadPriority(EThreadPriority::BelowNormal);
        dialog.SendFile();
        run.dSeconds = Seconds(start);
        run.dCpuSeconds = ThreadCpuSeconds();
    });
    worker.join();
    const bool received = Received(rz, file, into);
    run.bOk = dialog.Result() == ZModemOk && received;
    if (!run.bOk)
        std::fprintf(stderr, "ours: result %d, file %s, %.1f s\n", dialog.Result(),
                     received ? "whole" : "not whole", run.dSeconds);
    return run;
}

SRun Sz(const fs::path& file, const fs::path& into) {
    SRun run;
    SPty pty;
    CChildProcess rz = StartChild({"rz", "-q"}, pty.nMaster, pty.nMaster, into.string());
    if (!rz.IsRunning() || !AwaitReceiver(pty.nSlave)) {
        std::fprintf(stderr, "sz: rz did not come up\n");
        return run;
    }
    const auto start = SteadyClock::now();
    CChildProcess sz = StartChild({"sz", "-q", file.filename().string()}, pty.nSlave, pty.nSlave,
                                  file.parent_path().string());
    const int status = WaitChild(sz, &run);
    run.dSeconds = Seconds(start);
    const bool received = Received(rz, file, into);
    run.bOk = status == 0 && received;
    if (!run.bOk)
        std::fprintf(stderr, "sz: exit %d, file %s, %.1f s\n", status, received ? "whole" : "not whole",
                     run.dSeconds);
    return run;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<size_t> sizes = {1000000, 16000000};
    if (argc > 1)
        sizes = {std::strtoul(argv[1], nullptr, 10)};
    std::string pattern = (fs::temp_directory_path() / "dravik-zmodem-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        return 1;
    const fs::path root = pattern;
    fs::create_directories(root / "src");
    fs::create_directories(root / "ours");
    fs::create_directories(root / "sz");
    bool allOk = true;
    for (size_t size : sizes) {
        const fs::path file = root / "src" / "bench.bin";
        {
            std::mt19937 random(42);
            std::vector<char> bytes(size);
            for (char& byte : bytes)
                byte = static_cast<char>(random());
            std::ofstream(file, std::ios::binary)
                .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        }
        const SPairs pairs = Interleave([&] { return Ours(file, root / "ours"); },
                                        [&] { return Sz(file, root / "sz"); }, PairsFor(size));
        const double ratio = Median(pairs.wall);
        const bool ok = pairs.wall.size() >= 3;
        allOk = allOk && ok;
        const std::string left = pairs.nFailed ? Format(", %d pairs failed", pairs.nFailed) : std::string();
        Row(Format("ZModem send of %zu MB to rz over a pty, CRC-16, 1024-byte subpackets: time",
                   size / 1000000),
            ok ? Format("%.3f s", Median(pairs.ours)) : std::string("n/a"),
            ok ? Format("sz %.3f s", Median(pairs.peer)) : std::string("n/a"),
            ok ? Format("%.2f (CPU %.2f; %zu pairs%s)", ratio, Median(pairs.cpu), pairs.wall.size(),
                        left.c_str())
               : "n/a" + left,
            "≤ 0.9", ok && ratio <= 0.9);
    }
    fs::remove_all(root);
    return allOk ? 0 : 1;
}
