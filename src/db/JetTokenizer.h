#pragma once
// The Jet dialect's tokens and the rewriting of single tokens: the tokenizer
// that the translation (SqlDialect.cpp) walks, and Jet's string, date and
// Like-pattern literals as SQLite's.

#include <string>
#include <string_view>
#include <vector>

namespace batchplant::jet {

enum class Tok { Word, Name, String, Number, Date, Op, LParen, RParen, Comma, Dot, Semi, End };

struct Token {
    Tok kind;
    std::string text; // Word, Number, Op: as written; Name, String, Date: the content, unquoted
    std::size_t offset;
};

// Throws the CDaoException that reports a syntax error at `offset`.
[[noreturn]] void syntaxError(const std::string& what, std::size_t offset);

std::string upper(std::string_view s);
bool iequals(std::string_view a, std::string_view b);

// The tokens of `s`, ending with a Tok::End; refuses what Jet cannot hold
// (see SqlDialect.h).
std::vector<Token> tokenize(std::string_view s);

// A #date# literal's content as ISO-8601 text, quoted.
std::string jetDateToIso(const Token& t);
// A Like pattern literal with Jet's wildcards as LIKE's, quoted.
std::string likePattern(const Token& t);

} // namespace batchplant::jet
