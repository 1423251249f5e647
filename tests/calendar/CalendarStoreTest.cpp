// Reading and writing the calendar tables on a database built in the test,
// directly and as the facility's calendars through the data access layer.

#include <functional>
#include <memory>
#include <tuple>

#include <gtest/gtest.h>

#include "CalendarTestUtil.h"
#include "ResultsDb.h"
#include "TestSupport.h"
#include "batchplant/db/Dao.h"
#include "calendar/CalendarStore.h"

namespace batchplant {
namespace {

using test::At;
using test::Blocks;
using test::Describe;
using test::Shift;

// Two calendars: a day-shift week with a holiday and a short day, and a
// night-shift calendar with an overnight exception.
Hash<int, CSingleCalendar> SampleCalendars()
{
    Hash<int, CSingleCalendar> calendars;
    CSingleCalendar& day = calendars[3];
    day.SetName("Früh- und Spätschicht");
    for (int d = 1; d <= 5; ++d) {
        day.GetDay(d).Shifts().Add(Shift(14, 0, 22, 0));
        day.GetDay(d).Shifts().Add(Shift(6, 0, 14, 0)); // order kept as added
    }
    day.Exception(At(2024, 12, 25)); // day off
    day.Exception(At(2024, 12, 24)).Add(Shift(6, 0, 12, 0));
    CSingleCalendar& night = calendars[11];
    night.SetName("Nights");
    night.GetDay(0).Shifts().Add(Shift(22, 0, 6, 0));
    night.GetDay(6).Shifts().Add(CWorkShift(CWorkShift::TimeOfDay(0), CWorkShift::TimeOfDay(0)));
    night.Exception(At(2025, 1, 1)).Add(Shift(23, 30, 7, 15));
    night.Exception(At(2025, 1, 1)).Add(Shift(12, 0, 13, 0));
    calendars[20].SetName("Empty");
    return calendars;
}

class CalendarStore : public ::testing::Test {
protected:
    test::TempDir dir;
    std::filesystem::path path = dir.file("results.db");
    test::MessageRecorder messages;
    void saveSample()
    {
        std::filesystem::remove(path);
        CString error;
        test::Sql db(path);
        ASSERT_TRUE(calendar_store::Save(&db, SampleCalendars(), error)) << error.str();
    }
};

// A save refused before writing or failing midway names the error and leaves
// the calendars stored as they were, outside any transaction.
TEST_F(CalendarStore, AFailedSaveLeavesTheStoredCalendarsAsTheyWereAndNamesTheError)
{
    // SQL run on the saved file, what spoils the calendars.
    using Spoil = std::function<void(Hash<int, CSingleCalendar>&)>;
    const std::tuple<const char*, Spoil, const char*> cases[] = {
        {"CREATE TRIGGER no_exception_shifts BEFORE INSERT ON CalendarExceptionShifts "
         "BEGIN SELECT RAISE(ABORT, 'exception shifts are locked'); END;",
         [](auto&) {}, "exception shifts are locked"},
        {"", [](auto& c) { c[-1]; }, "Calendar -1 cannot be saved: calendar ids must be greater than 0."},
        {"", [](auto& c) { c[11].GetDay(3).Shifts().Add(CWorkShift(CWorkShift::TimeOfDay(0), At(2024, 13, 1))); },
         "Calendar 11: shift 0 of Wednesday has an invalid end time."},
        {"", [](auto& c) { c[3].Exceptions()[At(2024, 7, 4, 12)]; },
         "Calendar 3: the exception keyed 2024-07-04T12:00:00 is not a valid date at midnight."}};
    for (const auto& [setUp, spoil, expected] : cases) {
        SCOPED_TRACE(expected);
        saveSample();
        test::Sql(path).exec(setUp);
        CString error;
        Hash<int, CSingleCalendar> changed = SampleCalendars(), loaded;
        changed[3].SetName("Renamed");
        changed[4].GetDay(1).Shifts().Add(Shift(1, 0, 2, 0));
        spoil(changed);
        test::Sql db(path);
        EXPECT_FALSE(calendar_store::Save(&db, changed, error));
        EXPECT_NE(error.str().find(expected), std::string::npos) << error.str();
        EXPECT_FALSE(db.inTransaction());
        ASSERT_TRUE(calendar_store::Load(&db, loaded, error)) << error.str();
        EXPECT_EQ(Describe(loaded), Describe(SampleCalendars()));
    }
    CString saveError, loadError;
    Hash<int, CSingleCalendar> none;
    EXPECT_FALSE(calendar_store::Save(nullptr, none, saveError) || calendar_store::Load(nullptr, none, loadError));
    EXPECT_EQ(saveError, "no database is open.");
    EXPECT_EQ(loadError, saveError);
}

// Tables without the schema's checks, as a converted or hand-made file may
// have them, with one bad row each, are refused by name and leave the calendars alone.
TEST_F(CalendarStore, BadRowsAreRefusedByName)
{
    // Each bad row, and the part of the refusal that names it.
    const std::pair<const char*, const char*> cases[] = {
        {"INSERT INTO Calendars VALUES (0, 'Zero')", "CalendarID holds '0', not a whole number from 1 to 2147483647."},
        {"INSERT INTO Calendars VALUES (NULL, 'None')", "CalendarID holds 'null', not a whole number from 1 to"},
        {"INSERT INTO Calendars VALUES (1, 'Again')", "Calendars holds calendar 1 more than once."},
        {"INSERT INTO CalendarWeekShifts VALUES (1, 7, 0, 0, 60)", "DayOfWeek holds '7', not a whole number from 0 to"},
        {"INSERT INTO CalendarWeekShifts VALUES (1, 1, 0, 'eight', 60)", "StartSecond holds 'eight', not a whole"},
        {"INSERT INTO CalendarWeekShifts VALUES (1, 1, 0, 0, 86400)", "EndSecond holds '86400', not a whole number"},
        {"INSERT INTO CalendarWeekShifts VALUES (1, 1, 0, 0.5, 60)", "StartSecond holds '0.5', not a whole number"},
        {"INSERT INTO CalendarWeekShifts VALUES (9, 1, 0, 0, 60)", "names calendar 9, which is not in Calendars."},
        {"INSERT INTO CalendarExceptions VALUES (1, '2024-02-30')", "holds '2024-02-30', not a date written YYYY-MM"},
        {"INSERT INTO CalendarExceptions VALUES (1, '2024-03-01 08:00')", "holds '2024-03-01 08:00', not a date"},
        {"INSERT INTO CalendarExceptions VALUES (1, '2024-03-01'), (1, '2024-03-01')",
         "CalendarExceptions holds the exception of calendar 1 on 2024-03-01 more than once."},
        {"INSERT INTO CalendarExceptionShifts VALUES (1, '2024-03-01', 0, 0, 60)",
         "CalendarExceptionShifts holds a shift of calendar 1 on 2024-03-01, which has no row in CalendarExceptions."},
        {"DROP TABLE CalendarExceptions", "no such table: CalendarExceptions"}};
    const char* tables = "CREATE TABLE Calendars (CalendarID, Name);"
                         "CREATE TABLE CalendarWeekShifts (CalendarID, DayOfWeek, ShiftNo, StartSecond, EndSecond);"
                         "CREATE TABLE CalendarExceptions (CalendarID, ExceptionDate);"
                         "CREATE TABLE CalendarExceptionShifts (CalendarID, ExceptionDate, ShiftNo, StartSecond, "
                         "EndSecond);"
                         "INSERT INTO Calendars VALUES (1, 'A');";
    for (const auto& [rows, expected] : cases) {
        test::Sql db(":memory:");
        db.exec(std::string(tables) + rows);
        Hash<int, CSingleCalendar> calendars = SampleCalendars();
        CString error;
        EXPECT_FALSE(calendar_store::Load(&db, calendars, error)) << rows;
        EXPECT_NE(error.str().find(expected), std::string::npos) << error.str();
        EXPECT_EQ(Describe(calendars), Describe(SampleCalendars())) << rows;
    }
    // Without the tables there are none; shifts load in the order of their numbers, whatever that of the rows.
    test::Sql db(":memory:");
    Hash<int, CSingleCalendar> calendars = SampleCalendars();
    CString error;
    ASSERT_TRUE(calendar_store::Load(&db, calendars, error) && calendars.GetCount() == 0) << error.str();
    db.exec(std::string(tables) + "INSERT INTO CalendarWeekShifts VALUES (1, 2, 5, 3600, 7200), (1, 2, 2, 0, 60);");
    ASSERT_TRUE(calendar_store::Load(&db, calendars, error)) << error.str();
    EXPECT_EQ(Describe(calendars[1].GetDay(2).Shifts()), "0-60;3600-7200;");
}

TEST_F(CalendarStore, TheFacilityLoadsAndSavesByNameAfterTheHostClosedItsDatabaseAndShowsWhyNot)
{
    saveSample();
    auto db = std::make_unique<CDaoDatabase>();
    db->Open(path.string().c_str(), false, true); // the host only reads
    CFacilityCalendar calendar(db.get());
    ASSERT_TRUE(calendar.LoadCalendars());
    db.reset();
    EXPECT_EQ(Describe(calendar.Calendars()), Describe(SampleCalendars()));
    calendar.Calendar(3).Exception(At(2024, 12, 31)).Add(Shift(6, 0, 10, 0));
    calendar.Calendar(3).SetModified(true);
    ASSERT_TRUE(calendar.SaveCalendars());
    EXPECT_FALSE(calendar.Calendar(3).IsModified());
    CFacilityCalendar fresh(calendar);
    fresh.Calendars().RemoveAll();
    ASSERT_TRUE(fresh.LoadCalendars());
    EXPECT_EQ(Blocks(fresh, 3, At(2024, 12, 31), At(2025, 1, 1)), "12-31 06:00 12-31 10:00");

    // A bad row loads no calendar at all: half a calendar would show wrong
    // working times. A failed save keeps the calendars marked modified.
    test::Sql(path).exec("INSERT INTO CalendarExceptionShifts VALUES (3, '2024-12-26', 0, 0, 60)");
    EXPECT_FALSE(fresh.LoadCalendars());
    EXPECT_EQ(fresh.GetNumCalendars(), 0);
    std::filesystem::remove(path);
    EXPECT_FALSE(fresh.LoadCalendars());
    CDaoDatabase closed;
    CFacilityCalendar none(&closed);
    EXPECT_FALSE(none.LoadCalendars() || CFacilityCalendar(nullptr).LoadCalendars());
    none.Calendar(3).SetModified(true);
    EXPECT_FALSE(none.SaveCalendars());
    EXPECT_TRUE(none.Calendar(3).IsModified());
    const std::vector<std::string>& texts = messages.texts();
    const std::string read = "The calendars could not be read: ";
    ASSERT_EQ(texts.size(), 5u);
    EXPECT_EQ(texts[0], read + "CalendarExceptionShifts holds a shift of calendar 3 on 2024-12-26, which has no row in "
                               "CalendarExceptions.");
    EXPECT_EQ(texts[1].rfind(read + "Cannot open the database", 0), 0u) << texts[1];
    EXPECT_EQ((std::vector(texts.begin() + 2, texts.end())),
              (std::vector<std::string>{read + "no database is open.", read + "no database is open.",
                                        "The calendars could not be saved: no database is open."}));
}

} // namespace
} // namespace batchplant
