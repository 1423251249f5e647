// Fuzzes the translation of query texts from the Jet dialect to SQLite's.
//
// Input: a query text alone, translated against the results schema's real
// saved queries and tables (and once without any names); or, when the input
// holds NUL bytes, NUL-separated parts: the query text, then saved queries as
// (name, text, parameter list) triples, then optionally the caller's
// parameter names as a list. An empty name stands for "Q<position>", so that
// mutations easily make queries that refer to each other, to themselves, or
// nest deeply.
//
// A refusal (CDaoException) is fine. A translation that claims success must
// hold the translator's promises: the same result twice; UTF-8 out for UTF-8
// in; no comment, statement separator, bracket or foreign host parameter
// outside literals; host parameters ?1..?n, each used and named once; and,
// where SQLite prepares it against the schema, exactly one statement with n
// parameters. Prepared statements are stepped a little, read-only, with a
// bound on SQLite's work.

#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "batchplant/db/ResultsSchema.h"
#include "db/JetTokenizer.h"
#include "db/SqlDialect.h"

using namespace batchplant;
using namespace batchplant::fuzz;

namespace {

using jet::upper;

// The results schema with its saved queries, read-only, for preparing.
const sqlite::Connection& SchemaDb()
{
    static const sqlite::Connection db = [] {
        try {
            sqlite::Connection d(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
            d.exec(ResultsSchemaSql());
            // As CDaoDatabase::Open sets it: double quotes are identifiers only.
            d.doubleQuotesNameOnly();
            d.exec("PRAGMA query_only=1");
            d.setLimit(SQLITE_LIMIT_LENGTH, 1 << 20);
            d.setLimit(SQLITE_LIMIT_SQL_LENGTH, 1 << 22);
            return d;
        } catch (const CDaoException& e) {
            Fail("the results schema does not run", e.what());
        }
    }();
    return db;
}

// The real saved queries, read from the schema.
const std::map<std::string, CDaoSavedQuery>& RealSavedQueries()
{
    static const std::map<std::string, CDaoSavedQuery> queries = [] {
        std::map<std::string, CDaoSavedQuery> out;
        sqlite::Statement st(SchemaDb(), "SELECT Name, SqlText, Parameters FROM SavedQueries");
        while (st.step()) {
            CDaoSavedQuery q;
            q.m_strName = CString(st.text(0));
            q.m_strSQL = CString(st.text(1));
            q.m_parameters = ParseParameterList(CString(st.text(2)));
            out.emplace(upper(q.m_strName.str()), std::move(q));
        }
        if (out.empty()) Fail("the schema has no saved queries");
        return out;
    }();
    return queries;
}

class FuzzResolver : public SqlNameResolver {
public:
    std::map<std::string, CDaoSavedQuery> queries;

    const CDaoSavedQuery* FindSavedQuery(const CString& name) override
    {
        const auto it = queries.find(upper(name.str()));
        return it == queries.end() ? nullptr : &it->second;
    }
    bool HasTableOrView(const CString& name) override
    {
        for (const TableShape& t : SchemaTables())
            if (EqualsNoCase(t.name, name.str())) return true;
        return false;
    }
};

// Scans the translated text outside its literals and quoted identifiers;
// returns the host parameter numbers used.
std::set<unsigned long> CheckLexically(const std::string& sql)
{
    std::set<unsigned long> used;
    const std::size_t n = sql.size();
    std::size_t i = 0;
    while (i < n) {
        const char c = sql[i];
        if (c == '\'' || c == '"') {
            std::size_t j = i + 1;
            while (true) {
                if (j >= n) Fail("unterminated literal or quoted name in the translation", sql);
                if (sql[j] == c) {
                    if (j + 1 < n && sql[j + 1] == c) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            if (c == '"' && j == i + 1) Fail("empty quoted name in the translation", sql);
            i = j + 1;
            continue;
        }
        if (c == '\0') Fail("NUL in the translation", sql);
        if (std::strchr("[]`#;:@$", c)) Fail("a character that is not SQLite's outside literals", sql);
        if (c == '-' && i + 1 < n && sql[i + 1] == '-') Fail("a comment in the translation", sql);
        if (c == '/' && i + 1 < n && sql[i + 1] == '*') Fail("a comment in the translation", sql);
        if (c == '?') {
            std::size_t j = i + 1;
            unsigned long number = 0;
            while (j < n && sql[j] >= '0' && sql[j] <= '9' && j - i < 10)
                number = number * 10 + static_cast<unsigned long>(sql[j++] - '0');
            if (j == i + 1 || number == 0) Fail("a host parameter that is not numbered", sql);
            used.insert(number);
            i = j;
            continue;
        }
        ++i;
    }
    return used;
}

int StopAfterBudget(void* counter)
{
    return ++*static_cast<int*>(counter) > 200; // about 200 × 1000 VM steps
}

void PrepareAndStep(const TranslatedSql& tr)
{
    const sqlite::Connection& db = SchemaDb();
    int rc = SQLITE_OK;
    std::string_view tail;
    sqlite::Statement st = sqlite::Statement::tryPrepare(db, tr.sql, rc, &tail);
    if (!st) return; // SQLite refuses the statement: a query error, reported when a recordset opens
    if (tail.find_first_not_of(" \t\n\r") != std::string_view::npos)
        Fail("the translation holds a second statement", tr.sql);
    const int count = st.parameterCount();
    if (count != static_cast<int>(tr.parameters.size()))
        Fail("SQLite counts other host parameters than the translator lists", tr.sql);
    for (int k = 1; k <= count; ++k) {
        const char* name = st.parameterName(k);
        if (!name || std::string(name) != "?" + std::to_string(k))
            Fail("a host parameter SQLite sees is not ?<number>", tr.sql);
        st.bind(k, k);
    }
    int budget = 0;
    db.onProgress(1000, &StopAfterBudget, &budget);
    for (int rows = 0; rows < 64 && st.stepCode() == SQLITE_ROW; ++rows) {
        for (int c = 0; c < st.columnCount(); ++c)
            (void)st.textView(c);
    }
    db.onProgress(0, nullptr, nullptr);
}

void CheckTranslation(const CString& text, SqlNameResolver* resolver, const std::vector<CString>& callerNames,
                      bool utf8In)
{
    TranslatedSql tr;
    try {
        tr = TranslateJetSql(text, resolver, callerNames);
    } catch (const CDaoException& e) {
        Check(!e.GetDescription().IsEmpty(), "a refusal without a description");
        return;
    }
    Check(!tr.sql.empty(), "an empty translation claimed as success");
    Check(tr.sql.size() <= kMaxTranslatedSqlLength, "a translation larger than the translator's limit");
    if (utf8In) Check(IsValidUtf8(tr.sql), "UTF-8 in, not UTF-8 out", tr.sql);

    TranslatedSql again;
    try {
        again = TranslateJetSql(text, resolver, callerNames);
    } catch (const CDaoException&) {
        Fail("a second translation of the same text fails", text.str());
    }
    Check(again.sql == tr.sql, "the same text translates differently", tr.sql);
    Check(again.parameters.size() == tr.parameters.size(), "the same text yields other parameters");

    for (std::size_t a = 0; a < tr.parameters.size(); ++a) {
        Check(!tr.parameters[a].IsEmpty(), "an empty parameter name");
        for (std::size_t b = a + 1; b < tr.parameters.size(); ++b)
            Check(!EqualsNoCase(tr.parameters[a].str(), tr.parameters[b].str()), "a parameter numbered twice",
                  tr.parameters[a].str());
    }
    const std::set<unsigned long> used = CheckLexically(tr.sql);
    Check(used.size() == tr.parameters.size() && (used.empty() || *used.rbegin() == tr.parameters.size()),
          "host parameters used are not ?1..?n of the listed names", tr.sql);
    PrepareAndStep(tr);
}

std::vector<std::string> SplitOnNul(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            parts.emplace_back();
        else
            parts.back() += static_cast<char>(data[i]);
    }
    return parts;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    InitSqliteForFuzzing();
    (void)RealSavedQueries();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 64 * 1024) return -1;
    const std::vector<std::string> parts = SplitOnNul(data, size);
    bool utf8In = true;
    for (const std::string& p : parts)
        utf8In = utf8In && IsValidUtf8(p);
    const CString text(parts[0]);

    FuzzResolver resolver;
    std::vector<CString> callerNames;
    if (parts.size() == 1) {
        resolver.queries = RealSavedQueries();
        CheckTranslation(text, nullptr, {}, utf8In);
        try {
            (void)ParseParameterList(text);
        } catch (const CDaoException&) {
        }
    } else {
        std::size_t k = 1;
        for (int index = 0; k + 1 < parts.size(); k += 3, ++index) {
            CDaoSavedQuery q;
            q.m_strName = parts[k].empty() ? CString("Q" + std::to_string(index)) : CString(parts[k]);
            q.m_strSQL = CString(parts[k + 1]);
            if (k + 2 < parts.size()) {
                try {
                    q.m_parameters = ParseParameterList(CString(parts[k + 2]));
                } catch (const CDaoException&) {
                }
            }
            resolver.queries.emplace(upper(q.m_strName.str()), std::move(q));
        }
        if (k + 1 == parts.size()) { // a part left over: the caller's names
            try {
                callerNames = ParseParameterList(CString(parts[k]));
            } catch (const CDaoException&) {
            }
        }
    }
    CheckTranslation(text, &resolver, callerNames, utf8In);
    return 0;
}
