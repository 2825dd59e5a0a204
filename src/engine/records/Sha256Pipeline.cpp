#include "engine/records/Sha256Pipeline.h"

#include <algorithm>
#include <utility>

CSha256Pipeline::CSha256Pipeline() : m_bValid(m_sha.IsValid()), m_thread([this] { Run(); }) {
    m_pending.reserve(kBlockBytes);
}

CSha256Pipeline::~CSha256Pipeline() {
    Stop();
}

void CSha256Pipeline::Update(const uint8_t* data, size_t length) {
    while (length > 0) {
        const size_t take = std::min(length, kBlockBytes - m_pending.size());
        m_pending.insert(m_pending.end(), data, data + take);
        data += take;
        length -= take;
        if (m_pending.size() == kBlockBytes) {
            std::unique_lock<std::mutex> guard(m_lock);
            m_changed.wait(guard, [this] { return m_blocks.size() < kMostQueuedBlocks; });
            HandOver();
        }
    }
}

void CSha256Pipeline::HandOver() {
    m_blocks.push_back(std::move(m_pending));
    m_pending = std::vector<uint8_t>();
    m_pending.reserve(kBlockBytes);
    m_changed.notify_all();
}

std::array<uint8_t, 32> CSha256Pipeline::Final() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!m_pending.empty())
            HandOver();
    }
    Stop();
    const std::array<uint8_t, 32> digest = m_sha.Final();
    m_bValid = m_sha.IsValid();
    return digest;
}

void CSha256Pipeline::Stop() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_bEnd = true;
        m_changed.notify_all();
    }
    if (m_thread.joinable())
        m_thread.join();
}

void CSha256Pipeline::Run() {
    std::unique_lock<std::mutex> guard(m_lock);
    for (;;) {
        m_changed.wait(guard, [this] { return !m_blocks.empty() || m_bEnd; });
        if (m_blocks.empty())
            return; // ended, and every block taken
        std::vector<uint8_t> block = std::move(m_blocks.front());
        m_blocks.pop_front();
        m_changed.notify_all();
        guard.unlock();
        m_sha.Update(block.data(), block.size());
        if (!m_sha.IsValid())
            m_bValid = false;
        guard.lock();
    }
}
