#include "batchplant/db/SqlDialect.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace batchplant {

namespace {

enum class Tok { Word, Name, String, Number, Date, Op, LParen, RParen, Comma, Dot, Semi, End };

struct Token {
    Tok kind;
    std::string text; // Word, Number, Op: as written; Name, String, Date: the content, unquoted
    std::size_t offset;
};

// Saved queries may refer to saved queries; this deep a chain is a mistake.
constexpr std::size_t kMaxNesting = 32;
// Saved queries put in per translation, counting every repeat: queries that
// each read the next one twice need 2^depth of them, and the length limit
// alone would still let that run to tens of thousands of translations.
constexpr std::size_t kMaxInlined = 1024;

[[noreturn]] void syntaxError(const std::string& what, std::size_t offset)
{
    throw CDaoException(CString::Formatted("Syntax error in query: %s at character %zu.", what.c_str(), offset + 1));
}

bool isSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool isIdentStart(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80; }
bool isIdentChar(unsigned char c) { return isIdentStart(c) || isDigit(c); }

std::string upper(std::string_view s)
{
    std::string u(s);
    for (char& c : u)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return u;
}

bool iequals(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

// Reads a quoted run starting at s[i] == quote, where a doubled quote stands
// for one; returns the content and leaves i after the closing quote.
std::string readQuoted(std::string_view s, std::size_t& i, char quote, bool doubling, const char* what)
{
    const std::size_t start = i;
    std::string content;
    ++i;
    while (true) {
        if (i >= s.size()) syntaxError(std::string("unterminated ") + what, start);
        const char c = s[i];
        if (c == quote) {
            if (doubling && i + 1 < s.size() && s[i + 1] == quote) {
                content += quote;
                i += 2;
                continue;
            }
            ++i;
            return content;
        }
        if (c == '\0') syntaxError("NUL character", i);
        content += c;
        ++i;
    }
}

std::vector<Token> tokenize(std::string_view s)
{
    std::vector<Token> toks;
    std::size_t i = 0;
    const std::size_t n = s.size();
    while (i < n) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t start = i;
        if (isSpace(c)) {
            ++i;
            continue;
        }
        if (c < 0x20 || c == 0x7f) syntaxError("control character", i);
        if (isIdentStart(c)) {
            while (i < n && isIdentChar(static_cast<unsigned char>(s[i])))
                ++i;
            toks.push_back({Tok::Word, std::string(s.substr(start, i - start)), start});
            continue;
        }
        if (isDigit(c) || (c == '.' && i + 1 < n && isDigit(static_cast<unsigned char>(s[i + 1])))) {
            while (i < n && isDigit(static_cast<unsigned char>(s[i])))
                ++i;
            if (i < n && s[i] == '.') {
                ++i;
                while (i < n && isDigit(static_cast<unsigned char>(s[i])))
                    ++i;
            }
            if (i < n && (s[i] == 'e' || s[i] == 'E')) {
                std::size_t j = i + 1;
                if (j < n && (s[j] == '+' || s[j] == '-')) ++j;
                if (j < n && isDigit(static_cast<unsigned char>(s[j]))) {
                    i = j;
                    while (i < n && isDigit(static_cast<unsigned char>(s[i])))
                        ++i;
                }
            }
            // Letters glued to a number stay with it, so that SQLite rejects
            // "1abc" instead of reading it as the number 1 named abc.
            while (i < n && isIdentChar(static_cast<unsigned char>(s[i])))
                ++i;
            toks.push_back({Tok::Number, std::string(s.substr(start, i - start)), start});
            continue;
        }
        switch (c) {
        case '[': {
            const std::size_t close = s.find(']', i + 1);
            if (close == std::string_view::npos) syntaxError("unterminated name in brackets", i);
            std::string name(s.substr(i + 1, close - i - 1));
            if (name.empty()) syntaxError("empty name in brackets", i);
            if (name.find('\0') != std::string::npos) syntaxError("NUL character in a name", i);
            i = close + 1;
            toks.push_back({Tok::Name, std::move(name), start});
            continue;
        }
        case '`': {
            std::string name = readQuoted(s, i, '`', true, "name in back quotes");
            if (name.empty()) syntaxError("empty name in back quotes", start);
            toks.push_back({Tok::Name, std::move(name), start});
            continue;
        }
        case '"':
            toks.push_back({Tok::String, readQuoted(s, i, '"', true, "text in double quotes"), start});
            continue;
        case '\'':
            toks.push_back({Tok::String, readQuoted(s, i, '\'', true, "text in single quotes"), start});
            continue;
        case '#':
            toks.push_back({Tok::Date, readQuoted(s, i, '#', false, "date literal"), start});
            continue;
        case '(':
            toks.push_back({Tok::LParen, "(", start});
            ++i;
            continue;
        case ')':
            toks.push_back({Tok::RParen, ")", start});
            ++i;
            continue;
        case ',':
            toks.push_back({Tok::Comma, ",", start});
            ++i;
            continue;
        case '.':
            toks.push_back({Tok::Dot, ".", start});
            ++i;
            continue;
        case ';':
            toks.push_back({Tok::Semi, ";", start});
            ++i;
            continue;
        case '?':
        case ':':
        case '@':
        case '$':
            syntaxError(std::string("host parameter character '") + static_cast<char>(c) + "' is not allowed", i);
        default:
            break;
        }
        static constexpr std::string_view twoChar[] = {"<>", "<=", ">=", "!=", "==", "||", "<<", ">>"};
        if (i + 1 < n) {
            const std::string_view two = s.substr(i, 2);
            if (std::find(std::begin(twoChar), std::end(twoChar), two) != std::end(twoChar)) {
                toks.push_back({Tok::Op, std::string(two), start});
                i += 2;
                continue;
            }
        }
        static constexpr std::string_view oneChar = "+-*/%<>=&|~";
        if (oneChar.find(static_cast<char>(c)) != std::string_view::npos) {
            toks.push_back({Tok::Op, std::string(1, static_cast<char>(c)), start});
            ++i;
            continue;
        }
        if (c >= 0x20 && c < 0x7f) syntaxError(std::string("unexpected character '") + static_cast<char>(c) + "'", i);
        syntaxError("unexpected character", i);
    }
    toks.push_back({Tok::End, "", n});
    return toks;
}

std::string quoteIdent(std::string_view name)
{
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string quoteString(std::string_view text)
{
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += '\'';
        out += c;
    }
    out += '\'';
    return out;
}

// Reads a whole unsigned number from the front of `s`, or -1.
long readNumber(std::string_view& s)
{
    std::size_t k = 0;
    long v = 0;
    while (k < s.size() && isDigit(static_cast<unsigned char>(s[k])) && k < 6) {
        v = v * 10 + (s[k] - '0');
        ++k;
    }
    if (k == 0 || (k < s.size() && isDigit(static_cast<unsigned char>(s[k])))) return -1;
    s.remove_prefix(k);
    return v;
}

// A Jet date literal: [m/d/yyyy | yyyy-mm-dd | yyyy/mm/dd] [h:mm[:ss] [AM|PM]],
// either part optional (a lone time falls on 1899-12-30).
std::string jetDateToIso(const Token& t)
{
    auto bad = [&]() -> std::string { syntaxError("date literal #" + t.text + "# is not a date", t.offset); };
    long year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
    bool haveDate = false, haveTime = false, pm = false, am = false;
    std::string_view rest(t.text);
    while (true) {
        while (!rest.empty() && isSpace(static_cast<unsigned char>(rest.front())))
            rest.remove_prefix(1);
        if (rest.empty()) break;
        std::size_t len = 0;
        while (len < rest.size() && !isSpace(static_cast<unsigned char>(rest[len])))
            ++len;
        std::string_view part = rest.substr(0, len);
        rest.remove_prefix(len);
        if (iequals(part, "AM") || iequals(part, "PM")) {
            if (!haveTime || am || pm) return bad();
            (iequals(part, "AM") ? am : pm) = true;
            continue;
        }
        if (part.find(':') != std::string_view::npos) {
            if (haveTime) return bad();
            hour = readNumber(part);
            if (hour < 0 || part.empty() || part.front() != ':') return bad();
            part.remove_prefix(1);
            minute = readNumber(part);
            if (minute < 0) return bad();
            if (!part.empty()) {
                if (part.front() != ':') return bad();
                part.remove_prefix(1);
                second = readNumber(part);
                if (second < 0 || !part.empty()) return bad();
            }
            haveTime = true;
            continue;
        }
        if (haveDate || haveTime) return bad();
        const char sep = part.find('-') != std::string_view::npos ? '-' : '/';
        const std::size_t before = part.size();
        long a = readNumber(part);
        if (a < 0 || part.empty() || part.front() != sep) return bad();
        const bool yearFirst = before - part.size() >= 3; // yyyy-mm-dd or yyyy/mm/dd
        part.remove_prefix(1);
        long b = readNumber(part);
        if (b < 0 || part.empty() || part.front() != sep) return bad();
        part.remove_prefix(1);
        long c = readNumber(part);
        if (c < 0 || !part.empty()) return bad();
        if (yearFirst) {
            year = a;
            month = b;
            day = c;
        } else {
            month = a;
            day = b;
            year = c < 30 ? 2000 + c : (c < 100 ? 1900 + c : c);
        }
        haveDate = true;
    }
    if (!haveDate && !haveTime) return bad();
    if (am || pm) {
        if (hour < 1 || hour > 12) return bad();
        if (am && hour == 12) hour = 0;
        if (pm && hour != 12) hour += 12;
    }
    const COleDateTime dt(static_cast<int>(year), static_cast<int>(month), static_cast<int>(day),
                          static_cast<int>(hour), static_cast<int>(minute), static_cast<int>(second));
    if (dt.GetStatus() != COleDateTime::valid) return bad();
    return quoteString(dt.ToIso().str());
}

// A Like pattern literal: Jet's * and ? become % and _, [c] is the literal
// character c; LIKE's own wildcards and the escape character are escaped.
std::string likePattern(const Token& t)
{
    std::string pat;
    bool escaped = false;
    auto literal = [&](char c) {
        if (c == '%' || c == '_' || c == '\\') {
            pat += '\\';
            escaped = true;
        }
        pat += c;
    };
    const std::string& s = t.text;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '*') {
            pat += '%';
        } else if (c == '?') {
            pat += '_';
        } else if (c == '#') {
            syntaxError("Like pattern \"" + s + "\" uses #, which is not supported", t.offset);
        } else if (c == '[') {
            if (i + 2 < s.size() && s[i + 2] == ']' && s[i + 1] != '!') {
                literal(s[i + 1]);
                i += 2;
            } else {
                syntaxError("Like pattern \"" + s + "\" uses a character list, which is not supported", t.offset);
            }
        } else {
            literal(c);
        }
    }
    std::string out = quoteString(pat);
    if (escaped) out += " ESCAPE '\\'";
    return out;
}

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
                std::string sql = "SELECT * FROM (" + sub + ") AS " + quoteIdent(name);
                if (sql.size() > kMaxTranslatedSqlLength) throwTooLong();
                return sql;
            }
            if (resolver_ && !resolver_->HasTableOrView(CString(name)))
                throw CDaoException(CString::Formatted("Cannot find the input table or query '%s'.", name.c_str()));
            ordered_ = false;
            firstTable_ = {name, name};
            return "SELECT * FROM " + quoteIdent(name);
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
                    if (tablePos) {
                        if (std::string sub; inlineSavedQuery(t.text, known, stack, sub)) {
                            put(out, "(" + sub + ")" + (endsTableReference(next) ? " AS " + quoteIdent(t.text) : ""),
                                Tok::Name);
                            break;
                        }
                    } else if (containsName(known, t.text)) {
                        put(out, parameterRef(t.text), Tok::Name);
                        break;
                    }
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
                    if (tablePos) {
                        if (std::string sub; inlineSavedQuery(t.text, known, stack, sub)) {
                            put(out, "(" + sub + ")" + (endsTableReference(next) ? " AS " + quoteIdent(t.text) : ""),
                                Tok::Name);
                            break;
                        }
                    } else if (containsName(known, t.text)) {
                        put(out, parameterRef(t.text), Tok::Name);
                        break;
                    }
                }
                put(out, quoteIdent(t.text), t.kind);
                break;
            case Tok::String:
                if (isKw(prev, "LIKE")) {
                    put(out, likePattern(t), t.kind);
                } else if ((prev && isComparison(*prev)) || isComparison(next)) {
                    put(out, quoteString(t.text) + " COLLATE NOCASE", t.kind);
                } else {
                    put(out, quoteString(t.text), t.kind);
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
