#pragma once
// The equipment contents rows the buffer tank profiles read: those of the
// equipment that has composite contents, and nothing of the other vessels.

#include "batchplant/db/EquipmentRecordsets.h"

namespace batchplant {

// The contents query narrowed to the equipment named in CompositeContents
// and to the columns the tank profiles read (batch, material, capacity,
// operation times): for that equipment the same values, in the same order
// of start times, as the full query gives, without walking every other
// vessel's rows or every phase and component of the tanks' own. The other
// members keep their defaults.
class TankEquipmentContents : public CDaoEquipmentContents {
public:
    explicit TankEquipmentContents(CDaoDatabase* pDatabase = nullptr);

    CString GetDefaultSQL() override;
    void DoFieldExchange(CDaoFieldExchange* pFX) override;
};

} // namespace batchplant
