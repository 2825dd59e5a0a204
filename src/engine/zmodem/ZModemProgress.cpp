#include "engine/zmodem/ZModemProgress.h"

#include "engine/app/UserInterface.h"
#include "engine/download/DownloadProgress.h"

#include <cstdio>

namespace {

constexpr int64_t kPlainCountLimit = 10000; // above it the counts are shown in thousands

} // namespace

void CZModemProgress::Refresh(int64_t position, int64_t length, int speedUnit, int64_t now) {
    if (now == m_tLastRefresh)
        return;
    m_tLastRefresh = now;
    m_view.SetField(EZModemField::Start, FormatTime(m_tStart, "%H:%M:%S", true));
    if (position <= 0) {
        m_view.SetField(EZModemField::Elapsed, "");
        m_view.SetField(EZModemField::Remaining, "");
        m_view.SetField(EZModemField::Speed, "");
        m_view.SetField(EZModemField::Bytes, "0");
        return;
    }
    // In 64 bits: the percentage of a long file must not overflow.
    const unsigned long percent = length > 0 ? static_cast<unsigned long>(position * 100 / length) : 100;
    char text[80];
    if (length <= kPlainCountLimit)
        std::snprintf(text, sizeof text, "%u / %u (%lu%%)", static_cast<unsigned>(position),
                      static_cast<unsigned>(length), percent);
    else
        std::snprintf(text, sizeof text, "%uK / %uK (%lu%%)", static_cast<unsigned>(position / 1000),
                      static_cast<unsigned>(length / 1000), percent);
    m_view.SetField(EZModemField::Bytes, text);

    const int64_t elapsed = now - m_tStart;
    m_view.SetField(EZModemField::Elapsed, FormatTime(elapsed, "%M:%S", false));
    if (elapsed <= 0) {
        m_view.SetField(EZModemField::Speed, "");
    } else if (speedUnit == kSpeedUnitBps) {
        std::snprintf(text, sizeof text, "%u BPS", static_cast<unsigned>(position * 10 / elapsed));
        m_view.SetField(EZModemField::Speed, text);
    } else {
        std::snprintf(text, sizeof text, "%u cps", static_cast<unsigned>(position / elapsed));
        m_view.SetField(EZModemField::Speed, text);
    }
    const double remaining =
        static_cast<double>(elapsed) * static_cast<double>(length - position) / static_cast<double>(position);
    m_view.SetField(EZModemField::Remaining, FormatTime(static_cast<int64_t>(remaining), "%M:%S", false));
    m_view.ShowFigures(static_cast<uint64_t>(position), static_cast<uint64_t>(length),
                       elapsed > 0 ? static_cast<uint64_t>(position * 10 / elapsed) : 0);
}
