// dravik-cli terminal against dxu-sim's console: keys from a real terminal reach the controller, a trace
// dump is captured byte for byte, and the terminal's settings come back after Ctrl-] and after SIGTERM.
#include "sim/SimConsole.h"
#include "support/CliProcess.h"
#include "support/PtyPair.h"
#include "support/SimProcess.h"
#include "support/TempFolder.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr std::chrono::seconds kWait(10);

// The pseudo-terminal standing in for the person's terminal, in the usual cooked mode.
class CUserTerminal {
public:
    CUserTerminal() : m_slave(::open(m_pty.SlavePath().c_str(), O_RDWR | O_NOCTTY)) {
        termios cooked{};
        ::tcgetattr(m_slave, &cooked);
        cooked.c_lflag |= ICANON | ECHO | ISIG;
        cooked.c_iflag |= ICRNL;
        ::tcsetattr(m_slave, TCSANOW, &cooked);
    }
    ~CUserTerminal() { ::close(m_slave); }
    const std::string& Path() const { return m_pty.SlavePath(); }
    void Type(const std::string& keys) { m_pty.WriteMaster(keys); }
    bool IsCooked() const {
        termios now{};
        return ::tcgetattr(m_slave, &now) == 0 &&
               (now.c_lflag & (ICANON | ECHO | ISIG)) == (ICANON | ECHO | ISIG) && (now.c_iflag & ICRNL);
    }

private:
    CPtyPair m_pty;
    int m_slave;
};

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Waits (bounded) until standard output holds the text twice.
bool WaitForSecond(const CCliProcess& cli, const std::string& text) {
    for (int look = 0; look < 2000; ++look) {
        const std::string output = cli.OutputText();
        const size_t first = output.find(text);
        if (first != std::string::npos && output.find(text, first + 1) != std::string::npos)
            return true;
        ::usleep(5000);
    }
    return false;
}

TEST(CliTerminal, CapturesATraceDumpByteForByteAndLeavesTheTerminalAsItWas) {
    CSimProcess sim({"--console"});
    ASSERT_TRUE(sim.IsReady());
    const std::string folder = TestTempDir(); // the test's own
    const std::string capture = std::string(folder) + "/trace.txt";
    const std::string settings = std::string(folder) + "/none.cfg";
    CUserTerminal user;
    {
        CCliProcess cli({"--settings", settings, "-p", sim.SlavePath(), "terminal", "--capture", capture}, {},
                        user.Path());
        ASSERT_TRUE(cli.WaitForError("Ctrl-] leaves", kWait)) << cli.ErrorText();
        // The hint comes just before the switch to raw mode.
        EXPECT_TRUE(WaitUntil([&] { return !user.IsCooked(); })) << "raw while the terminal runs";
        ASSERT_TRUE(cli.WaitForOutput("DXU> ", kWait)) << cli.OutputText(); // the ESC at the start
        user.Type("diag\r");
        ASSERT_TRUE(cli.WaitForOutput("Choice: ", kWait)) << cli.OutputText();
        user.Type("2"); // the prompt starts the capture, the program's Enter the dump
        ASSERT_TRUE(cli.WaitForError("File opened ok.", kWait)) << cli.ErrorText();
        // The capture ends with "complete"; the program's Enter then brings the menu back.
        ASSERT_TRUE(WaitForSecond(cli, "Choice: ")) << cli.OutputText();
        user.Type("\x1d");
        EXPECT_EQ(cli.WaitForExit(kWait), 0) << cli.ErrorText();
        EXPECT_NE(cli.OutputText().find("Downloading line:"), std::string::npos);
    }
    EXPECT_TRUE(user.IsCooked()) << "the settings came back after Ctrl-]";
    const std::string dump = CSimConsole::TraceDump();
    EXPECT_EQ(FileText(capture), dump.substr(0, dump.find("complete") + 8));

    CCliProcess cli({"--settings", settings, "-p", sim.SlavePath(), "terminal"}, {}, user.Path());
    ASSERT_TRUE(cli.WaitForError("Ctrl-] leaves", kWait)) << cli.ErrorText();
    cli.Signal(SIGTERM);
    EXPECT_EQ(cli.WaitForExit(kWait), 0) << cli.ErrorText();
    EXPECT_TRUE(user.IsCooked()) << "the settings came back after SIGTERM";
}

} // namespace
