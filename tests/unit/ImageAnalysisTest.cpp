// The analysis pass: region sets by connection state, the reading rules that decide which records count,
// and the progress steps that drive the download's bar.
#include "engine/download/ImageAnalysis.h"
#include "engine/download/ImageFormat.h"
#include "support/ImageTestBytes.h"

#include <gtest/gtest.h>

namespace {

constexpr int kBios = 1;
constexpr int kBootstrap = 2;

int Analyze(const std::string& bytes, int state, size_t chunk = 0) {
    CImageMemorySource source(ImageBytes(bytes), chunk);
    return AnalyzeImageRegions(source, state);
}

TEST(ImageRegions, BootstrapAndOtherStatesUseTheirOwnTables) {
    struct Case {
        uint32_t address;
        int state;
        int region;
    };
    const Case cases[] = {
        {0x000000, kBootstrap, 0},
        {0x00F000, kBootstrap, 0},
        {0x008000, kBootstrap, 0}, // a high byte 0x80 is not negative
        {0x00FFFF, kBootstrap, 0},
        {0x010000, kBootstrap, RegionOs},
        {0x018000, kBootstrap, RegionOs},
        {0x1CFFFF, kBootstrap, RegionOs},
        {0x1D0000, kBootstrap, RegionCommBoard},
        {0x1D8000, kBootstrap, RegionCommBoard},
        {0x1DFFFF, kBootstrap, RegionCommBoard},
        {0x1E0000, kBootstrap, RegionApplication},
        {0xFFFFFFFF, kBootstrap, RegionApplication},
        {0x000000, kBios, RegionOs},
        {0x100000, kBios, RegionOs},
        {0x100001, kBios, RegionApplication},
        {0x80000000, kBios, RegionApplication},
        {0x100000, 0, RegionOs},
        {0x100001, 0, RegionApplication},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ImageRegionOfAddress(c.address, c.state), c.region)
            << std::hex << "0x" << c.address << " state " << c.state;
        EXPECT_EQ(Analyze(ImageRecord(c.address) + "data", c.state), c.region)
            << std::hex << "0x" << c.address << " state " << c.state;
    }
}

TEST(ImageAnalysis, RegionSetsOfWholeImages) {
    const std::string bootstrapImage = ImageRecord(0x00F000) + "a" + std::string(20, '\xFF') +
                                       ImageRecord(0x010000) + "b" + std::string(20, '\xFF') +
                                       ImageRecord(0x1D8000) + "c" + std::string(20, '\xFF') +
                                       ImageRecord(0x1E0000) + "d";
    EXPECT_EQ(Analyze(bootstrapImage, kBootstrap), 7);
    EXPECT_EQ(Analyze(bootstrapImage, kBios), RegionOs | RegionApplication);
    EXPECT_EQ(
        Analyze(ImageRecord(0x100000) + "x" + std::string(9, '\xFF') + ImageRecord(0x100001) + "y", kBios),
        3);
    // No record, or nothing at all: no region.
    EXPECT_EQ(Analyze("", kBios), 0);
    EXPECT_EQ(Analyze(std::string(600, 'z'), kBios), 0);
    // A 0x7E that is only data is harmless when the record comes nine bytes or more after it.
    EXPECT_EQ(Analyze("~" + std::string(9, 'q') + ImageRecord(0x1E0000), kBootstrap), RegionApplication);
}

TEST(ImageAnalysis, RecordsCutShortOrHiddenBehindAMarker) {
    struct Case {
        const char* name;
        std::string bytes;
        int regions;
    };
    const std::string appRecord = ImageRecord(0x200000);
    const Case cases[] = {
        {"tag alone at the end", "~MR:", 0},
        {"three address bytes", appRecord.substr(0, 7), 0},
        {"four address bytes, no colon", appRecord.substr(0, 8), RegionApplication},
        {"record at the very end", appRecord, RegionApplication},
        {"wrong tag", "~MX:" + appRecord.substr(4), 0},
        // The nine bytes after any 0x7E are not searched again: a record starting inside them is missed.
        {"record inside the nine bytes", "~ab" + appRecord, 0},
        {"record right after the nine bytes", "~abcdefghi" + appRecord, RegionApplication},
        // The ninth byte after a marker is skipped too: a record straight after a record is missed, one
        // data byte later it is found.
        {"record straight after a record", appRecord + ImageRecord(0x000100), RegionApplication},
        {"record one byte after a record", appRecord + "x" + ImageRecord(0x000100),
         RegionApplication | RegionOs},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Analyze(c.bytes, kBios), c.regions) << c.name;
        EXPECT_EQ(Analyze(c.bytes, kBios, 1), c.regions) << c.name << " (one byte per read)";
    }
}

TEST(ImageAnalysis, ProgressStepsOncePerTenThousandAndOneExaminedBytes) {
    struct Case {
        std::string bytes;
        int steps;
    };
    const std::string record = ImageRecord(0x10);
    const Case cases[] = {
        {std::string(10000, 'a'), 0},
        {std::string(10001, 'a'), 1},
        {std::string(20001, 'a'), 1},
        {std::string(20002, 'a'), 2},
        // The marker is examined, the nine bytes after it (the record and one byte beyond) are not.
        {record + std::string(10001, 'a'), 1},
        {record + std::string(10000, 'a'), 0},
        {std::string(9999, 'a') + record + "b", 0},
        {std::string(9999, 'a') + record + "bc", 1},
    };
    for (const Case& c : cases) {
        CImageMemorySource source(ImageBytes(c.bytes));
        int steps = 0;
        AnalyzeImageRegions(source, kBios, [&] { ++steps; });
        EXPECT_EQ(steps, c.steps) << c.bytes.size() << " bytes";
    }
}

} // namespace
