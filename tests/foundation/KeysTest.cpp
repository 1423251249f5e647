// Key comparisons and the loading abort.

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <type_traits>

#include "batchplant/foundation/CFacilityAbort.h"
#include "batchplant/foundation/Keys.h"

using namespace batchplant;

TEST(CTripleIntKey, ComparesLexicographicallyAsSignedIntegers)
{
    const CTripleIntKey k(1, 2, 3);
    EXPECT_TRUE(k < CTripleIntKey(1, 3, 0));
    EXPECT_TRUE(CTripleIntKey(1, 2, 2) < k);
    EXPECT_TRUE(k > CTripleIntKey(1, 2, 2));
    EXPECT_FALSE(k < k);
    EXPECT_TRUE(k == CTripleIntKey(1, 2, 3));
    EXPECT_FALSE(k == CTripleIntKey(1, 2, 4));
    EXPECT_TRUE(CTripleIntKey(-1, 99, 99) < CTripleIntKey(0, 0, 0));
    EXPECT_TRUE(CTripleIntKey(5, -1, 0) < CTripleIntKey(5, 0, -7));
    EXPECT_TRUE(CTripleIntKey(5, 0, -7) <= CTripleIntKey(5, 0, -7));
    EXPECT_EQ(CTripleIntKey().first, 0);
}

TEST(CProcKey, ComparesByBothBounds)
{
    const CProcKey early(0, 100), late(100, 200);
    EXPECT_TRUE(early < late);
    EXPECT_FALSE(early > late);
    EXPECT_TRUE(late > early);
    EXPECT_FALSE(late < early);

    // Same start, later end: greater.
    EXPECT_TRUE(CProcKey(0, 150) > early);
    EXPECT_TRUE(early < CProcKey(0, 150));

    // Overlapping, neither inside the other's bounds: each is greater.
    const CProcKey a(10, 50), b(20, 40);
    EXPECT_TRUE(a > b);
    EXPECT_TRUE(b > a);
    EXPECT_FALSE(a < b);
    EXPECT_FALSE(b < a);

    EXPECT_TRUE(a == CProcKey(10, 50));
    EXPECT_FALSE(a < a);
    EXPECT_FALSE(a > a);
}

TEST(Keys, LongArgumentsSaturateAtThirtyTwoBits)
{
    if constexpr (sizeof(long) > sizeof(std::int32_t)) {
        const long big = static_cast<long>(INT32_MAX) + 5;
        const CProcKey k(-big, big);
        EXPECT_EQ(k.start, INT32_MIN);
        EXPECT_EQ(k.end, INT32_MAX);
        const CTripleIntKey t(big, -big, 1);
        EXPECT_TRUE(CTripleIntKey(0, 0, 0) < t);
    } else {
        GTEST_SKIP() << "long has 32 bits here";
    }
}

// The hosts catch and copy the abort; it carries no data.
static_assert(std::is_empty_v<CFacilityAbort>);
static_assert(std::is_copy_assignable_v<CFacilityAbort> && std::is_move_assignable_v<CFacilityAbort>);
