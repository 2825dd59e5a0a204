// ZModem send speed against lrzsz's sz: the same file goes to rz over a fresh pseudo-terminal pair, once
// from our sender on the slave side and once from sz on the slave side, and the ratio of the two times
// (ours / sz's) is printed. Both times run from the start of the send until rz has ended.
#include "engine/app/UserInterface.h"
#include "engine/link/LinkContext.h"
#include "engine/link/SerialHandler.h"
#include "engine/zmodem/ZModemDlg.h"
#include "platform/ChildProcess.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <pty.h>
#include <random>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

using SteadyClock = std::chrono::steady_clock;
constexpr double kStallSeconds = 25.0;
namespace fs = std::filesystem;

class CSilentUi : public IUserInterface {
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

// Starts a program with its standard input and output on fd, its messages thrown away, in folder.
CChildProcess Spawn(const std::vector<std::string>& words, int fd, const fs::path& folder) {
    SChildSetup setup;
    setup.in.nFd = setup.out.nFd = fd;
    setup.err.strPath = "/dev/null";
    setup.strFolder = folder.string();
    CChildProcess child;
    child.Start(words, setup);
    return child;
}

bool SameFile(const fs::path& a, const fs::path& b) {
    std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
    return std::equal(std::istreambuf_iterator<char>(x), {}, std::istreambuf_iterator<char>(y), {});
}

double TimeOurs(const fs::path& file, const fs::path& into, const ZModemOptions& options, bool& ok) {
    SPty pty;
    CChildProcess rz = Spawn({"rz", "-q"}, pty.nMaster, into);
    CSilentUi ui;
    CLinkContext context(&ui);
    int result = -1;
    CSerialHandler link(context, pty.strSlave, kSettingNormal, result, false);
    link.WaitForByte('*');
    const auto start = SteadyClock::now();
    CZModemDlg dialog(ui);
    dialog.m_strPath = file.string();
    dialog.m_pLink = &link;
    dialog.m_options = options;
    dialog.SendFile(); // the worker's part alone: no window, no closing pause
    const int status = rz.Wait();
    const double seconds = std::chrono::duration<double>(SteadyClock::now() - start).count();
    ok = result == 0 && dialog.Result() == ZModemOk && status == 0 && SameFile(file, into / file.filename());
    return seconds;
}

double TimeSz(const fs::path& file, const fs::path& into, bool& ok) {
    SPty pty;
    CChildProcess rz = Spawn({"rz", "-q"}, pty.nMaster, into);
    const auto start = SteadyClock::now();
    CChildProcess sz = Spawn({"sz", "-q", file.string()}, pty.nSlave, file.parent_path());
    const int szStatus = sz.Wait();
    const int rzStatus = rz.Wait();
    const double seconds = std::chrono::duration<double>(SteadyClock::now() - start).count();
    ok = szStatus == 0 && rzStatus == 0 && SameFile(file, into / file.filename());
    return seconds;
}

} // namespace

int main(int argc, char** argv) {
    const size_t size = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000000;
    std::string pattern = (fs::temp_directory_path() / "dravik-zmodem-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        return 1;
    const fs::path root = pattern;
    fs::create_directories(root / "src");
    const fs::path file = root / "src" / "bench.bin";
    {
        std::mt19937 random(42);
        std::vector<char> bytes(size);
        for (char& byte : bytes)
            byte = static_cast<char>(random());
        std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    struct SCase {
        const char* pszName;
        ZModemOptions options;
    };
    const SCase cases[] = {{"CRC-16, 1024-byte subpackets (the callers' options)", {1, 1, 0}},
                           {"CRC-32, 1024-byte subpackets", {0, 0, 0}},
                           {"CRC-32, 8192-byte subpackets", {0, 0, 8192}}};
    bool allOk = true;
    std::printf("ZModem send of %zu bytes to rz over a pseudo-terminal, our time / sz's time:\n", size);
    for (const SCase& test : cases) {
        fs::create_directories(root / "ours");
        fs::create_directories(root / "sz");
        // Best of three: a single run of either side now and then waits on a receiver time-out.
        bool oursOk = true;
        bool szOk = true;
        double ours = 1e9;
        double sz = 1e9;
        for (int run = 0; run < 3; ++run) {
            bool ok = false;
            ours = std::min(ours, TimeOurs(file, root / "ours", test.options, ok));
            oursOk = oursOk && ok;
            fs::remove(root / "ours" / file.filename());
            // sz and rz set the modes of the one terminal pair both; now and then that leaves sz's end
            // exchange waiting out a 30 s time-out. Such a run measures the time-out, not the transfer.
            const double szRun = TimeSz(file, root / "sz", ok);
            if (szRun < kStallSeconds)
                sz = std::min(sz, szRun);
            szOk = szOk && ok;
            fs::remove(root / "sz" / file.filename());
        }
        allOk = allOk && oursOk && szOk;
        if (sz >= kStallSeconds) {
            std::printf("  %-52s n/a   (ours %.3f s, every sz run stalled)\n", test.pszName, ours);
            continue;
        }
        std::printf("  %-52s %.2f  (ours %.3f s, sz %.3f s)%s\n", test.pszName, ours / sz, ours, sz,
                    oursOk && szOk ? "" : "  [transfer failed]");
        fs::remove_all(root / "ours");
        fs::remove_all(root / "sz");
    }
    fs::remove_all(root);
    return allOk ? 0 : 1;
}
