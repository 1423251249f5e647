#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <random>
#include <vector>

#include "batchplant/animation/AnimTimeline.h"

namespace batchplant {
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
    void insert(long t)
    {
        last = std::max(last, t);
        const auto at = std::lower_bound(points.begin(), points.end(), t);
        if (at != points.end() && *at == t) return;
        if (cursor >= at - points.begin()) ++cursor; // the cursor stays on its point
        points.insert(at, t);
    }
    void step(int by)
    {
        if (n() < 2) return;
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
        if (n() < 2 || t < points.front() || t >= points.back()) return;
        cursor = static_cast<int>(std::upper_bound(points.begin(), points.end(), t) - points.begin()) - 1;
        frame = static_cast<int>((static_cast<__int128>(frames - 1) * (t - points[cursor])) /
                                 (points[cursor + 1] - points[cursor]));
    }
    void seekRelative(double r)
    {
        seek(static_cast<long>(std::trunc(std::clamp(std::isnan(r) ? 0.0 : r, 0.0, 1.0) * last)));
    }
    void setFrames(int f)
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
        for (long& t : initial)
            t = randomTime();
        clock.Insert(initial); // all at once before the cursor is set, duplicates included
        for (long t : initial)
            ref.insert(t);
        for (int op = 0; op < 80; ++op) {
            const unsigned kind = rng() % 14;
            const long t = randomTime();
            const int frames = static_cast<int>(rng() % 30) - 2;
            const double fraction = fractions[rng() % 7];
            if (kind < 4)
                clock.StepForward(), ref.step(1);
            else if (kind < 7)
                clock.StepBackward(), ref.step(-1);
            else if (kind < 9)
                clock.Seek(t), ref.seek(t);
            else if (kind < 10)
                clock.SetFramesPerInterval(frames), ref.setFrames(frames);
            else if (kind < 11)
                clock.SeekRelative(fraction), ref.seekRelative(fraction);
            else if (kind < 13)
                clock.Insert(t), ref.insert(t);
            else
                clock.Insert(std::vector<long>{t, t + 3, t}), ref.insert(t), ref.insert(t + 3);
            SCOPED_TRACE(testing::Message() << "round " << round << " op " << op << " kind " << kind);
            ASSERT_EQ(clock.GetNumPoints(), ref.n());
            for (int i = -1; i <= ref.n(); ++i)
                ASSERT_EQ(clock.GetPoint(i), i < 0 || i == ref.n() ? 0 : ref.points[i]);
            ASSERT_EQ(clock.GetLastTime(), ref.last);
            ASSERT_EQ(clock.HasCursor(), ref.cursor >= 0);
            ASSERT_EQ(clock.GetFramesPerInterval(), ref.frames);
            // Fewer than two points: time 0, and asking sets no cursor.
            ASSERT_TRUE(ref.cursor >= 0 || ref.n() >= 2 || clock.GetCurrentTime() == 0);
            if (ref.cursor < 0) continue;
            ASSERT_EQ(clock.GetCursorTime(), ref.points[ref.cursor]);
            ASSERT_EQ(clock.GetFrame(), ref.frame);
            ASSERT_EQ(clock.GetCurrentTime(), ref.time());
            ASSERT_EQ(clock.CursorAtLast(), ref.cursor == ref.n() - 1);
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
    EXPECT_LE(t, 0);
    EXPECT_GT(t, LONG_MIN / 2);
    clock.SeekRelative(1.0);
    EXPECT_EQ(clock.GetFrame(), 16383);
}

} // namespace
} // namespace batchplant
