#include <gtest/gtest.h>

#include <vector>

#include "batchplant/procedure/CProcUnit.h"

namespace batchplant {
namespace {

class ProcUnitTest : public ::testing::Test {
protected:
    void SetUp() override { CProcUnit::ResetSharedTables(); }
    void TearDown() override { CProcUnit::ResetSharedTables(); }

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
};

// What assign adds to the row's values: the texts shared under step, unit
// procedure and operation, and the unit names held once for all.
TEST_F(ProcUnitTest, SharedTextsAreSharedByKeyAndEmptyTextsKeepThem)
{
    const CProcUnit first = unit(1, "Charge", "Charge 100 kg of water");
    const CProcUnit same = unit(1, "", "");
    EXPECT_EQ(same.OpType() + "|" + same.GetRecText() + "|" + same.GetStepName(),
              "Charge|Charge 100 kg of water|Step A");
    EXPECT_EQ(CProcUnit::GetUnitProcName(1, 2) + "|" + CProcUnit::GetUnitProcName(99, 98), "P-1|");
    const CProcUnit elsewhere = unit(7, "", "");
    EXPECT_EQ(elsewhere.OpType() + elsewhere.GetRecText() + elsewhere.GetStepName(), "");
    CProcUnit u = unit(1, "", "");
    u.set_optype("");
    u.set_rectext("");
    u.setStepName("");
    EXPECT_EQ(first.OpType() + "|" + first.GetRecText() + "|" + first.GetStepName(),
              "Charge|Charge 100 kg of water|Step A");
    u.set_optype("React");
    EXPECT_EQ(first.OpType(), "React");
    u.set_unit_proc_name("");
    EXPECT_EQ(u.GetUnitProcName(), "") << "unit procedure names are overwritten";
}

TEST_F(ProcUnitTest, QuantityTextsConvertToTheSharedUnits)
{
    const CProcUnit u = unit(1, "Charge", "");
    EXPECT_EQ(u.GetStartTimeStr() + "|" + u.GetEndTimeStr() + "|" + u.GetTempAStr() + "|" + u.GetTempBStr() + "|" +
                  u.GetPressureAStr() + "|" + u.GetPressureBStr() + "|" + u.GetFlowRateStr(),
              "1.000 min|120.000 min|25.000 C|36.850 C|2.000 bar|1.500 bar|2.000 liter/s");
    // Too large to show is not printed as infinity.
    EXPECT_EQ(unit(1, "", "", 1e308).GetFlowRateStr(), "N/A");
    // The names are class-wide: an equipment unit, without pressure or flow
    // units, clears them, and the internal value shows as it is.
    unit(1, "", "", 0.0, "", "");
    EXPECT_EQ(u.GetPressureAStr() + "|" + CProcUnit::GetFlowRateUOM(), "200000.000 |");
    CProcUnit::set_temp_uom("K");
    EXPECT_EQ(u.GetTempAStr(), "298.150 K");
}

// Identifiers are held in 32 bits where they fit; one that does not must
// keep all of them, through copies too, and turning narrow again drops them.
TEST_F(ProcUnitTest, IdentifiersBeyond32BitsAreKeptWhole)
{
    const long big = 1L << 33;
    CProcUnit u(-big, big);
    EXPECT_TRUE(u.IsEmpty());
    EXPECT_EQ(std::vector<long>({u.GetStart(), u.GetEnd()}), std::vector<long>({-big, big}));
    u.assign(big + 1, 3, -big, 1, 60, 120, "s", 0.5, "liter", 0, 0, "C", 0, 0, "", "", "", "", "", "", "", "", 0, 0,
             "");
    const CProcUnit copy(u);
    for (const CProcUnit* x : std::initializer_list<const CProcUnit*>{&u, &copy})
        EXPECT_EQ(std::vector<long>({x->GetBatchNum(), x->GetOpID(), x->GetProcID(), x->GetStepID(), x->GetEnd()}),
                  std::vector<long>({big + 1, 3, -big, 1, 120}));
    u.assign(4, 3, 2, 1, 60, 120, "s", 0.5, "liter", 0, 0, "C", 0, 0, "", "", "", "", "", "", "", "", 0, 0, "");
    EXPECT_EQ(std::vector<long>({u.GetBatchNum(), u.GetProcID(), u.GetEnd()}), std::vector<long>({4, 2, 120}));
}

TEST_F(ProcUnitTest, ComponentsBelongToTheUnitAndFollowCopies)
{
    CProcUnit u = unit(1, "", "");
    CProcComponent c;
    c.SetName("Water");
    u.AddComponent(c);
    u.GetComponents().SetShowPhase(true);
    EXPECT_EQ(c.GetOwner(), nullptr) << "the original is not touched";
    EXPECT_EQ(u.GetComponentAt(3).GetName(), "") << "bad position: default component";
    const CProcUnit copy(u);
    CProcUnit assigned;
    assigned = u;
    for (const CProcUnit* x : std::initializer_list<const CProcUnit*>{&u, &copy, &assigned}) {
        ASSERT_EQ(x->GetNumComponents(), 1);
        EXPECT_EQ(x->GetComponentAt(0).GetName(), "Water");
        EXPECT_EQ(x->GetComponentAt(0).GetOwner(), &x->GetComponents());
    }
    EXPECT_TRUE(copy.GetComponents().GetShowPhase());
    EXPECT_FALSE(assigned.GetComponents().GetShowPhase()) << "only copy construction copies showPhase";
}

} // namespace
} // namespace batchplant
