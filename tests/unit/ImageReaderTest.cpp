// The transfer pass reader: how the stream is cut into data blocks and address records, what a false
// marker gives, the failures inside a record, and the consumed byte counts. Every case is also read with
// a source that hands out one byte per read, so that no rule depends on where the buffer is cut.
#include "engine/download/ImageReader.h"
#include "support/ImageTestBytes.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using EStop = CImageReader::EStop;

// Reads a whole image the way the download does (blocks of up to 252 bytes, flushed at every record) and
// describes it: "D252 D96 end", "D10 A00102030 D3 end", "unexpected-end"...
std::string Describe(const std::string& bytes, size_t chunk, uint64_t* consumed = nullptr) {
    CImageMemorySource source(ImageBytes(bytes), chunk);
    CImageReader reader(source);
    std::ostringstream out;
    uint8_t block[kImageBlockBytes];
    for (int guard = 0; guard < 100000; ++guard) {
        size_t length = 0;
        const EStop stop = reader.Fill(block, sizeof(block), length);
        if (length > 0)
            out << "D" << length << " ";
        if (consumed)
            *consumed = reader.Consumed();
        switch (stop) {
        case EStop::BlockFull:
            continue;
        case EStop::Address: {
            char text[16];
            std::snprintf(text, sizeof(text), "A%08X ", reader.Address());
            out << text;
            continue;
        }
        case EStop::End:
            return out.str() + "end";
        case EStop::UnexpectedEnd:
            return out.str() + "unexpected-end";
        case EStop::BadRecord:
            return out.str() + "bad-record";
        case EStop::ReadError:
            return out.str() + "read-error";
        }
    }
    return out.str() + "no end";
}

TEST(ImageReader, CutsTheStreamIntoBlocksAndRecords) {
    struct Case {
        const char* name;
        std::string bytes;
        const char* description;
    };
    const Case cases[] = {
        {"empty file", "", "end"},
        {"600 bytes without records", std::string(600, 'x'), "D252 D252 D96 end"},
        {"exactly one block", std::string(252, 'x'), "D252 end"},
        {"ten bytes then a record", std::string(10, 'x') + ImageRecord(0x1E0000) + "abc",
         "D10 A001E0000 D3 end"},
        {"record first, at address 0", ImageRecord(0) + "abc", "A00000000 D3 end"},
        {"record after a full block", std::string(252, 'x') + ImageRecord(0x10) + "a",
         "D252 A00000010 D1 end"},
        {"record at the end", "ab" + ImageRecord(0x10), "D2 A00000010 end"},
        {"two records in a row", ImageRecord(1) + ImageRecord(2) + "z", "A00000001 A00000002 D1 end"},
        {"address bytes holding colons", ImageRecord(0x3A3A3A3A) + "k", "A3A3A3A3A D1 end"},
        {"address ending in a colon", ImageRecord(0x0010003A) + "k", "A0010003A D1 end"},
        {"address holding a marker", ImageRecord(0x7E4D523A) + "k", "A7E4D523A D1 end"},
        {"false marker ~MX", "~MX", "D3 end"},
        {"~MR at the end", "~MR", "D3 end"},
        {"~M at the end", "ab~M", "D4 end"},
        {"marker at the end", "~", "D1 end"},
        {"marker before a record", "~" + ImageRecord(0x20) + "q", "D1 A00000020 D1 end"},
        {"~M before a record", "~M" + ImageRecord(0x20), "D2 A00000020 end"},
        {"~MR before a record", "~MR" + ImageRecord(0x20), "D3 A00000020 end"},
        {"tag at the end", "ab~MR:", "D2 unexpected-end"},
        {"two address bytes", "~MR:\x01\x02", "unexpected-end"},
        {"four address bytes, no colon", ImageRecord(0x10203040).substr(0, 8), "unexpected-end"},
        {"wrong byte after the address", ImageRecord(0x10203040).substr(0, 8) + "Xdata", "bad-record"},
        {"wrong byte after a full block", std::string(252, 'x') + ImageRecord(1).substr(0, 8) + "X",
         "D252 bad-record"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Describe(c.bytes, 0), c.description) << c.name;
        EXPECT_EQ(Describe(c.bytes, 1), c.description) << c.name << " (one byte per read)";
        EXPECT_EQ(Describe(c.bytes, 5), c.description) << c.name << " (five bytes per read)";
    }
}

TEST(ImageReader, DataBytesArriveUnchangedAroundFalseMarkers) {
    const std::string data = "~~M~MR~MRX~MR;\x7E\x4D\x52";
    CImageMemorySource source(ImageBytes(ImageRecord(0x10) + data));
    CImageReader reader(source);
    uint8_t block[kImageBlockBytes];
    size_t length = 0;
    ASSERT_EQ(reader.Fill(block, sizeof(block), length), EStop::Address);
    EXPECT_EQ(length, 0u);
    ASSERT_EQ(reader.Fill(block, sizeof(block), length), EStop::End);
    EXPECT_EQ(std::string(block, block + length), data);
}

TEST(ImageReader, ConsumedCountsEachFileByteOnce) {
    struct Case {
        std::string bytes;
        uint64_t consumed; // at the end of the reading
    };
    const Case cases[] = {
        {std::string(600, 'x'), 600},
        {"~MX~M~", 6},
        {"ab" + ImageRecord(5) + "~MR", 2 + 9 + 3},
        {"ab~MR:\x01", 7}, // everything up to the end, inside the cut record
    };
    for (const Case& c : cases) {
        uint64_t consumed = 0;
        Describe(c.bytes, 1, &consumed);
        EXPECT_EQ(consumed, c.consumed) << c.bytes.size() << " bytes";
    }
    // After each stop the count is where the reading stands: the data before a record, then the record.
    CImageMemorySource source(
        ImageBytes(std::string(10, 'x') + ImageRecord(0x1E0000) + std::string(300, 'y')));
    CImageReader reader(source);
    uint8_t block[kImageBlockBytes];
    size_t length = 0;
    ASSERT_EQ(reader.Fill(block, sizeof(block), length), EStop::Address);
    EXPECT_EQ(reader.Consumed(), 19u);
    length = 0;
    ASSERT_EQ(reader.Fill(block, sizeof(block), length), EStop::BlockFull);
    EXPECT_EQ(reader.Consumed(), 19u + 252u);
    length = 0;
    ASSERT_EQ(reader.Fill(block, sizeof(block), length), EStop::End);
    EXPECT_EQ(reader.Consumed(), 319u);
}

TEST(ImageReader, AFailureStaysAndAFailingSourceIsReported) {
    CImageMemorySource source(ImageBytes("ab~MR:\x01\x02"));
    CImageReader reader(source);
    uint8_t block[kImageBlockBytes];
    size_t length = 0;
    EXPECT_EQ(reader.Fill(block, sizeof(block), length), EStop::UnexpectedEnd);
    EXPECT_EQ(length, 2u);
    EXPECT_EQ(reader.Fill(block, sizeof(block), length), EStop::UnexpectedEnd);

    class CFailingSource : public IImageByteSource {
    public:
        long Read(uint8_t* buffer, size_t) override {
            if (m_bServed)
                return -1;
            m_bServed = true;
            buffer[0] = 'a';
            return 1;
        }

    private:
        bool m_bServed = false;
    } failing;
    CImageReader failingReader(failing);
    length = 0;
    EXPECT_EQ(failingReader.Fill(block, sizeof(block), length), EStop::ReadError);
    EXPECT_EQ(length, 1u);
}

TEST(ImageReader, ReadsAFileFromDisk) {
    std::string path = TestTempDir() + "/dravik-image-XXXXXX";
    const int fd = ::mkstemp(path.data());
    ASSERT_GE(fd, 0);
    const std::string bytes = ImageRecord(0x1E0000) + std::string(10000, '\x7E');
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fd);

    CImageFileSource file;
    ASSERT_TRUE(file.Open(path));
    EXPECT_EQ(file.Length(), bytes.size());
    CImageReader reader(file);
    uint8_t block[kImageBlockBytes];
    size_t total = 0;
    size_t length = 0;
    ASSERT_EQ(reader.Fill(block, sizeof(block), length), EStop::Address);
    EStop stop;
    do {
        length = 0;
        stop = reader.Fill(block, sizeof(block), length);
        total += length;
    } while (stop == EStop::BlockFull);
    EXPECT_EQ(stop, EStop::End);
    EXPECT_EQ(total, 10000u);
    EXPECT_EQ(reader.Consumed(), bytes.size());
    ::unlink(path.c_str());

    CImageFileSource missing;
    EXPECT_FALSE(missing.Open(std::string(path) + "-missing"));
    EXPECT_FALSE(missing.Open("/tmp"));
}

} // namespace
