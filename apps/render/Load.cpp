#include "Load.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "../Command.h"
#include "../PlanLayout.h"
#include "batchplant/db/Dao.h"
#include "batchplant/foundation/CFacilityAbort.h"
#include "batchplant/gantt/GanttFacility.h"
#include "batchplant/model/Facility.h"

namespace batchplant::cli {

LoadedRun::LoadedRun() = default;
LoadedRun::~LoadedRun() = default;
LoadedRun::LoadedRun(LoadedRun&&) noexcept = default;
LoadedRun& LoadedRun::operator=(LoadedRun&&) noexcept = default;

namespace {
// Files above this size take long enough to load that the user is told.
constexpr std::uintmax_t kLargeFile = 16u * 1024u * 1024u;
} // namespace

int LoadRun(const std::string& command, const std::string& path, bool plant, bool schedule, LoadedRun& run)
{
    const char* name = command.c_str();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        std::fprintf(stderr, "batchplant %s: cannot open %s: no such file\n", name, path.c_str());
        return kBadInput;
    }
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    const bool tell = !ec && size > kLargeFile;
    try {
        if (plant) {
            if (tell) std::fprintf(stderr, "Loading equipment and streams from %s …\n", path.c_str());
            auto facility = std::make_unique<PlanFacility>();
            CDaoDatabase db;
            db.Open(CString(path), false, true);
            facility->ReadVisioDatabase(&db);
            run.plant = std::move(facility);
        }
        if (schedule) {
            if (tell) std::fprintf(stderr, "Loading the schedule from %s …\n", path.c_str());
            auto facility = std::make_unique<GanttFacility>();
            if (!facility->ReadGanttDatabase(CString(path))) {
                std::fprintf(stderr,
                             "batchplant %s: cannot read the schedule from %s: not a readable results database\n", name,
                             path.c_str());
                return kBadInput;
            }
            run.schedule = std::move(facility);
        }
        if (tell) std::fprintf(stderr, "Loaded.\n");
    } catch (const CDaoException& e) {
        std::fprintf(stderr, "batchplant %s: cannot read %s: %s\n", name, path.c_str(), e.GetDescription().c_str());
        return kBadInput;
    } catch (const CFacilityAbort&) {
        std::fprintf(stderr, "batchplant %s: %s has no process steps; there is no run to report\n", name, path.c_str());
        return kBadInput;
    }
    return kOk;
}

} // namespace batchplant::cli
