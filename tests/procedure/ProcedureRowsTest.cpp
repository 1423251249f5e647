// Units and components built from recordset rows: the generated sample's
// rows, and hand-filled rows for what the sample does not hold.

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <tuple>

#include "SampleDatabase.h"
#include "batchplant/db/EquipmentRecordsets.h"
#include "batchplant/db/StreamRecordsets.h"
#include "batchplant/foundation/Units.h"
#include "batchplant/procedure/CProcedure.h"

namespace batchplant {
namespace {

class ProcedureRowsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        reset();
        db.Open(CString(test::SampleDatabasePath().string()), false, true);
    }
    void TearDown() override { reset(); }
    static void reset()
    {
        CProcUnit::ResetSharedTables();
        CProcComponent::ResetSharedTables();
    }
    CDaoDatabase db;
};

TEST_F(ProcedureRowsTest, EquipmentRowsBecomeLabelledUnitsAndRowsWithoutContentsEmptyOnes)
{
    CDaoEquipConts rows(&db);
    ASSERT_TRUE(rows.OpenOnDatabase(&db));
    const long equipment = rows.m_EquipmentID;
    int count = 0, withoutContents = 0;
    for (; !rows.IsEOF(); rows.MoveNext()) {
        if (rows.m_EquipmentID != equipment) continue;
        CProcedure p;
        p.AddNewProc(rows);
        const CProcUnit& u = p.GetProcUnit(0);
        SCOPED_TRACE(testing::Message() << "row " << ++count);
        EXPECT_EQ(u.GetStart(), static_cast<long>(std::trunc(ToInternalUnits(rows.m_EndTimeUOM, rows.m_StartTime))));
        EXPECT_EQ(u.GetOp(),
                  CString::Formatted("%ld.%ld %s", rows.m_ProcSeqNum, rows.m_OpSeqNum, rows.m_OpName.c_str()));
        EXPECT_EQ(u.GetStreamID(), -1);
        if (rows.IsFieldNull(&rows.m_Volume)) {
            ++withoutContents;
            EXPECT_TRUE(u.IsEmpty());
        } else {
            EXPECT_NEAR(u.GetVol(), ToInternalUnits(rows.m_VolumeUOM, rows.m_Volume), 1e-9);
        }
    }
    EXPECT_GT(count, 10);
    EXPECT_GT(withoutContents, 0) << "the sample has schedule rows without contents";
}

// The row-to-unit copies are plain; what is tested is what they decide.
TEST_F(ProcedureRowsTest, StreamUtilityAndVaporRowsAreLabelled)
{
    CDaoStreamSet stream;
    stream.m_OpName = "Transfer";
    stream.m_EndTime = 2;
    stream.m_EndTimeUOM = "h";
    CProcedure streams;
    streams.AddNewProc(stream);
    stream.m_UserLabel = "S-12";
    streams.AddNewProc(stream);
    // Newest first among equal times; without a label the operation name.
    EXPECT_EQ(streams.GetOpNameAt(0) + "|" + streams.GetOpNameAt(1), "S-12|Transfer");
    CDaoUtilitySummary utility;
    utility.m_UtilityName = "Cooling Water";
    utility.m_OpName = "Cool";
    utility.m_PrimaryMaterial = "Cooling Water";
    CProcedure utilities;
    utilities.AddNewProc(utility);
    EXPECT_EQ(utilities.GetOpNameAt(0), "Cooling Water");
    EXPECT_EQ(utilities.GetProcUnit(0).GetPrimaryMaterialName(), "") << "utility units carry no primary material";
    CDaoVaporSummary vapor;
    vapor.m_OpType = "React";
    vapor.m_EndTime = 20;
    vapor.m_EndTimeUOM = "min";
    vapor.m_TemperatureUOM = "C";
    CProcedure vapors;
    vapors.AddNewProc(vapor);
    EXPECT_EQ(vapors.GetProcUnit(0).GetTempBStr(), "0.000 C")
        << "the missing outlet temperature is a 0 in the row's unit";
    EXPECT_EQ(vapors.Reacting(900), 1);
}

TEST_F(ProcedureRowsTest, LoadFromDBKeysComponentsByEquipmentPairAndStreamMaterialPhase)
{
    // What the rows hold, read directly: the last row of each key pair wins.
    using Key = std::tuple<int, int, int>;
    std::map<Key, std::map<Key, std::tuple<double, double, double, CString>>> expected;
    bool outside = false;
    {
        CDaoStreamContents rs(&db);
        ASSERT_TRUE(rs.OpenOnDatabase(&db));
        for (; !rs.IsEOF(); rs.MoveNext()) {
            auto end = [&](long& id) { return (rs.IsFieldNull(&id) || id == 0) ? -1 : static_cast<int>(id); };
            outside = outside || end(rs.m_FromEquipmentID) < 0 || end(rs.m_ToEquipmentID) < 0;
            expected[{end(rs.m_FromEquipmentID), end(rs.m_ToEquipmentID), 0}]
                    [{static_cast<int>(rs.m_StreamID), static_cast<int>(rs.m_MaterialID),
                      CProcComponent::GetPhaseNum(rs.m_Phase)}] = {
                        rs.m_MassPhaseFraction * rs.m_Mass * rs.m_MassFraction,
                        rs.m_Volume * rs.m_VolumePhaseFraction * rs.m_VolumeFraction,
                        rs.m_MolarPhaseFraction * rs.m_Moles * rs.m_MoleFraction, rs.m_MaterialName};
        }
    }
    ASSERT_TRUE(outside) << "the sample has streams from or to outside the plant";

    CDaoStreamContents rs(&db);
    ASSERT_TRUE(rs.OpenOnDatabase(&db));
    Hash<CTripleIntKey, Hash<CTripleIntKey, CProcComponent>> out;
    CProcComponent::LoadFromDB(rs, out);
    ASSERT_EQ(out.GetCount(), static_cast<int>(expected.size()));
    for (int o = 0; o < out.GetCount(); ++o) {
        const CTripleIntKey& key = out.GetKeyAt(o);
        const auto outer = expected.find({key.first, key.second, key.third});
        ASSERT_NE(outer, expected.end()) << key.first << "," << key.second;
        const Hash<CTripleIntKey, CProcComponent>& inner = out.GetAt(o);
        ASSERT_EQ(inner.GetCount(), static_cast<int>(outer->second.size()));
        for (int i = 0; i < inner.GetCount(); ++i) {
            const CTripleIntKey& ik = inner.GetKeyAt(i);
            const auto e = outer->second.find({ik.first, ik.second, ik.third});
            ASSERT_NE(e, outer->second.end());
            const CProcComponent& c = inner.GetAt(i);
            EXPECT_EQ(std::make_tuple(c.GetMass(), c.GetVolume(), c.GetMoles(), c.GetName()), e->second);
            EXPECT_EQ(c.GetStreamID(), ik.first);
            EXPECT_EQ(c.GetPhaseNum(), ik.third);
        }
    }

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
