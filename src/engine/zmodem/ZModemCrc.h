// The two CRCs of ZModem frames: CRC-16 (CCITT polynomial 0x1021, start 0, most significant bit first,
// as in XMODEM-CRC) and the IEEE 802.3 CRC-32 (reflected 0xEDB88320, start and final complement).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Entry i is the CRC-16 register after feeding the byte i into a zero register.
constexpr std::array<uint16_t, 256> MakeCrc16Table() {
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i << 8;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1;
        table[i] = static_cast<uint16_t>(crc);
    }
    return table;
}
inline constexpr std::array<uint16_t, 256> kCrc16Table = MakeCrc16Table();

// One byte into a CRC-16 register. The register holds the remainder of the data so far (the two zero
// bytes of the textbook shift-in form folded in), so it is the value to send at every step; feeding a
// frame and then its two CRC bytes (high first) leaves 0.
constexpr uint16_t UpdateCrc16(uint16_t crc, uint8_t byte) {
    return static_cast<uint16_t>((crc << 8) ^ kCrc16Table[(crc >> 8) ^ byte]);
}

// A run of bytes into a CRC-16 register: the same value as feeding them one by one, eight at a time.
uint16_t UpdateCrc16(uint16_t crc, const uint8_t* data, size_t length);

// The CRC-32 table: entry i is the CRC-32 of the single byte i with a zero start value.
using Crc32Table = std::array<uint32_t, 256>;
Crc32Table BuildCrc32Table();

// One byte into a CRC-32 register (start 0xFFFFFFFF; the value sent is the complement).
inline uint32_t UpdateCrc32(const Crc32Table& table, uint32_t crc, uint8_t byte) {
    return table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
}

// A run of bytes into a CRC-32 register (the register, not the complement sent).
uint32_t UpdateCrc32(uint32_t crc, const uint8_t* data, size_t length);
