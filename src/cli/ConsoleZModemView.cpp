#include "cli/ConsoleZModemView.h"

#include <unistd.h>

CConsoleZModemView::CConsoleZModemView(std::FILE* out)
    : m_out(out), m_bTerminal(out && ::isatty(::fileno(out))) {}

CConsoleZModemView::~CConsoleZModemView() {
    OnModalEnd();
}

void CConsoleZModemView::SetField(int controlId, const std::string& text) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_fields[controlId] = text;
    // A refresh writes the remaining time last.
    if (controlId == IDC_ZMODEM_REMAINING)
        Redraw();
}

void CConsoleZModemView::Redraw() {
    if (!m_bTerminal)
        return;
    std::fprintf(m_out, "\r\033[K%s  %s  %s  %s left", m_fields[IDC_ZMODEM_FILENAME].c_str(),
                 m_fields[IDC_ZMODEM_BYTES].c_str(), m_fields[IDC_ZMODEM_SPEED].c_str(),
                 m_fields[IDC_ZMODEM_REMAINING].c_str());
    std::fflush(m_out);
    m_bLineShown = true;
}

void CConsoleZModemView::OnModalEnd() {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_bLineShown) {
        std::fputs("\n", m_out);
        std::fflush(m_out);
        m_bLineShown = false;
    }
}
