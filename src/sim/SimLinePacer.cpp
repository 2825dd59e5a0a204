#include "sim/SimLinePacer.h"

#include "platform/Clock.h"

#include <algorithm>

namespace {

constexpr double kBitsPerByte = 10.0;

} // namespace

std::chrono::nanoseconds CSimLinePacer::ByteTime(unsigned speed) {
    if (speed == 0)
        return std::chrono::nanoseconds(0);
    const double factor = CClock::Instance().SpeedFactor();
    return std::chrono::nanoseconds(static_cast<int64_t>(kBitsPerByte * 1e9 / speed / factor));
}

void CSimLinePacer::Arrive(const uint8_t* data, size_t length, unsigned speed, Clock::time_point now) {
    const std::chrono::nanoseconds byteTime = ByteTime(speed);
    // The line is idle until these bytes came: they go out one after the other from then on.
    Clock::time_point due = std::max(now, m_lineFree);
    const Clock::time_point end = due + byteTime * static_cast<int64_t>(length);
    for (size_t i = 0; i < length; ++i) {
        due += byteTime;
        m_queue.push_back(Pending{data[i], speed, due, end});
    }
    m_lineFree = end;
    m_total += byteTime * static_cast<int64_t>(length);
    m_nBytes += length;
}

bool CSimLinePacer::TakeDue(Clock::time_point now, std::vector<uint8_t>& bytes, unsigned& speed) {
    bytes.clear();
    if (m_queue.empty() || m_queue.front().due > now)
        return false;
    speed = m_queue.front().speed;
    while (!m_queue.empty() && m_queue.front().due <= now && m_queue.front().speed == speed) {
        bytes.push_back(m_queue.front().byte);
        m_queue.pop_front();
    }
    return true;
}

std::optional<CSimLinePacer::Clock::time_point> CSimLinePacer::NextDue() const {
    if (m_queue.empty())
        return std::nullopt;
    return std::min(m_queue.front().arrivalEnd, m_queue.front().due + kSlice);
}
