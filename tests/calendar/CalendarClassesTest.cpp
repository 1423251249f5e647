// Shifts, grid cells and days, single calendars and the calendar object.

#include <gtest/gtest.h>

#include <limits>

#include "CalendarTestUtil.h"
#include "TestSupport.h"

namespace batchplant {
namespace {

using test::At;
using test::Describe;
using test::Shift;

TEST(WorkShift, SecondOfDayReadsTheTimeOfAnyDateAndRejectsInvalidOnes)
{
    for (int s : {0, 59, 3600, 43199, 43200, 86399}) {
        const COleDateTime t = CWorkShift::TimeOfDay(s);
        EXPECT_EQ(CWorkShift::SecondOfDay(t), s);
        EXPECT_EQ(t.GetHour() * 3600 + t.GetMinute() * 60 + t.GetSecond(), s);
    }
    COleDateTime bad = At(2024, 1, 1);
    bad.SetStatus(COleDateTime::invalid);
    const std::pair<COleDateTime, int> cases[] = {
        {CWorkShift::TimeOfDay(86400 + 60), 60},
        {CWorkShift::TimeOfDay(-60), 86340},
        {At(2024, 3, 15, 22, 30, 5), 81005},
        {At(1899, 12, 29, 6), 21600},                  // before the epoch
        {COleDateTime(45000.0 - 0.0005 / 86400.0), 0}, // half a millisecond before midnight, as the fields say
        {bad, -1},
        {COleDateTime(std::numeric_limits<double>::quiet_NaN()), -1},
        {COleDateTime(1e12), -1}};
    for (const auto& [t, second] : cases)
        EXPECT_EQ(CWorkShift::SecondOfDay(t), second) << t.m_dt;
}

TEST(MultiWorkShift, BadIndexesAreReportedAndCopiesAreIndependent)
{
    test::MessageRecorder messages;
    CMultiWorkShift a;
    EXPECT_EQ(a.Add(Shift(1, 0, 2, 0)), 0);
    EXPECT_EQ(a.Add(Shift(3, 0, 4, 0)), 1);
    a.Add(Shift(22, 0, 6, 0));
    EXPECT_EQ(messages.count(), 0u);
    a.ShiftAt(3).SetStart(CWorkShift::TimeOfDay(60)); // writes to a stand-in
    a.ShiftAt(-1);
    a.StartAt(3);
    a.EndAt(-5);
    a.RemoveAt(3);
    EXPECT_EQ(messages.texts(), std::vector<std::string>(5, "Attempted to access array member out-of-bounds"));
    EXPECT_EQ(messages.types()[0], static_cast<unsigned>(MB_OK));
    EXPECT_EQ(CWorkShift::SecondOfDay(a.ShiftAt(3).GetStart()), 0) << "the stand-in starts afresh";
    EXPECT_EQ(Describe(a), "3600-7200;10800-14400;79200-21600;");

    CMultiWorkShift b(a), c;
    c.Add(Shift(9, 0, 10, 0));
    c = a;
    c = c;
    a.ShiftAt(0).SetStart(CWorkShift::TimeOfDay(0));
    EXPECT_EQ(Describe(c), "3600-7200;10800-14400;79200-21600;");
    b.RemoveAt(1);
    EXPECT_EQ(Describe(b), "3600-7200;79200-21600;");
    b.RemoveAll();
    EXPECT_TRUE(b.IsEmpty());
}

TEST(CalendarObject, AssignmentThroughTheBaseCopiesWhatBothKindsHold)
{
    CGridCell cell;
    cell.SetSelected(true);
    cell.SetDate(At(2024, 1, 5));
    cell.SetInMonth(true);
    cell.SetException(true);
    cell.Shifts().Add(Shift(9, 0, 11, 0));
    // A cell copies everything from a cell, and only the shared part from a day.
    CGridCell target;
    CCalendarObject& asBase = target;
    asBase = static_cast<const CCalendarObject&>(cell);
    EXPECT_TRUE(target.IsException() && target.IsInMonth() && target.IsSelected());
    EXPECT_TRUE(target.GetDate() == At(2024, 1, 5));
    CGridDay day;
    day.Shifts().Add(Shift(1, 0, 2, 0));
    day.Shifts().Add(Shift(3, 0, 4, 0));
    asBase = static_cast<const CCalendarObject&>(day);
    EXPECT_FALSE(target.IsSelected());
    EXPECT_EQ(target.Shifts().Number(), 2);
    EXPECT_TRUE(target.IsException());
    CCalendarObject& dayAsBase = day;
    dayAsBase = static_cast<const CCalendarObject&>(cell);
    EXPECT_TRUE(day.IsSelected());
    EXPECT_EQ(day.Shifts().Number(), 1);
}

TEST(SingleCalendar, BadGridAndDayPositionsYieldAFreshStandIn)
{
    CSingleCalendar calendar;
    calendar.GetDay(1).Shifts().Add(Shift(6, 0, 14, 0));
    for (int bad : {-1, 7, 1000}) {
        EXPECT_TRUE(calendar.GetDay(bad).Shifts().IsEmpty());
        calendar.GetDay(bad).Shifts().Add(Shift(1, 0, 2, 0));
    }
    for (int bad : {-1, 42, 1 << 30}) {
        EXPECT_FALSE(calendar.Grid(bad).IsInMonth());
        calendar.Grid(bad).SetInMonth(true);
    }
    EXPECT_TRUE(static_cast<const CSingleCalendar&>(calendar).GetDay(7).Shifts().IsEmpty());
    for (int d = 0; d < 7; ++d)
        EXPECT_EQ(calendar.GetDay(d).Shifts().Number(), d == 1 ? 1 : 0) << d;
    for (int i = 0; i < CSingleCalendar::kGridCells; ++i)
        EXPECT_FALSE(calendar.Grid(i).IsInMonth()) << i;
}

TEST(SingleCalendar, ExceptionsAreKeyedByDateAndShiftsOnPrefersThem)
{
    CSingleCalendar calendar;
    calendar.GetDay(5).Shifts().Add(Shift(8, 0, 16, 0)); // Fridays
    EXPECT_FALSE(calendar.HasException(At(2024, 1, 12)));
    EXPECT_TRUE(calendar.Exception(At(2024, 1, 12, 15, 30)).IsEmpty()); // a Friday off
    ASSERT_EQ(calendar.Exceptions().GetCount(), 1);
    EXPECT_TRUE(calendar.Exceptions().GetKeyAt(0) == At(2024, 1, 12));
    EXPECT_TRUE(calendar.HasException(At(2024, 1, 12, 23, 59)));
    calendar.Exception(At(2024, 1, 12)).Add(Shift(9, 0, 11, 0));
    EXPECT_EQ(calendar.Exception(At(2024, 1, 12, 8)).Number(), 1) << "same date, any time: the same entry";

    EXPECT_EQ(Describe(calendar.ShiftsOn(At(2024, 1, 5, 12))), "28800-57600;");
    EXPECT_EQ(Describe(calendar.ShiftsOn(At(2024, 1, 12))), "32400-39600;");
    EXPECT_TRUE(calendar.ShiftsOn(At(2024, 1, 6)).IsEmpty());

    COleDateTime bad = At(2024, 1, 6);
    bad.SetStatus(COleDateTime::invalid);
    calendar.Exception(bad).Add(Shift(1, 0, 2, 0));
    EXPECT_TRUE(calendar.Exception(bad).IsEmpty());
    EXPECT_EQ(calendar.Exceptions().GetCount(), 1);
}

TEST(SingleCalendar, WeekDayAgreesWithTheDatesOwnWeekday)
{
    for (long long day = -800; day <= 800; day += 7 * 13 + 3)
        EXPECT_EQ(CSingleCalendar::WeekDayOf(day),
                  COleDateTime::FromLinearDays(static_cast<double>(day)).GetDayOfWeek() - 1)
            << day;
    EXPECT_EQ(CSingleCalendar::WeekDayOf(45292), 1); // 2024-01-01, a Monday
    EXPECT_TRUE(CSingleCalendar::DateOf(At(1899, 12, 29, 18)) == At(1899, 12, 29));
    EXPECT_EQ(CSingleCalendar::DateOf(COleDateTime(1e9)).GetStatus(), COleDateTime::invalid);
}

TEST(Calendar, UpdateCellsFillsSixWeeksOfTheCurrentMonth)
{
    CCalendar calendar;
    CSingleCalendar& c = calendar.Calendar(1);
    calendar.SetCurrentDate(At(2024, 1, 20, 13));
    calendar.UpdateCells();         // no current calendar yet
    calendar.SetCurrentCalendar(5); // not loaded
    calendar.UpdateCells();
    EXPECT_EQ(c.Grid(0).GetDate().m_dt, 0.0);

    c.GetDay(1).Shifts().Add(Shift(6, 0, 14, 0)); // Mondays
    c.Exception(At(2024, 1, 15)).Add(Shift(9, 0, 10, 0));
    c.Exception(At(2024, 1, 15)).Add(Shift(11, 0, 12, 0));
    calendar.SetCurrentCalendar(1);
    calendar.UpdateCells();
    // January 2024 starts on a Monday: the grid starts on Sunday 31 December.
    EXPECT_EQ(c.Grid(0).GetDate().Format("%Y-%m-%d"), "2023-12-31");
    EXPECT_EQ(c.Grid(41).GetDate().Format("%Y-%m-%d"), "2024-02-10");
    for (int i = 0; i < CSingleCalendar::kGridCells; ++i) {
        EXPECT_EQ(c.Grid(i).IsInMonth(), i >= 1 && i <= 31) << i;
        EXPECT_EQ(c.Grid(i).IsException(), i == 15) << i;
        EXPECT_EQ(c.Grid(i).Shifts().Number(), i == 15 ? 2 : i % 7 == 1 ? 1 : 0) << i;
    }
    EXPECT_EQ(calendar.GetNumCalendars(), 1);
}

} // namespace
} // namespace batchplant
