#include "gui/download/WideProgressBar.h"

#include <climits>

CWideProgressBar::CWideProgressBar(QWidget* parent) : QProgressBar(parent) {
    setTextVisible(false);
    Show();
}

void CWideProgressBar::SetWideRange(uint32_t maximum) {
    m_nMaximum = maximum;
    if (m_nPosition > m_nMaximum)
        m_nPosition = m_nMaximum;
    Show();
}

void CWideProgressBar::SetWidePos(uint32_t position) {
    m_nPosition = position < m_nMaximum ? position : m_nMaximum;
    Show();
}

void CWideProgressBar::WideStep() {
    const uint64_t next = static_cast<uint64_t>(m_nPosition) + m_nStep;
    m_nPosition = next < m_nMaximum ? static_cast<uint32_t>(next) : m_nMaximum;
    Show();
}

void CWideProgressBar::Show() {
    int shift = 0;
    while ((m_nMaximum >> shift) > static_cast<uint32_t>(INT_MAX))
        ++shift;
    const int maximum = static_cast<int>(m_nMaximum >> shift);
    setRange(0, maximum > 0 ? maximum : 1);
    setValue(static_cast<int>(m_nPosition >> shift));
}
