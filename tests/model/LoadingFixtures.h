#pragma once
// A results database written row by row by a loading test, and the SQL
// helpers the loading tests use to count what a database holds.

#include <climits>
#include <string>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "batchplant/db/ResultsSchema.h"
#include "db/Sqlite.h"

namespace batchplant::test {

// Stands for a NULL identifier column.
inline constexpr long kNull = LONG_MIN;

inline std::string idOrNull(long id) { return id == kNull ? std::string("NULL") : std::to_string(id); }

// Runs SQL on a database and reads single numbers back.
class SqlFile : public sqlite::Connection {
public:
    explicit SqlFile(const std::string& path, bool readOnly = false)
        : sqlite::Connection(path, readOnly ? SQLITE_OPEN_READONLY : (SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE))
    {
    }

    void Exec(const std::string& sql) { exec(sql); }

    // The first column of the first row as a number (0 without a row).
    double Number(const std::string& sql)
    {
        sqlite::Statement stmt(*this, sql);
        return stmt.step() ? stmt.real(0) : 0.0;
    }
    long Count(const std::string& sql) { return static_cast<long>(Number(sql)); }
};

// An empty results database in a temporary directory: the schema, the
// calendar tables, one step, one recipe operation per test's choosing.
class ResultsDb {
public:
    ResultsDb() : path_(dir_.file("results.db").string()), sql_(path_)
    {
        sql_.Exec("PRAGMA synchronous = OFF; PRAGMA journal_mode = MEMORY;");
        sql_.Exec(ResultsSchemaSql());
        sql_.Exec(CalendarSchemaSql());
    }

    const std::string& path() const { return path_; }
    SqlFile& sql() { return sql_; }
    void Exec(const std::string& s) { sql_.Exec(s); }

    void AddPlant(long id, const std::string& name)
    {
        Exec("INSERT INTO FacilitySummary (PlantID, PlantName) VALUES (" + std::to_string(id) + ", '" + name + "');");
    }
    void AddStep(long id, const std::string& name = "Reaction", long plant = 1)
    {
        Exec("INSERT INTO StepSummary (StepID, StepName, NumberOfBatches, PlantID) VALUES (" + std::to_string(id) +
             ", '" + name + "', 2, " + std::to_string(plant) + ");");
    }
    void AddEquipment(long id, const std::string& tag, const std::string& category, long plant = 1,
                      long calendar = kNull)
    {
        Exec("INSERT INTO EquipmentSummary (EquipmentID, QLTag, Category, Capacity, CapacityUOM, PlantID, "
             "CalendarID) VALUES (" +
             std::to_string(id) + ", '" + tag + "', '" + category + "', 1000, 'liter', " + std::to_string(plant) +
             ", " + idOrNull(calendar) + ");");
    }
    // A recipe operation of step 1.
    void AddOperation(long opID, const std::string& name, long step = 1)
    {
        Exec("INSERT INTO TextRecipe (OperationID, StepID, UnitProcedureID, UnitProcedureName, "
             "UnitProcedureSequenceNumber, OperationSequenceNumber, OperationName, RecipeText) VALUES (" +
             std::to_string(opID) + ", " + std::to_string(step) + ", 1, 'P-1', 1, " + std::to_string(opID) + ", '" +
             name + "', 'Recipe of " + name + "');");
    }
    // One operation occurrence in a vessel, times in hours; with a volume
    // (litres) the contents row at its end is written too.
    void AddSchedule(long equipment, long batch, long opID, double startH, double endH, double volumeL = -1.0,
                     long step = 1)
    {
        Exec("INSERT INTO EquipmentSchedule (EquipmentID, BatchNumber, StepID, UnitProcedureID, OperationID, "
             "StartTime, EndTime, TimeUOM) VALUES (" +
             std::to_string(equipment) + ", " + std::to_string(batch) + ", " + std::to_string(step) + ", 1, " +
             std::to_string(opID) + ", " + std::to_string(startH) + ", " + std::to_string(endH) + ", 'h');");
        if (volumeL >= 0.0)
            Exec("INSERT INTO EquipmentContents (EquipmentID, BatchNumber, StepID, UnitProcedureID, OperationID, "
                 "Time, TimeUOM, Volume, VolumeUOM) VALUES (" +
                 std::to_string(equipment) + ", " + std::to_string(batch) + ", " + std::to_string(step) + ", 1, " +
                 std::to_string(opID) + ", " + std::to_string(endH) + ", 'h', " + std::to_string(volumeL) +
                 ", 'liter');");
    }
    // A material stream occurrence of operation 1, times in minutes.
    void AddStream(long id, long from, long to, long category = 1, double startMin = 0.0, double endMin = 10.0)
    {
        Exec("INSERT INTO StreamSummary (StreamID, BatchNumber, StepID, UnitProcedureID, OperationID, "
             "StreamCategoryID, FromEquipmentID, ToEquipmentID, StartTime, StartTimeUOM, EndTime, EndTimeUOM, "
             "Mass, MassUOM, Volume, VolumeUOM) VALUES (" +
             std::to_string(id) + ", 1, 1, 1, 1, " + std::to_string(category) + ", " + idOrNull(from) + ", " +
             idOrNull(to) + ", " + std::to_string(startMin) + ", 'min', " + std::to_string(endMin) +
             ", 'min', 100, 'kg', 100, 'liter');");
    }
    void AddUtility(long id, long equipment, double startMin = 0.0, double endMin = 10.0)
    {
        Exec("INSERT INTO UtilitySummary (UtilityID, UtilityName, BatchNumber, StepID, UnitProcedureID, OperationID, "
             "EquipmentID, StartTime, StartTimeUOM, EndTime, EndTimeUOM, HeatDuty, HeatDutyUOM) VALUES (" +
             std::to_string(id) + ", 'Steam', 1, 1, 1, 1, " + idOrNull(equipment) + ", " + std::to_string(startMin) +
             ", 'min', " + std::to_string(endMin) + ", 'min', 500, 'KJ');");
    }
    void AddVapor(long id, long from, long to, double massKg = 1.0, double startMin = 0.0, double endMin = 10.0)
    {
        Exec("INSERT INTO AirEmissionSummary (AirEmissionID, BatchNumber, StepID, UnitProcedureID, OperationID, "
             "FromEquipmentID, ToEquipmentID, StartTime, StartTimeUOM, EndTime, EndTimeUOM, Mass, MassUOM) VALUES (" +
             std::to_string(id) + ", 1, 1, 1, 1, " + idOrNull(from) + ", " + idOrNull(to) + ", " +
             std::to_string(startMin) + ", 'min', " + std::to_string(endMin) + ", 'min', " + std::to_string(massKg) +
             ", 'kg');");
    }
    // One liquid phase of a stream holding `material` alone.
    void AddStreamPhase(long phaseID, long streamID, long material)
    {
        Exec("INSERT OR IGNORE INTO PureComponents (MaterialID, MaterialName) VALUES (" + std::to_string(material) +
             ", 'Material " + std::to_string(material) + "');");
        Exec("INSERT INTO ThermodynamicPhase (PhaseID, Phase, StreamID, MassPhaseFraction, MolarPhaseFraction, "
             "VolumePhaseFraction) VALUES (" +
             std::to_string(phaseID) + ", 'Liquid1', " + std::to_string(streamID) + ", 1, 1, 1);");
        Exec("INSERT INTO PhaseComponents (PhaseID, ComponentID, MassFraction, MoleFraction, VolumeFraction) "
             "VALUES (" +
             std::to_string(phaseID) + ", " + std::to_string(material) + ", 1, 1, 1);");
    }

    // Plant 1, a plan starting 2024-01-01, step 1 and its operation 1, which
    // every stream row uses.
    void AddBasics()
    {
        AddPlant(1, "North");
        Exec("INSERT INTO PPlan (PlanID, PlanName, StartDateTime) VALUES (1, 'Campaign', '2024-01-01T00:00:00');");
        Exec("INSERT INTO ProductionPlanSummary (RequirementID, PlanID, StepID, NumberOfBatches) VALUES (1, 1, 1, 2);");
        AddStep(1);
        AddOperation(1, "Transfer");
    }

private:
    TempDir dir_;
    std::string path_;
    SqlFile sql_;
};

} // namespace batchplant::test
