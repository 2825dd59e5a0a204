// The simulated flash store by itself: runs join and split, erased ranges merge, and a refused write
// changes nothing.
#include "sim/SimFlash.h"

#include <gtest/gtest.h>

namespace {

bool Program(CSimFlash& flash, uint32_t address, const std::string& text, std::string* fault = nullptr) {
    std::string reason;
    const bool ok =
        flash.Program(address, reinterpret_cast<const uint8_t*>(text.data()), text.size(), reason);
    if (fault)
        *fault = reason;
    return ok;
}

std::vector<uint8_t> Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

TEST(SimFlashStore, RunsJoinSplitAndRefuseTwiceProgrammedBytes) {
    CSimFlash flash;
    std::string fault;
    EXPECT_FALSE(Program(flash, 0x10, "a", &fault));
    EXPECT_EQ(fault, "0x10 not erased");
    flash.Erase(0x00, 0x0F);
    flash.Erase(0x20, 0x2F);
    flash.Erase(0x10, 0x1F); // joins the two ranges around it
    EXPECT_TRUE(Program(flash, 0x1C, "wxyz"));
    EXPECT_TRUE(Program(flash, 0x10, "abcd"));
    EXPECT_TRUE(Program(flash, 0x14, "efgh")); // appended to the run before it
    EXPECT_TRUE(Program(flash, 0x18, "ijkl")); // and now also joined to the run behind
    EXPECT_EQ(flash.Runs(), (SimFlashRuns{{0x10, Bytes("abcdefghijklwxyz")}}));
    EXPECT_FALSE(Program(flash, 0x0E, "1234", &fault));
    EXPECT_EQ(fault, "0x10 already programmed since its erase");
    EXPECT_FALSE(Program(flash, 0x2E, "1234", &fault));
    EXPECT_EQ(fault, "0x30 not erased");
    EXPECT_EQ(flash.ProgrammedBytes(), 16u);

    flash.Erase(0x14, 0x17); // splits the run
    EXPECT_EQ(flash.Runs(), (SimFlashRuns{{0x10, Bytes("abcd")}, {0x18, Bytes("ijklwxyz")}}));
    EXPECT_TRUE(Program(flash, 0x14, "EFGH"));
    EXPECT_EQ(flash.Runs(), (SimFlashRuns{{0x10, Bytes("abcdEFGHijklwxyz")}}));
}

TEST(SimFlashStore, TopOfTheAddressSpace) {
    CSimFlash flash;
    flash.Erase(0xFFFFFF00, 0xFFFFFFFF);
    EXPECT_TRUE(Program(flash, 0xFFFFFFFC, "abcd"));
    std::string fault;
    EXPECT_FALSE(Program(flash, 0xFFFFFFFE, "xyz", &fault));
    EXPECT_NE(fault.find("address space"), std::string::npos);
    EXPECT_EQ(flash.Runs(), (SimFlashRuns{{0xFFFFFFFC, Bytes("abcd")}}));
}

} // namespace
