// ProfileBuilder::StoreAndClear writes rate profiles without keeping their
// entries first; it must write exactly what Store writes and leave the
// builder empty.

#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "batchplant/gantt/CompositeProfile.h"

namespace batchplant {
namespace {

CompVals Rate(double mass, short batch)
{
    CompVals v;
    v.mass = mass;
    v.volume = -mass;
    v.batch = batch;
    return v;
}

void ExpectSame(const Hash<long, CompVals>& a, const Hash<long, CompVals>& b, int round)
{
    ASSERT_EQ(a.GetCount(), b.GetCount()) << "round " << round;
    for (int i = 0; i < a.GetCount(); ++i) {
        ASSERT_EQ(a.GetKeyAt(i), b.GetKeyAt(i)) << "round " << round;
        // Bit for bit: the profiles must not change by a rounding.
        ASSERT_EQ(a.GetAt(i), b.GetAt(i)) << "round " << round << " t " << a.GetKeyAt(i);
    }
}

TEST(ProfileBuilderStore, StoreAndClearWritesWhatStoreWrites)
{
    std::mt19937 random(11);
    std::uniform_int_distribution<long> time(-20, 60);
    std::uniform_int_distribution<int> kind(0, 9);
    std::uniform_real_distribution<double> amount(-5.0, 5.0);
    for (int round = 0; round < 300; ++round) {
        // Some rounds start from entries already in the profile, some mix in
        // levels and points; most are intervals only from nothing.
        Hash<long, CompVals> start;
        if (round % 4 == 3)
            for (int i = 0; i < 3; ++i)
                start[time(random)] = Rate(amount(random), 1);
        const bool mixed = round % 5 == 4;
        Hash<long, CompVals> viaStore = start;
        Hash<long, CompVals> viaStoreAndClear = start;
        ProfileBuilder<CompVals> a, b;
        a.Load(viaStore);
        b.Load(viaStoreAndClear);
        for (int op = 0; op < 1 + round % 40; ++op) {
            const long t0 = time(random), t1 = time(random);
            const CompVals v = Rate(amount(random), static_cast<short>(op));
            if (mixed && kind(random) >= 8) {
                a.AddLevel(t0, t1, v);
                b.AddLevel(t0, t1, v);
            } else {
                a.AddInterval(t0, t1, v);
                b.AddInterval(t0, t1, v);
            }
        }
        a.Store(viaStore);
        b.StoreAndClear(viaStoreAndClear);
        ExpectSame(viaStore, viaStoreAndClear, round);
        EXPECT_TRUE(b.IsEmpty()) << "round " << round;
    }
}

TEST(ProfileBuilderStore, StoreAndClearOverwritesOnlyTheSweptTimes)
{
    // A profile the builder was not loaded from: the entries of the
    // intervals replace what is there, the others stay.
    Hash<long, CompVals> h;
    h[5] = Rate(9.0, 9);
    h[100] = Rate(4.0, 4);
    ProfileBuilder<CompVals> builder;
    builder.AddInterval(0, 10, Rate(1.0, 1));
    builder.AddInterval(5, 20, Rate(2.0, 2));
    builder.StoreAndClear(h);
    ASSERT_EQ(h.GetCount(), 5);
    EXPECT_EQ(h.GetKeyAt(0), 0);
    EXPECT_EQ(h.GetAt(0), Rate(1.0, 1));
    EXPECT_EQ(h.GetAt(1), Rate(3.0, 3)); // at 5: both intervals, not the old 9
    EXPECT_EQ(h.GetAt(2), Rate(2.0, 2)); // at 10
    EXPECT_EQ(h.GetAt(3), CompVals{});   // at 20: nothing covers it
    EXPECT_EQ(h.GetAt(4), Rate(4.0, 4)); // at 100: untouched
    EXPECT_TRUE(builder.IsEmpty());
}

} // namespace
} // namespace batchplant
