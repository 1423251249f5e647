#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <random>
#include <vector>

#include "batchplant/animation/AnimTimeline.h"

namespace batchplant {
namespace {

// The clock by hand: an interval runs from a point to the next one (the last
// point's to the first again) in F frames, frame f at t0 + (t1 - t0) f / (F - 1).
struct ReferenceClock {
    std::vector<long> points;
    int frames = AnimTimeline::kInitialFrames, cursor = -1, frame = 0;

    int n() const { return static_cast<int>(points.size()); }
    long time() const
    {
        const __int128 t0 = points[cursor], t1 = points[(cursor + 1) % n()];
        return static_cast<long>(t0 + ((t1 - t0) * frame) / (frames - 1));
    }
    void step(int by)
    {
        if (cursor < 0) {
            cursor = 0;
            return;
        }
        frame += by;
        if (frame == frames) cursor = (cursor + 1) % n(), frame = 0;
        if (frame < 0) cursor = (cursor + n() - 1) % n(), frame = frames - 1;
    }
    void seek(long t)
    {
        if (t < points.front() || t >= points.back()) return;
        cursor = static_cast<int>(std::upper_bound(points.begin(), points.end(), t) - points.begin()) - 1;
        frame = static_cast<int>((static_cast<__int128>(frames - 1) * (t - points[cursor])) /
                                 (points[cursor + 1] - points[cursor]));
    }
    void setFrames(int f)
    {
        f = std::max(f, 2);
        frame = static_cast<int>((static_cast<long>(frame) * (f - 1)) / (frames - 1));
        frames = f;
    }
};

TEST(AnimTimelineTest, StepsSeeksAndFrameChangesMatchTheClockByHand)
{
    std::mt19937 rng(5);
    for (int round = 0; round < 200; ++round) {
        AnimTimeline clock;
        ReferenceClock ref;
        const int count = 2 + static_cast<int>(rng() % 8);
        while (ref.n() < count) {
            const long t = static_cast<long>(rng() % 400) - 50;
            clock.Insert(t);
            if (std::find(ref.points.begin(), ref.points.end(), t) == ref.points.end()) ref.points.push_back(t);
        }
        std::sort(ref.points.begin(), ref.points.end());
        for (int op = 0; op < 80; ++op) {
            const unsigned kind = rng() % 10;
            if (kind < 4) {
                clock.StepForward();
                ref.step(1);
            } else if (kind < 7) {
                clock.StepBackward();
                ref.step(-1);
            } else if (kind < 9) {
                const long t = static_cast<long>(rng() % 500) - 60;
                clock.Seek(t);
                ref.seek(t);
            } else {
                const int f = static_cast<int>(rng() % 30) - 2;
                clock.SetFramesPerInterval(f);
                ref.setFrames(f);
            }
            SCOPED_TRACE(testing::Message() << "round " << round << " op " << op);
            ASSERT_EQ(clock.HasCursor(), ref.cursor >= 0);
            if (ref.cursor < 0) continue;
            ASSERT_EQ(clock.GetCursorTime(), ref.points[ref.cursor]);
            ASSERT_EQ(clock.GetFrame(), ref.frame);
            ASSERT_EQ(clock.GetFramesPerInterval(), ref.frames);
            ASSERT_EQ(clock.GetCurrentTime(), ref.time());
            ASSERT_EQ(clock.CursorAtLast(), ref.cursor == ref.n() - 1);
        }
    }
}

TEST(AnimTimelineTest, PointsStayDistinctAndSortedAndInsertingKeepsTheCursorOnItsPoint)
{
    AnimTimeline clock;
    for (long t : {300L, 100L, 200L, 100L, 300L})
        clock.Insert(t);
    clock.SetFramesPerInterval(6);
    clock.Seek(250);
    clock.Insert(std::vector<long>{50, 400, 250, -50});
    std::vector<long> points;
    for (int i = -1; i <= clock.GetNumPoints(); ++i)
        points.push_back(clock.GetPoint(i));
    EXPECT_EQ(points, (std::vector<long>{0, -50, 50, 100, 200, 250, 300, 400, 0}));
    EXPECT_EQ(clock.GetCurrentTime(), 220) << "frame 2 of 200 to the new 250";
    EXPECT_EQ(clock.GetLastTime(), 400);

    AnimTimeline negative; // the last time never drops below 0
    negative.Insert(std::vector<long>{-7, -3, -7});
    EXPECT_EQ(negative.GetNumPoints(), 2);
    EXPECT_EQ(negative.GetLastTime(), 0);

    AnimTimeline single; // fewer than two points stand still at 0
    single.Insert(500);
    single.StepForward();
    single.Seek(500);
    EXPECT_FALSE(single.HasCursor());
    EXPECT_EQ(single.GetCurrentTime(), 0);
    EXPECT_EQ(single.GetLastTime(), 500);
}

TEST(AnimTimelineTest, SeekRelativeTakesAFractionOfTheLastTimeHeldBetween0And1)
{
    const std::pair<double, long> cases[] = {{0.75, 140}, {0.0, 0},   {-3.0, 0},
                                             {NAN, 0},    {7.0, 140}, {INFINITY, 140}}; // 1: moves nothing
    for (const auto& [fraction, time] : cases) {
        AnimTimeline clock;
        clock.Insert(std::vector<long>{0, 100, 200});
        clock.SetFramesPerInterval(6);
        clock.Seek(150);
        clock.SeekRelative(fraction);
        EXPECT_EQ(clock.GetCurrentTime(), time) << fraction;
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
    EXPECT_LE(t, 0);
    EXPECT_GT(t, LONG_MIN / 2);
    clock.SeekRelative(1.0);
    EXPECT_EQ(clock.GetFrame(), 16383);
}

} // namespace
} // namespace batchplant
