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

namespace {
const char* const kMessage = "Attempted to access array member out-of-bounds";
}

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

TEST(Array, ClassElementsSurviveGrowthAndSpareSlots)
{
    // Spare slots of a CString array are real objects: growing, copying and
    // destroying them is checked by the sanitizers.
    Array<CString> a(3);
    for (int i = 0; i < 25; ++i)
        a.Add(CString::Formatted("item %d", i));
    EXPECT_EQ(a.GetSize(), 25);
    EXPECT_EQ(a.GetCapacity(), 33);
    EXPECT_EQ(a[0], CString("item 0"));
    EXPECT_EQ(a[24], CString("item 24"));

    Array<CString> copy(a);
    EXPECT_EQ(copy.GetCapacity(), 33);
    copy[0] = "changed";
    copy.Add("more");
    EXPECT_EQ(a[0], CString("item 0"));
    EXPECT_EQ(a.GetSize(), 25);
    EXPECT_EQ(copy[25], CString("more"));
}

TEST(Array, AddingOwnElementWhileGrowing)
{
    Array<CString> a;
    for (int i = 0; i < 10; ++i)
        a.Add(CString::Formatted("s%d", i));
    ASSERT_EQ(a.GetSize(), a.GetCapacity());
    a.Add(a[3]); // the source lives in the storage that is being replaced
    EXPECT_EQ(a[10], CString("s3"));
    EXPECT_EQ(a[3], CString("s3"));
}

TEST(Array, OutOfBoundsShowsMessageOnceAndTouchesNothing)
{
    test::MessageRecorder boxes;
    Array<long> a;
    a.Add(5);
    a.Add(6);
    long& bad = a[-1];
    EXPECT_EQ(bad, 0);
    bad = 99;
    EXPECT_EQ(a[2], 0) << "placeholder is reset on each bad access";
    ASSERT_EQ(boxes.count(), 2u);
    EXPECT_EQ(boxes.texts()[0], kMessage);
    EXPECT_EQ(boxes.texts()[1], kMessage);
    EXPECT_EQ(boxes.types()[0], static_cast<unsigned>(MB_OK));
    EXPECT_EQ(a.GetSize(), 2);
    EXPECT_EQ(a[0], 5);
    EXPECT_EQ(a[1], 6);
    EXPECT_EQ(boxes.count(), 2u) << "good indexes show nothing";

    const Array<CString> empty;
    EXPECT_TRUE(empty[0].IsEmpty());
    EXPECT_EQ(boxes.count(), 3u);
}

TEST(Array, AssignmentAndMove)
{
    Array<int> a;
    for (int i = 0; i < 12; ++i)
        a.Add(i);
    Array<int> b(2);
    b.Add(100);
    b = a;
    EXPECT_EQ(b.GetSize(), 12);
    EXPECT_EQ(b[11], 11);
    Array<int>& alias = b;
    b = alias;
    EXPECT_EQ(b.GetSize(), 12);

    Array<int> c(std::move(b));
    EXPECT_EQ(c.GetSize(), 12);
    EXPECT_EQ(b.GetSize(), 0); // NOLINT(bugprone-use-after-move)
    b.Add(7);
    EXPECT_EQ(b[0], 7);

    c.RemoveAll();
    EXPECT_EQ(c.GetSize(), 0);
    EXPECT_EQ(c.GetCapacity(), 0);
}
