#include "db/SqlDialect.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "db/JetTokenizer.h"
#include "db/Sqlite.h"

namespace batchplant {

namespace {

using namespace jet;
using sqlite::quoteName;

// Saved queries may refer to saved queries; this deep a chain is a mistake.
constexpr std::size_t kMaxNesting = 32;
// Saved queries put in per translation, counting every repeat: queries that
// each read the next one twice need 2^depth of them, and the length limit
// alone would still let that run to tens of thousands of translations.
constexpr std::size_t kMaxInlined = 1024;

bool isComparison(const Token& t)
{
    if (t.kind != Tok::Op) return false;
    static constexpr std::string_view ops[] = {"=", "==", "<>", "!=", "<", ">", "<=", ">="};
    return std::find(std::begin(ops), std::end(ops), std::string_view(t.text)) != std::end(ops);
}

// Words after a table name that start the next part of the statement rather
// than name an alias.
bool endsTableReference(const Token& t)
{
    if (t.kind != Tok::Word) return t.kind != Tok::Name;
    static constexpr std::string_view words[] = {"ON",     "WHERE",     "INNER",   "LEFT",  "RIGHT", "FULL",   "OUTER",
                                                 "JOIN",   "CROSS",     "NATURAL", "ORDER", "GROUP", "HAVING", "UNION",
                                                 "EXCEPT", "INTERSECT", "LIMIT",   "USING", "WINDOW"};
    const std::string u = upper(t.text);
    return std::find(std::begin(words), std::end(words), std::string_view(u)) != std::end(words);
}

std::size_t matchingParen(const std::vector<Token>& toks, std::size_t open, std::size_t end)
{
    int depth = 0;
    for (std::size_t k = open; k < end; ++k) {
        if (toks[k].kind == Tok::LParen) ++depth;
        if (toks[k].kind == Tok::RParen && --depth == 0) return k;
    }
    return end;
}

bool endsFromClause(const Token& t)
{
    if (t.kind != Tok::Word) return false;
    static constexpr std::string_view words[] = {"WHERE", "GROUP",  "ORDER",     "HAVING",
                                                 "UNION", "EXCEPT", "INTERSECT", "LIMIT"};
    const std::string u = upper(t.text);
    return std::find(std::begin(words), std::end(words), std::string_view(u)) != std::end(words);
}

// Jet ignores DISTINCTROW when a query reads one table, or outputs columns
// of every table it reads (its rows are then distinct source records
// already). `first` is the token after DISTINCTROW; the select list and the
// FROM clause of that SELECT are examined. Where some table contributes no
// column, Jet drops rows that repeat the output tables' records, which
// DISTINCT over the output columns stands in for.
bool distinctRowIsIgnored(const std::vector<Token>& toks, std::size_t first, std::size_t end)
{
    std::vector<std::string> qualifiers;
    bool star = false;
    int depth = 0;
    std::size_t k = first;
    for (; k < end; ++k) {
        const Token& t = toks[k];
        if (t.kind == Tok::LParen) {
            ++depth;
        } else if (t.kind == Tok::RParen) {
            if (depth == 0) return false;
            --depth;
        } else if (depth == 0 && t.kind == Tok::Word && iequals(t.text, "FROM")) {
            break;
        } else if ((t.kind == Tok::Word || t.kind == Tok::Name) && toks[k + 1].kind == Tok::Dot) {
            qualifiers.push_back(upper(t.text));
        } else if (t.kind == Tok::Op && t.text == "*" && depth == 0 && (k == first || toks[k - 1].kind == Tok::Comma)) {
            star = true;
        }
    }
    if (k >= end) return false;

    std::vector<std::string> tables;
    bool expectTable = true;
    depth = 0;
    for (++k; k < end; ++k) {
        const Token& t = toks[k];
        if (t.kind == Tok::RParen) {
            if (depth == 0) break;
            --depth;
            expectTable = false;
            continue;
        }
        if (depth == 0 && endsFromClause(t)) break;
        if (t.kind == Tok::LParen) {
            const bool subquery = toks[k + 1].kind == Tok::Word && iequals(toks[k + 1].text, "SELECT");
            if (expectTable && !subquery) {
                ++depth; // a parenthesised group of joins
                continue;
            }
            k = matchingParen(toks, k, end);
            if (k >= end) return false;
            if (!expectTable) continue; // an ON condition
            // A subquery counts as a table known by its alias.
            std::string alias;
            if (toks[k + 1].kind == Tok::Word && iequals(toks[k + 1].text, "AS")) {
                alias = toks[k + 2].text;
                k += 2;
            } else if (toks[k + 1].kind == Tok::Name ||
                       (toks[k + 1].kind == Tok::Word && !endsTableReference(toks[k + 1]))) {
                alias = toks[k + 1].text;
                k += 1;
            }
            tables.push_back(upper(alias));
            expectTable = false;
            continue;
        }
        if (t.kind == Tok::Comma || (t.kind == Tok::Word && iequals(t.text, "JOIN"))) {
            expectTable = true;
            continue;
        }
        if (expectTable && (t.kind == Tok::Word || t.kind == Tok::Name)) {
            std::string alias = t.text;
            const Token& next = toks[k + 1];
            if (next.kind == Tok::Word && iequals(next.text, "AS") && k + 2 < end) {
                alias = toks[k + 2].text;
                k += 2;
            } else if (next.kind == Tok::Name || (next.kind == Tok::Word && !endsTableReference(next))) {
                alias = next.text;
                k += 1;
            }
            tables.push_back(upper(alias));
            expectTable = false;
        }
    }
    if (tables.size() <= 1 || star) return true;
    return std::all_of(tables.begin(), tables.end(), [&](const std::string& table) {
        return std::find(qualifiers.begin(), qualifiers.end(), table) != qualifiers.end();
    });
}

// Saved queries that each name the next more than once double the text at
// every level; the translation stops at the limit instead of exhausting memory.
[[noreturn]] void throwTooLong()
{
    throw CDaoException(CString::Formatted(
        "The query is too long once its saved queries are put in: more than %zu characters.", kMaxTranslatedSqlLength));
}

bool containsName(const std::vector<CString>& names, std::string_view name)
{
    return std::any_of(names.begin(), names.end(), [&](const CString& n) { return iequals(n.str(), name); });
}

class Translator {
public:
    explicit Translator(SqlNameResolver* resolver) : resolver_(resolver) {}

    std::vector<CString> parameters; // host parameters in order of first use

    std::string translate(const CString& text, std::vector<CString> known, std::vector<std::string>& stack)
    {
        const std::vector<Token> toks = tokenize(text.str());
        std::size_t k = 0;

        if (toks[k].kind == Tok::Word && iequals(toks[k].text, "PARAMETERS")) {
            ++k;
            while (true) {
                if (toks[k].kind != Tok::Word && toks[k].kind != Tok::Name)
                    syntaxError("PARAMETERS clause needs a parameter name", toks[k].offset);
                known.emplace_back(toks[k].text);
                ++k;
                int depth = 0;
                while (toks[k].kind != Tok::End &&
                       !(depth == 0 && (toks[k].kind == Tok::Comma || toks[k].kind == Tok::Semi))) {
                    if (toks[k].kind == Tok::LParen) ++depth;
                    if (toks[k].kind == Tok::RParen) --depth;
                    ++k;
                }
                if (toks[k].kind == Tok::End) syntaxError("PARAMETERS clause without ';'", toks[k].offset);
                if (toks[k++].kind == Tok::Semi) break;
            }
        }

        std::size_t end = k;
        while (toks[end].kind != Tok::End && toks[end].kind != Tok::Semi)
            ++end;
        if (toks[end].kind == Tok::Semi && toks[end + 1].kind != Tok::End)
            syntaxError("characters found after end of SQL statement", toks[end + 1].offset);
        if (end == k) throw CDaoException("The query text is empty.");

        // A lone name runs that saved query, table or view.
        if (end == k + 1 && (toks[k].kind == Tok::Word || toks[k].kind == Tok::Name)) {
            const std::string& name = toks[k].text;
            if (std::string sub; inlineSavedQuery(name, known, stack, sub)) {
                // ordered_ is left as the saved query's own text set it.
                firstTable_ = {};
                std::string sql = "SELECT * FROM (" + sub + ") AS " + quoteName(name);
                if (sql.size() > kMaxTranslatedSqlLength) throwTooLong();
                return sql;
            }
            if (resolver_ && !resolver_->HasTableOrView(CString(name)))
                throw CDaoException(CString::Formatted("Cannot find the input table or query '%s'.", name.c_str()));
            ordered_ = false;
            firstTable_ = {name, name};
            return "SELECT * FROM " + quoteName(name);
        }

        struct Frame {
            bool from = false;    // inside a FROM clause at this depth
            bool nz = false;      // the argument list of Nz
            bool nzComma = false; // … which has a second argument
        };
        std::vector<Frame> frames(1);
        bool pendingNz = false;
        std::string out;
        bool ordered = false;
        const Token* prev = nullptr;
        auto isKw = [](const Token* t, std::string_view kw) {
            return t && t->kind == Tok::Word && iequals(t->text, kw);
        };

        // A name where a table goes may run a saved query, elsewhere it may be
        // a parameter: written so, true; otherwise the caller writes it.
        const auto putReference = [&](const Token& t, const Token& next, bool tablePos) {
            if (tablePos) {
                if (std::string sub; inlineSavedQuery(t.text, known, stack, sub)) {
                    put(out, "(" + sub + ")" + (endsTableReference(next) ? " AS " + quoteName(t.text) : ""), Tok::Name);
                    return true;
                }
            } else if (containsName(known, t.text)) {
                put(out, parameterRef(t.text), Tok::Name);
                return true;
            }
            return false;
        };

        // The first table of the outermost FROM, while it is still to come.
        bool firstToCome = false;
        std::string firstName, firstAlias;
        for (std::size_t i = k; i < end; ++i) {
            const Token& t = toks[i];
            const Token& next = toks[i + 1];
            Frame& f = frames.back();
            const bool qualified = (prev && prev->kind == Tok::Dot) || next.kind == Tok::Dot;
            const bool afterAs = isKw(prev, "AS");
            const bool tableOpener = prev && (isKw(prev, "FROM") || isKw(prev, "JOIN") || prev->kind == Tok::Comma ||
                                              prev->kind == Tok::LParen);
            const bool tablePos = f.from && tableOpener;
            if (firstToCome && t.kind != Tok::LParen) {
                firstToCome = false;
                const bool named = t.kind == Tok::Word || t.kind == Tok::Name;
                if (named && tablePos && !qualified && !isKw(&t, "SELECT") &&
                    !(resolver_ && resolver_->FindSavedQuery(CString(t.text)))) {
                    firstName = t.text;
                    firstAlias = t.text;
                    if (isKw(&next, "AS") && (toks[i + 2].kind == Tok::Word || toks[i + 2].kind == Tok::Name))
                        firstAlias = toks[i + 2].text;
                    else if (!endsTableReference(next))
                        firstAlias = next.text;
                }
            }
            if (isKw(&t, "FROM") && frames.size() == 1 && firstName.empty()) firstToCome = true;

            switch (t.kind) {
            case Tok::Word: {
                const std::string u = upper(t.text);
                if (u == "DISTINCTROW") {
                    if (!distinctRowIsIgnored(toks, i + 1, end)) put(out, "DISTINCT", t.kind);
                    break;
                }
                if (u == "SELECT") f.from = false;
                if ((u == "ORDER" || u == "LIMIT") && frames.size() == 1) ordered = true;
                if (u == "FROM") f.from = true;
                if (u == "WHERE" || u == "GROUP" || u == "ORDER" || u == "HAVING" || u == "UNION" || u == "LIMIT" ||
                    u == "EXCEPT" || u == "INTERSECT")
                    f.from = false;
                if (next.kind == Tok::LParen && !qualified) {
                    if (u == "IIF") {
                        put(out, "iif", t.kind);
                    } else if (u == "NZ") {
                        put(out, "ifnull", t.kind);
                        pendingNz = true;
                    } else {
                        put(out, t.text, t.kind);
                    }
                    break;
                }
                if (!qualified && !afterAs) {
                    if (putReference(t, next, tablePos)) break;
                    if (u == "TRUE") {
                        put(out, "1", Tok::Number);
                        break;
                    }
                    if (u == "FALSE") {
                        put(out, "0", Tok::Number);
                        break;
                    }
                }
                if (u == "MOD" && !qualified) {
                    put(out, "%", Tok::Op);
                    break;
                }
                put(out, t.text, t.kind);
                break;
            }
            case Tok::Name:
                if (!qualified && !afterAs) {
                    if (putReference(t, next, tablePos)) break;
                }
                put(out, quoteName(t.text), t.kind);
                break;
            case Tok::String:
                if (isKw(prev, "LIKE")) {
                    put(out, likePattern(t), t.kind);
                } else if ((prev && isComparison(*prev)) || isComparison(next)) {
                    put(out, sqlite::quoteText(t.text) + " COLLATE NOCASE", t.kind);
                } else {
                    put(out, sqlite::quoteText(t.text), t.kind);
                }
                break;
            case Tok::Date:
                put(out, jetDateToIso(t), Tok::String);
                break;
            case Tok::Op:
                put(out, t.text == "&" ? std::string("||") : t.text, t.kind);
                break;
            case Tok::LParen: {
                Frame inner;
                inner.from = tablePos;
                inner.nz = pendingNz;
                pendingNz = false;
                frames.push_back(inner);
                put(out, "(", t.kind);
                break;
            }
            case Tok::RParen:
                if (frames.size() > 1) {
                    const Frame closing = frames.back();
                    frames.pop_back();
                    if (closing.nz && !closing.nzComma) {
                        put(out, ",", Tok::Comma);
                        put(out, "''", Tok::String);
                    }
                }
                put(out, ")", t.kind);
                break;
            case Tok::Comma:
                if (f.nz) f.nzComma = true;
                put(out, ",", t.kind);
                break;
            case Tok::Dot:
                put(out, ".", t.kind);
                break;
            case Tok::Semi:
            case Tok::End:
            case Tok::Number:
                put(out, t.text, t.kind);
                break;
            }
            prev = &t;
            if (out.size() > kMaxTranslatedSqlLength) throwTooLong();
        }
        ordered_ = ordered;
        firstTable_ = {std::move(firstName), std::move(firstAlias)};
        return out;
    }

    // Of the text last translated: whether it sets its rows' order itself, and
    // the first table of its outermost FROM (name and alias; empty when that is
    // a subquery or a saved query).
    bool ordered_ = false;
    std::pair<std::string, std::string> firstTable_;

private:
    bool inlineSavedQuery(const std::string& name, const std::vector<CString>& known, std::vector<std::string>& stack,
                          std::string& sql)
    {
        if (!resolver_) return false;
        const CDaoSavedQuery* def = resolver_->FindSavedQuery(CString(name));
        if (!def) return false;
        for (const std::string& s : stack)
            if (iequals(s, name))
                throw CDaoException(CString::Formatted("Saved query '%s' refers to itself.", name.c_str()));
        if (stack.size() >= kMaxNesting)
            throw CDaoException(CString::Formatted("Saved query '%s' is nested too deeply.", name.c_str()));
        if (++inlined_ > kMaxInlined)
            throw CDaoException(
                CString::Formatted("The query puts in saved queries more than %zu times.", kMaxInlined));
        // The definition may go away while we recurse (a resolver may reload),
        // so take copies first.
        const CString text = def->m_strSQL;
        std::vector<CString> inner = known;
        inner.insert(inner.end(), def->m_parameters.begin(), def->m_parameters.end());
        stack.push_back(name);
        try {
            sql = translate(text, std::move(inner), stack);
        } catch (const CDaoException& e) {
            stack.pop_back();
            throw CDaoException(CString::Formatted("In saved query '%s': %s", name.c_str(), e.GetDescription().c_str()),
                                e.GetErrorCode());
        }
        stack.pop_back();
        return true;
    }

    std::string parameterRef(std::string_view name)
    {
        std::size_t number = 0;
        while (number < parameters.size() && !iequals(parameters[number].str(), name))
            ++number;
        if (number == parameters.size()) parameters.emplace_back(std::string(name));
        char ref[24];
        std::snprintf(ref, sizeof ref, "?%zu", number + 1);
        return ref;
    }

    // Writes tokens separated by one space, except around '.', inside
    // parentheses and before commas, so that no two tokens can run together
    // into something else ("- -" never becomes a comment).
    static void put(std::string& out, const std::string& piece, Tok kind)
    {
        if (!out.empty()) {
            const char last = out.back();
            const bool tight =
                kind == Tok::Dot || kind == Tok::RParen || kind == Tok::Comma || last == '.' || last == '(';
            if (!tight) out += ' ';
        }
        out += piece;
    }

    SqlNameResolver* resolver_;
    std::size_t inlined_ = 0;
};

} // namespace

TranslatedSql TranslateJetSql(const CString& jetSql, SqlNameResolver* resolver,
                              const std::vector<CString>& parameterNames)
{
    Translator tr(resolver);
    std::vector<std::string> stack;
    TranslatedSql result;
    result.sql = tr.translate(jetSql, parameterNames, stack);
    result.parameters = std::move(tr.parameters);
    result.ordered = tr.ordered_;
    result.firstTable = std::move(tr.firstTable_.first);
    result.firstAlias = std::move(tr.firstTable_.second);
    return result;
}

std::vector<CString> ParseParameterList(const CString& list)
{
    std::vector<CString> names;
    const std::vector<Token> toks = tokenize(list.str());
    std::size_t k = 0;
    while (toks[k].kind != Tok::End && toks[k].kind != Tok::Semi) {
        if (toks[k].kind != Tok::Word && toks[k].kind != Tok::Name)
            syntaxError("parameter list needs a parameter name", toks[k].offset);
        names.emplace_back(toks[k].text);
        ++k;
        int depth = 0;
        while (toks[k].kind != Tok::End && toks[k].kind != Tok::Semi && !(depth == 0 && toks[k].kind == Tok::Comma)) {
            if (toks[k].kind == Tok::LParen) ++depth;
            if (toks[k].kind == Tok::RParen) --depth;
            ++k;
        }
        if (toks[k].kind == Tok::Comma) ++k;
    }
    return names;
}

} // namespace batchplant
