#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ModelFixtures.h"
#include "batchplant/model/LayeredColour.h"
#include "batchplant/procedure/CProcedure.h"

namespace batchplant {
namespace {

using test::TestFacility;
using test::TestVessel;

double cylinderVolume(const Vessel& v) { return 3.14159265359 * v.GetRadius() * v.GetRadius() * v.GetHeight(); }

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

TEST_F(VesselOnFloor, InitSizesRegistersAndRunsBothHooksOnce)
{
    EXPECT_EQ(v.preInitCalls * 10 + v.initCalls, 11);
    EXPECT_EQ((std::vector<double>{double(floor.FindVessel(&v)), v.GetRadius(), v.GetHeight(), v.GetZ(),
                                   double(v.GetFloorID()), v.Capacity()}),
              (std::vector<double>{1, 0.5, 1.0, 3.0, double(floor.GetID()), 0.7853981633975}));
    Plane other;
    v.SwitchFloor(&other);
    v.SwitchFloor(&other); // same floor: no second registration
    EXPECT_EQ(floor.FindVessel(&v) * 10 + other.GetNumVessels(), 1);
    EXPECT_EQ(v.GetFloor(), &other);

    Vessel lone;
    lone.Init(nullptr);
    lone.SetCoords(2.0, 3.0);
    EXPECT_DOUBLE_EQ(lone.GetX() + lone.GetZ(), 2.0); // relative, at height 0
    EXPECT_EQ(lone.GetFloorID() * 10 + lone.IsVisible(), -10);
    EXPECT_TRUE(lone.GetFloorName().IsEmpty() && lone.GetFullName().IsEmpty()); // no class, no name
}

TEST_F(VesselOnFloor, SizeFollowsCapacityAtUnchangedProportions)
{
    // A radius or height at or below a tenth is refused.
    v.ChangeSize(-50.0, 0.0); // 0.5 - 0.5
    v.ChangeSize(0.0, -95.0); // 1.0 - 0.95
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

// Temporary colours in any order: S/s select on/off, T toggle, H/h heat,
// C/c cool, p paints 0x0A141E, g sets 0x00FF00, v hides. After each step the
// shown colour, with the object's own colour in brackets where it differs
// (it does while selected); then the selected, heating and cooling flags.
TEST_F(VesselOnFloor, TemporaryColoursComeBackInAnyOrder)
{
    const std::pair<const char*, const char*> cases[] = {
        {"HCch", "FF7F00 7F7FFF FF7F00 B2B2B2 000"},
        {"CHch", "7F7FFF FF7F00 FF7F00 B2B2B2 000"}, // cooling ends while heating runs
        {"SHsh", "FF0000(B2B2B2) FF7F00(B2B2B2) FF7F00 B2B2B2 000"},
        {"HShs", "FF7F00 FF0000(FF7F00) FF0000(B2B2B2) B2B2B2 000"}, // red on top of orange
        // Selecting twice keeps the saved colour; painting while selected
        // changes only that.
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
            char step[24];
            std::snprintf(step, sizeof step, shown(w) == w.GetColor() ? "%06X " : "%06X(%06X) ", shown(w),
                          w.GetColor());
            got += step;
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
    v.SetCurrentCol(-1, 0, 0);
    v.SetCurrentCol(0, 0, 1000);
    v.SetColor(-1); // splits into negative components
    EXPECT_EQ(v.GetColor(), 0xFF8000);
    v.SetCurrentCol(0, 0, 255);
    EXPECT_EQ(v.GetColor(), 0x0000FF);
    v.SetLabelColor(0x010203);
    v.SetLabelColor(1, -5, 3);
    v.SetLabelColor(1, 2, 256);
    EXPECT_EQ(v.GetLabelColor(), 0x010203);
}

TEST(VesselTest, NeighboursFollowStreamDirectionAndCountOnce)
{
    TestFacility f;
    Plane* floor = f.AddFloor(1);
    Vessel* a = f.AddVessel(floor, 10, "A");
    Vessel* b = f.AddVessel(floor, 20, "B");
    Vessel* c = f.AddVessel(floor, 30, "C");
    Vessel* lone = f.AddVessel(floor, 40, "L");
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

    // A repeated pair is one neighbour; a stream that is not connecting
    // registers twice and adds 2.
    f.Connect(a, b);
    EXPECT_EQ(a->GetNumStreams() * 10 + a->GetNumUniqueStreams(), 21);
    Stream* util = f.AddUtility(a);
    EXPECT_EQ(a->GetNumUniqueStreams() * 10 + a->GetNumInputAndOutputStreams(), 30);
    EXPECT_EQ(a->GetUtilityStream(), util);
    Stream* feed = f.AddFeed(a);
    EXPECT_EQ(a->GetNumUniqueStreams() * 10 + a->GetNumInputAndOutputStreams(), 52);
    EXPECT_EQ(a->GetInputStream(), feed);
    f.Connect(c, a); // a new neighbour
    EXPECT_EQ(a->GetNumStreams() * 10 + a->GetNumUniqueStreams(), 36);
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
    // n = 2 process streams, h = 6, base 2: steps of 6 / 6 = 1; a stream
    // that is not one of a's at the base.
    EXPECT_EQ((std::vector<double>{a->GetZ(s1), a->GetZ(s2), a->GetZ(feed), a->GetZ(util), a->GetZ(f.Connect(b, b)),
                                   a->GetZ(nullptr)}),
              (std::vector<double>{3.0, 4.0, 6.0, 7.0, 2.0, 0.0}));
    EXPECT_EQ((std::vector<double>{a->GetX(util), a->GetY(s1), a->GetY(util)}),
              (std::vector<double>{1.0, 1.0, 1.0 + 2.0 * a->GetRadius() / 3.0}));
}

// The wizard leaves a vessel that is placed, on another floor, hidden or
// without its connections shown. Active vessels show on hidden floors; an
// inventory is active while a stream of it flows, whatever its own flag.
TEST(VesselTest, VisibilityActivityAndTheVesselsTheWizardMustLeave)
{
    TestFacility f;
    Plane* floor = f.AddFloor(1);
    TestVessel* v = f.AddVessel(floor, 10, "R");
    TestVessel* inv = f.AddVessel(floor, 20, "T", "Inventory Location");
    Plane other;
    EXPECT_EQ(v->PositionAssigned(floor) * 10 + v->PositionAssigned(&other), 1);
    v->SetShowConnections(0);
    EXPECT_EQ(v->PositionAssigned(floor), 1);
    v->SetShowConnections(1);
    v->SetPositionFlag(1);
    EXPECT_EQ(v->PositionAssigned(floor), 1);
    v->SetPositionFlag(0);
    floor->SetVisible(false);
    EXPECT_EQ(v->IsVisible() * 10 + v->PositionAssigned(floor), 1);
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
    // Operation texts are kept per (step, unit procedure, operation): each
    // start gets its own operation identifier.
    const char* const types[] = {"Cool", "Heat", "React"};
    for (long k = 0; k < 3; ++k)
        v.GetProc()->AddNewProc(1, 1000 + k, 1, 1, 100.0 * k, 100.0 * (k + 1), "s", 0.5, "Cubic m", 300.0, 300.0, "K",
                                0.0, 0.0, "", "", "Step", "", types[k], types[k], "", "", -1, 0.0, "");
    v.SetPropertiesByTime(50);
    EXPECT_EQ(v.IsCooling() * 10 + v.IsActive(), 11);
    v.SetPropertiesByTime(150); // straight from cooling to heating
    EXPECT_EQ(v.IsHeating() * 10 + v.IsCooling(), 10);
    EXPECT_EQ(shown(v), 0xFF7F00);
    v.SetPropertiesByTime(250);
    EXPECT_EQ(v.IsHeating() * 10 + (v.reactOn > 0), 1);
    EXPECT_EQ(shown(v), 0xB2B2B2);
    v.SetPropertiesByTime(400);
    EXPECT_EQ(v.IsActive(), 0);
    EXPECT_NEAR(v.GetVolume(), 0.5 / v.Capacity(), 1e-9); // the 0.5 cubic metres left, as a level
    v.SetVolume(0.0);
    v.SetVolumeByTime(400); // the level alone
    EXPECT_NEAR(v.GetVolume(), 0.5 / v.Capacity(), 1e-9);
    EXPECT_EQ(v.GetCurrentTime(), 400);
}

} // namespace
} // namespace batchplant
