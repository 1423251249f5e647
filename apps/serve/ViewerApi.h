#pragma once
// The viewer's JSON API over one loaded run: the 3-D view (floors, vessels,
// streams, the animation clock, selection, visibility, layout, floor
// editing) and the schedule view (Gantt rows, composite profiles). Each
// operation answers a JSON object or throws ApiError naming what is wrong.
//
// Not thread-safe, like the library under it: the caller serialises every
// call (the HTTP server holds one lock around each).

#include <nlohmann/json.hpp>

#include <map>
#include <memory>
#include <tuple>
#include <utility>
#include <string>
#include <vector>

#include "../render/GanttSvg.h"
#include "../render/TimeWindow.h"
#include "RequestParams.h"
#include "batchplant/platform/HostInterfaces.h"

namespace batchplant {
class GanttFacility;
class Plane;
class Stream;
class Vessel;
} // namespace batchplant

namespace batchplant::serve {

class ViewerFacility;

class ViewerApi {
public:
    // Takes both views of the same run; the plant is laid out and its clock
    // started (ViewerFacility::Load does both).
    ViewerApi(std::unique_ptr<ViewerFacility> plant, std::unique_ptr<GanttFacility> schedule);
    ~ViewerApi();
    ViewerApi(const ViewerApi&) = delete;
    ViewerApi& operator=(const ViewerApi&) = delete;

    nlohmann::json Model();
    nlohmann::json State(const Query& query);
    nlohmann::json Animate(const nlohmann::json& body);
    nlohmann::json Select(const nlohmann::json& body);
    nlohmann::json Info(const Query& query);
    nlohmann::json Visibility(const nlohmann::json& body);
    nlohmann::json Layout(const nlohmann::json& body);
    nlohmann::json Floors(const nlohmann::json& body);
    nlohmann::json Gantt(const Query& query);
    nlohmann::json Utilisation(const Query& query);
    nlohmann::json CompositeTypes();
    nlohmann::json CompositeGroups(const Query& query);
    nlohmann::json CompositeComponents(const Query& query);
    nlohmann::json CompositeProfile(const Query& query);

    ViewerFacility& Plant() { return *m_plant; }
    GanttFacility& Schedule() { return *m_schedule; }
    // The end of the run in seconds: the later of the schedule's last time
    // and the animation clock's.
    long RunEnd() const { return m_runEnd; }

private:
    // The 3-D control the library fires its selection events into; the
    // events of the current request are handed back with its answer.
    class EventLog : public CThreeDAnimCtrlCtrl {
    public:
        struct Event {
            long dispid;
            short argument;
        };
        void FireEvent(DISPID dispid, short argument) override { events.push_back({dispid, argument}); }
        std::vector<Event> events;
    };

    // Every stream in the order of /api/model: connecting, feed/product,
    // utility, vapor.
    struct StreamEntry {
        Stream* stream;
        const char* kind;
    };
    std::vector<StreamEntry> allStreams() const;

    // Each row's blocks and in-use stretches, read once for the
    // level-of-detail answers.
    const std::vector<cli::RowBlocks>& rowTimes();
    // The window of a schedule or profile request: from, to, px.
    cli::TimeWindow window(const Query& query) const;

    nlohmann::json stateAt(long time);
    nlohmann::json visibilityFlags() const;
    nlohmann::json vesselPositions() const;
    int floorIndexOf(const Plane* floor) const;
    int vesselIndexOf(const Vessel* vessel) const;
    Plane& floorAt(long long index) const;
    std::string isoAt(long seconds) const;

    std::unique_ptr<ViewerFacility> m_plant;
    std::unique_ptr<GanttFacility> m_schedule;
    EventLog m_events;
    long m_runEnd = 0;
    long m_scheduleEnd = 0; // the schedule's own end, without the animation's
    std::vector<cli::RowBlocks> m_rowTimes;
    // Profile sums by type, setting, group and component (each with whether
    // it is given), in seconds; at most kProfilesKept.
    using ProfileKey = std::tuple<int, int, bool, long, bool, long>;
    struct CachedProfile {
        std::vector<std::pair<double, double>> points;
        std::string timeUnit, valueUnit;
        double timeFactor = 1.0;
    };
    static constexpr std::size_t kProfilesKept = 64;
    std::map<ProfileKey, CachedProfile> m_profiles;
};

} // namespace batchplant::serve
