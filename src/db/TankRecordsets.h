#pragma once
// The equipment contents rows the buffer tank profiles read: those of the
// equipment that has composite contents, and nothing of the other vessels.

#include "batchplant/db/EquipmentRecordsets.h"

namespace batchplant {

// The contents query narrowed to the equipment named in CompositeContents:
// for that equipment the same rows, in the same order, as the full query
// gives, without walking (and de-duplicating) every other vessel's rows.
class TankEquipmentContents : public CDaoEquipmentContents {
public:
    using CDaoEquipmentContents::CDaoEquipmentContents;

    CString GetDefaultSQL() override;
};

} // namespace batchplant
