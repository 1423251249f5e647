#pragma once
// Every query recordset by class name, for tools that open one chosen at run
// time (the query command) and for tests that walk them all. Includes all
// recordset headers.

#include <memory>
#include <vector>

#include "batchplant/db/CompositeRecordsets.h"
#include "batchplant/db/Dao.h"
#include "batchplant/db/DaoRecordsetCommon.h"
#include "batchplant/db/EquipmentRecordsets.h"
#include "batchplant/db/StreamRecordsets.h"

namespace batchplant {

// A recordset class by name, and how to create one.
struct RecordsetCatalogEntry {
    const char* name; // the class name, e.g. "CDaoStreamSet"
    std::unique_ptr<CDaoRecordset> (*create)();
};

// The nineteen classes that run a query (not the bases DaoRecordsetCommon and
// CDaoBaseContents), in the order they are described: equipment, plan and
// step queries; stream, utility, vapor and contents queries; composite queries.
const std::vector<RecordsetCatalogEntry>& RecordsetCatalog();

// A new recordset of the class named `name` (case-insensitive), or null.
std::unique_ptr<CDaoRecordset> CreateRecordset(const CString& name);

} // namespace batchplant
