// The sample results database: schema, the queries the recordsets run on it,
// determinism, and the physical consistency of the simulated campaign.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "SampleDatabase.h"
#include "TestSupport.h"
#include "batchplant/db/ResultsSchema.h"
#include "batchplant/db/SampleGenerator.h"
#include "batchplant/platform/COleDateTime.h"

namespace batchplant {
namespace {

namespace fs = std::filesystem;

// A read-only connection with a few query helpers.
class Db {
public:
    explicit Db(const fs::path& path)
    {
        if (sqlite3_open_v2(path.string().c_str(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << "cannot open " << path << ": " << sqlite3_errmsg(db_);
        }
    }
    ~Db() { sqlite3_close(db_); }
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;
    sqlite3* handle() const { return db_; }

    // Runs `sql`, calling `row` for every result row.
    void each(const std::string& sql, const std::function<void(sqlite3_stmt*)>& row) const
    {
        sqlite3_stmt* stmt = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK) << sqlite3_errmsg(db_) << "\n"
                                                                                       << sql;
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
            row(stmt);
        EXPECT_EQ(rc, SQLITE_DONE) << sqlite3_errmsg(db_) << "\n" << sql;
        sqlite3_finalize(stmt);
    }
    long long count(const std::string& sql) const
    {
        long long n = -1;
        each(sql, [&](sqlite3_stmt* s) { n = sqlite3_column_int64(s, 0); });
        return n;
    }
    std::string text(const std::string& sql) const
    {
        std::string out;
        each(sql, [&](sqlite3_stmt* s) {
            const auto* t = sqlite3_column_text(s, 0);
            out = t ? reinterpret_cast<const char*>(t) : "";
        });
        return out;
    }

private:
    sqlite3* db_ = nullptr;
};

std::string slurp(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Capacity in liters, from the units the sample uses.
constexpr const char* kCapacityLiters =
    "(e.Capacity * CASE e.CapacityUOM WHEN 'liter' THEN 1.0 WHEN 'gal' THEN 3.785411 WHEN 'Cubic m' THEN 1000.0 END)";

TEST(SampleSchema, CompiledTextMatchesTheSchemaFiles)
{
    EXPECT_EQ(std::string(ResultsSchemaSql()), slurp(fs::path(BATCHPLANT_SOURCE_DIR) / "schema" / "results.sql"));
    EXPECT_EQ(std::string(CalendarSchemaSql()), slurp(fs::path(BATCHPLANT_SOURCE_DIR) / "schema" / "calendar.sql"));
}

TEST(SampleDatabase, OpensReadOnlyAndPassesTheIntegrityCheck)
{
    Db db(test::SampleDatabasePath());
    EXPECT_EQ(db.text("PRAGMA integrity_check"), "ok");
    int dangling = 0;
    db.each("PRAGMA foreign_key_check", [&](sqlite3_stmt*) { ++dangling; });
    EXPECT_EQ(dangling, 0);
    for (const char* table : {"EquipmentSummary",
                              "FacilitySummary",
                              "PPlan",
                              "ProductionPlanSummary",
                              "StepSummary",
                              "PureComponents",
                              "EquipmentSchedule",
                              "TextRecipe",
                              "EquipmentContents",
                              "ThermodynamicPhase",
                              "PhaseComponents",
                              "StreamSummary",
                              "UtilitySummary",
                              "AirEmissionSummary",
                              "CompositeContents",
                              "LaborSummary",
                              "LaborCategory",
                              "SavedQueries",
                              "Calendars",
                              "CalendarWeekShifts",
                              "CalendarExceptions",
                              "CalendarExceptionShifts"}) {
        EXPECT_GT(db.count(std::string("SELECT count(*) FROM ") + table), 0) << table;
    }
}

// ---- the recordsets' queries --------------------------------------------------

// The queries as the data-access layer runs them (DISTINCTROW, double-quoted
// literals and bracketed names translated by hand), each with its bound
// columns: L long, S short, D double, T text, DT date-time.
struct RecordsetQuery {
    const char* name;
    std::string sql;
    std::string columns;
};

std::string savedQuery(const Db& db, const char* name)
{
    std::string sql = db.text(std::string("SELECT SqlText FROM SavedQueries WHERE Name = '") + name + "'");
    for (const char* p : {"pid", "sid", "CompositeID", "aid"}) {
        const std::string from = std::string("[") + p + "]";
        for (std::size_t at; (at = sql.find(from)) != std::string::npos;)
            sql.replace(at, from.size(), std::string(":") + p);
    }
    if (!sql.empty() && sql.back() == ';') sql.pop_back();
    return sql;
}

std::vector<RecordsetQuery> recordsetQueries(const Db& db)
{
    const std::string base =
        "L ToEquipmentID, L FromEquipmentID, L MaterialID, L BatchNumber, D EndTime, D Mass, D MassFraction, "
        "D MassPhaseFraction, T MassUOM, T MaterialName, D MolarPhaseFraction, D MoleFraction, D Moles, T MolesUOM, "
        "L OperationID, T Phase, D StartTime, L StreamID, T TimeUOM, L UnitProcedureID, D Volume, D VolumeFraction, "
        "D VolumePhaseFraction, T VolumeUOM, D HeatDuty, T HeatDutyUOM";
    return {
        {"CDaoEquipmentSet",
         "SELECT DISTINCT EquipmentID, Category AS Class, EquipmentClassID, QLTag, Capacity, CapacityUOM, "
         "MaxFillFactor, EquipmentType, es.PlantID,  PlantName, CalendarID FROM EquipmentSummary AS es LEFT JOIN "
         "FacilitySummary AS fs ON fs.PlantID = es.PlantID",
         "L EquipmentID, L CalendarID, L PlantID, T PlantName, T Class, L EquipmentClassID, T QLTag, D Capacity, "
         "T CapacityUOM, D MaxFillFactor, T EquipmentType"},
        {"CDaoPlanSummary",
         "SELECT pps.*, pp.PlanName, pp.StartDateTime FROM PPlan AS pp INNER JOIN ProductionPlanSummary AS pps ON "
         "pp.PlanID = pps.PlanID",
         "L PlanID, L RequirementID, L StepID, S NumberOfBatches, T PlanName, DT StartDateTime"},
        {"CDaoStepSummary",
         "SELECT  pc.MaterialName AS KeyOutputName, ss.*,  fs.PlantName FROM ((StepSummary AS ss INNER JOIN "
         "FacilitySummary AS fs  ON ss.PlantID = fs.PlantID) LEFT JOIN PureComponents as pc ON "
         "ss.KeyOutputIntermediateID = pc.MaterialID)",
         "L StepID, T StepName, T KeyOutputName, T StepVersionName, L KeyInputIntermediateID, "
         "L KeyOutputIntermediateID, L InputIntermediate2ID, L InputIntermediate3ID, L OutputIntermediate2ID, "
         "L OutputIntermediate3ID, L NumberOfBatches, L TimeLimitingEquipmentID, D AverageBatchTime, "
         "T AverageBatchTimeUOM, D AverageCycleTime, T AverageCycleTimeUOM, D CampaignTime, T CampaignTimeUOM, "
         "D AverageBatchSize, T AverageBatchSizeUOM, D PotentialBatchSize, T PotentialBatchSizeUOM, "
         "D AverageStepYield, T ReactionText, DT SimulationDateTime, D MinimumBatchSize, T MinimumBatchSizeUOM, "
         "L PlantID, T PlantName, DT StartDateTime"},
        {"CDaoEquipConts",
         "SELECT es.BatchNumber, es.EquipmentID, es.StepID, es.UnitProcedureID, ss.StepName, ss.StepVersionName, "
         "ec.UnitProcedureName, es.OperationID, tr.OperationName AS OpName, tr.RecipeText, "
         "tr.UnitProcedureSequenceNumber AS ProcSeqNum, tr.OperationSequenceNumber AS OpSeqNum,  tr.OperationName AS "
         "OpType, es.StartTime, es.EndTime, es.TimeUOM AS EndTimeUOM, ec.Volume, ec.VolumeUOM, ec.Temperature, "
         "ec.TemperatureUOM   FROM ((EquipmentSchedule AS es INNER JOIN TextRecipe AS tr ON (tr.OperationID = "
         "es.OperationID AND tr.StepID = es.StepID)) INNER JOIN StepSummary AS ss ON ss.StepID = es.StepID) LEFT "
         "JOIN EquipmentContents AS ec ON ((es.EquipmentID = ec.EquipmentID) AND (es.BatchNumber = ec.BatchNumber) "
         "AND (es.OperationID = ec.OperationID) AND (es.UnitProcedureID = ec.UnitProcedureID) AND (es.StepID = "
         "ec.StepID)) ORDER BY es.EquipmentID, es.EndTime",
         "L BatchNumber, L EquipmentID, L StepID, T StepName, T StepVersionName, L UnitProcedureID, L OperationID, "
         "L OpSeqNum, L ProcSeqNum, T OpName, T RecipeText, T OpType, T UnitProcedureName, D StartTime, D EndTime, "
         "T EndTimeUOM, D Volume, T VolumeUOM, D Temperature, T TemperatureUOM"},
        {"CDaoEquipmentContents",
         "SELECT DISTINCT es.BatchNumber, puc.MaterialID, puc.MaterialName, esum.QLTag AS EquipmentName, "
         "esum.Capacity, esum.CapacityUOM, esum.MaxFillFactor, es.EquipmentID, es.UnitProcedureID, es.OperationID, "
         "es.StartTime, es.EndTime, es.TimeUOM, ec.Mass, ec.MassUOM, ec.Moles, ec.MolesUOM, ec.Volume, ec.VolumeUOM, "
         "tp.Phase, tp.MolarPhaseFraction, tp.MassPhaseFraction, tp.VolumePhaseFraction, pc.MassFraction, "
         "pc.MoleFraction, pc.VolumeFraction FROM ((( (EquipmentSchedule AS es INNER JOIN EquipmentSummary AS esum "
         "ON (es.EquipmentID = esum.EquipmentID)) LEFT JOIN EquipmentContents AS ec ON (es.EquipmentID = "
         "ec.EquipmentID)  AND (es.BatchNumber = ec.BatchNumber) AND (es.OperationID = ec.OperationID) AND "
         "(es.UnitProcedureID = ec.UnitProcedureID) AND (es.StepID = ec.StepID)) LEFT JOIN ThermodynamicPhase AS tp "
         "ON tp.ContentsID = ec.ContentsID) LEFT JOIN PhaseComponents AS pc ON pc.PhaseID = tp.PhaseID) LEFT JOIN "
         "PureComponents AS puc ON puc.MaterialID = pc.ComponentID WHERE esum.EquipmentType<>'Continuous' ORDER BY "
         "es.EquipmentID, es.StartTime",
         "L BatchNumber, L MaterialID, T MaterialName, T Phase, T EquipmentName, L EquipmentID, L UnitProcedureID, "
         "L OperationID, D StartTime, D EndTime, T TimeUOM, D Mass, T MassUOM, D Volume, T VolumeUOM, D Moles, "
         "T MolesUOM, D MassFraction, D MoleFraction, D VolumeFraction, D MassPhaseFraction, D VolumePhaseFraction, "
         "D MolarPhaseFraction, D Capacity, T CapacityUOM, D MaxFillFactor"},
        {"CDaoEquipmentProperties",
         "SELECT   esum.QLTag AS EquipmentName, ec.EquipmentID,  es.StartTime, es.TimeUOM AS StartTimeUOM, ec.Time AS "
         "EndTime, ec.TimeUOM AS EndTimeUOM, ec.Temperature, ec.TemperatureUOM, ec.Pressure, ec.PressureUOM, "
         "ec.AverageMolecularWeight, ec.AverageViscosity, ec.AverageViscosityUOM, ec.AverageHeatCapacity, "
         "ec.AverageHeatCapacityUOM, ec.AverageDensity, ec.AverageDensityUOM FROM (EquipmentContents AS ec LEFT JOIN "
         "EquipmentSummary AS esum ON ec.EquipmentID = esum.EquipmentID) LEFT JOIN EquipmentSchedule AS es ON "
         "(es.EquipmentID = ec.EquipmentID)  AND (es.BatchNumber = ec.BatchNumber) AND (es.OperationID = "
         "ec.OperationID) AND (es.UnitProcedureID = ec.UnitProcedureID) AND (es.StepID = ec.StepID) ORDER BY "
         "ec.EquipmentID, ec.Time",
         "T EquipmentName, L EquipmentID, D StartTime, T StartTimeUOM, D EndTime, T EndTimeUOM, D Temperature, "
         "T TemperatureUOM, D Pressure, T PressureUOM, D AverageMolecularWeight, D AverageViscosity, "
         "T AverageViscosityUOM, D AverageHeatCapacity, T AverageHeatCapacityUOM, D AverageDensity, "
         "T AverageDensityUOM"},
        {"CDaoPhaseComponents", "SELECT * FROM (" + savedQuery(db, "QryPhaseComponents") + ")",
         "L PhaseID, L ComponentID, D MassFraction, D MoleFraction, D VolumeFraction"},
        {"CDaoThermodynamicPhase", "SELECT * FROM (" + savedQuery(db, "QryThermodynamicPhase1") + ")",
         "L PhaseID, L CompositeContentsID, T Phase, D MassPhaseFraction, D MolarPhaseFraction, "
         "D VolumePhaseFraction"},
        {"CDaoStreamSet",
         "SELECT ss.StreamID, ss.BatchNumber, ss.StepID, ss.UnitProcedureID, ss.UnitProcedureName, ss.OperationID, "
         "ss.OperationName AS OpName, ss.UserLabel,tr.OperationName AS OpType, ss.MaterialName AS PrimaryMaterial, "
         "ss.StartTime, ss.StartTimeUOM,ss.EndTime, ss.EndTimeUOM,ss.FromEquipmentID, ss.ToEquipmentID,  "
         "ss.Temperature, ss.TemperatureUOM,ss.Pressure, ss.PressureUOM, ss.VolumetricFlowRate, "
         "ss.VolumetricFlowRateUOM,ss.Mass, ss.MassUOM,ss.Volume, ss.VolumeUOM, ss.Moles, ss.MolesUOM, "
         "ss.StreamCategoryID,tr.RecipeText FROM StreamSummary AS ss INNER JOIN TextRecipe AS tr ON tr.OperationID "
         "= ss.OperationID ORDER BY FromEquipmentID, ToEquipmentID,  StreamID, IconLocation",
         "L StreamID, L BatchNumber, T OpName, T UserLabel, T UnitProcedureName, L UnitProcedureID, L StepID, "
         "L OperationID, T OpType, T PrimaryMaterial, D StartTime, T StartTimeUOM, D EndTime, T EndTimeUOM, "
         "L FromEquipmentID, L ToEquipmentID, D Temperature, T TemperatureUOM, D Pressure, T PressureUOM, "
         "D VolumetricFlowRate, T VolumetricFlowRateUOM, D Mass, T MassUOM, D Volume, T VolumeUOM, D Moles, "
         "T MolesUOM, T RecipeText, L StreamCategoryID"},
        {"CDaoUtilitySummary",
         "SELECT us.UtilityID AS StreamID, us.UtilityName, us.BatchNumber, us.StepID, us.UnitProcedureID, "
         "us.UnitProcedureName, us.OperationID, us.OperationName AS OpName, us.UserLabel, tr.OperationName AS OpType, "
         "us.StartTime, us.StartTimeUOM, us.EndTime, us.EndTimeUOM, us.EquipmentID AS ToEquipmentID, "
         "us.InletTemperature, us.InletTemperatureUOM AS TemperatureUOM, us.OutletTemperature, us.InletPressure, "
         "us.InletPressureUOM AS PressureUOM, us.OutletPressure, us.Moles, us.MolesUOM, us.Volume, us.VolumeUOM, "
         "us.VolumetricFlowRate, us.VolumetricFlowRateUOM, us.Mass, us.MassUOM, us.HeatDuty, us.HeatDutyUOM, "
         "us.StreamCategoryID, us.UtilityName AS PrimaryMaterial FROM UtilitySummary AS us INNER JOIN TextRecipe AS "
         "tr ON tr.OperationID = us.OperationID",
         "L StreamID, T UtilityName, L BatchNumber, L StepID, L UnitProcedureID, T UnitProcedureName, L OperationID, "
         "T OpName, T UserLabel, T OpType, D StartTime, T StartTimeUOM, D EndTime, T EndTimeUOM, L ToEquipmentID, "
         "D InletTemperature, T TemperatureUOM, D OutletTemperature, D InletPressure, T PressureUOM, "
         "D OutletPressure, D Moles, T MolesUOM, D Volume, T VolumeUOM, D VolumetricFlowRate, "
         "T VolumetricFlowRateUOM, D Mass, T MassUOM, D HeatDuty, T HeatDutyUOM, L StreamCategoryID, "
         "T PrimaryMaterial"},
        {"CDaoVaporSummary",
         "SELECT aes.AirEmissionID AS StreamID, aes.BatchNumber, aes.StepID, aes.UnitProcedureID, "
         "aes.UnitProcedureName, aes.OperationID, aes.OperationName AS OpName, aes.UserLabel, tr.OperationName AS "
         "OpType, aes.StartTime, aes.StartTimeUOM, aes.EndTime, aes.EndTimeUOM, aes.FromEquipmentID, "
         "aes.ToEquipmentID, aes.Temperature, aes.TemperatureUOM,  aes.Pressure, aes.PressureUOM,  aes.Moles, "
         "aes.MolesUOM, aes.Volume, aes.VolumeUOM, aes.VolumetricFlowRate, aes.VolumetricFlowRateUOM, aes.Mass, "
         "aes.MassUOM,  aes.StreamCategoryID FROM AirEmissionSummary AS aes INNER JOIN TextRecipe AS tr ON "
         "tr.OperationID = aes.OperationID WHERE aes.Mass>0",
         "L BatchNumber, D EndTime, T EndTimeUOM, L FromEquipmentID, L ToEquipmentID, D Mass, T MassUOM, D Moles, "
         "T MolesUOM, L OperationID, T OpName, T OpType, D Pressure, T PressureUOM, D StartTime, T StartTimeUOM, "
         "L StepID, L StreamCategoryID, L StreamID, D Temperature, T TemperatureUOM, L UnitProcedureID, "
         "T UnitProcedureName, T UserLabel, D Volume, D VolumetricFlowRate, T VolumetricFlowRateUOM, T VolumeUOM"},
        {"CDaoStreamContents",
         "SELECT DISTINCT ss.FromEquipmentID, ss.ToEquipmentID, ss.BatchNumber, puc.MaterialID, puc.MaterialName,  "
         "ss.StreamID, ss.UnitProcedureID, ss.OperationID, ss.StartTime, ss.EndTime, ss.EndTimeUOM AS TimeUOM, "
         "ss.Mass, ss.MassUOM, ss.Moles, ss.MolesUOM, ss.Volume, ss.VolumeUOM, 0.0 AS HeatDuty, '' AS HeatDutyUOM, "
         "tp.Phase, tp.MolarPhaseFraction, tp.MassPhaseFraction, tp.VolumePhaseFraction, pc.MassFraction, "
         "pc.MoleFraction, pc.VolumeFraction FROM (((StreamSummary AS ss )  LEFT JOIN ThermodynamicPhase AS tp ON "
         "tp.StreamID = ss.StreamID) LEFT JOIN PhaseComponents AS pc ON pc.PhaseID = tp.PhaseID) LEFT JOIN "
         "PureComponents AS puc ON puc.MaterialID = pc.ComponentID ORDER BY ss.StreamID, ss.EndTime",
         base},
        {"CDaoUtilityContents",
         "SELECT DISTINCT us.EquipmentID AS ToEquipmentID, 0 AS FromEquipmentID, us.BatchNumber, pc.ComponentID AS "
         "MaterialID, us.UtilityName AS MaterialName,  us.UtilityID AS StreamID, us.UnitProcedureID, "
         "us.OperationID, us.StartTime, us.EndTime, us.EndTimeUOM AS TimeUOM,  us.Mass, us.MassUOM, us.Moles, "
         "us.MolesUOM, us.Volume, us.VolumeUOM, us.HeatDuty, us.HeatDutyUOM, tp.Phase, tp.MolarPhaseFraction, "
         "tp.MassPhaseFraction, tp.VolumePhaseFraction, pc.MassFraction, pc.MoleFraction, pc.VolumeFraction FROM "
         "(((UtilitySummary AS us )  LEFT JOIN ThermodynamicPhase AS tp ON tp.UtilityID = us.UtilityID) LEFT JOIN "
         "PhaseComponents AS pc ON pc.PhaseID = tp.PhaseID)  LEFT JOIN PureComponents AS puc ON puc.MaterialID = "
         "pc.ComponentID ORDER BY us.UtilityID, us.EndTime",
         base},
        {"CDaoVaporContents",
         "SELECT DISTINCT aes.FromEquipmentID, aes.ToEquipmentID, aes.BatchNumber, puc.MaterialID, puc.MaterialName, "
         " aes.AirEmissionID AS StreamID, aes.UnitProcedureID, aes.OperationID, aes.StartTime, aes.EndTime, "
         "aes.EndTimeUOM AS TimeUOM, aes.Mass, aes.MassUOM, aes.Moles, aes.MolesUOM, aes.Volume, aes.VolumeUOM,0.0 "
         "AS HeatDuty, '' AS HeatDutyUOM, tp.Phase, tp.MolarPhaseFraction, tp.MassPhaseFraction, "
         "tp.VolumePhaseFraction, pc.MassFraction, pc.MoleFraction, pc.VolumeFraction FROM (((AirEmissionSummary AS "
         "aes )  LEFT JOIN ThermodynamicPhase AS tp ON tp.AirEmissionID = aes.AirEmissionID) LEFT JOIN "
         "PhaseComponents AS pc ON pc.PhaseID = tp.PhaseID) LEFT JOIN PureComponents AS puc ON puc.MaterialID = "
         "pc.ComponentID WHERE aes.Mass>0 ORDER BY aes.AirEmissionID, aes.EndTime",
         base},
        {"CDaoBufferTankContents", "SELECT * FROM \"CompositeContents\"",
         "L CompositeContentsID, L EquipmentID, D Time, T TimeUOM, D Moles, T MolesUOM, D Volume, T VolumeUOM, "
         "D Mass, T MassUOM"},
        {"CDaoCompositeStream",
         "SELECT ss.StreamCategoryID, ss.BatchNumber, puc.MaterialID, puc.MaterialName, tp.Phase,  esfrom.QLTag AS "
         "FromEqName, esfrom.Category AS FromType, ss.FromEquipmentID, esto.QLTag AS ToEqName, esto.Category AS "
         "ToType, ss.ToEquipmentID,   ss.StartTime, ss.EndTime, ss.EndTimeUOM,  ss.Mass, ss.MassUOM, ss.Volume, "
         "ss.VolumeUOM, ss.Moles, ss.MolesUOM,  tp.MassPhaseFraction, tp.MolarPhaseFraction, "
         "tp.VolumePhaseFraction,  pc.MassFraction, pc.MoleFraction, pc.VolumeFraction FROM ((((StreamSummary AS ss "
         "LEFT JOIN EquipmentSummary AS esfrom ON esfrom.EquipmentID = ss.FromEquipmentID) LEFT JOIN "
         "EquipmentSummary AS esto ON esto.EquipmentID = ss.ToEquipmentID) INNER JOIN ThermodynamicPhase AS tp ON "
         "tp.StreamID = ss.StreamID) INNER JOIN PhaseComponents AS pc ON pc.PhaseID = tp.PhaseID) INNER JOIN "
         "PureComponents AS puc ON puc.MaterialID = pc.ComponentID WHERE (esto.Category ='Inventory Location' OR "
         "esfrom.Category='Inventory Location' OR esto.Category ='Inventory Location - Vapor' OR "
         "esfrom.Category='Inventory Location - Vapor' OR ss.ToEquipmentID IS NULL OR ss.FromEquipmentID IS NULL) "
         "ORDER BY FromEquipmentID, ToEquipmentID, ss.StreamID",
         "L BatchNumber, D EndTime, T EndTimeUOM, T FromEqName, L FromEquipmentID, T FromType, D Mass, T MassUOM, "
         "L MaterialID, T MaterialName, D Moles, T MolesUOM, T Phase, D StartTime, L StreamCategoryID, T ToEqName, "
         "L ToEquipmentID, T ToType, D Volume, T VolumeUOM, D MassPhaseFraction, D MolarPhaseFraction, "
         "D VolumePhaseFraction, D MassFraction, D MoleFraction, D VolumeFraction"},
        {"CDaoCompVapor",
         "SELECT aes.BatchNumber, puc.MaterialID, puc.MaterialName, tp.Phase,esfrom.QLTag AS FromEqName, "
         "esfrom.Category AS FromType, aes.FromEquipmentID, aes.StartTime, aes.EndTime, aes.EndTimeUOM AS TimeUOM, "
         "aes.Mass, aes.MassUOM, aes.Volume, aes.VolumeUOM, aes.Moles, aes.MolesUOM,pc.MassFraction, "
         "pc.MoleFraction, pc.VolumeFraction, tp.MassPhaseFraction, tp.MolarPhaseFraction, tp.VolumePhaseFraction "
         "FROM (((AirEmissionSummary AS aes LEFT JOIN EquipmentSummary AS esfrom ON esfrom.EquipmentID = "
         "aes.FromEquipmentID) INNER JOIN ThermodynamicPhase AS tp ON tp.AirEmissionID = aes.AirEmissionID) INNER "
         "JOIN PhaseComponents AS pc ON pc.PhaseID = tp.PhaseID) INNER JOIN PureComponents AS puc ON puc.MaterialID "
         "= pc.ComponentID WHERE aes.AirEmissionControl <> 'After Condenser' ORDER BY FromEquipmentID, aes.EndTime",
         "L BatchNumber, L MaterialID, T MaterialName, T Phase, T FromEqName, T FromType, L FromEquipmentID, "
         "D StartTime, D EndTime, T TimeUOM, D Mass, T MassUOM, D Volume, T VolumeUOM, D Moles, T MolesUOM, "
         "D MassPhaseFraction, D MolarPhaseFraction, D VolumePhaseFraction, D MassFraction, D MoleFraction, "
         "D VolumeFraction"},
        {"CDaoCompositeLabor",
         "SELECT ls.StepID, ls.BatchNumber, ls.OperationID, ls.StartTime, ls.EndTime, ls.EndTimeUOM AS TimeUOM, "
         "ls.NumberOfOperators, ls.LaborGradeID, lc.LaborGrade FROM LaborSummary AS ls LEFT JOIN LaborCategory AS lc "
         "ON lc.LaborGradeID = ls.LaborGradeID",
         "L StepID, L LaborGradeID, L BatchNumber, L OperationID, D StartTime, D EndTime, T TimeUOM, "
         "D NumberOfOperators, T LaborGrade"},
        {"DaoUtilityComposite",
         "SELECT us.StepID, us.BatchNumber, pc.ComponentID AS UtilityID, us.UtilityName, us.OperationID, "
         "us.EquipmentID, es.QLTAg AS EquipmentName, us.StartTime, us.EndTime, us.EndTimeUOM AS TimeUOM, us.Volume, "
         "us.VolumeUOM, us.Mass, us.MassUOM, us.HeatDuty, us.HeatDutyUOM  FROM ((UtilitySummary AS us  LEFT JOIN "
         "EquipmentSummary AS es ON us.EquipmentID = es.EquipmentID) INNER JOIN ThermodynamicPhase AS tp ON "
         "tp.UtilityID = us.UtilityID) INNER JOIN PhaseComponents AS pc ON pc.PhaseID = tp.PhaseID ORDER BY "
         "us.UtilityID",
         "L StepID, L BatchNumber, L UtilityID, T UtilityName, L OperationID, L EquipmentID, T EquipmentName, "
         "D StartTime, D EndTime, T TimeUOM, D Volume, T VolumeUOM, D Mass, T MassUOM, D HeatDuty, T HeatDutyUOM"},
    };
}

std::vector<std::pair<std::string, std::string>> parseColumns(const std::string& spec)
{
    std::vector<std::pair<std::string, std::string>> out;
    std::istringstream in(spec);
    std::string item;
    while (std::getline(in, item, ',')) {
        std::istringstream words(item);
        std::string type, name;
        words >> type >> name;
        out.emplace_back(type, name);
    }
    return out;
}

void bindSavedQueryParameters(sqlite3_stmt* stmt, const Db& db)
{
    const long long phase =
        db.count("SELECT min(PhaseID) FROM ThermodynamicPhase WHERE CompositeContentsID IS NOT NULL");
    const long long composite = db.count("SELECT min(CompositeContentsID) FROM ThermodynamicPhase");
    if (int i = sqlite3_bind_parameter_index(stmt, ":pid")) sqlite3_bind_int64(stmt, i, phase);
    if (int i = sqlite3_bind_parameter_index(stmt, ":sid")) sqlite3_bind_int64(stmt, i, 0);
    if (int i = sqlite3_bind_parameter_index(stmt, ":CompositeID")) sqlite3_bind_int64(stmt, i, composite);
    if (int i = sqlite3_bind_parameter_index(stmt, ":aid")) sqlite3_bind_int64(stmt, i, 0);
}

TEST(SampleDatabase, EveryRecordsetQueryYieldsRowsOfItsBoundColumnsWithTheirTypes)
{
    Db db(test::SampleDatabasePath());
    for (const RecordsetQuery& q : recordsetQueries(db)) {
        SCOPED_TRACE(q.name);
        sqlite3_stmt* stmt = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db.handle(), q.sql.c_str(), -1, &stmt, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db.handle());
        bindSavedQueryParameters(stmt, db);
        std::map<std::string, int> byName;
        for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
            std::string name = sqlite3_column_name(stmt, i);
            std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
            byName.emplace(name, i); // the first column of a name is the one bound
        }
        const auto columns = parseColumns(q.columns);
        std::vector<int> index;
        for (const auto& [type, name] : columns) {
            std::string lower = name;
            std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
            const auto found = byName.find(lower);
            EXPECT_NE(found, byName.end()) << "no column " << name;
            index.push_back(found == byName.end() ? -1 : found->second);
        }
        long long rows = 0;
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            ++rows;
            for (std::size_t c = 0; c < columns.size(); ++c) {
                if (index[c] < 0) continue;
                const int t = sqlite3_column_type(stmt, index[c]);
                if (t == SQLITE_NULL) continue;
                const std::string& type = columns[c].first;
                const std::string& name = columns[c].second;
                if (type == "L" || type == "S") {
                    ASSERT_EQ(t, SQLITE_INTEGER) << name << " in row " << rows;
                    const long long v = sqlite3_column_int64(stmt, index[c]);
                    const long long limit = type == "S" ? 32767 : 2147483647;
                    ASSERT_LE(std::llabs(v), limit) << name;
                } else if (type == "D") {
                    ASSERT_TRUE(t == SQLITE_INTEGER || t == SQLITE_FLOAT) << name << " in row " << rows;
                } else if (type == "T") {
                    ASSERT_EQ(t, SQLITE_TEXT) << name << " in row " << rows;
                } else {
                    ASSERT_EQ(t, SQLITE_TEXT) << name;
                    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, index[c]));
                    ASSERT_EQ(COleDateTime::FromIso(CString(text)).GetStatus(), COleDateTime::valid) << text;
                }
            }
        }
        EXPECT_EQ(rc, SQLITE_DONE) << sqlite3_errmsg(db.handle());
        EXPECT_GT(rows, 0);
        sqlite3_finalize(stmt);
    }
}

TEST(SampleDatabase, JoinsReachInnerTablesThroughIndexesAndOrderingNeedsNoSort)
{
    Db db(test::SampleDatabasePath());
    for (const RecordsetQuery& q : recordsetQueries(db)) {
        SCOPED_TRACE(q.name);
        std::vector<std::string> plan;
        sqlite3_stmt* stmt = nullptr;
        const std::string explain = "EXPLAIN QUERY PLAN " + q.sql;
        ASSERT_EQ(sqlite3_prepare_v2(db.handle(), explain.c_str(), -1, &stmt, nullptr), SQLITE_OK);
        while (sqlite3_step(stmt) == SQLITE_ROW)
            plan.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 3)));
        sqlite3_finalize(stmt);
        // The saved queries look up the rows of one owner: no scan at all (their
        // ORDER BY sorts those few rows).
        const bool lookup = q.sql.find(":pid") != std::string::npos || q.sql.find(":sid") != std::string::npos;
        int scans = 0;
        for (const std::string& line : plan) {
            if (!lookup) {
                EXPECT_EQ(line.find("FOR ORDER BY"), std::string::npos) << line;
            }
            if (line.rfind("SCAN ", 0) != 0) continue;
            EXPECT_FALSE(lookup) << line;
            // The outer table is scanned; an inner table may be only when it is a
            // catalog of a few rows, which SQLite rightly prefers to read whole.
            if (scans++ == 0) continue;
            const std::string alias = line.substr(5, line.find(' ', 5) - 5);
            std::string table = alias;
            const std::regex aliasOf("(\\w+)\\s+as\\s+" + alias + "\\b", std::regex::icase);
            std::smatch m;
            if (std::regex_search(q.sql, m, aliasOf)) table = m[1];
            EXPECT_LT(db.count("SELECT count(*) FROM " + table), 50) << "inner table scanned: " << line;
        }
        EXPECT_TRUE(lookup || scans >= 1);
    }
}

TEST(SampleDatabase, SavedQueriesDeliverThePhasesAndComponentsAskedFor)
{
    Db db(test::SampleDatabasePath());
    EXPECT_EQ(db.text("SELECT Parameters FROM SavedQueries WHERE Name = 'QryPhaseComponents'"), "pid Long");
    EXPECT_EQ(db.text("SELECT Parameters FROM SavedQueries WHERE Name = 'qrythermodynamicphase1'"),
              "sid Long, CompositeID Long, aid Long")
        << "names are looked up without regard to case";

    auto run = [&](const std::string& sql, std::map<std::string, long long> params) {
        std::vector<std::vector<long long>> rows;
        sqlite3_stmt* stmt = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db.handle(), sql.c_str(), -1, &stmt, nullptr), SQLITE_OK);
        for (const auto& [name, value] : params) {
            const int i = sqlite3_bind_parameter_index(stmt, (":" + name).c_str());
            EXPECT_GT(i, 0) << name;
            sqlite3_bind_int64(stmt, i, value);
        }
        while (sqlite3_step(stmt) == SQLITE_ROW)
            rows.push_back({sqlite3_column_int64(stmt, 0), sqlite3_column_int64(stmt, 1)});
        sqlite3_finalize(stmt);
        return rows;
    };
    const std::string phases = savedQuery(db, "QryThermodynamicPhase1");
    // (An empty tank's record has no phases; take one that holds material.)
    const long long composite = db.count("SELECT max(CompositeContentsID) FROM ThermodynamicPhase");
    const auto byComposite = run(phases, {{"sid", 0}, {"CompositeID", composite}, {"aid", 0}});
    ASSERT_FALSE(byComposite.empty());
    EXPECT_EQ(
        static_cast<long long>(byComposite.size()),
        db.count("SELECT count(*) FROM ThermodynamicPhase WHERE CompositeContentsID = " + std::to_string(composite)));
    for (const auto& row : byComposite)
        EXPECT_EQ(row[1], composite);

    const long long stream = db.count("SELECT min(StreamID) FROM ThermodynamicPhase");
    const auto byStream = run(phases, {{"sid", stream}, {"CompositeID", 0}, {"aid", 0}});
    EXPECT_EQ(static_cast<long long>(byStream.size()),
              db.count("SELECT count(*) FROM ThermodynamicPhase WHERE StreamID = " + std::to_string(stream)));
    EXPECT_TRUE(run(phases, {{"sid", 0}, {"CompositeID", 0}, {"aid", 0}}).empty())
        << "zero parameters select nothing, not the phases whose owner column is unset";

    const long long phase = byComposite.front()[0];
    const auto components = run(savedQuery(db, "QryPhaseComponents"), {{"pid", phase}});
    ASSERT_FALSE(components.empty());
    EXPECT_EQ(static_cast<long long>(components.size()),
              db.count("SELECT count(*) FROM PhaseComponents WHERE PhaseID = " + std::to_string(phase)));
    for (const auto& row : components)
        EXPECT_EQ(row[0], phase);
}

// ---- generation ------------------------------------------------------------

// A digest of every table: row count and a hash of all values in stored order.
std::map<std::string, std::pair<long long, std::uint64_t>> digest(const fs::path& path)
{
    Db db(path);
    std::vector<std::string> tables;
    db.each("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%' ORDER BY name",
            [&](sqlite3_stmt* s) { tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s, 0))); });
    std::map<std::string, std::pair<long long, std::uint64_t>> out;
    for (const std::string& table : tables) {
        long long rows = 0;
        std::uint64_t h = 1469598103934665603ull;
        auto mix = [&](const void* data, std::size_t n) {
            const auto* p = static_cast<const unsigned char*>(data);
            for (std::size_t i = 0; i < n; ++i)
                h = (h ^ p[i]) * 1099511628211ull;
        };
        db.each("SELECT * FROM \"" + table + "\"", [&](sqlite3_stmt* s) {
            ++rows;
            for (int c = 0; c < sqlite3_column_count(s); ++c) {
                const int type = sqlite3_column_type(s, c);
                mix(&type, sizeof type);
                if (type == SQLITE_FLOAT) {
                    const double d = sqlite3_column_double(s, c);
                    mix(&d, sizeof d);
                } else if (type != SQLITE_NULL) {
                    mix(sqlite3_column_text(s, c), static_cast<std::size_t>(sqlite3_column_bytes(s, c)));
                }
            }
        });
        out[table] = {rows, h};
    }
    return out;
}

TEST(SampleGenerator, TheSameSeedGivesIdenticalTablesAndAnotherSeedDifferentOnes)
{
    test::TempDir dir;
    GenerateSampleDatabase(dir.file("again.db"), SampleOptions{});
    SampleOptions other;
    other.seed = 2;
    GenerateSampleDatabase(dir.file("other.db"), other);

    const auto shared = digest(test::SampleDatabasePath());
    EXPECT_EQ(digest(dir.file("again.db")), shared);
    const auto different = digest(dir.file("other.db"));
    // The plant is the same; the run is not.
    EXPECT_EQ(different.at("EquipmentSummary"), shared.at("EquipmentSummary"));
    EXPECT_EQ(different.at("TextRecipe"), shared.at("TextRecipe"));
    EXPECT_NE(different.at("EquipmentSchedule"), shared.at("EquipmentSchedule"));
    EXPECT_NE(different.at("StreamSummary"), shared.at("StreamSummary"));
    EXPECT_NE(different.at("EquipmentContents"), shared.at("EquipmentContents"));
}

TEST(SampleGenerator, BatchesAndStreamsGrowInProportionToTheScale)
{
    test::TempDir dir;
    SampleOptions two;
    two.scale = 2;
    const SampleSummary summary = GenerateSampleDatabase(dir.file("two.db"), two);
    Db one(test::SampleDatabasePath());
    Db db(dir.file("two.db"));
    const long long streams = one.count("SELECT count(*) FROM StreamSummary");
    EXPECT_EQ(db.count("SELECT count(*) FROM StreamSummary"), 2 * streams);
    EXPECT_EQ(summary.streams, 2 * streams);
    EXPECT_EQ(db.count("SELECT min(NumberOfBatches) FROM ProductionPlanSummary"),
              2 * one.count("SELECT min(NumberOfBatches) FROM ProductionPlanSummary"));
    EXPECT_EQ(SampleBatchesPerStep(2), db.count("SELECT max(NumberOfBatches) FROM StepSummary"));
    EXPECT_GE(100 * streams, 1000000) << "--scale 100 must give a million stream rows";
    EXPECT_LE(SampleBatchesPerStep(SampleOptions::kMaxScale), 32767) << "NumberOfBatches is read as a short";
}

TEST(SampleGenerator, RefusesBadScalesAndExistingFiles)
{
    test::TempDir dir;
    for (int scale : {0, -1, SampleOptions::kMaxScale + 1}) {
        SampleOptions o;
        o.scale = scale;
        try {
            GenerateSampleDatabase(dir.file("bad.db"), o);
            ADD_FAILURE() << "scale " << scale << " accepted";
        } catch (const SampleGeneratorError& e) {
            EXPECT_NE(std::string(e.what()).find("scale"), std::string::npos) << e.what();
        }
        EXPECT_FALSE(fs::exists(dir.file("bad.db")));
    }
    {
        std::ofstream(dir.file("taken.db")) << "keep me";
    }
    try {
        GenerateSampleDatabase(dir.file("taken.db"));
        ADD_FAILURE() << "an existing file was overwritten";
    } catch (const SampleGeneratorError& e) {
        EXPECT_NE(std::string(e.what()).find("already exists"), std::string::npos) << e.what();
    }
    EXPECT_EQ(slurp(dir.file("taken.db")), "keep me");
}

TEST(SampleGenerator, ReportsProgressUpToCompletion)
{
    test::TempDir dir;
    std::vector<double> shares;
    SampleOptions o;
    o.progress = [&](double share) { shares.push_back(share); };
    GenerateSampleDatabase(dir.file("p.db"), o);
    ASSERT_GE(shares.size(), 3u);
    EXPECT_TRUE(std::is_sorted(shares.begin(), shares.end()));
    EXPECT_GE(shares.front(), 0.0);
    EXPECT_EQ(shares.back(), 1.0);
}

// ---- consistency of the simulated run -----------------------------------------

struct ScheduleRow {
    long long equipment, step, batch, op;
    long long start, end; // seconds
    std::string type;
};

std::vector<ScheduleRow> scheduleRows(const Db& db, const char* where = "")
{
    std::vector<ScheduleRow> rows;
    db.each(std::string("SELECT es.EquipmentID, es.StepID, es.BatchNumber, es.OperationID, es.StartTime, es.EndTime, "
                        "tr.OperationName FROM EquipmentSchedule es JOIN TextRecipe tr USING (OperationID) "
                        "JOIN EquipmentSummary e ON e.EquipmentID = es.EquipmentID ") +
                where,
            [&](sqlite3_stmt* s) {
                rows.push_back({sqlite3_column_int64(s, 0), sqlite3_column_int64(s, 1), sqlite3_column_int64(s, 2),
                                sqlite3_column_int64(s, 3), std::llround(sqlite3_column_double(s, 4) * 3600),
                                std::llround(sqlite3_column_double(s, 5) * 3600),
                                reinterpret_cast<const char*>(sqlite3_column_text(s, 6))});
            });
    return rows;
}

TEST(SampleConsistency, OperationsInOneVesselDoNotOverlapExceptSamplesTakenDuringReactions)
{
    Db db(test::SampleDatabasePath());
    auto rows = scheduleRows(db, "WHERE e.EquipmentType <> 'Continuous'");
    ASSERT_FALSE(rows.empty());
    std::sort(rows.begin(), rows.end(), [](const ScheduleRow& a, const ScheduleRow& b) {
        return std::tie(a.equipment, a.start, a.end) < std::tie(b.equipment, b.start, b.end);
    });
    int designed = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_LT(rows[i].start, rows[i].end) << "operation " << rows[i].op;
        for (std::size_t j = i + 1;
             j < rows.size() && rows[j].equipment == rows[i].equipment && rows[j].start < rows[i].end; ++j) {
            const bool sampleInReaction = (rows[i].type == "React" && rows[j].type == "Sample" &&
                                           rows[i].batch == rows[j].batch && rows[j].end <= rows[i].end);
            EXPECT_TRUE(sampleInReaction) << "equipment " << rows[i].equipment << ": " << rows[i].type << " (op "
                                          << rows[i].op << ", batch " << rows[i].batch << ") overlaps " << rows[j].type
                                          << " (op " << rows[j].op << ", batch " << rows[j].batch << ")";
            designed += sampleInReaction;
        }
    }
    EXPECT_GT(designed, 0) << "the parallel sampling operations are part of the design";

    // The continuous condenser serves two reactors and may run for both at once.
    auto condenser = scheduleRows(db, "WHERE e.EquipmentType = 'Continuous' ORDER BY es.StartTime");
    int parallel = 0;
    for (std::size_t i = 1; i < condenser.size(); ++i)
        parallel += condenser[i].start < condenser[i - 1].end;
    EXPECT_GT(parallel, 0);
}

TEST(SampleConsistency, PhaseAndComponentFractionsSumToOne)
{
    Db db(test::SampleDatabasePath());
    for (const char* owner : {"ContentsID", "StreamID", "UtilityID", "AirEmissionID", "CompositeContentsID"}) {
        SCOPED_TRACE(owner);
        const std::string o = owner;
        EXPECT_GT(db.count("SELECT count(*) FROM ThermodynamicPhase WHERE " + o + " IS NOT NULL"), 0);
        EXPECT_EQ(db.count("SELECT count(*) FROM (SELECT " + o + " FROM ThermodynamicPhase WHERE " + o +
                           " IS NOT NULL GROUP BY " + o +
                           " HAVING abs(sum(MassPhaseFraction) - 1) > 1e-9 OR abs(sum(MolarPhaseFraction) - 1) > 1e-9"
                           " OR abs(sum(VolumePhaseFraction) - 1) > 1e-9)"),
                  0);
    }
    EXPECT_EQ(db.count("SELECT count(*) FROM ThermodynamicPhase WHERE (ContentsID IS NOT NULL) + (StreamID IS NOT NULL)"
                       " + (UtilityID IS NOT NULL) + (AirEmissionID IS NOT NULL) + (CompositeContentsID IS NOT NULL)"
                       " <> 1"),
              0)
        << "every phase has exactly one owner";
    EXPECT_EQ(db.count("SELECT count(*) FROM (SELECT PhaseID FROM PhaseComponents GROUP BY PhaseID HAVING "
                       "abs(sum(MassFraction) - 1) > 1e-9 OR abs(sum(MoleFraction) - 1) > 1e-9 OR "
                       "abs(sum(VolumeFraction) - 1) > 1e-9)"),
              0);
    EXPECT_EQ(db.count("SELECT count(*) FROM ThermodynamicPhase tp WHERE NOT EXISTS "
                       "(SELECT 1 FROM PhaseComponents pc WHERE pc.PhaseID = tp.PhaseID)"),
              0);
    EXPECT_EQ(db.count("SELECT count(*) FROM PhaseComponents WHERE MassFraction NOT BETWEEN 0 AND 1 OR MoleFraction "
                       "NOT BETWEEN 0 AND 1 OR VolumeFraction NOT BETWEEN 0 AND 1"),
              0);
}

TEST(SampleConsistency, VolumesStayWithinCapacityExceptTheOneOverflowBatch)
{
    Db db(test::SampleDatabasePath());
    const std::string over = std::string("FROM EquipmentContents c JOIN EquipmentSummary e USING (EquipmentID) "
                                         "WHERE c.Volume > ") +
                             kCapacityLiters;
    EXPECT_EQ(db.count("SELECT count(*) FROM EquipmentSummary e WHERE " + std::string(kCapacityLiters) + " IS NULL"), 0)
        << "every capacity unit is one the check knows";
    ASSERT_EQ(db.count("SELECT count(*) " + over), 1);
    EXPECT_EQ(db.text("SELECT e.QLTag || ' step ' || c.StepID || ' batch ' || c.BatchNumber " + over),
              "R-103 step 2 batch 3");
    // Apart from that batch, vessels stay within their fill limits.
    EXPECT_EQ(db.count(std::string("SELECT count(*) FROM EquipmentContents c JOIN EquipmentSummary e USING "
                                   "(EquipmentID) WHERE c.Volume > e.MaxFillFactor * ") +
                       kCapacityLiters + " AND NOT (c.StepID = 2 AND c.BatchNumber = 3)"),
              0);
    EXPECT_EQ(db.count("SELECT count(*) FROM EquipmentContents WHERE Volume < 0 OR Mass < 0 OR Moles < 0"), 0);
}

TEST(SampleConsistency, EveryEquipmentReferenceExistsOrIsNull)
{
    Db db(test::SampleDatabasePath());
    const std::vector<std::pair<std::string, std::string>> refs = {
        {"StreamSummary", "FromEquipmentID"},      {"StreamSummary", "ToEquipmentID"},
        {"AirEmissionSummary", "FromEquipmentID"}, {"AirEmissionSummary", "ToEquipmentID"},
        {"UtilitySummary", "EquipmentID"},         {"EquipmentSchedule", "EquipmentID"},
        {"EquipmentContents", "EquipmentID"},      {"CompositeContents", "EquipmentID"},
        {"LaborSummary", "EquipmentID"},           {"StepSummary", "TimeLimitingEquipmentID"}};
    for (const auto& [table, column] : refs) {
        EXPECT_EQ(db.count("SELECT count(*) FROM " + table + " t WHERE t." + column +
                           " IS NOT NULL AND NOT EXISTS (SELECT 1 FROM EquipmentSummary e WHERE e.EquipmentID = t." +
                           column + ")"),
                  0)
            << table << "." << column;
    }
    EXPECT_EQ(db.count("SELECT count(*) FROM StreamSummary WHERE FromEquipmentID IS NULL AND ToEquipmentID IS NULL"), 0)
        << "no stream comes from and goes to outside the plant";
    EXPECT_EQ(db.count("SELECT count(*) FROM StreamSummary ss WHERE NOT EXISTS (SELECT 1 FROM TextRecipe tr WHERE "
                       "tr.OperationID = ss.OperationID AND tr.StepID = ss.StepID AND tr.UnitProcedureID = "
                       "ss.UnitProcedureID)"),
              0);
    EXPECT_EQ(db.count("SELECT count(*) FROM EquipmentSummary e WHERE CalendarID IS NOT NULL AND NOT EXISTS (SELECT 1 "
                       "FROM Calendars c WHERE c.CalendarID = e.CalendarID)"),
              0);
    EXPECT_EQ(db.count("SELECT count(*) FROM StepSummary s WHERE KeyOutputIntermediateID IS NOT NULL AND NOT EXISTS "
                       "(SELECT 1 FROM PureComponents p WHERE p.MaterialID = s.KeyOutputIntermediateID)"),
              0);
}

TEST(SampleConsistency, VesselContentsFollowWhatFlowsInAndOut)
{
    Db db(test::SampleDatabasePath());
    // Mass changes of every vessel: streams and vapor emissions, at the end of their interval.
    std::map<long long, std::vector<std::pair<long long, double>>> flows; // equipment → (second, kg)
    auto collect = [&](const std::string& table, double secondsPerUnit) {
        db.each("SELECT FromEquipmentID, ToEquipmentID, EndTime, Mass FROM " + table, [&](sqlite3_stmt* s) {
            const long long at = std::llround(sqlite3_column_double(s, 2) * secondsPerUnit);
            const double kg = sqlite3_column_double(s, 3);
            if (sqlite3_column_type(s, 0) != SQLITE_NULL) flows[sqlite3_column_int64(s, 0)].emplace_back(at, -kg);
            if (sqlite3_column_type(s, 1) != SQLITE_NULL) flows[sqlite3_column_int64(s, 1)].emplace_back(at, kg);
        });
    };
    collect("StreamSummary", 60.0);
    collect("AirEmissionSummary", 60.0);
    for (auto& [equipment, list] : flows)
        std::sort(list.begin(), list.end());

    auto check = [&](const std::string& sql, double secondsPerUnit) {
        long long checked = 0;
        std::map<long long, std::pair<std::size_t, double>> cursor; // equipment → (next flow, running mass)
        std::map<long long, double> throughput;
        db.each(sql, [&](sqlite3_stmt* s) {
            const long long e = sqlite3_column_int64(s, 0);
            const long long at = std::llround(sqlite3_column_double(s, 1) * secondsPerUnit);
            const double mass = sqlite3_column_double(s, 2);
            auto& [next, running] = cursor[e];
            const auto& list = flows[e];
            for (; next < list.size() && list[next].first <= at; ++next) {
                running += list[next].second;
                throughput[e] += std::abs(list[next].second);
            }
            ASSERT_NEAR(mass, running, 1e-6 * (1.0 + throughput[e])) << "equipment " << e << " at " << at << " s";
            ++checked;
        });
        return checked;
    };
    EXPECT_GT(check("SELECT c.EquipmentID, c.Time, c.Mass FROM EquipmentContents c JOIN EquipmentSummary e USING "
                    "(EquipmentID) WHERE e.EquipmentType <> 'Continuous' ORDER BY c.EquipmentID, c.Time, c.ContentsID",
                    60.0),
              1000);
    // Buffer tanks, with or without operations of their own, through their composite records.
    EXPECT_GT(check("SELECT EquipmentID, Time, Mass FROM CompositeContents ORDER BY EquipmentID, Time, "
                    "CompositeContentsID",
                    3600.0),
              100);
    // The condenser holds nothing between operations: what comes in goes out.
    EXPECT_EQ(db.count("SELECT count(*) FROM EquipmentContents c JOIN EquipmentSummary e USING (EquipmentID) WHERE "
                       "e.EquipmentType = 'Continuous' AND c.Mass <> 0"),
              0);
}

TEST(SampleConsistency, RowsOfOneOperationAgreeOnItsIntervalWhateverTheirTimeUnits)
{
    Db db(test::SampleDatabasePath());
    std::map<std::tuple<long long, long long, long long>, std::pair<long long, long long>> ops;
    for (const ScheduleRow& r : scheduleRows(db))
        ops[{r.op, r.batch, r.step}] = {r.start, r.end};
    auto check = [&](const std::string& table, const char* start, const char* end, const char* unit,
                     double secondsPerUnit, bool endOnly = false) {
        SCOPED_TRACE(table);
        long long rows = 0;
        db.each(std::string("SELECT OperationID, BatchNumber, StepID, ") + start + ", " + end + ", " + unit + " FROM " +
                    table,
                [&](sqlite3_stmt* s) {
                    ++rows;
                    const auto found =
                        ops.find({sqlite3_column_int64(s, 0), sqlite3_column_int64(s, 1), sqlite3_column_int64(s, 2)});
                    ASSERT_NE(found, ops.end()) << "row " << rows << " has no scheduled operation";
                    if (!endOnly) {
                        EXPECT_EQ(std::llround(sqlite3_column_double(s, 3) * secondsPerUnit), found->second.first);
                    }
                    EXPECT_EQ(std::llround(sqlite3_column_double(s, 4) * secondsPerUnit), found->second.second);
                    EXPECT_NE(std::string(reinterpret_cast<const char*>(sqlite3_column_text(s, 5))), "");
                });
        EXPECT_GT(rows, 0);
    };
    check("StreamSummary", "StartTime", "EndTime", "EndTimeUOM", 60.0);
    check("AirEmissionSummary", "StartTime", "EndTime", "EndTimeUOM", 60.0);
    check("UtilitySummary", "StartTime", "EndTime", "EndTimeUOM", 1.0);
    check("LaborSummary", "StartTime", "EndTime", "EndTimeUOM", 3600.0);
    check("EquipmentContents", "Time", "Time", "TimeUOM", 60.0, true); // contents are reported at the end
    for (const char* table : {"StreamSummary", "AirEmissionSummary", "UtilitySummary"}) {
        EXPECT_EQ(db.count(std::string("SELECT count(*) FROM ") + table + " WHERE StartTimeUOM <> EndTimeUOM"), 0)
            << table;
    }
    std::set<std::string> units;
    for (const char* sql : {"SELECT DISTINCT TimeUOM FROM EquipmentSchedule",
                            "SELECT DISTINCT EndTimeUOM FROM "
                            "StreamSummary",
                            "SELECT DISTINCT EndTimeUOM FROM UtilitySummary",
                            "SELECT DISTINCT EndTimeUOM FROM "
                            "LaborSummary"}) {
        db.each(sql, [&](sqlite3_stmt* s) { units.insert(reinterpret_cast<const char*>(sqlite3_column_text(s, 0))); });
    }
    EXPECT_GE(units.size(), 3u) << "the tables use different time units";
}

TEST(SampleConsistency, PlanAndStepDatesParseAndStartWithThePlan)
{
    Db db(test::SampleDatabasePath());
    const COleDateTime start = COleDateTime::FromIso(CString(db.text("SELECT StartDateTime FROM PPlan").c_str()));
    ASSERT_EQ(start.GetStatus(), COleDateTime::valid);
    EXPECT_EQ(db.count("SELECT min(StartTime) FROM EquipmentSchedule"), 0) << "the first batch starts the plan";
    EXPECT_EQ(db.count("SELECT count(*) FROM StepSummary WHERE StartDateTime IS NULL"), 1);
    db.each("SELECT StartDateTime, SimulationDateTime, StepID FROM StepSummary", [&](sqlite3_stmt* s) {
        if (sqlite3_column_type(s, 0) != SQLITE_NULL) {
            const COleDateTime stepStart =
                COleDateTime::FromIso(CString(reinterpret_cast<const char*>(sqlite3_column_text(s, 0))));
            ASSERT_EQ(stepStart.GetStatus(), COleDateTime::valid);
            EXPECT_GE(stepStart, start);
            // The step's first operation begins at that moment.
            const double hours = (stepStart - start).GetTotalHours();
            const double first = 0.0 + db.count("SELECT round(min(StartTime) * 60) FROM EquipmentSchedule WHERE "
                                                "StepID = " +
                                                std::to_string(sqlite3_column_int64(s, 2)));
            EXPECT_NEAR(hours * 60.0, first, 1e-3);
        }
        const COleDateTime simulated =
            COleDateTime::FromIso(CString(reinterpret_cast<const char*>(sqlite3_column_text(s, 1))));
        ASSERT_EQ(simulated.GetStatus(), COleDateTime::valid);
        EXPECT_LT(simulated, start) << "the simulation ran before the plan starts";
    });
}

// ---- what the sample contains ------------------------------------------------------------

TEST(SampleContents, HasTheEquipmentAndTheCasesTheViewsTreatApart)
{
    Db db(test::SampleDatabasePath());
    EXPECT_EQ(db.count("SELECT count(*) FROM FacilitySummary"), 2);
    db.each("SELECT PlantID, count(*) FROM EquipmentSummary GROUP BY PlantID", [](sqlite3_stmt* s) {
        EXPECT_GE(sqlite3_column_int64(s, 1), 10);
        EXPECT_LE(sqlite3_column_int64(s, 1), 20);
    });
    for (const char* category : {"Reactor", "Crystallizer", "Nutsche Filter", "Tray Dryer", "Storage Tank",
                                 "Blending Tank", "Inventory Location"}) {
        EXPECT_GT(db.count(std::string("SELECT count(*) FROM EquipmentSummary WHERE Category = '") + category + "'"), 0)
            << category;
    }
    EXPECT_EQ(db.count("SELECT count(*) FROM EquipmentSummary WHERE Category = 'Inventory Location - Vapor'"), 1);
    EXPECT_EQ(db.count("SELECT count(*) FROM EquipmentSummary WHERE EquipmentType = 'Continuous'"), 1);
    EXPECT_GT(db.count("SELECT count(*) FROM EquipmentContents c JOIN EquipmentSummary e USING (EquipmentID) "
                       "WHERE e.EquipmentType = 'Continuous'"),
              0)
        << "continuous equipment has contents rows for the queries to leave out";
    EXPECT_EQ(db.count("SELECT count(DISTINCT CapacityUOM) FROM EquipmentSummary WHERE CapacityUOM IN ('liter', "
                       "'gal', 'Cubic m')"),
              3);
    // Buffer tanks: one with operations of its own, one without; both have composite records.
    EXPECT_EQ(db.count("SELECT count(*) FROM EquipmentSummary e WHERE Category = 'Buffer Tank' AND EXISTS (SELECT 1 "
                       "FROM EquipmentSchedule s WHERE s.EquipmentID = e.EquipmentID)"),
              1);
    EXPECT_EQ(db.count("SELECT count(*) FROM EquipmentSummary e WHERE Category = 'Buffer Tank' AND NOT EXISTS "
                       "(SELECT 1 FROM EquipmentSchedule s WHERE s.EquipmentID = e.EquipmentID)"),
              1);
    EXPECT_EQ(db.count("SELECT count(DISTINCT c.EquipmentID) FROM CompositeContents c JOIN EquipmentSummary e USING "
                       "(EquipmentID) WHERE e.Category = 'Buffer Tank'"),
              2);

    const long long steps = db.count("SELECT count(*) FROM StepSummary");
    EXPECT_GE(steps, 3);
    EXPECT_LE(steps, 5);
    EXPECT_EQ(db.count("SELECT count(*) FROM StepSummary WHERE StepVersionName IS NULL OR StepVersionName = '' OR "
                       "KeyOutputIntermediateID IS NULL OR NumberOfBatches < 2"),
              0);
    EXPECT_EQ(db.count("SELECT count(*) FROM StepSummary s JOIN ProductionPlanSummary p USING (StepID) WHERE "
                       "p.NumberOfBatches = s.NumberOfBatches"),
              steps);
    for (const char* op : {"Charge", "Heat", "React", "Cool", "Transfer", "Filter", "Dry", "CIP"}) {
        EXPECT_GT(db.count(std::string("SELECT count(*) FROM TextRecipe WHERE OperationName = '") + op + "'"), 0) << op;
    }
    EXPECT_EQ(db.count("SELECT count(*) FROM TextRecipe WHERE RecipeText IS NULL OR RecipeText = ''"), 0);

    // Streams: between vessels, from outside, to outside, and cleaning rows.
    EXPECT_GT(db.count("SELECT count(*) FROM StreamSummary ss JOIN EquipmentSummary f ON f.EquipmentID = "
                       "ss.FromEquipmentID JOIN EquipmentSummary t ON t.EquipmentID = ss.ToEquipmentID WHERE "
                       "f.EquipmentType = 'Batch' AND t.EquipmentType = 'Batch'"),
              0);
    EXPECT_GT(db.count("SELECT count(*) FROM StreamSummary WHERE FromEquipmentID IS NULL"), 0);
    EXPECT_GT(db.count("SELECT count(*) FROM StreamSummary WHERE ToEquipmentID IS NULL"), 0);
    EXPECT_GT(db.count("SELECT count(*) FROM StreamSummary WHERE StreamCategoryID = -5"), 0);
    EXPECT_GT(db.count("SELECT count(*) FROM StreamSummary ss WHERE NOT EXISTS (SELECT 1 FROM ThermodynamicPhase tp "
                       "WHERE tp.StreamID = ss.StreamID)"),
              0)
        << "streams without phase records";
    // Utilities with heat duty (both signs), some without equipment.
    EXPECT_GT(db.count("SELECT count(*) FROM UtilitySummary WHERE UtilityName = 'Steam' AND HeatDuty > 0"), 0);
    EXPECT_GT(db.count("SELECT count(*) FROM UtilitySummary WHERE UtilityName = 'Cooling Water' AND HeatDuty < 0"), 0);
    EXPECT_GT(db.count("SELECT count(*) FROM UtilitySummary WHERE EquipmentID IS NULL"), 0);
    // Vapor: zero-mass rows (without phases), rows after the condenser, and no NULL control.
    EXPECT_GT(db.count("SELECT count(*) FROM AirEmissionSummary WHERE Mass = 0"), 0);
    EXPECT_EQ(db.count("SELECT count(*) FROM AirEmissionSummary a JOIN ThermodynamicPhase tp USING (AirEmissionID) "
                       "WHERE a.Mass = 0"),
              0);
    EXPECT_GT(
        db.count("SELECT count(*) FROM AirEmissionSummary WHERE AirEmissionControl = 'After Condenser' AND Mass > 0"),
        0);
    EXPECT_GT(
        db.count("SELECT count(*) FROM AirEmissionSummary WHERE AirEmissionControl <> 'After Condenser' AND Mass > 0"),
        0);
    // Labor: fractional operator counts and a grade without a category row.
    EXPECT_GT(db.count("SELECT count(*) FROM LaborSummary WHERE NumberOfOperators <> round(NumberOfOperators)"), 0);
    EXPECT_GT(db.count("SELECT count(*) FROM LaborSummary l WHERE NOT EXISTS (SELECT 1 FROM LaborCategory c WHERE "
                       "c.LaborGradeID = l.LaborGradeID)"),
              0);
    // Operations without a contents record, and contents with a gas phase.
    EXPECT_GT(db.count("SELECT count(*) FROM EquipmentSchedule s WHERE NOT EXISTS (SELECT 1 FROM EquipmentContents c "
                       "WHERE c.EquipmentID = s.EquipmentID AND c.BatchNumber = s.BatchNumber AND c.OperationID = "
                       "s.OperationID AND c.StepID = s.StepID)"),
              0);
    EXPECT_GT(db.count("SELECT count(*) FROM ThermodynamicPhase WHERE ContentsID IS NOT NULL AND Phase = 'gas'"), 0);
    EXPECT_GT(db.count("SELECT count(*) FROM EquipmentContents WHERE Mass > 0 AND AverageDensity > 0"), 0);
    EXPECT_EQ(db.count("SELECT count(*) FROM EquipmentContents WHERE Mass = 0 AND AverageMolecularWeight IS NOT NULL"),
              0)
        << "an empty vessel has no average properties";
}

TEST(SampleContents, CalendarsHaveWeeklyShiftsDatedExceptionsAndAnOvernightShift)
{
    Db db(test::SampleDatabasePath());
    EXPECT_GE(db.count("SELECT count(*) FROM Calendars"), 2);
    EXPECT_GT(db.count("SELECT count(*) FROM CalendarWeekShifts WHERE EndSecond <= StartSecond"), 0);
    EXPECT_GT(db.count("SELECT count(*) FROM CalendarExceptions x WHERE NOT EXISTS (SELECT 1 FROM "
                       "CalendarExceptionShifts s WHERE s.CalendarID = x.CalendarID AND s.ExceptionDate = "
                       "x.ExceptionDate)"),
              0)
        << "a day off";
    EXPECT_GT(db.count("SELECT count(DISTINCT ExceptionDate) FROM CalendarExceptionShifts"), 0) << "a changed day";
    EXPECT_GE(db.count("SELECT count(DISTINCT CalendarID) FROM EquipmentSummary"), 2);
    EXPECT_GT(db.count("SELECT count(*) FROM EquipmentSummary WHERE CalendarID IS NULL"), 0);
    // The exceptions fall within the campaign.
    const std::string first = db.text("SELECT substr(StartDateTime, 1, 10) FROM PPlan");
    EXPECT_EQ(db.count("SELECT count(*) FROM CalendarExceptions WHERE ExceptionDate < '" + first + "'"), 0);
    EXPECT_GT(db.count("SELECT max(EndTime) / 24 FROM EquipmentSchedule"), 50);
}

// ---- the command ------------------------------------------------------------

TEST(SampleCommand, WritesTheFileRefusesToOverwriteItAndReplacesItWithForce)
{
    test::TempDir dir;
    const std::string cli = BATCHPLANT_CLI;
    const fs::path out = dir.file("run.db");
    auto r = test::runCommand(cli + " sample " + out.string());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("streams"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("100%"), std::string::npos) << "progress on stderr: " << r.err;
    EXPECT_EQ(r.err.find('\r'), std::string::npos) << "no in-place updates when stderr is not a terminal";
    EXPECT_EQ(digest(out), digest(test::SampleDatabasePath()));

    const auto before = fs::last_write_time(out);
    r = test::runCommand(cli + " sample " + out.string() + " --seed 3");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("already exists"), std::string::npos) << r.err;
    EXPECT_EQ(fs::last_write_time(out), before);

    r = test::runCommand(cli + " sample " + out.string() + " --seed 3 --force");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(digest(out).at("StreamSummary"), digest(test::SampleDatabasePath()).at("StreamSummary"));

    r = test::runCommand(cli + " sample " + dir.file("zero.db").string() + " --scale 0");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_FALSE(fs::exists(dir.file("zero.db")));
    int files = 0;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        ++files;
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
    }
    EXPECT_EQ(files, 1);
}

} // namespace
} // namespace batchplant
