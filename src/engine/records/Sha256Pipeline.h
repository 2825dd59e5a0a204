// SHA-256 taken on a thread of its own: the bytes are handed over in blocks of 64 KiB, so that the thread
// that reads or writes a large file does not wait for its digest where another core is free.
#pragma once

#include "engine/records/Sha256.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

class CSha256Pipeline {
public:
    CSha256Pipeline();
    ~CSha256Pipeline();
    CSha256Pipeline(const CSha256Pipeline&) = delete;
    CSha256Pipeline& operator=(const CSha256Pipeline&) = delete;

    // False once the digest failed; final only after Final. Any thread may ask: the digest's own flag is
    // the worker's while it runs.
    bool IsValid() const { return m_bValid; }
    void Update(const uint8_t* data, size_t length);
    // Waits for the bytes handed over so far; once.
    std::array<uint8_t, 32> Final();

private:
    static constexpr size_t kBlockBytes = 64 * 1024;
    static constexpr size_t kMostQueuedBlocks = 16; // bounds the memory when the digest falls behind

    void HandOver(); // with the lock held
    void Run();
    void Stop();

    CSha256 m_sha; // the thread's only
    std::atomic<bool> m_bValid;
    std::vector<uint8_t> m_pending;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<std::vector<uint8_t>> m_blocks;
    bool m_bEnd = false;
    std::thread m_thread;
};
