#include "ViewerApi.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <optional>
#include <set>

#include "../render/GanttSvg.h"
#include "../render/Html.h"
#include "../render/Profiles.h"
#include "../render/TimeWindow.h"
#include "../render/Utilisation.h"
#include "ViewerFacility.h"
#include "batchplant/foundation/Array.h"
#include "batchplant/foundation/Keys.h"
#include "batchplant/foundation/List.h"
#include "batchplant/gantt/CompositeTypes.h"
#include "batchplant/gantt/GanttFacility.h"
#include "batchplant/model/Plane.h"
#include "batchplant/model/Stream.h"
#include "batchplant/procedure/CProcedure.h"

namespace batchplant::serve {

using nlohmann::json;

namespace {

// Limits of what a request may ask for, so that no request runs for long.
constexpr long long kMaxTime = INT_MAX; // operation times are held in 32 bits
constexpr long long kMaxSteps = 10000;
constexpr long long kMaxForceIterations = 1000;
constexpr std::size_t kMaxFloorName = 200;

// The API's name of a stream's collection.
const char* kindName(const Stream& s)
{
    if (s.IsVapor()) return "vapor";
    if (s.IsUtility()) return "utility";
    if (s.IsConnecting()) return "connecting";
    return s.IsOutput() ? "output" : "input";
}

json number(double v) { return std::isfinite(v) ? json(v) : json(nullptr); }

int channel(double fraction)
{
    if (!(fraction > 0.0)) return 0; // also NaN
    if (fraction >= 1.0) return 255;
    return static_cast<int>(std::lround(fraction * 255.0));
}

std::string hexOf(double r, double g, double b)
{
    return cli::HexColour((channel(r) << 16) | (channel(g) << 8) | channel(b));
}

// Packed colours come from the model as 0xRRGGBB; anything outside that
// range is masked rather than written as a malformed colour.
std::string hexOf(int packed) { return cli::HexColour(packed & 0xFFFFFF); }

std::string text(const CString& s) { return s.str(); }

bool isTrue(int flag) { return flag != 0; }

std::string requiredString(const json& body, const std::string& name)
{
    std::optional<std::string> value = StringField(body, name);
    if (!value) throw ApiError(400, "field " + name + " is missing");
    return *value;
}

long long requiredInteger(const json& body, const std::string& name, long long lo, long long hi)
{
    const std::optional<long long> value = IntegerField(body, name, lo, hi);
    if (!value) throw ApiError(400, "field " + name + " is missing");
    return *value;
}

CompType compType(const Query& query)
{
    return static_cast<CompType>(RequiredQueryInteger(query, "type", 0, kNumCompTypes - 1));
}

} // namespace

ViewerApi::ViewerApi(std::unique_ptr<ViewerFacility> plant, std::unique_ptr<GanttFacility> schedule)
    : m_plant(std::move(plant)), m_schedule(std::move(schedule))
{
    m_plant->SetThreeDAnimCtrlCtrl(&m_events);
    m_scheduleEnd = cli::RunEndSeconds(*m_schedule);
    m_runEnd = std::max(m_scheduleEnd, m_plant->GetLastAnimationTime());
}

ViewerApi::~ViewerApi()
{
    if (m_plant) m_plant->SetThreeDAnimCtrlCtrl(nullptr);
}

std::vector<ViewerApi::StreamEntry> ViewerApi::allStreams() const
{
    std::vector<StreamEntry> out;
    m_plant->ForEachStream([&out](Stream& s) { out.push_back({&s, kindName(s)}); });
    return out;
}

int ViewerApi::floorIndexOf(const Plane* floor) const
{
    for (int i = 0; floor && i < m_plant->GetNumFloors(); ++i)
        if (m_plant->GetFloorByIndex(i) == floor) return i;
    return -1;
}

int ViewerApi::vesselIndexOf(const Vessel* vessel) const
{
    for (int i = 0; vessel && i < m_plant->GetNumVessels(); ++i)
        if (m_plant->GetVesselByIndex(i) == vessel) return i;
    return -1;
}

Plane& ViewerApi::floorAt(long long index) const
{
    Plane* floor =
        (index >= 0 && index < m_plant->GetNumFloors()) ? m_plant->GetFloorByIndex(static_cast<int>(index)) : nullptr;
    if (!floor) throw ApiError(404, "no floor with index " + std::to_string(index));
    return *floor;
}

std::string ViewerApi::isoAt(long seconds) const
{
    const COleDateTime start = m_plant->GetStartTime();
    if (start.GetStatus() != COleDateTime::valid) return {};
    COleDateTime at = start;
    at.m_dt = start.m_dt + static_cast<double>(seconds) / 86400.0;
    return text(at.ToIso());
}

json ViewerApi::visibilityFlags() const
{
    const Facility& f = *m_plant;
    return {{"vessels", isTrue(f.ShowVessels())},
            {"pipes", isTrue(f.ShowPipes())},
            {"floors", isTrue(f.ShowFloors())},
            {"labels", isTrue(f.ShowGlobalLabels())},
            {"straightPipes", isTrue(f.ShowStraightPipes())},
            {"crossFloorPipes", isTrue(f.ShowCrossFloorPipes())}};
}

json ViewerApi::Model()
{
    Facility& f = *m_plant;
    const int vessels = f.GetNumVessels();
    const int connecting = f.GetNumConnectingStreams();

    json floors = json::array();
    for (int i = 0; i < f.GetNumFloors(); ++i) {
        Plane* p = f.GetFloorByIndex(i);
        if (!p) continue;
        floors.push_back(
            {{"index", i},
             {"item", vessels + connecting + i + 1},
             {"id", p->GetID()},
             {"name", text(p->GetName())},
             {"plant", text(p->GetPlantName())},
             {"height", number(p->GetHeight())},
             {"corner",
              {number(p->GetCornerX()), number(p->GetCornerY()), number(p->GetCorner2X()), number(p->GetCorner2Y())}},
             {"center", {number(p->GetCenterX()), number(p->GetCenterY())}},
             {"visible", p->IsVisible()},
             {"selected", isTrue(p->IsSelected())},
             {"colour", hexOf(p->GetColor())}});
    }

    json vesselList = json::array();
    for (int i = 0; i < vessels; ++i) {
        Vessel* v = f.GetVesselByIndex(i);
        if (!v) continue;
        const int floor = floorIndexOf(v->GetFloor());
        vesselList.push_back({{"index", i},
                              {"item", i + 1},
                              {"id", v->GetID()},
                              {"name", text(v->GetName())},
                              {"fullName", text(v->GetFullName())},
                              {"class", text(v->GetClass())},
                              {"floor", floor >= 0 ? json(floor) : json(nullptr)},
                              {"floorId", v->GetFloorID()},
                              {"x", number(v->GetX())},
                              {"y", number(v->GetY())},
                              {"z", number(v->GetZ())},
                              {"radius", number(v->GetRadius())},
                              {"height", number(v->GetHeight())},
                              {"colour", hexOf(v->GetColor())},
                              {"labelColour", hexOf(v->GetLabelColor())},
                              {"showLabel", isTrue(v->GetShowLabel())},
                              {"visible", v->IsVisible()},
                              {"inventory", isTrue(v->IsInventory())},
                              {"selected", isTrue(v->IsSelected())},
                              {"capacity", text(v->GetCapacity())}});
    }

    json streams = json::array();
    const std::vector<StreamEntry> entries = allStreams();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Stream* s = entries[i].stream;
        if (!s) continue;
        const bool isConnecting = i < static_cast<std::size_t>(connecting);
        const int from = vesselIndexOf(s->GetInputVessel());
        const int to = vesselIndexOf(s->GetOutputVessel());
        // The attachment points; NaN where the stream lacks the vessels its
        // kind needs (the library then leaves them untouched).
        double ends[6];
        std::fill(std::begin(ends), std::end(ends), std::nan(""));
        if (const auto* shown = dynamic_cast<const ViewerStream*>(s)) shown->PathEnds(ends);
        auto point = [&](int at) {
            if (!std::isfinite(ends[at]) || !std::isfinite(ends[at + 1]) || !std::isfinite(ends[at + 2]))
                return json(nullptr);
            return json::array({ends[at], ends[at + 1], ends[at + 2]});
        };
        streams.push_back({{"index", static_cast<int>(i)},
                           {"item", isConnecting ? json(vessels + static_cast<int>(i) + 1) : json(nullptr)},
                           {"kind", entries[i].kind},
                           {"id", s->GetID()},
                           {"name", text(s->GetName())},
                           {"from", from >= 0 ? json(from) : json(nullptr)},
                           {"to", to >= 0 ? json(to) : json(nullptr)},
                           {"fromPoint", point(0)},
                           {"toPoint", point(3)},
                           {"radius", number(s->GetRadius())},
                           {"colour", hexOf(s->GetColor())},
                           {"crossFloor", isTrue(s->IsCrossFloor())},
                           {"selected", isTrue(s->IsSelected())}});
    }

    const std::string start = isoAt(0);
    return {{"run",
             {{"name", text(f.GetName())},
              {"plan", text(f.GetPlanName())},
              {"start", start.empty() ? json(nullptr) : json(start)},
              {"end", m_runEnd},
              {"framesPerOp", f.GetFramesPerOp()}}},
            {"counts",
             {{"floors", f.GetNumFloors()},
              {"vessels", vessels},
              {"connecting", connecting},
              {"uni", f.GetNumUniStreams()},
              {"utility", f.GetNumUtilStreams()},
              {"vapor", f.GetNumVaporStreams()},
              {"items", f.GetNumDrawables()}}},
            {"visibility", visibilityFlags()},
            {"floors", std::move(floors)},
            {"vessels", std::move(vesselList)},
            {"streams", std::move(streams)}};
}

json ViewerApi::stateAt(long time)
{
    Facility& f = *m_plant;
    json vessels = json::array();
    json operations = json::array();
    std::set<std::string> seen;
    for (int i = 0; i < f.GetNumVessels(); ++i) {
        Vessel* v = f.GetVesselByIndex(i);
        if (!v) continue;
        const auto* shown = dynamic_cast<const ViewerVessel*>(v);
        const std::string op = text(v->GetCurrentOp());
        if (!op.empty() && seen.insert(op).second) operations.push_back(op);
        double r = 0, g = 0, b = 0, a = 0, cr = 0, cg = 0, cb = 0, ca = 0;
        v->GetCurrentColor(r, g, b, a);
        v->GetContentsColor(cr, cg, cb, ca);
        vessels.push_back({{"index", i},
                           {"volume", number(v->GetVolume())},
                           {"overflowing", isTrue(v->IsOverflowing())},
                           {"heating", isTrue(v->IsHeating())},
                           {"cooling", isTrue(v->IsCooling())},
                           {"reacting", shown && shown->IsReacting()},
                           {"active", isTrue(v->IsActive())},
                           {"operation", op},
                           {"colour", hexOf(r, g, b)},
                           {"alpha", number(a)},
                           {"contents", hexOf(cr, cg, cb)},
                           {"contentsAlpha", number(ca)}});
    }

    json streams = json::array();
    const std::vector<StreamEntry> entries = allStreams();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Stream* s = entries[i].stream;
        if (!s) continue;
        double r = 0, g = 0, b = 0, a = 0, cr = 0, cg = 0, cb = 0, ca = 0;
        s->GetCurrentColor(r, g, b, a);
        s->GetContentsColor(cr, cg, cb, ca);
        // The slug's ends as fractions of the path; a path of no length has
        // no slug to draw.
        const double length = s->GetPathLength();
        const bool hasPath = std::isfinite(length) && length > 0.0;
        auto fraction = [&](double at) { return hasPath ? number(std::clamp(at / length, 0.0, 1.0)) : json(0.0); };
        streams.push_back({{"index", static_cast<int>(i)},
                           {"flowing", isTrue(s->IsInUse())},
                           {"segmentStart", fraction(s->GetSegmentStart())},
                           {"segmentEnd", fraction(s->GetSegmentEnd())},
                           {"pathLength", number(length)},
                           {"operation", text(s->GetCurrentOp())},
                           {"colour", hexOf(r, g, b)},
                           {"contents", hexOf(cr, cg, cb)}});
    }
    const std::string date = isoAt(time);
    return {{"time", time},
            {"date", date.empty() ? json(nullptr) : json(date)},
            {"operations", std::move(operations)},
            {"vessels", std::move(vessels)},
            {"streams", std::move(streams)}};
}

json ViewerApi::State(const Query& query)
{
    const std::optional<long long> t = QueryInteger(query, "t", 0, kMaxTime);
    if (t) {
        m_plant->SetAnimationTime(static_cast<long>(*t));
        return stateAt(static_cast<long>(*t));
    }
    return stateAt(m_plant->GetAnimationTime());
}

json ViewerApi::Animate(const json& body)
{
    const std::string direction = StringField(body, "direction").value_or("forward");
    Facility::AnimDirection dir = Facility::Forward;
    if (direction == "backward")
        dir = Facility::Backward;
    else if (direction != "forward")
        throw ApiError(400, "field direction must be \"forward\" or \"backward\"");
    const long long steps = IntegerField(body, "steps", 1, kMaxSteps).value_or(1);

    m_plant->InitAnim(dir);
    int time = detail::clampToInt32(m_plant->GetAnimationTime());
    int lastTime = detail::clampToInt32(m_plant->GetLastAnimationTime());
    bool onPoint = false;
    for (long long k = 0; k < steps && !m_plant->AnimBoundaryReached(); ++k)
        onPoint = m_plant->Animate(time, lastTime) != 0;
    m_plant->ShowClockTime();
    return {{"time", time},
            {"lastTime", lastTime},
            {"onPoint", onPoint},
            {"boundary", isTrue(m_plant->AnimBoundaryReached())},
            {"state", stateAt(time)}};
}

json ViewerApi::Select(const json& body)
{
    Facility& f = *m_plant;
    const long long item = requiredInteger(body, "item", 0, f.GetNumDrawables());
    if (const std::optional<bool> multi = BoolField(body, "multiSelect")) f.EnableMultiSelect(*multi ? 1 : 0);

    m_events.events.clear();
    f.AttachMouse(static_cast<int>(item));

    json vessels = json::array(), streams = json::array(), floors = json::array();
    json vesselColours = json::object(), streamColours = json::object(), floorColours = json::object();
    double r = 0, g = 0, b = 0, a = 0;
    for (int i = 0; i < f.GetNumVessels(); ++i) {
        const Vessel* v = f.GetVesselByIndex(i);
        if (!v || !v->IsSelected()) continue;
        vessels.push_back(i);
        v->GetCurrentColor(r, g, b, a);
        vesselColours[std::to_string(i)] = hexOf(r, g, b);
    }
    for (int i = 0; i < f.GetNumConnectingStreams(); ++i) {
        const Stream* s = f.GetStreamByIndex(i);
        if (!s || !s->IsSelected()) continue;
        streams.push_back(i);
        s->GetCurrentColor(r, g, b, a);
        streamColours[std::to_string(i)] = hexOf(r, g, b);
    }
    for (int i = 0; i < f.GetNumFloors(); ++i) {
        const Plane* p = f.GetFloorByIndex(i);
        if (!p || !p->IsSelected()) continue;
        floors.push_back(i);
        // A floor keeps its colour in packed form only.
        floorColours[std::to_string(i)] = hexOf(p->GetColor());
    }
    json events = json::array();
    for (const EventLog::Event& e : m_events.events)
        events.push_back({{"dispid", e.dispid}, {"value", e.argument}});
    m_events.events.clear();
    return {{"item", item},
            {"selected", {{"vessels", vessels}, {"streams", streams}, {"floors", floors}}},
            {"vesselSelected", isTrue(f.VesselSelected())},
            {"pipeSelected", isTrue(f.PipeSelected())},
            {"floorSelected", isTrue(f.FloorSelected())},
            {"sceneSelected", isTrue(f.SceneSelected())},
            {"events", std::move(events)},
            {"colours", {{"vessels", vesselColours}, {"streams", streamColours}, {"floors", floorColours}}}};
}

json ViewerApi::Info(const Query& query)
{
    const long long item = RequiredQueryInteger(query, "item", 1, m_plant->GetNumDrawables());
    CString name, procedures, capacity;
    if (!m_plant->GetInfoForBox(static_cast<int>(item), name, procedures, capacity))
        throw ApiError(404, "item " + std::to_string(item) + " is not a vessel or connecting stream");
    return {{"item", item}, {"name", text(name)}, {"procedures", text(procedures)}, {"capacity", text(capacity)}};
}

json ViewerApi::Visibility(const json& body)
{
    Facility& f = *m_plant;
    // Read every field before changing anything, so a bad request changes
    // nothing.
    const auto vessels = BoolField(body, "vessels");
    const auto pipes = BoolField(body, "pipes");
    const auto floorsShown = BoolField(body, "floors");
    const auto labels = BoolField(body, "labels");
    const auto straight = BoolField(body, "straightPipes");
    const auto crossFloor = BoolField(body, "crossFloorPipes");
    const auto floorIndex = IntegerField(body, "floor", 0, INT_MAX);
    const auto floorVisible = BoolField(body, "visible");
    if (floorIndex.has_value() != floorVisible.has_value()) throw ApiError(400, "fields floor and visible go together");
    Plane* floor = floorIndex ? &floorAt(*floorIndex) : nullptr;

    if (vessels && *vessels != isTrue(f.ShowVessels())) f.ToggleShowVessels();
    if (pipes && *pipes != isTrue(f.ShowPipes())) f.ToggleShowPipes();
    if (floorsShown && *floorsShown != isTrue(f.ShowFloors())) f.ToggleShowFloors();
    if (labels && *labels != isTrue(f.ShowGlobalLabels())) f.ToggleGlobalLabels();
    if (straight && *straight != isTrue(f.ShowStraightPipes())) f.ToggleShowStraightPipes();
    if (crossFloor) f.ShowCrossFloorPipes(*crossFloor ? 1 : 0);
    if (floor) f.SetFloorVisible(0, floor->GetID(), *floorVisible);

    json floors = json::array();
    for (int i = 0; i < f.GetNumFloors(); ++i)
        if (const Plane* p = f.GetFloorByIndex(i)) floors.push_back({{"index", i}, {"visible", p->IsVisible()}});
    return {{"visibility", visibilityFlags()}, {"floors", std::move(floors)}};
}

json ViewerApi::vesselPositions() const
{
    json out = json::array();
    for (int i = 0; i < m_plant->GetNumVessels(); ++i)
        if (const Vessel* v = m_plant->GetVesselByIndex(i))
            out.push_back({{"index", i}, {"x", number(v->GetX())}, {"y", number(v->GetY())}, {"z", number(v->GetZ())}});
    return out;
}

json ViewerApi::Layout(const json& body)
{
    const std::string mode = requiredString(body, "mode");
    if (mode != "wizard" && mode != "force") throw ApiError(400, "field mode must be \"wizard\" or \"force\"");
    const long long index = requiredInteger(body, "floor", 0, INT_MAX);
    const long long iterations = IntegerField(body, "iterations", 1, kMaxForceIterations).value_or(1);
    Plane& floor = floorAt(index);
    if (mode == "wizard") {
        m_plant->LayOutFloorCompletely(&floor);
    } else {
        for (long long k = 0; k < iterations; ++k) {
            floor.DistributeVessels();
            floor.MoveVesselsByForce();
        }
    }
    // The slugs are placed along the pipes' paths, which have moved.
    m_plant->ShowClockTime();
    return {{"floor", index}, {"vessels", vesselPositions()}};
}

json ViewerApi::Floors(const json& body)
{
    Facility& f = *m_plant;
    const std::string action = requiredString(body, "action");
    json created = nullptr;
    if (action == "create") {
        const std::string name = StringField(body, "name").value_or("");
        if (name.size() > kMaxFloorName)
            throw ApiError(400, "field name is longer than " + std::to_string(kMaxFloorName) + " bytes");
        const long long id = IntegerField(body, "id", 0, INT_MAX).value_or(-1);
        Plane* floor = f.CreateNewFloor(static_cast<int>(id), CString(name), -1, CString());
        if (!floor) throw ApiError(500, "the floor could not be created");
        created = floorIndexOf(floor);
    } else if (action == "delete") {
        Plane& floor = floorAt(requiredInteger(body, "floor", 0, INT_MAX));
        if (!floor.IsEmpty())
            throw ApiError(409, "floor \"" + text(floor.GetName()) +
                                    "\" holds vessels; move them to another floor before deleting it");
        f.ClearAllSelections();
        floor.EnableHighlight();
        f.UpdateSelectionStatus();
        f.DeleteSelectedFloors();
        f.ClearAllSelections();
    } else if (action == "moveUp" || action == "moveDown") {
        const auto it = body.find("vessels");
        if (it == body.end() || !it->is_array() || it->empty())
            throw ApiError(400, "field vessels must be a non-empty array of vessel indices");
        if (it->size() > static_cast<std::size_t>(f.GetNumVessels()))
            throw ApiError(400, "field vessels holds more entries than there are vessels");
        std::vector<Vessel*> chosen;
        for (const json& entry : *it) {
            const long long index = requiredInteger(json{{"vessels[]", entry}}, "vessels[]", 0, INT_MAX);
            Vessel* v = index < f.GetNumVessels() ? f.GetVesselByIndex(static_cast<int>(index)) : nullptr;
            if (!v) throw ApiError(404, "no vessel with index " + std::to_string(index));
            chosen.push_back(v);
        }
        f.ClearAllSelections();
        for (Vessel* v : chosen)
            v->EnableHighlight();
        f.UpdateSelectionStatus();
        if (action == "moveUp")
            f.MoveSelectedVesselsUp();
        else
            f.MoveSelectedVesselsDown();
        f.ClearAllSelections();
        m_plant->ShowClockTime();
    } else {
        throw ApiError(400, "field action must be \"create\", \"delete\", \"moveUp\" or \"moveDown\"");
    }
    m_events.events.clear();
    json model = Model();
    if (!created.is_null()) model["created"] = created;
    return model;
}

cli::TimeWindow ViewerApi::window(const Query& query) const
{
    cli::TimeWindow w;
    w.from = static_cast<long>(QueryInteger(query, "from", 0, INT_MAX).value_or(0));
    w.to = static_cast<long>(QueryInteger(query, "to", 0, INT_MAX).value_or(std::max(m_runEnd, w.from + 1L)));
    w.px = static_cast<int>(QueryInteger(query, "px", 1, 8192).value_or(1600));
    if (w.from >= w.to)
        throw ApiError(400, "parameter from (" + std::to_string(w.from) + ") must be less than to (" +
                                std::to_string(w.to) + ")");
    return w;
}

const std::vector<cli::RowBlocks>& ViewerApi::rowTimes()
{
    // The times of every block are read once; the texts only for the blocks
    // an answer shows as they are.
    if (m_rowTimes.empty())
        for (int v = 0; v < m_schedule->GetNumSchedVessels(); ++v)
            m_rowTimes.push_back(cli::ReadRowBlocks(*m_schedule, v));
    return m_rowTimes;
}

json ViewerApi::Gantt(const Query& query)
{
    const cli::TimeWindow w = window(query);
    const GanttFacility& g = *m_schedule;
    const COleDateTime start = g.GetStartTime();
    const bool haveStart = start.GetStatus() == COleDateTime::valid;
    const long span = m_runEnd > 0 ? m_runEnd : 3600;
    const std::vector<cli::RowBlocks>& times = rowTimes();
    auto stretches = [](const std::vector<cli::LodStretch>& merged) {
        json out = json::array();
        for (const cli::LodStretch& s : merged) {
            json entry = {{"start", s.start}, {"end", s.end}};
            if (s.count > 1) entry["count"] = s.count;
            out.push_back(std::move(entry));
        }
        return out;
    };
    json rows = json::array();
    for (int v = 0; v < g.GetNumSchedVessels(); ++v) {
        const Vessel* vessel = g.GetVesselByIndex(v);
        const cli::RowBlocks& row = times[static_cast<std::size_t>(v)];
        json blocks = json::array();
        for (const cli::LodEntry& e : cli::MergeBlocks(row.blocks, w)) {
            if (e.count > 1) {
                // Coloured by its batch when it holds one, neutral otherwise.
                const int colour = e.batches.size() == 1 ? cli::BatchColour(e.batches.front()) : 0x8C8C8C;
                blocks.push_back({{"start", e.start},
                                  {"end", e.end},
                                  {"count", e.count},
                                  {"batches", e.batches},
                                  {"empty", e.empty},
                                  {"colour", cli::HexColour(e.empty ? cli::Lighten(colour, 0.55) : colour)}});
                continue;
            }
            const ScheduleBlock block = g.GetScheduleBlock(v, row.index[e.first]).value_or(ScheduleBlock{});
            // Coloured as the Gantt chart of the report draws it.
            const int colour = cli::BatchColour(block.batch);
            blocks.push_back({{"start", block.start},
                              {"end", block.end},
                              {"batch", block.batch},
                              {"step", text(block.stepName)},
                              {"version", text(block.stepVersion)},
                              {"operation", text(block.op)},
                              {"text", text(block.recText)},
                              {"stepId", block.stepID},
                              {"opId", block.opID},
                              {"empty", block.empty},
                              {"colour", cli::HexColour(block.empty ? cli::Lighten(colour, 0.55) : colour)}});
        }

        const std::vector<cli::LodStretch> nonWorking = cli::NonWorkingStretches(g, v, w.from, w.to, span);
        rows.push_back({{"index", v},
                        {"id", vessel ? json(vessel->GetID()) : json(nullptr)},
                        {"name", vessel ? text(vessel->GetName()) : std::string()},
                        {"blocks", std::move(blocks)},
                        {"inUse", stretches(cli::MergeStretches(row.inUse, w))},
                        {"nonWorking", stretches(cli::MergeStretches(nonWorking, w))}});
    }
    const std::string startIso = haveStart ? text(start.ToIso()) : std::string();
    return {{"start", startIso.empty() ? json(nullptr) : json(startIso)},
            {"end", m_runEnd},
            {"from", w.from},
            {"to", w.to},
            {"px", w.px},
            {"rows", std::move(rows)}};
}

json ViewerApi::Utilisation(const Query& query)
{
    const cli::TimeWindow w = window(query);
    const cli::Utilisation u = cli::MeasureVesselUse(*m_schedule, rowTimes(), m_scheduleEnd, w.from, w.to);
    json vessels = json::array();
    for (const cli::VesselUse& v : u.vessels)
        vessels.push_back({{"tag", v.tag},
                           {"running", number(v.shares.running)},
                           {"holding", number(v.shares.holding)},
                           {"idle", number(v.shares.idle)},
                           {"nonWorking", number(v.shares.nonWorking)},
                           {"operations", v.operations},
                           {"batches", v.batches}});
    return {{"from", w.from},
            {"to", w.to},
            {"bottleneck", u.bottleneck >= 0 ? json(u.vessels[u.bottleneck].tag) : json(nullptr)},
            {"vessels", std::move(vessels)}};
}

json ViewerApi::CompositeTypes()
{
    json types = json::array();
    // The rate kinds hold amounts per second of the run: the page shows them
    // per time unit unless told otherwise.
    for (int t = 0; t < kNumCompTypes; ++t) {
        const bool rate = t == Inputs || t == Outputs || t == Inventory || t == Utilities || t == VaporEmissions;
        types.push_back({{"type", t}, {"name", CompTypeName(t)}, {"rate", rate}});
    }
    return {{"types", std::move(types)}};
}

json ViewerApi::CompositeGroups(const Query& query)
{
    const CompType type = compType(query);
    Array<long> ids;
    Array<CString> names;
    m_schedule->GetCompositeVessels(ids, names, type);
    json groups = json::array();
    for (int i = 0; i < ids.GetSize() && i < names.GetSize(); ++i)
        groups.push_back({{"id", ids[i]}, {"name", text(names[i])}});
    return {{"type", static_cast<int>(type)}, {"groups", std::move(groups)}};
}

json ViewerApi::CompositeComponents(const Query& query)
{
    const CompType type = compType(query);
    const long long group = RequiredQueryInteger(query, "group", INT_MIN, INT_MAX);
    Array<long> groupIds;
    Array<CString> groupNames;
    m_schedule->GetCompositeVessels(groupIds, groupNames, type);
    bool found = false;
    for (int i = 0; i < groupIds.GetSize() && !found; ++i)
        found = groupIds[i] == group;
    if (!found)
        throw ApiError(404, "no " + std::string(CompTypeName(type)) + " group with id " + std::to_string(group));
    Array<long> ids;
    Array<CString> names;
    m_schedule->GetCompositeComponents(static_cast<int>(group), ids, names, type);
    json components = json::array();
    for (int i = 0; i < ids.GetSize() && i < names.GetSize(); ++i)
        components.push_back({{"id", ids[i]}, {"name", text(names[i])}});
    return {{"type", static_cast<int>(type)}, {"group", group}, {"components", std::move(components)}};
}

json ViewerApi::CompositeProfile(const Query& query)
{
    const CompType type = compType(query);
    const std::optional<long long> group = QueryInteger(query, "group", INT_MIN, INT_MAX);
    const std::optional<long long> component = QueryInteger(query, "component", INT_MIN, INT_MAX);
    const std::string quantity = QueryValue(query, "quantity").value_or("mass");
    static const std::pair<const char*, CompositeSetting> quantities[] = {
        {"mass", Mass}, {"volume", Volume}, {"moles", Moles}, {"operators", Operators}, {"duty", Duty}};
    std::optional<CompositeSetting> setting;
    for (const auto& [name, value] : quantities)
        if (quantity == name) setting = value;
    if (!setting) throw ApiError(400, "parameter quantity must be one of mass, volume, moles, operators, duty");
    const bool perTime = QueryInteger(query, "perTime", 0, 1).value_or(0) == 1;
    if (perTime) setting = *setting | PerTime;

    const cli::TimeWindow w = window(query);
    const std::optional<long> g = group ? std::optional<long>(static_cast<long>(*group)) : std::nullopt;
    // Each profile in seconds, as the library's sum of the selection.
    std::string timeUnit = "s", valueUnit;
    double timeFactor = 1.0;
    // Summing a profile over a year's run takes seconds, and the page asks
    // for the same one again on every zoom and pan: the sums are kept.
    auto profile = [&](std::optional<long> c) -> const std::vector<std::pair<double, double>>& {
        const ProfileKey key{static_cast<int>(type), static_cast<int>(*setting),
                             g.has_value(),          g.value_or(0),
                             c.has_value(),          c.value_or(0)};
        auto found = m_profiles.find(key);
        if (found == m_profiles.end()) {
            cli::ProfileChart chart;
            std::string error;
            if (!cli::BuildProfileSum(*m_schedule, type, *setting, g, c, chart, error)) throw ApiError(404, error);
            CachedProfile sum{{}, chart.timeUnit, chart.valueUnit, chart.timeFactor};
            if (!chart.series.empty())
                for (const auto& [t, value] : chart.series.front().points)
                    sum.points.emplace_back(t * chart.timeFactor, value);
            if (m_profiles.size() >= kProfilesKept) m_profiles.clear();
            found = m_profiles.emplace(key, std::move(sum)).first;
        }
        timeUnit = found->second.timeUnit;
        valueUnit = found->second.valueUnit;
        timeFactor = found->second.timeFactor;
        return found->second.points;
    };
    auto pointsOf = [&](const std::vector<std::pair<double, double>>& steps) {
        json points = json::array();
        for (const cli::ColumnPoint& p : cli::DownsampleSteps(steps, w)) {
            if (!std::isfinite(p.t)) continue;
            json point = {{"t", std::llround(p.t)}, {"value", number(p.value)}};
            if (p.min != p.max) {
                point["min"] = number(p.min);
                point["max"] = number(p.max);
            }
            points.push_back(std::move(point));
        }
        return points;
    };

    json answer = {{"type", static_cast<int>(type)},
                   {"name", CompTypeName(type)},
                   {"group", group ? json(*group) : json(nullptr)},
                   {"component", component ? json(*component) : json(nullptr)},
                   {"quantity", quantity},
                   {"perTime", perTime},
                   {"from", w.from},
                   {"to", w.to},
                   {"px", w.px}};
    const std::optional<std::string> list = QueryValue(query, "components");
    if (!list) {
        answer["points"] =
            pointsOf(profile(component ? std::optional<long>(static_cast<long>(*component)) : std::nullopt));
    } else {
        if (!group || component) throw ApiError(400, "parameter components needs a group and no component");
        Array<long> ids;
        Array<CString> names;
        m_schedule->GetCompositeComponents(static_cast<int>(*group), ids, names, type);
        json series = json::array();
        std::vector<std::pair<double, double>> sum;
        std::size_t from = 0;
        while (from <= list->size()) {
            const std::size_t comma = std::min(list->find(',', from), list->size());
            const long long id = ParseInteger(list->substr(from, comma - from), "components", INT_MIN, INT_MAX);
            from = comma + 1;
            std::string name;
            for (int i = 0; i < ids.GetSize() && i < names.GetSize(); ++i)
                if (ids[i] == id) name = text(names[i]);
            const std::vector<std::pair<double, double>> steps = profile(static_cast<long>(id));
            sum = cli::AddSteps(sum, steps);
            series.push_back({{"component", id}, {"name", name}, {"points", pointsOf(steps)}});
            if (series.size() > 64) throw ApiError(400, "parameter components names more than 64 components");
        }
        answer["points"] = pointsOf(sum);
        answer["series"] = std::move(series);
    }
    answer["timeUnit"] = timeUnit;
    answer["valueUnit"] = valueUnit;
    answer["timeFactor"] = number(timeFactor);
    return answer;
}

} // namespace batchplant::serve
