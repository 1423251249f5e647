// The query recordsets on a small results database built for their edge
// cases: the rows each yields and in what order, and how OpenOnDatabase
// behaves.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "DbFixture.h"
#include "db/RecordsetCatalog.h"

using namespace batchplant;
using batchplant::test::ResultsDb;
using Rows = std::vector<std::string>;

namespace {

// Walks the recordset from its first row; each row is the named columns'
// texts joined by '|', a null column written as "~".
Rows rows(CDaoRecordset& rs, const std::string& columns)
{
    std::vector<int> idx;
    std::stringstream names(columns);
    for (std::string n; std::getline(names, n, ',');) {
        idx.push_back(-1);
        for (int i = 0; i < rs.GetBoundFieldCount(); ++i) {
            CDaoFieldInfo info;
            rs.GetFieldInfo(i, info);
            if (info.m_strName.str() == n) idx.back() = i;
        }
        EXPECT_GE(idx.back(), 0) << "no bound column " << n;
    }
    Rows out;
    for (rs.MoveFirst(); !rs.IsEOF(); rs.MoveNext()) {
        std::string row;
        for (std::size_t k = 0; k < idx.size(); ++k)
            row += (k ? "|" : "") + (rs.IsFieldNullAt(idx[k]) ? std::string("~") : rs.GetFieldText(idx[k]).str());
        out.push_back(row);
    }
    return out;
}

// The first `keys` columns of each row.
Rows keysOf(const Rows& rows, int keys)
{
    Rows out;
    for (const std::string& r : rows) {
        std::size_t end = 0;
        for (int k = 0; k < keys && end != std::string::npos; ++k)
            end = r.find('|', end + (k ? 1 : 0));
        out.push_back(r.substr(0, end));
    }
    return out;
}

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

// Every recordset on the fixture: the rows it yields (compared as a set), and
// their order by the first `keys` columns. Rows of one recordset in a row
// open it again on the same database, with the parameter given (name=value).
TEST_F(RecordsetsOnFixture, EveryRecordsetYieldsItsRowsInOrder)
{
    struct Case {
        const char* set;
        const char* param;
        int keys;
        const char* columns;
        Rows rows;
    };
    const Case cases[] = {
        {"CDaoEquipmentSet",
         "",
         0,
         "EquipmentID,Class,PlantID,PlantName,CalendarID,MaxFillFactor,Capacity,CapacityUOM",
         {"10|Reactor|1|Plant A|5|0.8|2000|liter", "11|Buffer Tank|1|Plant A|~|0.9|500|gal",
          "12|Inventory Location|2|Plant B|~|1|~|~", "13|Condenser|2|Plant B|~|1|10|Cubic m",
          "14|Inventory Location - Vapor|2|Plant B|~|1|~|~", "15|Reactor|~|~|~|1|100|liter"}},
        {"CDaoPlanSummary",
         "",
         0,
         "PlanID,PlanName,StartDateTime,RequirementID,StepID,NumberOfBatches",
         {"1|Campaign 1|2024-01-15T08:00:00|1|7|3", "1|Campaign 1|2024-01-15T08:00:00|2|8|2"}},
        // The step whose plant is not in FacilitySummary is not delivered (inner join).
        {"CDaoStepSummary",
         "",
         0,
         "StepID,StepName,KeyOutputName,StepVersionName,PlantName,SimulationDateTime,StartDateTime,AverageBatchTime,"
         "AverageStepYield",
         {"7|Reaction|Product P|A|Plant A|2024-01-10T12:00:00|~|5.5|0.92",
          "8|Workup|~|~|Plant B|~|2024-01-15T08:00:00|2|1"}},
        // A schedule row without contents still comes, its contents columns null.
        {"CDaoEquipConts",
         "",
         2,
         "EquipmentID,EndTime,BatchNumber,OperationID,OpName,OpType,OpSeqNum,ProcSeqNum,StepName,UnitProcedureName,"
         "Volume,VolumeUOM,Temperature,TemperatureUOM,RecipeText",
         {"10|1|1|1001|Charge|Charge|1|1|Reaction|P-1|1000|liter|25|C|Charge water",
          "10|3|1|1002|React|React|2|1|Reaction|P-1|1200|liter|80|C|React for 2 h",
          "10|5|2|1001|Charge|Charge|1|1|Reaction|P-1|900|liter|20|C|Charge water",
          "11|2|1|1003|Transfer|Transfer|1|2|Workup|~|~|~|~|~|Transfer out",
          "13|3|1|1002|React|React|2|1|Reaction|P-1|5|liter|30|C|React for 2 h"}},
        // Continuous equipment is left out; contents without phases and an operation without contents come.
        {"CDaoEquipmentContents",
         "",
         2,
         "EquipmentID,StartTime,BatchNumber,OperationID,Phase,MaterialID,MaterialName,MassFraction,Mass,EquipmentName,"
         "Capacity,MaxFillFactor",
         {"10|0|1|1001|Liquid|100|Water|0.7|1000|R-101|2000|0.8",
          "10|0|1|1001|Liquid|101|Ethanol|0.3|1000|R-101|2000|0.8",
          "10|1|1|1002|Liquid|102|Product P|1|1150|R-101|2000|0.8", "10|4|2|1001|~|~|~|~|900|R-101|2000|0.8",
          "11|0.5|1|1003|~|~|~|~|~|T-201|500|0.9"}},
        // One per contents record.
        {"CDaoEquipmentProperties",
         "",
         2,
         "EquipmentID,EndTime,EquipmentName,StartTime,StartTimeUOM,EndTimeUOM,Temperature,AverageMolecularWeight,"
         "AverageDensityUOM",
         {"10|60|R-101|0|h|min|25|18|kg/m3", "10|180|R-101|1|h|min|80|115|kg/m3", "10|300|R-101|4|h|min|20|18|kg/m3",
          "13|180|C-1|1|h|min|30|46|kg/m3"}},
        {"CDaoPhaseComponents", "pid=1", 99, "PhaseID,ComponentID,MassFraction", {"1|100|0.7", "1|101|0.3"}},
        {"CDaoPhaseComponents", "pid=10", 99, "PhaseID,ComponentID", {"10|100", "10|101"}},
        {"CDaoPhaseComponents", "pid=999", 0, "PhaseID", {}},
        {"CDaoThermodynamicPhase",
         "CompositeID=6002",
         99,
         "PhaseID,CompositeContentsID,Phase,MassPhaseFraction",
         {"41|6002|Liquid|0.75", "42|6002|Solid|0.25"}},
        {"CDaoThermodynamicPhase", "CompositeID=6001", 99, "PhaseID", {"40"}},
        // By their ends, null first; 2006 has no recipe row and is not delivered (inner join).
        {"CDaoStreamSet",
         "",
         3,
         "FromEquipmentID,ToEquipmentID,StreamID,OpName,OpType,PrimaryMaterial,StreamCategoryID,RecipeText,EndTime,"
         "EndTimeUOM",
         {"~|11|2004|Charge|Charge|Ethanol|2|Charge water|20|min",
          "10|~|2005|Transfer|Transfer|Product P|3|Transfer out|180|min",
          "10|11|2001|Transfer|Transfer|Product P|1|Transfer out|150|min",
          "10|11|2002|Transfer|Transfer|Water|-5|Transfer out|160|min",
          "12|10|2003|Charge|Charge|Water|2|Charge water|30|min"}},
        {"CDaoUtilitySummary",
         "",
         0,
         "StreamID,UtilityName,PrimaryMaterial,ToEquipmentID,TemperatureUOM,OutletTemperature,PressureUOM,HeatDuty,"
         "OpType",
         {"3001|Steam|Steam|10|C|120|bar|22000|React", "3002|Cooling Water|Cooling Water|~|C|25|bar|-2000|React"}},
        // The emission of mass 0 is not delivered.
        {"CDaoVaporSummary",
         "",
         0,
         "StreamID,FromEquipmentID,ToEquipmentID,Mass,OpType",
         {"4001|10|~|5|React", "4003|13|14|2|React", "4004|~|13|1|Vent"}},
        // Streams without phases come; the heat duty unit is the empty text, not null.
        {"CDaoStreamContents",
         "",
         1,
         "StreamID,FromEquipmentID,ToEquipmentID,Phase,MaterialID,MaterialName,MassFraction,Mass,TimeUOM,HeatDuty,"
         "HeatDutyUOM",
         {"2001|10|11|Liquid|100|Water|0.5|1150|min|0|", "2001|10|11|Liquid|101|Ethanol|0.5|1150|min|0|",
          "2002|10|11|~|~|~|~|100|min|0|", "2003|12|10|Liquid|100|Water|1|1000|min|0|",
          "2004|~|11|Liquid|101|Ethanol|1|40|min|0|", "2005|10|~|Solid|102|Product P|1|200|min|0|",
          "2006|10|11|~|~|~|~|1|min|0|"}},
        // Utilities always come from equipment 0.
        {"CDaoUtilityContents",
         "",
         1,
         "StreamID,FromEquipmentID,ToEquipmentID,MaterialID,MaterialName,Phase,HeatDuty,HeatDutyUOM",
         {"3001|0|10|100|Steam|Vapor|22000|KJ", "3002|0|~|~|Cooling Water|~|-2000|KJ", "3003|0|10|~|Nitrogen|~|0|KJ"}},
        // Emissions without mass are left out.
        {"CDaoVaporContents",
         "",
         1,
         "StreamID,FromEquipmentID,ToEquipmentID,MaterialID,Mass",
         {"4001|10|~|101|5", "4003|13|14|101|2", "4004|~|13|100|1"}},
        {"CDaoBufferTankContents",
         "",
         0,
         "CompositeContentsID,EquipmentID,Time,TimeUOM,Mass,MassUOM,Moles,Volume,VolumeUOM",
         {"6001|11|1|h|400|kg|15|0.45|Cubic m", "6002|11|2|h|800|kg|30|0.9|Cubic m"}},
        // Composite streams touch inventory or the outside: 2001 runs between two
        // process vessels and 2002 has no phases, so neither comes.
        {"CDaoCompositeStream",
         "",
         2,
         "FromEquipmentID,ToEquipmentID,FromEqName,FromType,ToEqName,ToType,MaterialName,Phase,StreamCategoryID",
         {"~|11|~|~|T-201|Buffer Tank|Ethanol|Liquid|2", "10|~|R-101|Reactor|~|~|Product P|Solid|3",
          "12|10|INV-1|Inventory Location|R-101|Reactor|Water|Liquid|2"}},
        // Composite vapour leaves out emissions after the condenser.
        {"CDaoCompVapor",
         "",
         2,
         "FromEquipmentID,EndTime,FromEqName,FromType,MaterialName,TimeUOM",
         {"~|190|~|~|Water|min", "10|90|R-101|Reactor|Ethanol|min", "10|180|R-101|Reactor|Ethanol|min"}},
        {"CDaoCompositeLabor",
         "",
         0,
         "LaborGradeID,LaborGrade,NumberOfOperators,OperationID,TimeUOM",
         {"1|Operator|1.5|1001|h", "0|~|2.7|1002|h", "2|Supervisor|0.5|1003|h"}},
        // Only the utility with phase records; UtilityID is the phase component.
        {"DaoUtilityComposite",
         "",
         0,
         "UtilityID,UtilityName,EquipmentID,EquipmentName,HeatDuty,TimeUOM",
         {"100|Steam|10|R-101|22000|s"}},
    };
    std::map<std::string, std::unique_ptr<CDaoRecordset>> sets;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.set) + " " + c.param);
        std::unique_ptr<CDaoRecordset>& rs = sets[c.set];
        if (!rs) rs = CreateRecordset(CString(c.set).MakeUpper()); // names are found without regard to case
        ASSERT_NE(rs, nullptr);
        if (const std::string p = c.param; !p.empty())
            rs->SetParamValue(CString(p.substr(0, p.find('='))), CString(p.substr(p.find('=') + 1)));
        ASSERT_TRUE(detail::OpenRecordsetOnDatabase(*rs, &db, true))
            << (messages.count() ? messages.texts().back() : std::string());
        const Rows got = rows(*rs, c.columns);
        EXPECT_EQ(keysOf(got, c.keys), keysOf(c.rows, c.keys));
        EXPECT_EQ(std::multiset<std::string>(got.begin(), got.end()),
                  std::multiset<std::string>(c.rows.begin(), c.rows.end()));
    }
    EXPECT_EQ(sets.size(), RecordsetCatalog().size()) << "every recordset has its case";
    EXPECT_EQ(CreateRecordset(CString("CDaoNoSuchSet")), nullptr);
    EXPECT_EQ(messages.count(), 0u);
}

TEST_F(RecordsetsOnFixture, OpenOnDatabaseStartsOverClosesOrReopensElsewhere)
{
    CDaoEquipConts rs;
    EXPECT_FALSE(rs.OpenOnDatabase(nullptr));
    CDaoDatabase closed;
    EXPECT_FALSE(rs.OpenOnDatabase(&closed));
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
    other.exec(
        "INSERT INTO FacilitySummary VALUES (9, 'Plant Z');"
        "INSERT INTO EquipmentSummary (EquipmentID, QLTag, Category, PlantID) VALUES (99, 'Z-1', 'Reactor', 9);");
    other.finish();
    CDaoDatabase db2;
    db2.Open(CString(other.path()), false, true);
    CDaoEquipmentSet eq;
    ASSERT_TRUE(eq.OpenOnDatabase(&db));
    ASSERT_TRUE(eq.OpenOnDatabase(&db2));
    EXPECT_EQ(eq.m_pDatabase, &db2);
    EXPECT_EQ(rows(eq, "EquipmentID,PlantName"), (Rows{"99|Plant Z"}));
    EXPECT_EQ(messages.count(), 0u);
}

// A database error is shown in a message box and gives false; the step query's is not shown.
TEST_F(RecordsetsOnFixture, ADatabaseErrorIsShownAndGivesFalse)
{
    ResultsDb bare{ResultsDb::Tables::None};
    bare.exec("CREATE TABLE unrelated(x)");
    bare.finish();
    ResultsDb text;
    text.exec("INSERT INTO FacilitySummary VALUES (1, 'P');"
              "INSERT INTO EquipmentSummary (EquipmentID, QLTag, Category, PlantID, Capacity) VALUES (1, 'A', "
              "'Reactor', 1, 'big');");
    text.finish();
    CDaoDatabase empty, bad;
    empty.Open(CString(bare.path()), false, true);
    bad.Open(CString(text.path()), false, true);
    CDaoEquipmentSet eq;
    CDaoPhaseComponents pc;
    CDaoBufferTankContents tank;
    CDaoStepSummary steps;
    EXPECT_FALSE(eq.OpenOnDatabase(&empty));
    EXPECT_FALSE(eq.IsOpen());
    EXPECT_FALSE(pc.OpenForPhase(&empty, 1));
    EXPECT_FALSE(tank.OpenOnDatabase(&empty));
    EXPECT_FALSE(eq.OpenOnDatabase(&bad));
    EXPECT_FALSE(steps.OpenOnDatabase(&empty));
    EXPECT_TRUE(steps.OpenOnDatabase(&db));
    ASSERT_EQ(messages.count(), 4u);
    const std::vector<std::vector<std::string>> parts = {
        {"no such table: EquipmentSummary"}, {"QryPhaseComponents"}, {"CompositeContents"}, {"[Capacity]", "'big'"}};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        EXPECT_EQ(messages.types()[i], static_cast<unsigned>(MB_OK));
        for (const std::string& p : parts[i])
            EXPECT_NE(messages.texts()[i].find(p), std::string::npos) << messages.texts()[i];
    }
}
