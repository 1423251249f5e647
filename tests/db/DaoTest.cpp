// The data-access layer: opening files, the cursor, value conversion, null
// columns, saved queries with parameters, and what happens with bad input.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <memory>
#include <vector>

#include "DbFixture.h"
#include "batchplant/db/Dao.h"
#include "db/Sqlite.h"

using namespace batchplant;
using batchplant::test::ResultsDb;

namespace {

// A recordset over the table t of the fixtures below.
class TestSet : public CDaoRecordset {
public:
    explicit TestSet(CDaoDatabase* db = nullptr) : CDaoRecordset(db)
    {
        m_nFields = 5;
        m_nParams = 0;
    }
    long m_id = 0;
    CString m_name;
    double m_qty = 0.0;
    COleDateTime m_at;
    short m_small = 0;
    CString GetDefaultSQL() override { return "SELECT id, name, qty, at, small FROM t ORDER BY id"; }
    void DoFieldExchange(CDaoFieldExchange* pFX) override
    {
        pFX->SetFieldType(CDaoFieldExchange::outputColumn);
        DFX_Long(pFX, "[id]", m_id);
        DFX_Text(pFX, "[name]", m_name);
        DFX_Double(pFX, "[qty]", m_qty);
        DFX_DateTime(pFX, "[at]", m_at);
        DFX_Short(pFX, "[small]", m_small);
    }
};

// A recordset with one parameter, run on a saved query.
class ParamSet : public CDaoRecordset {
public:
    explicit ParamSet(CString sql = "[QryByMin]") : sql_(std::move(sql))
    {
        m_nFields = 1;
        m_nParams = 1;
    }
    long m_id = 0;
    long m_minId = 0;
    CString GetDefaultSQL() override { return sql_; }
    void DoFieldExchange(CDaoFieldExchange* pFX) override
    {
        pFX->SetFieldType(CDaoFieldExchange::outputColumn);
        DFX_Long(pFX, "[id]", m_id);
        pFX->SetFieldType(CDaoFieldExchange::param);
        DFX_Long(pFX, "minId", m_minId);
    }

private:
    CString sql_;
};

// t with three ordinary rows.
void fillThreeRows(ResultsDb& f)
{
    f.exec("CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, qty REAL, at TEXT, small INTEGER);"
           "INSERT INTO t VALUES (1, 'one', 1.5, '2024-01-15T08:30:00', 7);"
           "INSERT INTO t VALUES (2, 'two', NULL, NULL, NULL);"
           "INSERT INTO t VALUES (3, 'three', 3.25, '2024-03-01 00:00:00', -2);");
}

// t with three ordinary rows, open read-only, with a TestSet on it.
// A table t of the test's own making, open read-only, with a TestSet on it.
class OwnRows : public testing::Test {
protected:
    void make(const std::string& sql)
    {
        f.exec(sql);
        db.Open(CString(f.path()), false, true);
    }
    ResultsDb f{ResultsDb::Tables::None};
    CDaoDatabase db;
    TestSet rs{&db};
};

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

std::string describe(const std::function<void()>& f)
{
    try {
        f();
    } catch (const CDaoException& e) {
        return e.GetDescription().str();
    }
    return "no exception";
}

testing::AssertionResult mentions(const std::string& text, const std::vector<std::string>& parts)
{
    for (const std::string& p : parts)
        if (text.find(p) == std::string::npos)
            return testing::AssertionFailure() << "'" << text << "' does not mention '" << p << "'";
    return testing::AssertionSuccess();
}

} // namespace

// ------------------------------------------------------------ opening files

TEST(DaoDatabase, MissingFileIsReportedAndNotCreated)
{
    test::TempDir dir;
    const auto path = dir.file("nothing-here.db");
    for (bool readOnly : {true, false}) {
        CDaoDatabase db;
        const std::string msg = describe([&] { db.Open(CString(path.string()), false, readOnly); });
        EXPECT_TRUE(mentions(msg, {path.string(), "unable to open"}));
        EXPECT_FALSE(db.IsOpen());
        EXPECT_FALSE(std::filesystem::exists(path));
    }
    CDaoDatabase db;
    EXPECT_THROW(db.Open(CString()), CDaoException);
}

TEST(DaoDatabase, TextAndTruncatedFilesAreReportedAtOpen)
{
    ResultsDb f{ResultsDb::Tables::None};
    f.exec("CREATE TABLE big(id INTEGER PRIMARY KEY, payload TEXT);"
           "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
           "INSERT INTO big SELECT i, printf('%0200d', i) FROM n;");
    f.finish();
    std::filesystem::resize_file(f.path(), std::filesystem::file_size(f.path()) / 2);
    const auto text = f.path().parent_path() / "notes.db";
    std::ofstream(text) << std::string(4096, 'x') << "\n";
    for (const auto& [path, word] : {std::pair{f.path(), "malformed"}, std::pair{text, "not a database"}}) {
        CDaoDatabase db;
        const std::string msg = describe([&] { db.Open(CString(path.string()), false, true); });
        EXPECT_TRUE(mentions(msg, {path.string(), word})) << msg;
        EXPECT_FALSE(db.IsOpen());
    }
}

TEST(DaoDatabase, ReadOnlyOpenCannotWrite)
{
    ResultsDb f{ResultsDb::Tables::None};
    fillThreeRows(f);
    f.finish();
    CDaoDatabase db;
    db.Open(CString(f.path()), false, true);
    ASSERT_TRUE(db.IsOpen());
    EXPECT_FALSE(db.CanUpdate());
    EXPECT_EQ(db.GetName(), CString(f.path()));
    ASSERT_NE(db.GetConnection(), nullptr);
    EXPECT_THROW(db.GetConnection()->exec("DELETE FROM t"), CDaoException);
    db.Close();
    EXPECT_FALSE(db.IsOpen());
    EXPECT_EQ(db.GetConnection(), nullptr);

    // A read-write open lets a component write its own tables through the handle.
    db.Open(CString(f.path()), false, false);
    EXPECT_TRUE(db.CanUpdate());
    EXPECT_NO_THROW(db.GetConnection()->exec("CREATE TABLE mine(x)"));
    // An exclusive open still reads.
    db.Open(CString(f.path()), true, true);
    TestSet rs(&db);
    rs.Open();
    EXPECT_EQ(rs.m_id, 1);
}

// ------------------------------------------------------------ the cursor

// Where the cursor stands: "B" before the first row, "E" past the last, "BE"
// on no row at all, else the row's id.
std::string where(TestSet& rs)
{
    if (rs.IsBOF() || rs.IsEOF()) return std::string(rs.IsBOF() ? "B" : "") + (rs.IsEOF() ? "E" : "");
    return std::to_string(rs.m_id);
}

// Makes the moves (N next, P previous, F first, L last) and tells where each one lands.
std::string walk(TestSet& rs, const std::string& moves)
{
    std::string out;
    for (char m : moves) {
        m == 'N' ? rs.MoveNext() : m == 'P' ? rs.MovePrev() : m == 'F' ? rs.MoveFirst() : rs.MoveLast();
        out += (out.empty() ? "" : " ") + where(rs);
    }
    return out;
}

TEST_F(ThreeRows, WalksForwardAndBackLikeADynaset)
{
    EXPECT_EQ(where(rs), "BE");
    rs.Open();
    ASSERT_TRUE(rs.IsOpen());
    EXPECT_EQ(where(rs), "1");
    EXPECT_EQ(rs.GetRecordCount(), 1);
    EXPECT_EQ(walk(rs, "NN"), "2 3");
    EXPECT_EQ(rs.GetRecordCount(), 3);
    EXPECT_EQ(walk(rs, "NN"), "E E"); // the second has nowhere to go
    EXPECT_EQ(rs.GetRecordCount(), 3);
    EXPECT_EQ(walk(rs, "P"), "3");
    EXPECT_EQ(rs.m_name, CString("three"));
    EXPECT_EQ(walk(rs, "P"), "2");
    EXPECT_TRUE(rs.IsFieldNull(&rs.m_qty));
    EXPECT_EQ(walk(rs, "P"), "1");
    EXPECT_FALSE(rs.IsFieldNull(&rs.m_qty));
    EXPECT_EQ(walk(rs, "PPNLF"), "B B 1 3 1");
    EXPECT_EQ(rs.m_name, CString("one"));
    EXPECT_EQ(rs.GetRecordCount(), 3);
}

TEST_F(ThreeRows, MoveLastOnAFreshQueryCountsAllRows)
{
    rs.Open();
    EXPECT_EQ(rs.GetRecordCount(), 1);
    EXPECT_EQ(walk(rs, "L"), "3");
    EXPECT_EQ(rs.GetRecordCount(), 3);
    EXPECT_EQ(walk(rs, "P"), "2");
}

TEST_F(ThreeRows, AnEmptyQueryIsAtBothEndsAndAClosedOneIsHarmless)
{
    rs.Open(dbOpenDynaset, "SELECT id, name, qty, at, small FROM t WHERE id > 100");
    EXPECT_TRUE(rs.IsOpen());
    EXPECT_EQ(where(rs), "BE");
    EXPECT_EQ(rs.GetRecordCount(), 0);
    EXPECT_EQ(walk(rs, "FNPL"), "BE BE BE BE");
    EXPECT_EQ(rs.GetRecordCount(), 0);

    TestSet closed;
    EXPECT_FALSE(closed.IsOpen());
    walk(closed, "FNPL");
    closed.Close();
    EXPECT_TRUE(closed.IsEOF());
    EXPECT_EQ(closed.GetRecordCount(), 0);
    EXPECT_TRUE(mentions(describe([&] { closed.Open(); }), {"no open database"}));
    EXPECT_TRUE(mentions(describe([&] { closed.Requery(); }), {"not open"}));
}

TEST_F(ThreeRows, RequeryStartsAgainFromTheFirstRow)
{
    rs.Open();
    ASSERT_EQ(walk(rs, "NNN"), "2 3 E");
    rs.Requery();
    EXPECT_EQ(where(rs), "1");
    EXPECT_EQ(rs.GetRecordCount(), 1);
}

TEST(DaoRecordset, ClosingTheDatabaseClosesItsRecordsets)
{
    ResultsDb f{ResultsDb::Tables::None};
    fillThreeRows(f);
    TestSet outlives;
    {
        CDaoDatabase db;
        db.Open(CString(f.path()), false, true);
        TestSet rs(&db);
        rs.Open();
        outlives.m_pDatabase = &db;
        outlives.Open();
        db.Close();
        EXPECT_FALSE(rs.IsOpen());
        EXPECT_FALSE(outlives.IsOpen());
        db.Open(CString(f.path()), false, true);
        outlives.Open();
        EXPECT_TRUE(outlives.IsOpen());
    } // the database goes first, then (later) the recordset; neither touches the other afterwards
    EXPECT_FALSE(outlives.IsOpen());
    outlives.MoveNext();
    EXPECT_TRUE(outlives.IsEOF());
}

// ------------------------------------------------------------ values

TEST_F(OwnRows, ValuesAreConvertedTheUsualWay)
{
    make("CREATE TABLE t(id, name, qty, at, small);"
         "INSERT INTO t VALUES (1.9, 12, '  42 ', 45000.5, '+7');"
         "INSERT INTO t VALUES (-1.9, 1.5, 2, '2024-01-15 08:30', 3.99);"
         "INSERT INTO t VALUES ('17', x'414243', '1e3', 'next tuesday', ' -32768 ');");
    rs.Open(dbOpenSnapshot, "SELECT * FROM t");
    EXPECT_EQ(rs.m_id, 1);
    EXPECT_EQ(rs.m_name, CString("12"));
    EXPECT_DOUBLE_EQ(rs.m_qty, 42.0);
    EXPECT_EQ(rs.m_small, 7);
    rs.MoveNext();
    EXPECT_EQ(rs.m_id, -1);
    EXPECT_EQ(rs.m_name, CString("1.5"));
    EXPECT_DOUBLE_EQ(rs.m_qty, 2.0);
    EXPECT_EQ(rs.m_small, 3);
    rs.MoveNext();
    EXPECT_EQ(rs.m_id, 17);
    EXPECT_EQ(rs.m_name, CString("ABC"));
    EXPECT_DOUBLE_EQ(rs.m_qty, 1000.0);
    EXPECT_EQ(rs.m_small, -32768);
}

// A date that does not parse is invalid, not an error and not null. Its text
// is "invalid", or else ISO with a four-digit year that reads
// back to the value (to the second it is rounded to).
TEST(DaoRecordset, EveryDateTextReadsBackToItsValue)
{
    const std::pair<const char*, const char*> cells[] = {{"'2024-01-15 08:30'", "2024-01-15T08:30:00"},
                                                         {"'0100-01-01'", "0100-01-01T00:00:00"},
                                                         {"45000.25", "2023-03-15T06:00:00"},
                                                         {"-657434", "0100-01-01T00:00:00"},
                                                         {"''", "invalid"},
                                                         {"1e12", "invalid"},
                                                         {"2958465.9999999", "invalid"},
                                                         {"'9999-12-31T23:59:59.9'", "invalid"},
                                                         {"'2024- 1- 1'", "invalid"},
                                                         {"'2024-01-01T00:00:00.5e3'", "invalid"},
                                                         {"'-024-01-01'", "invalid"},
                                                         {"'next tuesday'", "invalid"}};
    for (const auto& [stored, text] : cells) {
        ResultsDb f{ResultsDb::Tables::None};
        f.exec(std::string("CREATE TABLE t(id, name, qty, at, small); INSERT INTO t VALUES (1, '', 0, ") + stored +
               ", 0);");
        CDaoDatabase db;
        db.Open(CString(f.path()), false, true);
        TestSet rs(&db);
        rs.Open();
        EXPECT_EQ(rs.GetFieldText(3).str(), text) << stored;
        EXPECT_FALSE(rs.IsFieldNullAt(3)) << stored;
        EXPECT_EQ(rs.m_at.GetStatus() == COleDateTime::invalid, std::string(text) == "invalid") << stored;
        if (std::string(text) == "invalid") continue;
        const COleDateTime back = COleDateTime::FromIso(rs.GetFieldText(3));
        EXPECT_NEAR((back - rs.m_at).GetTotalSeconds(), 0.0, 0.5) << stored;
    }
}

TEST_F(ThreeRows, NullColumnsAreReportedAsNull)
{
    rs.Open();
    EXPECT_FALSE(rs.IsFieldNull(&rs.m_qty));
    EXPECT_FALSE(rs.IsFieldNull(&rs.m_at));
    rs.MoveNext();
    EXPECT_FALSE(rs.IsFieldNull(&rs.m_id));
    EXPECT_FALSE(rs.IsFieldNull(&rs.m_name));
    EXPECT_TRUE(rs.IsFieldNull(&rs.m_qty));
    EXPECT_TRUE(rs.IsFieldNull(&rs.m_at));
    EXPECT_TRUE(rs.IsFieldNull(&rs.m_small));
    EXPECT_DOUBLE_EQ(rs.m_qty, 0.0);
    EXPECT_EQ(rs.m_small, 0);
    EXPECT_EQ(rs.m_at.GetStatus(), COleDateTime::null);
    // An address that is not a bound member.
    long unrelated = 0;
    EXPECT_FALSE(rs.IsFieldNull(&unrelated));
    rs.MoveNext();
    EXPECT_FALSE(rs.IsFieldNull(&rs.m_qty));
    EXPECT_DOUBLE_EQ(rs.m_qty, 3.25);
}

TEST_F(OwnRows, TextInANumericColumnNamesTheColumnAndValue)
{
    make("CREATE TABLE t(id INTEGER, name TEXT, qty REAL, at TEXT, small INTEGER);"
         "INSERT INTO t VALUES (1, 'a', 1.0, NULL, 1);"
         "INSERT INTO t VALUES (2, 'b', 'lots', NULL, 1);");
    rs.Open(); // the first row is fine
    EXPECT_EQ(rs.m_id, 1);
    const std::string msg = describe([&] { rs.MoveNext(); });
    EXPECT_TRUE(mentions(msg, {"[qty]", "t.qty", "'lots'", "not a number", f.path()}));

    // On the first row the open itself fails and leaves the recordset closed.
    TestSet first(&db);
    const std::string msg2 =
        describe([&] { first.Open(dbOpenDynaset, "SELECT id, name, qty, at, small FROM t ORDER BY id DESC"); });
    EXPECT_TRUE(mentions(msg2, {"[qty]", "'lots'"}));
    EXPECT_FALSE(first.IsOpen());
}

TEST_F(OwnRows, NumbersOutsideTheMemberRangeAreRefused)
{
    make("CREATE TABLE t(id, name, qty, at, small);"
         "INSERT INTO t VALUES (3000000000, 'a', 1, NULL, 1);"
         "INSERT INTO t VALUES (1, 'a', 1, NULL, 40000);");
    EXPECT_TRUE(mentions(describe([&] { rs.Open(dbOpenDynaset, "SELECT * FROM t WHERE small = 1"); }),
                         {"[id]", "3000000000", "32-bit"}));
    EXPECT_TRUE(mentions(describe([&] { rs.Open(dbOpenDynaset, "SELECT * FROM t WHERE id = 1"); }),
                         {"[small]", "40000", "16-bit"}));
}

TEST_F(ThreeRows, MissingTablesAndColumnsAreNamed)
{
    EXPECT_TRUE(mentions(describe([&] { rs.Open(dbOpenDynaset, "SELECT * FROM nowhere"); }),
                         {"no such table: nowhere", f.path()}));
    EXPECT_TRUE(mentions(describe([&] { rs.Open(dbOpenDynaset, "SELECT id, name, qty, at FROM t"); }),
                         {"[small]", "Item not found", f.path()}));
    EXPECT_TRUE(mentions(describe([&] { rs.Open(dbOpenDynaset, "SELECT id, name, qty, at, tiny FROM t"); }),
                         {"no such column: tiny"}));
    EXPECT_TRUE(mentions(describe([&] { rs.Open(dbOpenDynaset, "[t2]"); }),
                         {"Cannot find the input table or query 't2'", f.path()}));
    EXPECT_FALSE(rs.IsOpen());
}

TEST_F(ThreeRows, FieldInfoAndTextsDescribeTheBoundColumns)
{
    f.exec("INSERT INTO t VALUES (4, 'a,\"b\"', 0.1, 'soon', 0)");
    ASSERT_EQ(rs.GetBoundFieldCount(), 5);
    CDaoFieldInfo info;
    const std::pair<const char*, short> expected[] = {
        {"id", dbLong}, {"name", dbText}, {"qty", dbDouble}, {"at", dbDate}, {"small", dbInteger}};
    for (int i = 0; i < 5; ++i) {
        rs.GetFieldInfo(i, info);
        EXPECT_EQ(info.m_strName, CString(expected[i].first));
        EXPECT_EQ(info.m_nType, expected[i].second);
    }
    rs.GetFieldInfo(5, info);
    EXPECT_TRUE(info.m_strName.IsEmpty());

    rs.Open();
    EXPECT_EQ(rs.GetFieldText(0), CString("1"));
    EXPECT_EQ(rs.GetFieldText(2), CString("1.5"));
    EXPECT_EQ(rs.GetFieldText(3), CString("2024-01-15T08:30:00"));
    EXPECT_EQ(rs.GetFieldText(4), CString("7"));
    EXPECT_EQ(rs.GetFieldText(-1), CString());
    EXPECT_EQ(rs.GetFieldText(9), CString());
    rs.MoveNext();
    EXPECT_EQ(rs.GetFieldText(2), CString());
    EXPECT_TRUE(rs.IsFieldNullAt(2));
    rs.MoveNext();
    rs.MoveNext();
    EXPECT_EQ(rs.GetFieldText(1), CString("a,\"b\""));
    EXPECT_EQ(rs.GetFieldText(2), CString("0.1"));
    EXPECT_EQ(rs.GetFieldText(3), CString("invalid"));
}

TEST_F(ThreeRows, DeclaredCountsMustMatchTheBindings)
{
    rs.m_nFields = 4;
    EXPECT_TRUE(mentions(describe([&] { rs.Open(); }), {"binds 5 columns", "declares 4"}));
}

// ------------------------------------------------------------ saved queries

class SavedQueryTest : public testing::Test {
protected:
    void SetUp() override
    {
        fillThreeRows(f);
        f.exec("CREATE TABLE SavedQueries(Name TEXT PRIMARY KEY, SqlText TEXT NOT NULL, Parameters TEXT);"
               "INSERT INTO SavedQueries VALUES ('QryByMin', 'SELECT id FROM t WHERE id >= [minId] ORDER BY id;', "
               "'minId Long');"
               "INSERT INTO SavedQueries VALUES ('QryNested', 'SELECT q.id FROM [QryByMin] AS q WHERE q.id < 3', "
               "NULL);"
               "INSERT INTO SavedQueries VALUES ('QryNoParam', 'SELECT id FROM t', NULL);"
               "INSERT INTO SavedQueries VALUES ('QryTwoParams', 'SELECT id FROM t WHERE id >= [minId] AND id <= "
               "[maxId]', 'minId Long, maxId Long');"
               "INSERT INTO SavedQueries VALUES ('QryBroken', 'SELECT id FROM t WHERE name = \"unclosed', NULL);"
               "INSERT INTO SavedQueries VALUES ('QryBadList', 'SELECT 1', '1 Long');");
        db.Open(CString(f.path()), false, true);
    }
    ResultsDb f{ResultsDb::Tables::None};
    CDaoDatabase db;
};

TEST_F(SavedQueryTest, ASavedQueryRunsWithItsParameterBoundByName)
{
    // The bad parameter list of another saved query is reported when the list is read.
    EXPECT_TRUE(mentions(describe([&] { db.FindSavedQuery(CString("QryByMin")); }), {"QryBadList"}));
    f.exec("DELETE FROM SavedQueries WHERE Name = 'QryBadList'");
    db.Open(CString(f.path()), false, true);

    const CDaoSavedQuery* q = db.FindSavedQuery(CString("qrybymin"));
    ASSERT_NE(q, nullptr);
    ASSERT_EQ(q->m_parameters.size(), 1u);
    EXPECT_EQ(q->m_parameters[0], CString("minId"));
    EXPECT_EQ(db.FindSavedQuery(CString("QryElse")), nullptr);

    ParamSet rs;
    rs.m_pDatabase = &db;
    rs.m_minId = 2;
    rs.Open();
    EXPECT_EQ(rs.m_id, 2);
    rs.MoveNext();
    EXPECT_EQ(rs.m_id, 3);
    rs.MoveNext();
    EXPECT_TRUE(rs.IsEOF());
    // A new parameter value takes effect on Requery.
    rs.m_minId = 3;
    rs.Requery();
    EXPECT_EQ(rs.m_id, 3);
    EXPECT_EQ(rs.GetRecordCount(), 1);
    rs.MovePrev();
    rs.MoveNext();
    EXPECT_EQ(rs.m_id, 3);

    ParamSet nested("[QryNested]");
    nested.m_pDatabase = &db;
    nested.m_minId = 1;
    nested.Open();
    EXPECT_EQ(nested.m_id, 1);
    nested.MoveNext();
    EXPECT_EQ(nested.m_id, 2);
    nested.MoveNext();
    EXPECT_TRUE(nested.IsEOF());
}

TEST_F(SavedQueryTest, MismatchedParametersAndBadSavedQueriesAreNamed)
{
    f.exec("DELETE FROM SavedQueries WHERE Name = 'QryBadList'");
    db.Open(CString(f.path()), false, true);
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"[QryNoParam]", {"no parameter [minId]"}},
        {"[QryTwoParams]", {"Too few parameters", "[maxId]"}},
        {"[QryBroken]", {"In saved query 'QryBroken'", "unterminated"}},
        {"[QryPhaseComponents]", {"Cannot find the input table or query 'QryPhaseComponents'", f.path()}}};
    for (const auto& [sql, parts] : cases) {
        ParamSet rs{CString(sql)};
        rs.m_pDatabase = &db;
        EXPECT_TRUE(mentions(describe([&] { rs.Open(); }), parts)) << sql;
    }
}

TEST_F(SavedQueryTest, ParametersCanBeSetFromText)
{
    ParamSet rs;
    ASSERT_EQ(rs.GetParamNames().size(), 1u);
    EXPECT_EQ(rs.GetParamNames()[0], CString("minId"));
    rs.SetParamValue(CString("MINID"), CString("3"));
    EXPECT_EQ(rs.m_minId, 3);
    EXPECT_TRUE(mentions(describe([&] { rs.SetParamValue(CString("minId"), CString("3.5")); }), {"whole number"}));
    EXPECT_TRUE(mentions(describe([&] { rs.SetParamValue(CString("minId"), CString("x")); }), {"'x'"}));
    EXPECT_TRUE(mentions(describe([&] { rs.SetParamValue(CString("other"), CString("1")); }), {"[other]"}));
    EXPECT_EQ(rs.m_minId, 3);
}

TEST(DaoDatabase, ADatabaseWithoutSavedQueriesHasNone)
{
    ResultsDb f{ResultsDb::Tables::None};
    fillThreeRows(f);
    CDaoDatabase db;
    EXPECT_EQ(db.FindSavedQuery(CString("Anything")), nullptr); // closed
    db.Open(CString(f.path()), false, true);
    EXPECT_EQ(db.FindSavedQuery(CString("QryPhaseComponents")), nullptr);
    EXPECT_TRUE(db.HasTableOrView(CString("T")));
    EXPECT_FALSE(db.HasTableOrView(CString("SavedQueries")));
}
