// Key comparisons and the loading abort.

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <tuple>
#include <type_traits>

#include "batchplant/foundation/CFacilityAbort.h"
#include "batchplant/foundation/Keys.h"

using namespace batchplant;

TEST(Keys, CompareAsSignedIntegers)
{
    // Triples order as tuples do, over every pair from a small signed grid.
    for (int x = 0; x < 729; ++x) {
        const int d[] = {x % 3 - 1, x / 3 % 3 - 1, x / 9 % 3 - 1, x / 27 % 3 - 1, x / 81 % 3 - 1, x / 243 - 1};
        const CTripleIntKey a(d[0], d[1], d[2]), b(d[3], d[4], d[5]);
        const auto ta = std::tuple(d[0], d[1], d[2]), tb = std::tuple(d[3], d[4], d[5]);
        EXPECT_EQ(a < b, ta < tb) << x;
        EXPECT_EQ(a > b, ta > tb) << x;
        EXPECT_EQ(a <= b, ta <= tb) << x;
        EXPECT_EQ(a >= b, ta >= tb) << x;
        EXPECT_EQ(a == b, ta == tb) << x;
    }
    // Intervals: by start, then end; overlapping ones with neither inside the other's bounds are each greater.
    const struct {
        CProcKey a, b;
        bool less, greater, equal;
    } intervals[] = {{{0, 100}, {100, 200}, true, false, false}, {{100, 200}, {0, 100}, false, true, false},
                     {{0, 150}, {0, 100}, false, true, false},   {{0, 100}, {0, 150}, true, false, false},
                     {{10, 50}, {20, 40}, false, true, false},   {{20, 40}, {10, 50}, false, true, false},
                     {{10, 50}, {10, 50}, false, false, true}};
    for (const auto& t : intervals) {
        SCOPED_TRACE(testing::Message() << t.a.start << "-" << t.a.end << " " << t.b.start << "-" << t.b.end);
        EXPECT_EQ(t.a < t.b, t.less);
        EXPECT_EQ(t.a > t.b, t.greater);
        EXPECT_EQ(t.a == t.b, t.equal);
    }
}

TEST(Keys, LongArgumentsSaturateAtThirtyTwoBits)
{
    if constexpr (sizeof(long) > sizeof(std::int32_t)) {
        const long big = static_cast<long>(INT32_MAX) + 5;
        const CProcKey k(-big, big);
        EXPECT_EQ(k.start, INT32_MIN);
        EXPECT_EQ(k.end, INT32_MAX);
        EXPECT_TRUE(CTripleIntKey(0, 0, 0) < CTripleIntKey(big, -big, 1));
    } else {
        GTEST_SKIP() << "long has 32 bits here";
    }
}

// The hosts catch and copy the abort; it carries no data.
static_assert(std::is_empty_v<CFacilityAbort>);
static_assert(std::is_copy_assignable_v<CFacilityAbort> && std::is_move_assignable_v<CFacilityAbort>);
