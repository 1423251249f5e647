#pragma once
// Loading a results database the way the hosts do (both views, calendars,
// composite profiles, a few animation times) and checking every answer for
// the invariants that must hold whatever the file holds: no NaN or infinity,
// clear messages, the documented exceptions only, and no change to the file.

#include <filesystem>
#include <string>
#include <vector>

namespace batchplant::test {

// What to load. The 3-D view and the schedule view are independent loads;
// composite profiles are read through the schedule view.
struct LoadPlan {
    bool plant = true;                // Facility::ReadVisioDatabase, then animation
    bool schedule = true;             // GanttFacility::ReadGanttDatabase(path)
    unsigned compositeTypes = 0x1FFu; // bit per CompType, read after the schedule load
    bool openPlantReadOnly = false;   // how the 3-D host opens the file
};

struct LoadOutcome {
    // 3-D view.
    bool plantOpenFailed = false; // CDaoDatabase::Open threw
    bool plantAborted = false;    // CFacilityAbort left ReadVisioDatabase
    std::string plantException;   // description of a CDaoException that left it
    std::vector<std::string> plantMessages;
    int vessels = 0, processStreams = 0, otherStreams = 0, floors = 0, units = 0;
    bool hasCalendar = false;
    // Schedule view.
    bool scheduleRead = false; // ReadGanttDatabase(path) returned true
    bool scheduleAborted = false;
    std::vector<std::string> scheduleMessages;
    int scheduleVessels = 0, blocks = 0;
    int compositeTypesBuilt = 0, profileEntries = 0;
    // Invariant violations, one line each.
    std::vector<std::string> failures;

    // One line for the table of outcomes.
    std::string summary() const;
};

// Loads `path` as planned and checks the answers; the file is compared byte
// for byte before and after, and no -journal, -wal or -shm file may be left.
LoadOutcome LoadAndCheck(const std::filesystem::path& path, const LoadPlan& plan);

// True when `text` holds "nan" or "inf" as a word of its own (as printf
// writes a NaN or an infinity), in any letter case.
bool ShowsNonFinite(const std::string& text);

} // namespace batchplant::test
