// Terminal mode on a real pseudo-terminal with the test as the controller: entering and leaving, typed
// keys, and the diagnostic capture from prompt to closing word, double Escape or a refused file.
#include "engine/app/CommandIds.h"
#include "engine/app/DravikApp.h"
#include "platform/Clock.h"
#include "support/PtyPair.h"
#include "support/TempFolder.h"
#include "support/TestUserInterface.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

const std::string kTracePrompt = "\r\n press Enter to start trace dump, <esc> to abort.\r\n";

class TerminalModeTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_app.m_strSettingsPath = TestTempDir() + "/dravik-terminal-test-none.cfg";
        m_app.LoadSettings();
        m_app.ForgoWizardStart(); // the idle passes here are the terminal's, not the wizard's
        m_app.m_strPort = m_pty.SlavePath();
        m_strCapture = TestTempDir() + "/dravik-capture-" + std::to_string(::getpid()) + ".txt";
        std::remove(m_strCapture.c_str());
    }
    void TearDown() override { std::remove(m_strCapture.c_str()); }

    // Lets the controller's bytes arrive through idle passes.
    void Receive(const std::string& bytes) {
        m_pty.WriteMaster(bytes);
        for (int i = 0; i < 50; ++i)
            m_app.OnIdle(1);
    }
    std::string Sent(size_t count, std::chrono::milliseconds timeout = 500ms) {
        const auto bytes = m_pty.ReadMaster(count, timeout);
        return std::string(bytes.begin(), bytes.end());
    }
    std::string Screen() const {
        std::string text;
        for (const auto& line : m_app.m_terminal.Lines())
            text += line + "\n";
        return text;
    }
    std::string CaptureFile() const {
        std::ifstream in(m_strCapture, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::vector<std::string> StatusMessages() const {
        std::vector<std::string> texts;
        for (const auto& event : m_ui.Events())
            if (event.strKind == "status-message")
                texts.push_back(event.strText);
        return texts;
    }

    CClockSpeedScope m_fast{10.0}; // short waits in each idle pass's receive
    CPtyPair m_pty;
    CTestUserInterface m_ui;
    CDravikApp m_app{&m_ui};
    std::string m_strCapture;
};

TEST_F(TerminalModeTest, EnteringSendsOneEscapeAndLeavingNothing) {
    m_app.OnCommand(ID_COMMANDS_TERMINAL);
    EXPECT_EQ(m_app.m_nTerminalMode, 1);
    EXPECT_TRUE(m_app.m_terminal.IsActive());
    EXPECT_TRUE(m_app.IsCommandChecked(ID_COMMANDS_TERMINAL));
    m_ui.RunPosted();
    EXPECT_EQ(m_ui.LastStatusMessagePane(), "Terminal mode on.");
    EXPECT_EQ(Sent(1), "\x1b");

    Receive("Hello\r\nDXU> ");
    EXPECT_EQ(Screen(), "Hello\nDXU> \n");

    m_app.OnCommand(ID_COMMANDS_TERMINAL);
    EXPECT_EQ(m_app.m_nTerminalMode, 0);
    EXPECT_FALSE(m_app.m_pTermLink);
    EXPECT_FALSE(m_app.m_terminal.IsActive());
    EXPECT_EQ(Screen(), "\n") << "leaving clears the screen";
    m_ui.RunPosted();
    EXPECT_EQ(m_ui.LastStatusMessagePane(), "Terminal mode off.");
    EXPECT_EQ(Sent(1, 50ms), "");
}

TEST_F(TerminalModeTest, KeysGoOnlyWhileTerminalModeIsOn) {
    const uint8_t arrow[] = {0x1B, '[', 'A'};
    m_app.SendTerminalByte('x');
    m_app.SetTerminalMode(1);
    EXPECT_EQ(Sent(1), "\x1b");
    m_app.SendTerminalByte('a');
    m_app.SendTerminalBytes(arrow, 3);
    m_app.SendTerminalByte('\r');
    EXPECT_EQ(Sent(5), "a\x1b[A\r");
    EXPECT_EQ(Screen(), "\n") << "no local echo";
}

TEST_F(TerminalModeTest, HangUpShowsOneMessageAndLeavesTerminalMode) {
    m_app.OnCommand(ID_COMMANDS_TERMINAL);
    ASSERT_EQ(m_app.m_nTerminalMode, 1);
    EXPECT_EQ(Sent(1), "\x1b");
    m_pty.HangUp();
    for (int i = 0; i < 20; ++i)
        m_app.OnIdle(1);
    EXPECT_EQ(m_app.m_nTerminalMode, 0);
    EXPECT_EQ(m_app.m_pTermLink, nullptr);
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{"Error reading COM port."});
    // Keys typed afterwards go nowhere and are not queued.
    m_app.SendTerminalBytes(reinterpret_cast<const uint8_t*>("ab"), 2);
    EXPECT_EQ(m_ui.Messages().size(), 1u);
}

TEST_F(TerminalModeTest, PortThatCannotOpenLeavesTerminalModeOff) {
    m_app.m_strPort = "/dev/no-such-port";
    m_app.SetTerminalMode(1);
    EXPECT_EQ(m_app.m_nTerminalMode, 0);
    EXPECT_EQ(StatusMessages(), std::vector<std::string>{"Terminal mode could not be activated."});
    EXPECT_EQ(m_ui.PendingPosted(), 0u) << "no status refresh";
    m_app.m_nLinkKind = kLinkNone;
    m_app.SetTerminalMode(1);
    EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{"No COM or USB selected"});
}

TEST_F(TerminalModeTest, DumpIsCapturedUpToItsClosingWord) {
    m_app.SetTerminalMode(1);
    Sent(1);
    m_ui.QueueFileName(m_strCapture);
    Receive(kTracePrompt);
    EXPECT_EQ(m_app.m_nCaptureBusy, 1);
    EXPECT_EQ(m_ui.LastFileRequest().strTitle, "Save data to file: ");
    EXPECT_EQ(m_ui.LastFileRequest().strFilter, "Text Files (*.txt)|*.txt|All Files (*.*)|*.*||");
    EXPECT_FALSE(m_ui.LastFileRequest().bOpen);
    EXPECT_EQ(Sent(1), "\r") << "CR starts the dump";
    EXPECT_EQ(StatusMessages(), std::vector<std::string>{"File opened ok."});
    const auto& lines = m_app.m_terminal.Lines();
    ASSERT_GT(lines.size(), 10u);
    EXPECT_EQ(lines[10], " Downloading line: ");

    Receive("line one\r\nline two\r\ntrace complete");
    EXPECT_EQ(m_app.m_nCaptureBusy, 0);
    EXPECT_EQ(CaptureFile(), "line one\r\nline two\r\ntrace complete");
    EXPECT_EQ(m_app.m_terminal.Line(10), " Downloading line:  2 ") << "the count at row 11, column 20";
    EXPECT_EQ(Sent(1), "\r") << "CR when the capture ends";
    EXPECT_EQ(Sent(1, 50ms), "");

    Receive(" rest\r\n");
    EXPECT_NE(Screen().find(" rest"), std::string::npos) << "after the closing word bytes go to the screen";
}

TEST_F(TerminalModeTest, CaptureWritesThroughAndEndsWithTerminalMode) {
    m_app.SetTerminalMode(1);
    Sent(1);
    m_ui.QueueFileName(m_strCapture);
    Receive(kTracePrompt);
    EXPECT_EQ(Sent(1), "\r");
    Receive("line one\r\n");
    EXPECT_EQ(CaptureFile(), "line one\r\n") << "on disk while the dump still runs";
    m_app.SetTerminalMode(0);
    EXPECT_EQ(m_app.m_nCaptureBusy, 0);
    EXPECT_EQ(CaptureFile(), "line one\r\n");
    m_app.SetTerminalMode(1);
    Sent(1);
    Receive("DXU> ");
    EXPECT_NE(Screen().find("DXU> "), std::string::npos) << "the console shows again";
    EXPECT_EQ(CaptureFile(), "line one\r\n");
    EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(TerminalModeTest, CaptureWriteErrorShowsTheReasonAndEndsTheCapture) {
    m_app.SetTerminalMode(1);
    Sent(1);
    m_ui.QueueFileName(std::string("/dev/full"));
    Receive(kTracePrompt);
    EXPECT_EQ(Sent(1), "\r");
    Receive("line one\r\n");
    EXPECT_EQ(m_app.m_nCaptureBusy, 0);
    EXPECT_EQ(Sent(1), "\x1b") << "the controller abandons the dump";
    EXPECT_EQ(m_ui.Messages(),
              std::vector<std::string>{"Error writing capture file.\nNo space left on device\n"
                                       "Check the disk and choose another file for the next dump."});
    Receive("DXU> ");
    EXPECT_NE(Screen().find("DXU> "), std::string::npos);
}

TEST_F(TerminalModeTest, DoubleEscapeEndsTheCaptureWithTheNextByteButEscapeArrowDoesNot) {
    m_app.SetTerminalMode(1);
    Sent(1);
    m_ui.QueueFileName(m_strCapture);
    Receive(kTracePrompt);
    Sent(1);
    const uint8_t escape = 0x1B;
    const uint8_t arrow[] = {0x1B, '[', 'B'};
    m_app.SendTerminalByte(escape);
    m_app.SendTerminalBytes(arrow, 3);
    Receive("x");
    EXPECT_EQ(m_app.m_nCaptureBusy, 1);
    m_app.SendTerminalByte(escape);
    m_app.SendTerminalByte(escape);
    EXPECT_EQ(Sent(6), "\x1b\x1b[B\x1b\x1b");
    EXPECT_EQ(m_app.m_nCaptureBusy, 1) << "the capture ends when the next byte arrives";
    Receive("y");
    EXPECT_EQ(m_app.m_nCaptureBusy, 0);
    EXPECT_EQ(CaptureFile(), "xy");
}

TEST_F(TerminalModeTest, PromptsAreMatchedExactly) {
    m_app.SetTerminalMode(1);
    Sent(1);
    // An extra CR before the prompt: the second CR resets the match and is not tried again.
    Receive("\r" + kTracePrompt);
    EXPECT_EQ(m_app.m_nCaptureBusy, 0);
    EXPECT_TRUE(m_ui.Events().empty() || m_ui.Events().back().strKind != "file");

    // A refused file: ESC to the controller, and the status says so.
    m_ui.QueueFileName(std::nullopt);
    Receive("Select: 1\r\n press Enter to start alarm history dump, <esc> to abort.\r\n");
    EXPECT_EQ(m_app.m_nCaptureBusy, 0);
    EXPECT_EQ(Sent(1), "\x1b");
    EXPECT_EQ(StatusMessages(), std::vector<std::string>{"Unable to open file."});
}

} // namespace
