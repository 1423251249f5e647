// Translation of the Jet dialect into SQLite's, judged by what the result
// gives on an in-memory database that does not accept double-quoted strings.

#include <gtest/gtest.h>

#include "DbFixture.h"
#include "db/Sqlite.h"

using namespace batchplant;

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

    // Runs `sql`, binding `args` to ?1, ?2, …; the rows as "a|b;c|d".
    std::string run(const std::string& sql, const std::vector<std::string>& args = {}) const
    {
        sqlite::Statement st(*this, sql);
        for (std::size_t i = 0; i < args.size(); ++i)
            st.bind(static_cast<int>(i) + 1, args[i]);
        std::string out;
        while (st.step()) {
            if (!out.empty()) out += ';';
            for (int c = 0; c < st.columnCount(); ++c)
                out += (c ? "|" : "") + (st.isNull(c) ? std::string("NULL") : st.text(c));
        }
        return out;
    }
};

} // namespace

// Each Jet text => what SQLite gives for its translation: the rows, or after "!"
// the parts of the refusal ('|' between them). Host parameters are the arguments.
TEST(SqlDialect, JetTextsGiveWhatJetWould)
{
    struct Case {
        std::string jet, want;
        std::vector<std::string> args = {};
        std::vector<CString> params = {};
    };
    const char* const texts[] = {
        // DISTINCTROW: repeats go only where the columns are those of one table of several.
        "SELECT DISTINCTROW t.name FROM t INNER JOIN o ON o.t_id = t.id ORDER BY t.name => Alpha;beta",
        "SELECT DISTINCTROW t.name, o.what FROM (t INNER JOIN o ON (o.t_id = t.id)) ORDER BY 1 => "
        "Alpha|x;Alpha|x;beta|y",
        "SELECT DISTINCTROW tt.name, oo.what FROM t AS tt, o oo WHERE oo.t_id = tt.id ORDER BY 1 => "
        "Alpha|x;Alpha|x;beta|y",
        "SELECT DISTINCTROW what FROM o ORDER BY what => x;x;y",
        "SELECT DISTINCTROW what FROM o INNER JOIN t ON o.t_id = t.id ORDER BY what => x;y",
        "SELECT [DISTINCTROW] FROM t => !no such column: DISTINCTROW",
        // Double-quoted texts are strings, compared without regard to case beside a comparison.
        R"(SELECT "it's ""quoted""" AS x => it's "quoted")", R"(SELECT 0.0 AS H, "" AS U => 0.0|)",
        R"(SELECT id FROM t WHERE name = "BETA" => 2)", R"(SELECT id FROM t WHERE name<>"alpha" AND id < 3 => 2)",
        "SELECT id FROM t WHERE 'GAMMA 100%' = name => 3",
        // Bracketed and back-quoted names are identifiers, never strings; no comments in Jet.
        "SELECT [my col] FROM [odd \"name\"] => 7", "SELECT t.[name] FROM [t] WHERE [t].id = 1 => Alpha",
        "SELECT `name` FROM t WHERE id = 2 => beta", "SELECT [nosuchcolumn] FROM t => !no such column",
        "SELECT t.id, u.label FROM ((t )  LEFT JOIN u ON (u.t_id = t.id)) WHERE t.id <= 2 ORDER BY t.id;  => "
        "1|x;2|NULL",
        "SELECT 5--3 => 8",
        // Operators, functions and date literals.
        "SELECT name & '-' & id FROM t WHERE id = 1 => Alpha-1",
        "SELECT IIf(qty > 2, 'big', 'small') FROM t WHERE id IN (1, 3) ORDER BY id => small;big",
        "SELECT Nz(qty), Nz(qty, -1) FROM t WHERE id = 2 => |-1",
        "SELECT Nz(Nz(qty), 5), Nz(IIf(id = 2, NULL, 1)) FROM t WHERE id = 2 => |",
        "SELECT 7 Mod 3, True, False => 1|1|0",
        "SELECT id FROM t WHERE at >= #1/15/2024# AND at < #2024-02-01# ORDER BY id => 1",
        "SELECT id FROM t WHERE at = #2/1/2024 12:00:00 AM# => 2", "SELECT id FROM t WHERE at = #1/15/24 8:00 AM# => 1",
        "SELECT id FROM t WHERE at = #2023-12-31 11:00 PM# => 3",
        // Like patterns: * ? and [c] are the wildcards, % and _ ordinary.
        "SELECT id FROM t WHERE name Like 'a*' ORDER BY id => 1;4", "SELECT id FROM t WHERE name LIKE \"?eta\" => 2",
        "SELECT id FROM t WHERE name Like '*100%' => 3", "SELECT id FROM t WHERE name Like 'a_b[*]c' => 4",
        "SELECT id FROM t WHERE name Like '%' => ", "SELECT id FROM t WHERE name NOT LIKE '*a*' ORDER BY id => ",
        "SELECT id FROM t WHERE name Like 'a#' => !#", "SELECT id FROM t WHERE name Like '[a-c]*' => !character list",
        // A lone name runs that table or saved query.
        "[CompositeContents] => 5", "CompositeContents; => 5", "[qryone] => 1",
        // Names out of table position are left alone ("id" names a saved query).
        "SELECT id, t.id AS id FROM t WHERE id = 1 => 1|1",
        // Refusals say what is wrong and where.
        "SELECT 'abc FROM t => !unterminated text", "SELECT \"abc FROM t => !unterminated text",
        "SELECT [abc FROM t => !unterminated name", "SELECT #1/2/2024 FROM t => !unterminated date",
        "SELECT #13/45/2024# => !not a date", "SELECT #yesterday# => !not a date", "SELECT [] FROM t => !empty name",
        "SELECT * FROM t WHERE id = ? => !'?'", "SELECT * FROM t WHERE id = :id => !':'",
        "SELECT * FROM t WHERE id = $1 => !'$'", "SELECT 1; DROP TABLE t => !after end of SQL statement",
        "SELECT 1\x01 => !control character", "   ; => !empty", "PARAMETERS x Long SELECT 1 => !PARAMETERS",
        "SELECT ^ FROM t => !character 8"};
    // Saved queries are put in with their parameters, numbered in order of first use; pid is a parameter.
    std::vector<Case> cases = {
        {"SELECT x.id FROM [QryOuter] x ORDER BY x.id", "2;3", {"beta", "3", "99"}},
        {"SELECT x.id FROM [QryOuter] x ORDER BY x.id", "3", {"beta", "3", "2"}},
        {"SELECT QryByName.name FROM QryByName", "Alpha", {"Alpha", "0"}},
        {"SELECT name FROM t WHERE id = [pid] OR id = pid", "a_b*c", {"4"}, {CString("PID")}},
        {"SELECT id AS pid FROM t WHERE t.pid IS NULL", "!no such column: t.pid", {}, {CString("pid")}}};
    for (const std::string t : texts)
        cases.push_back({t.substr(0, t.rfind(" => ")), t.substr(t.rfind(" => ") + 4)});
    test::NameMap r;
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
        EXPECT_TRUE(c.want[0] == '!' ? got[0] == '!' && test::mentions(got, c.want.substr(1)) : got == c.want) << got;
    }
}
