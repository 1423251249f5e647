// The calendars of the generated sample results database.

#include <fstream>
#include <iterator>
#include <map>
#include <sqlite3.h>

#include <gtest/gtest.h>

#include "CalendarOracle.h"
#include "CalendarTestUtil.h"
#include "SampleDatabase.h"
#include "TestSupport.h"
#include "batchplant/db/Dao.h"

namespace batchplant {
namespace {

using test::Describe;

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The rows of a query, each row's columns as text.
std::vector<std::vector<std::string>> Rows(CDaoDatabase& db, const char* sql)
{
    std::vector<std::vector<std::string>> out;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db.GetHandle(), sql, -1, &stmt, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db.GetHandle());
        return out;
    }
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        std::vector<std::string> row;
        for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
            row.emplace_back(text ? text : "NULL");
        }
        out.push_back(row);
    }
    sqlite3_finalize(stmt);
    return out;
}

// The calendar tables read straight from SQL, in the form Describe gives.
std::string DescribeTables(CDaoDatabase& db)
{
    std::map<long, std::string> names;
    std::map<long, std::map<int, std::string>> days;
    std::map<long, std::map<std::string, std::string>> exceptions;
    for (const auto& r : Rows(db, "SELECT CalendarID, Name FROM Calendars"))
        names[std::stol(r[0])] = r[1];
    for (const auto& r : Rows(db, "SELECT CalendarID, DayOfWeek, StartSecond, EndSecond FROM CalendarWeekShifts "
                                  "ORDER BY ShiftNo"))
        days[std::stol(r[0])][std::stoi(r[1])] += r[2] + "-" + r[3] + ";";
    for (const auto& r : Rows(db, "SELECT CalendarID, ExceptionDate FROM CalendarExceptions"))
        exceptions[std::stol(r[0])][r[1]];
    for (const auto& r : Rows(db, "SELECT CalendarID, ExceptionDate, StartSecond, EndSecond "
                                  "FROM CalendarExceptionShifts ORDER BY ShiftNo"))
        exceptions[std::stol(r[0])][r[1]] += r[2] + "-" + r[3] + ";";
    std::string out;
    for (const auto& [id, name] : names) {
        out += std::to_string(id) + " '" + name + "'\n";
        for (int d = 0; d < 7; ++d)
            out += "  day " + std::to_string(d) + ": " + days[id][d] + "\n";
        for (const auto& [date, shifts] : exceptions[id])
            out += "  on " + date + "T00:00:00: " + shifts + "\n";
    }
    return out;
}

class SampleCalendars : public ::testing::Test {
protected:
    test::MessageRecorder messages;
};

TEST_F(SampleCalendars, LoadEveryCalendarAsTheTablesHoldIt)
{
    CDaoDatabase db;
    db.Open(test::SampleDatabasePath().string().c_str(), false, true);
    CFacilityCalendar calendar(&db);
    ASSERT_TRUE(calendar.LoadCalendars());
    EXPECT_EQ(messages.count(), 0u);
    ASSERT_GT(calendar.GetNumCalendars(), 0);
    EXPECT_EQ(Describe(calendar.Calendars()), DescribeTables(db));

    // Equipment names only calendars that exist, and some equipment has none.
    const auto used = Rows(db, "SELECT DISTINCT CalendarID FROM EquipmentSummary WHERE CalendarID IS NOT NULL");
    ASSERT_FALSE(used.empty());
    for (const auto& r : used)
        EXPECT_TRUE(calendar.Calendars().Contains(std::stoi(r[0]))) << r[0];
    EXPECT_FALSE(Rows(db, "SELECT 1 FROM EquipmentSummary WHERE CalendarID IS NULL").empty());
}

TEST_F(SampleCalendars, TimeListsAgreeWithAMinuteByMinuteReading)
{
    CDaoDatabase db;
    db.Open(test::SampleDatabasePath().string().c_str(), false, true);
    CFacilityCalendar calendar(&db);
    ASSERT_TRUE(calendar.LoadCalendars());
    for (int c = 0; c < calendar.GetNumCalendars(); ++c) {
        const CSingleCalendar& single = calendar.Calendars().GetAt(c);
        const int id = calendar.Calendars().GetKeyAt(c);
        // Two weeks around the first exception, or from the plan's start.
        long long firstDay = 0;
        if (single.Exceptions().GetCount() > 0) {
            firstDay = static_cast<long long>(single.Exceptions().GetKeyAt(0).ToLinearDays()) - 7;
        } else {
            const auto start = Rows(db, "SELECT StartDateTime FROM PPlan");
            ASSERT_FALSE(start.empty());
            firstDay = static_cast<long long>(COleDateTime::FromIso(start[0][0].c_str()).ToLinearDays());
        }
        const long long from = firstDay * 86400;
        const long long to = from + 14 * 86400;
        List<COleDateTime> out;
        calendar.GetCalendarTimeList(id, COleDateTime::FromLinearDays(from / 86400.0),
                                     COleDateTime::FromLinearDays(to / 86400.0), out);
        SCOPED_TRACE(id);
        test::ExpectMatchesOracle(single, from, to, out);
    }
}

TEST_F(SampleCalendars, SavingACopyKeepsItsRowsAndChangesLoadAgain)
{
    test::TempDir dir;
    const auto path = test::CopySampleDatabase(dir.file("copy.db"));
    std::string original;
    std::string changed;
    {
        CDaoDatabase db;
        db.Open(path.string().c_str());
        original = DescribeTables(db);
        CFacilityCalendar calendar(&db);
        ASSERT_TRUE(calendar.LoadCalendars());
        ASSERT_TRUE(calendar.SaveCalendars());
        EXPECT_EQ(DescribeTables(db), original);

        const int id = calendar.Calendars().GetKeyAt(0);
        calendar.Calendar(id).Exception(COleDateTime(2031, 5, 1, 0, 0, 0)); // a holiday
        calendar.Calendar(id).GetDay(3).Shifts().Add(test::Shift(22, 0, 6, 0));
        calendar.Calendar(id).SetName("Renamed");
        changed = Describe(calendar.Calendars());
        ASSERT_TRUE(calendar.SaveCalendars());
        EXPECT_EQ(messages.count(), 0u);
    }
    CDaoDatabase db;
    db.Open(path.string().c_str(), false, true);
    CFacilityCalendar calendar(&db);
    ASSERT_TRUE(calendar.LoadCalendars());
    EXPECT_EQ(Describe(calendar.Calendars()), changed);
    EXPECT_NE(changed, original);
}

TEST_F(SampleCalendars, AFailedSaveLeavesTheCopyByteForByte)
{
    test::TempDir dir;
    const auto path = test::CopySampleDatabase(dir.file("copy.db"));
    {
        CDaoDatabase db;
        db.Open(path.string().c_str());
        char* message = nullptr;
        ASSERT_EQ(sqlite3_exec(db.GetHandle(),
                               "CREATE TRIGGER calendars_frozen BEFORE INSERT ON Calendars "
                               "WHEN NEW.Name = 'Frozen' BEGIN SELECT RAISE(ABORT, 'calendar Frozen is locked'); END;",
                               nullptr, nullptr, &message),
                  SQLITE_OK)
            << (message ? message : "");
        sqlite3_free(message);
    }
    const std::string before = ReadFile(path);
    {
        CDaoDatabase db;
        db.Open(path.string().c_str());
        CFacilityCalendar calendar(&db);
        ASSERT_TRUE(calendar.LoadCalendars());
        calendar.Calendar(calendar.Calendars().GetKeyAt(0)).GetDay(1).Shifts().RemoveAll();
        calendar.Calendar(999).SetName("Frozen"); // written after the deletes and the first calendars
        EXPECT_FALSE(calendar.SaveCalendars());
        ASSERT_EQ(messages.count(), 1u);
        EXPECT_EQ(messages.texts()[0], "The calendars could not be saved: calendar Frozen is locked");
    }
    EXPECT_EQ(ReadFile(path), before);
}

} // namespace
} // namespace batchplant
