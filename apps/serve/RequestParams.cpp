#include "RequestParams.h"

#include <charconv>

namespace batchplant::serve {
namespace {

// At most this much of a rejected value is quoted back, so an error answer
// stays small whatever the request sent.
constexpr std::size_t kQuoteLimit = 40;

std::string quoted(std::string_view text)
{
    std::string out = "\"";
    for (char c : text.substr(0, kQuoteLimit)) {
        const auto u = static_cast<unsigned char>(c);
        out += (u < 0x20 || u == 0x7F || u >= 0x80) ? '?' : c;
    }
    if (text.size() > kQuoteLimit) out += "…";
    return out + "\"";
}

std::string range(long long lo, long long hi) { return std::to_string(lo) + " to " + std::to_string(hi); }

} // namespace

long long ParseInteger(std::string_view text, std::string_view name, long long lo, long long hi)
{
    long long value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    const auto [end, ec] = std::from_chars(first, last, value);
    if (text.empty() || ec == std::errc::invalid_argument || end != last)
        throw ApiError(400, std::string(name) + " must be an integer, not " + quoted(text));
    if (ec == std::errc::result_out_of_range || value < lo || value > hi)
        throw ApiError(400, std::string(name) + " must be from " + range(lo, hi) + ", not " + quoted(text));
    return value;
}

std::optional<std::string> QueryValue(const Query& query, const std::string& name)
{
    const auto [first, last] = query.equal_range(name);
    if (first == last) return std::nullopt;
    if (std::next(first) != last) throw ApiError(400, "parameter " + name + " is given more than once");
    return first->second;
}

std::optional<long long> QueryInteger(const Query& query, const std::string& name, long long lo, long long hi)
{
    const std::optional<std::string> text = QueryValue(query, name);
    if (!text) return std::nullopt;
    return ParseInteger(*text, "parameter " + name, lo, hi);
}

long long RequiredQueryInteger(const Query& query, const std::string& name, long long lo, long long hi)
{
    const std::optional<long long> value = QueryInteger(query, name, lo, hi);
    if (!value) throw ApiError(400, "parameter " + name + " is missing");
    return *value;
}

nlohmann::json ParseBodyObject(const std::string& body)
{
    if (body.find_first_not_of(" \t\r\n") == std::string::npos) return nlohmann::json::object();
    // The JSON parser takes a NUL byte for the end of its input; whatever
    // followed would be silently ignored.
    if (body.find('\0') != std::string::npos) throw ApiError(400, "the request body holds a NUL byte");
    nlohmann::json parsed = nlohmann::json::parse(body, nullptr, /*allow_exceptions=*/false);
    if (parsed.is_discarded()) throw ApiError(400, "the request body is not valid JSON");
    if (!parsed.is_object()) throw ApiError(400, "the request body must be a JSON object");
    return parsed;
}

std::optional<long long> IntegerField(const nlohmann::json& body, const std::string& name, long long lo, long long hi)
{
    const auto it = body.find(name);
    if (it == body.end() || it->is_null()) return std::nullopt;
    long long value = 0;
    if (it->is_number_integer() && !it->is_number_unsigned()) {
        value = it->get<long long>();
    } else if (it->is_number_unsigned()) {
        const auto u = it->get<unsigned long long>();
        if (hi < 0 || u > static_cast<unsigned long long>(hi))
            throw ApiError(400, "field " + name + " must be from " + range(lo, hi));
        value = static_cast<long long>(u);
    } else {
        throw ApiError(400, "field " + name + " must be an integer");
    }
    if (value < lo || value > hi) throw ApiError(400, "field " + name + " must be from " + range(lo, hi));
    return value;
}

std::optional<bool> BoolField(const nlohmann::json& body, const std::string& name)
{
    const auto it = body.find(name);
    if (it == body.end() || it->is_null()) return std::nullopt;
    if (!it->is_boolean()) throw ApiError(400, "field " + name + " must be true or false");
    return it->get<bool>();
}

std::optional<std::string> StringField(const nlohmann::json& body, const std::string& name)
{
    const auto it = body.find(name);
    if (it == body.end() || it->is_null()) return std::nullopt;
    if (!it->is_string()) throw ApiError(400, "field " + name + " must be a string");
    return it->get<std::string>();
}

} // namespace batchplant::serve
