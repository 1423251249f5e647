#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <vector>

#include "batchplant/animation/AnimTimeline.h"

namespace batchplant {
namespace {

AnimTimeline clockWith(std::vector<long> points, int frames = AnimTimeline::kInitialFrames)
{
    AnimTimeline clock;
    for (long t : points)
        clock.Insert(t);
    clock.SetFramesPerInterval(frames);
    return clock;
}

std::vector<long> forwardTimes(AnimTimeline& clock, int steps)
{
    std::vector<long> times;
    for (int i = 0; i < steps; ++i) {
        clock.StepForward();
        times.push_back(clock.GetCurrentTime());
    }
    return times;
}

TEST(AnimTimelineTest, InsertKeepsDistinctPointsInAscendingOrder)
{
    AnimTimeline clock;
    for (long t : {300L, 100L, 200L, 100L, -50L, 300L})
        clock.Insert(t);
    ASSERT_EQ(clock.GetNumPoints(), 4);
    EXPECT_EQ(clock.GetPoint(0), -50);
    EXPECT_EQ(clock.GetPoint(1), 100);
    EXPECT_EQ(clock.GetPoint(2), 200);
    EXPECT_EQ(clock.GetPoint(3), 300);
    EXPECT_EQ(clock.GetPoint(4), 0);
    EXPECT_EQ(clock.GetPoint(-1), 0);
    EXPECT_EQ(clock.GetLastTime(), 300);

    // The batch insert gives the same points; the last time never drops
    // below 0.
    AnimTimeline batch;
    batch.Insert(std::vector<long>{-7, -3, -7});
    EXPECT_EQ(batch.GetNumPoints(), 2);
    EXPECT_EQ(batch.GetLastTime(), 0);
    batch.Insert(std::vector<long>{});
    EXPECT_EQ(batch.GetNumPoints(), 2);
}

TEST(AnimTimelineTest, FewerThanTwoPointsStandStillAtZero)
{
    AnimTimeline clock;
    EXPECT_EQ(clock.GetCurrentTime(), 0);
    clock.Insert(500);
    clock.StepForward();
    clock.StepBackward();
    clock.Seek(500);
    EXPECT_FALSE(clock.HasCursor());
    EXPECT_FALSE(clock.CursorHasNeighbours());
    EXPECT_EQ(clock.GetCurrentTime(), 0);
    EXPECT_EQ(clock.GetLastTime(), 500);
}

TEST(AnimTimelineTest, FramesReachTheIntervalEndAndShowItAgainAsTheNextStart)
{
    AnimTimeline clock = clockWith({0, 100, 200}, 6);
    // The first time read puts the cursor on the first point.
    EXPECT_EQ(clock.GetCurrentTime(), 0);
    EXPECT_EQ(clock.GetCursorTime(), 0);
    EXPECT_EQ(forwardTimes(clock, 12), (std::vector<long>{20, 40, 60, 80, 100, 100, 120, 140, 160, 180, 200, 200}));
    EXPECT_TRUE(clock.CursorAtLast());
    EXPECT_EQ(clock.GetFrame(), 0);
    // After the last point the ring goes on to the first one.
    EXPECT_EQ(forwardTimes(clock, 6), (std::vector<long>{160, 120, 80, 40, 0, 0}));
    EXPECT_TRUE(clock.CursorAtFirst());
}

TEST(AnimTimelineTest, BackwardStepsRunTheSameFramesInReverseAndWrapToTheLastPoint)
{
    AnimTimeline clock = clockWith({0, 100, 200}, 6);
    clock.Seek(140);
    ASSERT_EQ(clock.GetCurrentTime(), 140);
    std::vector<long> times;
    for (int i = 0; i < 4; ++i) {
        clock.StepBackward();
        times.push_back(clock.GetCurrentTime());
    }
    // From frame 0 of the interval at 100 to its last frame before.
    EXPECT_EQ(times, (std::vector<long>{120, 100, 100, 80}));
    EXPECT_EQ(clock.GetCursorTime(), 0);
    EXPECT_EQ(clock.GetFrame(), 4);

    AnimTimeline first = clockWith({0, 100, 200}, 6);
    first.StepBackward(); // the first step only places the cursor
    EXPECT_EQ(first.GetCursorTime(), 0);
    EXPECT_EQ(first.GetFrame(), 0);
    first.StepBackward();
    EXPECT_TRUE(first.CursorAtLast());
    EXPECT_EQ(first.GetFrame(), 5);
    // The wrapping interval runs from the last point back to the first.
    EXPECT_EQ(first.GetCurrentTime(), 0);
}

TEST(AnimTimelineTest, AShortIntervalShowsItsStartForSeveralFrames)
{
    AnimTimeline clock = clockWith({0, 3, 50});
    clock.StepForward();
    clock.StepForward();
    EXPECT_EQ(clock.GetFrame(), 1);
    EXPECT_EQ(clock.GetCurrentTime(), 0); // (3 × 1) / 19
    clock.StepForward();
    EXPECT_EQ(clock.GetCurrentTime(), 0);
    for (int i = 0; i < 4; ++i)
        clock.StepForward();
    EXPECT_EQ(clock.GetFrame(), 6);
    EXPECT_EQ(clock.GetCurrentTime(), 0); // (3 × 6) / 19
    clock.StepForward();
    EXPECT_EQ(clock.GetCurrentTime(), 1); // (3 × 7) / 19
}

TEST(AnimTimelineTest, SeekPlacesTheCursorInsideTheIntervalHoldingTheTime)
{
    AnimTimeline clock = clockWith({0, 100, 200}, 6);
    clock.Seek(150);
    EXPECT_EQ(clock.GetCursorTime(), 100);
    EXPECT_EQ(clock.GetFrame(), 2); // (5 × 50) / 100
    EXPECT_EQ(clock.GetCurrentTime(), 140);

    clock.Seek(100);
    EXPECT_EQ(clock.GetCursorTime(), 100);
    EXPECT_EQ(clock.GetFrame(), 0);
    clock.Seek(99);
    EXPECT_EQ(clock.GetCursorTime(), 0);
    EXPECT_EQ(clock.GetFrame(), 4);

    // Before the first point, at or after the last: the clock stays.
    for (long t : {-1L, 200L, 5000L}) {
        clock.Seek(t);
        EXPECT_EQ(clock.GetCursorTime(), 0) << t;
        EXPECT_EQ(clock.GetFrame(), 4) << t;
    }

    AnimTimeline fresh = clockWith({10, 20});
    fresh.Seek(20);
    EXPECT_FALSE(fresh.HasCursor());
}

TEST(AnimTimelineTest, SeekRelativeTakesAFractionOfTheLastTime)
{
    AnimTimeline clock = clockWith({0, 100, 200}, 6);
    clock.SeekRelative(0.75);
    EXPECT_EQ(clock.GetCurrentTime(), 140);
    clock.SeekRelative(0.0);
    EXPECT_EQ(clock.GetCurrentTime(), 0);
    clock.Seek(150);
    clock.SeekRelative(-3.0); // limited to 0
    EXPECT_EQ(clock.GetCurrentTime(), 0);
    clock.Seek(150);
    clock.SeekRelative(std::nan("")); // counts as 0
    EXPECT_EQ(clock.GetCurrentTime(), 0);
    clock.Seek(150);
    clock.SeekRelative(7.0); // limited to 1: the last time, which moves nothing
    EXPECT_EQ(clock.GetCurrentTime(), 140);
    clock.SeekRelative(INFINITY);
    EXPECT_EQ(clock.GetCurrentTime(), 140);
}

TEST(AnimTimelineTest, ChangingTheFrameCountKeepsTheClockInsideItsInterval)
{
    AnimTimeline clock = clockWith({0, 100, 200});
    clock.Seek(150);
    ASSERT_EQ(clock.GetFrame(), 9); // (19 × 50) / 100
    clock.SetFramesPerInterval(6);
    EXPECT_EQ(clock.GetFrame(), 2); // (9 × 5) / 19
    EXPECT_EQ(clock.GetCurrentTime(), 140);

    // Never fewer than two frames: the division by F - 1 stays defined.
    for (int frames : {1, 0, -4}) {
        clock.SetFramesPerInterval(frames);
        EXPECT_EQ(clock.GetFramesPerInterval(), 2) << frames;
        const long t = clock.GetCurrentTime();
        EXPECT_TRUE(t == 100 || t == 200) << t;
    }
}

TEST(AnimTimelineTest, InsertingKeepsTheCursorOnItsPoint)
{
    AnimTimeline clock = clockWith({100, 200, 300}, 6);
    clock.Seek(250);
    clock.Insert(150);
    clock.Insert(std::vector<long>{50, 400, 250});
    EXPECT_EQ(clock.GetNumPoints(), 7);
    EXPECT_EQ(clock.GetCursorTime(), 200);
    EXPECT_EQ(clock.GetCurrentTime(), 220); // now toward the new point 250
    EXPECT_EQ(clock.GetLastTime(), 400);
}

TEST(AnimTimelineTest, TimesAtTheEndsOfTheRangeOfLongDoNotOverflow)
{
    AnimTimeline clock = clockWith({LONG_MIN, LONG_MAX}, 32768);
    clock.Seek(0);
    EXPECT_EQ(clock.GetCursorTime(), LONG_MIN);
    EXPECT_EQ(clock.GetFrame(), 16383);
    const long t = clock.GetCurrentTime();
    EXPECT_LE(t, 0);
    EXPECT_GT(t, LONG_MIN / 2);
    clock.SeekRelative(1.0);
    EXPECT_EQ(clock.GetFrame(), 16383);
}

} // namespace
} // namespace batchplant
