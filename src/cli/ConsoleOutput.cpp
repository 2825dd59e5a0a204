#include "cli/ConsoleOutput.h"

#include "platform/Clock.h"

#include <unistd.h>

namespace {

constexpr uint64_t kPlainLineIntervalMs = 10000;

} // namespace

CConsoleOutput::CConsoleOutput(std::FILE* out, CCliEventWriter* events, bool quiet)
    : m_out(out), m_pEvents(events), m_bQuiet(quiet), m_bTerminal(out && ::isatty(::fileno(out))) {}

void CConsoleOutput::EndProgressLocked() {
    if (m_bLineShown) {
        std::fputs("\n", m_out);
        m_bLineShown = false;
    }
}

void CConsoleOutput::Line(const std::string& text, bool asEvent) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        EndProgressLocked();
        std::fprintf(m_out, "%s\n", text.c_str());
        std::fflush(m_out);
    }
    if (m_pEvents && asEvent)
        m_pEvents->Message(text);
}

void CConsoleOutput::Status(const std::string& text) {
    if (m_bQuiet)
        return;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        EndProgressLocked();
        std::fprintf(m_out, "%s\n", text.c_str());
        std::fflush(m_out);
    }
    if (m_pEvents)
        m_pEvents->Message(text, "status");
}

void CConsoleOutput::Answered(const std::string& text, const std::string& answer) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        EndProgressLocked();
        std::fprintf(m_out, "-> %s\n", answer.c_str());
        std::fflush(m_out);
    }
    if (m_pEvents)
        m_pEvents->Question(text, answer);
}

void CConsoleOutput::Progress(const std::string& line, uint64_t bytes, uint64_t total,
                              uint64_t bitsPerSecond) {
    if (m_pEvents)
        m_pEvents->Progress(bytes, total, bitsPerSecond);
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_bTerminal) {
        std::fprintf(m_out, "\r\033[K%s", line.c_str());
        std::fflush(m_out);
        m_bLineShown = true;
        return;
    }
    const int tenth = total == 0 ? 10 : static_cast<int>(bytes * 10 / total);
    const uint32_t now = CClock::Instance().TickCount();
    if (tenth == m_nLastTenth && now - m_nLastPlainMs < kPlainLineIntervalMs)
        return;
    m_nLastTenth = tenth;
    m_nLastPlainMs = now;
    std::fprintf(m_out, "%s\n", line.c_str());
    std::fflush(m_out);
}

void CConsoleOutput::EndProgress() {
    std::lock_guard<std::mutex> guard(m_lock);
    EndProgressLocked();
    std::fflush(m_out);
    m_nLastTenth = -1;
}
