#include "db/RecordsetCatalog.h"

namespace batchplant {

namespace {
template <typename T> std::unique_ptr<CDaoRecordset> make() { return std::make_unique<T>(); }
} // namespace

const std::vector<RecordsetCatalogEntry>& RecordsetCatalog()
{
    static const std::vector<RecordsetCatalogEntry> entries = {
        {"CDaoEquipmentSet", &make<CDaoEquipmentSet>},
        {"CDaoPlanSummary", &make<CDaoPlanSummary>},
        {"CDaoStepSummary", &make<CDaoStepSummary>},
        {"CDaoEquipConts", &make<CDaoEquipConts>},
        {"CDaoEquipmentContents", &make<CDaoEquipmentContents>},
        {"CDaoEquipmentProperties", &make<CDaoEquipmentProperties>},
        {"CDaoPhaseComponents", &make<CDaoPhaseComponents>},
        {"CDaoThermodynamicPhase", &make<CDaoThermodynamicPhase>},
        {"CDaoStreamSet", &make<CDaoStreamSet>},
        {"CDaoUtilitySummary", &make<CDaoUtilitySummary>},
        {"CDaoVaporSummary", &make<CDaoVaporSummary>},
        {"CDaoStreamContents", &make<CDaoStreamContents>},
        {"CDaoUtilityContents", &make<CDaoUtilityContents>},
        {"CDaoVaporContents", &make<CDaoVaporContents>},
        {"CDaoBufferTankContents", &make<CDaoBufferTankContents>},
        {"CDaoCompositeStream", &make<CDaoCompositeStream>},
        {"CDaoCompVapor", &make<CDaoCompVapor>},
        {"CDaoCompositeLabor", &make<CDaoCompositeLabor>},
        {"DaoUtilityComposite", &make<DaoUtilityComposite>},
    };
    return entries;
}

std::unique_ptr<CDaoRecordset> CreateRecordset(const CString& name)
{
    for (const RecordsetCatalogEntry& e : RecordsetCatalog())
        if (name.CompareNoCase(CString(e.name)) == 0) return e.create();
    return nullptr;
}

} // namespace batchplant
