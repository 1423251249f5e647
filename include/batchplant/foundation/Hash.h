#pragma once
// Ordered maps of the library: Hash (unique keys) and MultiHash (repeated
// keys, the most recently added first among equal keys).
//
// Both are top-down red-black trees. Keys are compared only with `==` and
// `<` (the key of the node on the left): a search goes right when the node's
// key is less than the sought key and left otherwise. Every restructuring
// step follows node pointers, never key comparisons, so a key type whose
// comparisons are not a strict weak order (CProcKey is one) still gives a
// well-formed, balanced tree; only the relative order of such keys then
// depends on the order of insertion.
//
// Entries are also reachable by position (0 .. GetCount() - 1, in ascending
// key order) through an index of node pointers that is rebuilt on the first
// positional read after an insertion.
//
// Bad positions: GetAt/GetKeyAt with a position outside 0 .. GetCount() - 1
// return a reference to a default-constructed placeholder entry that belongs
// to the container (reset to its default value on every such call); they
// never touch the tree or memory outside it.

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

namespace batchplant {

// An ordered map with unique keys, also addressed by position (described at
// the top of Hash.h).
template <class K, class V> class Hash {
public:
    // A node of the tree, as derived containers see it in OnNewNode and
    // InsertNode.
    class h_tree {
    public:
        explicit h_tree(const K& k) : key(k), value() {}
        h_tree(const h_tree&) = delete;
        h_tree& operator=(const h_tree&) = delete;
        // Subtrees go first. The tree is balanced, so the recursion depth is
        // logarithmic in the number of entries. Not virtual: nodes are never
        // derived from, and a table pointer would cost every entry 8 bytes
        // (a process unit's node would take the allocator's next size up).
        ~h_tree()
        {
            delete left;
            delete right;
        }

        bool red = false;
        K key;
        V value;
        h_tree* left = nullptr;
        h_tree* right = nullptr;
    };

    Hash() = default;
    Hash(const Hash& other) { cloneFrom(other); }
    Hash(Hash&& other) noexcept { takeFrom(other); }
    Hash& operator=(const Hash& other)
    {
        if (this != &other) {
            RemoveAll();
            cloneFrom(other);
        }
        return *this;
    }
    Hash& operator=(Hash&& other) noexcept
    {
        if (this != &other) {
            RemoveAll();
            takeFrom(other);
        }
        return *this;
    }
    virtual ~Hash() { RemoveAll(); }

    // The value under `key`; a missing key is added with a default value
    // (in a MultiHash every call adds a new entry).
    V& operator[](const K& key)
    {
        h_tree* node = FindNode(key);
        if (!node) node = InsertNode(key, nullptr);
        return node->value;
    }

    // Plain descent, the tree is left as it is.
    bool Contains(const K& key) const { return lookupNode(key) != nullptr; }

    // The value under `key`, or null when there is none; nothing is added.
    V* Lookup(const K& key)
    {
        h_tree* node = lookupNode(key);
        return node ? &node->value : nullptr;
    }
    const V* Lookup(const K& key) const
    {
        const h_tree* node = lookupNode(key);
        return node ? &node->value : nullptr;
    }

    V& GetAt(int i) { return nodeAt(i)->value; }
    const V& GetAt(int i) const { return nodeAt(i)->value; }
    // Keys are read-only: changing one in place would break the tree's order.
    const K& GetKeyAt(int i) const { return nodeAt(i)->key; }

    int GetCount() const { return count; }

    void RemoveAll()
    {
        delete root;
        root = nullptr;
        count = 0;
        indexValid = false;
        greatGrandparent = grandparent = parent = nullptr;
        pathFresh = false;
        std::vector<h_tree*>().swap(index);
    }

    // Diagnostic: the number of nodes on the longest path from the root
    // (0 for an empty hash). A red-black tree keeps it within 2*log2(n+1).
    int GetDepth() const { return depthOf(root); }

protected:
    // Called with every node that InsertNode creates, before it is linked.
    virtual void OnNewNode(h_tree* /*node*/) {}

    // Links `node` (a new one with a default value when null; otherwise a
    // single node without children, which the hash takes over) below the
    // `parent` that the preceding FindNode for the same key recorded. Called
    // without such a FindNode, it searches first; in a Hash an existing entry
    // is then returned and the given node deleted.
    virtual h_tree* InsertNode(const K& key, h_tree* node) { return linkNode(key, node); }

    // Top-down search that splits full nodes on the way down and records the
    // search path; null when no node has an equal key.
    virtual h_tree* FindNode(const K& key) { return descend<true>(key); }

    template <bool StopAtEqual> h_tree* descend(const K& key)
    {
        h_tree* gg = nullptr;
        h_tree* g = nullptr;
        h_tree* p = nullptr;
        h_tree* x = root;
        while (x) {
            h_tree* l = x->left;
            h_tree* r = x->right;
            if (l && r && l->red && r->red) x = split(x, p, g, gg);
            gg = g;
            g = p;
            p = x;
            if constexpr (StopAtEqual) {
                if (x->key == key) break;
            }
            x = (x->key < key) ? x->right : x->left;
        }
        greatGrandparent = gg;
        grandparent = g;
        parent = p;
        pathFresh = (x == nullptr);
        return x;
    }

    h_tree* linkNode(const K& key, h_tree* node)
    {
        if (!node) {
            node = new h_tree(key);
            OnNewNode(node);
        }
        // The recorded path must come from a FindNode that found no entry,
        // with the tree untouched since, and lead to a free slot; otherwise
        // search again, so that no subtree is ever overwritten.
        if (!pathFresh || (root && !freeSlot(key))) {
            if (h_tree* found = FindNode(key)) {
                delete node;
                return found;
            }
        }
        pathFresh = false;
        ++count;
        indexValid = false;
        if (!root) {
            node->red = false;
            root = node;
            return node;
        }
        ((parent->key < key) ? parent->right : parent->left) = node;
        node->red = true;
        if (parent->red) repairRedPair(node, parent, grandparent, greatGrandparent);
        return node;
    }

    int count = 0;
    mutable bool indexValid = false;
    h_tree* root = nullptr;
    h_tree* greatGrandparent = nullptr;
    h_tree* grandparent = nullptr;
    h_tree* parent = nullptr;
    mutable std::vector<h_tree*> index;

private:
    // Colour flip of `x` (both children red), with p, g, gg its parent,
    // grandparent and great-grandparent. Returns the node from which the
    // descent goes on; p, g, gg are updated to that node's ancestors as far as
    // they are needed below it.
    h_tree* split(h_tree* x, h_tree*& p, h_tree*& g, h_tree*& gg)
    {
        x->left->red = false;
        x->right->red = false;
        if (x == root) return x;
        x->red = true;
        if (!p->red) return x;
        h_tree* top = repairRedPair(x, p, g, gg);
        if (top == p) {
            // Single rotation: x keeps its parent, whose parent is now gg.
            g = gg;
            gg = nullptr;
        } else {
            // Double rotation: x took g's place below gg. x is black, so no
            // later rotation needs the ancestors above gg.
            p = gg;
            g = nullptr;
            gg = nullptr;
        }
        return x;
    }

    // Repairs a red `x` below a red parent `p`: rotates around the
    // grandparent `g` and links the result below `gg` (or makes it the root).
    // Returns the new top of the rotated subtree, which ends up black.
    h_tree* repairRedPair(h_tree* x, h_tree* p, h_tree* g, h_tree* gg)
    {
        // A red parent is never the root, so g exists.
        const bool pLeft = (g->left == p);
        const bool xLeft = (p->left == x);
        h_tree* top;
        if (pLeft == xLeft) {
            top = rotate(g, p);
        } else {
            (pLeft ? g->left : g->right) = rotate(p, x);
            top = rotate(g, x);
        }
        top->red = false;
        g->red = true;
        replaceChild(gg, g, top);
        return top;
    }

    // Lifts `child` above `node`; returns `child`. The caller relinks it.
    static h_tree* rotate(h_tree* node, h_tree* child)
    {
        if (node->left == child) {
            node->left = child->right;
            child->right = node;
        } else {
            node->right = child->left;
            child->left = node;
        }
        return child;
    }

    void replaceChild(h_tree* above, h_tree* oldChild, h_tree* newChild)
    {
        if (!above)
            root = newChild;
        else if (above->left == oldChild)
            above->left = newChild;
        else
            above->right = newChild;
    }

    bool freeSlot(const K& key) const
    {
        return parent && ((parent->key < key) ? parent->right : parent->left) == nullptr;
    }

    h_tree* lookupNode(const K& key) const
    {
        h_tree* x = root;
        while (x && !(x->key == key))
            x = (x->key < key) ? x->right : x->left;
        return x;
    }

    h_tree* nodeAt(int i) const
    {
        if (i < 0 || i >= count) return placeholderNode();
        if (!indexValid) rebuildIndex();
        // The walk finds `count` nodes; the check keeps a bad position
        // harmless even if a derived class broke that.
        if (static_cast<std::size_t>(i) >= index.size()) return placeholderNode();
        return index[static_cast<std::size_t>(i)];
    }

    void rebuildIndex() const
    {
        index.clear();
        index.reserve(static_cast<std::size_t>(count));
        // In-order walk with an explicit stack (the depth is logarithmic).
        std::vector<h_tree*> stack;
        h_tree* x = root;
        while (x || !stack.empty()) {
            while (x) {
                stack.push_back(x);
                x = x->left;
            }
            x = stack.back();
            stack.pop_back();
            index.push_back(x);
            x = x->right;
        }
        indexValid = true;
    }

    h_tree* placeholderNode() const
    {
        if (!placeholder) {
            placeholder = std::make_unique<h_tree>(K{});
        } else {
            placeholder->key = K{};
            placeholder->value = V{};
        }
        return placeholder.get();
    }

    static int depthOf(const h_tree* x)
    {
        if (!x) return 0;
        int l = depthOf(x->left);
        int r = depthOf(x->right);
        return 1 + (l > r ? l : r);
    }

    // Copies the source's tree node for node (same shape and colours), so the
    // copy has exactly the source's entries in the source's order, repeated
    // keys of a MultiHash included. Each new node goes through OnNewNode and
    // then takes the source's value.
    void cloneFrom(const Hash& other)
    {
        root = cloneTree(other.root);
        count = other.count;
    }

    h_tree* cloneTree(const h_tree* src)
    {
        if (!src) return nullptr;
        std::unique_ptr<h_tree> node = std::make_unique<h_tree>(src->key);
        OnNewNode(node.get());
        node->red = src->red;
        node->value = src->value;
        node->left = cloneTree(src->left);
        node->right = cloneTree(src->right);
        return node.release();
    }

    void takeFrom(Hash& other) noexcept
    {
        root = std::exchange(other.root, nullptr);
        count = std::exchange(other.count, 0);
        index = std::move(other.index);
        indexValid = std::exchange(other.indexValid, false);
        other.index.clear();
        greatGrandparent = grandparent = parent = nullptr;
        other.greatGrandparent = other.grandparent = other.parent = nullptr;
        pathFresh = other.pathFresh = false;
    }

    // Set by a FindNode that ended without a match, cleared by everything
    // that changes the tree or drops the path.
    bool pathFresh = false;
    mutable std::unique_ptr<h_tree> placeholder;
};

// Repeated keys: operator[] always adds a new entry, and among equal keys the
// one added last comes first in position order.
template <class K, class V> class MultiHash : public Hash<K, V> {
public:
    using typename Hash<K, V>::h_tree;

protected:
    // Links right of a parent whose key is less, left otherwise (equal too).
    h_tree* InsertNode(const K& key, h_tree* node) override { return this->linkNode(key, node); }
    // Never stops at an equal key, so it always ends with null.
    h_tree* FindNode(const K& key) override { return this->template descend<false>(key); }
};

} // namespace batchplant
