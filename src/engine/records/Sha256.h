// SHA-256 of bytes and of files, so that a service record names exactly the file that reached a
// controller.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class CSha256 {
public:
    CSha256();
    void Update(const uint8_t* data, size_t length);
    // The digest; the object must not be updated afterwards.
    std::array<uint8_t, 32> Final();

    // Lower-case hexadecimal digest of a whole file; false when it cannot be read.
    static bool HexOfFile(const std::string& path, std::string& hex);
    static std::string Hex(const std::array<uint8_t, 32>& digest);

private:
    void Block(const uint8_t* block);

    uint32_t m_state[8];
    uint8_t m_buffer[64];
    size_t m_nBuffered = 0;
    uint64_t m_nLength = 0;
};
