// Every recordset on the generated sample run: it opens, yields rows in the
// order its query promises, and keeps the promises about which rows come.

#include <gtest/gtest.h>

#include <limits>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "DbFixture.h"
#include "SampleDatabase.h"
#include "db/RecordsetCatalog.h"
#include "db/Sqlite.h"

using namespace batchplant;

namespace {

// The first column of the first row of `sql`, a count.
long long countOf(CDaoDatabase& db, const std::string& sql)
{
    sqlite::Statement st(*db.GetConnection(), sql);
    EXPECT_TRUE(st.step()) << sql;
    return st.integer(0);
}

class SampleRecordsets : public testing::Test {
protected:
    void SetUp() override { db.Open(CString(test::SampleDatabasePath().string()), false, true); }

    // A count straight from SQLite, to compare the recordsets against.
    long long count(const char* sql) { return countOf(db, sql); }

    // Opens a `Set` through its own OpenOnDatabase and walks it with walkOrdered.
    template <typename Set, typename KeyFn> long ordered(KeyFn keyOf, const char* what);

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

// Checks the plan SQLite makes for a recordset's query: inner tables are
// reached through indexes (a catalog of a few rows may be read whole) and the
// ORDER BY needs no sort. The saved queries look up the rows of one owner
// and scan nothing.
void expectIndexedPlan(const std::string& name, const std::string& sql, CDaoDatabase& db)
{
    SCOPED_TRACE(name);
    sqlite::Statement st(*db.GetConnection(), "EXPLAIN QUERY PLAN " + sql);
    std::vector<std::string> plan;
    while (st.step())
        plan.push_back(st.text(3));
    const bool lookup = name == "CDaoPhaseComponents" || name == "CDaoThermodynamicPhase";
    int scans = 0;
    for (const std::string& line : plan) {
        if (!lookup) {
            EXPECT_EQ(line.find("FOR ORDER BY"), std::string::npos) << line;
        }
        if (line.rfind("SCAN ", 0) != 0) continue;
        EXPECT_FALSE(lookup) << line;
        if (scans++ == 0) continue; // the outer table
        const std::string alias = line.substr(5, line.find(' ', 5) - 5);
        std::string table = alias;
        std::smatch m;
        if (std::regex_search(sql, m, std::regex("\\\"?(\\w+)\\\"?\\s+as\\s+\\\"?" + alias + "\\b", std::regex::icase)))
            table = m[1];
        EXPECT_LT(countOf(db, "SELECT count(*) FROM " + sqlite::quoteName(table)), 50)
            << "inner table scanned: " << line;
    }
    EXPECT_TRUE(lookup || scans >= 1);
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
        expectIndexedPlan(name, rs->GetTranslatedSQL(), db);
    }
    EXPECT_EQ(messages.count(), 0u);
}

template <typename Set, typename KeyFn> long SampleRecordsets::ordered(KeyFn keyOf, const char* what)
{
    Set rs;
    EXPECT_TRUE(rs.OpenOnDatabase(&db)) << what;
    return walkOrdered(rs, keyOf, what);
}

TEST_F(SampleRecordsets, RowsComeInTheOrderTheQueriesPromise)
{
    auto byEquipmentThenEnd = [](auto& r) { return std::vector<double>{double(r.m_EquipmentID), r.m_EndTime}; };
    auto byStreamThenEnd = [](auto& r) { return std::vector<double>{double(r.m_StreamID), r.m_EndTime}; };
    auto fromKey = [](auto& r) { return key(r, &r.m_FromEquipmentID, r.m_FromEquipmentID); };
    auto toKey = [](auto& r) { return key(r, &r.m_ToEquipmentID, r.m_ToEquipmentID); };
    EXPECT_EQ(ordered<CDaoEquipConts>(byEquipmentThenEnd, "CDaoEquipConts"),
              count("SELECT count(*) FROM EquipmentSchedule es JOIN TextRecipe tr ON tr.OperationID = es.OperationID "
                    "AND tr.StepID = es.StepID JOIN StepSummary ss ON ss.StepID = es.StepID"));
    EXPECT_GT(ordered<CDaoEquipmentContents>(
                  [](auto& r) {
                      return std::vector<double>{double(r.m_EquipmentID), r.m_StartTime};
                  },
                  "CDaoEquipmentContents"),
              0);
    EXPECT_EQ(ordered<CDaoEquipmentProperties>(byEquipmentThenEnd, "CDaoEquipmentProperties"),
              count("SELECT count(*) FROM EquipmentContents"));
    EXPECT_EQ(ordered<CDaoStreamSet>(
                  [&](auto& r) {
                      return std::vector<double>{fromKey(r), toKey(r), double(r.m_StreamID)};
                  },
                  "CDaoStreamSet"),
              count("SELECT count(*) FROM StreamSummary ss JOIN TextRecipe tr ON tr.OperationID = ss.OperationID"));
    EXPECT_GT(ordered<CDaoStreamContents>(byStreamThenEnd, "CDaoStreamContents"), 0);
    EXPECT_GT(ordered<CDaoUtilityContents>(byStreamThenEnd, "CDaoUtilityContents"), 0);
    EXPECT_GT(ordered<CDaoVaporContents>(byStreamThenEnd, "CDaoVaporContents"), 0);
    EXPECT_GT(ordered<CDaoCompositeStream>(
                  [&](auto& r) {
                      return std::vector<double>{fromKey(r), toKey(r)};
                  },
                  "CDaoCompositeStream"),
              0);
    EXPECT_GT(ordered<CDaoCompVapor>(
                  [&](auto& r) {
                      return std::vector<double>{fromKey(r), r.m_EndTime};
                  },
                  "CDaoCompVapor"),
              0);
}

TEST(SampleDatabaseFile, ReadingAllRecordsetsLeavesTheFileAsItWas)
{
    test::TempDir dir;
    const auto copy = test::CopySampleDatabase(dir.file("copy.db"));
    const std::string before = test::ReadFile(copy);
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
    EXPECT_TRUE(test::ReadFile(copy) == before) << "the file changed";
    EXPECT_EQ(messages.count(), 0u);
}
