// The conversion fed by the real srec_cat: random layouts written as S1, S2 and S3 records with random
// line lengths and gaps of every size class come back, read with the image reader, as the same memory
// (with only 0xFF fill in short gaps). Damaged srec_cat output and out-of-order input give their messages
// and keep the image as far as it went.
#include "SimFlashTestSupport.h"
#include "engine/app/DravikApp.h"
#include "engine/download/ImageReader.h"
#include "engine/download/ImageSource.h"
#include "support/TestUserInterface.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <random>

namespace {

using Bytes = std::vector<uint8_t>;
using Memory = std::map<uint64_t, uint8_t>;

struct Piece {
    uint32_t nAddress;
    Bytes data;
};

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string Hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof(text), "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

// srec_cat writes the pieces as S-records with the given address length (2, 3 or 4 bytes: S1, S2, S3)
// and at most blockSize data bytes a line.
std::string SrecCat(CSimFlashTempDir& dir, const std::vector<Piece>& pieces, int addressLength, int blockSize,
                    const std::string& name) {
    std::vector<std::string> args{"srec_cat"};
    for (size_t i = 0; i < pieces.size(); ++i) {
        const std::string piece = dir.File(name + "-piece" + std::to_string(i) + ".bin");
        WriteFile(piece, pieces[i].data);
        args.insert(args.end(), {piece, "-binary", "-offset", Hex(pieces[i].nAddress)});
    }
    const std::string out = dir.File(name + ".srec");
    args.insert(args.end(), {"-o", out, "-motorola", "-address-length=" + std::to_string(addressLength),
                             "-obs=" + std::to_string(blockSize)});
    EXPECT_EQ(RunProgram(args), 0) << "srec_cat for " << name;
    return out;
}

// The memory an image puts where, as the download's reader cuts it.
Memory ReadImage(const Bytes& image) {
    CImageMemorySource source(image);
    CImageReader reader(source);
    Memory memory;
    uint64_t address = 0;
    bool placed = false;
    for (;;) {
        uint8_t block[kImageBlockBytes];
        size_t length = 0;
        const CImageReader::EStop stop = reader.Fill(block, sizeof(block), length);
        EXPECT_TRUE(length == 0 || placed) << "data before the first address record";
        for (size_t i = 0; i < length; ++i)
            memory[address++] = block[i];
        if (stop == CImageReader::EStop::Address) {
            address = reader.Address();
            placed = true;
        } else if (stop == CImageReader::EStop::End) {
            return memory;
        } else if (stop != CImageReader::EStop::BlockFull) {
            ADD_FAILURE() << "image reader stopped with " << static_cast<int>(stop);
            return memory;
        }
    }
}

// Every byte of the layout is in the image at its address, and every other byte of the image is fill
// within a short gap right after the layout's data.
void ExpectSameMemory(const std::vector<Piece>& pieces, const Memory& image) {
    Memory layout;
    for (const Piece& piece : pieces)
        for (size_t i = 0; i < piece.data.size(); ++i)
            layout[uint64_t{piece.nAddress} + i] = piece.data[i];
    size_t mismatches = 0;
    for (const auto& [address, byte] : layout) {
        const auto found = image.find(address);
        if ((found == image.end() || found->second != byte) && ++mismatches < 5)
            ADD_FAILURE() << "layout byte at " << Hex(address) << " missing or different";
    }
    for (const auto& [address, byte] : image) {
        if (layout.count(address))
            continue;
        EXPECT_EQ(byte, 0xFF) << "extra byte at " << Hex(address);
        // The data the fill follows ends at most 252 bytes before.
        const auto before = layout.lower_bound(address);
        ASSERT_NE(before, layout.begin()) << "fill before all data at " << Hex(address);
        EXPECT_LE(address - std::prev(before)->first, 252u)
            << "fill too far from its data at " << Hex(address);
    }
    EXPECT_EQ(mismatches, 0u);
}

// Pieces from base upwards with gaps drawn from every class of the layout rules: none, 1 to 8, 9 to 252,
// above 252, and far.
std::vector<Piece> RandomLayout(std::mt19937& random, uint32_t base, uint64_t limit, bool farGaps) {
    std::vector<Piece> pieces;
    uint64_t address = base;
    const int count = std::uniform_int_distribution<int>(1, 14)(random);
    for (int i = 0; i < count; ++i) {
        const size_t length = std::uniform_int_distribution<size_t>(1, 700)(random);
        if (address + length > limit)
            break;
        Piece piece{static_cast<uint32_t>(address), Bytes(length)};
        for (uint8_t& byte : piece.data)
            byte = static_cast<uint8_t>(random());
        pieces.push_back(std::move(piece));
        address += length;
        switch (std::uniform_int_distribution<int>(0, farGaps ? 4 : 3)(random)) {
        case 0:
            address += std::uniform_int_distribution<int>(1, 8)(random);
            break;
        case 1:
            address += std::uniform_int_distribution<int>(9, 252)(random);
            break;
        case 2:
            address += std::uniform_int_distribution<int>(253, 3000)(random);
            break;
        case 3:
            break; // adjacent: srec_cat joins them into one run
        default:
            address += std::uniform_int_distribution<uint32_t>(0x10000, 0x400000)(random);
            break;
        }
    }
    return pieces;
}

class ConvertSrecCatTest : public ::testing::Test {
protected:
    // Converts the file with the application's conversion; the image's bytes.
    Bytes Convert(const std::string& input, bool expectOk = true) {
        const std::string output = m_dir.File("out" + std::to_string(m_nConversions++) + ".img");
        EXPECT_EQ(m_app.ConvertFile(input, output), expectOk) << input;
        return SimFlashReadFile(output);
    }

    CSimFlashTempDir m_dir;
    CTestUserInterface m_ui;
    CDravikApp m_app{&m_ui};
    int m_nConversions = 0;
};

TEST_F(ConvertSrecCatTest, RandomLayoutsRoundTripAsS1S2AndS3Records) {
    struct Mode {
        int nAddressLength;
        uint32_t nBaseLimit;
        uint64_t nLimit;
        bool bFarGaps;
    };
    const Mode modes[] = {
        {2, 0x1000, 0x10000, false},
        {3, 0x1E0000, 0x1000000, true},
        {4, 0x7FFFFF00, uint64_t{1} << 32, true}, // across the sign bit of a 32-bit address
    };
    std::mt19937 random(20240611);
    for (const Mode& mode : modes) {
        for (int round = 0; round < 4; ++round) {
            const uint32_t base = std::uniform_int_distribution<uint32_t>(0, mode.nBaseLimit)(random);
            const std::vector<Piece> pieces = RandomLayout(random, base, mode.nLimit, mode.bFarGaps);
            const int maxBlock = 254 - mode.nAddressLength;
            const int blockSize =
                round == 0 ? maxBlock : std::uniform_int_distribution<int>(1, maxBlock)(random);
            const std::string name =
                "layout" + std::to_string(mode.nAddressLength) + "-" + std::to_string(round);
            const std::string srec = SrecCat(m_dir, pieces, mode.nAddressLength, blockSize, name);
            const Bytes image = Convert(srec);
            SCOPED_TRACE(name + " block " + std::to_string(blockSize));
            ASSERT_FALSE(image.empty());
            ExpectSameMemory(pieces, ReadImage(image));
        }
    }
    EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(ConvertSrecCatTest, GapSizeClassesGiveFillAndRecordsAsLaidDown) {
    // A 16-byte run and a 4-byte run after gaps of each class.
    const Bytes first(16, 0x11);
    const Bytes second(4, 0x22);
    struct Case {
        uint32_t nGap;
        size_t nFill;
        bool bRecord;
    };
    for (const Case c : {Case{1, 1, false}, Case{8, 8, false}, Case{9, 9, true}, Case{252, 252, true},
                         Case{253, 252, true}, Case{0x10000, 252, true}}) {
        const std::vector<Piece> pieces{{0x1000, first}, {0x1010 + c.nGap, second}};
        const Bytes image = Convert(SrecCat(m_dir, pieces, 3, 16, "gap" + std::to_string(c.nGap)));
        Bytes expected{0x7E, 'M', 'R', ':', 0, 0, 0x10, 0, ':'};
        expected.insert(expected.end(), first.begin(), first.end());
        expected.insert(expected.end(), c.nFill, 0xFF);
        if (c.bRecord) {
            const uint32_t at = 0x1010 + c.nGap;
            expected.insert(expected.end(), {0x7E, 'M', 'R', ':', static_cast<uint8_t>(at >> 24),
                                             static_cast<uint8_t>(at >> 16), static_cast<uint8_t>(at >> 8),
                                             static_cast<uint8_t>(at), ':'});
        }
        expected.insert(expected.end(), second.begin(), second.end());
        EXPECT_EQ(image, expected) << "gap " << c.nGap;
    }
}

TEST_F(ConvertSrecCatTest, LowerAddressInJoinedFilesStopsWithBothAddresses) {
    const std::string high = SrecCat(m_dir, {{0x1E0000, Bytes(0x100, 0x33)}}, 3, 32, "high");
    const std::string low = SrecCat(m_dir, {{0x1E0000, Bytes(0x20, 0x44)}}, 3, 32, "low");
    // One file after the other, as a careless concatenation would make it.
    Bytes joined = SimFlashReadFile(high);
    const Bytes second = SimFlashReadFile(low);
    joined.insert(joined.end(), second.begin(), second.end());
    const std::string input = m_dir.File("joined.srec");
    WriteFile(input, joined);

    const Bytes image = Convert(input, false);
    EXPECT_EQ(m_ui.Messages(),
              std::vector<std::string>{"Address Jump to lower address detected!\nThis is not "
                                       "allowed!\n(0x1E0100 --> 0x1E0000 )"});
    // The first file's data stays in the image.
    Bytes expected{0x7E, 'M', 'R', ':', 0, 0x1E, 0, 0, ':'};
    expected.insert(expected.end(), 0x100, 0x33);
    EXPECT_EQ(image, expected);
}

TEST_F(ConvertSrecCatTest, DamagedSrecCatOutputStopsAtTheDamagedLine) {
    std::mt19937 random(7);
    Bytes data(64 * 5);
    for (uint8_t& byte : data)
        byte = static_cast<uint8_t>(random());
    const std::string srec = SrecCat(m_dir, {{0x4000, data}}, 2, 64, "clean");
    const Bytes clean = SimFlashReadFile(srec);
    std::string text(clean.begin(), clean.end());
    // Line 1 is srec_cat's header, lines 2 to 6 the data records, then the record count.
    const size_t line4 = text.find('\n', text.find('\n', text.find('\n') + 1) + 1) + 1;
    ASSERT_EQ(text.compare(line4, 2, "S1"), 0) << text;
    Bytes expectedKept{0x7E, 'M', 'R', ':', 0, 0, 0x40, 0, ':'};
    expectedKept.insert(expectedKept.end(), data.begin(), data.begin() + 128);

    struct Damage {
        std::string strName;
        std::string strText;
        std::string strMessage;
    };
    std::string flipped = text;
    flipped[line4 + 20] =
        flipped[line4 + 20] == '0' ? '1' : '0'; // one data digit: the checksum no longer fits
    std::string badDigit = text;
    badDigit[line4 + 20] = 'Z';
    std::string cut = text;
    cut.erase(line4 + 30, 10); // ten digits lost from the line
    std::string lost = text;
    lost.erase(line4, text.find('\n', line4) + 1 - line4); // the whole line lost: only the count shows it
    const Damage damages[] = {
        {"checksum", flipped, "Checksum error in line 4 of the input file."},
        {"digit", badDigit, "Line 4 of the input file is not a valid S-record."},
        {"short line", cut, "Line 4 of the input file is not a valid S-record."},
        {"lost line", lost,
         "The record count in line 6 of the input file (5) does not match the 4 data records before it."},
    };
    for (const Damage& damage : damages) {
        m_ui.Clear();
        const std::string input = m_dir.File("damaged-" + damage.strName + ".srec");
        WriteFile(input, Bytes(damage.strText.begin(), damage.strText.end()));
        const Bytes image = Convert(input, false);
        EXPECT_EQ(m_ui.Messages(), std::vector<std::string>{damage.strMessage}) << damage.strName;
        if (damage.strName == "lost line") {
            Bytes expected = expectedKept;
            expected.insert(expected.end(), 64, 0xFF);
            expected.insert(expected.end(), {0x7E, 'M', 'R', ':', 0, 0, 0x40, 0xC0, ':'});
            expected.insert(expected.end(), data.begin() + 192, data.end());
            EXPECT_EQ(image, expected) << damage.strName;
        } else {
            EXPECT_EQ(image, expectedKept) << damage.strName;
        }
    }
}

} // namespace
