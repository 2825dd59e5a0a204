// The simulated controller's console: what a technician meets in terminal mode. A prompt that takes a
// line of text, a diagnostic menu, and its three dumps (alarm history, trace, parameter history), each
// started by Enter after its "press Enter" prompt and ended by the words "... dump complete" (or
// "... dump abort" when ESC comes instead of Enter), so the program's capture has real dumps to save.
#pragma once

#include <cstdint>
#include <string>

class CSimConsole {
public:
    // The bytes of each dump, as sent (lines end CR LF; the closing words included).
    static std::string AlarmHistoryDump();
    static std::string TraceDump();
    static std::string ParameterHistoryDump();

    // One byte from the terminal (ESC included); what the console sends back is appended to out.
    void Put(uint8_t byte, std::string& out);

private:
    enum class EState { Prompt, Menu, AwaitEnter };
    void RunLine(std::string& out);

    EState m_eState = EState::Prompt;
    std::string m_strLine;
    char m_cDump = 0; // '1', '2' or '3' while its prompt waits for Enter
};
