// The facility's clock and the vessels' and streams' state at a time, on
// facilities built by hand.

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <vector>

#include "AnimationFixtures.h"

namespace batchplant::test {
namespace {

// What one Animate call gives: the time and whether it stands on a point.
struct Step {
    long time;
    int onPoint;
};

bool operator==(const Step& a, const Step& b) { return a.time == b.time && a.onPoint == b.onPoint; }

void PrintTo(const Step& s, std::ostream* os) { *os << "{" << s.time << ", " << s.onPoint << "}"; }

class FacilityAnimationTest : public ::testing::Test {
protected:
    FacilityAnimationTest() { floor = f.AddFloor(1); }

    // A vessel whose operations start and end at the given pairs of times.
    AnimVessel* vesselWith(long id, std::vector<std::pair<long, long>> spans, const char* opType = "Charge")
    {
        AnimVessel* v = f.Add(floor, id, CString::Formatted("V%ld", id));
        for (auto [start, end] : spans)
            AddUnit(v->GetProc(), 1, start, end, 0.0, opType);
        return v;
    }

    std::vector<Step> animate(int steps)
    {
        std::vector<Step> out;
        for (int i = 0; i < steps; ++i) {
            int time = -1, last = -1;
            const int onPoint = f.Animate(time, last);
            EXPECT_EQ(last, static_cast<int>(f.Timeline()->GetLastTime()));
            out.push_back({time, onPoint});
        }
        return out;
    }

    MessageRecorder messages;
    AnimFacility f;
    Plane* floor = nullptr;
};

TEST_F(FacilityAnimationTest, WithoutATimelineNothingMovesAndTheBoundaryIsReached)
{
    AnimVessel* v = vesselWith(1, {{0, 100}});
    EXPECT_EQ(f.GetAnimDirection(), Facility::Forward);
    int time = 7, last = 8;
    EXPECT_EQ(f.Animate(time, last), 1);
    EXPECT_EQ(time, 7);
    EXPECT_EQ(last, 8);
    EXPECT_EQ(f.AnimBoundaryReached(), 1);
    EXPECT_EQ(f.GetAnimationTime(), 0);

    f.SetAnimationTime(50);
    f.SetRelativeAnimationTime(0.5);
    long now = 9;
    CString ops("x");
    f.SetCurrentAnimationParams(now, ops);
    EXPECT_EQ(now, 9);
    EXPECT_EQ(ops, "x");
    EXPECT_EQ(v->GetCurrentTime(), 0);
    EXPECT_EQ(f.Timeline(), nullptr);

    // ResetTime sets the vessels to 0 even without a clock.
    v->SetVolume(0.5);
    f.ResetTime();
    EXPECT_EQ(v->GetVolume(), 0.0);
}

TEST_F(FacilityAnimationTest, TheTimelineHoldsTheTimesOfVesselsAndConnectingStreamsOnly)
{
    AnimVessel* a = vesselWith(1, {{0, 100}, {100, 200}});
    AnimVessel* b = vesselWith(2, {{50, 150}});
    AddUnit(f.Connect(a, b)->GetProc(), 1, 120, 130);
    AddUnit(f.AddFeed(a)->GetProc(), 1, 7, 8);
    AddUnit(f.AddUtility(a)->GetProc(), 1, 9, 10);
    AddUnit(f.AddVapor(a, nullptr)->GetProc(), 1, 11, 12);

    f.InitAnim(Facility::Backward);
    const AnimTimeline* clock = f.Timeline();
    ASSERT_NE(clock, nullptr);
    std::vector<long> points;
    for (int i = 0; i < clock->GetNumPoints(); ++i)
        points.push_back(clock->GetPoint(i));
    EXPECT_EQ(points, (std::vector<long>{0, 50, 100, 120, 130, 150, 200}));
    EXPECT_EQ(clock->GetLastTime(), 200);
    EXPECT_EQ(clock->GetFramesPerInterval(), AnimTimeline::kInitialFrames);
    EXPECT_EQ(f.GetAnimDirection(), Facility::Backward);

    // Later calls keep the timeline; only the direction changes.
    AddUnit(a->GetProc(), 2, 300, 400);
    f.InitAnim(Facility::Forward);
    EXPECT_EQ(f.Timeline(), clock);
    EXPECT_EQ(clock->GetNumPoints(), 7);
    EXPECT_EQ(f.GetAnimDirection(), Facility::Forward);
}

TEST_F(FacilityAnimationTest, AnimateStepsFramesAndReportsTheSecondShowingOfAPoint)
{
    vesselWith(1, {{0, 100}, {100, 200}});
    f.InitAnim(Facility::Forward);
    f.SetAnimationTime(0);
    EXPECT_EQ(f.Timeline()->GetFramesPerInterval(), 6);
    EXPECT_EQ(animate(7), (std::vector<Step>{{20, 0}, {40, 0}, {60, 0}, {80, 0}, {100, 0}, {100, 1}, {120, 0}}));
    EXPECT_EQ(f.AnimBoundaryReached(), 0);
    animate(4); // 140 .. 200 as the last frame
    EXPECT_EQ(f.AnimBoundaryReached(), 0);
    EXPECT_EQ(animate(1), (std::vector<Step>{{200, 1}}));
    EXPECT_EQ(f.AnimBoundaryReached(), 1);

    // Backward from there the repeated 200 is skipped.
    f.InitAnim(Facility::Backward);
    EXPECT_EQ(f.AnimBoundaryReached(), 0);
    EXPECT_EQ(animate(2), (std::vector<Step>{{180, 0}, {160, 0}}));
    f.SetAnimationTime(100);
    EXPECT_EQ(animate(1), (std::vector<Step>{{80, 0}}));
    f.SetAnimationTime(0);
    EXPECT_EQ(f.AnimBoundaryReached(), 1);
}

TEST_F(FacilityAnimationTest, SetAnimationTimeSeeksAndSetsEveryVesselAndStream)
{
    AnimVessel* a = vesselWith(1, {{0, 100}, {100, 200}});
    AnimVessel* b = vesselWith(2, {});
    Stream* s = f.Connect(a, b);
    f.InitAnim();

    // Seeking with the initial 20 frames, then changing to 6, keeps the
    // clock in the interval of 150.
    f.SetAnimationTime(150);
    EXPECT_EQ(f.Timeline()->GetCursorTime(), 100);
    EXPECT_EQ(f.GetAnimationTime(), 140);
    EXPECT_EQ(a->GetCurrentTime(), 150);
    EXPECT_EQ(b->GetCurrentTime(), 150);
    EXPECT_EQ(s->GetCurrentTime(), 150);
    f.SetAnimationTime(150);
    EXPECT_EQ(f.Timeline()->GetFrame(), 2);

    // The last point moves no clock, but the vessels follow.
    f.SetAnimationTime(200);
    EXPECT_EQ(f.GetAnimationTime(), 140);
    EXPECT_EQ(a->GetCurrentTime(), 200);
    EXPECT_EQ(s->GetCurrentTime(), 200);

    // Frames per operation below 1 give two frames per interval.
    f.SetFramesPerOp(0);
    f.SetAnimationTime(50);
    EXPECT_EQ(f.Timeline()->GetFramesPerInterval(), 2);
    EXPECT_EQ(f.GetAnimationTime(), 0);

    // Relative times move the clock only.
    f.SetRelativeAnimationTime(0.5);
    EXPECT_EQ(f.GetAnimationTime(), 100);
    EXPECT_EQ(a->GetCurrentTime(), 50);

    f.ResetTime();
    EXPECT_EQ(f.GetAnimationTime(), 0);
    EXPECT_EQ(a->GetCurrentTime(), 0);
    EXPECT_EQ(s->GetCurrentTime(), 0);
}

TEST_F(FacilityAnimationTest, TimesBeyondTheRangeOfIntReachStreamsHeldAtItsLimit)
{
    AnimVessel* a = vesselWith(1, {{0, 100}});
    AnimVessel* b = vesselWith(2, {});
    Stream* s = f.Connect(a, b);
    f.InitAnim();
    f.SetAnimationTime(static_cast<long>(INT_MAX) + 10);
    EXPECT_EQ(a->GetCurrentTime(), static_cast<long>(INT_MAX) + 10);
    EXPECT_EQ(s->GetCurrentTime(), INT_MAX);
    f.SetAnimationTime(static_cast<long>(INT_MIN) - 10);
    EXPECT_EQ(s->GetCurrentTime(), INT_MIN);
}

TEST_F(FacilityAnimationTest, SetCurrentAnimationParamsCollectsEachRunningTextOnce)
{
    AnimVessel* a = f.Add(floor, 1, "A");
    AnimVessel* b = f.Add(floor, 2, "B");
    AnimVessel* c = f.Add(floor, 3, "C");
    AddUnit(a->GetProc(), 1, 0, 100, 0.0, "Charge", "1.1 Charge");
    AddUnit(b->GetProc(), 1, 0, 100, 0.0, "Charge", "1.1 Charge");
    AddUnit(c->GetProc(), 1, 0, 100, 0.0, "Heat", "1.2 Heat");
    AddUnit(c->GetProc(), 1, 100, 200, 0.0, "Heat", "1.3 Hold");
    Stream* s = f.Connect(a, b);
    AddUnit(s->GetProc(), 1, 40, 60, 0.0, "Transfer", "T");
    f.InitAnim();
    f.SetAnimationTime(60);
    EXPECT_EQ(s->IsInUse(), 1);
    // The clock moves on alone; the call brings everything to its time.
    f.SetRelativeAnimationTime(0.5);
    f.SetFramesPerOp(3);
    a->EnableHighlight();
    s->EnableHighlight();

    long time = 0;
    CString ops;
    f.SetCurrentAnimationParams(time, ops);
    EXPECT_EQ(time, 100);
    EXPECT_EQ(a->GetCurrentTime(), 100);
    EXPECT_FALSE(a->GetCurrentOp(100).IsEmpty());
    EXPECT_EQ(ops, a->GetCurrentOp(100) + c->GetCurrentOp(100));
    EXPECT_EQ(a->IsSelected(), 0);
    EXPECT_EQ(s->IsSelected(), 0);
    EXPECT_EQ(c->IsHeating(), 1);
    EXPECT_EQ(s->IsInUse(), 0);
    EXPECT_EQ(f.Timeline()->GetFramesPerInterval(), 4);

    // Texts already there are not added again; nothing running adds nothing.
    const CString before = ops;
    f.SetCurrentAnimationParams(time, ops);
    EXPECT_EQ(ops, before);
    f.SetRelativeAnimationTime(0.0);
    CString none;
    f.SetCurrentAnimationParams(time, none);
    EXPECT_EQ(time, 0);
    EXPECT_TRUE(none.IsEmpty());
}

// Vessels -------------------------------------------------------------------

TEST_F(FacilityAnimationTest, AVesselIsActiveFromJustAfterItsStartToItsEnd)
{
    AnimVessel* v = vesselWith(1, {{100, 200}}, "Heat");
    double r0, g0, b0, a0;
    v->GetCurrentColor(r0, g0, b0, a0);
    for (auto [t, running] : std::vector<std::pair<long, int>>{{100, 0}, {101, 1}, {200, 1}, {201, 0}}) {
        v->SetPropertiesByTime(t);
        EXPECT_EQ(v->IsActive(), running) << t;
        EXPECT_EQ(v->IsHeating(), running) << t;
        EXPECT_EQ(v->GetCurrentTime(), t);
    }
    double r, g, b, a;
    v->GetCurrentColor(r, g, b, a);
    EXPECT_EQ(std::vector<double>({r, g, b}), std::vector<double>({r0, g0, b0}));
}

// Heat after cool and the own colour after both are the vessel tests'; here
// the cooling colour, also when heating turns straight back to cooling.
TEST_F(FacilityAnimationTest, CoolingShowsTheCoolColourAlsoStraightAfterHeating)
{
    AnimVessel* v = f.Add(floor, 1);
    AddUnit(v->GetProc(), 1, 0, 10, 0.0, "Heat");
    AddUnit(v->GetProc(), 1, 10, 20, 0.0, "Cool");
    for (long t : {15L, 5L, 15L}) {
        v->SetPropertiesByTime(t);
        double r, g, b, a;
        v->GetCurrentColor(r, g, b, a);
        EXPECT_EQ(std::vector<double>({r, g, b}),
                  (t == 15 ? std::vector<double>{0.5, 0.5, 1.0} : std::vector<double>{1.0, 0.5, 0.0}))
            << t;
        EXPECT_EQ(v->IsCooling(), t == 15 ? 1 : 0) << t;
    }
}

TEST_F(FacilityAnimationTest, TheVolumeFollowsTheContentsAndOverflowsAboveTheCapacity)
{
    AnimVessel* v = f.Add(floor, 1);
    v->SetCapacityForTest(2.0);
    v->SetRadiusForTest(0.5);
    AddUnit(v->GetProc(), 1, 0, 100, 1.0);
    AddUnit(v->GetProc(), 1, 200, 300, 3.0);
    v->SetPropertiesByTime(50);
    EXPECT_DOUBLE_EQ(v->GetVolume(), 0.25);
    v->SetPropertiesByTime(150);
    EXPECT_DOUBLE_EQ(v->GetVolume(), 0.5);
    EXPECT_EQ(v->IsOverflowing(), 0);
    v->SetPropertiesByTime(300); // 3.0 in 2.0
    EXPECT_DOUBLE_EQ(v->GetVolume(), 1.0);
    EXPECT_EQ(v->IsOverflowing(), 1);
    EXPECT_DOUBLE_EQ(v->GetOverflowLevel(), 1.8 * 0.5);
    v->SetPropertiesByTime(250); // 2.0 in 2.0
    EXPECT_DOUBLE_EQ(v->GetVolume(), 1.0);
    EXPECT_EQ(v->IsOverflowing(), 0);
    EXPECT_DOUBLE_EQ(v->GetOverflowLevel(), 1.8 * 0.5); // kept

    v->IncrementVolume(0.5);
    EXPECT_EQ(v->IsOverflowing(), 1);
    EXPECT_DOUBLE_EQ(v->GetOverflowLevel(), 1.8 * 0.5);
    v->DecrementVolume(0.75);
    EXPECT_DOUBLE_EQ(v->GetVolume(), 0.25);
    v->DecrementVolume(1.0);
    EXPECT_EQ(v->GetVolume(), 0.0);

    // Without a capacity the fraction stays as it was.
    v->SetCapacityForTest(0.0);
    v->SetVolume(0.4);
    v->SetPropertiesByTime(300);
    EXPECT_DOUBLE_EQ(v->GetVolume(), 0.4);
}

TEST_F(FacilityAnimationTest, VolumesThatAreNotFiniteNeverReachTheDrawing)
{
    AnimVessel* v = f.Add(floor, 1);
    v->SetCapacityForTest(2.0);
    AddUnit(v->GetProc(), 1, 0, 100, INFINITY);
    AddUnit(v->GetProc(), 1, 100, 200, INFINITY);
    for (long t : {50L, 100L, 150L, 250L}) {
        v->SetPropertiesByTime(t);
        EXPECT_TRUE(std::isfinite(v->GetVolume())) << t;
        EXPECT_GE(v->GetVolume(), 0.0);
        EXPECT_LE(v->GetVolume(), 1.0);
        EXPECT_TRUE(std::isfinite(v->GetOverflowLevel())) << t;
    }
    v->SetVolume(std::nan(""));
    EXPECT_EQ(v->GetVolume(), 0.0);
    EXPECT_EQ(v->IsOverflowing(), 0);
}

TEST_F(FacilityAnimationTest, AnInventoryIsActiveExactlyWhileOneOfItsStreamsFlows)
{
    AnimVessel* tank = f.Add(floor, 1, "T", "Inventory Tank");
    AnimVessel* a = vesselWith(2, {{0, 500}});
    AnimVessel* b = vesselWith(3, {{0, 500}});
    AddUnit(tank->GetProc(), 1, 0, 500); // its own operations do not count
    AddUnit(f.Connect(a, tank, 1)->GetProc(), 1, 100, 200);
    AddUnit(f.Connect(tank, b, 2)->GetProc(), 1, 300, 400);
    AddUnit(f.AddFeed(tank, 3)->GetProc(), 1, 0, 500);
    f.InitAnim();
    for (auto [t, active] :
         std::vector<std::pair<long, int>>{{50, 0}, {100, 0}, {150, 1}, {200, 1}, {250, 0}, {350, 1}, {450, 0}}) {
        f.SetAnimationTime(t);
        EXPECT_EQ(tank->IsActive(), active) << t;
        EXPECT_EQ(a->IsActive(), 1) << t;
    }
}

TEST_F(FacilityAnimationTest, ContentsColourFollowsTheRunningBatch)
{
    AnimVessel* v = f.Add(floor, 1);
    AddUnit(v->GetProc(), 2, 0, 10);
    AddUnit(v->GetProc(), 9, 10, 20);
    AddUnit(v->GetProc(), 10, 20, 30);
    auto contents = [&](long t) {
        v->SetPropertiesByTime(t);
        v->set_conts_color();
        double r, g, b, a;
        v->GetContentsColor(r, g, b, a);
        return std::vector<long>{std::lround(r * 255.0), std::lround(g * 255.0), std::lround(b * 255.0),
                                 std::lround(a)};
    };
    EXPECT_EQ(contents(5), (std::vector<long>{0, 0, 255, 1}));
    EXPECT_EQ(contents(15), (std::vector<long>{128, 0, 255, 1}));
    EXPECT_EQ(contents(25), (std::vector<long>{255, 0, 0, 1}));
    EXPECT_EQ(contents(45), (std::vector<long>{255, 0, 0, 1})); // nothing runs: unchanged
    contents(5);
    EXPECT_EQ(contents(45), (std::vector<long>{0, 0, 255, 1}));
}

// Streams -------------------------------------------------------------------

TEST_F(FacilityAnimationTest, AStreamFlowsWhileATransferRunsAndCountsItsFrames)
{
    AnimVessel* a = vesselWith(1, {});
    AnimVessel* b = vesselWith(2, {});
    Stream* s = f.Connect(a, b);
    AddUnit(s->GetProc(), 1, 100, 200, 0.0, "Transfer", "Transfer 1");
    s->SetPropertiesByTime(100);
    EXPECT_EQ(s->IsInUse(), 0);
    EXPECT_TRUE(s->GetCurrentOp().IsEmpty());
    s->SetPropertiesByTime(101);
    EXPECT_EQ(s->IsInUse(), 1);
    EXPECT_EQ(s->GetFlowFrames(), 0);
    EXPECT_EQ(s->GetCurrentOp(), "Transfer 1");
    s->SetFlow(0.5, 0.25);
    s->SetPropertiesByTime(150);
    s->SetPropertiesByTime(200);
    EXPECT_EQ(s->GetFlowFrames(), 2);
    EXPECT_EQ(s->GetFlowPosition(), 0.5); // a running flow keeps its slug
    s->SetPropertiesByTime(201);
    EXPECT_EQ(s->IsInUse(), 0);
    EXPECT_EQ(s->GetFlowPosition(), 0.0);
    EXPECT_EQ(s->GetFlowFraction(), 0.0);
    EXPECT_TRUE(s->GetCurrentOp().IsEmpty());
    // A new flow counts from 0 again.
    s->SetPropertiesByTime(120);
    EXPECT_EQ(s->GetFlowFrames(), 0);

    s->DisableFlow();
    s->DisableFlow();
    EXPECT_EQ(s->IsInUse(), 0);
    s->EnableFlow();
    s->EnableFlow();
    EXPECT_EQ(s->GetFlowFrames(), 1);
}

TEST_F(FacilityAnimationTest, FlowPositionAndFractionStayInTheirRanges)
{
    Stream* s = f.AddFeed(vesselWith(1, {}));
    const double nan = std::nan("");
    const struct {
        double position, fraction, shownPosition, shownFraction;
    } cases[] = {{3.0, 1.5, 2.0, 1.0}, {-4.0, 1.0, -1.0, 1.0}, {0.3, -2.0, 0.3, 0.0}, {nan, nan, -1.0, 0.0}};
    for (const auto& c : cases) {
        s->SetFlow(c.position, c.fraction);
        EXPECT_EQ(s->GetFlowPosition(), c.shownPosition) << c.position;
        EXPECT_EQ(s->GetFlowFraction(), c.shownFraction) << c.fraction;
    }
    s->SetFlow(0.3);
    s->IncrementFlowPos(0.5);
    EXPECT_DOUBLE_EQ(s->GetFlowPosition(), 0.8);
    s->IncrementFlowPos(5.0);
    EXPECT_EQ(s->GetFlowPosition(), 2.0);
}

TEST_F(FacilityAnimationTest, TheSlugEntersTravelsAndDrainsAlongThePath)
{
    AnimVessel* a = vesselWith(1, {});
    AnimVessel* b = vesselWith(2, {});
    a->SetCoords(-3.0, 0.0);
    b->SetCoords(3.0, 1.0);
    auto* pipe = static_cast<AnimStream*>(f.Connect(a, b));
    double x1 = 0, y1 = 0, z1 = 0, x2 = 0, y2 = 0, z2 = 0;
    pipe->get_ves_coords(&x1, &y1, &z1, &x2, &y2, &z2);
    const double length = std::fabs(x1 - x2) + std::fabs(y1 - y2) + std::fabs(z1 - z2);
    ASSERT_GT(length, 0.0);

    struct Case {
        double p, q, start, end;
    };
    for (const Case& c : std::vector<Case>{{0.5, 0.25, 0.25, 0.75},
                                           {-0.5, 0.5, 0.0, 0.25},
                                           {-1.0, 1.0, 0.0, 0.0},
                                           {0.1, 0.25, 0.0, 0.35},
                                           {0.9, 0.25, 0.65, 1.0},
                                           {1.5, 0.5, 0.75, 1.0},
                                           {2.0, 1.0, 1.0, 1.0}}) {
        pipe->SetFlow(c.p, c.q);
        pipe->setflow();
        EXPECT_DOUBLE_EQ(pipe->GetPathLength(), length);
        EXPECT_NEAR(pipe->GetSegmentStart(), c.start * length, 1e-12) << c.p << " " << c.q;
        EXPECT_NEAR(pipe->GetSegmentEnd(), c.end * length, 1e-12) << c.p << " " << c.q;
    }

    // A feed stub is 2.0 long: the slug of 0.5, 0.25 covers 0.5 to 1.5.
    auto* feed = static_cast<AnimStream*>(f.AddFeed(a));
    feed->SetFlow(0.5, 0.25);
    feed->setflow();
    EXPECT_DOUBLE_EQ(feed->GetPathLength(), 2.0);
    EXPECT_DOUBLE_EQ(feed->GetSegmentStart(), 0.5);
    EXPECT_DOUBLE_EQ(feed->GetSegmentEnd(), 1.5);

    // Without its vessels a stream has no path.
    AnimStream lone;
    lone.SetFlow(0.5, 0.5);
    lone.setflow();
    EXPECT_EQ(lone.GetPathLength(), 0.0);
    EXPECT_EQ(lone.GetSegmentEnd(), 0.0);
}

TEST_F(FacilityAnimationTest, AStreamIsDrawnInItsBatchColourVaporGreenAndUtilitiesWhite)
{
    AnimVessel* a = vesselWith(1, {});
    AnimVessel* b = vesselWith(2, {});
    auto colourOf = [](Stream* s, long t) {
        s->SetPropertiesByTime(t);
        static_cast<AnimStream*>(s)->set_conts_color();
        double r, g, bl, al;
        s->GetContentsColor(r, g, bl, al);
        return std::vector<long>{std::lround(r * 255.0), std::lround(g * 255.0), std::lround(bl * 255.0)};
    };
    Stream* pipe = f.Connect(a, b);
    AddUnit(pipe->GetProc(), 3, 0, 10, 0.0, "Transfer");
    EXPECT_EQ(colourOf(pipe, 5), (std::vector<long>{0, 192, 0}));
    EXPECT_EQ(colourOf(pipe, 50), (std::vector<long>{0, 192, 0})); // kept

    Stream* vapor = f.AddVapor(a, b);
    AddUnit(vapor->GetProc(), 4, 0, 10, 0.0, "Vent");
    EXPECT_EQ(colourOf(vapor, 5), (std::vector<long>{0, 255, 0}));
    Stream* utility = f.AddUtility(a);
    AddUnit(utility->GetProc(), 4, 0, 10, 0.0, "Steam");
    EXPECT_EQ(colourOf(utility, 5), (std::vector<long>{255, 255, 255}));
    EXPECT_EQ(colourOf(utility, 50), (std::vector<long>{255, 255, 255}));
}

TEST_F(FacilityAnimationTest, StreamTimesReachEveryKindOfStream)
{
    AnimVessel* a = vesselWith(1, {});
    AnimVessel* b = vesselWith(2, {});
    std::vector<Stream*> streams{f.Connect(a, b), f.AddFeed(a), f.AddUtility(b), f.AddVapor(a, nullptr)};
    for (Stream* s : streams)
        AddUnit(s->GetProc(), 1, 0, 10, 0.0, "Move");
    f.setStreamTimes(5);
    for (Stream* s : streams) {
        EXPECT_EQ(s->GetCurrentTime(), 5);
        EXPECT_EQ(s->IsInUse(), 1);
    }
}

} // namespace
} // namespace batchplant::test
