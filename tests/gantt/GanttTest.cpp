// The schedule view and its composite profiles on small databases and on the
// sample (against SQL of the test's own); the builder against ProfileReference.h.

#include <cmath>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "ProfileReference.h"
#include "ResultsDb.h"
#include "SampleDatabase.h"
#include "TestSupport.h"
#include "batchplant/db/Dao.h"
#include "batchplant/gantt/Composite.h"
#include "batchplant/gantt/GanttFacility.h"
#include "batchplant/model/Plane.h"
#include "batchplant/model/Vessel.h"
#include "batchplant/platform/HostInterfaces.h"

namespace batchplant {
namespace {

using test::MessageRecorder;
using test::ResultsDb;
const char* const kNoOperations = "Failed to open database at equipmentConts";
const char* const kRefused = "The facility already holds a loaded model.";

struct RecordingDocument : CDocument {
    std::vector<bool> flags;
    void SetModifiedFlag(bool modified) override { flags.push_back(modified); }
};

class GanttLoadingTest : public ::testing::Test {
protected:
    void SetUp() override { db.AddBasics(); }
    bool load() { return f.ReadGanttDatabase(CString(db.path().c_str())); }

    ResultsDb db{ResultsDb::Tables::ResultsAndCalendars};
    GanttFacility f;
    MessageRecorder messages;
};

TEST_F(GanttLoadingTest, FailedLoadsKeepNoPathAndASecondLoadIsRefused)
{
    test::TempDir dir;
    EXPECT_FALSE(f.ReadGanttDatabase(CString(dir.file("missing.db").string().c_str())));
    EXPECT_FALSE(f.ReadGanttDatabase(CString()));
    f.ReadGanttDatabase(static_cast<CDaoDatabase*>(nullptr));
    EXPECT_TRUE(messages.texts().empty() && f.GetDatabasePath().IsEmpty() && !f.GetCalendar());
    // Nothing was loaded, so a good file still loads; no second one does.
    db.AddEquipment(1, "R-101", "Reactor");
    db.AddSchedule(1, 1, 1, 0.0, 1.0);
    EXPECT_TRUE(load());
    // No operations at all: both loaders say so, and the tank is not made.
    ResultsDb other{ResultsDb::Tables::ResultsAndCalendars};
    other.AddBasics();
    other.AddEquipment(5, "R-501", "Reactor");
    other.AddEquipment(6, "BT-1", "Buffer Tank");
    GanttFacility empty;
    ASSERT_TRUE(empty.ReadGanttDatabase(CString(other.path().c_str())));
    EXPECT_EQ(empty.GetNumSchedVessels(), 1);
    other.AddSchedule(5, 1, 1, 0.0, 1.0);
    EXPECT_FALSE(f.ReadGanttDatabase(CString(other.path().c_str())));
    CDaoDatabase open;
    open.Open(other.path().c_str(), false, true);
    f.ReadGanttDatabase(&open);
    EXPECT_EQ(messages.texts(), (std::vector<std::string>{kNoOperations, kNoOperations, kRefused, kRefused}));
    EXPECT_TRUE(f.GetDatabasePath() == CString(db.path().c_str()) && f.GetNumSchedVessels() == 1);
    // A row that cannot be read: false without a message, what came before stays.
    other.exec("INSERT INTO EquipmentSchedule (EquipmentID, BatchNumber, StepID, UnitProcedureID, OperationID, "
               "StartTime, EndTime, TimeUOM) VALUES (5, 'second', 1, 1, 1, 1.0, 2.0, 'h');");
    GanttFacility broken;
    EXPECT_FALSE(broken.ReadGanttDatabase(CString(other.path().c_str())));
    EXPECT_TRUE(messages.count() == 4 && broken.GetDatabasePath().IsEmpty() && broken.GetNumSchedVessels() == 1);
}

TEST_F(GanttLoadingTest, ScheduleBlocksInUseGapsAndBadPositions)
{
    db.AddEquipment(1, "R-101", "Reactor");
    db.AddOperation(2, "React");
    db.AddSchedule(1, 70000, 2, 1.5, 4.0, 250.0); // a batch number beyond 16 bits
    db.AddSchedule(1, 3, 1, 5.0, 6.0, 0.0);
    db.AddSchedule(1, 4, 1, 7.0, 8.0, 10.0);
    ASSERT_TRUE(load());
    ASSERT_EQ(f.GetNumTimeBlocks(0), 3);
    EXPECT_EQ(std::pair(f.GetNumTimeBlocks(-1), f.GetNumTimeBlocks(f.GetNumSchedVessels())), std::pair(0, 0));
    CString stepName, stepVersion, op, recText;
    long stepID = 0, opID = 0, start = 0, end = 0;
    short batch = 0;
    bool empty = true;
    ASSERT_EQ(f.GetScheduleInfo(0, 0, stepName, stepVersion, op, stepID, opID, recText, start, end, batch, empty), 1);
    EXPECT_EQ((std::vector{stepName, op, recText}), (std::vector<CString>{"Reaction", "1.2 React", "Recipe of React"}));
    EXPECT_EQ((std::vector<long>{stepID, opID, start, end, batch, empty}),
              (std::vector<long>{1, 2, 5400, 4 * 3600, 70000 - 65536, 0}));
    // Volume 0: empty.
    EXPECT_EQ(std::pair(f.GetScheduleBlock(0, 1)->batch, f.GetScheduleBlock(0, 1)->empty), std::pair(short{3}, true));
    for (const auto& [v, b] : std::vector<std::pair<int, int>>{{0, -1}, {0, 3}, {-1, 0}, {1, 0}}) {
        EXPECT_EQ(f.GetScheduleInfo(v, b, stepName, stepVersion, op, stepID, opID, recText, start, end, batch, empty),
                  0);
        EXPECT_FALSE(f.GetScheduleBlock(v, b)) << v << ", " << b;
    }
    EXPECT_EQ(start, 5400) << "a bad position writes nothing";
    EXPECT_EQ(std::pair(f.GetStepOrder(1), f.GetStepOrder(5)), std::pair(1, 0));
    // The gap after a block holding material is in use; after an empty one it is not.
    const Array<long> blocks = f.GetInUseBlocks(0);
    ASSERT_EQ(blocks.GetSize(), 2);
    EXPECT_EQ(std::make_pair(blocks[0], blocks[1]), std::make_pair(4 * 3600L, 5 * 3600L));
    EXPECT_EQ(std::pair(f.GetInUseBlocks(-1).GetSize(), f.GetInUseBlocks(1).GetSize()), std::pair(0, 0));
}

TEST_F(GanttLoadingTest, CalendarBlocksOfAVesselsCalendar)
{
    // Calendar 1 works Mondays 06:00 to 14:00.
    db.exec("INSERT INTO Calendars (CalendarID, Name) VALUES (1, 'Day shift'); INSERT INTO CalendarWeekShifts "
            "(CalendarID, DayOfWeek, ShiftNo, StartSecond, EndSecond) VALUES (1, 1, 0, 21600, 50400);");
    db.AddEquipment(1, "R-101", "Reactor", 1, 1);
    db.AddSchedule(1, 1, 1, 0.0, 1.0);
    const COleDateTime monday(2024, 1, 1, 0, 0, 0), tuesday(2024, 1, 2, 0, 0, 0);
    List<COleDateTime> out;
    f.GetCalendarBlocks(0, monday, tuesday, out); // no calendar before loading
    ASSERT_TRUE(load());
    out.Add(COleDateTime(2000, 1, 1, 0, 0, 0)); // appended to, never cleared
    f.GetCalendarBlocks(0, monday, tuesday, out);
    f.GetCalendarBlocks(static_cast<Vessel*>(nullptr), monday, tuesday, out);
    f.GetCalendarBlocks(1, monday, tuesday, out); // no such vessel
    f.GetCalendarBlocks(-1, monday, tuesday, out);
    ASSERT_EQ(out.GetCount(), 3);
    EXPECT_EQ(out.GetAt(1).ToIso() + out.GetAt(2).ToIso(), CString("2024-01-01T06:00:002024-01-01T14:00:00"));
}

// Every vessel of the sample but the buffer tanks without operations, the
// tanks last, with one block per operation row.
TEST(GanttSampleTest, TheScheduleHoldsWhatTheDatabaseHolds)
{
    const std::string path = test::SampleDatabasePath().string();
    test::Sql sql(path, true);
    MessageRecorder messages;
    GanttFacility f;
    RecordingDocument document;
    f.SetDocument(&document);
    ASSERT_TRUE(f.ReadGanttDatabase(CString(path.c_str())));
    // Each new floor marks the facility modified and tells the document (the loaded flag stays unset).
    EXPECT_TRUE(messages.texts().empty() && f.IsModified() == 1);
    EXPECT_EQ(document.flags, std::vector<bool>(static_cast<std::size_t>(f.GetNumFloors()), true));
    EXPECT_EQ(f.GetNumFloors(), sql.count("SELECT COUNT(DISTINCT PlantID) FROM EquipmentSummary"));
    const std::string ops = " FROM EquipmentSchedule AS es JOIN TextRecipe AS tr ON tr.OperationID = es.OperationID "
                            "AND tr.StepID = es.StepID JOIN StepSummary AS ss ON ss.StepID = es.StepID ";
    std::map<long, long> blocksOf; // per equipment
    sql.each("SELECT e.EquipmentID, e.Category = 'Buffer Tank', (SELECT COUNT(*)" + ops +
                 "WHERE es.EquipmentID = e.EquipmentID) FROM EquipmentSummary AS e",
             [&](const sqlite::Statement& s) {
                 if (!s.integer(1) || s.integer(2)) blocksOf[s.integer(0)] = s.integer(2);
             });
    ASSERT_EQ(f.GetNumSchedVessels(), static_cast<int>(blocksOf.size()));
    bool tanks = false;
    for (int v = 0; v < f.GetNumSchedVessels(); ++v) {
        const Vessel* vessel = f.GetVesselByIndex(v);
        SCOPED_TRACE(vessel->GetName().str());
        const bool tank = vessel->GetClass() == CString("Buffer Tank");
        EXPECT_TRUE(tank || !tanks);
        tanks = tanks || tank;
        ASSERT_EQ(f.GetNumTimeBlocks(v), blocksOf[vessel->GetID()]);
        for (int b = 0; b < f.GetNumTimeBlocks(v); ++b) {
            const ScheduleBlock block = f.GetScheduleBlock(v, b).value();
            EXPECT_TRUE(0 <= block.start && block.start <= block.end) << b;
            EXPECT_EQ(block.stepName, f.GetStepName(static_cast<int>(block.stepID)));
        }
    }
    EXPECT_TRUE(tanks);
}

using Points = std::vector<std::pair<long, double>>;

CompVals Rate(double mass, short batch = 0) { return {.batch = batch, .mass = mass}; }

double mass(const CompVals& v) { return v.mass; }
double mass(double v) { return v; }

template <class V> Points Masses(const Hash<long, V>& h)
{
    Points out;
    for (int i = 0; i < h.GetCount(); ++i)
        out.emplace_back(h.GetKeyAt(i), mass(h.GetAt(i)));
    return out;
}

// The builder must give the entries the one-at-a-time operations give, and
// StoreAndClear write bit for bit what Store writes.
TEST(CompositeProfileOps, BuilderMatchesOneAtATimeOperations)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<long> time(-20, 60);
    std::uniform_real_distribution<double> amount(-5.0, 5.0);
    for (int round = 0; round < 300; ++round) {
        const bool intervalsOnly = round % 3 == 0; // StoreAndClear's own path
        Hash<long, CompVals> reference;
        for (int i = 0; i < (intervalsOnly ? 0 : round % 5); ++i)
            reference[time(random)] = Rate(amount(random), 1);
        Hash<long, CompVals> viaStore = reference, viaStoreAndClear = reference;
        ProfileBuilder<CompVals> a, b;
        a.Load(viaStore);
        b.Load(viaStoreAndClear);
        for (int op = 0; op < 1 + round % 40; ++op) {
            const long t0 = time(random), t1 = time(random);
            CompVals v = Rate(amount(random), static_cast<short>(op));
            v.volume = amount(random);
            const unsigned kind = intervalsOnly ? 0 : random() % 10;
            for (ProfileBuilder<CompVals>* x : {&a, &b})
                kind < 7 ? x->AddInterval(t0, t1, v) : kind < 9 ? x->AddLevel(t0, t1, v) : x->SetPoint(t0, t1, v);
            kind < 7   ? reference::AddInterval(reference, t0, t1, v)
            : kind < 9 ? reference::AddLevel(reference, t0, t1, v)
                       : reference::SetPoint(reference, t0, t1, v);
        }
        a.Store(viaStore);
        b.StoreAndClear(viaStoreAndClear);
        SCOPED_TRACE(testing::Message() << "round " << round);
        ASSERT_TRUE(b.IsEmpty() && viaStore.GetCount() == reference.GetCount() &&
                    viaStoreAndClear.GetCount() == reference.GetCount());
        for (int i = 0; i < reference.GetCount(); ++i) {
            const CompVals &got = viaStore.GetAt(i), &want = reference.GetAt(i);
            ASSERT_TRUE(viaStore.GetKeyAt(i) == reference.GetKeyAt(i) && viaStoreAndClear.GetAt(i) == got &&
                        got.batch == want.batch && std::fabs(got.mass - want.mass) < 1e-9 &&
                        std::fabs(got.volume - want.volume) < 1e-9)
                << "t " << reference.GetKeyAt(i);
        }
    }
}

TEST(CompositeProfileOps, BuilderLeavesUncoveredEntriesExactlyZeroAndStoreAndClearOnlyTheSweptTimes)
{
    ProfileBuilder<double> builder;
    for (const auto& [t0, t1, v] :
         std::vector<std::tuple<long, long, double>>{{0, 10, 0.1}, {0, 10, 0.2}, {3, 10, -0.3}, {20, 30, 0.7}})
        builder.AddInterval(t0, t1, v);
    EXPECT_EQ(builder.Entries().at(2), (std::pair<long, double>{10, 0.0})); // no rounding rest
    // Into a profile it was not loaded from: the swept times are replaced, the others stay.
    Hash<long, CompVals> h;
    h[5] = Rate(9.0, 9);
    h[100] = Rate(4.0, 4);
    ProfileBuilder<CompVals> intervals;
    intervals.AddInterval(0, 10, Rate(1.0, 1));
    intervals.AddInterval(5, 20, Rate(2.0, 2));
    intervals.StoreAndClear(h);
    EXPECT_EQ(Masses(h), (Points{{0, 1.0}, {5, 3.0}, {10, 2.0}, {20, 0.0}, {100, 4.0}}));
    EXPECT_EQ(h.GetAt(1).batch, 3);
}

TEST(CompositeComponentTest, UnitsPerTimeAndSlotOrder)
{
    MessageRecorder messages;
    CompositeComponent c(4, "Water");
    for (const auto& [unit, slot] : std::vector<std::pair<const char*, int>>{
             {"h", c.TimeSlot}, {"min", c.TimeSlot}, {"kg", c.MassSlot}, {"kmole", c.MolesSlot}, {"C", c.DutySlot}})
        c.SetUnit(unit, slot); // the first unit of a slot stays
    EXPECT_DOUBLE_EQ(c.GetOffset(CompositeComponent::DutySlot), 273.15);
    // Moles are tested before volume; what a setting does not reach stays.
    for (const auto& [setting, unit, factor, offset] :
         std::vector<std::tuple<int, const char*, double, double>>{{Mass | PerTime, "kg/h", 1.0 / 3600.0, 0.0},
                                                                   {Volume | Moles, "kmole", 1.0, 0.0},
                                                                   {Operators, "operators", 1.0, 42.0},
                                                                   {PerTime, "untouched", -5.0, 42.0}}) {
        CString timeUnit, valueUnit = "untouched";
        double timeFactor = 0, valueFactor = -5.0, valueOffset = 42;
        c.GetUnits(static_cast<CompositeSetting>(setting), timeUnit, timeFactor, valueUnit, valueFactor, valueOffset);
        EXPECT_EQ(std::pair(valueUnit, timeUnit), std::pair(CString(unit), CString("h")));
        EXPECT_NEAR(valueFactor, factor, 1e-15);
        EXPECT_EQ(valueOffset, offset);
    }
    EXPECT_TRUE(messages.texts().empty());
    c.SetUnit("furlongs", CompositeComponent::VolumeSlot); // unknown: shown, and counts as factor 1
    EXPECT_EQ(messages.texts().size(), 2u);
    EXPECT_EQ(std::pair(c.GetFactor(CompositeComponent::VolumeSlot), c.GetOffset(CompositeComponent::VolumeSlot)),
              std::pair(1.0, 0.0));
}

TEST(CompositeComponentTest, NoRateListWithoutAQuantityOrOfOneEntry)
{
    CompositeComponent a, single;
    a.AddInterval(0, 10, Rate(1.0));
    Hash<long, double> none;
    a.GetList(none, PerTime);         // no quantity chosen
    single.AddLevel(3, 3, Rate(1.0)); // one entry, a rate kind: nothing to draw
    single.GetList(none, Mass);
    EXPECT_EQ(none.GetCount(), 0);
}

// A facility whose profiles come from a database path set by the test,
// without loading the schedule itself.
struct ProfileFacility : GanttFacility {
    explicit ProfileFacility(const std::string& path) { setDatabasePath(path.c_str()); }
    CompositeStream* Stream(CompType type) { return getCompStream(type); }
    // The groups of a type, or the components of one group, as "id name".
    std::vector<std::string> Groups(CompType type, const long* group = nullptr)
    {
        Array<long> ids;
        Array<CString> texts;
        group ? GetCompositeComponents(static_cast<int>(*group), ids, texts, type)
              : GetCompositeVessels(ids, texts, type);
        std::vector<std::string> out;
        for (int i = 0; i < ids.GetSize(); ++i)
            out.push_back(std::to_string(ids[i]) + " " + texts[i].str());
        return out;
    }
    std::vector<std::string> Components(CompType type, long group) { return Groups(type, &group); }
    Points List(CompType type, long group, long component, CompositeSetting setting)
    {
        Hash<long, double> list;
        GetCompositeList(list, group, component, type, setting);
        return Masses(list);
    }
};

class CompositeLoadingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        db.AddBasics();
        db.AddEquipment(2, "R-101", "Reactor");
    }
    void Phase(long phaseID, const std::string& owner, long ownerID, long material,
               const std::string& phase = "Liquid1", const std::string& massFraction = "1")
    {
        const std::string id = std::to_string(phaseID), m = std::to_string(material);
        db.exec("INSERT OR IGNORE INTO PureComponents (MaterialID, MaterialName) VALUES (" + m + ", 'Material " + m +
                "'); INSERT INTO ThermodynamicPhase (PhaseID, Phase, " + owner +
                ", MassPhaseFraction, MolarPhaseFraction, VolumePhaseFraction) VALUES (" + id + ", '" + phase + "', " +
                std::to_string(ownerID) + ", " + massFraction + ", 1, 1); INSERT INTO PhaseComponents (PhaseID, " +
                "ComponentID, MassFraction, MoleFraction, VolumeFraction) VALUES (" + id + ", " + m + ", 1, 1, 1);");
    }

    ResultsDb db{ResultsDb::Tables::ResultsAndCalendars};
    MessageRecorder messages;
};

TEST_F(CompositeLoadingTest, ContentsLevelsSkipGasAndDropMissingMaterialsToZero)
{
    // Two operations: the first holds materials 7 (liquid) and 9 (gas only), the second only material 8.
    db.AddOperation(2, "Charge");
    db.AddSchedule(2, 1, 1, 0.0, 1.0);
    db.AddSchedule(2, 1, 2, 1.0, 2.0);
    db.exec(
        "INSERT INTO EquipmentContents (ContentsID, EquipmentID, BatchNumber, StepID, UnitProcedureID, "
        "OperationID, Time, TimeUOM, Volume, VolumeUOM, Mass, MassUOM) VALUES "
        "(1, 2, 1, 1, 1, 1, 1.0, 'h', 100, 'liter', 50, 'kg'), (2, 2, 1, 1, 1, 2, 2.0, 'h', 2000, 'liter', 80, 'kg');");
    Phase(1, "ContentsID", 1, 7);
    Phase(2, "ContentsID", 1, 9, "Gas");
    Phase(3, "ContentsID", 2, 8);
    ProfileFacility f(db.path());
    EXPECT_EQ(f.Components(Contents, 2), (std::vector<std::string>{"7 Material 7", "8 Material 8"}));
    EXPECT_EQ(f.List(Contents, 2, 7, Mass), (Points{{0, 0.0}, {3600, 50.0}, {7200, 0.0}}));
    EXPECT_EQ(f.List(Contents, 2, 8, Mass), (Points{{3600, 0.0}, {7200, 80.0}}));
    Hash<long, double> both; // the levels of several materials add up
    for (const long material : {7, 8})
        f.GetCompositeList(both, 2, material, Contents, Mass);
    EXPECT_EQ(Masses(both), (Points{{0, 0.0}, {3600, 50.0}, {7200, 80.0}}));
    // 100 liter fits the 1000 liter reactor; 2000 liter overflows it and shows its capacity.
    EXPECT_NEAR(f.List(Contents, 2, 8, Volume)[1].second, 1.0, 1e-12);
    EXPECT_NEAR(f.List(Contents, 2, 7, Volume)[1].second, 0.1, 1e-12);
}

TEST_F(CompositeLoadingTest, BufferTankLevelsPerPhaseComponentWithBatch)
{
    db.AddEquipment(5, "BT-1", "Buffer Tank");
    db.AddSchedule(5, 4, 1, 0.0, 2.0, 10.0); // batch 4 in the tank from 0 h to 2 h
    db.exec("UPDATE EquipmentContents SET ContentsID = 40 WHERE EquipmentID = 5;");
    Phase(40, "ContentsID", 40, 7);
    db.exec(
        "INSERT INTO CompositeContents (CompositeContentsID, EquipmentID, Time, TimeUOM, Mass, MassUOM, Volume, "
        "VolumeUOM) VALUES (1, 5, 1.0, 'h', 200, 'kg', 0.2, 'Cubic m'), (2, 5, 3.0, 'h', 100, 'kg', 0.1, 'Cubic m');");
    Phase(60, "CompositeContentsID", 1, 7, "Liquid1", "0.5");
    Phase(61, "CompositeContentsID", 1, 7, "Gas", "0.5");
    Phase(62, "CompositeContentsID", 2, 7);
    ProfileFacility f(db.path());
    EXPECT_EQ(f.Groups(BufferTanks), (std::vector<std::string>{"5 BT-1"}));
    EXPECT_EQ(f.Components(BufferTanks, 5), (std::vector<std::string>{"7 Material 7"}));
    // Gas phase left out: 200 kg x 0.5 at 1 h, then 100 kg at 3 h.
    EXPECT_EQ(f.List(BufferTanks, 5, 7, Mass), (Points{{3600, 100.0}, {10800, 100.0}}));
    // Only the row at 1 h lies in the tank's operation of batch 4.
    const CompositeComponent* material = f.Stream(BufferTanks)->FindVessel(5)->FindComponent(7);
    ASSERT_NE(material, nullptr);
    EXPECT_EQ(std::pair(material->GetValues().Lookup(3600)->batch, material->GetValues().Lookup(10800)->batch),
              std::pair(short{4}, short{0}));
    // Without contents rows of its own (others have some) the tank keeps its levels, unnamed, no batch.
    db.exec("DELETE FROM EquipmentSchedule; DELETE FROM EquipmentContents;");
    db.AddSchedule(2, 1, 1, 0.0, 1.0);
    ProfileFacility bare(db.path());
    ASSERT_EQ(bare.Components(BufferTanks, 5), (std::vector<std::string>{"7 "}));
    EXPECT_EQ(bare.Stream(BufferTanks)->FindVessel(5)->FindComponent(7)->GetValues().Lookup(3600)->batch, 0);
}

TEST_F(CompositeLoadingTest, LazyLoadingOncePerTypeBehindTheWaitCursor)
{
    db.AddEquipment(1, "INV-1", "Inventory Location");
    db.AddStream(1, 1, 2, 2, 0.0, 10.0);
    Phase(1, "StreamID", 1, 7);
    int shown = 0;
    const WaitCursorHooks previous = SetWaitCursorHooks({[&] { ++shown; }, [&] { ++shown; }});
    ProfileFacility f(db.path());
    f.Components(Inputs, 1);
    f.Groups(Outputs); // read with Inputs and Inventory, from the same rows
    EXPECT_EQ(f.Groups(Inventory), (std::vector<std::string>{"1 INV-1"}));
    EXPECT_EQ(shown, 2);
    // A type without rows is tried again on each request; types outside 0 to 8 do nothing.
    for (int type : {static_cast<int>(Labor), static_cast<int>(Labor), 9, -1})
        EXPECT_TRUE(f.Groups(static_cast<CompType>(type)).empty()) << type;
    EXPECT_EQ(shown, 6);
    SetWaitCursorHooks(previous);
    // No database at all, or a missing file: nothing, silently.
    GanttFacility none;
    ProfileFacility missing("/nonexistent/dir/results.db");
    Hash<long, double> list;
    for (int type = 0; type < kNumCompTypes; ++type) {
        none.GetCompositeList(list, 1, 1, static_cast<CompType>(type), Mass);
        EXPECT_TRUE(missing.Groups(static_cast<CompType>(type)).empty());
    }
    EXPECT_EQ(list.GetCount() + messages.count(), 0u);
}

// Each rate profile of the sample, per group and over all components: its integral against the amount SQL
// finds in its rows (times truncated to whole seconds as the profiles' are).
TEST(CompositeSampleTest, RateProfilesIntegrateToTheAmountsOfTheirRows)
{
    const std::string path = test::SampleDatabasePath().string();
    const test::Sql sql(path, true);
    // The sample holds what the rules below tell apart.
    ASSERT_GT(sql.count("SELECT (SELECT COUNT(*) FROM UtilitySummary WHERE HeatDuty < 0) * (SELECT COUNT(*) FROM "
                        "AirEmissionSummary WHERE AirEmissionControl = 'After Condenser') * (SELECT COUNT(*) FROM "
                        "StreamSummary WHERE StreamCategoryID = -5)"),
              0);

    // Stream rows with their ends' kinds; an end without equipment or at an inventory is outside the process.
    const std::string streams =
        " FROM (SELECT ss.Mass * tp.MassPhaseFraction * pc.MassFraction AS m, IFNULL(ef.QLTag, '') AS fromTag, "
        "IFNULL(et.QLTag, '') AS toTag, (ef.Category IS NULL OR instr(ef.Category, 'Inventory') > 0) AS fromOut, "
        "(et.Category IS NULL OR instr(et.Category, 'Inventory') > 0) AS toOut FROM StreamSummary ss "
        "LEFT JOIN EquipmentSummary ef ON ef.EquipmentID = ss.FromEquipmentID "
        "LEFT JOIN EquipmentSummary et ON et.EquipmentID = ss.ToEquipmentID "
        "JOIN ThermodynamicPhase tp ON tp.StreamID = ss.StreamID JOIN PhaseComponents pc ON pc.PhaseID = tp.PhaseID "
        "JOIN PureComponents puc ON puc.MaterialID = pc.ComponentID WHERE ss.StreamCategoryID <> -5 "
        "AND CAST(ss.StartTime * 60 AS INTEGER) < CAST(ss.EndTime * 60 AS INTEGER)) ";
    const struct {
        CompType type;
        CompositeSetting setting;
        std::string sql; // group name, amount in internal units
    } cases[] = {
        {Inputs, Mass, "SELECT fromTag, SUM(m)" + streams + "WHERE fromOut GROUP BY fromTag"},
        {Outputs, Mass, "SELECT toTag, SUM(m)" + streams + "WHERE toOut GROUP BY toTag"},
        // Leaving a location for the process counts positive, going into one or out of the plant negative.
        {Inventory, Mass,
         "SELECT CASE WHEN fromOut THEN fromTag ELSE toTag END AS g, SUM(CASE WHEN toOut THEN -m ELSE m END)" +
             streams + "WHERE fromOut OR toOut GROUP BY g"},
        // Heating and cooling both load the utility; a use of several components counts once.
        {Utilities, Duty,
         "SELECT UtilityName, SUM(ABS(HeatDuty)) * 1000 FROM UtilitySummary us WHERE StartTime < EndTime AND EXISTS "
         "(SELECT 1 FROM ThermodynamicPhase tp JOIN PhaseComponents pc ON pc.PhaseID = tp.PhaseID WHERE tp.UtilityID "
         "= us.UtilityID) GROUP BY UtilityName"},
        // Whole operators only.
        {Labor, Operators,
         "SELECT 'Categories', SUM(CAST(NumberOfOperators AS INTEGER) * (CAST(EndTime * 3600 AS INTEGER) - "
         "CAST(StartTime * 3600 AS INTEGER))) FROM LaborSummary WHERE CAST(StartTime * 3600 AS INTEGER) < "
         "CAST(EndTime * 3600 AS INTEGER)"},
        // Emissions after the condenser are not counted.
        {VaporEmissions, Mass,
         "SELECT IFNULL(ef.QLTag, ''), SUM(a.Mass * tp.MassPhaseFraction * pc.MassFraction) FROM AirEmissionSummary a "
         "LEFT JOIN EquipmentSummary ef ON ef.EquipmentID = a.FromEquipmentID JOIN ThermodynamicPhase tp ON "
         "tp.AirEmissionID = a.AirEmissionID JOIN PhaseComponents pc ON pc.PhaseID = tp.PhaseID WHERE "
         "a.AirEmissionControl <> 'After Condenser' AND CAST(a.StartTime * 60 AS INTEGER) < CAST(a.EndTime * 60 AS "
         "INTEGER) GROUP BY a.FromEquipmentID"},
    };
    MessageRecorder messages;
    ProfileFacility f(path);
    for (const auto& c : cases) {
        SCOPED_TRACE(CompTypeName(c.type));
        std::map<std::string, double> expected, integrals;
        sql.each(c.sql, [&](const sqlite::Statement& s) { expected[s.text(0)] += s.real(1); });
        Array<long> groups;
        Array<CString> names;
        f.GetCompositeVessels(groups, names, c.type);
        for (int g = 0; g < groups.GetSize(); ++g) {
            Array<long> components; // appended to, never cleared
            Array<CString> componentNames;
            f.GetCompositeComponents(static_cast<int>(groups[g]), components, componentNames, c.type);
            ASSERT_GT(components.GetSize(), 0) << names[g].str();
            Hash<long, double> list;
            for (int k = 0; k < components.GetSize(); ++k)
                f.GetCompositeList(list, groups[g], components[k], c.type, c.setting);
            double& integral = integrals[names[g].str()];
            for (int i = 0; i + 1 < list.GetCount(); ++i)
                integral += list.GetAt(i) * static_cast<double>(list.GetKeyAt(i + 1) - list.GetKeyAt(i));
            EXPECT_EQ(list.GetAt(list.GetCount() - 1), 0.0) << names[g].str();
        }
        ASSERT_EQ(integrals.size(), expected.size());
        for (const auto& [group, amount] : expected) {
            ASSERT_TRUE(integrals.count(group)) << group;
            EXPECT_NEAR(integrals[group], amount, 1e-9 * std::fabs(amount) + 1e-6) << group;
        }
    }
    // Utility uses without equipment are charged to one component of their own.
    EXPECT_EQ(f.Components(Utilities, UtilityGroupID("CIP Hot Water")),
              (std::vector<std::string>{"-1 Unspecified Equipment"}));
    const CompositeVessel* input = f.Stream(Inputs)->GetVessels().GetAt(0);
    CString timeUnit, valueUnit;
    double timeFactor = 0, valueFactor = 0, valueOffset = 0;
    f.GetCompositeUnits(Inputs, input->GetID(), input->GetComponents().GetKeyAt(0), Mass | PerTime, timeUnit,
                        timeFactor, valueUnit, valueFactor, valueOffset);
    EXPECT_EQ(valueUnit, CString("kg/min"));
    EXPECT_NEAR(60.0 * valueFactor, 1.0, 1e-12);
    for (int type = 0; type < kNumCompTypes; ++type)
        EXPECT_FALSE(f.Groups(static_cast<CompType>(type)).empty()) << CompTypeName(type);
    EXPECT_TRUE(messages.texts().empty());
}

} // namespace
} // namespace batchplant
