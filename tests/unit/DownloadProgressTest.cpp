// The download window's figures and progress bar: texts, once-a-second updates, the wait marks, clock
// changes and sizes past the 32-bit percentage limit.
#include "engine/download/DownloadProgress.h"
#include "support/RecordingDownloadView.h"

#include <gtest/gtest.h>

namespace {

class DownloadProgressTest : public ::testing::Test {
protected:
    // Starts the display at a given second (the first call shows nothing of its arguments).
    void StartAt(int64_t now) {
        m_progress.Restart();
        m_progress.ShowProgressAt(0, 1, now);
    }

    CRecordingDownloadView m_view;
    CDownloadProgress m_progress{m_view};
};

TEST(FormatTimeTest, DurationsAsUtcAndBadValues) {
    EXPECT_EQ(FormatTime(20, "%M:%S", false), "00:20");
    EXPECT_EQ(FormatTime(3725, "%M:%S", false), "02:05");
    EXPECT_EQ(FormatTime(180, "%M:%S", false), "03:00");
    EXPECT_EQ(FormatTime(-1, "%M:%S", false), "");
    EXPECT_EQ(FormatTime(0, "", false), "");
    EXPECT_EQ(FormatTime(0, std::string(200, 'x').c_str(), false), "") << "longer than 127 characters";
    EXPECT_EQ(FormatTime(0, "%H:%M:%S", true).size(), 8u);
}

TEST_F(DownloadProgressTest, FirstCallShowsZerosAndTheStartTime) {
    StartAt(1000);
    EXPECT_EQ(m_view.Field(EDownloadField::Elapsed), "0");
    EXPECT_EQ(m_view.Field(EDownloadField::Bytes), "0");
    EXPECT_EQ(m_view.Field(EDownloadField::Remaining), "0");
    EXPECT_EQ(m_view.Field(EDownloadField::Speed), "0");
    EXPECT_EQ(m_view.Field(EDownloadField::Status), "Downloading file");
    EXPECT_EQ(m_view.Field(EDownloadField::Start), FormatTime(1000, "%H:%M:%S", true));
    // A transfer that ends within its first second never shows a percentage.
    m_progress.ShowProgressAt(600, 600, 1000);
    EXPECT_EQ(m_view.Field(EDownloadField::Bytes), "0");
}

TEST_F(DownloadProgressTest, ByteCountsAndPercentages) {
    struct Case {
        uint32_t nConsumed, nTotal;
        std::string strBytes;
    } cases[] = {
        {5040, 10000, "5040 / 10000 (50%)"},
        {5040, 10001, "5K / 10K (50%)"},
        {40000, 400000, "40K / 400K (10%)"},
        {999, 1000, "999 / 1000 (99%)"},
        // Beyond 42 million bytes a 32-bit product would overflow: the percentage stays true.
        {1500000000u, 3000000000u, "1500000K / 3000000K (50%)"},
        {4294967295u, 4294967295u, "4294967K / 4294967K (100%)"},
    };
    int64_t now = 100;
    for (const auto& c : cases) {
        StartAt(now);
        m_progress.ShowProgressAt(c.nConsumed, c.nTotal, now + 20);
        EXPECT_EQ(m_view.Field(EDownloadField::Bytes), c.strBytes);
        now += 100;
    }
}

TEST_F(DownloadProgressTest, SpeedElapsedAndRemaining) {
    StartAt(5000);
    m_progress.ShowProgressAt(40000, 400000, 5020);
    EXPECT_EQ(m_view.Field(EDownloadField::Bytes), "40K / 400K (10%)");
    EXPECT_EQ(m_view.Field(EDownloadField::Elapsed), "00:20");
    EXPECT_EQ(m_view.Field(EDownloadField::Speed), "20000 BPS");
    EXPECT_EQ(m_view.Field(EDownloadField::Remaining), "03:00");

    StartAt(0);
    m_progress.ShowProgressAt(1000, 2000, 3725);
    EXPECT_EQ(m_view.Field(EDownloadField::Elapsed), "02:05");
}

TEST_F(DownloadProgressTest, BelowTwoPercentShowsWait) {
    StartAt(10);
    m_progress.ShowProgressAt(1, 100, 11);
    EXPECT_EQ(m_view.Field(EDownloadField::Speed), "Wait..  ");
    EXPECT_EQ(m_view.Field(EDownloadField::Remaining), "Wait..  ");
    m_progress.ShowProgressAt(2, 100, 12);
    EXPECT_EQ(m_view.Field(EDownloadField::Speed), "10 BPS");
}

TEST_F(DownloadProgressTest, AtMostOneUpdateASecond) {
    StartAt(10);
    m_progress.ShowProgressAt(10, 100, 11);
    const size_t changes = m_view.ChangeCount();
    m_progress.ShowProgressAt(50, 100, 11);
    EXPECT_EQ(m_view.ChangeCount(), changes);
    EXPECT_EQ(m_view.Field(EDownloadField::Bytes), "10 / 100 (10%)");
    m_progress.ShowProgressAt(50, 100, 12);
    EXPECT_EQ(m_view.Field(EDownloadField::Bytes), "50 / 100 (50%)");
}

TEST_F(DownloadProgressTest, ClockSetBackEmptiesElapsedAndRemaining) {
    StartAt(1000);
    m_progress.ShowProgressAt(50, 100, 990);
    EXPECT_EQ(m_view.Field(EDownloadField::Bytes), "50 / 100 (50%)");
    EXPECT_EQ(m_view.Field(EDownloadField::Elapsed), "");
    EXPECT_EQ(m_view.Field(EDownloadField::Remaining), "");
    EXPECT_EQ(m_view.Field(EDownloadField::Speed), "");
}

TEST_F(DownloadProgressTest, SmallTransferBarFollowsTheConsumedCount) {
    m_progress.PrepareTransfer(4000);
    EXPECT_EQ(m_view.Range(), 4000u);
    m_progress.AdvanceTransfer(0);
    m_progress.AdvanceTransfer(252);
    EXPECT_EQ(m_view.Pos(), 252u);
    m_progress.AdvanceTransfer(504);
    EXPECT_EQ(m_view.Pos(), 504u);
}

TEST_F(DownloadProgressTest, LargeTransferBarStepsAfterMoreThanAThousandBytes) {
    m_progress.PrepareTransfer(5000);
    EXPECT_EQ(m_view.Range(), 5u);
    // Tested at the start of each cycle of 252-byte blocks: after four blocks (1008 bytes) it steps.
    for (uint64_t block = 0; block <= 3; ++block)
        m_progress.AdvanceTransfer(block * 252);
    EXPECT_EQ(m_view.Steps(), 0u);
    m_progress.AdvanceTransfer(4 * 252);
    EXPECT_EQ(m_view.Steps(), 1u);
    for (uint64_t block = 5; block <= 7; ++block)
        m_progress.AdvanceTransfer(block * 252);
    EXPECT_EQ(m_view.Steps(), 1u);
    m_progress.AdvanceTransfer(8 * 252); // again four blocks since the last step
    EXPECT_EQ(m_view.Steps(), 2u);
}

TEST_F(DownloadProgressTest, AnalysisStepsOnceForEvery10001Bytes) {
    m_progress.PrepareAnalysis(25000);
    EXPECT_EQ(m_view.Range(), 2u);
    for (int i = 0; i < 10000; ++i)
        m_progress.CountAnalysedByte();
    EXPECT_EQ(m_view.Steps(), 0u);
    m_progress.CountAnalysedByte();
    EXPECT_EQ(m_view.Steps(), 1u);
    for (int i = 0; i < 10001; ++i)
        m_progress.CountAnalysedByte();
    EXPECT_EQ(m_view.Steps(), 2u);
    // A huge image still gets a bar that moves: the range is not cut to 16 bits.
    m_progress.PrepareAnalysis(3000000000ull);
    EXPECT_EQ(m_view.Range(), 300000u);
}

} // namespace
