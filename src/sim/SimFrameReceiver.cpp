#include "sim/SimFrameReceiver.h"

#include <cstring>
#include <utility>

void CSimFrameReceiver::Start(unsigned speed, uint32_t nowMs) {
    m_frame = SimFrame{};
    m_frame.nSpeed = speed;
    m_frame.bytes.push_back(kSimStx);
    m_bActive = true;
    m_nLastMs = nowMs;
}

bool CSimFrameReceiver::Put(uint8_t byte, unsigned speed, uint32_t nowMs) {
    m_frame.bytes.push_back(byte);
    m_nLastMs = nowMs;
    if (speed != m_frame.nSpeed)
        m_frame.bMixedSpeed = true;
    const auto& bytes = m_frame.bytes;
    // 0x02, length, payload of that length, checksum.
    if (bytes.size() < 2 || bytes.size() < static_cast<size_t>(bytes[1]) + 3)
        return false;
    uint8_t sum = 0;
    for (size_t i = 0; i + 1 < bytes.size(); ++i)
        sum ^= bytes[i];
    m_frame.bChecksumOk = sum == bytes.back();
    const size_t length = bytes[1];
    const uint8_t* payload = bytes.data() + 2;
    if (length >= 4 && std::memcmp(payload, "MR:", 3) == 0 && payload[length - 1] == ':') {
        m_frame.bMr = true;
        m_frame.data.assign(payload + 3, payload + length - 1);
    } else {
        m_frame.data.assign(payload, payload + length);
    }
    m_bActive = false;
    return true;
}

SimFrame CSimFrameReceiver::Take() {
    return std::exchange(m_frame, SimFrame{});
}

std::vector<uint8_t> CSimFrameReceiver::Abandon() {
    m_bActive = false;
    return std::exchange(m_frame, SimFrame{}).bytes;
}
