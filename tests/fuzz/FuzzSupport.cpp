#include "FuzzSupport.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "batchplant/db/ResultsSchema.h"
#include "batchplant/platform/MessageBox.h"
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
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t len = c < 0x80             ? 1
                                : (c & 0xE0) == 0xC0 ? 2
                                : (c & 0xF0) == 0xE0 ? 3
                                : (c & 0xF8) == 0xF0 ? 4
                                                     : 0;
        if (len == 0 || i + len > s.size()) return false;
        std::uint32_t cp = len == 1 ? c : c & (0x7Fu >> len);
        for (std::size_t k = 1; k < len; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        static const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < least[len] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return false;
        i += len;
    }
    return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b) { return jet::iequals(a, b); }

void InitSqliteForFuzzing() { sqlite::enableUriNames(); }

void InitLoaderFuzzing()
{
    InitSqliteForFuzzing();
    SetMessageBoxHandler([](const CString&, unsigned type) { return DefaultMessageBoxAnswer(type); });
    (void)InterestingWords();
}

namespace {

constexpr int kCreate = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;

// The results schema in memory, or a failed check.
sqlite::Connection SchemaConnection()
{
    try {
        sqlite::Connection db(":memory:", kCreate);
        db.exec(ResultsSchemaSql());
        return db;
    } catch (const CDaoException& e) {
        Fail("the results schema does not run", e.what());
    }
}

// The single text column of each row `sql` yields.
std::vector<std::string> Texts(const sqlite::Connection& db, const std::string& sql)
{
    std::vector<std::string> out;
    sqlite::Statement st(db, sql);
    while (st.step())
        out.push_back(st.text(0));
    return out;
}

} // namespace

const std::vector<TableShape>& SchemaTables()
{
    static const std::vector<TableShape> tables = [] {
        std::vector<TableShape> out;
        const sqlite::Connection db = SchemaConnection();
        for (std::string& name : Texts(db, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"))
            out.push_back({std::move(name), {}});
        for (TableShape& t : out)
            t.columns = Texts(db, "SELECT name FROM pragma_table_info(" + sqlite::quoteText(t.name) + ")");
        if (out.empty()) Fail("the results schema has no tables");
        return out;
    }();
    return tables;
}

const std::vector<std::string>& InterestingWords()
{
    static const std::vector<std::string> words = [] {
        // One text, '|' between the words, so that it reads as a list.
        const std::string list =
            "Inventory Location|Inventory Location - Vapor|Continuous|Batch|After Condenser|Before Condenser|"
            "None|Vessel|Liquid|Vapor|h|min|s|day|kg|liter|C|bar|kmol|kJ|QryPhaseComponents|"
            "QryThermodynamicPhase1|CompositeContents|2024-01-01T00:00:00|2024-02-30T25:61:61|1899-12-30|"
            "0001-01-01T00:00:00|9999-12-31 23:59:59.999| 42 |+7|-2147483649|2147483648|32768|1e308|1e309|-1e400|"
            "nan|inf|0x1F|3.5e-320||SELECT * FROM StreamSummary|pid Long|sid Long, CompositeID Long, aid Long";
        std::vector<std::string> w;
        for (std::size_t from = 0, to;; from = to + 1) {
            to = list.find('|', from);
            w.push_back(list.substr(from, to - from));
            if (to == std::string::npos) break;
        }
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

using sqlite::quoteName;

int g_dbSerial = 0;

// Runs `sql` for its effect alone: a failure changes nothing the fuzzer checks.
void ExecQuietly(const sqlite::Connection& db, const char* sql)
{
    try {
        db.exec(sql);
    } catch (const CDaoException&) {
    }
}

} // namespace

MemoryResultsDb::MemoryResultsDb(bool loose)
{
    // A fresh name per database: memdb keeps a named file only while some
    // connection holds it, but a new name rules out any carry-over.
    uri_ = "file:/batchplant-fuzz-" + std::to_string(++g_dbSerial) + "?vfs=memdb";
    try {
        db_ = sqlite::Connection(uri_, kCreate | SQLITE_OPEN_URI);
    } catch (const CDaoException&) {
        return;
    }
    ExecQuietly(db_, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;");
    try {
        if (!loose) {
            db_.exec(ResultsSchemaSql());
        } else {
            std::string ddl;
            for (const TableShape& t : SchemaTables()) {
                ddl += "CREATE TABLE " + quoteName(t.name) + " (";
                for (std::size_t i = 0; i < t.columns.size(); ++i)
                    ddl += (i ? ", " : "") + quoteName(t.columns[i]);
                ddl += ");\n";
            }
            db_.exec(ddl);
            // The saved queries the recordsets open, as the strict schema has them.
            const sqlite::Connection strict = SchemaConnection();
            sqlite::Statement read(strict, "SELECT Name, SqlText, Parameters FROM SavedQueries");
            sqlite::Statement write(db_, "INSERT INTO SavedQueries (Name, SqlText, Parameters) VALUES (?1, ?2, ?3)");
            while (read.step()) {
                for (int c = 0; c < 3; ++c)
                    write.bindValue(c + 1, read.value(c));
                write.step();
                write.reset();
            }
        }
    } catch (const CDaoException& e) {
        Fail(loose ? "the loose schema does not run" : "the results schema does not run", e.what());
    }
    for (const TableShape& t : SchemaTables()) {
        std::string cols, params;
        for (std::size_t i = 0; i < t.columns.size(); ++i) {
            cols += (i ? ", " : "") + quoteName(t.columns[i]);
            params += (i ? ", ?" : "?") + std::to_string(i + 1);
        }
        for (const char* verb : {"INSERT", "INSERT OR REPLACE"}) {
            const std::string sql =
                std::string(verb) + " INTO " + quoteName(t.name) + " (" + cols + ") VALUES (" + params + ")";
            try {
                (verb[6] == '\0' ? inserts_ : replaceInserts_).emplace_back(db_, sql);
            } catch (const CDaoException& e) {
                Fail("cannot prepare an insert", e.what());
            }
        }
    }
}

MemoryResultsDb::~MemoryResultsDb() = default;

void MemoryResultsDb::bindValue(sqlite::Statement& st, int index, FuzzedDataProvider& in)
{
    using Limits = std::numeric_limits<double>;
    // The last two: 9999-12-31 23:59 and 0100-01-01 as day counts.
    static const double specials[] = {Limits::quiet_NaN(),
                                      Limits::infinity(),
                                      -Limits::infinity(),
                                      1e308,
                                      -1e308,
                                      Limits::denorm_min(),
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
                                      2958465.99999,
                                      -657435.0};
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
        st.bind(index, sqlite::Null{});
        break;
    case 1:
    case 2: // small identifiers, so that joins find partners
        st.bind(index, in.ConsumeIntegralInRange<int>(-1, 4));
        break;
    case 3:
        st.bind(index,
                static_cast<long long>(bigInts[in.ConsumeIntegralInRange<std::size_t>(0, std::size(bigInts) - 1)]));
        break;
    case 4:
        st.bind(index, specials[in.ConsumeIntegralInRange<std::size_t>(0, std::size(specials) - 1)]);
        break;
    case 5:
        st.bind(index, in.ConsumeFloatingPoint<double>());
        break;
    case 6: {
        const std::vector<std::string>& words = InterestingWords();
        const std::string& w = words[in.ConsumeIntegralInRange<std::size_t>(0, words.size() - 1)];
        st.bindText(index, w);
        break;
    }
    case 7: { // any bytes as text: invalid UTF-8, NULs, digits
        const std::string s = in.ConsumeRandomLengthString(64);
        st.bindText(index, s);
        break;
    }
    case 8: {
        const std::string s = in.ConsumeRandomLengthString(64);
        st.bindBlob(index, s);
        break;
    }
    default: { // a number written as text
        const std::string s = std::to_string(in.ConsumeIntegral<std::int64_t>() % 100000);
        st.bindText(index, s);
        break;
    }
    }
}

void MemoryResultsDb::AddSkeleton()
{
    if (!db_) return;
    static const char* const rows = R"sql(
        INSERT INTO FacilitySummary (PlantID, PlantName) VALUES (1, 'Plant');
        INSERT INTO EquipmentSummary (EquipmentID, QLTag, Category, EquipmentClassID, EquipmentType, Capacity,
            CapacityUOM, MaxFillFactor, PlantID) VALUES (1, 'V-1', 'Vessel', 0, 'Batch', 1000, 'liter', 1, 1), (2,
            'V-2', 'Vessel', 0, 'Batch', 500, 'liter', 0.8, 1), (3, 'Inv', 'Inventory Location', 0, 'Batch', NULL, NULL,
            1, 1);
        INSERT INTO PureComponents (MaterialID, MaterialName, MolecularWeight) VALUES (1, 'Water', 18), (2, 'Salt',
            58);
        INSERT INTO PPlan (PlanID, PlanName, StartDateTime) VALUES (1, 'Plan', '2024-01-01T00:00:00');
        INSERT INTO ProductionPlanSummary (RequirementID, PlanID, StepID, NumberOfBatches) VALUES (1, 1, 1, 2);
        INSERT INTO StepSummary (StepID, StepName, KeyOutputIntermediateID, NumberOfBatches, AverageBatchTime,
            AverageBatchTimeUOM, StartDateTime, SimulationDateTime, PlantID) VALUES (1, 'Step', 2, 2, 3, 'h',
            '2024-01-01T00:00:00', '2024-01-01T00:00:00', 1);
        INSERT INTO TextRecipe (OperationID, StepID, UnitProcedureID, UnitProcedureName,
            UnitProcedureSequenceNumber, OperationSequenceNumber, OperationName, RecipeText) VALUES (1, 1, 1, 'UP1', 1,
            1, 'Charge', 'Charge water'), (2, 1, 2, 'UP2', 2, 1, 'Transfer', 'Transfer out');
        INSERT INTO EquipmentSchedule (EquipmentScheduleID, EquipmentID, BatchNumber, StepID, UnitProcedureID,
            OperationID, StartTime, EndTime, TimeUOM) VALUES (1, 1, 1, 1, 1, 1, 0, 1, 'h'), (2, 2, 1, 1, 2, 2, 1, 2,
            'h'), (3, 1, 2, 1, 1, 1, 2, 3, 'h');
        INSERT INTO EquipmentContents (ContentsID, EquipmentID, BatchNumber, StepID, UnitProcedureID, OperationID,
            Time, TimeUOM, Volume, VolumeUOM, Mass, MassUOM, Temperature, TemperatureUOM) VALUES (1, 1, 1, 1, 1, 1, 1,
            'h', 100, 'liter', 100, 'kg', 25, 'C'), (2, 2, 1, 1, 2, 2, 2, 'h', 50, 'liter', 50, 'kg', 30, 'C');
        INSERT INTO StreamSummary (StreamID, BatchNumber, StepID, UnitProcedureID, OperationID, MaterialName,
            FromEquipmentID, ToEquipmentID, StartTime, StartTimeUOM, EndTime, EndTimeUOM, Mass, MassUOM, Volume,
            VolumeUOM) VALUES (1, 1, 1, 1, 1, 'Water', 3, 1, 0, 'h', 1, 'h', 100, 'kg', 100, 'liter'), (2, 1, 1, 2, 2,
            'Water', 1, 2, 1, 'h', 2, 'h', 50, 'kg', 50, 'liter');
        INSERT INTO UtilitySummary (UtilityID, UtilityName, BatchNumber, StepID, UnitProcedureID, OperationID,
            EquipmentID, StartTime, StartTimeUOM, EndTime, EndTimeUOM, Mass, MassUOM, HeatDuty, HeatDutyUOM) VALUES (1,
            'Steam', 1, 1, 1, 1, 1, 0, 'h', 1, 'h', 10, 'kg', 500, 'kJ');
        INSERT INTO AirEmissionSummary (AirEmissionID, BatchNumber, StepID, UnitProcedureID, OperationID,
            FromEquipmentID, StartTime, StartTimeUOM, EndTime, EndTimeUOM, Mass, MassUOM) VALUES (1, 1, 1, 1, 1, 1, 0,
            'h', 1, 'h', 1, 'kg');
        INSERT INTO CompositeContents (CompositeContentsID, EquipmentID, Time, TimeUOM, Mass, MassUOM) VALUES (1, 3,
            0, 'h', 10, 'kg'), (2, 3, 2, 'h', 5, 'kg');
        INSERT INTO ThermodynamicPhase (PhaseID, Phase, ContentsID, StreamID, UtilityID, AirEmissionID,
            CompositeContentsID, MassPhaseFraction) VALUES (1, 'Liquid', 1, NULL, NULL, NULL, NULL, 1), (2, 'Liquid',
            NULL, 1, NULL, NULL, NULL, 1), (3, 'Vapor', NULL, NULL, 1, NULL, NULL, 1), (4, 'Vapor', NULL, NULL, NULL, 1,
            NULL, 1), (5, 'Liquid', NULL, NULL, NULL, NULL, 1, 1);
        INSERT INTO PhaseComponents (PhaseID, ComponentID, MassFraction, MoleFraction, VolumeFraction) VALUES (1, 1,
            1, 1, 1), (2, 1, 0.5, 0.5, 0.5), (2, 2, 0.5, 0.5, 0.5), (3, 1, 1, 1, 1), (4, 1, 1, 1, 1), (5, 2, 1, 1, 1);
        INSERT INTO LaborCategory (LaborGradeID, LaborGrade) VALUES (1, 'Operator');
        INSERT INTO LaborSummary (LaborSummaryID, StepID, BatchNumber, UnitProcedureID, OperationID, EquipmentID,
            LaborGradeID, StartTime, EndTime, EndTimeUOM, NumberOfOperators) VALUES (1, 1, 1, 1, 1, 1, 1, 0, 1, 'h', 2);)sql";
    try {
        db_.exec(rows);
    } catch (const CDaoException& e) {
        Fail("the skeleton run does not insert", e.what());
    }
}

void MemoryResultsDb::FillFrom(FuzzedDataProvider& in, int maxRows)
{
    if (!db_) return;
    const std::vector<TableShape>& tables = SchemaTables();
    ExecQuietly(db_, "BEGIN");
    for (int row = 0; row < maxRows && in.remaining_bytes() > 0; ++row) {
        const std::size_t t = in.ConsumeIntegralInRange<std::size_t>(0, tables.size() - 1);
        const bool replace = in.ConsumeBool();
        sqlite::Statement& st = (replace ? replaceInserts_ : inserts_)[t];
        const int columns = static_cast<int>(tables[t].columns.size());
        for (int c = 1; c <= columns; ++c)
            bindValue(st, c, in);
        (void)st.stepCode(); // a constraint failure just skips the row
        st.reset();
        st.clearBindings();
    }
    ExecQuietly(db_, "COMMIT");
}

} // namespace batchplant::fuzz
