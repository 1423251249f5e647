// The query recordsets on a small results database built for their edge
// cases (the rows each yields and in what order, and how OpenOnDatabase
// behaves) and on the generated sample run (they open, yield rows in the
// order their queries promise, read through indexes and leave the file as it
// was).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "DbFixture.h"
#include "SampleDatabase.h"
#include "db/RecordsetCatalog.h"
#include "db/Sqlite.h"

using namespace batchplant;
using batchplant::test::ResultsDb;
using Rows = std::vector<std::string>;

namespace {

class RecordsetsOnFixture : public testing::Test {
protected:
    void SetUp() override
    {
        test::fillResultsFixture(f);
        f.finish();
        db.Open(CString(f.path()), false, true);
    }
    ResultsDb f;
    CDaoDatabase db;
    test::MessageRecorder messages;
};

} // namespace

// Every recordset on the fixture and the rows it yields. The first entry
// names the recordset, the parameter it is opened with (name=value) if any,
// and the columns shown; the rows come in the order of the columns before
// '/' (rows that tie on them in any order), and all in order when there is
// no '/'. Entries of one recordset in a row open it again on the same database.
TEST_F(RecordsetsOnFixture, EveryRecordsetYieldsItsRowsInOrder)
{
    const Rows cases[] = {
        // Without an ORDER BY, by the first table's key; equipment without a plant still comes.
        {"CDaoEquipmentSet EquipmentID/Class,PlantID,PlantName,CalendarID,MaxFillFactor,Capacity,CapacityUOM",
         "10|Reactor|1|Plant A|5|0.8|2000|liter", "11|Buffer Tank|1|Plant A|~|0.9|500|gal",
         "12|Inventory Location|2|Plant B|~|1|~|~", "13|Condenser|2|Plant B|~|1|10|Cubic m",
         "14|Inventory Location - Vapor|2|Plant B|~|1|~|~", "15|Reactor|~|~|~|1|100|liter"},
        {"CDaoPlanSummary RequirementID/PlanID,PlanName,StartDateTime,StepID,NumberOfBatches",
         "1|1|Campaign 1|2024-01-15T08:00:00|7|3", "2|1|Campaign 1|2024-01-15T08:00:00|8|2"},
        // The step whose plant is not in FacilitySummary is not delivered (inner join).
        {"CDaoStepSummary "
         "StepID/StepName,KeyOutputName,StepVersionName,PlantName,SimulationDateTime,StartDateTime,AverageBatchTime",
         "7|Reaction|Product P|A|Plant A|2024-01-10T12:00:00|~|5.5", "8|Workup|~|~|Plant B|~|2024-01-15T08:00:00|2"},
        // A schedule row without contents still comes, its contents columns null.
        {"CDaoEquipConts "
         "EquipmentID,EndTime/"
         "BatchNumber,OperationID,OpName,OpType,OpSeqNum,ProcSeqNum,StepName,UnitProcedureName,Volume,VolumeUOM,"
         "Temperature,RecipeText",
         "10|1|1|1001|Charge|Charge|1|1|Reaction|P-1|1000|liter|25|Charge water",
         "10|3|1|1002|React|React|2|1|Reaction|P-1|1200|liter|80|React for 2 h",
         "10|5|2|1001|Charge|Charge|1|1|Reaction|P-1|900|liter|20|Charge water",
         "11|2|1|1003|Transfer|Transfer|1|2|Workup|~|~|~|~|Transfer out",
         "13|3|1|1002|React|React|2|1|Reaction|P-1|5|liter|30|React for 2 h"},
        // Continuous equipment is left out; contents without phases and an operation without contents come.
        {"CDaoEquipmentContents "
         "EquipmentID,StartTime/"
         "BatchNumber,OperationID,Phase,MaterialID,MaterialName,MassFraction,Mass,Volume,EquipmentName,Capacity,"
         "MaxFillFactor",
         "10|0|1|1001|Liquid|100|Water|0.7|990|1000|R-101|2000|0.8",
         "10|0|1|1001|Liquid|101|Ethanol|0.3|990|1000|R-101|2000|0.8",
         "10|1|1|1002|Liquid|102|Product P|1|1150|1200|R-101|2000|0.8", "10|4|2|1001|~|~|~|~|880|900|R-101|2000|0.8",
         "11|0.5|1|1003|~|~|~|~|~|~|T-201|500|0.9"},
        // One per contents record.
        {"CDaoEquipmentProperties "
         "EquipmentID,EndTime/"
         "EquipmentName,StartTime,StartTimeUOM,EndTimeUOM,Temperature,AverageMolecularWeight,AverageDensityUOM",
         "10|60|R-101|0|h|min|25|18|kg/m3", "10|180|R-101|1|h|min|80|115|kg/m3", "10|300|R-101|4|h|min|20|18|kg/m3",
         "13|180|C-1|1|h|min|30|46|kg/m3"},
        {"CDaoPhaseComponents pid=1 PhaseID,ComponentID,MassFraction", "1|100|0.7", "1|101|0.3"},
        {"CDaoPhaseComponents pid=999 PhaseID"},
        {"CDaoThermodynamicPhase CompositeID=6002 PhaseID,CompositeContentsID,Phase,MassPhaseFraction",
         "41|6002|Liquid|0.75", "42|6002|Solid|0.25"},
        // By their ends, null first; 2006 has no recipe row and is not delivered (inner join).
        {"CDaoStreamSet "
         "FromEquipmentID,ToEquipmentID,StreamID/"
         "OpName,OpType,PrimaryMaterial,StreamCategoryID,RecipeText,EndTime,EndTimeUOM",
         "~|11|2004|Charge|Charge|Ethanol|2|Charge water|20|min",
         "10|~|2005|Transfer|Transfer|Product P|3|Transfer out|180|min",
         "10|11|2001|Transfer|Transfer|Product P|1|Transfer out|150|min",
         "10|11|2002|Transfer|Transfer|Water|-5|Transfer out|160|min",
         "12|10|2003|Charge|Charge|Water|2|Charge water|30|min"},
        {"CDaoUtilitySummary "
         "StreamID/"
         "UtilityName,PrimaryMaterial,ToEquipmentID,TemperatureUOM,OutletTemperature,PressureUOM,HeatDuty,OpType",
         "3001|Steam|Steam|10|C|120|bar|22000|React", "3002|Cooling Water|Cooling Water|~|C|25|bar|-2000|React"},
        // The emission of mass 0 is not delivered.
        {"CDaoVaporSummary StreamID/FromEquipmentID,ToEquipmentID,Mass,OpType", "4001|10|~|5|React",
         "4003|13|14|2|React", "4004|~|13|1|Vent"},
        // Streams without phases come; the heat duty unit is the empty text, not null.
        {"CDaoStreamContents "
         "StreamID/"
         "FromEquipmentID,ToEquipmentID,Phase,MaterialID,MaterialName,MassFraction,Mass,TimeUOM,HeatDuty,HeatDutyUOM",
         "2001|10|11|Liquid|100|Water|0.5|1150|min|0|", "2001|10|11|Liquid|101|Ethanol|0.5|1150|min|0|",
         "2002|10|11|~|~|~|~|100|min|0|", "2003|12|10|Liquid|100|Water|1|1000|min|0|",
         "2004|~|11|Liquid|101|Ethanol|1|40|min|0|", "2005|10|~|Solid|102|Product P|1|200|min|0|",
         "2006|10|11|~|~|~|~|1|min|0|"},
        // Utilities always come from equipment 0.
        {"CDaoUtilityContents "
         "StreamID/FromEquipmentID,ToEquipmentID,MaterialID,MaterialName,Phase,HeatDuty,HeatDutyUOM",
         "3001|0|10|100|Steam|Vapor|22000|KJ", "3002|0|~|~|Cooling Water|~|-2000|KJ", "3003|0|10|~|Nitrogen|~|0|KJ"},
        // Emissions without mass are left out.
        {"CDaoVaporContents StreamID/FromEquipmentID,ToEquipmentID,MaterialID,Mass", "4001|10|~|101|5",
         "4003|13|14|101|2", "4004|~|13|100|1"},
        {"CDaoBufferTankContents CompositeContentsID/EquipmentID,Time,TimeUOM,Mass,Volume,VolumeUOM",
         "6001|11|1|h|400|0.45|Cubic m", "6002|11|2|h|800|0.9|Cubic m"},
        // Composite streams touch inventory or the outside: 2001 runs between two
        // process vessels and 2002 has no phases, so neither comes.
        {"CDaoCompositeStream "
         "FromEquipmentID,ToEquipmentID/FromEqName,FromType,ToEqName,ToType,MaterialName,Phase,StreamCategoryID",
         "~|11|~|~|T-201|Buffer Tank|Ethanol|Liquid|2", "10|~|R-101|Reactor|~|~|Product P|Solid|3",
         "12|10|INV-1|Inventory Location|R-101|Reactor|Water|Liquid|2"},
        // Composite vapour leaves out emissions after the condenser.
        {"CDaoCompVapor FromEquipmentID,EndTime/FromEqName,FromType,MaterialName,TimeUOM", "~|190|~|~|Water|min",
         "10|90|R-101|Reactor|Ethanol|min", "10|180|R-101|Reactor|Ethanol|min"},
        {"CDaoCompositeLabor OperationID/LaborGradeID,LaborGrade,NumberOfOperators,TimeUOM", "1001|1|Operator|1.5|h",
         "1002|0|~|2.7|h", "1003|2|Supervisor|0.5|h"},
        // Only the utility with phase records; UtilityID is the phase component.
        {"DaoUtilityComposite UtilityID/UtilityName,EquipmentID,EquipmentName,HeatDuty,TimeUOM",
         "100|Steam|10|R-101|22000|s"},
    };
    std::map<std::string, std::unique_ptr<CDaoRecordset>> sets;
    for (const Rows& c : cases) {
        SCOPED_TRACE(c[0]);
        std::stringstream header(c[0]);
        std::string name, columns, param;
        header >> name >> columns;
        if (header >> param) std::swap(columns, param);
        std::unique_ptr<CDaoRecordset>& rs = sets[name];
        if (!rs) rs = CreateRecordset(CString(name).MakeUpper()); // names are found without regard to case
        ASSERT_NE(rs, nullptr);
        if (!param.empty())
            rs->SetParamValue(CString(param.substr(0, param.find('='))), CString(param.substr(param.find('=') + 1)));
        ASSERT_TRUE(detail::OpenRecordsetOnDatabase(*rs, &db, true))
            << (messages.count() ? messages.texts().back() : std::string());
        const std::size_t slash = columns.find('/');
        const std::size_t keys =
            slash == std::string::npos ? SIZE_MAX : std::count(columns.begin(), columns.begin() + slash, ',') + 1;
        if (slash != std::string::npos) columns[slash] = ',';
        const Rows got = test::boundRows(*rs, columns), want(c.begin() + 1, c.end());
        // The ordering columns of each row.
        const auto keysOf = [&](const Rows& rows) {
            Rows out;
            for (const std::string& r : rows) {
                std::size_t end = 0;
                for (std::size_t k = 0; k < keys && end != std::string::npos; ++k)
                    end = r.find('|', end + (k ? 1 : 0));
                out.push_back(r.substr(0, end));
            }
            return out;
        };
        EXPECT_EQ(keysOf(got), keysOf(want));
        EXPECT_EQ(std::multiset<std::string>(got.begin(), got.end()),
                  std::multiset<std::string>(want.begin(), want.end()));
    }
    EXPECT_EQ(sets.size(), RecordsetCatalog().size()) << "every recordset has its case";
    EXPECT_EQ(CreateRecordset(CString("CDaoNoSuchSet")), nullptr);
    EXPECT_EQ(messages.count(), 0u);
}

TEST_F(RecordsetsOnFixture, OpenOnDatabaseStartsOverClosesOrReopensElsewhere)
{
    CDaoEquipConts rs;
    CDaoDatabase closed;
    EXPECT_FALSE(rs.OpenOnDatabase(nullptr) || rs.OpenOnDatabase(&closed));
    ASSERT_TRUE(rs.OpenOnDatabase(&db));
    while (!rs.IsEOF())
        rs.MoveNext();
    ASSERT_TRUE(rs.OpenOnDatabase(&db));
    EXPECT_EQ(rs.m_EquipmentID, 10);
    EXPECT_DOUBLE_EQ(rs.m_EndTime, 1.0);
    // Open on one database, then asked for a closed one: closed, false.
    EXPECT_FALSE(rs.OpenOnDatabase(&closed));
    EXPECT_FALSE(rs.IsOpen());
    rs.CloseIfOpen();

    ResultsDb other;
    other.AddPlant(9, "Plant Z");
    other.AddEquipment(99, "Z-1", "Reactor", 9);
    other.finish();
    CDaoDatabase db2;
    db2.Open(CString(other.path()), false, true);
    CDaoEquipmentSet eq;
    ASSERT_TRUE(eq.OpenOnDatabase(&db));
    ASSERT_TRUE(eq.OpenOnDatabase(&db2));
    EXPECT_EQ(eq.m_pDatabase, &db2);
    EXPECT_EQ(test::boundRows(eq, "EquipmentID,PlantName"), (Rows{"99|Plant Z"}));
    EXPECT_EQ(messages.count(), 0u);
}

// A database error is shown in a message box and gives false; the step query's is not shown.
TEST_F(RecordsetsOnFixture, ADatabaseErrorIsShownAndGivesFalse)
{
    ResultsDb bare{ResultsDb::Tables::None}, text;
    bare.exec("CREATE TABLE unrelated(x)");
    text.exec(
        "INSERT INTO EquipmentSummary (EquipmentID, QLTag, Category, Capacity) VALUES (1, 'A', 'Reactor', 'big')");
    bare.finish();
    text.finish();
    CDaoDatabase empty, bad;
    empty.Open(CString(bare.path()), false, true);
    bad.Open(CString(text.path()), false, true);
    CDaoEquipmentSet eq;
    CDaoPhaseComponents pc;
    CDaoBufferTankContents tank;
    CDaoStepSummary steps;
    const std::pair<std::function<bool()>, const char*> cases[] = {
        {[&] { return eq.OpenOnDatabase(&empty); }, "no such table: EquipmentSummary"},
        {[&] { return pc.OpenForPhase(&empty, 1); }, "QryPhaseComponents"},
        {[&] { return tank.OpenOnDatabase(&empty); }, "CompositeContents"},
        {[&] { return eq.OpenOnDatabase(&bad); }, "[Capacity]|'big'"},
        {[&] { return steps.OpenOnDatabase(&empty); }, ""}};
    for (const auto& [open, shown] : cases) {
        messages.clear();
        EXPECT_FALSE(open()) << shown;
        ASSERT_EQ(messages.count(), *shown ? 1u : 0u) << shown;
        if (*shown) {
            EXPECT_EQ(messages.types()[0], static_cast<unsigned>(MB_OK));
            EXPECT_TRUE(test::mentions(messages.texts()[0], shown));
        }
    }
    EXPECT_FALSE(eq.IsOpen());
    EXPECT_TRUE(steps.OpenOnDatabase(&db));
}

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
