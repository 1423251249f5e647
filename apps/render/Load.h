#pragma once
// Loading a results database for the report commands: the 3-D view (floors,
// equipment, streams) and the schedule view (time blocks, calendars and
// composite profiles), with errors on stderr.

#include <memory>
#include <string>

namespace batchplant {
class Facility;
class GanttFacility;
} // namespace batchplant

namespace batchplant::cli {

struct LoadedRun {
    std::unique_ptr<Facility> plant;         // null unless asked for
    std::unique_ptr<GanttFacility> schedule; // null unless asked for
    LoadedRun();
    ~LoadedRun();
    LoadedRun(LoadedRun&&) noexcept;
    LoadedRun& operator=(LoadedRun&&) noexcept;
};

// Why `path` cannot be read as a results database, in a few words ("it is a
// directory", "no such file", "not a results database: it has no table
// PPlan"), or empty when it can. With `results` false, any SQLite file will do.
std::string WhyNotResults(const std::string& path, bool results = true);

// WhyNotResults, printed as "batchplant <command>: cannot open <path>: <why>";
// false when it says something.
bool CheckResults(const std::string& command, const std::string& path, bool results = true);

// Loads `path` into the views asked for; an exit code (kOk, or kBadInput with
// a message on stderr prefixed by "batchplant <command>: "). Reports progress
// on stderr for a large file.
int LoadRun(const std::string& command, const std::string& path, bool plant, bool schedule, LoadedRun& run);

} // namespace batchplant::cli
