#include "sim/SimFlashDump.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr size_t kBytesPerRecord = 32;

// "S" type, count, the address and data bytes, checksum (ones' complement of the sum's low byte).
void AppendRecord(std::string& text, char type, const std::vector<uint8_t>& fields) {
    static const char kHex[] = "0123456789ABCDEF";
    const uint8_t count = static_cast<uint8_t>(fields.size() + 1);
    unsigned sum = count;
    text += 'S';
    text += type;
    auto hex = [&](uint8_t byte) {
        text += kHex[byte >> 4];
        text += kHex[byte & 0x0F];
    };
    hex(count);
    for (uint8_t byte : fields) {
        hex(byte);
        sum += byte;
    }
    hex(static_cast<uint8_t>(~sum));
    text += '\n';
}

std::vector<uint8_t> Address32(uint32_t address) {
    return {static_cast<uint8_t>(address >> 24), static_cast<uint8_t>(address >> 16),
            static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
}

} // namespace

std::string FormatSimFlashSRecords(const SimFlashRuns& runs) {
    std::string text;
    const char header[] = "dxu-sim flash";
    std::vector<uint8_t> headerFields{0, 0};
    headerFields.insert(headerFields.end(), header, header + std::strlen(header));
    AppendRecord(text, '0', headerFields);
    for (const auto& [start, bytes] : runs) {
        for (size_t offset = 0; offset < bytes.size(); offset += kBytesPerRecord) {
            std::vector<uint8_t> fields = Address32(static_cast<uint32_t>(start + offset));
            const size_t count = std::min(kBytesPerRecord, bytes.size() - offset);
            fields.insert(fields.end(), bytes.begin() + static_cast<long>(offset),
                          bytes.begin() + static_cast<long>(offset + count));
            AppendRecord(text, '3', fields);
        }
    }
    AppendRecord(text, '7', Address32(0));
    return text;
}

bool WriteSimFlashDump(const std::string& path, const SimFlashRuns& runs, std::string& error) {
    const std::string text = FormatSimFlashSRecords(runs);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = "cannot write the flash dump " + path + ": " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (std::fclose(file) != 0 || !written) {
        error = "cannot write the flash dump " + path;
        return false;
    }
    return true;
}
