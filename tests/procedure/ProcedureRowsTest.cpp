// Units and components built from recordset rows: hand-filled rows for the
// argument mapping, and the generated sample database for real rows.

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <tuple>
#include <vector>

#include "SampleDatabase.h"
#include "batchplant/db/EquipmentRecordsets.h"
#include "batchplant/db/StreamRecordsets.h"
#include "batchplant/foundation/Units.h"
#include "batchplant/procedure/CProcedure.h"

namespace batchplant {
namespace {

long seconds(const CString& uom, double v) { return static_cast<long>(std::trunc(ToInternalUnits(uom, v))); }

class ProcedureRowsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CProcUnit::ResetSharedTables();
        CProcComponent::ResetSharedTables();
        db.Open(CString(test::SampleDatabasePath().string()), false, true);
    }
    void TearDown() override
    {
        CProcUnit::ResetSharedTables();
        CProcComponent::ResetSharedTables();
    }

    CDaoDatabase db;
};

TEST_F(ProcedureRowsTest, EquipmentRowsBecomeLabelledUnitsWithoutPressureFlowOrStream)
{
    CDaoEquipConts rows(&db);
    ASSERT_TRUE(rows.OpenOnDatabase(&db));
    ASSERT_FALSE(rows.IsEOF());
    const long equipment = rows.m_EquipmentID;

    CProcedure p;
    int count = 0;
    int withoutContents = 0;
    for (; !rows.IsEOF(); rows.MoveNext()) {
        if (rows.m_EquipmentID != equipment) continue;
        const bool noContents = rows.IsFieldNull(&rows.m_Volume);
        p.AddNewProc(rows);
        ++count;

        // Find the unit just added: the one with this row's keys and times.
        const long start = seconds(rows.m_EndTimeUOM, rows.m_StartTime);
        const long end = seconds(rows.m_EndTimeUOM, rows.m_EndTime);
        const CProcUnit* unit = nullptr;
        for (int i = 0; i < p.GetNumProcs() && !unit; ++i) {
            const CProcUnit& u = p.GetProcUnit(i);
            if (u.GetStart() == start && u.GetEnd() == end && u.GetOpID() == rows.m_OperationID &&
                u.GetBatchNum() == rows.m_BatchNumber)
                unit = &u;
        }
        ASSERT_NE(unit, nullptr) << "row " << count;
        EXPECT_EQ(unit->GetOp(),
                  CString::Formatted("%ld.%ld %s", rows.m_ProcSeqNum, rows.m_OpSeqNum, rows.m_OpName.c_str()));
        EXPECT_EQ(unit->GetStreamID(), -1);
        EXPECT_EQ(unit->GetStepID(), rows.m_StepID);
        EXPECT_EQ(unit->GetProcID(), rows.m_UnitProcedureID);
        EXPECT_DOUBLE_EQ(unit->GetPressA(), 0.0);
        EXPECT_DOUBLE_EQ(unit->GetFlowRate(), 0.0);
        EXPECT_EQ(unit->GetPrimaryMaterialName(), "");
        EXPECT_EQ(unit->OpType(), rows.m_OpType);
        EXPECT_EQ(unit->GetRecText(), rows.m_RecipeText);
        EXPECT_EQ(unit->GetStepName(), rows.m_StepName);
        EXPECT_EQ(unit->GetStepVersion(), rows.m_StepVersionName);
        if (noContents) {
            ++withoutContents;
            EXPECT_TRUE(unit->IsEmpty());
        } else {
            EXPECT_NEAR(unit->GetVol(), ToInternalUnits(rows.m_VolumeUOM, rows.m_Volume), 1e-9);
            EXPECT_NEAR(unit->GetTempA(), ToInternalUnits(rows.m_TemperatureUOM, rows.m_Temperature), 1e-9);
        }
    }
    EXPECT_GT(count, 10);
    EXPECT_GT(withoutContents, 0) << "the sample has schedule rows without contents";
    EXPECT_EQ(p.GetNumProcs(), count);
    EXPECT_EQ(p.GetOpNumberAt(0), "-1");
    EXPECT_EQ(CProcUnit::GetPressUOM(), "");
    EXPECT_EQ(CProcUnit::GetFlowRateUOM(), "");

    // Consecutive positions are in time order for a vessel's sequential operations.
    const Array<long> times = p.GetTimeList();
    ASSERT_EQ(times.GetSize(), 2 * count);
    EXPECT_LE(times[0], times[2]);
}

TEST_F(ProcedureRowsTest, StreamRowWithoutUserLabelShowsTheOperationName)
{
    CDaoStreamSet row;
    row.m_OpName = "Transfer";
    row.m_StartTime = 1;
    row.m_EndTime = 2;
    row.m_EndTimeUOM = "h";
    row.m_StreamID = 12;
    CProcedure p;
    p.AddNewProc(row);
    row.m_UserLabel = "S-12";
    row.m_StartTime = 3;
    row.m_EndTime = 4;
    p.AddNewProc(row);
    EXPECT_EQ(p.GetOpNameAt(0), "Transfer");
    EXPECT_EQ(p.GetOpNameAt(1), "S-12");
    EXPECT_EQ(p.GetProcUnit(0).GetStart(), 3600);
}

TEST_F(ProcedureRowsTest, UtilityRowsCarryInletAndOutletConditionsAndTheUtilityName)
{
    CDaoUtilitySummary row;
    row.m_StreamID = 3;
    row.m_UtilityName = "Cooling Water";
    row.m_OpName = "Cool";
    row.m_OpType = "Cool";
    row.m_PrimaryMaterial = "Cooling Water";
    row.m_StartTime = 60;
    row.m_EndTime = 120;
    row.m_EndTimeUOM = "s";
    row.m_InletTemperature = 25;
    row.m_OutletTemperature = 35;
    row.m_TemperatureUOM = "C";
    row.m_InletPressure = 3;
    row.m_OutletPressure = 2;
    row.m_PressureUOM = "bar";
    row.m_VolumetricFlowRate = 3.6;
    row.m_VolumetricFlowRateUOM = "Cubic m/h";
    CProcedure p;
    p.AddNewProc(row);
    const CProcUnit& u = p.GetProcUnit(0);
    EXPECT_EQ(u.GetOp(), "Cooling Water");
    EXPECT_NEAR(u.GetTempA(), 298.15, 1e-9);
    EXPECT_NEAR(u.GetTempB(), 308.15, 1e-9);
    EXPECT_NEAR(u.GetPressA(), 300000.0, 1e-6);
    EXPECT_NEAR(u.GetPressB(), 200000.0, 1e-6);
    EXPECT_NEAR(u.GetFlowRate(), 0.001, 1e-12);
    EXPECT_EQ(u.GetPrimaryMaterialName(), "") << "utility units carry no primary material";
    EXPECT_EQ(p.GetTemperatureBStrAt(0), "35.000 C");
    EXPECT_EQ(p.GetPressureBStrAt(0), "2.000 bar");
    EXPECT_EQ(p.GetOpNumberAt(0), "3");

    row.m_UserLabel = "CW-1";
    p.AddNewProc(row);
    EXPECT_EQ(p.GetOpNameAt(0), "CW-1") << "newest first among equal times";
}

TEST_F(ProcedureRowsTest, VaporRowsCarryPressureAndLabel)
{
    CDaoVaporSummary row;
    row.m_StreamID = 8;
    row.m_OpName = "React";
    row.m_OpType = "React";
    row.m_StartTime = 10;
    row.m_EndTime = 20;
    row.m_EndTimeUOM = "min";
    row.m_Temperature = 110;
    row.m_TemperatureUOM = "C";
    row.m_Pressure = 1;
    row.m_PressureUOM = "atm";
    row.m_Volume = 2;
    row.m_VolumeUOM = "Cubic m";
    CProcedure p;
    p.AddNewProc(row);
    const CProcUnit& u = p.GetProcUnit(0);
    EXPECT_EQ(u.GetOp(), "React");
    EXPECT_EQ(u.GetStart(), 600);
    EXPECT_EQ(u.GetEnd(), 1200);
    EXPECT_NEAR(u.GetPressA(), 101325.0, 1e-6);
    // The missing outlet temperature is a 0 in the row's unit, converted like any other.
    EXPECT_EQ(u.GetTempBStr(), "0.000 C");
    EXPECT_DOUBLE_EQ(u.GetVol(), 2.0);
    EXPECT_EQ(p.Reacting(900), 1);
}

using OuterKey = std::tuple<int, int, int>;
using InnerKey = std::tuple<int, int, int>;

TEST_F(ProcedureRowsTest, LoadFromDBKeysComponentsByEquipmentPairAndStreamMaterialPhase)
{
    // What the rows hold, read directly: the last row of each key pair wins.
    struct Expected {
        double mass, volume, moles;
        CString name;
    };
    std::map<OuterKey, std::map<InnerKey, Expected>> expected;
    bool sawNullEnd = false;
    CString firstMassUOM;
    {
        CDaoStreamContents rs(&db);
        ASSERT_TRUE(rs.OpenOnDatabase(&db));
        firstMassUOM = rs.m_MassUOM;
        for (; !rs.IsEOF(); rs.MoveNext()) {
            const bool fromNull = rs.IsFieldNull(&rs.m_FromEquipmentID);
            const bool toNull = rs.IsFieldNull(&rs.m_ToEquipmentID);
            sawNullEnd = sawNullEnd || fromNull || toNull;
            const int from = (fromNull || rs.m_FromEquipmentID == 0) ? -1 : static_cast<int>(rs.m_FromEquipmentID);
            const int to = (toNull || rs.m_ToEquipmentID == 0) ? -1 : static_cast<int>(rs.m_ToEquipmentID);
            const int phase = CProcComponent::GetPhaseNum(rs.m_Phase);
            expected[{from, to, 0}][{static_cast<int>(rs.m_StreamID), static_cast<int>(rs.m_MaterialID), phase}] = {
                rs.m_MassPhaseFraction * rs.m_Mass * rs.m_MassFraction,
                rs.m_Volume * rs.m_VolumePhaseFraction * rs.m_VolumeFraction,
                rs.m_MolarPhaseFraction * rs.m_Moles * rs.m_MoleFraction, rs.m_MaterialName};
        }
    }
    ASSERT_TRUE(sawNullEnd) << "the sample has streams from or to outside the plant";

    CDaoStreamContents rs(&db);
    ASSERT_TRUE(rs.OpenOnDatabase(&db));
    Hash<CTripleIntKey, Hash<CTripleIntKey, CProcComponent>> out;
    CProcComponent::LoadFromDB(rs, out);

    EXPECT_EQ(CProcComponent::GetMassUOM(), firstMassUOM);
    ASSERT_EQ(out.GetCount(), static_cast<int>(expected.size()));
    for (int o = 0; o < out.GetCount(); ++o) {
        const CTripleIntKey& key = out.GetKeyAt(o);
        EXPECT_NE(key.first, 0);
        EXPECT_NE(key.second, 0);
        const auto outer = expected.find({key.first, key.second, key.third});
        ASSERT_NE(outer, expected.end()) << key.first << "," << key.second;
        const Hash<CTripleIntKey, CProcComponent>& inner = out.GetAt(o);
        ASSERT_EQ(inner.GetCount(), static_cast<int>(outer->second.size()));
        for (int i = 0; i < inner.GetCount(); ++i) {
            const CTripleIntKey& ik = inner.GetKeyAt(i);
            const auto e = outer->second.find({ik.first, ik.second, ik.third});
            ASSERT_NE(e, outer->second.end());
            const CProcComponent& c = inner.GetAt(i);
            EXPECT_DOUBLE_EQ(c.GetMass(), e->second.mass);
            EXPECT_DOUBLE_EQ(c.GetVolume(), e->second.volume);
            EXPECT_DOUBLE_EQ(c.GetMoles(), e->second.moles);
            EXPECT_EQ(c.GetName(), e->second.name);
            EXPECT_EQ(c.GetStreamID(), ik.first);
            EXPECT_EQ(c.GetPhaseNum(), ik.third);
            EXPECT_EQ(c.GetOwner(), nullptr);
        }
    }
}

TEST_F(ProcedureRowsTest, UtilityContentsComeFromOutsideThePlant)
{
    CDaoUtilityContents rs(&db);
    ASSERT_TRUE(rs.OpenOnDatabase(&db));
    Hash<CTripleIntKey, Hash<CTripleIntKey, CProcComponent>> out;
    CProcComponent::LoadFromDB(rs, out);
    ASSERT_GT(out.GetCount(), 0);
    for (int o = 0; o < out.GetCount(); ++o)
        EXPECT_EQ(out.GetKeyAt(o).first, -1) << "FromEquipmentID 0 reads as -1";
    EXPECT_FALSE(CProcComponent::GetDutyUOM().IsEmpty());
    EXPECT_EQ(CProcComponents().GetStringAt(-2, CProcComponents::Duty, true),
              "(" + CProcComponent::GetDutyUOM() + "/" + CProcComponent::GetTimeUOM() + ")");
}

} // namespace
} // namespace batchplant
