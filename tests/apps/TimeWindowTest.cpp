// The level-of-detail merge on generated rows: whatever the window, every
// entry stands for exactly the blocks it says, in order, and the answer is
// bounded by the width; wide enough, it is the blocks themselves.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "render/TimeAxis.h"
#include "render/TimeWindow.h"
#include "render/Utilisation.h"

namespace batchplant::cli {
namespace {

// A row of back-to-back and spaced operations of a few batches each, some
// of zero length, as a long run has them.
std::vector<LodBlock> row(std::size_t n, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<LodBlock> blocks;
    long t = 0;
    short batch = 1;
    for (std::size_t i = 0; i < n; ++i) {
        t += random() % 4 == 0 ? static_cast<long>(random() % 5000) : 0;
        const long length = random() % 10 == 0 ? 0 : static_cast<long>(random() % 20000);
        if (random() % 3 == 0) ++batch;
        blocks.push_back({t, t + length, batch, random() % 5 == 0});
        t += length;
    }
    return blocks;
}

TEST(TimeWindow, MergedEntriesStandForExactlyTheirBlocks)
{
    const std::vector<LodBlock> blocks = row(20000, 7);
    const long end = blocks.back().end;
    struct Case {
        long from, to;
        int px;
    };
    for (const Case& w : {Case{0, end, 1600}, Case{0, end, 1}, Case{end / 3, end / 3 + 86400, 800},
                          Case{end / 2, end / 2 + 600, 8192}, Case{end + 10, end + 20, 100}}) {
        const TimeWindow window{w.from, w.to, w.px};
        const std::vector<LodEntry> entries = MergeBlocks(blocks, window);
        std::size_t next = 0; // the blocks stood for come in order, none twice
        for (const LodEntry& e : entries) {
            ASSERT_GE(e.first, next);
            for (; next < e.first; ++next)
                EXPECT_FALSE(window.Intersects(blocks[next].start, blocks[next].end)) << next;
            std::set<short> batches;
            long until = e.start;
            bool empty = true;
            for (std::size_t i = e.first; i < e.first + e.count; ++i) {
                batches.insert(blocks[i].batch);
                until = std::max(until, blocks[i].end);
                empty = empty && blocks[i].empty;
            }
            next = e.first + e.count;
            EXPECT_EQ(e.start, blocks[e.first].start);
            EXPECT_EQ(e.end, until);
            EXPECT_EQ(e.empty, empty);
            if (e.count == 1)
                EXPECT_TRUE(e.batches.empty());
            else
                EXPECT_EQ(std::vector<short>(batches.begin(), batches.end()), e.batches);
        }
        for (; next < blocks.size(); ++next)
            EXPECT_FALSE(window.Intersects(blocks[next].start, blocks[next].end)) << next;
        EXPECT_LE(entries.size(), 2u * static_cast<std::size_t>(w.px) + 2u) << w.from << ".." << w.to;
    }
    // Every block at least a pixel wide: the blocks, each as it is.
    std::vector<LodBlock> wide;
    for (std::size_t i = 0; i < 200; ++i)
        if (blocks[i].end - blocks[i].start >= 1000) wide.push_back(blocks[i]);
    const std::vector<LodEntry> exact = MergeBlocks(wide, TimeWindow{0, wide.back().end, 8192});
    ASSERT_EQ(exact.size(), wide.size());
    for (std::size_t i = 0; i < exact.size(); ++i)
        EXPECT_EQ(exact[i].first, i);
}

TEST(TimeWindow, StretchesCloserThanAPixelJoin)
{
    // One stretch stands for two already: joined, the counts add up.
    const std::vector<LodStretch> in = {{0, 10, 1}, {15, 20, 2}, {100, 150, 1}, {151, 160, 1}, {400, 500, 1}};
    struct Case {
        TimeWindow window;
        std::vector<std::pair<long, long>> spans; // (start, end)
        std::vector<std::size_t> counts;
    };
    for (const Case& c :
         {Case{{0, 500, 500}, {{0, 10}, {15, 20}, {100, 150}, {151, 160}, {400, 500}}, {1, 2, 1, 1, 1}},
          Case{{0, 500, 50}, {{0, 20}, {100, 160}, {400, 500}}, {3, 2, 1}}, Case{{120, 300, 1}, {{100, 160}}, {2}}}) {
        const std::vector<LodStretch> out = MergeStretches(in, c.window);
        ASSERT_EQ(out.size(), c.spans.size()) << c.window.px;
        for (std::size_t i = 0; i < out.size(); ++i) {
            EXPECT_EQ(std::make_pair(out[i].start, out[i].end), c.spans[i]);
            EXPECT_EQ(out[i].count, c.counts[i]);
        }
    }
}

TEST(TimeWindow, StepProfilesKeepWhatEachColumnShows)
{
    using Steps = std::vector<std::pair<double, double>>;
    // Few points: exact, from the one holding at the window's start.
    const Steps few = {{0, 1}, {50, 4}, {120, 2}, {400, 0}};
    std::vector<ColumnPoint> out = DownsampleSteps(few, TimeWindow{60, 300, 100});
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].t, 50);
    EXPECT_EQ(out[1].value, 2);

    // Many points: one per column where the profile changes, holding the
    // value at the column's start and the column's extremes.
    Steps many;
    for (int i = 0; i < 10000; ++i)
        many.emplace_back(i, i % 100 == 0 ? 5.0 : (i < 5000 ? 1.0 : 3.0));
    out = DownsampleSteps(many, TimeWindow{0, 10000, 10});
    ASSERT_LE(out.size(), 10u);
    EXPECT_EQ(out[0].value, 5);
    EXPECT_EQ(out[0].min, 1);
    EXPECT_EQ(out[0].max, 5);
    EXPECT_EQ(out.back().min, 3);
    for (std::size_t i = 1; i < out.size(); ++i)
        EXPECT_GT(out[i].t, out[i - 1].t);

    // Sums hold each series' value until its next point.
    EXPECT_EQ(AddSteps({{0, 1}, {10, 2}}, {{5, 10}, {10, 20}}), (Steps{{0, 1}, {5, 11}, {10, 22}}));
    // Properties take the higher where both hold a value, not a sum.
    EXPECT_EQ(HighestSteps({{0, 1}, {10, 5}}, {{5, 3}}), (Steps{{0, 1}, {5, 3}, {10, 5}}));
}

TEST(TimeAxis, TicksFallOnRoundDatesAndValues)
{
    ChartFrame frame;
    frame.start.SetDateTime(2024, 4, 1, 6, 0, 0);
    struct Case {
        long span;
        std::vector<std::string> first; // the first labels
    };
    for (const Case& c :
         {Case{654L * 86400, {"Jul 2024", "Oct", "Jan 2025"}}, Case{7L * 86400, {"2 Apr 2024", "3 Apr"}},
          Case{6L * 3600, {"1 Apr 2024 06:00", "07:00"}}, Case{30L * 365 * 86400, {"2025", "2030"}}}) {
        frame.to = c.span;
        const std::vector<AxisTick> ticks = DateTicks(frame);
        ASSERT_GE(ticks.size(), c.first.size()) << c.span;
        for (std::size_t i = 0; i < c.first.size(); ++i)
            EXPECT_EQ(ticks[i].label, c.first[i]) << c.span;
        for (std::size_t i = 1; i < ticks.size(); ++i)
            EXPECT_GE(frame.X(ticks[i].t) - frame.X(ticks[i - 1].t), 60.0) << ticks[i].label;
    }
    EXPECT_EQ(NiceTicks(0, 4.725, 5), (std::vector<double>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(NiceTicks(-20, 45, 5), (std::vector<double>{-20, 0, 20, 40, 60}));
}

TEST(Utilisation, TheFourSharesAddUpToTheSpan)
{
    struct Case {
        const char* what;
        std::vector<LodBlock> blocks;
        std::vector<LodStretch> inUse, off;
        Shares want; // over [0, 100]
    };
    for (const Case& c : std::vector<Case>{
             {"nothing", {}, {}, {}, {0, 0, 1, 0}},
             {"an operation across a non-working stretch", {{10, 50, 1, false}}, {}, {{40, 60, 1}}, {0.4, 0, 0.5, 0.1}},
             {"in use over the edge and under an operation",
              {{80, 90, 2, false}},
              {{70, 130, 1}},
              {},
              {0.1, 0.2, 0.7, 0}},
             {"overlaps and stretches beyond the span",
              {{-20, 10, 1, false}, {5, 30, 1, false}, {150, 200, 3, false}},
              {},
              {{90, 300, 1}},
              {0.3, 0, 0.6, 0.1}}}) {
        const Shares s = ShareOfSpan(c.blocks, c.inUse, c.off, 0, 100);
        EXPECT_DOUBLE_EQ(s.running, c.want.running) << c.what;
        EXPECT_DOUBLE_EQ(s.holding, c.want.holding) << c.what;
        EXPECT_DOUBLE_EQ(s.nonWorking, c.want.nonWorking) << c.what;
        EXPECT_NEAR(s.idle, c.want.idle, 1e-12) << c.what;
    }
}

} // namespace
} // namespace batchplant::cli
