// List: insertion order, removal and swapping by relinking, copies, and the
// links in both directions after each change.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <utility>
#include <vector>

#include "batchplant/foundation/List.h"
#include "batchplant/platform/CString.h"

using namespace batchplant;

namespace {

// The values walking forward from head, after checking that walking back from
// tail visits the same nodes and that positional access agrees.
struct IntList : List<int> {
    std::vector<int> walk()
    {
        // Bounded, so that a link cycle fails the test instead of hanging it.
        const std::size_t limit = static_cast<std::size_t>(GetCount()) + 1;
        std::vector<const l_list*> forward, backward;
        for (const l_list* n = head; n && forward.size() <= limit; n = n->next)
            forward.push_back(n);
        for (const l_list* n = tail; n && backward.size() <= limit; n = n->prev)
            backward.insert(backward.begin(), n);
        EXPECT_EQ(forward, backward) << "next and prev links disagree";
        std::vector<int> values, byPosition;
        for (const l_list* n : forward)
            values.push_back(n->value);
        for (int i = 0; i < GetCount(); ++i)
            byPosition.push_back(GetAt(i));
        EXPECT_EQ(values, byPosition);
        return values;
    }
};

} // namespace

TEST(List, BadPositionsChangeNothingAndSwapRelinksNodes)
{
    IntList l;
    for (int i = 0; i < 5; ++i)
        l.Add(i);
    l.Swap(0, 5);
    l.Swap(-1, 1);
    l.RemoveAt(-1);
    l.RemoveAt(5);
    EXPECT_EQ(l.GetAt(5), 0);
    l.GetAt(-2) = 55;
    EXPECT_EQ(l.GetAt(99), 0) << "the placeholder is reset on each bad access";
    EXPECT_EQ(l.walk(), (std::vector<int>{0, 1, 2, 3, 4}));

    // The nodes move, not the values.
    const int* atOne = &l.GetAt(1);
    l.Swap(1, 3);
    EXPECT_EQ(&l.GetAt(3), atOne);
    EXPECT_EQ(l.walk(), (std::vector<int>{0, 3, 2, 1, 4}));

    IntList one;
    one.Add(7);
    one.RemoveAt(0);
    EXPECT_TRUE(one.walk().empty());
    one.Add(8);
    EXPECT_EQ(one.walk(), (std::vector<int>{8}));
}

TEST(List, RandomEditsMatchVector)
{
    std::mt19937 rng(99);
    IntList l;
    std::vector<int> ref;
    for (int step = 0; step < 5000; ++step) {
        int op = static_cast<int>(rng() % 4);
        int n = static_cast<int>(ref.size());
        if (op == 0 || n < 2) {
            l.Add(step);
            ref.push_back(step);
        } else if (op == 1) {
            int i = static_cast<int>(rng() % static_cast<unsigned>(n));
            l.RemoveAt(i);
            ref.erase(ref.begin() + i);
        } else {
            int i = static_cast<int>(rng() % static_cast<unsigned>(n));
            int j = static_cast<int>(rng() % static_cast<unsigned>(n));
            l.Swap(i, j);
            std::swap(ref[static_cast<std::size_t>(i)], ref[static_cast<std::size_t>(j)]);
        }
        if (step % 250 == 0) {
            ASSERT_EQ(l.walk(), ref) << "step " << step;
        }
    }
    EXPECT_EQ(l.walk(), ref);
}

TEST(List, CopiesAreIndependentAndLongListsFreeWithoutDeepRecursion)
{
    List<CString> l;
    l.Add("a");
    l.Add("b");
    List<CString> copy(l);
    copy.GetAt(0) = "changed";
    copy.Add("c");
    EXPECT_EQ(l.GetCount(), 2);
    EXPECT_EQ(l.GetAt(0), CString("a"));
    List<CString> assigned;
    assigned.Add("old");
    assigned = copy;
    List<CString>& alias = assigned;
    assigned = alias;
    ASSERT_EQ(assigned.GetCount(), 3);
    EXPECT_EQ(assigned.GetAt(0), CString("changed"));
    EXPECT_EQ(assigned.GetAt(2), CString("c"));
    List<CString> moved(std::move(assigned));
    EXPECT_EQ(moved.GetCount(), 3);
    EXPECT_EQ(assigned.GetCount(), 0); // NOLINT(bugprone-use-after-move)

    List<int> big;
    for (int round = 0; round < 2; ++round) { // RemoveAll frees the first batch, the destructor the second
        big.RemoveAll();
        for (int i = 0; i < 1000000; ++i)
            big.Add(i);
        EXPECT_EQ(big.GetAt(999999), 999999);
    }
}
