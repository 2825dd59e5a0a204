#include "cli/ConsoleDownloadView.h"

void CConsoleDownloadView::SetField(EDownloadField field, const std::string& text) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_fields[field] = text;
}

void CConsoleDownloadView::ShowFigures(uint64_t bytes, uint64_t total, uint64_t bitsPerSecond) {
    std::string line;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        line = m_fields[EDownloadField::Bytes] + "  " + m_fields[EDownloadField::Speed] + "  " +
               m_fields[EDownloadField::Remaining] + " left";
    }
    m_output.Progress(line, bytes, total, bitsPerSecond);
}
