// `batchplant import`: Jet/Access files converted into SQLite results
// databases, checked against what mdbtools' own mdb-export prints for the
// same files, and the results-specific finishing steps. The command's
// refusals are rows of CommandLineTest.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ResultsDb.h"
#include "SampleDatabase.h"
#include "TestSupport.h"
#include "batchplant/db/ResultsSchema.h"
#include "db/RecordsetCatalog.h"
#include "db/SqlDialect.h"
#include "db/Sqlite.h"

namespace fs = std::filesystem;
using batchplant::test::CommandResult;
using batchplant::test::ReadFile;
using batchplant::test::runCommand;
using batchplant::test::TempDir;

namespace {

std::string quoted(const fs::path& p) { return "'" + p.string() + "'"; }

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

CommandResult import(const std::string& args) { return runCommand(std::string(BATCHPLANT_CLI) + " import " + args); }

bool builtWithJet()
{
    static const bool yes = import("").err.find("without Jet/Access support") == std::string::npos;
    return yes;
}

bool haveMdbTools()
{
    static const bool yes =
        runCommand("command -v mdb-export && command -v mdb-tables && command -v mdb-schema").exitCode == 0;
    return yes;
}

#define REQUIRE_JET()                                                                                                  \
    if (!builtWithJet()) GTEST_SKIP() << "batchplant was built without Jet/Access support"

// A Jet test file of the shared data, or a skip saying where it is expected.
#define REQUIRE_JET_FILE(var, name)                                                                                    \
    REQUIRE_JET();                                                                                                     \
    const fs::path var = fs::path(BATCHPLANT_SHARED_DIR) / "data" / "jet" / (name);                                    \
    if (!fs::exists(var)) GTEST_SKIP() << "the Jet test file " << (name) << " is expected in " << var.parent_path()

using Row = std::vector<std::optional<std::string>>;

// A SQLite file read back: each value as text (blobs in hex), null as nullopt.
class Db : public batchplant::test::Sql {
public:
    using Sql::Sql;

    // With `types`, the storage class of each value is collected too.
    std::vector<Row> rows(const std::string& sql, std::vector<std::vector<std::string>>* types = nullptr) const
    {
        static const char* const kClass[] = {"", "integer", "real", "text", "blob", "null"};
        std::vector<Row> out;
        batchplant::sqlite::Statement s(*this, sql);
        while (s.step()) {
            Row r;
            std::vector<std::string> t;
            for (int c = 0; c < s.columnCount(); ++c) {
                const int type = s.type(c);
                t.push_back(kClass[type]);
                std::string hex;
                for (const char b : type == SQLITE_BLOB ? s.textView(c) : std::string_view())
                    hex += "0123456789ABCDEF"[static_cast<unsigned char>(b) >> 4],
                        hex += "0123456789ABCDEF"[static_cast<unsigned char>(b) & 15];
                r.push_back(type == SQLITE_NULL   ? std::nullopt
                            : type == SQLITE_BLOB ? std::optional<std::string>(hex)
                                                  : std::optional<std::string>(s.text(c)));
            }
            out.push_back(std::move(r));
            if (types) types->push_back(std::move(t));
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

std::string q(const std::string& name) { return "\"" + name + "\""; }

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        if (!l.empty()) out.push_back(l);
    return out;
}

// ---- what mdbtools prints ---------------------------------------------------

struct CsvField {
    std::string text;
    bool quoted = false;
};

// Rows of one table as mdb-export prints them (text in double quotes with
// quotes doubled, newlines possible inside), dates as ISO-8601 and binary
// data in hex; the header row is dropped.
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
        else if (c == '"')
            inQuotes = !inQuotes, field.quoted = true;
        else if (inQuotes || (c != ',' && c != '\n'))
            field.text += c;
        else {
            row.push_back(std::exchange(field, {}));
            if (c == '\n') rows.push_back(std::exchange(row, {}));
        }
    }
    if (!rows.empty()) rows.erase(rows.begin());
    return rows;
}

// Column types mdb-schema gives for the SQLite back end, by table and column.
std::map<std::string, std::map<std::string, std::string>> mdbSchemaTypes(const fs::path& file)
{
    std::map<std::string, std::map<std::string, std::string>> out;
    const std::regex tableLine("^CREATE TABLE `(.*)`$"), columnLine("^\\s*`(.*)`\\s+(\\w+).*$");
    std::string table;
    std::smatch m;
    for (const std::string& l : linesOf(runCommand("mdb-schema " + quoted(file) + " sqlite").out)) {
        if (std::regex_match(l, m, tableLine))
            table = m[1];
        else if (!table.empty() && std::regex_match(l, m, columnLine))
            out[table][m[1]] = lower(m[2]);
    }
    return out;
}

struct Imported {
    TempDir dir;
    fs::path out;
    CommandResult result;
};

// The sample Jet files are not results files: converted with --any-file.
std::unique_ptr<Imported> importFile(const fs::path& input, const std::string& options = "--any-file")
{
    auto i = std::make_unique<Imported>();
    i->out = i->dir.file("out.db");
    i->result = import(options + " " + quoted(input) + " " + quoted(i->out));
    return i;
}

// Every value of every table of `jet` in the converted file against
// mdb-export's text of it, and its storage class against mdb-schema's type.
// Counts in `unprintableDates` the date values that mdb-export could not print.
void compareWithMdbTools(const fs::path& jet, const fs::path& converted, int& unprintableDates)
{
    const Db db(converted);
    const auto schemaTypes = mdbSchemaTypes(jet);
    unprintableDates = 0;
    for (const std::string& table : linesOf(runCommand("mdb-tables -1 " + quoted(jet)).out)) {
        SCOPED_TRACE(table);
        std::vector<std::vector<std::string>> types;
        const auto ours = db.rows("SELECT * FROM " + q(table), &types);
        const auto theirs = mdbExport(jet, table);
        ASSERT_EQ(ours.size(), theirs.size());
        std::vector<std::string> columns;
        for (const Row& r : db.rows("SELECT name FROM pragma_table_info('" + table + "')"))
            columns.push_back(*r[0]);
        ASSERT_EQ(columns.size(), schemaTypes.at(table).size());
        for (std::size_t row = 0; row < ours.size(); ++row) {
            ASSERT_EQ(ours[row].size(), theirs[row].size()) << "row " << row;
            for (std::size_t c = 0; c < ours[row].size(); ++c) {
                const std::string& jetType = schemaTypes.at(table).at(columns[c]);
                const CsvField& expected = theirs[row][c];
                const auto& value = ours[row][c];
                const std::string& storage = types[row][c];
                SCOPED_TRACE("row " + std::to_string(row) + ", column " + columns[c] + " (" + jetType + ")");
                if (!expected.quoted && expected.text.empty()) {
                    EXPECT_FALSE(value.has_value()) << *value;
                    continue;
                }
                ASSERT_TRUE(value.has_value());
                if (jetType == "real") {
                    EXPECT_TRUE(storage == "real" || storage == "integer") << storage;
                    const double a = std::stod(*value), b = std::stod(expected.text);
                    EXPECT_NEAR(a, b, 1e-7 * std::max(1.0, std::fabs(b)));
                    continue;
                }
                EXPECT_EQ(storage, jetType == "integer" || jetType == "blob" ? jetType : "text");
                // mdb-export cannot print dates before 1900 or in the far
                // future ("1900-01-00"); those are checked on their own.
                if (jetType == "datetime" && expected.text.rfind("1900-01-00", 0) == 0)
                    ++unprintableDates;
                else
                    EXPECT_EQ(*value, expected.text);
            }
        }
    }
}

// ---- the columns the twenty queries read, from their SQL texts -----------

using ColumnSet = std::set<std::pair<std::string, std::string>>; // lower-case (table, column)

class SchemaNames : public batchplant::SqlNameResolver {
public:
    explicit SchemaNames(batchplant::CDaoDatabase& db) : db_(db) {}
    const batchplant::CDaoSavedQuery* FindSavedQuery(const batchplant::CString& name) override
    {
        return db_.FindSavedQuery(name);
    }
    bool HasTableOrView(const batchplant::CString& name) override { return db_.HasTableOrView(name); }

private:
    batchplant::CDaoDatabase& db_;
};

bool mentions(const std::string& sql, const std::string& word)
{
    const std::regex re("(^|[^A-Za-z0-9_])" + word + "($|[^A-Za-z0-9_])", std::regex::icase);
    return std::regex_search(sql, re);
}

// Every table column that some recordset's query reads (as SQLite reports
// the reads when preparing it against the results schema) and that the
// query needs: one its text names, or one it binds. Columns read only
// through a "*" and not bound are left out.
ColumnSet columnsTheQueriesNeed()
{
    TempDir dir;
    const fs::path schemaFile = dir.file("schema.db");
    {
        Db db(schemaFile);
        db.exec(batchplant::ResultsSchemaSql());
    }
    batchplant::CDaoDatabase dao;
    dao.Open(batchplant::CString(schemaFile.string()), false, true);
    SchemaNames names(dao);

    ColumnSet out;
    for (const auto& entry : batchplant::RecordsetCatalog()) {
        auto rs = entry.create();
        const auto translated = batchplant::TranslateJetSql(rs->GetDefaultSQL(), &names);
        std::set<std::string> bound;
        for (int i = 0; i < rs->GetBoundFieldCount(); ++i) {
            batchplant::CDaoFieldInfo info;
            rs->GetFieldInfo(i, info);
            bound.insert(lower(info.m_strName.str()));
        }
        std::vector<std::pair<std::string, std::string>> read;
        EXPECT_TRUE(dao.GetConnection()->columnsRead(translated.sql, read)) << entry.name;
        for (const auto& [table, column] : read)
            if (bound.count(lower(column)) || mentions(translated.sql, lower(column)))
                out.insert({lower(table), lower(column)});
    }
    return out;
}

// (table, column) pairs named by the validation warnings; a missing table
// is reported as (table, "").
ColumnSet warnedMissing(const std::string& err)
{
    ColumnSet out;
    const std::regex table("warning: table '([^']+)' is missing; the results queries read it"),
        column("warning: column '([^'.]+)\\.([^']+)' is missing; the results queries read it");
    for (std::sregex_iterator it(err.begin(), err.end(), table), end; it != end; ++it)
        out.insert({lower((*it)[1]), ""});
    for (std::sregex_iterator it(err.begin(), err.end(), column), end; it != end; ++it)
        out.insert({lower((*it)[1]), lower((*it)[2])});
    return out;
}

std::set<std::string> tablesOf(const ColumnSet& s)
{
    std::set<std::string> out;
    for (const auto& p : s)
        out.insert(p.first);
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

} // namespace

// ---- conversion ---------------------------------------------------------------

class ImportJetFile : public ::testing::TestWithParam<const char*> {};

TEST_P(ImportJetFile, KeepsEveryTableRowAndValueAsMdbToolsReadsThemAndTheInputAsItWas)
{
    REQUIRE_JET_FILE(file, GetParam());
    if (!haveMdbTools()) GTEST_SKIP() << "mdbtools' commands are not installed";
    const std::string before = ReadFile(file);
    const auto stamp = fs::last_write_time(file);
    const auto imported = importFile(file);
    ASSERT_EQ(imported->result.exitCode, 0) << imported->result.err;
    EXPECT_TRUE(ReadFile(file) == before);
    EXPECT_EQ(fs::last_write_time(file), stamp);

    const Db db(imported->out);
    // Every table of the file, the saved-query table and the calendar tables.
    const Db calendar(imported->dir.file("calendar.db"));
    calendar.exec(batchplant::CalendarSchemaSql());
    std::set<std::string> expectedTables = calendar.names("table");
    expectedTables.insert("SavedQueries");
    for (const std::string& t : linesOf(runCommand("mdb-tables -1 " + quoted(file)).out))
        expectedTables.insert(t);
    EXPECT_EQ(db.names("table"), expectedTables);
    int unprintableDates = 0;
    compareWithMdbTools(file, imported->out, unprintableDates);
    if (std::string(GetParam()) != "DateTestDatabase.mdb") return;

    // The file labels its rows by the years it stored; the dates mdb-export
    // cannot print must agree with those labels.
    EXPECT_GT(unprintableDates, 0);
    const std::map<std::string, std::pair<int, int>> years = {
        {"Year 9999", {9999, 9999}}, {"Pre-1900 years", {1000, 1899}}, {"Pre-1000 years", {100, 999}}};
    const std::regex iso("^\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}$");
    int checked = 0;
    for (const Row& r : db.rows("SELECT LongTextCol, DateTimeCol, DateCol FROM DateTest")) {
        const auto range = years.find(r[0].value_or(""));
        for (int c : {1, 2}) {
            ASSERT_TRUE(r[c] && std::regex_match(*r[c], iso)) << r[c].value_or("NULL");
            if (range == years.end()) continue;
            const int year = std::stoi(r[c]->substr(0, 4));
            EXPECT_TRUE(year >= range->second.first && year <= range->second.second) << *r[0] << ": " << *r[c];
            ++checked;
        }
    }
    EXPECT_EQ(checked, 6);
}

INSTANTIATE_TEST_SUITE_P(SharedJetFiles, ImportJetFile,
                         ::testing::Values("nwind.mdb", "DateTestDatabase.mdb", "ASampleDatabase.accdb"));

TEST(Import, ADamagedJetFileIsAnErrorAndLeavesNothingBehind)
{
    REQUIRE_JET_FILE(shared, "nwind.mdb");
    const std::string bytes = ReadFile(shared);
    // The right signature, but the file stops early: in the catalog, in a
    // table definition, and at a place where mdbtools' reader loops for ever
    // (the stall limit ends that).
    for (std::size_t size : {std::size_t{8192}, std::size_t{300000}, std::size_t{1500000}}) {
        SCOPED_TRACE(size);
        TempDir dir;
        const fs::path input = dir.file("cut.mdb");
        std::ofstream(input, std::ios::binary) << bytes.substr(0, size);
        const CommandResult r =
            import("--any-file --stall-seconds 2 " + quoted(input) + " " + quoted(dir.file("out.db")));
        EXPECT_EQ(r.exitCode, 2) << r.err;
        EXPECT_NE(r.err.find("error: cannot read '" + input.string() + "'"), std::string::npos) << r.err;
        // What mdbtools prints on the way comes as notes, never on stdout.
        EXPECT_EQ(r.out, "");
        std::istringstream lines(r.err);
        for (std::string l; std::getline(lines, l);)
            EXPECT_EQ(l.rfind("batchplant import: ", 0), 0u) << l;
        EXPECT_EQ(dirEntries(dir.path()), std::vector<std::string>{"cut.mdb"});
    }
}

TEST(Import, ReplacesAnOutputWhenForcedAndDrawsAProgressBarOnRequestOnly)
{
    REQUIRE_JET_FILE(file, "DateTestDatabase.mdb");
    TempDir dir;
    const fs::path out = dir.file("out.db");
    std::ofstream(out) << "precious";
    const CommandResult forced = import("--any-file --force --progress " + quoted(file) + " " + quoted(out));
    ASSERT_EQ(forced.exitCode, 0) << forced.err;
    EXPECT_NE(forced.err.find("100%"), std::string::npos) << forced.err;
    EXPECT_EQ(Db(out).text("SELECT count(*) FROM DateTest"), "6");
    EXPECT_EQ(dirEntries(dir.path()), std::vector<std::string>{"out.db"});
    // Not a terminal: no bar by default.
    const auto plain = importFile(file);
    ASSERT_EQ(plain->result.exitCode, 0);
    EXPECT_EQ(plain->result.err.find('%'), std::string::npos) << plain->result.err;
}

// ---- the results-specific finishing steps -----------------------------------

TEST(ImportFinishing, TheFixedColumnListMatchesWhatTheQueriesRead)
{
    REQUIRE_JET();
    // A database where every table the queries read has only a stand-in
    // column: every column of the list is then reported missing.
    const ColumnSet needed = columnsTheQueriesNeed();
    ASSERT_GT(needed.size(), 150u);
    TempDir dir;
    const fs::path input = dir.file("empty-tables.db");
    {
        Db db(input);
        for (const std::string& t : tablesOf(needed))
            db.exec("CREATE TABLE " + q(t) + " (StandIn INTEGER)");
    }
    const CommandResult r = import("--from-sqlite " + quoted(input) + " " + quoted(dir.file("out.db")));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(warnedMissing(r.err), needed);
}

TEST(ImportFinishing, NorthwindGetsOurSavedQueriesEmptyCalendarTablesAndAWarningPerMissingTable)
{
    REQUIRE_JET_FILE(file, "nwind.mdb");
    const auto imported = importFile(file);
    ASSERT_EQ(imported->result.exitCode, 0) << imported->result.err;
    const std::string& err = imported->result.err;
    const Db db(imported->out);
    TempDir dir;
    const Db schema(dir.file("schema.db"));
    schema.exec(batchplant::ResultsSchemaSql());
    const auto ours = schema.rows("SELECT Name, SqlText, Parameters FROM SavedQueries ORDER BY Name");
    ASSERT_EQ(ours.size(), 2u);
    EXPECT_EQ(db.rows("SELECT Name, SqlText, Parameters FROM SavedQueries ORDER BY Name"), ours);
    for (const Row& r : ours)
        EXPECT_NE(err.find("saved query '" + *r[0] + "' is missing from the file; installed ours"), std::string::npos)
            << err;
    // Northwind's own saved queries ("Invoices", ...) are named, not mixed with ours.
    EXPECT_NE(err.find("saved queries are not carried over"), std::string::npos) << err;
    EXPECT_NE(err.find("Invoices"), std::string::npos) << err;
    EXPECT_EQ(err.find("cannot be carried over faithfully"), std::string::npos) << err;

    const Db calendar(dir.file("calendar.db"));
    calendar.exec(batchplant::CalendarSchemaSql());
    ASSERT_FALSE(calendar.names("table").empty());
    for (const std::string& t : calendar.names("table")) {
        EXPECT_EQ(db.text("SELECT count(*) FROM " + q(t)), "0") << t;
        const std::string sql = "SELECT sql FROM sqlite_master WHERE name = '" + t + "'";
        EXPECT_EQ(db.text(sql), calendar.text(sql));
    }
    EXPECT_NE(err.find("the file has no calendar tables; created them empty"), std::string::npos) << err;
    // Each missing results table is named once, and no column warnings
    // follow for tables that are not there.
    ColumnSet tables;
    for (const std::string& t : tablesOf(columnsTheQueriesNeed()))
        tables.insert({t, ""});
    EXPECT_EQ(warnedMissing(err), tables);
    // No results table, so none of the schema's indexes applies.
    EXPECT_TRUE(db.names("index").empty());
}

// Every row of every table of `file`, each value as SQL quotes it (so that
// 1, 1.0 and '1' differ), rows sorted, as one text per table.
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

TEST(ImportFinishing, ASampleComesThroughUnchangedAndGetsBackWhatItLacks)
{
    REQUIRE_JET();
    const fs::path& sample = batchplant::test::SampleDatabasePath();
    const std::string before = ReadFile(sample);
    TempDir dir;
    CommandResult r = import("--from-sqlite " + quoted(sample) + " " + quoted(dir.file("out.db")));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, ""); // nothing to install, nothing missing
    EXPECT_TRUE(ReadFile(sample) == before);
    const auto expected = allRows(sample);
    ASSERT_GT(expected.size(), 15u);
    EXPECT_EQ(allRows(dir.file("out.db")), expected);
    const std::set<std::string> indexes = Db(sample, true).names("index");
    EXPECT_EQ(Db(dir.file("out.db"), true).names("index"), indexes);

    // Without two indexes and a saved query: those come back, the data as it was.
    const fs::path lacking = batchplant::test::CopySampleDatabase(dir.file("lacking.db"));
    ASSERT_TRUE(indexes.count("EquipmentSchedule_End"));
    Db(lacking).exec("DROP INDEX EquipmentSchedule_End; DROP INDEX ThermodynamicPhase_Stream;"
                     "DELETE FROM SavedQueries WHERE Name = 'QryPhaseComponents';");
    r = import("--from-sqlite " + quoted(lacking) + " " + quoted(dir.file("restored.db")));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("saved query 'QryPhaseComponents' is missing from the file; installed ours"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("warning"), std::string::npos) << r.err;
    EXPECT_EQ(Db(dir.file("restored.db")).names("index"), indexes);
    EXPECT_EQ(allRows(dir.file("restored.db")), expected);
}

TEST(ImportFinishing, AnIndexTheDataViolatesIsAWarningNotAFailure)
{
    REQUIRE_JET();
    TempDir dir;
    const fs::path input = dir.file("dup.db");
    {
        Db db(input);
        // A schedule table as a Jet file might hold it: no keys, and the same
        // occurrence twice.
        db.exec("CREATE TABLE EquipmentSchedule (EquipmentID INTEGER, BatchNumber INTEGER, StepID INTEGER, "
                "UnitProcedureID INTEGER, OperationID INTEGER, StartTime REAL, EndTime REAL, TimeUOM TEXT);"
                "INSERT INTO EquipmentSchedule VALUES (1, 1, 1, 1, 1, 0, 1, 'h'), (1, 1, 1, 1, 1, 0, 1, 'h');");
    }
    const fs::path out = dir.file("out.db");
    const CommandResult r = import("--from-sqlite " + quoted(input) + " " + quoted(out));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("warning: index 'EquipmentSchedule_Occurrence' not created"), std::string::npos) << r.err;
    const Db db(out);
    const auto indexes = db.names("index");
    EXPECT_FALSE(indexes.count("EquipmentSchedule_Occurrence"));
    EXPECT_TRUE(indexes.count("EquipmentSchedule_End")); // the others still come
    EXPECT_EQ(db.text("SELECT count(*) FROM EquipmentSchedule"), "2");
}
