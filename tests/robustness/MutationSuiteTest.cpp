// Each case damages a copy of a cut-down sample one way and loads it in a
// child as the hosts do: the load reads what it can or says why in the
// documented words, with no crash, hang, NaN or infinity and no change to the
// file. The damaged columns are those SQLite says the recordsets bind.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <map>
#include <optional>
#include <random>
#include <regex>
#include <set>

#include "GuardedRun.h"
#include "ResultsDb.h"
#include "SampleDatabase.h"
#include "TestSupport.h"
#include "batchplant/db/Dao.h"
#include "batchplant/foundation/CFacilityAbort.h"
#include "batchplant/gantt/CompositeTypes.h"
#include "batchplant/gantt/GanttFacility.h"
#include "batchplant/model/Facility.h"
#include "batchplant/model/Plane.h"
#include "batchplant/model/StepInfo.h"
#include "batchplant/model/Stream.h"
#include "batchplant/model/Vessel.h"
#include "batchplant/procedure/CProcedure.h"
#include "db/JetTokenizer.h"
#include "db/RecordsetCatalog.h"
#include "db/Sqlite.h"

namespace batchplant {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

// ------------------------------------------------------------ loading as the hosts do

// Day counts of COleDateTime's valid range (years 100 to 9999).
constexpr double kFirstValidDay = -657435.0, kLastValidDay = 2958466.0;

// What the two loads did, and what did not hold whatever the file holds.
struct LoadOutcome {
    bool plantOpenFailed = false, plantAborted = false; // Open threw; CFacilityAbort left the load
    bool scheduleRead = false, scheduleAborted = false;
    std::string plantException; // a CDaoException that left ReadVisioDatabase
    Strings plantMessages, scheduleMessages, failures;
    int vessels = 0, processStreams = 0, units = 0, scheduleVessels = 0, compositeTypesBuilt = 0;
    std::string view; // the view being loaded, named in its failures

    void fail(const std::string& what) { failures.push_back(view + ": " + what); }
    void finite(std::initializer_list<double> values, const std::string& what)
    {
        for (double v : values)
            if (!std::isfinite(v)) return fail(what + " holds " + std::to_string(v));
    }
    // "nan" or "inf" as a word of its own, as printf writes them, in any case.
    void text(const CString& value, const std::string& what)
    {
        static const std::regex word("(^|[^a-z])(nan|inf)($|[^a-z]|inity)", std::regex::icase);
        if (std::regex_search(value.str(), word)) fail(what + " shows a non-finite number: \"" + value.str() + "\"");
    }
    void date(const COleDateTime& d, const std::string& what)
    {
        if (d.GetStatus() == COleDateTime::valid && !(d.m_dt >= kFirstValidDay && d.m_dt <= kLastValidDay))
            fail(what + " is a valid date-time of day count " + std::to_string(d.m_dt) + ", outside the calendar");
    }
    // The first units only: formatting every unit of a large run would dominate the suite.
    void procedure(const CProcedure* p, const std::string& owner)
    {
        for (int i = 0; p && i < p->GetNumProcs() && i < 12; ++i)
            for (const CString& t :
                 {p->GetStartTimeStrAt(i), p->GetEndTimeStrAt(i), p->GetTemperatureAStrAt(i),
                  p->GetTemperatureBStrAt(i), p->GetPressureAStrAt(i), p->GetPressureBStrAt(i),
                  p->GetFlowRateAt(i, CProcedure::VolumetricFlowRate), p->GetFlowRateAt(i, CProcedure::MassFlowRate),
                  p->GetFlowRateAt(i, CProcedure::MolarFlowRate), p->GetContentsAt(i)})
                text(t, owner + " unit " + std::to_string(i));
    }
    template <class T> void colours(const T& item, const std::string& at)
    {
        double c[8];
        item.GetCurrentColor(c[0], c[1], c[2], c[3]);
        item.GetContentsColor(c[4], c[5], c[6], c[7]);
        finite({c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]}, at + " colour");
    }
    // What the views draw and show at the current time.
    void drawn(const Facility& f)
    {
        for (int i = 0; i < f.GetNumFloors(); ++i)
            if (const Plane* p = f.GetFloorByIndex(i)) finite({p->GetHeight()}, "floor " + std::to_string(i));
        for (int i = 0; i < f.GetNumVessels(); ++i)
            if (const Vessel* v = f.GetVesselByIndex(i)) {
                const std::string at = "vessel " + std::to_string(i);
                finite({v->GetX(), v->GetY(), v->GetZ(), v->GetRadius(), v->GetHeight(), v->GetVolume(),
                        v->GetOverflowLevel()},
                       at + " place, size or level");
                colours(*v, at);
                text(v->GetCurrentOp(), at + " current operation");
            }
        int n = 0;
        f.ForEachStream([&](const Stream& s) {
            const std::string at = "stream " + std::to_string(n++);
            finite({s.GetRadius(), s.GetFlowFraction(), s.GetFlowPosition(), s.GetSegmentStart(), s.GetSegmentEnd(),
                    s.GetPathLength()},
                   at + " size or flow");
            colours(s, at);
        });
    }
    // What loading built: dates, procedures and the item texts.
    void loaded(const Facility& f)
    {
        date(f.GetStartTime(), "the run's start time");
        date(f.GetSimulationTime(), "the simulation date");
        for (int i = 0; i < f.GetNumSteps(); ++i)
            date(f.GetStepByIndex(i).GetSimulationTime(), "step " + std::to_string(i) + " simulation date");
        for (int i = 0; i < f.GetNumVessels(); ++i)
            if (const Vessel* v = f.GetVesselByIndex(i)) {
                procedure(v->GetProc(), "vessel " + std::to_string(i));
                text(v->GetCapacity(), "vessel " + std::to_string(i) + " capacity");
            }
        int n = 0;
        f.ForEachStream([&](const Stream& s) { procedure(s.GetProc(), "stream " + std::to_string(n++)); });
        for (int item = 1; item <= f.GetNumDrawables() && item <= 40; ++item) {
            CString name, procedures, capacity;
            f.GetInfoForBox(item, name, procedures, capacity);
            text(procedures + " " + capacity, "info box " + std::to_string(item));
        }
    }
    void messages(const test::MessageRecorder& recorder, Strings& into)
    {
        for (std::size_t i = 0; i < recorder.count(); ++i) {
            const std::string& t = into.emplace_back(recorder.texts()[i]);
            if (t.find_first_not_of(" \t\r\n") == std::string::npos) fail("a message box without text");
            if ((recorder.types()[i] & 0xFu) != MB_OK) fail("a message box that is not OK-only: \"" + t + "\"");
        }
    }
};

bool said(const Strings& messages, const std::string& text)
{
    return std::ranges::any_of(messages, [&](const std::string& m) { return m.find(text) != std::string::npos; });
}

void loadPlant(const fs::path& path, bool readOnly, LoadOutcome& out)
{
    out.view = "3-D view";
    test::MessageRecorder recorder;
    Facility f;
    {
        CDaoDatabase db;
        try {
            db.Open(CString(path.string()), false, readOnly);
            f.ReadVisioDatabase(&db);
        } catch (const CFacilityAbort&) {
            out.plantAborted = true;
        } catch (const CDaoException& e) {
            out.plantOpenFailed = !db.IsOpen();
            if (db.IsOpen()) out.plantException = e.GetDescription().str();
            if (e.GetDescription().IsEmpty()) out.fail("a CDaoException without a description");
        }
    }
    out.messages(recorder, out.plantMessages);
    out.vessels = f.GetNumVessels();
    out.processStreams = f.GetNumConnectingStreams() + f.GetNumUniStreams();
    for (int i = 0; i < f.GetNumVessels(); ++i)
        if (const Vessel* v = f.GetVesselByIndex(i); v && v->GetProc()) out.units += v->GetProc()->GetNumProcs();
    // The step loader stops the load after telling the user; nothing after it is read.
    if (out.plantAborted && !said(out.plantMessages, "There were no results found for this step"))
        out.fail("the load stopped without \"There were no results found for this step\"");
    if (out.plantAborted && (out.vessels || f.GetNumFloors() || out.processStreams || f.GetNumUtilStreams() ||
                             f.GetNumVaporStreams() || f.GetCalendar()))
        out.fail("equipment, streams or calendars were read after the load stopped");
    out.loaded(f);
    // The time-driven state at a few times of the run, then a few frames of playing.
    f.InitAnim();
    f.SetRelativeAnimationTime(1.0);
    const long last = f.GetAnimationTime();
    for (long t : {0L, -1L, last / 4, last / 2, last - 1, last, last + 3600}) {
        f.SetAnimationTime(t);
        out.drawn(f);
    }
    long at = 0;
    CString ops;
    f.SetCurrentAnimationParams(at, ops);
    out.text(ops, "the running operations");
    f.ResetTime();
    f.InitAnim(Facility::Forward);
    for (int frame = 0; frame < 24 && !f.AnimBoundaryReached(); ++frame) {
        int time = 0, lastTime = 0;
        f.Animate(time, lastTime);
        f.SetAnimationTime(time);
    }
    out.drawn(f);
}

void checkComposites(GanttFacility& g, LoadOutcome& out)
{
    for (int type = 0; type < kNumCompTypes; ++type) {
        const auto t = static_cast<CompType>(type);
        Array<long> groups, components;
        Array<CString> names;
        g.GetCompositeVessels(groups, names, t);
        out.compositeTypesBuilt += groups.GetSize() > 0;
        for (int gi = 0; gi < groups.GetSize() && gi < 16; ++gi) {
            g.GetCompositeComponents(static_cast<int>(groups[gi]), components, names, t);
            for (int ci = 0; ci < components.GetSize() && ci < 16; ++ci)
                for (CompositeSetting s : {Mass, Volume, Moles, Duty, Operators}) {
                    const std::string at = std::string("composite ") + CompTypeName(t) + " group " +
                                           std::to_string(groups[gi]) + " component " + std::to_string(components[ci]);
                    Hash<long, double> list;
                    g.GetCompositeList(list, groups[gi], components[ci], t, s);
                    for (int k = 0; k < list.GetCount(); ++k)
                        out.finite({list.GetAt(k)}, at + " value at " + std::to_string(list.GetKeyAt(k)));
                    CString timeUnit, valueUnit;
                    double timeFactor = 1.0, valueFactor = 1.0, valueOffset = 0.0;
                    g.GetCompositeUnits(t, groups[gi], components[ci], static_cast<CompositeSetting>(s | PerTime),
                                        timeUnit, timeFactor, valueUnit, valueFactor, valueOffset);
                    out.finite({timeFactor, valueFactor, valueOffset}, at + " unit factors");
                    if (timeFactor == 0.0 || valueFactor == 0.0)
                        out.fail(at + " has a unit factor of 0, which the host divides by");
                }
        }
    }
}

void loadSchedule(const fs::path& path, LoadOutcome& out)
{
    out.view = "schedule view";
    test::MessageRecorder recorder;
    GanttFacility g;
    try {
        out.scheduleRead = g.ReadGanttDatabase(CString(path.string()));
    } catch (const CFacilityAbort&) {
        out.scheduleAborted = true;
    } catch (const CDaoException& e) {
        out.fail("a CDaoException left ReadGanttDatabase(path), which returns false instead: " +
                 e.GetDescription().str());
    }
    if (out.scheduleAborted && g.GetNumSchedVessels() != 0) out.fail("vessels were read after the load stopped");
    // That every block in range has its details the load fuzzer checks on any database.
    out.scheduleVessels = g.GetNumSchedVessels();
    for (int v = 0; v < g.GetNumSchedVessels(); ++v)
        if (g.GetInUseBlocks(v).GetSize() % 2 != 0) out.fail("vessel " + std::to_string(v) + " odd in-use list");
    out.loaded(g);
    // Working-time blocks of every vessel's calendar over the first month.
    const COleDateTime from = g.GetStartTime();
    if (from.GetStatus() == COleDateTime::valid && from.m_dt > kFirstValidDay && from.m_dt < kLastValidDay - 40.0) {
        const COleDateTime to = from + COleDateTimeSpan(31.0);
        for (int v = 0; v < g.GetNumSchedVessels(); ++v) {
            List<COleDateTime> blocks;
            g.GetCalendarBlocks(v, from, to, blocks);
            for (int i = 0; i < blocks.GetCount(); ++i)
                if (const COleDateTime& d = blocks.GetAt(i);
                    d.GetStatus() != COleDateTime::valid || !std::isfinite(d.m_dt) || d < from || to < d)
                    out.fail("a calendar block boundary of vessel " + std::to_string(v) + " is outside the range");
        }
    }
    if (!g.GetDatabasePath().IsEmpty()) checkComposites(g, out);
    out.messages(recorder, out.scheduleMessages);
}

// ------------------------------------------------------------ what the queries read

struct ReadColumn {
    std::string table, column;
    std::set<short> types{}; // DAO type codes of the bindings that read it
    std::set<std::string> readers{};

    bool real() const { return types.count(dbDouble) > 0; }
    bool whole() const { return types.count(dbLong) || types.count(dbInteger); }
    bool numeric() const { return whole() || real(); }
    bool date() const { return types.count(dbDate) > 0; }
};

struct Schema {
    std::map<std::string, Strings> columns;                             // by table, in name order
    std::map<std::string, std::set<std::string>> primaryKey, readersOf; // readersOf: the recordsets reading a table
    std::map<std::pair<std::string, std::string>, ReadColumn> read;     // by table and column
};

const std::set<std::string> kScheduleReaders = {"CDaoPlanSummary", "CDaoStepSummary", "CDaoEquipmentSet",
                                                "CDaoEquipConts"};
const std::set<std::string> kPlantReaders = {
    "CDaoPlanSummary",    "CDaoStepSummary",  "CDaoEquipmentSet",   "CDaoEquipConts",      "CDaoStreamSet",
    "CDaoUtilitySummary", "CDaoVaporSummary", "CDaoStreamContents", "CDaoUtilityContents", "CDaoVaporContents"};

Schema discoverSchema(const fs::path& sample)
{
    Schema s;
    const sqlite::Connection raw(sample.string(), SQLITE_OPEN_READONLY);
    for (sqlite::Statement t(raw, "SELECT m.name, p.name, p.pk FROM sqlite_master m, pragma_table_info(m.name) p "
                                  "WHERE m.type = 'table' AND m.name NOT LIKE 'sqlite%' ORDER BY m.name, p.cid");
         t.step();) {
        s.columns[t.text(0)].push_back(t.text(1));
        if (t.integer(2) > 0) s.primaryKey[t.text(0)].insert(t.text(1));
    }
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
            bound[jet::upper(info.m_strName.str())] = info.m_nType;
        }
        const sqlite::Statement q(*db.GetConnection(), rs->GetTranslatedSQL());
        for (int c = 0; c < q.columnCount(); ++c) {
            const char *name = q.columnName(c), *table = q.columnTable(c), *origin = q.columnOrigin(c);
            const auto b = name ? bound.find(jet::upper(name)) : bound.end();
            if (!table || !origin || b == bound.end()) continue;
            ReadColumn& rc =
                s.read.try_emplace({table, origin}, ReadColumn{.table = table, .column = origin}).first->second;
            rc.types.insert(b->second);
            rc.readers.insert(entry.name);
            s.readersOf[table].insert(entry.name);
        }
    }
    return s;
}

// The sample cut to the first two batches of every step and the first rows
// of every buffer tank: every kind of row the queries read, loaded in a
// fraction of the time. Made once, before any child is forked.
const fs::path& SmallSample()
{
    static test::TempDir dir;
    static const fs::path path = [] {
        const fs::path to = test::CopySampleDatabase(dir.file("small-sample.db"));
        test::Sql(to).exec(R"sql(
            DELETE FROM CompositeContents WHERE CompositeContentsID IN (
                SELECT CompositeContentsID FROM (SELECT CompositeContentsID,
                    row_number() OVER (PARTITION BY EquipmentID ORDER BY Time) AS n FROM CompositeContents)
                WHERE n > 24);
            DELETE FROM EquipmentSchedule WHERE BatchNumber > 2; DELETE FROM EquipmentContents WHERE BatchNumber > 2;
            DELETE FROM StreamSummary WHERE BatchNumber > 2; DELETE FROM UtilitySummary WHERE BatchNumber > 2;
            DELETE FROM AirEmissionSummary WHERE BatchNumber > 2; DELETE FROM LaborSummary WHERE BatchNumber > 2;
            -- A phase row belongs to one owner; rows of owners gone go with them.
            DELETE FROM ThermodynamicPhase WHERE ContentsID NOT IN (SELECT ContentsID FROM EquipmentContents)
                OR StreamID NOT IN (SELECT StreamID FROM StreamSummary)
                OR UtilityID NOT IN (SELECT UtilityID FROM UtilitySummary)
                OR AirEmissionID NOT IN (SELECT AirEmissionID FROM AirEmissionSummary)
                OR CompositeContentsID NOT IN (SELECT CompositeContentsID FROM CompositeContents);
            DELETE FROM PhaseComponents WHERE PhaseID NOT IN (SELECT PhaseID FROM ThermodynamicPhase);
            VACUUM;)sql");
        fs::permissions(to, fs::perms::owner_read);
        return to;
    }();
    return path;
}

const Schema& SampleSchema()
{
    static const Schema schema = discoverSchema(SmallSample());
    return schema;
}

// ------------------------------------------------------------ cases and what they let us expect

struct Case {
    std::string name{}, table{}; // table: the damaged one (empty for whole-file cases)
    Strings sql{};
    std::optional<double> parameter{};                // bound to ?1 of every statement
    std::function<void(const fs::path&)> edit{};      // edits the file instead
    bool readOnly = false;                            // the 3-D host opens it read-only
    std::set<std::string> unopenable{}, unreadable{}; // recordsets whose query cannot open / whose rows fail
    std::string subject{};                            // a word any report of the failure must contain
    bool nothingReadable = false;                     // neither view can read the file
    bool clean = false;                               // the file is intact: a silent, full load
};

// Table `t` rebuilt from `columns` of its own, without constraints.
Strings withoutConstraints(const std::string& t, const std::string& columns = "*")
{
    return {"CREATE TABLE mutation_copy AS SELECT " + columns + " FROM " + t, "DROP TABLE " + t,
            "ALTER TABLE mutation_copy RENAME TO " + t};
}

// A statement refused by a constraint is retried once the table has been
// rebuilt without them (the damage a writer without them could do).
std::string applySql(const fs::path& file, const Case& c)
{
    const sqlite::Connection db(file.string(), SQLITE_OPEN_READWRITE);
    const auto run = [&](const std::string& sql) {
        int rc = SQLITE_OK;
        sqlite::Statement st = sqlite::Statement::tryPrepare(db, sql, rc);
        if (rc != SQLITE_OK) return rc;
        if (c.parameter && st.parameterCount() > 0) st.bind(1, *c.parameter);
        rc = st.stepCode();
        return rc == SQLITE_DONE || rc == SQLITE_ROW ? SQLITE_OK : rc;
    };
    bool unconstrained = c.table.empty();
    for (const std::string& sql : c.sql) {
        int rc = run(sql);
        if (rc != SQLITE_OK && !unconstrained && ((rc & 0xff) == SQLITE_CONSTRAINT || rc == SQLITE_MISMATCH)) {
            for (const std::string& s : withoutConstraints(c.table))
                run(s);
            unconstrained = true;
            rc = run(sql);
        }
        if (rc != SQLITE_OK) return "the mutation \"" + sql + "\" failed: " + db.error();
    }
    return {};
}

// Which of `readers` fail while their rows are walked. A damaged join or
// filter column can instead leave a query with fewer rows, which the loaders
// take silently or with their own fixed texts.
std::set<std::string> failingReaders(const fs::path& file, const std::set<std::string>& readers)
{
    std::set<std::string> failing;
    CDaoDatabase db;
    db.Open(CString(file.string()), false, true);
    for (const std::string& name : readers) {
        std::unique_ptr<CDaoRecordset> rs = CreateRecordset(CString(name));
        if (!rs || (!kPlantReaders.count(name) && !kScheduleReaders.count(name))) continue;
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

// A query that cannot be opened: the loader's fixed text, and nothing read
// from it. Only the first of the equipment queries is reported: the load
// stops there.
struct Unopenable {
    const char *reader, *text;
    int LoadOutcome::*count;
    bool equipment;
};
const Unopenable kUnopenable[] = {
    {"CDaoEquipmentSet", "Failed to open database at equipmentSet !!!", &LoadOutcome::vessels, true},
    {"CDaoEquipConts", "Failed to open database at equipmentConts", &LoadOutcome::units, true},
    {"CDaoStreamSet", "Failed to open database at streamSet", &LoadOutcome::processStreams, false}};

void checkExpectations(const Case& c, const fs::path& file, LoadOutcome& o)
{
    const auto fail = [&](const std::string& what) { o.failures.push_back(what); };
    if (c.nothingReadable && !(o.plantOpenFailed || o.plantAborted)) fail("3-D view: a non-results file was read");
    if (c.nothingReadable && o.scheduleRead && !o.scheduleAborted) fail("schedule view: read a non-results file");
    if (c.clean &&
        (!o.plantMessages.empty() || !o.scheduleMessages.empty() || o.vessels == 0 || o.scheduleVessels == 0 ||
         o.compositeTypesBuilt == 0 || !o.plantException.empty() || o.plantAborted || !o.scheduleRead))
        fail("the file did not load cleanly");
    const bool noSteps = c.unopenable.count("CDaoStepSummary");
    if (noSteps && !(o.plantAborted && o.scheduleAborted)) fail("a view's load went on without the step query");
    bool equipmentReported = false;
    for (const Unopenable& u : kUnopenable) {
        if (noSteps || !c.unopenable.count(u.reader) || (u.equipment && equipmentReported)) continue;
        equipmentReported = equipmentReported || u.equipment;
        if ((u.equipment || (!o.plantAborted && o.plantException.empty())) &&
            (!said(o.plantMessages, u.text) || o.*u.count != 0))
            fail(std::string("3-D view: without ") + u.reader + ", expected \"" + u.text + "\" and nothing read");
        if (u.equipment && !said(o.scheduleMessages, u.text))
            fail(std::string("schedule view: without ") + u.reader + ", expected \"" + u.text + "\"");
    }
    // A query that fails is reported in the database's own words, which name
    // what is missing or wrong.
    const std::set<std::string> failing = !c.unopenable.empty()  ? c.unopenable
                                          : c.unreadable.empty() ? c.unreadable
                                                                 : failingReaders(file, c.unreadable);
    if (!c.subject.empty()) {
        bool plantReads = false, scheduleReads = false;
        for (const std::string& r : failing) {
            if (r == "CDaoStepSummary") continue; // fails silently; the loader says "no results for this step"
            plantReads = plantReads || kPlantReaders.count(r);
            scheduleReads = scheduleReads || kScheduleReaders.count(r);
        }
        if (plantReads && !o.plantOpenFailed && !o.plantAborted && !said(o.plantMessages, c.subject) &&
            o.plantException.find(c.subject) == std::string::npos)
            fail("3-D view: nothing the user was shown names " + c.subject);
        if (scheduleReads && o.scheduleRead && !said(o.scheduleMessages, c.subject))
            fail("schedule view: read without naming " + c.subject);
        if (!o.plantException.empty() && o.plantException.find(c.subject) == std::string::npos)
            fail("3-D view: the CDaoException that left the load does not name " + c.subject);
    }
    if (!o.plantException.empty() && failing.empty() && c.unopenable.empty() && !c.nothingReadable)
        fail("3-D view: a CDaoException left the load of a file whose queries all read: " + o.plantException);
}

// Each case in a child under a generous limit (a case takes well under a
// second; only a hang reaches it).
void RunCases(const std::vector<Case>& cases)
{
    SampleSchema(); // the sample and the schema are made before the first fork
    for (const Case& c : cases) {
        test::TempDir dir;
        const fs::path copy = dir.file("results.db");
        test::ExpectGuarded(
            [&]() -> std::string {
                fs::copy_file(SmallSample(), copy);
                fs::permissions(copy, fs::perms::owner_read | fs::perms::owner_write);
                if (const std::string error = applySql(copy, c); !error.empty()) return "setting up: " + error;
                if (c.edit) c.edit(copy);
                // Loaded in both views, the file must be the same byte for byte,
                // with no -journal, -wal or -shm file beside it.
                LoadOutcome o;
                const std::string before = test::ReadFile(copy);
                loadPlant(copy, c.readOnly, o);
                loadSchedule(copy, o);
                if (test::ReadFile(copy) != before) o.failures.push_back("the file changed while it was read");
                for (const char* suffix : {"-journal", "-wal", "-shm"})
                    if (std::error_code ec; fs::exists(copy.string() + suffix, ec))
                        o.failures.push_back(std::string("a ") + suffix + " file was left beside it");
                if (o.failures.empty()) checkExpectations(c, copy, o);
                // One bad value tends to show in many answers: the first few say enough.
                std::string report;
                for (std::size_t i = 0; i < o.failures.size() && i < 6; ++i)
                    report += o.failures[i] + "\n";
                return report;
            },
            120, c.name);
    }
}

// ------------------------------------------------------------ the damage table

std::string quoted(const std::string& name) { return "\"" + name + "\""; }

// One damage to every read column it applies to; "$t" and "$c" stand for the
// quoted table and column, "$kept" for the table's other columns.
struct ColumnDamage {
    const char* label;
    std::size_t atLeast; // cases the discovery must find
    bool (*applies)(const ReadColumn&);
    Strings sql;
    std::optional<double> value{};
    bool (*refused)(const ReadColumn&, double) = nullptr; // the reading refuses it, naming the column
    bool unopenable = false;                              // the queries reading it cannot open at all
};

std::string expand(std::string sql, const ReadColumn& rc)
{
    std::string kept;
    for (const std::string& col : SampleSchema().columns.at(rc.table))
        if (col != rc.column) kept += (kept.empty() ? "" : ", ") + quoted(col);
    for (const auto& [from, to] :
         {std::pair<std::string, std::string>{"$kept", kept}, {"$t", quoted(rc.table)}, {"$c", quoted(rc.column)}})
        for (std::size_t at; (at = sql.find(from)) != std::string::npos;)
            sql.replace(at, from.size(), to);
    return sql;
}

bool any(const ReadColumn&) { return true; }
bool numberOrDate(const ReadColumn& rc) { return rc.numeric() || rc.date(); }
bool realOrDate(const ReadColumn& rc) { return rc.real() || rc.date(); }
bool time(const ReadColumn& rc) { return rc.real() && rc.column.ends_with("Time"); }
bool unit(const ReadColumn& rc) { return rc.column.ends_with("UOM"); }
// Whole-number columns hold no fraction or huge number, and no column holds
// an infinity. NaN is stored by SQLite as NULL.
bool notStorable(const ReadColumn& rc, double v) { return (rc.whole() && !rc.real()) || (!rc.date() && std::isinf(v)); }
// A date-time that does not parse is an invalid date, not an error.
bool textRefused(const ReadColumn& rc, double) { return rc.numeric(); }
// Identifiers that name no row; a table's own single key names itself.
bool foreignId(const ReadColumn& rc)
{
    const auto key = SampleSchema().primaryKey.find(rc.table);
    return rc.whole() && rc.column.ends_with("ID") &&
           !(key != SampleSchema().primaryKey.end() && key->second.count(rc.column) && key->second.size() == 1);
}

constexpr double kInf = std::numeric_limits<double>::infinity(), kNaN = std::numeric_limits<double>::quiet_NaN();
const Strings kDropColumn = withoutConstraints("$t", "$kept");
const Strings kSetValue = {"UPDATE $t SET $c = ?1"};
const ColumnDamage kColumnDamages[] = {
    {"drop column", 150, any, kDropColumn, {}, nullptr, true},
    {"NULL in", 150, any, {"UPDATE $t SET $c = NULL"}},
    {"text in", 100, numberOrDate, {"UPDATE $t SET $c = 'twelve and a half'"}, {}, textRefused},
    {"+inf in", 50, realOrDate, kSetValue, kInf, notStorable},
    {"-inf in", 50, realOrDate, kSetValue, -kInf, notStorable},
    {"NaN in", 50, realOrDate, kSetValue, kNaN, notStorable},
    {"1e35 in", 100, numberOrDate, kSetValue, 1e35, notStorable},
    {"negative times in", 8, time, {"UPDATE $t SET $c = -abs($c) - 1.5"}},
    {"enormous times in", 8, time, {"UPDATE $t SET $c = $c * 1e9 + 1e12"}},
    {"times beyond 32 bits in", 8, time, {"UPDATE $t SET $c = 3e9"}},
    {"dangling", 30, foreignId, {"UPDATE $t SET $c = 987654"}},
    {"unknown unit in", 10, unit, {"UPDATE $t SET $c = 'furlongs per fortnight'"}}};

std::vector<Case> columnCases(const ColumnDamage& d)
{
    std::vector<Case> cases;
    for (const auto& [key, rc] : SampleSchema().read) {
        if (!d.applies(rc)) continue;
        Case& c = cases.emplace_back(Case{
            .name = std::string(d.label) + " " + rc.table + "." + rc.column, .table = rc.table, .parameter = d.value});
        for (const std::string& s : d.sql)
            c.sql.push_back(expand(s, rc));
        if (d.unopenable || (d.refused && d.refused(rc, d.value.value_or(0)))) {
            (d.unopenable ? c.unopenable : c.unreadable) = rc.readers;
            c.subject = rc.column;
        }
    }
    return cases;
}

std::vector<Case> tableCases(const std::string& kind)
{
    std::vector<Case> cases;
    const Schema& s = SampleSchema();
    const auto add = [&](const std::string& name, const std::string& t, Strings sql) -> Case& {
        return cases.emplace_back(Case{.name = name, .table = t, .sql = std::move(sql)});
    };
    for (const auto& [t, columns] : s.columns) {
        const std::string q = quoted(t);
        const auto has = [&](const char* col) { return std::ranges::count(columns, col) > 0; };
        if (kind == "drop table") {
            add("drop table " + t, t, {"DROP TABLE " + q}).subject = t;
            if (const auto r = s.readersOf.find(t); r != s.readersOf.end()) cases.back().unopenable = r->second;
        } else if (kind == "every row twice" && t != "SavedQueries") { // one saved query is one row
            add(kind + " in " + t, t, withoutConstraints(q)).sql.push_back("INSERT INTO " + q + " SELECT * FROM " + q);
        } else if (kind == "no rows") {
            add("no rows in " + t, t, {"DELETE FROM " + q});
            if (t == "StepSummary" || t == "FacilitySummary") cases.back().unopenable = {"CDaoStepSummary"};
        } else if (kind == "zero durations" && has("StartTime") && has("EndTime")) {
            add("zero durations in " + t, t, {"UPDATE " + q + " SET EndTime = StartTime"});
        } else if (kind == "zero durations" && has("Time")) {
            add("one instant for all rows of " + t, t, {"UPDATE " + q + " SET Time = 0"});
        }
    }
    // The calendar tables are read by the calendar component, not a query.
    for (const std::string t : {"EquipmentSummary", "CalendarWeekShifts", "CalendarExceptionShifts"})
        if (kind == "dangling calendars")
            add("dangling " + t + ".CalendarID", t, {"UPDATE " + t + " SET CalendarID = 4242"});
    return cases;
}

std::vector<Case> fileCases()
{
    using Edit = std::function<void(const fs::path&)>;
    const std::uintmax_t size = fs::file_size(SmallSample());
    const auto cut = [](std::uintmax_t to) -> Edit { return [to](const fs::path& f) { fs::resize_file(f, to); }; };
    const auto garbage = [](std::size_t keep, unsigned seed) -> Edit {
        return [keep, seed](const fs::path& f) {
            std::string bytes = test::ReadFile(f);
            std::mt19937 random(seed);
            for (std::size_t i = keep; i < bytes.size(); ++i)
                bytes[i] = static_cast<char>(random() & 0xff);
            std::ofstream(f, std::ios::binary | std::ios::trunc) << bytes;
        };
    };
    const auto otherDatabase = [](const fs::path& f) {
        fs::remove(f);
        sqlite::Connection(f.string(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)
            .exec("CREATE TABLE Recipes (Name TEXT, Steps INTEGER); INSERT INTO Recipes VALUES ('x', 3);");
    };
    const auto textFile = [](const fs::path& f) {
        std::ofstream(f, std::ios::trunc) << "EquipmentID,Class\n1,Reactor\n";
    };
    // The intact sample (no edit) opened both ways must load cleanly, with
    // no message and not a byte written; so must cleaning rows that touch no
    // vessel of the plant, which are no streams and no cause for a message.
    return {{.name = "cut to half its size", .edit = cut(size / 2)},
            {.name = "cut to its first page", .edit = cut(4096), .nothingReadable = true},
            {.name = "cut inside the header", .edit = cut(50), .nothingReadable = true},
            {.name = "cut one byte short", .edit = cut(size - 1)},
            {.name = "an empty file", .edit = cut(0), .nothingReadable = true},
            {.name = "garbage throughout", .edit = garbage(0, 7), .nothingReadable = true},
            {.name = "garbage after a valid header", .edit = garbage(100, 11), .nothingReadable = true},
            {.name = "garbage in the second half", .edit = garbage(size / 2, 13)},
            {.name = "a database that is not a results database", .edit = otherDatabase, .nothingReadable = true},
            {.name = "a text file", .edit = textFile, .nothingReadable = true},
            {.name = "intact, opened for writing", .clean = true},
            {.name = "intact, opened read-only", .readOnly = true, .clean = true},
            {.name = "cleaning rows without ends",
             .table = "StreamSummary",
             .sql = {"UPDATE StreamSummary SET StreamCategoryID = -5, FromEquipmentID = NULL, ToEquipmentID = NULL "
                     "WHERE StreamID IN (SELECT StreamID FROM StreamSummary ORDER BY StreamID LIMIT 5)"},
             .clean = true}};
}

// A group of cases and the fewest it must hold (the schema discovery drives them).
struct Damage {
    std::string name;
    std::size_t atLeast;
    std::function<std::vector<Case>()> cases;
    friend void PrintTo(const Damage& d, std::ostream* os) { *os << d.name; }
};

std::vector<Damage> damages()
{
    std::vector<Damage> out;
    for (const auto& [kind, least] : {std::pair{"drop table", 20},
                                      {"every row twice", 20},
                                      {"no rows", 20},
                                      {"zero durations", 6},
                                      {"dangling calendars", 3}})
        out.push_back({kind, std::size_t(least), [kind] { return tableCases(kind); }});
    for (const ColumnDamage& d : kColumnDamages)
        out.push_back({d.label, d.atLeast, [&d] { return columnCases(d); }});
    out.push_back({"damaged files", 13, fileCases});
    return out;
}

class MutationSuite : public testing::TestWithParam<Damage> {};

TEST_P(MutationSuite, LoadsOrRefusesCleanly)
{
    const std::vector<Case> cases = GetParam().cases();
    ASSERT_GE(cases.size(), GetParam().atLeast);
    RunCases(cases);
}

INSTANTIATE_TEST_SUITE_P(Damages, MutationSuite, testing::ValuesIn(damages()), test::ParamName<Damage>);

} // namespace
} // namespace batchplant
