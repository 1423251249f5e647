#pragma once
// One entry of a composite profile, and the three operations that build a
// profile (a Hash keyed by simulated time in whole seconds):
//
// - AddInterval(t0, t1, v): the rate v applies on [t0, t1). Entries are
//   made at t0 and t1 (each a copy of the latest entry before it, all zero
//   when there is none) and v is added to every entry from t0 up to but not
//   including t1, so the entry at t1 keeps what applied there before. With
//   t0 not less than t1 the profile is left as it is.
// - AddLevel(t0, t1, v): an amount present at t1. When t1 > t0 an entry is
//   made at t0 if absent (a copy of the latest entry before it, or zero) and
//   v is added to the entry at t1 (made zero if absent). Otherwise the entry
//   at t1 becomes v unless it already exists.
// - SetPoint(t0, t1, v): a value at t1. t1 == 0 sets the entry at 0. With
//   t0 < t1 an entry is made at t0 from the latest one before it (when there
//   is one) and the entry at t1 becomes v. Otherwise nothing happens.
//
// ProfileBuilder applies a whole run of them in about n log n: interval
// additions are gathered and laid onto the entries in one sweep (a segment
// tree over the entry times) the next time the entries are needed, so long
// overlapping intervals do not cost a pass each. The entries are a sorted
// array while the times come in order or close to it, as a query's rows
// do; a time that lands far behind the latest moves them to a tree.

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <map>
#include <utility>
#include <vector>

#include "batchplant/foundation/Hash.h"

namespace batchplant {

// One profile entry. Adding entries adds every field; the 16-bit fields wrap.
struct CompVals {
    short batch = 0;
    short operators = 0;
    double mass = 0.0;
    double volume = 0.0;
    double moles = 0.0;
    double duty = 0.0;

    CompVals& operator+=(const CompVals& o)
    {
        batch = static_cast<short>(batch + o.batch);
        operators = static_cast<short>(operators + o.operators);
        mass += o.mass;
        volume += o.volume;
        moles += o.moles;
        duty += o.duty;
        return *this;
    }
    friend CompVals operator+(CompVals a, const CompVals& b) { return a += b; }
    friend bool operator==(const CompVals&, const CompVals&) = default;
};

namespace detail {

// Entries keyed by time, in time order. Appending and changing the latest
// entries is what building a profile from ordered rows does, and a sorted
// array does it without a node allocation and a tree descent per entry; an
// insertion further back than a few entries moves everything to a map, so
// that rows in any order cost no more than a tree.
template <class E> class TimeEntries {
public:
    // The entry at t, or nullptr; `before` is set to the latest entry before
    // t, or nullptr when there is none.
    E* find(long t, const E** before = nullptr)
    {
        if (!tree.empty()) {
            auto at = tree.lower_bound(t);
            if (before) *before = at == tree.begin() ? nullptr : &std::prev(at)->second;
            return at != tree.end() && at->first == t ? &at->second : nullptr;
        }
        auto at = lowerBound(t);
        if (before) *before = at == flat.begin() ? nullptr : &std::prev(at)->second;
        return at != flat.end() && at->first == t ? &at->second : nullptr;
    }

    // Inserts an entry at t, which must be absent.
    E& insert(long t, const E& e)
    {
        if (!tree.empty()) return tree.emplace(t, e).first->second;
        if (flat.empty() || flat.back().first < t) return flat.emplace_back(t, e).second;
        auto at = lowerBound(t);
        if (flat.end() - at <= kNearEnd) return flat.emplace(at, t, e)->second;
        tree.insert(flat.begin(), flat.end());
        std::vector<std::pair<long, E>>().swap(flat);
        return tree.emplace(t, e).first->second;
    }

    E& operator[](long t)
    {
        E* e = find(t);
        return e ? *e : insert(t, E{});
    }

    // f(time, entry) over every entry in time order.
    template <class F> void forEach(F&& f) { visit(*this, f); }
    template <class F> void forEach(F&& f) const { visit(*this, f); }

    // Moves the entries out in time order, leaving none.
    std::vector<std::pair<long, E>> take()
    {
        std::vector<std::pair<long, E>> out;
        if (tree.empty()) {
            out.swap(flat);
        } else {
            out.reserve(tree.size());
            for (const auto& [t, e] : tree)
                out.emplace_back(t, e);
            tree.clear();
        }
        return out;
    }

    // Replaces the entries with `sorted`, in strictly increasing time.
    void assign(std::vector<std::pair<long, E>>&& sorted)
    {
        tree.clear();
        flat = std::move(sorted);
    }

    std::size_t size() const { return tree.empty() ? flat.size() : tree.size(); }
    bool empty() const { return size() == 0; }
    // Gives the memory back: a builder is cleared once its profile is stored.
    void clear()
    {
        std::vector<std::pair<long, E>>().swap(flat);
        tree.clear();
    }

private:
    static constexpr std::ptrdiff_t kNearEnd = 32;

    typename std::vector<std::pair<long, E>>::iterator lowerBound(long t)
    {
        // Most searches are for one of the latest few times: look there
        // before bisecting the rest.
        auto at = flat.end();
        for (int k = 0; k < 4 && at != flat.begin(); ++k) {
            if (std::prev(at)->first < t) return at;
            --at;
        }
        return std::lower_bound(flat.begin(), at, t,
                                [](const std::pair<long, E>& p, long key) { return p.first < key; });
    }

    template <class Self, class F> static void visit(Self& self, F& f)
    {
        if (!self.tree.empty())
            for (auto& [t, e] : self.tree)
                f(t, e);
        else
            for (auto& [t, e] : self.flat)
                f(t, e);
    }

    std::vector<std::pair<long, E>> flat; // used while `tree` is empty
    std::map<long, E> tree;
};

} // namespace detail

// Builds a profile from a run of the three operations; Store writes the
// result into a Hash. See the top of this file.
template <class V> class ProfileBuilder {
public:
    // Starts from the entries of `h` (replacing what the builder held).
    void Load(const Hash<long, V>& h)
    {
        Clear();
        std::vector<std::pair<long, Entry>> sorted;
        sorted.reserve(static_cast<std::size_t>(h.GetCount()));
        for (int i = 0; i < h.GetCount(); ++i)
            sorted.emplace_back(h.GetKeyAt(i), Entry{h.GetAt(i), false});
        points.assign(std::move(sorted));
    }

    void Clear()
    {
        points.clear();
        pending.clear();
    }

    bool IsEmpty() const { return points.empty() && pending.empty(); }

    void AddInterval(long t0, long t1, const V& v)
    {
        if (t0 < t1) pending.push_back(Pending{t0, t1, v});
    }

    void AddLevel(long t0, long t1, const V& v)
    {
        flush();
        if (t1 > t0) {
            ensureEntry(t0, true);
            Entry& e = points[t1];
            e.value += v;
            e.dirty = true;
        } else if (!points.find(t1)) {
            points.insert(t1, Entry{v, true});
        }
    }

    void SetPoint(long t0, long t1, const V& v)
    {
        flush();
        if (t1 == 0) {
            points[0] = Entry{v, true};
        } else if (t0 < t1) {
            ensureEntry(t0, false);
            points[t1] = Entry{v, true};
        }
    }

    // Writes every entry made or changed since the last Load or Store into
    // `h`; entries of `h` that the builder did not touch are left alone.
    void Store(Hash<long, V>& h)
    {
        flush();
        points.forEach([&h](long t, Entry& e) {
            if (!e.dirty) return;
            h[t] = e.value;
            e.dirty = false;
        });
    }

    // Store, then Clear. When the builder holds nothing but intervals (the
    // rate profiles, built from an empty profile) their sums go straight
    // into `h` without being kept as entries first.
    void StoreAndClear(Hash<long, V>& h)
    {
        if (points.empty() && !pending.empty()) {
            const Sweep s = sweep();
            const std::size_t n = s.times.size();
            for (std::size_t i = 0; i < n; ++i) {
                V value{};
                if (s.covered[n + i]) value += s.tag[n + i];
                h[s.times[i]] = value;
            }
        } else {
            Store(h);
        }
        Clear();
    }

    // The entries as they stand, in time order.
    std::vector<std::pair<long, V>> Entries()
    {
        flush();
        std::vector<std::pair<long, V>> out;
        out.reserve(points.size());
        points.forEach([&out](long t, const Entry& e) { out.emplace_back(t, e.value); });
        return out;
    }

private:
    struct Entry {
        V value{};
        bool dirty = false;
    };
    struct Pending {
        long t0;
        long t1;
        V v;
    };

    void ensureEntry(long t, bool zeroWhenFirst)
    {
        const Entry* before = nullptr;
        if (points.find(t, &before)) return;
        if (before) {
            const V copy = before->value; // the insertion may move it
            points.insert(t, Entry{copy, true});
        } else if (zeroWhenFirst) {
            points.insert(t, Entry{V{}, true});
        }
    }

    // Lays the gathered intervals onto the entries. Every interval end
    // becomes an entry holding what applied there before (the step value of
    // the existing entries); then each entry gets the sum of the intervals
    // that cover it, from a range-add segment tree over the sorted times.
    void flush()
    {
        if (pending.empty()) return;
        const Sweep s = sweep();
        const std::size_t n = s.times.size();
        std::vector<std::pair<long, Entry>> merged;
        merged.reserve(n);
        const std::vector<std::pair<long, Entry>> old = points.take();
        std::size_t j = 0;
        V step{}; // step value of the existing entries at the current time
        for (std::size_t i = 0; i < n; ++i) {
            const long t = s.times[i];
            Entry e;
            if (j < old.size() && old[j].first == t) {
                e = old[j].second;
                step = e.value;
                ++j;
            } else {
                e = Entry{step, true};
            }
            if (s.covered[n + i]) {
                e.value += s.tag[n + i];
                e.dirty = true;
            }
            merged.emplace_back(t, e);
        }
        points.assign(std::move(merged));
        pending.clear();
    }

    // The sorted times of the entries and of the pending interval ends, and
    // for each the sum of the pending intervals that cover it: times[i] is
    // covered when covered[n + i] is set, and its sum is tag[n + i].
    struct Sweep {
        std::vector<long> times;
        std::vector<V> tag;
        std::vector<unsigned char> covered;
    };
    Sweep sweep() const
    {
        Sweep s;
        std::vector<long>& times = s.times;
        std::vector<V>& tag = s.tag;
        std::vector<unsigned char>& covered = s.covered;
        times.reserve(points.size() + 2 * pending.size());
        points.forEach([&times](long t, const Entry&) { times.push_back(t); });
        for (const Pending& p : pending) {
            times.push_back(p.t0);
            times.push_back(p.t1);
        }
        std::sort(times.begin(), times.end());
        times.erase(std::unique(times.begin(), times.end()), times.end());

        const std::size_t n = times.size();
        tag.assign(2 * n, V{});
        covered.assign(2 * n, 0);
        auto pos = [&](long t) {
            return static_cast<std::size_t>(std::lower_bound(times.begin(), times.end(), t) - times.begin());
        };
        for (const Pending& p : pending) {
            for (std::size_t l = pos(p.t0) + n, r = pos(p.t1) + n; l < r; l >>= 1, r >>= 1) {
                if (l & 1) {
                    tag[l] += p.v;
                    covered[l] = 1;
                    ++l;
                }
                if (r & 1) {
                    --r;
                    tag[r] += p.v;
                    covered[r] = 1;
                }
            }
        }
        for (std::size_t i = 1; i < n; ++i) {
            if (!covered[i]) continue;
            for (std::size_t c = 2 * i; c <= 2 * i + 1; ++c) {
                tag[c] += tag[i];
                covered[c] = 1;
            }
        }
        return s;
    }

    detail::TimeEntries<Entry> points;
    std::vector<Pending> pending;
};

} // namespace batchplant
