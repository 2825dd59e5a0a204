// Writer and readers held against each other: random sparse memory layouts (gaps of every kind,
// addresses holding 0x3A bytes, data full of 0x7E, "MR" and "~MR" but never "~MR:") are written as images,
// read back by the transfer pass, and must give the same memory, the fill included; the analysis pass must
// see every record the transfer pass sees.
#include "engine/download/ImageAnalysis.h"
#include "engine/download/ImageFormat.h"
#include "engine/download/ImageReader.h"
#include "engine/download/ImageWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>

namespace {

using Memory = std::map<uint64_t, uint8_t>;

struct Layout {
    std::vector<uint8_t> image;
    Memory memory; // what the image must program, fill bytes included
};

std::vector<uint8_t> RandomData(std::mt19937& random, size_t length) {
    static const char* const kPieces[] = {"~", "~M", "~MR", "MR", "MR:", ":", "~~", "M", "R:"};
    std::vector<uint8_t> data;
    while (data.size() < length) {
        if (random() % 4 == 0) {
            const char* piece = kPieces[random() % std::size(kPieces)];
            data.insert(data.end(), piece, piece + std::strlen(piece));
        } else {
            data.push_back(static_cast<uint8_t>(random()));
        }
    }
    data.resize(length);
    return data;
}

uint32_t RandomStart(std::mt19937& random) {
    static const uint32_t kStarts[] = {0x0,      0x10000,  0x3A3A00, 0x1D0000,
                                       0x1DFFF0, 0x1E0000, 0xFF0000, 0x3A003A00};
    return kStarts[random() % std::size(kStarts)] + random() % 64;
}

uint32_t RandomGap(std::mt19937& random) {
    switch (random() % 6) {
    case 0:
        return 0;
    case 1:
        return 1 + random() % 8;
    case 2:
        return 9 + random() % 244;
    case 3:
        return 253 + random() % 2000;
    case 4:
        return 0x3A3A + random() % 0x100; // a jump that often leaves 0x3A bytes in the address
    default:
        return 0x10000 + random() % 0x40000;
    }
}

Layout MakeLayout(unsigned seed, unsigned& markerFixes) {
    std::mt19937 random(seed);
    Layout layout;
    CImageMemorySink sink;
    CImageWriter writer(sink);
    uint64_t address = RandomStart(random);
    bool bFirst = true;
    const unsigned pieces = 1 + random() % 40;
    for (unsigned i = 0; i < pieces && address < 0xFFFF0000u; ++i) {
        if (!bFirst)
            address = writer.NextFree() + RandomGap(random);
        std::vector<uint8_t> data = RandomData(random, random() % 5 == 0 ? 0 : random() % 700);
        CImageWriter::EResult result = writer.Put(static_cast<uint32_t>(address), data.data(), data.size());
        if (result == CImageWriter::EResult::MarkerInData) {
            // Break every "~MR:" the run could form: colons right after "~MR" and near the piece's start.
            ++markerFixes;
            for (size_t k = 0; k < data.size(); ++k) {
                if (data[k] == ':' && (k < 3 || std::memcmp(&data[k - 3], "~MR", 3) == 0))
                    data[k] = ';';
            }
            result = writer.Put(static_cast<uint32_t>(address), data.data(), data.size());
        }
        EXPECT_EQ(result, CImageWriter::EResult::Ok) << writer.ErrorText();
        bFirst = false;
        for (size_t k = 0; k < data.size(); ++k)
            layout.memory[address + k] = data[k];
    }
    layout.image = sink.Bytes();
    return layout;
}

// The memory an image programs, read by the transfer pass the way the download sends it; the record
// addresses in order.
bool ReadBack(const std::vector<uint8_t>& image, size_t chunk, Memory& memory,
              std::vector<uint32_t>& records) {
    CImageMemorySource source(image, chunk);
    CImageReader reader(source);
    uint8_t block[kImageBlockBytes];
    bool bHaveAddress = false;
    uint64_t address = 0;
    for (;;) {
        size_t length = 0;
        const CImageReader::EStop stop = reader.Fill(block, sizeof(block), length);
        if (length > 0 && !bHaveAddress)
            return false; // data without an address
        for (size_t k = 0; k < length; ++k)
            memory[address++] = block[k];
        switch (stop) {
        case CImageReader::EStop::BlockFull:
            continue;
        case CImageReader::EStop::Address:
            records.push_back(reader.Address());
            address = reader.Address();
            bHaveAddress = true;
            continue;
        case CImageReader::EStop::End:
            return reader.Consumed() == image.size();
        default:
            return false;
        }
    }
}

TEST(ImageRoundTrip, RandomSparseLayoutsReadBackByteForByte) {
    unsigned markerFixes = 0;
    unsigned colonRecords = 0;
    unsigned falseMarkers = 0;
    for (unsigned seed = 1; seed <= 60; ++seed) {
        Layout layout = MakeLayout(seed, markerFixes);
        Memory memory;
        std::vector<uint32_t> records;
        ASSERT_TRUE(ReadBack(layout.image, 0, memory, records)) << "seed " << seed;

        // Every written byte came back at its address; what else came back is fill.
        for (const auto& [address, byte] : layout.memory) {
            const auto found = memory.find(address);
            ASSERT_NE(found, memory.end()) << "seed " << seed << " address " << address;
            ASSERT_EQ(found->second, byte) << "seed " << seed << " address " << address;
        }
        size_t fill = 0;
        for (const auto& [address, byte] : memory) {
            if (layout.memory.count(address) == 0) {
                ASSERT_EQ(byte, kImageFillByte) << "seed " << seed << " address " << address;
                ++fill;
            }
        }
        EXPECT_EQ(layout.memory.size() + fill, memory.size());

        // Cut differently, the same result.
        Memory again;
        std::vector<uint32_t> recordsAgain;
        ASSERT_TRUE(ReadBack(layout.image, 1 + seed % 7, again, recordsAgain)) << "seed " << seed;
        EXPECT_EQ(again, memory) << "seed " << seed;
        EXPECT_EQ(recordsAgain, records) << "seed " << seed;

        // The analysis sees each record the transfer sees, in both region tables.
        for (int state : {1, 2}) {
            int expected = 0;
            for (uint32_t address : records)
                expected |= ImageRegionOfAddress(address, state);
            CImageMemorySource source(layout.image);
            EXPECT_EQ(AnalyzeImageRegions(source, state), expected) << "seed " << seed << " state " << state;
        }

        for (uint32_t address : records) {
            for (int shift = 0; shift < 32; shift += 8)
                colonRecords += ((address >> shift) & 0xFF) == 0x3A;
        }
        for (size_t k = 0; k + 3 < layout.image.size(); ++k)
            falseMarkers += layout.image[k] == 0x7E && std::memcmp(&layout.image[k + 1], "MR", 2) == 0 &&
                            layout.image[k + 3] != ':';
    }
    // The generator really produced the awkward cases.
    EXPECT_GT(markerFixes, 0u);
    EXPECT_GT(colonRecords, 20u);
    EXPECT_GT(falseMarkers, 20u);
}

} // namespace
