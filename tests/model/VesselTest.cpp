#include <cmath>

#include <gtest/gtest.h>

#include "ModelFixtures.h"
#include "TestSupport.h"
#include "batchplant/db/EquipmentRecordsets.h"
#include "batchplant/procedure/CProcedure.h"

namespace batchplant {
namespace {

using test::TestFacility;
using test::TestVessel;

constexpr double kPi = 3.14159265359;

double cylinderVolume(const Vessel& v) { return kPi * v.GetRadius() * v.GetRadius() * v.GetHeight(); }

void currentColour(const Vessel& v, double& r, double& g, double& b)
{
    double a;
    v.GetCurrentColor(r, g, b, a);
}

// Adds one operation of the given type running from start to end seconds
// that leaves `volume` cubic metres in the vessel. Operation texts are kept
// per (step, unit procedure, operation), so each start gets its own
// operation identifier.
void addOperation(Vessel& v, long start, long end, const char* opType, double volume = 0.0, long batch = 1)
{
    v.GetProc()->AddNewProc(batch, 1000 + start, 1, 1, static_cast<double>(start), static_cast<double>(end), "s",
                            volume, "Cubic m", 300.0, 300.0, "K", 0.0, 0.0, "", "", "Step", "", opType, opType, "", "",
                            -1, 0.0, "");
}

// A vessel initialised on a floor of its own.
class VesselOnFloor : public ::testing::Test {
protected:
    void SetUp() override { v.Init(&floor); }
    Plane floor;
    TestVessel v;
};

// --- Lifecycle -------------------------------------------------------------

TEST(VesselTest, InitSizesRegistersAndRunsBothHooksOnce)
{
    Plane floor(3.0, 1.0);
    TestVessel v;
    v.Init(&floor);
    EXPECT_EQ(v.preInitCalls, 1);
    EXPECT_EQ(v.initCalls, 1);
    EXPECT_EQ(floor.FindVessel(&v), 1);
    EXPECT_NE(v.GetProc(), nullptr);
    EXPECT_DOUBLE_EQ(v.GetRadius(), 0.5);
    EXPECT_DOUBLE_EQ(v.GetHeight(), 1.0);
    EXPECT_DOUBLE_EQ(v.Capacity(), 0.7853981633975);
    EXPECT_DOUBLE_EQ(v.GetZ(), 3.0);
    EXPECT_EQ(v.GetFloorID(), floor.GetID());
}

TEST(VesselTest, WithoutFloorPositionIsRelativeAndVesselIsHidden)
{
    Vessel v;
    v.Init(nullptr);
    v.SetCoords(2.0, 3.0);
    EXPECT_DOUBLE_EQ(v.GetX(), 2.0);
    EXPECT_DOUBLE_EQ(v.GetZ(), 0.0);
    EXPECT_EQ(v.GetFloorID(), -1);
    EXPECT_TRUE(v.GetFloorName().IsEmpty());
    EXPECT_FALSE(v.IsVisible());
}

TEST(VesselTest, SwitchFloorMovesRegistration)
{
    Plane a, b;
    Vessel v;
    v.Init(&a);
    v.SwitchFloor(&b);
    EXPECT_EQ(a.FindVessel(&v), 0);
    EXPECT_EQ(b.FindVessel(&v), 1);
    EXPECT_EQ(v.GetFloor(), &b);
    v.SwitchFloor(&b); // same floor: no second registration
    EXPECT_EQ(b.GetNumVessels(), 1);
}

// --- Sizing -------------------------------------------------------------------

TEST_F(VesselOnFloor, SizeFollowsCapacityAtUnchangedProportions)
{
    v.set_size();
    EXPECT_NEAR(v.GetRadius(), 0.5, 1e-4);
    EXPECT_NEAR(v.GetHeight(), 1.0, 2e-4);

    v.SetCapacityForTest(10.0);
    v.set_size();
    EXPECT_NEAR(v.GetHeight() / v.GetRadius(), 2.0, 1e-12);
    EXPECT_NEAR(cylinderVolume(v), 10.0, 10.0 * 1e-3); // exponent 0.3333, not 1/3
}

void fillEquipmentRow(CDaoEquipmentSet& row, long id, const char* type, double capacity, const char* unit)
{
    row.m_EquipmentID = id;
    row.m_EquipmentClassID = 12;
    row.m_PlantID = 3;
    row.m_PlantName = "South";
    row.m_CalendarID = 8;
    row.m_Class = "Reactor";
    row.m_QLTag = "R-101";
    row.m_Capacity = capacity;
    row.m_CapacityUOM = unit;
    row.m_EquipmentType = type;
}

TEST_F(VesselOnFloor, EquipmentRowGivesCalendarNameAndSize)
{
    struct Row {
        const char* type;
        double capacity;
        const char* unit;
        long calendar, wantCalendar;
        double wantCapacity;
        const char* wantText;
        double drawnVolume;
    };
    // A NULL calendar (read as 0) is none, as in a new vessel; continuous
    // equipment (the type compared ignoring case) is drawn as 600 litres.
    const Row rows[] = {{"Batch", 2000.0, "liter", 8, 8, 2.0, "2000.000 liter", 2.0},
                        {"continuous", 50.0, "Cubic m", 0, -1, 0.001, "1.000 liter", 0.6}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.type);
        Vessel vessel;
        vessel.Init(&floor);
        CDaoEquipmentSet row;
        fillEquipmentRow(row, 42, r.type, r.capacity, r.unit);
        row.m_CalendarID = r.calendar;
        vessel.SetDBParams(row);
        EXPECT_EQ(vessel.GetCalendarID(), r.wantCalendar);
        EXPECT_EQ(vessel.GetName(), CString("R-101")); // the tag, once the class is known
        EXPECT_DOUBLE_EQ(vessel.Capacity(), r.wantCapacity);
        EXPECT_EQ(vessel.GetCapacity(), CString(r.wantText));
        EXPECT_NEAR(vessel.GetHeight() / vessel.GetRadius(), 2.0, 1e-12);
        EXPECT_NEAR(cylinderVolume(vessel), r.drawnVolume, r.drawnVolume * 1e-3);
    }
}

TEST_F(VesselOnFloor, ChangeSizeChangesProportionsButKeepsVolume)
{
    v.SetCapacityForTest(2.0);
    v.set_size();
    const double before = cylinderVolume(v);

    v.ChangeSize(30.0, 0.0); // wider: radius + 0.3 before resizing
    const double aspect = v.GetHeight() / v.GetRadius();
    EXPECT_LT(aspect, 2.0);
    EXPECT_NEAR(cylinderVolume(v), before, before * 1e-3);
}

TEST_F(VesselOnFloor, ChangeSizeRefusesRadiusOrHeightAtOrBelowTenth)
{
    v.ChangeSize(-50.0, 0.0); // 0.5 - 0.5 = 0.0 is refused
    EXPECT_NEAR(v.GetHeight() / v.GetRadius(), 2.0, 1e-12);
    EXPECT_NEAR(v.GetRadius(), 0.5, 1e-4);
    v.ChangeSize(0.0, -95.0); // 1.0 - 0.95 = 0.05 is refused too
    EXPECT_NEAR(v.GetHeight() / v.GetRadius(), 2.0, 1e-12);
}

TEST_F(VesselOnFloor, DegenerateSizesStayFinite)
{
    v.SetRadius(0.0);
    v.set_size(); // no division by zero: default proportions
    EXPECT_TRUE(std::isfinite(v.GetRadius()));
    EXPECT_NEAR(v.GetHeight() / v.GetRadius(), 2.0, 1e-12);
    v.SetCapacityForTest(-5.0);
    v.set_size();
    EXPECT_DOUBLE_EQ(v.GetRadius(), 0.0);
    EXPECT_DOUBLE_EQ(v.GetHeight(), 0.0);
}

// --- Colours ----------------------------------------------------------------

TEST_F(VesselOnFloor, PackedColourRoundTripsWithTruncation)
{
    v.SetColor((255 << 16) | (128 << 8));
    double r, g, b;
    currentColour(v, r, g, b);
    EXPECT_DOUBLE_EQ(r, 1.0);
    EXPECT_DOUBLE_EQ(g, 128 / 255.0);
    EXPECT_DOUBLE_EQ(b, 0.0);
    EXPECT_EQ(v.GetColor(), 0xFF8000);
}

TEST_F(VesselOnFloor, ComponentsOutsideByteRangeAreRefused)
{
    const int grey = v.GetColor();
    v.SetCurrentCol(256, 0, 0);
    v.SetCurrentCol(-1, 0, 0);
    v.SetCurrentCol(0, 0, 1000);
    v.SetColor(-1); // splits into negative components
    EXPECT_EQ(v.GetColor(), grey);
    v.SetCurrentCol(0, 0, 255);
    EXPECT_EQ(v.GetColor(), 0x0000FF);

    v.SetLabelColor(0x010203);
    EXPECT_EQ(v.GetLabelColor(), 0x010203);
    v.SetLabelColor(1, -5, 3);
    v.SetLabelColor(1, 2, 256);
    EXPECT_EQ(v.GetLabelColor(), 0x010203);
}

TEST_F(VesselOnFloor, HighlightSavesAndRestoresColour)
{
    v.SetCurrentCol(10, 20, 30);
    v.EnableHighlight();
    EXPECT_EQ(v.IsSelected(), 1);
    double r, g, b;
    currentColour(v, r, g, b);
    EXPECT_DOUBLE_EQ(r, 1.0);
    EXPECT_DOUBLE_EQ(g, 0.0);
    EXPECT_EQ(v.GetColor(), 0x0A141E); // the colour it will show again
    v.EnableHighlight();               // idempotent: the saved colour stays
    v.SetColor(0x00FF00);              // while highlighted: only the saved colour changes
    currentColour(v, r, g, b);
    EXPECT_DOUBLE_EQ(r, 1.0);
    v.ToggleHighlight();
    EXPECT_EQ(v.IsSelected(), 0);
    currentColour(v, r, g, b);
    EXPECT_DOUBLE_EQ(g, 1.0);
    v.DisableHighlight();
    EXPECT_EQ(v.GetColor(), 0x00FF00);

    v.EnableHighlight();
    v.SetVisible(false); // hiding removes the highlight
    EXPECT_EQ(v.IsSelected(), 0);
    EXPECT_FALSE(v.IsVisible());
    EXPECT_EQ(v.GetColor(), 0x00FF00);
}

TEST_F(VesselOnFloor, HeatAndCoolRestoreInEitherOrder)
{
    const int grey = v.GetColor();
    double r, g, b;

    // Nested: heat, cool, cool off, heat off.
    v.EnableHeat();
    currentColour(v, r, g, b);
    EXPECT_DOUBLE_EQ(g, 0.5); // orange
    v.EnableCool();
    currentColour(v, r, g, b);
    EXPECT_DOUBLE_EQ(b, 1.0); // light blue on top
    v.DisableCool();
    currentColour(v, r, g, b);
    EXPECT_DOUBLE_EQ(r, 1.0); // orange again
    v.DisableHeat();
    EXPECT_EQ(v.GetColor(), grey);

    // Crossed: cooling ends while heating still runs, then heating ends.
    v.EnableCool();
    v.EnableHeat();
    v.DisableCool();
    currentColour(v, r, g, b);
    EXPECT_DOUBLE_EQ(r, 1.0);
    EXPECT_DOUBLE_EQ(b, 0.0); // still orange, not the cooling colour
    v.DisableHeat();
    EXPECT_EQ(v.GetColor(), grey);
    EXPECT_EQ(v.IsHeating(), 0);
    EXPECT_EQ(v.IsCooling(), 0);
}

TEST_F(VesselOnFloor, HighlightAndHeatRestoreInEitherOrder)
{
    const int grey = v.GetColor();
    double r, g, b;

    v.EnableHighlight();
    v.EnableHeat();
    v.DisableHighlight(); // deselected while heating: stays orange
    currentColour(v, r, g, b);
    EXPECT_DOUBLE_EQ(g, 0.5);
    v.DisableHeat();
    EXPECT_EQ(v.GetColor(), grey);

    v.EnableHeat();
    v.EnableHighlight();
    currentColour(v, r, g, b);
    EXPECT_DOUBLE_EQ(g, 0.0);          // red on top
    EXPECT_EQ(v.GetColor(), 0xFF7F00); // what shows once deselected: orange
    v.DisableHeat();
    v.DisableHighlight();
    EXPECT_EQ(v.GetColor(), grey);
}

// --- Names ------------------------------------------------------------------

TEST_F(VesselOnFloor, NamesNeedAClass)
{
    v.SetIdentity(5, "", "R-101");
    EXPECT_TRUE(v.GetName().IsEmpty());
    EXPECT_TRUE(v.GetFullName().IsEmpty());
    v.SetIdentity(5, "Reactor", "R-101");
    EXPECT_EQ(v.GetName(), CString("R-101"));
    EXPECT_EQ(v.GetFullName(), CString("Reactor:    R-101"));
    EXPECT_EQ(v.IsInventory(), 0);
    v.SetIdentity(5, "Inventory Location", "T-1");
    EXPECT_EQ(v.IsInventory(), 1);
    v.SetIdentity(5, "inventory", "T-1");
    EXPECT_EQ(v.IsInventory(), 0); // case-sensitive
}

// --- Streams and neighbours -----------------------------------------------------

TEST(VesselTest, UniqueNeighboursCountEachNeighbourOnce)
{
    TestFacility f;
    Plane* floor = f.AddFloor(1);
    Vessel* a = f.AddVessel(floor, 10, "A");
    Vessel* b = f.AddVessel(floor, 20, "B");
    Vessel* c = f.AddVessel(floor, 30, "C");
    f.Connect(a, b);
    f.Connect(a, b); // repeated: same neighbour
    EXPECT_EQ(a->GetNumStreams(), 2);
    EXPECT_EQ(a->GetNumUniqueStreams(), 1);
    EXPECT_EQ(b->GetNumUniqueStreams(), 1);

    // A stream that is not connecting registers twice and adds 2.
    f.AddUtility(a);
    EXPECT_EQ(a->GetNumUniqueStreams(), 3);
    EXPECT_EQ(a->GetNumStreams(), 2);
    EXPECT_EQ(a->GetNumInputAndOutputStreams(), 0);
    EXPECT_NE(a->GetUtilityStream(), nullptr);

    Stream* feed = f.AddFeed(a);
    EXPECT_EQ(a->GetNumUniqueStreams(), 5);
    EXPECT_EQ(a->GetNumInputAndOutputStreams(), 2);
    EXPECT_EQ(a->GetInputStream(), feed);

    f.Connect(c, a); // a new neighbour
    EXPECT_EQ(a->GetNumUniqueStreams(), 6);
    EXPECT_EQ(a->GetNumStreams(), 3);
}

TEST(VesselTest, NeighbourQueriesFollowStreamDirection)
{
    TestFacility f;
    Plane* floor = f.AddFloor(1);
    Vessel* a = f.AddVessel(floor, 10, "A");
    Vessel* b = f.AddVessel(floor, 20, "B");
    Vessel* c = f.AddVessel(floor, 30, "C");
    Vessel* lone = f.AddVessel(floor, 40, "L");
    f.Connect(a, b);
    f.Connect(b, c);

    EXPECT_EQ(b->GetConnectingVessel(0), a);
    EXPECT_EQ(b->GetConnectingVessel(1), c);
    EXPECT_EQ(b->GetConnectingVessel(2), nullptr);
    EXPECT_EQ(b->GetConnectingVessel(-1), nullptr);
    EXPECT_EQ(b->IsInputVessel(0), 1); // a flows into b
    EXPECT_EQ(b->IsOutputVessel(1), 1);
    EXPECT_EQ(b->IsInputVessel(5), 0);
    EXPECT_EQ(b->IsInputVessel(a), 1);
    EXPECT_EQ(b->IsOutputVessel(c), 1);
    EXPECT_EQ(b->IsInputVessel(c), 0);
    EXPECT_EQ(b->IsInputVessel(lone), 0);
    EXPECT_EQ(b->IsConnectingVessel(c), 1);
    EXPECT_EQ(a->IsConnectingVessel(c), 0);

    EXPECT_TRUE(a->IsLeftmostVessel());
    EXPECT_FALSE(a->IsRightmostVessel());
    EXPECT_TRUE(c->IsRightmostVessel());
    EXPECT_FALSE(b->IsLeftmostVessel());
    EXPECT_FALSE(lone->IsLeftmostVessel());
    EXPECT_FALSE(lone->IsRightmostVessel());

    EXPECT_EQ(b->GetConnectScore(), 2); // a and c have one neighbour each
    EXPECT_EQ(a->GetConnectScore(), 2); // b has two

    EXPECT_EQ(b->GetStreamByIndex(1), f.GetStreamByIndex(1));
    EXPECT_EQ(b->GetStreamByIndex(2), nullptr);
    EXPECT_EQ(b->GetStreamByIndex(-1), nullptr);
}

TEST(VesselTest, AttachmentPointsStackConnectionsFeedsAndUtilities)
{
    TestFacility f;
    Plane* floor = f.AddFloor(1, 2.0);
    Vessel* a = f.AddVessel(floor, 10, "A");
    Vessel* b = f.AddVessel(floor, 20, "B");
    a->SetHeight(6.0);
    a->SetCoords(1.0, 1.0);
    Stream* s1 = f.Connect(a, b);
    Stream* s2 = f.Connect(b, a);
    Stream* feed = f.AddFeed(a);
    Stream* util = f.AddUtility(a);
    // n = 2 process streams, h = 6, base 2: steps of 6 / 6 = 1.
    EXPECT_DOUBLE_EQ(a->GetZ(s1), 3.0);
    EXPECT_DOUBLE_EQ(a->GetZ(s2), 4.0);
    EXPECT_DOUBLE_EQ(a->GetZ(feed), 6.0);
    EXPECT_DOUBLE_EQ(a->GetZ(util), 7.0);
    Stream* foreign = f.Connect(b, b);
    EXPECT_DOUBLE_EQ(a->GetZ(foreign), 2.0); // not one of a's: at the base

    EXPECT_DOUBLE_EQ(a->GetX(util), 1.0);
    EXPECT_DOUBLE_EQ(a->GetY(s1), 1.0);
    EXPECT_DOUBLE_EQ(a->GetY(util), 1.0 + 2.0 * a->GetRadius() / 3.0);
    EXPECT_DOUBLE_EQ(a->GetZ(nullptr), 0.0);
}

// --- View state -------------------------------------------------------------

TEST_F(VesselOnFloor, VisibilityFollowsSwitchActivityAndFloor)
{
    EXPECT_TRUE(v.IsVisible());
    floor.SetVisible(false);
    EXPECT_FALSE(v.IsVisible());
    v.SetActiveForTest(1);
    EXPECT_TRUE(v.IsVisible()); // active vessels show on hidden floors
    v.SetVisible(false);
    EXPECT_FALSE(v.IsVisible());
    EXPECT_EQ(v.ShowConnections(), 0);
}

TEST_F(VesselOnFloor, PositionAssignedCountsVesselsTheWizardMustLeave)
{
    Plane other;
    EXPECT_EQ(v.PositionAssigned(&floor), 0);
    EXPECT_EQ(v.PositionAssigned(&other), 1);
    v.SetShowConnections(0);
    EXPECT_EQ(v.PositionAssigned(&floor), 1);
    v.SetShowConnections(1);
    v.SetPositionFlag(1);
    EXPECT_EQ(v.PositionAssigned(&floor), 1);
}

TEST(VesselTest, InventoryIsActiveWhileAStreamFlows)
{
    TestFacility f;
    Plane* floor = f.AddFloor(1);
    TestVessel* inv = f.AddVessel(floor, 10, "T", "Inventory Location");
    TestVessel* other = f.AddVessel(floor, 20, "B");
    auto* s = static_cast<test::TestStream*>(f.Connect(inv, other));
    inv->SetActiveForTest(1);
    EXPECT_EQ(inv->IsActive(), 0); // its own flag is not consulted
    s->SetFlowingForTest(1);
    EXPECT_EQ(inv->IsActive(), 1);
    floor->SetVisible(false);
    EXPECT_TRUE(inv->IsVisible()); // active: shown on a hidden floor
    EXPECT_FALSE(other->IsVisible());
}

// --- Time-driven state --------------------------------------------------------

TEST_F(VesselOnFloor, PropertiesByTimeHeatThenCoolThenNothing)
{
    const int grey = v.GetColor();
    addOperation(v, 0, 100, "Cool", 0.5);
    addOperation(v, 100, 200, "Heat", 0.5);
    addOperation(v, 200, 300, "React", 0.5);

    v.SetPropertiesByTime(50);
    EXPECT_EQ(v.IsCooling(), 1);
    EXPECT_EQ(v.IsActive(), 1);
    v.SetPropertiesByTime(150); // straight from cooling to heating
    EXPECT_EQ(v.IsHeating(), 1);
    EXPECT_EQ(v.IsCooling(), 0);
    double r, g, b;
    currentColour(v, r, g, b);
    EXPECT_DOUBLE_EQ(r, 1.0);
    EXPECT_DOUBLE_EQ(g, 0.5);
    v.SetPropertiesByTime(250);
    EXPECT_EQ(v.IsHeating(), 0);
    EXPECT_EQ(v.GetColor(), grey);
    EXPECT_GE(v.reactOn, 1);
    v.SetPropertiesByTime(400);
    EXPECT_EQ(v.IsActive(), 0);
    EXPECT_NEAR(v.GetVolume(), 0.5 / v.Capacity(), 1e-9); // the 0.5 cubic metres left, as a level
    EXPECT_EQ(v.GetCurrentTime(), 400);
}

} // namespace
} // namespace batchplant
