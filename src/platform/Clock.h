// The program's one clock: millisecond ticks, calendar seconds and sleeps. Tests raise its speed so that
// a 5000 ms flash wait costs them a few milliseconds of real time; a time-out shrinks too, but never below
// a real length that a busy machine keeps (an answer that comes late must not look like no answer).
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>

class CClock {
public:
    // The process-wide clock.
    static CClock& Instance();

    // Milliseconds since an arbitrary start, wrapping at 2^32 like the platform's tick count.
    uint32_t TickCount();
    // Seconds since the epoch (scaled time runs ahead of the wall clock by the same factor).
    int64_t CalendarSeconds();
    // Sleeps for the given clock time (real time divided by the speed factor).
    void Sleep(uint32_t milliseconds);

    // Real time that a clock interval takes at the current speed: delays and polling waits.
    std::chrono::nanoseconds RealDuration(uint64_t milliseconds) const;
    // Real time that a time-out waits for the other side: the scaled length, but not less than
    // kShortestTimeout (or the time-out itself where that is shorter). At speed 1 it equals RealDuration.
    std::chrono::nanoseconds TimeoutDuration(uint64_t milliseconds) const;
    static constexpr std::chrono::milliseconds kShortestTimeout{500};
    // Clock milliseconds that a real interval represents.
    uint64_t ClockMilliseconds(std::chrono::nanoseconds real) const;

    // 1.0 is real time; 100.0 makes every interval a hundred times shorter.
    void SetSpeedFactor(double factor);
    double SpeedFactor() const;

private:
    CClock();
    uint64_t ScaledNowMs();

    mutable std::mutex m_lock;
    double m_dFactor = 1.0;
    std::chrono::steady_clock::time_point m_realBase;
    uint64_t m_nScaledBaseMs = 0;
    int64_t m_nEpochBaseMs = 0;
};

// Keeps a raised clock speed for one scope (tests).
class CClockSpeedScope {
public:
    explicit CClockSpeedScope(double factor);
    ~CClockSpeedScope();
    CClockSpeedScope(const CClockSpeedScope&) = delete;
    CClockSpeedScope& operator=(const CClockSpeedScope&) = delete;

private:
    double m_dPrevious;
};
