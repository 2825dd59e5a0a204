// The terminal's screen model: a growing list of text lines, a cursor and the small cursor-control escape
// parser of the controller's console. It knows no window: a view listens to it and paints what it holds.
#pragma once

#include "engine/terminal/TerminalHistory.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// What a view is told after each change. All calls come on the thread that feeds the screen.
class ITerminalScreenListener {
public:
    virtual ~ITerminalScreenListener() = default;
    // One character cell was written.
    virtual void OnCellChanged(int row, int column) = 0;
    // Many lines changed (erase forms, a blank/show cycle): repaint everything.
    virtual void OnRepaintAll() = 0;
    // A line feed: the scroll sizes grow and the last line is scrolled into view.
    virtual void OnLineFeed() = 0;
    // Form feed: the screen was cleared; scroll sizes return to their start and the view to the origin.
    virtual void OnCleared() = 0;
    // The cursor moved (the caret follows it).
    virtual void OnCursorMoved() = 0;
    // ShowTerminal (true) or BlankTerminal (false).
    virtual void OnActiveChanged(bool active) = 0;
};

class CTerminalScreen {
public:
    // Escape sequence parameters saturate here, so line noise such as ESC [ 99999999999 B cannot make
    // the screen allocate billions of lines in one step.
    static constexpr int kMaxParameter = 65535;
    // Where the cursor stops however many moves, characters or line feeds come: a stream of ESC [ 65535 C
    // (8 bytes each) would otherwise grow one line by gigabytes, and rows or columns would pass what an
    // int holds. No real console comes near either.
    static constexpr int kMaxCursorColumn = 1 << 24;
    static constexpr int kMaxCursorRow = INT_MAX - kMaxParameter - 1;

    CTerminalScreen();

    // Feeds one byte from the controller.
    void PutChar(uint8_t c);
    // PutChar for every byte of a NUL-terminated string.
    void PutString(const char* text);

    // Terminal mode shows the screen; outside it the view draws nothing. The lines survive a cycle.
    void ShowTerminal();
    void BlankTerminal();
    bool IsActive() const { return m_bActive; }

    size_t LineCount() const { return m_lines.Count(); }
    // One line; the reference holds until the next call that reads or changes lines.
    const std::string& Line(size_t row) const { return m_lines.At(row); }
    // A copy of every line (tests, small screens).
    std::vector<std::string> Lines() const;
    // Bytes the lines hold in memory.
    size_t HeldBytes() const { return m_lines.HeldBytes(); }
    int CursorRow() const { return m_nCursorRow; }
    int CursorColumn() const { return m_nCursorColumn; }
    int ParserState() const { return m_nState; }
    // Longest line held since the last clear, in characters (the view's horizontal scroll size).
    size_t WidestLine() const { return m_nWidest; }

    void SetListener(ITerminalScreenListener* listener) { m_pListener = listener; }
    // Every byte PutChar takes, before the model does: a console face passes them to a real terminal.
    void SetByteTap(std::function<void(uint8_t)> tap) { m_byteTap = std::move(tap); }

private:
    enum class EParse { Print, Consumed, Complete };
    // Where the escape sequence parser stands (m_nState; ParserState() gives it as a number).
    enum EEscapeState : int {
        kEscIdle = 0,         // outside a sequence
        kEscStarted = 1,      // ESC
        kEscBracket = 2,      // ESC [
        kEscFirstNumber = 3,  // ESC [ n
        kEscSecondNumber = 4, // ESC [ n ; n
        kEscThirdNumber = 5,  // ESC [ n ; n ; n
        kEscDone = 6,         // a sequence has just been carried out
    };

    EParse Parse(uint8_t c);
    void Execute();
    void PrintChar(uint8_t c);
    void LineFeed();
    void ClearAll();
    void EnsureRow(int row);
    void FillTo(std::string& line, int column);
    void NoteWidth(const std::string& line);
    static void AddDigit(int& value, uint8_t digit);

    CTerminalHistory m_lines;
    int m_nCursorRow = 0;
    int m_nCursorColumn = 0;
    int m_nState = kEscIdle;
    uint8_t m_cFinal = 0;
    int m_nP1 = -1;
    int m_nP2 = -1;
    int m_nP3 = -1;
    bool m_bActive = false;
    size_t m_nWidest = 0;
    ITerminalScreenListener* m_pListener = nullptr;
    std::function<void(uint8_t)> m_byteTap;
};
