// batchplant query: CSV of a recordset's rows, and its errors.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "DbFixture.h"
#include "db/RecordsetCatalog.h"

using namespace batchplant;
using batchplant::test::ResultsDb;

namespace {

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        out.push_back(l);
    return out;
}

test::CommandResult query(const std::string& args)
{
    return test::runCommand(std::string(BATCHPLANT_CLI) + " query " + args);
}

} // namespace

TEST(QueryCommand, ListsTheRecordsets)
{
    const test::CommandResult r = query("--list");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::vector<std::string> names = lines(r.out);
    ASSERT_EQ(names.size(), RecordsetCatalog().size());
    // Each name, then in a few words what its rows are.
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(names[i].substr(0, names[i].find(' ')), RecordsetCatalog()[i].name);
        EXPECT_GT(names[i].size(), 24u + 10u) << names[i];
    }
}

TEST(QueryCommand, PrintsRowsAsCsvWithNullsEmpty)
{
    ResultsDb f;
    test::fillResultsFixture(f);
    f.exec("UPDATE StreamSummary SET UserLabel = 'say \"hi\", twice' WHERE StreamID = 2003");
    f.finish();

    const test::CommandResult r = query("'" + f.pathString() + "' CDaoStreamSet");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::vector<std::string> out = lines(r.out);
    ASSERT_EQ(out.size(), 6u) << r.out;
    EXPECT_EQ(out[0], "StreamID,BatchNumber,OpName,UserLabel,UnitProcedureName,UnitProcedureID,StepID,OperationID,"
                      "OpType,PrimaryMaterial,StartTime,StartTimeUOM,EndTime,EndTimeUOM,FromEquipmentID,"
                      "ToEquipmentID,Temperature,TemperatureUOM,Pressure,PressureUOM,VolumetricFlowRate,"
                      "VolumetricFlowRateUOM,Mass,MassUOM,Volume,VolumeUOM,Moles,MolesUOM,RecipeText,"
                      "StreamCategoryID");
    // The stream from outside: FromEquipmentID is an empty field.
    EXPECT_EQ(out[1], "2004,1,Charge,S-4,P-2,2,8,1001,Charge,Ethanol,10,min,20,min,,11,20,C,1,bar,300,liter/h,40,"
                      "kg,50,liter,0.9,kmole,Charge water,2");
    // A text with a comma and quotes is quoted.
    EXPECT_EQ(out[5], "2003,1,Charge,\"say \"\"hi\"\", twice\",P-1,1,7,1001,Charge,Water,0,min,30,min,12,10,20,C,1,"
                      "bar,2000,liter/h,1000,kg,1000,liter,55.5,kmole,Charge water,2");
}

TEST(QueryCommand, TakesParametersByName)
{
    ResultsDb f;
    test::fillResultsFixture(f);
    f.finish();
    test::CommandResult r = query("'" + f.pathString() + "' CDaoPhaseComponents --param pid=10");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(lines(r.out), (std::vector<std::string>{"PhaseID,ComponentID,MassFraction,MoleFraction,VolumeFraction",
                                                      "10,100,0.5,0.7,0.5", "10,101,0.5,0.3,0.5"}));
    r = query("'" + f.pathString() + "' CDaoThermodynamicPhase --param CompositeID=6001 --param sid=0");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(lines(r.out).size(), 2u);
}
