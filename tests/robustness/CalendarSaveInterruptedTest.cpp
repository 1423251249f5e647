// Saving calendars when the write fails midway: the file must stay byte for
// byte as it was, no journal may be left beside it, the user must be told
// why, and SaveCalendars must say it failed. Each case then removes the
// obstacle and saves again, which must succeed and change the file, so that
// a case cannot pass because nothing would have been written anyway. Cases
// run in a child process under a time limit.

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <string>

#include <sys/resource.h>
#include <unistd.h>

#include "GuardedRun.h"
#include "LoadChecks.h"
#include "SampleDatabase.h"
#include "TestSupport.h"
#include "batchplant/calendar/Calendar.h"
#include "batchplant/calendar/WorkShift.h"
#include "batchplant/db/Dao.h"
#include "db/Sqlite.h"

namespace batchplant {
namespace {

namespace fs = std::filesystem;

constexpr unsigned kCaseSeconds = 120;

bool execSql(const fs::path& file, const std::string& sql)
{
    try {
        sqlite::Connection(file.string(), SQLITE_OPEN_READWRITE).exec(sql);
        return true;
    } catch (const CDaoException&) {
        return false;
    }
}

// The calendars of `file`, read by a fresh calendar object: id and name of
// each, and the number of shifts and exceptions, as one text.
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

// Changes that make the save write rows into every calendar table: a renamed
// calendar, new calendars with week shifts and dated exceptions with shifts.
void changeCalendars(CFacilityCalendar& calendar, int newCalendars)
{
    if (calendar.GetNumCalendars() > 0) calendar.Calendars().GetAt(0).SetName("Renamed by the test");
    for (int n = 0; n < newCalendars; ++n) {
        CSingleCalendar& c = calendar.Calendar(9000 + n);
        c.SetName(CString::Formatted("Test calendar %d", n));
        for (int d = 1; d <= 5; ++d) {
            c.GetDay(d).Shifts().Add(CWorkShift::TimeOfDay(6 * 3600), CWorkShift::TimeOfDay(14 * 3600));
            c.GetDay(d).Shifts().Add(CWorkShift::TimeOfDay(14 * 3600), CWorkShift::TimeOfDay(22 * 3600));
        }
        for (int e = 0; e < 6; ++e) {
            CMultiWorkShift& shifts = c.Exception(COleDateTime(2026, 1 + e, 10 + n % 15, 0, 0, 0));
            shifts.Add(CWorkShift::TimeOfDay(8 * 3600), CWorkShift::TimeOfDay(12 * 3600));
        }
    }
}

struct SaveCase {
    std::string name;
    // Run on the copy before the calendars are loaded (a trigger, say).
    std::string prepareSql;
    // Put the obstacle in place after loading, right before the save;
    // returns an error text when it could not.
    std::function<std::string(const fs::path&)> obstruct;
    // Take it away again.
    std::function<void(const fs::path&)> clear;
    // Words the message must hold besides its fixed beginning.
    std::string reason;
    int newCalendars = 3;
};

// Runs one case in the child; returns failure lines (empty when it passed).
std::string runSaveCase(const SaveCase& sc, const fs::path& dir)
{
    const fs::path file = dir / "results.db";
    test::CopySampleDatabase(file);
    if (!sc.prepareSql.empty() && !execSql(file, sc.prepareSql)) return "FAIL could not prepare the copy\n";

    std::string failures;
    const auto fail = [&](const std::string& what) { failures += "FAIL " + what + "\n"; };

    CDaoDatabase db;
    db.Open(CString(file.string()), false, false);
    CFacilityCalendar calendar(&db);
    {
        test::MessageRecorder quiet;
        if (!calendar.LoadCalendars()) return "FAIL the sample's calendars did not load\n";
    }
    const std::string stored = calendarsIn(file);
    changeCalendars(calendar, sc.newCalendars);
    const int inMemory = calendar.GetNumCalendars();

    const std::string error = sc.obstruct ? sc.obstruct(file) : std::string();
    if (!error.empty()) return "FAIL setting up the obstacle: " + error + "\n";
    const std::string before = test::ReadFile(file);
    {
        test::MessageRecorder recorder;
        const bool saved = calendar.SaveCalendars();
        if (saved) fail("SaveCalendars reported success although the write failed");
        if (recorder.count() != 1) {
            fail("expected one message box, got " + std::to_string(recorder.count()));
        } else {
            const std::string& text = recorder.texts()[0];
            if (text.rfind("The calendars could not be saved: ", 0) != 0 || text.find(sc.reason) == std::string::npos)
                fail("the message does not say why: \"" + text + "\" (expected \"" + sc.reason + "\")");
        }
    }
    if (test::ReadFile(file) != before) fail("the file changed although the save failed");
    for (const char* suffix : {"-journal", "-wal", "-shm"})
        if (fs::exists(fs::path(file.string() + suffix))) fail(std::string("a ") + suffix + " file was left behind");
    if (sc.clear) sc.clear(file);
    if (calendarsIn(file) != stored) fail("the stored calendars changed: " + calendarsIn(file));
    if (calendar.GetNumCalendars() != inMemory) fail("the calendars in memory were lost");

    // With the obstacle gone the same save goes through.
    {
        test::MessageRecorder recorder;
        if (!calendar.SaveCalendars())
            fail("the save failed after the obstacle was removed: " +
                 (recorder.count() ? recorder.texts()[0] : std::string("no message")));
    }
    const std::string after = calendarsIn(file);
    if (after == stored || after.find("Renamed by the test") == std::string::npos)
        fail("the save after the obstacle was removed did not store the changes: " + after);
    return failures;
}

void runGuardedSave(const SaveCase& sc)
{
    test::SampleDatabasePath(); // generated before the fork, once
    test::TempDir dir;
    const test::GuardedResult r = test::RunGuarded([&] { return runSaveCase(sc, dir.path()); }, kCaseSeconds);
    ASSERT_TRUE(r.finished) << sc.name << ": " << r.failure() << "\n" << r.report;
    EXPECT_EQ(r.report, "") << sc.name;
}

std::string abortTrigger(const std::string& table, int nth)
{
    return "CREATE TRIGGER stop_the_save BEFORE INSERT ON " + table + " WHEN (SELECT count(*) FROM " + table +
           ") >= " + std::to_string(nth - 1) + " BEGIN SELECT RAISE(ABORT, 'stopped by the test at insert " +
           std::to_string(nth) + " into " + table + "'); END;";
}

void dropTrigger(const fs::path& file) { execSql(file, "DROP TRIGGER IF EXISTS stop_the_save"); }

TEST(CalendarSaveInterrupted, FileMadeReadOnlyAfterLoading)
{
    SaveCase sc;
    sc.name = "read-only file";
    sc.obstruct = [](const fs::path& f) {
        std::error_code ec;
        fs::permissions(f, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read, ec);
        return ec ? ec.message() : std::string();
    };
    sc.clear = [](const fs::path& f) {
        fs::permissions(f, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
    };
    sc.reason = "write-protected";
    runGuardedSave(sc);
}

TEST(CalendarSaveInterrupted, TriggerAbortsTheNthInsertOfEachCalendarTable)
{
    // The first row, and a row well into the table, of every table the save
    // writes; the rows before it were written inside the same transaction.
    const std::pair<const char*, int> points[] = {{"Calendars", 1},
                                                  {"Calendars", 3},
                                                  {"CalendarWeekShifts", 1},
                                                  {"CalendarWeekShifts", 25},
                                                  {"CalendarExceptions", 1},
                                                  {"CalendarExceptions", 8},
                                                  {"CalendarExceptionShifts", 1},
                                                  {"CalendarExceptionShifts", 10}};
    for (const auto& [table, nth] : points) {
        SaveCase sc;
        sc.name = std::string("abort at insert ") + std::to_string(nth) + " into " + table;
        // The calendar tables exist once the sample has calendars; create
        // them where it has none so the trigger has a table to sit on.
        sc.prepareSql =
            std::string("CREATE TABLE IF NOT EXISTS Calendars (CalendarID INTEGER NOT NULL PRIMARY KEY, Name TEXT "
                        "NOT NULL DEFAULT '');") +
            abortTrigger(table, nth);
        sc.clear = dropTrigger;
        sc.reason = std::string("stopped by the test at insert ") + std::to_string(nth) + " into " + table;
        SCOPED_TRACE(sc.name);
        runGuardedSave(sc);
    }
}

TEST(CalendarSaveInterrupted, TriggerRefusesToDeleteTheOldRows)
{
    SaveCase sc;
    sc.name = "delete refused";
    sc.prepareSql = "CREATE TRIGGER stop_the_save BEFORE DELETE ON CalendarWeekShifts BEGIN SELECT RAISE(ABORT, "
                    "'old shifts may not be removed'); END;";
    sc.clear = dropTrigger;
    sc.reason = "old shifts may not be removed";
    runGuardedSave(sc);
}

TEST(CalendarSaveInterrupted, AnotherConnectionHoldsTheWriteLock)
{
    SaveCase sc;
    sc.name = "locked by another writer";
    auto holder = std::make_shared<sqlite::Connection>();
    sc.obstruct = [holder](const fs::path& f) -> std::string {
        try {
            *holder = sqlite::Connection(f.string(), SQLITE_OPEN_READWRITE);
            holder->exec("BEGIN IMMEDIATE");
        } catch (const CDaoException& e) {
            return e.what();
        }
        return {};
    };
    // Closing the connection rolls its transaction back.
    sc.clear = [holder](const fs::path&) { *holder = sqlite::Connection(); };
    sc.reason = "locked";
    runGuardedSave(sc);
}

TEST(CalendarSaveInterrupted, DirectoryMadeReadOnly)
{
    // The journal cannot be created beside the file, so the transaction
    // cannot start writing.
    if (::geteuid() == 0) GTEST_SKIP() << "directory permissions do not bind the super-user";
    SaveCase sc;
    sc.name = "read-only directory";
    sc.obstruct = [](const fs::path& f) {
        std::error_code ec;
        fs::permissions(f.parent_path(), fs::perms::owner_read | fs::perms::owner_exec, ec);
        return ec ? ec.message() : std::string();
    };
    sc.clear = [](const fs::path& f) { fs::permissions(f.parent_path(), fs::perms::owner_all); };
    sc.reason = "unable to open";
    runGuardedSave(sc);
}

TEST(CalendarSaveInterrupted, DiskFullWhileWriting)
{
    // A file-size limit just above the file's present size stands for a full
    // disk: the save needs many more pages than that (hundreds of new
    // calendars), so writing them fails (SQLite reports a disk I/O error for
    // a file that may not grow, "database or disk is full" for a full disk)
    // and the transaction is rolled back from its journal.
    SaveCase sc;
    sc.name = "disk full";
    sc.newCalendars = 400;
    sc.obstruct = [](const fs::path& f) -> std::string {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        limit.rlim_cur = static_cast<rlim_t>(fs::file_size(f) + 8192);
        limit.rlim_max = RLIM_INFINITY;
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return "setrlimit failed";
        return {};
    };
    sc.clear = [](const fs::path&) {
        rlimit limit{RLIM_INFINITY, RLIM_INFINITY};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    };
    sc.reason = "disk";
    runGuardedSave(sc);
}

} // namespace
} // namespace batchplant
