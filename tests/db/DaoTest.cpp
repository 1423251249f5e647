// The data-access layer: opening files, the cursor, value conversion, null
// columns, saved queries with parameters, and what happens with bad input.

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "DbFixture.h"
#include "db/Sqlite.h"

using namespace batchplant;
using batchplant::test::describe;
using batchplant::test::mentions;
using batchplant::test::ResultsDb;

namespace {

// A recordset over the table t, a member of each type; minId is its parameter.
class TestSet : public CDaoRecordset {
public:
    explicit TestSet(CDaoDatabase* db = nullptr, CString sql = "SELECT id, name, qty, at, small FROM t ORDER BY id",
                     int params = 0)
        : CDaoRecordset(db), sql_(std::move(sql))
    {
        m_nFields = 5;
        m_nParams = params;
    }
    long m_id = 0, m_minId = 0;
    CString m_name, sql_;
    double m_qty = 0.0;
    COleDateTime m_at;
    short m_small = 0;
    CString GetDefaultSQL() override { return sql_; }
    void DoFieldExchange(CDaoFieldExchange* pFX) override
    {
        pFX->SetFieldType(CDaoFieldExchange::outputColumn);
        DFX_Long(pFX, "[id]", m_id);
        DFX_Text(pFX, "[name]", m_name);
        DFX_Double(pFX, "[qty]", m_qty);
        DFX_DateTime(pFX, "[at]", m_at);
        DFX_Short(pFX, "[small]", m_small);
        if (m_nParams == 0) return;
        pFX->SetFieldType(CDaoFieldExchange::param);
        DFX_Long(pFX, "minId", m_minId);
    }
};

// t with three ordinary rows, and saved queries on it.
void fillThreeRows(ResultsDb& f)
{
    f.exec("CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, qty REAL, at TEXT, small INTEGER);"
           "INSERT INTO t VALUES (1, 'one', 1.5, '2024-01-15T08:30:00', 7), (2, 'two', NULL, NULL, NULL),"
           " (3, 'three', 3.25, '2024-03-01 00:00:00', -2);"
           "CREATE TABLE SavedQueries(Name TEXT PRIMARY KEY, SqlText TEXT NOT NULL, Parameters TEXT);"
           "INSERT INTO SavedQueries VALUES ('QryByMin', 'SELECT * FROM t WHERE id >= [minId] ORDER BY id;', "
           "'minId Long'), ('QryNoParam', 'SELECT * FROM t', '  '),"
           " ('QryTwoParams', 'SELECT * FROM t WHERE id >= [minId] AND id <= [maxId]', '[minId] Long, maxId Text "
           "(255)');");
}

class ThreeRows : public testing::Test {
protected:
    void SetUp() override
    {
        fillThreeRows(f);
        db.Open(CString(f.path()), false, true);
    }
    ResultsDb f{ResultsDb::Tables::None};
    CDaoDatabase db;
    TestSet rs{&db};
};

} // namespace

TEST(DaoDatabase, MissingAndTruncatedFilesAreReportedAtOpen)
{
    ResultsDb f{ResultsDb::Tables::None};
    f.exec("CREATE TABLE big(id INTEGER PRIMARY KEY, payload TEXT);"
           "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
           "INSERT INTO big SELECT i, printf('%0200d', i) FROM n;");
    f.finish();
    std::filesystem::resize_file(f.path(), std::filesystem::file_size(f.path()) / 2);
    const auto missing = f.path().parent_path() / "nothing-here.db";
    for (const auto& [path, word, readOnly] :
         {std::tuple{f.path(), "malformed", true}, std::tuple{missing, "unable to open", true},
          std::tuple{missing, "unable to open", false}}) {
        CDaoDatabase db;
        EXPECT_TRUE(
            mentions(describe([&] { db.Open(CString(path.string()), false, readOnly); }), path.string() + "|" + word));
        EXPECT_FALSE(db.IsOpen());
    }
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_THROW(CDaoDatabase().Open(CString()), CDaoException);
}

TEST(DaoDatabase, ReadOnlyOpenCannotWriteReadWriteCanAndClosingClosesTheRecordsets)
{
    ResultsDb f{ResultsDb::Tables::None};
    fillThreeRows(f);
    f.finish();
    TestSet outlives;
    {
        CDaoDatabase db;
        EXPECT_EQ(db.FindSavedQuery(CString("QryByMin")), nullptr); // closed
        db.Open(CString(f.path()), false, true);
        EXPECT_FALSE(db.CanUpdate());
        EXPECT_THROW(db.GetConnection()->exec("DELETE FROM t"), CDaoException);
        db.Open(CString(f.path()), false, false);
        EXPECT_TRUE(db.CanUpdate());
        // Without a SavedQueries table there are none.
        EXPECT_NO_THROW(db.GetConnection()->exec("DROP TABLE SavedQueries"));
        EXPECT_EQ(db.FindSavedQuery(CString("QryByMin")), nullptr);
        // An exclusive open still reads; closing closes the recordsets on it.
        db.Open(CString(f.path()), true, true);
        outlives.m_pDatabase = &db;
        outlives.Open();
        EXPECT_EQ(outlives.m_id, 1);
        db.Close();
        EXPECT_FALSE(outlives.IsOpen());
        db.Open(CString(f.path()), false, true);
        outlives.Open();
        EXPECT_TRUE(outlives.IsOpen());
    } // the database goes first, then (later) the recordset; neither touches the other afterwards
    EXPECT_FALSE(outlives.IsOpen());
    outlives.MoveNext();
    EXPECT_TRUE(outlives.IsEOF());
}

// Makes the moves (N next, P previous, F first, L last, R requery, O open) and
// tells where each lands: "B" before the first row, "E" past the last, "BE" on
// no row at all, else the row's id; then ':' and the record count.
std::string walk(TestSet& rs, const std::string& moves)
{
    const std::map<char, std::function<void()>> move = {{'N', [&] { rs.MoveNext(); }},  {'P', [&] { rs.MovePrev(); }},
                                                        {'F', [&] { rs.MoveFirst(); }}, {'L', [&] { rs.MoveLast(); }},
                                                        {'R', [&] { rs.Requery(); }},   {'O', [&] { rs.Open(); }}};
    std::string out;
    for (char m : moves) {
        move.at(m)();
        const std::string at = rs.IsBOF() || rs.IsEOF() ? std::string(rs.IsBOF() ? "B" : "") + (rs.IsEOF() ? "E" : "")
                                                        : std::to_string(rs.m_id);
        out += (out.empty() ? "" : " ") + at + ":" + std::to_string(rs.GetRecordCount());
    }
    return out;
}

// Like a dynaset: the count grows as rows are reached, MoveLast reaches them all.
TEST_F(ThreeRows, WalksForwardAndBackLikeADynaset)
{
    EXPECT_EQ(walk(rs, "ONNNNPPPPPNLFRLP"), "1:1 2:2 3:3 E:3 E:3 3:3 2:3 1:3 B:3 B:3 1:3 3:3 1:3 1:1 3:3 2:3");
    // On row 2 its null columns, and only they, are null; a member not bound is not.
    EXPECT_TRUE(rs.IsFieldNull(&rs.m_qty) && rs.IsFieldNull(&rs.m_at) && rs.IsFieldNull(&rs.m_small));
    long unrelated = 0;
    EXPECT_FALSE(rs.IsFieldNull(&rs.m_id) || rs.IsFieldNull(&rs.m_name) || rs.IsFieldNull(&unrelated));
    EXPECT_EQ(rs.m_at.GetStatus(), COleDateTime::null);
    EXPECT_EQ(walk(rs, "P"), "1:3");
    EXPECT_FALSE(rs.IsFieldNull(&rs.m_qty));

    rs.Open(dbOpenDynaset, "SELECT id, name, qty, at, small FROM t WHERE id > 100");
    EXPECT_TRUE(rs.IsOpen());
    EXPECT_EQ(walk(rs, "FNPL"), "BE:0 BE:0 BE:0 BE:0");
    TestSet closed;
    EXPECT_EQ(walk(closed, "FNPL"), "BE:0 BE:0 BE:0 BE:0");
    closed.Close();
    EXPECT_TRUE(mentions(describe([&] { closed.Open(); }), "no open database"));
    EXPECT_TRUE(mentions(describe([&] { closed.Requery(); }), "not open"));
}

// Each stored row (id, name, qty, at, small) => the members' texts, a null as
// "~"; or after "!" the parts of the refusal. A date that does not parse or lies
// outside years 100 to 9999 is invalid, not an error; a valid one reads back.
TEST_F(ThreeRows, ValuesAreConvertedOrRefusedByName)
{
    const std::string cases[] = {
        // Converted, to the limits of each type.
        "1.9, 12, '  42 ', 45000.5, '+7' => 1|12|42|2023-03-15T12:00:00|7",
        "-1.9, 1.5, 2, '2024-01-15 08:30', 3.99 => -1|1.5|2|2024-01-15T08:30:00|3",
        "'17', x'414243', '1e3', 'next tuesday', ' -32768 ' => 17|ABC|1000|invalid|-32768",
        "NULL, NULL, NULL, NULL, NULL => ~|~|~|~|~",
        "2147483647, '', 0.1, '0100-01-01', 32767 => 2147483647||0.1|0100-01-01T00:00:00|32767",
        "-2147483648, '', 0, -657434, -32768 => -2147483648||0|0100-01-01T00:00:00|-32768",
        "2147483647.9, '', 0, 45000.25, 32767.9 => 2147483647||0|2023-03-15T06:00:00|32767",
        "-2147483648.9, '', 0, '', -32768.9 => -2147483648||0|invalid|-32768", "0, '', 0, 1e12, 0 => 0||0|invalid|0",
        "0, '', 0, 2958465.9999999, 0 => 0||0|invalid|0",
        // Beyond them, or not numbers.
        "2147483648, '', 0, NULL, 0 => ![id]|2147483648|32-bit", "-2147483649, '', 0, NULL, 0 => ![id]|32-bit",
        "2147483648.0, '', 0, NULL, 0 => ![id]|32-bit", "-2147483649.0, '', 0, NULL, 0 => ![id]|32-bit",
        "0, '', 0, NULL, 40000 => ![small]|40000|16-bit", "0, '', 0, NULL, -32769 => ![small]|16-bit",
        "0, '', 0, NULL, 32768.0 => ![small]|16-bit", "0, '', 'lots', NULL, 0 => ![qty]|raw.qty|'lots'|not a number",
        "0, '', 1e999, NULL, 0 => ![qty]|not a finite number"};
    f.exec("CREATE TABLE raw(id, name, qty, at, small)");
    for (const std::string& c : cases) {
        SCOPED_TRACE(c);
        const std::string want = c.substr(c.find(" => ") + 4);
        f.exec("DELETE FROM raw; INSERT INTO raw VALUES (" + c.substr(0, c.find(" => ")) + ")");
        TestSet row(&db);
        const std::string got = describe([&] { row.Open(dbOpenSnapshot, "SELECT id, name, qty, at, small FROM raw"); });
        if (want[0] == '!') {
            // On the first row the open itself fails and leaves the recordset closed.
            EXPECT_FALSE(row.IsOpen());
            EXPECT_TRUE(mentions(got, want.substr(1) + "|" + f.path().string()));
            continue;
        }
        EXPECT_EQ(row.m_at.GetStatus() == COleDateTime::invalid, row.GetFieldText(3) == CString("invalid"));
        if (row.m_at.GetStatus() == COleDateTime::valid) {
            EXPECT_NEAR((COleDateTime::FromIso(row.GetFieldText(3)) - row.m_at).GetTotalSeconds(), 0.0, 0.5);
        }
        EXPECT_EQ(test::boundRows(row, "id,name,qty,at,small"), std::vector<std::string>{want});
    }
}

// The bound columns are described; queries that cannot be bound to them say why.
TEST_F(ThreeRows, BindingsAreDescribedAndMissingTablesColumnsAndBindingsNamed)
{
    const std::pair<const char*, std::string> cases[] = {
        {"SELECT * FROM nowhere", "no such table: nowhere|" + f.pathString()},
        {"SELECT id, name, qty, at FROM t", "[small]|Item not found|" + f.pathString()},
        {"SELECT id, name, qty, at, tiny FROM t", "no such column: tiny"},
        {"[t2]", "Cannot find the input table or query 't2'|" + f.pathString()},
        {"[QryNoParam]", "no parameter [minId]"},
        {"[QryTwoParams]", "Too few parameters|[maxId]"}};
    for (const auto& [sql, parts] : cases) {
        TestSet p(&db, CString(sql), 1);
        EXPECT_TRUE(mentions(describe([&] { sql[0] == '[' ? p.Open() : rs.Open(dbOpenDynaset, sql); }), parts)) << sql;
        EXPECT_FALSE(rs.IsOpen() || p.IsOpen()) << sql;
    }
    // The bound columns' types (boundRows reads their names), and past them nothing.
    const short types[] = {dbLong, dbText, dbDouble, dbDate, dbInteger, 0};
    for (int i = 0; i < 6; ++i) {
        CDaoFieldInfo info{CString("stale"), dbText};
        rs.GetFieldInfo(i, info);
        EXPECT_TRUE(info.m_nType == types[i] && info.m_strName.IsEmpty() == (i == 5)) << i;
    }
    EXPECT_TRUE(rs.GetFieldText(-1).IsEmpty() && rs.GetFieldText(9).IsEmpty());
    rs.m_nFields = 4;
    EXPECT_TRUE(mentions(describe([&] { rs.Open(); }), "binds 5 columns|declares 4"));
}

TEST_F(ThreeRows, ASavedQueryRunsWithItsParameterBoundByName)
{
    const CDaoSavedQuery* q = db.FindSavedQuery(CString("qrybymin"));
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->m_parameters, std::vector<CString>{CString("minId")});
    EXPECT_EQ(db.FindSavedQuery(CString("QryElse")), nullptr);
    EXPECT_TRUE(db.HasTableOrView(CString("T")));
    EXPECT_FALSE(db.HasTableOrView(CString("nowhere")));

    TestSet p(&db, "[QryByMin]", 1);
    p.m_minId = 2;
    p.Open();
    EXPECT_EQ(test::boundRows(p, "id"), (std::vector<std::string>{"2", "3"}));
    // A new parameter value takes effect on Requery.
    p.m_minId = 3;
    p.Requery();
    EXPECT_EQ(p.m_id, 3);
    EXPECT_EQ(p.GetRecordCount(), 1);

    // Set from text: a whole number under the name, in any case.
    EXPECT_EQ(p.GetParamNames(), std::vector<CString>{CString("minId")});
    p.SetParamValue(CString("MINID"), CString("1"));
    EXPECT_EQ(p.m_minId, 1);
    for (const auto& [name, value, why] : {std::tuple{"minId", "3.5", "whole number"}, std::tuple{"minId", "x", "'x'"},
                                           std::tuple{"other", "1", "[other]"}})
        EXPECT_TRUE(mentions(describe([&] { p.SetParamValue(CString(name), CString(value)); }), why));
    EXPECT_EQ(p.m_minId, 1);

    // The bad parameter list of any saved query is reported when the list is read.
    p.Close();
    f.exec("INSERT INTO SavedQueries VALUES ('QryBadList', 'SELECT 1', '1 Long')");
    db.Open(CString(f.path()), false, true);
    EXPECT_TRUE(mentions(describe([&] { db.FindSavedQuery(CString("QryByMin")); }), "QryBadList"));
}
