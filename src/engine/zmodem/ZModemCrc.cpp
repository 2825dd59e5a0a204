#include "engine/zmodem/ZModemCrc.h"

uint16_t UpdateCrc16(uint16_t crc, uint8_t byte) {
    // The register holds the remainder of the data so far; the two zero bytes of the textbook
    // shift-in form are folded in, so the register is the value to send at every step.
    crc ^= static_cast<uint16_t>(byte) << 8;
    for (int bit = 0; bit < 8; ++bit)
        crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x1021) : static_cast<uint16_t>(crc << 1);
    return crc;
}

Crc32Table BuildCrc32Table() {
    Crc32Table table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t value = i;
        for (int bit = 0; bit < 8; ++bit)
            value = (value & 1) ? (value >> 1) ^ 0xEDB88320u : value >> 1;
        table[i] = value;
    }
    return table;
}
