// The mutation suite: each case damages a fresh copy of the sample results
// database in one way (a table or column gone, a column of NULLs, text or
// non-finite numbers in a numeric column, negative or enormous times, zero
// durations, duplicated rows, identifiers that name nothing, a cut-short or
// garbage file), then loads it as the hosts do and checks that the load
// either succeeds with what it could read or tells the user and stops where
// loading stops, with no crash, no hang, no NaN or infinity in any answer and
// no change to the file. Every case runs in a child process under a time
// limit.
//
// The columns that are mutated are the ones the twenty queries read, found by
// preparing each recordset's query on the sample and asking SQLite where its
// bound columns come from; each case loads only the views that the damaged
// table feeds.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "GuardedRun.h"
#include "LoadChecks.h"
#include "SampleDatabase.h"
#include "TestSupport.h"
#include "db/RecordsetCatalog.h"
#include "batchplant/gantt/CompositeTypes.h"
#include "db/Sqlite.h"

namespace batchplant {
namespace {

namespace fs = std::filesystem;
using test::LoadOutcome;
using test::LoadPlan;

// Generous: a case takes well under a second; only a hang reaches it.
constexpr unsigned kCaseSeconds = 120;

std::string upper(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
    return s;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// ------------------------------------------------------------ what is read

struct ReadColumn {
    std::string table;
    std::string column;
    std::set<short> types; // DAO type codes of the bindings that read it
    std::set<std::string> readers;

    bool numeric() const { return types.count(dbLong) || types.count(dbInteger) || types.count(dbDouble); }
    bool real() const { return types.count(dbDouble) > 0; }
    bool whole() const { return types.count(dbLong) || types.count(dbInteger); }
    bool date() const { return types.count(dbDate) > 0; }
};

struct Schema {
    std::vector<std::string> tables;                         // every table of the sample
    std::map<std::string, std::vector<std::string>> columns; // table -> columns
    std::map<std::string, std::set<std::string>> primaryKey; // table -> key columns
    std::vector<ReadColumn> read;                            // in table, column order
    std::map<std::string, std::set<std::string>> readersOf;  // table -> recordsets reading it
};

const std::set<std::string> kPlantReaders = {
    "CDaoPlanSummary",    "CDaoStepSummary",  "CDaoEquipmentSet",   "CDaoEquipConts",      "CDaoStreamSet",
    "CDaoUtilitySummary", "CDaoVaporSummary", "CDaoStreamContents", "CDaoUtilityContents", "CDaoVaporContents"};
const std::set<std::string> kScheduleReaders = {"CDaoPlanSummary", "CDaoStepSummary", "CDaoEquipmentSet",
                                                "CDaoEquipConts"};

unsigned compositeTypesOf(const std::string& reader)
{
    static const std::map<std::string, unsigned> bits = {
        {"CDaoCompositeStream", (1u << Inputs) | (1u << Outputs) | (1u << Inventory)},
        {"CDaoBufferTankContents", 1u << BufferTanks},
        {"CDaoThermodynamicPhase", 1u << BufferTanks},
        {"CDaoPhaseComponents", 1u << BufferTanks},
        {"CDaoEquipmentContents", (1u << BufferTanks) | (1u << Contents)},
        {"CDaoEquipmentSet", 1u << BufferTanks},
        {"DaoUtilityComposite", 1u << Utilities},
        {"CDaoCompositeLabor", 1u << Labor},
        {"CDaoCompVapor", 1u << VaporEmissions},
        {"CDaoEquipmentProperties", 1u << Properties},
    };
    const auto it = bits.find(reader);
    return it == bits.end() ? 0u : it->second;
}

bool isCalendarTable(const std::string& table) { return table.rfind("Calendar", 0) == 0; }

// Only the views that the readers feed; a table that no query reads (the
// calendar tables, the saved queries) gets the full load.
LoadPlan planFor(const std::string& table, const std::set<std::string>& readers)
{
    LoadPlan plan;
    if (isCalendarTable(table)) {
        plan.plant = false;
        plan.compositeTypes = 0;
        return plan;
    }
    if (readers.empty()) return plan;
    plan.plant = false;
    plan.compositeTypes = 0;
    for (const std::string& r : readers) {
        if (kPlantReaders.count(r)) plan.plant = true;
        plan.compositeTypes |= compositeTypesOf(r);
    }
    return plan;
}

Schema discoverSchema(const fs::path& sample)
{
    Schema s;
    const sqlite::Connection raw(sample.string(), SQLITE_OPEN_READONLY);
    sqlite::Statement tables(
        raw, "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite%' ORDER BY name");
    while (tables.step())
        s.tables.push_back(tables.text(0));
    for (const std::string& t : s.tables) {
        sqlite::Statement info(raw, "PRAGMA table_info(" + t + ")");
        while (info.step()) {
            s.columns[t].push_back(info.text(1));
            if (info.integer(5) > 0) s.primaryKey[t].insert(info.text(1));
        }
    }

    std::map<std::pair<std::string, std::string>, ReadColumn> found;
    CDaoDatabase db;
    db.Open(CString(sample.string()), false, true);
    for (const RecordsetCatalogEntry& entry : RecordsetCatalog()) {
        std::unique_ptr<CDaoRecordset> rs = entry.create();
        rs->m_pDatabase = &db;
        rs->Open();
        std::map<std::string, short> bound;
        for (int i = 0; i < rs->GetBoundFieldCount(); ++i) {
            CDaoFieldInfo info;
            rs->GetFieldInfo(i, info);
            bound[upper(info.m_strName.str())] = info.m_nType;
        }
        const sqlite::Statement q(*db.GetConnection(), rs->GetTranslatedSQL());
        for (int c = 0; c < q.columnCount(); ++c) {
            const char* name = q.columnName(c);
            const char* table = q.columnTable(c);
            const char* origin = q.columnOrigin(c);
            const auto b = name ? bound.find(upper(name)) : bound.end();
            if (!table || !origin || b == bound.end()) continue;
            ReadColumn& rc = found[{table, origin}];
            rc.table = table;
            rc.column = origin;
            rc.types.insert(b->second);
            rc.readers.insert(entry.name);
            s.readersOf[table].insert(entry.name);
        }
        rs->Close();
    }
    for (auto& [key, rc] : found)
        s.read.push_back(rc);
    return s;
}

// The sample cut down to its first two batches of every step (and the first
// rows of every buffer tank), which keeps every kind of row the queries read
// while a case loads in a fraction of the time. Made once per test program,
// before any child is forked; removed at exit.
const fs::path& SmallSample()
{
    static test::TempDir dir;
    static const fs::path path = [] {
        const fs::path to = dir.file("small-sample.db");
        fs::copy_file(test::SampleDatabasePath(), to);
        fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write);
        const sqlite::Connection db(to.string(), SQLITE_OPEN_READWRITE);
        const char* const cut = R"sql(
            DELETE FROM EquipmentSchedule WHERE BatchNumber > 2;
            DELETE FROM EquipmentContents WHERE BatchNumber > 2;
            DELETE FROM StreamSummary WHERE BatchNumber > 2;
            DELETE FROM UtilitySummary WHERE BatchNumber > 2;
            DELETE FROM AirEmissionSummary WHERE BatchNumber > 2;
            DELETE FROM LaborSummary WHERE BatchNumber > 2;
            DELETE FROM CompositeContents WHERE CompositeContentsID IN (
                SELECT CompositeContentsID FROM (SELECT CompositeContentsID,
                    row_number() OVER (PARTITION BY EquipmentID ORDER BY Time) AS n FROM CompositeContents)
                WHERE n > 24);
            DELETE FROM ThermodynamicPhase WHERE
                (ContentsID IS NOT NULL AND ContentsID NOT IN (SELECT ContentsID FROM EquipmentContents)) OR
                (StreamID IS NOT NULL AND StreamID NOT IN (SELECT StreamID FROM StreamSummary)) OR
                (UtilityID IS NOT NULL AND UtilityID NOT IN (SELECT UtilityID FROM UtilitySummary)) OR
                (AirEmissionID IS NOT NULL AND AirEmissionID NOT IN (SELECT AirEmissionID FROM AirEmissionSummary)) OR
                (CompositeContentsID IS NOT NULL AND
                 CompositeContentsID NOT IN (SELECT CompositeContentsID FROM CompositeContents));
            DELETE FROM PhaseComponents WHERE PhaseID NOT IN (SELECT PhaseID FROM ThermodynamicPhase);
            VACUUM;)sql";
        db.exec(cut);
        fs::permissions(to, fs::perms::owner_read);
        return to;
    }();
    return path;
}

// Built once per test program, before any child is forked.
const Schema& SampleSchema()
{
    static const Schema schema = discoverSchema(SmallSample());
    return schema;
}

void copySmallSample(const fs::path& to)
{
    fs::copy_file(SmallSample(), to);
    fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write);
}

// ------------------------------------------------------------ the cases

// What a case lets us expect beyond the invariants every load must keep.
struct Expect {
    // The queries of these recordsets cannot be opened at all.
    std::set<std::string> unopenable;
    // Reading these recordsets' rows fails on a value (at the first row or
    // later); the failure must name `subject`.
    std::set<std::string> unreadable;
    // A word that any report of the failure must contain (column or table).
    std::string subject;
    // Neither view can read the file: both stop or refuse.
    bool nothingReadable = false;
    // The file is intact: everything loads without a word to the user.
    bool clean = false;
};

struct Case {
    std::string name;
    std::string table; // the damaged table (empty for whole-file cases)
    std::vector<std::string> sql;
    std::optional<double> parameter; // bound to ?1 of every statement
    // Edits the file instead (cutting it short, overwriting it).
    std::function<void(const fs::path&)> edit;
    LoadPlan plan;
    Expect expect;
};

// Runs the statements on the copy; a statement refused by a constraint is
// retried once the table has been rebuilt without its constraints (the
// damage a writer without them could do).
std::string applySql(const fs::path& file, const Case& c)
{
    const sqlite::Connection db(file.string(), SQLITE_OPEN_READWRITE);
    const auto run = [&](const std::string& sql) -> int {
        int rc = SQLITE_OK;
        sqlite::Statement st = sqlite::Statement::tryPrepare(db, sql, rc);
        if (rc != SQLITE_OK) return rc;
        if (c.parameter && st.parameterCount() > 0) st.bind(1, *c.parameter);
        rc = st.stepCode();
        return rc == SQLITE_DONE || rc == SQLITE_ROW ? SQLITE_OK : rc;
    };
    std::string error;
    bool unconstrained = false;
    for (const std::string& sql : c.sql) {
        int rc = run(sql);
        if (rc != SQLITE_OK && !unconstrained && !c.table.empty() &&
            ((rc & 0xff) == SQLITE_CONSTRAINT || rc == SQLITE_MISMATCH)) {
            const std::string t = c.table;
            run("CREATE TABLE mutation_copy AS SELECT * FROM " + t);
            run("DROP TABLE " + t);
            run("ALTER TABLE mutation_copy RENAME TO " + t);
            unconstrained = true;
            rc = run(sql);
        }
        if (rc != SQLITE_OK) {
            error = "the mutation \"" + sql + "\" failed: " + db.error();
            break;
        }
    }
    return error;
}

// Which of `readers` (those the two views load) fail while their rows are
// walked on the damaged file. A damaged join or filter column can instead
// leave a query with fewer rows or none, which the loaders take silently or
// with their own fixed texts.
std::set<std::string> failingReaders(const fs::path& file, const std::set<std::string>& readers)
{
    std::set<std::string> failing;
    CDaoDatabase db;
    db.Open(CString(file.string()), false, true);
    for (const std::string& name : readers) {
        if (!kPlantReaders.count(name) && !kScheduleReaders.count(name)) continue;
        std::unique_ptr<CDaoRecordset> rs = CreateRecordset(CString(name));
        if (!rs) continue;
        rs->m_pDatabase = &db;
        try {
            for (rs->Open(); !rs->IsEOF(); rs->MoveNext()) {
            }
        } catch (const CDaoException&) {
            failing.insert(name);
        }
    }
    return failing;
}

// The checks that depend on the case, on a load that kept the invariants.
void checkExpectations(const Case& c, const fs::path& file, const LoadOutcome& o, std::vector<std::string>& failures)
{
    Expect e = c.expect;
    if (!e.unreadable.empty()) e.unreadable = failingReaders(file, e.unreadable);
    const auto plantSaid = [&](const std::string& text) {
        return std::any_of(o.plantMessages.begin(), o.plantMessages.end(),
                           [&](const std::string& m) { return contains(m, text); });
    };
    const auto scheduleSaid = [&](const std::string& text) {
        return std::any_of(o.scheduleMessages.begin(), o.scheduleMessages.end(),
                           [&](const std::string& m) { return contains(m, text); });
    };

    if (e.nothingReadable) {
        if (c.plan.plant && !(o.plantOpenFailed || o.plantAborted))
            failures.push_back("3-D view: a file without a results database was neither refused nor stopped");
        if (c.plan.schedule && (o.scheduleRead && !o.scheduleAborted) && o.scheduleVessels > 0)
            failures.push_back("schedule view: vessels were read from a file without a results database");
        if (c.plan.schedule && o.scheduleRead && !o.scheduleAborted)
            failures.push_back("schedule view: reading a file without a results database did not fail");
    }

    if (e.clean &&
        (!o.plantMessages.empty() || !o.scheduleMessages.empty() || o.vessels == 0 || o.scheduleVessels == 0 ||
         o.compositeTypesBuilt == 0 || !o.plantException.empty() || o.plantAborted || !o.scheduleRead))
        failures.push_back("the intact sample did not load cleanly");

    const bool stepsGone = e.unopenable.count("CDaoStepSummary") > 0;
    if (stepsGone) {
        if (c.plan.plant && !o.plantAborted) failures.push_back("3-D view: the load went on without the step query");
        if (c.plan.schedule && !o.scheduleAborted)
            failures.push_back("schedule view: the load went on without the step query");
    } else {
        if (e.unopenable.count("CDaoEquipmentSet")) {
            if (c.plan.plant && (!plantSaid("Failed to open database at equipmentSet !!!") || o.vessels != 0))
                failures.push_back("3-D view: without the equipment query, expected \"Failed to open database at "
                                   "equipmentSet !!!\" and no vessels");
            if (c.plan.schedule && !scheduleSaid("Failed to open database at equipmentSet !!!"))
                failures.push_back("schedule view: without the equipment query, expected \"Failed to open "
                                   "database at equipmentSet !!!\"");
        } else if (e.unopenable.count("CDaoEquipConts")) {
            if (c.plan.plant && (!plantSaid("Failed to open database at equipmentConts") || o.units != 0))
                failures.push_back("3-D view: without the operations query, expected \"Failed to open database at "
                                   "equipmentConts\" and vessels without operations");
            if (c.plan.schedule && !scheduleSaid("Failed to open database at equipmentConts"))
                failures.push_back("schedule view: without the operations query, expected \"Failed to open "
                                   "database at equipmentConts\"");
        }
        if (e.unopenable.count("CDaoStreamSet") && c.plan.plant && !o.plantAborted && o.plantException.empty() &&
            (!plantSaid("Failed to open database at streamSet") || o.processStreams != 0))
            failures.push_back("3-D view: without the stream query, expected \"Failed to open database at "
                               "streamSet\" and no process streams");
    }

    // A query that fails is reported with the database's own words, which
    // name what is missing or wrong.
    const std::set<std::string>& failing = e.unopenable.empty() ? e.unreadable : e.unopenable;
    if (!e.subject.empty()) {
        bool plantReads = false, scheduleReads = false;
        for (const std::string& r : failing) {
            // The step query fails silently; the loader's own message
            // "There were no results found for this step" is what is shown.
            if (r == "CDaoStepSummary") continue;
            plantReads = plantReads || kPlantReaders.count(r);
            scheduleReads = scheduleReads || kScheduleReaders.count(r);
        }
        if (c.plan.plant && plantReads && !o.plantOpenFailed && !o.plantAborted && !plantSaid(e.subject) &&
            !contains(o.plantException, e.subject))
            failures.push_back("3-D view: nothing the user was shown names " + e.subject);
        if (c.plan.schedule && scheduleReads && o.scheduleRead && !scheduleSaid(e.subject))
            failures.push_back("schedule view: read without naming " + e.subject);
        if (!o.plantException.empty() && !contains(o.plantException, e.subject))
            failures.push_back("3-D view: the CDaoException that left the load does not name " + e.subject);
    }
    if (!o.plantException.empty() && e.unreadable.empty() && e.unopenable.empty() && !e.nothingReadable)
        failures.push_back("3-D view: a CDaoException left the load of a file whose queries all read: " +
                           o.plantException);
}

// Runs every case of a group and reports each failing one by name.
void RunCases(const std::vector<Case>& cases)
{
    ASSERT_FALSE(cases.empty());
    SampleSchema(); // the sample and the schema are made before the first fork
    for (const Case& c : cases) {
        test::TempDir dir;
        const fs::path copy = dir.file("results.db");
        const test::GuardedResult r = test::RunGuarded(
            [&]() -> std::string {
                copySmallSample(copy);
                if (!c.sql.empty()) {
                    const std::string error = applySql(copy, c);
                    if (!error.empty()) return "FAIL setting up: " + error + "\n";
                }
                if (c.edit) c.edit(copy);
                const LoadOutcome o = test::LoadAndCheck(copy, c.plan);
                std::vector<std::string> failures = o.failures;
                if (failures.empty()) checkExpectations(c, copy, o, failures);
                std::string report = "OUTCOME " + o.summary() + "\n";
                // One bad value tends to show in many answers: the first few
                // say enough.
                for (std::size_t i = 0; i < failures.size() && i < 6; ++i)
                    report += "FAIL " + failures[i] + "\n";
                if (failures.size() > 6) report += "FAIL ... and " + std::to_string(failures.size() - 6) + " more\n";
                return report;
            },
            kCaseSeconds);
        if (!r.finished) {
            ADD_FAILURE() << c.name << ": " << r.failure() << "\n" << r.report;
            continue;
        }
        std::string outcome;
        std::vector<std::string> failures;
        std::size_t from = 0;
        while (from < r.report.size()) {
            std::size_t to = r.report.find('\n', from);
            if (to == std::string::npos) to = r.report.size();
            const std::string line = r.report.substr(from, to - from);
            if (line.rfind("OUTCOME ", 0) == 0) outcome = line.substr(8);
            if (line.rfind("FAIL ", 0) == 0) failures.push_back(line.substr(5));
            from = to + 1;
        }
        std::printf("  %-58s %s\n", c.name.c_str(), outcome.c_str());
        for (const std::string& f : failures)
            ADD_FAILURE() << c.name << ": " << f << "\n  outcome: " << outcome;
    }
}

Case tableCase(const std::string& name, const std::string& table, std::vector<std::string> sql)
{
    Case c;
    c.name = name;
    c.table = table;
    c.sql = std::move(sql);
    const Schema& s = SampleSchema();
    const auto readers = s.readersOf.find(table);
    c.plan = planFor(table, readers == s.readersOf.end() ? std::set<std::string>{} : readers->second);
    return c;
}

Case columnCase(const std::string& kind, const ReadColumn& rc, std::vector<std::string> sql)
{
    Case c = tableCase(kind + " " + rc.table + "." + rc.column, rc.table, std::move(sql));
    c.plan = planFor(rc.table, rc.readers);
    return c;
}

std::string quoted(const std::string& name) { return "\"" + name + "\""; }

// ------------------------------------------------------------ tables

TEST(MutationSuite, FindsTheColumnsTheQueriesRead)
{
    // The discovery drives every column case; it must see the columns the
    // loaders cannot do without.
    const Schema& s = SampleSchema();
    const auto has = [&](const std::string& table, const std::string& column, const std::string& reader) {
        return std::any_of(s.read.begin(), s.read.end(), [&](const ReadColumn& rc) {
            return rc.table == table && rc.column == column && rc.readers.count(reader);
        });
    };
    EXPECT_TRUE(has("EquipmentSummary", "EquipmentID", "CDaoEquipmentSet"));
    EXPECT_TRUE(has("EquipmentSummary", "Category", "CDaoEquipmentSet"));
    EXPECT_TRUE(has("StepSummary", "StepID", "CDaoStepSummary"));
    EXPECT_TRUE(has("StreamSummary", "FromEquipmentID", "CDaoStreamSet"));
    EXPECT_TRUE(has("EquipmentSchedule", "EndTime", "CDaoEquipConts"));
    EXPECT_TRUE(has("LaborSummary", "NumberOfOperators", "CDaoCompositeLabor"));
    EXPECT_TRUE(has("PhaseComponents", "MassFraction", "CDaoPhaseComponents"));
    EXPECT_TRUE(has("CompositeContents", "Mass", "CDaoBufferTankContents"));
    EXPECT_GE(s.read.size(), 60u);
    // No query reads the calendar tables: the calendar component does.
    EXPECT_FALSE(s.readersOf.count("Calendars"));
}

TEST(MutationSuite, EachTableDropped)
{
    std::vector<Case> cases;
    for (const std::string& t : SampleSchema().tables) {
        Case c = tableCase("drop table " + t, t, {"DROP TABLE " + quoted(t)});
        const auto readers = SampleSchema().readersOf.find(t);
        if (readers != SampleSchema().readersOf.end()) c.expect.unopenable = readers->second;
        c.expect.subject = t;
        cases.push_back(std::move(c));
    }
    RunCases(cases);
}

TEST(MutationSuite, EachTableWithEveryRowTwice)
{
    // Every key twice: the loaders must cope with duplicated equipment,
    // steps, operations and streams (constraints dropped where they object).
    std::vector<Case> cases;
    for (const std::string& t : SampleSchema().tables) {
        if (t == "SavedQueries") continue; // names are matched case-insensitively; one query is one row
        cases.push_back(tableCase("every row twice in " + t, t,
                                  {"CREATE TABLE mutation_copy AS SELECT * FROM " + quoted(t),
                                   "DROP TABLE " + quoted(t), "ALTER TABLE mutation_copy RENAME TO " + quoted(t),
                                   "INSERT INTO " + quoted(t) + " SELECT * FROM " + quoted(t)}));
    }
    RunCases(cases);
}

TEST(MutationSuite, EachTableEmptied)
{
    std::vector<Case> cases;
    for (const std::string& t : SampleSchema().tables) {
        Case c = tableCase("no rows in " + t, t, {"DELETE FROM " + quoted(t)});
        if (t == "StepSummary" || t == "FacilitySummary") c.expect.unopenable = {"CDaoStepSummary"};
        cases.push_back(std::move(c));
    }
    RunCases(cases);
}

// ------------------------------------------------------------ columns

TEST(MutationSuite, EachReadColumnDropped)
{
    std::vector<Case> cases;
    const Schema& s = SampleSchema();
    for (const ReadColumn& rc : s.read) {
        std::string kept;
        for (const std::string& col : s.columns.at(rc.table))
            if (col != rc.column) kept += (kept.empty() ? "" : ", ") + quoted(col);
        const std::string t = quoted(rc.table);
        Case c = columnCase("drop column", rc,
                            {"CREATE TABLE mutation_copy AS SELECT " + kept + " FROM " + t, "DROP TABLE " + t,
                             "ALTER TABLE mutation_copy RENAME TO " + t});
        c.expect.unopenable = rc.readers;
        c.expect.subject = rc.column;
        cases.push_back(std::move(c));
    }
    RunCases(cases);
}

TEST(MutationSuite, EachReadColumnAllNull)
{
    std::vector<Case> cases;
    for (const ReadColumn& rc : SampleSchema().read)
        cases.push_back(
            columnCase("NULL in", rc, {"UPDATE " + quoted(rc.table) + " SET " + quoted(rc.column) + " = NULL"}));
    RunCases(cases);
}

TEST(MutationSuite, TextInEachNumericColumn)
{
    std::vector<Case> cases;
    for (const ReadColumn& rc : SampleSchema().read) {
        if (!rc.numeric() && !rc.date()) continue;
        Case c = columnCase("text in", rc,
                            {"UPDATE " + quoted(rc.table) + " SET " + quoted(rc.column) + " = 'twelve and a half'"});
        // A date-time that does not parse is an invalid date, not an error.
        if (rc.numeric()) {
            c.expect.unreadable = rc.readers;
            c.expect.subject = rc.column;
        }
        cases.push_back(std::move(c));
    }
    RunCases(cases);
}

// NaN is stored by SQLite as NULL; the infinities and 1e35 are stored as
// they are. Whole-number columns cannot hold any of them, and no column may
// hold an infinity: the reading refuses those by name.
std::vector<Case> numberCases(const std::vector<std::pair<const char*, double>>& values)
{
    std::vector<Case> cases;
    for (const ReadColumn& rc : SampleSchema().read) {
        if (!rc.numeric() && !rc.date()) continue;
        for (const auto& [label, value] : values) {
            // Whole-number columns: one refused value is enough.
            if (!rc.real() && !rc.date() && std::string(label) != "1e35") continue;
            Case c = columnCase(std::string(label) + " in", rc,
                                {"UPDATE " + quoted(rc.table) + " SET " + quoted(rc.column) + " = ?1"});
            c.parameter = value;
            if ((rc.whole() && !rc.real()) || (!rc.date() && std::isinf(value))) {
                c.expect.unreadable = rc.readers;
                c.expect.subject = rc.column;
            }
            cases.push_back(std::move(c));
        }
    }
    return cases;
}

TEST(MutationSuite, InfinitiesInEachNumericColumn)
{
    RunCases(numberCases(
        {{"+inf", std::numeric_limits<double>::infinity()}, {"-inf", -std::numeric_limits<double>::infinity()}}));
}

TEST(MutationSuite, NaNAndHugeNumbersInEachNumericColumn)
{
    RunCases(numberCases({{"NaN", std::numeric_limits<double>::quiet_NaN()}, {"1e35", 1e35}}));
}

std::vector<const ReadColumn*> timeColumns()
{
    std::vector<const ReadColumn*> out;
    for (const ReadColumn& rc : SampleSchema().read) {
        const std::string& n = rc.column;
        if (rc.real() && n.size() >= 4 && n.compare(n.size() - 4, 4, "Time") == 0) out.push_back(&rc);
    }
    return out;
}

TEST(MutationSuite, NegativeAndEnormousTimes)
{
    std::vector<Case> cases;
    const std::vector<const ReadColumn*> columns = timeColumns();
    ASSERT_GE(columns.size(), 8u);
    for (const ReadColumn* rc : columns) {
        const std::string set = "UPDATE " + quoted(rc->table) + " SET " + quoted(rc->column) + " = ";
        cases.push_back(columnCase("negative times in", *rc, {set + "-abs(" + quoted(rc->column) + ") - 1.5"}));
        cases.push_back(columnCase("enormous times in", *rc, {set + quoted(rc->column) + " * 1e9 + 1e12"}));
        cases.push_back(columnCase("times beyond 32 bits in", *rc, {set + "3e9"}));
    }
    RunCases(cases);
}

TEST(MutationSuite, ZeroDurations)
{
    std::vector<Case> cases;
    const Schema& s = SampleSchema();
    for (const std::string& t : s.tables) {
        const std::vector<std::string>& cols = s.columns.at(t);
        const auto has = [&](const char* c) { return std::find(cols.begin(), cols.end(), c) != cols.end(); };
        if (has("StartTime") && has("EndTime"))
            cases.push_back(
                tableCase("zero durations in " + t, t, {"UPDATE " + quoted(t) + " SET EndTime = StartTime"}));
        else if (has("Time"))
            cases.push_back(
                tableCase("one instant for all rows of " + t, t, {"UPDATE " + quoted(t) + " SET Time = 0"}));
    }
    ASSERT_GE(cases.size(), 6u);
    RunCases(cases);
}

TEST(MutationSuite, DanglingIdentifiers)
{
    // Identifiers that name no row: streams of vessels that do not exist,
    // operations of missing steps and recipes, equipment of missing plants
    // and calendars, phases of missing contents, labor of missing grades.
    std::vector<Case> cases;
    const Schema& s = SampleSchema();
    for (const ReadColumn& rc : s.read) {
        const std::string& n = rc.column;
        if (!rc.whole() || n.size() < 2 || n.compare(n.size() - 2, 2, "ID") != 0) continue;
        const auto key = s.primaryKey.find(rc.table);
        if (key != s.primaryKey.end() && key->second.count(n) && key->second.size() == 1) continue;
        cases.push_back(columnCase("dangling", rc, {"UPDATE " + quoted(rc.table) + " SET " + quoted(n) + " = 987654"}));
    }
    // The calendar tables are read by the calendar component.
    cases.push_back(tableCase("dangling EquipmentSummary.CalendarID", "EquipmentSummary",
                              {"UPDATE EquipmentSummary SET CalendarID = 4242"}));
    cases.push_back(tableCase("dangling CalendarWeekShifts.CalendarID", "CalendarWeekShifts",
                              {"UPDATE CalendarWeekShifts SET CalendarID = 4242"}));
    cases.push_back(tableCase("dangling CalendarExceptionShifts.CalendarID", "CalendarExceptionShifts",
                              {"UPDATE CalendarExceptionShifts SET CalendarID = 4242"}));
    ASSERT_GE(cases.size(), 15u);
    RunCases(cases);
}

TEST(MutationSuite, UnknownUnits)
{
    std::vector<Case> cases;
    for (const ReadColumn& rc : SampleSchema().read) {
        const std::string& n = rc.column;
        if (n.size() < 3 || n.compare(n.size() - 3, 3, "UOM") != 0) continue;
        cases.push_back(
            columnCase("unknown unit in", rc,
                       {"UPDATE " + quoted(rc.table) + " SET " + quoted(n) + " = 'furlongs per fortnight'"}));
    }
    ASSERT_GE(cases.size(), 10u);
    RunCases(cases);
}

// ------------------------------------------------------------ files

void truncateTo(const fs::path& file, std::uintmax_t size) { fs::resize_file(file, size); }

void overwrite(const fs::path& file, std::size_t keep, unsigned seed)
{
    std::string bytes = test::ReadFile(file);
    std::mt19937 random(seed);
    for (std::size_t i = keep; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(random() & 0xff);
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

TEST(MutationSuite, DamagedFiles)
{
    std::vector<Case> cases;
    const auto fileCase = [&](const std::string& name, std::function<void(const fs::path&)> edit, bool nothing) {
        Case c;
        c.name = name;
        c.edit = std::move(edit);
        c.expect.nothingReadable = nothing;
        cases.push_back(std::move(c));
    };
    const std::uintmax_t size = fs::file_size(SmallSample());
    fileCase(
        "cut to half its size", [size](const fs::path& f) { truncateTo(f, size / 2); }, false);
    fileCase(
        "cut to its first page", [](const fs::path& f) { truncateTo(f, 4096); }, true);
    fileCase(
        "cut inside the header", [](const fs::path& f) { truncateTo(f, 50); }, true);
    fileCase(
        "cut one byte short", [size](const fs::path& f) { truncateTo(f, size - 1); }, false);
    fileCase(
        "garbage throughout", [](const fs::path& f) { overwrite(f, 0, 7); }, true);
    fileCase(
        "garbage after a valid header", [](const fs::path& f) { overwrite(f, 100, 11); }, true);
    fileCase(
        "garbage in the second half", [size](const fs::path& f) { overwrite(f, size / 2, 13); }, false);
    fileCase(
        "an empty file", [](const fs::path& f) { truncateTo(f, 0); }, true);
    fileCase(
        "a database that is not a results database",
        [](const fs::path& f) {
            fs::remove(f);
            sqlite::Connection(f.string(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)
                .exec("CREATE TABLE Recipes (Name TEXT, Steps INTEGER); INSERT INTO Recipes VALUES ('x', 3);");
        },
        true);
    fileCase(
        "a text file", [](const fs::path& f) { std::ofstream(f, std::ios::trunc) << "EquipmentID,Class\n1,Reactor\n"; },
        true);
    RunCases(cases);
}

TEST(MutationSuite, OpenedReadWriteOrReadOnlyTheFileStaysUnchanged)
{
    // The intact sample, 3-D view opened both ways: a clean load, no
    // message, and not a byte written.
    std::vector<Case> cases;
    for (bool readOnly : {false, true}) {
        Case c;
        c.name = readOnly ? "intact, opened read-only" : "intact, opened for writing";
        c.plan.openPlantReadOnly = readOnly;
        c.expect.clean = true;
        cases.push_back(std::move(c));
    }
    RunCases(cases);
}

} // namespace
} // namespace batchplant
