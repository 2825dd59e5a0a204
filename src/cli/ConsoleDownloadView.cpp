#include "cli/ConsoleDownloadView.h"

#include <unistd.h>

CConsoleDownloadView::CConsoleDownloadView(std::FILE* out)
    : m_out(out), m_bTerminal(out && ::isatty(::fileno(out))) {}

CConsoleDownloadView::~CConsoleDownloadView() { Close(); }

void CConsoleDownloadView::SetField(int controlId, const std::string& text) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_fields[controlId] = text;
    // The figures change together once a second; the transmitted-bytes field comes first of them.
    if (controlId == IDC_DOWNLOAD_REMAINING)
        Redraw();
}

void CConsoleDownloadView::Redraw() {
    if (!m_bTerminal)
        return;
    std::fprintf(m_out, "\r\033[K%s  %s  %s left", m_fields[IDC_DOWNLOAD_BYTES].c_str(),
                 m_fields[IDC_DOWNLOAD_SPEED].c_str(), m_fields[IDC_DOWNLOAD_REMAINING].c_str());
    std::fflush(m_out);
    m_bLineShown = true;
}

void CConsoleDownloadView::Close() {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_bLineShown) {
        std::fputs("\n", m_out);
        std::fflush(m_out);
        m_bLineShown = false;
    }
}
