// A progress bar driven in unsigned 32-bit units (range 0..maximum, position, step amount, step), as the
// transfers count; the position stays inside the range, and a range wider than the widget's int is
// scaled down. A range of 0 shows an empty bar rather than a busy indicator.
#pragma once

#include <QProgressBar>

#include <cstdint>

class CWideProgressBar : public QProgressBar {
public:
    explicit CWideProgressBar(QWidget* parent);

    void SetWideRange(uint32_t maximum);
    void SetWidePos(uint32_t position);
    void SetWideStep(uint32_t amount) { m_nStep = amount; }
    void WideStep();
    uint32_t WideMaximum() const { return m_nMaximum; }
    uint32_t WidePos() const { return m_nPosition; }

private:
    void Show();

    uint32_t m_nMaximum = 100;
    uint32_t m_nPosition = 0;
    uint32_t m_nStep = 10;
};
