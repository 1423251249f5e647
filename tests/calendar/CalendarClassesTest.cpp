// Shifts, grid cells and days, single calendars and the calendar object.

#include <gtest/gtest.h>

#include "CalendarTestUtil.h"
#include "TestSupport.h"

namespace batchplant {
namespace {

using test::At;
using test::Shift;

constexpr const char* kOutOfBounds = "Attempted to access array member out-of-bounds";

TEST(WorkShift, TimeOfDayRoundTripsEverySecondBoundary)
{
    for (int s : {0, 1, 59, 3600, 28800, 43199, 43200, 79200, 86399}) {
        const COleDateTime t = CWorkShift::TimeOfDay(s);
        EXPECT_EQ(CWorkShift::SecondOfDay(t), s);
        EXPECT_EQ(t.GetHour() * 3600 + t.GetMinute() * 60 + t.GetSecond(), s);
    }
    EXPECT_EQ(CWorkShift::SecondOfDay(CWorkShift::TimeOfDay(86400 + 60)), 60);
    EXPECT_EQ(CWorkShift::SecondOfDay(CWorkShift::TimeOfDay(-60)), 86340);
}

TEST(WorkShift, SecondOfDayIgnoresTheDateAndRejectsInvalidTimes)
{
    EXPECT_EQ(CWorkShift::SecondOfDay(At(2024, 3, 15, 22, 30, 5)), 22 * 3600 + 30 * 60 + 5);
    EXPECT_EQ(CWorkShift::SecondOfDay(At(1899, 12, 29, 6, 0, 0)), 6 * 3600); // before the epoch
    // Half a millisecond before midnight is midnight, as the date's own fields say.
    EXPECT_EQ(CWorkShift::SecondOfDay(COleDateTime(45000.0 - 0.0005 / 86400.0)), 0);
    COleDateTime bad = At(2024, 1, 1);
    bad.SetStatus(COleDateTime::invalid);
    EXPECT_EQ(CWorkShift::SecondOfDay(bad), -1);
    EXPECT_EQ(CWorkShift::SecondOfDay(COleDateTime(std::numeric_limits<double>::quiet_NaN())), -1);
    EXPECT_EQ(CWorkShift::SecondOfDay(COleDateTime(1e12)), -1);
}

TEST(MultiWorkShift, AccessorsKeepOrderAndReportBadIndexesWithoutThrowing)
{
    test::MessageRecorder messages;
    CMultiWorkShift shifts;
    EXPECT_TRUE(shifts.IsEmpty());
    EXPECT_EQ(shifts.Add(Shift(6, 0, 14, 0)), 0);
    EXPECT_EQ(shifts.Add(Shift(22, 0, 6, 0)), 1);
    EXPECT_EQ(CWorkShift::SecondOfDay(shifts.StartAt(1)), 22 * 3600);
    EXPECT_EQ(CWorkShift::SecondOfDay(shifts.EndAt(0)), 14 * 3600);
    EXPECT_EQ(messages.count(), 0u);

    EXPECT_NO_THROW(shifts.ShiftAt(shifts.Number()));
    EXPECT_NO_THROW(shifts.ShiftAt(-1));
    EXPECT_NO_THROW(shifts.StartAt(2));
    EXPECT_NO_THROW(shifts.EndAt(-5));
    ASSERT_EQ(messages.count(), 4u);
    for (const std::string& text : messages.texts())
        EXPECT_EQ(text, kOutOfBounds);
    EXPECT_EQ(messages.types()[0], static_cast<unsigned>(MB_OK));

    // Writing through a bad index changes no real shift; the stand-in starts afresh.
    shifts.ShiftAt(2).SetStart(CWorkShift::TimeOfDay(3600));
    EXPECT_EQ(shifts.Number(), 2);
    EXPECT_EQ(CWorkShift::SecondOfDay(shifts.StartAt(0)), 6 * 3600);
    EXPECT_EQ(CWorkShift::SecondOfDay(shifts.ShiftAt(2).GetStart()), 0);
}

TEST(MultiWorkShift, CopiesAreIndependentAndRemovalKeepsOrder)
{
    test::MessageRecorder messages;
    CMultiWorkShift a;
    a.Add(Shift(1, 0, 2, 0));
    a.Add(Shift(3, 0, 4, 0));
    a.Add(Shift(5, 0, 6, 0));
    CMultiWorkShift b(a);
    CMultiWorkShift c;
    c.Add(Shift(9, 0, 10, 0));
    c = a;
    a.ShiftAt(0).SetStart(CWorkShift::TimeOfDay(0));
    EXPECT_EQ(CWorkShift::SecondOfDay(b.StartAt(0)), 3600);
    EXPECT_EQ(CWorkShift::SecondOfDay(c.StartAt(0)), 3600);
    EXPECT_EQ(c.Number(), 3);
    c = c; // self-assignment keeps the shifts
    EXPECT_EQ(c.Number(), 3);

    b.RemoveAt(1);
    ASSERT_EQ(b.Number(), 2);
    EXPECT_EQ(CWorkShift::SecondOfDay(b.StartAt(0)), 3600);
    EXPECT_EQ(CWorkShift::SecondOfDay(b.StartAt(1)), 5 * 3600);
    b.RemoveAt(2); // bad: reported, nothing removed
    EXPECT_EQ(b.Number(), 2);
    EXPECT_EQ(messages.count(), 1u);
    b.RemoveAll();
    EXPECT_TRUE(b.IsEmpty());
}

TEST(CalendarObject, SelectionAndVirtualAssignment)
{
    CGridCell cell;
    EXPECT_FALSE(cell.IsSelected());
    cell.SetSelected(true);
    cell.SetDate(At(2024, 1, 5));
    cell.SetInMonth(true);
    cell.SetException(true);
    cell.Shifts().Add(Shift(9, 0, 11, 0));

    // Through the base: a cell copies everything from a cell...
    CGridCell target;
    CCalendarObject& asBase = target;
    asBase = static_cast<const CCalendarObject&>(cell);
    EXPECT_TRUE(target.IsException());
    EXPECT_TRUE(target.GetDate() == At(2024, 1, 5));
    // ...and only the shared part from a day.
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
    calendar.Grid(41).SetInMonth(true);

    for (int bad : {-1, 7, 1000}) {
        CGridDay& day = calendar.GetDay(bad);
        EXPECT_TRUE(day.Shifts().IsEmpty());
        day.Shifts().Add(Shift(1, 0, 2, 0));
    }
    for (int bad : {-1, 42, 1 << 30}) {
        CGridCell& cell = calendar.Grid(bad);
        EXPECT_FALSE(cell.IsInMonth());
        cell.SetInMonth(true);
    }
    const CSingleCalendar& constCalendar = calendar;
    EXPECT_TRUE(constCalendar.GetDay(7).Shifts().IsEmpty());
    // The real days and cells are untouched.
    EXPECT_EQ(calendar.GetDay(1).Shifts().Number(), 1);
    for (int d = 0; d < 7; ++d)
        if (d != 1) {
            EXPECT_TRUE(calendar.GetDay(d).Shifts().IsEmpty()) << d;
        }
    for (int i = 0; i < 41; ++i)
        EXPECT_FALSE(calendar.Grid(i).IsInMonth()) << i;
}

TEST(SingleCalendar, ExceptionAddsAnEmptyEntryKeyedByTheDate)
{
    CSingleCalendar calendar;
    EXPECT_FALSE(calendar.HasException(At(2024, 1, 5)));
    EXPECT_EQ(calendar.Exceptions().GetCount(), 0);
    EXPECT_TRUE(calendar.Exception(At(2024, 1, 5, 15, 30)).IsEmpty());
    ASSERT_EQ(calendar.Exceptions().GetCount(), 1);
    EXPECT_TRUE(calendar.Exceptions().GetKeyAt(0) == At(2024, 1, 5));
    EXPECT_TRUE(calendar.HasException(At(2024, 1, 5, 23, 59)));
    // Same date, any time: the same entry.
    calendar.Exception(At(2024, 1, 5)).Add(Shift(9, 0, 11, 0));
    EXPECT_EQ(calendar.Exception(At(2024, 1, 5, 8)).Number(), 1);
    EXPECT_EQ(calendar.Exceptions().GetCount(), 1);

    COleDateTime bad = At(2024, 1, 6);
    bad.SetStatus(COleDateTime::invalid);
    calendar.Exception(bad).Add(Shift(1, 0, 2, 0));
    EXPECT_EQ(calendar.Exceptions().GetCount(), 1);
    EXPECT_TRUE(calendar.Exception(bad).IsEmpty());
}

TEST(SingleCalendar, ShiftsOnTakesTheExceptionOrTheWeekday)
{
    CSingleCalendar calendar;
    calendar.GetDay(5).Shifts().Add(Shift(8, 0, 16, 0)); // Fridays
    calendar.Exception(At(2024, 1, 12));                 // a Friday off
    EXPECT_EQ(calendar.ShiftsOn(At(2024, 1, 5, 12)).Number(), 1);
    EXPECT_TRUE(calendar.ShiftsOn(At(2024, 1, 12)).IsEmpty());
    EXPECT_TRUE(calendar.ShiftsOn(At(2024, 1, 6)).IsEmpty());
    EXPECT_EQ(calendar.Exceptions().GetCount(), 1);
}

TEST(SingleCalendar, WeekDayAgreesWithTheDatesOwnWeekday)
{
    for (long long day = -800; day <= 800; day += 7 * 13 + 3) {
        const COleDateTime date = COleDateTime::FromLinearDays(static_cast<double>(day));
        EXPECT_EQ(CSingleCalendar::WeekDayOf(day), date.GetDayOfWeek() - 1) << day;
    }
    EXPECT_EQ(CSingleCalendar::WeekDayOf(45292), 1); // 2024-01-01, a Monday
    EXPECT_TRUE(CSingleCalendar::DateOf(At(1899, 12, 29, 18)) == At(1899, 12, 29));
    EXPECT_EQ(CSingleCalendar::DateOf(COleDateTime(1e9)).GetStatus(), COleDateTime::invalid);
}

TEST(Calendar, UpdateCellsFillsSixWeeksOfTheCurrentMonth)
{
    CCalendar calendar;
    CSingleCalendar& c = calendar.Calendar(1);
    c.GetDay(1).Shifts().Add(Shift(6, 0, 14, 0)); // Mondays
    c.Exception(At(2024, 1, 15)).Add(Shift(9, 0, 10, 0));
    c.Exception(At(2024, 1, 15)).Add(Shift(11, 0, 12, 0));
    calendar.SetCurrentCalendar(1);
    calendar.SetCurrentDate(At(2024, 1, 20, 13));
    calendar.UpdateCells();

    // January 2024 starts on a Monday: the grid starts on Sunday 31 December.
    EXPECT_EQ(c.Grid(0).GetDate().Format("%Y-%m-%d"), "2023-12-31");
    EXPECT_EQ(c.Grid(41).GetDate().Format("%Y-%m-%d"), "2024-02-10");
    for (int i = 0; i < CSingleCalendar::kGridCells; ++i)
        EXPECT_EQ(c.Grid(i).IsInMonth(), i >= 1 && i <= 31) << i;
    EXPECT_EQ(c.Grid(8).GetDate().Format("%Y-%m-%d"), "2024-01-08");
    EXPECT_EQ(c.Grid(8).Shifts().Number(), 1);
    EXPECT_FALSE(c.Grid(8).IsException());
    EXPECT_TRUE(c.Grid(15).IsException());
    EXPECT_EQ(c.Grid(15).Shifts().Number(), 2);
    EXPECT_TRUE(c.Grid(9).Shifts().IsEmpty());
    EXPECT_EQ(calendar.GetNumCalendars(), 1);
}

TEST(Calendar, UpdateCellsWithoutACurrentCalendarChangesNothing)
{
    CCalendar calendar;
    calendar.Calendar(1);
    calendar.SetCurrentDate(At(2024, 1, 1));
    calendar.UpdateCells();
    calendar.SetCurrentCalendar(5); // not loaded
    calendar.UpdateCells();
    EXPECT_EQ(calendar.GetNumCalendars(), 1);
    EXPECT_EQ(calendar.Calendar(1).Grid(0).GetDate().m_dt, 0.0);
}

} // namespace
} // namespace batchplant
