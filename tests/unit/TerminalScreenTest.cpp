// The terminal screen model fed byte sequences: resulting lines and cursor, table-driven.
#include "engine/terminal/TerminalScreen.h"
#include "engine/terminal/TerminalKeys.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct ScreenCase {
    const char* name;
    std::string input;
    std::vector<std::string> lines;
    int row;
    int column;
};

const std::string ESC = "\x1b";

std::vector<ScreenCase> Cases() {
    return {
        {"CrIgnoredLfReturnsCarriage", "AB\r\nC", {"AB", "C"}, 1, 1},
        {"PositionFillsRowAndCreatesEarlierRows", ESC + "[3;5HX", {"", "", "    X"}, 2, 5},
        {"PositionInsideExistingLineOverwrites", "hello" + ESC + "[1;2Ha", {"hallo"}, 0, 2},
        {"ClearScreenStartsAgainTopLeft", "abc\ndef" + ESC + "[2Jxy", {"xy"}, 0, 2},
        {"EscThenOtherBytePrintsIt", "a" + ESC + "x", {"ax"}, 0, 2},
        {"HighByteAndTabIgnored", "ab\xb0\tc", {"abc"}, 0, 3},
        {"OtherControlBytesIgnored", std::string("a\x07\x01\x1f\x0d", 5) + "b", {"ab"}, 0, 2},
        {"DelIsPrintable", "a\x7f", {"a\x7f"}, 0, 2},
        {"BackspaceOnEmptyLineDoesNothing", "\x08", {""}, 0, 0},
        {"BackspaceDeletesLastCharacter", "abc\x08", {"ab"}, 0, 2},
        {"BackspaceAtColumnZeroKeepsColumn", "abc" + ESC + "[1;1H\x08", {"ab"}, 0, 0},
        {"BackspaceMovesCursorToLastLine", "abc\nd" + ESC + "[1;3H\x08", {"ab", "d"}, 1, 1},
        {"RowWithoutColumnPrintsH", ESC + "[5H", {"H"}, 0, 1},
        {"HomeWithoutParameters", "ab\ncd" + ESC + "[Hx", {"xb", "cd"}, 0, 1},
        {"ZeroParametersGiveOrigin", "ab\ncd" + ESC + "[0;0Hx", {"xb", "cd"}, 0, 1},
        {"EmptyColumnParameterGivesZero", ESC + "[2;Hx", {"", "x"}, 1, 1},
        {"UpStopsAtRowZero", "a\nb\nc" + ESC + "[9Ax", {"ax", "b", "c"}, 0, 2},
        {"UpByZeroDoesNothing", "a\nb" + ESC + "[0Ax", {"a", "bx"}, 1, 2},
        {"DownAddsLines", "a" + ESC + "[2Bx", {"a", "", " x"}, 2, 2},
        {"RightFillsLineWithSpaces", "a" + ESC + "[3Cx", {"a   x"}, 0, 5},
        {"RightBelowLastLineDoesNothing", ESC + "[3;1H" + ESC + "[4Cx", {"", "", "x"}, 2, 1},
        {"LeftStopsAtColumnZero", "abc" + ESC + "[7Dx", {"xbc"}, 0, 1},
        {"LeftByOne", "abc" + ESC + "[1Dx", {"abx"}, 0, 3},
        {"EraseBelowRemovesCursorLineAndBelow", "a\nb\nc" + ESC + "[2;1H" + ESC + "[0J", {"a"}, 1, 0},
        {"EraseBelowEverythingThenTextRestartsAtOrigin", "ab" + ESC + "[0Jz", {"z"}, 0, 1},
        {"EraseAboveEmptiesLinesUpToCursor", "a\nb\nc" + ESC + "[2;1H" + ESC + "[1J", {"", "", "c"}, 1, 0},
        {"EraseAboveBelowLastLineStopsAtLast", "a\nb" + ESC + "[5;1H" + ESC + "[1J", {"", ""}, 4, 0},
        {"EraseOtherFormNoChange", "a\nb" + ESC + "[7J", {"a", "b"}, 1, 1},
        {"AttributesConsumed",
         "a" + ESC + "[m" + ESC + "[1m" + ESC + "[1;31m" + ESC + "[1;31;40mb",
         {"ab"},
         0,
         2},
        {"PositionWithFConsumedWithoutEffect", "ab" + ESC + "[3;3fc", {"abc"}, 0, 3},
        {"AbortInStateTwoPrintsByte", "a" + ESC + "[Zb", {"aZb"}, 0, 3},
        {"AbortInParameterLosesDigits", "a" + ESC + "[12;3Ab", {"aAb"}, 0, 3},
        {"AbortInThirdParameter", ESC + "[1;2;3H", {"H"}, 0, 1},
        {"ThreeParameterAttributeNeedsM", ESC + "[1;2;3mx", {"x"}, 0, 1},
        {"LineFeedAboveLastLineCutsLine", "abcd\nx" + ESC + "[1;3H\n", {"ab", "x"}, 1, 0},
        {"LineFeedOnLastLineAddsLine", "ab\n\n", {"ab", "", ""}, 2, 0},
        {"LineFeedBelowLastLineAddsLinesToCursor", ESC + "[4;1H\n", {"", "", "", "", ""}, 4, 0},
        {"LineFeedEndsEscapeSequence", "a" + ESC + "[3\nA", {"a", "A"}, 1, 1},
        {"EscRestartsSequence", ESC + "[3" + ESC + "[2Cx", {"  x"}, 0, 3},
        {"FormFeedClears", "abc\ndef\x0cg", {"g"}, 0, 1},
        {"ManyDigitsParameter", "a" + ESC + "[0000000000000000000002Cb", {"a  b"}, 0, 4},
    };
}

void PrintTo(const ScreenCase& c, std::ostream* os) {
    *os << c.name;
}

class TerminalScreenCase : public testing::TestWithParam<ScreenCase> {};

TEST_P(TerminalScreenCase, LinesAndCursor) {
    const ScreenCase& c = GetParam();
    CTerminalScreen screen;
    for (char ch : c.input)
        screen.PutChar(static_cast<uint8_t>(ch));
    EXPECT_EQ(screen.Lines(), c.lines);
    EXPECT_EQ(screen.CursorRow(), c.row);
    EXPECT_EQ(screen.CursorColumn(), c.column);
}

INSTANTIATE_TEST_SUITE_P(Bytes, TerminalScreenCase, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<ScreenCase>& info) { return info.param.name; });

TEST(TerminalScreen, StartsWithOneEmptyLine) {
    CTerminalScreen screen;
    EXPECT_EQ(screen.Lines(), std::vector<std::string>{""});
    EXPECT_FALSE(screen.IsActive());
}

TEST(TerminalScreen, HugeParametersSaturateInsteadOfOverflowing) {
    CTerminalScreen screen;
    screen.PutString("\x1b[99999999999999999999B");
    EXPECT_EQ(screen.CursorRow(), CTerminalScreen::kMaxParameter);
    EXPECT_EQ(screen.Lines().size(), static_cast<size_t>(CTerminalScreen::kMaxParameter) + 1);
    screen.PutString("\x1b[1;99999999999999999999Hx");
    EXPECT_EQ(screen.Lines()[0].size(), static_cast<size_t>(CTerminalScreen::kMaxParameter));
    EXPECT_EQ(screen.CursorColumn(), CTerminalScreen::kMaxParameter);

    // Moves that keep coming stop at the last column: the line does not grow without end.
    CTerminalScreen wide;
    for (int i = 0; i <= CTerminalScreen::kMaxCursorColumn / CTerminalScreen::kMaxParameter + 1; ++i)
        wide.PutString("\x1b[65535C");
    EXPECT_EQ(wide.CursorColumn(), CTerminalScreen::kMaxCursorColumn);
    wide.PutString("xy");
    EXPECT_EQ(wide.CursorColumn(), CTerminalScreen::kMaxCursorColumn);
    const std::string line = wide.Lines()[0];
    EXPECT_EQ(line.size(), static_cast<size_t>(CTerminalScreen::kMaxCursorColumn) + 1);
    EXPECT_EQ(line.back(), 'y');
}

TEST(TerminalScreen, WidestLineFollowsLongestLineUntilCleared) {
    CTerminalScreen screen;
    screen.PutString("abc\nabcdefg\nxy");
    EXPECT_EQ(screen.WidestLine(), 7u);
    screen.PutString("\x1b[1;20Hz");
    EXPECT_EQ(screen.WidestLine(), 20u);
    screen.PutChar(0x0C);
    EXPECT_EQ(screen.WidestLine(), 0u);
}

TEST(TerminalScreen, LinesSurviveBlankAndShow) {
    CTerminalScreen screen;
    screen.ShowTerminal();
    screen.PutString("hello\n");
    screen.BlankTerminal();
    EXPECT_FALSE(screen.IsActive());
    screen.ShowTerminal();
    EXPECT_TRUE(screen.IsActive());
    EXPECT_EQ(screen.Lines(), (std::vector<std::string>{"hello", ""}));
}

// A history far longer than the blocks kept open: every line reads back, lines deep in the history can
// be written and cut, and the lines are held in much less memory than their text.
TEST(TerminalScreen, LongHistoryStaysWholeAndEditableAndCompact) {
    CTerminalScreen screen;
    std::vector<std::string> expected;
    size_t textBytes = 0;
    for (int i = 0; i < 20000; ++i) {
        expected.push_back("  " + std::to_string(100000 + i) +
                           " 12:34:56 ALARM 0042 motor temperature high, axis " + std::to_string(i % 7) +
                           " value " + std::to_string(i % 997));
        textBytes += expected.back().size();
        screen.PutString((expected.back() + "\r\n").c_str());
    }
    expected.emplace_back();
    EXPECT_EQ(screen.Lines(), expected);
    EXPECT_LT(screen.HeldBytes(), textBytes / 3);

    // Back to line 3 (in a packed block), then to the end again.
    screen.PutString("\x1b[3;3HX\x1b[20000;1HY");
    expected[2][2] = 'X';
    expected[19999][0] = 'Y';
    EXPECT_EQ(screen.Line(2), expected[2]);
    EXPECT_EQ(screen.Line(19999), expected[19999]);
    // Clear from the start to line 600, then cut everything from line 700 on.
    screen.PutString("\x1b[600;1H\x1b[1J\x1b[700;1H\x1b[0J");
    for (size_t row = 0; row < 600; ++row)
        expected[row].clear();
    expected.resize(699);
    EXPECT_EQ(screen.Lines(), expected);
    screen.PutString("z");
    EXPECT_EQ(screen.LineCount(), 700u);
    EXPECT_EQ(screen.Line(699), "z");
}

// Records what a view is told.
class CRecordingListener : public ITerminalScreenListener {
public:
    void OnCellChanged(int row, int column) override { events.push_back("cell " + Pos(row, column)); }
    void OnRepaintAll() override { events.push_back("all"); }
    void OnLineFeed() override { events.push_back("lf"); }
    void OnCleared() override { events.push_back("cleared"); }
    void OnCursorMoved() override {}
    void OnActiveChanged(bool active) override { events.push_back(active ? "show" : "blank"); }
    std::vector<std::string> events;

private:
    static std::string Pos(int row, int column) { return std::to_string(row) + "," + std::to_string(column); }
};

TEST(TerminalScreen, ViewIsToldWhatToRepaint) {
    CTerminalScreen screen;
    CRecordingListener listener;
    screen.SetListener(&listener);
    screen.ShowTerminal();
    screen.PutString("ab\n\x1b[2;4Hc\x1b[1m\x1b[2J\x0c");
    screen.PutChar(0xB0);
    screen.BlankTerminal();
    EXPECT_EQ(listener.events, (std::vector<std::string>{"show", "cell 0,0", "cell 0,1", "lf", "cell 1,3",
                                                         "all", "cleared", "blank"}));
}

TEST(TerminalKeys, ArrowKeysSendEscBracketLetter) {
    EXPECT_EQ(ArrowKeySequence(EArrowKey::Up), (std::array<uint8_t, 3>{0x1B, '[', 'A'}));
    EXPECT_EQ(ArrowKeySequence(EArrowKey::Down), (std::array<uint8_t, 3>{0x1B, '[', 'B'}));
    EXPECT_EQ(ArrowKeySequence(EArrowKey::Right), (std::array<uint8_t, 3>{0x1B, '[', 'C'}));
    EXPECT_EQ(ArrowKeySequence(EArrowKey::Left), (std::array<uint8_t, 3>{0x1B, '[', 'D'}));
}

} // namespace
