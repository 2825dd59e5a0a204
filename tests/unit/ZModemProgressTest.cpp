// The "ZModem" window's figures: the once-a-second rule and its forced final refresh, counts in units
// or thousands, bits or characters per second, and times shown as minutes and seconds.
#include "engine/zmodem/ZModemProgress.h"
#include "engine/download/DownloadProgress.h"
#include "support/RecordingZModemView.h"

#include <gtest/gtest.h>

namespace {

class ZModemProgressTest : public ::testing::Test {
protected:
    std::shared_ptr<CRecordingZModemView> m_record = std::make_shared<CRecordingZModemView>();
    CSharedZModemView m_view{m_record};
    CZModemProgress m_progress{m_view};
    const int64_t m_tStart = 1700000000;

    std::string Field(EZModemField id) const { return m_record->Field(id); }
};

TEST_F(ZModemProgressTest, NothingSentYetShowsZeroAndEmptyFigures) {
    m_progress.Start(m_tStart);
    m_progress.Refresh(0, 5000, kSpeedUnitBps, m_tStart);
    EXPECT_EQ(Field(EZModemField::Bytes), "0");
    EXPECT_EQ(Field(EZModemField::Speed), "");
    EXPECT_EQ(Field(EZModemField::Elapsed), "");
    EXPECT_EQ(Field(EZModemField::Remaining), "");
    EXPECT_EQ(Field(EZModemField::Start), FormatTime(m_tStart, "%H:%M:%S", true));
}

TEST_F(ZModemProgressTest, OncePerSecondUnlessForced) {
    m_progress.Start(m_tStart);
    m_progress.Refresh(1000, 5000, kSpeedUnitBps, m_tStart + 1);
    EXPECT_EQ(Field(EZModemField::Bytes), "1000 / 5000 (20%)");
    m_progress.Refresh(2000, 5000, kSpeedUnitBps, m_tStart + 1);
    EXPECT_EQ(Field(EZModemField::Bytes), "1000 / 5000 (20%)");
    m_progress.ForceNext();
    m_progress.Refresh(5000, 5000, kSpeedUnitBps, m_tStart + 1);
    EXPECT_EQ(Field(EZModemField::Bytes), "5000 / 5000 (100%)");
}

TEST_F(ZModemProgressTest, CountsInUnitsUpTo10000ThenThousands) {
    m_progress.Start(m_tStart);
    m_progress.Refresh(5040, 10000, kSpeedUnitBps, m_tStart + 1);
    EXPECT_EQ(Field(EZModemField::Bytes), "5040 / 10000 (50%)");
    m_progress.Refresh(5040, 10001, kSpeedUnitBps, m_tStart + 2);
    EXPECT_EQ(Field(EZModemField::Bytes), "5K / 10K (50%)");
}

TEST_F(ZModemProgressTest, SpeedAndTimesAfterTwentySeconds) {
    m_progress.Start(m_tStart);
    m_progress.Refresh(40000, 400000, kSpeedUnitBps, m_tStart + 20);
    EXPECT_EQ(Field(EZModemField::Bytes), "40K / 400K (10%)");
    EXPECT_EQ(Field(EZModemField::Elapsed), "00:20");
    EXPECT_EQ(Field(EZModemField::Speed), "20000 BPS");
    EXPECT_EQ(Field(EZModemField::Remaining), "03:00");
    m_progress.Refresh(40000, 400000, kSpeedUnitCps, m_tStart + 21);
    EXPECT_EQ(Field(EZModemField::Speed), "1904 cps");
}

TEST_F(ZModemProgressTest, SpeedShowsFromTheFirstSecondAndNotBefore) {
    m_progress.Start(m_tStart);
    m_progress.Refresh(100, 5000, kSpeedUnitBps, m_tStart);
    EXPECT_EQ(Field(EZModemField::Speed), "");
    EXPECT_EQ(Field(EZModemField::Elapsed), "00:00");
    m_progress.Refresh(100, 5000, kSpeedUnitBps, m_tStart + 1);
    EXPECT_EQ(Field(EZModemField::Speed), "1000 BPS");
}

TEST_F(ZModemProgressTest, TimesAreMinutesWithinTheHour) {
    m_progress.Start(m_tStart);
    m_progress.Refresh(1000, 2000, kSpeedUnitBps, m_tStart + 3725);
    EXPECT_EQ(Field(EZModemField::Elapsed), "02:05");
    m_progress.Refresh(1000, 2000, kSpeedUnitBps, m_tStart + 3660);
    EXPECT_EQ(Field(EZModemField::Elapsed), "01:00");
}

TEST_F(ZModemProgressTest, ClockSetBackLeavesTimesEmpty) {
    m_progress.Start(m_tStart);
    m_progress.Refresh(1000, 2000, kSpeedUnitBps, m_tStart - 5);
    EXPECT_EQ(Field(EZModemField::Elapsed), "");
    EXPECT_EQ(Field(EZModemField::Remaining), "");
    EXPECT_EQ(Field(EZModemField::Speed), "");
}

TEST_F(ZModemProgressTest, LongFilePercentageDoesNotOverflow) {
    m_progress.Start(m_tStart);
    m_progress.Refresh(2000000000, 2100000000, kSpeedUnitBps, m_tStart + 100);
    EXPECT_EQ(Field(EZModemField::Bytes), "2000000K / 2100000K (95%)");
}

} // namespace
