#pragma once
// Strict reading of what a viewer request sends: query parameters and JSON
// body fields. Anything that is not exactly a value of the expected kind and
// range ends the request with an ApiError naming the parameter.

#include <nlohmann/json.hpp>

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace batchplant::serve {

// A request that cannot be answered: the HTTP status (4xx) and a message
// naming what is wrong, sent as {"error": message}.
class ApiError : public std::runtime_error {
public:
    ApiError(int status, const std::string& message) : std::runtime_error(message), m_status(status) {}
    int Status() const { return m_status; }

private:
    int m_status;
};

// Query parameters as the HTTP layer hands them over (a name may repeat).
using Query = std::multimap<std::string, std::string>;

// The whole of `text` as a decimal integer in [lo, hi]; no sign but '-', no
// spaces, no exponent. Throws ApiError(400) naming `name` otherwise.
long long ParseInteger(std::string_view text, std::string_view name, long long lo, long long hi);

// The parameter's single value, or nothing when absent; ApiError(400) when
// it is given more than once.
std::optional<std::string> QueryValue(const Query& query, const std::string& name);
std::optional<long long> QueryInteger(const Query& query, const std::string& name, long long lo, long long hi);
// Like QueryInteger, but ApiError(400) when absent.
long long RequiredQueryInteger(const Query& query, const std::string& name, long long lo, long long hi);

// The body as a JSON object; an empty body is an empty object. ApiError(400)
// for text that is not JSON or not an object.
nlohmann::json ParseBodyObject(const std::string& body);

// Fields of a body object. Absent fields give nothing; a field of the wrong
// kind, a non-integral or out-of-range number, is an ApiError(400).
std::optional<long long> IntegerField(const nlohmann::json& body, const std::string& name, long long lo, long long hi);
std::optional<bool> BoolField(const nlohmann::json& body, const std::string& name);
std::optional<std::string> StringField(const nlohmann::json& body, const std::string& name);

} // namespace batchplant::serve
