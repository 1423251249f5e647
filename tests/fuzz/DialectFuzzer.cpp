// Fuzzes the Jet-to-SQLite query translation. Input: a query text, or split
// at NULs the text, (name, text, parameters) triples of saved queries and
// maybe the caller's parameter names; an empty name stands for "Q<position>"
// so that mutations easily make queries that nest. A refusal is fine; a
// translation must be deterministic, UTF-8 for UTF-8, plain SQLite outside
// literals with ?1..?n once per listed name, and one statement.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "db/SqlDialect.h"

using namespace batchplant;
using namespace batchplant::fuzz;

namespace {

using jet::upper;

// The schema with its saved queries, read-only, set as CDaoDatabase::Open sets it.
const sqlite::Connection& SchemaDb()
{
    static const sqlite::Connection db = [] {
        sqlite::Connection d = SchemaConnection();
        d.doubleQuotesNameOnly();
        d.exec("PRAGMA query_only=1");
        d.setLimit(SQLITE_LIMIT_LENGTH, 1 << 20);
        d.setLimit(SQLITE_LIMIT_SQL_LENGTH, 1 << 22);
        return d;
    }();
    return db;
}

const std::map<std::string, CDaoSavedQuery>& RealSavedQueries()
{
    static const std::map<std::string, CDaoSavedQuery> queries = [] {
        std::map<std::string, CDaoSavedQuery> out;
        for (sqlite::Statement st(SchemaDb(), "SELECT Name, SqlText, Parameters FROM SavedQueries"); st.step();)
            out.emplace(upper(st.text(0)), CDaoSavedQuery{CString(st.text(0)), CString(st.text(1)),
                                                          ParseParameterList(CString(st.text(2)))});
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
        return std::ranges::any_of(SchemaTables(),
                                   [&](const TableShape& t) { return jet::iequals(t.name, name.str()); });
    }
};

// Scans the translation outside its literals and quoted names. That its host
// parameters are ?1..?n SQLite tells once the translation prepares.
void CheckLexically(const std::string& sql)
{
    const std::size_t n = sql.size();
    for (std::size_t i = 0; i < n;) {
        const char c = sql[i];
        if (c == '\'' || c == '"') {
            std::size_t j = i + 1;
            for (; j < n && (sql[j] != c || (j + 1 < n && sql[j + 1] == c)); j += sql[j] == c ? 2 : 1) {
            }
            if (j >= n) Fail("unterminated literal or quoted name in the translation", sql);
            if (c == '"' && j == i + 1) Fail("empty quoted name in the translation", sql);
            i = j + 1;
            continue;
        }
        if (c == '\0') Fail("NUL in the translation", sql);
        if (std::strchr("[]`#;:@$", c)) Fail("a character that is not SQLite's outside literals", sql);
        if ((c == '-' || c == '/') && i + 1 < n && sql[i + 1] == (c == '-' ? '-' : '*'))
            Fail("a comment in the translation", sql);
        ++i;
    }
}

void PrepareAndStep(const TranslatedSql& tr)
{
    const sqlite::Connection& db = SchemaDb();
    int rc = SQLITE_OK;
    std::string_view tail;
    sqlite::Statement st = sqlite::Statement::tryPrepare(db, tr.sql, rc, &tail);
    if (!st) return; // a query error, reported when a recordset opens
    if (tail.find_first_not_of(" \t\n\r") != std::string_view::npos)
        Fail("the translation holds a second statement", tr.sql);
    if (st.parameterCount() != static_cast<int>(tr.parameters.size()))
        Fail("SQLite counts other host parameters than the translator lists", tr.sql);
    for (int k = 1; k <= st.parameterCount(); ++k) {
        const char* name = st.parameterName(k);
        if (!name || std::string(name) != "?" + std::to_string(k))
            Fail("a host parameter SQLite sees is not ?<number>", tr.sql);
        st.bind(k, k);
    }
    int budget = 0; // about 200 × 1000 VM steps
    db.onProgress(
        1000, [](void* counter) { return int(++*static_cast<int*>(counter) > 200); }, &budget);
    for (int rows = 0; rows < 64 && st.stepCode() == SQLITE_ROW; ++rows)
        for (int c = 0; c < st.columnCount(); ++c)
            (void)st.textView(c);
    db.onProgress(0, nullptr, nullptr);
}

void CheckTranslation(const CString& text, SqlNameResolver* resolver, const std::vector<CString>& callerNames,
                      bool utf8In)
{
    TranslatedSql tr;
    try {
        tr = TranslateJetSql(text, resolver, callerNames);
    } catch (const CDaoException& e) {
        return Check(!e.GetDescription().IsEmpty(), "a refusal without a description");
    }
    Check(!tr.sql.empty(), "an empty translation claimed as success");
    Check(tr.sql.size() <= kMaxTranslatedSqlLength, "a translation larger than the translator's limit");
    if (utf8In) Check(IsValidUtf8(tr.sql), "UTF-8 in, not UTF-8 out", tr.sql);
    const TranslatedSql again = TranslateJetSql(text, resolver, callerNames); // a refusal now escapes
    Check(again.sql == tr.sql && again.parameters.size() == tr.parameters.size(),
          "the same text translates differently", tr.sql);
    for (std::size_t a = 0; a < tr.parameters.size(); ++a) {
        Check(!tr.parameters[a].IsEmpty(), "an empty parameter name");
        for (std::size_t b = a + 1; b < tr.parameters.size(); ++b)
            Check(!jet::iequals(tr.parameters[a].str(), tr.parameters[b].str()), "a parameter numbered twice",
                  tr.parameters[a].str());
    }
    CheckLexically(tr.sql);
    PrepareAndStep(tr);
}

// A parameter list, or none when it does not parse.
std::vector<CString> ParametersOrNone(const std::string& text)
{
    try {
        return ParseParameterList(CString(text));
    } catch (const CDaoException&) {
        return {};
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    InitFuzzing();
    (void)RealSavedQueries();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 64 * 1024) return -1;
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < size; ++i)
        data[i] ? parts.back() += static_cast<char>(data[i]) : parts.emplace_back();
    const bool utf8In = std::ranges::all_of(parts, IsValidUtf8);
    const CString text(parts[0]);
    FuzzResolver resolver;
    std::vector<CString> callerNames;
    if (parts.size() == 1) {
        resolver.queries = RealSavedQueries();
        CheckTranslation(text, nullptr, {}, utf8In);
        (void)ParametersOrNone(parts[0]);
    } else {
        std::size_t k = 1;
        for (; k + 1 < parts.size(); k += 3) {
            const std::string name = parts[k].empty() ? "Q" + std::to_string(k / 3) : parts[k];
            const auto params = k + 2 < parts.size() ? ParametersOrNone(parts[k + 2]) : std::vector<CString>{};
            resolver.queries.emplace(upper(name), CDaoSavedQuery{CString(name), CString(parts[k + 1]), params});
        }
        if (k + 1 == parts.size()) callerNames = ParametersOrNone(parts[k]); // a part left over: the caller's names
    }
    CheckTranslation(text, &resolver, callerNames, utf8In);
    return 0;
}
