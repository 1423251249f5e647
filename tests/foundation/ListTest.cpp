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

template <class T> struct ListProbe : List<T> {
    using Node = typename List<T>::l_list;
    const Node* Head() const { return this->head; }
    const Node* Tail() const { return this->tail; }

    // The values walking forward from head, after checking that walking back
    // from tail visits the same nodes.
    std::vector<T> walk() const
    {
        // Bounded, so that a link cycle fails the test instead of hanging it.
        const std::size_t limit = static_cast<std::size_t>(this->GetCount()) + 1;
        std::vector<const Node*> forward;
        for (const Node* n = this->head; n && forward.size() <= limit; n = n->next)
            forward.push_back(n);
        std::vector<const Node*> backward;
        for (const Node* n = this->tail; n && backward.size() <= limit; n = n->prev)
            backward.push_back(n);
        std::reverse(backward.begin(), backward.end());
        EXPECT_EQ(forward, backward) << "next and prev links disagree";
        EXPECT_EQ(static_cast<int>(forward.size()), this->GetCount());
        std::vector<T> values;
        for (const Node* n : forward)
            values.push_back(n->value);
        return values;
    }
    std::vector<T> byPosition()
    {
        std::vector<T> values;
        for (int i = 0; i < this->GetCount(); ++i)
            values.push_back(this->GetAt(i));
        return values;
    }
};

using IntList = ListProbe<int>;

void fill(IntList& l, int n)
{
    for (int i = 0; i < n; ++i)
        l.Add(i);
}

} // namespace

TEST(List, RemovingTheOnlyElementEmptiesTheList)
{
    IntList l;
    l.Add(7);
    l.RemoveAt(0);
    EXPECT_EQ(l.GetCount(), 0);
    EXPECT_EQ(l.Head(), nullptr);
    EXPECT_EQ(l.Tail(), nullptr);
    l.Add(8);
    EXPECT_EQ(l.walk(), (std::vector<int>{8}));
}

TEST(List, BadPositionsChangeNothing)
{
    IntList l;
    fill(l, 3);
    l.RemoveAt(-1);
    l.RemoveAt(3);
    l.Swap(0, 3);
    l.Swap(-1, 1);
    EXPECT_EQ(l.walk(), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(l.GetAt(3), 0);
    l.GetAt(-2) = 55;
    EXPECT_EQ(l.GetAt(99), 0) << "the placeholder is reset on each bad access";
    EXPECT_EQ(l.byPosition(), (std::vector<int>{0, 1, 2}));
    List<CString> empty;
    EXPECT_TRUE(empty.GetAt(0).IsEmpty());
    empty.RemoveAt(0);
    EXPECT_EQ(empty.GetCount(), 0);
}

TEST(List, SwapRelinksNodesWithoutCopyingValues)
{
    IntList l;
    fill(l, 5);
    const int* atOne = &l.GetAt(1);
    const int* atThree = &l.GetAt(3);
    l.Swap(1, 3);
    EXPECT_EQ(&l.GetAt(3), atOne);
    EXPECT_EQ(&l.GetAt(1), atThree);
    EXPECT_EQ(l.walk(), (std::vector<int>{0, 3, 2, 1, 4}));

    // Neighbours in both argument orders and the two ends are covered by the
    // random edits below; here only that the nodes, not the values, move.
    IntList two;
    fill(two, 2);
    two.Swap(1, 0);
    EXPECT_EQ(two.walk(), (std::vector<int>{1, 0}));
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
    EXPECT_EQ(l.byPosition(), ref);
    EXPECT_EQ(l.walk(), ref);
}

TEST(List, CopiesAreIndependent)
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
    ASSERT_EQ(assigned.GetCount(), 3);
    EXPECT_EQ(assigned.GetAt(0), CString("changed"));
    EXPECT_EQ(assigned.GetAt(2), CString("c"));

    List<CString>& alias = assigned;
    assigned = alias;
    EXPECT_EQ(assigned.GetCount(), 3);

    List<CString> moved(std::move(assigned));
    EXPECT_EQ(moved.GetCount(), 3);
    EXPECT_EQ(assigned.GetCount(), 0); // NOLINT(bugprone-use-after-move)
    assigned.Add("again");
    EXPECT_EQ(assigned.GetAt(0), CString("again"));
}

TEST(List, VeryLongListIsFreedWithoutDeepRecursion)
{
    List<int> l;
    for (int i = 0; i < 1000000; ++i)
        l.Add(i);
    EXPECT_EQ(l.GetAt(999999), 999999);
    l.RemoveAll();
    EXPECT_EQ(l.GetCount(), 0);
    for (int i = 0; i < 1000000; ++i)
        l.Add(i);
    // The destructor frees this second batch.
}
