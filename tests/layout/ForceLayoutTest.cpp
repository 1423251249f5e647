// The force-directed arrangement: the two-vessel example worked by hand,
// the move limit, pinned and hidden vessels, the distance windows of
// attraction and repulsion, orders of 0 and below, and the connected-group
// crawl.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "LayoutFixtures.h"

namespace batchplant::test {
namespace {

// (pi/4)^(1/3) squared: the capacity factor of two default vessels.
const double kCapacityFactor = std::pow(0.7853981633975, 2 * 0.3333333);

struct TwoVessels : ::testing::Test {
    LayoutFacility f;
    ForcePlane* p = f.AddForceFloor(1);
    Vessel* v = f.AddVessel(p, 1, "V");
    Vessel* u = f.AddVessel(p, 2, "U");
    void SetUp() override { u->SetCoords(2.0, 0.0); }
    double repulsionAt(double d)
    {
        u->SetCoords(d, 0.0);
        return p->getRepulsiveForce(v).x;
    }
};

TEST_F(TwoVessels, ConnectedPairMovesAsWorkedByHand)
{
    f.Connect(v, u);
    EXPECT_NEAR(p->getAttractiveForce(v).x, -0.08, 1e-12); // 2^3 / 100 towards u
    EXPECT_NEAR(p->getAttractiveForce(v).y, 0.0, 1e-12);
    EXPECT_NEAR(p->getRepulsiveForce(v).x, kCapacityFactor / 4.0, 1e-12); // / 2^2 / 2 x 2
    EXPECT_NEAR(p->getRepulsiveForce(v).x, 0.2128, 1e-4);
    EXPECT_NEAR(p->getLeftRightForce(v).y, 5.0, 1e-12);  // one product, 10 / 2
    EXPECT_NEAR(p->getLeftRightForce(u).y, -5.0, 1e-12); // one feed

    p->DistributeVessels();
    EXPECT_NEAR(v->GetForceVector().x, 0.1328, 1e-4);
    EXPECT_NEAR(u->GetForceVector().x, -0.1328, 1e-4);
    EXPECT_NEAR(u->GetForceVector().y, -5.0, 1e-12);
    EXPECT_DOUBLE_EQ(v->GetRelX(), 0.0) << "distributing moves nothing";
    p->MoveVesselsByForce();
    EXPECT_NEAR(v->GetRelX(), -0.0266, 1e-4);
    EXPECT_NEAR(v->GetRelY(), -1.0, 1e-12);
    EXPECT_NEAR(u->GetRelX(), 2.0266, 1e-4);
    EXPECT_NEAR(u->GetRelY(), 1.0, 1e-12);

    // A pinned vessel stays but still pulls and pushes, and gets a request.
    v->SetCoords(0.0, 0.0);
    u->SetCoords(2.0, 0.0);
    v->SetPin(1);
    p->DistributeVessels();
    p->MoveVesselsByForce();
    EXPECT_DOUBLE_EQ(v->GetRelX() + v->GetRelY(), 0.0);
    EXPECT_NEAR(v->GetForceVector().y, 5.0, 1e-12);
    EXPECT_NEAR(u->GetRelX(), 2.0266, 1e-4);
    EXPECT_NEAR(u->GetRelY(), 1.0, 1e-12);
}

TEST_F(TwoVessels, TheSelectedFloorIteratesAndEveryFloorIsDistributed)
{
    f.Connect(v, u);
    f.IncrementVesselPositions(); // the only floor is the visible one
    EXPECT_NEAR(v->GetRelX(), -0.0266, 1e-4);
    EXPECT_NEAR(u->GetRelY(), 1.0, 1e-12);
    // With two visible floors and none selected nothing moves.
    ForcePlane* q = f.AddForceFloor(2);
    Vessel* a = f.AddVessel(q, 3);
    f.AddVessel(q, 4)->SetCoords(1.0, 0.0);
    f.IncrementVesselPositions();
    EXPECT_NEAR(u->GetRelY(), 1.0, 1e-12);
    p->EnableHighlight();
    f.IncrementVesselPositions();
    EXPECT_GT(u->GetRelY(), 1.0);

    const double before = u->GetRelX();
    f.DistributeSelectedFloor(); // computes every floor without moving
    EXPECT_NE(a->GetForceVector().x, 0.0);
    EXPECT_DOUBLE_EQ(a->GetRelX(), 0.0);
    EXPECT_DOUBLE_EQ(u->GetRelX(), before);
}

TEST_F(TwoVessels, HiddenVesselExertsNoForceButGetsARequest)
{
    u->SetVisible(false);
    p->DistributeVessels();
    EXPECT_DOUBLE_EQ(std::abs(v->GetForceVector().x) + std::abs(v->GetForceVector().y), 0.0);
    EXPECT_NE(u->GetForceVector().x, 0.0);
}

TEST_F(TwoVessels, ForceWindowsAndOrdersOfZeroAndBelow)
{
    u->SetCoords(0.005, 0.0); // closer than a hundredth: no pull
    EXPECT_DOUBLE_EQ(p->getAttractiveForce(v).x, 0.0);
    u->SetCoords(0.02, 0.0);
    EXPECT_NEAR(p->getAttractiveForce(v).x, -0.1 / 0.02, 1e-9); // weak pull of an unconnected one
    // Order 2 repels from 0.1 to about 3.16.
    EXPECT_GT(repulsionAt(3.1), 0.0);
    EXPECT_DOUBLE_EQ(repulsionAt(3.17), 0.0);
    EXPECT_GT(repulsionAt(0.11), 0.0);
    EXPECT_DOUBLE_EQ(repulsionAt(0.09), 0.0);
    EXPECT_DOUBLE_EQ(repulsionAt(0.0), 0.0);

    p->SetRepulsiveOrder(0);
    EXPECT_DOUBLE_EQ(repulsionAt(0.0), 0.0) << "coincident vessels are left out";
    EXPECT_DOUBLE_EQ(repulsionAt(0.005), 0.0);
    EXPECT_NEAR(repulsionAt(1.0), kCapacityFactor, 1e-12); // d^0 = 1, inside the window
    p->SetRepulsiveOrder(-2);
    EXPECT_DOUBLE_EQ(repulsionAt(0.0), 0.0);
    EXPECT_NEAR(repulsionAt(2.0), kCapacityFactor / 0.25 / 2.0 * 2.0, 1e-12);
    for (short order : {short(0), short(-1), short(-5)}) {
        p->SetRepulsiveOrder(order);
        p->SetAttractiveOrder(order);
        v->SetCoords(1.0, 1.0);
        u->SetCoords(1.5, 1.0);
        for (int k = 0; k < 20; ++k) {
            p->DistributeVessels();
            p->MoveVesselsByForce();
        }
        for (const Vessel* w : {v, u})
            EXPECT_TRUE(std::isfinite(w->GetRelX()) && std::isfinite(w->GetRelY())) << order;
    }
}

TEST(MoveByForce, MovesAFifthUpToFiveRadiiPerAxis)
{
    LayoutFacility f;
    Vessel* v = f.AddVessel(f.AddFloor(1), 1);
    // Requests and the position after each; not a number moves nothing on that axis.
    const std::vector<std::vector<double>> steps = {
        {40.0, -40.0, -2.5, 2.5}, {4.0, -1.0, -3.3, 2.7}, {std::nan(""), 5.0, -3.3, 1.7}};
    for (const auto& s : steps) {
        v->SetForceVector({s[0], s[1], 0.0});
        v->MoveByForce();
        EXPECT_DOUBLE_EQ(v->GetRelX(), s[2]);
        EXPECT_DOUBLE_EQ(v->GetRelY(), s[3]);
    }
}

TEST(LeftRightForce, CountsOnlyVisibleNeighboursOfThisFloor)
{
    LayoutFacility f;
    ForcePlane* p = f.AddForceFloor(1);
    Vessel* v = f.AddVessel(p, 1);
    Vessel* lonely = f.AddVessel(p, 2);
    Vessel* hiddenFeed = f.AddVessel(p, 5);
    f.Connect(f.AddVessel(p, 3), v, 1);
    f.Connect(f.AddVessel(p, 4), v, 2);
    f.Connect(hiddenFeed, v, 3);
    f.Connect(v, f.AddVessel(p, 6), 4);
    f.Connect(v, f.AddVessel(f.AddForceFloor(2), 7), 5);
    f.AddFeed(lonely, 6);
    hiddenFeed->SetVisible(false);
    // out 1 - in 2, over the six vessels registered on the floor.
    EXPECT_NEAR(p->getLeftRightForce(v).y, -10.0 / 6.0, 1e-12);
    EXPECT_DOUBLE_EQ(p->getLeftRightForce(v).x, 0.0);
    EXPECT_DOUBLE_EQ(p->getLeftRightForce(lonely).y, 0.0);
    p->SetLRForce(3.0);
    EXPECT_NEAR(p->getLeftRightForce(v).y, -5.0, 1e-12);
}

TEST(Crawl, MarksTheConnectedGroupOnTheFloor)
{
    LayoutFacility f;
    Plane* p = f.AddFloor(1);
    Vessel* a = f.AddVessel(p, 1);
    Vessel* b = f.AddVessel(p, 2);
    Vessel* c = f.AddVessel(p, 3);
    Vessel* d = f.AddVessel(p, 4);
    Vessel* e = f.AddVessel(f.AddFloor(2), 5);
    f.Connect(a, b, 1);
    f.Connect(c, b, 2);
    f.Connect(c, e, 3);                 // the group goes on upstairs,
    f.Connect(e, f.AddVessel(p, 6), 4); // but the crawl stops at the floor's edge
    f.AddUtility(d, 5);
    const std::pair<Vessel*, std::vector<short>> cases[] = {
        {c, {1, 1, 1, 0, 0}}, {d, {0, 0, 0, 1, 0}}, {e, {1, 1, 1, 0, 1}}}; // e is not on this floor itself
    for (const auto& [from, want] : cases) {
        std::vector<short> marks(5, 0);
        p->CrawlThroughConnections(from, marks.data());
        EXPECT_EQ(marks, want);
    }
    a->SetCoords(1.0, 2.0);
    p->FindVesselClusters();
    f.DebugVesselCrawl();
    EXPECT_DOUBLE_EQ(a->GetRelX(), 1.0);
    EXPECT_EQ(a->GetPositionFlag(), 0);
}

} // namespace
} // namespace batchplant::test
