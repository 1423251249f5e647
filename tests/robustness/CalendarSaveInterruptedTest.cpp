// Saving calendars when the write fails midway: the file must stay byte for
// byte as it was, no journal may be left beside it, the user must be told
// why, and SaveCalendars must say it failed. Each case then removes the
// obstacle and saves again, which must succeed and store the changes, so that
// a case cannot pass because nothing would have been written anyway.

#include <gtest/gtest.h>

#include <memory>

#include <sys/resource.h>

#include "GuardedRun.h"
#include "SampleDatabase.h"
#include "TestSupport.h"
#include "batchplant/calendar/Calendar.h"
#include "batchplant/calendar/WorkShift.h"
#include "batchplant/db/Dao.h"
#include "db/Sqlite.h"

namespace batchplant {
namespace {

namespace fs = std::filesystem;
using Step = std::function<std::string(const fs::path&)>; // returns an error text

std::string execSql(const fs::path& file, const std::string& sql)
{
    try {
        sqlite::Connection(file.string(), SQLITE_OPEN_READWRITE).exec(sql);
    } catch (const CDaoException& e) {
        return e.what();
    }
    return {};
}

// The calendars of `file` as a fresh calendar object reads them.
std::string calendarsIn(const fs::path& file)
{
    CDaoDatabase db;
    db.Open(CString(file.string()), false, true);
    CFacilityCalendar calendar(&db);
    test::MessageRecorder quiet;
    if (!calendar.LoadCalendars()) return "unreadable";
    std::string text;
    for (int i = 0; i < calendar.GetNumCalendars(); ++i) {
        const CSingleCalendar& c = calendar.Calendars().GetAt(i);
        int shifts = 0;
        for (int d = 0; d < CSingleCalendar::kWeekDays; ++d)
            shifts += c.GetDay(d).Shifts().Number();
        text += std::to_string(calendar.Calendars().GetKeyAt(i)) + " " + c.GetName().str() + " " +
                std::to_string(shifts) + " shifts " + std::to_string(c.Exceptions().GetCount()) + " exceptions; ";
    }
    return text;
}

struct SaveCase {
    std::string name;
    std::string prepareSql; // run on the copy before loading (a trigger, say)
    Step obstruct, clear;   // put the obstacle in place right before the save; take it away
    std::string reason;     // words the message must hold after its fixed beginning
    int newCalendars = 3;
    friend void PrintTo(const SaveCase& c, std::ostream* os) { *os << c.name; }
};

std::string setPermissions(const fs::path& p, fs::perms perms)
{
    std::error_code ec;
    fs::permissions(p, perms, ec);
    return ec.message() == std::error_code().message() ? std::string() : ec.message();
}

std::string dropTrigger(const fs::path& f) { return execSql(f, "DROP TRIGGER stop_the_save"); }

// A trigger that refuses the nth insert into `table`: the rows before it were
// written inside the same transaction.
SaveCase abortAt(const std::string& table, int nth)
{
    const std::string reason = "stopped by the test at insert " + std::to_string(nth) + " into " + table;
    // The sample may have no calendars: the trigger needs a table to sit on.
    return {"abort at insert " + std::to_string(nth) + " into " + table,
            "CREATE TABLE IF NOT EXISTS Calendars (CalendarID INTEGER NOT NULL PRIMARY KEY, Name TEXT NOT NULL "
            "DEFAULT ''); CREATE TRIGGER stop_the_save BEFORE INSERT ON " +
                table + " WHEN (SELECT count(*) FROM " + table + ") >= " + std::to_string(nth - 1) +
                " BEGIN SELECT RAISE(ABORT, '" + reason + "'); END;",
            nullptr, dropTrigger, reason};
}

std::vector<SaveCase> saveCases()
{
    const auto holder = std::make_shared<sqlite::Connection>();
    const auto fileSizeLimit = [](rlim_t limit) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit l{limit, RLIM_INFINITY};
        return ::setrlimit(RLIMIT_FSIZE, &l) == 0 ? std::string() : "setrlimit failed";
    };
    std::vector<SaveCase> cases = {
        {"read-only file", "", [](const fs::path& f) { return setPermissions(f, fs::perms::owner_read); },
         [](const fs::path& f) { return setPermissions(f, fs::perms::owner_read | fs::perms::owner_write); },
         "write-protected"},
        {"delete refused",
         "CREATE TRIGGER stop_the_save BEFORE DELETE ON CalendarWeekShifts BEGIN SELECT RAISE(ABORT, 'old shifts "
         "may not be removed'); END;",
         nullptr, dropTrigger, "old shifts may not be removed"},
        {"locked by another writer", "",
         [holder](const fs::path& f) {
             *holder = sqlite::Connection(f.string(), SQLITE_OPEN_READWRITE);
             holder->exec("BEGIN IMMEDIATE");
             return std::string();
         },
         [holder](const fs::path&) { return *holder = sqlite::Connection(), std::string(); }, // rolls back
         "locked"},
        // The journal cannot be created beside the file.
        {"read-only directory", "",
         [](const fs::path& f) {
             return setPermissions(f.parent_path(), fs::perms::owner_read | fs::perms::owner_exec);
         },
         [](const fs::path& f) { return setPermissions(f.parent_path(), fs::perms::owner_all); }, "unable to open"},
        // A file-size limit stands for a full disk: hundreds of new calendars
        // need many more pages, and the transaction rolls back from its journal.
        {"disk full", "",
         [fileSizeLimit](const fs::path& f) { return fileSizeLimit(static_cast<rlim_t>(fs::file_size(f) + 8192)); },
         [fileSizeLimit](const fs::path&) { return fileSizeLimit(RLIM_INFINITY); }, "disk", 400}};
    for (const char* table : {"Calendars", "CalendarWeekShifts", "CalendarExceptions", "CalendarExceptionShifts"})
        cases.push_back(abortAt(table, 1));
    for (const auto& [table, nth] : {std::pair{"Calendars", 3},
                                     {"CalendarWeekShifts", 25},
                                     {"CalendarExceptions", 8},
                                     {"CalendarExceptionShifts", 10}})
        cases.push_back(abortAt(table, nth));
    return cases;
}

// Runs in the child; returns failure lines.
std::string runSaveCase(const SaveCase& sc, const fs::path& file)
{
    test::CopySampleDatabase(file);
    if (!sc.prepareSql.empty() && !execSql(file, sc.prepareSql).empty()) return "could not prepare the copy\n";
    std::string failures;
    const auto fail = [&](const std::string& what) { failures += what + "\n"; };
    CDaoDatabase db;
    db.Open(CString(file.string()), false, false);
    CFacilityCalendar calendar(&db);
    if (test::MessageRecorder quiet; !calendar.LoadCalendars()) return "the sample's calendars did not load\n";
    const std::string stored = calendarsIn(file);
    // A renamed calendar and new ones with week shifts and dated exceptions:
    // the save writes rows into every calendar table.
    if (calendar.GetNumCalendars() > 0) calendar.Calendars().GetAt(0).SetName("Renamed by the test");
    for (int n = 0; n < sc.newCalendars; ++n) {
        CSingleCalendar& c = calendar.Calendar(9000 + n);
        c.SetName(CString::Formatted("Test calendar %d", n));
        for (int d = 1; d <= 5; ++d) {
            c.GetDay(d).Shifts().Add(CWorkShift::TimeOfDay(6 * 3600), CWorkShift::TimeOfDay(14 * 3600));
            c.GetDay(d).Shifts().Add(CWorkShift::TimeOfDay(14 * 3600), CWorkShift::TimeOfDay(22 * 3600));
        }
        for (int e = 0; e < 6; ++e)
            c.Exception(COleDateTime(2026, 1 + e, 10 + n % 15, 0, 0, 0))
                .Add(CWorkShift::TimeOfDay(8 * 3600), CWorkShift::TimeOfDay(12 * 3600));
    }
    const int inMemory = calendar.GetNumCalendars();
    if (sc.obstruct)
        if (const std::string error = sc.obstruct(file); !error.empty()) return "setting up the obstacle: " + error;
    const std::string before = test::ReadFile(file);
    {
        test::MessageRecorder recorder;
        if (calendar.SaveCalendars()) fail("SaveCalendars reported success although the write failed");
        const std::string text = recorder.count() == 1 ? recorder.texts()[0] : "";
        if (text.rfind("The calendars could not be saved: ", 0) != 0 || text.find(sc.reason) == std::string::npos)
            fail(std::to_string(recorder.count()) + " message boxes, expected one saying why (\"" + sc.reason +
                 "\"): \"" + text + "\"");
    }
    if (test::ReadFile(file) != before) fail("the file changed although the save failed");
    for (const char* suffix : {"-journal", "-wal", "-shm"})
        if (fs::exists(fs::path(file.string() + suffix))) fail(std::string("a ") + suffix + " file was left behind");
    if (const std::string error = sc.clear(file); !error.empty()) return failures + "clearing the obstacle: " + error;
    if (calendarsIn(file) != stored) fail("the stored calendars changed: " + calendarsIn(file));
    if (calendar.GetNumCalendars() != inMemory) fail("the calendars in memory were lost");
    if (test::MessageRecorder recorder; !calendar.SaveCalendars())
        fail("the save failed after the obstacle was removed: " + (recorder.count() ? recorder.texts()[0] : ""));
    if (const std::string after = calendarsIn(file); after.find("Renamed by the test") == std::string::npos)
        fail("the save after the obstacle was removed did not store the changes: " + after);
    return failures;
}

class CalendarSaveInterrupted : public testing::TestWithParam<SaveCase> {};

TEST_P(CalendarSaveInterrupted, LeavesTheFileAsItWasAndSavesOnceCleared)
{
    const SaveCase& sc = GetParam();
    if (sc.name == "read-only directory" && ::geteuid() == 0)
        GTEST_SKIP() << "directory permissions do not bind the super-user";
    test::SampleDatabasePath(); // generated before the fork, once
    test::TempDir dir;
    const test::GuardedResult r = test::RunGuarded([&] { return runSaveCase(sc, dir.file("results.db")); }, 120);
    EXPECT_EQ(r.failure + r.report, "");
}

INSTANTIATE_TEST_SUITE_P(FailurePoints, CalendarSaveInterrupted, testing::ValuesIn(saveCases()),
                         [](const testing::TestParamInfo<SaveCase>& info) {
                             std::string name;
                             for (char c : info.param.name)
                                 if (std::isalnum(static_cast<unsigned char>(c))) name += c;
                             return name;
                         });

} // namespace
} // namespace batchplant
