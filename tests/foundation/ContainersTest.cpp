// Array, List, Hash and MultiHash against the standard containers; the key types; the shared texts.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "batchplant/foundation/Array.h"
#include "batchplant/foundation/Hash.h"
#include "batchplant/foundation/Keys.h"
#include "batchplant/foundation/List.h"
#include "batchplant/foundation/SharedText.h"
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
        const int l = blackHeight(x->left), r = blackHeight(x->right);
        const bool redPair = x->red && ((x->left && x->left->red) || (x->right && x->right->red));
        return (redPair || l < 0 || l != r) ? -1 : l + (x->red ? 0 : 1);
    }
    static int countNodes(const Node* x) { return x ? 1 + countNodes(x->left) + countNodes(x->right) : 0; }
    bool isRedBlack() const { return (!this->root || !this->root->red) && blackHeight(this->root) > 0; }

    // Red-black, every entry in one node, and no deeper than a red-black tree may be.
    void expectValid() const
    {
        EXPECT_TRUE(isRedBlack());
        EXPECT_EQ(countNodes(this->root), this->GetCount());
        const double bound = 2.0 * std::log2(static_cast<double>(this->GetCount()) + 1.0);
        EXPECT_LE(this->GetDepth(), static_cast<int>(std::floor(bound))) << "count " << this->GetCount();
    }
    // Every entry at the position the standard container gives it.
    template <class Ref> void expectSameEntries(const Ref& ref) const
    {
        std::vector<std::pair<long, long>> entries;
        for (int i = 0; i < this->GetCount(); ++i)
            entries.emplace_back(this->GetKeyAt(i), this->GetAt(i));
        EXPECT_TRUE((entries == std::vector<std::pair<long, long>>(ref.begin(), ref.end())));
    }
};

// The values from head on, after checking that the walk back from tail and positional access agree.
struct IntList : List<int> {
    std::vector<int> walk()
    {
        // Bounded, so that a link cycle fails the test instead of hanging it.
        const auto limit = static_cast<std::size_t>(count);
        std::vector<int> forward, backward, byPosition;
        for (const l_list* n = head; n && forward.size() <= limit; n = n->next)
            forward.push_back(n->value);
        for (const l_list* n = tail; n && backward.size() <= limit; n = n->prev)
            backward.insert(backward.begin(), n->value);
        for (int i = 0; i < count; ++i)
            byPosition.push_back(GetAt(i));
        EXPECT_EQ(forward, backward) << "next and prev links disagree";
        EXPECT_EQ(forward, byPosition);
        return forward;
    }
};

// One way to fill and read each container, for the copy checks; the keys go both ways, the multimap's repeat.
void add(Array<CString>& a, const char* v) { a.Add(v); }
void add(List<CString>& l, const char* v) { l.Add(v); }
void add(Hash<int, CString>& h, const char* v) { h[h.GetCount() % 2 ? -h.GetCount() : h.GetCount()] = v; }
void add(MultiHash<int, CString>& h, const char* v) { h[h.GetCount() % 2] = v; }
int count(const Array<CString>& a) { return a.GetSize(); }
template <class C> int count(const C& c) { return c.GetCount(); }
CString& at(Array<CString>& a, int i) { return a[i]; }
template <class C> CString& at(C& c, int i) { return c.GetAt(i); }
template <class C> std::vector<std::string> contents(C& c)
{
    std::vector<std::string> out;
    for (int i = 0; i < count(c); ++i)
        out.push_back(at(c, i).str());
    return out;
}

} // namespace

// Copies are deep and keep the order; assignment replaces all and survives itself; a move empties its source.
TEST(Containers, CopiesAreDeepAndIndependent)
{
    const auto expectValueSemantics = [](auto a) {
        using C = decltype(a);
        for (const char* v : {"a", "b", "c"})
            add(a, v);
        const std::vector<std::string> original = contents(a);
        C copy(a), assigned;
        EXPECT_EQ(contents(copy), original);
        at(copy, 0) = "changed";
        add(copy, "d");
        for (int i = 0; i < 5; ++i)
            add(assigned, "old");
        assigned = copy;
        C& alias = assigned;
        assigned = alias;
        EXPECT_EQ(contents(a), original);
        EXPECT_EQ(contents(assigned), contents(copy));
        C moved(std::move(assigned));
        EXPECT_TRUE(contents(assigned).empty()); // NOLINT(bugprone-use-after-move): the moved-from state is empty
        a = std::move(moved);
        EXPECT_EQ(contents(a), contents(copy));
    };
    expectValueSemantics(Array<CString>());
    expectValueSemantics(List<CString>());
    expectValueSemantics(Hash<int, CString>());
    expectValueSemantics(MultiHash<int, CString>());
}

TEST(Array, GrowsByGrowBySlotsKeepsItsElementsAndShowsAMessageForEachBadIndex)
{
    // {reserved, growBy (0: the default), capacity after each of 11 adds}
    const struct {
        int reserved, growBy;
        std::vector<int> capacities;
    } cases[] = {
        // clang-format off
        {0, 0, {10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 20}}, {4, 0, {4, 4, 4, 4, 14, 14, 14, 14, 14, 14, 14}},
        {0, -2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}}, // below one still grows
        // clang-format on
    };
    for (const auto& c : cases) {
        Array<CString> a(c.reserved); // spare slots are real objects: the sanitizer build checks their lives
        if (c.growBy != 0) a.SetGrowBy(c.growBy);
        EXPECT_EQ(a.GetCapacity(), c.reserved);
        std::vector<int> capacities;
        for (int v = 0; v < 11; ++v) { // the last source lives in the storage its own add may replace
            v < 10 ? a.Add(CString::Formatted("%d", v * 3)) : a.Add(a[0]);
            capacities.push_back(a.GetCapacity());
        }
        EXPECT_EQ(capacities, c.capacities) << c.reserved << " " << c.growBy;
        const Array<CString> copy(a);
        a.RemoveAll();
        EXPECT_EQ((std::pair{a.GetCapacity(), copy.GetCapacity()}), (std::pair{0, c.capacities.back()}));
        for (int i = 0; i <= 10; ++i)
            EXPECT_EQ(copy[i], CString::Formatted("%d", i % 10 * 3));
    }
    // A bad index shows the message each time and touches nothing.
    test::MessageRecorder boxes;
    Array<long> a(-3);
    a.Add(5);
    a[-1] = 99;
    EXPECT_EQ(a[1], 0) << "placeholder is reset on each bad access";
    EXPECT_TRUE(static_cast<const Array<CString>&>(Array<CString>())[0].IsEmpty());
    EXPECT_EQ(boxes.texts(), std::vector<std::string>(3, "Attempted to access array member out-of-bounds"));
    EXPECT_EQ(boxes.types(), std::vector<unsigned>(3, MB_OK));
    EXPECT_TRUE(a.GetSize() == 1 && a[0] == 5 && a.GetCapacity() == 10);
}

TEST(List, RandomEditsMatchVectorBadPositionsChangeNothingAndLongListsFreeWithoutDeepRecursion)
{
    std::mt19937 rng(99);
    IntList l;
    std::vector<int> ref;
    for (int step = 0; step < 5000; ++step) {
        const auto n = static_cast<unsigned>(ref.size());
        const int i = n ? static_cast<int>(rng() % n) : 0, j = n ? static_cast<int>(rng() % n) : 0;
        const unsigned op = n ? rng() % 4 : 0;
        if (op == 0) {
            l.Add(step);
            ref.push_back(step);
        } else if (op == 1) {
            l.RemoveAt(i);
            ref.erase(ref.begin() + i);
        } else {
            const int* moving = &l.GetAt(i);
            l.Swap(i, j);
            std::swap(ref[static_cast<std::size_t>(i)], ref[static_cast<std::size_t>(j)]);
            EXPECT_EQ(&l.GetAt(j), moving) << "the nodes move, not the values";
        }
        if (step % 250 == 0 || ref.size() < 2) {
            const int end = l.GetCount();
            l.GetAt(-1) = 55;
            EXPECT_EQ(l.GetAt(end), 0) << "the placeholder is reset on each bad access";
            l.Swap(0, end);
            l.Swap(-1, 0);
            l.RemoveAt(end);
            l.RemoveAt(-1);
            ASSERT_EQ(l.walk(), ref) << "step " << step;
        }
    }
    for (int round = 0; round < 2; ++round) { // RemoveAll frees the first batch, the destructor the second
        l.RemoveAll();
        for (int i = 0; i < 1000000; ++i)
            l.Add(i);
        EXPECT_EQ(l.GetAt(999999), 999999);
    }
}

TEST(Hash, SubscriptAddsOnceAndBadPositionsYieldAFreshPlaceholder)
{
    struct Counting : Hash<long, CString> {
        int created = 0;
        void OnNewNode(h_tree* node) override { node->value = CString::Formatted("new %d", ++created); }
    } h;
    EXPECT_TRUE(h.GetAt(0).IsEmpty());
    const CString* first = &h[7];
    h[9];
    h[5];
    EXPECT_EQ(&h[7], first) << "a node must not move when others are added";
    EXPECT_EQ((std::vector{h.GetAt(0), h.GetAt(1), h.GetAt(2)}), (std::vector<CString>{"new 3", "new 1", "new 2"}));
    EXPECT_EQ(h.GetKeyAt(3), 0L);
    h.GetAt(-1) = "scribble";
    EXPECT_TRUE(h.GetAt(5).IsEmpty()) << "the placeholder is reset on each bad access";
}

TEST(Hash, RandomAndSortedInsertionsMatchStdMapAndMultimap)
{
    std::mt19937 rng(12345);
    // Random keys over three ranges, then an ascending and a descending run: {range, sign of the running key}.
    const std::pair<long, long> runs[] = {{50, 0}, {5000, 0}, {1000000, 0}, {20000, 1}, {20000, -1}};
    for (const auto& [range, sorted] : runs) {
        TreeProbe<Hash<long, long>> h;
        TreeProbe<MultiHash<long, long>> m;
        std::map<long, long> ref;
        std::multimap<long, long> mref;
        std::uniform_int_distribution<long> key(-range, range);
        for (int step = 0; step < 20000; ++step) {
            const long k = sorted ? sorted * step : key(rng);
            h[k] += step;
            ref[k] += step;
            m[k] = step;
            mref.emplace_hint(mref.lower_bound(k), k, step); // newest first among equal keys
            if (step % 4999 == 0) {                          // positions read between insertions rebuild the index
                ASSERT_TRUE(h.isRedBlack());
                ASSERT_EQ(h.GetKeyAt(h.GetCount() - 1), ref.rbegin()->first);
            }
        }
        for (int step = 0; step < 2000; ++step) {
            const long k = key(rng);
            const long* found = std::as_const(h).Lookup(k); // never adds
            EXPECT_EQ(h.Contains(k), ref.count(k) == 1);
            EXPECT_EQ(found ? *found : -1, ref.count(k) ? ref[k] : -1) << k; // the values are sums of steps
        }
        h.expectValid();
        h.expectSameEntries(ref);
        m.expectValid();
        m.expectSameEntries(mref);
        h.RemoveAll();
        h[42] = 1;
        EXPECT_EQ(h.GetKeyAt(0), 42) << "the index is dropped with the nodes";
    }
}

TEST(ProcKeyMaps, InconsistentOrderNeverBreaksTheTree)
{
    // Random intervals compare inconsistently with each other; the trees must still hold every entry and balance.
    std::mt19937 rng(4242);
    std::uniform_int_distribution<long> t(0, 500);
    TreeProbe<MultiHash<CProcKey, int>> m;
    TreeProbe<Hash<CProcKey, int>> h;
    for (int serial = 0; serial < 20000; ++serial) {
        const long a = t(rng), b = t(rng);
        const CProcKey key(std::min(a, b), std::max(a, b));
        m[key] = serial;
        h[key] = serial;
    }
    EXPECT_EQ(m.GetCount(), 20000);
    m.expectValid(); // every node reachable once, so none was overwritten
    h.expectValid();
}

TEST(Keys, CompareAsSignedIntegersAndSaturateAtThirtyTwoBits)
{
    // Triples order as tuples do, over every pair from a small signed grid.
    for (int x = 0; x < 729; ++x) {
        const int d[] = {x % 3 - 1, x / 3 % 3 - 1, x / 9 % 3 - 1, x / 27 % 3 - 1, x / 81 % 3 - 1, x / 243 - 1};
        const CTripleIntKey a(d[0], d[1], d[2]), b(d[3], d[4], d[5]);
        const auto ta = std::tuple(d[0], d[1], d[2]), tb = std::tuple(d[3], d[4], d[5]);
        EXPECT_EQ((std::vector{(a < b), (a > b), (a <= b), (a >= b), (a == b)}),
                  (std::vector{(ta < tb), (ta > tb), (ta <= tb), (ta >= tb), (ta == tb)}))
            << x;
    }
    // Intervals (with their relation): by start, then end; two that overlap otherwise are each greater.
    const std::tuple<CProcKey, CProcKey, char> intervals[] = {
        {{0, 100}, {100, 200}, '<'}, {{100, 200}, {0, 100}, '>'}, {{0, 150}, {0, 100}, '>'}, {{0, 100}, {0, 150}, '<'},
        {{10, 50}, {20, 40}, '>'},   {{20, 40}, {10, 50}, '>'},   {{10, 50}, {10, 50}, '='}, {{-5, 0}, {-1, 0}, '<'}};
    for (const auto& [a, b, relation] : intervals)
        EXPECT_EQ((std::vector{(a < b), (a > b), (a == b)}),
                  (std::vector{relation == '<', relation == '>', relation == '='}))
            << a.start << "-" << a.end << " " << b.start << "-" << b.end;
    // Longs beyond 32 bits saturate, so the keys keep their order.
    const CProcKey k(LONG_MIN, LONG_MAX);
    EXPECT_TRUE(k.start == INT32_MIN && k.end == INT32_MAX);
    EXPECT_TRUE(CTripleIntKey(0, 0, 0) < CTripleIntKey(LONG_MAX, LONG_MIN, 1));
    EXPECT_TRUE(detail::fitsInt32(INT32_MIN) && !detail::fitsInt32(LONG_MAX));
}

TEST(SharedText, CopiesShareTheBufferAndAPoolInScopeSharesEqualTexts)
{
    for (const std::string& text : {std::string(), std::string("Water"), std::string("a\0b", 3)}) {
        SharedText t(text);
        SharedText copy = t;
        EXPECT_TRUE(copy.SharesWith(t) && t.empty() == text.empty());
        SharedText moved = std::move(copy);
        EXPECT_TRUE(copy.empty()); // NOLINT(bugprone-use-after-move): the moved-from text is empty
        t = SharedText("other");
        EXPECT_EQ(moved.view(), text) << "a copy outlives reassignment of the original";
    }
    EXPECT_FALSE(TextPool::Share("Water").SharesWith(TextPool::Share("Water"))) << "no pool, no sharing";
    SharedText kept;
    {
        const TextPool::Scope outer;
        kept = TextPool::Share("Water");
        {
            const TextPool::Scope inner; // the outer pool serves the inner scope
            EXPECT_TRUE(TextPool::Share("Water").SharesWith(kept));
        }
        EXPECT_TRUE(TextPool::Share("Water").SharesWith(kept)) << "closing the inner scope keeps the outer pool";
        EXPECT_FALSE(TextPool::Share("Steam").SharesWith(kept));
        EXPECT_TRUE(TextPool::Share("").empty());
    }
    EXPECT_EQ(kept.view(), "Water") << "a text outlives the pool that made it";
    EXPECT_FALSE(TextPool::Share("Water").SharesWith(kept));
}
