// Loading the 3-D view: floors per plant, the stream kinds and how rows merge
// into them, contents, the messages, the refused second load, and the whole
// sample against SQL of our own.

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ResultsDb.h"
#include "SampleDatabase.h"
#include "TestSupport.h"
#include "batchplant/calendar/Calendar.h"
#include "batchplant/db/Dao.h"
#include "batchplant/model/Facility.h"
#include "batchplant/model/Plane.h"
#include "batchplant/model/Stream.h"
#include "batchplant/model/Vessel.h"
#include "batchplant/procedure/CProcedure.h"

namespace batchplant {
namespace {

using test::kNull;
using test::MessageRecorder;
using test::ResultsDb;

const char* const kNoEquipment = "Failed to open database at equipmentSet !!!";
const char* const kNoOperations = "Failed to open database at equipmentConts";
const char* const kNoEnds = "No associated streams found for vessel";
const char* const kAlreadyLoaded = "The facility already holds a loaded model.";

int unitsOf(const Stream* s) { return s && s->GetProc() ? s->GetProc()->GetNumProcs() : -1; }
int unitsOf(const Vessel* v) { return v && v->GetProc() ? v->GetProc()->GetNumProcs() : -1; }

// Every stream of every list as "kind from>to:unit stream ids" (ids sorted:
// units with equal times have no order of their own). An end vessel that is
// not the one its identifier names shows as "?".
std::string describeStreams(const Facility& f)
{
    static const std::map<int, std::string> kinds{{1, "C"}, {2, "I"}, {4, "O"}, {8, "U"}, {16, "V"}, {17, "VC"}};
    std::string out;
    auto add = [&](const Stream* s) {
        out += kinds.count(s->GetType()) ? kinds.at(s->GetType()) : "?";
        out += std::to_string(s->GetFromID()) + ">" + std::to_string(s->GetToID());
        const Vessel* in = s->GetInputVessel();
        const Vessel* to = s->GetOutputVessel();
        if ((s->GetFromID() != -1 && (!in || in->GetID() != s->GetFromID())) ||
            (s->GetToID() != -1 && s->GetType() != Stream::Output && (!to || to->GetID() != s->GetToID())))
            out += "?";
        std::vector<long> ids;
        for (int i = 0; i < unitsOf(s); ++i)
            ids.push_back(s->GetProc()->GetProcUnit(i).GetStreamID());
        std::sort(ids.begin(), ids.end());
        for (std::size_t i = 0; i < ids.size(); ++i)
            out += (i ? "," : ":") + std::to_string(ids[i]);
        out += ' ';
    };
    for (int i = 0; i < f.GetNumConnectingStreams(); ++i)
        add(f.GetStreamByIndex(i));
    for (int i = 0; i < f.GetNumUniStreams(); ++i)
        add(f.GetUniStreamByIndex(i));
    for (int i = 0; i < f.GetNumUtilStreams(); ++i)
        add(f.GetUtilStreamByIndex(i));
    for (int i = 0; i < f.GetNumVaporStreams(); ++i)
        add(f.GetVaporStreamByIndex(i));
    return out;
}

// Rows of the stream (S), utility (U) and vapor (V) tables, comma
// separated: "S id from to [category [start end]]", "U id equipment [start
// end]", "V id from to [mass [start end]]"; n is NULL, times in minutes.
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

// A results database with plant 1, its step and `vessels` reactors A, B, ...
// (identifiers 1, 2, ...) loaded into a facility after the rows.
struct Loaded {
    Loaded()
    {
        db.AddBasics();
        // An operation of equipment 999, which no test makes, keeps the
        // vessels' operations query from being empty.
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
        {3, "S 11 1 2, S 12 1 2, S 13 1 2, S 14 1 3, S 15 2 3 -5", "C1>2:11,12,13 C1>3:14 C2>3:15 ", 0},
        {2, "S 21 n 1, S 22 n 1, S 23 n 2, S 24 0 2", "I-1>1:21,22 I-1>2:23,24 ", 0}, // 0 is no vessel
        // A cleaning row with one end is skipped silently; one to an
        // identifier that is no vessel is an output.
        {1, "S 31 n n, S 32 0 98, S 33 n n -5, S 34 n 1 -5, S 35 1 99", "O1>99:35 ", 2},
        // Sorted by source: (null, B), (A, null), (99, B); the third row must
        // not land in A's output stream made between them.
        {2, "S 41 n 2, S 42 1 n, S 43 99 2", "I-1>2:41,43 O1>-1:42 ", 0},
        {2, "U 51 1 0 10, U 52 1 10 20, U 53 1 20 30, U 54 99, U 55 n", "U-1>1:51,52,53 ", 0},
        // No source: skipped; no mass: not in the query. Connecting vapor
        // streams stay out of the connecting list.
        {2, "V 61 1 n, V 62 1 2, V 63 1 n 1 10 20, V 64 n 2, V 65 2 n 0", "V1>-1:61,63 VC1>2:62 ", 0},
        // (1, 3) and 2 to a non-vessel would share a key if the missing end
        // counted as 0; so would a non-vessel into 2 and 2 to nowhere.
        {3, "V 71 1 3, V 72 2 99, V 73 99 2, V 74 2 n", "V2>-1:72,74 VC1>3:71 ", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rows);
        Loaded t;
        t.load(c.vessels, c.rows);
        EXPECT_EQ(describeStreams(t.f), c.streams);
        EXPECT_EQ(t.messages.texts(), std::vector<std::string>(c.noEnds, kNoEnds));
        for (int i = 0; i < t.f.GetNumUniStreams(); ++i) {
            const Stream* s = t.f.GetUniStreamByIndex(i);
            const Vessel* v = s->GetInputVessel() ? s->GetInputVessel() : s->GetOutputVessel();
            EXPECT_EQ(s->IsInput() ? v->GetInputStream() : v->GetOutputStream(), s);
        }
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
    load(0, "S 81 1 2, S 82 1 2 1 10 20, S 83 n n -5");
    EXPECT_TRUE(messages.texts().empty());
    ASSERT_EQ(f.GetNumFloors(), 2);
    Plane* north = f.GetFloorByIndex(0);
    Plane* south = f.GetFloorByIndex(1);
    EXPECT_EQ(north->GetName() + "/" + north->GetPlantName() + " " + south->GetName() + "/" + south->GetPlantName(),
              CString("Floor 1/North Floor 2/South"));
    EXPECT_NE(north->GetID(), south->GetID());
    // The first floor of an empty facility lies at 0, the next 6.0 above
    // the highest vessel top loaded before it.
    EXPECT_DOUBLE_EQ(north->GetHeight(), 0.0);
    EXPECT_DOUBLE_EQ(south->GetHeight(), north->GetTallestVesselHeight() + 6.0);
    // Loaded from a database: floor editing no longer marks it modified.
    f.MarkModified(1);
    EXPECT_EQ(f.IsModified(), 0);

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
}

TEST_F(LoadingTest, FailuresReachTheUserOrTheCaller)
{
    {
        Loaded t;
        t.db.exec("DELETE FROM EquipmentSchedule;");
        t.load();
        EXPECT_EQ(t.messages.texts(), (std::vector<std::string>{kNoEquipment, kNoOperations}));
        EXPECT_EQ(t.f.GetNumVessels() + t.f.GetNumFloors(), 0);
        EXPECT_EQ(t.f.GetNumSteps(), 1);
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

TEST_F(LoadingTest, NullDatabaseOrSecondLoadChangesNothing)
{
    f.ReadVisioDatabase(nullptr);
    EXPECT_EQ(f.GetCalendar(), nullptr);
    f.MarkModified(1); // not loaded: floor editing still marks it modified
    EXPECT_EQ(f.IsModified(), 1);
    load(2, "S 91 1 2, U 92 1");
    const std::string streams = describeStreams(f);
    const CFacilityCalendar* calendar = f.GetCalendar();
    EXPECT_TRUE(messages.texts().empty());
    f.ReadVisioDatabase(&database);
    EXPECT_EQ(messages.texts(), (std::vector<std::string>{kAlreadyLoaded}));
    EXPECT_EQ(f.GetNumVessels() * 100 + f.GetNumFloors() * 10 + f.GetNumSteps(), 211);
    EXPECT_EQ(describeStreams(f), streams);
    EXPECT_EQ(f.GetCalendar(), calendar);
}

// Whether an identifier column names a piece of equipment.
std::string isVessel(const std::string& column)
{
    return "coalesce(" + column + ", -1) IN (SELECT EquipmentID FROM EquipmentSummary)";
}

double cylinderVolume(const Vessel& v) { return 3.14159265359 * v.GetRadius() * v.GetRadius() * v.GetHeight(); }

// The generated sample against counts taken with SQL of our own, then every
// vessel and stream against its rows.
TEST(SampleLoadingTest, TheModelHoldsWhatTheDatabaseHolds)
{
    const test::Sql sql(test::SampleDatabasePath(), true);
    MessageRecorder recorder;
    CDaoDatabase database;
    database.Open(test::SampleDatabasePath().string().c_str(), false, true);
    Facility f;
    f.ReadVisioDatabase(&database);
    const long messages = static_cast<long>(recorder.count());
    const std::string from = isVessel("ss.FromEquipmentID");
    const std::string to = isVessel("ss.ToEquipmentID");
    const std::string streams = " FROM StreamSummary AS ss JOIN TextRecipe AS tr ON tr.OperationID = ss.OperationID ";
    // The sample names outside ends NULL only, so input and output runs are
    // one per vessel.
    ASSERT_EQ(sql.count("SELECT COUNT(*) FROM StreamSummary AS ss WHERE (ss.FromEquipmentID IS NOT NULL AND NOT " +
                        from + ") OR (ss.ToEquipmentID IS NOT NULL AND NOT " + to + ")"),
              0);
    EXPECT_EQ(messages, sql.count("SELECT COUNT(*)" + streams + "WHERE NOT " + from + " AND NOT " + to +
                                  " AND ss.StreamCategoryID <> -5"));
    EXPECT_EQ(f.GetNumVessels(), sql.count("SELECT COUNT(*) FROM EquipmentSummary"));
    EXPECT_EQ(f.GetNumFloors(), sql.count("SELECT COUNT(DISTINCT PlantID) FROM EquipmentSummary"));
    EXPECT_EQ(f.GetNumSteps(), sql.count("SELECT COUNT(*) FROM StepSummary"));
    EXPECT_EQ(f.GetNumConnectingStreams(),
              sql.count("SELECT COUNT(*) FROM (SELECT DISTINCT ss.FromEquipmentID, ss.ToEquipmentID" + streams +
                        "WHERE " + from + " AND " + to + ")"));
    const long outputs = sql.count("SELECT COUNT(DISTINCT ss.FromEquipmentID)" + streams + "WHERE " + from +
                                   " AND NOT " + to + " AND ss.StreamCategoryID <> -5");
    const long inputs = sql.count("SELECT COUNT(DISTINCT ss.ToEquipmentID)" + streams + "WHERE " + to + " AND NOT " +
                                  from + " AND ss.StreamCategoryID <> -5");
    EXPECT_EQ(f.GetNumUniStreams(), outputs + inputs);
    const std::string utilities = " FROM UtilitySummary AS us JOIN TextRecipe AS tr ON tr.OperationID = "
                                  "us.OperationID WHERE " +
                                  isVessel("us.EquipmentID");
    EXPECT_EQ(f.GetNumUtilStreams(), sql.count("SELECT COUNT(DISTINCT us.EquipmentID)" + utilities));
    const std::string vapors = " FROM AirEmissionSummary AS aes JOIN TextRecipe AS tr ON tr.OperationID = "
                               "aes.OperationID WHERE aes.Mass > 0 AND " +
                               isVessel("aes.FromEquipmentID");
    EXPECT_EQ(f.GetNumVaporStreams(),
              sql.count("SELECT COUNT(*) FROM (SELECT DISTINCT aes.FromEquipmentID, CASE WHEN " +
                        isVessel("aes.ToEquipmentID") + " THEN aes.ToEquipmentID END" + vapors + ")"));

    // Every row lands in exactly one procedure.
    auto units = [](int n, auto get) {
        long sum = 0;
        for (int i = 0; i < n; ++i)
            sum += unitsOf(get(i));
        return sum;
    };
    long processUnits = 0;
    long components = 0;
    for (int i = 0; i < f.GetNumConnectingStreams() + f.GetNumUniStreams(); ++i) {
        const Stream* s = i < f.GetNumConnectingStreams() ? f.GetStreamByIndex(i)
                                                          : f.GetUniStreamByIndex(i - f.GetNumConnectingStreams());
        processUnits += unitsOf(s);
        for (int u = 0; u < unitsOf(s); ++u)
            components += s->GetProc()->GetProcUnit(u).GetNumComponents();
    }
    const std::string loaded =
        "(" + from + " AND " + to + ") OR ((" + from + " OR " + to + ") AND ss.StreamCategoryID <> -5)";
    EXPECT_EQ(processUnits, sql.count("SELECT COUNT(*)" + streams + "WHERE " + loaded));
    // One component per stream, material and phase of the loaded rows.
    EXPECT_EQ(components, sql.count("SELECT COUNT(*) FROM (SELECT DISTINCT ss.StreamID, puc.MaterialID, "
                                    "CASE WHEN lower(tp.Phase) IN ('gas', 'liquid1', 'liquid2', 'solid', 'cell1', "
                                    "'cell2') THEN lower(tp.Phase) END" +
                                    streams +
                                    "LEFT JOIN ThermodynamicPhase AS tp ON tp.StreamID = ss.StreamID LEFT JOIN "
                                    "PhaseComponents AS pc ON pc.PhaseID = tp.PhaseID LEFT JOIN PureComponents AS "
                                    "puc ON puc.MaterialID = pc.ComponentID WHERE " +
                                    loaded + ")"));
    EXPECT_EQ(units(f.GetNumUtilStreams(), [&](int i) { return f.GetUtilStreamByIndex(i); }),
              sql.count("SELECT COUNT(*)" + utilities));
    EXPECT_EQ(units(f.GetNumVaporStreams(), [&](int i) { return f.GetVaporStreamByIndex(i); }),
              sql.count("SELECT COUNT(*)" + vapors));
    ASSERT_NE(f.GetCalendar(), nullptr);
    EXPECT_EQ(f.GetCalendar()->GetNumCalendars(), sql.count("SELECT COUNT(*) FROM Calendars"));

    // Every vessel: its own operations; a name only with a class; an inventory
    // by the class's wording (case-sensitive); no calendar for NULL; its plant's
    // floor; a cylinder twice as high as wide of its capacity (continuous
    // equipment drawn as 600 litres); its item and info box.
    ASSERT_EQ(sql.count("SELECT COUNT(*) FROM EquipmentSummary WHERE CapacityUOM NOT IN ('liter', 'gal', 'Cubic m')"),
              0);
    int continuous = 0;
    sql.each("SELECT EquipmentID, QLTag, Category, lower(EquipmentType) = 'continuous', Capacity, CapacityUOM, "
             "PlantID, coalesce(CalendarID, 0), instr(Category, 'Inventory') > 0, (SELECT COUNT(*) FROM "
             "EquipmentSchedule AS es JOIN TextRecipe AS tr ON tr.OperationID = es.OperationID AND tr.StepID = "
             "es.StepID JOIN StepSummary AS ss ON ss.StepID = es.StepID WHERE es.EquipmentID = e.EquipmentID), "
             "Capacity * CASE CapacityUOM WHEN 'liter' THEN 1e-3 WHEN 'gal' THEN 3.785411784e-3 ELSE 1 END "
             "FROM EquipmentSummary AS e",
             [&](const sqlite::Statement& row) {
                 SCOPED_TRACE(row.text(1));
                 int at = 0;
                 while (at < f.GetNumVessels() && f.GetVesselByIndex(at)->GetID() != row.integer(0))
                     ++at;
                 Vessel* v = f.GetVesselByIndex(at);
                 ASSERT_NE(v, nullptr);
                 EXPECT_EQ(f.FindVesselWithId(static_cast<int>(row.integer(0))), v);
                 const bool cont = row.integer(3) != 0;
                 continuous += cont;
                 EXPECT_EQ(unitsOf(v), row.integer(9));
                 EXPECT_EQ(v->GetFullName().str(), row.text(2).empty() ? "" : row.text(2) + ":    " + row.text(1));
                 EXPECT_EQ(v->IsInventory(), row.integer(8));
                 const double capacity = cont ? 1.0 : row.real(4);
                 const std::string unit = cont ? "liter" : row.text(5);
                 EXPECT_NEAR(v->Capacity(), cont ? 1e-3 : row.real(10), 1e-6 * row.real(10)); // US gallons to 7 digits
                 EXPECT_EQ(v->GetCapacity(), CString::Formatted("%.3f %s", capacity, unit.c_str()));
                 EXPECT_NEAR(v->GetHeight() / v->GetRadius(), 2.0, 1e-12);
                 const double drawn = v->Capacity() * (cont ? 600.0 : 1.0);
                 EXPECT_NEAR(cylinderVolume(*v), drawn, drawn * 1e-3); // exponent 0.3333, not 1/3
                 EXPECT_EQ(v->GetCalendarID(), row.integer(7) > 0 ? row.integer(7) : -1);
                 EXPECT_EQ(v->GetFloor()->GetPlantID(), row.integer(6));
                 EXPECT_EQ(v->GetFloor()->FindVessel(v), 1);
                 EXPECT_EQ(f.GetItemName(at), v->GetFullName());
                 EXPECT_EQ(f.GetVesselName(at), v->GetName());
                 EXPECT_EQ(f.IsVesselInventory(at), v->IsInventory());
                 CString name, procs, shown;
                 ASSERT_EQ(f.GetInfoForBox(at + 1, name, procs, shown), 1);
                 EXPECT_EQ(name + "|" + procs + "|" + shown,
                           v->GetFullName() + "|" + v->PrintProcs() + "|" + v->GetCapacity());
             });
    EXPECT_GT(continuous, 0);

    // Connecting streams follow the vessels in the item space, then floors and
    // the one extra figure; info boxes only for the first two. A stream takes a
    // third of its smaller vessel's radius.
    const int vessels = f.GetNumVessels();
    const int pipes = f.GetNumConnectingStreams();
    const int floors = f.GetNumFloors();
    CString name, procs, capacity = "untouched";
    for (int k = 0; k < pipes; ++k) {
        const Stream* s = f.GetStreamByIndex(k);
        const Vessel* in = s->GetInputVessel();
        const Vessel* out = s->GetOutputVessel();
        const CString names = "[" + in->GetName() + "] to [" + out->GetName() + "]";
        EXPECT_EQ(s->GetName(), names);
        EXPECT_EQ(f.GetItemName(vessels + k), "Connection: " + names);
        ASSERT_EQ(f.GetInfoForBox(vessels + k + 1, name, procs, capacity), 1);
        EXPECT_EQ(name + "|" + procs + "|" + capacity, "Connection: " + names + "|" + s->PrintProcs() + "|untouched");
        EXPECT_TRUE(s->GetOtherVessel(in) == out && s->GetOtherVessel(out) == in);
        EXPECT_EQ(s->IsCrossFloor(), in->GetFloor() != out->GetFloor() ? 1 : 0);
        EXPECT_DOUBLE_EQ(s->GetRadius(), std::min(in->GetRadius(), out->GetRadius()) / 3.0);
        EXPECT_EQ(f.FindStreamWithVesselIds(in->GetID(), out->GetID()), s);
    }
    for (int p = 0; p < floors; ++p)
        EXPECT_EQ(f.GetItemName(vessels + pipes + p), f.GetFloorByIndex(p)->GetName());
    EXPECT_EQ(f.GetItemName(vessels + pipes + floors), CString("6-foot Dude"));
    EXPECT_TRUE(f.GetItemName(-1).IsEmpty() && f.GetItemName(vessels + pipes + floors + 1).IsEmpty());
    EXPECT_EQ(f.GetInfoForBox(0, name, procs, capacity) + f.GetInfoForBox(vessels + pipes + 1, name, procs, capacity),
              0);

    // A stream of one vessel names it at both ends.
    for (int i = 0; i < f.GetNumUniStreams() + f.GetNumUtilStreams(); ++i) {
        const Stream* s =
            i < f.GetNumUniStreams() ? f.GetUniStreamByIndex(i) : f.GetUtilStreamByIndex(i - f.GetNumUniStreams());
        const Vessel* v = s->GetInputVessel() ? s->GetInputVessel() : s->GetOutputVessel();
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(s->GetName(), "[" + v->GetName() + "] to [" + v->GetName() + "]");
        EXPECT_DOUBLE_EQ(s->GetRadius(), v->GetRadius() / 3.0);
        EXPECT_EQ(s->GetOtherVessel(v), nullptr);
    }
}

} // namespace
} // namespace batchplant
