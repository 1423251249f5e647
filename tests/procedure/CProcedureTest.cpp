// A procedure's units by position and by time, the indexed time queries
// compared with a plain walk over all units; units and components built from
// recordset rows of the generated sample; units and their components alone.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <random>
#include <tuple>

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

struct Amounts {
    double mass = 0, volume = 0, moles = 0, duty = 0, start = 0, end = 0;
    int phase = 0;
};

CProcComponent make(const char* name, const Amounts& a)
{
    CProcComponent c;
    c.SetName(name);
    c.SetMass(a.mass);
    c.SetVolume(a.volume);
    c.SetMoles(a.moles);
    c.SetDuty(a.duty);
    c.SetStartTime(a.start);
    c.SetEndTime(a.end);
    c.SetPhase(a.phase);
    return c;
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
    // A unit under step `step`, unit procedure 2, operation 3, in internal units.
    static CProcUnit unit(long step, const CString& opType, const CString& recText, double flow = 0.002,
                          const char* pressUOM = "bar", const char* flowUOM = "liter/s")
    {
        CProcUnit u;
        u.assign(4, 3, 2, step, 60, 7200, "min", 0.5, "liter", 298.15, 310.0, "C", 200000.0, 150000.0, pressUOM,
                 step == 1 ? "Step A" : "", "v2", "1.1 Charge", "Water", opType, recText, step == 1 ? "P-1" : "", 17,
                 flow, flowUOM);
        return u;
    }

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
    const Array<long> list = p.GetTimeList();
    std::vector<long> times;
    for (int i = 0; i < list.GetSize(); ++i)
        times.push_back(list[i]);
    EXPECT_EQ(times, (std::vector<long>{0, 59, 0, 59, 100, 200, 200, 300}));
    EXPECT_EQ(std::pair(CProcedure::FormatTime(93784), CProcedure::FormatTime(345549)),
              std::pair(CString("1d  2:03:04"), CString("3d 23:59:09")));
    // Bad positions give empty answers.
    for (int bad : {-1, 4}) {
        EXPECT_EQ((std::vector{p.GetOpNameAt(bad), p.GetContentsAt(bad), p.GetOpNumberAt(bad), p.GetStartTimeStrAt(bad),
                               p.GetPressureBStrAt(bad), p.GetFlowRateAt(bad, CProcedure::VolumetricFlowRate),
                               p.GetProcUnit(bad).GetOp()}),
                  std::vector<CString>(7));
        EXPECT_EQ((std::vector<long>{p.GetStepIdAt(bad), p.GetUnitProcIdAt(bad), p.GetProcComponentsAt(bad).Size()}),
                  std::vector<long>(3));
    }
    // Touching units leave no in-use block; the gaps are checked through a loaded facility's schedule.
    const CProcedure touching = of({{.startTime = 0, .endTime = 100, .vol = 10}, {.startTime = 100, .endTime = 200}});
    EXPECT_EQ(std::pair(touching.CalcInUseBlocks().GetSize(), of({}).CalcInUseBlocks().GetSize()), std::pair(0, 0));
}

// Seconds truncated toward zero, and held at the limits of 32 bits.
TEST_F(ProcedureTest, TimesBecomeWholeSecondsWithinTheRangeOfInt32)
{
    constexpr long lo = std::numeric_limits<std::int32_t>::min(), hi = std::numeric_limits<std::int32_t>::max();
    const std::tuple<double, double, const char*, long, long> cases[] = {
        {1.99, 2.5, "min", 119, 150},
        {-1.5, -0.0166, "h", -5400, -59},
        {-0.9, 0.9, "s", 0, 0}, // -0.9 s truncates to 0, not -1
        {std::numeric_limits<double>::quiet_NaN(), 1e300, "s", 0, hi},
        {-1e300, 1e20, "year", lo, hi}};
    for (const auto& [start, end, uom, wantStart, wantEnd] : cases) {
        const CProcUnit u = of({{.startTime = start, .endTime = end, .timeUOM = uom}}).GetProcUnit(0);
        EXPECT_EQ(std::pair(u.GetStart(), u.GetEnd()), std::pair(wantStart, wantEnd)) << start << " " << uom;
    }
    const CProcedure p = of({{.startTime = -1e300, .endTime = 1e300, .op = "op"}});
    EXPECT_EQ(std::pair(p.GetCurrentOp(std::numeric_limits<long>::max()), p.GetCurrentOp(hi)),
              std::pair(CString(), CString("op")));
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
    std::string printed;
    const CProcUnit* first = nullptr;
    int reacting = 0;
    for (int i = 0; i < p.GetNumProcs(); ++i) {
        const CProcUnit& u = p.GetProcUnit(i);
        if (u.GetStart() < t && t <= u.GetEnd()) {
            printed += u.GetOp().str() + "\r\n" + u.GetRecText().str() + "\r\n";
            if (!first) first = &u;
            reacting |= u.OpType() == "React";
        }
        if (t >= u.GetEnd())
            previous = volume = base = u.GetVol();
        else if (t >= u.GetStart())
            previous = volume = previous + (u.GetVol() - base) * static_cast<double>(t - u.GetStart()) /
                                               static_cast<double>(u.GetEnd() - u.GetStart());
    }
    const std::string op = first ? first->GetOp().str() : "";
    return {volume,   volume, printed, op, first ? first->OpType().str() : "", first ? first->GetBatchNum() : 0,
            reacting, op};
}

TEST_F(ProcedureTest, IndexedTimeQueriesMatchAWalkOverAllUnits)
{
    // Overlapping units, units ending before their start, zero-length units
    // and equal keys. A unit added after the queries, copies and assignments
    // must not see a stale index.
    std::mt19937 rng(12345);
    const char* types[] = {"React", "react", "Charge", ""};
    auto addRandom = [&](CProcedure& p, int i) {
        const double s = rng() % 1000, e = rng() % 10 == 0 ? s - rng() % 50 : s + rng() % 200;
        const std::string name = "u" + std::to_string(i), rec = "r" + std::to_string(i);
        p.AddNewProc(i + 1, i + 1, 1, 1, s, e, "s", rng() % 100, "Cubic m", 0, 0, "", 0, 0, "", "", "", "",
                     name.c_str(), types[rng() % 4], rec.c_str(), "", -1, 0, "");
    };
    auto expectMatchesWalk = [](const CProcedure& p, int round) {
        for (long t = -5; t <= 1250; ++t)
            ASSERT_EQ(indexed(p, t), walk(p, t)) << "round " << round << " t " << t;
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

TEST_F(ProcedureTest, UnitsAddedLaterAreSeenByComponentsAndStepQueries)
{
    CProcedure p = of({{.startTime = 0, .endTime = 10, .streamID = 5},
                       {.startTime = 20, .endTime = 30, .streamID = 6},
                       {.startTime = 40, .endTime = 50, .streamID = 6}});
    // The components held per unit after adding one of `stream`.
    auto addTo = [&](long stream) {
        CProcComponent c;
        c.SetStreamID(stream);
        p.AddComponent(c);
        std::vector<int> out;
        for (int i = 0; i < p.GetNumProcs(); ++i)
            out.push_back(p.GetProcUnit(i).GetNumComponents());
        return out;
    };
    EXPECT_EQ(addTo(6), (std::vector{0, 1, 0}));
    EXPECT_EQ(addTo(99), (std::vector{0, 1, 0}));
    EXPECT_EQ(p.GetProcComponentsAt(1)[0].GetOwner(), &p.GetProcComponentsAt(1));
    // A unit of the stream added later at an earlier time becomes the first to take components.
    p.AddNewProc({.startTime = 15, .endTime = 18, .streamID = 6});
    EXPECT_EQ(addTo(6), (std::vector{0, 1, 1, 0}));

    // Steps and unit procedures added after a query are seen; the counts are checked through the facility's list.
    CProcedure q = of({{.procID = 10, .stepID = 1}});
    EXPECT_FALSE(q.ContainsStep(2));
    for (long proc : {11, 20, 20})
        q.AddNewProc({.procID = proc, .stepID = proc / 10});
    EXPECT_TRUE(q.ContainsStep(2) && q.ContainsStepAndProcedure(1, 11));
    EXPECT_FALSE(q.ContainsStepAndProcedure(1, 12) || q.ContainsStepAndProcedure(2, 10));
}

TEST_F(ProcedureTest, EquipmentRowsTakeTheEndTimesUnitAndRowsWithoutContentsAreEmpty)
{
    openSample();
    CDaoEquipConts rows(&db);
    ASSERT_TRUE(rows.OpenOnDatabase(&db));
    int withoutContents = 0;
    for (; !rows.IsEOF(); rows.MoveNext()) {
        CProcedure p;
        p.AddNewProc(rows);
        const CProcUnit& u = p.GetProcUnit(0);
        SCOPED_TRACE(u.GetOp().str());
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
    EXPECT_EQ((std::vector{p.GetOpNameAt(0), p.GetOpNameAt(1), p.GetOpNameAt(2), p.GetContentsAt(2)}),
              (std::vector<CString>{"S-12", "Transfer", "Cooling Water", ""}));
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
    using Value = std::tuple<double, double, double, CString>;
    std::map<Key, Value> expected, loaded;
    CDaoStreamContents rs(&db);
    ASSERT_TRUE(rs.OpenOnDatabase(&db));
    for (; !rs.IsEOF(); rs.MoveNext()) {
        auto end = [&](long& id) { return (rs.IsFieldNull(&id) || id == 0) ? -1 : static_cast<int>(id); };
        expected[{end(rs.m_FromEquipmentID), end(rs.m_ToEquipmentID), 0, static_cast<int>(rs.m_StreamID),
                  static_cast<int>(rs.m_MaterialID), CProcComponent::GetPhaseNum(rs.m_Phase)}] = {
            rs.m_MassPhaseFraction * rs.m_Mass * rs.m_MassFraction,
            rs.m_Volume * rs.m_VolumePhaseFraction * rs.m_VolumeFraction,
            rs.m_MolarPhaseFraction * rs.m_Moles * rs.m_MoleFraction, rs.m_MaterialName};
    }
    rs.MoveFirst(); // the unit names come from the current row
    Hash<CTripleIntKey, Hash<CTripleIntKey, CProcComponent>> out;
    CProcComponent::LoadFromDB(rs, out);
    for (int o = 0; o < out.GetCount(); ++o)
        for (int i = 0; i < out.GetAt(o).GetCount(); ++i) {
            const CTripleIntKey &k = out.GetKeyAt(o), &ik = out.GetAt(o).GetKeyAt(i);
            const CProcComponent& c = out.GetAt(o).GetAt(i);
            EXPECT_TRUE(c.GetStreamID() == ik.first && c.GetPhaseNum() == ik.third);
            loaded[{k.first, k.second, k.third, ik.first, ik.second, ik.third}] = {c.GetMass(), c.GetVolume(),
                                                                                   c.GetMoles(), c.GetName()};
        }
    EXPECT_EQ(loaded, expected);

    CDaoUtilityContents utilities(&db);
    ASSERT_TRUE(utilities.OpenOnDatabase(&db));
    out.RemoveAll();
    CProcComponent::LoadFromDB(utilities, out);
    EXPECT_TRUE(out.GetCount() > 0 && out.GetKeyAt(0).first == -1) << "FromEquipmentID 0 reads as -1";
    EXPECT_FALSE(CProcComponent::GetDutyUOM().IsEmpty());
}

// Texts are shared under step, unit procedure and operation; an empty one
// keeps what is shared, except for unit procedure names.
TEST_F(ProcedureTest, SharedTextsAndUnitsAreSharedByKeyAndEmptyTextsKeepThem)
{
    auto texts = [](const CProcUnit& u) { return std::vector{u.OpType(), u.GetRecText(), u.GetStepName()}; };
    const std::vector<CString> charge{"Charge", "Charge 100 kg of water", "Step A"};
    const CProcUnit first = unit(1, "Charge", "Charge 100 kg of water");
    EXPECT_EQ(texts(unit(1, "", "")), charge);
    EXPECT_EQ(std::pair(CProcUnit::GetUnitProcName(1, 2), CProcUnit::GetUnitProcName(99, 98)),
              std::pair(CString("P-1"), CString()));
    EXPECT_EQ(texts(unit(7, "", "")), std::vector<CString>(3));
    CProcUnit u = unit(1, "", "");
    u.set_optype("");
    u.set_rectext("");
    u.setStepName("");
    EXPECT_EQ(texts(first), charge);
    u.set_optype("React");
    EXPECT_EQ(first.OpType(), "React");
    u.set_unit_proc_name("");
    EXPECT_EQ(u.GetUnitProcName(), "");
    // Quantities show in the shared units.
    EXPECT_EQ((std::vector{u.GetStartTimeStr(), u.GetEndTimeStr(), u.GetTempAStr(), u.GetTempBStr(),
                           u.GetPressureAStr(), u.GetPressureBStr(), u.GetFlowRateStr()}),
              (std::vector<CString>{"1.000 min", "120.000 min", "25.000 C", "36.850 C", "2.000 bar", "1.500 bar",
                                    "2.000 liter/s"}));
    EXPECT_EQ(unit(1, "", "", 1e308).GetFlowRateStr(), "N/A") << "too large to show is not printed as infinity";
    // The names are class-wide: an equipment unit, without pressure or flow
    // units, clears them, and the internal value shows as it is.
    unit(1, "", "", 0.0, "", "");
    EXPECT_EQ(std::pair(first.GetPressureAStr(), CProcUnit::GetFlowRateUOM()),
              std::pair(CString("200000.000 "), CString()));
    CProcUnit::set_temp_uom("K");
    EXPECT_EQ(u.GetTempAStr(), "298.150 K");
}

// Identifiers are held in 32 bits where they fit; one that does not must
// keep all of them, through copies too, and turning narrow again drops them.
// Copied components belong to the unit holding them; only copy construction
// copies the list's showPhase.
TEST_F(ProcedureTest, CopiesKeepWideIdentifiersAndTheirComponentsBelongToTheCopy)
{
    const long big = 1L << 33;
    CProcUnit u(-big, big);
    EXPECT_TRUE(u.IsEmpty() && u.GetStart() == -big);
    u.assign(big + 1, 3, -big, 1, 60, 120, "s", 0.5, "", 0, 0, "", 0, 0, "", "", "", "", "", "", "", "", 0, 0, "");
    const CProcComponent water = make("Water", {});
    u.AddComponent(water);
    u.GetComponents().SetShowPhase(true);
    EXPECT_EQ(water.GetOwner(), nullptr) << "the original is not touched";
    EXPECT_EQ(u.GetComponentAt(3).GetName(), "") << "bad position: a default component";
    const CProcUnit copy(u);
    CProcUnit assigned = unit(2, "", "");
    assigned.AddComponent(water);
    assigned = u;
    auto ids = [](const CProcUnit& x) {
        return std::vector<long>({x.GetBatchNum(), x.GetOpID(), x.GetProcID(), x.GetStepID(), x.GetEnd()});
    };
    for (const CProcUnit* x : std::initializer_list<const CProcUnit*>{&u, &copy, &assigned})
        EXPECT_TRUE(ids(*x) == std::vector<long>({big + 1, 3, -big, 1, 120}) && x->GetNumComponents() == 1 &&
                    x->GetComponentAt(0).GetName() == "Water" &&
                    x->GetComponentAt(0).GetOwner() == &x->GetComponents());
    EXPECT_TRUE(copy.GetComponents().GetShowPhase() && !assigned.GetComponents().GetShowPhase());
    u.assign(4, 3, 2, 1, 60, 120, "s", 0.5, "", 0, 0, "", 0, 0, "", "", "", "", "", "", "", "", 0, 0, "");
    EXPECT_EQ(ids(u), std::vector<long>({4, 3, 2, 1, 120}));
}

TEST_F(ProcedureTest, PhasesByNameAndLetterAndInSums)
{
    const std::pair<const char*, int> phases[] = {{"Liquid2", 4}, {"GAS", 1},    {"liquid1", 2}, {"Solid", 8},
                                                  {"cell1", 16},  {"CELL2", 32}, {"vapor", 0},   {"", 0}};
    for (const auto& [name, num] : phases)
        EXPECT_EQ(CProcComponent::GetPhaseNum(CString(name)), num) << name;
    const std::pair<int, const char*> letters[] = {{1 | 8, "g+s"}, {2 | 8, "l+s"}, {4, "l"}, {63, "g+l+l+s+c+c"}};
    for (const auto& [bits, text] : letters)
        EXPECT_EQ(make("a", {.phase = bits}).GetAbbreviatedPhase(), text) << bits;

    // Sums add the amounts, take the identity and join only disjoint phases.
    CProcComponent gas = make("Air", {1.5, 2, 3, 4, 1, 2, CProcComponent::Gas}), total;
    CProcComponent liquid = make("Water", {0.5, 1, 1, -1, 10, 20, CProcComponent::Liquid1});
    liquid.SetMaterialID(9);
    liquid.SetStreamID(90);
    CProcComponents list;
    list += gas;
    list += liquid;
    list.GetTotal(total); // a list's total is the same sum
    gas += liquid;
    for (const CProcComponent& c : {gas, total})
        EXPECT_EQ(c.GetName() + CString::Formatted(" %ld %g %g %g %g %g %g %d", c.GetMaterialID() + c.GetStreamID(),
                                                   c.GetMass(), c.GetVolume(), c.GetMoles(), c.GetDuty(),
                                                   c.GetStartTime(), c.GetEndTime(), c.GetPhaseNum()),
                  "Water 99 2 3 4 3 10 20 3");
    CProcComponent onlyGas = make("x", {.phase = CProcComponent::Gas});
    onlyGas += make("y", {.phase = CProcComponent::Gas | CProcComponent::Liquid1});
    EXPECT_EQ(onlyGas.GetPhaseNum(), CProcComponent::Gas);
}

// Each row's cells as amounts or as rates, "|" after each column, and the
// longest text of a column, its heading included, the earlier on a tie.
TEST_F(ProcedureTest, CellTextsOfHeadingsValuesAndRates)
{
    CProcComponent::SetMassUOM("kg");
    CProcComponent::SetDutyUOM("KJ");
    CProcComponent::SetTimeUOM("h");
    CProcComponent::SetVolUOM("m3");
    CProcComponent::SetMolesUOM("kmol");
    CProcComponents list;
    EXPECT_EQ(list.GetLongestString(CProcComponents::Volume), "Volume (m3)");
    list += make("Water", {12.5, 3, 0, 0, 5, 5, CProcComponent::Gas | CProcComponent::Solid});
    list += make("Acid", {.mass = 8, .moles = 6, .duty = -2, .end = 4});
    list += make("backwards", {.mass = 1, .start = 10, .end = 2});
    list += make("huge", {.mass = 1e308, .end = 1e-10}); // must not print inf
    auto cells = [&](int row, bool rate) {
        std::string text;
        for (int column = CProcComponents::Mass; column <= CProcComponents::ComponentName + 1; ++column)
            text += list.GetStringAt(row, static_cast<CProcComponents::Type>(column), rate).str() + "|";
        return text;
    };
    const std::tuple<int, bool, const char*> rows[] = {
        {-1, false, "Mass (kg)|Volume (m3)|Moles (kmol)|Duty (KJ)|Component||"},
        {-2, true, "(kg/h)|(m3/h)|(kmol/h)|(KJ/h)|Flow rates||"},
        {0, false, "12.5000|3.0000|0.0000|0.0000|Water|0.0000|"},
        {0, true, "N/A|N/A|N/A|N/A|Water|N/A|"},
        {1, false, "8.0000|0.0000|6.0000|-2.0000|Acid|0.0000|"},
        {1, true, "2.0000|0.0000|1.5000|-0.5000|Acid|0.0000|"},
        {2, true, "N/A|N/A|N/A|N/A|backwards|N/A|"},
        {3, true, "N/A|0.0000|0.0000|0.0000|huge|0.0000|"},
        {4, false, "||||||"},
        {-3, false, "||||||"}};
    for (const auto& [row, rate, text] : rows)
        EXPECT_EQ(cells(row, rate), text) << row << " " << rate;
    EXPECT_EQ(list.GetLongestString(CProcComponents::ComponentName), "Component") << "a tie with 'backwards'";
    EXPECT_EQ(list.GetLongestString(CProcComponents::Mass), list.GetStringAt(3, CProcComponents::Mass, false));
    list.SetShowPhase(true);
    EXPECT_EQ(std::pair(list.GetStringAt(0, CProcComponents::ComponentName, false),
                        list.GetStringAt(1, CProcComponents::ComponentName, false)),
              std::pair(CString("Water (g+s)"), CString("Acid")));
    EXPECT_EQ(list.GetLongestString(CProcComponents::ComponentName), "Water (g+s)");
}

TEST_F(ProcedureTest, SortByPutsTheHeaviestFirstWhateverTheColumnAndKeepsTheOwner)
{
    std::vector<double> input = {3, 1, 4, 1, 5, 9, 2, 6, 2, 2};
    for (int i = 0; i < 500; ++i)
        input.push_back(i); // an ascending run: a last-element pivot's worst case
    CProcComponents list;
    list.SortBy(CProcComponents::Mass); // nothing to sort
    for (double m : input)
        list += make("c", {.mass = m});
    list.SortBy(CProcComponents::ComponentName);
    std::sort(input.rbegin(), input.rend());
    ASSERT_EQ(list.Size(), static_cast<int>(input.size()));
    for (int i = 0; i < list.Size(); ++i)
        EXPECT_TRUE(list[i].GetMass() == input[static_cast<std::size_t>(i)] && list[i].GetOwner() == &list) << i;
}

} // namespace
} // namespace batchplant
