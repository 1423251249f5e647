// Loading the 3-D view: floors per plant, vessels and their operations, the
// stream kinds and how rows merge into them, contents, the messages, the
// refused second load, and the whole sample.

#include <algorithm>
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

// The stream ids of a stream's process units, ascending (units with equal
// times have no order of their own).
std::vector<long> unitStreamIds(const Stream* s)
{
    std::vector<long> ids;
    for (int i = 0; i < s->GetProc()->GetNumProcs(); ++i)
        ids.push_back(s->GetProc()->GetProcUnit(i).GetStreamID());
    std::sort(ids.begin(), ids.end());
    return ids;
}

class LoadingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        db.AddBasics();
        // An operation of equipment 999, which no test makes, keeps the
        // vessels' operations query from being empty.
        db.AddSchedule(999, 1, 1, 0.0, 1.0);
    }

    // Loads the database into `f`, recording the messages.
    void load()
    {
        database.Open(db.path().c_str(), false, true);
        f.ReadVisioDatabase(&database);
    }

    ResultsDb db{ResultsDb::Tables::ResultsAndCalendars};
    CDaoDatabase database;
    Facility f;
    MessageRecorder messages;
};

TEST_F(LoadingTest, OneFloorPerPlantInOrderOfFirstAppearance)
{
    db.AddPlant(2, "South");
    db.AddEquipment(1, "R-101", "Reactor", 1);
    db.AddEquipment(2, "T-101", "Storage Tank", 1);
    db.AddEquipment(3, "R-201", "Reactor", 2);
    load();
    EXPECT_TRUE(messages.texts().empty());

    ASSERT_EQ(f.GetNumVessels(), 3);
    ASSERT_EQ(f.GetNumFloors(), 2);
    Plane* north = f.GetFloorByIndex(0);
    Plane* south = f.GetFloorByIndex(1);
    EXPECT_EQ(north->GetName(), CString("Floor 1"));
    EXPECT_EQ(south->GetName(), CString("Floor 2"));
    EXPECT_EQ(north->GetPlantID(), 1);
    EXPECT_EQ(south->GetPlantID(), 2);
    EXPECT_EQ(north->GetPlantName(), CString("North"));
    EXPECT_EQ(south->GetPlantName(), CString("South"));
    EXPECT_GE(north->GetID(), 100);
    EXPECT_NE(north->GetID(), south->GetID());

    // Vessels in row order, each on its plant's floor.
    EXPECT_EQ(f.GetVesselByIndex(0)->GetName(), CString("R-101"));
    EXPECT_EQ(f.GetVesselByIndex(0)->GetFloor(), north);
    EXPECT_EQ(f.GetVesselByIndex(1)->GetFloor(), north);
    EXPECT_EQ(f.GetVesselByIndex(2)->GetFloor(), south);
    EXPECT_EQ(north->GetNumVessels(), 2);
    EXPECT_EQ(south->GetNumVessels(), 1);

    // The first floor of an empty facility lies at 0; the next one 6.0 above
    // the highest vessel top loaded before it.
    EXPECT_DOUBLE_EQ(north->GetHeight(), 0.0);
    EXPECT_DOUBLE_EQ(south->GetHeight(), north->GetTallestVesselHeight() + 6.0);

    // Loaded from a database: floor editing no longer marks the facility
    // modified.
    EXPECT_EQ(f.IsModified(), 0);
    f.MarkModified(1);
    EXPECT_EQ(f.IsModified(), 0);
    EXPECT_NE(f.GetCalendar(), nullptr);
}

TEST_F(LoadingTest, VesselsTakeTheirOwnOperations)
{
    db.AddEquipment(1, "R-101", "Reactor");
    db.AddEquipment(2, "T-101", "Storage Tank");
    db.AddOperation(2, "Charge");
    db.AddOperation(3, "React");
    db.AddSchedule(1, 1, 2, 0.0, 1.0, 200.0);
    db.AddSchedule(1, 1, 3, 1.0, 3.0, 200.0);
    load();
    EXPECT_TRUE(messages.texts().empty());
    EXPECT_EQ(unitsOf(f.GetVesselByIndex(0)), 2);
    EXPECT_EQ(unitsOf(f.GetVesselByIndex(1)), 0);
    const CProcUnit& react = f.GetVesselByIndex(0)->GetProc()->GetProcUnit(1);
    EXPECT_EQ(react.GetStart(), 3600);
    EXPECT_EQ(react.GetEnd(), 3 * 3600);
    EXPECT_EQ(react.GetOpID(), 3);
}

TEST_F(LoadingTest, ConnectingStreamsAreRunsOfOneVesselPair)
{
    db.AddEquipment(1, "A", "Reactor");
    db.AddEquipment(2, "B", "Reactor");
    db.AddEquipment(3, "C", "Reactor");
    db.AddStream(11, 1, 2);
    db.AddStream(12, 1, 2);
    db.AddStream(13, 1, 2);
    db.AddStream(14, 1, 3);
    // Cleaning rows with a vessel at both ends make streams like any other.
    db.AddStream(15, 2, 3, -5);
    load();
    EXPECT_TRUE(messages.texts().empty());

    ASSERT_EQ(f.GetNumConnectingStreams(), 3);
    EXPECT_EQ(f.GetNumUniStreams(), 0);
    const Stream* ab = f.GetStreamByIndex(0);
    EXPECT_EQ(ab->GetType(), Stream::Connecting);
    EXPECT_EQ(ab->GetID(), 11); // the first row's stream id
    EXPECT_EQ(ab->GetInputVessel(), f.GetVesselByIndex(0));
    EXPECT_EQ(ab->GetOutputVessel(), f.GetVesselByIndex(1));
    EXPECT_EQ(unitStreamIds(ab), (std::vector<long>{11, 12, 13}));
    EXPECT_EQ(unitsOf(f.GetStreamByIndex(1)), 1);
    EXPECT_EQ(f.GetStreamByIndex(1)->GetToID(), 3);
    EXPECT_EQ(f.FindStreamWithVesselIds(2, 3), f.GetStreamByIndex(2));
    EXPECT_EQ(f.GetNumDrawables(), 3 + 3 + 1);
}

TEST_F(LoadingTest, InputStreamsAreRunsOfOneDestination)
{
    db.AddEquipment(1, "A", "Reactor");
    db.AddEquipment(2, "B", "Reactor");
    db.AddStream(21, kNull, 1);
    db.AddStream(22, kNull, 1);
    db.AddStream(23, kNull, 2);
    db.AddStream(24, 0, 2); // 0 is no vessel, like null
    load();
    ASSERT_EQ(f.GetNumUniStreams(), 2);
    EXPECT_EQ(f.GetNumConnectingStreams(), 0);
    const Stream* toA = f.GetUniStreamByIndex(0);
    const Stream* toB = f.GetUniStreamByIndex(1);
    EXPECT_EQ(toA->GetType(), Stream::Input);
    EXPECT_EQ(toA->GetFromID(), -1);
    EXPECT_EQ(toA->GetToID(), 1);
    EXPECT_EQ(unitStreamIds(toA), (std::vector<long>{21, 22}));
    EXPECT_EQ(toB->GetFromID(), -1);
    EXPECT_EQ(unitStreamIds(toB), (std::vector<long>{23, 24}));
    EXPECT_EQ(f.GetVesselByIndex(1)->GetInputStream(), toB);
}

TEST_F(LoadingTest, RowsWithoutAVesselEndShowOneMessageEachUnlessCleaning)
{
    db.AddEquipment(1, "A", "Reactor");
    db.AddStream(31, kNull, kNull);
    db.AddStream(32, 0, 98);
    db.AddStream(33, kNull, kNull, -5);
    db.AddStream(34, kNull, 1, -5); // cleaning row with one end: skipped silently
    db.AddStream(35, 1, 99);        // to an identifier that is no vessel: an output
    load();
    EXPECT_EQ(messages.texts(), (std::vector<std::string>{kNoEnds, kNoEnds}));
    EXPECT_EQ(f.GetNumConnectingStreams(), 0);
    ASSERT_EQ(f.GetNumUniStreams(), 1);
    const Stream* out = f.GetUniStreamByIndex(0);
    EXPECT_EQ(out->GetType(), Stream::Output);
    EXPECT_EQ(out->GetFromID(), 1);
    EXPECT_EQ(out->GetToID(), 99);
    EXPECT_EQ(unitStreamIds(out), (std::vector<long>{35}));
}

TEST_F(LoadingTest, AnInputRowIsNeverMergedIntoAnOutputStream)
{
    // Sorted by source: (null, B), (A, null), (99, B). The third row feeds B
    // like the first; it must not land in A's output stream, which was
    // created between them.
    db.AddEquipment(1, "A", "Reactor");
    db.AddEquipment(2, "B", "Reactor");
    db.AddStream(41, kNull, 2);
    db.AddStream(42, 1, kNull);
    db.AddStream(43, 99, 2);
    load();
    ASSERT_EQ(f.GetNumUniStreams(), 2);
    const Stream* intoB = f.GetUniStreamByIndex(0);
    const Stream* outOfA = f.GetUniStreamByIndex(1);
    EXPECT_EQ(intoB->GetType(), Stream::Input);
    EXPECT_EQ(unitStreamIds(intoB), (std::vector<long>{41, 43}));
    EXPECT_EQ(outOfA->GetType(), Stream::Output);
    EXPECT_EQ(unitStreamIds(outOfA), (std::vector<long>{42}));
}

TEST_F(LoadingTest, UtilityRowsMergePerServedVessel)
{
    db.AddEquipment(1, "A", "Reactor");
    db.AddEquipment(2, "B", "Reactor");
    db.AddUtility(51, 1, 0.0, 10.0);
    db.AddUtility(52, 1, 10.0, 20.0);
    db.AddUtility(53, 1, 20.0, 30.0);
    db.AddUtility(54, 99); // not a vessel
    db.AddUtility(55, kNull);
    load();
    EXPECT_TRUE(messages.texts().empty());
    ASSERT_EQ(f.GetNumUtilStreams(), 1);
    const Stream* steam = f.GetUtilStreamByIndex(0);
    EXPECT_EQ(steam->GetType(), Stream::Utility);
    EXPECT_EQ(steam->GetID(), 51);
    EXPECT_EQ(steam->GetFromID(), -1);
    EXPECT_EQ(steam->GetToID(), 1);
    EXPECT_EQ(unitsOf(steam), 3);
    EXPECT_EQ(f.GetVesselByIndex(0)->GetUtilityStream(), steam);
    EXPECT_EQ(f.GetVesselByIndex(1)->GetUtilityStream(), nullptr);
}

TEST_F(LoadingTest, VaporRowsMergePerVesselPair)
{
    db.AddEquipment(1, "A", "Reactor");
    db.AddEquipment(2, "B", "Condenser");
    db.AddVapor(61, 1, kNull, 1.0, 0.0, 10.0);
    db.AddVapor(62, 1, 2, 1.0, 0.0, 10.0);
    db.AddVapor(63, 1, kNull, 1.0, 10.0, 20.0);
    db.AddVapor(64, kNull, 2);      // no source: skipped
    db.AddVapor(65, 2, kNull, 0.0); // no mass: not in the query
    load();
    ASSERT_EQ(f.GetNumVaporStreams(), 2);
    const Stream* open = nullptr;
    const Stream* condensed = nullptr;
    for (int i = 0; i < 2; ++i) {
        const Stream* s = f.GetVaporStreamByIndex(i);
        (s->GetType() == Stream::Vapor ? open : condensed) = s;
    }
    ASSERT_NE(open, nullptr);
    ASSERT_NE(condensed, nullptr);
    EXPECT_EQ(condensed->GetType(), Stream::Vapor | Stream::Connecting);
    EXPECT_EQ(unitStreamIds(open), (std::vector<long>{61, 63}));
    EXPECT_EQ(open->GetToID(), -1);
    EXPECT_EQ(open->GetInputVessel(), f.GetVesselByIndex(0));
    EXPECT_EQ(unitStreamIds(condensed), (std::vector<long>{62}));
    EXPECT_EQ(condensed->GetOutputVessel(), f.GetVesselByIndex(1));
    // Connecting vapor streams stay out of the connecting list.
    EXPECT_EQ(f.GetNumConnectingStreams(), 0);
}

TEST_F(LoadingTest, VaporRowsOfDifferentPairsNeverShareAStream)
{
    // Three vessels: the pair (1, 3) and an emission of 2 to an identifier
    // that is no vessel would share a key if the missing destination counted
    // as 0; so would an emission from a non-vessel into 2 and 2's own
    // emission to nowhere.
    db.AddEquipment(1, "A", "Reactor");
    db.AddEquipment(2, "B", "Reactor");
    db.AddEquipment(3, "C", "Condenser");
    db.AddVapor(71, 1, 3);
    db.AddVapor(72, 2, 99);
    db.AddVapor(73, 99, 2);
    db.AddVapor(74, 2, kNull);
    load();
    ASSERT_EQ(f.GetNumVaporStreams(), 2);
    for (int i = 0; i < 2; ++i) {
        const Stream* s = f.GetVaporStreamByIndex(i);
        if (s->GetFromID() == 1) {
            EXPECT_EQ(s->GetType(), Stream::Vapor | Stream::Connecting);
            EXPECT_EQ(unitStreamIds(s), (std::vector<long>{71}));
        } else {
            EXPECT_EQ(s->GetFromID(), 2);
            EXPECT_EQ(s->GetType(), Stream::Vapor);
            EXPECT_EQ(s->GetToID(), -1);
            EXPECT_EQ(unitStreamIds(s), (std::vector<long>{72, 74}));
        }
    }
}

TEST_F(LoadingTest, ContentsGoToTheUnitOfTheirStream)
{
    db.AddEquipment(1, "A", "Reactor");
    db.AddEquipment(2, "B", "Reactor");
    db.AddStream(81, 1, 2, 1, 0.0, 10.0);
    db.AddStream(82, 1, 2, 1, 10.0, 20.0);
    db.AddStreamPhase(1, 82, 7);
    // Contents of a stream whose ends match no stream are ignored.
    db.AddStream(83, kNull, kNull, -5);
    db.AddStreamPhase(2, 83, 8);
    load();
    ASSERT_EQ(f.GetNumConnectingStreams(), 1);
    const CProcedure* proc = f.GetStreamByIndex(0)->GetProc();
    int found = 0;
    for (int i = 0; i < proc->GetNumProcs(); ++i) {
        const CProcUnit& unit = proc->GetProcUnit(i);
        if (unit.GetStreamID() != 82) continue;
        ++found;
        ASSERT_EQ(unit.GetNumComponents(), 1);
        EXPECT_EQ(unit.GetComponentAt(0).GetName(), CString("Material 7"));
        EXPECT_DOUBLE_EQ(unit.GetComponentAt(0).GetMass(), 100.0);
    }
    EXPECT_EQ(found, 1);
}

TEST_F(LoadingTest, EmptyEquipmentAndOperationsShowTheirMessages)
{
    db.exec("DELETE FROM EquipmentSchedule;");
    load();
    EXPECT_EQ(messages.texts(), (std::vector<std::string>{kNoEquipment, kNoOperations}));
    EXPECT_EQ(f.GetNumVessels(), 0);
    EXPECT_EQ(f.GetNumFloors(), 0);
    EXPECT_EQ(f.GetNumSteps(), 1);
    EXPECT_NE(f.GetCalendar(), nullptr); // the calendars are still read, last
}

TEST_F(LoadingTest, DatabaseErrorsWhileWalkingReachTheCaller)
{
    db.AddEquipment(1, "A", "Reactor");
    db.AddSchedule(1, 1, 1, 0.0, 1.0);
    // A later row holding text where a number belongs.
    db.exec("INSERT INTO EquipmentSchedule (EquipmentID, BatchNumber, StepID, UnitProcedureID, OperationID, "
            "StartTime, EndTime, TimeUOM) VALUES (1, 'second', 1, 1, 1, 1.0, 2.0, 'h');");
    database.Open(db.path().c_str(), false, true);
    EXPECT_THROW(f.ReadVisioDatabase(&database), CDaoException);
    EXPECT_EQ(f.GetNumVessels(), 1); // what was read before stays
}

TEST_F(LoadingTest, NullDatabaseDoesNothing)
{
    f.ReadVisioDatabase(nullptr);
    EXPECT_TRUE(messages.texts().empty());
    EXPECT_EQ(f.GetCalendar(), nullptr);
    // Not loaded: floor editing still marks the facility modified.
    f.MarkModified(1);
    EXPECT_EQ(f.IsModified(), 1);
}

TEST_F(LoadingTest, ASecondLoadIsRefusedAndChangesNothing)
{
    db.AddEquipment(1, "A", "Reactor");
    db.AddEquipment(2, "B", "Reactor");
    db.AddStream(91, 1, 2);
    db.AddUtility(92, 1);
    load();
    messages.clear();
    const CFacilityCalendar* calendar = f.GetCalendar();

    f.ReadVisioDatabase(&database);
    EXPECT_EQ(messages.texts(), (std::vector<std::string>{kAlreadyLoaded}));
    EXPECT_EQ(f.GetNumVessels(), 2);
    EXPECT_EQ(f.GetNumFloors(), 1);
    EXPECT_EQ(f.GetNumSteps(), 1);
    EXPECT_EQ(f.GetNumConnectingStreams(), 1);
    EXPECT_EQ(unitsOf(f.GetStreamByIndex(0)), 1);
    EXPECT_EQ(unitsOf(f.GetUtilStreamByIndex(0)), 1);
    EXPECT_EQ(f.GetCalendar(), calendar);
}

// ---------------------------------------------------------------------------
// The generated sample, against counts taken with SQL of our own.

// Whether an identifier column names a piece of equipment.
std::string isVessel(const std::string& column)
{
    return "coalesce(" + column + ", -1) IN (SELECT EquipmentID FROM EquipmentSummary)";
}

TEST(SampleLoadingTest, TheModelHoldsWhatTheDatabaseHolds)
{
    const std::string path = test::SampleDatabasePath().string();
    test::Sql sql(path, true);
    const std::string from = isVessel("ss.FromEquipmentID");
    const std::string to = isVessel("ss.ToEquipmentID");
    const std::string streams = " FROM StreamSummary AS ss JOIN TextRecipe AS tr ON tr.OperationID = ss.OperationID ";
    // The sample names outside ends NULL only, so input and output runs are
    // one per vessel.
    ASSERT_EQ(sql.count("SELECT COUNT(*) FROM StreamSummary AS ss WHERE (ss.FromEquipmentID IS NOT NULL AND NOT " +
                        from + ") OR (ss.ToEquipmentID IS NOT NULL AND NOT " + to + ")"),
              0);

    MessageRecorder messages;
    CDaoDatabase database;
    database.Open(path.c_str(), false, true);
    Facility f;
    f.ReadVisioDatabase(&database);

    const long noEnds = sql.count("SELECT COUNT(*)" + streams + "WHERE NOT " + from + " AND NOT " + to +
                                  " AND ss.StreamCategoryID <> -5");
    EXPECT_EQ(static_cast<long>(messages.count()), noEnds);

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
    long vesselUnits = 0;
    for (int i = 0; i < f.GetNumVessels(); ++i)
        vesselUnits += unitsOf(f.GetVesselByIndex(i));
    EXPECT_EQ(vesselUnits, sql.count("SELECT COUNT(*) FROM EquipmentSchedule AS es JOIN TextRecipe AS tr ON "
                                     "tr.OperationID = es.OperationID AND tr.StepID = es.StepID JOIN StepSummary AS "
                                     "ss ON ss.StepID = es.StepID WHERE " +
                                     isVessel("es.EquipmentID")));
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
    long utilityUnits = 0;
    for (int i = 0; i < f.GetNumUtilStreams(); ++i)
        utilityUnits += unitsOf(f.GetUtilStreamByIndex(i));
    EXPECT_EQ(utilityUnits, sql.count("SELECT COUNT(*)" + utilities));
    long vaporUnits = 0;
    for (int i = 0; i < f.GetNumVaporStreams(); ++i)
        vaporUnits += unitsOf(f.GetVaporStreamByIndex(i));
    EXPECT_EQ(vaporUnits, sql.count("SELECT COUNT(*)" + vapors));
    ASSERT_NE(f.GetCalendar(), nullptr);
    EXPECT_EQ(f.GetCalendar()->GetNumCalendars(), sql.count("SELECT COUNT(*) FROM Calendars"));
}

} // namespace
} // namespace batchplant
