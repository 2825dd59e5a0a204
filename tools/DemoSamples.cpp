// Writes the demo's sample files into a folder at build time: an S-record file of an application, the
// image converted from it, and a configuration file, so a newcomer has something to load and convert.
#include "engine/download/ImageSource.h"
#include "engine/download/SrecConverter.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kApplicationAddress = 0x001E0000; // the application area, in the BIOS and the bootstrap
constexpr size_t kApplicationBytes = 48 * 1024;
constexpr size_t kRecordBytes = 32;

// One S-record: type, the bytes after the count (address and data), the checksum.
std::string Record(char type, const std::vector<uint8_t>& body) {
    char hex[4];
    std::string line = std::string("S") + type;
    const uint8_t count = static_cast<uint8_t>(body.size() + 1);
    unsigned sum = count;
    std::snprintf(hex, sizeof hex, "%02X", count);
    line += hex;
    for (uint8_t byte : body) {
        std::snprintf(hex, sizeof hex, "%02X", byte);
        line += hex;
        sum += byte;
    }
    std::snprintf(hex, sizeof hex, "%02X", ~sum & 0xFF);
    return line + hex + "\n";
}

std::vector<uint8_t> Address32(uint32_t address) {
    return {uint8_t(address >> 24), uint8_t(address >> 16), uint8_t(address >> 8), uint8_t(address)};
}

bool WriteText(const std::string& path, const std::string& text) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (!file)
        return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: dravik-demo-samples FOLDER\n");
        return 64;
    }
    const std::string folder = argv[1];
    const std::string srecPath = folder + "/dxu-application.bin";
    const std::string imagePath = folder + "/dxu-application.img";

    std::string srec = Record('0', {0, 0, 'D', 'X', 'U', ' ', 'd', 'e', 'm', 'o'});
    for (size_t offset = 0; offset < kApplicationBytes; offset += kRecordBytes) {
        std::vector<uint8_t> body = Address32(kApplicationAddress + uint32_t(offset));
        for (size_t i = 0; i < kRecordBytes; ++i) {
            // A varied pattern that never holds the image's record marker '~'.
            const uint8_t byte = uint8_t((offset + i) * 31 + ((offset + i) >> 9));
            body.push_back(byte == '~' ? uint8_t('-') : byte);
        }
        srec += Record('3', body);
    }
    srec += Record('7', Address32(kApplicationAddress));
    if (!WriteText(srecPath, srec)) {
        std::perror(srecPath.c_str());
        return 1;
    }

    CImageFileSource input;
    CImageFileSink output;
    if (!input.Open(srecPath) || !output.Create(imagePath)) {
        std::perror(imagePath.c_str());
        return 1;
    }
    CSrecConverter converter(input, output);
    if (converter.Convert() != CSrecConverter::EResult::Ok || !output.Close()) {
        std::fprintf(stderr, "%s: %s\n", imagePath.c_str(), converter.ErrorText().c_str());
        return 1;
    }

    const std::string config = "; DXU demo configuration\n"
                               "[controller]\nname=Demo line 1\naddress=1\n"
                               "[rs232]\nbaud=19200\nmode=application\n";
    if (!WriteText(folder + "/config.dat", config)) {
        std::perror((folder + "/config.dat").c_str());
        return 1;
    }
    return 0;
}
