#pragma once
// Shared by the fuzzers: a failed check that libFuzzer keeps as a crash,
// UTF-8 validation, and small results databases in memory whose rows come
// from the input. The order in which inputs are consumed is part of what the
// committed corpus and regressions mean: keep it. An exception the fuzzers
// do not expect is left to escape, which libFuzzer keeps as a crash too.

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "batchplant/db/ResultsSchema.h"
#include "batchplant/platform/MessageBox.h"
#include "db/JetTokenizer.h"
#include "db/Sqlite.h"

namespace batchplant::fuzz {

[[noreturn]] inline void Fail(const char* what, std::string_view detail = {})
{
    std::fprintf(stderr, "\n*** fuzz check failed: %s\n    %.*s\n", what, int(detail.size()), detail.data());
    std::abort();
}
inline void Check(bool ok, const char* what, std::string_view detail = {}) { ok ? void() : Fail(what, detail); }

inline bool IsValidUtf8(std::string_view s)
{
    for (std::size_t i = 0, len = 1; i < s.size(); i += len) {
        const auto c = static_cast<unsigned char>(s[i]);
        const int ones = std::countl_one(c); // 0 for ASCII, 2 to 4 for the first byte of a sequence
        len = ones ? ones : 1;
        if (ones == 1 || ones > 4 || i + len > s.size()) return false;
        std::uint32_t cp = len == 1 ? c : c & (0x7Fu >> len);
        for (std::size_t k = 1; k < len; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        static const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < least[len] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return false;
    }
    return true;
}

constexpr int kCreate = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;

inline sqlite::Connection SchemaConnection()
{
    sqlite::Connection db(":memory:", kCreate);
    db.exec(ResultsSchemaSql());
    return db;
}

inline std::vector<std::string> Texts(const sqlite::Connection& db, const std::string& sql)
{
    std::vector<std::string> out;
    for (sqlite::Statement st(db, sql); st.step();)
        out.push_back(st.text(0));
    return out;
}

struct TableShape {
    std::string name;
    std::vector<std::string> columns;
};

// The results schema's tables and columns, from the compiled-in schema text.
inline const std::vector<TableShape>& SchemaTables()
{
    static const std::vector<TableShape> tables = [] {
        std::vector<TableShape> out;
        const sqlite::Connection db = SchemaConnection();
        for (std::string& name : Texts(db, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"))
            out.push_back({name, Texts(db, "SELECT name FROM pragma_table_info(" + sqlite::quoteText(name) + ")")});
        if (out.empty()) Fail("the results schema has no tables");
        return out;
    }();
    return tables;
}

// Texts worth drawing: odd numbers and dates, the words the queries compare
// against, and every table and column name.
inline const std::vector<std::string>& InterestingWords()
{
    static const std::vector<std::string> words = [] {
        const std::string list =
            "Inventory Location|Inventory Location - Vapor|Continuous|Batch|After Condenser|Before Condenser|"
            "None|Vessel|Liquid|Vapor|h|min|s|day|kg|liter|C|bar|kmol|kJ|QryPhaseComponents|"
            "QryThermodynamicPhase1|CompositeContents|2024-01-01T00:00:00|2024-02-30T25:61:61|1899-12-30|"
            "0001-01-01T00:00:00|9999-12-31 23:59:59.999| 42 |+7|-2147483649|2147483648|32768|1e308|1e309|-1e400|"
            "nan|inf|0x1F|3.5e-320||SELECT * FROM StreamSummary|pid Long|sid Long, CompositeID Long, aid Long";
        std::vector<std::string> w;
        for (std::size_t from = 0, to = 0; to != std::string::npos; from = to + 1)
            w.push_back(list.substr(from, (to = list.find('|', from)) - from));
        for (const TableShape& t : SchemaTables()) {
            w.push_back(t.name);
            w.insert(w.end(), t.columns.begin(), t.columns.end());
        }
        return w;
    }();
    return words;
}

// Lets Open take "file:" names, before anything else touches SQLite; then
// silences the message boxes and makes the word list up front.
inline int InitFuzzing()
{
    sqlite::enableUriNames();
    SetMessageBoxHandler([](const CString&, unsigned type) { return DefaultMessageBoxAnswer(type); });
    (void)InterestingWords();
    return 0;
}

inline void ExecQuietly(const sqlite::Connection& db, const char* sql)
{
    try {
        db.exec(sql);
    } catch (const CDaoException&) {
    }
}

// A results database in SQLite's memdb VFS, opened by name like a file. A
// fresh name per database rules out carry-over between inputs.
class MemoryResultsDb {
public:
    // Loose: the schema's tables and columns without types or constraints, so
    // that any value lands in any column; the saved queries copied over.
    explicit MemoryResultsDb(bool loose)
    {
        static int serial = 0;
        uri_ = "file:/batchplant-fuzz-" + std::to_string(++serial) + "?vfs=memdb";
        try {
            db_ = sqlite::Connection(uri_, kCreate | SQLITE_OPEN_URI);
        } catch (const CDaoException&) {
            return;
        }
        ExecQuietly(db_, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;");
        if (!loose) {
            db_.exec(ResultsSchemaSql());
        } else {
            std::string ddl;
            for (const TableShape& t : SchemaTables())
                ddl += "CREATE TABLE " + sqlite::quoteName(t.name) + " (" + list(t, false) + ");\n";
            db_.exec(ddl);
            const sqlite::Connection strict = SchemaConnection();
            sqlite::Statement read(strict, "SELECT Name, SqlText, Parameters FROM SavedQueries");
            sqlite::Statement write(db_, "INSERT INTO SavedQueries (Name, SqlText, Parameters) VALUES (?1, ?2, ?3)");
            for (; read.step(); write.reset()) {
                for (int c = 0; c < 3; ++c)
                    write.bindValue(c + 1, read.value(c));
                write.step();
            }
        }
        for (const TableShape& t : SchemaTables())
            for (const char* verb : {"INSERT", "INSERT OR REPLACE"})
                (verb[6] ? replaceInserts_ : inserts_)
                    .emplace_back(db_, std::string(verb) + " INTO " + sqlite::quoteName(t.name) + " (" +
                                           list(t, false) + ") VALUES (" + list(t, true) + ")");
    }
    MemoryResultsDb(const MemoryResultsDb&) = delete;
    MemoryResultsDb& operator=(const MemoryResultsDb&) = delete;

    const std::string& Uri() const { return uri_; }

    // Maybe a small coherent run (a plant, two vessels and an inventory, a
    // step, an operation each with contents, streams, utility, vapor,
    // composite and labor rows), so that fuzzed rows on top of it reach the
    // deeper paths; then up to `maxRows` rows whose tables and values come
    // from `in`. A row that breaks a constraint of the strict schema is skipped.
    void FillFrom(FuzzedDataProvider& in, int maxRows)
    {
        const bool skeleton = in.ConsumeBool();
        if (!db_) return;
        if (skeleton)
            db_.exec(R"sql(
INSERT INTO FacilitySummary (PlantID, PlantName) VALUES (1, 'Plant');
INSERT INTO EquipmentSummary (EquipmentID, QLTag, Category, EquipmentClassID, EquipmentType, Capacity, CapacityUOM,
  MaxFillFactor, PlantID) VALUES (1, 'V-1', 'Vessel', 0, 'Batch', 1000, 'liter', 1, 1), (2, 'V-2', 'Vessel', 0,
  'Batch', 500, 'liter', 0.8, 1), (3, 'Inv', 'Inventory Location', 0, 'Batch', NULL, NULL, 1, 1);
INSERT INTO PureComponents (MaterialID, MaterialName, MolecularWeight) VALUES (1, 'Water', 18), (2, 'Salt', 58);
INSERT INTO PPlan (PlanID, PlanName, StartDateTime) VALUES (1, 'Plan', '2024-01-01T00:00:00');
INSERT INTO ProductionPlanSummary (RequirementID, PlanID, StepID, NumberOfBatches) VALUES (1, 1, 1, 2);
INSERT INTO StepSummary (StepID, StepName, KeyOutputIntermediateID, NumberOfBatches, AverageBatchTime,
  AverageBatchTimeUOM, StartDateTime, SimulationDateTime, PlantID)
  VALUES (1, 'Step', 2, 2, 3, 'h', '2024-01-01T00:00:00', '2024-01-01T00:00:00', 1);
INSERT INTO TextRecipe (OperationID, StepID, UnitProcedureID, UnitProcedureName, UnitProcedureSequenceNumber,
  OperationSequenceNumber, OperationName, RecipeText)
  VALUES (1, 1, 1, 'UP1', 1, 1, 'Charge', 'Charge water'), (2, 1, 2, 'UP2', 2, 1, 'Transfer', 'Transfer out');
INSERT INTO EquipmentSchedule (EquipmentScheduleID, EquipmentID, BatchNumber, StepID, UnitProcedureID, OperationID,
  StartTime, EndTime, TimeUOM) VALUES (1, 1, 1, 1, 1, 1, 0, 1, 'h'), (2, 2, 1, 1, 2, 2, 1, 2, 'h'),
  (3, 1, 2, 1, 1, 1, 2, 3, 'h');
INSERT INTO EquipmentContents (ContentsID, EquipmentID, BatchNumber, StepID, UnitProcedureID, OperationID, Time,
  TimeUOM, Volume, VolumeUOM, Mass, MassUOM, Temperature, TemperatureUOM) VALUES (1, 1, 1, 1, 1, 1, 1, 'h', 100,
  'liter', 100, 'kg', 25, 'C'), (2, 2, 1, 1, 2, 2, 2, 'h', 50, 'liter', 50, 'kg', 30, 'C');
INSERT INTO StreamSummary (StreamID, BatchNumber, StepID, UnitProcedureID, OperationID, MaterialName, FromEquipmentID,
  ToEquipmentID, StartTime, StartTimeUOM, EndTime, EndTimeUOM, Mass, MassUOM, Volume, VolumeUOM) VALUES (1, 1, 1, 1,
  1, 'Water', 3, 1, 0, 'h', 1, 'h', 100, 'kg', 100, 'liter'), (2, 1, 1, 2, 2, 'Water', 1, 2, 1, 'h', 2, 'h', 50, 'kg',
  50, 'liter');
INSERT INTO UtilitySummary (UtilityID, UtilityName, BatchNumber, StepID, UnitProcedureID, OperationID, EquipmentID,
  StartTime, StartTimeUOM, EndTime, EndTimeUOM, Mass, MassUOM, HeatDuty, HeatDutyUOM)
  VALUES (1, 'Steam', 1, 1, 1, 1, 1, 0, 'h', 1, 'h', 10, 'kg', 500, 'kJ');
INSERT INTO AirEmissionSummary (AirEmissionID, BatchNumber, StepID, UnitProcedureID, OperationID, FromEquipmentID,
  StartTime, StartTimeUOM, EndTime, EndTimeUOM, Mass, MassUOM) VALUES (1, 1, 1, 1, 1, 1, 0, 'h', 1, 'h', 1, 'kg');
INSERT INTO CompositeContents (CompositeContentsID, EquipmentID, Time, TimeUOM, Mass, MassUOM)
  VALUES (1, 3, 0, 'h', 10, 'kg'), (2, 3, 2, 'h', 5, 'kg');
INSERT INTO ThermodynamicPhase (PhaseID, Phase, ContentsID, StreamID, UtilityID, AirEmissionID, CompositeContentsID,
  MassPhaseFraction) VALUES (1, 'Liquid', 1, NULL, NULL, NULL, NULL, 1), (2, 'Liquid', NULL, 1, NULL, NULL, NULL, 1),
  (3, 'Vapor', NULL, NULL, 1, NULL, NULL, 1), (4, 'Vapor', NULL, NULL, NULL, 1, NULL, 1),
  (5, 'Liquid', NULL, NULL, NULL, NULL, 1, 1);
INSERT INTO PhaseComponents (PhaseID, ComponentID, MassFraction, MoleFraction, VolumeFraction) VALUES (1, 1, 1, 1, 1),
  (2, 1, 0.5, 0.5, 0.5), (2, 2, 0.5, 0.5, 0.5), (3, 1, 1, 1, 1), (4, 1, 1, 1, 1), (5, 2, 1, 1, 1);
INSERT INTO LaborCategory (LaborGradeID, LaborGrade) VALUES (1, 'Operator');
INSERT INTO LaborSummary (LaborSummaryID, StepID, BatchNumber, UnitProcedureID, OperationID, EquipmentID, LaborGradeID,
  StartTime, EndTime, EndTimeUOM, NumberOfOperators) VALUES (1, 1, 1, 1, 1, 1, 1, 0, 1, 'h', 2);)sql");
        const std::vector<TableShape>& tables = SchemaTables();
        ExecQuietly(db_, "BEGIN");
        for (int row = 0; row < maxRows && in.remaining_bytes() > 0; ++row) {
            const std::size_t t = in.ConsumeIntegralInRange<std::size_t>(0, tables.size() - 1);
            sqlite::Statement& st = (in.ConsumeBool() ? replaceInserts_ : inserts_)[t];
            for (int c = 1; c <= static_cast<int>(tables[t].columns.size()); ++c)
                bindValue(st, c, in);
            (void)st.stepCode();
            st.reset();
            st.clearBindings();
        }
        ExecQuietly(db_, "COMMIT");
    }

private:
    // "a", "b" or ?1, ?2 over the table's columns.
    static std::string list(const TableShape& t, bool parameters)
    {
        std::string out;
        for (std::size_t i = 0; i < t.columns.size(); ++i)
            out += (i ? ", " : "") + (parameters ? "?" + std::to_string(i + 1) : sqlite::quoteName(t.columns[i]));
        return out;
    }

    static void bindValue(sqlite::Statement& st, int index, FuzzedDataProvider& in)
    {
        using L = std::numeric_limits<double>;
        using I = std::numeric_limits<std::int64_t>;
        // The last two: 9999-12-31 23:59 and 0100-01-01 as day counts.
        static const double specials[] = {
            L::quiet_NaN(), L::infinity(),         -L::infinity(), 1e308,         -1e308,  L::denorm_min(),
            -0.0,           2147483647.5,          2147483648.0,   -2147483649.0, 32767.9, 32768.0,
            -32769.0,       9.2233720368547758e18, 1e35,           -1e35,         0.5,     2958465.99999,
            -657435.0};
        static const std::int64_t bigInts[] = {I::min(),      I::max(),      2147483647, 2147483648LL,
                                               -2147483648LL, -2147483649LL, 32767,      32768,
                                               -32768,        -32769,        65535,      4294967296LL};
        const auto pick = [&](const auto& table) {
            return table[in.ConsumeIntegralInRange<std::size_t>(0, std::size(table) - 1)];
        };
        switch (in.ConsumeIntegralInRange<int>(0, 9)) {
        case 0:
            return st.bind(index, sqlite::Null{});
        case 1:
        case 2:
            return st.bind(index, in.ConsumeIntegralInRange<int>(-1, 4)); // small ids, so that joins find partners
        case 3:
            return st.bind(index, static_cast<long long>(pick(bigInts)));
        case 4:
            return st.bind(index, pick(specials));
        case 5:
            return st.bind(index, in.ConsumeFloatingPoint<double>());
        case 6:
            return st.bindText(index, pick(InterestingWords()));
        case 7:
            return st.bindText(index, in.ConsumeRandomLengthString(64)); // invalid UTF-8, NULs, digits
        case 8:
            return st.bindBlob(index, in.ConsumeRandomLengthString(64));
        default:
            return st.bindText(index, std::to_string(in.ConsumeIntegral<std::int64_t>() % 100000));
        }
    }

    sqlite::Connection db_;
    std::string uri_;
    std::vector<sqlite::Statement> inserts_, replaceInserts_; // one per table of SchemaTables()
};

} // namespace batchplant::fuzz
