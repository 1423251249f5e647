#pragma once
// What the data-access tests share: a results database of edge cases, a name
// resolver standing for a database's saved queries, and readers of refusals and rows.

#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ResultsDb.h"
#include "batchplant/db/Dao.h"
#include "db/SqlDialect.h"

namespace batchplant::test {

// Rows for the queries' edge cases (two plants, a continuous condenser, inventory,
// streams with null ends or no phases, a vapor emission of mass 0 and one "After
// Condenser", a labor grade without category), out of order for the ORDER BYs.
inline void fillResultsFixture(ResultsDb& f)
{
    f.exec(R"sql(
INSERT INTO FacilitySummary (PlantID, PlantName) VALUES (2, 'Plant B'), (1, 'Plant A');
INSERT INTO EquipmentSummary (EquipmentID, QLTag, Category, EquipmentType, Capacity, CapacityUOM, MaxFillFactor, PlantID, CalendarID) VALUES
 (13, 'C-1', 'Condenser', 'Continuous', 10, 'Cubic m', 1.0, 2, NULL), (10, 'R-101', 'Reactor', 'Batch', 2000, 'liter', 0.8, 1, 5),
 (11, 'T-201', 'Buffer Tank', 'Batch', 500, 'gal', 0.9, 1, NULL), (12, 'INV-1', 'Inventory Location', 'Inventory', NULL, NULL, 1.0, 2, NULL),
 (14, 'INV-V', 'Inventory Location - Vapor', 'Inventory', NULL, NULL, 1.0, 2, NULL), (15, 'R-900', 'Reactor', 'Batch', 100, 'liter', 1.0, NULL, NULL);
INSERT INTO PureComponents (MaterialID, MaterialName) VALUES (100, 'Water'), (101, 'Ethanol'), (102, 'Product P');
INSERT INTO PPlan (PlanID, PlanName, StartDateTime) VALUES (1, 'Campaign 1', '2024-01-15T08:00:00');
INSERT INTO ProductionPlanSummary (RequirementID, PlanID, StepID, NumberOfBatches) VALUES (1, 1, 7, 3), (2, 1, 8, 2);
INSERT INTO StepSummary (StepID, StepName, StepVersionName, KeyOutputIntermediateID, NumberOfBatches, AverageBatchTime, SimulationDateTime, StartDateTime, PlantID) VALUES
 (7, 'Reaction', 'A', 102, 3, 5.5, '2024-01-10T12:00:00', NULL, 1), (8, 'Workup', NULL, NULL, 2, 2, NULL, '2024-01-15T08:00:00', 2), (9, 'Orphan', NULL, NULL, 1, 1, NULL, NULL, 3);
INSERT INTO TextRecipe (OperationID, StepID, UnitProcedureID, UnitProcedureName, UnitProcedureSequenceNumber, OperationSequenceNumber, OperationName, RecipeText) VALUES
 (1001, 7, 1, 'P-1', 1, 1, 'Charge', 'Charge water'), (1002, 7, 1, 'P-1', 1, 2, 'React', 'React for 2 h'),
 (1003, 8, 2, 'P-2', 2, 1, 'Transfer', 'Transfer out'), (1004, 7, 1, 'P-1', 1, 3, 'Vent', 'Vent the reactor');
INSERT INTO EquipmentSchedule (EquipmentScheduleID, EquipmentID, BatchNumber, StepID, UnitProcedureID, OperationID, StartTime, EndTime, TimeUOM) VALUES
 (5, 10, 2, 7, 1, 1001, 4, 5, 'h'), (4, 13, 1, 7, 1, 1002, 1, 3, 'h'), (2, 10, 1, 7, 1, 1002, 1, 3, 'h'), (3, 11, 1, 8, 2, 1003, 0.5, 2, 'h'), (1, 10, 1, 7, 1, 1001, 0, 1, 'h');
INSERT INTO EquipmentContents (ContentsID, EquipmentID, BatchNumber, StepID, UnitProcedureID, UnitProcedureName, OperationID, Time, TimeUOM, Volume, VolumeUOM, Mass, Temperature, AverageMolecularWeight, AverageDensityUOM) VALUES
 (504, 10, 2, 7, 1, 'P-1', 1001, 300, 'min', 900, 'liter', 880, 20, 18, 'kg/m3'), (502, 10, 1, 7, 1, 'P-1', 1002, 180, 'min', 1200, 'liter', 1150, 80, 115, 'kg/m3'),
 (503, 13, 1, 7, 1, 'P-1', 1002, 180, 'min', 5, 'liter', 4, 30, 46, 'kg/m3'), (501, 10, 1, 7, 1, 'P-1', 1001, 60, 'min', 1000, 'liter', 990, 25, 18, 'kg/m3');
INSERT INTO StreamSummary (StreamID, BatchNumber, StepID, UnitProcedureID, OperationID, OperationName, MaterialName, StreamCategoryID, IconLocation, FromEquipmentID, ToEquipmentID, StartTime, StartTimeUOM, EndTime, EndTimeUOM, Mass) VALUES
 (2003, 1, 7, 1, 1001, 'Charge', 'Water', 2, 0, 12, 10, 0, 'min', 30, 'min', 1000), (2001, 1, 8, 2, 1003, 'Transfer', 'Product P', 1, 0, 10, 11, 120, 'min', 150, 'min', 1150),
 (2002, 1, 8, 2, 1003, 'Transfer', 'Water', -5, 0, 10, 11, 150, 'min', 160, 'min', 100), (2004, 1, 8, 2, 1001, 'Charge', 'Ethanol', 2, 0, NULL, 11, 10, 'min', 20, 'min', 40),
 (2005, 1, 8, 2, 1003, 'Transfer', 'Product P', 3, 0, 10, NULL, 170, 'min', 180, 'min', 200), (2006, 1, 8, 2, 9999, 'Unknown', 'Water', 1, 0, 10, 11, 0, 'min', 1, 'min', 1);
INSERT INTO UtilitySummary (UtilityID, UtilityName, BatchNumber, StepID, UnitProcedureID, OperationID, EquipmentID, StartTime, StartTimeUOM, EndTime, EndTimeUOM, InletTemperatureUOM, OutletTemperature, InletPressureUOM, HeatDuty, HeatDutyUOM) VALUES
 (3002, 'Cooling Water', 1, 7, 1, 1002, NULL, 3600, 's', 7200, 's', 'C', 25, 'bar', -2000, 'KJ'), (3001, 'Steam', 1, 7, 1, 1002, 10, 3600, 's', 10800, 's', 'C', 120, 'bar', 22000, 'KJ'),
 (3003, 'Nitrogen', 1, 7, 1, 9999, 10, 0, 's', 1, 's', 'C', 20, 'bar', 0, 'KJ');
INSERT INTO AirEmissionSummary (AirEmissionID, BatchNumber, StepID, UnitProcedureID, OperationID, AirEmissionControl, FromEquipmentID, ToEquipmentID, StartTime, StartTimeUOM, EndTime, EndTimeUOM, Mass) VALUES
 (4002, 1, 7, 1, 1002, 'None', 10, NULL, 60, 'min', 90, 'min', 0), (4001, 1, 7, 1, 1002, 'None', 10, NULL, 60, 'min', 180, 'min', 5),
 (4003, 1, 7, 1, 1002, 'After Condenser', 13, 14, 60, 'min', 180, 'min', 2), (4004, 1, 7, 1, 1004, 'Before Condenser', NULL, 13, 180, 'min', 190, 'min', 1);
INSERT INTO CompositeContents (CompositeContentsID, EquipmentID, Time, TimeUOM, Mass, Volume, VolumeUOM) VALUES (6002, 11, 2, 'h', 800, 0.9, 'Cubic m'), (6001, 11, 1, 'h', 400, 0.45, 'Cubic m');
INSERT INTO ThermodynamicPhase (PhaseID, Phase, ContentsID, StreamID, UtilityID, AirEmissionID, CompositeContentsID, MassPhaseFraction) VALUES
 (1, 'Liquid', 501, NULL, NULL, NULL, NULL, 1), (2, 'Liquid', 502, NULL, NULL, NULL, NULL, 1), (3, 'Vapor', 503, NULL, NULL, NULL, NULL, 1),
 (10, 'Liquid', NULL, 2001, NULL, NULL, NULL, 1), (11, 'Liquid', NULL, 2003, NULL, NULL, NULL, 1), (12, 'Liquid', NULL, 2004, NULL, NULL, NULL, 1),
 (13, 'Solid', NULL, 2005, NULL, NULL, NULL, 1), (20, 'Vapor', NULL, NULL, 3001, NULL, NULL, 1), (30, 'Vapor', NULL, NULL, NULL, 4001, NULL, 1),
 (31, 'Vapor', NULL, NULL, NULL, 4002, NULL, 1), (32, 'Vapor', NULL, NULL, NULL, 4003, NULL, 1), (33, 'Vapor', NULL, NULL, NULL, 4004, NULL, 1),
 (40, 'Liquid', NULL, NULL, NULL, NULL, 6001, 1), (42, 'Solid', NULL, NULL, NULL, NULL, 6002, 0.25), (41, 'Liquid', NULL, NULL, NULL, NULL, 6002, 0.75);
INSERT INTO PhaseComponents (PhaseID, ComponentID, MassFraction) VALUES (1, 101, 0.3), (1, 100, 0.7), (2, 102, 1), (3, 100, 1), (10, 100, 0.5), (10, 101, 0.5),
 (11, 100, 1), (12, 101, 1), (13, 102, 1), (20, 100, 1), (30, 101, 1), (31, 101, 1), (32, 101, 1), (33, 100, 1), (40, 100, 0.6), (40, 101, 0.4), (41, 100, 1), (42, 102, 1);
INSERT INTO LaborCategory (LaborGradeID, LaborGrade) VALUES (1, 'Operator'), (2, 'Supervisor');
INSERT INTO LaborSummary (LaborSummaryID, StepID, BatchNumber, UnitProcedureID, OperationID, LaborGradeID, StartTime, EndTime, EndTimeUOM, NumberOfOperators) VALUES
 (1, 7, 1, 1, 1001, 1, 0, 1, 'h', 1.5), (2, 7, 1, 1, 1002, 0, 1, 3, 'h', 2.7), (3, 8, 1, 2, 1003, 2, 0.5, 2, 'h', 0.5);
)sql");
}

// Saved queries and tables by name, without regard to case, as a database holds them.
struct NameMap : SqlNameResolver {
    static std::string upper(const std::string& s) { return CString(s).MakeUpper().str(); }
    void add(const std::string& name, const std::string& sql, std::vector<CString> params = {})
    {
        queries[upper(name)] = {CString(name), CString(sql), std::move(params)};
    }
    const CDaoSavedQuery* FindSavedQuery(const CString& name) override
    {
        const auto it = queries.find(upper(name.str()));
        return it == queries.end() ? nullptr : &it->second;
    }
    bool HasTableOrView(const CString& name) override { return tables.count(upper(name.str())) > 0; }
    std::map<std::string, CDaoSavedQuery> queries;
    std::set<std::string> tables;
};

// The description of the CDaoException `f` throws, or "no exception".
inline std::string describe(const std::function<void()>& f)
{
    try {
        f();
    } catch (const CDaoException& e) {
        return e.GetDescription().str();
    }
    return "no exception";
}

// Whether `text` holds each of the parts; `parts` lists them separated by '|'.
inline testing::AssertionResult mentions(const std::string& text, const std::string& parts)
{
    std::stringstream list(parts);
    for (std::string p; std::getline(list, p, '|');)
        if (text.find(p) == std::string::npos)
            return testing::AssertionFailure() << "'" << text << "' does not mention '" << p << "'";
    return testing::AssertionSuccess();
}

// Walks the recordset from its first row; each row is the named columns'
// (separated by ',') texts joined by '|', a null written as "~".
inline std::vector<std::string> boundRows(CDaoRecordset& rs, const std::string& columns)
{
    std::map<std::string, int> bound;
    for (int i = 0; i < rs.GetBoundFieldCount(); ++i) {
        CDaoFieldInfo info;
        rs.GetFieldInfo(i, info);
        bound[info.m_strName.str()] = i;
    }
    std::vector<std::string> out;
    for (rs.MoveFirst(); !rs.IsEOF(); rs.MoveNext()) {
        std::string row;
        std::stringstream names(columns);
        for (std::string n; std::getline(names, n, ',');) {
            EXPECT_TRUE(bound.count(n)) << "no bound column " << n;
            const int i = bound.count(n) ? bound[n] : -1;
            row += "|" + (rs.IsFieldNullAt(i) ? std::string("~") : rs.GetFieldText(i).str());
        }
        out.push_back(row.substr(1));
    }
    return out;
}

} // namespace batchplant::test
