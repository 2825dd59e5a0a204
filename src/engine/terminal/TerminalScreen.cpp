#include "engine/terminal/TerminalScreen.h"

#include <algorithm>

CTerminalScreen::CTerminalScreen() = default;

std::vector<std::string> CTerminalScreen::Lines() const {
    std::vector<std::string> lines;
    lines.reserve(m_lines.Count());
    for (size_t row = 0; row < m_lines.Count(); ++row)
        lines.push_back(m_lines.At(row));
    return lines;
}

void CTerminalScreen::PutString(const char* text) {
    for (; *text; ++text)
        PutChar(static_cast<uint8_t>(*text));
}

void CTerminalScreen::ShowTerminal() {
    m_bActive = true;
    if (m_pListener)
        m_pListener->OnActiveChanged(true);
}

void CTerminalScreen::BlankTerminal() {
    m_bActive = false;
    if (m_pListener)
        m_pListener->OnActiveChanged(false);
}

void CTerminalScreen::PutChar(uint8_t c) {
    if (m_byteTap)
        m_byteTap(c);
    if (m_lines.Empty()) {
        m_lines.Resize(1);
        m_nCursorRow = 0;
        m_nCursorColumn = 0;
    }
    const int last = static_cast<int>(m_lines.Count()) - 1;

    switch (c) {
    case 0x08: {
        // Deletes the last character of the cursor's line (not the one before the cursor) and puts the
        // cursor on the last line; only meaningful for line-by-line output where the two are the same.
        if (m_nCursorRow > last || m_lines.At(m_nCursorRow).empty())
            return;
        std::string& line = m_lines.At(m_nCursorRow);
        line.pop_back();
        m_nCursorColumn = std::max(0, m_nCursorColumn - 1);
        m_nCursorRow = last;
        if (m_pListener) {
            m_pListener->OnRepaintAll();
            m_pListener->OnCursorMoved();
        }
        return;
    }
    case 0x0A:
        LineFeed();
        return;
    case 0x0C:
        m_lines.Reset();
        m_nCursorRow = 0;
        m_nCursorColumn = 0;
        m_nWidest = 0;
        if (m_pListener) {
            m_pListener->OnCleared();
            m_pListener->OnCursorMoved();
        }
        return;
    case 0x1B:
        m_nState = kEscStarted;
        m_cFinal = 0;
        m_nP1 = m_nP2 = m_nP3 = -1;
        return;
    default:
        break;
    }
    if (c < 0x20 || c > 0x7F)
        return; // CR, TAB, BEL, the other control bytes and everything above 0x7F

    switch (Parse(c)) {
    case EParse::Consumed:
        return;
    case EParse::Complete:
        Execute();
        return;
    case EParse::Print:
        PrintChar(c);
        return;
    }
}

void CTerminalScreen::AddDigit(int& value, uint8_t digit) {
    value = std::min(kMaxParameter, value * 10 + (digit - '0'));
}

CTerminalScreen::EParse CTerminalScreen::Parse(uint8_t c) {
    const bool digit = c >= '0' && c <= '9';
    auto complete = [&](uint8_t final) {
        m_cFinal = final;
        m_nState = kEscDone;
        return EParse::Complete;
    };
    switch (m_nState) {
    case kEscStarted:
        if (c == '[') {
            m_nState = kEscBracket;
            return EParse::Consumed;
        }
        break;
    case kEscBracket:
        if (digit) {
            m_nP1 = c - '0';
            m_nState = kEscFirstNumber;
            return EParse::Consumed;
        }
        if (c == 'm' || c == 'H')
            return complete(c);
        break;
    case kEscFirstNumber:
        if (digit) {
            AddDigit(m_nP1, c);
            return EParse::Consumed;
        }
        if (c == ';') {
            m_nP2 = 0;
            m_nState = kEscSecondNumber;
            return EParse::Consumed;
        }
        if (c == 'A' || c == 'B' || c == 'C' || c == 'D' || c == 'J' || c == 'm')
            return complete(c);
        break;
    case kEscSecondNumber:
        if (digit) {
            AddDigit(m_nP2, c);
            return EParse::Consumed;
        }
        if (c == ';') {
            m_nP3 = 0;
            m_nState = kEscThirdNumber;
            return EParse::Consumed;
        }
        if (c == 'H' || c == 'f' || c == 'm')
            return complete(c);
        break;
    case kEscThirdNumber:
        if (digit) {
            AddDigit(m_nP3, c);
            return EParse::Consumed;
        }
        if (c == 'm')
            return complete(c);
        break;
    default:
        return EParse::Print; // kEscIdle and kEscDone
    }
    m_nState = kEscIdle; // abort: the byte is printed, the sequence before it is lost
    return EParse::Print;
}

void CTerminalScreen::Execute() {
    const int n = m_nP1;
    const int last = static_cast<int>(m_lines.Count()) - 1;
    switch (m_cFinal) {
    case 'A':
        if (n > 0)
            m_nCursorRow = std::max(0, m_nCursorRow - n);
        break;
    case 'B':
        if (n > 0) {
            m_nCursorRow = std::min(m_nCursorRow + n, kMaxCursorRow);
            EnsureRow(m_nCursorRow);
        }
        break;
    case 'C':
        if (n > 0 && m_nCursorRow <= last) {
            m_nCursorColumn = std::min(m_nCursorColumn + n, kMaxCursorColumn);
            FillTo(m_lines.At(m_nCursorRow), m_nCursorColumn);
        }
        break;
    case 'D':
        if (n > 0)
            m_nCursorColumn = std::max(0, m_nCursorColumn - n);
        break;
    case 'H':
        if (m_nP1 < 0) {
            m_nCursorRow = 0;
            m_nCursorColumn = 0;
        } else {
            m_nCursorRow = std::max(0, m_nP1 - 1);
            m_nCursorColumn = std::max(0, m_nP2 - 1);
        }
        break;
    case 'J':
        if (n == 0) {
            if (m_nCursorRow <= last)
                m_lines.Resize(static_cast<size_t>(m_nCursorRow));
        } else if (n == 1) {
            const int end = std::min(m_nCursorRow, last);
            for (int row = 0; row <= end; ++row)
                m_lines.At(row).clear();
        } else if (n == 2) {
            m_lines.Reset();
            m_nCursorRow = 0;
            m_nCursorColumn = 0;
        }
        if (m_pListener)
            m_pListener->OnRepaintAll();
        break;
    default: // 'f' and 'm': consumed without effect
        return;
    }
    if (m_pListener)
        m_pListener->OnCursorMoved();
}

void CTerminalScreen::PrintChar(uint8_t c) {
    EnsureRow(m_nCursorRow);
    std::string& line = m_lines.At(m_nCursorRow);
    FillTo(line, m_nCursorColumn);
    if (static_cast<size_t>(m_nCursorColumn) == line.size())
        line.push_back(static_cast<char>(c));
    else
        line[m_nCursorColumn] = static_cast<char>(c);
    NoteWidth(line);
    const int column = m_nCursorColumn;
    m_nCursorColumn = std::min(column + 1, kMaxCursorColumn);
    if (m_pListener) {
        m_pListener->OnCursorMoved();
        m_pListener->OnCellChanged(m_nCursorRow, column);
    }
}

void CTerminalScreen::LineFeed() {
    const int last = static_cast<int>(m_lines.Count()) - 1;
    if (m_nCursorRow < last) {
        std::string& line = m_lines.At(m_nCursorRow);
        if (static_cast<size_t>(m_nCursorColumn) < line.size()) {
            line.erase(m_nCursorColumn);
            if (m_pListener)
                m_pListener->OnRepaintAll();
        }
    } else {
        EnsureRow(std::min(m_nCursorRow + 1, kMaxCursorRow));
    }
    m_nCursorRow = std::min(m_nCursorRow + 1, kMaxCursorRow);
    m_nCursorColumn = 0;
    m_nState = kEscIdle;
    if (m_pListener) {
        m_pListener->OnLineFeed();
        m_pListener->OnCursorMoved();
    }
}

void CTerminalScreen::EnsureRow(int row) {
    if (static_cast<size_t>(row) >= m_lines.Count())
        m_lines.Resize(static_cast<size_t>(row) + 1);
}

void CTerminalScreen::FillTo(std::string& line, int column) {
    if (line.size() < static_cast<size_t>(column)) {
        line.resize(static_cast<size_t>(column), ' ');
        NoteWidth(line);
    }
}

void CTerminalScreen::NoteWidth(const std::string& line) {
    m_nWidest = std::max(m_nWidest, line.size());
}
