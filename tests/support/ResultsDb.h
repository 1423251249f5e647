#pragma once
// Results databases built row by row by the tests, and a connection that
// reads answers back, both over the library's own SQLite layer.

#include <climits>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "batchplant/db/ResultsSchema.h"
#include "db/Sqlite.h"

namespace batchplant::test {

// Stands for a NULL identifier column.
inline constexpr long kNull = LONG_MIN;

inline std::string idOrNull(long id) { return id == kNull ? std::string("NULL") : std::to_string(id); }

// A connection to a SQLite file that runs SQL and reads answers back.
class Sql : public sqlite::Connection {
public:
    explicit Sql(const std::filesystem::path& path, bool readOnly = false)
        : sqlite::Connection(path.string(),
                             readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)
    {
    }

    void each(const std::string& sql, const std::function<void(const sqlite::Statement&)>& row) const
    {
        sqlite::Statement stmt(*this, sql);
        while (stmt.step())
            row(stmt);
    }
    // The first column of the first row; 0 without a row.
    double number(const std::string& sql) const
    {
        sqlite::Statement stmt(*this, sql);
        return stmt.step() ? stmt.real(0) : 0.0;
    }
    // The first column of the first row as a whole number; -1 without a row,
    // so that a query that finds nothing never passes for a count of zero.
    long long count(const std::string& sql) const
    {
        sqlite::Statement stmt(*this, sql);
        return stmt.step() ? stmt.integer(0) : -1;
    }
    std::string text(const std::string& sql) const
    {
        sqlite::Statement stmt(*this, sql);
        return stmt.step() ? stmt.text(0) : std::string();
    }
    // Every row, its columns joined by '|', NULL as "NULL".
    std::vector<std::string> rows(const std::string& sql) const
    {
        std::vector<std::string> out;
        each(sql, [&](const sqlite::Statement& s) {
            std::string row;
            for (int c = 0; c < s.columnCount(); ++c)
                row += (c ? "|" : "") + (s.isNull(c) ? std::string("NULL") : s.text(c));
            out.push_back(row);
        });
        return out;
    }
};

namespace detail {
struct ScratchFile {
    explicit ScratchFile(const std::string& name) : path(dir.file(name)) {}
    TempDir dir;
    std::filesystem::path path;
};
} // namespace detail

// A results database in a fresh temporary directory, written by a test.
class ResultsDb : private detail::ScratchFile, public Sql {
public:
    enum class Tables { None, Results, ResultsAndCalendars };

    explicit ResultsDb(Tables tables = Tables::Results, const std::string& name = "results.db")
        : detail::ScratchFile(name), Sql(ScratchFile::path)
    {
        // A scratch file: no need to wait for the disk after every statement.
        exec("PRAGMA synchronous = OFF; PRAGMA journal_mode = MEMORY;");
        if (tables != Tables::None) exec(ResultsSchemaSql());
        if (tables == Tables::ResultsAndCalendars) exec(CalendarSchemaSql());
    }

    const std::filesystem::path& path() const { return ScratchFile::path; }
    std::string pathString() const { return ScratchFile::path.string(); }
    // Closes the connection, so that the file is complete on disk.
    void finish() { static_cast<sqlite::Connection&>(*this) = sqlite::Connection(); }

    void AddPlant(long id, const std::string& name)
    {
        exec("INSERT INTO FacilitySummary (PlantID, PlantName) VALUES (" + std::to_string(id) + ", '" + name + "');");
    }
    void AddStep(long id, const std::string& name = "Reaction", long plant = 1)
    {
        exec("INSERT INTO StepSummary (StepID, StepName, NumberOfBatches, PlantID) VALUES (" + std::to_string(id) +
             ", '" + name + "', 2, " + std::to_string(plant) + ");");
    }
    void AddEquipment(long id, const std::string& tag, const std::string& category, long plant = 1,
                      long calendar = kNull)
    {
        exec("INSERT INTO EquipmentSummary (EquipmentID, QLTag, Category, Capacity, CapacityUOM, PlantID, "
             "CalendarID) VALUES (" +
             std::to_string(id) + ", '" + tag + "', '" + category + "', 1000, 'liter', " + std::to_string(plant) +
             ", " + idOrNull(calendar) + ");");
    }
    // A recipe operation of step 1.
    void AddOperation(long opID, const std::string& name, long step = 1)
    {
        exec("INSERT INTO TextRecipe (OperationID, StepID, UnitProcedureID, UnitProcedureName, "
             "UnitProcedureSequenceNumber, OperationSequenceNumber, OperationName, RecipeText) VALUES (" +
             std::to_string(opID) + ", " + std::to_string(step) + ", 1, 'P-1', 1, " + std::to_string(opID) + ", '" +
             name + "', 'Recipe of " + name + "');");
    }
    // One operation occurrence in a vessel, times in hours; with a volume
    // (litres) the contents row at its end is written too.
    void AddSchedule(long equipment, long batch, long opID, double startH, double endH, double volumeL = -1.0,
                     long step = 1)
    {
        exec("INSERT INTO EquipmentSchedule (EquipmentID, BatchNumber, StepID, UnitProcedureID, OperationID, "
             "StartTime, EndTime, TimeUOM) VALUES (" +
             std::to_string(equipment) + ", " + std::to_string(batch) + ", " + std::to_string(step) + ", 1, " +
             std::to_string(opID) + ", " + std::to_string(startH) + ", " + std::to_string(endH) + ", 'h');");
        if (volumeL >= 0.0)
            exec("INSERT INTO EquipmentContents (EquipmentID, BatchNumber, StepID, UnitProcedureID, OperationID, "
                 "Time, TimeUOM, Volume, VolumeUOM) VALUES (" +
                 std::to_string(equipment) + ", " + std::to_string(batch) + ", " + std::to_string(step) + ", 1, " +
                 std::to_string(opID) + ", " + std::to_string(endH) + ", 'h', " + std::to_string(volumeL) +
                 ", 'liter');");
    }
    // A material stream occurrence of operation 1, times in minutes.
    void AddStream(long id, long from, long to, long category = 1, double startMin = 0.0, double endMin = 10.0)
    {
        exec("INSERT INTO StreamSummary (StreamID, BatchNumber, StepID, UnitProcedureID, OperationID, "
             "StreamCategoryID, FromEquipmentID, ToEquipmentID, StartTime, StartTimeUOM, EndTime, EndTimeUOM, "
             "Mass, MassUOM, Volume, VolumeUOM) VALUES (" +
             std::to_string(id) + ", 1, 1, 1, 1, " + std::to_string(category) + ", " + idOrNull(from) + ", " +
             idOrNull(to) + ", " + std::to_string(startMin) + ", 'min', " + std::to_string(endMin) +
             ", 'min', 100, 'kg', 100, 'liter');");
    }
    void AddUtility(long id, long equipment, double startMin = 0.0, double endMin = 10.0)
    {
        exec("INSERT INTO UtilitySummary (UtilityID, UtilityName, BatchNumber, StepID, UnitProcedureID, OperationID, "
             "EquipmentID, StartTime, StartTimeUOM, EndTime, EndTimeUOM, HeatDuty, HeatDutyUOM) VALUES (" +
             std::to_string(id) + ", 'Steam', 1, 1, 1, 1, " + idOrNull(equipment) + ", " + std::to_string(startMin) +
             ", 'min', " + std::to_string(endMin) + ", 'min', 500, 'KJ');");
    }
    void AddVapor(long id, long from, long to, double massKg = 1.0, double startMin = 0.0, double endMin = 10.0)
    {
        exec("INSERT INTO AirEmissionSummary (AirEmissionID, BatchNumber, StepID, UnitProcedureID, OperationID, "
             "FromEquipmentID, ToEquipmentID, StartTime, StartTimeUOM, EndTime, EndTimeUOM, Mass, MassUOM) VALUES (" +
             std::to_string(id) + ", 1, 1, 1, 1, " + idOrNull(from) + ", " + idOrNull(to) + ", " +
             std::to_string(startMin) + ", 'min', " + std::to_string(endMin) + ", 'min', " + std::to_string(massKg) +
             ", 'kg');");
    }
    // One liquid phase of a stream holding `material` alone.
    void AddStreamPhase(long phaseID, long streamID, long material)
    {
        exec("INSERT OR IGNORE INTO PureComponents (MaterialID, MaterialName) VALUES (" + std::to_string(material) +
             ", 'Material " + std::to_string(material) + "');");
        exec("INSERT INTO ThermodynamicPhase (PhaseID, Phase, StreamID, MassPhaseFraction, MolarPhaseFraction, "
             "VolumePhaseFraction) VALUES (" +
             std::to_string(phaseID) + ", 'Liquid1', " + std::to_string(streamID) + ", 1, 1, 1);");
        exec("INSERT INTO PhaseComponents (PhaseID, ComponentID, MassFraction, MoleFraction, VolumeFraction) "
             "VALUES (" +
             std::to_string(phaseID) + ", " + std::to_string(material) + ", 1, 1, 1);");
    }
    // A plan starting at `start` (NULL when empty) asking for batches of step 1.
    void AddPlan(const std::string& start = "2024-01-01T00:00:00", long batches = 2)
    {
        exec("INSERT INTO PPlan (PlanID, PlanName, StartDateTime) VALUES (1, 'Campaign', " +
             (start.empty() ? std::string("NULL") : "'" + start + "'") + ");");
        exec("INSERT INTO ProductionPlanSummary (RequirementID, PlanID, StepID, NumberOfBatches) VALUES (1, 1, 1, " +
             std::to_string(batches) + ");");
    }

    // Plant 1, a plan starting 2024-01-01, step 1 and its operation 1, which
    // every stream row uses.
    void AddBasics()
    {
        AddPlant(1, "North");
        AddPlan();
        AddStep(1);
        AddOperation(1, "Transfer");
    }
};

} // namespace batchplant::test
