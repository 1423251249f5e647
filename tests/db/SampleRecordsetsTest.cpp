// Every recordset on the generated sample run: it opens, yields rows in the
// order its query promises, reads through indexes and leaves the file as it was.

#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "DbFixture.h"
#include "SampleDatabase.h"
#include "db/RecordsetCatalog.h"
#include "db/Sqlite.h"

using namespace batchplant;

// For each recordset, the columns its rows are ordered by (null first) and,
// where the sample tells it directly, the number of rows it must yield. The
// plan SQLite makes for each query reaches inner tables through indexes (a
// catalog of a few rows may be read whole) and needs no sort for the ORDER
// BY; the saved queries look up the rows of one owner and scan nothing.
TEST(SampleRecordsets, EveryRecordsetYieldsOrderedRowsThroughIndexesAndLeavesTheFileAsItWas)
{
    const std::map<std::string, std::pair<std::string, std::string>> promises = {
        {"CDaoEquipConts",
         {"EquipmentID,EndTime", "EquipmentSchedule es JOIN TextRecipe tr ON tr.OperationID = es.OperationID AND "
                                 "tr.StepID = es.StepID JOIN StepSummary ss ON ss.StepID = es.StepID"}},
        {"CDaoEquipmentContents", {"EquipmentID,StartTime", ""}},
        {"CDaoEquipmentProperties", {"EquipmentID,EndTime", "EquipmentContents"}},
        {"CDaoStreamSet",
         {"FromEquipmentID,ToEquipmentID,StreamID",
          "StreamSummary ss JOIN TextRecipe tr ON tr.OperationID = ss.OperationID"}},
        {"CDaoStreamContents", {"StreamID,EndTime", ""}},
        {"CDaoUtilityContents", {"StreamID,EndTime", ""}},
        {"CDaoVaporContents", {"StreamID,EndTime", ""}},
        {"CDaoCompositeStream", {"FromEquipmentID,ToEquipmentID", ""}},
        {"CDaoCompVapor", {"FromEquipmentID,EndTime", ""}}};
    test::TempDir dir;
    const auto copy = test::CopySampleDatabase(dir.file("copy.db"));
    const std::string before = test::ReadFile(copy);
    test::MessageRecorder messages;
    CDaoDatabase db;
    db.Open(CString(copy.string()), false, false);
    const test::Sql sample(copy, true);
    for (const RecordsetCatalogEntry& e : RecordsetCatalog()) {
        const std::string name(e.name);
        SCOPED_TRACE(name);
        std::unique_ptr<CDaoRecordset> rs = e.create();
        const bool lookup = name == "CDaoPhaseComponents" || name == "CDaoThermodynamicPhase";
        bool ok = false;
        if (name == "CDaoPhaseComponents") {
            ok = static_cast<CDaoPhaseComponents&>(*rs).OpenForPhase(
                &db, static_cast<long>(sample.count("SELECT min(PhaseID) FROM PhaseComponents")));
        } else if (name == "CDaoThermodynamicPhase") {
            ok = static_cast<CDaoThermodynamicPhase&>(*rs).OpenForComposite(
                &db, static_cast<long>(sample.count("SELECT max(CompositeContentsID) FROM ThermodynamicPhase")));
        } else {
            ok = detail::OpenRecordsetOnDatabase(*rs, &db, true);
        }
        ASSERT_TRUE(ok) << (messages.count() ? messages.texts().back() : std::string());
        EXPECT_FALSE(rs->IsEOF()) << "no rows on the sample";
        const auto promise = promises.find(name);
        std::vector<int> keys;
        std::stringstream columns(promise == promises.end() ? "" : promise->second.first);
        for (std::string column; std::getline(columns, column, ',');) {
            keys.push_back(test::boundColumn(*rs, column));
            ASSERT_GE(keys.back(), 0) << column;
        }
        long long n = 0;
        for (std::vector<double> previous; !rs->IsEOF(); rs->MoveNext(), ++n) {
            std::vector<double> key;
            for (int i : keys)
                key.push_back(rs->IsFieldNullAt(i) ? -std::numeric_limits<double>::infinity()
                                                   : std::stod(rs->GetFieldText(i).str()));
            EXPECT_FALSE(key < previous) << "row " << n << " comes before the row ahead of it";
            previous = std::move(key);
        }
        EXPECT_EQ(rs->GetRecordCount(), n);
        if (promise != promises.end() && !promise->second.second.empty()) {
            EXPECT_EQ(n, sample.count("SELECT count(*) FROM " + promise->second.second));
        }

        const std::string sql = rs->GetTranslatedSQL();
        int scans = 0;
        sample.each("EXPLAIN QUERY PLAN " + sql, [&](const sqlite::Statement& st) {
            const std::string line = st.text(3);
            EXPECT_TRUE(lookup || line.find("FOR ORDER BY") == std::string::npos) << line;
            if (line.rfind("SCAN ", 0) != 0) return;
            EXPECT_FALSE(lookup) << line;
            if (scans++ == 0) return; // the outer table
            const std::string alias = line.substr(5, line.find(' ', 5) - 5);
            std::smatch m;
            const bool aliased = std::regex_search(
                sql, m, std::regex("\\\"?(\\w+)\\\"?\\s+as\\s+\\\"?" + alias + "\\b", std::regex::icase));
            EXPECT_LT(sample.count("SELECT count(*) FROM " + sqlite::quoteName(aliased ? m[1].str() : alias)), 50)
                << "inner table scanned: " << line;
        });
        EXPECT_TRUE(lookup || scans >= 1);
    }
    EXPECT_EQ(messages.count(), 0u);
    db.Close();
    EXPECT_TRUE(test::ReadFile(copy) == before) << "the file changed";
}
