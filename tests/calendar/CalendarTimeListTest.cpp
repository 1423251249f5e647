// Working-time blocks of a calendar between two dates.

#include <gtest/gtest.h>

#include <random>

#include "CalendarOracle.h"
#include "CalendarTestUtil.h"

namespace batchplant {
namespace {

using test::At;
using test::Shift;

enum { Sunday, Monday, Tuesday, Wednesday, Thursday, Friday, Saturday };

// The week of Monday 2024-01-01 to Sunday 2024-01-07, and calendars of other shapes.
class TimeList : public ::testing::Test {
protected:
    void SetUp() override
    {
        CSingleCalendar& c = calendar.Calendar(kID);
        c.GetDay(Monday).Shifts().Add(Shift(14, 0, 22, 0)); // touching blocks, added out of order
        c.GetDay(Monday).Shifts().Add(Shift(6, 0, 14, 0));
        c.GetDay(Tuesday).Shifts().Add(Shift(22, 0, 6, 0)); // overnight into Wednesday
        c.GetDay(Wednesday).Shifts().Add(Shift(6, 0, 14, 0));
        c.GetDay(Thursday).Shifts().Add(Shift(8, 0, 12, 0)); // overlapping
        c.GetDay(Thursday).Shifts().Add(Shift(10, 0, 16, 0));
        c.GetDay(Friday).Shifts().Add(Shift(8, 0, 16, 0));
        c.GetDay(Saturday).Shifts().Add(Shift(20, 0, 0, 0)); // ends at midnight
        c.GetDay(Sunday).Shifts().Add(Shift(0, 0, 4, 0));
        c.Exception(At(2024, 1, 5)).Add(Shift(9, 0, 11, 0)); // a short Friday
        // The same week with Wednesday off and an overnight exception shift on Saturday.
        CSingleCalendar& off = calendar.Calendar(8) = c;
        off.Exception(At(2024, 1, 3));
        off.Exception(At(2024, 1, 6)).Add(Shift(22, 0, 2, 0));

        calendar.Calendar(3).SetName("Idle"); // never works
        for (int d = 0; d < CSingleCalendar::kWeekDays; ++d)
            calendar.Calendar(1).GetDay(d).Shifts().Add(Shift(0, 0, 0, 0)); // equal start and end: 24 hours
        for (const CWorkShift& s : {Shift(18, 0, 19, 0), Shift(7, 0, 8, 0), Shift(12, 0, 13, 0), Shift(7, 30, 7, 45)})
            calendar.Calendar(2).GetDay(Monday).Shifts().Add(s); // unsorted, the last inside another
        // 1899-12-29 was a Friday, 1899-12-30 a Saturday.
        calendar.Calendar(4).GetDay(Friday).Shifts().Add(Shift(22, 0, 6, 0));
        calendar.Calendar(4).GetDay(Saturday).Shifts().Add(Shift(6, 0, 7, 0));
        // Boundaries count by their time of day, whatever their date part; an invalid one works nothing.
        calendar.Calendar(5).GetDay(Monday).Shifts().Add(CWorkShift(At(2030, 6, 1, 9), At(1999, 2, 3, 17)));
        CWorkShift broken(At(2030, 6, 1, 9), At(2030, 6, 1, 10));
        broken.SetEnd(bad);
        calendar.Calendar(5).GetDay(Tuesday).Shifts().Add(broken);
    }

    static constexpr int kID = 7;
    CCalendar calendar;
    COleDateTime bad = [] {
        COleDateTime t = At(2024, 1, 1, 10);
        t.SetStatus(COleDateTime::invalid);
        return t;
    }();
};

// The blocks as "MM-DD hh:mm" texts, one space apart, after what the list held.
std::string Blocks(const CCalendar& calendar, int id, COleDateTime from, COleDateTime to)
{
    List<COleDateTime> out;
    out.Add(At(2000, 1, 1));
    calendar.GetCalendarTimeList(id, from, to, out);
    std::string text;
    for (int i = 0; i < out.GetCount(); ++i)
        text += (i ? " " : "") + out.GetAt(i).Format("%m-%d %H:%M").str();
    return text;
}

TEST_F(TimeList, BlocksMergeWhereTheyTouchAndAreCutAtTheBoundsWithoutEmptyOnes)
{
    const struct {
        int id;
        COleDateTime from, to;
        const char* blocks;
    } cases[] = {
        // The whole week: touching and overnight blocks merge, the exception is honoured.
        {kID, At(2024, 1, 1), At(2024, 1, 8),
         "01-01 06:00 01-01 22:00 01-02 22:00 01-03 14:00 01-04 08:00 01-04 16:00 01-05 09:00 01-05 11:00 "
         "01-06 20:00 01-07 04:00"},
        // From inside the overnight shift of the day before; inside one block; between blocks.
        {kID, At(2024, 1, 3, 3), At(2024, 1, 4, 12), "01-03 03:00 01-03 14:00 01-04 08:00 01-04 12:00"},
        {kID, At(2024, 1, 2, 23, 30), At(2024, 1, 3, 1, 15), "01-02 23:30 01-03 01:15"},
        {kID, At(2024, 1, 4, 16), At(2024, 1, 5, 9), ""},
        // Bounds on the edges of a gap and of a block.
        {kID, At(2024, 1, 1, 22), At(2024, 1, 2, 22), ""},
        {kID, At(2024, 1, 1, 6), At(2024, 1, 1, 22), "01-01 06:00 01-01 22:00"},
        // Reversed, empty, invalid and unrepresentable ranges, also of a missing calendar.
        {kID, At(2024, 1, 8), At(2024, 1, 1), ""},
        {kID, At(2024, 1, 1, 8), At(2024, 1, 1, 8), ""},
        {kID, bad, At(2024, 1, 8), ""},
        {kID, At(2024, 1, 1), bad, ""},
        {kID, At(2024, 1, 1), COleDateTime(1e300), ""},
        {99, At(2024, 1, 8), At(2024, 1, 1), ""},
        // A missing calendar, or none, works around the clock.
        {99, At(2024, 1, 1, 10), At(2024, 1, 3, 10, 30), "01-01 10:00 01-03 10:30"},
        {-1, At(2024, 1, 1, 10), At(2024, 1, 3, 10, 30), "01-01 10:00 01-03 10:30"},
        // An exception day off keeps the overnight shift of the day before; an overnight exception shift runs on.
        {8, At(2024, 1, 2), At(2024, 1, 4), "01-02 22:00 01-03 06:00"},
        {8, At(2024, 1, 6), At(2024, 1, 8), "01-06 22:00 01-07 04:00"},
        {3, At(2024, 1, 1), At(2024, 2, 1), ""},
        {1, At(2024, 2, 27, 13), At(2024, 3, 2, 5), "02-27 13:00 03-02 05:00"},
        {2, At(2024, 1, 1), At(2024, 1, 9),
         "01-01 07:00 01-01 08:00 01-01 12:00 01-01 13:00 01-01 18:00 01-01 19:00 01-08 07:00 01-08 08:00 "
         "01-08 12:00 01-08 13:00 01-08 18:00 01-08 19:00"},
        {4, At(1899, 12, 25), At(1900, 1, 2), "12-29 22:00 12-30 07:00"},
        {5, At(2024, 1, 1), At(2024, 1, 3), "01-01 09:00 01-01 17:00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Blocks(calendar, c.id, c.from, c.to), std::string("01-01 00:00") + (*c.blocks ? " " : "") + c.blocks)
            << c.id << " " << c.from.Format().str() << " " << c.to.Format().str();
    // Even when something created an entry under -1; looking up a missing id adds no calendar.
    calendar.Calendar(-1);
    EXPECT_EQ(Blocks(calendar, -1, At(2024, 1, 1, 10), At(2024, 1, 3, 10, 30)), "01-01 00:00 01-01 10:00 01-03 10:30");
    EXPECT_FALSE(calendar.Calendars().Contains(99));
}

// Random calendars at a quarter-hour grain, checked minute by minute.
TEST(CalendarTimeList, RandomCalendarsAgreeWithAMinuteByMinuteReading)
{
    std::mt19937 random(20240101u);
    auto below = [&](unsigned n) { return static_cast<int>(random() % n); };
    const long long firstDay = 45292; // Monday 2024-01-01
    for (int round = 0; round < 60; ++round) {
        CCalendar calendar;
        CSingleCalendar& c = calendar.Calendar(1);
        for (int d = 0; d < CSingleCalendar::kWeekDays; ++d)
            for (int n = below(4); n > 0; --n)
                c.GetDay(d).Shifts().Add(Shift(below(24), 15 * below(4), below(24), 15 * below(4)));
        for (int n = below(5); n > 0; --n) {
            CMultiWorkShift& shifts =
                c.Exception(COleDateTime::FromLinearDays(static_cast<double>(firstDay + below(21))));
            for (int k = below(3); k > 0; --k)
                shifts.Add(Shift(below(24), 15 * below(4), below(24), 15 * below(4)));
        }
        const long long from = (firstDay + below(7)) * 86400 + 60 * below(1440);
        const long long to = from + 60 * (1 + below(14 * 1440));
        List<COleDateTime> out;
        calendar.GetCalendarTimeList(1, COleDateTime::FromLinearDays(from / 86400.0),
                                     COleDateTime::FromLinearDays(to / 86400.0), out);
        SCOPED_TRACE(round);
        test::ExpectMatchesOracle(c, from, to, out);
        if (HasFatalFailure()) return;
    }
}

} // namespace
} // namespace batchplant
