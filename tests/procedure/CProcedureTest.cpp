// A procedure's units by position and by time, the indexed time queries
// compared with a plain walk over all units; and units and components built
// from recordset rows of the generated sample.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "SampleDatabase.h"
#include "batchplant/db/EquipmentRecordsets.h"
#include "batchplant/db/StreamRecordsets.h"
#include "batchplant/foundation/Units.h"
#include "batchplant/procedure/CProcedure.h"

namespace batchplant {
namespace {

CProcedure of(std::initializer_list<ProcRow> rows)
{
    CProcedure p;
    for (const ProcRow& row : rows)
        p.AddNewProc(row);
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
    void openSample() { db.Open(CString(test::SampleDatabasePath().string()), false, true); }
    CDaoDatabase db;
};

TEST_F(ProcedureTest, PositionsFollowTheTimesAndEqualTimesKeepTheNewestFirst)
{
    // Operation types are shared by operation: each unit its own.
    const CProcedure p = of({{.opID = 1, .startTime = 200, .endTime = 300, .op = "c", .opType = "Heat"},
                             {.opID = 2, .startTime = 0, .endTime = 59, .op = "first", .opType = "Charge"},
                             {.opID = 3, .startTime = 0, .endTime = 59, .op = "second"},
                             {.opID = 4, .startTime = 100, .endTime = 200, .op = "b"}});
    EXPECT_EQ(p.PrintProcs().str(), "(0d  0:00:00) - (0d  0:00:59)   second () \r\n"
                                    "(0d  0:00:00) - (0d  0:00:59)   first (Charge) \r\n"
                                    "(0d  0:01:40) - (0d  0:03:20)   b () \r\n"
                                    "(0d  0:03:20) - (0d  0:05:00)   c (Heat) \r\n");
    EXPECT_EQ(longs(p.GetTimeList()), (std::vector<long>{0, 59, 0, 59, 100, 200, 200, 300}));
    EXPECT_EQ(CProcedure::FormatTime(93784) + "|" + CProcedure::FormatTime(345549), "1d  2:03:04|3d 23:59:09");
    // Bad positions give empty answers.
    for (int bad : {-1, 4}) {
        EXPECT_EQ(p.GetOpNameAt(bad) + p.GetContentsAt(bad) + p.GetOpNumberAt(bad) + p.GetStartTimeStrAt(bad) +
                      p.GetPressureBStrAt(bad) + p.GetFlowRateAt(bad, CProcedure::VolumetricFlowRate) +
                      p.GetProcUnit(bad).GetOp(),
                  "");
        EXPECT_EQ(p.GetStepIdAt(bad) + p.GetUnitProcIdAt(bad) + p.GetProcComponentsAt(bad).Size(), 0);
    }
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
        const CProcUnit u = of({{.startTime = c.start, .endTime = c.end, .timeUOM = c.uom}}).GetProcUnit(0);
        EXPECT_EQ(std::pair(u.GetStart(), u.GetEnd()), std::pair(c.wantStart, c.wantEnd)) << c.start << " " << c.uom;
    }
    const CProcedure p = of({{.startTime = -1e300, .endTime = 1e300, .op = "op"}});
    EXPECT_EQ(p.GetCurrentOp(std::numeric_limits<long>::max()) + "|" + p.GetCurrentOp(hi), "|op");
    EXPECT_DOUBLE_EQ(p.GetVolume(std::numeric_limits<long>::min()), 0.0);
}

// Volume, frame volume, printed operations, first operation, its type and
// batch, whether one reacts, and the frame's operation at a time.
using Answers = std::tuple<double, double, std::string, std::string, std::string, long, int, std::string>;

Answers indexed(const CProcedure& p, long t)
{
    const CProcedure::Frame f = p.FrameAt(t, true);
    return Answers(p.GetVolume(t), f.volume, p.PrintOps(t).str(), p.GetCurrentOp(t).str(), p.GetCurrentOpType(t).str(),
                   p.GetCurrentBatchNum(t), p.Reacting(t), f.running ? f.running->GetOp().str() : "");
}

// The same from a plain walk over all units in position order.
Answers walk(const CProcedure& p, long t)
{
    double volume = 0.0, previous = 0.0, base = 0.0;
    std::string printed, op, type;
    long batch = 0;
    int reacting = 0;
    for (int i = 0; i < p.GetNumProcs(); ++i) {
        const CProcUnit& u = p.GetProcUnit(i);
        if (u.GetStart() < t && t <= u.GetEnd()) {
            printed += u.GetOp().str() + "\r\n" + u.GetRecText().str() + "\r\n";
            if (op.empty()) op = u.GetOp().str(), type = u.OpType().str(), batch = u.GetBatchNum();
            reacting |= u.OpType() == "React";
        }
        if (t >= u.GetEnd()) {
            volume = base = u.GetVol();
        } else if (t >= u.GetStart()) {
            volume = previous + (u.GetVol() - base) * static_cast<double>(t - u.GetStart()) /
                                    static_cast<double>(u.GetEnd() - u.GetStart());
        } else {
            continue;
        }
        previous = volume;
    }
    return {volume, volume, printed, op, type, batch, reacting, op};
}

void expectMatchesWalk(const CProcedure& p, int round)
{
    for (long t = -5; t <= 1250; ++t)
        ASSERT_EQ(indexed(p, t), walk(p, t)) << "round " << round << " t " << t;
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
    const std::pair<CProcedure, std::vector<long>> cases[] = {
        {of({{.startTime = 0, .endTime = 10, .vol = 1},
             {.startTime = 20, .endTime = 30},
             {.startTime = 40, .endTime = 50}}),
         {10, 20}}, // the second unit is empty in the gap after it
        {of({{.startTime = 0, .endTime = 100, .vol = 10}, {.startTime = 100, .endTime = 200, .vol = 10}}), {}},
        {of({}), {}}};
    for (const auto& [p, blocks] : cases)
        EXPECT_EQ(longs(p.CalcInUseBlocks()), blocks) << p.GetNumProcs() << " units";
}

TEST_F(ProcedureTest, ComponentsReachTheFirstUnitOfTheirStream)
{
    CProcedure p = of({{.startTime = 0, .endTime = 10, .streamID = 5},
                       {.startTime = 20, .endTime = 30, .streamID = 6},
                       {.startTime = 40, .endTime = 50, .streamID = 6}});
    auto counts = [&] {
        std::vector<int> out;
        for (int i = 0; i < p.GetNumProcs(); ++i)
            out.push_back(p.GetProcUnit(i).GetNumComponents());
        return out;
    };
    CProcComponent water, stray;
    water.SetStreamID(6);
    stray.SetStreamID(99);
    p.AddComponent(water);
    p.AddComponent(stray);
    EXPECT_EQ(counts(), (std::vector<int>{0, 1, 0}));
    EXPECT_EQ(p.GetProcComponentsAt(1)[0].GetOwner(), &p.GetProcComponentsAt(1));
    // A unit of the stream added later at an earlier time becomes the first.
    p.AddNewProc({.startTime = 15, .endTime = 18, .streamID = 6});
    p.AddComponent(water);
    EXPECT_EQ(counts(), (std::vector<int>{0, 1, 1, 0}));
}

TEST_F(ProcedureTest, StepAndUnitProcedureListCountsEachProcedureOnce)
{
    CProcedure p = of({{.procID = 10, .stepID = 1}});
    EXPECT_FALSE(p.ContainsStep(2));
    for (long proc : {11, 20, 20})
        p.AddNewProc({.procID = proc, .stepID = proc / 10});
    EXPECT_TRUE(p.ContainsStep(2) && p.ContainsStepAndProcedure(1, 11)) << "units added after a query are seen";
    EXPECT_FALSE(p.ContainsStepAndProcedure(1, 12) || p.ContainsStepAndProcedure(2, 10));
    Hash<long, Hash<long, long>> list;
    p.AddToStepProcList(list);
    of({{.procID = 20, .stepID = 2}}).AddToStepProcList(list);
    std::string counts; // step:procedure=units of that procedure, each procedure counted once per list
    for (int s = 0; s < list.GetCount(); ++s)
        for (int u = 0; u < list.GetAt(s).GetCount(); ++u)
            counts += std::to_string(list.GetKeyAt(s)) + ":" + std::to_string(list.GetAt(s).GetKeyAt(u)) + "=" +
                      std::to_string(list.GetAt(s).GetAt(u)) + " ";
    EXPECT_EQ(counts, "1:10=1 1:11=1 2:20=2 ");
}

TEST_F(ProcedureTest, EquipmentRowsBecomeLabelledUnitsAndRowsWithoutContentsEmptyOnes)
{
    openSample();
    CDaoEquipConts rows(&db);
    ASSERT_TRUE(rows.OpenOnDatabase(&db));
    const long equipment = rows.m_EquipmentID;
    int withoutContents = 0;
    for (; !rows.IsEOF(); rows.MoveNext()) {
        if (rows.m_EquipmentID != equipment) continue;
        CProcedure p;
        p.AddNewProc(rows);
        const CProcUnit& u = p.GetProcUnit(0);
        SCOPED_TRACE(u.GetOp().str());
        EXPECT_EQ(u.GetOp(),
                  CString::Formatted("%ld.%ld %s", rows.m_ProcSeqNum, rows.m_OpSeqNum, rows.m_OpName.c_str()));
        // Both times are in the end time's unit.
        EXPECT_EQ(u.GetStart(), static_cast<long>(std::trunc(ToInternalUnits(rows.m_EndTimeUOM, rows.m_StartTime))));
        if (rows.IsFieldNull(&rows.m_Volume)) {
            ++withoutContents;
            EXPECT_TRUE(u.IsEmpty());
        } else {
            EXPECT_NEAR(u.GetVol(), ToInternalUnits(rows.m_VolumeUOM, rows.m_Volume), 1e-9);
        }
    }
    EXPECT_GT(withoutContents, 0) << "the sample has schedule rows without contents";
}

// The row-to-unit copies are plain; what is tested is what they decide.
TEST_F(ProcedureTest, StreamUtilityAndVaporRowsAreLabelled)
{
    CDaoStreamSet stream;
    stream.m_OpName = "Transfer";
    CProcedure p;
    p.AddNewProc(stream);
    stream.m_UserLabel = "S-12";
    p.AddNewProc(stream);
    CDaoUtilitySummary utility;
    utility.m_UtilityName = "Cooling Water";
    utility.m_OpName = "Cool";
    utility.m_PrimaryMaterial = "Cooling Water";
    utility.m_EndTime = 1;
    p.AddNewProc(utility);
    // Newest first among equal times, without a label the operation name; utilities carry no primary material.
    EXPECT_EQ(p.GetOpNameAt(0) + "|" + p.GetOpNameAt(1) + "|" + p.GetOpNameAt(2) + "|" + p.GetContentsAt(2),
              "S-12|Transfer|Cooling Water|");
    CDaoVaporSummary vapor;
    vapor.m_TemperatureUOM = "C";
    CProcedure vapors;
    vapors.AddNewProc(vapor);
    EXPECT_EQ(vapors.GetProcUnit(0).GetTempBStr(), "0.000 C") << "the missing outlet temperature is a 0 in its unit";
}

// Components keyed by (from, to, 0) and (stream, material, phase), against
// the rows read directly: the last row of each key pair wins.
TEST_F(ProcedureTest, LoadFromDBKeysComponentsByEquipmentPairAndStreamMaterialPhase)
{
    openSample();
    using Key = std::tuple<int, int, int, int, int, int>;
    using Value = std::tuple<double, double, double, CString, int, int>;
    std::map<Key, Value> expected, loaded;
    bool outside = false;
    {
        CDaoStreamContents rs(&db);
        ASSERT_TRUE(rs.OpenOnDatabase(&db));
        for (; !rs.IsEOF(); rs.MoveNext()) {
            auto end = [&](long& id) { return (rs.IsFieldNull(&id) || id == 0) ? -1 : static_cast<int>(id); };
            outside = outside || end(rs.m_FromEquipmentID) < 0 || end(rs.m_ToEquipmentID) < 0;
            const int stream = static_cast<int>(rs.m_StreamID), phase = CProcComponent::GetPhaseNum(rs.m_Phase);
            expected[{end(rs.m_FromEquipmentID), end(rs.m_ToEquipmentID), 0, stream, static_cast<int>(rs.m_MaterialID),
                      phase}] = {rs.m_MassPhaseFraction * rs.m_Mass * rs.m_MassFraction,
                                 rs.m_Volume * rs.m_VolumePhaseFraction * rs.m_VolumeFraction,
                                 rs.m_MolarPhaseFraction * rs.m_Moles * rs.m_MoleFraction,
                                 rs.m_MaterialName,
                                 stream,
                                 phase};
        }
    }
    ASSERT_TRUE(outside) << "the sample has streams from or to outside the plant";
    CDaoStreamContents rs(&db);
    ASSERT_TRUE(rs.OpenOnDatabase(&db));
    Hash<CTripleIntKey, Hash<CTripleIntKey, CProcComponent>> out;
    CProcComponent::LoadFromDB(rs, out);
    for (int o = 0; o < out.GetCount(); ++o)
        for (int i = 0; i < out.GetAt(o).GetCount(); ++i) {
            const CTripleIntKey &k = out.GetKeyAt(o), &ik = out.GetAt(o).GetKeyAt(i);
            const CProcComponent& c = out.GetAt(o).GetAt(i);
            loaded[{k.first, k.second, k.third, ik.first, ik.second, ik.third}] = {
                c.GetMass(), c.GetVolume(), c.GetMoles(), c.GetName(), c.GetStreamID(), c.GetPhaseNum()};
        }
    EXPECT_EQ(loaded, expected);

    CDaoUtilityContents utilities(&db);
    ASSERT_TRUE(utilities.OpenOnDatabase(&db));
    out.RemoveAll();
    CProcComponent::LoadFromDB(utilities, out);
    ASSERT_GT(out.GetCount(), 0);
    for (int o = 0; o < out.GetCount(); ++o)
        EXPECT_EQ(out.GetKeyAt(o).first, -1) << "FromEquipmentID 0 reads as -1";
    EXPECT_FALSE(CProcComponent::GetDutyUOM().IsEmpty());
}

} // namespace
} // namespace batchplant
