// The level-of-detail merge on generated rows: whatever the window, every
// entry stands for exactly the blocks it says, in order, and the answer is
// bounded by the width; wide enough, it is the blocks themselves.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <set>
#include <tuple>

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
    for (const TimeWindow& window : std::vector<TimeWindow>{{0, end, 1600},
                                                            {0, end, 1},
                                                            {end / 3, end / 3 + 86400, 800},
                                                            {end / 2, end / 2 + 600, 8192},
                                                            {end + 10, end + 20, 100}}) {
        const std::vector<LodEntry> entries = MergeBlocks(blocks, window);
        std::size_t next = 0; // the blocks stood for come in order, none twice
        auto skipOutside = [&](std::size_t until) {
            ASSERT_LE(next, until);
            for (; next < until; ++next)
                EXPECT_FALSE(window.Intersects(blocks[next].start, blocks[next].end)) << next;
        };
        for (const LodEntry& e : entries) {
            skipOutside(e.first);
            std::set<short> batches;
            long until = e.start;
            bool empty = true;
            for (; next < e.first + e.count; ++next) {
                batches.insert(blocks[next].batch);
                until = std::max(until, blocks[next].end);
                empty = empty && blocks[next].empty;
            }
            EXPECT_EQ(e.start, blocks[e.first].start);
            EXPECT_EQ(e.end, until);
            EXPECT_EQ(e.empty, empty);
            EXPECT_EQ(e.batches,
                      e.count == 1 ? std::vector<short>() : std::vector<short>(batches.begin(), batches.end()));
        }
        skipOutside(blocks.size());
        EXPECT_LE(entries.size(), 2u * static_cast<std::size_t>(window.px) + 2u) << window.from << ".." << window.to;
    }
}

TEST(TimeWindow, StretchesCloserThanAPixelJoinAndStepProfilesKeepWhatEachColumnShows)
{
    // One stretch stands for two already: joined, the counts add up.
    using Stretches = std::vector<std::array<long, 3>>; // start, end, count
    const std::vector<LodStretch> in = {{0, 10, 1}, {15, 20, 2}, {100, 150, 1}, {151, 160, 1}, {400, 500, 1}};
    for (const auto& [window, want] : std::vector<std::pair<TimeWindow, Stretches>>{
             {{0, 500, 500}, {{0, 10, 1}, {15, 20, 2}, {100, 150, 1}, {151, 160, 1}, {400, 500, 1}}},
             {{0, 500, 50}, {{0, 20, 3}, {100, 160, 2}, {400, 500, 1}}},
             {{120, 300, 1}, {{100, 160, 2}}}}) {
        Stretches out;
        for (const LodStretch& s : MergeStretches(in, window))
            out.push_back({s.start, s.end, static_cast<long>(s.count)});
        EXPECT_EQ(out, want) << window.px;
    }

    using Steps = std::vector<std::pair<double, double>>;
    // Few points: exact, from the one holding at the window's start.
    std::vector<ColumnPoint> out = DownsampleSteps({{0, 1}, {50, 4}, {120, 2}, {400, 0}}, TimeWindow{60, 300, 100});
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
    EXPECT_EQ(std::make_tuple(out[0].value, out[0].min, out[0].max, out.back().min), std::make_tuple(5, 1, 5, 3));
    for (std::size_t i = 1; i < out.size(); ++i)
        EXPECT_GT(out[i].t, out[i - 1].t);
    // Sums hold each series' value until its next point; properties take the
    // higher where both hold a value, not a sum.
    EXPECT_EQ(AddSteps({{0, 1}, {10, 2}}, {{5, 10}, {10, 20}}), (Steps{{0, 1}, {5, 11}, {10, 22}}));
    EXPECT_EQ(HighestSteps({{0, 1}, {10, 5}}, {{5, 3}}), (Steps{{0, 1}, {5, 3}, {10, 5}}));
}

TEST(TimeAxis, TicksFallOnRoundDatesAndValues)
{
    ChartFrame frame;
    frame.start.SetDateTime(2024, 4, 1, 6, 0, 0);
    for (const auto& [span, first] :
         std::vector<std::pair<long, std::vector<std::string>>>{{654L * 86400, {"Jul 2024", "Oct", "Jan 2025"}},
                                                                {7L * 86400, {"2 Apr 2024", "3 Apr"}},
                                                                {6L * 3600, {"1 Apr 2024 06:00", "07:00"}},
                                                                {30L * 365 * 86400, {"2025", "2030"}}}) {
        frame.to = span;
        const std::vector<AxisTick> ticks = DateTicks(frame);
        ASSERT_GE(ticks.size(), first.size()) << span;
        for (std::size_t i = 0; i < first.size(); ++i)
            EXPECT_EQ(ticks[i].label, first[i]) << span;
        for (std::size_t i = 1; i < ticks.size(); ++i)
            EXPECT_GE(frame.X(ticks[i].t) - frame.X(ticks[i - 1].t), 60.0) << ticks[i].label;
    }
    EXPECT_EQ(NiceTicks(0, 4.725, 5), (std::vector<double>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(NiceTicks(-20, 45, 5), (std::vector<double>{-20, 0, 20, 40, 60}));
}

TEST(Utilisation, TheFourSharesAddUpToTheSpan)
{
    // Running, holding, idle and non-working over [0, 100]: nothing; an
    // operation across a non-working stretch; in use over the edge and under
    // an operation; overlaps and stretches beyond the span.
    using Case = std::tuple<std::vector<LodBlock>, std::vector<LodStretch>, std::vector<LodStretch>, Shares>;
    for (const auto& [blocks, inUse, off, want] :
         std::vector<Case>{{{}, {}, {}, {0, 0, 1, 0}},
                           {{{10, 50, 1, false}}, {}, {{40, 60, 1}}, {0.4, 0, 0.5, 0.1}},
                           {{{80, 90, 2, false}}, {{70, 130, 1}}, {}, {0.1, 0.2, 0.7, 0}},
                           {{{-20, 10, 1, false}, {5, 30, 1, false}, {150, 200, 3, false}},
                            {},
                            {{90, 300, 1}},
                            {0.3, 0, 0.6, 0.1}}}) {
        const Shares s = ShareOfSpan(blocks, inUse, off, 0, 100);
        for (const auto& [got, expected] : {std::pair(s.running, want.running), std::pair(s.holding, want.holding),
                                            std::pair(s.idle, want.idle), std::pair(s.nonWorking, want.nonWorking)})
            EXPECT_NEAR(got, expected, 1e-12) << blocks.size() << " blocks, " << off.size() << " off";
    }
}

} // namespace
} // namespace batchplant::cli
