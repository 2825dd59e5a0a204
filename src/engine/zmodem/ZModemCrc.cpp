#include "engine/zmodem/ZModemCrc.h"

#include <algorithm>
#include <zlib.h>

namespace {

// Slice k, entry b: the CRC-16 register after feeding the byte b and then k zero bytes into a zero
// register. Eight bytes then cost eight independent lookups instead of a chain of eight.
using Crc16Slices = std::array<std::array<uint16_t, 256>, 8>;
constexpr Crc16Slices MakeCrc16Slices() {
    Crc16Slices slices{};
    slices[0] = kCrc16Table;
    for (size_t k = 1; k < slices.size(); ++k)
        for (unsigned b = 0; b < 256; ++b)
            slices[k][b] = UpdateCrc16(slices[k - 1][b], 0);
    return slices;
}
constexpr Crc16Slices kCrc16Slices = MakeCrc16Slices();

} // namespace

uint16_t UpdateCrc16(uint16_t crc, const uint8_t* data, size_t length) {
    const auto& t = kCrc16Slices;
    for (; length >= 8; data += 8, length -= 8) {
        // The register's two bytes fold into the first two data bytes.
        crc = static_cast<uint16_t>(t[7][data[0] ^ (crc >> 8)] ^ t[6][data[1] ^ (crc & 0xFF)] ^
                                    t[5][data[2]] ^ t[4][data[3]] ^ t[3][data[4]] ^ t[2][data[5]] ^
                                    t[1][data[6]] ^ t[0][data[7]]);
    }
    for (; length > 0; ++data, --length)
        crc = UpdateCrc16(crc, *data);
    return crc;
}

uint32_t UpdateCrc32(uint32_t crc, const uint8_t* data, size_t length) {
    // zlib takes and gives the complemented value; its table-free folding is many times faster.
    while (length > 0) {
        const uInt part = static_cast<uInt>(std::min<size_t>(length, 1u << 30));
        crc = ~static_cast<uint32_t>(::crc32(~crc & 0xFFFFFFFFu, data, part));
        data += part;
        length -= part;
    }
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
