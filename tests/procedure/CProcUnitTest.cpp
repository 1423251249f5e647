#include <gtest/gtest.h>

#include "batchplant/procedure/CProcUnit.h"

namespace batchplant {
namespace {

class ProcUnitTest : public ::testing::Test {
protected:
    void SetUp() override { CProcUnit::ResetSharedTables(); }
    void TearDown() override { CProcUnit::ResetSharedTables(); }

    // A unit of step 1, unit procedure 2, operation 3, in internal units.
    static CProcUnit filled(const CString& opType = "Charge", const CString& recText = "Charge 100 kg of water",
                            const CString& stepName = "Step A", const CString& unitProcName = "P-1")
    {
        CProcUnit u;
        u.assign(/*batch*/ 4, /*op*/ 3, /*proc*/ 2, /*step*/ 1, 60, 7200, "min", 0.5, "liter", 298.15, 310.0, "C",
                 200000.0, 150000.0, "bar", stepName, "v2", "1.1 Charge", "Water", opType, recText, unitProcName, 17,
                 0.002, "liter/s");
        return u;
    }
};

// The row's plain values reach the unit through every loader (the procedure
// row tests); what assign adds are the texts shared under step and unit
// procedure, and the units named once for all.
TEST_F(ProcUnitTest, AssignStoresTheSharedTexts)
{
    const CProcUnit u = filled();
    EXPECT_EQ(u.GetStreamID(), 17);
    EXPECT_EQ(u.GetPrimaryMaterialName(), "Water");
    EXPECT_EQ(u.OpType(), "Charge");
    EXPECT_EQ(u.GetRecText(), "Charge 100 kg of water");
    EXPECT_EQ(u.GetUnitProcName(), "P-1");
    EXPECT_EQ(CProcUnit::GetUnitProcName(1, 2), "P-1");
    EXPECT_EQ(CProcUnit::GetFlowRateUOM(), "liter/s");
    EXPECT_EQ(CProcUnit::GetTimeUOM(), "min");
    EXPECT_FALSE(u.IsEmpty());
}

TEST_F(ProcUnitTest, SharedTextsAreSharedByKeyAndMissingOnesAreEmpty)
{
    const CProcUnit first = filled();
    CProcUnit other;
    other.assign(9, 3, 2, 1, 0, 10, "s", 0.0, "", 0.0, 0.0, "", 0.0, 0.0, "", "", "", "op", "", "", "", "P-1", -1, 0.0,
                 "");
    // Same keys: the empty texts of the second unit left the first unit's texts in place.
    EXPECT_EQ(other.OpType(), "Charge");
    EXPECT_EQ(other.GetRecText(), "Charge 100 kg of water");
    EXPECT_EQ(other.GetStepName(), "Step A");
    EXPECT_EQ(first.OpType(), "Charge");

    CProcUnit elsewhere;
    elsewhere.assign(1, 5, 6, 7, 0, 10, "s", 0.0, "", 0.0, 0.0, "", 0.0, 0.0, "", "", "", "op", "", "", "", "", -1, 0.0,
                     "");
    EXPECT_EQ(elsewhere.OpType(), "");
    EXPECT_EQ(elsewhere.GetRecText(), "");
    EXPECT_EQ(elsewhere.GetStepName(), "");
    EXPECT_EQ(CProcUnit::GetUnitProcName(99, 98), "");
}

TEST_F(ProcUnitTest, EmptySettersKeepTextsButUnitNamesAndUnitProcedureNamesAreOverwritten)
{
    CProcUnit u = filled();
    u.set_optype("");
    u.set_rectext("");
    u.setStepName("");
    u.setStepVersion("");
    EXPECT_EQ(u.OpType(), "Charge");
    EXPECT_EQ(u.GetRecText(), "Charge 100 kg of water");
    EXPECT_EQ(u.GetStepName(), "Step A");
    EXPECT_EQ(u.GetStepVersion(), "v2");

    u.set_optype("React");
    EXPECT_EQ(u.OpType(), "React");

    u.set_unit_proc_name("");
    EXPECT_EQ(u.GetUnitProcName(), "");

    CProcUnit::set_time_uom("");
    EXPECT_EQ(CProcUnit::GetTimeUOM(), "");
    CProcUnit::set_press_uom("");
    EXPECT_EQ(CProcUnit::GetPressUOM(), "");
}

TEST_F(ProcUnitTest, QuantityTextsConvertToTheSharedUnits)
{
    const CProcUnit u = filled();
    EXPECT_EQ(u.GetStartTimeStr(), "1.000 min");
    EXPECT_EQ(u.GetEndTimeStr(), "120.000 min");
    EXPECT_EQ(u.GetTempAStr(), "25.000 C");
    EXPECT_EQ(u.GetTempBStr(), "36.850 C");
    EXPECT_EQ(u.GetPressureAStr(), "2.000 bar");
    EXPECT_EQ(u.GetPressureBStr(), "1.500 bar");
    EXPECT_EQ(u.GetFlowRateStr(), "2.000 liter/s");

    // The names are class-wide: a later change shows in every unit.
    CProcUnit::set_temp_uom("K");
    EXPECT_EQ(u.GetTempAStr(), "298.150 K");
    // Without a unit name the internal value is shown as it is.
    CProcUnit::set_press_uom("");
    EXPECT_EQ(u.GetPressureAStr(), "200000.000 ");

    // Too large to show is not printed as infinity.
    CProcUnit huge;
    huge.assign(1, 1, 1, 1, 0, 10, "s", 0.0, "", 0.0, 0.0, "", 0.0, 0.0, "", "", "", "op", "", "", "", "", 1, 1e308,
                "Cubic m/s");
    CProcUnit::set_flow_uom("liter/s"); // 1000 times the internal value
    EXPECT_EQ(huge.GetFlowRateStr(), "N/A");
}

TEST_F(ProcUnitTest, IsEmptyWhenTheVolumeIsNotPositive)
{
    EXPECT_TRUE(CProcUnit(0, 10).IsEmpty()) << "volume 0.0";
    for (double volume : {-1.0, 1e-9}) {
        CProcUnit u;
        u.assign(1, 1, 1, 1, 0, 10, "s", volume, "", 0.0, 0.0, "", 0.0, 0.0, "", "", "", "op", "", "", "", "", -1, 0.0,
                 "");
        EXPECT_EQ(u.IsEmpty(), volume <= 0) << volume;
    }
}

TEST_F(ProcUnitTest, ComponentsBelongToTheUnitAndFollowCopies)
{
    CProcUnit u = filled();
    CProcComponent c;
    c.SetName("Water");
    c.SetMass(3.0);
    u.AddComponent(c);
    u.GetComponents().SetShowPhase(true);
    ASSERT_EQ(u.GetNumComponents(), 1);
    EXPECT_EQ(u.GetComponentAt(0).GetName(), "Water");
    EXPECT_EQ(u.GetComponentAt(0).GetOwner(), &u.GetComponents());
    EXPECT_EQ(c.GetOwner(), nullptr) << "the original is not touched";
    EXPECT_EQ(u.GetComponentAt(3).GetName(), "") << "bad position: default component";

    const CProcUnit copy(u);
    ASSERT_EQ(copy.GetNumComponents(), 1);
    EXPECT_EQ(copy.GetComponentAt(0).GetOwner(), &copy.GetComponents());
    EXPECT_TRUE(copy.GetComponents().GetShowPhase());

    CProcUnit assigned;
    assigned = u;
    ASSERT_EQ(assigned.GetNumComponents(), 1);
    EXPECT_EQ(assigned.GetComponentAt(0).GetOwner(), &assigned.GetComponents());
    EXPECT_FALSE(assigned.GetComponents().GetShowPhase()) << "only copy construction copies showPhase";
}

} // namespace
} // namespace batchplant
