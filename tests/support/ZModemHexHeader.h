// The hex header a scripted ZModem receiver answers with: "**", ZDLE, "B", the type and the four position
// bytes (least significant first) and the CRC-16 in lower-case hex, CR LF and XON.
#pragma once

#include "engine/zmodem/ZModemCrc.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

inline std::vector<uint8_t> ZModemHexHeader(int type, uint32_t value = 0) {
    const uint8_t values[5] = {static_cast<uint8_t>(type), static_cast<uint8_t>(value),
                               static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
                               static_cast<uint8_t>(value >> 24)};
    uint16_t crc = 0;
    std::string text = "**\x18"
                       "B";
    char digits[3];
    for (uint8_t v : values) {
        std::snprintf(digits, sizeof digits, "%02x", v);
        text += digits;
        crc = UpdateCrc16(crc, v);
    }
    std::snprintf(digits, sizeof digits, "%02x", crc >> 8);
    text += digits;
    std::snprintf(digits, sizeof digits, "%02x", crc & 0xFF);
    text += digits;
    text += "\r\n\x11";
    return std::vector<uint8_t>(text.begin(), text.end());
}
