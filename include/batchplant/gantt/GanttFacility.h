#pragma once
// The facility the Gantt chart control holds: the schedule-relevant part of
// a results database (equipment, each vessel's own operations, steps and
// calendars, but no streams), with the questions a Gantt chart asks of it
// and the composite resource profiles, built lazily per type.
//
// A scheduled vessel is addressed by its position in the vessel list (load
// order), a time block by its position in that vessel's procedure.

#include <memory>
#include <optional>

#include "batchplant/foundation/Array.h"
#include "batchplant/foundation/Hash.h"
#include "batchplant/foundation/List.h"
#include "batchplant/gantt/CompositeTypes.h"
#include "batchplant/model/Facility.h"
#include "batchplant/platform/COleDateTime.h"
#include "batchplant/platform/CString.h"

namespace batchplant {

class CDaoDatabase;
class CompositeStream;
class Vessel;

// One time block of a vessel's schedule row: one operation of its
// procedure.
struct ScheduleBlock {
    CString stepName;
    CString stepVersion;
    CString op;
    long stepID = 0;
    long opID = 0;
    CString recText;
    long start = 0;
    long end = 0;
    // The low 16 bits of the batch number, as the chart takes it.
    short batch = 0;
    bool empty = false;
};

// The schedule view's facility: what a Gantt chart asks of a run (described
// at the top of GanttFacility.h).
class GanttFacility : public virtual Facility {
public:
    GanttFacility();
    explicit GanttFacility(CDocument* doc);
    virtual ~GanttFacility();
    // The facility owns its model and its composite profiles; a copy would
    // destroy them a second time.
    GanttFacility(const GanttFacility&) = delete;
    GanttFacility& operator=(const GanttFacility&) = delete;

    // Loading
    // Opens the results database at `path` read-only and loads it. False,
    // without a message, when the file cannot be opened or a database error
    // occurs while loading (what was loaded before the error stays). The
    // path is kept for the composite profiles only when loading succeeded.
    // A facility that already holds a model refuses with a message and
    // returns false. CFacilityAbort passes to the caller.
    bool ReadGanttDatabase(const CString& path);
    // Loads from an open database; nothing when `db` is null. Database
    // errors (CDaoException) pass to the caller.
    void ReadGanttDatabase(CDaoDatabase* db);
    // The path of the database last loaded by ReadGanttDatabase(path).
    CString GetDatabasePath() const { return databasePath; }

    // Schedule queries
    int GetNumSchedVessels() const;
    // 0 for a position out of range.
    int GetNumTimeBlocks(int v) const;
    // Details of time block b of vessel v; 0 with every output untouched for
    // a position out of range, else 1.
    int GetScheduleInfo(int v, int b, CString& stepName, CString& stepVersion, CString& op, long& stepID, long& opID,
                        CString& recText, long& start, long& end, short& batch, bool& empty) const;
    // The same as one value; nothing for a position out of range.
    std::optional<ScheduleBlock> GetScheduleBlock(int v, int b) const;
    // Pairs of start and end of the stretches between operations during which
    // vessel v still holds material. Empty for a position out of range.
    Array<long> GetInUseBlocks(int v) const;
    // Appends to `out` the boundaries of the working blocks of the vessel's
    // calendar between `from` and `to`; `out` is left unchanged without a
    // calendar or vessel (a position out of range counts as no vessel).
    void GetCalendarBlocks(int v, COleDateTime from, COleDateTime to, List<COleDateTime>& out) const;
    void GetCalendarBlocks(Vessel* vessel, COleDateTime from, COleDateTime to, List<COleDateTime>& out) const;
    // 1-based position of the step in load order, or 0.
    int GetStepOrder(int step) const;

    // Composite profiles (each does nothing for a type outside 0 to 8 or
    // when the type's profiles cannot be had)
    // Appends the id and name of every group of the type, ascending by id.
    void GetCompositeVessels(Array<long>& ids, Array<CString>& names, CompType type);
    // Appends the id and name of every component of group vesselID,
    // ascending by id.
    void GetCompositeComponents(int vesselID, Array<long>& ids, Array<CString>& names, CompType type);
    // Adds the chosen quantity of the component's profile into `list` (time
    // in seconds to value in internal units); `list` is not cleared.
    void GetCompositeList(Hash<long, double>& list, long vesselID, long componentID, CompType type,
                          CompositeSetting setting);
    // The units in which to show the profile, with the factors that turn
    // internal values into them.
    void GetCompositeUnits(CompType type, long vesselID, long componentID, CompositeSetting setting, CString& timeUnit,
                           double& timeFactor, CString& valueUnit, double& valueFactor, double& valueOffset);

protected:
    // All composite entries null.
    void init();
    // Releases every composite entry.
    void deallocate();

    // The type's profiles, loaded from the database path on first use; null
    // when they cannot be had.
    CompositeStream* getCompStream(CompType type);
    // Builds the type's profiles from an open database; null when the
    // type's query fails or has no rows.
    CompositeStream* loadCompositeStream(CDaoDatabase* db, CompType type);
    // For a host that reads profiles without loading the schedule: the
    // database the profiles are read from.
    void setDatabasePath(const CString& path) { databasePath = path; }

private:
    // One entry per composite type, indexed by CompType.
    std::unique_ptr<CompositeStream> compStreams[kNumCompTypes];
    CString databasePath;
};

} // namespace batchplant
