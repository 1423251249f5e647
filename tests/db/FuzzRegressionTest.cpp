// Cases the fuzzers in tests/fuzz found, kept as ordinary tests so that the
// faults stay mended in every build.

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "DbFixture.h"
#include "batchplant/db/Dao.h"
#include "db/SqlDialect.h"

using namespace batchplant;

namespace {

class SavedQueryMap : public SqlNameResolver {
public:
    void add(const std::string& name, const std::string& sql)
    {
        CDaoSavedQuery q;
        q.m_strName = name;
        q.m_strSQL = sql;
        queries[name] = q;
    }
    const CDaoSavedQuery* FindSavedQuery(const CString& name) override
    {
        const auto it = queries.find(name.str());
        return it == queries.end() ? nullptr : &it->second;
    }
    bool HasTableOrView(const CString&) override { return true; }
    std::map<std::string, CDaoSavedQuery> queries;
};

// Q0 .. Q<levels-1>, each reading the next one twice; Q<levels> is a table.
SavedQueryMap fanOut(int levels)
{
    SavedQueryMap m;
    for (int i = 0; i < levels; ++i) {
        const std::string next = "Q" + std::to_string(i + 1);
        m.add("Q" + std::to_string(i), "SELECT * FROM " + next + " AS a, " + next + " AS b");
    }
    return m;
}

std::size_t count(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

} // namespace

// Saved queries that each read the next one twice doubled the text at every
// level: thirty levels asked for 2^30 copies and exhausted memory.
TEST(FuzzRegressionTest, SavedQueriesThatFanOutAreRefused)
{
    SavedQueryMap deep = fanOut(30);
    try {
        TranslateJetSql("SELECT * FROM Q0", &deep);
        FAIL() << "a translation of 2^30 copies was accepted";
    } catch (const CDaoException& e) {
        EXPECT_NE(e.GetDescription().Find("more than 1024 times"), -1) << e.GetDescription().str();
        EXPECT_NE(e.GetDescription().Find("In saved query 'Q0'"), -1) << e.GetDescription().str();
    }

    // 255 copies are still put in, every one of them.
    SavedQueryMap shallow = fanOut(8);
    const TranslatedSql tr = TranslateJetSql("SELECT * FROM Q0", &shallow);
    EXPECT_EQ(count(tr.sql, "Q8 AS a"), 128u);
    EXPECT_EQ(count(tr.sql, "Q8 AS b"), 128u);
}

// A few copies of a long saved query: refused at the length limit.
TEST(FuzzRegressionTest, TranslationsLongerThanTheLimitAreRefused)
{
    SavedQueryMap m;
    std::string columns = "x0";
    for (int i = 1; i < 20000; ++i)
        columns += ", x" + std::to_string(i);
    m.add("Wide", "SELECT " + columns + " FROM T");
    std::string from = "Wide AS w0";
    const int copies = static_cast<int>(kMaxTranslatedSqlLength / (columns.size() + 20)) + 1;
    for (int i = 1; i < copies; ++i)
        from += ", Wide AS w" + std::to_string(i);
    EXPECT_NO_THROW(TranslateJetSql("SELECT * FROM Wide AS w0, Wide AS w1", &m));
    try {
        TranslateJetSql("SELECT * FROM " + from, &m);
        FAIL() << "a translation longer than the limit was accepted";
    } catch (const CDaoException& e) {
        EXPECT_NE(e.GetDescription().Find("too long"), -1) << e.GetDescription().str();
    }
}

// The same set of saved queries read from a results database: opening a
// recordset on it reports the refusal instead of running out of memory.
TEST(FuzzRegressionTest, RecordsetOnFanningSavedQueriesReportsTheRefusal)
{
    test::ResultsDb fx;
    for (int i = 0; i < 30; ++i) {
        const std::string next = "Q" + std::to_string(i + 1);
        fx.exec("INSERT INTO SavedQueries (Name, SqlText) VALUES ('Q" + std::to_string(i) + "', 'SELECT * FROM " +
                next + " AS a, " + next + " AS b')");
    }
    fx.exec("CREATE TABLE Q30 (x INTEGER)");
    fx.finish();

    CDaoDatabase db;
    db.Open(CString(fx.path().string()), false, true);
    CDaoRecordset rs(&db);
    try {
        rs.Open(dbOpenDynaset, "[Q0]");
        FAIL() << "the recordset opened";
    } catch (const CDaoException& e) {
        EXPECT_NE(e.GetDescription().Find("saved queries more than"), -1) << e.GetDescription().str();
    }
    EXPECT_FALSE(rs.IsOpen());
}
