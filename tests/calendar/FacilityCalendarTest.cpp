// The facility's calendars on a results database opened through the data
// access layer.

#include <memory>

#include <gtest/gtest.h>

#include "CalendarTestUtil.h"
#include "TestSupport.h"
#include "batchplant/db/Dao.h"
#include "calendar/CalendarStore.h"
#include "batchplant/db/ResultsSchema.h"

namespace batchplant {
namespace {

using test::At;
using test::ReadFile;
using test::Shift;
using test::TimeList;

// A results file with the calendar tables and one calendar: weekdays
// 06:00-14:00, a night shift on Fridays and Christmas off.
class FacilityCalendar : public ::testing::Test {
protected:
    void SetUp() override
    {
        const sqlite::Connection db(path.string(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        db.exec(CalendarSchemaSql());
        db.exec("INSERT INTO Calendars VALUES (2, 'Days');"
                "INSERT INTO CalendarWeekShifts VALUES (2, 1, 0, 21600, 50400), (2, 2, 0, 21600, 50400),"
                " (2, 3, 0, 21600, 50400), (2, 4, 0, 21600, 50400), (2, 5, 0, 21600, 50400),"
                " (2, 5, 1, 79200, 21600);"
                "INSERT INTO CalendarExceptions VALUES (2, '2024-12-25');");
    }

    test::TempDir dir;
    std::filesystem::path path = dir.file("results.db");
    test::MessageRecorder messages;
};

TEST_F(FacilityCalendar, LoadsSavesAndReloadsByNameAfterTheHostClosedItsDatabase)
{
    auto db = std::make_unique<CDaoDatabase>();
    db->Open(path.string().c_str(), false, true); // the host only reads
    CFacilityCalendar calendar(db.get());
    ASSERT_TRUE(calendar.LoadCalendars());
    db.reset();
    EXPECT_EQ(calendar.GetDatabaseName(), std::filesystem::absolute(path).string());
    ASSERT_EQ(calendar.GetNumCalendars(), 1);
    EXPECT_EQ(calendar.Calendar(2).GetName(), "Days");
    // Tuesday 24th to Saturday 28 December 2024; Friday's night shift runs into Saturday.
    EXPECT_EQ(TimeList(calendar, 2, At(2024, 12, 24), At(2024, 12, 28, 12)),
              (std::vector<std::string>{"2024-12-24 06:00:00", "2024-12-24 14:00:00", "2024-12-26 06:00:00",
                                        "2024-12-26 14:00:00", "2024-12-27 06:00:00", "2024-12-27 14:00:00",
                                        "2024-12-27 22:00:00", "2024-12-28 06:00:00"}));
    calendar.Calendar(2).Exception(At(2024, 12, 31)).Add(Shift(6, 0, 10, 0));
    calendar.Calendar(2).SetModified(true);
    calendar.Calendar(8).SetName("Weekends");
    calendar.Calendar(8).GetDay(0).Shifts().Add(Shift(0, 0, 0, 0));
    calendar.Calendar(8).SetModified(true);
    ASSERT_TRUE(calendar.SaveCalendars());
    EXPECT_FALSE(calendar.Calendar(2).IsModified() || calendar.Calendar(8).IsModified());

    CFacilityCalendar fresh(calendar);
    fresh.Calendars().RemoveAll();
    ASSERT_TRUE(fresh.LoadCalendars());
    ASSERT_EQ(fresh.GetNumCalendars(), 2);
    EXPECT_EQ(fresh.Calendar(8).GetName(), "Weekends");
    EXPECT_EQ(TimeList(fresh, 2, At(2024, 12, 31), At(2025, 1, 1)),
              (std::vector<std::string>{"2024-12-31 06:00:00", "2024-12-31 10:00:00"}));
    EXPECT_EQ(TimeList(fresh, 8, At(2024, 12, 28), At(2024, 12, 31)),
              (std::vector<std::string>{"2024-12-29 00:00:00", "2024-12-30 00:00:00"}));
    EXPECT_EQ(messages.count(), 0u);

    std::filesystem::remove(path);
    EXPECT_FALSE(fresh.LoadCalendars());
    EXPECT_EQ(fresh.GetNumCalendars(), 0);
    ASSERT_EQ(messages.count(), 1u);
    EXPECT_EQ(messages.texts()[0].rfind("The calendars could not be read: Cannot open the database", 0), 0u)
        << messages.texts()[0];
}

TEST_F(FacilityCalendar, FailuresShowWhyAndChangeNothing)
{
    namespace fs = std::filesystem;
    {
        const sqlite::Connection db(path.string(), SQLITE_OPEN_READWRITE);
        db.exec("INSERT INTO CalendarExceptionShifts VALUES (2, '2024-12-26', 0, 0, 60)");
    }
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const std::string before = ReadFile(path);
    CDaoDatabase db;
    db.Open(path.string().c_str(), false, true);
    CFacilityCalendar calendar(&db);
    calendar.Calendar(5);
    EXPECT_FALSE(calendar.LoadCalendars()) << "half a calendar would show wrong working times";
    EXPECT_EQ(calendar.GetNumCalendars(), 0);
    // Without calendars everything works around the clock.
    EXPECT_EQ(TimeList(calendar, 2, At(2024, 12, 24), At(2024, 12, 25)),
              (std::vector<std::string>{"2024-12-24 00:00:00", "2024-12-25 00:00:00"}));
    calendar.Calendar(2).SetModified(true);
    EXPECT_FALSE(calendar.SaveCalendars());
    EXPECT_TRUE(calendar.Calendar(2).IsModified());
    EXPECT_EQ(ReadFile(path), before);

    CFacilityCalendar none(nullptr);
    EXPECT_FALSE(none.LoadCalendars());
    EXPECT_FALSE(none.SaveCalendars());
    CDaoDatabase closed;
    EXPECT_FALSE(CFacilityCalendar(&closed).LoadCalendars());
    EXPECT_EQ(
        messages.texts(),
        (std::vector<std::string>{
            "The calendars could not be read: CalendarExceptionShifts holds a shift of calendar 2 on "
            "2024-12-26, which has no row in CalendarExceptions.",
            "The calendars could not be saved: the database '" + fs::absolute(path).string() + "' is write-protected.",
            "The calendars could not be read: no database is open.",
            "The calendars could not be saved: no database is open.",
            "The calendars could not be read: no database is open."}));
}

TEST_F(FacilityCalendar, CopiesHoldTheirOwnCalendarsOnTheSameDatabase)
{
    CDaoDatabase db;
    db.Open(path.string().c_str(), false, true);
    auto* original = new CFacilityCalendar(&db);
    ASSERT_TRUE(original->LoadCalendars());
    CFacilityCalendar copy(*original);
    original->Calendar(2).GetDay(1).Shifts().RemoveAll();
    delete static_cast<CCalendar*>(original); // through the base, as a facility does
    CFacilityCalendar assigned(nullptr);
    assigned = copy;
    EXPECT_EQ(assigned.GetDatabase(), &db);
    EXPECT_EQ(assigned.Calendar(2).GetDay(1).Shifts().Number(), 1);
}

} // namespace
} // namespace batchplant
