// A procedure's units by position and by time: the indexed time queries are
// compared with a plain walk over all units.

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "batchplant/procedure/CProcedure.h"

namespace batchplant {
namespace {

struct Unit {
    double start = 0, end = 0, vol = 0;
    const char* op = "op";
    long step = 1, proc = 1, stream = -1;
    const char* timeUOM = "s";
};

void add(CProcedure& p, const Unit& u)
{
    p.AddNewProc(1, 1, u.proc, u.step, u.start, u.end, u.timeUOM, u.vol, "Cubic m", 300.0, 0.0, "K", 0.0, 0.0, "", "",
                 "", "", u.op, "", "", "UP", u.stream, 0.0, "");
}

CProcedure of(const std::vector<Unit>& units)
{
    CProcedure p;
    for (const Unit& u : units)
        add(p, u);
    return p;
}

template <class T> std::vector<long> longs(const Array<T>& a)
{
    std::vector<long> out;
    for (int i = 0; i < a.GetSize(); ++i)
        out.push_back(a[i]);
    return out;
}

class ProcedureTest : public ::testing::Test {
protected:
    void SetUp() override { TearDown(); }
    void TearDown() override
    {
        CProcUnit::ResetSharedTables();
        CProcComponent::ResetSharedTables();
    }
};

TEST_F(ProcedureTest, PositionsFollowTheTimesAndEqualTimesKeepTheNewestFirst)
{
    const CProcedure p = of({{.start = 200, .end = 300, .op = "c"},
                             {.start = 0, .end = 100, .op = "first"},
                             {.start = 0, .end = 100, .op = "second"},
                             {.start = 100, .end = 200, .op = "b"}});
    std::string ops;
    for (int i = 0; i < p.GetNumProcs(); ++i)
        ops += p.GetOpNameAt(i).str() + " ";
    EXPECT_EQ(ops, "second first b c ");
    EXPECT_EQ(longs(p.GetTimeList()), (std::vector<long>{0, 100, 0, 100, 100, 200, 200, 300}));
}

// Seconds truncated toward zero, and held at the limits of 32 bits.
TEST_F(ProcedureTest, TimesBecomeWholeSecondsWithinTheRangeOfInt32)
{
    constexpr long lo = std::numeric_limits<std::int32_t>::min(), hi = std::numeric_limits<std::int32_t>::max();
    const struct {
        double start, end;
        const char* uom;
        long wantStart, wantEnd;
    } cases[] = {{1.99, 2.5, "min", 119, 150},
                 {-1.5, -0.0166, "h", -5400, -59},
                 {-0.9, 0.9, "s", 0, 0}, // -0.9 s truncates to 0, not -1
                 {std::numeric_limits<double>::quiet_NaN(), 1e300, "s", 0, hi},
                 {-1e300, 1e20, "year", lo, hi}};
    for (const auto& c : cases) {
        const CProcedure p = of({{.start = c.start, .end = c.end, .timeUOM = c.uom}});
        EXPECT_EQ(p.GetProcUnit(0).GetStart(), c.wantStart) << c.start << " " << c.uom;
        EXPECT_EQ(p.GetProcUnit(0).GetEnd(), c.wantEnd) << c.end << " " << c.uom;
    }
    const CProcedure p = of({{.start = -1e300, .end = 1e300}});
    EXPECT_EQ(p.GetCurrentOp(std::numeric_limits<long>::max()) + "|" + p.GetCurrentOp(hi), "|op");
    EXPECT_DOUBLE_EQ(p.GetVolume(std::numeric_limits<long>::min()), 0.0);
}

// The plain walk over all units in position order.
struct Walk {
    double volume = 0;
    std::string printed, firstOp, firstType;
    long batch = 0;
    int reacting = 0;
};

Walk walk(const CProcedure& p, long t)
{
    Walk w;
    double previous = 0.0, base = 0.0;
    for (int i = 0; i < p.GetNumProcs(); ++i) {
        const CProcUnit& u = p.GetProcUnit(i);
        if (u.GetStart() < t && t <= u.GetEnd()) {
            w.printed += u.GetOp().str() + "\r\n" + u.GetRecText().str() + "\r\n";
            if (w.firstOp.empty())
                w.firstOp = u.GetOp().str(), w.firstType = u.OpType().str(), w.batch = u.GetBatchNum();
            w.reacting |= u.OpType() == "React";
        }
        if (t >= u.GetEnd()) {
            w.volume = base = u.GetVol();
        } else if (t >= u.GetStart()) {
            w.volume = previous + (u.GetVol() - base) * static_cast<double>(t - u.GetStart()) /
                                      static_cast<double>(u.GetEnd() - u.GetStart());
        } else {
            continue;
        }
        previous = w.volume;
    }
    return w;
}

void expectMatchesWalk(const CProcedure& p, int round)
{
    for (long t = -5; t <= 1250; ++t) {
        const Walk w = walk(p, t);
        SCOPED_TRACE(testing::Message() << "round " << round << " t " << t);
        ASSERT_EQ(p.GetVolume(t), w.volume);
        ASSERT_EQ(p.PrintOps(t).str(), w.printed);
        ASSERT_EQ(p.GetCurrentOp(t).str(), w.firstOp);
        ASSERT_EQ(p.GetCurrentOpType(t).str(), w.firstType);
        ASSERT_EQ(p.GetCurrentBatchNum(t), w.batch);
        ASSERT_EQ(p.Reacting(t), w.reacting);
        const CProcedure::Frame frame = p.FrameAt(t, true);
        ASSERT_EQ(frame.volume, w.volume);
        ASSERT_EQ(frame.running ? frame.running->GetOp().str() : "", w.firstOp);
    }
}

TEST_F(ProcedureTest, IndexedTimeQueriesMatchAWalkOverAllUnits)
{
    // Overlapping units, units ending before their start, zero-length units
    // and equal keys. A unit added after the queries, copies and assignments
    // must not see a stale index.
    std::mt19937 rng(12345);
    const char* types[] = {"React", "react", "Charge", ""};
    auto addRandom = [&](CProcedure& p, int i) {
        const long s = static_cast<long>(rng() % 1000);
        const long e = rng() % 10 == 0 ? s - static_cast<long>(rng() % 50) : s + static_cast<long>(rng() % 200);
        const std::string name = "u" + std::to_string(i), rec = "r" + std::to_string(i);
        p.AddNewProc(i + 1, i + 1, 1, 1, static_cast<double>(s), static_cast<double>(e), "s",
                     static_cast<double>(rng() % 100), "Cubic m", 0, 0, "", 0, 0, "", "", "", "", name.c_str(),
                     types[rng() % 4], rec.c_str(), "", -1, 0, "");
    };
    for (int round = 0; round < 16; ++round) {
        CProcedure p;
        const int n = 1 + static_cast<int>(rng() % 60);
        for (int i = 0; i < n; ++i)
            addRandom(p, i);
        expectMatchesWalk(p, round);
        CProcedure assigned;
        addRandom(assigned, 99);
        (void)assigned.PrintOps(500); // builds the index the assignment must drop
        assigned = p;
        CProcedure copy(p);
        addRandom(p, n);
        expectMatchesWalk(p, round);
        ASSERT_EQ(copy.GetNumProcs(), n);
        expectMatchesWalk(copy, round);
        expectMatchesWalk(assigned, round);
    }
}

TEST_F(ProcedureTest, InUseBlocksAreGapsAfterAUnitThatHoldsMaterial)
{
    const struct {
        std::vector<Unit> units;
        std::vector<long> blocks;
    } cases[] = {
        {{{.start = 0, .end = 100, .vol = 10}, {.start = 150, .end = 200, .vol = 0}}, {100, 150}},
        {{{.start = 0, .end = 100, .vol = 0}, {.start = 150, .end = 200, .vol = 5}}, {}},   // empty in the gap
        {{{.start = 0, .end = 100, .vol = 10}, {.start = 100, .end = 200, .vol = 10}}, {}}, // no gap
        {{{.start = 0, .end = 10, .vol = 1}, {.start = 20, .end = 30, .vol = 0}, {.start = 40, .end = 50, .vol = 1}},
         {10, 20}},
        {{}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(longs(of(c.units).CalcInUseBlocks()), c.blocks) << c.units.size() << " units";
}

TEST_F(ProcedureTest, FormatTimeAndPrintProcs)
{
    const std::pair<long, const char*> times[] = {{0, "0d  0:00:00"},
                                                  {59, "0d  0:00:59"},
                                                  {3600, "0d  1:00:00"},
                                                  {93784, "1d  2:03:04"},
                                                  {345549, "3d 23:59:09"}};
    for (const auto& [t, text] : times)
        EXPECT_EQ(CProcedure::FormatTime(t), text) << t;
    CProcedure p;
    p.AddNewProc(1, 2, 1, 1, 3600, 7260, "s", 0, "", 0, 0, "", 0, 0, "", "", "", "", "1.2 Heat", "Heat", "", "", -1, 0,
                 "");
    p.AddNewProc(1, 1, 1, 1, 0, 59, "s", 0, "", 0, 0, "", 0, 0, "", "", "", "", "1.1 Charge", "Charge", "", "", -1, 0,
                 "");
    EXPECT_EQ(p.PrintProcs(), "(0d  0:00:00) - (0d  0:00:59)   1.1 Charge (Charge) \r\n"
                              "(0d  1:00:00) - (0d  2:01:00)   1.2 Heat (Heat) \r\n");
}

TEST_F(ProcedureTest, ComponentsReachTheFirstUnitOfTheirStream)
{
    CProcedure p = of({{.start = 0, .end = 10, .stream = 5},
                       {.start = 20, .end = 30, .stream = 6},
                       {.start = 40, .end = 50, .stream = 6}});
    CProcComponent c, stray;
    c.SetStreamID(6);
    c.SetName("Water");
    stray.SetStreamID(99);
    p.AddComponent(c);
    p.AddComponent(stray);
    EXPECT_EQ(p.GetProcUnit(0).GetNumComponents() + p.GetProcUnit(2).GetNumComponents(), 0);
    ASSERT_EQ(p.GetProcUnit(1).GetNumComponents(), 1);
    EXPECT_EQ(p.GetProcComponentsAt(1)[0].GetName(), "Water");
    EXPECT_EQ(p.GetProcComponentsAt(1)[0].GetOwner(), &p.GetProcComponentsAt(1));
    // A unit of the stream added later at an earlier time becomes the first.
    add(p, {.start = 15, .end = 18, .op = "early", .stream = 6});
    p.AddComponent(c);
    EXPECT_EQ(p.GetOpNameAt(1), "early");
    EXPECT_EQ(p.GetProcUnit(1).GetNumComponents(), 1);
}

TEST_F(ProcedureTest, BadPositionsAndAnEmptyProcedureGiveEmptyAnswers)
{
    const CProcedure p = of({{.start = 0, .end = 10, .step = 4, .proc = 5}});
    for (int bad : {-1, 1}) {
        EXPECT_EQ(p.GetOpNameAt(bad) + p.GetContentsAt(bad) + p.GetOpNumberAt(bad) + p.GetStartTimeStrAt(bad) +
                      p.GetPressureBStrAt(bad) + p.GetFlowRateAt(bad, CProcedure::VolumetricFlowRate) +
                      p.GetProcUnit(bad).GetOp(),
                  "");
        EXPECT_EQ(p.GetStepIdAt(bad) + p.GetUnitProcIdAt(bad) + p.GetProcComponentsAt(bad).Size(), 0);
    }
    EXPECT_EQ(p.GetStepIdAt(0) * 10 + p.GetUnitProcIdAt(0), 45);
    CProcedure empty;
    EXPECT_EQ(empty.PrintOps(10), "");
    EXPECT_DOUBLE_EQ(empty.GetVolume(5), 0.0);
    empty.AddComponent(CProcComponent());
    EXPECT_EQ(empty.GetNumProcs(), 0);
}

TEST_F(ProcedureTest, StepAndUnitProcedureListCountsEachProcedureOnce)
{
    CProcedure p = of({{.step = 1, .proc = 10}});
    EXPECT_FALSE(p.ContainsStep(2));
    for (const Unit& u : {Unit{.step = 1, .proc = 11}, Unit{.step = 2, .proc = 20}, Unit{.step = 2, .proc = 20}})
        add(p, u);
    EXPECT_TRUE(p.ContainsStep(2)) << "units added after a query are seen";
    EXPECT_TRUE(p.ContainsStepAndProcedure(1, 11));
    EXPECT_FALSE(p.ContainsStepAndProcedure(1, 12) || p.ContainsStepAndProcedure(2, 10));
    CProcedure other = of({{.step = 2, .proc = 20}});
    Hash<long, Hash<long, long>> list;
    p.AddToStepProcList(list);
    other.AddToStepProcList(list);
    std::vector<long> flat; // step, then procedure and count of each of its procedures
    for (int s = 0; s < list.GetCount(); ++s) {
        flat.push_back(list.GetKeyAt(s));
        for (int u = 0; u < list.GetAt(s).GetCount(); ++u)
            flat.insert(flat.end(), {list.GetAt(s).GetKeyAt(u), list.GetAt(s).GetAt(u)});
    }
    EXPECT_EQ(flat, (std::vector<long>{1, 10, 1, 11, 1, 2, 20, 2}));
}

} // namespace
} // namespace batchplant
