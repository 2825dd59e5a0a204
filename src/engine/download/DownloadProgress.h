// The figures of the "File Download" window: transmitted bytes, percentage, start, elapsed and remaining
// time and speed, updated at most once a second, and its progress bar through analysis and transfer.
#pragma once

#include "engine/app/UserInterface.h"

#include <cstdint>
#include <string>

// Formats a seconds value with a strftime pattern: local time, or the value taken as UTC (durations).
// Empty when the value cannot be converted (negative durations included) or the text exceeds 127 chars.
std::string FormatTime(int64_t seconds, const char* pattern, bool localTime);

class CDownloadProgress {
public:
    explicit CDownloadProgress(IDownloadView& view) : m_view(view) {}

    // The next ShowProgress initialises the display.
    void Restart() { m_bFirstProgress = true; }
    // After every data block: bytes of the image consumed so far and the image's length.
    void ShowProgress(uint32_t consumed, uint32_t total);
    void ShowProgressAt(uint32_t consumed, uint32_t total, int64_t now);
    // The figures once more at the end of the transfer, whatever second it is, so the last ones stay.
    void ShowFinal(uint32_t consumed, uint32_t total);

    // Progress bar during the analysis pass: one step for every 10001 bytes examined.
    void PrepareAnalysis(uint64_t fileLength);
    void CountAnalysedByte();
    // Progress bar during the transfer, advanced at the start of every transfer cycle.
    void PrepareTransfer(uint64_t fileLength);
    void AdvanceTransfer(uint64_t consumed);
    void ResetBar() { m_view.SetProgressPos(0); }

    int64_t StartTime() const { return m_tStart; }

private:
    IDownloadView& m_view;
    bool m_bFirstProgress = true;
    int64_t m_tStart = 0;
    int64_t m_tLastShown = 0;
    uint32_t m_nAnalysisCounter = 0;
    uint64_t m_nTransferDivisor = 1;
    bool m_bLargeTransfer = false;
    uint64_t m_nStepBase = 0; // consumed count at the last step (large files)
};
