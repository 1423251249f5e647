// Array: growth by growBy, properly constructed spare slots, the
// out-of-bounds message, and copies.

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "batchplant/foundation/Array.h"
#include "batchplant/platform/CString.h"

using namespace batchplant;

TEST(Array, GrowsByGrowBySlotsAndKeepsElements)
{
    // {reserved, growBy (0: the default), capacity after each of 11 adds}
    const struct {
        int reserved, growBy;
        std::vector<int> capacities;
    } cases[] = {{0, 0, {10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 20}},
                 {4, 0, {4, 4, 4, 4, 14, 14, 14, 14, 14, 14, 14}},
                 {-3, 0, {10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 20}},
                 {0, -2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}}}; // below one still grows
    for (const auto& c : cases) {
        Array<long> a(c.reserved);
        if (c.growBy != 0) a.SetGrowBy(c.growBy);
        EXPECT_EQ(a.GetCapacity(), std::max(c.reserved, 0));
        std::vector<int> capacities;
        for (long v = 0; v < 11; ++v) {
            a.Add(v * 3);
            capacities.push_back(a.GetCapacity());
        }
        EXPECT_EQ(capacities, c.capacities) << c.reserved << " " << c.growBy;
        ASSERT_EQ(a.GetSize(), 11);
        for (int i = 0; i <= 10; ++i)
            EXPECT_EQ(a[i], i * 3L);
    }
}

TEST(Array, ClassElementsSurviveGrowthCopiesAndAddingTheirOwnElement)
{
    // Spare slots of a CString array are real objects: the sanitizer build checks their lives.
    Array<CString> a(3);
    for (int i = 0; i < 24; ++i)
        a.Add(CString::Formatted("item %d", i));
    ASSERT_EQ(a.GetCapacity(), 33);
    for (int i = 0; i < 10; ++i)
        a.Add(a[3]); // the source lives in the storage that is replaced on the last add
    EXPECT_EQ(a.GetCapacity(), 43);
    EXPECT_EQ(a[0], CString("item 0"));
    EXPECT_EQ(a[33], CString("item 3"));

    Array<CString> copy(a);
    EXPECT_EQ(copy.GetCapacity(), 43);
    copy[0] = "changed";
    copy.Add("more");
    EXPECT_EQ(a[0], CString("item 0"));
    EXPECT_EQ(a.GetSize(), 34);
    EXPECT_EQ(copy[34], CString("more"));

    Array<CString> b(2);
    b.Add("old");
    b = a;
    Array<CString>& alias = b;
    b = alias;
    EXPECT_EQ(b.GetSize(), 34);
    EXPECT_EQ(b[33], CString("item 3"));
    Array<CString> c(std::move(b));
    EXPECT_EQ(c.GetSize(), 34);
    EXPECT_EQ(b.GetSize(), 0); // NOLINT(bugprone-use-after-move)
    c.RemoveAll();
    EXPECT_EQ(c.GetCapacity(), 0);
}

TEST(Array, OutOfBoundsShowsMessageEachTimeAndTouchesNothing)
{
    test::MessageRecorder boxes;
    Array<long> a;
    a.Add(5);
    a.Add(6);
    a[-1] = 99;
    EXPECT_EQ(a[2], 0) << "placeholder is reset on each bad access";
    EXPECT_EQ(a[0], 5);
    EXPECT_EQ(a[1], 6);
    const Array<CString> empty;
    EXPECT_TRUE(empty[0].IsEmpty());
    EXPECT_EQ(boxes.texts(), std::vector<std::string>(3, "Attempted to access array member out-of-bounds"));
    EXPECT_EQ(boxes.types()[0], static_cast<unsigned>(MB_OK));
    EXPECT_EQ(a.GetSize(), 2);
}
