// Hash and MultiHash: key order, positional access, copies, and the shape of
// the tree after many insertions (checked against the standard containers).

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "batchplant/foundation/Hash.h"
#include "batchplant/foundation/Keys.h"
#include "batchplant/platform/COleDateTime.h"
#include "batchplant/platform/CString.h"

using namespace batchplant;

namespace {

// Looks at the tree itself to check the red-black rules.
template <class Base> struct TreeProbe : Base {
    using Node = typename Base::h_tree;

    // Black height of the subtree, or -1 when a rule is broken below it.
    static int blackHeight(const Node* x)
    {
        if (!x) return 1;
        if (x->red && ((x->left && x->left->red) || (x->right && x->right->red))) return -1;
        int l = blackHeight(x->left);
        int r = blackHeight(x->right);
        if (l < 0 || r < 0 || l != r) return -1;
        return l + (x->red ? 0 : 1);
    }
    static int countNodes(const Node* x) { return x ? 1 + countNodes(x->left) + countNodes(x->right) : 0; }

    bool isRedBlack() const { return (!this->root || !this->root->red) && blackHeight(this->root) > 0; }
    int nodeCount() const { return countNodes(this->root); }
};

using LongProbe = TreeProbe<Hash<long, long>>;
using MultiLongProbe = TreeProbe<MultiHash<long, long>>;

// Red-black, every entry in one node, and no deeper than a red-black tree may be.
template <class H> void expectValidTree(const H& h)
{
    EXPECT_TRUE(h.isRedBlack());
    EXPECT_EQ(h.nodeCount(), h.GetCount());
    const double bound = 2.0 * std::log2(static_cast<double>(h.GetCount()) + 1.0);
    EXPECT_LE(h.GetDepth(), static_cast<int>(std::floor(bound))) << "count " << h.GetCount();
}

// Every entry at the position the standard container gives it.
template <class H, class Ref> void expectSameEntries(H& h, const Ref& ref)
{
    ASSERT_EQ(h.GetCount(), static_cast<int>(ref.size()));
    auto it = ref.begin();
    for (int i = 0; i < h.GetCount(); ++i, ++it) {
        ASSERT_EQ(h.GetKeyAt(i), it->first) << "position " << i;
        ASSERT_EQ(h.GetAt(i), it->second) << "position " << i;
    }
}

} // namespace

TEST(Hash, SubscriptAddsOnceAndBadPositionsYieldAFreshPlaceholder)
{
    struct Counting : Hash<long, CString> {
        int created = 0;
        void OnNewNode(h_tree* node) override { node->value = CString::Formatted("new %d", ++created); }
    } h;
    EXPECT_TRUE(h.GetAt(0).IsEmpty());
    EXPECT_EQ(h[7], CString("new 1"));
    CString* first = &h[7];
    h[9];
    EXPECT_EQ(&h[7], first) << "a node must not move when others are added";
    EXPECT_EQ(h.created, 2);
    EXPECT_EQ(h.GetKeyAt(2), 0L);
    h.GetAt(-1) = "scribble";
    EXPECT_TRUE(h.GetAt(5).IsEmpty()) << "the placeholder is reset on each bad access";
    EXPECT_EQ(h.GetCount(), 2);
    EXPECT_EQ(h.GetAt(1), CString("new 2"));
}

TEST(Hash, CopiesAreDeepAndIndependent)
{
    using Nested = Hash<long, Hash<long, CString>>;
    Nested h;
    h[2][20] = "b";
    h[1][10] = "a";
    h[1][11] = "a2";
    Nested copy(h);
    copy[1][10] = "changed";
    copy[3];
    EXPECT_EQ(h[1][10], CString("a"));
    EXPECT_EQ(h.GetCount(), 2);
    Nested assigned;
    assigned[99];
    assigned = h;
    auto& alias = assigned;
    assigned = alias;
    ASSERT_EQ(assigned.GetCount(), 2);
    EXPECT_FALSE(assigned.Contains(99));
    EXPECT_EQ(assigned.GetAt(0).GetAt(1), CString("a2"));
    EXPECT_EQ(assigned.GetAt(1).GetAt(0), CString("b"));

    Nested moved(std::move(assigned));
    EXPECT_EQ(moved.GetCount(), 2);
    EXPECT_EQ(assigned.GetCount(), 0); // NOLINT(bugprone-use-after-move): the moved-from state is empty
    assigned[5];
    moved = std::move(assigned);
    EXPECT_EQ(moved.GetCount(), 1);
    EXPECT_EQ(moved.GetKeyAt(0), 5);

    // A multimap copy keeps its repeated keys in their order and stays a multimap.
    MultiHash<long, int> m, mcopy;
    for (int n = 0; n < 5; ++n)
        m[7] = n;
    mcopy = m;
    mcopy[7] = 9;
    ASSERT_EQ(mcopy.GetCount(), 6);
    EXPECT_EQ(mcopy.GetAt(0), 9);
    EXPECT_EQ(mcopy.GetAt(1), 4);
}

TEST(Hash, DateKeysOrderByPointInTime)
{
    // Before the epoch the day number and the time of day run in opposite
    // directions: -1.25 is 29 Dec 1899 06:00, -1.5 is the same day at noon.
    Hash<COleDateTime, int> h;
    h[COleDateTime(2.0)] = 4;
    h[COleDateTime(-1.5)] = 2;
    h[COleDateTime(0.25)] = 3;
    h[COleDateTime(-1.25)] = 1;
    h[COleDateTime(-1.25)] = 1;
    ASSERT_EQ(h.GetCount(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(h.GetAt(i), i + 1);
}

TEST(Hash, RandomInsertionsMatchStdMapAndMultimap)
{
    std::mt19937 rng(12345);
    for (int range : {50, 5000, 1000000}) {
        LongProbe h;
        MultiLongProbe m;
        std::map<long, long> ref;
        std::multimap<long, long> mref;
        std::uniform_int_distribution<long> key(-range, range);
        for (int step = 0; step < 20000; ++step) {
            long k = key(rng);
            h[k] += step;
            ref[k] += step;
            m[k] = step;
            mref.emplace_hint(mref.lower_bound(k), k, step); // newest first among equal keys
            if (step % 4999 == 0) {                          // positions read between insertions rebuild the index
                ASSERT_TRUE(h.isRedBlack());
                ASSERT_EQ(h.GetCount(), static_cast<int>(ref.size()));
                ASSERT_EQ(h.GetKeyAt(h.GetCount() - 1), ref.rbegin()->first);
            }
        }
        // Lookups restructure the tree on the way down; it must stay valid.
        for (int step = 0; step < 2000; ++step) {
            long k = key(rng);
            EXPECT_EQ(h.Contains(k), ref.count(k) == 1);
            const long* found = static_cast<const LongProbe&>(h).Lookup(k); // never adds
            ASSERT_EQ(found != nullptr, ref.count(k) == 1);
            if (found) {
                EXPECT_EQ(*found, ref[k]);
            }
        }
        expectValidTree(h);
        expectSameEntries(h, ref);
        expectValidTree(m);
        expectSameEntries(m, mref);
        h.RemoveAll();
        EXPECT_EQ(h.GetCount(), 0);
        EXPECT_EQ(h.GetDepth(), 0);
        h[42] = 1;
        EXPECT_EQ(h.GetKeyAt(0), 42) << "the index is dropped with the nodes";
    }
}

TEST(Hash, AscendingAndDescendingRunsStayBalanced)
{
    for (long sign : {1, -1}) {
        LongProbe h;
        for (long k = 0; k < 100000; ++k)
            h[sign * k] = k;
        expectValidTree(h);
        EXPECT_EQ(h.GetKeyAt(sign > 0 ? 99999 : 0), sign * 99999);
    }
}

TEST(ProcKeyMaps, InconsistentOrderNeverBreaksTheTree)
{
    // Random intervals compare inconsistently with each other; the trees
    // must still hold every entry exactly once and stay balanced.
    std::mt19937 rng(4242);
    std::uniform_int_distribution<long> t(0, 500);
    TreeProbe<MultiHash<CProcKey, int>> m;
    TreeProbe<Hash<CProcKey, int>> h;
    const int n = 20000;
    for (int serial = 0; serial < n; ++serial) {
        long a = t(rng), b = t(rng);
        CProcKey key(std::min(a, b), std::max(a, b));
        m[key] = serial;
        h[key] = serial;
        if (serial % 97 == 0) (void)h.Contains(key);
    }
    ASSERT_EQ(m.GetCount(), n);
    expectValidTree(m);
    std::set<int> seen;
    for (int i = 0; i < m.GetCount(); ++i)
        seen.insert(m.GetAt(i));
    EXPECT_EQ(static_cast<int>(seen.size()), n);

    expectValidTree(h);
}
