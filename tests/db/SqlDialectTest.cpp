// Translation of the Jet dialect into SQLite's, judged by what the result
// gives on an in-memory database that does not accept double-quoted strings.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "DbFixture.h"
#include "db/SqlDialect.h"
#include "db/Sqlite.h"

using namespace batchplant;
using MapResolver = batchplant::test::NameMap;

namespace {

class Sqlite : public sqlite::Connection {
public:
    Sqlite() : sqlite::Connection(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)
    {
        doubleQuotesNameOnly();
        exec("CREATE TABLE t(id INTEGER, name TEXT, qty REAL, at TEXT);"
             "INSERT INTO t VALUES (1,'Alpha',1.5,'2024-01-15T08:00:00'),(2,'beta',NULL,'2024-02-01T00:00:00'),"
             "(3,'Gamma 100%',3,'2023-12-31T23:00:00'),(4,'a_b*c',4,NULL);"
             "CREATE TABLE o(id INTEGER, t_id INTEGER, what TEXT); INSERT INTO o VALUES (1,1,'x'),(2,1,'x'),(3,2,'y');"
             "CREATE TABLE u(id INTEGER, t_id INTEGER, label TEXT); INSERT INTO u VALUES (10, 1, 'x');"
             "CREATE TABLE CompositeContents(x); INSERT INTO CompositeContents VALUES (5);"
             "CREATE TABLE \"odd \"\"name\"\"\" (\"my col\" INTEGER); INSERT INTO \"odd \"\"name\"\"\" VALUES (7)");
    }

    // Runs `sql`, binding `args` to ?1, ?2, …; the rows as "a|b;c|d", or "!" and SQLite's error.
    std::string run(const std::string& sql, const std::vector<std::string>& args = {}) const
    {
        int rc = SQLITE_OK;
        sqlite::Statement st = sqlite::Statement::tryPrepare(*this, sql, rc);
        if (!st) return "!" + error();
        for (std::size_t i = 0; i < args.size(); ++i)
            st.bind(static_cast<int>(i) + 1, args[i]);
        std::string out;
        while (st.stepCode() == SQLITE_ROW) {
            if (!out.empty()) out += ';';
            for (int c = 0; c < st.columnCount(); ++c)
                out += (c ? "|" : "") + (st.isNull(c) ? std::string("NULL") : st.text(c));
        }
        return out;
    }
};

// The text outside literals and quoted names (what SQLite reads as syntax), and
// the number of double quotes met.
std::string outsideStrings(const std::string& sql, std::size_t& doubleQuotes)
{
    std::string out;
    doubleQuotes = 0;
    char in = 0;
    for (char c : sql) {
        if (in == '\'' && c != '\'') continue;
        if (c == '"' || (c == '\'' && in != '"')) {
            doubleQuotes += c == '"';
            in = in ? 0 : c;
        } else if (!in) {
            out += c;
        }
    }
    return out;
}

} // namespace

// Each Jet text with what SQLite gives for its translation: the rows, or after
// "!" the parts of the refusal ('|' between them). The host parameters are
// exactly the arguments bound.
TEST(SqlDialect, JetTextsGiveWhatJetWould)
{
    struct Case {
        const char* jet;
        const char* want;
        std::vector<std::string> args = {};
        std::vector<CString> params = {};
    };
    const Case cases[] = {
        // DISTINCTROW: repeats go only where the columns are those of one table of several.
        {"SELECT DISTINCTROW t.name FROM t INNER JOIN o ON o.t_id = t.id ORDER BY t.name", "Alpha;beta"},
        {"SELECT DISTINCTROW t.name, o.what FROM (t INNER JOIN o ON (o.t_id = t.id)) ORDER BY 1",
         "Alpha|x;Alpha|x;beta|y"},
        {"SELECT DISTINCTROW tt.name, oo.what FROM t AS tt, o oo WHERE oo.t_id = tt.id ORDER BY 1",
         "Alpha|x;Alpha|x;beta|y"},
        {"SELECT DISTINCTROW what FROM o ORDER BY what", "x;x;y"},
        {"SELECT DISTINCTROW what FROM o INNER JOIN t ON o.t_id = t.id ORDER BY what", "x;y"},
        {"SELECT [DISTINCTROW] FROM t", "!no such column: DISTINCTROW"},
        // Double-quoted texts are strings, compared without regard to case beside a comparison.
        {R"(SELECT "it's ""quoted""" AS x)", "it's \"quoted\""},
        {R"(SELECT 0.0 AS HeatDuty, "" AS HeatDutyUOM)", "0.0|"},
        {R"(SELECT id FROM t WHERE name = "BETA")", "2"},
        {R"(SELECT id FROM t WHERE name<>"alpha" AND id < 3)", "2"},
        {"SELECT id FROM t WHERE 'GAMMA 100%' = name", "3"},
        // Bracketed and back-quoted names are identifiers, never strings.
        {"SELECT [my col] FROM [odd \"name\"]", "7"},
        {"SELECT t.[name] FROM [t] WHERE [t].id = 1", "Alpha"},
        {"SELECT `name` FROM t WHERE id = 2", "beta"},
        {"SELECT [nosuchcolumn] FROM t", "!no such column"},
        {"SELECT t.id, u.label FROM ((t )  LEFT JOIN u ON (u.t_id = t.id)) WHERE t.id <= 2 ORDER BY t.id; ",
         "1|x;2|NULL"},
        {"SELECT 5--3", "8"}, // no comments in Jet
        // Operators, functions and date literals.
        {"SELECT name & '-' & id FROM t WHERE id = 1", "Alpha-1"},
        {"SELECT IIf(qty > 2, 'big', 'small') FROM t WHERE id IN (1, 3) ORDER BY id", "small;big"},
        {"SELECT Nz(qty) FROM t WHERE id = 2", ""},
        {"SELECT Nz(qty, -1) FROM t WHERE id = 2", "-1"},
        {"SELECT Nz(Nz(qty), 5), Nz(IIf(id = 2, NULL, 1)) FROM t WHERE id = 2", "|"},
        {"SELECT 7 Mod 3, True, False", "1|1|0"},
        {"SELECT id FROM t WHERE at >= #1/15/2024# AND at < #2024-02-01# ORDER BY id", "1"},
        {"SELECT id FROM t WHERE at = #2/1/2024 12:00:00 AM#", "2"},
        {"SELECT id FROM t WHERE at = #1/15/24 8:00 AM#", "1"},
        {"SELECT id FROM t WHERE at = #2023-12-31 11:00 PM#", "3"},
        // Like patterns: * ? and [c] are the wildcards, % and _ ordinary.
        {"SELECT id FROM t WHERE name Like 'a*' ORDER BY id", "1;4"},
        {"SELECT id FROM t WHERE name LIKE \"?eta\"", "2"},
        {"SELECT id FROM t WHERE name Like '*100%'", "3"},
        {"SELECT id FROM t WHERE name Like 'a_b[*]c'", "4"},
        {"SELECT id FROM t WHERE name Like '%'", ""},
        {"SELECT id FROM t WHERE name NOT LIKE '*a*' ORDER BY id", ""},
        {"SELECT id FROM t WHERE name Like 'a#'", "!#"},
        {"SELECT id FROM t WHERE name Like '[a-c]*'", "!character list"},
        // A lone name runs that table or saved query.
        {"[CompositeContents]", "5"},
        {"CompositeContents;", "5"},
        {"[qryone]", "1"},
        // Saved queries are put in with their parameters, numbered in order of first use.
        {"SELECT x.id FROM [QryOuter] x ORDER BY x.id", "2;3", {"beta", "3", "99"}},
        {"SELECT x.id FROM [QryOuter] x ORDER BY x.id", "3", {"beta", "3", "2"}},
        {"SELECT QryByName.name FROM QryByName", "Alpha", {"Alpha", "0"}},
        {"SELECT name FROM t WHERE id = [pid] OR id = pid", "a_b*c", {"4"}, {CString("PID")}},
        // Names out of table position are left alone ("id" names a saved query; pid is a parameter).
        {"SELECT id, t.id AS id FROM t WHERE id = 1", "1|1"},
        {"SELECT id AS pid FROM t WHERE t.pid IS NULL", "!no such column: t.pid", {}, {CString("pid")}},
        // Refusals say what is wrong and where.
        {"SELECT 'abc FROM t", "!unterminated text"},
        {"SELECT \"abc FROM t", "!unterminated text"},
        {"SELECT [abc FROM t", "!unterminated name"},
        {"SELECT #1/2/2024 FROM t", "!unterminated date"},
        {"SELECT #13/45/2024#", "!not a date"},
        {"SELECT #yesterday#", "!not a date"},
        {"SELECT [] FROM t", "!empty name"},
        {"SELECT * FROM t WHERE id = ?", "!'?'"},
        {"SELECT * FROM t WHERE id = :id", "!':'"},
        {"SELECT * FROM t WHERE id = $1", "!'$'"},
        {"SELECT 1; DROP TABLE t", "!after end of SQL statement"},
        {"SELECT 1\x01", "!control character"},
        {"   ;", "!empty"},
        {"PARAMETERS x Long SELECT 1", "!PARAMETERS"},
        {"SELECT ^ FROM t", "!character 8"},
    };
    MapResolver r;
    r.tables.insert("COMPOSITECONTENTS");
    r.add("QryOne", "SELECT id FROM t WHERE id = 1;");
    r.add("QryByName", "PARAMETERS [who] Text (255); SELECT id, name FROM t WHERE name = [who] OR id = [n];",
          {CString("n")});
    r.add("QryOuter", "SELECT q.id FROM QryByName AS q WHERE q.id <> [skip]", {CString("skip")});
    r.add("id", "SELECT 99 AS id");
    const Sqlite db;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.jet);
        std::string ran;
        const std::string why = test::describe([&] {
            const TranslatedSql t = TranslateJetSql(CString(c.jet), &r, c.params);
            EXPECT_EQ(t.parameters.size(), c.args.size()) << t.sql;
            ran = db.run(t.sql, c.args);
        });
        const std::string got = why == "no exception" ? ran : "!" + why;
        if (c.want[0] != '!') {
            EXPECT_EQ(got, c.want);
        } else {
            EXPECT_EQ(got[0], '!') << got;
            EXPECT_TRUE(test::mentions(got, c.want + 1));
        }
    }
}

TEST(SqlDialect, ParameterListsGiveTheNamesInOrder)
{
    EXPECT_EQ(ParseParameterList(CString("sid Long, [CompositeID] Long, aid Text (255)")),
              (std::vector<CString>{CString("sid"), CString("CompositeID"), CString("aid")}));
    EXPECT_TRUE(ParseParameterList(CString("  ")).empty());
    EXPECT_THROW(ParseParameterList(CString("1 Long")), CDaoException);
}

// Whatever bytes it is given, the translator either refuses them or produces
// text whose double quotes are balanced identifiers and whose only host
// parameters are the ones it numbered.
TEST(SqlDialect, ArbitraryInputNeverEscapesTheTranslation)
{
    std::mt19937 rng(12345);
    const std::string alphabet = "SELECT FROM WHERE [](),.;'\"`#*?&-+/<>=:@$ abcXYZ019\n\t\x01\xC3\xA9";
    MapResolver r;
    r.add("QryX", "SELECT 1 AS a");
    const Sqlite db;
    int translated = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string s = round % 3 == 0 ? "SELECT " : "";
        for (int i = 0, len = static_cast<int>(rng() % 40); i < len; ++i)
            s += alphabet[rng() % alphabet.size()];
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
