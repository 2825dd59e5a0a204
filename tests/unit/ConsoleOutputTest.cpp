// dravik-cli's console output: the progress line redrawn on a real terminal and ended before the next
// text, plain lines every 10% elsewhere, and the JSON events that go with them.
#include "cli/ConsoleOutput.h"
#include "support/PtyPair.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

std::string ReadBack(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    char buffer[512];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, got);
    return text;
}

TEST(ConsoleOutput, TerminalRedrawsOneLineAndEndsItBeforeTheNextText) {
    CPtyPair pty;
    const int slave = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw); // no LF to CR LF, so the test sees the bytes written
    ::tcsetattr(slave, TCSANOW, &raw);
    std::FILE* out = ::fdopen(slave, "w");
    ASSERT_NE(out, nullptr);
    {
        CConsoleOutput output(out, nullptr, false);
        output.Progress("10%", 10, 100, 9600);
        output.Progress("100%", 100, 100, 9600);
        output.Line("Download complete.");
        output.Progress("50%", 50, 100, 9600);
        output.EndProgress();
        output.EndProgress(); // a second end adds nothing
    }
    std::fclose(out);
    const std::string expected = "\r\033[K10%\r\033[K100%\nDownload complete.\n\r\033[K50%\n";
    const std::vector<uint8_t> got = pty.ReadMaster(expected.size() + 1, std::chrono::milliseconds(500));
    EXPECT_EQ(std::string(got.begin(), got.end()), expected);
}

TEST(ConsoleOutput, PlainLinesEveryTenPercentEventsForEveryFigureQuietDropsStatus) {
    std::FILE* out = std::tmpfile();
    std::FILE* json = std::tmpfile();
    ASSERT_TRUE(out && json);
    CCliEventWriter events(json);
    {
        CConsoleOutput output(out, &events, true);
        output.Status("Terminal mode off.");
        for (uint64_t bytes = 0; bytes <= 1000; bytes += 50)
            output.Progress(std::to_string(bytes), bytes, 1000, 19200);
        output.EndProgress();
        output.Answered("Should the controller be restarted now?", "No");
    }
    EXPECT_EQ(ReadBack(out), "0\n100\n200\n300\n400\n500\n600\n700\n800\n900\n1000\n-> No\n");
    const std::string lines = ReadBack(json);
    EXPECT_EQ(lines.find("Terminal mode off."), std::string::npos);
    EXPECT_NE(lines.find("{\"event\":\"progress\",\"bytes\":50,\"total\":1000,\"bps\":19200}\n"),
              std::string::npos);
    EXPECT_NE(lines.find("{\"event\":\"question\",\"text\":\"Should the controller be restarted now?\","
                         "\"answer\":\"No\"}\n"),
              std::string::npos)
        << lines;
    EXPECT_EQ(JsonQuoted("a\"b\\c\n\x01\xE9"), "\"a\\\"b\\\\c\\n\\u0001\xC3\xA9\"");
    std::fclose(out);
    std::fclose(json);
}

} // namespace
