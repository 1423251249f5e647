#pragma once
// Pieces shared by the loaders of the 3-D view and of the schedule view.

#include "batchplant/db/Dao.h"
#include "batchplant/foundation/List.h"

namespace batchplant {

class CDaoEquipConts;
class Vessel;

namespace detail {

// An equipment identifier column that is 0 or null names no vessel (-1).
inline long EquipmentEnd(const CDaoRecordset& rs, const long& column)
{
    return (column == 0 || rs.IsFieldNull(&column)) ? -1L : column;
}

// Walks the vessels' own operations from the current row to the end and
// gives each row to every vessel with the row's equipment identifier, in
// list order; buffer tanks are left out when `skipBufferTanks`.
void GiveOperationsToVessels(const List<Vessel*>& vessels, CDaoEquipConts& ops, bool skipBufferTanks);

// Whether a class text names a buffer tank (exact, case-sensitive).
bool IsBufferTankClass(const CString& cls);

} // namespace detail
} // namespace batchplant
