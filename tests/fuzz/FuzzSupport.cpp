#include "FuzzSupport.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "batchplant/db/ResultsSchema.h"
#include "db/JetTokenizer.h"

namespace batchplant::fuzz {

void Fail(const char* what, std::string_view detail)
{
    std::fprintf(stderr, "\n*** fuzz check failed: %s\n", what);
    if (!detail.empty()) std::fprintf(stderr, "    %.*s\n", static_cast<int>(detail.size()), detail.data());
    std::abort();
}

bool IsValidUtf8(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t len = 0;
        std::uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            len = 2;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > s.size()) return false;
        for (std::size_t k = 1; k < len; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000)) return false;
        if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return false;
        i += len;
    }
    return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b) { return jet::iequals(a, b); }

void InitSqliteForFuzzing()
{
    sqlite3_config(SQLITE_CONFIG_URI, 1);
    sqlite3_initialize();
}

const std::vector<TableShape>& SchemaTables()
{
    static const std::vector<TableShape> tables = [] {
        std::vector<TableShape> out;
        sqlite3* db = nullptr;
        if (sqlite3_open(":memory:", &db) != SQLITE_OK) Fail("cannot open an in-memory database");
        if (sqlite3_exec(db, ResultsSchemaSql(), nullptr, nullptr, nullptr) != SQLITE_OK)
            Fail("the results schema does not run", sqlite3_errmsg(db));
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name", -1, &st, nullptr);
        while (sqlite3_step(st) == SQLITE_ROW)
            out.push_back({reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), {}});
        sqlite3_finalize(st);
        for (TableShape& t : out) {
            const std::string sql = "SELECT name FROM pragma_table_info('" + t.name + "')";
            sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
            while (sqlite3_step(st) == SQLITE_ROW)
                t.columns.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
            sqlite3_finalize(st);
        }
        sqlite3_close(db);
        if (out.empty()) Fail("the results schema has no tables");
        return out;
    }();
    return tables;
}

const std::vector<std::string>& InterestingWords()
{
    static const std::vector<std::string> words = [] {
        std::vector<std::string> w = {"Inventory Location",
                                      "Inventory Location - Vapor",
                                      "Continuous",
                                      "Batch",
                                      "After Condenser",
                                      "Before Condenser",
                                      "None",
                                      "Vessel",
                                      "Liquid",
                                      "Vapor",
                                      "h",
                                      "min",
                                      "s",
                                      "day",
                                      "kg",
                                      "liter",
                                      "C",
                                      "bar",
                                      "kmol",
                                      "kJ",
                                      "QryPhaseComponents",
                                      "QryThermodynamicPhase1",
                                      "CompositeContents",
                                      "2024-01-01T00:00:00",
                                      "2024-02-30T25:61:61",
                                      "1899-12-30",
                                      "0001-01-01T00:00:00",
                                      "9999-12-31 23:59:59.999",
                                      " 42 ",
                                      "+7",
                                      "-2147483649",
                                      "2147483648",
                                      "32768",
                                      "1e308",
                                      "1e309",
                                      "-1e400",
                                      "nan",
                                      "inf",
                                      "0x1F",
                                      "3.5e-320",
                                      "",
                                      "SELECT * FROM StreamSummary",
                                      "pid Long",
                                      "sid Long, CompositeID Long, aid Long"};
        for (const TableShape& t : SchemaTables()) {
            w.push_back(t.name);
            for (const std::string& c : t.columns)
                w.push_back(c);
        }
        return w;
    }();
    return words;
}

namespace {

std::string quoteIdent(const std::string& s) { return "\"" + s + "\""; }

int g_dbSerial = 0;

} // namespace

MemoryResultsDb::MemoryResultsDb(bool loose)
{
    // A fresh name per database: memdb keeps a named file only while some
    // connection holds it, but a new name rules out any carry-over.
    uri_ = "file:/batchplant-fuzz-" + std::to_string(++g_dbSerial) + "?vfs=memdb";
    if (sqlite3_open_v2(uri_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI, nullptr) !=
        SQLITE_OK) {
        sqlite3_close(db_);
        db_ = nullptr;
        return;
    }
    sqlite3_exec(db_, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;", nullptr, nullptr, nullptr);
    if (!loose) {
        if (sqlite3_exec(db_, ResultsSchemaSql(), nullptr, nullptr, nullptr) != SQLITE_OK)
            Fail("the results schema does not run", sqlite3_errmsg(db_));
    } else {
        std::string ddl;
        for (const TableShape& t : SchemaTables()) {
            ddl += "CREATE TABLE " + quoteIdent(t.name) + " (";
            for (std::size_t i = 0; i < t.columns.size(); ++i)
                ddl += (i ? ", " : "") + quoteIdent(t.columns[i]);
            ddl += ");\n";
        }
        if (sqlite3_exec(db_, ddl.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
            Fail("the loose schema does not run", sqlite3_errmsg(db_));
        // The saved queries the recordsets open, as the strict schema has them.
        sqlite3* strict = nullptr;
        sqlite3_open(":memory:", &strict);
        sqlite3_exec(strict, ResultsSchemaSql(), nullptr, nullptr, nullptr);
        sqlite3_stmt* read = nullptr;
        sqlite3_stmt* write = nullptr;
        sqlite3_prepare_v2(strict, "SELECT Name, SqlText, Parameters FROM SavedQueries", -1, &read, nullptr);
        sqlite3_prepare_v2(db_, "INSERT INTO SavedQueries (Name, SqlText, Parameters) VALUES (?1, ?2, ?3)", -1, &write,
                           nullptr);
        while (sqlite3_step(read) == SQLITE_ROW) {
            for (int c = 0; c < 3; ++c)
                sqlite3_bind_value(write, c + 1, sqlite3_column_value(read, c));
            sqlite3_step(write);
            sqlite3_reset(write);
        }
        sqlite3_finalize(read);
        sqlite3_finalize(write);
        sqlite3_close(strict);
    }
    for (const TableShape& t : SchemaTables()) {
        std::string cols, params;
        for (std::size_t i = 0; i < t.columns.size(); ++i) {
            cols += (i ? ", " : "") + quoteIdent(t.columns[i]);
            params += (i ? ", ?" : "?") + std::to_string(i + 1);
        }
        for (const char* verb : {"INSERT", "INSERT OR REPLACE"}) {
            const std::string sql =
                std::string(verb) + " INTO " + quoteIdent(t.name) + " (" + cols + ") VALUES (" + params + ")";
            sqlite3_stmt* st = nullptr;
            if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
                Fail("cannot prepare an insert", sqlite3_errmsg(db_));
            (verb[6] == '\0' ? inserts_ : replaceInserts_).push_back(st);
        }
    }
}

MemoryResultsDb::~MemoryResultsDb()
{
    for (sqlite3_stmt* st : inserts_)
        sqlite3_finalize(st);
    for (sqlite3_stmt* st : replaceInserts_)
        sqlite3_finalize(st);
    sqlite3_close(db_);
}

void MemoryResultsDb::bindValue(sqlite3_stmt* st, int index, FuzzedDataProvider& in)
{
    static const double specials[] = {std::numeric_limits<double>::quiet_NaN(),
                                      std::numeric_limits<double>::infinity(),
                                      -std::numeric_limits<double>::infinity(),
                                      1e308,
                                      -1e308,
                                      std::numeric_limits<double>::denorm_min(),
                                      -0.0,
                                      2147483647.5,
                                      2147483648.0,
                                      -2147483649.0,
                                      32767.9,
                                      32768.0,
                                      -32769.0,
                                      9.2233720368547758e18,
                                      1e35,
                                      -1e35,
                                      0.5,
                                      2958465.99999, // 9999-12-31 23:59
                                      -657435.0};    // 0100-01-01
    static const std::int64_t bigInts[] = {std::numeric_limits<std::int64_t>::min(),
                                           std::numeric_limits<std::int64_t>::max(),
                                           2147483647,
                                           2147483648LL,
                                           -2147483648LL,
                                           -2147483649LL,
                                           32767,
                                           32768,
                                           -32768,
                                           -32769,
                                           65535,
                                           4294967296LL};
    switch (in.ConsumeIntegralInRange<int>(0, 9)) {
    case 0:
        sqlite3_bind_null(st, index);
        break;
    case 1:
    case 2: // small identifiers, so that joins find partners
        sqlite3_bind_int64(st, index, in.ConsumeIntegralInRange<int>(-1, 4));
        break;
    case 3:
        sqlite3_bind_int64(st, index, bigInts[in.ConsumeIntegralInRange<std::size_t>(0, std::size(bigInts) - 1)]);
        break;
    case 4:
        sqlite3_bind_double(st, index, specials[in.ConsumeIntegralInRange<std::size_t>(0, std::size(specials) - 1)]);
        break;
    case 5:
        sqlite3_bind_double(st, index, in.ConsumeFloatingPoint<double>());
        break;
    case 6: {
        const std::vector<std::string>& words = InterestingWords();
        const std::string& w = words[in.ConsumeIntegralInRange<std::size_t>(0, words.size() - 1)];
        sqlite3_bind_text(st, index, w.data(), static_cast<int>(w.size()), SQLITE_TRANSIENT);
        break;
    }
    case 7: { // any bytes as text: invalid UTF-8, NULs, digits
        const std::string s = in.ConsumeRandomLengthString(64);
        sqlite3_bind_text(st, index, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
        break;
    }
    case 8: {
        const std::string s = in.ConsumeRandomLengthString(64);
        sqlite3_bind_blob(st, index, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
        break;
    }
    default: { // a number written as text
        const std::string s = std::to_string(in.ConsumeIntegral<std::int64_t>() % 100000);
        sqlite3_bind_text(st, index, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
        break;
    }
    }
}

void MemoryResultsDb::AddSkeleton()
{
    if (!db_) return;
    static const char* const rows =
        "INSERT INTO FacilitySummary (PlantID, PlantName) VALUES (1, 'Plant');"
        "INSERT INTO EquipmentSummary (EquipmentID, QLTag, Category, EquipmentClassID, EquipmentType, Capacity,"
        " CapacityUOM, MaxFillFactor, PlantID) VALUES (1, 'V-1', 'Vessel', 0, 'Batch', 1000, 'liter', 1, 1),"
        " (2, 'V-2', 'Vessel', 0, 'Batch', 500, 'liter', 0.8, 1), (3, 'Inv', 'Inventory Location', 0, 'Batch', NULL,"
        " NULL, 1, 1);"
        "INSERT INTO PureComponents (MaterialID, MaterialName, MolecularWeight) VALUES (1, 'Water', 18), (2, 'Salt', "
        "58);"
        "INSERT INTO PPlan (PlanID, PlanName, StartDateTime) VALUES (1, 'Plan', '2024-01-01T00:00:00');"
        "INSERT INTO ProductionPlanSummary (RequirementID, PlanID, StepID, NumberOfBatches) VALUES (1, 1, 1, 2);"
        "INSERT INTO StepSummary (StepID, StepName, KeyOutputIntermediateID, NumberOfBatches, AverageBatchTime,"
        " AverageBatchTimeUOM, StartDateTime, SimulationDateTime, PlantID) VALUES (1, 'Step', 2, 2, 3, 'h',"
        " '2024-01-01T00:00:00', '2024-01-01T00:00:00', 1);"
        "INSERT INTO TextRecipe (OperationID, StepID, UnitProcedureID, UnitProcedureName, UnitProcedureSequenceNumber,"
        " OperationSequenceNumber, OperationName, RecipeText) VALUES (1, 1, 1, 'UP1', 1, 1, 'Charge', 'Charge water'),"
        " (2, 1, 2, 'UP2', 2, 1, 'Transfer', 'Transfer out');"
        "INSERT INTO EquipmentSchedule (EquipmentScheduleID, EquipmentID, BatchNumber, StepID, UnitProcedureID,"
        " OperationID, StartTime, EndTime, TimeUOM) VALUES (1, 1, 1, 1, 1, 1, 0, 1, 'h'), (2, 2, 1, 1, 2, 2, 1, 2, "
        "'h'),"
        " (3, 1, 2, 1, 1, 1, 2, 3, 'h');"
        "INSERT INTO EquipmentContents (ContentsID, EquipmentID, BatchNumber, StepID, UnitProcedureID, OperationID, "
        "Time,"
        " TimeUOM, Volume, VolumeUOM, Mass, MassUOM, Temperature, TemperatureUOM) VALUES (1, 1, 1, 1, 1, 1, 1, 'h', "
        "100,"
        " 'liter', 100, 'kg', 25, 'C'), (2, 2, 1, 1, 2, 2, 2, 'h', 50, 'liter', 50, 'kg', 30, 'C');"
        "INSERT INTO StreamSummary (StreamID, BatchNumber, StepID, UnitProcedureID, OperationID, MaterialName,"
        " FromEquipmentID, ToEquipmentID, StartTime, StartTimeUOM, EndTime, EndTimeUOM, Mass, MassUOM, Volume, "
        "VolumeUOM)"
        " VALUES (1, 1, 1, 1, 1, 'Water', 3, 1, 0, 'h', 1, 'h', 100, 'kg', 100, 'liter'), (2, 1, 1, 2, 2, 'Water', 1, "
        "2,"
        " 1, 'h', 2, 'h', 50, 'kg', 50, 'liter');"
        "INSERT INTO UtilitySummary (UtilityID, UtilityName, BatchNumber, StepID, UnitProcedureID, OperationID,"
        " EquipmentID, StartTime, StartTimeUOM, EndTime, EndTimeUOM, Mass, MassUOM, HeatDuty, HeatDutyUOM) VALUES (1,"
        " 'Steam', 1, 1, 1, 1, 1, 0, 'h', 1, 'h', 10, 'kg', 500, 'kJ');"
        "INSERT INTO AirEmissionSummary (AirEmissionID, BatchNumber, StepID, UnitProcedureID, OperationID,"
        " FromEquipmentID, StartTime, StartTimeUOM, EndTime, EndTimeUOM, Mass, MassUOM) VALUES (1, 1, 1, 1, 1, 1, 0,"
        " 'h', 1, 'h', 1, 'kg');"
        "INSERT INTO CompositeContents (CompositeContentsID, EquipmentID, Time, TimeUOM, Mass, MassUOM) VALUES (1, 3, "
        "0,"
        " 'h', 10, 'kg'), (2, 3, 2, 'h', 5, 'kg');"
        "INSERT INTO ThermodynamicPhase (PhaseID, Phase, ContentsID, StreamID, UtilityID, AirEmissionID,"
        " CompositeContentsID, MassPhaseFraction) VALUES (1, 'Liquid', 1, NULL, NULL, NULL, NULL, 1), (2, 'Liquid',"
        " NULL, 1, NULL, NULL, NULL, 1), (3, 'Vapor', NULL, NULL, 1, NULL, NULL, 1), (4, 'Vapor', NULL, NULL, NULL, 1,"
        " NULL, 1), (5, 'Liquid', NULL, NULL, NULL, NULL, 1, 1);"
        "INSERT INTO PhaseComponents (PhaseID, ComponentID, MassFraction, MoleFraction, VolumeFraction) VALUES"
        " (1, 1, 1, 1, 1), (2, 1, 0.5, 0.5, 0.5), (2, 2, 0.5, 0.5, 0.5), (3, 1, 1, 1, 1), (4, 1, 1, 1, 1), (5, 2, 1, "
        "1, 1);"
        "INSERT INTO LaborCategory (LaborGradeID, LaborGrade) VALUES (1, 'Operator');"
        "INSERT INTO LaborSummary (LaborSummaryID, StepID, BatchNumber, UnitProcedureID, OperationID, EquipmentID,"
        " LaborGradeID, StartTime, EndTime, EndTimeUOM, NumberOfOperators) VALUES (1, 1, 1, 1, 1, 1, 1, 0, 1, 'h', 2);";
    char* err = nullptr;
    if (sqlite3_exec(db_, rows, nullptr, nullptr, &err) != SQLITE_OK) {
        const std::string why = err ? err : "?";
        sqlite3_free(err);
        Fail("the skeleton run does not insert", why);
    }
}

void MemoryResultsDb::FillFrom(FuzzedDataProvider& in, int maxRows)
{
    if (!db_) return;
    const std::vector<TableShape>& tables = SchemaTables();
    sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr);
    for (int row = 0; row < maxRows && in.remaining_bytes() > 0; ++row) {
        const std::size_t t = in.ConsumeIntegralInRange<std::size_t>(0, tables.size() - 1);
        const bool replace = in.ConsumeBool();
        sqlite3_stmt* st = (replace ? replaceInserts_ : inserts_)[t];
        const int columns = static_cast<int>(tables[t].columns.size());
        for (int c = 1; c <= columns; ++c)
            bindValue(st, c, in);
        sqlite3_step(st); // a constraint failure just skips the row
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
    }
    sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
}

} // namespace batchplant::fuzz
