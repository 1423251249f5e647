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

// The tables that every load reads; without any of them there is no run.
constexpr const char* kCoreTables[] = {"PPlan",           "ProductionPlanSummary", "StepSummary",
                                       "FacilitySummary", "EquipmentSummary",      "EquipmentSchedule",
                                       "TextRecipe"};
} // namespace

std::string WhyNotResults(const std::string& path, bool results)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found) return "no such file";
    if (ec) return ec.message();
    if (status.type() == fs::file_type::directory) return "it is a directory";
    if (status.type() != fs::file_type::regular) return "not a regular file";
    try {
        CDaoDatabase db;
        db.Open(CString(path), false, true);
        if (!results) return "";
        for (const char* table : kCoreTables)
            if (!db.HasTableOrView(CString(table)))
                return std::string("not a results database: it has no table ") + table;
    } catch (const CDaoException& e) {
        return e.GetDescription().str();
    }
    return "";
}

bool CheckResults(const std::string& command, const std::string& path, bool results)
{
    const std::string why = WhyNotResults(path, results);
    if (why.empty()) return true;
    std::fprintf(stderr, "batchplant %s: cannot open %s: %s\n", command.c_str(), path.c_str(), why.c_str());
    return false;
}

int LoadRun(const std::string& command, const std::string& path, bool plant, bool schedule, LoadedRun& run)
{
    const char* name = command.c_str();
    if (!CheckResults(command, path)) return kBadInput;
    std::error_code ec;
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
