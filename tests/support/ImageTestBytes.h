// Helpers for the image tests: byte strings written the way the format reads them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

inline std::vector<uint8_t> ImageBytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

// "~MR:" with the four address bytes and ":".
inline std::string ImageRecord(uint32_t address) {
    std::string record = "~MR:";
    for (int shift = 24; shift >= 0; shift -= 8)
        record += static_cast<char>((address >> shift) & 0xFF);
    return record + ":";
}

inline std::vector<uint8_t> ImageRecordBytes(uint32_t address) {
    return ImageBytes(ImageRecord(address));
}
