#include "sim/SimAnswerWriter.h"

#include <utility>

void CSimAnswerWriter::Send(const std::vector<uint8_t>& bytes, const std::string& meaning) {
    if (m_bSilent)
        return;
    m_output.insert(m_output.end(), bytes.begin(), bytes.end());
    if (m_pTrace)
        m_pTrace->Write(m_nTraceMs, false, m_nSpeed, bytes.data(), bytes.size(), meaning);
}

void CSimAnswerWriter::Line(const std::string& text, const std::string& meaning) {
    std::vector<uint8_t> bytes(text.begin(), text.end());
    if (m_bCrlf)
        bytes.push_back('\r');
    bytes.push_back('\n');
    Send(bytes, meaning);
}

void CSimAnswerWriter::Byte(uint8_t byte, const std::string& meaning) {
    Send({byte}, meaning);
}

void CSimAnswerWriter::Noise(const std::string& meaning) {
    // A fixed pseudo-random sequence, so that a run can be repeated byte for byte.
    std::vector<uint8_t> bytes;
    while (bytes.size() < 7) {
        m_nNoiseSeed = m_nNoiseSeed * 1103515245u + 12345u;
        const auto byte = static_cast<uint8_t>(m_nNoiseSeed >> 16);
        if (byte == '\n' || byte == 'P' || byte == 'V' || byte == 'T' || byte == 0x06 || byte == 0x07)
            continue;
        bytes.push_back(byte);
    }
    bytes.push_back('\n');
    Send(bytes, meaning);
}

std::vector<uint8_t> CSimAnswerWriter::TakeOutput() {
    return std::exchange(m_output, {});
}
