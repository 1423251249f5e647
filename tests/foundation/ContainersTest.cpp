// Array, List, Hash and MultiHash against the standard containers; the key types; the shared texts.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <type_traits>
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

// Every entry in position order, after checking that the map is no deeper than a red-black tree may be.
template <class K, class V> std::vector<std::pair<K, V>> entries(const Hash<K, V>& m)
{
    EXPECT_LE(m.GetDepth(), 2 * std::log2(m.GetCount() + 1)) << m.GetCount();
    std::vector<std::pair<K, V>> out;
    for (int i = 0; i < m.GetCount(); ++i)
        out.emplace_back(m.GetKeyAt(i), m.GetAt(i));
    return out;
}
using Entries = std::vector<std::pair<long, long>>;

// One way to fill and read each container; the keys go both ways, the multimap's repeat.
void add(Array<CString>& a, const char* v) { a.Add(v); }
void add(List<CString>& l, const char* v) { l.Add(v); }
void add(Hash<int, CString>& h, const char* v) { h[h.GetCount() % 2 ? -h.GetCount() : h.GetCount()] = v; }
void add(MultiHash<int, CString>& h, const char* v) { h[h.GetCount() % 2] = v; }
int count(const Array<CString>& a) { return a.GetSize(); }
template <class C> int count(const C& c) { return c.GetCount(); }
CString& at(Array<CString>& a, int i) { return a[i]; }
const CString& at(const Array<CString>& a, int i) { return a[i]; }
template <class C> auto& at(C& c, int i) { return c.GetAt(i); }
template <class C> auto contents(const C& c)
{
    std::vector<std::decay_t<decltype(at(c, 0))>> out;
    for (int i = 0; i < count(c); ++i)
        out.push_back(at(c, i));
    return out;
}

} // namespace

// Copies are deep and keep the order; assignment replaces all and survives itself; a move empties its source.
// A bad position reads a fresh placeholder each time (the array's also shows a message).
TEST(Containers, CopiesAreDeepAndIndependentAndBadPositionsTouchNothing)
{
    test::MessageRecorder boxes;
    const auto expectValueSemantics = [](auto a) {
        using C = decltype(a);
        for (const char* v : {"a", "b", "c"})
            add(a, v);
        const auto original = contents(a);
        C copy(a), assigned;
        EXPECT_EQ(contents(copy), original);
        at(copy, 0) = "changed";
        add(copy, "d");
        for (int i = 0; i < 5; ++i)
            add(assigned, "old");
        assigned = copy;
        assigned = std::as_const(assigned);
        at(a, -1) = "scribble";
        EXPECT_TRUE(at(std::as_const(a), count(a)).IsEmpty());
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
    EXPECT_EQ(boxes.texts(), std::vector<std::string>(2, "Attempted to access array member out-of-bounds"));
}

TEST(Array, GrowsByGrowBySlotsAndKeepsItsElements)
{
    // {reserved, growBy (0: the default), capacity at first and after each of 11 adds}; below one still grows
    const std::tuple<int, int, std::vector<int>> cases[] = {{0, 0, {0, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 20}},
                                                            {4, 0, {4, 4, 4, 4, 4, 14, 14, 14, 14, 14, 14, 14}},
                                                            {-3, -2, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}}};
    for (const auto& [reserved, growBy, expected] : cases) {
        Array<CString> a(reserved); // spare slots are real objects: the sanitizer build checks their lives
        if (growBy != 0) a.SetGrowBy(growBy);
        std::vector<int> capacities{a.GetCapacity()};
        for (int v = 0; v < 11; ++v) { // the last source lives in the storage its own add may replace
            v < 10 ? a.Add(CString::Formatted("%d", v * 3)) : a.Add(a[0]);
            capacities.push_back(a.GetCapacity());
        }
        EXPECT_EQ(capacities, expected) << reserved << " " << growBy;
        EXPECT_TRUE(a[0] == "0" && a[9] == "27" && a[10] == "0") << "moved as it grew";
        a.RemoveAll();
        EXPECT_TRUE(a.GetCapacity() == 0 && a.GetSize() == 0);
    }
}

TEST(List, RandomEditsMatchVectorBadPositionsChangeNothingAndLongListsFreeWithoutDeepRecursion)
{
    std::mt19937 rng(99);
    List<int> l;
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
            const int end = l.GetCount(); // a bad position changes nothing
            l.Swap(0, end);
            l.RemoveAt(end);
            ASSERT_EQ(contents(l), ref) << "step " << step; // read through the index, built by walking the links
        }
    }
    for (int i = 0; i < 1000000; ++i) // the destructor frees them one by one, not by recursion
        l.Add(i);
}

TEST(Hash, RandomAndSortedInsertionsMatchStdMapAndMultimap)
{
    std::mt19937 rng(12345);
    // Random keys over three ranges, then an ascending and a descending run: {range, sign of the running key}.
    const std::pair<long, long> runs[] = {{50, 0}, {5000, 0}, {1000000, 0}, {20000, 1}, {20000, -1}};
    for (const auto& [range, sorted] : runs) {
        Hash<long, long> h;
        MultiHash<long, long> m;
        std::map<long, long> ref;
        std::multimap<long, long> mref;
        std::uniform_int_distribution<long> key(-range, range);
        const long* first = &h[0]; // a node never moves when others are added
        ref[0] = 0;
        for (int step = 0; step < 20000; ++step) {
            const long k = sorted ? sorted * step : key(rng);
            h[k] += step;
            ref[k] += step;
            m[k] = step;
            mref.emplace_hint(mref.lower_bound(k), k, step); // newest first among equal keys
        }
        for (long k = -range; k <= range; k += range / 64 + 1) {             // present and absent keys
            const long* found = std::as_const(h).Lookup(k);                  // never adds
            EXPECT_EQ(found ? *found : -1, ref.count(k) ? ref[k] : -1) << k; // the values are sums of steps
        }
        EXPECT_EQ(&h[0], first);
        EXPECT_EQ(entries(h), Entries(ref.begin(), ref.end()));
        EXPECT_EQ(entries(m), Entries(mref.begin(), mref.end()));
    }
}

TEST(Keys, CompareAsSignedIntegersSaturateAtThirtyTwoBitsAndIntervalsNeverBreakATree)
{
    // Triples order as tuples do, over every pair from a small signed grid.
    for (int x = 0; x < 729; ++x) {
        const int d[] = {x % 3 - 1, x / 3 % 3 - 1, x / 9 % 3 - 1, x / 27 % 3 - 1, x / 81 % 3 - 1, x / 243 - 1};
        const CTripleIntKey a(d[0], d[1], d[2]), b(d[3], d[4], d[5]);
        const auto ta = std::tuple(d[0], d[1], d[2]), tb = std::tuple(d[3], d[4], d[5]);
        EXPECT_EQ((std::vector{(a < b), (a > b), a <= b, a >= b, a == b}),
                  (std::vector{(ta < tb), (ta > tb), ta <= tb, ta >= tb, ta == tb}))
            << x;
    }
    // Intervals (with their relation): by start, then end; two that overlap otherwise are each greater. Longs beyond
    // 32 bits saturate, so the keys keep their order.
    const std::tuple<CProcKey, CProcKey, char> intervals[] = {
        {{0, 100}, {100, 200}, '<'}, {{100, 200}, {0, 100}, '>'}, {{0, 150}, {0, 100}, '>'},
        {{0, 100}, {0, 150}, '<'},   {{10, 50}, {20, 40}, '>'},   {{20, 40}, {10, 50}, '>'},
        {{10, 50}, {10, 50}, '='},   {{-5, 0}, {-1, 0}, '<'},     {{LONG_MIN, LONG_MAX}, {INT32_MIN, INT32_MAX}, '='}};
    for (const auto& [a, b, is] : intervals)
        EXPECT_EQ((std::vector{(a < b), (a > b), a == b}), (std::vector{is == '<', is == '>', is == '='}))
            << a.start << "-" << a.end << " " << b.start << "-" << b.end;
    EXPECT_LT(CTripleIntKey(0, 0, 0), CTripleIntKey(LONG_MAX, 0, 0));
    // So random intervals compare inconsistently with each other; the trees must still hold every entry and balance.
    std::mt19937 rng(4242);
    std::uniform_int_distribution<long> t(0, 500);
    MultiHash<CProcKey, long> m;
    Hash<CProcKey, long> h;
    for (long serial = 0; serial < 20000; ++serial) {
        const long a = t(rng), b = t(rng);
        m[CProcKey(std::min(a, b), std::max(a, b))] = h[CProcKey(std::min(a, b), std::max(a, b))] = serial;
    }
    std::set<long> fromM, fromH; // a serial at each position, so no node was lost or overwritten
    for (const auto& [key, serial] : entries(m))
        fromM.insert(serial);
    for (const auto& [key, serial] : entries(h))
        fromH.insert(serial);
    EXPECT_EQ((std::pair{fromM.size(), fromH.size()}), (std::pair{std::size_t{20000}, std::size_t(h.GetCount())}));
}

TEST(SharedText, CopiesShareTheBufferAndAPoolInScopeSharesEqualTexts)
{
    for (const std::string& text : {std::string(), std::string("Water"), std::string("a\0b", 3)}) {
        SharedText t(text), copy = t, moved = std::move(copy);
        EXPECT_TRUE(moved.SharesWith(t) && copy.empty()); // NOLINT(bugprone-use-after-move): moved-from is empty
        t = SharedText("other");
        EXPECT_EQ(moved.view(), text) << "a copy outlives reassignment of the original";
    }
    EXPECT_FALSE(TextPool::Share("Water").SharesWith(TextPool::Share("Water"))) << "no pool, no sharing";
    SharedText kept;
    {
        const TextPool::Scope outer;
        kept = TextPool::Share("Water");
        TextPool::Scope{}; // an inner scope uses the outer pool and leaves it open when it closes
        EXPECT_TRUE(TextPool::Share("Water").SharesWith(kept) && !TextPool::Share("Steam").SharesWith(kept));
        EXPECT_TRUE(TextPool::Share("").empty());
    }
    EXPECT_EQ(kept.view(), "Water") << "a text outlives the pool that made it";
    EXPECT_FALSE(TextPool::Share("Water").SharesWith(kept));
}
