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

struct SavedQueryMap : SqlNameResolver {
    std::map<std::string, CDaoSavedQuery> queries;

    void add(const std::string& name, const std::string& sql)
    {
        queries[name].m_strName = name;
        queries[name].m_strSQL = sql;
    }
    const CDaoSavedQuery* FindSavedQuery(const CString& name) override
    {
        const auto it = queries.find(name.str());
        return it == queries.end() ? nullptr : &it->second;
    }
    bool HasTableOrView(const CString&) override { return true; }
};

// Q<i> reads Q<i+1> twice, for i below `levels`.
std::string fanOutSql(int i)
{
    const std::string next = "Q" + std::to_string(i + 1);
    return "SELECT * FROM " + next + " AS a, " + next + " AS b";
}

SavedQueryMap fanOut(int levels)
{
    SavedQueryMap m;
    for (int i = 0; i < levels; ++i)
        m.add("Q" + std::to_string(i), fanOutSql(i));
    return m;
}

bool contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

std::string refusal(const std::string& sql, SqlNameResolver& names)
{
    try {
        TranslateJetSql(sql, &names);
    } catch (const CDaoException& e) {
        return e.GetDescription().str();
    }
    return "accepted";
}

} // namespace

// Saved queries that each read the next one twice doubled the text at every
// level: thirty levels asked for 2^30 copies and exhausted memory. 255
// copies are still put in, every one of them.
TEST(FuzzRegressionTest, SavedQueriesThatFanOutAreRefused)
{
    SavedQueryMap deep = fanOut(30), shallow = fanOut(8);
    const std::string why = refusal("SELECT * FROM Q0", deep);
    EXPECT_TRUE(contains(why, "more than 1024 times") && contains(why, "In saved query 'Q0'")) << why;
    const std::string sql = TranslateJetSql("SELECT * FROM Q0", &shallow).sql;
    for (const std::string alias : {"Q8 AS a", "Q8 AS b"}) {
        std::size_t n = 0;
        for (std::size_t at = sql.find(alias); at != std::string::npos; at = sql.find(alias, at + 1))
            ++n;
        EXPECT_EQ(n, 128u) << alias;
    }
}

// A few copies of a long saved query: refused at the length limit.
TEST(FuzzRegressionTest, TranslationsLongerThanTheLimitAreRefused)
{
    SavedQueryMap m;
    std::string columns = "x0", from = "Wide AS w0";
    for (int i = 1; i < 20000; ++i)
        columns += ", x" + std::to_string(i);
    m.add("Wide", "SELECT " + columns + " FROM T");
    for (std::size_t i = 1; i <= kMaxTranslatedSqlLength / (columns.size() + 20); ++i)
        from += ", Wide AS w" + std::to_string(i);
    EXPECT_EQ(refusal("SELECT * FROM Wide AS w0, Wide AS w1", m), "accepted");
    const std::string why = refusal("SELECT * FROM " + from, m);
    EXPECT_TRUE(contains(why, "too long")) << why;
}

// The same saved queries read from a results database: opening a recordset
// on them reports the refusal instead of running out of memory.
TEST(FuzzRegressionTest, RecordsetOnFanningSavedQueriesReportsTheRefusal)
{
    test::ResultsDb fx;
    for (int i = 0; i < 30; ++i)
        fx.exec("INSERT INTO SavedQueries (Name, SqlText) VALUES ('Q" + std::to_string(i) + "', '" + fanOutSql(i) +
                "')");
    fx.exec("CREATE TABLE Q30 (x INTEGER)");
    fx.finish();
    CDaoDatabase db;
    db.Open(CString(fx.path().string()), false, true);
    CDaoRecordset rs(&db);
    try {
        rs.Open(dbOpenDynaset, "[Q0]");
        ADD_FAILURE() << "the recordset opened";
    } catch (const CDaoException& e) {
        EXPECT_TRUE(contains(e.GetDescription().str(), "saved queries more than")) << e.GetDescription().str();
    }
    EXPECT_FALSE(rs.IsOpen());
}
