// Translation of the Jet dialect into SQLite's: checked both on the text
// produced and by running it on an in-memory SQLite database that does not
// accept double-quoted strings.

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>

#include "db/SqlDialect.h"
#include "db/Sqlite.h"

using namespace batchplant;

namespace {

class MapResolver : public SqlNameResolver {
public:
    void add(const std::string& name, const std::string& sql, std::vector<CString> params = {})
    {
        CDaoSavedQuery q;
        q.m_strName = name;
        q.m_strSQL = sql;
        q.m_parameters = std::move(params);
        queries[upper(name)] = q;
    }
    const CDaoSavedQuery* FindSavedQuery(const CString& name) override
    {
        ++lookups;
        auto it = queries.find(upper(name.str()));
        return it == queries.end() ? nullptr : &it->second;
    }
    bool HasTableOrView(const CString& name) override { return tables.count(upper(name.str())) > 0; }

    static std::string upper(std::string s)
    {
        for (char& c : s)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return s;
    }
    std::map<std::string, CDaoSavedQuery> queries;
    std::set<std::string> tables;
    int lookups = 0;
};

// An in-memory database with double-quoted strings switched off, and a
// small table t(id, name, qty, at).
class Sqlite : public sqlite::Connection {
public:
    Sqlite() : sqlite::Connection(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)
    {
        doubleQuotesNameOnly();
        exec("CREATE TABLE t(id INTEGER, name TEXT, qty REAL, at TEXT);"
             "INSERT INTO t VALUES (1,'Alpha',1.5,'2024-01-15T08:00:00'),(2,'beta',NULL,'2024-02-01T00:00:00'),"
             "(3,'Gamma 100%',3,'2023-12-31T23:00:00'),(4,'a_b*c',4,NULL);");
    }

    // Runs `sql`, binding `args` to ?1, ?2, …; returns the rows as "a|b;c|d".
    std::string run(const std::string& sql, const std::vector<std::string>& args = {}) const
    {
        int rc = SQLITE_OK;
        sqlite::Statement st = sqlite::Statement::tryPrepare(*this, sql, rc);
        if (!st) return "ERROR: " + error();
        for (std::size_t i = 0; i < args.size(); ++i)
            st.bind(static_cast<int>(i) + 1, args[i]);
        std::string out;
        while (st.stepCode() == SQLITE_ROW) {
            if (!out.empty()) out += ';';
            for (int c = 0; c < st.columnCount(); ++c) {
                if (c) out += '|';
                out += st.isNull(c) ? "NULL" : st.text(c);
            }
        }
        return out;
    }
};

std::string tr(const std::string& jet, SqlNameResolver* r = nullptr, std::vector<CString> params = {})
{
    return TranslateJetSql(CString(jet), r, params).sql;
}

// The text outside quoted literals and names: what SQLite reads as syntax.
// Returns the text with single-quoted literals removed, and counts the
// double quotes met outside them.
std::string outsideStrings(const std::string& sql, std::size_t& doubleQuotes)
{
    std::string out;
    doubleQuotes = 0;
    bool inSingle = false, inDouble = false;
    for (char c : sql) {
        if (inSingle) {
            if (c == '\'') inSingle = false;
            continue;
        }
        if (c == '"') {
            ++doubleQuotes;
            inDouble = !inDouble;
            continue;
        }
        if (inDouble) continue;
        if (c == '\'') {
            inSingle = true;
            continue;
        }
        out += c;
    }
    return out;
}

std::string errorOf(const std::string& jet, SqlNameResolver* r = nullptr)
{
    try {
        TranslateJetSql(CString(jet), r);
    } catch (const CDaoException& e) {
        return e.GetDescription().str();
    }
    return "no error";
}

} // namespace

TEST(SqlDialect, DistinctRowRemovesRepeatsOnlyWhereJetDoes)
{
    Sqlite db;
    db.exec("CREATE TABLE o(id INTEGER, t_id INTEGER, what TEXT);"
            "INSERT INTO o VALUES (1, 1, 'x'), (2, 1, 'x'), (3, 2, 'y');");
    // Columns of one table only: each of its records once, however many orders it has.
    EXPECT_EQ(db.run(tr("SELECT DISTINCTROW t.name FROM t INNER JOIN o ON o.t_id = t.id ORDER BY t.name")),
              "Alpha;beta");
    // Columns of every table: the joined records are distinct already, so equal-looking rows stay.
    const std::string all = tr("SELECT DISTINCTROW t.name, o.what FROM (t INNER JOIN o ON (o.t_id = t.id)) ORDER BY 1");
    EXPECT_EQ(all.find("DISTINCT"), std::string::npos) << all;
    EXPECT_EQ(db.run(all), "Alpha|x;Alpha|x;beta|y");
    EXPECT_EQ(db.run(tr("SELECT DISTINCTROW tt.name, oo.what FROM t AS tt, o oo WHERE oo.t_id = tt.id ORDER BY 1")),
              "Alpha|x;Alpha|x;beta|y");
    // One table read: ignored.
    EXPECT_EQ(tr("SELECT DISTINCTROW what FROM o").find("DISTINCT"), std::string::npos);
    EXPECT_EQ(db.run(tr("SELECT DISTINCTROW what FROM o ORDER BY what")), "x;x;y");
    // Unqualified columns over two tables cannot be told apart: repeats are removed.
    EXPECT_EQ(db.run(tr("SELECT DISTINCTROW what FROM o INNER JOIN t ON o.t_id = t.id ORDER BY what")), "x;y");
    // A bracketed name that happens to read DISTINCTROW is a name.
    EXPECT_NE(tr("SELECT [DISTINCTROW] FROM t").find("\"DISTINCTROW\""), std::string::npos);
}

TEST(SqlDialect, DoubleQuotedTextsBecomeStringLiterals)
{
    Sqlite db;
    EXPECT_EQ(db.run(tr(R"(SELECT "it's ""quoted""" AS x)")), "it's \"quoted\"");
    EXPECT_EQ(db.run(tr(R"(SELECT 0.0 AS HeatDuty, "" AS HeatDutyUOM)")), "0.0|");
    // A double-quoted text beside a comparison compares without regard to case, as Jet does.
    EXPECT_EQ(db.run(tr(R"(SELECT id FROM t WHERE name = "BETA")")), "2");
    EXPECT_EQ(db.run(tr(R"(SELECT id FROM t WHERE name<>"alpha" AND id < 3)")), "2");
    EXPECT_EQ(db.run(tr(R"(SELECT id FROM t WHERE 'GAMMA 100%' = name)")), "3");
}

TEST(SqlDialect, BracketedNamesBecomeQuotedIdentifiers)
{
    Sqlite db;
    db.exec("CREATE TABLE \"odd \"\"name\"\"\" (\"my col\" INTEGER); INSERT INTO \"odd \"\"name\"\"\" VALUES (7)");
    EXPECT_EQ(db.run(tr("SELECT [my col] FROM [odd \"name\"]")), "7");
    EXPECT_EQ(db.run(tr("SELECT t.[name] FROM [t] WHERE [t].id = 1")), "Alpha");
    EXPECT_EQ(db.run(tr("SELECT `name` FROM t WHERE id = 2")), "beta");
    // After translation a double-quoted token is never a string: an unknown one is an error.
    EXPECT_NE(db.run(tr("SELECT [nosuchcolumn] FROM t")).find("no such column"), std::string::npos);
}

TEST(SqlDialect, TheQueryTextsKeepTheirMeaning)
{
    Sqlite db;
    // Parenthesised joins and the spacing of the texts as they are written.
    db.exec("CREATE TABLE u(id INTEGER, t_id INTEGER, label TEXT); INSERT INTO u VALUES (10, 1, 'x');");
    EXPECT_EQ(db.run(tr("SELECT t.id, u.label FROM ((t )  LEFT JOIN u ON (u.t_id = t.id)) WHERE t.id <= 2 ORDER BY "
                        "t.id; ")),
              "1|x;2|NULL");
    // A minus sign twice is arithmetic, not a comment.
    EXPECT_EQ(db.run(tr("SELECT 5--3")), "8");
}

TEST(SqlDialect, JetOperatorsAndFunctions)
{
    Sqlite db;
    EXPECT_EQ(db.run(tr("SELECT name & '-' & id FROM t WHERE id = 1")), "Alpha-1");
    EXPECT_EQ(db.run(tr("SELECT IIf(qty > 2, 'big', 'small') FROM t WHERE id IN (1, 3) ORDER BY id")), "small;big");
    EXPECT_EQ(db.run(tr("SELECT Nz(qty) FROM t WHERE id = 2")), "");
    EXPECT_EQ(db.run(tr("SELECT Nz(qty, -1) FROM t WHERE id = 2")), "-1");
    EXPECT_EQ(db.run(tr("SELECT Nz(Nz(qty), 5), Nz(IIf(id = 2, NULL, 1)) FROM t WHERE id = 2")), "|");
    EXPECT_EQ(db.run(tr("SELECT 7 Mod 3, True, False")), "1|1|0");
    EXPECT_EQ(db.run(tr("SELECT id FROM t WHERE at >= #1/15/2024# AND at < #2024-02-01# ORDER BY id")), "1");
    EXPECT_EQ(db.run(tr("SELECT id FROM t WHERE at = #2/1/2024 12:00:00 AM#")), "2");
    EXPECT_EQ(db.run(tr("SELECT id FROM t WHERE at = #1/15/24 8:00 AM#")), "1");
    EXPECT_EQ(db.run(tr("SELECT id FROM t WHERE at = #2023-12-31 11:00 PM#")), "3");
}

TEST(SqlDialect, LikePatternsUseJetWildcards)
{
    Sqlite db;
    EXPECT_EQ(db.run(tr("SELECT id FROM t WHERE name Like 'a*' ORDER BY id")), "1;4");
    EXPECT_EQ(db.run(tr("SELECT id FROM t WHERE name LIKE \"?eta\"")), "2");
    // % and _ are ordinary characters in a Jet pattern; [*] is a literal star.
    EXPECT_EQ(db.run(tr("SELECT id FROM t WHERE name Like '*100%'")), "3");
    EXPECT_EQ(db.run(tr("SELECT id FROM t WHERE name Like 'a_b[*]c'")), "4");
    EXPECT_EQ(db.run(tr("SELECT id FROM t WHERE name Like '%'")), "");
    EXPECT_EQ(db.run(tr("SELECT id FROM t WHERE name NOT LIKE '*a*' ORDER BY id")), "");
    EXPECT_NE(errorOf("SELECT id FROM t WHERE name Like 'a#'").find("#"), std::string::npos);
    EXPECT_NE(errorOf("SELECT id FROM t WHERE name Like '[a-c]*'").find("character list"), std::string::npos);
}

TEST(SqlDialect, ALoneNameRunsThatTableOrSavedQuery)
{
    MapResolver r;
    r.tables.insert("COMPOSITECONTENTS");
    EXPECT_EQ(tr("[CompositeContents]", &r), "SELECT * FROM \"CompositeContents\"");
    EXPECT_EQ(tr("CompositeContents;", &r), "SELECT * FROM \"CompositeContents\"");
    r.add("QryOne", "SELECT id FROM t WHERE id = 1;");
    Sqlite db;
    EXPECT_EQ(db.run(tr("[qryone]", &r)), "1");
    const std::string err = errorOf("[QryMissing]", &r);
    EXPECT_NE(err.find("QryMissing"), std::string::npos) << err;
    EXPECT_NE(err.find("Cannot find the input table or query"), std::string::npos) << err;
}

TEST(SqlDialect, SavedQueriesAreInlinedWithTheirParameters)
{
    MapResolver r;
    r.add("QryByName", "PARAMETERS [who] Text (255); SELECT id, name FROM t WHERE name = [who] OR id = [n];",
          {CString("n")});
    r.add("QryOuter", "SELECT q.id FROM QryByName AS q WHERE q.id <> [skip]", {CString("skip")});
    Sqlite db;

    TranslatedSql t = TranslateJetSql(CString("SELECT x.id FROM [QryOuter] x ORDER BY x.id"), &r);
    ASSERT_EQ(t.parameters.size(), 3u);
    EXPECT_EQ(t.parameters[0], CString("who"));
    EXPECT_EQ(t.parameters[1], CString("n"));
    EXPECT_EQ(t.parameters[2], CString("skip"));
    EXPECT_EQ(db.run(t.sql, {"beta", "3", "99"}), "2;3");
    EXPECT_EQ(db.run(t.sql, {"beta", "3", "2"}), "3");

    // Without an alias the subquery takes the saved query's name, so qualified columns still work.
    t = TranslateJetSql(CString("SELECT QryByName.name FROM QryByName"), &r);
    EXPECT_EQ(db.run(t.sql, {"Alpha", "0"}), "Alpha");
    // The caller's parameter names become host parameters even when undeclared.
    t = TranslateJetSql(CString("SELECT name FROM t WHERE id = [pid] OR id = pid"), &r, {CString("PID")});
    ASSERT_EQ(t.parameters.size(), 1u);
    EXPECT_EQ(db.run(t.sql, {"4"}), "a_b*c");
}

TEST(SqlDialect, NamesThatAreNotInTablePositionAreLeftAlone)
{
    MapResolver r;
    r.add("id", "SELECT 99 AS id");
    Sqlite db;
    // "id" names a saved query, but here it is a column, an alias and a qualified column.
    EXPECT_EQ(db.run(tr("SELECT id, t.id AS id FROM t WHERE id = 1", &r)), "1|1");
    // A parameter name after AS or behind a dot is a column name.
    TranslatedSql t = TranslateJetSql(CString("SELECT id AS pid FROM t WHERE t.pid IS NULL"), &r, {CString("pid")});
    EXPECT_TRUE(t.parameters.empty()) << t.sql;
}

TEST(SqlDialect, SavedQueriesThatReferToThemselvesAreRefused)
{
    MapResolver r;
    r.add("QA", "SELECT * FROM QB");
    r.add("QB", "SELECT * FROM [qa] WHERE 1 = 1");
    const std::string err = errorOf("SELECT * FROM QA", &r);
    EXPECT_NE(err.find("refers to itself"), std::string::npos) << err;
    EXPECT_NE(err.find("QA"), std::string::npos) << err;
}

TEST(SqlDialect, BadTextsAreRefusedWithTheirPlace)
{
    const std::pair<const char*, const char*> refused[] = {{"SELECT 'abc FROM t", "unterminated text"},
                                                           {"SELECT \"abc FROM t", "unterminated text"},
                                                           {"SELECT [abc FROM t", "unterminated name"},
                                                           {"SELECT #1/2/2024 FROM t", "unterminated date"},
                                                           {"SELECT #13/45/2024#", "not a date"},
                                                           {"SELECT #yesterday#", "not a date"},
                                                           {"SELECT [] FROM t", "empty name"},
                                                           {"SELECT * FROM t WHERE id = ?", "'?'"},
                                                           {"SELECT * FROM t WHERE id = :id", "':'"},
                                                           {"SELECT * FROM t WHERE id = $1", "'$'"},
                                                           {"SELECT 1; DROP TABLE t", "after end of SQL statement"},
                                                           {"SELECT 1\x01", "control character"},
                                                           {"   ;", "empty"},
                                                           {"PARAMETERS x Long SELECT 1", "PARAMETERS"},
                                                           {"SELECT ^ FROM t", "character 8"}};
    for (const auto& [jet, why] : refused) {
        const std::string err = errorOf(jet);
        EXPECT_NE(err.find(why), std::string::npos) << jet << ": " << err;
    }
}

TEST(SqlDialect, ParameterListsGiveTheNamesInOrder)
{
    const std::vector<CString> names = ParseParameterList(CString("sid Long, [CompositeID] Long, aid Text (255)"));
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[0], CString("sid"));
    EXPECT_EQ(names[1], CString("CompositeID"));
    EXPECT_EQ(names[2], CString("aid"));
    EXPECT_TRUE(ParseParameterList(CString("  ")).empty());
    EXPECT_THROW(ParseParameterList(CString("1 Long")), CDaoException);
}

// Whatever bytes it is given, the translator either refuses them with a
// CDaoException or produces text whose double quotes are balanced
// identifiers and whose only host parameters are the ones it numbered.
TEST(SqlDialect, ArbitraryInputNeverEscapesTheTranslation)
{
    std::mt19937 rng(12345);
    const std::string alphabet = "SELECT FROM WHERE [](),.;'\"`#*?&-+/<>=:@$ abcXYZ019\n\t\x01\xC3\xA9";
    MapResolver r;
    r.add("QryX", "SELECT 1 AS a");
    Sqlite db;
    int translated = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string s;
        const int len = static_cast<int>(rng() % 40);
        for (int i = 0; i < len; ++i)
            s += alphabet[rng() % alphabet.size()];
        if (round % 3 == 0) s = "SELECT " + s;
        try {
            const TranslatedSql t = TranslateJetSql(CString(s), &r, {CString("abc")});
            ++translated;
            std::size_t quotes = 0;
            const std::string syntax = outsideStrings(t.sql, quotes);
            EXPECT_EQ(quotes % 2, 0u) << s << " -> " << t.sql;
            EXPECT_EQ(syntax.find_first_of(":@$"), std::string::npos) << s << " -> " << t.sql;
            EXPECT_LE(t.parameters.size(), 1u);
            db.run(t.sql); // may be rejected by SQLite, must not crash
        } catch (const CDaoException& e) {
            EXPECT_FALSE(e.GetDescription().IsEmpty());
        }
    }
    EXPECT_GT(translated, 100);
}
