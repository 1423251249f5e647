// The query recordsets on a small results database built for their edge
// cases: the rows they yield and in what order, and how OpenOnDatabase
// behaves.

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "DbFixture.h"
#include "db/RecordsetCatalog.h"

using namespace batchplant;
using batchplant::test::ResultsDb;

namespace {

int fieldIndex(CDaoRecordset& rs, const std::string& name)
{
    for (int i = 0; i < rs.GetBoundFieldCount(); ++i) {
        CDaoFieldInfo info;
        rs.GetFieldInfo(i, info);
        if (info.m_strName.str() == name) return i;
    }
    ADD_FAILURE() << "no bound column " << name;
    return -1;
}

// Walks the recordset from its first row; each row is the named columns'
// texts joined by '|', a null column written as "~".
std::vector<std::string> rows(CDaoRecordset& rs, const std::string& columns)
{
    std::vector<int> idx;
    std::stringstream names(columns);
    for (std::string n; std::getline(names, n, ',');)
        idx.push_back(fieldIndex(rs, n));
    std::vector<std::string> out;
    rs.MoveFirst();
    while (!rs.IsEOF()) {
        std::string row;
        for (std::size_t k = 0; k < idx.size(); ++k) {
            if (k) row += '|';
            row += rs.IsFieldNullAt(idx[k]) ? std::string("~") : rs.GetFieldText(idx[k]).str();
        }
        out.push_back(row);
        rs.MoveNext();
    }
    return out;
}

using Rows = std::vector<std::string>;

// Opens a `Set` through its own OpenOnDatabase and walks it as `rows` does.
template <class Set> Rows openRows(CDaoDatabase& db, const std::string& columns)
{
    Set rs;
    EXPECT_TRUE(rs.OpenOnDatabase(&db)) << columns;
    return rows(rs, columns);
}

template <class Set> std::set<std::string> openRowSet(CDaoDatabase& db, const std::string& columns)
{
    const Rows r = openRows<Set>(db, columns);
    return {r.begin(), r.end()};
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

TEST(Recordsets, EveryClassIsMadeByNameWithItsOwnDefaultQuery)
{
    ASSERT_EQ(RecordsetCatalog().size(), 19u);
    std::set<std::string> seen;
    for (const RecordsetCatalogEntry& e : RecordsetCatalog()) {
        std::unique_ptr<CDaoRecordset> rs = e.create();
        const std::string n(e.name);
        EXPECT_EQ(rs->m_nFields, rs->GetBoundFieldCount()) << e.name;
        EXPECT_FALSE(rs->GetDefaultSQL().IsEmpty()) << e.name;
        const CString dbName = rs->GetDefaultDBName();
        if (n != "CDaoStreamContents" && n != "CDaoUtilityContents" && n != "CDaoVaporContents") {
            EXPECT_FALSE(dbName.IsEmpty()) << e.name;
            EXPECT_TRUE(seen.insert(dbName.str()).second) << "default database shared: " << e.name;
        }
        EXPECT_EQ(CreateRecordset(CString(n))->m_nFields, rs->m_nFields);
    }
    EXPECT_EQ(CreateRecordset(CString("CDaoNoSuchSet")), nullptr);
    EXPECT_NE(CreateRecordset(CString("cdaostreamset")), nullptr);
}

TEST_F(RecordsetsOnFixture, EveryRecordsetOpensWithoutAMessage)
{
    for (const RecordsetCatalogEntry& e : RecordsetCatalog()) {
        std::unique_ptr<CDaoRecordset> rs = e.create();
        ASSERT_TRUE(detail::OpenRecordsetOnDatabase(*rs, &db, true))
            << e.name << ": " << (messages.count() ? messages.texts().back() : std::string());
        EXPECT_TRUE(rs->IsOpen()) << e.name;
    }
    EXPECT_EQ(messages.count(), 0u);
}

TEST_F(RecordsetsOnFixture, EquipmentSetGivesEveryPieceWithItsPlant)
{
    CDaoEquipmentSet rs;
    ASSERT_TRUE(rs.OpenOnDatabase(&db));
    const Rows r = rows(rs, "EquipmentID,Class,PlantID,PlantName,CalendarID,MaxFillFactor,Capacity,CapacityUOM");
    const std::set<std::string> got(r.begin(), r.end());
    const std::set<std::string> want = {
        "10|Reactor|1|Plant A|5|0.8|2000|liter",           "11|Buffer Tank|1|Plant A|~|0.9|500|gal",
        "12|Inventory Location|2|Plant B|~|1|~|~",         "13|Condenser|2|Plant B|~|1|10|Cubic m",
        "14|Inventory Location - Vapor|2|Plant B|~|1|~|~", "15|Reactor|~|~|~|1|100|liter"};
    EXPECT_EQ(got, want);
    EXPECT_EQ(r.size(), 6u);
}

TEST_F(RecordsetsOnFixture, PlanAndStepSummaries)
{
    CDaoPlanSummary plan;
    ASSERT_TRUE(plan.OpenOnDatabase(&db));
    EXPECT_EQ(plan.m_PlanName, CString("Campaign 1"));
    EXPECT_EQ(plan.m_StartDateTime.GetStatus(), COleDateTime::valid);
    EXPECT_EQ(plan.m_StartDateTime.GetYear(), 2024);
    EXPECT_EQ(plan.m_StartDateTime.GetHour(), 8);
    const Rows p = rows(plan, "PlanID,RequirementID,StepID,NumberOfBatches");
    EXPECT_EQ(std::set<std::string>(p.begin(), p.end()), (std::set<std::string>{"1|1|7|3", "1|2|8|2"}));

    CDaoStepSummary steps;
    ASSERT_TRUE(steps.OpenOnDatabase(&db));
    // The step whose plant is not in FacilitySummary is not delivered (inner join).
    const Rows s = rows(steps, "StepID,StepName,KeyOutputName,StepVersionName,PlantName,SimulationDateTime,"
                               "StartDateTime,AverageBatchTime,AverageStepYield");
    EXPECT_EQ(std::set<std::string>(s.begin(), s.end()),
              (std::set<std::string>{"7|Reaction|Product P|A|Plant A|2024-01-10T12:00:00|~|5.5|0.92",
                                     "8|Workup|~|~|Plant B|~|2024-01-15T08:00:00|2|1"}));
    steps.MoveFirst();
    while (!steps.IsEOF() && steps.m_StepID != 7)
        steps.MoveNext();
    ASSERT_FALSE(steps.IsEOF());
    EXPECT_TRUE(steps.IsFieldNull(&steps.m_StartDateTime));
    EXPECT_FALSE(steps.IsFieldNull(&steps.m_SimulationDateTime));
    EXPECT_EQ(steps.m_StartDateTime.GetStatus(), COleDateTime::null);
}

// Which rows the query sets deliver, and in what order.
TEST_F(RecordsetsOnFixture, QuerySetsDeliverTheirRowsInOrder)
{
    EXPECT_EQ(openRows<CDaoEquipConts>(db, "EquipmentID,EndTime,BatchNumber,OperationID,OpName,OpType,OpSeqNum,"
                                           "ProcSeqNum,StepName,UnitProcedureName,Volume,VolumeUOM,Temperature,"
                                           "TemperatureUOM,RecipeText"),
              (Rows{"10|1|1|1001|Charge|Charge|1|1|Reaction|P-1|1000|liter|25|C|Charge water",
                    "10|3|1|1002|React|React|2|1|Reaction|P-1|1200|liter|80|C|React for 2 h",
                    "10|5|2|1001|Charge|Charge|1|1|Reaction|P-1|900|liter|20|C|Charge water",
                    // a schedule row without contents still comes, its contents columns null
                    "11|2|1|1003|Transfer|Transfer|1|2|Workup|~|~|~|~|~|Transfer out",
                    "13|3|1|1002|React|React|2|1|Reaction|P-1|5|liter|30|C|React for 2 h"}));
    // One per contents record.
    EXPECT_EQ(openRows<CDaoEquipmentProperties>(db, "EquipmentID,EquipmentName,StartTime,StartTimeUOM,EndTime,"
                                                    "EndTimeUOM,Temperature,AverageMolecularWeight,AverageDensityUOM"),
              (Rows{"10|R-101|0|h|60|min|25|18|kg/m3", "10|R-101|1|h|180|min|80|115|kg/m3",
                    "10|R-101|4|h|300|min|20|18|kg/m3", "13|C-1|1|h|180|min|30|46|kg/m3"}));
    // Emissions without mass are left out.
    EXPECT_EQ(openRows<CDaoVaporContents>(db, "StreamID,FromEquipmentID,ToEquipmentID,MaterialID,Mass"),
              (Rows{"4001|10|~|101|5", "4003|13|14|101|2", "4004|~|13|100|1"}));
    // The composite contents table as it is.
    EXPECT_EQ(openRowSet<CDaoBufferTankContents>(
                  db, "CompositeContentsID,EquipmentID,Time,TimeUOM,Mass,MassUOM,Moles,Volume,VolumeUOM"),
              (std::set<std::string>{"6001|11|1|h|400|kg|15|0.45|Cubic m", "6002|11|2|h|800|kg|30|0.9|Cubic m"}));
    // Composite streams touch inventory or the outside: 2001 runs between two
    // process vessels and 2002 has no phases, so neither comes.
    EXPECT_EQ(openRows<CDaoCompositeStream>(db, "FromEquipmentID,ToEquipmentID,FromEqName,FromType,ToEqName,ToType,"
                                                "MaterialName,Phase,StreamCategoryID"),
              (Rows{"~|11|~|~|T-201|Buffer Tank|Ethanol|Liquid|2", "10|~|R-101|Reactor|~|~|Product P|Solid|3",
                    "12|10|INV-1|Inventory Location|R-101|Reactor|Water|Liquid|2"}));
    // Composite vapour leaves out emissions after the condenser.
    EXPECT_EQ(openRows<CDaoCompVapor>(db, "FromEquipmentID,EndTime,FromEqName,FromType,MaterialName,TimeUOM"),
              (Rows{"~|190|~|~|Water|min", "10|90|R-101|Reactor|Ethanol|min", "10|180|R-101|Reactor|Ethanol|min"}));
    // Only the utility with phase records; UtilityID is the phase component.
    EXPECT_EQ(openRows<DaoUtilityComposite>(db, "UtilityID,UtilityName,EquipmentID,EquipmentName,HeatDuty,TimeUOM"),
              (Rows{"100|Steam|10|R-101|22000|s"}));
    EXPECT_EQ(openRowSet<CDaoCompositeLabor>(db, "LaborGradeID,LaborGrade,NumberOfOperators,OperationID,TimeUOM"),
              (std::set<std::string>{"1|Operator|1.5|1001|h", "0|~|2.7|1002|h", "2|Supervisor|0.5|1003|h"}));
    EXPECT_EQ(openRowSet<CDaoUtilitySummary>(db, "StreamID,UtilityName,PrimaryMaterial,ToEquipmentID,TemperatureUOM,"
                                                 "OutletTemperature,PressureUOM,HeatDuty,OpType"),
              (std::set<std::string>{"3001|Steam|Steam|10|C|120|bar|22000|React",
                                     "3002|Cooling Water|Cooling Water|~|C|25|bar|-2000|React"}));
    // The emission of mass 0 is not delivered.
    EXPECT_EQ(openRowSet<CDaoVaporSummary>(db, "StreamID,FromEquipmentID,ToEquipmentID,Mass,OpType"),
              (std::set<std::string>{"4001|10|~|5|React", "4003|13|14|2|React", "4004|~|13|1|Vent"}));
}

TEST_F(RecordsetsOnFixture, EquipmentContentsLeaveOutContinuousEquipment)
{
    CDaoEquipmentContents rs;
    ASSERT_TRUE(rs.OpenOnDatabase(&db));
    const Rows r = rows(rs, "EquipmentID,StartTime,BatchNumber,OperationID,Phase,MaterialID,MaterialName,MassFraction,"
                            "Mass,EquipmentName,Capacity,MaxFillFactor");
    ASSERT_EQ(r.size(), 5u);
    // Ordered by equipment, then start time; the two components of one phase may come in either order.
    EXPECT_EQ(std::set<std::string>(r.begin(), r.begin() + 2),
              (std::set<std::string>{"10|0|1|1001|Liquid|100|Water|0.7|1000|R-101|2000|0.8",
                                     "10|0|1|1001|Liquid|101|Ethanol|0.3|1000|R-101|2000|0.8"}));
    EXPECT_EQ(r[2], "10|1|1|1002|Liquid|102|Product P|1|1150|R-101|2000|0.8");
    // Contents without phase records, and an operation without contents.
    EXPECT_EQ(r[3], "10|4|2|1001|~|~|~|~|900|R-101|2000|0.8");
    EXPECT_EQ(r[4], "11|0.5|1|1003|~|~|~|~|~|T-201|500|0.9");
}

TEST_F(RecordsetsOnFixture, PhaseComponentsAndPhasesOpenByTheirParameters)
{
    CDaoPhaseComponents pc;
    ASSERT_TRUE(pc.OpenForPhase(&db, 1));
    EXPECT_EQ(pc.m_pid, 1);
    EXPECT_EQ(rows(pc, "PhaseID,ComponentID,MassFraction"), (Rows{"1|100|0.7", "1|101|0.3"}));
    // Opening again on the same database re-runs the query with the new phase.
    ASSERT_TRUE(pc.OpenForPhase(&db, 10));
    EXPECT_FALSE(pc.IsEOF());
    EXPECT_EQ(pc.m_ComponentID, 100);
    EXPECT_EQ(rows(pc, "PhaseID,ComponentID"), (Rows{"10|100", "10|101"}));
    ASSERT_TRUE(pc.OpenForPhase(&db, 999));
    EXPECT_TRUE(pc.IsEOF());

    CDaoThermodynamicPhase tp;
    ASSERT_TRUE(tp.OpenForComposite(&db, 6002));
    EXPECT_EQ(tp.m_sid, 0);
    EXPECT_EQ(tp.m_aid, 0);
    EXPECT_EQ(tp.m_CompositeID, 6002);
    EXPECT_EQ(rows(tp, "PhaseID,CompositeContentsID,Phase,MassPhaseFraction"),
              (Rows{"41|6002|Liquid|0.75", "42|6002|Solid|0.25"}));
    ASSERT_TRUE(tp.OpenForComposite(&db, 6001));
    EXPECT_EQ(rows(tp, "PhaseID"), (Rows{"40"}));
    EXPECT_EQ(messages.count(), 0u);
}

TEST_F(RecordsetsOnFixture, StreamSetOrdersByEndsAndReportsNullEnds)
{
    CDaoStreamSet rs;
    ASSERT_TRUE(rs.OpenOnDatabase(&db));
    // 2006 has no recipe row and is not delivered (inner join).
    EXPECT_EQ(rows(rs, "StreamID,FromEquipmentID,ToEquipmentID,OpName,OpType,PrimaryMaterial,StreamCategoryID,"
                       "RecipeText,EndTime,EndTimeUOM"),
              (Rows{"2004|~|11|Charge|Charge|Ethanol|2|Charge water|20|min",
                    "2005|10|~|Transfer|Transfer|Product P|3|Transfer out|180|min",
                    "2001|10|11|Transfer|Transfer|Product P|1|Transfer out|150|min",
                    "2002|10|11|Transfer|Transfer|Water|-5|Transfer out|160|min",
                    "2003|12|10|Charge|Charge|Water|2|Charge water|30|min"}));
    rs.MoveFirst();
    EXPECT_TRUE(rs.IsFieldNull(&rs.m_FromEquipmentID));
    EXPECT_FALSE(rs.IsFieldNull(&rs.m_ToEquipmentID));
    rs.MoveNext();
    EXPECT_FALSE(rs.IsFieldNull(&rs.m_FromEquipmentID));
    EXPECT_TRUE(rs.IsFieldNull(&rs.m_ToEquipmentID));
}

TEST_F(RecordsetsOnFixture, StreamContentsDeliverStreamsWithoutPhases)
{
    CDaoStreamContents rs;
    ASSERT_TRUE(rs.OpenOnDatabase(&db));
    const Rows r = rows(rs, "StreamID,FromEquipmentID,ToEquipmentID,Phase,MaterialID,MaterialName,MassFraction,Mass,"
                            "TimeUOM,HeatDuty,HeatDutyUOM");
    ASSERT_EQ(r.size(), 7u);
    EXPECT_EQ(std::set<std::string>(r.begin(), r.begin() + 2),
              (std::set<std::string>{"2001|10|11|Liquid|100|Water|0.5|1150|min|0|",
                                     "2001|10|11|Liquid|101|Ethanol|0.5|1150|min|0|"}));
    EXPECT_EQ(r[2], "2002|10|11|~|~|~|~|100|min|0|");
    EXPECT_EQ(r[3], "2003|12|10|Liquid|100|Water|1|1000|min|0|");
    EXPECT_EQ(r[4], "2004|~|11|Liquid|101|Ethanol|1|40|min|0|");
    EXPECT_EQ(r[5], "2005|10|~|Solid|102|Product P|1|200|min|0|");
    EXPECT_EQ(r[6], "2006|10|11|~|~|~|~|1|min|0|");
    // HeatDutyUOM is the empty text, not null.
    rs.MoveFirst();
    EXPECT_FALSE(rs.IsFieldNull(&rs.m_HeatDutyUOM));
}

TEST_F(RecordsetsOnFixture, UtilityContentsAlwaysComeFromEquipmentZero)
{
    CDaoUtilityContents rs;
    ASSERT_TRUE(rs.OpenOnDatabase(&db));
    EXPECT_EQ(rows(rs, "StreamID,FromEquipmentID,ToEquipmentID,MaterialID,MaterialName,Phase,HeatDuty,HeatDutyUOM"),
              (Rows{"3001|0|10|100|Steam|Vapor|22000|KJ", "3002|0|~|~|Cooling Water|~|-2000|KJ",
                    "3003|0|10|~|Nitrogen|~|0|KJ"}));
    rs.MoveFirst();
    while (!rs.IsEOF()) {
        EXPECT_FALSE(rs.IsFieldNull(&rs.m_FromEquipmentID));
        rs.MoveNext();
    }
}

// ------------------------------------------------------------ OpenOnDatabase

TEST_F(RecordsetsOnFixture, OpeningAgainOnTheSameDatabaseStartsOver)
{
    CDaoEquipConts rs;
    ASSERT_TRUE(rs.OpenOnDatabase(&db));
    while (!rs.IsEOF())
        rs.MoveNext();
    ASSERT_TRUE(rs.OpenOnDatabase(&db));
    EXPECT_FALSE(rs.IsEOF());
    EXPECT_EQ(rs.m_EquipmentID, 10);
    EXPECT_DOUBLE_EQ(rs.m_EndTime, 1.0);
    EXPECT_EQ(rs.m_pDatabase, &db);
    rs.CloseIfOpen();
    EXPECT_FALSE(rs.IsOpen());
    rs.CloseIfOpen();
    EXPECT_EQ(messages.count(), 0u);
}

TEST_F(RecordsetsOnFixture, NullOrClosedDatabasesGiveFalseSilently)
{
    CDaoStreamSet rs;
    EXPECT_FALSE(rs.OpenOnDatabase(nullptr));
    CDaoDatabase closed;
    EXPECT_FALSE(rs.OpenOnDatabase(&closed));
    EXPECT_FALSE(rs.IsOpen());
    // Open on one database, then asked for a closed one: closed, false.
    ASSERT_TRUE(rs.OpenOnDatabase(&db));
    EXPECT_FALSE(rs.OpenOnDatabase(&closed));
    EXPECT_FALSE(rs.IsOpen());
    EXPECT_EQ(messages.count(), 0u);
}

TEST_F(RecordsetsOnFixture, AnotherDatabaseClosesAndReopensThere)
{
    ResultsDb other;
    other.exec(
        "INSERT INTO FacilitySummary VALUES (9, 'Plant Z');"
        "INSERT INTO EquipmentSummary (EquipmentID, QLTag, Category, PlantID) VALUES (99, 'Z-1', 'Reactor', 9);");
    other.finish();
    CDaoDatabase db2;
    db2.Open(CString(other.path()), false, true);

    CDaoEquipmentSet rs;
    ASSERT_TRUE(rs.OpenOnDatabase(&db));
    ASSERT_TRUE(rs.OpenOnDatabase(&db2));
    EXPECT_EQ(rs.m_pDatabase, &db2);
    EXPECT_EQ(rows(rs, "EquipmentID,PlantName"), (Rows{"99|Plant Z"}));
    EXPECT_EQ(messages.count(), 0u);
}

TEST_F(RecordsetsOnFixture, ADatabaseErrorIsShownAndGivesFalse)
{
    ResultsDb bare{ResultsDb::Tables::None}; // a database without the results tables
    bare.exec("CREATE TABLE unrelated(x)");
    bare.finish();
    CDaoDatabase empty;
    empty.Open(CString(bare.path()), false, true);

    CDaoEquipmentSet eq;
    EXPECT_FALSE(eq.OpenOnDatabase(&empty));
    EXPECT_FALSE(eq.IsOpen());
    ASSERT_EQ(messages.count(), 1u);
    EXPECT_NE(messages.texts()[0].find("no such table: EquipmentSummary"), std::string::npos) << messages.texts()[0];
    EXPECT_EQ(messages.types()[0], static_cast<unsigned>(MB_OK));

    CDaoPhaseComponents pc;
    EXPECT_FALSE(pc.OpenForPhase(&empty, 1));
    ASSERT_EQ(messages.count(), 2u);
    EXPECT_NE(messages.texts()[1].find("QryPhaseComponents"), std::string::npos) << messages.texts()[1];

    CDaoBufferTankContents tank;
    EXPECT_FALSE(tank.OpenOnDatabase(&empty));
    ASSERT_EQ(messages.count(), 3u);
    EXPECT_NE(messages.texts()[2].find("CompositeContents"), std::string::npos) << messages.texts()[2];

    // The step query reports nothing.
    CDaoStepSummary steps;
    EXPECT_FALSE(steps.OpenOnDatabase(&empty));
    EXPECT_EQ(messages.count(), 3u);
    // …and still opens where it can.
    EXPECT_TRUE(steps.OpenOnDatabase(&db));
}

TEST_F(RecordsetsOnFixture, TextInANumericColumnIsShownByOpenOnDatabase)
{
    ResultsDb bad;
    bad.exec(
        "INSERT INTO FacilitySummary VALUES (1, 'P');"
        "INSERT INTO EquipmentSummary (EquipmentID, QLTag, Category, PlantID, Capacity) VALUES (1, 'A', 'Reactor', "
        "1, 'big');");
    bad.finish();
    CDaoDatabase db2;
    db2.Open(CString(bad.path()), false, true);
    CDaoEquipmentSet rs;
    EXPECT_FALSE(rs.OpenOnDatabase(&db2));
    ASSERT_EQ(messages.count(), 1u);
    EXPECT_NE(messages.texts()[0].find("[Capacity]"), std::string::npos) << messages.texts()[0];
    EXPECT_NE(messages.texts()[0].find("'big'"), std::string::npos) << messages.texts()[0];
}
