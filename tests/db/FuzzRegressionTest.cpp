// Cases the fuzzers in tests/fuzz found, kept so that they stay mended in
// every build, with the other saved queries that cannot be put in.

#include <gtest/gtest.h>

#include "DbFixture.h"

using namespace batchplant;

namespace {

using SavedQueries = std::vector<std::pair<std::string, std::string>>;

// Q<i> reads Q<i+1> twice, for i below `levels`.
SavedQueries fanOut(int levels)
{
    SavedQueries out;
    for (int i = 0; i < levels; ++i) {
        const std::string next = "Q" + std::to_string(i + 1);
        out.emplace_back("Q" + std::to_string(i), "SELECT * FROM " + next + " AS a, " + next + " AS b");
    }
    return out;
}

// Wide reads 20000 columns; `copies` of it, all but the first as a new alias.
std::pair<SavedQueries, std::string> wide(std::size_t copies)
{
    std::string columns = "x0", from = "Wide AS w0";
    for (int i = 1; i < 20000; ++i)
        columns += ", x" + std::to_string(i);
    for (std::size_t i = 1; i < copies; ++i)
        from += ", Wide AS w" + std::to_string(i);
    return {{{"Wide", "SELECT " + columns + " FROM T"}}, "SELECT * FROM " + from};
}

test::NameMap resolver(const SavedQueries& queries)
{
    test::NameMap names;
    for (const auto& [name, sql] : queries)
        names.add(name, sql);
    names.tables = {"T", "Q8", "Q30"};
    return names;
}

} // namespace

class Refusal : public testing::TestWithParam<bool> {};

// Each text's translation is refused for the reason given (parts between '|').
TEST_P(Refusal, SavedQueriesThatCannotBePutInAreRefused)
{
    const auto copies = wide(kMaxTranslatedSqlLength / wide(1).first[0].second.size() + 1);
    SavedQueries queries = fanOut(30);
    queries.insert(queries.end(), {copies.first[0],
                                   {"QA", "SELECT * FROM QB"},
                                   {"QB", "SELECT * FROM [qa] WHERE 1 = 1"},
                                   {"QryBroken", "SELECT x FROM T WHERE x = \"unclosed"}});
    const std::pair<std::string, const char*> cases[] = {
        // Saved queries that each read the next one twice doubled the text at
        // every level: thirty levels asked for 2^30 copies and exhausted memory.
        {"SELECT * FROM Q0", "more than 1024 times|In saved query 'Q0'"},
        // A few copies of a long saved query: refused at the length limit.
        {copies.second, "too long"},
        {"SELECT * FROM QA", "refers to itself|QA"},
        {"[QryMissing]", "Cannot find the input table or query|QryMissing"},
        {"SELECT * FROM QryBroken", "In saved query 'QryBroken'|unterminated"}};
    test::NameMap names = resolver(queries);
    test::ResultsDb f;
    CDaoDatabase db;
    if (GetParam()) {
        for (const auto& [name, text] : queries)
            sqlite::Statement(f, "INSERT INTO SavedQueries (Name, SqlText) VALUES (?, ?)").run(name, text);
        f.exec("CREATE TABLE T (x INTEGER); CREATE TABLE Q30 (x INTEGER)");
        f.finish();
        db.Open(CString(f.pathString()), false, true);
    }
    for (const auto& c : cases) {
        CDaoRecordset rs(&db);
        const auto translate = [&] {
            GetParam() ? rs.Open(dbOpenDynaset, c.first.c_str()) : (void)TranslateJetSql(c.first, &names);
        };
        EXPECT_TRUE(test::mentions(test::describe(translate), c.second)) << c.first.substr(0, 80);
        EXPECT_FALSE(rs.IsOpen());
    }
}

// By the translator, and by a recordset on a database holding the same saved queries.
INSTANTIATE_TEST_SUITE_P(ByResolverAndDatabase, Refusal, testing::Bool());

// Below the limits every copy is put in: 255 of the fanning queries, two of the long one.
TEST(FuzzRegressionTest, SavedQueriesBelowTheLimitsArePutInWhole)
{
    test::NameMap shallow = resolver(fanOut(8)), names = resolver(wide(2).first);
    const std::string sql = TranslateJetSql("SELECT * FROM Q0", &shallow).sql;
    for (const std::string alias : {"Q8 AS a", "Q8 AS b"}) {
        std::size_t n = 0;
        for (std::size_t at = sql.find(alias); at != std::string::npos; at = sql.find(alias, at + 1))
            ++n;
        EXPECT_EQ(n, 128u) << alias;
    }
    EXPECT_EQ(test::describe([&] { TranslateJetSql(wide(2).second, &names); }), "no exception");
}
