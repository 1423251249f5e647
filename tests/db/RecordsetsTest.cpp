// The query recordsets on a small results database built for their edge
// cases: the rows each yields and in what order, and how OpenOnDatabase behaves.

#include <gtest/gtest.h>

#include <memory>

#include "DbFixture.h"
#include "db/RecordsetCatalog.h"

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
        before = test::ReadFile(f.path());
        db.Open(CString(f.path()), false, false);
    }
    ResultsDb f;
    std::string before;
    CDaoDatabase db;
    test::MessageRecorder messages;
};

} // namespace

// Every recordset on the fixture and its rows. The first entry names it, its
// parameter (name=value) if any, and the columns shown; rows come in the order of
// those before '/', ties in any order. A recordset's next entry opens it again.
TEST_F(RecordsetsOnFixture, EveryRecordsetYieldsItsRowsInOrder)
{
    const Rows cases[] = {
        // Without an ORDER BY, by the first table's key; equipment without a plant still comes.
        {"CDaoEquipmentSet EquipmentID/Class,PlantName,CalendarID,Capacity", "10/Reactor|Plant A|5|2000",
         "11/Buffer Tank|Plant A|~|500", "12/Inventory Location|Plant B|~|~", "13/Condenser|Plant B|~|10",
         "14/Inventory Location - Vapor|Plant B|~|~", "15/Reactor|~|~|100"},
        {"CDaoPlanSummary RequirementID/PlanName,StepID,NumberOfBatches", "1/Campaign 1|7|3", "2/Campaign 1|8|2"},
        // The step whose plant is not in FacilitySummary is not delivered (inner join).
        {"CDaoStepSummary StepID/StepName,KeyOutputName,StepVersionName,PlantName,StartDateTime",
         "7/Reaction|Product P|A|Plant A|~", "8/Workup|~|~|Plant B|2024-01-15T08:00:00"},
        // A schedule row without contents still comes, its contents columns null.
        {"CDaoEquipConts EquipmentID,EndTime/BatchNumber,OpName,OpType,ProcSeqNum,UnitProcedureName,Volume,RecipeText",
         "10|1/1|Charge|Charge|1|P-1|1000|Charge water", "10|3/1|React|React|1|P-1|1200|React for 2 h",
         "10|5/2|Charge|Charge|1|P-1|900|Charge water", "11|2/1|Transfer|Transfer|2|~|~|Transfer out",
         "13|3/1|React|React|1|P-1|5|React for 2 h"},
        // Continuous equipment is left out; contents without phases and an operation without contents come.
        {"CDaoEquipmentContents "
         "EquipmentID,StartTime/BatchNumber,Phase,MaterialName,MassFraction,Mass,Volume,EquipmentName,Capacity",
         "10|0/1|Liquid|Water|0.7|990|1000|R-101|2000", "10|0/1|Liquid|Ethanol|0.3|990|1000|R-101|2000",
         "10|1/1|Liquid|Product P|1|1150|1200|R-101|2000", "10|4/2|~|~|~|880|900|R-101|2000",
         "11|0.5/1|~|~|~|~|~|T-201|500"},
        // One per contents record.
        {"CDaoEquipmentProperties "
         "EquipmentID,EndTime/EquipmentName,StartTimeUOM,EndTimeUOM,Temperature,AverageMolecularWeight",
         "10|60/R-101|h|min|25|18", "10|180/R-101|h|min|80|115", "10|300/R-101|h|min|20|18", "13|180/C-1|h|min|30|46"},
        {"CDaoPhaseComponents pid=1 PhaseID,ComponentID/MassFraction", "1|100/0.7", "1|101/0.3"},
        {"CDaoPhaseComponents pid=999 PhaseID/"},
        {"CDaoThermodynamicPhase CompositeID=6002 PhaseID/CompositeContentsID,Phase,MassPhaseFraction",
         "41/6002|Liquid|0.75", "42/6002|Solid|0.25"},
        // By their ends, null first; 2006 has no recipe row and is not delivered (inner join).
        {"CDaoStreamSet FromEquipmentID,ToEquipmentID,StreamID/OpName,OpType,PrimaryMaterial,StreamCategoryID,EndTime",
         "~|11|2004/Charge|Charge|Ethanol|2|20", "10|~|2005/Transfer|Transfer|Product P|3|180",
         "10|11|2001/Transfer|Transfer|Product P|1|150", "10|11|2002/Transfer|Transfer|Water|-5|160",
         "12|10|2003/Charge|Charge|Water|2|30"},
        {"CDaoUtilitySummary StreamID/UtilityName,PrimaryMaterial,ToEquipmentID,OutletTemperature,HeatDuty,OpType",
         "3001/Steam|Steam|10|120|22000|React", "3002/Cooling Water|Cooling Water|~|25|-2000|React"},
        // The emission of mass 0 is not delivered.
        {"CDaoVaporSummary StreamID/FromEquipmentID,ToEquipmentID,Mass,OpType", "4001/10|~|5|React",
         "4003/13|14|2|React", "4004/~|13|1|Vent"},
        // Streams without phases come; the heat duty unit is the empty text, not null.
        {"CDaoStreamContents "
         "StreamID/FromEquipmentID,ToEquipmentID,Phase,MaterialName,MassFraction,Mass,HeatDuty,HeatDutyUOM",
         "2001/10|11|Liquid|Water|0.5|1150|0|", "2001/10|11|Liquid|Ethanol|0.5|1150|0|", "2002/10|11|~|~|~|100|0|",
         "2003/12|10|Liquid|Water|1|1000|0|", "2004/~|11|Liquid|Ethanol|1|40|0|", "2005/10|~|Solid|Product P|1|200|0|",
         "2006/10|11|~|~|~|1|0|"},
        // Utilities always come from equipment 0.
        {"CDaoUtilityContents StreamID/FromEquipmentID,ToEquipmentID,MaterialID,MaterialName,Phase,HeatDuty",
         "3001/0|10|100|Steam|Vapor|22000", "3002/0|~|~|Cooling Water|~|-2000", "3003/0|10|~|Nitrogen|~|0"},
        // Emissions without mass are left out.
        {"CDaoVaporContents StreamID/FromEquipmentID,ToEquipmentID,MaterialID,Mass", "4001/10|~|101|5",
         "4003/13|14|101|2", "4004/~|13|100|1"},
        {"CDaoBufferTankContents CompositeContentsID/EquipmentID,Time,Mass,Volume", "6001/11|1|400|0.45",
         "6002/11|2|800|0.9"},
        // Composite streams touch inventory or the outside: 2001 runs between two
        // process vessels and 2002 has no phases, so neither comes.
        {"CDaoCompositeStream "
         "FromEquipmentID,ToEquipmentID/FromEqName,FromType,ToEqName,ToType,MaterialName,Phase,StreamCategoryID",
         "~|11/~|~|T-201|Buffer Tank|Ethanol|Liquid|2", "10|~/R-101|Reactor|~|~|Product P|Solid|3",
         "12|10/INV-1|Inventory Location|R-101|Reactor|Water|Liquid|2"},
        // Composite vapour leaves out emissions after the condenser.
        {"CDaoCompVapor FromEquipmentID,EndTime/FromEqName,FromType,MaterialName,TimeUOM", "~|190/~|~|Water|min",
         "10|90/R-101|Reactor|Ethanol|min", "10|180/R-101|Reactor|Ethanol|min"},
        {"CDaoCompositeLabor OperationID/LaborGradeID,LaborGrade,NumberOfOperators", "1001/1|Operator|1.5",
         "1002/0|~|2.7", "1003/2|Supervisor|0.5"},
        // Only the utility with phase records; UtilityID is the phase component.
        {"DaoUtilityComposite UtilityID/UtilityName,EquipmentID,EquipmentName,HeatDuty,TimeUOM",
         "100/Steam|10|R-101|22000|s"},
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
        Rows want(c.begin() + 1, c.end()), keys;
        for (std::string& w : want) {
            keys.push_back(w.substr(0, w.find('/')));
            w[w.find('/')] = '|';
        }
        EXPECT_EQ(test::boundRows(*rs, columns.substr(0, slash)), keys);
        const Rows all = test::boundRows(*rs, columns.replace(slash, 1, ","));
        EXPECT_EQ(std::multiset<std::string>(all.begin(), all.end()),
                  std::multiset<std::string>(want.begin(), want.end()));
    }
    EXPECT_EQ(sets.size(), RecordsetCatalog().size()) << "every recordset has its case";
    EXPECT_EQ(CreateRecordset(CString("CDaoNoSuchSet")), nullptr);
    EXPECT_EQ(messages.count(), 0u);
    db.Close();
    EXPECT_TRUE(test::ReadFile(f.path()) == before) << "reading through a writable open changed the file";
}

// OpenOnDatabase on its own database starts over; a database error is shown in a
// message box and gives false, but not the step query's, nor no or a closed database.
TEST_F(RecordsetsOnFixture, OpenOnDatabaseStartsOverAndShowsErrors)
{
    ResultsDb bare{ResultsDb::Tables::None};
    bare.exec("CREATE TABLE unrelated(x)");
    bare.finish();
    CDaoDatabase empty, closed;
    empty.Open(CString(bare.path()), false, true);
    CDaoEquipConts rs;
    ASSERT_TRUE(rs.OpenOnDatabase(&db));
    while (!rs.IsEOF())
        rs.MoveNext();
    ASSERT_TRUE(rs.OpenOnDatabase(&db));
    EXPECT_DOUBLE_EQ(rs.m_EndTime, 1.0) << "back on the first row";
    CDaoEquipmentSet eq;
    CDaoStepSummary steps;
    const std::pair<std::function<bool()>, const char*> cases[] = {
        {[&] { return rs.OpenOnDatabase(&closed); }, ""}, // closes it
        {[&] { return rs.OpenOnDatabase(nullptr); }, ""},
        {[&] { return eq.OpenOnDatabase(&empty); }, "no such table: EquipmentSummary"},
        {[&] { return CDaoPhaseComponents().OpenForPhase(&empty, 1); }, "QryPhaseComponents"},
        {[&] { return CDaoBufferTankContents().OpenOnDatabase(&empty); }, "CompositeContents"},
        {[&] { return CDaoThermodynamicPhase().OpenForComposite(&empty, 1); }, "QryThermodynamicPhase1"},
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
    EXPECT_FALSE(eq.IsOpen() || rs.IsOpen());
    rs.CloseIfOpen();
    EXPECT_TRUE(steps.OpenOnDatabase(&db));
}
