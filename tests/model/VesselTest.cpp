#include <array>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "ModelFixtures.h"
#include "batchplant/db/StreamRecordsets.h"
#include "batchplant/model/LayeredColour.h"
#include "batchplant/procedure/CProcedure.h"

namespace batchplant {
namespace {

using namespace test;

int shown(const Vessel& v)
{
    double r, g, b, a;
    v.GetCurrentColor(r, g, b, a);
    return PackColour(r, g, b);
}

// A vessel on a floor of its own; vessels from rows: see LoadingTest.
class VesselOnFloor : public ::testing::Test {
protected:
    void SetUp() override { v.Init(&floor); }
    Plane floor{3.0, 1.0};
    TestVessel v;
};

TEST_F(VesselOnFloor, InitRegistersRunsBothHooksOnceAndSizesByCapacity)
{
    EXPECT_EQ(v.preInitCalls * 10 + v.initCalls + v.GetZ() * 100, 311);
    Plane other;
    v.SwitchFloor(&other);
    v.SwitchFloor(&other); // the same floor again: no second registration
    EXPECT_EQ(floor.FindVessel(&v) * 10 + other.GetNumVessels() + (v.GetFloor() == &other) * 100, 101);

    Vessel lone;
    lone.Init(nullptr);
    lone.SetCoords(2.0, 3.0);
    EXPECT_EQ(lone.GetFloorID() * 10 + lone.IsVisible() + lone.GetX() + lone.GetZ(), -8.0); // relative, at height 0
    EXPECT_TRUE(lone.GetFloorName().IsEmpty() && lone.GetFullName().IsEmpty());             // no class, no name

    // The size follows the capacity at unchanged proportions; a radius or height at or below a tenth is refused.
    v.ChangeSize(-50.0, 0.0);
    v.ChangeSize(0.0, -95.0); // refused: a radius of 0.5 - 0.5, a height of 1.0 - 0.95
    EXPECT_NEAR(v.GetRadius(), 0.5, 1e-4);
    EXPECT_NEAR(v.GetHeight() / v.GetRadius(), 2.0, 1e-12);
    v.SetCapacityForTest(10.0);
    v.ChangeSize(30.0, 0.0); // wider, at the same volume
    EXPECT_LT(v.GetHeight() / v.GetRadius(), 2.0);
    EXPECT_NEAR(cylinderVolume(v), 10.0, 10.0 * 1e-3);
    v.SetRadius(0.0);
    v.set_size(); // no division by zero: default proportions
    EXPECT_NEAR(v.GetHeight() / v.GetRadius(), 2.0, 1e-12);
    v.SetCapacityForTest(-5.0);
    v.set_size();
    EXPECT_DOUBLE_EQ(v.GetRadius() + v.GetHeight(), 0.0);
}

// Temporary colours in any order: S/s select on/off, T toggle, H/h heat, C/c cool, p paints 0x0A141E, g sets 0x00FF00,
// v hides. After each step the shown colour, with the object's own colour in brackets where it differs (it does while
// selected); then the selected, heating and cooling flags.
TEST_F(VesselOnFloor, TemporaryColoursComeBackInAnyOrder)
{
    const std::pair<const char*, const char*> cases[] = {
        {"HCch", "FF7F00 7F7FFF FF7F00 B2B2B2 000"},
        {"CHch", "7F7FFF FF7F00 FF7F00 B2B2B2 000"}, // cooling ends while heating runs
        {"SHsh", "FF0000(B2B2B2) FF7F00(B2B2B2) FF7F00 B2B2B2 000"},
        {"HShs", "FF7F00 FF0000(FF7F00) FF0000(B2B2B2) B2B2B2 000"}, // red on top of orange
        // Selecting twice keeps the saved colour; painting while selected changes only that.
        {"pSSgT", "0A141E FF0000(0A141E) FF0000(0A141E) FF0000(00FF00) 00FF00 000"},
        {"SHv", "FF0000(B2B2B2) FF7F00(B2B2B2) FF7F00 010"}, // hiding removes the highlight
        {"SC", "FF0000(B2B2B2) 7F7FFF(B2B2B2) 101"},
    };
    for (const auto& [ops, want] : cases) {
        SCOPED_TRACE(ops);
        TestVessel w;
        w.Init(&floor);
        std::string got;
        for (const char* op = ops; *op; ++op) {
            const std::string keys = "SsTHhCcpgv";
            const std::function<void()> act[] = {[&] { w.EnableHighlight(); },  [&] { w.DisableHighlight(); },
                                                 [&] { w.ToggleHighlight(); },  [&] { w.EnableHeat(); },
                                                 [&] { w.DisableHeat(); },      [&] { w.EnableCool(); },
                                                 [&] { w.DisableCool(); },      [&] { w.SetCurrentCol(10, 20, 30); },
                                                 [&] { w.SetColor(0x00FF00); }, [&] { w.SetVisible(false); }};
            act[keys.find(*op)]();
            got += CString::Formatted(shown(w) == w.GetColor() ? "%06X " : "%06X(%06X) ", shown(w), w.GetColor()).str();
        }
        got += std::to_string(w.IsSelected()) + std::to_string(w.IsHeating()) + std::to_string(w.IsCooling());
        EXPECT_EQ(got, want);
    }
}

TEST_F(VesselOnFloor, ColourComponentsOutsideByteRangeAreRefused)
{
    v.SetColor((255 << 16) | (128 << 8)); // 128 / 255 packs back to 128
    EXPECT_EQ(shown(v), 0xFF8000);
    v.SetCurrentCol(256, 0, 0);
    v.SetCurrentCol(0, -1, 0);
    v.SetColor(-1); // splits into negative components
    EXPECT_EQ(v.GetColor(), 0xFF8000);
    v.SetLabelColor(0x010203);
    v.SetLabelColor(1, -5, 3);
    v.SetLabelColor(1, 2, 256);
    EXPECT_EQ(v.GetLabelColor(), 0x010203);
}

TEST(VesselTest, NeighboursFollowStreamDirectionAndCountOnce)
{
    TestFacility f;
    Plane* floor = f.AddFloor(1);
    Vessel *a = f.AddVessel(floor, 10), *b = f.AddVessel(floor, 20), *c = f.AddVessel(floor, 30),
           *lone = f.AddVessel(floor, 40);
    f.Connect(a, b);
    f.Connect(b, c);
    EXPECT_EQ((std::vector<const void*>{b->GetConnectingVessel(0), b->GetConnectingVessel(1), b->GetConnectingVessel(2),
                                        b->GetConnectingVessel(-1), b->GetStreamByIndex(1), b->GetStreamByIndex(2),
                                        b->GetStreamByIndex(-1)}),
              (std::vector<const void*>{a, c, nullptr, nullptr, f.GetStreamByIndex(1), nullptr, nullptr}));
    // By index (a flows into b) and by vessel.
    EXPECT_EQ((std::vector<int>{b->IsInputVessel(0), b->IsOutputVessel(1), b->IsInputVessel(5), b->IsInputVessel(a),
                                b->IsOutputVessel(c), b->IsInputVessel(c), b->IsInputVessel(lone),
                                b->IsConnectingVessel(c), a->IsConnectingVessel(c)}),
              (std::vector<int>{1, 1, 0, 1, 1, 0, 0, 1, 0}));
    EXPECT_EQ((std::vector<bool>{a->IsLeftmostVessel(), a->IsRightmostVessel(), c->IsRightmostVessel(),
                                 b->IsLeftmostVessel(), lone->IsLeftmostVessel(), lone->IsRightmostVessel()}),
              (std::vector<bool>{true, false, true, false, false, false}));
    // Scores: a and c have one neighbour each, b two.
    EXPECT_EQ(b->GetConnectScore() * 10 + a->GetConnectScore(), 22);

    // A repeated pair is one neighbour; a stream that is not connecting registers twice and adds 2.
    f.Connect(a, b);
    EXPECT_EQ(a->GetNumStreams() * 10 + a->GetNumUniqueStreams(), 21);
    Stream *util = f.AddUtility(a), *feed = f.AddFeed(a);
    EXPECT_EQ(a->GetNumUniqueStreams() * 10 + a->GetNumInputAndOutputStreams(), 52);
    EXPECT_TRUE(a->GetUtilityStream() == util && a->GetInputStream() == feed);
    f.Connect(c, a); // a new neighbour
    EXPECT_EQ(a->GetNumStreams() * 10 + a->GetNumUniqueStreams(), 36);
}

TEST(VesselTest, AttachmentPointsStackConnectionsFeedsAndUtilities)
{
    TestFacility f;
    Plane* floor = f.AddFloor(1, 2.0);
    Vessel *a = f.AddVessel(floor, 10), *b = f.AddVessel(floor, 20);
    a->SetHeight(6.0);
    a->SetCoords(1.0, 1.0);
    Stream *s1 = f.Connect(a, b), *s2 = f.Connect(b, a), *feed = f.AddFeed(a), *util = f.AddUtility(a);
    // n = 2 process streams, h = 6, base 2: steps of 6 / 6 = 1; a stream that is not one of a's at the base.
    EXPECT_EQ((std::vector<double>{a->GetZ(s1), a->GetZ(s2), a->GetZ(feed), a->GetZ(util), a->GetZ(f.Connect(b, b)),
                                   a->GetZ(nullptr)}),
              (std::vector<double>{3.0, 4.0, 6.0, 7.0, 2.0, 0.0}));
    EXPECT_EQ((std::vector<double>{a->GetX(util), a->GetY(s1), a->GetY(util)}),
              (std::vector<double>{1.0, 1.0, 1.0 + 2.0 * a->GetRadius() / 3.0}));
}

// The wizard leaves a vessel that is placed, on another floor, hidden or without its connections shown. Active vessels
// show on hidden floors; an inventory is active while a stream of it flows, whatever its own flag.
TEST(VesselTest, VisibilityActivityAndTheVesselsTheWizardMustLeave)
{
    TestFacility f;
    Plane* floor = f.AddFloor(1);
    TestVessel* v = f.AddVessel(floor, 10, "R");
    TestVessel* inv = f.AddVessel(floor, 20, "T", "Inventory Location");
    Plane other;
    std::string left = std::to_string(v->PositionAssigned(floor)) + std::to_string(v->PositionAssigned(&other));
    for (int flag : {0, 1}) {
        v->SetShowConnections(flag);
        v->SetPositionFlag(flag);
        left += std::to_string(v->PositionAssigned(floor));
    }
    v->SetPositionFlag(0);
    floor->SetVisible(false);
    EXPECT_EQ(left + std::to_string(v->IsVisible()) + std::to_string(v->PositionAssigned(floor)), "011101");
    v->SetActiveForTest(1);
    inv->SetActiveForTest(1);
    EXPECT_EQ(v->IsVisible() * 10 + inv->IsActive(), 10);
    static_cast<test::TestStream*>(f.Connect(inv, v))->SetFlowingForTest(1);
    EXPECT_EQ(inv->IsActive() * 10 + inv->IsVisible(), 11);
    v->SetVisible(false);
    EXPECT_EQ(v->IsVisible() * 10 + v->ShowConnections(), 0);
}

TEST_F(VesselOnFloor, PropertiesByTimeHeatThenCoolThenNothing)
{
    // Operation texts are kept per (step, unit procedure, operation): each start gets its own operation identifier.
    const char* const types[] = {"Cool", "Heat", "React"};
    for (long k = 0; k < 3; ++k)
        v.GetProc()->AddNewProc(1, 1000 + k, 1, 1, 100.0 * k, 100.0 * (k + 1), "s", 0.5, "Cubic m", 300.0, 300.0, "K",
                                0.0, 0.0, "", "", "Step", "", types[k], types[k], "", "", -1, 0.0, "");
    // Heating, cooling, reacting, active and the shown colour after each time; from cooling straight to heating.
    std::string states;
    for (long t : {50, 150, 250, 400}) {
        v.SetPropertiesByTime(t);
        states += std::to_string(v.IsHeating()) + std::to_string(v.IsCooling()) + std::to_string(v.reactOn) +
                  std::to_string(v.IsActive()) + CString::Formatted(" %06X ", shown(v)).str();
    }
    EXPECT_EQ(states, "0101 7F7FFF 1001 FF7F00 0011 B2B2B2 0010 B2B2B2 ");
    EXPECT_EQ(v.GetCurrentTime(), 400);
    EXPECT_NEAR(v.GetVolume(), 0.5 / v.Capacity(), 1e-9); // the 0.5 cubic metres left, as a level
    v.SetVolume(0.0);
    v.SetVolumeByTime(400); // the level alone
    EXPECT_NEAR(v.GetVolume(), 0.5 / v.Capacity(), 1e-9);
}

// x1, y1, z1, x2, y2, z2 of the path; -99 where left unset.
std::vector<double> endpoints(Stream* s)
{
    std::vector<double> e(6, -99);
    static_cast<TestStream*>(s)->get_ves_coords(&e[0], &e[1], &e[2], &e[3], &e[4], &e[5]);
    return e;
}

// Names, radii, crossing floors and the other end of loaded streams are checked over the sample.
TEST(StreamTest, EndsDrawableRadiusStepsAndPathEndPoints)
{
    TestFacility f;
    Plane* two = f.AddFloor(2, 5.0);
    Plane* one = f.AddFloor(1);
    Vessel *a = f.AddVessel(one, 10, "A"), *b = f.AddVessel(one, 20, "B");
    Stream* vapor = f.AddVapor(a, b); // a process stream of both
    EXPECT_EQ(a->GetNumStreams() + b->GetNumStreams() + (a->GetVaporStream() == vapor) * 10, 12);
    // A feed holds its vessel but has no source.
    Stream* feed = f.AddFeed(a);
    EXPECT_EQ(feed->IsInputVessel(a) * 10 + feed->IsConnectingAndDrawable(), 10);

    Stream *same = f.Connect(a, b), *cross = f.Connect(a, f.AddVessel(two, 30, "C"));
    std::string drawable;
    for (auto hide : {+[](Vessel*, Plane*) {}, +[](Vessel*v, Plane*) { v->SetShowConnections(0); },
                      +[](Vessel*, Plane*p) { p->SetVisible(false); }}) {
        hide(b, two);
        drawable += std::to_string(same->IsConnectingAndDrawable()) + std::to_string(cross->IsConnectingAndDrawable());
    }
    EXPECT_EQ(drawable, "110100");

    // Radius steps of five per cent, a step that is not positive shrinks, not below a hundredth (0.009975 is refused).
    const std::array<double, 3> steps[] = {{1.0, 1.0, 1.05}, {1.0, 0.0, 0.95}, {0.0105, -1.0, 0.0105}};
    for (auto [from, by, to] : steps) {
        same->SetRadius(from);
        same->IncrementRadius(by);
        EXPECT_DOUBLE_EQ(same->GetRadius(), to);
    }

    // Path end points; a feed comes in along +Y, a vent rises.
    a->SetCoords(0.0, 0.0);
    b->SetCoords(4.0, 0.0);
    EXPECT_EQ(endpoints(same),
              (std::vector<double>{0.0, a->GetY(same), a->GetZ(same), 4.0, b->GetY(same), b->GetZ(same)}));
    const double y = a->GetY(feed), z = a->GetZ(feed);
    EXPECT_EQ(endpoints(feed), (std::vector<double>{0.0, y - 2.0, z, 0.0, y, z}));
    Stream* vent = f.AddVapor(a, nullptr);
    const double vx = a->GetX(vent), vy = a->GetY(vent), vz = a->GetZ(vent);
    EXPECT_EQ(endpoints(vent), (std::vector<double>{vx, vy, vz, vx, vy, vz + 2.0}));
    TestStream unset; // no vessels: outputs left as they were
    EXPECT_EQ(endpoints(&unset), std::vector<double>(6, -99));
}

TEST(StreamTest, RowIdentifiersOfZeroBecomeMinusOne)
{
    CDaoStreamSet row;
    std::tie(row.m_StreamID, row.m_FromEquipmentID, row.m_ToEquipmentID) = std::tuple{42, 0, 7};
    Vessel v;
    Stream s(&row, &v, &v, Stream::Output);
    EXPECT_EQ((std::vector<long>{s.GetID(), s.GetFromID(), s.GetToID()}), (std::vector<long>{42, -1, 7}));
}

class BoundaryPlane : public Plane {
public:
    using Plane::set_boundaries;
    void SetCorners(double x1, double x2, double y1, double y2)
    {
        m_cornerX = x1;
        m_corner2X = x2;
        m_cornerY = y1;
        m_corner2Y = y2;
    }
    std::vector<double> Corners() const { return {GetCornerX(), GetCorner2X(), GetCornerY(), GetCorner2Y()}; }
};

TEST(PlaneTest, BoundariesFitTheCentreAndShownVesselsAndWithinIsStrict)
{
    // Vessels of radius 0.5 at {x, y, shown} from the centre; the corners x1, x2, y1, y2 and the grid count (the longer
    // side / 5, at least 1).
    const struct {
        double centreX, centreY;
        std::vector<std::vector<double>> vessels;
        std::vector<double> corners;
        int grid;
    } cases[] = {{3.0, -1.0, {}, {2.0, 4.0, -2.0, 0.0}, 1},
                 {0.0, 0.0, {{0.0, 0.0, 1}, {22.6, 8.0, 1}, {100.0, 100.0, 0}}, {-1.5, 24.1, -1.5, 9.5}, 5},
                 {5.0, 5.0, {{1.0, 9.0, 1}}, {4.0, 7.5, 4.0, 15.5}, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.vessels.size());
        BoundaryPlane p;
        std::vector<Vessel> vessels(c.vessels.size());
        for (std::size_t k = 0; k < vessels.size(); ++k) {
            vessels[k].Init(&p);
            vessels[k].SetCoords(c.vessels[k][0], c.vessels[k][1]);
            vessels[k].SetVisible(c.vessels[k][2] != 0.0);
        }
        p.SetCenterX(c.centreX);
        p.SetCenterY(c.centreY);
        p.set_boundaries();
        const std::vector<double> got = p.Corners();
        for (std::size_t k = 0; k < 4; ++k)
            EXPECT_NEAR(got[k], c.corners[k], 1e-9) << k;
        EXPECT_EQ(p.GetGridCount(), c.grid);
    }
    // Re-centring: the first fit spans X -1 .. 7.5 and Y -1 .. 5.5 (the centre is always inside), so the centre moves
    // by (-3.25, -2.25).
    BoundaryPlane p;
    Vessel a, b;
    a.Init(&p);
    a.SetCoords(2.0, 2.0);
    b.Init(&p);
    b.SetCoords(6.0, 4.0);
    p.ReCenter();
    EXPECT_EQ((std::vector<double>{p.GetCenterX(), p.GetCenterY(), a.GetX(), b.GetY()}),
              (std::vector<double>{-3.25, -2.25, -1.25, 1.75}));
    EXPECT_EQ(p.Corners(), (std::vector<double>{-4.25, 4.25, -3.25, 3.25}));

    // Within is strict; {position, margin, inside}, the same answers with the larger corner first.
    const std::tuple<double, double, int> within[] = {{0.0, 0.0, 0}, {10.0, 0.0, 0}, {9.5, 1.0, 0},
                                                      {8.5, 1.0, 1}, {0.5, 0.0, 1},  {10.5, 0.0, 0}};
    for (double low : {0.0, 10.0}) {
        p.SetCorners(low, 10.0 - low, low, 10.0 - low);
        for (auto [at, margin, inside] : within) {
            SCOPED_TRACE(testing::Message() << "x1 " << low << " at " << at << " margin " << margin);
            EXPECT_EQ(p.WithinX(at, margin) * 10 + p.WithinY(at, margin), inside * 11);
            EXPECT_EQ(margin == 0.0 ? p.WithinX(at) * 10 + p.WithinY(at) : inside * 11, inside * 11);
        }
    }
}

TEST(PlaneTest, VesselRegistryPlantTallestVesselZoomPlacementAndShifts)
{
    Plane p(2.0, 1.0);
    test::TestVessel a, b;
    a.Init(&p);
    b.Init(&p);
    // The plant comes from the first vessel and is kept once it leaves.
    a.SetIdentity(1, "Reactor", "R-1", 7, "North");
    EXPECT_EQ(p.GetPlantName() + CString::Formatted(" %d", p.GetPlantID()), CString("North 7"));
    b.SetHeight(3.5);
    b.SetVisible(false); // visibility does not matter here
    Vessel stranger;
    EXPECT_EQ((std::vector<double>{p.GetTallestVesselHeight(), double(p.GetVesselIndex(&b)), double(p.FindVessel(&a)),
                                   double(p.FindVessel(&stranger)), double(p.GetVesselIndex(&stranger))}),
              (std::vector<double>{5.5, 1, 1, 0, -1}));
    EXPECT_EQ(p.GetVesselByIndex(2), nullptr);
    a.SetCoords(1.0, -2.0);
    p.Zoom(2.0);
    EXPECT_EQ((std::vector<double>{a.GetRelX(), a.GetRelY()}), (std::vector<double>{2.0, -4.0}));
    a.SetPositionFlag(1);
    b.SetPositionFlag(1);
    b.EnableHighlight();
    p.ClearSelectedVesselPlacement();
    EXPECT_EQ(a.GetPositionFlag() * 10 + b.GetPositionFlag(), 10);
    p.ClearVesselPlacement();
    EXPECT_EQ(a.GetPositionFlag(), 0);
    p.UnRegisterVessel(&a);
    p.UnRegisterVessel(&b);
    EXPECT_EQ(p.GetPlantName() + CString::Formatted(" %d %d", p.GetPlantID(), p.IsEmpty()), CString("North 7 1"));

    // A shift moves the height, or the rectangle by a fiftieth.
    Plane q;
    q.IncrementCoords(5.0);
    q.IncrementCoords(50.0, -100.0);
    EXPECT_EQ((std::vector<double>{q.GetHeight(), q.GetCenterX(), q.GetCenterY(), q.GetCornerX(), q.GetCorner2Y()}),
              (std::vector<double>{0.1, 1.0, -2.0, 1.0, -2.0}));
}

} // namespace
} // namespace batchplant
