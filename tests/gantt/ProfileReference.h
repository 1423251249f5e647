#pragma once
// The profile operations on a Hash directly, one pass each: the obvious reference for ProfileBuilder
// (which may sum the rates covering an entry in another order: rounding only).

#include "batchplant/foundation/Hash.h"

namespace batchplant::reference {

namespace detail {
// Position of the last key below `t`, or -1.
template <class V> int LastKeyBefore(const Hash<long, V>& h, long t)
{
    int i = -1;
    while (i + 1 < h.GetCount() && h.GetKeyAt(i + 1) < t)
        ++i;
    return i;
}

// Makes an entry at t when there is none: a copy of the latest entry before t, or zero if `zeroWhenFirst`.
template <class V> void EnsureEntry(Hash<long, V>& h, long t, bool zeroWhenFirst)
{
    const int before = h.Contains(t) ? -2 : LastKeyBefore(h, t);
    if (before == -2 || (before < 0 && !zeroWhenFirst)) return;
    const V value = before >= 0 ? h.GetAt(before) : V{}; // copied before h[t] may move the entries
    h[t] = value;
}
} // namespace detail

template <class V> void AddInterval(Hash<long, V>& h, long t0, long t1, const V& v)
{
    if (!(t0 < t1)) return;
    detail::EnsureEntry(h, t0, true);
    detail::EnsureEntry(h, t1, true);
    for (int i = detail::LastKeyBefore(h, t0) + 1; i < h.GetCount() && h.GetKeyAt(i) < t1; ++i)
        h.GetAt(i) += v;
}

template <class V> void AddLevel(Hash<long, V>& h, long t0, long t1, const V& v)
{
    if (t1 > t0) {
        detail::EnsureEntry(h, t0, true);
        h[t1] += v;
    } else if (!h.Contains(t1)) {
        h[t1] = v;
    }
}

template <class V> void SetPoint(Hash<long, V>& h, long t0, long t1, const V& v)
{
    if (t1 == 0) {
        h[0] = v;
    } else if (t0 < t1) {
        detail::EnsureEntry(h, t0, false);
        h[t1] = v;
    }
}

} // namespace batchplant::reference
