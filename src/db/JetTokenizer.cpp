#include "db/JetTokenizer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "batchplant/db/Dao.h"
#include "db/Sqlite.h"

namespace batchplant::jet {

[[noreturn]] void syntaxError(const std::string& what, std::size_t offset)
{
    throw CDaoException(CString::Formatted("Syntax error in query: %s at character %zu.", what.c_str(), offset + 1));
}

namespace {

bool isSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool isIdentStart(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80; }
bool isIdentChar(unsigned char c) { return isIdentStart(c) || isDigit(c); }

} // namespace

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

namespace {

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

} // namespace

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

namespace {

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

} // namespace

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
    return sqlite::quoteText(dt.ToIso().str());
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
    std::string out = sqlite::quoteText(pat);
    if (escaped) out += " ESCAPE '\\'";
    return out;
}

} // namespace batchplant::jet
