// The figures of the "ZModem" window: start time, transmitted bytes with percentage, elapsed and
// remaining time, and the speed in bits or characters per second, refreshed at most once a second.
#pragma once

#include <cstdint>

class IZModemView;

constexpr int kSpeedUnitCps = 0;
constexpr int kSpeedUnitBps = 1;

class CZModemProgress {
public:
    explicit CZModemProgress(IZModemView& view) : m_view(view) {}

    void Start(int64_t now) { m_tStart = now; }
    // Shows the figures unless this second has been shown already.
    void Refresh(int64_t position, int64_t length, int speedUnit, int64_t now);
    // The next Refresh runs whatever the second (the final one of a transfer).
    void ForceNext() { m_tLastRefresh -= 2; }

    int64_t StartTime() const { return m_tStart; }

private:
    IZModemView& m_view;
    int64_t m_tStart = 0;
    int64_t m_tLastRefresh = 0;
};
