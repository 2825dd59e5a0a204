// The flash dump of the dxu-sim program: S-records that the real srec_cat reads back into exactly the
// programmed bytes, written on the control line "dump" and again at exit.
#include "sim/SimFlashDump.h"
#include "SimFlashTestSupport.h"
#include "support/SimProcess.h"

#include <gtest/gtest.h>

namespace {

const std::string kAck(1, '\x06');

TEST(SimFlashDump, SRecordsReadBackBySrecCat) {
    CSimFlashTempDir dir;
    const std::string dump = dir.File("flash.srec");
    const std::string early = dir.File("early.srec");
    const std::string control = dir.File("control");
    CSimProcess sim({"--flash-dump", dump, "--control", control, "--done-delay", "0"});
    ASSERT_TRUE(sim.IsReady());
    CSimTestLink link(sim.SlavePath());
    CSimFlashControl client(control);
    ASSERT_TRUE(client.IsConnected());

    const std::vector<uint8_t> low = SimFlashPattern(700, 1);
    const std::vector<uint8_t> high = SimFlashPattern(33, 77);
    ASSERT_EQ(SimFlashCommand(link, "+++0"), "OK\nDONE\n");
    ASSERT_EQ(SimFlashCommand(link, "+++2"), "OK\nDONE\n");
    ASSERT_EQ(SimFlashCommand(link, "+++4"), "OK\n");
    EXPECT_EQ(SimFlashSend(link, SimFlashAddressFrame(0x010000)), kAck);
    for (size_t offset = 0; offset < low.size(); offset += 252) {
        const size_t end = std::min(low.size(), offset + 252);
        EXPECT_EQ(
            SimFlashSend(link, SimTestFrame(std::vector<uint8_t>(low.begin() + offset, low.begin() + end))),
            kAck);
    }
    EXPECT_EQ(SimFlashSend(link, SimFlashAddressFrame(0x3A1E3A00)), kAck);
    EXPECT_EQ(SimFlashSend(link, SimTestFrame(high)), kAck);

    EXPECT_EQ(client.Ask("dump " + early), "ok 733");
    EXPECT_EQ(client.Ask("flash"), "loads=1 closed=0 erases=2 bytes=733 faults=0 unaddressed=0");
    // More after the first dump; the dump at exit has it too.
    EXPECT_EQ(SimFlashSend(link, SimTestFrame({0xAB})), kAck);
    EXPECT_EQ(sim.Stop(), 0);

    std::vector<uint8_t> highAfter = high;
    highAfter.push_back(0xAB);
    EXPECT_EQ(SimFlashSrecWindow(dir, dump, 0x010000, 700), low);
    EXPECT_EQ(SimFlashSrecWindow(dir, dump, 0x3A1E3A00, 34), highAfter);
    EXPECT_EQ(SimFlashSrecWindow(dir, early, 0x3A1E3A00, 34), high);
    // Nothing else is in the dump: without the two runs no data record is left.
    const std::string rest = dir.File("rest.srec");
    ASSERT_EQ(RunProgram({"srec_cat", dump, "-exclude", "0x10000", "0x102BC", "-exclude", "0x3A1E3A00",
                          "0x3A1E3A22", "-o", rest}),
              0);
    const std::vector<uint8_t> restBytes = SimFlashReadFile(rest);
    const std::string restText(restBytes.begin(), restBytes.end());
    EXPECT_FALSE(restText.empty());
    EXPECT_EQ(restText.find("\nS1"), std::string::npos) << restText;
    EXPECT_EQ(restText.find("\nS2"), std::string::npos) << restText;
    EXPECT_EQ(restText.find("\nS3"), std::string::npos) << restText;
}

TEST(SimFlashDump, RecordLayout) {
    // Known bytes: one S3 record with its checksum, a run cut at 32 bytes, an empty flash.
    EXPECT_EQ(FormatSimFlashSRecords({{0x00010000, {0x01, 0x02, 0x03}}}),
              "S01000006478752D73696D20666C617368FA\n"
              "S30800010000010203F0\n"
              "S70500000000FA\n");
    const std::string text = FormatSimFlashSRecords({{0x100, std::vector<uint8_t>(33, 0xFF)}});
    EXPECT_NE(text.find("\nS32500000100FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF9\n"),
              std::string::npos);
    EXPECT_NE(text.find("\nS30600000120FFD9\n"), std::string::npos);
    EXPECT_EQ(FormatSimFlashSRecords({}), "S01000006478752D73696D20666C617368FA\nS70500000000FA\n");
}

} // namespace
