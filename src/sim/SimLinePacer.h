// Holds received bytes back until a serial line at the speed the program set would have delivered them:
// 10 bits per byte (start, 8 data, stop), one byte after the other, so that the simulator answers a frame
// no sooner than a real line allows. The wire time shrinks with the clock's speed factor like every other
// simulated interval. Bytes are handed on in batches: all of one arrival once its last byte is due, or
// what is due after each time slice of a long arrival, so the simulator wakes once per frame, not once
// per byte, and keeps up when other processes load the machine.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

class CSimLinePacer {
public:
    using Clock = std::chrono::steady_clock;

    // Queues bytes that reached the master side at now, sent at speed baud (0: unknown, no delay).
    void Arrive(const uint8_t* data, size_t length, unsigned speed, Clock::time_point now);
    // Takes the bytes due by now that share the first one's speed; false when none is due.
    bool TakeDue(Clock::time_point now, std::vector<uint8_t>& bytes, unsigned& speed);
    // When the next batch is due: the end of the first queued arrival, at most one slice after its first
    // queued byte is due; none when the queue is empty.
    std::optional<Clock::time_point> NextDue() const;

    static constexpr std::chrono::milliseconds kSlice{5};

    // The wire time of one byte at speed baud at the clock's present speed factor (0 for speed 0).
    static std::chrono::nanoseconds ByteTime(unsigned speed);
    // The wire time of every byte queued so far, added up.
    std::chrono::nanoseconds TotalWireTime() const { return m_total; }
    uint64_t PacedBytes() const { return m_nBytes; }
    // Bytes received and not yet due.
    size_t QueuedBytes() const { return m_queue.size(); }

private:
    struct Pending {
        uint8_t byte;
        unsigned speed;
        Clock::time_point due;
        Clock::time_point arrivalEnd; // when the last byte of the same arrival is due
    };
    std::deque<Pending> m_queue;
    Clock::time_point m_lineFree{};
    std::chrono::nanoseconds m_total{0};
    uint64_t m_nBytes = 0;
};
