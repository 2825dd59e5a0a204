// dravik-cli stopped by a signal against the dxu-sim program on a pseudo-terminal: the first Ctrl-C,
// SIGTERM or SIGHUP ends a transfer the way the window's Cancel does, a second ends the program at once,
// and either way the port and its lock file are left free and no temporary copy stays behind.
#include "SimFlashTestSupport.h"
#include "platform/UucpLock.h"
#include "support/CliProcess.h"
#include "support/SimProcess.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/ioctl.h>
#include <thread>

namespace {

using namespace std::chrono_literals;

constexpr const char* kCancelLine = "Cancel: the transfer stops at its next step";

// Whether the pseudo-terminal still refuses a second user (root may open it regardless, so ask).
bool IsExclusive(const std::string& path) {
    const CUniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.IsValid())
        return errno == EBUSY;
    int exclusive = 0;
    return ::ioctl(fd.Get(), TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
}

// Waits up to the real time-out until check() holds.
template <typename Check> bool WaitUntil(Check check, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!check()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

class CliSignalTest : public ::testing::Test {
protected:
    // The controller takes bytes at the line's pace, so a transfer lasts long enough to be stopped.
    void StartSim(std::vector<std::string> more = {}) {
        std::vector<std::string> args{"--protocol", "PL03",      "--done-delay", "10",
                                      "--pace",     "--control", m_strControl};
        args.insert(args.end(), more.begin(), more.end());
        m_pSim = std::make_unique<CSimProcess>(args);
        ASSERT_TRUE(m_pSim->IsReady());
    }
    // The program's own waits run faster by the factor; its read time-outs shrink with them, so a
    // transfer that keeps pace with the line takes a small one.
    std::vector<std::string> Cli(std::vector<std::string> command, const char* speed = "10") const {
        std::vector<std::string> args{"--port", m_pSim->SlavePath(), "--settings", m_strSettings,
                                      "--yes",  "--clock-speed",     speed};
        args.insert(args.end(), command.begin(), command.end());
        return args;
    }
    std::string Image() {
        std::vector<uint8_t> bytes{0x7E, 'M', 'R', ':', 0x00, 0x01, 0x00, 0x00, ':'};
        const auto data = SimFlashPattern(30000, 3);
        bytes.insert(bytes.end(), data.begin(), data.end());
        const std::string path = m_folder.File("os.img");
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    // One figure of the simulated flash ("loads", "closed", "erases", "bytes"); -1 when not answered.
    long Flash(const std::string& name) {
        const std::string line = " " + CSimFlashControl(m_strControl).Ask("flash");
        const size_t at = line.find(" " + name + "=");
        return at == std::string::npos ? -1 : std::atol(line.c_str() + at + name.size() + 2);
    }

    void TearDown() override {
        // Folders inside the temporary folder go with what they hold; it removes only files.
        std::error_code error;
        std::filesystem::remove_all(m_strScratch, error);
    }

    CSimFlashTempDir m_folder;
    std::string m_strControl = m_folder.File("control");
    std::string m_strSettings = m_folder.File("none.cfg");
    std::string m_strScratch = m_folder.File("scratch"); // a folder for the tests that need folders
    std::unique_ptr<CSimProcess> m_pSim;
};

TEST_F(CliSignalTest, FirstSignalCancelsTheImageDownloadTheWayTheWindowDoes) {
    StartSim();
    const std::string image = Image();
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        const long erases = Flash("erases");
        CCliProcess cli(Cli({"--state", "bootstrap", "load", image}));
        ASSERT_TRUE(WaitUntil([&] { return Flash("bytes") > 0; }, 20s))
            << "the transfer began: " << cli.ErrorText();
        cli.Signal(signal);
        EXPECT_EQ(cli.WaitForExit(30s), 5) << cli.ErrorText();
        EXPECT_NE(cli.ErrorText().find(kCancelLine), std::string::npos) << cli.ErrorText();
        // The closing frame ended the load and the region was erased again: nothing partial stays.
        EXPECT_EQ(Flash("closed"), Flash("loads"));
        EXPECT_EQ(Flash("erases"), erases + 2);
        EXPECT_EQ(Flash("bytes"), 0);
        EXPECT_FALSE(IsExclusive(m_pSim->SlavePath()));
        // The line is back at 19200 and the controller out of its load: the next connect goes through.
        CCliProcess connect({"--port", m_pSim->SlavePath(), "--settings", m_strSettings, "connect"});
        EXPECT_EQ(connect.WaitForExit(20s), 0) << connect.ErrorText();
    }
    const std::string dump = m_folder.File("flash.s3");
    EXPECT_EQ(CSimFlashControl(m_strControl).Ask("dump " + dump).rfind("ok", 0), 0u);
    std::ifstream in(dump);
    std::string line;
    int records = 0;
    for (; std::getline(in, line); ++records)
        EXPECT_NE(line.rfind("S3", 0), 0u) << "programmed bytes left: " << line;
    EXPECT_GE(records, 2) << "a header and an end record at least";
}

TEST_F(CliSignalTest, SecondSignalEndsAtOnceAndLeavesThePortFree) {
    StartSim();
    CCliProcess cli(Cli({"--state", "bootstrap", "load", Image()}));
    ASSERT_TRUE(WaitUntil([&] { return Flash("bytes") > 0; }, 20s))
        << "the transfer began: " << cli.ErrorText();
    const std::string lockFile = UucpLockFilePath(m_pSim->SlavePath());
    EXPECT_TRUE(std::filesystem::exists(lockFile)) << lockFile;
    cli.Signal(SIGINT);
    ASSERT_TRUE(cli.WaitForError(kCancelLine, 20s)) << cli.ErrorText();
    cli.Signal(SIGINT);
    EXPECT_EQ(cli.WaitForExit(20s), 128 + SIGINT) << cli.ErrorText();
    EXPECT_NE(cli.ErrorText().find("Stopped before the command finished."), std::string::npos);
    EXPECT_FALSE(IsExclusive(m_pSim->SlavePath()));
    EXPECT_FALSE(std::filesystem::exists(lockFile)) << "its lock file went with the program";
}

// A configuration file sent under the name config.dat travels as a copy in a folder of its own.
TEST_F(CliSignalTest, ConfigurationCopyIsRemovedHoweverTheProgramEnds) {
    const std::string received = m_strScratch + "/received";
    ASSERT_TRUE(std::filesystem::create_directories(received));
    const std::string page = m_folder.File("page.dat");
    std::ofstream(page, std::ios::binary) << std::string(40000, 'p');
    struct Case {
        std::vector<int> signals;
        int nExit;
        const char* last; // the last message
    } cases[] = {
        {{SIGINT}, 5, "Transfer cancelled by user."},
        {{SIGTERM, SIGTERM}, 128 + SIGTERM, "Stopped before the command finished."},
        {{SIGHUP, SIGHUP}, 128 + SIGHUP, "Stopped before the command finished."},
    };
    for (const Case& c : cases) {
        const std::string temporary = m_strScratch + "/tmp-" + std::to_string(c.signals.front());
        ASSERT_EQ(::mkdir(temporary.c_str(), 0700), 0);
        StartSim({"--receive-dir", received}); // a controller of its own: the last one still receives
        CCliProcess cli(Cli({"--state", "bootstrap", "load", page}, "1"), {"TMPDIR=" + temporary});
        // The receiver has the file open: the copy exists and the transfer runs.
        ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(received + "/config.dat"); }, 20s))
            << cli.ErrorText();
        EXPECT_FALSE(std::filesystem::is_empty(temporary));
        for (const int signal : c.signals) {
            cli.Signal(signal);
            if (c.signals.size() > 1) {
                ASSERT_TRUE(cli.WaitForError(kCancelLine, 20s)) << cli.ErrorText();
            }
        }
        EXPECT_EQ(cli.WaitForExit(30s), c.nExit) << cli.ErrorText();
        const std::string errors = cli.ErrorText();
        EXPECT_EQ(errors.rfind(c.last), errors.rfind('\n', errors.size() - 2) + 1) << errors;
        EXPECT_TRUE(std::filesystem::is_empty(temporary)) << c.signals.front();
        EXPECT_FALSE(IsExclusive(m_pSim->SlavePath()));
        std::filesystem::remove_all(temporary);
        m_pSim.reset();
        std::filesystem::remove(received + "/config.dat");
    }
}

TEST_F(CliSignalTest, TextFileThatNobodyReceivesFails) {
    StartSim();
    const std::string notes = m_folder.File("notes.txt");
    std::ofstream(notes) << "notes";
    CCliProcess cli(Cli({"--state", "bootstrap", "load", notes}, "100"));
    EXPECT_EQ(cli.WaitForExit(30s), 8);
    EXPECT_NE(cli.ErrorText().find("No response from slave."), std::string::npos) << cli.ErrorText();
}

} // namespace
