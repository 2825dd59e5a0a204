// The S-record reader and image layout of the conversion: record types, every gap size, lower addresses,
// and the faults a damaged file can carry (checksums, digits, lengths, stray text, record counts), each
// with the image as far as it was written.
#include "engine/download/SrecConverter.h"
#include "support/ImageTestBytes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using EResult = CSrecConverter::EResult;

// One S-record line of the type with its address (of the type's width), data and a correct checksum;
// checksumDelta spoils the checksum.
std::string Record(char type, uint32_t address, const Bytes& data, int checksumDelta = 0) {
    const size_t addressBytes = type == '2' || type == '6' || type == '8' ? 3
                                : type == '3' || type == '7'              ? 4
                                                                          : 2;
    Bytes body;
    for (size_t i = addressBytes; i-- > 0;)
        body.push_back(static_cast<uint8_t>(address >> (8 * i)));
    body.insert(body.end(), data.begin(), data.end());
    const unsigned count = static_cast<unsigned>(body.size() + 1);
    unsigned sum = count;
    std::string line = "S";
    line += type;
    char hex[3];
    std::snprintf(hex, sizeof(hex), "%02X", count);
    line += hex;
    for (uint8_t byte : body) {
        std::snprintf(hex, sizeof(hex), "%02X", byte);
        line += hex;
        sum += byte;
    }
    std::snprintf(hex, sizeof(hex), "%02X", static_cast<unsigned>((~sum + checksumDelta) & 0xFF));
    return line + hex + "\n";
}

Bytes Pattern(size_t count, uint8_t seed) {
    Bytes bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>(seed + i * 7);
    return bytes;
}

Bytes AddressRecord(uint32_t address) {
    return ImageRecordBytes(address);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

struct Conversion {
    EResult result;
    Bytes image;
    std::string error;
    int steps = 0;
};

// Converts text read in chunks of the given size (0: all at once).
Conversion Convert(const std::string& text, size_t chunk = 0) {
    CImageMemorySource input(Bytes(text.begin(), text.end()), chunk);
    CImageMemorySink output;
    CSrecConverter converter(input, output);
    Conversion conversion{};
    conversion.result = converter.Convert([&conversion] { ++conversion.steps; });
    conversion.image = output.Bytes();
    conversion.error = converter.ErrorText();
    return conversion;
}

TEST(SrecConverter, HeaderDataAndTerminationGiveTheAddressRecordAndTheData) {
    const Bytes data = Pattern(16, 1);
    const std::string text = "S00600004844521B\n" + Record('1', 0x0000, data) + "S9030000FC\n";
    const Conversion conversion = Convert(text);
    EXPECT_EQ(conversion.result, EResult::Ok);
    EXPECT_EQ(conversion.image, Concat({{0x7E, 0x4D, 0x52, 0x3A, 0, 0, 0, 0, 0x3A}, data}));
    EXPECT_EQ(conversion.image.size(), 25u);
    EXPECT_TRUE(conversion.error.empty());
}

TEST(SrecConverter, EmptyInputGivesAnEmptyImageWithoutMessage) {
    const Conversion conversion = Convert("");
    EXPECT_EQ(conversion.result, EResult::Ok);
    EXPECT_TRUE(conversion.image.empty());
    EXPECT_TRUE(conversion.error.empty());
}

TEST(SrecConverter, RecordsWithoutDataGiveOneAddressRecord) {
    const Conversion conversion = Convert("S103E8888C\nS103E8888C\n");
    EXPECT_EQ(conversion.result, EResult::Ok);
    EXPECT_EQ(conversion.image, (Bytes{0x7E, 0x4D, 0x52, 0x3A, 0, 0, 0xE8, 0x88, 0x3A}));
}

TEST(SrecConverter, GapsOfEachSizeClass) {
    const Bytes first = Pattern(16, 3);
    const Bytes second = Pattern(4, 90);
    struct Case {
        uint32_t secondAddress;
        Bytes between;
    };
    const Case cases[] = {
        {0x1010, {}},                                              // contiguous: one run
        {0x1011, Bytes(1, 0xFF)},                                  // 1 byte: fill only
        {0x1015, Bytes(5, 0xFF)},                                  // 5 bytes: fill only
        {0x1018, Bytes(8, 0xFF)},                                  // 8 bytes: the largest without record
        {0x1019, Concat({Bytes(9, 0xFF), AddressRecord(0x1019)})}, // 9 bytes: fill and a record
        {0x1010 + 252, Concat({Bytes(252, 0xFF), AddressRecord(0x110C)})}, // 252: all of it filled
        {0x1010 + 253, Concat({Bytes(252, 0xFF), AddressRecord(0x110D)})}, // more: 252 filled
        {0x2000, Concat({Bytes(252, 0xFF), AddressRecord(0x2000)})},
    };
    for (const Case& c : cases) {
        const Conversion conversion =
            Convert(Record('1', 0x1000, first) + Record('1', c.secondAddress, second));
        EXPECT_EQ(conversion.result, EResult::Ok);
        EXPECT_EQ(conversion.image, Concat({AddressRecord(0x1000), first, c.between, second}))
            << std::hex << c.secondAddress;
    }
}

TEST(SrecConverter, TwentyFourAndThirtyTwoBitRecordsAndTheTopOfTheAddressSpace) {
    const Bytes data = Pattern(10, 5);
    Conversion conversion = Convert(Record('2', 0x1E0000, data) + Record('3', 0x1E000A, data));
    EXPECT_EQ(conversion.result, EResult::Ok);
    EXPECT_EQ(conversion.image, Concat({AddressRecord(0x1E0000), data, data}));

    // Addresses with the top bit set are read as they are, not as a saturated signed number.
    conversion = Convert(Record('3', 0x80000000, data) + Record('3', 0xFFFFFFF6, data));
    EXPECT_EQ(conversion.result, EResult::Ok);
    EXPECT_EQ(conversion.image,
              Concat({AddressRecord(0x80000000), data, Bytes(252, 0xFF), AddressRecord(0xFFFFFFF6), data}));

    // Data running past the last address cannot be placed.
    conversion = Convert(Record('3', 0xFFFFFFF7, data));
    EXPECT_EQ(conversion.result, EResult::BadRecord);
    EXPECT_TRUE(conversion.image.empty());
}

TEST(SrecConverter, LowerAddressStopsAndKeepsWhatCameBefore) {
    const Bytes half = Pattern(128, 9);
    const std::string text = Record('2', 0x1E0000, half) + Record('2', 0x1E0080, half) +
                             Record('2', 0x1E0000, half) + Record('2', 0x1E0100, half);
    const Conversion conversion = Convert(text);
    EXPECT_EQ(conversion.result, EResult::LowerAddress);
    EXPECT_EQ(conversion.error,
              "Address Jump to lower address detected!\nThis is not allowed!\n(0x1E0100 --> 0x1E0000 )");
    EXPECT_EQ(conversion.image, Concat({AddressRecord(0x1E0000), half, half}));
}

TEST(SrecConverter, RecordsWithoutDataAndWithTheLargestCount) {
    // A record without data sets the next free address to its own address.
    Conversion conversion = Convert(Record('1', 0x100, {}) + Record('1', 0x104, {1, 2}));
    EXPECT_EQ(conversion.result, EResult::Ok);
    EXPECT_EQ(conversion.image, Concat({AddressRecord(0x100), Bytes(4, 0xFF), {1, 2}}));

    // Byte count 0xFF: 252 data bytes in an S1 record, 250 in an S3 record.
    const Bytes big = Pattern(252, 11);
    const Bytes big3 = Pattern(250, 12);
    conversion = Convert(Record('1', 0x0000, big) + Record('3', 0x00FC, big3));
    EXPECT_EQ(conversion.result, EResult::Ok);
    EXPECT_EQ(conversion.image, Concat({AddressRecord(0), big, big3}));
}

TEST(SrecConverter, LineEndsCaseAndChunkedReading) {
    const Bytes data = Pattern(32, 13);
    std::string crlf = Record('1', 0x4000, data);
    crlf.insert(crlf.size() - 1, "\r");
    std::string lower = Record('2', 0x4020, data);
    for (char& c : lower)
        if (c != 'S')
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::string text = crlf + "\n\n" + lower + "S5030002FA\r\n\x1A";
    for (size_t chunk : {0u, 1u, 2u, 3u, 7u}) {
        const Conversion conversion = Convert(text, chunk);
        EXPECT_EQ(conversion.result, EResult::Ok) << chunk << conversion.error;
        EXPECT_EQ(conversion.image, Concat({AddressRecord(0x4000), data, data})) << chunk;
    }
}

TEST(SrecConverter, FirstCharacterMustBeTheRecordMark) {
    const std::vector<std::string> texts = {"\n" + Record('1', 0, {1}), " S1", "hello", "\xEF\xBB\xBFS1"};
    for (const std::string& text : texts) {
        const Conversion conversion = Convert(text);
        EXPECT_EQ(conversion.result, EResult::UnknownFormat);
        EXPECT_EQ(conversion.error, "Unknown file format.");
        EXPECT_TRUE(conversion.image.empty());
    }
}

TEST(SrecConverter, WrongChecksumStopsWithItsLineAndKeepsTheRecordsBefore) {
    const Bytes data = Pattern(16, 17);
    const std::string text = "S00600004844521B\n" + Record('1', 0x1000, data) + Record('1', 0x1010, data, 1) +
                             Record('1', 0x1020, data);
    const Conversion conversion = Convert(text);
    EXPECT_EQ(conversion.result, EResult::BadChecksum);
    EXPECT_EQ(conversion.error, "Checksum error in line 3 of the input file.");
    EXPECT_EQ(conversion.image, Concat({AddressRecord(0x1000), data}));

    // Header and termination records are checked as well.
    EXPECT_EQ(Convert("S00600004844521C\n").result, EResult::BadChecksum);
    EXPECT_EQ(Convert(Record('1', 0, data) + "S9030000FD\n").result, EResult::BadChecksum);
}

TEST(SrecConverter, DamagedLinesAreNamedAndNothingOfThemIsWritten) {
    const Bytes data = Pattern(8, 19);
    const std::string good = Record('1', 0x2000, data);
    const Bytes goodImage = Concat({AddressRecord(0x2000), data});
    std::string badDigit = Record('1', 0x2008, data);
    badDigit[12] = 'G';
    std::string truncated = Record('1', 0x2008, data);
    truncated = truncated.substr(0, 15);
    const std::string cases[] = {
        badDigit,                // a character that is no hex digit
        truncated,               // the input ends inside the record
        truncated + "\n" + good, // the line ends before its byte count is met
        "S1020000FD\n",          // a byte count too small for address and checksum
        "S4050000000000FA\n",    // a reserved record type
        "SX\n",                  // no type at all
        "S",                     // the input ends after the mark
        "garbage\n",             // stray text between records
    };
    for (const std::string& bad : cases) {
        const Conversion conversion = Convert(good + bad);
        EXPECT_EQ(conversion.result, EResult::BadRecord) << bad;
        EXPECT_EQ(conversion.error, "Line 2 of the input file is not a valid S-record.") << bad;
        EXPECT_EQ(conversion.image, goodImage) << bad;
    }
}

TEST(SrecConverter, RecordCountMustMatchTheDataRecordsBeforeIt) {
    const Bytes data = Pattern(4, 21);
    const std::string two = Record('1', 0, data) + Record('1', 4, data);
    EXPECT_EQ(Convert(two + Record('5', 2, {})).result, EResult::Ok);
    EXPECT_EQ(Convert(two + Record('6', 2, {})).result, EResult::Ok);
    // A lost line shows in the count.
    const Conversion conversion = Convert(Record('1', 0, data) + Record('5', 2, {}));
    EXPECT_EQ(conversion.result, EResult::BadCount);
    EXPECT_EQ(
        conversion.error,
        "The record count in line 2 of the input file (2) does not match the 1 data records before it.");
    EXPECT_EQ(conversion.image, Concat({AddressRecord(0), data}));
}

TEST(SrecConverter, DataHoldingTheRecordMarkerIsRefused) {
    const Conversion conversion =
        Convert(Record('1', 0x10, {1, 2}) + Record('1', 0x12, {0x7E, 'M'}) + Record('1', 0x14, {'R', ':'}));
    EXPECT_EQ(conversion.result, EResult::MarkerInData);
    EXPECT_NE(conversion.error.find("0x12"), std::string::npos) << conversion.error;
    EXPECT_EQ(conversion.image, Concat({AddressRecord(0x10), {1, 2, 0x7E, 'M'}}));
}

TEST(SrecConverter, ProgressStepsOnceForEachTenThousandAndOneCharactersAtRecordStarts) {
    // 40-character lines: a step at the first record start after more than 10000 characters.
    std::string text;
    uint32_t address = 0;
    while (text.size() < 100000) {
        text += Record('1', address, Pattern(16, 1)); // 4 + 4 + 32 + 2 + newline = 43 characters
        address += 16;
    }
    const Conversion conversion = Convert(text, 4096);
    EXPECT_EQ(conversion.result, EResult::Ok);
    // Each step stands for at least 10001 characters, and no step is missed by more than one record.
    EXPECT_LE(conversion.steps, static_cast<int>((text.size() + 2) / 10001));
    EXPECT_GE(conversion.steps, static_cast<int>(text.size() / (10001 + 43)));
    EXPECT_EQ(Convert(Record('1', 0, Pattern(16, 1))).steps, 0);
}

} // namespace
