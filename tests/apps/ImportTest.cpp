// `batchplant import`: Jet/Access files against what mdbtools prints for
// them, and the finishing steps for results files. Refusals are rows of
// CommandLineTest.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <utility>

#include "ResultsDb.h"
#include "SampleDatabase.h"
#include "TestSupport.h"
#include "batchplant/db/ResultsSchema.h"
#include "db/RecordsetCatalog.h"
#include "db/SqlDialect.h"
#include "db/Sqlite.h"

namespace batchplant::test {
namespace {

namespace fs = std::filesystem;

std::string quoted(const fs::path& p) { return "'" + p.string() + "'"; }
std::string q(const std::string& name) { return "\"" + name + "\""; }
std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}
CommandResult import(const std::string& args) { return runCommand(std::string(BATCHPLANT_CLI) + " import " + args); }

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        if (!l.empty()) out.push_back(l);
    return out;
}

std::vector<std::string> dirEntries(const fs::path& dir)
{
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir))
        out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

const fs::path kJetDir = fs::path(BATCHPLANT_SHARED_DIR) / "data" / "jet";

// Why a test cannot run here: no Jet support, or the Jet file `name` missing.
std::string jetSkip(const std::string& name)
{
    static const bool withJet = import("").err.find("without Jet/Access support") == std::string::npos;
    if (!withJet) return "batchplant was built without Jet/Access support";
    if (!name.empty() && !fs::exists(kJetDir / name))
        return "the Jet test file " + name + " is expected in " + kJetDir.string();
    return "";
}
#define REQUIRE_JET(name)                                                                                              \
    if (const std::string why = jetSkip(name); !why.empty()) GTEST_SKIP() << why

using Row = std::vector<std::optional<std::string>>; // null as nullopt

class Db : public Sql {
public:
    using Sql::Sql;
    std::vector<Row> rows(const std::string& sql) const
    {
        std::vector<Row> out;
        for (sqlite::Statement s(*this, sql); s.step();) {
            Row& r = out.emplace_back();
            for (int c = 0; c < s.columnCount(); ++c)
                r.push_back(s.type(c) == SQLITE_NULL ? std::nullopt : std::optional(s.text(c)));
        }
        return out;
    }
    std::set<std::string> names(const std::string& type) const
    {
        std::set<std::string> out;
        for (const Row& r : rows("SELECT name FROM sqlite_master WHERE type = '" + type +
                                 "' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'"))
            out.insert(*r[0]);
        return out;
    }
};

struct CsvField {
    std::string text;
    bool quoted = false;
};

// One table as mdb-export prints it (quotes doubled, newlines inside quotes),
// dates in ISO-8601, binary in hex; without the header row.
std::vector<std::vector<CsvField>> mdbExport(const fs::path& file, const std::string& table)
{
    const CommandResult r = runCommand("mdb-export -b hex -D '%Y-%m-%dT%H:%M:%S' -T '%Y-%m-%dT%H:%M:%S' " +
                                       quoted(file) + " '" + table + "'");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::vector<CsvField>> rows;
    std::vector<CsvField> row;
    CsvField field;
    bool inQuotes = false;
    for (std::size_t i = 0; i < r.out.size(); ++i) {
        const char c = r.out[i];
        if (inQuotes && c == '"' && i + 1 < r.out.size() && r.out[i + 1] == '"')
            field.text += r.out[i++];
        else if (c == '"') {
            inQuotes = !inQuotes;
            field.quoted = true;
        } else if (inQuotes || (c != ',' && c != '\n'))
            field.text += c;
        else {
            row.push_back(std::exchange(field, {}));
            if (c == '\n') rows.push_back(std::exchange(row, {}));
        }
    }
    if (!rows.empty()) rows.erase(rows.begin());
    return rows;
}

// Every value of every table against mdb-export's text, its storage class
// against mdb-schema's SQLite type. Counts the dates mdb-export cannot print
// (before 1900 or far ahead: "1900-01-00").
void compareWithMdbTools(const fs::path& jet, const Db& db, int& unprintable)
{
    std::map<std::string, std::map<std::string, std::string>> schema;
    const std::regex tableLine("^CREATE TABLE `(.*)`$"), columnLine("^\\s*`(.*)`\\s+(\\w+).*$");
    std::string current;
    std::smatch m;
    for (const std::string& l : linesOf(runCommand("mdb-schema " + quoted(jet) + " sqlite").out))
        if (std::regex_match(l, m, tableLine))
            current = m[1];
        else if (!current.empty() && std::regex_match(l, m, columnLine))
            schema[current][m[1]] = lower(m[2]);
    for (const std::string& table : linesOf(runCommand("mdb-tables -1 " + quoted(jet)).out)) {
        SCOPED_TRACE(table);
        const auto theirs = mdbExport(jet, table);
        std::vector<std::string> columns;
        std::string select; // each value's storage class, then the value (blobs in hex)
        for (const Row& r : db.rows("SELECT name FROM pragma_table_info('" + table + "')")) {
            columns.push_back(*r[0]);
            select += (select.empty() ? "SELECT typeof(" : ", typeof(") + q(*r[0]) + "), CASE typeof(" + q(*r[0]) +
                      ") WHEN 'blob' THEN hex(" + q(*r[0]) + ") ELSE " + q(*r[0]) + " END";
        }
        const auto ours = db.rows(select + " FROM " + q(table));
        ASSERT_EQ(ours.size(), theirs.size());
        ASSERT_EQ(columns.size(), schema.at(table).size());
        for (std::size_t row = 0; row < ours.size(); ++row) {
            ASSERT_EQ(ours[row].size(), 2 * theirs[row].size()) << "row " << row;
            for (std::size_t c = 0; c < columns.size(); ++c) {
                const std::string& jetType = schema.at(table).at(columns[c]);
                const CsvField& expected = theirs[row][c];
                const auto& value = ours[row][2 * c + 1];
                const std::string& storage = *ours[row][2 * c];
                SCOPED_TRACE("row " + std::to_string(row) + ", column " + columns[c] + " (" + jetType + ")");
                if (!expected.quoted && expected.text.empty()) {
                    EXPECT_FALSE(value.has_value()) << *value;
                    continue;
                }
                ASSERT_TRUE(value.has_value());
                if (jetType == "real") {
                    EXPECT_TRUE(storage == "real" || storage == "integer") << storage;
                    const double b = std::stod(expected.text);
                    EXPECT_NEAR(std::stod(*value), b, 1e-7 * std::max(1.0, std::fabs(b)));
                    continue;
                }
                EXPECT_EQ(storage, jetType == "integer" || jetType == "blob" ? jetType : "text");
                if (jetType == "datetime" && expected.text.rfind("1900-01-00", 0) == 0)
                    ++unprintable;
                else
                    EXPECT_EQ(*value, expected.text);
            }
        }
    }
}

class SchemaNames : public SqlNameResolver {
public:
    explicit SchemaNames(CDaoDatabase& db) : db_(db) {}
    const CDaoSavedQuery* FindSavedQuery(const CString& name) override { return db_.FindSavedQuery(name); }
    bool HasTableOrView(const CString& name) override { return db_.HasTableOrView(name); }

private:
    CDaoDatabase& db_;
};

using ColumnSet = std::set<std::pair<std::string, std::string>>; // lower-case (table, column)

// The columns the recordsets' queries read (as SQLite reports them when
// preparing against the results schema) and need: named in the text or
// bound. Columns read only through a "*" are left out.
ColumnSet columnsTheQueriesNeed()
{
    ResultsDb schema;
    schema.finish();
    CDaoDatabase dao;
    dao.Open(CString(schema.pathString()), false, true);
    SchemaNames names(dao);
    ColumnSet out;
    for (const auto& entry : RecordsetCatalog()) {
        auto rs = entry.create();
        const auto translated = TranslateJetSql(rs->GetDefaultSQL(), &names);
        std::set<std::string> bound;
        for (int i = 0; i < rs->GetBoundFieldCount(); ++i) {
            CDaoFieldInfo info;
            rs->GetFieldInfo(i, info);
            bound.insert(lower(info.m_strName.str()));
        }
        std::vector<std::pair<std::string, std::string>> read;
        EXPECT_TRUE(dao.GetConnection()->columnsRead(translated.sql, read)) << entry.name;
        for (const auto& [table, column] : read) {
            const std::regex word("(^|[^A-Za-z0-9_])" + lower(column) + "($|[^A-Za-z0-9_])", std::regex::icase);
            if (bound.count(lower(column)) || std::regex_search(translated.sql, word))
                out.insert({lower(table), lower(column)});
        }
    }
    return out;
}

// (table, column) named by the validation warnings; a missing table as (table, "").
ColumnSet warnedMissing(const std::string& err)
{
    ColumnSet out;
    const std::regex re(
        "warning: (table '([^']+)'|column '([^'.]+)\\.([^']+)') is missing; the results queries read it");
    for (std::sregex_iterator it(err.begin(), err.end(), re), end; it != end; ++it)
        out.insert((*it)[2].matched ? std::pair(lower((*it)[2]), std::string())
                                    : std::pair(lower((*it)[3]), lower((*it)[4])));
    return out;
}

// Every table's rows, each value as SQL quotes it (1, 1.0 and '1' differ), sorted.
std::map<std::string, std::string> allRows(const fs::path& file)
{
    const Db db(file, true);
    std::map<std::string, std::string> out;
    for (const std::string& t : db.names("table")) {
        std::string row;
        for (const Row& c : db.rows("SELECT name FROM pragma_table_info('" + t + "')"))
            row += (row.empty() ? "quote(" : " || ',' || quote(") + q(*c[0]) + ")";
        for (const Row& r : db.rows("SELECT " + row + " AS r FROM " + q(t) + " ORDER BY r"))
            out[t] += *r[0] + "\n";
    }
    return out;
}

class ImportJetFile : public ::testing::TestWithParam<const char*> {};

TEST_P(ImportJetFile, KeepsEveryValueAsMdbToolsReadsItAndTheInputAsItWas)
{
    REQUIRE_JET(GetParam());
    const fs::path file = kJetDir / GetParam();
    if (runCommand("command -v mdb-export mdb-tables mdb-schema >/dev/null").exitCode != 0)
        GTEST_SKIP() << "mdbtools' commands are not installed";
    const std::string before = ReadFile(file);
    // Over a taken name when forced, with a progress bar only when asked
    // (not a terminal), and no temporary file left.
    TempDir dir;
    const bool bar = std::string(GetParam()) != "nwind.mdb";
    std::ofstream(dir.file("out.db")) << "precious";
    const CommandResult r = import("--any-file --force " + std::string(bar ? "--progress " : "") + quoted(file) + " " +
                                   quoted(dir.file("out.db")));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err.find(bar ? "100%" : "%") != std::string::npos, bar) << r.err;
    EXPECT_EQ(dirEntries(dir.path()), std::vector<std::string>{"out.db"});
    EXPECT_TRUE(ReadFile(file) == before);
    const Db db(dir.file("out.db")), calendar(dir.file("calendar.db")), schema(dir.file("schema.db"));
    calendar.exec(CalendarSchemaSql());
    schema.exec(ResultsSchemaSql());
    // The file's tables, our saved queries and empty calendar tables; each
    // missing results table named once, without column warnings or indexes.
    std::set<std::string> tables = calendar.names("table");
    tables.insert("SavedQueries");
    for (const std::string& t : linesOf(runCommand("mdb-tables -1 " + quoted(file)).out))
        tables.insert(t);
    EXPECT_EQ(db.names("table"), tables);
    const auto ours = schema.rows("SELECT Name, SqlText, Parameters FROM SavedQueries ORDER BY Name");
    EXPECT_EQ(db.rows("SELECT Name, SqlText, Parameters FROM SavedQueries ORDER BY Name"), ours);
    for (const Row& row : ours)
        EXPECT_NE(r.err.find("saved query '" + *row[0] + "' is missing from the file; installed ours"),
                  std::string::npos);
    EXPECT_NE(r.err.find("the file has no calendar tables; created them empty"), std::string::npos) << r.err;
    for (const std::string& t : calendar.names("table"))
        EXPECT_EQ(db.count("SELECT count(*) FROM " + q(t)), 0) << t;
    ColumnSet missing;
    for (const auto& [table, column] : columnsTheQueriesNeed())
        missing.insert({table, ""});
    EXPECT_EQ(warnedMissing(r.err), missing);
    EXPECT_TRUE(db.names("index").empty());
    // Its own saved queries are named, not mixed with ours.
    EXPECT_EQ(std::regex_search(r.err, std::regex("saved queries are not carried over[^\n]*Invoices")),
              std::string(GetParam()) == "nwind.mdb")
        << r.err;
    int unprintable = 0;
    compareWithMdbTools(file, db, unprintable);
    if (std::string(GetParam()) != "DateTestDatabase.mdb") return;
    // The rows are labelled by the years they hold; the dates mdb-export
    // cannot print must agree with the labels.
    EXPECT_GT(unprintable, 0);
    const std::map<std::string, std::pair<int, int>> years = {
        {"Year 9999", {9999, 9999}}, {"Pre-1900 years", {1000, 1899}}, {"Pre-1000 years", {100, 999}}};
    int checked = 0;
    for (const Row& row : db.rows("SELECT LongTextCol, DateTimeCol, DateCol FROM DateTest"))
        for (const std::string& date : {row[1].value_or(""), row[2].value_or("")}) {
            const auto [low, high] = years.count(row[0].value_or("")) ? years.at(*row[0]) : std::pair(0, 9999);
            checked += low > 0;
            EXPECT_TRUE(std::regex_match(date, std::regex("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d$")) &&
                        std::stoi(date) >= low && std::stoi(date) <= high)
                << row[0].value_or("") << ": " << date;
        }
    EXPECT_EQ(checked, 6);
}

INSTANTIATE_TEST_SUITE_P(SharedJetFiles, ImportJetFile,
                         ::testing::Values("nwind.mdb", "DateTestDatabase.mdb", "ASampleDatabase.accdb"));

TEST(Import, ADamagedJetFileIsAnErrorAndLeavesNothingBehind)
{
    REQUIRE_JET("nwind.mdb");
    const fs::path shared = kJetDir / "nwind.mdb";
    const std::string bytes = ReadFile(shared);
    // Cut in the catalog, in a table definition, and where mdbtools' reader
    // loops for ever (the stall limit ends that).
    for (std::size_t size : {8192, 300000, 1500000}) {
        SCOPED_TRACE(size);
        TempDir dir;
        const fs::path input = dir.file("cut.mdb");
        std::ofstream(input, std::ios::binary) << bytes.substr(0, size);
        const CommandResult r =
            import("--any-file --stall-seconds 2 " + quoted(input) + " " + quoted(dir.file("out.db")));
        EXPECT_EQ(r.exitCode, 2) << r.err;
        EXPECT_NE(r.err.find("error: cannot read '" + input.string() + "'"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, ""); // mdbtools' own prints come as notes
        for (const std::string& l : linesOf(r.err))
            EXPECT_EQ(l.rfind("batchplant import: ", 0), 0u) << l;
        EXPECT_EQ(dirEntries(dir.path()), std::vector<std::string>{"cut.mdb"});
    }
}

// Results files from SQLite: every column the queries read is named when
// missing, a sample comes through unchanged and gets back what it lacks, and
// an index the data violates is a warning, not a failure.
TEST(ImportFinishing, FromSqlite)
{
    REQUIRE_JET("");
    TempDir dir;
    auto importInto = [&](const fs::path& in, const std::string& out) {
        const CommandResult r = import("--from-sqlite " + quoted(in) + " " + quoted(dir.file(out)));
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return r.err;
    };
    // Every table the queries read with a stand-in column only: every column
    // of the list is then reported missing.
    const ColumnSet needed = columnsTheQueriesNeed();
    ASSERT_GT(needed.size(), 150u);
    for (const auto& [table, column] : needed)
        Db(dir.file("in.db")).exec("CREATE TABLE IF NOT EXISTS " + q(table) + " (StandIn INTEGER)");
    EXPECT_EQ(warnedMissing(importInto(dir.file("in.db"), "out.db")), needed);

    const fs::path& sample = SampleDatabasePath();
    const std::string before = ReadFile(sample);
    EXPECT_EQ(importInto(sample, "sample.db"), ""); // nothing to install, nothing missing
    EXPECT_TRUE(ReadFile(sample) == before);
    const auto expected = allRows(sample);
    EXPECT_EQ(allRows(dir.file("sample.db")), expected);
    const std::set<std::string> indexes = Db(sample, true).names("index");
    EXPECT_EQ(Db(dir.file("sample.db"), true).names("index"), indexes);
    // Without two indexes and a saved query: those come back, the data as it was.
    const fs::path lacking = CopySampleDatabase(dir.file("lacking.db"));
    Db(lacking).exec("DROP INDEX EquipmentSchedule_End; DROP INDEX ThermodynamicPhase_Stream;"
                     "DELETE FROM SavedQueries WHERE Name = 'QryPhaseComponents';");
    EXPECT_EQ(importInto(lacking, "restored.db"),
              "batchplant import: note: saved query 'QryPhaseComponents' is missing from the file; installed ours\n");
    EXPECT_EQ(Db(dir.file("restored.db")).names("index"), indexes);
    EXPECT_EQ(allRows(dir.file("restored.db")), expected);

    // A schedule as a Jet file might hold it: no keys, one occurrence twice.
    Db(dir.file("dup.db"))
        .exec("CREATE TABLE EquipmentSchedule (EquipmentID INTEGER, BatchNumber INTEGER, StepID INTEGER, "
              "UnitProcedureID INTEGER, OperationID INTEGER, StartTime REAL, EndTime REAL, TimeUOM TEXT);"
              "INSERT INTO EquipmentSchedule VALUES (1, 1, 1, 1, 1, 0, 1, 'h'), (1, 1, 1, 1, 1, 0, 1, 'h');");
    EXPECT_NE(
        importInto(dir.file("dup.db"), "dup-out.db").find("warning: index 'EquipmentSchedule_Occurrence' not created"),
        std::string::npos);
    const Db db(dir.file("dup-out.db"));
    EXPECT_FALSE(db.names("index").count("EquipmentSchedule_Occurrence"));
    EXPECT_TRUE(db.names("index").count("EquipmentSchedule_End")); // the others still come
    EXPECT_EQ(db.count("SELECT count(*) FROM EquipmentSchedule"), 2);
}

} // namespace
} // namespace batchplant::test
