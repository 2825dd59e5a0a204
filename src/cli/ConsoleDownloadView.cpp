#include "cli/ConsoleDownloadView.h"

void CConsoleDownloadView::SetField(int controlId, const std::string& text) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_fields[controlId] = text;
}

void CConsoleDownloadView::ShowFigures(uint64_t bytes, uint64_t total, uint64_t bitsPerSecond) {
    std::string line;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        line = m_fields[IDC_DOWNLOAD_BYTES] + "  " + m_fields[IDC_DOWNLOAD_SPEED] + "  " +
               m_fields[IDC_DOWNLOAD_REMAINING] + " left";
    }
    m_output.Progress(line, bytes, total, bitsPerSecond);
}
