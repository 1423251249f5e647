#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "batchplant/procedure/CProcedure.h"

namespace batchplant {
namespace {

class ProcedureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CProcUnit::ResetSharedTables();
        CProcComponent::ResetSharedTables();
    }
    void TearDown() override
    {
        CProcUnit::ResetSharedTables();
        CProcComponent::ResetSharedTables();
    }

    struct Unit {
        double start = 0;
        double end = 0;
        double vol = 0;
        const char* op = "op";
        const char* opType = "";
        long batch = 1;
        long stream = -1;
        long step = 1;
        long proc = 1;
        long opID = 1;
        const char* recText = "";
        const char* timeUOM = "s";
    };

    static void add(CProcedure& p, const Unit& u)
    {
        p.AddNewProc(u.batch, u.opID, u.proc, u.step, u.start, u.end, u.timeUOM, u.vol, "Cubic m", 300.0, 0.0, "K", 0.0,
                     0.0, "", "", "", "", u.op, u.opType, u.recText, "UP", u.stream, 0.0, "");
    }

    static std::vector<std::string> ops(const CProcedure& p)
    {
        std::vector<std::string> out;
        for (int i = 0; i < p.GetNumProcs(); ++i)
            out.push_back(p.GetOpNameAt(i).str());
        return out;
    }
};

TEST_F(ProcedureTest, AUnitRunsAfterItsStartUpToAndIncludingItsEnd)
{
    CProcedure p;
    add(p, {.start = 100, .end = 200, .op = "Heat", .opType = "Heat", .batch = 3});
    EXPECT_EQ(p.GetCurrentOp(100), "");
    EXPECT_EQ(p.GetCurrentOp(101), "Heat");
    EXPECT_EQ(p.GetCurrentOp(200), "Heat");
    EXPECT_EQ(p.GetCurrentOp(201), "");
    EXPECT_EQ(p.GetCurrentOpType(150), "Heat");
    EXPECT_EQ(p.GetCurrentOpType(100), "");
    EXPECT_EQ(p.GetCurrentBatchNum(200), 3);
    EXPECT_EQ(p.GetCurrentBatchNum(100), 0) << "nothing runs: no batch";
}

TEST_F(ProcedureTest, PositionsFollowTheTimesWhateverTheOrderOfAddingAndEqualTimesAreKeptNewestFirst)
{
    CProcedure p;
    add(p, {.start = 200, .end = 300, .op = "c"});
    add(p, {.start = 0, .end = 100, .op = "first"});
    add(p, {.start = 0, .end = 100, .op = "second"});
    add(p, {.start = 100, .end = 200, .op = "b"});
    EXPECT_EQ(ops(p), (std::vector<std::string>{"second", "first", "b", "c"}));
    EXPECT_EQ(p.GetCurrentOp(30), "second");
    EXPECT_EQ(p.PrintOps(30), "second\r\n\r\nfirst\r\n\r\n");
    const Array<long> times = p.GetTimeList();
    std::vector<long> got;
    for (int i = 0; i < times.GetSize(); ++i)
        got.push_back(times[i]);
    EXPECT_EQ(got, (std::vector<long>{0, 100, 0, 100, 100, 200, 200, 300}));
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
        CProcedure p;
        add(p, {.start = c.start, .end = c.end, .timeUOM = c.uom});
        EXPECT_EQ(p.GetProcUnit(0).GetStart(), c.wantStart) << c.start << " " << c.uom;
        EXPECT_EQ(p.GetProcUnit(0).GetEnd(), c.wantEnd) << c.end << " " << c.uom;
    }
    CProcedure p;
    add(p, {.start = -1e300, .end = 1e300});
    EXPECT_EQ(p.GetCurrentOp(std::numeric_limits<long>::max()), "");
    EXPECT_EQ(p.GetCurrentOp(hi), "op");
    EXPECT_DOUBLE_EQ(p.GetVolume(std::numeric_limits<long>::max()), 0.0);
    EXPECT_DOUBLE_EQ(p.GetVolume(std::numeric_limits<long>::min()), 0.0);
}

TEST_F(ProcedureTest, VolumeInterpolatesWhileAUnitRunsAndHoldsAfterIt)
{
    CProcedure p;
    add(p, {.start = 0, .end = 100, .vol = 10});
    add(p, {.start = 100, .end = 200, .vol = 30});
    EXPECT_DOUBLE_EQ(p.GetVolume(150), 20.0);
    EXPECT_DOUBLE_EQ(p.GetVolume(250), 30.0);
    EXPECT_DOUBLE_EQ(p.GetVolume(50), 5.0);
    EXPECT_DOUBLE_EQ(p.GetVolume(100), 10.0);
    EXPECT_DOUBLE_EQ(p.GetVolume(0), 0.0);
    EXPECT_DOUBLE_EQ(p.GetVolume(-10), 0.0);

    // Emptying: the level falls from the last finished volume toward 0.
    add(p, {.start = 300, .end = 400, .vol = 0});
    EXPECT_DOUBLE_EQ(p.GetVolume(350), 15.0);
    EXPECT_DOUBLE_EQ(p.GetVolume(275), 30.0) << "idle but holding";
    EXPECT_DOUBLE_EQ(p.GetVolume(400), 0.0);

    EXPECT_DOUBLE_EQ(CProcedure().GetVolume(5), 0.0);
}

// The plain walk over all units in position order, kept here as the
// reference that the procedure's indexed answers must match exactly.
double walkVolume(const CProcedure& p, long t)
{
    double level = 0.0, previous = 0.0, base = 0.0;
    for (int i = 0; i < p.GetNumProcs(); ++i) {
        const CProcUnit& u = p.GetProcUnit(i);
        if (t >= u.GetEnd()) {
            level = u.GetVol();
            base = level;
        } else if (t >= u.GetStart()) {
            level = previous + (u.GetVol() - base) * static_cast<double>(t - u.GetStart()) /
                                   static_cast<double>(u.GetEnd() - u.GetStart());
        } else {
            continue;
        }
        previous = level;
    }
    return level;
}

std::string walkPrintOps(const CProcedure& p, long t)
{
    std::string out;
    for (int i = 0; i < p.GetNumProcs(); ++i) {
        const CProcUnit& u = p.GetProcUnit(i);
        if (u.GetStart() < t && t <= u.GetEnd()) out += u.GetOp().str() + "\r\n" + u.GetRecText().str() + "\r\n";
    }
    return out;
}

TEST_F(ProcedureTest, IndexedTimeQueriesMatchAWalkOverAllUnits)
{
    // Overlapping units, units given with their end before their start,
    // zero-length units and equal keys: every shape a results database can
    // hold. The answers must be those of the plain walk in position order.
    std::mt19937 rng(12345);
    for (int round = 0; round < 20; ++round) {
        CProcedure p;
        const int n = 1 + static_cast<int>(rng() % 60);
        for (int i = 0; i < n; ++i) {
            const long s = static_cast<long>(rng() % 1000);
            long e = s + static_cast<long>(rng() % 200);
            if (rng() % 10 == 0) e = s - static_cast<long>(rng() % 50);
            const std::string name = "u" + std::to_string(i);
            const std::string rec = "r" + std::to_string(i);
            p.AddNewProc(i + 1, i + 1, 1, 1, static_cast<double>(s), static_cast<double>(e), "s",
                         static_cast<double>(rng() % 100), "Cubic m", 0, 0, "", 0, 0, "", "", "", "", name.c_str(), "",
                         rec.c_str(), "", -1, 0, "");
        }
        for (long t = -5; t <= 1250; t += 1) {
            ASSERT_EQ(p.GetVolume(t), walkVolume(p, t)) << "round " << round << " t " << t;
            const std::string expected = walkPrintOps(p, t);
            ASSERT_EQ(p.PrintOps(t).str(), expected) << "round " << round << " t " << t;
            const std::string first = expected.substr(0, expected.find('\r'));
            ASSERT_EQ(p.GetCurrentOp(t).str(), first) << "round " << round << " t " << t;
            const long batch = first.empty() ? 0 : std::stol(first.substr(1)) + 1;
            ASSERT_EQ(p.GetCurrentBatchNum(t), batch) << "round " << round << " t " << t;
        }
    }
}

TEST_F(ProcedureTest, QueriesSeeUnitsAddedAfterAnEarlierQuery)
{
    CProcedure p;
    add(p, {.start = 0, .end = 100, .vol = 10, .op = "a"});
    EXPECT_EQ(p.GetCurrentOp(150), "");
    EXPECT_DOUBLE_EQ(p.GetVolume(150), 10.0);
    add(p, {.start = 100, .end = 200, .vol = 30, .op = "b"});
    EXPECT_EQ(p.GetCurrentOp(150), "b");
    EXPECT_DOUBLE_EQ(p.GetVolume(150), 20.0);
}

TEST_F(ProcedureTest, ReactingComparesTheOperationTypeExactly)
{
    CProcedure p;
    add(p, {.start = 0, .end = 100, .opType = "react", .opID = 1});
    add(p, {.start = 50, .end = 150, .opType = "Charge", .opID = 2});
    add(p, {.start = 120, .end = 200, .opType = "React", .opID = 3});
    EXPECT_EQ(p.Reacting(75), 0);
    EXPECT_EQ(p.Reacting(130), 1) << "a second running unit reacts";
    EXPECT_EQ(p.Reacting(180), 1);
    EXPECT_EQ(p.Reacting(250), 0);
    EXPECT_EQ(p.GetCurrentOpType(130), "Charge") << "the first running unit's type";
}

TEST_F(ProcedureTest, InUseBlocksAreGapsAfterAUnitThatHoldsMaterial)
{
    struct Case {
        std::vector<Unit> units;
        std::vector<long> blocks;
    };
    const Case cases[] = {
        {{{.start = 0, .end = 100, .vol = 10}, {.start = 150, .end = 200, .vol = 0}}, {100, 150}},
        {{{.start = 0, .end = 100, .vol = 0}, {.start = 150, .end = 200, .vol = 5}}, {}},   // empty during the gap
        {{{.start = 0, .end = 100, .vol = 10}, {.start = 100, .end = 200, .vol = 10}}, {}}, // no gap
        {{{.start = 0, .end = 100, .vol = 10}}, {}},
        {{{.start = 0, .end = 10, .vol = 1}, {.start = 20, .end = 30, .vol = 1}, {.start = 40, .end = 50, .vol = 1}},
         {10, 20, 30, 40}},
    };
    for (const Case& c : cases) {
        CProcedure p;
        for (const Unit& u : c.units)
            add(p, u);
        const Array<long> blocks = p.CalcInUseBlocks();
        std::vector<long> got;
        for (int i = 0; i < blocks.GetSize(); ++i)
            got.push_back(blocks[i]);
        EXPECT_EQ(got, c.blocks) << c.units.size() << " units";
    }
}

TEST_F(ProcedureTest, FormatTimeShowsDaysAndPaddedClockTime)
{
    EXPECT_EQ(CProcedure::FormatTime(59), "0d  0:00:59");
    EXPECT_EQ(CProcedure::FormatTime(3600), "0d  1:00:00");
    EXPECT_EQ(CProcedure::FormatTime(93784), "1d  2:03:04");
    EXPECT_EQ(CProcedure::FormatTime(600), "0d  0:10:00");
    EXPECT_EQ(CProcedure::FormatTime(0), "0d  0:00:00");
    EXPECT_EQ(CProcedure::FormatTime(86400 * 3 + 23 * 3600 + 59 * 60 + 9), "3d 23:59:09");
}

TEST_F(ProcedureTest, PrintProcsHasOneLinePerUnitInPositionOrder)
{
    CProcedure p;
    add(p, {.start = 3600, .end = 7260, .op = "1.2 Heat", .opType = "Heat", .opID = 2});
    add(p, {.start = 0, .end = 59, .op = "1.1 Charge", .opType = "Charge", .opID = 1});
    EXPECT_EQ(p.PrintProcs(), "(0d  0:00:00) - (0d  0:00:59)   1.1 Charge (Charge) \r\n"
                              "(0d  1:00:00) - (0d  2:01:00)   1.2 Heat (Heat) \r\n");
    EXPECT_EQ(CProcedure().PrintProcs(), "");
}

TEST_F(ProcedureTest, EquipmentUnitsAfterStreamUnitsClearThePressureAndFlowUnitNames)
{
    CProcedure stream;
    stream.AddNewProc(1, 1, 1, 1, 0, 10, "s", 1, "liter", 20, 0, "C", 1, 0, "bar", "Water", "", "", "Transfer", "", "",
                      "UP", 42, 5, "liter/min");
    EXPECT_EQ(CProcUnit::GetPressUOM(), "bar");
    EXPECT_EQ(CProcUnit::GetFlowRateUOM(), "liter/min");
    EXPECT_EQ(stream.GetPressureAStrAt(0), "1.000 bar");
    EXPECT_EQ(stream.GetFlowRateAt(0, CProcedure::MassFlowRate), "5.000 liter/min");
    EXPECT_EQ(stream.GetTemperatureAStrAt(0), "20.000 C");
    EXPECT_EQ(stream.GetEndTimeStrAt(0), "10.000 s");
    EXPECT_EQ(stream.GetContentsAt(0), "Water");
    EXPECT_EQ(stream.GetOpNumberAt(0), "42");

    CProcedure vessel;
    vessel.AddNewProc(1, 2, 1, 1, 0, 10, "min", 1, "liter", 20, 0, "C", 0, 0, "", "", "", "", "1.1 Charge", "", "",
                      "UP", -1, 0, "");
    EXPECT_EQ(CProcUnit::GetPressUOM(), "");
    EXPECT_EQ(CProcUnit::GetFlowRateUOM(), "");
    EXPECT_EQ(CProcUnit::GetTimeUOM(), "min");
    // The stream's texts now show internal values without a unit.
    EXPECT_EQ(stream.GetPressureAStrAt(0), "100000.000 ");
    EXPECT_EQ(vessel.GetOpNumberAt(0), "-1");
}

TEST_F(ProcedureTest, ComponentsReachTheFirstUnitOfTheirStream)
{
    CProcedure p;
    add(p, {.start = 0, .end = 10, .op = "a", .stream = 5});
    add(p, {.start = 20, .end = 30, .op = "b", .stream = 6});
    add(p, {.start = 40, .end = 50, .op = "c", .stream = 6});
    CProcComponent c;
    c.SetStreamID(6);
    c.SetName("Water");
    p.AddComponent(c);
    CProcComponent stray;
    stray.SetStreamID(99);
    p.AddComponent(stray);

    EXPECT_EQ(p.GetProcUnit(0).GetNumComponents(), 0);
    ASSERT_EQ(p.GetProcUnit(1).GetNumComponents(), 1);
    EXPECT_EQ(p.GetProcUnit(2).GetNumComponents(), 0);
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
    CProcedure p;
    add(p, {.start = 0, .end = 10, .op = "a", .step = 4, .proc = 5});
    for (int bad : {-1, 1, 1000}) {
        EXPECT_EQ(p.GetOpNameAt(bad), "");
        EXPECT_EQ(p.GetContentsAt(bad), "");
        EXPECT_EQ(p.GetOpNumberAt(bad), "");
        EXPECT_EQ(p.GetStepIdAt(bad), 0);
        EXPECT_EQ(p.GetUnitProcIdAt(bad), 0);
        EXPECT_EQ(p.GetStartTimeStrAt(bad), "");
        EXPECT_EQ(p.GetPressureBStrAt(bad), "");
        EXPECT_EQ(p.GetFlowRateAt(bad, CProcedure::VolumetricFlowRate), "");
        EXPECT_EQ(p.GetProcUnit(bad).GetOp(), "");
        EXPECT_EQ(p.GetProcComponentsAt(bad).Size(), 0);
    }
    EXPECT_EQ(p.GetStepIdAt(0), 4);
    EXPECT_EQ(p.GetUnitProcIdAt(0), 5);

    CProcedure empty;
    EXPECT_EQ(empty.GetCurrentOp(10), "");
    EXPECT_EQ(empty.GetCurrentOpType(10), "");
    EXPECT_EQ(empty.PrintOps(10), "");
    EXPECT_EQ(empty.Reacting(10), 0);
    EXPECT_EQ(empty.GetTimeList().GetSize(), 0);
    EXPECT_EQ(empty.CalcInUseBlocks().GetSize(), 0);
    EXPECT_FALSE(empty.ContainsStep(1));
    EXPECT_EQ(empty.GetCurrentBatchNum(1), 0);
    empty.AddComponent(CProcComponent());
    EXPECT_EQ(empty.GetNumProcs(), 0);
}

TEST_F(ProcedureTest, StepAndUnitProcedureListIsBuiltLazilyFromTheUnits)
{
    CProcedure p;
    add(p, {.start = 0, .end = 10, .step = 1, .proc = 10});
    add(p, {.start = 10, .end = 20, .step = 1, .proc = 11});
    EXPECT_TRUE(p.ContainsStep(1));
    EXPECT_FALSE(p.ContainsStep(2));
    EXPECT_TRUE(p.ContainsStepAndProcedure(1, 11));
    EXPECT_FALSE(p.ContainsStepAndProcedure(1, 12));
    EXPECT_FALSE(p.ContainsStepAndProcedure(2, 10));

    add(p, {.start = 20, .end = 30, .step = 2, .proc = 20});
    EXPECT_TRUE(p.ContainsStep(2)) << "units added after a query are seen";
    EXPECT_TRUE(p.ContainsStepAndProcedure(2, 20));

    // Counted once per procedure, however many of its units share the pair.
    add(p, {.start = 30, .end = 40, .step = 2, .proc = 20});
    CProcedure other;
    add(other, {.start = 0, .end = 10, .step = 2, .proc = 20});
    Hash<long, Hash<long, long>> list;
    p.AddToStepProcList(list);
    other.AddToStepProcList(list);
    ASSERT_EQ(list.GetCount(), 2);
    EXPECT_EQ(list.GetKeyAt(0), 1);
    ASSERT_EQ(list.GetAt(0).GetCount(), 2);
    EXPECT_EQ(list.GetAt(0).GetKeyAt(0), 10);
    EXPECT_EQ(list.GetAt(0).GetAt(0), 1);
    EXPECT_EQ(list.GetAt(0).GetAt(1), 1);
    EXPECT_EQ(list.GetKeyAt(1), 2);
    ASSERT_EQ(list.GetAt(1).GetCount(), 1);
    EXPECT_EQ(list.GetAt(1).GetAt(0), 2) << "one for each of the two procedures";
}

TEST_F(ProcedureTest, CopiesAreIndependentAndKeepTheOrder)
{
    CProcedure p;
    add(p, {.start = 0, .end = 60, .vol = 2, .op = "first"});
    add(p, {.start = 0, .end = 60, .vol = 4, .op = "second"});
    add(p, {.start = 60, .end = 100, .vol = 8, .op = "third"});
    EXPECT_EQ(p.GetCurrentOp(30), "second"); // builds the original's index

    CProcedure copy(p);
    EXPECT_EQ(ops(copy), ops(p));
    EXPECT_EQ(copy.GetCurrentOp(30), "second");
    EXPECT_DOUBLE_EQ(copy.GetVolume(80), p.GetVolume(80));

    CProcedure assigned;
    add(assigned, {.start = 5, .end = 6, .op = "gone"});
    EXPECT_EQ(assigned.GetCurrentOp(6), "gone");
    assigned = p;
    EXPECT_EQ(ops(assigned), ops(p));
    EXPECT_EQ(assigned.GetCurrentOp(6), "second") << "no stale index after assignment";

    add(copy, {.start = 100, .end = 200, .op = "only in the copy"});
    EXPECT_EQ(copy.GetNumProcs(), 4);
    EXPECT_EQ(p.GetNumProcs(), 3);
    EXPECT_EQ(p.GetCurrentOp(150), "");
}

} // namespace
} // namespace batchplant
