// The layout wizard on small hand-built floors: the directions and
// positions of a tree grown from the centre, collisions with directions
// already taken, vessels it must leave alone, islands it cannot reach, the
// limits of its lists, and the inventory question.

#include <gtest/gtest.h>

#include <cmath>

#include "LayoutFixtures.h"
#include "TestSupport.h"

namespace batchplant::test {
namespace {

constexpr double kSin30 = 0.5;
constexpr double kCos30 = 0.86602540378;

void expectAt(const Vessel* v, double x, double y)
{
    EXPECT_NEAR(v->GetRelX(), x, 1e-9) << v->GetName().str();
    EXPECT_NEAR(v->GetRelY(), y, 1e-9) << v->GetName().str();
}

TEST(AngleHelpers, NormaliseAndCollide)
{
    EXPECT_DOUBLE_EQ(NormaliseAngle(-30.0), 330.0);
    EXPECT_DOUBLE_EQ(NormaliseAngle(0.0), 360.0);
    EXPECT_DOUBLE_EQ(NormaliseAngle(0.02), 0.02);
    EXPECT_DOUBLE_EQ(NormaliseAngle(360.0), 360.0);
    EXPECT_DOUBLE_EQ(NormaliseAngle(390.0), 30.0);
    EXPECT_DOUBLE_EQ(NormaliseAngle(-750.0), 330.0);
    EXPECT_TRUE(std::isnan(NormaliseAngle(std::nan(""))));

    EXPECT_EQ(AnglesCollide(180.0, 181.99), 1);
    EXPECT_EQ(AnglesCollide(180.0, 178.01), 1);
    EXPECT_EQ(AnglesCollide(180.0, 182.0), 0);
    EXPECT_EQ(AnglesCollide(180.0, 178.0), 0);

    AngleRecord record;
    for (int k = 0; k < AngleRecord::kMaxAngles; ++k)
        EXPECT_EQ(record.Add(k * 5.0 + 1.0, 1), 1);
    EXPECT_EQ(record.Add(359.0, 1), 0) << "a full record takes no more";
    EXPECT_EQ(record.count, AngleRecord::kMaxAngles);
    EXPECT_EQ(record.Collides(2.5), 1);
    EXPECT_EQ(record.Collides(359.0), 0);
}

TEST(LayoutWizard, OneOutgoingChildStandsAlongY)
{
    LayoutFacility f;
    Plane* p = f.AddFloor(1);
    Vessel* parent = f.AddVessel(p, 1, "P");
    Vessel* child = f.AddVessel(p, 2, "C");
    f.Connect(parent, child);
    parent->SetCoords(5.0, 5.0);
    child->SetCoords(-3.0, 7.0);

    f.InstallRecords();
    EXPECT_EQ(f.SetCenter(p), 0);
    EXPECT_DOUBLE_EQ(parent->GetRelX(), 0.0);
    EXPECT_DOUBLE_EQ(parent->GetRelY(), 0.0);
    f.PlaceChildVessels(0, 1, p);

    expectAt(child, 0.0, 2.0); // (0.5 + 0.5) x (1 + 1)
    EXPECT_EQ(child->GetPositionFlag(), 1);
    ASSERT_EQ(f.Record(0).count, 1);
    EXPECT_DOUBLE_EQ(f.Record(0).angles[0], 360.0); // 0 normalised
    EXPECT_EQ(f.Record(0).tags[0], 1);
    ASSERT_EQ(f.Record(1).count, 1);
    EXPECT_NEAR(f.Record(1).angles[0], 180.0, 1e-9); // back towards the parent
    EXPECT_EQ(f.Record(1).tags[0], 1);
}

TEST(LayoutWizard, TwoEqualChildrenSpreadSixtyDegreesApart)
{
    LayoutFacility f;
    Plane* p = f.AddFloor(1);
    Vessel* parent = f.AddVessel(p, 1, "P");
    Vessel* a = f.AddVessel(p, 2, "A");
    Vessel* b = f.AddVessel(p, 3, "B");
    f.Connect(parent, a, 1);
    f.Connect(parent, b, 2);

    f.LayoutFloor(p);
    const double d = 2.0;
    expectAt(a, -d * kSin30, d * kCos30);
    expectAt(b, d * kSin30, d * kCos30);
    EXPECT_TRUE(f.RecordsReleased());
    EXPECT_EQ(f.IsModified(), 1);
}

// P feeds C and D; F feeds C. P and C both have two neighbours and score 3,
// so P (first) is the centre; C outranks D and goes first, straight up and
// farther out; D then avoids the direction C took; C puts F on its feed
// side, avoiding the direction back to P.
TEST(LayoutWizard, LaterPassesAndChildrenAvoidTakenDirections)
{
    LayoutFacility f;
    Plane* p = f.AddFloor(1);
    Vessel* P = f.AddVessel(p, 1, "P");
    Vessel* C = f.AddVessel(p, 2, "C");
    Vessel* D = f.AddVessel(p, 3, "D");
    Vessel* F = f.AddVessel(p, 4, "F");
    f.Connect(P, C, 1);
    f.Connect(P, D, 2);
    f.Connect(F, C, 3);

    f.LayoutFloor(p);
    EXPECT_DOUBLE_EQ(P->GetRelX(), 0.0);
    EXPECT_DOUBLE_EQ(P->GetRelY(), 0.0);
    // C: angle 0, distance (0.5 + 0.5) x (2 + 1).
    expectAt(C, 0.0, 3.0);
    // D: 0 collides with C's direction, so m = 2 gives -30 and 30; -30 first.
    expectAt(D, -2.0 * kSin30, 2.0 * kCos30);
    // F: 180 collides with the way back to P; m = 2 gives 150.
    expectAt(F, 2.0 * kSin30, 3.0 - 2.0 * kCos30);
    for (Vessel* v : {P, C, D, F})
        EXPECT_EQ(v->GetPositionFlag(), 1);
}

TEST(LayoutWizard, AngleListTakesFreeDirectionsAndRecordsThem)
{
    LayoutFacility f;
    Plane* p = f.AddFloor(1);
    f.AddVessel(p, 1);
    f.InstallRecords();
    f.Record(0).Add(180.0, 1);

    double out[4] = {};
    ASSERT_EQ(f.GetAngleList(0, 7, out, 1, Facility::Incoming), out);
    EXPECT_NEAR(out[0], 150.0, 1e-9);
    ASSERT_EQ(f.Record(0).count, 2);
    EXPECT_NEAR(f.Record(0).angles[1], 150.0, 1e-9);
    EXPECT_EQ(f.Record(0).tags[1], 7);

    // Outgoing directions come back unnormalised, recorded normalised.
    ASSERT_EQ(f.GetAngleList(0, 2, out, 2, Facility::Outgoing), out);
    EXPECT_NEAR(out[0], -30.0, 1e-9);
    EXPECT_NEAR(out[1], 30.0, 1e-9);
    EXPECT_NEAR(f.Record(0).angles[2], 330.0, 1e-9);
}

TEST(LayoutWizard, AngleListFailureIsReported)
{
    MessageRecorder messages;
    LayoutFacility f;
    Plane* p = f.AddFloor(1);
    f.AddVessel(p, 1);
    f.InstallRecords();
    // Every 2.5 degrees from -90 to 90 is taken (the record holds 64): no
    // candidate with fewer than 128 directions is free.
    for (int k = 0; k < AngleRecord::kMaxAngles; ++k)
        f.Record(0).Add(NormaliseAngle(-88.5 + k * 2.8), 1);
    double out[2] = {};
    EXPECT_EQ(f.GetAngleList(0, 1, out, 1, Facility::Outgoing), nullptr);
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Error: GetAngleList failed\n"});
    EXPECT_EQ(f.Record(0).count, AngleRecord::kMaxAngles);

    // More than a list can hold is refused the same way, never written.
    double big[70] = {};
    EXPECT_EQ(f.GetAngleList(0, 1, big, 70, Facility::Incoming), nullptr);
    EXPECT_EQ(messages.count(), 2u);
}

TEST(LayoutWizard, CentreIsTheMostConnectedThenBestScored)
{
    LayoutFacility f;
    Plane* p = f.AddFloor(1);
    // X: two leaves, score 2. Y: a leaf and Z (itself with two neighbours),
    // score 3. Both have two neighbours; Y wins on score though X is first.
    Vessel* X = f.AddVessel(p, 1, "X");
    Vessel* Y = f.AddVessel(p, 2, "Y");
    Vessel* Z = f.AddVessel(p, 3, "Z");
    f.Connect(X, f.AddVessel(p, 4), 1);
    f.Connect(X, f.AddVessel(p, 5), 2);
    f.Connect(Y, f.AddVessel(p, 6), 3);
    f.Connect(Y, Z, 4);
    f.Connect(Z, f.AddVessel(p, 7), 5);
    Y->SetCoords(4.0, 4.0);
    EXPECT_EQ(f.SetCenter(p), f.IndexOf(Y));
    EXPECT_EQ(Y->GetPositionFlag(), 1);
    EXPECT_DOUBLE_EQ(Y->GetRelX(), 0.0);
    EXPECT_EQ(X->GetPositionFlag(), 0);

    Plane* empty = f.AddFloor(2);
    EXPECT_EQ(f.SetCenter(empty), -1);
    f.CalculateLayout(empty); // nothing to place, nothing happens
    EXPECT_TRUE(f.RecordsReleased());
}

TEST(LayoutWizard, VesselsItMustLeaveAloneAreNotMoved)
{
    LayoutFacility f;
    Plane* p = f.AddFloor(1);
    Plane* other = f.AddFloor(2, 5.0);
    Vessel* centre = f.AddVessel(p, 1, "P");
    Vessel* hidden = f.AddVessel(p, 2, "H");
    Vessel* elsewhere = f.AddVessel(other, 3, "O");
    Vessel* noLinks = f.AddVessel(p, 4, "N");
    Vessel* placed = f.AddVessel(p, 5, "A");
    Vessel* normal = f.AddVessel(p, 6, "C");
    int id = 1;
    for (Vessel* v : {hidden, elsewhere, noLinks, placed, normal})
        f.Connect(centre, v, id++);
    hidden->SetVisible(false);
    noLinks->SetShowConnections(0);
    placed->SetPositionFlag(1);
    const double spots[4][2] = {{11, 12}, {21, 22}, {31, 32}, {41, 42}};
    Vessel* untouched[4] = {hidden, elsewhere, noLinks, placed};
    for (int k = 0; k < 4; ++k)
        untouched[k]->SetCoords(spots[k][0], spots[k][1]);
    normal->SetCoords(50, 50);

    f.CalculateLayout(p);
    for (int k = 0; k < 4; ++k) {
        EXPECT_DOUBLE_EQ(untouched[k]->GetRelX(), spots[k][0]) << k;
        EXPECT_DOUBLE_EQ(untouched[k]->GetRelY(), spots[k][1]) << k;
    }
    EXPECT_EQ(hidden->GetPositionFlag(), 0);
    EXPECT_EQ(normal->GetPositionFlag(), 1);
    // The one candidate child goes straight up: (0.5 + 0.5) x (1 + 1).
    expectAt(normal, 0.0, 2.0);
}

TEST(LayoutWizard, IslandsStayUnplacedAndCanBeSelected)
{
    LayoutFacility f;
    Plane* p = f.AddFloor(1);
    Vessel* a = f.AddVessel(p, 1, "A");
    Vessel* b = f.AddVessel(p, 2, "B");
    Vessel* c = f.AddVessel(p, 3, "C");
    Vessel* d = f.AddVessel(p, 4, "D");
    Vessel* e = f.AddVessel(p, 5, "E");
    f.Connect(a, b, 1);
    f.Connect(a, e, 2);
    f.Connect(c, d, 3);
    c->SetCoords(7.0, 8.0);

    f.LayoutFloor(p);
    EXPECT_EQ(a->GetPositionFlag(), 1);
    EXPECT_EQ(b->GetPositionFlag(), 1);
    EXPECT_EQ(e->GetPositionFlag(), 1);
    EXPECT_EQ(c->GetPositionFlag(), 0);
    EXPECT_EQ(d->GetPositionFlag(), 0);
    EXPECT_DOUBLE_EQ(c->GetRelX(), 7.0);

    RecordingControl control;
    f.SetThreeDAnimCtrlCtrl(&control);
    f.SelectUnplacedVessels(p);
    EXPECT_EQ(c->IsSelected(), 1);
    EXPECT_EQ(d->IsSelected(), 1);
    EXPECT_EQ(a->IsSelected(), 0);
    EXPECT_EQ(f.VesselSelected(), 1);
    EXPECT_FALSE(control.events.empty());

    // A second run without clearing keeps the first group and lays out the
    // island from a centre of its own.
    f.CalculateLayout(p);
    EXPECT_EQ(c->GetPositionFlag(), 1);
    EXPECT_EQ(d->GetPositionFlag(), 1);
    EXPECT_NEAR(distance(c, d), 2.0, 1e-9);
}

TEST(LayoutWizard, LowerRankedNeighbourWithoutRoomEndsTheRun)
{
    MessageRecorder messages;
    LayoutFacility f;
    Plane* p = f.AddFloor(1);
    Vessel* hub = f.AddVessel(p, 1, "Hub");
    std::vector<Vessel*> children;
    for (int k = 0; k < AngleRecord::kMaxAngles; ++k) {
        Vessel* c = f.AddVessel(p, 10 + k);
        f.Connect(hub, c, 100 + k);
        f.AddFeed(c, 200 + k); // ranks them above the last child
        children.push_back(c);
    }
    Vessel* last = f.AddVessel(p, 99, "Last");
    f.Connect(hub, last, 99);
    last->SetCoords(-9.0, -9.0);

    f.LayoutFloor(p); // must return although `last` finds no direction
    for (Vessel* c : children)
        EXPECT_EQ(c->GetPositionFlag(), 1);
    EXPECT_EQ(last->GetPositionFlag(), 0);
    EXPECT_DOUBLE_EQ(last->GetRelX(), -9.0);
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Error: GetAngleList failed\n"});
    // Siblings stand more than 2 degrees apart, seen from the hub.
    auto direction = [](const Vessel* v) { return std::atan2(v->GetRelX(), v->GetRelY()) * 180.0 / 3.14159265359; };
    for (std::size_t k = 1; k < children.size(); ++k)
        EXPECT_GT(direction(children[k]) - direction(children[k - 1]), 2.0) << k;
}

TEST(LayoutWizard, MoreEqualNeighboursThanAListHolds)
{
    MessageRecorder messages;
    LayoutFacility f;
    Plane* p = f.AddFloor(1);
    Vessel* hub = f.AddVessel(p, 1, "Hub");
    std::vector<Vessel*> children;
    for (int k = 0; k < 70; ++k) {
        children.push_back(f.AddVessel(p, 10 + k));
        f.Connect(hub, children.back(), 100 + k);
    }
    f.LayoutFloor(p);
    int placed = 0;
    for (std::size_t k = 0; k < children.size(); ++k) {
        placed += children[k]->GetPositionFlag();
        if (k < 64) {
            EXPECT_EQ(children[k]->GetPositionFlag(), 1) << k;
        }
    }
    EXPECT_EQ(placed, 64);
    EXPECT_EQ(messages.count(), 1u);
}

TEST(LayoutWizard, NullFloorAndOutOfRangeIndicesAreHarmless)
{
    LayoutFacility f;
    Plane* p = f.AddFloor(1);
    Vessel* v = f.AddVessel(p, 1);
    v->SetCoords(3.0, 4.0);
    f.LayoutFloor(nullptr);
    EXPECT_EQ(f.IsModified(), 0);
    f.PlaceChildVessels(-1, 1, p);
    f.PlaceChildVessels(5, 1, p);
    EXPECT_EQ(f.AllChildVesselsAssigned(5, p), 1);
    int streams[1] = {0};
    f.AssignVesselPosition(1, streams, 7, 1, Facility::Outgoing);
    f.AssignVesselPosition(1, streams, 0, 1, Facility::Outgoing); // no stream 0
    EXPECT_DOUBLE_EQ(v->GetRelX(), 3.0);
    EXPECT_DOUBLE_EQ(v->GetRelY(), 4.0);
}

// A reactor fed by an inventory location that also feeds two more: the
// wizard offers to hide such locations, on a single floor only, and lays out
// again if the user agrees.
TEST(InventoryQuestion, AskedOnOneFloorForInventoryLocationsAndFollowed)
{
    const struct {
        int floors;
        const char* cls;
        int answer;
        bool asked, hidden;
    } cases[] = {{1, "inventory LOCATION", IDYES, true, true},
                 {1, "inventory LOCATION", IDNO, true, false},
                 {2, "inventory LOCATION", IDYES, false, false},
                 {1, "Inventory Tank", IDYES, false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.floors << " floor(s), " << c.cls << ", answer " << c.answer);
        MessageRecorder messages(c.answer);
        LayoutFacility f;
        Plane* p = f.AddFloor(1);
        for (int k = 1; k < c.floors; ++k)
            f.AddFloor(1 + k, 3.0 * k);
        Vessel* inventory = f.AddVessel(p, 1, "INV", c.cls);
        Vessel* r1 = f.AddVessel(p, 2, "R1");
        Vessel* r2 = f.AddVessel(p, 3, "R2");
        f.Connect(inventory, r1, 1);
        f.Connect(inventory, r2, 2);
        f.Connect(inventory, f.AddVessel(p, 4, "R3"), 3);
        f.Connect(r1, r2, 4);
        f.MoveInventoryLocations();
        ASSERT_EQ(messages.count(), c.asked ? 1u : 0u);
        if (c.asked) {
            EXPECT_EQ(messages.texts()[0], "The Layout Wizard has determined that you have one or more\n"
                                           "Inventory Locations with multiple connections which may affect\n"
                                           "the quality of the layout.\n\n"
                                           "Would you like to hide these Inventory Locations ?");
            EXPECT_EQ(messages.types()[0] & MB_TYPEMASK, static_cast<unsigned>(MB_YESNO));
        }
        EXPECT_EQ(inventory->IsVisible(), !c.hidden);
        EXPECT_EQ(r1->GetPositionFlag(), c.hidden ? 1 : 0);
        if (c.hidden) {
            EXPECT_DOUBLE_EQ(r1->GetRelX(), 0.0); // R1 is now the centre
        }
    }
}

} // namespace
} // namespace batchplant::test
