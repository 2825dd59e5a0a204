#include "engine/download/DownloadProgress.h"
#include "engine/download/DownloadStatusTexts.h"

#include "platform/Clock.h"

#include <cstdio>
#include <ctime>

namespace {

constexpr uint32_t kAnalysisBytesPerStep = 10000;
constexpr uint64_t kLargeFile = 5000;
constexpr uint64_t kLargeDivisor = 1000;
constexpr uint32_t kPlainCountLimit = 10000;
constexpr const char* kWait = "Wait..  ";

} // namespace

std::string FormatTime(int64_t seconds, const char* pattern, bool localTime) {
    if (!localTime && seconds < 0)
        return {};
    const std::time_t value = static_cast<std::time_t>(seconds);
    std::tm parts{};
    if ((localTime ? ::localtime_r(&value, &parts) : ::gmtime_r(&value, &parts)) == nullptr)
        return {};
    char text[128];
    const size_t length = std::strftime(text, sizeof text, pattern, &parts);
    if (length == 0)
        return {};
    return std::string(text, length);
}

void CDownloadProgress::ShowProgress(uint32_t consumed, uint32_t total) {
    ShowProgressAt(consumed, total, CClock::Instance().CalendarSeconds());
}

void CDownloadProgress::ShowProgressAt(uint32_t consumed, uint32_t total, int64_t now) {
    if (m_bFirstProgress) {
        for (EDownloadField field : {EDownloadField::Elapsed, EDownloadField::Bytes,
                                     EDownloadField::Remaining, EDownloadField::Speed})
            m_view.SetField(field, "0");
        m_view.SetField(EDownloadField::Status, kStatusDownloading);
        m_tStart = now;
        m_tLastShown = now;
        m_view.SetField(EDownloadField::Start, FormatTime(m_tStart, "%H:%M:%S", true));
        m_bFirstProgress = false;
        return;
    }
    if (now == m_tLastShown)
        return;
    m_tLastShown = now;

    // In 64 bits, so that an image of any size shows a true percentage.
    const uint64_t percent = total == 0 ? 100 : static_cast<uint64_t>(consumed) * 100 / total;
    char text[64];
    if (total <= kPlainCountLimit)
        std::snprintf(text, sizeof text, "%u / %u (%lu%%)", consumed, total,
                      static_cast<unsigned long>(percent));
    else
        std::snprintf(text, sizeof text, "%uK / %uK (%lu%%)", consumed / 1000, total / 1000,
                      static_cast<unsigned long>(percent));
    m_view.SetField(EDownloadField::Bytes, text);

    const int64_t elapsed = now - m_tStart;
    const uint64_t bitsPerSecond =
        elapsed > 0 ? static_cast<uint64_t>(consumed) * 10 / static_cast<uint64_t>(elapsed) : 0;
    m_view.SetField(EDownloadField::Elapsed, FormatTime(elapsed, "%M:%S", false));
    if (percent < 2) {
        m_view.SetField(EDownloadField::Speed, kWait);
        m_view.SetField(EDownloadField::Remaining, kWait);
        m_view.ShowFigures(consumed, total, bitsPerSecond);
        return;
    }
    if (elapsed <= 0) {
        m_view.SetField(EDownloadField::Speed, "");
    } else {
        std::snprintf(
            text, sizeof text, "%u BPS",
            static_cast<unsigned>(static_cast<uint64_t>(consumed) * 10 / static_cast<uint64_t>(elapsed)));
        m_view.SetField(EDownloadField::Speed, text);
    }
    const double remaining =
        static_cast<double>(elapsed) * (static_cast<double>(total) - consumed) / consumed;
    m_view.SetField(EDownloadField::Remaining, FormatTime(static_cast<int64_t>(remaining), "%M:%S", false));
    m_view.ShowFigures(consumed, total, bitsPerSecond);
}

void CDownloadProgress::ShowFinal(uint32_t consumed, uint32_t total) {
    const int64_t now = CClock::Instance().CalendarSeconds();
    if (m_bFirstProgress)
        ShowProgressAt(consumed, total, now);
    m_tLastShown = now - 1; // shown whatever second it is
    ShowProgressAt(consumed, total, now);
}

void CDownloadProgress::PrepareAnalysis(uint64_t fileLength) {
    m_view.SetProgressRange(static_cast<uint32_t>(fileLength / kAnalysisBytesPerStep));
    m_view.SetProgressPos(0);
    m_view.SetProgressStep(1);
    m_nAnalysisCounter = 0;
}

void CDownloadProgress::CountAnalysedByte() {
    if (++m_nAnalysisCounter > kAnalysisBytesPerStep) {
        m_view.StepProgress();
        m_nAnalysisCounter = 0;
    }
}

void CDownloadProgress::PrepareTransfer(uint64_t fileLength) {
    m_bLargeTransfer = fileLength >= kLargeFile;
    m_nTransferDivisor = m_bLargeTransfer ? kLargeDivisor : 1;
    m_nStepBase = 0;
    m_view.SetProgressRange(static_cast<uint32_t>(fileLength / m_nTransferDivisor));
    m_view.SetProgressStep(1);
}

void CDownloadProgress::AdvanceTransfer(uint64_t consumed) {
    const uint64_t counter = consumed - m_nStepBase;
    if (counter <= m_nTransferDivisor)
        return;
    if (m_bLargeTransfer) {
        m_view.StepProgress();
        m_nStepBase = consumed;
    } else {
        m_view.SetProgressPos(static_cast<uint32_t>(consumed));
    }
}
