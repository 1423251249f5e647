// Every recordset on the generated sample run: it opens, yields rows in the
// order its query promises, and keeps the promises about which rows come.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <limits>
#include <set>
#include <string>
#include <vector>

#include "DbFixture.h"
#include "SampleDatabase.h"
#include "batchplant/db/RecordsetCatalog.h"

using namespace batchplant;

namespace {

class SampleRecordsets : public testing::Test {
protected:
    void SetUp() override { db.Open(CString(test::SampleDatabasePath().string()), false, true); }

    // A count straight from SQLite, to compare the recordsets against.
    long long count(const char* sql)
    {
        sqlite3_stmt* st = nullptr;
        long long n = -1;
        if (sqlite3_prepare_v2(db.GetHandle(), sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
            n = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
        EXPECT_GE(n, 0) << sql;
        return n;
    }

    CDaoDatabase db;
    test::MessageRecorder messages;
};

// A sort key part: null sorts first, as in the queries' ORDER BY.
double key(CDaoRecordset& rs, const void* member, double value)
{
    return rs.IsFieldNull(member) ? -std::numeric_limits<double>::infinity() : value;
}

// Walks the recordset and checks that the key of each row is not below the
// key of the row before; returns the number of rows.
template <typename Set, typename KeyFn> long walkOrdered(Set& rs, KeyFn keyOf, const char* what)
{
    long n = 0;
    std::vector<double> prev;
    for (rs.MoveFirst(); !rs.IsEOF(); rs.MoveNext(), ++n) {
        std::vector<double> k = keyOf(rs);
        if (n > 0 && k < prev) {
            ADD_FAILURE() << what << ": row " << n << " comes before the row ahead of it";
            break;
        }
        prev = std::move(k);
    }
    return n;
}

} // namespace

TEST_F(SampleRecordsets, EveryRecordsetOpensAndYieldsRows)
{
    for (const RecordsetCatalogEntry& e : RecordsetCatalog()) {
        std::unique_ptr<CDaoRecordset> rs = e.create();
        const std::string name(e.name);
        bool ok = false;
        if (name == "CDaoPhaseComponents") {
            ok = static_cast<CDaoPhaseComponents&>(*rs).OpenForPhase(
                &db, static_cast<long>(count("SELECT min(PhaseID) FROM PhaseComponents")));
        } else if (name == "CDaoThermodynamicPhase") {
            CDaoBufferTankContents tank;
            ASSERT_TRUE(tank.OpenOnDatabase(&db));
            ASSERT_FALSE(tank.IsEOF());
            ok = static_cast<CDaoThermodynamicPhase&>(*rs).OpenForComposite(&db, tank.m_CompositeContentsID);
        } else {
            ok = detail::OpenRecordsetOnDatabase(*rs, &db, true);
        }
        ASSERT_TRUE(ok) << name << ": " << (messages.count() ? messages.texts().back() : std::string());
        EXPECT_FALSE(rs->IsEOF()) << name << " yields no rows on the sample";
        long n = 0;
        while (!rs->IsEOF()) {
            rs->MoveNext();
            ++n;
        }
        EXPECT_EQ(rs->GetRecordCount(), n) << name;
    }
    EXPECT_EQ(messages.count(), 0u);
}

TEST_F(SampleRecordsets, RowsComeInTheOrderTheQueriesPromise)
{
    CDaoEquipConts conts;
    ASSERT_TRUE(conts.OpenOnDatabase(&db));
    EXPECT_EQ(walkOrdered(
                  conts,
                  [](CDaoEquipConts& r) {
                      return std::vector<double>{double(r.m_EquipmentID), r.m_EndTime};
                  },
                  "CDaoEquipConts"),
              count("SELECT count(*) FROM EquipmentSchedule es JOIN TextRecipe tr ON tr.OperationID = es.OperationID "
                    "AND tr.StepID = es.StepID JOIN StepSummary ss ON ss.StepID = es.StepID"));

    CDaoEquipmentContents contents;
    ASSERT_TRUE(contents.OpenOnDatabase(&db));
    EXPECT_GT(walkOrdered(
                  contents,
                  [](CDaoEquipmentContents& r) {
                      return std::vector<double>{double(r.m_EquipmentID), r.m_StartTime};
                  },
                  "CDaoEquipmentContents"),
              0);

    CDaoEquipmentProperties props;
    ASSERT_TRUE(props.OpenOnDatabase(&db));
    EXPECT_EQ(walkOrdered(
                  props,
                  [](CDaoEquipmentProperties& r) {
                      return std::vector<double>{double(r.m_EquipmentID), r.m_EndTime};
                  },
                  "CDaoEquipmentProperties"),
              count("SELECT count(*) FROM EquipmentContents"));

    CDaoStreamSet streams;
    ASSERT_TRUE(streams.OpenOnDatabase(&db));
    EXPECT_EQ(walkOrdered(
                  streams,
                  [](CDaoStreamSet& r) {
                      return std::vector<double>{key(r, &r.m_FromEquipmentID, r.m_FromEquipmentID),
                                                 key(r, &r.m_ToEquipmentID, r.m_ToEquipmentID), double(r.m_StreamID)};
                  },
                  "CDaoStreamSet"),
              count("SELECT count(*) FROM StreamSummary ss JOIN TextRecipe tr ON tr.OperationID = ss.OperationID"));

    auto byStreamThenEnd = [](CDaoBaseContents& r) { return std::vector<double>{double(r.m_StreamID), r.m_EndTime}; };
    CDaoStreamContents sc;
    CDaoUtilityContents uc;
    CDaoVaporContents vc;
    for (CDaoBaseContents* rs : std::initializer_list<CDaoBaseContents*>{&sc, &uc, &vc}) {
        ASSERT_TRUE(rs->OpenOnDatabase(&db));
        EXPECT_GT(walkOrdered(*rs, byStreamThenEnd, "contents"), 0);
    }

    CDaoCompositeStream cs;
    ASSERT_TRUE(cs.OpenOnDatabase(&db));
    EXPECT_GT(walkOrdered(
                  cs,
                  [](CDaoCompositeStream& r) {
                      return std::vector<double>{key(r, &r.m_FromEquipmentID, r.m_FromEquipmentID),
                                                 key(r, &r.m_ToEquipmentID, r.m_ToEquipmentID)};
                  },
                  "CDaoCompositeStream"),
              0);

    CDaoCompVapor cv;
    ASSERT_TRUE(cv.OpenOnDatabase(&db));
    EXPECT_GT(walkOrdered(
                  cv,
                  [](CDaoCompVapor& r) {
                      return std::vector<double>{key(r, &r.m_FromEquipmentID, r.m_FromEquipmentID), r.m_EndTime};
                  },
                  "CDaoCompVapor"),
              0);
}

TEST_F(SampleRecordsets, TheSamplesEdgeCasesComeThroughAsThePartsSay)
{
    // Continuous equipment never appears among the equipment contents.
    std::set<long> continuous;
    CDaoEquipmentSet eq;
    ASSERT_TRUE(eq.OpenOnDatabase(&db));
    for (; !eq.IsEOF(); eq.MoveNext())
        if (eq.m_EquipmentType.CompareNoCase(CString("Continuous")) == 0) continuous.insert(eq.m_EquipmentID);
    ASSERT_FALSE(continuous.empty());
    CDaoEquipmentContents ec;
    ASSERT_TRUE(ec.OpenOnDatabase(&db));
    for (; !ec.IsEOF(); ec.MoveNext())
        ASSERT_EQ(continuous.count(ec.m_EquipmentID), 0u) << ec.m_EquipmentID;

    // Vapor rows come with a positive mass only, yet the sample has emissions of mass 0.
    ASSERT_GT(count("SELECT count(*) FROM AirEmissionSummary WHERE Mass <= 0"), 0);
    CDaoVaporSummary vs;
    ASSERT_TRUE(vs.OpenOnDatabase(&db));
    long vapor = 0;
    for (; !vs.IsEOF(); vs.MoveNext(), ++vapor)
        EXPECT_GT(vs.m_Mass, 0.0);
    EXPECT_EQ(vapor, count("SELECT count(*) FROM AirEmissionSummary aes JOIN TextRecipe tr ON tr.OperationID = "
                           "aes.OperationID WHERE aes.Mass > 0"));

    // Every stream yields contents rows, with or without phases.
    std::set<long> streamIds;
    CDaoStreamContents sc;
    ASSERT_TRUE(sc.OpenOnDatabase(&db));
    for (; !sc.IsEOF(); sc.MoveNext())
        streamIds.insert(sc.m_StreamID);
    EXPECT_EQ(static_cast<long long>(streamIds.size()), count("SELECT count(*) FROM StreamSummary"));

    // Utility contents always come from equipment 0.
    CDaoUtilityContents uc;
    ASSERT_TRUE(uc.OpenOnDatabase(&db));
    for (; !uc.IsEOF(); uc.MoveNext()) {
        ASSERT_FALSE(uc.IsFieldNull(&uc.m_FromEquipmentID));
        ASSERT_EQ(uc.m_FromEquipmentID, 0);
    }

    // Composite streams touch an inventory location or the outside.
    CDaoCompositeStream cs;
    ASSERT_TRUE(cs.OpenOnDatabase(&db));
    for (; !cs.IsEOF(); cs.MoveNext()) {
        const bool inventory = cs.m_FromType.Find(CString("Inventory Location")) == 0 ||
                               cs.m_ToType.Find(CString("Inventory Location")) == 0;
        ASSERT_TRUE(inventory || cs.IsFieldNull(&cs.m_FromEquipmentID) || cs.IsFieldNull(&cs.m_ToEquipmentID))
            << cs.m_FromType.str() << " -> " << cs.m_ToType.str();
    }

    // A step without a start time reports it as null.
    CDaoStepSummary steps;
    ASSERT_TRUE(steps.OpenOnDatabase(&db));
    long nullStarts = 0;
    for (; !steps.IsEOF(); steps.MoveNext())
        nullStarts += steps.IsFieldNull(&steps.m_StartDateTime);
    EXPECT_EQ(nullStarts, count("SELECT count(*) FROM StepSummary WHERE StartDateTime IS NULL"));

    // Labor rows of a grade without category carry a null grade name.
    CDaoCompositeLabor labor;
    ASSERT_TRUE(labor.OpenOnDatabase(&db));
    long ungraded = 0;
    for (; !labor.IsEOF(); labor.MoveNext())
        if (labor.IsFieldNull(&labor.m_LaborGrade)) ++ungraded;
    EXPECT_EQ(ungraded, count("SELECT count(*) FROM LaborSummary ls LEFT JOIN LaborCategory lc ON lc.LaborGradeID = "
                              "ls.LaborGradeID WHERE lc.LaborGradeID IS NULL"));
}

TEST(SampleDatabaseFile, ReadingAllRecordsetsLeavesTheFileAsItWas)
{
    test::TempDir dir;
    const auto copy = test::CopySampleDatabase(dir.file("copy.db"));
    const auto before = test::fileChecksum(copy);
    test::MessageRecorder messages;
    for (bool readOnly : {true, false}) {
        CDaoDatabase db;
        db.Open(CString(copy.string()), false, readOnly);
        EXPECT_EQ(db.CanUpdate(), !readOnly);
        for (const RecordsetCatalogEntry& e : RecordsetCatalog()) {
            std::unique_ptr<CDaoRecordset> rs = e.create();
            ASSERT_TRUE(detail::OpenRecordsetOnDatabase(*rs, &db, true)) << e.name;
            while (!rs->IsEOF())
                rs->MoveNext();
        }
    }
    EXPECT_EQ(test::fileChecksum(copy), before);
    EXPECT_EQ(messages.count(), 0u);
}
