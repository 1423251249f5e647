// Shifts, grid cells and days, single calendars, and the calendar object with
// its working-time blocks between two dates.

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <tuple>
#include <utility>

#include "CalendarTestUtil.h"
#include "TestSupport.h"

namespace batchplant {
namespace {

using test::At;
using test::Blocks;
using test::Describe;
using test::Shift;

TEST(WorkShift, SecondOfDayReadsAnyDateAndShiftListsReportBadIndexes)
{
    const std::pair<COleDateTime, int> cases[] = {
        {CWorkShift::TimeOfDay(86399), 86399},
        {CWorkShift::TimeOfDay(86460), 60},
        {CWorkShift::TimeOfDay(-60), 86340},
        {At(2024, 3, 15, 22, 30, 5), 81005},
        {At(1899, 12, 29, 6), 21600},                  // before the epoch
        {COleDateTime(45000.0 - 0.0005 / 86400.0), 0}, // half a millisecond before midnight, as the fields say
        {At(2024, 13, 1), -1},                         // refused, so invalid
        {COleDateTime(std::numeric_limits<double>::quiet_NaN()), -1},
        {COleDateTime(1e12), -1}};
    for (const auto& [t, second] : cases)
        EXPECT_EQ(CWorkShift::SecondOfDay(t), second) << t.m_dt;

    // Bad indexes of a shift list are reported; removal keeps the order.
    test::MessageRecorder messages;
    CMultiWorkShift a;
    for (const CWorkShift& s : {Shift(1, 0, 2, 0), Shift(3, 0, 4, 0), Shift(22, 0, 6, 0)})
        a.Add(s);
    a.ShiftAt(3).SetStart(CWorkShift::TimeOfDay(60)); // writes to a stand-in
    a.ShiftAt(-1);
    a.StartAt(3);
    a.EndAt(-5);
    a.RemoveAt(3);
    EXPECT_EQ(messages.texts(), std::vector<std::string>(5, "Attempted to access array member out-of-bounds"));
    EXPECT_EQ(CWorkShift::SecondOfDay(a.ShiftAt(3).GetStart()), 0) << "the stand-in starts afresh";
    a.RemoveAt(1);
    EXPECT_EQ(Describe(a), "3600-7200;79200-21600;");
}

TEST(SingleCalendar, BadPositionsYieldAStandInExceptionsAreKeyedByDateAndTheGridFillsTheMonth)
{
    CSingleCalendar calendar;
    calendar.GetDay(5).Shifts().Add(Shift(8, 0, 16, 0)); // Fridays
    for (const auto& [day, cell] : {std::pair{-1, -1}, {7, 42}, {1 << 30, 1 << 30}}) {
        calendar.GetDay(day).Shifts().Add(Shift(1, 0, 2, 0));
        EXPECT_TRUE(calendar.GetDay(day).Shifts().IsEmpty() && std::as_const(calendar).GetDay(day).Shifts().IsEmpty());
        calendar.Grid(cell).SetInMonth(true);
        EXPECT_FALSE(calendar.Grid(cell).IsInMonth());
    }

    EXPECT_TRUE(calendar.Exception(At(2024, 1, 12, 15, 30)).IsEmpty()); // a Friday off
    ASSERT_EQ(calendar.Exceptions().GetCount(), 1);
    EXPECT_TRUE(calendar.Exceptions().GetKeyAt(0) == At(2024, 1, 12) && calendar.HasException(At(2024, 1, 12, 23, 59)));
    calendar.Exception(At(2024, 1, 12)).Add(Shift(9, 0, 11, 0));
    // Same date, any time: one entry, preferred to the Friday.
    EXPECT_EQ(Describe(calendar.ShiftsOn(At(2024, 1, 12, 8))), "32400-39600;");
    const COleDateTime bad = At(2024, 13, 1); // refused, so invalid
    calendar.Exception(bad).Add(Shift(1, 0, 2, 0));
    EXPECT_TRUE(calendar.Exception(bad).IsEmpty() && calendar.Exceptions().GetCount() == 1);
    EXPECT_TRUE(CSingleCalendar::DateOf(At(1899, 12, 29, 18)) == At(1899, 12, 29));
    EXPECT_EQ(CSingleCalendar::DateOf(COleDateTime(1e9)).GetStatus(), COleDateTime::invalid);

    // The grid holds six weeks of the current month; cells copy through the base.
    CCalendar calendars;
    CSingleCalendar& c = calendars.Calendar(1);
    calendars.SetCurrentDate(At(2024, 1, 20, 13));
    calendars.UpdateCells();         // no current calendar yet
    calendars.SetCurrentCalendar(5); // not loaded
    calendars.UpdateCells();
    EXPECT_EQ(c.Grid(0).GetDate().m_dt, 0.0);

    c.GetDay(1).Shifts().Add(Shift(6, 0, 14, 0)); // Mondays
    c.Exception(At(2024, 1, 15)).Add(Shift(9, 0, 10, 0));
    c.Exception(At(2024, 1, 15)).Add(Shift(11, 0, 12, 0));
    calendars.SetCurrentCalendar(1);
    calendars.UpdateCells();
    // January 2024 starts on a Monday: the grid starts on Sunday 31 December.
    EXPECT_EQ(c.Grid(0).GetDate().Format("%Y-%m-%d"), "2023-12-31");
    EXPECT_EQ(c.Grid(41).GetDate().Format("%Y-%m-%d"), "2024-02-10");
    for (int i = 0; i < CSingleCalendar::kGridCells; ++i) {
        EXPECT_EQ(c.Grid(i).IsInMonth(), i >= 1 && i <= 31) << i;
        EXPECT_EQ(c.Grid(i).IsException(), i == 15) << i;
        EXPECT_EQ(c.Grid(i).Shifts().Number(), i == 15 ? 2 : i % 7 == 1 ? 1 : 0) << i;
    }
    // Through the base a cell copies everything from a cell, and only the shared part from a day.
    CGridCell cell;
    CCalendarObject &asBase = cell, &monday = c.GetDay(1);
    c.Grid(15).SetSelected(true);
    asBase = static_cast<const CCalendarObject&>(c.Grid(15));
    EXPECT_TRUE(cell.IsException() && cell.IsInMonth() && cell.IsSelected() && cell.GetDate() == At(2024, 1, 15));
    asBase = monday;
    EXPECT_TRUE(!cell.IsSelected() && cell.Shifts().Number() == 1 && cell.IsException());
    monday = static_cast<const CCalendarObject&>(c.Grid(15));
    EXPECT_TRUE(c.GetDay(1).IsSelected() && c.GetDay(1).Shifts().Number() == 2);
}

enum { Sunday, Monday, Tuesday, Wednesday, Thursday, Friday, Saturday };

// Shapes that the random calendars below do not have, and bounds they do not reach.
TEST(CalendarTimeList, BlocksMergeWhereTheyTouchAndAreCutAtTheBounds)
{
    CCalendar calendar;
    CSingleCalendar& c = calendar.Calendar(4);
    c.GetDay(Monday).Shifts().Add(Shift(14, 0, 22, 0)); // touching blocks, added out of order
    c.GetDay(Monday).Shifts().Add(Shift(6, 0, 14, 0));
    c.GetDay(Friday).Shifts().Add(Shift(22, 0, 6, 0)); // overnight, touching Saturday's shift
    c.GetDay(Saturday).Shifts().Add(Shift(6, 0, 7, 0));
    COleDateTime bad = At(2024, 1, 1, 10);
    bad.SetStatus(COleDateTime::invalid);
    calendar.Calendar(5).GetDay(Monday).Shifts().Add(CWorkShift(At(2030, 6, 1, 9), At(1999, 2, 3, 17)));
    calendar.Calendar(5).GetDay(Tuesday).Shifts().Add(CWorkShift(At(2030, 6, 1, 9), bad));
    calendar.Calendar(-1); // an entry under -1, made by mistake, does not make -1 a calendar
    const std::tuple<int, COleDateTime, COleDateTime, const char*> cases[] = {
        // 1899-12-25 was a Monday, before the epoch.
        {4, At(1899, 12, 25), At(1900, 1, 2),
         "12-25 06:00 12-25 22:00 12-29 22:00 12-30 07:00 01-01 06:00 01-01 22:00"},
        {4, At(1899, 12, 30, 3), At(1899, 12, 30, 6, 30), "12-30 03:00 12-30 06:30"},
        // Boundaries count by their time of day, whatever their date part; an invalid one works nothing.
        {5, At(2024, 1, 1), At(2024, 1, 3), "01-01 09:00 01-01 17:00"},
        // Reversed, invalid and unrepresentable ranges, also of a missing calendar.
        {4, At(2024, 1, 8), At(2024, 1, 1), ""},
        {4, bad, At(2024, 1, 8), ""},
        {4, At(2024, 1, 1), bad, ""},
        {4, At(2024, 1, 1), COleDateTime(1e300), ""},
        {99, At(2024, 1, 8), At(2024, 1, 1), ""},
        // A missing calendar, or none, works around the clock; looking one up adds no calendar.
        {99, At(2024, 1, 1, 10), At(2024, 1, 3, 10, 30), "01-01 10:00 01-03 10:30"},
        {-1, At(2024, 1, 1, 10), At(2024, 1, 3, 10, 30), "01-01 10:00 01-03 10:30"},
    };
    for (const auto& [id, from, to, blocks] : cases)
        EXPECT_EQ(Blocks(calendar, id, from, to), blocks)
            << id << " " << from.Format().str() << " " << to.Format().str();
    EXPECT_FALSE(calendar.Calendars().Contains(99));
}

// Random calendars at a quarter-hour grain.
TEST(CalendarTimeList, RandomCalendarsAgreeWithAMinuteByMinuteReading)
{
    std::mt19937 random(20240101u);
    auto below = [&](unsigned n) { return static_cast<int>(random() % n); };
    auto shift = [&] { return Shift(below(24), 15 * below(4), below(24), 15 * below(4)); };
    const long long firstDay = 45292; // Monday 2024-01-01
    for (int round = 0; round < 60; ++round) {
        CCalendar calendar;
        CSingleCalendar& c = calendar.Calendar(1);
        for (int d = 0; d < CSingleCalendar::kWeekDays; ++d)
            for (int n = below(4); n > 0; --n)
                c.GetDay(d).Shifts().Add(shift());
        for (int n = below(5); n > 0; --n) {
            CMultiWorkShift& shifts =
                c.Exception(COleDateTime::FromLinearDays(static_cast<double>(firstDay + below(21))));
            for (int k = below(3); k > 0; --k)
                shifts.Add(shift());
        }
        const long long from = (firstDay + below(7)) * 86400 + 60 * below(1440);
        const long long to = from + 60 * (1 + below(14 * 1440));
        SCOPED_TRACE(round);
        test::ExpectMatchesOracle(calendar, 1, COleDateTime::FromLinearDays(from / 86400.0),
                                  COleDateTime::FromLinearDays(to / 86400.0));
        if (HasFatalFailure()) return;
    }
}

} // namespace
} // namespace batchplant
