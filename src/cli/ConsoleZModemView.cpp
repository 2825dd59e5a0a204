#include "cli/ConsoleZModemView.h"

void CConsoleZModemView::SetField(EZModemField field, const std::string& text) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_fields[field] = text;
}

void CConsoleZModemView::ShowFigures(uint64_t bytes, uint64_t total, uint64_t bitsPerSecond) {
    std::string line;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        line = m_fields[EZModemField::FileName] + "  " + m_fields[EZModemField::Bytes] + "  " +
               m_fields[EZModemField::Speed] + "  " + m_fields[EZModemField::Remaining] + " left";
    }
    m_output.Progress(line, bytes, total, bitsPerSecond);
}
