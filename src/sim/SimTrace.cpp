#include "sim/SimTrace.h"

namespace {

void AppendJsonString(std::string& out, const std::string& text) {
    static const char kHex[] = "0123456789abcdef";
    out += '"';
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
}

} // namespace

bool CSimTrace::Open(const std::string& path) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_file.reset(std::fopen(path.c_str(), "we"));
    return m_file != nullptr;
}

std::string CSimTrace::FormatLine(uint64_t timeMs, bool bRx, unsigned speed, const uint8_t* data,
                                  size_t length, const std::string& meaning) {
    static const char kHex[] = "0123456789abcdef";
    std::string line = "{\"time\":" + std::to_string(timeMs) + ",\"direction\":\"" + (bRx ? "rx" : "tx") +
                       "\",\"speed\":" + std::to_string(speed) + ",\"bytes\":\"";
    for (size_t i = 0; i < length; ++i) {
        line += kHex[data[i] >> 4];
        line += kHex[data[i] & 0x0F];
    }
    line += "\",\"meaning\":";
    AppendJsonString(line, meaning);
    line += '}';
    return line;
}

void CSimTrace::Write(uint64_t timeMs, bool bRx, unsigned speed, const uint8_t* data, size_t length,
                      const std::string& meaning) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_file)
        return;
    const std::string line = FormatLine(timeMs, bRx, speed, data, length, meaning) + '\n';
    std::fwrite(line.data(), 1, line.size(), m_file.get());
    // Tests read the trace while the simulator runs.
    std::fflush(m_file.get());
}
