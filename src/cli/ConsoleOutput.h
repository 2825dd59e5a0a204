// What dravik-cli shows a person on standard error: the window's texts line by line, and a transfer's
// progress as one line redrawn in place on a terminal (ended with a line break before the next text) or,
// when standard error is not a terminal, a plain line every 10% or 10 s. With an event writer every text
// and figure also goes out as an event on standard output.
#pragma once

#include "cli/CliEventWriter.h"

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

class CConsoleOutput {
public:
    CConsoleOutput(std::FILE* out, CCliEventWriter* events, bool quiet);

    // A message box's or wait window's text; a question's text goes out as its event once answered.
    void Line(const std::string& text, bool asEvent = true);
    // A status-bar text: nothing with quiet.
    void Status(const std::string& text);
    // A question and the answer it got (the question's text is shown through Line).
    void Answered(const std::string& text, const std::string& answer);
    // The figures of a transfer and the line that shows them.
    void Progress(const std::string& line, uint64_t bytes, uint64_t total, uint64_t bitsPerSecond);
    // The transfer ended: a redrawn line gets its line break.
    void EndProgress();

    CCliEventWriter* Events() const { return m_pEvents; }

private:
    void EndProgressLocked();

    std::mutex m_lock;
    std::FILE* m_out;
    CCliEventWriter* m_pEvents;
    bool m_bQuiet;
    bool m_bTerminal;
    bool m_bLineShown = false;   // a redrawn line waits for its line break
    int m_nLastTenth = -1;       // the last 10% step printed as a plain line
    uint32_t m_nLastPlainMs = 0; // clock ticks of that line (wrapping)
};
