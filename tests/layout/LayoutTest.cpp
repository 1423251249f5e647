// The layout wizard and the force-directed arrangement on floors built by hand, and the wizard on the sample.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <numbers>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "../model/ModelFixtures.h"
#include "SampleDatabase.h"
#include "TestSupport.h"
#include "batchplant/db/Dao.h"
#include "batchplant/layout/FacilityLayout.h"

namespace batchplant::test {
namespace {

class ForcePlane : public Plane {
public:
    using Plane::getAttractiveForce;
    using Plane::getLeftRightForce;
    using Plane::getRepulsiveForce;
};

// The wizard's steps opened, with angle records a test fills and reads.
class LayoutFacility : public TestFacility {
public:
    using Facility::AllChildVesselsAssigned;
    using Facility::AssignVesselPosition;
    using Facility::CalculateLayout;
    using Facility::GetAngleList;
    using Facility::MoveInventoryLocations;
    using Facility::PlaceChildVessels;
    using Facility::SelectUnplacedVessels;
    using Facility::SetCenter;

    void InstallRecords() { scope = std::make_unique<LayoutScope>(*this); }
    AngleRecord& Record(int i) { return *scope->Record(i); }
    ForcePlane* AddForceFloor(int id) { return static_cast<ForcePlane*>(AddFloor(id)); }

    std::unique_ptr<LayoutScope> scope;

protected:
    Plane* addPlane() override { return new ForcePlane(); }
};

// Floor 1 of a facility of its own.
struct OneFloor {
    LayoutFacility f;
    Plane* p = f.AddFloor(1);
};

class LayoutWizard : public ::testing::Test, protected OneFloor {};

double distance(const Vessel* a, const Vessel* b)
{
    return std::hypot(a->GetRelX() - b->GetRelX(), a->GetRelY() - b->GetRelY());
}

constexpr double kStays = 1e9; // the vessel keeps its starting spot
const char* const kNoAngles = "Error: GetAngleList failed\n";

// Every 2.8 degrees from -88.5 on: no candidate of under 128 directions is free.
void FillRecord(AngleRecord& record)
{
    for (int k = 0; k < AngleRecord::kMaxAngles; ++k)
        record.Add(NormaliseAngle(-88.5 + k * 2.8), 1);
}

TEST(AngleHelpers, NormaliseCollideAndRecord)
{
    for (const auto& [in, out] : std::vector<std::pair<double, double>>{
             {-30.0, 330.0}, {0.0, 360.0}, {0.02, 0.02}, {360.0, 360.0}, {390.0, 30.0}, {-750.0, 330.0}})
        EXPECT_DOUBLE_EQ(NormaliseAngle(in), out) << in;
    EXPECT_TRUE(std::isnan(NormaliseAngle(std::nan(""))));
    for (const auto& [b, want] : std::vector<std::pair<double, int>>{{181.99, 1}, {178.01, 1}, {182.0, 0}, {178.0, 0}})
        EXPECT_EQ(AnglesCollide(180.0, b), want) << b;
    AngleRecord record;
    FillRecord(record);
    EXPECT_EQ(record.Add(180.0, 1), 0); // a full record takes no more
    EXPECT_EQ(record.count, AngleRecord::kMaxAngles);
    EXPECT_EQ(std::pair(record.Collides(300.0), record.Collides(180.0)), std::pair(1, 0));
}

// Vessels 1.. on floor p, the k-th at (10k + 1, 10k + 2), joined by `links`.
std::vector<Vessel*> Build(LayoutFacility& f, Plane* p, int n, const std::vector<std::pair<int, int>>& links)
{
    std::vector<Vessel*> v;
    for (int k = 0; k < n; ++k) {
        v.push_back(f.AddVessel(p, k + 1, CString::Formatted("V%d", k)));
        v.back()->SetCoords(10.0 * k + 1.0, 10.0 * k + 2.0);
    }
    long id = 1;
    for (const auto& [from, to] : links)
        f.Connect(v[from], v[to], id++);
    return v;
}

// Each vessel ends at its {x, y} or, with kStays, where it started; `prepare` sets the exceptions.
struct Tree {
    const char* name;
    int vessels;
    std::vector<std::pair<int, int>> links;
    std::vector<std::pair<double, double>> want;
    std::function<void(LayoutFacility&, std::vector<Vessel*>&)> prepare = nullptr;
};

void PrintTo(const Tree& t, std::ostream* os) { *os << t.name; }

class WizardTree : public ::testing::TestWithParam<Tree>, protected OneFloor {};

TEST_P(WizardTree, PlacesAsWorkedByHand)
{
    const Tree& t = GetParam();
    std::vector<Vessel*> v = Build(f, p, t.vessels, t.links);
    if (t.prepare) t.prepare(f, v);
    std::vector<int> flags;
    for (const Vessel* w : v)
        flags.push_back(w->GetPositionFlag());
    f.CalculateLayout(p);
    EXPECT_EQ(LayoutScope::Open(f), nullptr) << "the records live for the call only";
    for (int k = 0; k < t.vessels; ++k) {
        const bool stays = t.want[k].first == kStays;
        const auto [x, y] = stays ? std::pair(10.0 * k + 1.0, 10.0 * k + 2.0) : t.want[k];
        EXPECT_TRUE(std::hypot(v[k]->GetRelX() - x, v[k]->GetRelY() - y) < 1e-9 &&
                    v[k]->GetPositionFlag() == (stays ? flags[k] : 1))
            << k << " at " << v[k]->GetRelX() << ", " << v[k]->GetRelY();
    }
}

// Distances (r + r') x (the child's neighbours + 1), radii 0.5; products on the +Y side, feeds on the -Y side.
constexpr double kS = 2 * 0.5, kC = 2 * 0.86602540378; // 2 sin 30, 2 cos 30
INSTANTIATE_TEST_SUITE_P(
    Layout, WizardTree,
    ::testing::Values(
        Tree{"OneFeedStraightDown", 2, {{1, 0}}, {{0, 0}, {0, -2}}},
        // 0 (first of two equals) is the centre; 1 outranks 2, goes first and farther out; 2 avoids its
        // direction (-30 first); 1 puts its feed 3 at 150, as 180 is the way back to 0.
        Tree{"LaterPassesAvoidTakenDirections", 4, {{0, 1}, {0, 2}, {3, 1}}, {{0, 0}, {0, 3}, {-kS, kC}, {kS, 3 - kC}}},
        // Two equal products 60 degrees apart; the island 2-3 stays.
        Tree{"IslandsStayWhereTheyAre",
             5,
             {{0, 1}, {0, 4}, {2, 3}},
             {{0, 0}, {-kS, kC}, {kStays, 0}, {kStays, 0}, {kS, kC}}},
        // Hidden, on another floor, connections off, already placed: all stay; the last goes straight up.
        Tree{"LeavesAloneWhatItMust",
             6,
             {{0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 5}},
             {{0, 0}, {kStays, 0}, {kStays, 0}, {kStays, 0}, {kStays, 0}, {0, 2}},
             [](LayoutFacility& f, std::vector<Vessel*>& v) {
                 v[1]->SetVisible(false);
                 v[2]->SwitchFloor(f.AddFloor(2, 5.0));
                 v[3]->SetShowConnections(0);
                 v[4]->SetPositionFlag(1);
             }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LayoutWizard, CentreIsTheMostConnectedThenBestScoredAndBadArgumentsAreHarmless)
{
    // 0 and 1 have two neighbours each; 1 wins on score (a leaf and a vessel with two) though 0 is first.
    const std::vector<Vessel*> v = Build(f, p, 7, {{0, 3}, {0, 4}, {1, 5}, {1, 2}, {2, 6}});
    EXPECT_EQ(f.SetCenter(p), 1);
    EXPECT_EQ(v[0]->GetPositionFlag(), 0);
    EXPECT_EQ(f.SetCenter(f.AddFloor(2)), -1);
    Vessel* lone = f.AddVessel(p, 8);
    lone->SetCoords(3.0, 4.0);
    f.LayoutFloor(nullptr);
    EXPECT_EQ(f.IsModified(), 0);
    f.PlaceChildVessels(-1, 1, p);
    f.PlaceChildVessels(9, 1, p);
    EXPECT_EQ(f.AllChildVesselsAssigned(9, p), 1);
    int streams[1] = {0};
    f.AssignVesselPosition(1, streams, 9, 1, Facility::Outgoing);
    f.AssignVesselPosition(1, streams, 7, 1, Facility::Outgoing); // no stream 0
    EXPECT_EQ(std::pair(lone->GetRelX(), lone->GetRelY()), std::pair(3.0, 4.0));
}

TEST_F(LayoutWizard, UnplacedIslandsAreSelectedAndLaidOutByASecondRun)
{
    const std::vector<Vessel*> v = Build(f, p, 4, {{0, 1}, {2, 3}});
    f.LayoutFloor(p);
    f.SelectUnplacedVessels(p);
    EXPECT_EQ((std::vector{v[0]->IsSelected(), v[2]->IsSelected(), v[3]->IsSelected(), f.VesselSelected()}),
              (std::vector{0, 1, 1, 1}));
    f.CalculateLayout(p); // without clearing, the island gets a centre of its own
    EXPECT_EQ(std::pair(v[2]->GetPositionFlag(), v[3]->GetPositionFlag()), std::pair(1, 1));
    EXPECT_NEAR(distance(v[2], v[3]), 2.0, 1e-9);
    f.LayoutFloor(p); // starts over
    EXPECT_EQ((std::vector{v[2]->GetPositionFlag(), v[3]->GetPositionFlag(), f.IsModified()}), (std::vector{0, 0, 1}));
}

TEST_F(LayoutWizard, AngleListTakesFreeDirectionsRecordsThemOrFails)
{
    MessageRecorder messages;
    Build(f, p, 2, {});
    f.InstallRecords();
    f.Record(0).Add(180.0, 1);
    double out[4] = {};
    ASSERT_EQ(f.GetAngleList(0, 7, out, 1, Facility::Incoming), out);
    // Outgoing directions come back unnormalised, recorded normalised.
    ASSERT_EQ(f.GetAngleList(0, 2, out + 1, 2, Facility::Outgoing), out + 1);
    EXPECT_EQ((std::vector<double>(out, out + 3)), (std::vector<double>{150.0, -30.0, 30.0}));
    EXPECT_EQ((std::vector<double>(f.Record(0).angles, f.Record(0).angles + f.Record(0).count)),
              (std::vector<double>{180.0, 150.0, 330.0, 30.0}));
    EXPECT_EQ(std::pair(int{f.Record(0).tags[1]}, messages.count()), std::pair(7, std::size_t{0}));
    // No free direction, or more than a list holds: a message, nothing recorded.
    FillRecord(f.Record(1));
    EXPECT_EQ(f.GetAngleList(1, 1, out, 1, Facility::Outgoing), nullptr);
    double big[70] = {};
    EXPECT_EQ(f.GetAngleList(0, 1, big, 70, Facility::Incoming), nullptr);
    EXPECT_EQ(messages.texts(), (std::vector<std::string>{kNoAngles, kNoAngles}));
    EXPECT_EQ(f.Record(0).count, 4);
}

// A hub with more neighbours than a list or a record holds: the listed ones are placed more than 2 degrees
// apart, the rest stay, one message each run.
TEST(WizardLimits, NeighboursBeyondTheListsStayUnplaced)
{
    for (const bool ranked : {true, false}) {
        SCOPED_TRACE(ranked ? "64 ranked above a last one" : "70 equal ones");
        MessageRecorder messages;
        LayoutFacility f;
        Plane* p = f.AddFloor(1);
        std::vector<std::pair<int, int>> star;
        for (int k = 1; k <= (ranked ? 65 : 70); ++k)
            star.emplace_back(0, k);
        const std::vector<Vessel*> v = Build(f, p, static_cast<int>(star.size()) + 1, star);
        for (int k = 1; ranked && k <= 64; ++k)
            f.AddFeed(v[k], 200 + k);
        f.LayoutFloor(p);
        EXPECT_EQ(messages.texts(), std::vector<std::string>{kNoAngles});
        double previous = -360.0;
        for (std::size_t k = 1; k < v.size(); ++k) {
            EXPECT_EQ(v[k]->GetPositionFlag(), k <= 64 ? 1 : 0) << k;
            if (k > 64) continue;
            const double direction = std::atan2(v[k]->GetRelX(), v[k]->GetRelY()) * 180.0 / std::numbers::pi;
            EXPECT_GT(direction - previous, 2.0) << k;
            previous = direction;
        }
    }
}

// A host that starts the floor over on each reported failure: the run still ends, each vessel spreading its
// neighbours at most once per stream and once more.
TEST_F(LayoutWizard, PlacementUndoneWhileRunningStillEnds)
{
    const std::vector<Vessel*> v = Build(f, p, 2, {{0, 1}});
    int failures = 0;
    const MessageBoxHandler previous = SetMessageBoxHandler([&](const CString&, unsigned) {
        ++failures;
        p->ClearVesselPlacement();
        return IDOK;
    });
    f.InstallRecords();
    FillRecord(f.Record(0)); // no room for products
    ASSERT_EQ(f.SetCenter(p), 0);
    f.PlaceChildVessels(0, 1, p);
    SetMessageBoxHandler(previous);
    EXPECT_EQ(failures, 2);
    // The hub placed back by the child.
    EXPECT_EQ(std::pair(v[0]->GetPositionFlag(), v[1]->GetPositionFlag()), std::pair(1, 0));
}

// An inventory location feeding three reactors: hidden, on a single floor only, if the user says yes.
TEST(InventoryQuestion, AskedOnOneFloorForInventoryLocationsAndFollowed)
{
    for (const auto& [floors, cls, answer, asked, hidden] :
         std::vector<std::tuple<int, const char*, int, bool, bool>>{{1, "inventory LOCATION", IDYES, true, true},
                                                                    {1, "inventory LOCATION", IDNO, true, false},
                                                                    {2, "inventory LOCATION", IDYES, false, false},
                                                                    {1, "Inventory Tank", IDYES, false, false}}) {
        SCOPED_TRACE(testing::Message() << floors << " floor(s), " << cls << ", answer " << answer);
        MessageRecorder messages(answer);
        LayoutFacility f;
        Plane* p = f.AddFloor(1);
        if (floors == 2) f.AddFloor(2, 3.0);
        const std::vector<Vessel*> v = Build(f, p, 4, {{0, 1}, {0, 2}, {0, 3}, {1, 2}});
        static_cast<TestVessel*>(v[0])->SetIdentity(1, cls, "INV");
        f.MoveInventoryLocations();
        ASSERT_EQ(messages.count(), asked ? 1u : 0u);
        EXPECT_TRUE(!asked || (messages.types()[0] & MB_TYPEMASK) == MB_YESNO);
        // Laid out again, 1 becomes the centre.
        EXPECT_TRUE(v[0]->IsVisible() != hidden && v[1]->GetPositionFlag() == hidden &&
                    v[1]->GetRelX() == (hidden ? 0.0 : 11.0));
    }
}

// The wizard on each floor of the sample: what is joined to a placed vessel is placed, finite, on no other's
// spot, clear of the vessels it joins (separate branches may still cross).
TEST(SampleLayout, WizardPlacesEveryConnectedVesselWithoutOverlap)
{
    LayoutFacility f;
    CDaoDatabase db;
    db.Open(CString(SampleDatabasePath().string()), false, true);
    f.ReadVisioDatabase(&db);
    ASSERT_GT(f.GetNumFloors(), 0);
    MessageRecorder messages;
    for (int k = 0; k < f.GetNumFloors(); ++k) {
        Plane* p = f.GetFloorByIndex(k);
        f.LayoutFloor(p);
        auto movable = [p](const Vessel* v) {
            return v && v->GetFloor() == p && v->IsVisible() && v->IsShowConnections();
        };
        std::vector<const Vessel*> placed;
        for (int i = 0; i < f.GetNumVessels(); ++i) {
            const Vessel* v = f.GetVesselByIndex(i);
            if (!movable(v) || !v->GetPositionFlag()) continue;
            SCOPED_TRACE(v->GetName().str() + " on " + p->GetName().str());
            EXPECT_TRUE(std::isfinite(v->GetRelX()) && std::isfinite(v->GetRelY()));
            for (const Vessel* w : placed)
                EXPECT_TRUE(distance(v, w) > 1e-6 &&
                            (!v->IsConnectingVessel(w) || distance(v, w) >= v->GetRadius() + w->GetRadius()))
                    << w->GetName().str();
            placed.push_back(v);
            for (int j = 0; j < v->GetNumStreams(); ++j)
                EXPECT_TRUE(!movable(v->GetConnectingVessel(j)) || v->GetConnectingVessel(j)->GetPositionFlag());
        }
        EXPECT_GT(placed.size(), 1u) << p->GetName().str();
    }
    EXPECT_EQ(messages.count(), 0u);
}

// (pi/4)^(1/3) squared: the capacity factor of two default vessels.
const double kCapacityFactor = std::pow(0.7853981633975, 2 * 0.3333333);

void ExpectNear(const std::vector<double>& got, const std::vector<double>& want, double tolerance)
{
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_NEAR(got[i], want[i], tolerance) << "item " << i;
}

struct TwoVessels : ::testing::Test {
    LayoutFacility f;
    ForcePlane* p = f.AddForceFloor(1);
    Vessel* v = f.AddVessel(p, 1, "V");
    Vessel* u = f.AddVessel(p, 2, "U");
    void SetUp() override { place(); }
    void place()
    {
        v->SetCoords(0.0, 0.0);
        u->SetCoords(2.0, 0.0);
    }
    // The x of a force on v with u at (d, 0).
    double forceAt(double d, Vector (Plane::*force)(Vessel*) = &ForcePlane::getRepulsiveForce)
    {
        u->SetCoords(d, 0.0);
        return (p->*force)(v).x;
    }
    std::vector<double> at() const { return {v->GetRelX(), v->GetRelY(), u->GetRelX(), u->GetRelY()}; }
};

TEST_F(TwoVessels, ConnectedPairMovesAsWorkedByHandOnTheSelectedFloor)
{
    f.Connect(v, u);
    // A pull of 2^3 / 100 towards u, a push of the capacity factor / 2^2 / 2 x 2, 10 / 2 for a product or feed.
    ExpectNear({p->getAttractiveForce(v).x, p->getAttractiveForce(v).y, p->getRepulsiveForce(v).x,
                p->getLeftRightForce(v).y, p->getLeftRightForce(u).y},
               {-0.08, 0.0, kCapacityFactor / 4.0, 5.0, -5.0}, 1e-12);
    p->DistributeVessels(); // moves nothing
    ExpectNear({v->GetForceVector().x, u->GetForceVector().x, u->GetForceVector().y, v->GetRelX()},
               {0.1328, -0.1328, -5.0, 0.0}, 1e-4);
    p->MoveVesselsByForce();
    ExpectNear(at(), {-0.0266, -1.0, 2.0266, 1.0}, 1e-4);
    // A pinned vessel stays but pulls, pushes and gets a request; a step moves the only (visible) floor.
    place();
    v->SetPin(1);
    f.IncrementVesselPositions();
    ExpectNear(at(), {0.0, 0.0, 2.0266, 1.0}, 1e-4);
    EXPECT_NEAR(v->GetForceVector().y, 5.0, 1e-12);
    ForcePlane* q = f.AddForceFloor(2); // two visible floors, none selected: nothing moves
    Vessel* a = f.AddVessel(q, 3);
    f.AddVessel(q, 4)->SetCoords(1.0, 0.0);
    f.IncrementVesselPositions();
    EXPECT_NEAR(u->GetRelY(), 1.0, 1e-12);
    p->EnableHighlight();
    f.IncrementVesselPositions();
    EXPECT_GT(u->GetRelY(), 1.0);
    const double before = u->GetRelX();
    f.DistributeSelectedFloor(); // computes every floor without moving
    EXPECT_TRUE(a->GetForceVector().x != 0.0 && a->GetRelX() == 0.0 && u->GetRelX() == before);
}

TEST_F(TwoVessels, ForceWindowsOrdersOfZeroAndBelowAndHiddenVessels)
{
    // No pull closer than a hundredth, a weak one from an unconnected vessel.
    const auto pull = &ForcePlane::getAttractiveForce;
    ExpectNear({forceAt(0.005, pull), forceAt(0.02, pull)}, {0.0, -0.1 / 0.02}, 1e-9);
    // Order 2 repels from 0.1 to about 3.16; orders of 0 and below leave out coincident vessels.
    for (const auto& [d, repels] :
         std::vector<std::pair<double, bool>>{{3.1, true}, {3.17, false}, {0.11, true}, {0.09, false}, {0.0, false}})
        EXPECT_EQ(forceAt(d) > 0.0, repels) << d;
    p->SetRepulsiveOrder(0);
    ExpectNear({forceAt(0.0), forceAt(0.005), forceAt(1.0)}, {0.0, 0.0, kCapacityFactor}, 1e-12);
    p->SetRepulsiveOrder(-2);
    ExpectNear({forceAt(0.0), forceAt(2.0)}, {0.0, kCapacityFactor / 0.25 / 2.0 * 2.0}, 1e-12);
    // A hidden vessel exerts no force but gets a request.
    place();
    u->SetVisible(false);
    p->DistributeVessels();
    EXPECT_DOUBLE_EQ(std::abs(v->GetForceVector().x) + std::abs(v->GetForceVector().y), 0.0);
    EXPECT_NE(u->GetForceVector().x, 0.0);
}

TEST_F(TwoVessels, MoveByForceMovesAFifthUpToFiveRadiiPerAxis)
{
    // Requests and the position after each; a NaN moves nothing on its axis.
    for (const auto& s : std::vector<std::vector<double>>{
             {40.0, -40.0, -2.5, 2.5}, {4.0, -1.0, -3.3, 2.7}, {std::nan(""), 5.0, -3.3, 1.7}}) {
        v->SetForceVector({s[0], s[1], 0.0});
        v->MoveByForce();
        ExpectNear({v->GetRelX(), v->GetRelY()}, {s[2], s[3]}, 1e-12);
    }
}

TEST(LeftRightForce, CountsOnlyVisibleNeighboursOfThisFloor)
{
    LayoutFacility f;
    ForcePlane* p = f.AddForceFloor(1);
    // 0 has feeds 2, 3, 4 (hidden), products 5 and one upstairs; 1 a feed from nowhere. Out 1 - in 2, over
    // the six vessels registered on the floor.
    const std::vector<Vessel*> v = Build(f, p, 6, {{2, 0}, {3, 0}, {4, 0}, {0, 5}});
    f.Connect(v[0], f.AddVessel(f.AddForceFloor(2), 7), 5);
    f.AddFeed(v[1], 6);
    v[4]->SetVisible(false);
    ExpectNear({p->getLeftRightForce(v[0]).y, p->getLeftRightForce(v[0]).x, p->getLeftRightForce(v[1]).y},
               {-10.0 / 6.0, 0.0, 0.0}, 1e-12);
    p->SetLRForce(3.0);
    EXPECT_NEAR(p->getLeftRightForce(v[0]).y, -5.0, 1e-12);
}

TEST_F(LayoutWizard, CrawlMarksTheConnectedGroupOnTheFloor)
{
    const std::vector<Vessel*> v = Build(f, p, 4, {{0, 1}, {2, 1}});
    Vessel* e = f.AddVessel(f.AddFloor(2), 5);
    f.Connect(v[2], e, 3); // the group goes on upstairs, but the crawl stops at the floor's edge
    f.Connect(e, f.AddVessel(p, 6), 4);
    f.AddUtility(v[3], 5);
    const std::pair<Vessel*, std::vector<short>> cases[] = {
        {v[2], {1, 1, 1, 0, 0}}, {v[3], {0, 0, 0, 1, 0}}, {e, {1, 1, 1, 0, 1}}}; // e is not on this floor itself
    for (const auto& [from, want] : cases) {
        std::vector<short> marks(5, 0);
        p->CrawlThroughConnections(from, marks.data());
        EXPECT_EQ(marks, want);
    }
    p->FindVesselClusters();
    f.DebugVesselCrawl();
    EXPECT_EQ(std::pair(v[0]->GetRelX(), v[0]->GetPositionFlag()), std::pair(1.0, 0));
}

} // namespace
} // namespace batchplant::test
