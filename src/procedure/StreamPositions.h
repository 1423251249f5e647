#pragma once
// Stream id -> the lowest position of a unit of a procedure with that id.
// One sorted array rather than a hash map: a large run gives a node (an
// allocation, and a cache miss on every look-up) per unit of every stream.

#include <algorithm>
#include <utility>
#include <vector>

#include "batchplant/procedure/CProcedure.h"

namespace batchplant::detail {

class StreamPositions {
public:
    explicit StreamPositions(const CProcedure& proc)
    {
        ids.reserve(static_cast<std::size_t>(proc.GetNumProcs()));
        for (int i = 0; i < proc.GetNumProcs(); ++i)
            ids.emplace_back(proc.GetProcUnit(i).GetStreamID(), i);
        // Pairs sort by id, then by position: the first of equal ids is the lowest.
        std::sort(ids.begin(), ids.end());
        ids.erase(std::unique(ids.begin(), ids.end(), [](const auto& a, const auto& b) { return a.first == b.first; }),
                  ids.end());
    }

    // The position, or -1 when no unit has the id.
    int Find(long streamID) const
    {
        const auto at = std::lower_bound(ids.begin(), ids.end(), streamID,
                                         [](const std::pair<long, int>& e, long id) { return e.first < id; });
        return at != ids.end() && at->first == streamID ? at->second : -1;
    }

private:
    std::vector<std::pair<long, int>> ids;
};

} // namespace batchplant::detail
