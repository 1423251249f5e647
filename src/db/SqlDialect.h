#pragma once
// Translation of query texts from the Jet dialect the recordsets are written
// in to SQLite's. The translator tokenizes the text and rewrites it token by
// token:
//
// - DISTINCTROW is dropped where Jet ignores it (one table read, or columns
//   output from every table read) and becomes DISTINCT elsewhere;
// - "double-quoted" and 'single-quoted' texts become single-quoted string
//   literals (Jet compares text without regard to case, so a literal that is
//   an operand of a comparison gets COLLATE NOCASE);
// - [Bracketed] and `back-quoted` names become "double-quoted" identifiers,
//   so every double-quoted token of the result is an identifier;
// - a name in table position (after FROM, JOIN, a comma of the FROM list or
//   an opening parenthesis there) that names a saved query is replaced by
//   that query's translated text as a subquery, recursively;
// - a text that is nothing but one name runs that saved query, table or view
//   (SELECT * FROM it);
// - a leading PARAMETERS clause is dropped and its names, the saved query's
//   parameter list and the caller's parameter names become numbered host
//   parameters (?1, ?2, … in order of first use), bound by name afterwards;
// - Jet's & (concatenation) becomes ||, Mod becomes %, True and False become
//   1 and 0, IIf becomes iif, Nz(x) becomes ifnull(x, '') and Nz(x, y)
//   ifnull(x, y), #date# literals become ISO-8601 text, and the wildcards of
//   a Like pattern literal (*, ?, [c]) become LIKE's (%, _, escaped c).
//
// Jet has no comments: "--" is two minus signs, and tokens are written back
// separated so that SQLite cannot read a comment into them. Host-parameter
// characters (?, :, @, $) are not Jet and are refused, as are a second
// statement after ';', unterminated literals, names or date literals,
// control characters, Like patterns with # or character lists, saved
// queries that refer to themselves, and (since saved queries that each name
// the next more than once grow exponentially when put in) a translation that
// puts in saved queries more than 1024 times or grows longer than
// kMaxTranslatedSqlLength bytes. Every refusal is a CDaoException whose
// description says what is wrong and where.

#include <cstddef>
#include <string>
#include <vector>

#include "batchplant/db/Dao.h"
#include "batchplant/platform/CString.h"

namespace batchplant {

// What the translator asks about names; a database answers from its saved
// queries and tables.
class SqlNameResolver {
public:
    virtual ~SqlNameResolver() = default;
    // The saved query of that name, or null.
    virtual const CDaoSavedQuery* FindSavedQuery(const CString& name) = 0;
    // Whether a table or view of that name exists.
    virtual bool HasTableOrView(const CString& name) = 0;
};

// The longest translated text; a longer one is refused before it is built.
inline constexpr std::size_t kMaxTranslatedSqlLength = std::size_t{1} << 20;

// A query text in SQLite's dialect and the names of its host parameters.
struct TranslatedSql {
    std::string sql;                 // SQLite text
    std::vector<CString> parameters; // host parameter k+1 is parameters[k]
    bool ordered = false;            // the text orders its rows itself (a top-level ORDER BY or LIMIT)
    std::string firstTable;          // the first table of the outermost FROM, and its alias
    std::string firstAlias;          // (empty when that is a subquery or a saved query)
};

// Translates `jetSql`. `resolver` may be null (no saved queries; a lone name
// is then taken as a table). `parameterNames` are names the caller will bind.
TranslatedSql TranslateJetSql(const CString& jetSql, SqlNameResolver* resolver,
                              const std::vector<CString>& parameterNames = {});

// Parses a saved query's parameter list ("sid Long, CompositeID Long", the
// form of a PARAMETERS clause without the keyword and ';') into its names.
std::vector<CString> ParseParameterList(const CString& list);

} // namespace batchplant
