#pragma once
// Small key types of the library's maps.

#include <cstdint>
#include <limits>

namespace batchplant {

namespace detail {
// Identifiers and simulated seconds arrive as long; the keys hold 32 bits.
// Values beyond that range saturate, so the keys keep their order.
constexpr std::int32_t clampToInt32(long v)
{
    if (v > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    if (v < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}
// True when v is held in 32 bits unchanged.
constexpr bool fitsInt32(long v) { return clampToInt32(v) == v; }
} // namespace detail

// Three integers ordered lexicographically: first, then second, then third.
class CTripleIntKey {
public:
    constexpr CTripleIntKey() = default;
    constexpr CTripleIntKey(long a, long b, long c)
        : first(detail::clampToInt32(a)), second(detail::clampToInt32(b)), third(detail::clampToInt32(c))
    {
    }

    friend constexpr bool operator==(const CTripleIntKey& a, const CTripleIntKey& b)
    {
        return a.first == b.first && a.second == b.second && a.third == b.third;
    }
    friend constexpr bool operator<(const CTripleIntKey& a, const CTripleIntKey& b)
    {
        if (a.first != b.first) return a.first < b.first;
        if (a.second != b.second) return a.second < b.second;
        return a.third < b.third;
    }
    friend constexpr bool operator>(const CTripleIntKey& a, const CTripleIntKey& b) { return b < a; }
    friend constexpr bool operator<=(const CTripleIntKey& a, const CTripleIntKey& b) { return !(b < a); }
    friend constexpr bool operator>=(const CTripleIntKey& a, const CTripleIntKey& b) { return !(a < b); }

    std::int32_t first = 0;
    std::int32_t second = 0;
    std::int32_t third = 0;
};

// Start and end of a process unit in simulated seconds. The order is partial
// on purpose: a is less than b when neither bound of a lies after b's, and
// greater when either does, so for (10, 50) and (20, 40) each is greater than
// the other. Maps keyed by it then order such keys by insertion history.
class CProcKey {
public:
    constexpr CProcKey() = default;
    constexpr CProcKey(long s, long e) : start(detail::clampToInt32(s)), end(detail::clampToInt32(e)) {}

    friend constexpr bool operator==(const CProcKey& a, const CProcKey& b)
    {
        return a.start == b.start && a.end == b.end;
    }
    friend constexpr bool operator>(const CProcKey& a, const CProcKey& b) { return a.start > b.start || a.end > b.end; }
    friend constexpr bool operator<(const CProcKey& a, const CProcKey& b)
    {
        return a.start <= b.start && a.end <= b.end && !(a == b);
    }

    std::int32_t start = 0;
    std::int32_t end = 0;
};

} // namespace batchplant
