// Saving calendars when the write fails midway: the file stays byte for byte
// as it was with no journal beside it, the user is told why and the save
// says it failed. Then the obstacle goes and the save must store the changes,
// so that no case passes because nothing would have been written anyway.

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include <sys/resource.h>

#include "GuardedRun.h"
#include "ResultsDb.h"
#include "SampleDatabase.h"
#include "batchplant/calendar/Calendar.h"
#include "batchplant/calendar/WorkShift.h"
#include "batchplant/db/Dao.h"

namespace batchplant {
namespace {

namespace fs = std::filesystem;
using Step = std::function<void(const fs::path&)>; // throws when it cannot do its part

struct SaveCase {
    std::string name, prepareSql; // prepareSql runs on the copy before loading
    Step obstruct, clear;         // right before the save; after it
    std::string reason;           // words the message must hold after its fixed beginning
    int newCalendars = 3;
    friend void PrintTo(const SaveCase& c, std::ostream* os) { *os << c.name; }
};

Step setPermissions(fs::perms perms, bool directory = false)
{
    return [=](const fs::path& f) { fs::permissions(directory ? f.parent_path() : f, perms); };
}

// A file-size limit stands for a full disk: hundreds of new calendars need
// many more pages, and the transaction rolls back from its journal.
Step fileSizeLimit(bool limited)
{
    return [=](const fs::path& f) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit l{limited ? static_cast<rlim_t>(fs::file_size(f) + 8192) : RLIM_INFINITY, RLIM_INFINITY};
        if (::setrlimit(RLIMIT_FSIZE, &l) != 0) throw std::runtime_error("setrlimit failed");
    };
}

std::vector<SaveCase> saveCases()
{
    const Step dropTrigger = [](const fs::path& f) { test::Sql(f).exec("DROP TRIGGER stop_the_save"); };
    const auto holder = std::make_shared<sqlite::Connection>();
    const auto lock = [holder](const fs::path& f) {
        *holder = sqlite::Connection(f.string(), SQLITE_OPEN_READWRITE);
        holder->exec("BEGIN IMMEDIATE");
    };
    const auto rw = fs::perms::owner_read | fs::perms::owner_write;
    std::vector<SaveCase> cases = {
        {"read-only file", "", setPermissions(fs::perms::owner_read), setPermissions(rw), "write-protected"},
        {"delete refused",
         "CREATE TRIGGER stop_the_save BEFORE DELETE ON CalendarWeekShifts BEGIN SELECT RAISE(ABORT, 'old shifts "
         "may not be removed'); END;",
         nullptr, dropTrigger, "old shifts may not be removed"},
        {"locked by another writer", "", lock, [holder](const fs::path&) { *holder = sqlite::Connection(); }, "locked"},
        // The journal cannot be created beside the file.
        {"read-only directory", "", setPermissions(fs::perms::owner_read | fs::perms::owner_exec, true),
         setPermissions(fs::perms::owner_all, true), "unable to open"},
        {"disk full", "", fileSizeLimit(true), fileSizeLimit(false), "disk", 400}};
    // A trigger refusing the first or a later insert into a table: the rows
    // before it were written in the same transaction. The sample may have no
    // calendars, so the trigger needs a table to sit on.
    for (const auto& [table, later] : {std::pair{"Calendars", 3},
                                       {"CalendarWeekShifts", 25},
                                       {"CalendarExceptions", 8},
                                       {"CalendarExceptionShifts", 10}})
        for (const int nth : {1, later}) {
            const std::string at = "insert " + std::to_string(nth) + " into " + table,
                              reason = "stopped by the test at " + at;
            cases.push_back({"abort at " + at,
                             "CREATE TABLE IF NOT EXISTS Calendars (CalendarID INTEGER NOT NULL PRIMARY KEY, Name "
                             "TEXT NOT NULL DEFAULT ''); CREATE TRIGGER stop_the_save BEFORE INSERT ON " +
                                 std::string(table) + " WHEN (SELECT count(*) FROM " + table + ") >= " +
                                 std::to_string(nth - 1) + " BEGIN SELECT RAISE(ABORT, '" + reason + "'); END;",
                             nullptr, dropTrigger, reason});
        }
    return cases;
}

// Runs in the child; gives failure lines. A step that cannot do its part
// throws, which fails the case too.
std::string runSaveCase(const SaveCase& sc, const fs::path& file)
{
    test::CopySampleDatabase(file);
    test::Sql(file).exec(sc.prepareSql);
    std::string failures;
    const auto fail = [&](const std::string& what) { failures += what + "\n"; };
    CDaoDatabase db;
    db.Open(CString(file.string()), false, false);
    CFacilityCalendar calendar(&db);
    if (test::MessageRecorder quiet; !calendar.LoadCalendars()) return "the sample's calendars did not load\n";
    // A renamed calendar and new ones with week shifts and dated exceptions:
    // the save writes rows into every calendar table.
    if (calendar.GetNumCalendars() > 0) calendar.Calendars().GetAt(0).SetName("Renamed by the test");
    for (int n = 0; n < sc.newCalendars; ++n) {
        CSingleCalendar& c = calendar.Calendar(9000 + n);
        c.SetName(CString::Formatted("Test calendar %d", n));
        for (int d = 1; d <= 5; ++d)
            for (const int from : {6, 14})
                c.GetDay(d).Shifts().Add(CWorkShift::TimeOfDay(from * 3600), CWorkShift::TimeOfDay((from + 8) * 3600));
        for (int e = 0; e < 6; ++e)
            c.Exception(COleDateTime(2026, 1 + e, 10 + n % 15, 0, 0, 0))
                .Add(CWorkShift::TimeOfDay(8 * 3600), CWorkShift::TimeOfDay(12 * 3600));
    }
    if (sc.obstruct) sc.obstruct(file);
    const std::string before = test::ReadFile(file);
    if (test::MessageRecorder recorder; calendar.SaveCalendars() || recorder.count() != 1 ||
                                        !recorder.texts()[0].starts_with("The calendars could not be saved: ") ||
                                        recorder.texts()[0].find(sc.reason) == std::string::npos)
        fail("the failed save gave success or " + std::to_string(recorder.count()) +
             " message boxes, expected one saying why (\"" + sc.reason + "\"): \"" +
             (recorder.count() ? recorder.texts()[0] : "") + "\"");
    if (test::ReadFile(file) != before) fail("the file changed although the save failed");
    for (const char* suffix : {"-journal", "-wal", "-shm"})
        if (fs::exists(fs::path(file.string() + suffix))) fail(std::string("a ") + suffix + " file was left behind");
    sc.clear(file);
    if (test::MessageRecorder recorder; !calendar.SaveCalendars())
        fail("the save failed after the obstacle was removed: " + (recorder.count() ? recorder.texts()[0] : ""));
    const long long stored =
        test::Sql(file, true)
            .count("SELECT count(*) FROM Calendars WHERE Name = 'Renamed by the test' OR Name LIKE 'Test calendar %'");
    if (stored != sc.newCalendars + 1)
        fail("the save after the obstacle was removed stored " + std::to_string(stored) + " changed calendars");
    return failures;
}

class CalendarSaveInterrupted : public testing::TestWithParam<SaveCase> {};

TEST_P(CalendarSaveInterrupted, LeavesTheFileAsItWasAndSavesOnceCleared)
{
    if (GetParam().name == "read-only directory" && ::geteuid() == 0)
        GTEST_SKIP() << "directory permissions do not bind the super-user";
    test::SampleDatabasePath(); // generated before the fork, once
    test::TempDir dir;
    test::ExpectGuarded([&] { return runSaveCase(GetParam(), dir.file("results.db")); }, 120, GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(FailurePoints, CalendarSaveInterrupted, testing::ValuesIn(saveCases()),
                         test::ParamName<SaveCase>);

} // namespace
} // namespace batchplant
