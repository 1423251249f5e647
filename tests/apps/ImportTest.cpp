// `batchplant import`: Jet/Access files converted into SQLite results
// databases, checked against what mdbtools' own mdb-export prints for the
// same files, and the results-specific finishing steps.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
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
#include "db/RecordsetCatalog.h"
#include "db/Sqlite.h"
#include "batchplant/db/ResultsSchema.h"
#include "db/SqlDialect.h"

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

// A Jet test file of the shared data, or a skip when this checkout lacks it.
#define REQUIRE_JET_FILE(var, name)                                                                                    \
    REQUIRE_JET();                                                                                                     \
    const fs::path var = fs::path(BATCHPLANT_SHARED_DIR) / "data" / "jet" / (name);                                    \
    if (!fs::exists(var)) GTEST_SKIP() << var << " is not there"

// ---- a read-only view of a SQLite file ------------------------------------

using Row = std::vector<std::optional<std::string>>;

class Db : public batchplant::test::Sql {
public:
    using Sql::Sql;

    // Rows of `sql`; each value as text, null as nullopt. With `types`, the
    // storage class of each value is collected too.
    std::vector<Row> rows(const std::string& sql, std::vector<std::vector<std::string>>* types = nullptr) const
    {
        std::vector<Row> out;
        batchplant::sqlite::Statement s(*this, sql);
        while (s.step()) {
            Row r;
            std::vector<std::string> t;
            for (int c = 0; c < s.columnCount(); ++c) {
                const int type = s.type(c);
                t.push_back(type == SQLITE_INTEGER ? "integer"
                            : type == SQLITE_FLOAT ? "real"
                            : type == SQLITE_TEXT  ? "text"
                            : type == SQLITE_BLOB  ? "blob"
                                                   : "null");
                if (type == SQLITE_NULL) {
                    r.push_back(std::nullopt);
                } else if (type == SQLITE_BLOB) {
                    std::string hex;
                    char buf[3];
                    for (const char b : s.textView(c)) {
                        std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned char>(b));
                        hex += buf;
                    }
                    r.push_back(hex);
                } else {
                    r.push_back(s.text(c));
                }
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

// The tables the finishing steps add: the saved-query table and the calendar tables.
std::set<std::string> addedTables()
{
    TempDir dir;
    {
        Db db(dir.file("s.db"));
        db.exec(batchplant::CalendarSchemaSql());
    }
    Db db(dir.file("s.db"));
    std::set<std::string> out = db.names("table");
    out.insert("SavedQueries");
    return out;
}

// ---- what mdbtools prints ---------------------------------------------------

struct CsvField {
    std::string text;
    bool quoted = false;
};

// mdb-export's CSV: fields separated by commas, text in double quotes with
// quotes doubled, rows ending in a newline (which may also occur in a field).
std::vector<std::vector<CsvField>> parseCsv(const std::string& s)
{
    std::vector<std::vector<CsvField>> rows;
    std::vector<CsvField> row;
    CsvField field;
    bool inQuotes = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (inQuotes) {
            if (c == '"' && i + 1 < s.size() && s[i + 1] == '"') {
                field.text += '"';
                ++i;
            } else if (c == '"') {
                inQuotes = false;
            } else {
                field.text += c;
            }
        } else if (c == '"') {
            inQuotes = field.quoted = true;
        } else if (c == ',') {
            row.push_back(std::exchange(field, {}));
        } else if (c == '\n') {
            row.push_back(std::exchange(field, {}));
            rows.push_back(std::exchange(row, {}));
        } else {
            field.text += c;
        }
    }
    return rows;
}

std::vector<std::string> mdbTables(const fs::path& file)
{
    std::vector<std::string> out;
    std::istringstream lines(runCommand("mdb-tables -1 " + quoted(file)).out);
    for (std::string l; std::getline(lines, l);)
        if (!l.empty()) out.push_back(l);
    return out;
}

// Rows of one table as mdb-export prints them, dates as ISO-8601 and binary
// data in hex; the header row is dropped.
std::vector<std::vector<CsvField>> mdbExport(const fs::path& file, const std::string& table)
{
    const CommandResult r = runCommand("mdb-export -b hex -D '%Y-%m-%dT%H:%M:%S' -T '%Y-%m-%dT%H:%M:%S' " +
                                       quoted(file) + " '" + table + "'");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    auto rows = parseCsv(r.out);
    if (!rows.empty()) rows.erase(rows.begin());
    return rows;
}

// Column types mdb-schema gives for the SQLite back end, by table and column.
std::map<std::string, std::map<std::string, std::string>> mdbSchemaTypes(const fs::path& file)
{
    std::map<std::string, std::map<std::string, std::string>> out;
    std::istringstream lines(runCommand("mdb-schema " + quoted(file) + " sqlite").out);
    const std::regex tableLine("^CREATE TABLE `(.*)`$"), columnLine("^\\s*`(.*)`\\s+(\\w+).*$");
    std::string table;
    std::smatch m;
    for (std::string l; std::getline(lines, l);) {
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
    for (const std::string& table : mdbTables(jet)) {
        SCOPED_TRACE(table);
        std::vector<std::vector<std::string>> types;
        const auto ours = db.rows("SELECT * FROM " + q(table), &types);
        const auto theirs = mdbExport(jet, table);
        ASSERT_EQ(ours.size(), theirs.size());
        std::vector<std::string> columns;
        for (const Row& r : db.rows("SELECT name, type FROM pragma_table_info('" + table + "')"))
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
                if (jetType == "integer") {
                    EXPECT_EQ(storage, "integer");
                    EXPECT_EQ(*value, expected.text);
                } else if (jetType == "real") {
                    EXPECT_TRUE(storage == "real" || storage == "integer") << storage;
                    const double a = std::stod(*value), b = std::stod(expected.text);
                    EXPECT_NEAR(a, b, 1e-7 * std::max(1.0, std::fabs(b)));
                } else if (jetType == "datetime") {
                    EXPECT_EQ(storage, "text");
                    // mdb-export cannot print dates before 1900 or in the far
                    // future ("1900-01-00"); those are checked on their own.
                    if (expected.text.rfind("1900-01-00", 0) == 0)
                        ++unprintableDates;
                    else
                        EXPECT_EQ(*value, expected.text);
                } else if (jetType == "blob") {
                    EXPECT_EQ(storage, "blob");
                    EXPECT_EQ(*value, expected.text);
                } else {
                    EXPECT_EQ(storage, "text");
                    EXPECT_EQ(*value, expected.text);
                }
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

TEST_P(ImportJetFile, KeepsEveryTableRowAndValueAsMdbToolsReadsThem)
{
    REQUIRE_JET_FILE(file, GetParam());
    if (!haveMdbTools()) GTEST_SKIP() << "mdbtools' commands are not installed";
    const auto imported = importFile(file);
    ASSERT_EQ(imported->result.exitCode, 0) << imported->result.err;

    const Db db(imported->out);
    std::set<std::string> expectedTables = addedTables();
    for (const std::string& t : mdbTables(file))
        expectedTables.insert(t);
    EXPECT_EQ(db.names("table"), expectedTables);

    int unprintableDates = 0;
    compareWithMdbTools(file, imported->out, unprintableDates);
}

INSTANTIATE_TEST_SUITE_P(SharedJetFiles, ImportJetFile,
                         ::testing::Values("nwind.mdb", "DateTestDatabase.mdb", "ASampleDatabase.accdb"));

TEST(Import, NorthwindNonAsciiNamesDatesMemosAndPicturesComeThrough)
{
    REQUIRE_JET_FILE(file, "nwind.mdb");
    if (!haveMdbTools()) GTEST_SKIP() << "mdbtools' commands are not installed";
    const auto imported = importFile(file);
    ASSERT_EQ(imported->result.exitCode, 0) << imported->result.err;
    const Db db(imported->out);

    // The table with an umlaut in its name, row for row.
    const std::string umsaetze = "Ums\xC3\xA4tze";
    const auto theirs = mdbExport(file, umsaetze);
    ASSERT_EQ(db.text("SELECT count(*) FROM " + q(umsaetze)), std::to_string(theirs.size()));
    ASSERT_GT(theirs.size(), 100u);

    // A date column, value for value.
    const auto dates = db.rows("SELECT OrderDate, ShippedDate FROM Orders");
    const auto orders = mdbExport(file, "Orders");
    ASSERT_EQ(dates.size(), orders.size());
    int nullShipped = 0;
    for (std::size_t i = 0; i < dates.size(); ++i) {
        EXPECT_EQ(dates[i][0].value_or("NULL"), orders[i][3].text);
        if (!dates[i][1])
            ++nullShipped;
        else
            EXPECT_EQ(*dates[i][1], orders[i][5].text);
    }
    EXPECT_GT(nullShipped, 0); // orders not shipped yet stay null

    // Text with characters outside ASCII.
    const std::string nonAscii = db.text("SELECT count(*) FROM Customers WHERE CompanyName <> CAST(CAST(CompanyName AS "
                                         "BLOB) AS TEXT) OR hex(CompanyName) GLOB '*C3*'");
    EXPECT_NE(nonAscii, "0");

    // Types that keep their nature: a yes/no column, a currency, a memo, a picture.
    EXPECT_EQ(db.text("SELECT group_concat(DISTINCT typeof(Discontinued)) FROM Products"), "integer");
    EXPECT_EQ(db.text("SELECT count(*) FROM Products WHERE Discontinued NOT IN (0, 1)"), "0");
    EXPECT_EQ(db.text("SELECT sum(Discontinued) FROM Products"), "8");
    EXPECT_EQ(db.text("SELECT typeof(Photo) FROM Employees LIMIT 1"), "blob");
    const auto notes = db.rows("SELECT Notes FROM Employees");
    const auto employees = mdbExport(file, "Employees");
    ASSERT_EQ(notes.size(), employees.size());
    for (std::size_t i = 0; i < notes.size(); ++i)
        EXPECT_EQ(notes[i][0].value_or("NULL"), employees[i][15].text);
}

TEST(Import, DatesThatMdbExportCannotPrintAreStillExact)
{
    REQUIRE_JET_FILE(file, "DateTestDatabase.mdb");
    if (!haveMdbTools()) GTEST_SKIP() << "mdbtools' commands are not installed";
    const auto imported = importFile(file);
    ASSERT_EQ(imported->result.exitCode, 0) << imported->result.err;
    int unprintableDates = 0;
    compareWithMdbTools(file, imported->out, unprintableDates);
    EXPECT_GT(unprintableDates, 0);

    // The file labels its rows by the years it stored ("Year 9999",
    // "Pre-1900 years", "Pre-1000 years"); the converted dates must agree.
    const Db db(imported->out);
    const std::regex iso("^\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}$");
    int checked = 0;
    for (const Row& r : db.rows("SELECT LongTextCol, DateTimeCol, DateCol FROM DateTest")) {
        for (int c : {1, 2}) {
            ASSERT_TRUE(r[c].has_value());
            ASSERT_TRUE(std::regex_match(*r[c], iso)) << *r[c];
            const int year = std::stoi(r[c]->substr(0, 4));
            if (*r[0] == "Year 9999") {
                EXPECT_EQ(year, 9999);
                ++checked;
            } else if (*r[0] == "Pre-1900 years") {
                EXPECT_LT(year, 1900);
                EXPECT_GE(year, 1000);
                ++checked;
            } else if (*r[0] == "Pre-1000 years") {
                EXPECT_LT(year, 1000);
                EXPECT_GE(year, 100);
                ++checked;
            }
        }
    }
    EXPECT_EQ(checked, 6);
}

TEST(Import, NeverChangesTheInput)
{
    REQUIRE_JET_FILE(shared, "DateTestDatabase.mdb");
    TempDir dir;
    const fs::path input = dir.file("input.mdb");
    fs::copy_file(shared, input);
    const std::string before = ReadFile(input);
    const auto stamp = fs::last_write_time(input);

    const CommandResult r = import("--any-file " + quoted(input) + " " + quoted(dir.file("out.db")));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(ReadFile(input) == before);
    EXPECT_EQ(fs::last_write_time(input), stamp);

    // Even asked to write onto itself, it refuses.
    const CommandResult self = import("--any-file --force " + quoted(input) + " " + quoted(input));
    EXPECT_EQ(self.exitCode, 2);
    EXPECT_NE(self.err.find("is the input file itself"), std::string::npos) << self.err;
    EXPECT_TRUE(ReadFile(input) == before);
}

TEST(Import, AFileThatIsNotJetIsAnErrorAndLeavesNothingBehind)
{
    REQUIRE_JET();
    TempDir dir;
    const fs::path input = dir.file("results.mdb");
    std::ofstream(input) << "Name,Value\nnot,a database\n";
    const fs::path out = dir.file("out.db");

    const CommandResult r = import("--any-file " + quoted(input) + " " + quoted(out));
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("cannot read '" + input.string() + "': not a Jet/Access database"), std::string::npos)
        << r.err;
    EXPECT_EQ(dirEntries(dir.path()), std::vector<std::string>{"results.mdb"});

    const CommandResult missing = import(quoted(dir.file("absent.mdb")) + " " + quoted(out));
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(missing.err.find("absent.mdb"), std::string::npos) << missing.err;
    EXPECT_FALSE(fs::exists(out));
}

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

TEST(Import, KeepsAnExistingOutputUnlessForced)
{
    REQUIRE_JET_FILE(file, "DateTestDatabase.mdb");
    TempDir dir;
    const fs::path out = dir.file("out.db");
    std::ofstream(out) << "precious";

    const CommandResult refused = import(quoted(file) + " " + quoted(out));
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("use --force"), std::string::npos) << refused.err;
    EXPECT_EQ(ReadFile(out), "precious");

    const CommandResult noDir = import(quoted(file) + " " + quoted(dir.file("absent") / "out.db"));
    EXPECT_EQ(noDir.exitCode, 2);
    EXPECT_NE(noDir.err.find("does not exist"), std::string::npos) << noDir.err;

    const CommandResult forced = import("--any-file --force " + quoted(file) + " " + quoted(out));
    ASSERT_EQ(forced.exitCode, 0) << forced.err;
    EXPECT_EQ(Db(out).text("SELECT count(*) FROM DateTest"), "6");
    EXPECT_EQ(dirEntries(dir.path()), std::vector<std::string>{"out.db"});
}

TEST(Import, DrawsAProgressBarOnRequestOnly)
{
    REQUIRE_JET_FILE(file, "nwind.mdb");
    const auto withBar = importFile(file, "--any-file --progress");
    ASSERT_EQ(withBar->result.exitCode, 0) << withBar->result.err;
    EXPECT_NE(withBar->result.err.find("100%"), std::string::npos) << withBar->result.err;
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

TEST(ImportFinishing, NorthwindGetsSavedQueriesCalendarTablesAndAWarningPerMissingTable)
{
    REQUIRE_JET_FILE(file, "nwind.mdb");
    const auto imported = importFile(file);
    ASSERT_EQ(imported->result.exitCode, 0) << imported->result.err;
    const std::string& err = imported->result.err;
    const Db db(imported->out);

    // Our saved queries, each announced.
    TempDir dir;
    const Db schema(dir.file("schema.db"));
    schema.exec(batchplant::ResultsSchemaSql());
    const auto ours = schema.rows("SELECT Name, SqlText, Parameters FROM SavedQueries ORDER BY Name");
    ASSERT_EQ(ours.size(), 2u);
    EXPECT_EQ(db.rows("SELECT Name, SqlText, Parameters FROM SavedQueries ORDER BY Name"), ours);
    for (const Row& r : ours)
        EXPECT_NE(err.find("saved query '" + *r[0] + "' is missing from the file; installed ours"), std::string::npos)
            << err;

    // The calendar tables, empty.
    const Db calendar(dir.file("calendar.db"));
    calendar.exec(batchplant::CalendarSchemaSql());
    const std::set<std::string> calendarTables = calendar.names("table");
    ASSERT_FALSE(calendarTables.empty());
    for (const std::string& t : calendarTables) {
        EXPECT_EQ(db.text("SELECT count(*) FROM " + q(t)), "0") << t;
        EXPECT_EQ(db.text("SELECT sql FROM sqlite_master WHERE name = '" + t + "'"),
                  calendar.text("SELECT sql FROM sqlite_master WHERE name = '" + t + "'"));
    }
    EXPECT_NE(err.find("the file has no calendar tables; created them empty"), std::string::npos) << err;

    // Northwind has none of the results tables: each is named once, and no
    // column warnings follow for tables that are not there.
    EXPECT_EQ(warnedMissing(err), [] {
        ColumnSet tables;
        for (const std::string& t : tablesOf(columnsTheQueriesNeed()))
            tables.insert({t, ""});
        return tables;
    }());
    // No results table, so none of the schema's indexes applies; Northwind's
    // own tables gain none.
    EXPECT_TRUE(db.names("index").empty());
    // Without --any-file such a file is refused, naming what it lacks, and
    // nothing is written.
    const auto refused = importFile(file, "");
    EXPECT_EQ(refused->result.exitCode, 1);
    EXPECT_NE(refused->result.err.find("holds none of the results tables (EquipmentSummary"), std::string::npos)
        << refused->result.err;
    EXPECT_FALSE(fs::exists(refused->out));
}

TEST(ImportFinishing, NorthwindsOwnSavedQueriesAreNamedButNotMixedWithOurs)
{
    REQUIRE_JET_FILE(file, "nwind.mdb");
    const auto imported = importFile(file);
    ASSERT_EQ(imported->result.exitCode, 0);
    const std::string& err = imported->result.err;
    // Northwind has saved queries of its own ("Invoices", ...), none of ours.
    EXPECT_NE(err.find("saved queries are not carried over"), std::string::npos) << err;
    EXPECT_NE(err.find("Invoices"), std::string::npos) << err;
    EXPECT_EQ(err.find("cannot be carried over faithfully"), std::string::npos) << err;
    EXPECT_EQ(Db(imported->out).text("SELECT count(*) FROM SavedQueries"), "2");
}

namespace {

// A writable copy of the generated sample.
struct Sample {
    TempDir dir;
    fs::path path;
    Sample() : path(batchplant::test::CopySampleDatabase(dir.file("sample.db"))) {}
};

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
        std::string& text = out[t];
        for (const Row& r : db.rows("SELECT " + row + " AS r FROM " + q(t) + " ORDER BY r"))
            text += *r[0] + "\n";
    }
    return out;
}

} // namespace

TEST(ImportFinishing, AGeneratedSampleComesThroughUnchanged)
{
    REQUIRE_JET();
    const fs::path& sample = batchplant::test::SampleDatabasePath();
    const std::string before = ReadFile(sample);
    TempDir dir;
    const fs::path out = dir.file("out.db");
    const CommandResult r = import("--from-sqlite " + quoted(sample) + " " + quoted(out));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, ""); // nothing to install, nothing missing
    EXPECT_TRUE(ReadFile(sample) == before);

    const auto expected = allRows(sample);
    ASSERT_GT(expected.size(), 15u);
    EXPECT_EQ(allRows(out), expected);
    EXPECT_EQ(Db(out, true).names("index"), Db(sample, true).names("index"));
}

TEST(ImportFinishing, RestoresWhatASampleLacksWithoutTouchingItsData)
{
    REQUIRE_JET();
    Sample sample;
    const Db full(sample.path);
    const std::set<std::string> indexes = full.names("index");
    ASSERT_TRUE(indexes.count("EquipmentSchedule_End"));
    full.exec("DROP INDEX EquipmentSchedule_End; DROP INDEX ThermodynamicPhase_Stream;"
              "DELETE FROM SavedQueries WHERE Name = 'QryPhaseComponents';");
    const auto expected = [&] {
        auto rows = allRows(sample.path);
        rows.erase("SavedQueries");
        return rows;
    }();

    TempDir dir;
    const fs::path out = dir.file("out.db");
    const CommandResult r = import("--from-sqlite " + quoted(sample.path) + " " + quoted(out));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("saved query 'QryPhaseComponents' is missing from the file; installed ours"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("warning"), std::string::npos) << r.err;
    const Db db(out);
    EXPECT_EQ(db.names("index"), indexes);
    EXPECT_EQ(db.text("SELECT count(*) FROM SavedQueries"), "2");
    auto rows = allRows(out);
    rows.erase("SavedQueries");
    EXPECT_EQ(rows, expected);
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

TEST(ImportFinishing, ASqliteInputThatIsNoDatabaseIsAnError)
{
    REQUIRE_JET();
    TempDir dir;
    const fs::path input = dir.file("in.db");
    std::ofstream(input) << std::string(4096, 'x');
    const CommandResult r = import("--from-sqlite " + quoted(input) + " " + quoted(dir.file("out.db")));
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("cannot read '" + input.string() + "'"), std::string::npos) << r.err;
    EXPECT_EQ(dirEntries(dir.path()), std::vector<std::string>{"in.db"});
}
