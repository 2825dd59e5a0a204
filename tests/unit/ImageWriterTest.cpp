// The image writer's layout rules (first record, gap fill, new records, the lower-address refusal) and its
// refusal of data runs that would hold the record marker.
#include "engine/download/ImageWriter.h"
#include "support/ImageTestBytes.h"

#include <gtest/gtest.h>

namespace {

using EResult = CImageWriter::EResult;

std::string Data(size_t count, char first = 'a') {
    std::string data;
    for (size_t i = 0; i < count; ++i)
        data += static_cast<char>(first + i % 26);
    return data;
}

EResult Put(CImageWriter& writer, uint32_t address, const std::string& data) {
    return writer.Put(address, reinterpret_cast<const uint8_t*>(data.data()), data.size());
}

std::string Text(const CImageMemorySink& sink) {
    return std::string(sink.Bytes().begin(), sink.Bytes().end());
}

TEST(ImageWriter, LaysOutGapsByTheirSize) {
    struct Case {
        const char* name;
        uint32_t second;        // address of the second piece; the first is 16 bytes at 0x1000
        std::string afterFirst; // what follows the first piece's bytes
    };
    const std::string second = Data(4, 'p');
    const Case cases[] = {
        {"continues", 0x1010, second},
        {"one byte above", 0x1011, std::string(1, '\xFF') + second},
        {"five above", 0x1015, std::string(5, '\xFF') + second},
        {"eight above", 0x1018, std::string(8, '\xFF') + second},
        {"nine above", 0x1019, std::string(9, '\xFF') + ImageRecord(0x1019) + second},
        {"252 above", 0x1010 + 252, std::string(252, '\xFF') + ImageRecord(0x1010 + 252) + second},
        {"253 above", 0x1010 + 253, std::string(252, '\xFF') + ImageRecord(0x1010 + 253) + second},
        {"far above", 0x2000, std::string(252, '\xFF') + ImageRecord(0x2000) + second},
        {"top of the address space", 0xFFFFFFF0, std::string(252, '\xFF') + ImageRecord(0xFFFFFFF0) + second},
    };
    for (const Case& c : cases) {
        CImageMemorySink sink;
        CImageWriter writer(sink);
        ASSERT_EQ(Put(writer, 0x1000, Data(16)), EResult::Ok);
        ASSERT_EQ(Put(writer, c.second, second), EResult::Ok) << c.name;
        EXPECT_EQ(Text(sink), ImageRecord(0x1000) + Data(16) + c.afterFirst) << c.name;
        EXPECT_EQ(writer.NextFree(), uint64_t{c.second} + 4) << c.name;
    }
}

TEST(ImageWriter, FirstPieceGetsItsRecordWithoutFill) {
    CImageMemorySink sink;
    CImageWriter writer(sink);
    EXPECT_FALSE(writer.HasNextFree());
    ASSERT_EQ(Put(writer, 0, Data(16)), EResult::Ok);
    const std::vector<uint8_t> expected{0x7E, 0x4D, 0x52, 0x3A, 0, 0, 0, 0, 0x3A};
    EXPECT_EQ(std::vector<uint8_t>(sink.Bytes().begin(), sink.Bytes().begin() + 9), expected);
    EXPECT_EQ(sink.Bytes().size(), 25u);

    // An empty piece still places its record, and the next free address stays at it.
    CImageMemorySink emptySink;
    CImageWriter emptyWriter(emptySink);
    ASSERT_EQ(Put(emptyWriter, 0x500, ""), EResult::Ok);
    EXPECT_EQ(emptyWriter.NextFree(), 0x500u);
    ASSERT_EQ(Put(emptyWriter, 0x503, "z"), EResult::Ok);
    EXPECT_EQ(Text(emptySink), ImageRecord(0x500) + "\xFF\xFF\xFFz");
}

TEST(ImageWriter, RefusesALowerAddressAndWritesNothingMore) {
    CImageMemorySink sink;
    CImageWriter writer(sink);
    ASSERT_EQ(Put(writer, 0x1E0000, Data(0x100)), EResult::Ok);
    const size_t before = sink.Bytes().size();
    EXPECT_EQ(Put(writer, 0x1E0000, "x"), EResult::LowerAddress);
    EXPECT_EQ(writer.ErrorText(),
              "Address Jump to lower address detected!\nThis is not allowed!\n(0x1E0100 --> 0x1E0000 )");
    EXPECT_EQ(Put(writer, 0x1E00FF, "x"), EResult::LowerAddress);
    EXPECT_EQ(sink.Bytes().size(), before);
    EXPECT_EQ(writer.NextFree(), 0x1E0100u);
    // The same address as the next free one is no jump.
    EXPECT_EQ(Put(writer, 0x1E0100, "x"), EResult::Ok);
}

TEST(ImageWriter, RefusesTheRecordMarkerInsideADataRun) {
    struct Case {
        const char* name;
        uint32_t secondAddress; // the first piece is "ab~M" at 0x100 (next free 0x104)
        std::string second;
        EResult result;
    };
    const Case cases[] = {
        {"marker inside one piece", 0x200, "xx~MR:yy", EResult::MarkerInData},
        {"marker at a piece's start", 0x200, "~MR:", EResult::MarkerInData},
        {"marker across two pieces", 0x104, "R:", EResult::MarkerInData},
        {"marker across a piece and a later one", 0x104, "R", EResult::Ok},
        {"fill breaks the marker", 0x105, "R:", EResult::Ok},
        {"a new record breaks the marker", 0x200, "R:", EResult::Ok},
        {"~MR without the colon", 0x104, "R;~MR", EResult::Ok},
        {"colon address bytes are no data", 0x3A3A3A3A, "::::", EResult::Ok},
    };
    for (const Case& c : cases) {
        CImageMemorySink sink;
        CImageWriter writer(sink);
        ASSERT_EQ(Put(writer, 0x100, "ab~M"), EResult::Ok);
        const size_t before = sink.Bytes().size();
        EXPECT_EQ(Put(writer, c.secondAddress, c.second), c.result) << c.name;
        if (c.result == EResult::MarkerInData) {
            EXPECT_EQ(sink.Bytes().size(), before) << c.name;
            EXPECT_NE(writer.ErrorText().find("~MR:"), std::string::npos) << c.name;
        }
    }
    // The tail is kept across several short pieces.
    CImageMemorySink sink;
    CImageWriter writer(sink);
    ASSERT_EQ(Put(writer, 0x10, "~"), EResult::Ok);
    ASSERT_EQ(Put(writer, 0x11, "M"), EResult::Ok);
    ASSERT_EQ(Put(writer, 0x12, "R"), EResult::Ok);
    EXPECT_EQ(Put(writer, 0x13, ":"), EResult::MarkerInData);
    EXPECT_EQ(writer.ErrorText(),
              "The data at 0x10 holds the image record marker \"~MR:\" and cannot be stored in an image.");
}

TEST(ImageWriter, ReportsAFailingSink) {
    class CFullSink : public IImageByteSink {
    public:
        bool Write(const uint8_t*, size_t) override { return false; }
    } full;
    CImageWriter writer(full);
    EXPECT_EQ(Put(writer, 0x10, "abc"), EResult::WriteFailed);
    EXPECT_FALSE(writer.HasNextFree());

    CImageFileSink file;
    EXPECT_FALSE(file.Create("/nonexistent-folder/x.img"));
}

} // namespace
