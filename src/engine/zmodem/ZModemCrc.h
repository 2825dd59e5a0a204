// The two CRCs of ZModem frames: CRC-16 (CCITT polynomial 0x1021, start 0, most significant bit first,
// as in XMODEM-CRC) and the IEEE 802.3 CRC-32 (reflected 0xEDB88320, start and final complement).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// One byte into a CRC-16 register. Feeding a frame and then its two CRC bytes (high first) leaves 0.
uint16_t UpdateCrc16(uint16_t crc, uint8_t byte);

// The CRC-32 table: entry i is the CRC-32 of the single byte i with a zero start value.
using Crc32Table = std::array<uint32_t, 256>;
Crc32Table BuildCrc32Table();

// One byte into a CRC-32 register (start 0xFFFFFFFF; the value sent is the complement).
inline uint32_t UpdateCrc32(const Crc32Table& table, uint32_t crc, uint8_t byte) {
    return table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
}
