// Composite profiles: the three profile operations and their fast builder,
// units and lists of a component, the grouping and value rules per type on
// small databases, lazy loading, and the profiles of the generated sample
// checked against the database with SQL of the test's own.

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ResultsDb.h"
#include "SampleDatabase.h"
#include "TestSupport.h"
#include "batchplant/gantt/Composite.h"
#include "batchplant/gantt/GanttFacility.h"
#include "ProfileReference.h"
#include "batchplant/platform/HostInterfaces.h"

namespace batchplant {
namespace {

using reference::AddInterval;
using reference::AddLevel;
using reference::SetPoint;

using test::kNull;
using test::MessageRecorder;
using test::ResultsDb;
using test::Sql;

CompVals Rate(double mass, short batch = 0)
{
    CompVals v;
    v.mass = mass;
    v.batch = batch;
    return v;
}

using Points = std::vector<std::pair<long, double>>;

double mass(const CompVals& v) { return v.mass; }
double mass(double v) { return v; }

template <class V> Points Masses(const Hash<long, V>& h)
{
    Points out;
    for (int i = 0; i < h.GetCount(); ++i)
        out.emplace_back(h.GetKeyAt(i), mass(h.GetAt(i)));
    return out;
}

// ---------------------------------------------------------------------------
// Profile operations

TEST(CompositeProfileOps, TheOneAtATimeOperations)
{
    Hash<long, CompVals> h;
    AddInterval(h, 0, 10, Rate(1.0, 1));
    AddInterval(h, 5, 15, Rate(2.0, 2)); // overlapping: entries at all four ends
    AddInterval(h, 7, 7, Rate(5.0));     // empty or reversed: nothing
    AddInterval(h, 9, 3, Rate(5.0));
    AddInterval(h, 11, 12, Rate(4.0)); // inside one step: splits it
    EXPECT_EQ(Masses(h), (Points{{0, 1.0}, {5, 3.0}, {10, 2.0}, {11, 6.0}, {12, 2.0}, {15, 0.0}}));
    EXPECT_EQ(h.GetAt(1).batch, 3); // batch numbers add like the amounts

    Hash<long, CompVals> l;
    AddLevel(l, 10, 20, Rate(5.0)); // zero at 10, 5 at 20
    AddLevel(l, 10, 20, Rate(1.0)); // same end: added
    AddLevel(l, 30, 40, Rate(2.0)); // 30 copies the level before it
    AddLevel(l, 50, 50, Rate(7.0)); // no entry at 50: it becomes 7
    AddLevel(l, 60, 40, Rate(9.0)); // entry at 40 exists: nothing
    EXPECT_EQ(Masses(l), (Points{{10, 0.0}, {20, 6.0}, {30, 6.0}, {40, 2.0}, {50, 7.0}}));

    Hash<long, CompVals> p;
    SetPoint(p, 5, 10, Rate(1.0));  // nothing before 5: no entry made there
    SetPoint(p, 15, 20, Rate(2.0)); // 15 copies 10
    SetPoint(p, 15, 20, Rate(3.0)); // replaces
    SetPoint(p, 30, 25, Rate(4.0)); // reversed: nothing
    SetPoint(p, 99, 0, Rate(8.0));  // t1 == 0 always sets the entry at 0
    EXPECT_EQ(Masses(p), (Points{{0, 8.0}, {10, 1.0}, {15, 1.0}, {20, 3.0}}));
}

// The builder lays a whole run of operations onto a profile at once: it must
// give the entries the one-at-a-time operations give, and StoreAndClear must
// write bit for bit what Store writes.
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
            for (ProfileBuilder<CompVals>* x : {&a, &b}) {
                if (kind < 7)
                    x->AddInterval(t0, t1, v);
                else if (kind < 9)
                    x->AddLevel(t0, t1, v);
                else
                    x->SetPoint(t0, t1, v);
            }
            if (kind < 7)
                AddInterval(reference, t0, t1, v);
            else if (kind < 9)
                AddLevel(reference, t0, t1, v);
            else
                SetPoint(reference, t0, t1, v);
        }
        a.Store(viaStore);
        b.StoreAndClear(viaStoreAndClear);
        EXPECT_TRUE(b.IsEmpty()) << "round " << round;
        ASSERT_EQ(viaStore.GetCount(), reference.GetCount()) << "round " << round;
        ASSERT_EQ(viaStoreAndClear.GetCount(), reference.GetCount()) << "round " << round;
        for (int i = 0; i < reference.GetCount(); ++i) {
            SCOPED_TRACE(testing::Message() << "round " << round << " t " << reference.GetKeyAt(i));
            ASSERT_EQ(viaStore.GetKeyAt(i), reference.GetKeyAt(i));
            ASSERT_EQ(viaStoreAndClear.GetAt(i), viaStore.GetAt(i));
            ASSERT_EQ(viaStore.GetAt(i).batch, reference.GetAt(i).batch);
            ASSERT_NEAR(viaStore.GetAt(i).mass, reference.GetAt(i).mass, 1e-9);
            ASSERT_NEAR(viaStore.GetAt(i).volume, reference.GetAt(i).volume, 1e-9);
        }
    }
}

TEST(CompositeProfileOps, BuilderLeavesUncoveredEntriesExactlyZeroAndStoreAndClearOnlyTheSweptTimes)
{
    ProfileBuilder<double> builder;
    builder.AddInterval(0, 10, 0.1);
    builder.AddInterval(0, 10, 0.2);
    builder.AddInterval(3, 10, -0.3);
    builder.AddInterval(20, 30, 0.7);
    const auto entries = builder.Entries();
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[2], (std::pair<long, double>{10, 0.0})); // no rounding rest
    // Into a profile the builder was not loaded from: the swept times are
    // replaced, the others stay.
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

// ---------------------------------------------------------------------------
// Units and lists of one component

TEST(CompositeComponentTest, UnitsPerTimeAndSlotOrder)
{
    CompositeComponent c(4, "Water");
    c.SetUnit("h", CompositeComponent::TimeSlot);
    c.SetUnit("min", CompositeComponent::TimeSlot); // the first unit of a slot stays
    c.SetUnit("kg", CompositeComponent::MassSlot);
    c.SetUnit("liter", CompositeComponent::VolumeSlot);
    c.SetUnit("kmole", CompositeComponent::MolesSlot);
    c.SetUnit("C", CompositeComponent::DutySlot);
    EXPECT_EQ(c.GetUnitName(CompositeComponent::TimeSlot), CString("h"));
    EXPECT_DOUBLE_EQ(c.GetFactor(CompositeComponent::TimeSlot), 3600.0);
    EXPECT_DOUBLE_EQ(c.GetOffset(CompositeComponent::DutySlot), 273.15);

    CString timeUnit, valueUnit = "untouched";
    double timeFactor = 0, valueFactor = 0, valueOffset = 42;
    const struct {
        int setting;
        const char* unit;
        double factor, offset;
    } cases[] = {{Mass | PerTime, "kg/h", 1.0 / 3600.0, 0.0},
                 {Volume | Moles, "kmole", 1.0, 0.0}, // moles are tested before volume
                 {Operators, "operators", 1.0, 42.0},
                 {PerTime, "untouched", -5.0, 42.0}};
    for (const auto& k : cases) {
        valueUnit = "untouched";
        valueFactor = -5.0;
        valueOffset = 42;
        c.GetUnits(static_cast<CompositeSetting>(k.setting), timeUnit, timeFactor, valueUnit, valueFactor, valueOffset);
        EXPECT_EQ(valueUnit, CString(k.unit));
        EXPECT_DOUBLE_EQ(valueFactor, k.factor) << k.unit;
        EXPECT_DOUBLE_EQ(valueOffset, k.offset) << k.unit;
    }
}

TEST(CompositeComponentTest, UnknownUnitIsShownAndCountsAsFactorOne)
{
    MessageRecorder messages;
    CompositeComponent c;
    c.SetUnit("furlongs", CompositeComponent::MassSlot);
    EXPECT_EQ(messages.texts().size(), 2u);
    EXPECT_EQ(c.GetFactor(CompositeComponent::MassSlot) + c.GetOffset(CompositeComponent::MassSlot), 1.0);
}

TEST(CompositeComponentTest, RateListsOfTwoComponentsSum)
{
    CompositeComponent a, b;
    a.AddInterval(0, 10, Rate(1.0));
    b.AddInterval(5, 20, Rate(2.0));
    Hash<long, double> list;
    a.GetList(list, Mass);
    b.GetList(list, Mass);
    EXPECT_EQ(Masses(list), (Points{{0, 1.0}, {5, 3.0}, {10, 2.0}, {20, 0.0}}));
    Hash<long, double> none;
    a.GetList(none, PerTime); // no quantity chosen
    CompositeComponent single;
    single.AddLevel(3, 3, Rate(1.0)); // one entry, a rate kind: nothing to draw
    single.GetList(none, Mass);
    EXPECT_EQ(none.GetCount(), 0);
}

// ---------------------------------------------------------------------------
// Loading from small databases

// A facility whose profiles come from a database path set by the test,
// without loading the schedule itself.
struct ProfileFacility : GanttFacility {
    explicit ProfileFacility(const std::string& path) { setDatabasePath(path.c_str()); }
    CompositeStream* Stream(CompType type) { return getCompStream(type); }
};

class CompositeLoadingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        db.AddBasics();
        db.AddEquipment(1, "INV-1", "Inventory Location");
        db.AddEquipment(2, "R-101", "Reactor");
        db.AddEquipment(3, "INV-2", "Inventory Location");
    }
    void Phase(long phaseID, const std::string& owner, long ownerID, long material,
               const std::string& phase = "Liquid1")
    {
        db.exec("INSERT OR IGNORE INTO PureComponents (MaterialID, MaterialName) VALUES (" + std::to_string(material) +
                ", 'Material " + std::to_string(material) + "');");
        db.exec("INSERT INTO ThermodynamicPhase (PhaseID, Phase, " + owner +
                ", MassPhaseFraction, MolarPhaseFraction, VolumePhaseFraction) VALUES (" + std::to_string(phaseID) +
                ", '" + phase + "', " + std::to_string(ownerID) + ", 1, 1, 1);");
        db.exec("INSERT INTO PhaseComponents (PhaseID, ComponentID, MassFraction, MoleFraction, VolumeFraction) "
                "VALUES (" +
                std::to_string(phaseID) + ", " + std::to_string(material) + ", 1, 1, 1);");
    }
    Points List(ProfileFacility& f, CompType type, long group, long component, CompositeSetting setting)
    {
        Hash<long, double> list;
        f.GetCompositeList(list, group, component, type, setting);
        return Masses(list);
    }
    // The group identifiers of a type, or the components of one group.
    std::vector<long> Groups(ProfileFacility& f, CompType type, std::vector<std::string>* names = nullptr,
                             const long* group = nullptr)
    {
        Array<long> ids;
        Array<CString> texts;
        if (group)
            f.GetCompositeComponents(static_cast<int>(*group), ids, texts, type);
        else
            f.GetCompositeVessels(ids, texts, type);
        std::vector<long> out;
        for (int i = 0; i < ids.GetSize(); ++i) {
            out.push_back(ids[i]);
            if (names) names->push_back(texts[i].str());
        }
        return out;
    }
    std::vector<long> Components(ProfileFacility& f, CompType type, long group,
                                 std::vector<std::string>* names = nullptr)
    {
        return Groups(f, type, names, &group);
    }

    ResultsDb db{ResultsDb::Tables::ResultsAndCalendars};
    MessageRecorder messages;
};

TEST_F(CompositeLoadingTest, StreamsGroupByInventoryLocationWithSignsAndOutsideGroup)
{
    db.AddStream(1, 1, 2, 2, 0.0, 10.0);     // INV-1 -> reactor, 100 kg over 10 min
    db.AddStream(2, 1, 2, 2, 5.0, 15.0);     // overlapping, same material
    db.AddStream(3, 2, 3, 3, 20.0, 30.0);    // reactor -> INV-2
    db.AddStream(4, kNull, 2, 2, 0.0, 10.0); // from outside the plant
    db.AddStream(5, 1, 2, -5, 0.0, 10.0);    // cleaning: ignored even with phases
    db.AddStream(6, 2, 2, 1, 0.0, 10.0);     // between process vessels: not delivered
    for (long s = 1; s <= 6; ++s)
        Phase(s, "StreamID", s, s == 3 ? 8 : 7);
    ProfileFacility f(db.path());

    std::vector<std::string> names;
    EXPECT_EQ(Groups(f, Inputs, &names), (std::vector<long>{-1, 1}));
    EXPECT_EQ(names, (std::vector<std::string>{"", "INV-1"}));
    EXPECT_EQ(Components(f, Inputs, 1), (std::vector<long>{7}));
    const double r = 100.0 / 600.0; // kg/s
    EXPECT_EQ(List(f, Inputs, 1, 7, Mass), (Points{{0, r}, {300, 2 * r}, {600, r}, {900, 0.0}}));

    EXPECT_EQ(Groups(f, Outputs), (std::vector<long>{3}));
    EXPECT_EQ(Groups(f, Inventory), (std::vector<long>{-1, 1, 3}));
    const Points into = List(f, Inventory, 3, 8, Mass);
    ASSERT_EQ(into.size(), 2u);
    EXPECT_DOUBLE_EQ(into[0].second, -r); // into a location: negative
    const Points out = List(f, Inventory, 1, 7, Mass);
    EXPECT_GT(out[0].second, 0.0); // out of a location to the process: positive

    CString timeUnit, valueUnit;
    double timeFactor = 0, valueFactor = 0, valueOffset = 0;
    f.GetCompositeUnits(Inputs, 1, 7, Mass | PerTime, timeUnit, timeFactor, valueUnit, valueFactor, valueOffset);
    EXPECT_EQ(valueUnit, CString("kg/min"));
    EXPECT_DOUBLE_EQ(valueFactor, 1.0 / 60.0);
}

TEST_F(CompositeLoadingTest, UtilitiesGroupByNameAndChargeUnspecifiedEquipment)
{
    db.AddUtility(1, 2, 0.0, 10.0);     // Steam for R-101, 500 KJ
    db.AddUtility(2, kNull, 0.0, 10.0); // Steam for no equipment
    db.exec("UPDATE UtilitySummary SET HeatDuty = -500 WHERE UtilityID = 2;");
    Phase(1, "UtilityID", 1, 50);
    Phase(2, "UtilityID", 2, 50);
    // Materials of two and three components: each use still counts once.
    db.exec("INSERT INTO PhaseComponents (PhaseID, ComponentID, MassFraction, MoleFraction, VolumeFraction) "
            "VALUES (1, 51, 0.5, 0.5, 0.5), (2, 51, 0.3, 0.3, 0.3), (2, 52, 0.2, 0.2, 0.2);");
    ProfileFacility f(db.path());
    std::vector<std::string> names;
    // "Steam": 83 * 116 * 101 * 97 * 109 in 32 bits.
    const long steam = static_cast<long>(static_cast<std::int32_t>(83u * 116u * 101u * 97u * 109u));
    EXPECT_EQ(Groups(f, Utilities), (std::vector<long>{steam}));
    EXPECT_EQ(Components(f, Utilities, steam, &names), (std::vector<long>{-1, 2}));
    EXPECT_EQ(names, (std::vector<std::string>{"Unspecified Equipment", "R-101"}));
    const Points duty = List(f, Utilities, steam, -1, Duty);
    ASSERT_FALSE(duty.empty());
    EXPECT_DOUBLE_EQ(duty[0].second, 500.0 * 1000.0 / 600.0); // cooling counts positive too, in W
    EXPECT_DOUBLE_EQ(List(f, Utilities, steam, 2, Duty)[0].second, 500.0 * 1000.0 / 600.0);
}

TEST_F(CompositeLoadingTest, LaborCountsWholeOperatorsPerGrade)
{
    db.exec("INSERT INTO LaborCategory (LaborGradeID, LaborGrade) VALUES (4, 'Operator');");
    db.exec("INSERT INTO LaborSummary (StepID, BatchNumber, UnitProcedureID, OperationID, LaborGradeID, StartTime, "
            "EndTime, EndTimeUOM, NumberOfOperators) VALUES (1, 1, 1, 1, 4, 0, 1, 'h', 2.7), "
            "(1, 1, 1, 1, 4, 0.5, 2, 'h', 1.5), (1, 1, 1, 1, 0, 0, 1, 'h', 0.5);");
    ProfileFacility f(db.path());
    std::vector<std::string> names;
    EXPECT_EQ(Groups(f, Labor, &names), (std::vector<long>{1}));
    EXPECT_EQ(names, (std::vector<std::string>{"Categories"}));
    EXPECT_EQ(Components(f, Labor, 1), (std::vector<long>{-1, 4}));
    EXPECT_EQ(List(f, Labor, 1, 4, Operators), (Points{{0, 2.0}, {1800, 3.0}, {3600, 1.0}, {7200, 0.0}}));
    EXPECT_EQ(List(f, Labor, 1, -1, Operators), (Points{{0, 0.0}, {3600, 0.0}}));
}

TEST_F(CompositeLoadingTest, VaporEmissionsPerSourceVessel)
{
    db.AddVapor(1, 2, kNull, 6.0, 0.0, 10.0);
    db.AddVapor(2, kNull, kNull, 6.0, 0.0, 10.0);
    db.AddVapor(3, 2, kNull, 6.0, 0.0, 10.0);
    db.exec("UPDATE AirEmissionSummary SET AirEmissionControl = 'After Condenser' WHERE AirEmissionID = 3;");
    for (long a = 1; a <= 3; ++a)
        Phase(a, "AirEmissionID", a, 9, "Vapor");
    ProfileFacility f(db.path());
    EXPECT_EQ(Groups(f, VaporEmissions), (std::vector<long>{-1, 2}));
    const Points rate = List(f, VaporEmissions, 2, 9, Mass);
    ASSERT_EQ(rate.size(), 2u);
    EXPECT_DOUBLE_EQ(rate[0].second, 6.0 / 600.0); // the emission after the condenser is not counted
}

TEST_F(CompositeLoadingTest, ContentsLevelsSkipGasAndDropMissingMaterialsToZero)
{
    // Two operations of the reactor: the first holds materials 7 (liquid) and
    // 9 (gas only), the second only material 8.
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
    EXPECT_EQ(Components(f, Contents, 2), (std::vector<long>{7, 8}));
    EXPECT_EQ(List(f, Contents, 2, 7, Mass), (Points{{0, 0.0}, {3600, 50.0}, {7200, 0.0}}));
    EXPECT_EQ(List(f, Contents, 2, 8, Mass), (Points{{3600, 0.0}, {7200, 80.0}}));
    // 100 liter fits the 1000 liter reactor; 2000 liter overflows it and shows its capacity.
    const Points volume = List(f, Contents, 2, 8, Volume);
    EXPECT_NEAR(volume[1].second, 1.0, 1e-12);
    EXPECT_NEAR(List(f, Contents, 2, 7, Volume)[1].second, 0.1, 1e-12);
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
    db.exec("INSERT INTO ThermodynamicPhase (PhaseID, Phase, CompositeContentsID, MassPhaseFraction, "
            "MolarPhaseFraction, VolumePhaseFraction) VALUES (60, 'Liquid1', 1, 0.5, 1, 1), (61, 'Gas', 1, 0.5, 1, 1), "
            "(62, 'Liquid1', 2, 1, 1, 1);");
    db.exec("INSERT INTO PhaseComponents (PhaseID, ComponentID, MassFraction, MoleFraction, VolumeFraction) VALUES "
            "(60, 7, 1, 1, 1), (61, 7, 1, 1, 1), (62, 7, 1, 1, 1);");
    ProfileFacility f(db.path());
    std::vector<std::string> names;
    EXPECT_EQ(Groups(f, BufferTanks, &names), (std::vector<long>{5}));
    EXPECT_EQ(Components(f, BufferTanks, 5, &names), (std::vector<long>{7}));
    EXPECT_EQ(names, (std::vector<std::string>{"BT-1", "Material 7"}));
    // Gas phase left out: 200 kg x 0.5 at 1 h, then 100 kg at 3 h.
    EXPECT_EQ(List(f, BufferTanks, 5, 7, Mass), (Points{{3600, 100.0}, {10800, 100.0}}));
    // The tank's operation holds batch 4 from 0 h to 2 h: the row at 1 h
    // carries it, the row at 3 h does not.
    const CompositeComponent* material = f.Stream(BufferTanks)->FindVessel(5)->FindComponent(7);
    ASSERT_NE(material, nullptr);
    EXPECT_EQ(material->GetValues().Lookup(3600)->batch + material->GetValues().Lookup(10800)->batch, 4);
    // A tank without contents rows of its own, while other vessels have
    // some, keeps its levels: the material unnamed, no batch.
    db.exec("DELETE FROM EquipmentSchedule; DELETE FROM EquipmentContents;");
    db.AddSchedule(2, 1, 1, 0.0, 1.0);
    ProfileFacility bare(db.path());
    ASSERT_EQ(Components(bare, BufferTanks, 5, &names), (std::vector<long>{7}));
    EXPECT_EQ(names.back(), "");
    EXPECT_EQ(bare.Stream(BufferTanks)->FindVessel(5)->FindComponent(7)->GetValues().Lookup(3600)->batch, 0);
}

TEST_F(CompositeLoadingTest, LazyLoadingOncePerTypeBehindTheWaitCursor)
{
    db.AddStream(1, 1, 2, 2, 0.0, 10.0);
    Phase(1, "StreamID", 1, 7);
    int begun = 0, ended = 0;
    const WaitCursorHooks previous = SetWaitCursorHooks({[&] { ++begun; }, [&] { ++ended; }});
    ProfileFacility f(db.path());
    EXPECT_EQ(begun, 0);
    Groups(f, Inputs);
    Groups(f, Inputs);
    Components(f, Inputs, 1);
    Groups(f, Outputs); // Outputs and Inventory are read with Inputs, from the same rows
    Groups(f, Inventory);
    EXPECT_EQ(begun + ended, 2);
    // A type without rows has no profiles and is tried again on each request;
    // types outside 0 to 8 do nothing at all.
    for (int type : {static_cast<int>(Labor), static_cast<int>(Labor), 9, -1})
        EXPECT_TRUE(Groups(f, static_cast<CompType>(type)).empty()) << type;
    EXPECT_EQ(begun + ended, 6);
    SetWaitCursorHooks(previous);
    EXPECT_TRUE(messages.texts().empty());
}

TEST(CompositeWithoutDatabase, EmptyPathOrMissingFileBuildsNothing)
{
    MessageRecorder messages;
    GanttFacility empty;
    Array<long> ids;
    Array<CString> names;
    Hash<long, double> list;
    list[5] = 1.0;
    for (int type = 0; type < kNumCompTypes; ++type) {
        empty.GetCompositeVessels(ids, names, static_cast<CompType>(type));
        empty.GetCompositeList(list, 1, 1, static_cast<CompType>(type), Mass);
    }
    EXPECT_EQ(ids.GetSize(), 0);
    EXPECT_EQ(Masses(list), (Points{{5, 1.0}}));
    ProfileFacility missing("/nonexistent/dir/results.db");
    missing.GetCompositeVessels(ids, names, Labor);
    EXPECT_EQ(ids.GetSize(), 0);
    EXPECT_TRUE(messages.texts().empty());
}

// ---------------------------------------------------------------------------
// The generated sample

class CompositeSampleTest : public ::testing::Test {
protected:
    CompositeSampleTest() : f(test::SampleDatabasePath().string()), sql(test::SampleDatabasePath().string(), true) {}
    ProfileFacility f;
    Sql sql;
    MessageRecorder messages;
};

TEST_F(CompositeSampleTest, EveryTypeHasGroupsAndComponents)
{
    for (int type = 0; type < kNumCompTypes; ++type) {
        Array<long> ids;
        Array<CString> names;
        f.GetCompositeVessels(ids, names, static_cast<CompType>(type));
        EXPECT_GT(ids.GetSize(), 0) << CompTypeName(type);
        for (int g = 0; g < ids.GetSize(); ++g) {
            EXPECT_TRUE(g == 0 || ids[g - 1] < ids[g]);
            Array<long> components;
            Array<CString> componentNames;
            f.GetCompositeComponents(static_cast<int>(ids[g]), components, componentNames, static_cast<CompType>(type));
            EXPECT_GT(components.GetSize(), 0) << CompTypeName(type) << " group " << ids[g];
        }
    }
    EXPECT_TRUE(messages.texts().empty());
}

// What an inventory location gives out over the run, less what it takes in,
// equals the summed mass of its streams.
TEST_F(CompositeSampleTest, InventoryProfilesBalanceAgainstStreamMass)
{
    ASSERT_EQ(sql.count("SELECT COUNT(*) FROM StreamSummary WHERE EndTimeUOM <> 'min' OR MassUOM <> 'kg'"), 0);
    Array<long> groups;
    Array<CString> names;
    f.GetCompositeVessels(groups, names, Inventory);
    int checked = 0;
    for (int g = 0; g < groups.GetSize(); ++g) {
        const long location = groups[g];
        if (location < 0) continue;
        Array<long> components;
        Array<CString> componentNames;
        f.GetCompositeComponents(static_cast<int>(location), components, componentNames, Inventory);
        Hash<long, double> list;
        for (int c = 0; c < components.GetSize(); ++c)
            f.GetCompositeList(list, location, components[c], Inventory, Mass);
        double integral = 0.0;
        for (int i = 0; i + 1 < list.GetCount(); ++i)
            integral += list.GetAt(i) * static_cast<double>(list.GetKeyAt(i + 1) - list.GetKeyAt(i));
        EXPECT_EQ(list.GetAt(list.GetCount() - 1), 0.0);
        const std::string id = std::to_string(location);
        const double expected = sql.number(
            "SELECT SUM(CASE WHEN ss.FromEquipmentID = " + id +
            " AND esto.Category IS NOT NULL AND instr(esto.Category, 'Inventory') = 0 THEN 1 ELSE -1 END "
            "* ss.Mass * tp.MassPhaseFraction * pc.MassFraction) "
            "FROM StreamSummary ss LEFT JOIN EquipmentSummary esfrom ON esfrom.EquipmentID = ss.FromEquipmentID "
            "LEFT JOIN EquipmentSummary esto ON esto.EquipmentID = ss.ToEquipmentID "
            "JOIN ThermodynamicPhase tp ON tp.StreamID = ss.StreamID JOIN PhaseComponents pc ON pc.PhaseID = "
            "tp.PhaseID "
            "WHERE ss.StreamCategoryID <> -5 AND CAST(ss.StartTime * 60 AS INTEGER) < CAST(ss.EndTime * 60 AS INTEGER) "
            "AND (ss.FromEquipmentID = " +
            id + " OR (ss.ToEquipmentID = " + id +
            " AND esfrom.Category IS NOT NULL AND instr(esfrom.Category, 'Inventory') = 0))");
        ASSERT_NE(expected, 0.0) << "location " << location;
        EXPECT_NEAR(integral, expected, 1e-9 * std::fabs(expected) + 1e-6) << "location " << location;
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

} // namespace
} // namespace batchplant
