// Loading the 3-D view from hand-made rows, and the whole sample against our own SQL.

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ModelFixtures.h"
#include "ResultsDb.h"
#include "SampleDatabase.h"
#include "TestSupport.h"
#include "batchplant/calendar/Calendar.h"
#include "batchplant/db/Dao.h"
#include "batchplant/foundation/CFacilityAbort.h"
#include "batchplant/model/StepInfo.h"
#include "batchplant/procedure/CProcedure.h"

namespace batchplant {
namespace {

using namespace test;

const char* const kNoEquipment = "Failed to open database at equipmentSet !!!";
const char* const kNoOperations = "Failed to open database at equipmentConts";
const char* const kNoEnds = "No associated streams found for vessel";
const char* const kAlreadyLoaded = "The facility already holds a loaded model.";

template <class T> int unitsOf(const T* x) { return x && x->GetProc() ? x->GetProc()->GetNumProcs() : -1; }

// Connecting, input and output, utility, then vapor streams.
std::vector<const Stream*> streamsOf(const Facility& f)
{
    std::vector<const Stream*> out;
    for (int i = 0; i < f.GetNumConnectingStreams(); ++i)
        out.push_back(f.GetStreamByIndex(i));
    for (int i = 0; i < f.GetNumUniStreams(); ++i)
        out.push_back(f.GetUniStreamByIndex(i));
    for (int i = 0; i < f.GetNumUtilStreams(); ++i)
        out.push_back(f.GetUtilStreamByIndex(i));
    for (int i = 0; i < f.GetNumVaporStreams(); ++i)
        out.push_back(f.GetVaporStreamByIndex(i));
    return out;
}

// Every stream as "type:from>to:unit stream ids" (ids sorted: units with equal times have no order of their own). An
// end vessel that is not the one its identifier names, or does not link back to its input or output, shows as "?".
std::string describeStreams(const Facility& f)
{
    std::string out;
    for (const Stream* s : streamsOf(f)) {
        out += std::to_string(s->GetType()) + ":" + std::to_string(s->GetFromID()) + ">" + std::to_string(s->GetToID());
        const Vessel* in = s->GetInputVessel();
        const Vessel* to = s->GetOutputVessel();
        const Vessel* one = in ? in : to;
        if ((s->GetFromID() != -1 && (!in || in->GetID() != s->GetFromID())) ||
            (s->GetToID() != -1 && !s->IsOutput() && (!to || to->GetID() != s->GetToID())) ||
            ((s->IsInput() || s->IsOutput()) && (s->IsInput() ? one->GetInputStream() : one->GetOutputStream()) != s))
            out += "?";
        std::vector<long> ids;
        for (int i = 0; i < unitsOf(s); ++i)
            ids.push_back(s->GetProc()->GetProcUnit(i).GetStreamID());
        std::sort(ids.begin(), ids.end());
        for (std::size_t i = 0; i < ids.size(); ++i)
            out += (i ? "," : ":") + std::to_string(ids[i]);
        out += ' ';
    }
    return out;
}

// Rows of the stream (S), utility (U) and vapor (V) tables, comma separated: "S id from to [category [start end]]", "U
// id equipment [start end]", "V id from to [mass [start end]]"; n is NULL, times in minutes.
void addRows(ResultsDb& db, const std::string& text)
{
    std::istringstream items(text);
    for (std::string item; std::getline(items, item, ',');) {
        std::istringstream in(item);
        char table = 0;
        std::vector<double> v;
        in >> table;
        for (std::string t; in >> t;)
            v.push_back(t == "n" ? std::nan("") : std::stod(t));
        auto id = [&](std::size_t k) { return k >= v.size() || std::isnan(v[k]) ? kNull : static_cast<long>(v[k]); };
        auto at = [&](std::size_t k, double otherwise) { return k < v.size() ? v[k] : otherwise; };
        if (table == 'S') db.AddStream(id(0), id(1), id(2), static_cast<long>(at(3, 1)), at(4, 0), at(5, 10));
        if (table == 'U') db.AddUtility(id(0), id(1), at(2, 0), at(3, 10));
        if (table == 'V') db.AddVapor(id(0), id(1), id(2), at(3, 1), at(4, 0), at(5, 10));
    }
}

// A results database with plant 1, its step and reactors A, B, ... (identifiers 1, 2, ...), loaded after the rows.
struct Loaded {
    Loaded()
    {
        db.AddBasics();
        // An operation of equipment 999, which no test makes, keeps the vessels' operations query from being empty.
        db.AddSchedule(999, 1, 1, 0.0, 1.0);
    }
    void load(int vessels = 0, const std::string& rows = "")
    {
        for (int k = 1; k <= vessels; ++k)
            db.AddEquipment(k, std::string(1, static_cast<char>('A' + k - 1)), "Reactor");
        addRows(db, rows);
        database.Open(db.path().c_str(), false, true);
        f.ReadVisioDatabase(&database);
    }
    ResultsDb db{ResultsDb::Tables::ResultsAndCalendars};
    CDaoDatabase database;
    Facility f;
    MessageRecorder messages;
};

class LoadingTest : public ::testing::Test, protected Loaded {};

TEST_F(LoadingTest, RowsMergeIntoStreamsOfTheirKind)
{
    const struct {
        int vessels;
        const char* rows;
        const char* streams;
        int noEnds; // messages
    } cases[] = {
        // Cleaning rows (-5) with a vessel at both ends make streams like any other.
        {3, "S 11 1 2, S 12 1 2, S 13 1 2, S 14 1 3, S 15 2 3 -5", "1:1>2:11,12,13 1:1>3:14 1:2>3:15 ", 0},
        {2, "S 21 n 1, S 22 n 1, S 23 n 2, S 24 0 2", "2:-1>1:21,22 2:-1>2:23,24 ", 0}, // 0 is no vessel
        // Cleaning rows with one end are skipped silently; a row to a non-vessel is an output.
        {1, "S 31 n n, S 32 0 98, S 33 n n -5, S 34 n 1 -5, S 35 1 99", "4:1>99:35 ", 2},
        // Sorted by source (null B, A null, 99 B): row 43 must not join A's output made between.
        {2, "S 41 n 2, S 42 1 n, S 43 99 2", "2:-1>2:41,43 4:1>-1:42 ", 0},
        {2, "U 51 1 0 10, U 52 1 10 20, U 53 1 20 30, U 54 99, U 55 n", "8:-1>1:51,52,53 ", 0},
        // No source: skipped; no mass: not queried; connecting vapor stays out of the connecting list.
        {2, "V 61 1 n, V 62 1 2, V 63 1 n 1 10 20, V 64 n 2, V 65 2 n 0", "16:1>-1:61,63 17:1>2:62 ", 0},
        // Keys would collide if a missing end counted as 0: (1, 3) with 2 to 99, 99 into 2 with 2 to nowhere.
        {3, "V 71 1 3, V 72 2 99, V 73 99 2, V 74 2 n", "16:2>-1:72,74 17:1>3:71 ", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rows);
        Loaded t;
        t.load(c.vessels, c.rows);
        EXPECT_EQ(describeStreams(t.f), c.streams);
        EXPECT_EQ(t.messages.texts(), std::vector<std::string>(c.noEnds, kNoEnds));
    }
}

TEST_F(LoadingTest, OneFloorPerPlantAndContentsToTheUnitOfTheirStream)
{
    db.AddPlant(2, "South");
    db.AddEquipment(1, "R-101", "Reactor", 1);
    db.AddEquipment(2, "T-101", "Storage Tank", 1);
    db.AddEquipment(3, "R-201", "Reactor", 2);
    db.AddStreamPhase(1, 82, 7);
    db.AddStreamPhase(2, 83, 8); // of a stream whose ends match no stream: ignored
    f.ReadVisioDatabase(nullptr);
    f.MarkModified(1); // not loaded: floor editing still marks it modified
    EXPECT_TRUE(f.GetCalendar() == nullptr && f.IsModified());
    f.MarkModified(0);
    load(0, "S 81 1 2, S 82 1 2 1 10 20, S 83 n n -5");
    EXPECT_TRUE(messages.texts().empty() && f.GetNumUniStreams() == 0);
    ASSERT_EQ(f.GetNumFloors(), 2);
    Plane *north = f.GetFloorByIndex(0), *south = f.GetFloorByIndex(1);
    f.MarkModified(1); // loaded from a database: floor editing no longer marks it modified
    EXPECT_EQ(north->GetName() + "/" + north->GetPlantName() + " " + south->GetName() + "/" + south->GetPlantName() +
                  CString::Formatted(" %d", f.IsModified()),
              CString("Floor 1/North Floor 2/South 0"));

    ASSERT_EQ(f.GetNumConnectingStreams(), 1);
    const CProcedure* proc = f.GetStreamByIndex(0)->GetProc();
    std::string contents;
    for (int i = 0; i < proc->GetNumProcs(); ++i)
        for (int k = 0; k < proc->GetProcUnit(i).GetNumComponents(); ++k) {
            const CProcComponent& c = proc->GetProcUnit(i).GetComponentAt(k);
            contents += std::to_string(proc->GetProcUnit(i).GetStreamID()) + " " + c.GetName().str() + " " +
                        std::to_string(c.GetMass()) + ";";
        }
    EXPECT_EQ(contents, "81  0.000000;82 Material 7 100.000000;"); // a unit without phases holds one blank

    const CFacilityCalendar* calendar = f.GetCalendar();
    f.ReadVisioDatabase(&database); // refused: nothing changes
    EXPECT_EQ(messages.texts(), (std::vector<std::string>{kAlreadyLoaded}));
    EXPECT_EQ(f.GetNumVessels() * 100 + f.GetNumFloors() * 10 + f.GetNumSteps() + f.GetNumConnectingStreams() * 1000,
              1321);
    EXPECT_TRUE(f.GetStreamByIndex(0)->GetProc() == proc && f.GetCalendar() == calendar && calendar);
}

TEST_F(LoadingTest, FailuresReachTheUserOrTheCaller)
{
    {
        Loaded t;
        t.db.exec("DELETE FROM EquipmentSchedule;"), t.load();
        EXPECT_EQ(t.messages.texts(), (std::vector<std::string>{kNoEquipment, kNoOperations}));
        EXPECT_EQ(t.f.GetNumVessels() * 100 + t.f.GetNumFloors() * 10 + t.f.GetNumSteps(), 1);
        EXPECT_NE(t.f.GetCalendar(), nullptr); // the calendars are still read, last
    }
    // A database error while walking the operations; what was read before stays.
    db.AddEquipment(1, "A", "Reactor");
    db.AddSchedule(1, 1, 1, 0.0, 1.0);
    db.exec("INSERT INTO EquipmentSchedule (EquipmentID, BatchNumber, StepID, UnitProcedureID, OperationID, "
            "StartTime, EndTime, TimeUOM) VALUES (1, 'second', 1, 1, 1, 1.0, 2.0, 'h');");
    database.Open(db.path().c_str(), false, true);
    EXPECT_THROW(f.ReadVisioDatabase(&database), CDaoException);
    EXPECT_EQ(f.GetNumVessels(), 1);
}

// Whether an identifier column names a piece of equipment.
std::string isVessel(const std::string& column)
{
    return "coalesce(" + column + ", -1) IN (SELECT EquipmentID FROM EquipmentSummary)";
}

// The generated sample against counts of our own SQL, then every vessel and stream against its rows.
TEST(SampleLoadingTest, TheModelHoldsWhatTheDatabaseHolds)
{
    const test::Sql sql(test::SampleDatabasePath(), true);
    MessageRecorder recorder;
    CDaoDatabase database;
    database.Open(test::SampleDatabasePath().string().c_str(), false, true);
    Facility f;
    f.ReadVisioDatabase(&database);
    const long messages = static_cast<long>(recorder.count());
    const std::string from = isVessel("ss.FromEquipmentID"), to = isVessel("ss.ToEquipmentID");
    const std::string streams = " FROM StreamSummary AS ss JOIN TextRecipe AS tr ON tr.OperationID = ss.OperationID ";
    // The sample names outside ends NULL only, so input and output runs are one per vessel.
    ASSERT_EQ(sql.count("SELECT COUNT(*) FROM StreamSummary AS ss WHERE (ss.FromEquipmentID IS NOT NULL AND NOT " +
                        from + ") OR (ss.ToEquipmentID IS NOT NULL AND NOT " + to + ")"),
              0);
    EXPECT_EQ(messages, sql.count("SELECT COUNT(*)" + streams + "WHERE NOT " + from + " AND NOT " + to +
                                  " AND ss.StreamCategoryID <> -5"));
    ASSERT_NE(f.GetCalendar(), nullptr);
    EXPECT_EQ((std::vector<long long>{f.GetNumVessels(), f.GetNumFloors(), f.GetNumSteps(),
                                      f.GetCalendar()->GetNumCalendars()}),
              (std::vector<long long>{sql.count("SELECT COUNT(*) FROM EquipmentSummary"),
                                      sql.count("SELECT COUNT(DISTINCT PlantID) FROM EquipmentSummary"),
                                      sql.count("SELECT COUNT(*) FROM StepSummary"),
                                      sql.count("SELECT COUNT(*) FROM Calendars")}));

    // Every stream as "type:from>to" with its number of units, against the rows that make it; one stream per key.
    const std::string loaded =
        "(" + from + " AND " + to + ") OR ((" + from + " OR " + to + ") AND ss.StreamCategoryID <> -5)";
    const std::string vaporTo = isVessel("aes.ToEquipmentID");
    std::map<std::string, long long> want, got;
    sql.each("SELECT kind || ':' || a || '>' || b, COUNT(*) FROM (SELECT CASE WHEN " + from + " AND " + to +
                 " THEN 1 WHEN " + from + " THEN 4 ELSE 2 END AS kind, CASE WHEN " + from +
                 " THEN ss.FromEquipmentID ELSE -1 END AS a, CASE WHEN " + to +
                 " THEN ss.ToEquipmentID ELSE -1 END AS b" + streams + "WHERE " + loaded +
                 " UNION ALL SELECT 8, -1, us.EquipmentID FROM UtilitySummary AS us JOIN TextRecipe AS tr ON "
                 "tr.OperationID = us.OperationID WHERE " +
                 isVessel("us.EquipmentID") + " UNION ALL SELECT CASE WHEN " + vaporTo +
                 " THEN 17 ELSE 16 END, aes.FromEquipmentID, CASE WHEN " + vaporTo +
                 " THEN aes.ToEquipmentID ELSE -1 END FROM AirEmissionSummary AS aes JOIN TextRecipe AS tr ON "
                 "tr.OperationID = aes.OperationID WHERE aes.Mass > 0 AND " +
                 isVessel("aes.FromEquipmentID") + ") GROUP BY 1",
             [&](const sqlite::Statement& row) { want[row.text(0)] = row.integer(1); });
    const std::vector<const Stream*> all = streamsOf(f);
    long long components = 0;
    for (const Stream* s : all) {
        got[std::to_string(s->GetType()) + ":" + std::to_string(s->GetFromID()) + ">" + std::to_string(s->GetToID())] +=
            unitsOf(s);
        for (int u = 0; !s->IsVapor() && !s->IsUtility() && u < unitsOf(s); ++u)
            components += s->GetProc()->GetProcUnit(u).GetNumComponents();
    }
    EXPECT_EQ(got, want);
    EXPECT_EQ(got.size(), all.size());
    // One component per stream, material and phase of the loaded rows.
    EXPECT_EQ(components, sql.count("SELECT COUNT(*) FROM (SELECT DISTINCT ss.StreamID, puc.MaterialID, "
                                    "CASE WHEN lower(tp.Phase) IN ('gas', 'liquid1', 'liquid2', 'solid', 'cell1', "
                                    "'cell2') THEN lower(tp.Phase) END" +
                                    streams +
                                    "LEFT JOIN ThermodynamicPhase AS tp ON tp.StreamID = ss.StreamID LEFT JOIN "
                                    "PhaseComponents AS pc ON pc.PhaseID = tp.PhaseID LEFT JOIN PureComponents AS "
                                    "puc ON puc.MaterialID = pc.ComponentID WHERE " +
                                    loaded + ")"));

    // Every vessel: its operations, a name only with a class, an inventory by the class's wording (case-sensitive), no
    // calendar for NULL, its plant's floor, a 2:1 cylinder of its capacity (continuous drawn as 600 l), item, info box.
    ASSERT_EQ(sql.count("SELECT COUNT(*) FROM EquipmentSummary WHERE CapacityUOM NOT IN ('liter', 'gal', 'Cubic m')"),
              0);
    int continuous = 0;
    CString name, procs, capacity;
    sql.each("SELECT EquipmentID, QLTag, Category, lower(EquipmentType) = 'continuous', Capacity, CapacityUOM, "
             "PlantID, coalesce(CalendarID, 0), instr(Category, 'Inventory') > 0, (SELECT COUNT(*) FROM "
             "EquipmentSchedule AS es JOIN TextRecipe AS tr ON tr.OperationID = es.OperationID AND tr.StepID = "
             "es.StepID JOIN StepSummary AS ss ON ss.StepID = es.StepID WHERE es.EquipmentID = e.EquipmentID), "
             "Capacity * CASE CapacityUOM WHEN 'liter' THEN 1e-3 WHEN 'gal' THEN 3.785411784e-3 ELSE 1 END "
             "FROM EquipmentSummary AS e",
             [&](const sqlite::Statement& row) {
                 SCOPED_TRACE(row.text(1));
                 Vessel* v = f.FindVesselWithId(static_cast<int>(row.integer(0)));
                 int at = 0;
                 while (at < f.GetNumVessels() && f.GetVesselByIndex(at) != v)
                     ++at;
                 ASSERT_TRUE(v && v->GetID() == row.integer(0));
                 const bool cont = row.integer(3) != 0;
                 continuous += cont;
                 EXPECT_EQ(unitsOf(v), row.integer(9));
                 EXPECT_EQ(v->GetFullName().str(), row.text(2).empty() ? "" : row.text(2) + ":    " + row.text(1));
                 EXPECT_EQ(v->IsInventory() * 10 + f.IsVesselInventory(at), row.integer(8) * 11);
                 EXPECT_NEAR(v->Capacity(), cont ? 1e-3 : row.real(10), 1e-6 * row.real(10)); // US gallons to 7 digits
                 EXPECT_EQ(v->GetCapacity(), cont ? CString("1.000 liter")
                                                  : CString::Formatted("%.3f %s", row.real(4), row.text(5).c_str()));
                 EXPECT_NEAR(v->GetHeight() / v->GetRadius(), 2.0, 1e-12);
                 const double drawn = v->Capacity() * (cont ? 600.0 : 1.0);
                 EXPECT_NEAR(cylinderVolume(*v), drawn, drawn * 1e-3); // exponent 0.3333, not 1/3
                 EXPECT_EQ(v->GetCalendarID(), row.integer(7) > 0 ? row.integer(7) : -1);
                 EXPECT_EQ(v->GetFloor()->GetPlantID() * 10 + v->GetFloor()->FindVessel(v), row.integer(6) * 10 + 1);
                 ASSERT_EQ(f.GetInfoForBox(at + 1, name, procs, capacity), 1);
                 EXPECT_EQ(f.GetItemName(at) + "|" + f.GetVesselName(at) + "|" + name + "|" + procs + "|" + capacity,
                           v->GetFullName() + "|" + v->GetName() + "|" + v->GetFullName() + "|" + v->PrintProcs() +
                               "|" + v->GetCapacity());
             });
    EXPECT_GT(continuous, 0);

    // Connecting streams follow the vessels in the item space, then floors and the one extra figure; info boxes only
    // for the first two. A stream takes a third of its smaller vessel's radius, one of one vessel names it twice.
    const int vessels = f.GetNumVessels(), pipes = f.GetNumConnectingStreams(), floors = f.GetNumFloors();
    capacity = "untouched";
    for (int k = 0; k < pipes + f.GetNumUniStreams() + f.GetNumUtilStreams(); ++k) {
        const Stream* s = all[static_cast<std::size_t>(k)];
        const Vessel* in = s->GetInputVessel() ? s->GetInputVessel() : s->GetOutputVessel();
        const Vessel* out = s->GetOutputVessel() ? s->GetOutputVessel() : in;
        ASSERT_NE(in, nullptr);
        const CString names = "[" + in->GetName() + "] to [" + out->GetName() + "]";
        EXPECT_EQ(s->GetName(), names);
        EXPECT_DOUBLE_EQ(s->GetRadius(), std::min(in->GetRadius(), out->GetRadius()) / 3.0);
        EXPECT_TRUE(k < pipes ? s->GetOtherVessel(in) == out && s->GetOtherVessel(out) == in
                              : s->GetOtherVessel(in) == nullptr);
        if (k >= pipes) continue;
        ASSERT_EQ(f.GetInfoForBox(vessels + k + 1, name, procs, capacity), 1);
        EXPECT_EQ(f.GetItemName(vessels + k) + "|" + name + "|" + procs + "|" + capacity,
                  "Connection: " + names + "|Connection: " + names + "|" + s->PrintProcs() + "|untouched");
        EXPECT_TRUE(s->IsCrossFloor() == (in->GetFloor() != out->GetFloor()) &&
                    f.FindStreamWithVesselIds(in->GetID(), out->GetID()) == s);
    }
    for (int p = 0; p < floors; ++p)
        EXPECT_EQ(f.GetItemName(vessels + pipes + p), f.GetFloorByIndex(p)->GetName());
    EXPECT_EQ(f.GetItemName(vessels + pipes + floors) + f.GetItemName(-1) + f.GetItemName(vessels + pipes + floors + 1),
              CString("6-foot Dude"));
    EXPECT_EQ(f.GetInfoForBox(0, name, procs, capacity) + f.GetInfoForBox(vessels + pipes + 1, name, procs, capacity),
              0);
}

const char* const kPlanEmpty = "Failed to open database at PlanSummary";
const char* const kStartInvalid = "Start time is invalid. Using Current time.";
const char* const kNoSteps = "There were no results found for this step";

TEST(StepLoadingTest, StartTimeFromThePlanElseTheLastStepRow)
{
    // plan: the row's start, nullptr for no row, "drop" for no table; steps "rows", none or "drop". "now" is about the
    // current time, "*" the database's own error text. Without steps the load stops, keeping what was read before.
    const struct {
        const char *plan, *steps;
        std::string message;
        int isPlan;
        const char* start;
        const char* events;
    } cases[] = {
        {"2024-03-04T06:30:00", "rows", "", 1, "2024-03-04T06:30:00", "11"},
        {nullptr, "rows", kPlanEmpty, 0, "2021-01-01T00:00:00", ""},
        {"", "rows", kStartInvalid, 1, "now", "11"},
        {"next Tuesday", "rows", kStartInvalid, 1, "now", "11"},
        {"drop", "rows", "*", 0, "2021-01-01T00:00:00", "11"},
        {"2024-03-04T06:30:00", "", kNoSteps, 1, "2024-03-04T06:30:00", "11"},
        {"2024-03-04T06:30:00", "drop", kNoSteps, 1, "2024-03-04T06:30:00", "11"}, // no message of its own
    };
    for (const auto& c : cases) {
        const std::string plan = c.plan ? c.plan : "(none)", steps = c.steps;
        SCOPED_TRACE(plan + " " + steps);
        ResultsDb file{ResultsDb::Tables::ResultsAndCalendars};
        file.AddPlant(1, "North");
        if (plan == "drop")
            file.exec("DROP TABLE ProductionPlanSummary;");
        else if (c.plan)
            file.AddPlan(plan, 3);
        if (steps == "drop") file.exec("DROP TABLE StepSummary;");
        if (steps == "rows")
            file.exec("INSERT INTO StepSummary (StepID, StepName, StepVersionName, NumberOfBatches, StartDateTime, "
                      "SimulationDateTime, PlantID) VALUES (1, 'Reaction', 'B', 3, '2020-01-01T00:00:00', "
                      "'2024-02-01T10:00:00', 1), (2, 'Workup', NULL, 3, '2021-01-01T00:00:00', NULL, 1);");
        CDaoDatabase database;
        database.Open(file.path().c_str());
        TestFacility f;
        RecordingGanttControl gantt;
        MessageRecorder messages;
        f.SetGanttChartCtrlCtrl(&gantt);
        f.SetStartTimeForTest(COleDateTime(2000, 1, 1, 0, 0, 0));
        f.loadPlanSummary(&database);
        if (steps == "rows")
            f.loadStepSummary(&database);
        else
            EXPECT_THROW(f.loadStepSummary(&database), CFacilityAbort);
        std::string events;
        for (const auto& e : gantt.events)
            events += std::to_string(e.dispid * 10 + e.argument);
        EXPECT_EQ(events, c.events);
        ASSERT_LE(messages.count(), 1u);
        const std::string m = messages.count() ? messages.texts()[0] : "";
        EXPECT_EQ(m.empty() || m == kPlanEmpty || m == kStartInvalid || m == kNoSteps ? m : "*", c.message);
        EXPECT_EQ(f.IsPlan(), c.isPlan);
        EXPECT_EQ(f.GetNumSteps(), steps == "rows" ? 2 : 0);
        const COleDateTime start = f.GetStartTime();
        const double now = COleDateTime::GetCurrentTime().m_dt;
        const bool near = start.GetStatus() == COleDateTime::valid && start.m_dt <= now && start.m_dt > now - 1.0;
        EXPECT_TRUE(std::string(c.start) == "now" ? near : start.ToIso().str() == c.start) << start.ToIso().str();
        // The last simulation date that is not null; names with and without a version; no key output material.
        if (steps != "rows") continue;
        EXPECT_EQ(f.GetSimulationTime().ToIso() + "|" + f.GetPlanName() + "|" + f.GetStepByIndex(0).GetFullName() +
                      "|" + f.GetStepByIndex(1).GetFullName() + "|" + f.GetStepFacilityName(1) + "|" +
                      f.GetStepKeyOutputName(1) + f.GetStepKeyOutputName(9) + f.GetStepFacilityName(9),
                  CString(c.isPlan ? "2024-02-01T10:00:00|Campaign|Reaction (B)|Workup|North|"
                                   : "2024-02-01T10:00:00||Reaction (B)|Workup|North|"));
    }
}

} // namespace
} // namespace batchplant
