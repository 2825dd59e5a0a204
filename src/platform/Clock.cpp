#include "platform/Clock.h"

#include <algorithm>
#include <thread>

CClock& CClock::Instance() {
    static CClock clock;
    return clock;
}

CClock::CClock() : m_realBase(std::chrono::steady_clock::now()) {
    m_nEpochBaseMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
}

uint64_t CClock::ScaledNowMs() {
    const auto realElapsed = std::chrono::steady_clock::now() - m_realBase;
    const double ms = std::chrono::duration<double, std::milli>(realElapsed).count() * m_dFactor;
    return m_nScaledBaseMs + static_cast<uint64_t>(ms);
}

uint32_t CClock::TickCount() {
    std::lock_guard<std::mutex> guard(m_lock);
    return static_cast<uint32_t>(ScaledNowMs());
}

int64_t CClock::CalendarSeconds() {
    std::lock_guard<std::mutex> guard(m_lock);
    return (m_nEpochBaseMs + static_cast<int64_t>(ScaledNowMs())) / 1000;
}

void CClock::Sleep(uint32_t milliseconds) {
    std::this_thread::sleep_for(RealDuration(milliseconds));
}

std::chrono::nanoseconds CClock::RealDuration(uint64_t milliseconds) const {
    std::lock_guard<std::mutex> guard(m_lock);
    const double ns = static_cast<double>(milliseconds) * 1e6 / m_dFactor;
    return std::chrono::nanoseconds(static_cast<int64_t>(ns));
}

std::chrono::nanoseconds CClock::TimeoutDuration(uint64_t milliseconds) const {
    const std::chrono::nanoseconds floor =
        std::min<std::chrono::nanoseconds>(std::chrono::milliseconds(milliseconds), kShortestTimeout);
    return std::max(RealDuration(milliseconds), floor);
}

uint64_t CClock::ClockMilliseconds(std::chrono::nanoseconds real) const {
    std::lock_guard<std::mutex> guard(m_lock);
    return static_cast<uint64_t>(static_cast<double>(real.count()) / 1e6 * m_dFactor);
}

void CClock::SetSpeedFactor(double factor) {
    if (factor <= 0.0)
        return;
    std::lock_guard<std::mutex> guard(m_lock);
    // Rebase so that time stays continuous across the change.
    m_nScaledBaseMs = ScaledNowMs();
    m_realBase = std::chrono::steady_clock::now();
    m_dFactor = factor;
}

double CClock::SpeedFactor() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_dFactor;
}

CClockSpeedScope::CClockSpeedScope(double factor) : m_dPrevious(CClock::Instance().SpeedFactor()) {
    CClock::Instance().SetSpeedFactor(factor);
}

CClockSpeedScope::~CClockSpeedScope() {
    CClock::Instance().SetSpeedFactor(m_dPrevious);
}
