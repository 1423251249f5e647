// The layout wizard on small hand-built floors: the positions of a tree grown
// from the centre, vessels it must leave alone, the limits of its angle lists
// and records, a placement undone under it, and the inventory question.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "LayoutFixtures.h"
#include "TestSupport.h"

namespace batchplant::test {
namespace {

constexpr double kSin30 = 0.5;
constexpr double kCos30 = 0.86602540378;
constexpr double kStays = 1e9; // the vessel keeps its starting spot
const char* const kNoAngles = "Error: GetAngleList failed\n";

TEST(AngleHelpers, NormaliseCollideAndRecord)
{
    const std::pair<double, double> normalised[] = {{-30.0, 330.0}, {0.0, 360.0},  {0.02, 0.02},
                                                    {360.0, 360.0}, {390.0, 30.0}, {-750.0, 330.0}};
    for (const auto& [in, out] : normalised)
        EXPECT_DOUBLE_EQ(NormaliseAngle(in), out) << in;
    EXPECT_TRUE(std::isnan(NormaliseAngle(std::nan(""))));
    const std::pair<double, int> collide[] = {{181.99, 1}, {178.01, 1}, {182.0, 0}, {178.0, 0}};
    for (const auto& [b, want] : collide)
        EXPECT_EQ(AnglesCollide(180.0, b), want) << b;

    AngleRecord record;
    for (int k = 0; k < AngleRecord::kMaxAngles; ++k)
        EXPECT_EQ(record.Add(k * 5.0 + 1.0, 1), 1);
    EXPECT_EQ(record.Add(359.0, 1), 0) << "a full record takes no more";
    EXPECT_EQ(record.count, AngleRecord::kMaxAngles);
    EXPECT_EQ(record.Collides(2.5), 1);
    EXPECT_EQ(record.Collides(359.0), 0);
}

// Vessels 0.. on floor 1, every one starting at (10k + 1, 10k + 2), joined by
// `links` (from, to); `prepare` sets the exceptions. Each vessel ends at its
// {x, y} or, with kStays, where it started.
struct Tree {
    const char* name;
    int vessels;
    std::vector<std::pair<int, int>> links;
    std::vector<std::pair<double, double>> want;
    std::function<void(LayoutFacility&, std::vector<Vessel*>&)> prepare = nullptr;
};

void PrintTo(const Tree& t, std::ostream* os) { *os << t.name; }

class WizardTree : public ::testing::TestWithParam<Tree> {};

TEST_P(WizardTree, PlacesAsWorkedByHand)
{
    const Tree& t = GetParam();
    LayoutFacility f;
    Plane* p = f.AddFloor(1);
    std::vector<Vessel*> v;
    for (int k = 0; k < t.vessels; ++k) {
        v.push_back(f.AddVessel(p, k + 1, CString::Formatted("V%d", k)));
        v.back()->SetCoords(10.0 * k + 1.0, 10.0 * k + 2.0);
    }
    int id = 1;
    for (const auto& [from, to] : t.links)
        f.Connect(v[from], v[to], id++);
    if (t.prepare) t.prepare(f, v);
    std::vector<int> flags;
    for (const Vessel* w : v)
        flags.push_back(w->GetPositionFlag());
    f.CalculateLayout(p);
    EXPECT_TRUE(f.RecordsReleased());
    for (int k = 0; k < t.vessels; ++k) {
        const auto [x, y] = t.want[k];
        const bool stays = x == kStays;
        EXPECT_NEAR(v[k]->GetRelX(), stays ? 10.0 * k + 1.0 : x, 1e-9) << k;
        EXPECT_NEAR(v[k]->GetRelY(), stays ? 10.0 * k + 2.0 : y, 1e-9) << k;
        EXPECT_EQ(v[k]->GetPositionFlag(), stays ? flags[k] : 1) << k;
    }
}

// Distances are (r + r') x (neighbours of the child + 1), radii 0.5. Products
// stand on the +Y side, feeds on the -Y side.
INSTANTIATE_TEST_SUITE_P(
    Layout, WizardTree,
    ::testing::Values(Tree{"OneProductStraightUp", 2, {{0, 1}}, {{0, 0}, {0, 2}}},
                      Tree{"OneFeedStraightDown", 2, {{1, 0}}, {{0, 0}, {0, -2}}},
                      Tree{"TwoEqualProductsSixtyDegreesApart",
                           3,
                           {{0, 1}, {0, 2}},
                           {{0, 0}, {-2 * kSin30, 2 * kCos30}, {2 * kSin30, 2 * kCos30}}},
                      // 0 and 1 both have two neighbours and score 3, so 0 (first) is the
                      // centre; 1 outranks 2 and goes first, farther out; 2 avoids 1's
                      // direction (m = 2: -30 first); 1 puts its feed 3 at 150, as 180 is
                      // the way back to 0.
                      Tree{"LaterPassesAvoidTakenDirections",
                           4,
                           {{0, 1}, {0, 2}, {3, 1}},
                           {{0, 0}, {0, 3}, {-2 * kSin30, 2 * kCos30}, {2 * kSin30, 3 - 2 * kCos30}}},
                      // Hidden, on another floor, connections off, already placed: all
                      // stay; the one candidate goes straight up.
                      Tree{"LeavesAloneWhatItMust",
                           6,
                           {{0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 5}},
                           {{0, 0}, {kStays, 0}, {kStays, 0}, {kStays, 0}, {kStays, 0}, {0, 2}},
                           [](LayoutFacility& f, std::vector<Vessel*>& v) {
                               v[1]->SetVisible(false);
                               v[2]->SwitchFloor(f.AddFloor(2, 5.0));
                               v[3]->SetShowConnections(0);
                               v[4]->SetPositionFlag(1);
                           }},
                      Tree{"IslandsStayWhereTheyAre",
                           5,
                           {{0, 1}, {0, 4}, {2, 3}},
                           {{0, 0}, {-2 * kSin30, 2 * kCos30}, {kStays, 0}, {kStays, 0}, {2 * kSin30, 2 * kCos30}}}),
    [](const auto& info) { return std::string(info.param.name); });

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
    EXPECT_EQ(f.SetCenter(p), f.IndexOf(Y));
    EXPECT_EQ(X->GetPositionFlag(), 0);
    EXPECT_EQ(f.SetCenter(f.AddFloor(2)), -1);
}

TEST(LayoutWizard, UnplacedIslandsAreSelectedAndLaidOutByASecondRun)
{
    LayoutFacility f;
    Plane* p = f.AddFloor(1);
    Vessel* a = f.AddVessel(p, 1, "A");
    Vessel* c = f.AddVessel(p, 3, "C");
    Vessel* d = f.AddVessel(p, 4, "D");
    f.Connect(a, f.AddVessel(p, 2, "B"), 1);
    f.Connect(c, d, 2);
    f.LayoutFloor(p);
    f.SelectUnplacedVessels(p);
    EXPECT_EQ(c->IsSelected() + d->IsSelected() + a->IsSelected() * 10, 2);
    EXPECT_EQ(f.VesselSelected(), 1);
    // Without clearing, the first group stays and the island gets a centre
    // of its own.
    f.CalculateLayout(p);
    EXPECT_EQ(c->GetPositionFlag() + d->GetPositionFlag(), 2);
    EXPECT_NEAR(distance(c, d), 2.0, 1e-9);
    // Laying the floor out again starts over: the island is left again.
    f.LayoutFloor(p);
    EXPECT_EQ(c->GetPositionFlag() + d->GetPositionFlag(), 0);
    EXPECT_EQ(f.IsModified(), 1);
}

TEST(LayoutWizard, AngleListTakesFreeDirectionsRecordsThemOrFails)
{
    MessageRecorder messages;
    LayoutFacility f;
    Plane* p = f.AddFloor(1);
    f.AddVessel(p, 1);
    f.AddVessel(p, 2);
    f.InstallRecords();
    f.Record(0).Add(180.0, 1);
    double out[4] = {};
    ASSERT_EQ(f.GetAngleList(0, 7, out, 1, Facility::Incoming), out);
    // Outgoing directions come back unnormalised, recorded normalised.
    ASSERT_EQ(f.GetAngleList(0, 2, out + 1, 2, Facility::Outgoing), out + 1);
    EXPECT_EQ((std::vector<double>(out, out + 3)), (std::vector<double>{150.0, -30.0, 30.0}));
    ASSERT_EQ(f.Record(0).count, 4);
    EXPECT_EQ((std::vector<double>(f.Record(0).angles + 1, f.Record(0).angles + 4)),
              (std::vector<double>{150.0, 330.0, 30.0}));
    EXPECT_EQ(f.Record(0).tags[1], 7);
    EXPECT_TRUE(messages.texts().empty());

    // Every 2.8 degrees from -88.5 on taken: no candidate with fewer than 128
    // directions is free. More than a list holds fails the same way.
    for (int k = 0; k < AngleRecord::kMaxAngles; ++k)
        f.Record(1).Add(NormaliseAngle(-88.5 + k * 2.8), 1);
    EXPECT_EQ(f.GetAngleList(1, 1, out, 1, Facility::Outgoing), nullptr);
    double big[70] = {};
    EXPECT_EQ(f.GetAngleList(0, 1, big, 70, Facility::Incoming), nullptr);
    EXPECT_EQ(messages.texts(), (std::vector<std::string>{kNoAngles, kNoAngles}));
    EXPECT_EQ(f.Record(0).count, 4);
}

// A hub with more neighbours than a list or a record holds: the listed ones
// are placed more than 2 degrees apart, the rest stay, one message each run.
TEST(LayoutWizard, NeighboursBeyondTheListsStayUnplaced)
{
    for (const bool ranked : {true, false}) {
        SCOPED_TRACE(ranked ? "64 ranked above a last one" : "70 equal ones");
        MessageRecorder messages;
        LayoutFacility f;
        Plane* p = f.AddFloor(1);
        Vessel* hub = f.AddVessel(p, 1, "Hub");
        std::vector<Vessel*> children;
        for (int k = 0; k < (ranked ? 65 : 70); ++k) {
            children.push_back(f.AddVessel(p, 10 + k));
            f.Connect(hub, children.back(), 100 + k);
            if (ranked && k < 64) f.AddFeed(children.back(), 200 + k);
        }
        f.LayoutFloor(p);
        EXPECT_EQ(messages.texts(), std::vector<std::string>{kNoAngles});
        auto direction = [](const Vessel* v) {
            return std::atan2(v->GetRelX(), v->GetRelY()) * 180.0 / std::numbers::pi;
        };
        for (std::size_t k = 0; k < children.size(); ++k) {
            EXPECT_EQ(children[k]->GetPositionFlag(), k < 64 ? 1 : 0) << k;
            if (k > 0 && k < 64) {
                EXPECT_GT(direction(children[k]) - direction(children[k - 1]), 2.0) << k;
            }
        }
    }
}

// A host that starts the floor over whenever the wizard reports a failure
// keeps placing the two vessels back under it: the run still ends, each
// vessel spreading its neighbours at most once per stream and once more.
TEST(LayoutWizard, PlacementUndoneWhileRunningStillEnds)
{
    LayoutFacility f;
    Plane* p = f.AddFloor(1);
    Vessel* hub = f.AddVessel(p, 1, "P");
    Vessel* child = f.AddVessel(p, 2, "C");
    f.Connect(hub, child);
    int failures = 0;
    const MessageBoxHandler previous = SetMessageBoxHandler([&](const CString&, unsigned) {
        ++failures;
        p->ClearVesselPlacement();
        return IDOK;
    });
    f.InstallRecords();
    for (int k = 0; k < AngleRecord::kMaxAngles; ++k)
        f.Record(0).Add(NormaliseAngle(-88.5 + k * 2.8), 1); // no room for products
    ASSERT_EQ(f.SetCenter(p), 0);
    f.PlaceChildVessels(0, 1, p);
    SetMessageBoxHandler(previous);
    EXPECT_EQ(failures, 2);
    EXPECT_EQ(hub->GetPositionFlag(), 1); // placed back by the child
    EXPECT_EQ(child->GetPositionFlag(), 0);
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
    EXPECT_DOUBLE_EQ(v->GetRelX() * 10 + v->GetRelY(), 34.0);
}

// An inventory location feeding three reactors: the wizard offers to hide
// such locations, on a single floor only, and lays out again if told yes.
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
        if (c.floors == 2) f.AddFloor(2, 3.0);
        Vessel* inventory = f.AddVessel(p, 1, "INV", c.cls);
        Vessel* r1 = f.AddVessel(p, 2, "R1");
        Vessel* r2 = f.AddVessel(p, 3, "R2");
        f.Connect(inventory, r1, 1);
        f.Connect(inventory, r2, 2);
        f.Connect(inventory, f.AddVessel(p, 4, "R3"), 3);
        f.Connect(r1, r2, 4);
        r1->SetCoords(5.0, 5.0);
        f.MoveInventoryLocations();
        ASSERT_EQ(messages.count(), c.asked ? 1u : 0u);
        if (c.asked) {
            const std::string& text = messages.texts()[0];
            EXPECT_TRUE(text.starts_with("The Layout Wizard") && text.ends_with("hide these Inventory Locations ?"))
                << text;
            EXPECT_EQ(messages.types()[0] & MB_TYPEMASK, static_cast<unsigned>(MB_YESNO));
        }
        EXPECT_EQ(inventory->IsVisible(), !c.hidden);
        EXPECT_EQ(r1->GetPositionFlag(), c.hidden ? 1 : 0);
        EXPECT_DOUBLE_EQ(r1->GetRelX(), c.hidden ? 0.0 : 5.0); // R1 is then the centre
    }
}

} // namespace
} // namespace batchplant::test
