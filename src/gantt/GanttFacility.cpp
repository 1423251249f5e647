// The facility of the Gantt chart: loading the schedule-relevant part of a
// results database and answering the chart's schedule questions.

#include "batchplant/gantt/GanttFacility.h"

#include <cstdint>
#include <utility>

#include "batchplant/calendar/Calendar.h"
#include "batchplant/db/Dao.h"
#include "batchplant/gantt/Composite.h"
#include "batchplant/model/Vessel.h"
#include "batchplant/procedure/CProcUnit.h"
#include "batchplant/procedure/CProcedure.h"

namespace batchplant {

GanttFacility::GanttFacility() = default;

GanttFacility::GanttFacility(CDocument* doc) { SetDocument(doc); }

// Out of line: the profiles' type is complete only here.
GanttFacility::~GanttFacility() = default;

void GanttFacility::init() { deallocate(); }

void GanttFacility::deallocate()
{
    for (std::unique_ptr<CompositeStream>& entry : compStreams)
        entry.reset();
}

bool GanttFacility::ReadGanttDatabase(const CString& path)
{
    // Refused before the file is touched; the path stays as it was.
    if (holdsLoadedModel(true)) return false;
    CDaoDatabase db;
    try {
        // Loading never writes the results database.
        db.Open(path, false, true);
        ReadGanttDatabase(&db);
        db.Close();
    } catch (const CDaoException&) {
        // Nothing is shown; what was loaded before the error stays.
        db.Close();
        return false;
    }
    // Kept only for a database that loaded: the composite profiles are read
    // from it later.
    databasePath = path;
    return true;
}

void GanttFacility::ReadGanttDatabase(CDaoDatabase* db)
{
    if (!db) return;
    if (holdsLoadedModel(true)) return;
    // Unlike the 3-D load, the loaded-from-database flag stays unset, so the
    // floors created here mark the facility modified.
    const TextPool::Scope names;
    loadPlanSummary(db);
    loadStepSummary(db);
    loadEquipmentSetForGanttChart(db);
    loadBasicEquipContsForGanttChart(db);
    loadBufferTankEquipAndContents(db);
    loadCalendars(db);
}

int GanttFacility::GetNumSchedVessels() const { return GetNumVessels(); }

int GanttFacility::GetNumTimeBlocks(int v) const
{
    const Vessel* vessel = GetVesselByIndex(v);
    if (!vessel || !vessel->GetProc()) return 0;
    return vessel->GetProc()->GetNumProcs();
}

int GanttFacility::GetScheduleInfo(int v, int b, CString& stepName, CString& stepVersion, CString& op, long& stepID,
                                   long& opID, CString& recText, long& start, long& end, short& batch,
                                   bool& empty) const
{
    std::optional<ScheduleBlock> block = GetScheduleBlock(v, b);
    if (!block) return 0;
    stepName = std::move(block->stepName);
    stepVersion = std::move(block->stepVersion);
    op = std::move(block->op);
    stepID = block->stepID;
    opID = block->opID;
    recText = std::move(block->recText);
    start = block->start;
    end = block->end;
    batch = block->batch;
    empty = block->empty;
    return 1;
}

std::optional<ScheduleBlock> GanttFacility::GetScheduleBlock(int v, int b) const
{
    const int blocks = GetNumTimeBlocks(v);
    if (blocks == 0 || b < 0 || b >= blocks) return std::nullopt;
    const CProcUnit& unit = GetVesselByIndex(v)->GetProc()->GetProcUnit(b);
    return ScheduleBlock{
        .stepName = unit.GetStepName(),
        .stepVersion = unit.GetStepVersion(),
        .op = unit.GetOp(),
        .stepID = unit.GetStepID(),
        .opID = unit.GetOpID(),
        .recText = unit.GetRecText(),
        .start = unit.GetStart(),
        .end = unit.GetEnd(),
        .batch =
            static_cast<short>(static_cast<std::uint16_t>(static_cast<unsigned long>(unit.GetBatchNum()) & 0xFFFFu)),
        .empty = unit.IsEmpty(),
    };
}

Array<long> GanttFacility::GetInUseBlocks(int v) const
{
    // A position out of range has no blocks (an empty array).
    const Vessel* vessel = GetVesselByIndex(v);
    if (!vessel || !vessel->GetProc()) return Array<long>();
    return vessel->GetProc()->CalcInUseBlocks();
}

void GanttFacility::GetCalendarBlocks(int v, COleDateTime from, COleDateTime to, List<COleDateTime>& out) const
{
    // A position out of range counts as no vessel: `out` stays as it is.
    GetCalendarBlocks(GetVesselByIndex(v), from, to, out);
}

void GanttFacility::GetCalendarBlocks(Vessel* vessel, COleDateTime from, COleDateTime to, List<COleDateTime>& out) const
{
    CFacilityCalendar* calendar = GetCalendar();
    if (!calendar || !vessel) return;
    calendar->GetCalendarTimeList(vessel->GetCalendarID(), from, to, out);
}

int GanttFacility::GetStepOrder(int step) const { return Facility::GetStepOrder(step); }

} // namespace batchplant
