#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <vector>

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
    // 2026-03-15 is a Sunday, day 74 of the year.
    EXPECT_EQ((std::vector{t.GetYear(), t.GetMonth(), t.GetDay(), t.GetHour(), t.GetMinute(), t.GetSecond(),
                           t.GetDayOfWeek(), t.GetDayOfYear()}),
              (std::vector{2026, 3, 15, 13, 45, 30, 1, 74}));
    EXPECT_EQ(t.ToIso().str(), "2026-03-15T13:45:30");
    EXPECT_EQ(COleDateTime(100, 1, 1, 0, 0, 0).Format("%Y-%m-%d %%Y").str(), "0100-01-01 %Y");
}

TEST(COleDateTime, RejectsImpossibleFields)
{
    // {year, month, day, hour, second, valid}: leap days follow the 400-year rule.
    const std::tuple<int, int, int, int, int, bool> cases[] = {
        {2025, 2, 29, 0, 0, false}, {2024, 2, 29, 0, 0, true},  {2000, 2, 29, 0, 0, true},  {1900, 2, 29, 0, 0, false},
        {2024, 13, 1, 0, 0, false}, {2024, 1, 1, 24, 0, false}, {2024, 1, 1, 23, 59, true}, {2024, 1, 1, 0, 60, false}};
    for (const auto& [y, mo, d, h, s, valid] : cases)
        EXPECT_EQ(COleDateTime(y, mo, d, h, 0, s).GetStatus() == COleDateTime::valid, valid)
            << y << "-" << mo << "-" << d << " " << h << ":00:" << s;
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
