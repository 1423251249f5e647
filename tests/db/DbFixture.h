#pragma once
// The data-access tests' results database of edge cases.

#include "ResultsDb.h"

namespace batchplant::test {

// A small results database whose rows exercise the edge cases of the
// queries: two plants, a continuous condenser, inventory locations, streams
// with null ends and without phases, a vapor emission of mass 0 and one
// "After Condenser", a labor grade without category. Rows are inserted out
// of order so that the queries' ORDER BY clauses are what orders them.
inline void fillResultsFixture(ResultsDb& f)
{
    f.exec(R"sql(
INSERT INTO FacilitySummary (PlantID, PlantName) VALUES (2, 'Plant B'), (1, 'Plant A');
INSERT INTO EquipmentSummary (EquipmentID, QLTag, Category, EquipmentClassID, EquipmentType, Capacity, CapacityUOM, MaxFillFactor, PlantID, CalendarID) VALUES
 (13, 'C-1', 'Condenser', 4, 'Continuous', 10, 'Cubic m', 1.0, 2, NULL),
 (10, 'R-101', 'Reactor', 1, 'Batch', 2000, 'liter', 0.8, 1, 5),
 (11, 'T-201', 'Buffer Tank', 2, 'Batch', 500, 'gal', 0.9, 1, NULL),
 (12, 'INV-1', 'Inventory Location', 3, 'Inventory', NULL, NULL, 1.0, 2, NULL),
 (14, 'INV-V', 'Inventory Location - Vapor', 5, 'Inventory', NULL, NULL, 1.0, 2, NULL),
 (15, 'R-900', 'Reactor', 1, 'Batch', 100, 'liter', 1.0, NULL, NULL);
INSERT INTO PureComponents (MaterialID, MaterialName, MolecularWeight) VALUES (100, 'Water', 18), (101, 'Ethanol', 46), (102, 'Product P', 200);
INSERT INTO PPlan (PlanID, PlanName, StartDateTime) VALUES (1, 'Campaign 1', '2024-01-15T08:00:00');
INSERT INTO ProductionPlanSummary (RequirementID, PlanID, StepID, NumberOfBatches) VALUES (1, 1, 7, 3), (2, 1, 8, 2);
INSERT INTO StepSummary (StepID, StepName, StepVersionName, KeyOutputIntermediateID, NumberOfBatches, AverageBatchTime, AverageBatchTimeUOM, AverageStepYield, ReactionText, SimulationDateTime, StartDateTime, PlantID) VALUES
 (7, 'Reaction', 'A', 102, 3, 5.5, 'h', 0.92, 'A + B -> P', '2024-01-10T12:00:00', NULL, 1),
 (8, 'Workup', NULL, NULL, 2, 2, 'h', 1.0, NULL, NULL, '2024-01-15T08:00:00', 2),
 (9, 'Orphan', NULL, NULL, 1, 1, 'h', 1.0, NULL, NULL, NULL, 3);
INSERT INTO TextRecipe (OperationID, StepID, UnitProcedureID, UnitProcedureName, UnitProcedureSequenceNumber, OperationSequenceNumber, OperationName, RecipeText) VALUES
 (1001, 7, 1, 'P-1', 1, 1, 'Charge', 'Charge water'),
 (1002, 7, 1, 'P-1', 1, 2, 'React', 'React for 2 h'),
 (1003, 8, 2, 'P-2', 2, 1, 'Transfer', 'Transfer out'),
 (1004, 7, 1, 'P-1', 1, 3, 'Vent', 'Vent the reactor');
INSERT INTO EquipmentSchedule (EquipmentScheduleID, EquipmentID, BatchNumber, StepID, UnitProcedureID, OperationID, StartTime, EndTime, TimeUOM) VALUES
 (5, 10, 2, 7, 1, 1001, 4, 5, 'h'),
 (4, 13, 1, 7, 1, 1002, 1, 3, 'h'),
 (2, 10, 1, 7, 1, 1002, 1, 3, 'h'),
 (3, 11, 1, 8, 2, 1003, 0.5, 2, 'h'),
 (1, 10, 1, 7, 1, 1001, 0, 1, 'h');
INSERT INTO EquipmentContents (ContentsID, EquipmentID, BatchNumber, StepID, UnitProcedureID, UnitProcedureName, OperationID, Time, TimeUOM, Volume, VolumeUOM, Mass, MassUOM, Moles, MolesUOM, Temperature, TemperatureUOM, Pressure, PressureUOM, AverageMolecularWeight, AverageViscosity, AverageViscosityUOM, AverageHeatCapacity, AverageHeatCapacityUOM, AverageDensity, AverageDensityUOM) VALUES
 (504, 10, 2, 7, 1, 'P-1', 1001, 300, 'min', 900, 'liter', 900, 'kg', 50, 'kmole', 20, 'C', 1, 'bar', 18, 1, 'cP', 4.2, 'kJ/kg-K', 1000, 'kg/m3'),
 (502, 10, 1, 7, 1, 'P-1', 1002, 180, 'min', 1200, 'liter', 1150, 'kg', 10, 'kmole', 80, 'C', 1.2, 'bar', 115, 0.8, 'cP', 3.1, 'kJ/kg-K', 960, 'kg/m3'),
 (503, 13, 1, 7, 1, 'P-1', 1002, 180, 'min', 5, 'liter', 5, 'kg', 0.1, 'kmole', 30, 'C', 1, 'bar', 46, 0.5, 'cP', 2.4, 'kJ/kg-K', 790, 'kg/m3'),
 (501, 10, 1, 7, 1, 'P-1', 1001, 60, 'min', 1000, 'liter', 1000, 'kg', 55.5, 'kmole', 25, 'C', 1, 'bar', 18, 1, 'cP', 4.18, 'kJ/kg-K', 1000, 'kg/m3');
INSERT INTO StreamSummary (StreamID, UserLabel, BatchNumber, StepID, UnitProcedureID, UnitProcedureName, OperationID, OperationName, MaterialName, StreamCategoryID, IconLocation, FromEquipmentID, ToEquipmentID, StartTime, StartTimeUOM, EndTime, EndTimeUOM, Temperature, TemperatureUOM, Pressure, PressureUOM, VolumetricFlowRate, VolumetricFlowRateUOM, Mass, MassUOM, Volume, VolumeUOM, Moles, MolesUOM) VALUES
 (2003, 'S-3', 1, 7, 1, 'P-1', 1001, 'Charge', 'Water', 2, 0, 12, 10, 0, 'min', 30, 'min', 20, 'C', 1, 'bar', 2000, 'liter/h', 1000, 'kg', 1000, 'liter', 55.5, 'kmole'),
 (2001, 'S-1', 1, 8, 2, 'P-2', 1003, 'Transfer', 'Product P', 1, 0, 10, 11, 120, 'min', 150, 'min', 30, 'C', 1, 'bar', 2400, 'liter/h', 1150, 'kg', 1200, 'liter', 10, 'kmole'),
 (2002, 'CIP', 1, 8, 2, 'P-2', 1003, 'Transfer', 'Water', -5, 0, 10, 11, 150, 'min', 160, 'min', 60, 'C', 1, 'bar', 600, 'liter/h', 100, 'kg', 100, 'liter', 5.5, 'kmole'),
 (2004, 'S-4', 1, 8, 2, 'P-2', 1001, 'Charge', 'Ethanol', 2, 0, NULL, 11, 10, 'min', 20, 'min', 20, 'C', 1, 'bar', 300, 'liter/h', 40, 'kg', 50, 'liter', 0.9, 'kmole'),
 (2005, 'S-5', 1, 8, 2, 'P-2', 1003, 'Transfer', 'Product P', 3, 0, 10, NULL, 170, 'min', 180, 'min', 25, 'C', 1, 'bar', 1000, 'liter/h', 200, 'kg', 210, 'liter', 1, 'kmole'),
 (2006, 'S-6', 1, 8, 2, 'P-2', 9999, 'Unknown', 'Water', 1, 0, 10, 11, 0, 'min', 1, 'min', 25, 'C', 1, 'bar', 1, 'liter/h', 1, 'kg', 1, 'liter', 1, 'kmole');
INSERT INTO UtilitySummary (UtilityID, UtilityName, UserLabel, BatchNumber, StepID, UnitProcedureID, UnitProcedureName, OperationID, OperationName, StreamCategoryID, EquipmentID, StartTime, StartTimeUOM, EndTime, EndTimeUOM, InletTemperature, InletTemperatureUOM, OutletTemperature, InletPressure, InletPressureUOM, OutletPressure, Mass, MassUOM, Moles, MolesUOM, Volume, VolumeUOM, VolumetricFlowRate, VolumetricFlowRateUOM, HeatDuty, HeatDutyUOM) VALUES
 (3002, 'Cooling Water', 'U-2', 1, 7, 1, 'P-1', 1002, 'React', 0, NULL, 3600, 's', 7200, 's', 15, 'C', 25, 3, 'bar', 2.5, 500, 'kg', 27.7, 'kmole', 0.5, 'Cubic m', 0.5, 'Cubic m/h', -2000, 'KJ'),
 (3001, 'Steam', 'U-1', 1, 7, 1, 'P-1', 1002, 'React', 0, 10, 3600, 's', 10800, 's', 150, 'C', 120, 4, 'bar', 3.8, 100, 'kg', 5.5, 'kmole', 0.1, 'Cubic m', 0.05, 'Cubic m/h', 22000, 'KJ'),
 (3003, 'Nitrogen', 'U-3', 1, 7, 1, 'P-1', 9999, 'None', 0, 10, 0, 's', 1, 's', 20, 'C', 20, 1, 'bar', 1, 1, 'kg', 0.03, 'kmole', 1, 'Cubic m', 1, 'Cubic m/h', 0, 'KJ');
INSERT INTO AirEmissionSummary (AirEmissionID, UserLabel, BatchNumber, StepID, UnitProcedureID, UnitProcedureName, OperationID, OperationName, StreamCategoryID, AirEmissionControl, FromEquipmentID, ToEquipmentID, StartTime, StartTimeUOM, EndTime, EndTimeUOM, Temperature, TemperatureUOM, Pressure, PressureUOM, VolumetricFlowRate, VolumetricFlowRateUOM, Mass, MassUOM, Volume, VolumeUOM, Moles, MolesUOM) VALUES
 (4002, 'V-2', 1, 7, 1, 'P-1', 1002, 'React', 4, 'None', 10, NULL, 60, 'min', 90, 'min', 80, 'C', 1, 'bar', 0, 'Cubic m/h', 0, 'kg', 0, 'Cubic m', 0, 'kmole'),
 (4001, 'V-1', 1, 7, 1, 'P-1', 1002, 'React', 4, 'None', 10, NULL, 60, 'min', 180, 'min', 80, 'C', 1, 'bar', 0.2, 'Cubic m/h', 5, 'kg', 0.4, 'Cubic m', 0.1, 'kmole'),
 (4003, 'V-3', 1, 7, 1, 'P-1', 1002, 'React', 4, 'After Condenser', 13, 14, 60, 'min', 180, 'min', 30, 'C', 1, 'bar', 0.1, 'Cubic m/h', 2, 'kg', 0.2, 'Cubic m', 0.04, 'kmole'),
 (4004, 'V-4', 1, 7, 1, 'P-1', 1004, 'Vent', 4, 'Before Condenser', NULL, 13, 180, 'min', 190, 'min', 30, 'C', 1, 'bar', 0.1, 'Cubic m/h', 1, 'kg', 0.1, 'Cubic m', 0.02, 'kmole');
INSERT INTO CompositeContents (CompositeContentsID, EquipmentID, Time, TimeUOM, Mass, MassUOM, Moles, MolesUOM, Volume, VolumeUOM) VALUES
 (6002, 11, 2, 'h', 800, 'kg', 30, 'kmole', 0.9, 'Cubic m'),
 (6001, 11, 1, 'h', 400, 'kg', 15, 'kmole', 0.45, 'Cubic m');
INSERT INTO ThermodynamicPhase (PhaseID, Phase, ContentsID, StreamID, UtilityID, AirEmissionID, CompositeContentsID, MassPhaseFraction, MolarPhaseFraction, VolumePhaseFraction) VALUES
 (1, 'Liquid', 501, NULL, NULL, NULL, NULL, 1, 1, 1),
 (2, 'Liquid', 502, NULL, NULL, NULL, NULL, 1, 1, 1),
 (3, 'Vapor', 503, NULL, NULL, NULL, NULL, 1, 1, 1),
 (10, 'Liquid', NULL, 2001, NULL, NULL, NULL, 1, 1, 1),
 (11, 'Liquid', NULL, 2003, NULL, NULL, NULL, 1, 1, 1),
 (12, 'Liquid', NULL, 2004, NULL, NULL, NULL, 1, 1, 1),
 (13, 'Solid', NULL, 2005, NULL, NULL, NULL, 1, 1, 1),
 (20, 'Vapor', NULL, NULL, 3001, NULL, NULL, 1, 1, 1),
 (30, 'Vapor', NULL, NULL, NULL, 4001, NULL, 1, 1, 1),
 (31, 'Vapor', NULL, NULL, NULL, 4002, NULL, 1, 1, 1),
 (32, 'Vapor', NULL, NULL, NULL, 4003, NULL, 1, 1, 1),
 (33, 'Vapor', NULL, NULL, NULL, 4004, NULL, 1, 1, 1),
 (40, 'Liquid', NULL, NULL, NULL, NULL, 6001, 1, 1, 1),
 (42, 'Solid', NULL, NULL, NULL, NULL, 6002, 0.25, 0.2, 0.1),
 (41, 'Liquid', NULL, NULL, NULL, NULL, 6002, 0.75, 0.8, 0.9);
INSERT INTO PhaseComponents (PhaseID, ComponentID, MassFraction, MoleFraction, VolumeFraction) VALUES
 (1, 101, 0.3, 0.14, 0.35), (1, 100, 0.7, 0.86, 0.65), (2, 102, 1, 1, 1), (3, 100, 1, 1, 1),
 (10, 100, 0.5, 0.7, 0.5), (10, 101, 0.5, 0.3, 0.5), (11, 100, 1, 1, 1), (12, 101, 1, 1, 1), (13, 102, 1, 1, 1),
 (20, 100, 1, 1, 1), (30, 101, 1, 1, 1), (31, 101, 1, 1, 1), (32, 101, 1, 1, 1), (33, 100, 1, 1, 1),
 (40, 100, 0.6, 0.7, 0.6), (40, 101, 0.4, 0.3, 0.4), (41, 100, 1, 1, 1), (42, 102, 1, 1, 1);
INSERT INTO LaborCategory (LaborGradeID, LaborGrade) VALUES (1, 'Operator'), (2, 'Supervisor');
INSERT INTO LaborSummary (LaborSummaryID, StepID, BatchNumber, UnitProcedureID, OperationID, EquipmentID, LaborGradeID, StartTime, EndTime, EndTimeUOM, NumberOfOperators) VALUES
 (1, 7, 1, 1, 1001, 10, 1, 0, 1, 'h', 1.5),
 (2, 7, 1, 1, 1002, 10, 0, 1, 3, 'h', 2.7),
 (3, 8, 1, 2, 1003, 11, 2, 0.5, 2, 'h', 0.5);
)sql");
}

} // namespace batchplant::test
