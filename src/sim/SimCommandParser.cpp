#include "sim/SimCommandParser.h"

namespace {

bool IsCommandLetter(uint8_t byte) {
    return (byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

} // namespace

CSimCommandParser::Result CSimCommandParser::Put(uint8_t byte) {
    if (byte == '+') {
        if (m_nPlus < 3) {
            ++m_nPlus;
            return Result::Pending;
        }
        return Result::ExtraPlus;
    }
    if (m_nPlus == 3 && IsCommandLetter(byte)) {
        m_nPlus = 0;
        m_cLetter = static_cast<char>(byte);
        return Result::Command;
    }
    m_nReleased = m_nPlus;
    m_nPlus = 0;
    return Result::NotCommand;
}

unsigned CSimCommandParser::TakeHeld() {
    const unsigned released = m_nReleased;
    m_nReleased = 0;
    return released;
}
