// ZModem send speed against lrzsz's sz: the same file goes to rz over a fresh pseudo-terminal pair, from
// our sender or from sz on the slave side. Both clocks start once rz is up (its first '*' has arrived)
// and stop when rz has ended; the pairs are interleaved and the median ratios of wall time and of the
// sender's CPU time (ours / sz's) are printed for 1 MB and 16 MB with the callers' options.
#include "BenchSupport.h"

#include "engine/app/BasicUserInterface.h"
#include "engine/link/LinkContext.h"
#include "engine/link/SerialHandler.h"
#include "engine/zmodem/ZModemDlg.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <random>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace bench;
namespace fs = std::filesystem;
constexpr double kStallSeconds = 25.0;

class CSilentUi : public CBasicUserInterface {
public:
    int MessageBox(const std::string& text, EMsgButtons, EMsgIcon) override {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        return IDOK;
    }
    void Post(std::function<void()>) override {}
    void ShowStatus(const std::string&, const std::string&) override {}
    bool GetFileName(const FileDialogRequest&, std::string&) override { return false; }
    std::unique_ptr<IWaitWindow> CreateWaitWindow(const std::string&, const std::string&) override {
        return {};
    }
    bool RunCommDialog(CommDialogData&) override { return false; }
    void RunAboutDialog(const std::string&) override {}
};

struct SPty {
    int nMaster = -1;
    int nSlave = -1;
    std::string strSlave;
    SPty() {
        char name[256] = {};
        struct termios raw {};
        ::cfmakeraw(&raw);
        if (::openpty(&nMaster, &nSlave, name, &raw, nullptr) == 0)
            strSlave = name;
    }
    ~SPty() {
        ::close(nMaster);
        ::close(nSlave);
    }
};

bool SameFile(const fs::path& a, const fs::path& b) {
    std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
    return std::equal(std::istreambuf_iterator<char>(x), {}, std::istreambuf_iterator<char>(y), {});
}

// Reads the slave side up to the receiver's first '*' (at most 10 s).
bool AwaitReceiver(int fd) {
    const auto start = SteadyClock::now();
    while (Seconds(start) < 10) {
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, 100) <= 0)
            continue;
        char byte = 0;
        if (::read(fd, &byte, 1) == 1 && byte == '*')
            return true;
    }
    return false;
}

SRun Ours(const fs::path& file, const fs::path& into) {
    SRun run;
    SPty pty;
    const pid_t rz = Spawn({"rz", "-q"}, pty.nMaster, pty.nMaster, into.string());
    CSilentUi ui;
    CLinkContext context(&ui);
    int result = -1;
    CSerialHandler link(context, pty.strSlave, kSettingNormal, result, false);
    if (result != 0 || !link.WaitForByte('*')) {
        Wait(rz);
        return run;
    }
    const auto start = SteadyClock::now();
    const double cpu = ThreadCpuSeconds();
    CZModemDlg dialog(ui);
    dialog.m_strPath = file.string();
    dialog.m_pLink = &link;
    dialog.m_options = ZModemOptions{1, 1, 0}; // what the callers pass: CRC-16, 1024-byte subpackets
    dialog.SendFile();                         // the worker's part alone: no window, no closing pause
    run.dCpuSeconds = ThreadCpuSeconds() - cpu;
    const int status = Wait(rz);
    run.dSeconds = Seconds(start);
    run.bOk = dialog.Result() == ZModemOk && status == 0 && run.dSeconds < kStallSeconds &&
              SameFile(file, into / file.filename());
    if (!run.bOk)
        std::fprintf(stderr, "ours: result %d, rz %d, %.1f s\n", dialog.Result(), status, run.dSeconds);
    fs::remove(into / file.filename());
    return run;
}

SRun Sz(const fs::path& file, const fs::path& into) {
    SRun run;
    SPty pty;
    const pid_t rz = Spawn({"rz", "-q"}, pty.nMaster, pty.nMaster, into.string());
    if (!AwaitReceiver(pty.nSlave)) {
        Wait(rz);
        return run;
    }
    const auto start = SteadyClock::now();
    const pid_t sz =
        Spawn({"sz", "-q", file.filename().string()}, pty.nSlave, pty.nSlave, file.parent_path().string());
    const int szStatus = Wait(sz, &run);
    const int rzStatus = Wait(rz);
    run.dSeconds = Seconds(start);
    // sz and rz set the modes of the one terminal pair both; now and then that leaves sz's end exchange
    // waiting out a 30 s time-out. Such a run measures the time-out, not the transfer.
    run.bOk = szStatus == 0 && rzStatus == 0 && run.dSeconds < kStallSeconds &&
              SameFile(file, into / file.filename());
    fs::remove(into / file.filename());
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
        const SPairs pairs =
            Interleave([&] { return Ours(file, root / "ours"); }, [&] { return Sz(file, root / "sz"); });
        const double ratio = Median(pairs.wall);
        const bool ok = pairs.wall.size() >= 3;
        allOk = allOk && ok;
        Row(Format("ZModem send of %zu MB to rz over a pty, CRC-16, 1024-byte subpackets: our time / sz's",
                   size / 1000000),
            ok ? Format("%.2f (ours %.3f s, sz %.3f s; CPU ratio %.2f; %zu pairs%s)", ratio,
                        Median(pairs.ours), Median(pairs.peer), Median(pairs.cpu), pairs.wall.size(),
                        pairs.nFailed ? Format(", %d left out", pairs.nFailed).c_str() : "")
               : std::string("n/a (transfers failed)"),
            "≤ 0.9", ok && ratio <= 0.9);
    }
    fs::remove_all(root);
    return allOk ? 0 : 1;
}
