#include <gtest/gtest.h>

#include <cmath>

#include "batchplant/platform/COleDateTime.h"

using batchplant::COleDateTime;
using batchplant::COleDateTimeSpan;

TEST(COleDateTime, CountsDaysFromTheOleEpoch)
{
    EXPECT_DOUBLE_EQ(COleDateTime(1899, 12, 30, 0, 0, 0).m_dt, 0.0);
    EXPECT_DOUBLE_EQ(COleDateTime(1900, 1, 1, 6, 0, 0).m_dt, 2.25);
    EXPECT_DOUBLE_EQ(COleDateTime(2000, 1, 1, 0, 0, 0).m_dt, 36526.0);
    // Before the epoch the fraction still counts forward within the day.
    EXPECT_DOUBLE_EQ(COleDateTime(1899, 12, 29, 6, 0, 0).m_dt, -1.25);
    const COleDateTime before(-1.25);
    EXPECT_EQ(before.GetDay(), 29);
    EXPECT_EQ(before.GetHour(), 6);
}

TEST(COleDateTime, SplitsIntoFieldsAndBack)
{
    const COleDateTime t(2026, 3, 15, 13, 45, 30);
    EXPECT_EQ(t.GetStatus(), COleDateTime::valid);
    EXPECT_EQ(t.GetYear(), 2026);
    EXPECT_EQ(t.GetMonth(), 3);
    EXPECT_EQ(t.GetDay(), 15);
    EXPECT_EQ(t.GetHour(), 13);
    EXPECT_EQ(t.GetMinute(), 45);
    EXPECT_EQ(t.GetSecond(), 30);
    EXPECT_EQ(t.GetDayOfWeek(), 1); // a Sunday
    EXPECT_EQ(t.GetDayOfYear(), 31 + 28 + 15);
    EXPECT_EQ(t.ToIso().str(), "2026-03-15T13:45:30");
    EXPECT_EQ(COleDateTime(100, 1, 1, 0, 0, 0).Format("%Y-%m-%d %%Y").str(), "0100-01-01 %Y");
}

TEST(COleDateTime, RejectsImpossibleFields)
{
    EXPECT_EQ(COleDateTime(2025, 2, 29, 0, 0, 0).GetStatus(), COleDateTime::invalid);
    EXPECT_EQ(COleDateTime(2024, 2, 29, 0, 0, 0).GetStatus(), COleDateTime::valid);
    EXPECT_EQ(COleDateTime(2024, 13, 1, 0, 0, 0).GetStatus(), COleDateTime::invalid);
    EXPECT_EQ(COleDateTime(2024, 1, 1, 24, 0, 0).GetStatus(), COleDateTime::invalid);
    COleDateTime bad(2024, 1, 1, 0, 60, 0);
    EXPECT_EQ(bad.GetYear(), -1);
    EXPECT_EQ(bad.ToIso().str(), "");
    // Values beyond year 9999 or not finite split into nothing.
    EXPECT_EQ(COleDateTime(1e12).GetYear(), -1);
    EXPECT_EQ(COleDateTime(std::nan("")).GetYear(), -1);
}

TEST(COleDateTime, ParsesIsoTextAndRefusesTheRest)
{
    COleDateTime t;
    EXPECT_TRUE(t.ParseDateTime("2026-01-05T08:00:00"));
    EXPECT_EQ(t, COleDateTime(2026, 1, 5, 8, 0, 0));
    EXPECT_TRUE(t.ParseDateTime("2026-01-05 08:30"));
    EXPECT_EQ(t.GetMinute(), 30);
    EXPECT_TRUE(t.ParseDateTime("2026-01-05"));
    EXPECT_EQ(t.GetHour(), 0);
    EXPECT_TRUE(t.ParseDateTime("2026-01-05T08:00:00.5"));
    EXPECT_NEAR(t.m_dt, COleDateTime(2026, 1, 5, 8, 0, 0).m_dt + 0.5 / 86400, 1e-9);
    for (const char* bad : {"", "yesterday", "2026-1-5", "2026-02-30", "2026-01-05T25:00", "2026-01-05Tjunk",
                            "2026- 1- 5", "+026-01-05", "2026-01-05T08:00:00.5e3", "9999-12-31T23:59:59.9"}) {
        COleDateTime b;
        EXPECT_FALSE(b.ParseDateTime(bad)) << bad;
        EXPECT_EQ(b.GetStatus(), COleDateTime::invalid) << bad;
    }
}

TEST(COleDateTime, OrdersAsPointsInTimeAcrossTheEpoch)
{
    const COleDateTime a(-1.25); // 1899-12-29 06:00
    const COleDateTime b(-1.75); // 1899-12-29 18:00
    const COleDateTime c(0.5);
    EXPECT_TRUE(a < b); // although -1.25 > -1.75 as doubles
    EXPECT_TRUE(b < c);
    EXPECT_NEAR((b - a).GetTotalHours(), 12.0, 1e-9);
    const COleDateTime d = a + COleDateTimeSpan(0, 30, 0, 0); // crosses the epoch
    EXPECT_NEAR(d.m_dt, 0.5, 1e-12);
    EXPECT_NEAR((c - COleDateTimeSpan(1.0)).m_dt, -1.5, 1e-12);
}

TEST(COleDateTime, ReadsTheLocalClock)
{
    const COleDateTime now = COleDateTime::GetCurrentTime();
    EXPECT_EQ(now.GetStatus(), COleDateTime::valid);
    EXPECT_GE(now.GetYear(), 2024);
}
