// The animation clock against a clock by hand; the facility's clock and its items' state at a time.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "../model/ModelFixtures.h"
#include "TestSupport.h"
#include "batchplant/animation/AnimTimeline.h"
#include "batchplant/procedure/CProcedure.h"

namespace batchplant::test {
namespace {

// The clock by hand: distinct sorted points; an interval runs from a point to
// the next one (the last point's to the first again) in F frames, frame f at
// t0 + (t1 - t0) f / (F - 1). Fewer than two points stand still at 0.
struct ReferenceClock {
    std::vector<long> points;
    long last = 0; // never below 0
    int frames = AnimTimeline::kInitialFrames, cursor = -1, frame = 0;

    int n() const { return static_cast<int>(points.size()); }
    long time() const
    {
        const __int128 t0 = points[cursor], t1 = points[(cursor + 1) % n()];
        return static_cast<long>(t0 + ((t1 - t0) * frame) / (frames - 1));
    }
    void Insert(const std::vector<long>& ts)
    {
        for (long t : ts) {
            last = std::max(last, t);
            const auto at = std::lower_bound(points.begin(), points.end(), t);
            if (at != points.end() && *at == t) continue;
            if (cursor >= at - points.begin()) ++cursor; // the cursor stays on its point
            points.insert(at, t);
        }
    }
    void Insert(long t) { Insert(std::vector<long>{t}); }
    void step(int by)
    {
        if (n() < 2) return;
        if (cursor < 0) {
            cursor = 0; // the first step only sets the cursor
            return;
        }
        const int moved = frame + by;
        cursor = (cursor + n() + (moved == frames) - (moved < 0)) % n();
        frame = (moved + frames) % frames;
    }
    void StepForward() { step(1); }
    void StepBackward() { step(-1); }
    void Seek(long t)
    {
        if (n() < 2 || t < points.front() || t >= points.back()) return;
        cursor = static_cast<int>(std::upper_bound(points.begin(), points.end(), t) - points.begin()) - 1;
        frame = static_cast<int>((static_cast<__int128>(frames - 1) * (t - points[cursor])) /
                                 (points[cursor + 1] - points[cursor]));
    }
    void SeekRelative(double r)
    {
        Seek(static_cast<long>(std::trunc(std::clamp(std::isnan(r) ? 0.0 : r, 0.0, 1.0) * last)));
    }
    void SetFramesPerInterval(int f)
    {
        f = std::max(f, 2);
        frame = static_cast<int>((static_cast<long>(frame) * (f - 1)) / (frames - 1));
        frames = f;
    }
};

TEST(AnimTimelineTest, EveryOperationMatchesTheClockByHand)
{
    std::mt19937 rng(5);
    const double fractions[] = {0.75, 0.0, -3.0, NAN, 7.0, INFINITY, 0.3};
    for (int round = 0; round < 300; ++round) {
        AnimTimeline clock;
        ReferenceClock ref;
        auto randomTime = [&] { return static_cast<long>(rng() % 400) - 50 - (round % 7 == 0 ? 300 : 0); };
        std::vector<long> initial(rng() % 9);
        std::generate(initial.begin(), initial.end(), randomTime);
        clock.Insert(initial); // all at once before the cursor is set, duplicates included
        ref.Insert(initial);
        for (int op = 0; op < 80; ++op) {
            const unsigned kind = rng() % 14;
            const long t = randomTime();
            const int frames = static_cast<int>(rng() % 30) - 2;
            const double fraction = fractions[rng() % 7];
            auto apply = [&](auto& c) {
                kind < 4    ? c.StepForward()
                : kind < 7  ? c.StepBackward()
                : kind < 9  ? c.Seek(t)
                : kind < 10 ? c.SetFramesPerInterval(frames)
                : kind < 11 ? c.SeekRelative(fraction)
                : kind < 13 ? c.Insert(t)
                            : c.Insert(std::vector<long>{t, t + 3, t});
            };
            apply(clock);
            apply(ref);
            SCOPED_TRACE(testing::Message() << "round " << round << " op " << op << " kind " << kind);
            ASSERT_EQ(
                std::tuple(clock.GetNumPoints(), clock.GetLastTime(), clock.HasCursor(), clock.GetFramesPerInterval()),
                std::tuple(ref.n(), ref.last, ref.cursor >= 0, ref.frames));
            for (int i = -1; i <= ref.n(); ++i)
                ASSERT_EQ(clock.GetPoint(i), i < 0 || i == ref.n() ? 0 : ref.points[i]);
            // Fewer than two points: time 0, and asking sets no cursor.
            ASSERT_TRUE(ref.cursor >= 0 || ref.n() >= 2 || clock.GetCurrentTime() == 0);
            if (ref.cursor < 0) continue;
            ASSERT_EQ(std::tuple(clock.GetCursorTime(), clock.GetFrame(), clock.GetCurrentTime(), clock.CursorAtLast()),
                      std::tuple(ref.points[ref.cursor], ref.frame, ref.time(), ref.cursor == ref.n() - 1));
        }
    }
}

TEST(AnimTimelineTest, TimesAtTheEndsOfTheRangeOfLongDoNotOverflow)
{
    AnimTimeline clock;
    clock.Insert(std::vector<long>{LONG_MIN, LONG_MAX});
    clock.SetFramesPerInterval(32768);
    clock.Seek(0);
    EXPECT_EQ(clock.GetFrame(), 16383);
    const long t = clock.GetCurrentTime();
    EXPECT_TRUE(t <= 0 && t > LONG_MIN / 2) << t;
    clock.SeekRelative(1.0);
    EXPECT_EQ(clock.GetFrame(), 16383);
}

// One operation from start to end seconds holding `volume` cubic metres at its end; one ID per shared type text.
void AddUnit(CProcedure* p, long batch, long start, long end, double volume = 0.0, const char* opType = "Charge",
             const char* label = "op")
{
    static std::map<std::string, long> operations;
    const long opID = operations.emplace(opType, static_cast<long>(operations.size()) + 1).first->second;
    p->AddNewProc(batch, opID, 1, 1, static_cast<double>(start), static_cast<double>(end), "s", volume, "Cubic m", 0.0,
                  0.0, "K", 0.0, 0.0, "Pa", "", "", "", label, opType, "", "UP", -1, 0.0, "");
}

class AnimStream : public TestStream {
public:
    using Stream::setflow;
};

class AnimFacility : public TestFacility {
public:
    using Facility::setStreamTimes;
    const AnimTimeline* Timeline() const { return timeline(); }

protected:
    Stream* addStream() override { return new AnimStream(); }
};

class FacilityAnimationTest : public ::testing::Test {
protected:
    TestVessel* vesselWith(long id, std::vector<std::pair<long, long>> spans)
    {
        TestVessel* v = f.AddVessel(floor, id, CString::Formatted("V%ld", id));
        for (auto [start, end] : spans)
            AddUnit(v->GetProc(), 1, start, end);
        return v;
    }

    // Times of Animate calls, negative where the call stood on a point.
    std::vector<long> animate(int steps)
    {
        std::vector<long> out;
        for (int i = 0; i < steps; ++i) {
            int time = -1, last = -1;
            const int onPoint = f.Animate(time, last);
            EXPECT_EQ(last, static_cast<int>(f.Timeline()->GetLastTime()));
            out.push_back(onPoint ? -time : time);
        }
        return out;
    }

    template <class T> static std::vector<long> rgb(const T* x)
    {
        double r, g, b, a;
        x->GetContentsColor(r, g, b, a);
        return {std::lround(r * 255.0), std::lround(g * 255.0), std::lround(b * 255.0)};
    }

    MessageRecorder messages;
    AnimFacility f;
    Plane* floor = f.AddFloor(1);
};

TEST_F(FacilityAnimationTest, TheTimelineHoldsTheTimesOfVesselsAndConnectingStreamsAndTheTextsRunningOnce)
{
    TestVessel *a = f.AddVessel(floor, 1, "A"), *b = f.AddVessel(floor, 2, "B"), *c = f.AddVessel(floor, 3, "C");
    AddUnit(a->GetProc(), 1, 0, 100, 0.0, "Charge", "1.1 Charge");
    AddUnit(b->GetProc(), 1, 0, 100, 0.0, "Charge", "1.1 Charge"); // the same text as a's: shown once
    AddUnit(c->GetProc(), 1, 0, 100, 0.0, "Heat", "1.2 Heat");
    AddUnit(c->GetProc(), 1, 100, 200, 0.0, "Heat", "1.3 Hold");
    // Without a timeline nothing moves and the boundary is reached.
    int time = 7, last = 8;
    long now = 9;
    CString ops("x");
    EXPECT_EQ(std::pair(f.Animate(time, last), f.AnimBoundaryReached()), std::pair(1, 1));
    f.SetAnimationTime(50);
    f.SetCurrentAnimationParams(now, ops);
    EXPECT_EQ(std::tuple(ops, time, last, now, a->GetCurrentTime()), std::tuple(CString("x"), 7, 8, 9L, 0L));
    a->SetVolume(0.5);
    f.ResetTime(); // sets the vessels to 0 even without a clock
    EXPECT_EQ(a->GetVolume(), 0.0);
    Stream* s = f.Connect(a, b);
    AddUnit(s->GetProc(), 1, 40, 60, 0.0, "Transfer", "T");
    const std::vector<Stream*> others{f.AddFeed(a), f.AddUtility(a), f.AddVapor(a, nullptr)};
    for (int k = 0; k < 3; ++k)
        AddUnit(others[k]->GetProc(), 1, 7 + 2 * k, 8 + 2 * k, 0.0, "Move");
    f.InitAnim();
    const AnimTimeline* clock = f.Timeline();
    ASSERT_NE(clock, nullptr);
    EXPECT_EQ((std::vector{long{clock->GetNumPoints()}, clock->GetPoint(0), clock->GetPoint(1), clock->GetPoint(2),
                           clock->GetPoint(3), clock->GetPoint(4)}),
              (std::vector<long>{5, 0, 40, 60, 100, 200}));
    AddUnit(a->GetProc(), 2, 300, 400); // later calls keep the timeline
    f.InitAnim(Facility::Forward);
    EXPECT_TRUE(f.Timeline() == clock && clock->GetNumPoints() == 5);
    // The parameters at the clock's time, selections cleared.
    f.SetAnimationTime(60);
    f.SetRelativeAnimationTime(0.5); // the clock moves on alone
    f.SetFramesPerOp(3);
    a->EnableHighlight();
    ops = "";
    f.SetCurrentAnimationParams(now, ops);
    EXPECT_EQ(std::pair(now, a->GetCurrentTime()), std::pair(100L, 100L));
    EXPECT_FALSE(a->GetCurrentOp(100).IsEmpty());
    EXPECT_EQ(ops, a->GetCurrentOp(100) + c->GetCurrentOp(100));
    EXPECT_EQ((std::vector{a->IsSelected(), s->IsInUse(), c->IsHeating()}), (std::vector{0, 0, 1}));
    f.setStreamTimes(8); // every kind of stream follows the facility's stream times
    for (Stream* x : others)
        EXPECT_EQ(std::pair(x->GetCurrentTime(), x->IsInUse()), std::pair(8L, x == others[0] ? 1 : 0));
}

TEST_F(FacilityAnimationTest, SeekingAndSteppingTheClockSetsEveryVesselAndStream)
{
    TestVessel* a = vesselWith(1, {{0, 100}, {100, 200}});
    Stream* s = f.Connect(a, vesselWith(2, {}));
    f.InitAnim(Facility::Forward);
    // Seeking, then frames per operation + 1, keeps the clock in the interval of 150.
    f.SetAnimationTime(150);
    EXPECT_EQ(f.GetAnimationTime(), 140);
    EXPECT_EQ(std::pair(a->GetCurrentTime(), s->GetCurrentTime()), std::pair(150L, 150L));
    f.SetAnimationTime(200); // the last point moves no clock, but the vessels follow
    EXPECT_EQ((std::vector{f.GetAnimationTime(), a->GetCurrentTime(), s->GetCurrentTime()}),
              (std::vector<long>{140, 200, 200}));
    f.SetAnimationTime(0);
    EXPECT_EQ(animate(11), (std::vector<long>{20, 40, 60, 80, 100, -100, 120, 140, 160, 180, 200}));
    EXPECT_EQ(f.AnimBoundaryReached(), 0);
    EXPECT_EQ(animate(1), (std::vector<long>{-200}));
    EXPECT_EQ(f.AnimBoundaryReached(), 1);
    f.InitAnim(Facility::Backward); // backward from there the repeated 200 is skipped
    EXPECT_EQ(f.AnimBoundaryReached(), 0);
    EXPECT_EQ(animate(2), (std::vector<long>{180, 160}));
    f.SetAnimationTime(100);
    EXPECT_EQ(animate(1), (std::vector<long>{80}));
    f.SetAnimationTime(0);
    EXPECT_EQ(f.AnimBoundaryReached(), 1);

    f.SetFramesPerOp(0); // below 1: two frames per interval
    f.SetAnimationTime(50);
    EXPECT_EQ(f.Timeline()->GetFramesPerInterval(), 2);
    f.SetRelativeAnimationTime(0.5); // moves the clock only
    EXPECT_EQ(std::pair(f.GetAnimationTime(), a->GetCurrentTime()), std::pair(100L, 50L));
    // Streams hold times beyond the range of int at its limits.
    f.SetAnimationTime(static_cast<long>(INT_MAX) + 10);
    const long high = s->GetCurrentTime(), aHigh = a->GetCurrentTime();
    f.SetAnimationTime(static_cast<long>(INT_MIN) - 10);
    EXPECT_EQ((std::vector<long>{aHigh - high, high, s->GetCurrentTime()}), (std::vector<long>{10, INT_MAX, INT_MIN}));
    f.ResetTime();
    EXPECT_EQ((std::vector{f.GetAnimationTime(), a->GetCurrentTime(), s->GetCurrentTime()}),
              (std::vector<long>{0, 0, 0}));
}

TEST_F(FacilityAnimationTest, TheVolumeFollowsTheContentsAndOverflowsAboveTheCapacity)
{
    TestVessel* v = f.AddVessel(floor, 1);
    v->SetCapacityForTest(2.0);
    v->SetRadius(0.5);
    AddUnit(v->GetProc(), 1, 0, 100, 1.0);
    AddUnit(v->GetProc(), 1, 200, 300, 3.0);
    AddUnit(v->GetProc(), 1, 400, 500, INFINITY);
    // Volume fraction, overflowing, and the overflow level (1.8 radii once set, then kept).
    const std::vector<double> cases[] = {
        {50, 0.25, 0, 1.0}, {150, 0.5, 0, 1.0}, {300, 1.0, 1, 0.9}, {250, 1.0, 0, 0.9}, {450, 1.0, 1, 0.9}};
    for (const auto& c : cases) {
        v->SetPropertiesByTime(static_cast<long>(c[0]));
        EXPECT_EQ((std::vector<double>{c[0], v->GetVolume(), double(v->IsOverflowing()), v->GetOverflowLevel()}), c);
    }
    for (const double level : {-0.25, std::nan("")}) { // floored at 0
        v->SetVolume(level);
        EXPECT_EQ(v->GetVolume(), 0.0) << level;
    }
    v->SetCapacityForTest(0.0); // without a capacity the fraction stays as it was
    v->SetVolume(0.4);
    v->SetPropertiesByTime(300);
    EXPECT_DOUBLE_EQ(v->GetVolume(), 0.4);
}

TEST_F(FacilityAnimationTest, ContentsColourFollowsTheRunningBatchAndTheKindOfStream)
{
    TestVessel* v = f.AddVessel(floor, 1);
    const std::vector<Stream*> streams{f.Connect(v, vesselWith(2, {})), f.AddVapor(v, nullptr), f.AddUtility(v)};
    for (long batch : {1, 2, 3, 9, 10})
        AddUnit(v->GetProc(), batch, 10 * batch, 10 * batch + 10);
    for (Stream* s : streams)
        for (long batch : {1, 3, 10})
            AddUnit(s->GetProc(), batch, 10 * batch, 10 * batch + 10, 0.0, "Transfer");
    // Where nothing of its own runs an item keeps its colour; vapor and utility streams always keep theirs.
    using Rgb = std::vector<long>;
    const Rgb red{255, 0, 0}, green{0, 192, 0}, purple{128, 0, 255};
    const std::tuple<long, Rgb, Rgb> cases[] = {{15, red, red},      {25, {0, 0, 255}, red}, {35, green, green},
                                                {95, purple, green}, {500, purple, green},   {105, red, red}};
    for (const auto& [t, vessel, pipe] : cases) {
        v->SetPropertiesByTime(t);
        v->TakeContentsColour();
        for (Stream* s : streams) {
            s->SetPropertiesByTime(t);
            s->TakeContentsColour();
        }
        EXPECT_EQ((std::vector{rgb(v), rgb(streams[0]), rgb(streams[1]), rgb(streams[2])}),
                  (std::vector<std::vector<long>>{vessel, pipe, {0, 255, 0}, {255, 255, 255}}))
            << t;
    }
}

TEST_F(FacilityAnimationTest, AStreamFlowsWhileATransferRunsAndCountsItsFrames)
{
    Stream* s = f.Connect(vesselWith(1, {}), vesselWith(2, {}));
    AddUnit(s->GetProc(), 1, 100, 200, 0.0, "Transfer", "Transfer 1");
    s->SetPropertiesByTime(100);
    EXPECT_EQ(s->IsInUse(), 0);
    s->SetPropertiesByTime(101);
    EXPECT_EQ(std::pair(s->GetCurrentOp(), s->IsInUse()), std::pair(CString("Transfer 1"), 1));
    s->SetFlow(0.5, 0.25);
    s->SetPropertiesByTime(150);
    s->SetPropertiesByTime(200);
    EXPECT_EQ(std::pair(s->GetFlowFrames(), s->GetFlowPosition()), std::pair(2, 0.5))
        << "a running flow keeps its slug";
    s->SetPropertiesByTime(201);
    EXPECT_EQ(std::tuple(s->GetCurrentOp(), s->IsInUse(), s->GetFlowPosition(), s->GetFlowFraction()),
              std::tuple(CString(), 0, 0.0, 0.0));
    s->SetPropertiesByTime(120);
    EXPECT_EQ(s->GetFlowFrames(), 0) << "a new flow counts from 0 again";
}

TEST_F(FacilityAnimationTest, TheSlugStaysInItsRangesAndCoversItsPartOfThePath)
{
    TestVessel *a = vesselWith(1, {}), *b = vesselWith(2, {});
    a->SetCoords(-3.0, 0.0);
    b->SetCoords(3.0, 1.0);
    auto* pipe = static_cast<AnimStream*>(f.Connect(a, b));
    double x1 = 0, y1 = 0, z1 = 0, x2 = 0, y2 = 0, z2 = 0;
    pipe->get_ves_coords(&x1, &y1, &z1, &x2, &y2, &z2);
    const double length = std::fabs(x1 - x2) + std::fabs(y1 - y2) + std::fabs(z1 - z2);
    ASSERT_GT(length, 0.0);
    auto* feed = static_cast<AnimStream*>(f.AddFeed(a)); // a stub 2.0 long
    AnimStream lone;                                     // without its vessels: no path
    const double nan = std::nan("");
    const struct {
        AnimStream* s;
        double p, q, shownP, shownQ, start, end;
    } cases[] = {{pipe, 0.5, 0.25, 0.5, 0.25, 0.25, 0.75}, {pipe, -0.5, 0.5, -0.5, 0.5, 0.0, 0.25},
                 {pipe, 0.1, 0.95, 0.1, 0.95, 0.0, 1.0},   {pipe, 1.5, 0.5, 1.5, 0.5, 0.75, 1.0},
                 {pipe, 3.0, 1.5, 2.0, 1.0, 1.0, 1.0},     {pipe, -4.0, 1.0, -1.0, 1.0, 0.0, 0.0},
                 {pipe, 0.3, -2.0, 0.3, 0.0, 0.3, 0.3},    {pipe, nan, nan, -1.0, 0.0, 0.0, 0.0},
                 {feed, 0.5, 0.25, 0.5, 0.25, 0.25, 0.75}, {&lone, 0.5, 0.5, 0.5, 0.5, 0.0, 0.0}};
    for (const auto& c : cases) {
        c.s->SetFlow(c.p, c.q);
        c.s->setflow();
        const double l = c.s == pipe ? length : c.s == feed ? 2.0 : 0.0;
        SCOPED_TRACE(testing::Message() << c.p << " " << c.q);
        EXPECT_EQ((std::vector{c.s->GetFlowPosition(), c.s->GetFlowFraction(), c.s->GetPathLength()}),
                  (std::vector{c.shownP, c.shownQ, l}));
        EXPECT_NEAR(c.s->GetSegmentStart(), c.start * l, 1e-12);
        EXPECT_NEAR(c.s->GetSegmentEnd(), c.end * l, 1e-12);
    }
}

} // namespace
} // namespace batchplant::test
