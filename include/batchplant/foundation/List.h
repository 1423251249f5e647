#pragma once
// Doubly linked list with positional access in insertion order. Positions are
// served by an index of node pointers, rebuilt on the first positional access
// after the list changed.
//
// Bad positions (outside 0 .. GetCount() - 1): GetAt returns a reference to a
// default-constructed placeholder element that belongs to the list (reset to
// its default value on every such call); RemoveAt and Swap do nothing.
//
// Pointer elements (List<Vessel*> and the like) are not owned: removing an
// element or clearing the list never deletes what it points to.

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

namespace batchplant {

// A doubly linked list of T in insertion order, also addressed by position
// (described at the top of List.h).
template <class T> class List {
public:
    // A node of the list.
    class l_list {
    public:
        explicit l_list(const T& v) : value(v) {}
        l_list(const l_list&) = delete;
        l_list& operator=(const l_list&) = delete;
        // Deletes only this node: the list frees its nodes one by one, so a
        // long list never recurses.
        virtual ~l_list() = default;

        T value;
        l_list* next = nullptr;
        l_list* prev = nullptr;
    };

    List() = default;
    List(const List& other)
    {
        for (const l_list* n = other.head; n; n = n->next)
            Add(n->value);
    }
    List(List&& other) noexcept { takeFrom(other); }
    List& operator=(const List& other)
    {
        if (this != &other) {
            List copy(other);
            RemoveAll();
            takeFrom(copy);
        }
        return *this;
    }
    List& operator=(List&& other) noexcept
    {
        if (this != &other) {
            RemoveAll();
            takeFrom(other);
        }
        return *this;
    }
    ~List() { RemoveAll(); }

    void Add(const T& value)
    {
        l_list* node = new l_list(value);
        node->prev = tail;
        if (tail)
            tail->next = node;
        else
            head = node;
        tail = node;
        ++count;
        indexValid = false;
    }

    T& GetAt(int i) { return valueAt(i); }
    const T& GetAt(int i) const { return valueAt(i); }

    int GetCount() const { return count; }

    void RemoveAt(int i)
    {
        l_list* node = nodeAt(i);
        if (!node) return;
        if (node->prev)
            node->prev->next = node->next;
        else
            head = node->next;
        if (node->next)
            node->next->prev = node->prev;
        else
            tail = node->prev;
        delete node;
        --count;
        indexValid = false;
    }

    // Exchanges the positions of elements i and j by relinking their nodes;
    // the values themselves are not copied.
    void Swap(int i, int j)
    {
        if (i == j) return;
        l_list* a = nodeAt(i);
        l_list* b = nodeAt(j);
        if (!a || !b) return;
        std::swap(a->prev, b->prev);
        std::swap(a->next, b->next);
        // Neighbouring nodes now point at themselves; point them at each other.
        if (a->prev == a) a->prev = b;
        if (a->next == a) a->next = b;
        if (b->prev == b) b->prev = a;
        if (b->next == b) b->next = a;
        relinkNeighbours(a);
        relinkNeighbours(b);
        std::swap(index[static_cast<std::size_t>(i)], index[static_cast<std::size_t>(j)]);
    }

    void RemoveAll()
    {
        std::vector<l_list*>().swap(index);
        indexValid = false;
        l_list* n = head;
        while (n) {
            l_list* next = n->next;
            delete n;
            n = next;
        }
        head = tail = nullptr;
        count = 0;
    }

private:
    l_list* nodeAt(int i) const
    {
        if (i < 0 || i >= count) return nullptr;
        if (!indexValid) rebuildIndex();
        return index[static_cast<std::size_t>(i)];
    }

    T& valueAt(int i) const
    {
        if (l_list* node = nodeAt(i)) return node->value;
        if (!placeholder)
            placeholder = std::make_unique<T>();
        else
            *placeholder = T();
        return *placeholder;
    }

    void rebuildIndex() const
    {
        index.clear();
        index.reserve(static_cast<std::size_t>(count));
        for (l_list* n = head; n; n = n->next)
            index.push_back(n);
        indexValid = true;
    }

    void relinkNeighbours(l_list* n)
    {
        if (n->prev)
            n->prev->next = n;
        else
            head = n;
        if (n->next)
            n->next->prev = n;
        else
            tail = n;
    }

    void takeFrom(List& other) noexcept
    {
        count = std::exchange(other.count, 0);
        indexValid = std::exchange(other.indexValid, false);
        head = std::exchange(other.head, nullptr);
        tail = std::exchange(other.tail, nullptr);
        index = std::move(other.index);
        other.index.clear();
    }

protected:
    int count = 0;
    mutable bool indexValid = false;
    l_list* head = nullptr;
    l_list* tail = nullptr;
    mutable std::vector<l_list*> index;

private:
    mutable std::unique_ptr<T> placeholder;
};

} // namespace batchplant
