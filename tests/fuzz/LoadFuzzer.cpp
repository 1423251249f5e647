// Fuzzes both views' loaders and the schedule's composites on small results
// databases drawn from the input. A load may refuse; it must not crash, hang
// or hit undefined behaviour, and the model must answer consistently.

#include <memory>

#include "FuzzSupport.h"
#include "batchplant/db/Dao.h"
#include "batchplant/foundation/CFacilityAbort.h"
#include "batchplant/gantt/GanttFacility.h"
#include "batchplant/model/Facility.h"

using namespace batchplant;
using namespace batchplant::fuzz;

extern "C" int LLVMFuzzerInitialize(int*, char***) { return InitFuzzing(); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 16 * 1024) return -1;
    FuzzedDataProvider in(data, size);
    MemoryResultsDb mem(in.ConsumeBool());
    const long when = in.ConsumeIntegralInRange<long>(-100000, 1000000);
    mem.FillFrom(in, 60);
    {
        CDaoDatabase db;
        db.Open(CString(mem.Uri()), false, true);
        Facility plant;
        try {
            plant.ReadVisioDatabase(&db);
            plant.SetAnimationTime(when);
            plant.SetAnimationTime(0);
        } catch (const CDaoException&) {
        } catch (const CFacilityAbort&) {
        }
    }
    GanttFacility schedule;
    try {
        const bool read = schedule.ReadGanttDatabase(CString(mem.Uri()));
        for (int v = 0; read && v < schedule.GetNumSchedVessels(); ++v) {
            for (int b = 0; b < schedule.GetNumTimeBlocks(v); ++b) {
                CString step, version, op, recipe;
                long stepID = 0, opID = 0, start = 0, end = 0;
                short batch = 0;
                bool empty = false;
                Check(schedule.GetScheduleInfo(v, b, step, version, op, stepID, opID, recipe, start, end, batch,
                                               empty) == 1,
                      "a time block in range has no details");
            }
            (void)schedule.GetInUseBlocks(v);
        }
        for (int type = 0; read && type < kNumCompTypes; ++type) {
            Array<long> ids;
            Array<CString> names;
            schedule.GetCompositeVessels(ids, names, static_cast<CompType>(type));
            Check(ids.GetSize() == names.GetSize(), "composite groups and their names differ in number");
        }
    } catch (const CFacilityAbort&) {
    } catch (const CDaoException&) {
    }
    return 0;
}
