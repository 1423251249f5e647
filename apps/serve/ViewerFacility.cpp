#include "ViewerFacility.h"
#include "render/Load.h"

#include "batchplant/db/Dao.h"
#include "batchplant/foundation/CFacilityAbort.h"
#include "batchplant/foundation/Keys.h"

namespace batchplant::serve {

void ViewerVessel::SetPropertiesByTime(long t)
{
    Vessel::SetPropertiesByTime(t);
    // The base vessel leaves the contents colour to its host; the viewer
    // shows the batch that runs now.
    set_conts_color();
}

Vessel* ViewerFacility::addVessel(const CString&) { return new ViewerVessel(); }

Stream* ViewerFacility::addStream() { return new ViewerStream(); }

void ViewerFacility::ShowClockTime()
{
    const long t = GetAnimationTime();
    for (int i = 0; i < GetNumVessels(); ++i)
        if (Vessel* v = GetVesselByIndex(i)) v->SetPropertiesByTime(t);
    // Stream times are held in 32 bits, as every operation time is.
    setStreamTimes(detail::clampToInt32(t));
}

std::unique_ptr<ViewerFacility> ViewerFacility::Load(const std::string& path, std::string& error)
{
    if (const std::string why = cli::WhyNotResults(path); !why.empty()) {
        error = "cannot open " + path + ": " + why;
        return nullptr;
    }
    auto facility = std::make_unique<ViewerFacility>();
    try {
        CDaoDatabase db;
        db.Open(CString(path), false, true);
        facility->ReadVisioDatabase(&db);
    } catch (const CDaoException& e) {
        error = "cannot read " + path + ": " + e.GetDescription().str();
        return nullptr;
    } catch (const CFacilityAbort&) {
        error = path + " has no process steps; there is no run to show";
        return nullptr;
    }
    facility->LayOutAllFloors(0);
    facility->InitAnim(Facility::Forward);
    facility->SetAnimationTime(0);
    return facility;
}

} // namespace batchplant::serve
