// Tests of the viewer's JSON API, against its server on loopback over the
// generated sample: the answers are compared with a facility loaded here on
// its own (counts, levels at a time, info texts, Gantt blocks, profiles).

#ifdef BATCHPLANT_HAVE_VIEWER

#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "ServeTestSupport.h"
#include "batchplant/db/Dao.h"
#include "batchplant/foundation/Array.h"
#include "batchplant/gantt/CompositeTypes.h"
#include "batchplant/model/Plane.h"
#include "batchplant/model/Vessel.h"

namespace batchplant::test {
namespace {

using nlohmann::json;

// The sample's 3-D view, loaded here independently of the server.
Facility& referencePlant()
{
    static std::unique_ptr<Facility> plant = [] {
        auto f = std::make_unique<Facility>();
        CDaoDatabase db;
        db.Open(CString(SampleDatabasePath().string()), false, true);
        f->ReadVisioDatabase(&db);
        f->InitAnim(Facility::Forward);
        return f;
    }();
    return *plant;
}

GanttFacility& referenceSchedule()
{
    static std::unique_ptr<GanttFacility> schedule = [] {
        auto g = std::make_unique<GanttFacility>();
        EXPECT_TRUE(g->ReadGanttDatabase(CString(SampleDatabasePath().string())));
        return g;
    }();
    return *schedule;
}

json model()
{
    Answer a = get("/api/model");
    EXPECT_EQ(a.status, 200) << a.raw;
    return a.body;
}

bool isHexColour(json j)
{
    if (!j.is_string()) return false;
    const std::string s = j.get<std::string>();
    return s.size() == 7 && s[0] == '#' && s.find_first_not_of("0123456789ABCDEFabcdef", 1) == std::string::npos;
}

TEST(ServeApi, ModelCountsAndIndicesMatchTheFacility)
{
    const Facility& f = referencePlant();
    json m = model();
    ASSERT_TRUE(m.is_object());
    EXPECT_EQ(m["counts"]["vessels"], f.GetNumVessels());
    EXPECT_EQ(m["counts"]["floors"], f.GetNumFloors());
    EXPECT_EQ(m["counts"]["connecting"], f.GetNumConnectingStreams());
    EXPECT_EQ(m["counts"]["uni"], f.GetNumUniStreams());
    EXPECT_EQ(m["counts"]["utility"], f.GetNumUtilStreams());
    EXPECT_EQ(m["counts"]["vapor"], f.GetNumVaporStreams());
    EXPECT_EQ(m["counts"]["items"], f.GetNumDrawables());
    ASSERT_EQ(m["vessels"].size(), static_cast<std::size_t>(f.GetNumVessels()));
    ASSERT_EQ(m["floors"].size(), static_cast<std::size_t>(f.GetNumFloors()));
    EXPECT_EQ(m["streams"].size(), static_cast<std::size_t>(f.GetNumConnectingStreams() + f.GetNumUniStreams() +
                                                            f.GetNumUtilStreams() + f.GetNumVaporStreams()));
    ASSERT_GT(f.GetNumVessels(), 0);

    for (int i = 0; i < f.GetNumVessels(); ++i) {
        json& v = m["vessels"][i];
        EXPECT_EQ(v["index"], i);
        EXPECT_EQ(v["item"], i + 1);
        EXPECT_EQ(v["name"], f.GetVesselByIndex(i)->GetName().str());
        EXPECT_EQ(v["id"], f.GetVesselByIndex(i)->GetID());
        ASSERT_TRUE(v["floor"].is_number_integer()) << v.dump();
        EXPECT_LT(v["floor"].get<int>(), f.GetNumFloors());
        EXPECT_TRUE(v["x"].is_number() && v["y"].is_number() && v["z"].is_number()) << v.dump();
        EXPECT_GT(v["radius"].get<double>(), 0.0);
        EXPECT_TRUE(isHexColour(v["colour"])) << v["colour"];
    }
    // Floors take the items after the vessels and connecting streams.
    for (int i = 0; i < f.GetNumFloors(); ++i) {
        EXPECT_EQ(m["floors"][i]["item"], f.GetNumVessels() + f.GetNumConnectingStreams() + i + 1);
        EXPECT_EQ(m["floors"][i]["name"], f.GetFloorByIndex(i)->GetName().str());
    }
    // Connecting streams carry items and two vessels; the others no item.
    std::map<std::string, int> kinds;
    for (json s : m["streams"]) {
        const std::string kind = s["kind"];
        ++kinds[kind];
        if (kind == "connecting") {
            EXPECT_EQ(s["item"], f.GetNumVessels() + s["index"].get<int>() + 1);
            // Each end names the vessel the library connects it to.
            const Stream* stream = f.GetStreamByIndex(s["index"].get<int>());
            ASSERT_TRUE(stream && s["from"].is_number_integer() && s["to"].is_number_integer()) << s.dump();
            EXPECT_EQ(f.GetVesselByIndex(s["from"].get<int>()), stream->GetInputVessel()) << s.dump();
            EXPECT_EQ(f.GetVesselByIndex(s["to"].get<int>()), stream->GetOutputVessel()) << s.dump();
        } else {
            EXPECT_TRUE(s["item"].is_null()) << s.dump();
        }
    }
    EXPECT_EQ(kinds["connecting"], f.GetNumConnectingStreams());
    EXPECT_EQ(kinds["input"] + kinds["output"], f.GetNumUniStreams());
    EXPECT_EQ(kinds["utility"], f.GetNumUtilStreams());
    EXPECT_EQ(kinds["vapor"], f.GetNumVaporStreams());

    EXPECT_GT(m["run"]["end"].get<long>(), 0);
    EXPECT_EQ(m["run"]["plan"], f.GetPlanName().str());
    EXPECT_EQ(m["run"]["start"], f.GetStartTime().ToIso().str());
}

TEST(ServeApi, StateFollowsTheLibraryAtEachTime)
{
    Facility& f = referencePlant();
    const long end = model()["run"]["end"].get<long>();
    ASSERT_GT(end, 0);
    std::vector<json> states;
    for (long t : {0L, end / 3, end / 2}) {
        Answer a = get("/api/state?t=" + std::to_string(t));
        ASSERT_EQ(a.status, 200) << a.raw;
        EXPECT_EQ(a.body["time"], t);
        ASSERT_EQ(a.body["vessels"].size(), static_cast<std::size_t>(f.GetNumVessels()));
        f.SetAnimationTime(t);
        for (int i = 0; i < f.GetNumVessels(); ++i) {
            json& v = a.body["vessels"][i];
            ASSERT_TRUE(v["volume"].is_number()) << v.dump();
            const double volume = v["volume"];
            EXPECT_TRUE(std::isfinite(volume) && volume >= 0.0 && volume <= 1.0) << volume;
            EXPECT_DOUBLE_EQ(volume, f.GetVesselByIndex(i)->GetVolume()) << "vessel " << i << " at " << t;
            EXPECT_EQ(v["heating"], f.GetVesselByIndex(i)->IsHeating() != 0);
            EXPECT_EQ(v["active"], f.GetVesselByIndex(i)->IsActive() != 0);
            EXPECT_EQ(v["operation"], f.GetVesselByIndex(i)->GetCurrentOp().str());
        }
        for (json s : a.body["streams"]) {
            const double from = s["segmentStart"], to = s["segmentEnd"];
            EXPECT_TRUE(from >= 0.0 && from <= 1.0 && to >= 0.0 && to <= 1.0) << s.dump();
        }
        states.push_back(a.body);
    }
    // The run is under way in the middle: something differs from the start.
    EXPECT_NE(states[0]["vessels"], states[2]["vessels"]);
    EXPECT_NE(states[0]["date"], states[2]["date"]);
    // Without t the state is the clock's: the last time asked for.
    Answer again = get("/api/state");
    ASSERT_EQ(again.status, 200);
    EXPECT_EQ(again.body["vessels"], states[2]["vessels"]);
}

TEST(ServeApi, AnimateMovesTheClockBothWays)
{
    ASSERT_EQ(get("/api/state?t=0").status, 200);
    Answer forward = post("/api/animate", json{{"direction", "forward"}, {"steps", 40}});
    ASSERT_EQ(forward.status, 200) << forward.raw;
    const long t1 = forward.body["time"];
    EXPECT_GT(t1, 0);
    EXPECT_EQ(forward.body["state"]["time"], t1);
    Answer back = post("/api/animate", json{{"direction", "backward"}, {"steps", 40}});
    ASSERT_EQ(back.status, 200) << back.raw;
    EXPECT_LT(back.body["time"].get<long>(), t1);
    // Far enough forward the clock stops at the boundary, on the last time.
    Answer far;
    for (int i = 0; i < 50; ++i) {
        far = post("/api/animate", json{{"direction", "forward"}, {"steps", 10000}});
        ASSERT_EQ(far.status, 200);
        if (far.body["boundary"].get<bool>()) break;
    }
    EXPECT_TRUE(far.body["boundary"].get<bool>());
    EXPECT_EQ(far.body["time"], far.body["lastTime"]);
}

TEST(ServeApi, SelectingAVesselFiresTheEventAndInfoDescribesIt)
{
    const Facility& f = referencePlant();
    ASSERT_GE(f.GetNumVessels(), 3);
    Answer a = post("/api/select", json{{"item", 3}});
    ASSERT_EQ(a.status, 200) << a.raw;
    EXPECT_EQ(a.body["selected"]["vessels"], json::array({2}));
    EXPECT_TRUE(a.body["selected"]["streams"].empty());
    EXPECT_TRUE(a.body["vesselSelected"].get<bool>());
    EXPECT_FALSE(a.body["sceneSelected"].get<bool>());
    ASSERT_FALSE(a.body["events"].empty());
    EXPECT_EQ(a.body["events"][0]["dispid"], 1);
    EXPECT_TRUE(isHexColour(a.body["colours"]["vessels"]["2"]));
    EXPECT_TRUE(model()["vessels"][2]["selected"].get<bool>());

    CString name, procs, capacity;
    ASSERT_TRUE(f.GetInfoForBox(3, name, procs, capacity));
    Answer info = get("/api/info?item=3");
    ASSERT_EQ(info.status, 200) << info.raw;
    EXPECT_EQ(info.body["name"], name.str());
    EXPECT_EQ(info.body["procedures"], procs.str());
    EXPECT_EQ(info.body["capacity"], capacity.str());

    Answer cleared = post("/api/select", json{{"item", 0}});
    ASSERT_EQ(cleared.status, 200);
    EXPECT_TRUE(cleared.body["selected"]["vessels"].empty());
    EXPECT_TRUE(cleared.body["sceneSelected"].get<bool>());
    EXPECT_FALSE(model()["vessels"][2]["selected"].get<bool>());

    // A floor has no info box.
    const int floorItem = f.GetNumVessels() + f.GetNumConnectingStreams() + 1;
    Answer floorInfo = get("/api/info?item=" + std::to_string(floorItem));
    EXPECT_EQ(floorInfo.status, 404);
    EXPECT_TRUE(floorInfo.body["error"].is_string());
}

TEST(ServeApi, VisibilitySwitchesAreKept)
{
    Answer off = post("/api/visibility", json{{"vessels", false}, {"labels", false}, {"floor", 0}, {"visible", false}});
    ASSERT_EQ(off.status, 200) << off.raw;
    EXPECT_FALSE(off.body["visibility"]["vessels"].get<bool>());
    EXPECT_FALSE(off.body["visibility"]["labels"].get<bool>());
    EXPECT_FALSE(off.body["floors"][0]["visible"].get<bool>());
    json m = model();
    EXPECT_FALSE(m["visibility"]["vessels"].get<bool>());
    EXPECT_TRUE(m["visibility"]["pipes"].get<bool>());
    EXPECT_FALSE(m["floors"][0]["visible"].get<bool>());
    // Asking for the state that is already there changes nothing.
    Answer again = post("/api/visibility", json{{"vessels", false}});
    EXPECT_FALSE(again.body["visibility"]["vessels"].get<bool>());
    Answer on = post("/api/visibility", json{{"vessels", true}, {"labels", true}, {"floor", 0}, {"visible", true}});
    ASSERT_EQ(on.status, 200);
    EXPECT_TRUE(on.body["visibility"]["vessels"].get<bool>());
    EXPECT_TRUE(on.body["floors"][0]["visible"].get<bool>());
    // A bad field leaves every switch as it was.
    Answer bad = post("/api/visibility", json{{"pipes", false}, {"labels", "no"}});
    EXPECT_EQ(bad.status, 400);
    EXPECT_TRUE(model()["visibility"]["pipes"].get<bool>());
}

TEST(ServeApi, LayoutMovesVesselsOfTheFloor)
{
    json before = model();
    Answer force = post("/api/layout", json{{"mode", "force"}, {"floor", 0}, {"iterations", 20}});
    ASSERT_EQ(force.status, 200) << force.raw;
    ASSERT_EQ(force.body["vessels"].size(), before["vessels"].size());
    bool moved = false;
    for (std::size_t i = 0; i < before["vessels"].size(); ++i) {
        json& a = before["vessels"][i];
        json& b = force.body["vessels"][i];
        if (a["floor"] == 0 && (a["x"] != b["x"] || a["y"] != b["y"])) moved = true;
        EXPECT_TRUE(b["x"].is_number() && b["y"].is_number()) << b.dump();
    }
    EXPECT_TRUE(moved);
    Answer wizard = post("/api/layout", json{{"mode", "wizard"}, {"floor", 0}});
    ASSERT_EQ(wizard.status, 200) << wizard.raw;
    // The model shows the new positions.
    json after = model();
    for (std::size_t i = 0; i < after["vessels"].size(); ++i)
        EXPECT_EQ(after["vessels"][i]["x"], wizard.body["vessels"][i]["x"]);
    EXPECT_EQ(post("/api/layout", json{{"mode", "force"}, {"floor", 9999}}).status, 404);
}

TEST(ServeApi, FloorsAreCreatedDeletedAndVesselsMoved)
{
    json before = model();
    const int floors = before["counts"]["floors"];
    Answer created = post("/api/floors", json{{"action", "create"}, {"name", "Mezzanine"}});
    ASSERT_EQ(created.status, 200) << created.raw;
    ASSERT_EQ(created.body["counts"]["floors"], floors + 1);
    const int index = created.body["created"];
    EXPECT_EQ(created.body["floors"][index]["name"], "Mezzanine");
    // Items of floors follow the vessels and streams, so the new one is last.
    EXPECT_EQ(created.body["counts"]["items"], before["counts"]["items"].get<int>() + 1);

    // A floor holding vessels is refused.
    const int occupied = before["vessels"][0]["floor"];
    Answer refused = post("/api/floors", json{{"action", "delete"}, {"floor", occupied}});
    EXPECT_EQ(refused.status, 409);
    EXPECT_NE(refused.body["error"].get<std::string>().find("holds vessels"), std::string::npos);

    Answer deleted = post("/api/floors", json{{"action", "delete"}, {"floor", index}});
    ASSERT_EQ(deleted.status, 200) << deleted.raw;
    EXPECT_EQ(deleted.body["counts"]["floors"], floors);
    for (json fl : deleted.body["floors"])
        EXPECT_NE(fl["name"], "Mezzanine");

    EXPECT_EQ(post("/api/floors", json{{"action", "moveUp"}, {"vessels", {0, 100000}}}).status, 404);
    EXPECT_EQ(post("/api/floors", json{{"action", "moveUp"}, {"vessels", json::array()}}).status, 400);
    // Up goes to the next higher floor (if any), down to the next lower.
    auto heightOf = [](json& m, int vessel) {
        return m["floors"][m["vessels"][vessel]["floor"].get<int>()]["height"].get<double>();
    };
    const double start = heightOf(before, 0);
    Answer up = post("/api/floors", json{{"action", "moveUp"}, {"vessels", {0}}});
    ASSERT_EQ(up.status, 200) << up.raw;
    EXPECT_EQ(up.body["vessels"].size(), before["vessels"].size());
    EXPECT_GE(heightOf(up.body, 0), start);
    Answer down = post("/api/floors", json{{"action", "moveDown"}, {"vessels", {0}}});
    ASSERT_EQ(down.status, 200);
    EXPECT_LE(heightOf(down.body, 0), heightOf(up.body, 0));
    if (heightOf(up.body, 0) > start) {
        EXPECT_EQ(heightOf(down.body, 0), start);
    }
}

TEST(ServeApi, GanttRowsAndBlocksMatchTheScheduleView)
{
    const GanttFacility& g = referenceSchedule();
    auto blockAt = [&](int v, int b) {
        CString step, version, op, rec;
        long stepID = 0, opID = 0, start = 0, end = 0;
        short batch = 0;
        bool empty = false;
        EXPECT_TRUE(g.GetScheduleInfo(v, b, step, version, op, stepID, opID, rec, start, end, batch, empty));
        return json{{"start", start}, {"end", end}, {"batch", batch}, {"operation", op.str()}, {"step", step.str()}};
    };
    const long end = model()["run"]["end"].get<long>();
    // The whole run at the default width, and a day zoomed in: each entry is
    // the next of the row's blocks as they are, or a span of the next
    // `count` of them; together they are every block in the window.
    for (const std::string& window :
         {std::string(), "?from=" + std::to_string(end / 2) + "&to=" + std::to_string(end / 2 + 86400) + "&px=4000"}) {
        Answer a = get("/api/gantt" + window);
        ASSERT_EQ(a.status, 200) << a.raw.substr(0, 200);
        ASSERT_EQ(a.body["rows"].size(), static_cast<std::size_t>(g.GetNumSchedVessels()));
        const long from = a.body["from"], to = a.body["to"];
        int exact = 0, spans = 0;
        for (int v = 0; v < g.GetNumSchedVessels(); ++v) {
            json& row = a.body["rows"][v];
            EXPECT_EQ(row["name"], g.GetVesselByIndex(v)->GetName().str());
            int b = 0;
            auto skipOutside = [&] {
                while (b < g.GetNumTimeBlocks(v) && (blockAt(v, b)["end"] < from || blockAt(v, b)["start"] > to))
                    ++b;
            };
            for (json& entry : row["blocks"]) {
                skipOutside();
                ASSERT_LT(b, g.GetNumTimeBlocks(v)) << entry.dump();
                EXPECT_TRUE(isHexColour(entry["colour"]));
                if (!entry.contains("count")) {
                    for (const char* key : {"start", "end", "batch", "operation", "step"})
                        EXPECT_EQ(entry[key], blockAt(v, b)[key]) << key;
                    ++b, ++exact;
                    continue;
                }
                EXPECT_EQ(entry["start"], blockAt(v, b)["start"]);
                std::set<int> batches;
                long until = 0;
                for (int n = 0; n < entry["count"].get<int>(); ++n, ++b) {
                    batches.insert(blockAt(v, b)["batch"].get<int>());
                    until = std::max(until, blockAt(v, b)["end"].get<long>());
                }
                EXPECT_EQ(entry["end"], until);
                EXPECT_EQ(entry["batches"], json(batches));
                ++spans;
            }
            skipOutside();
            EXPECT_EQ(b, g.GetNumTimeBlocks(v)) << "row " << v << " misses blocks in " << window;
            for (json nw : row["nonWorking"]) {
                EXPECT_LT(nw["start"].get<long>(), nw["end"].get<long>());
                EXPECT_GE(nw["start"].get<long>(), 0);
                EXPECT_LE(nw["end"].get<long>(), end);
            }
        }
        EXPECT_GT(exact, 0) << window;
        EXPECT_EQ(spans > 0, window.empty()) << "spans only where blocks are narrower than a pixel";
    }
}

TEST(ServeApi, EveryProfileTypeAnswersOrSaysWhy)
{
    Answer types = get("/api/composite/types");
    ASSERT_EQ(types.status, 200);
    ASSERT_EQ(types.body["types"].size(), static_cast<std::size_t>(kNumCompTypes));
    // Compared with the server's own schedule view, whose profiles are
    // loaded already (loading them a second time here would double the
    // test's time).
    ServedSample& served = ServedSample::instance();
    auto groupsOf = [&](int type, Array<long>& ids) {
        Array<CString> names;
        std::lock_guard<std::mutex> lock(served.server().ModelMutex());
        served.server().Api().Schedule().GetCompositeVessels(ids, names, static_cast<CompType>(type));
    };
    auto componentsOf = [&](int type, long group, Array<long>& ids) {
        Array<CString> names;
        std::lock_guard<std::mutex> lock(served.server().ModelMutex());
        served.server().Api().Schedule().GetCompositeComponents(static_cast<int>(group), ids, names,
                                                                static_cast<CompType>(type));
    };
    int drawn = 0;
    for (int t = 0; t < kNumCompTypes; ++t) {
        EXPECT_EQ(types.body["types"][t]["name"], CompTypeName(t));
        Answer groups = get("/api/composite/groups?type=" + std::to_string(t));
        ASSERT_EQ(groups.status, 200) << groups.raw;
        Array<long> ids;
        groupsOf(t, ids);
        ASSERT_EQ(groups.body["groups"].size(), static_cast<std::size_t>(ids.GetSize())) << "type " << t;
        for (int i = 0; i < ids.GetSize(); ++i)
            EXPECT_EQ(groups.body["groups"][i]["id"], ids[i]);
        // Mass for every type, and the quantity each of two types is about.
        std::vector<std::string> quantities = {"mass"};
        if (t == Utilities) quantities.push_back("duty");
        if (t == Labor) quantities.push_back("operators");
        for (const std::string& quantity : quantities) {
            Answer p = get("/api/composite/profile?type=" + std::to_string(t) + "&quantity=" + quantity);
            if (p.status != 200) {
                EXPECT_GE(p.status, 400);
                EXPECT_LT(p.status, 500);
                EXPECT_TRUE(p.body["error"].is_string()) << p.raw;
                continue;
            }
            long last = -1;
            for (json point : p.body["points"]) {
                ASSERT_TRUE(point["t"].is_number_integer()) << point.dump();
                EXPECT_GT(point["t"].get<long>(), last);
                last = point["t"];
            }
            if (!p.body["points"].empty()) ++drawn;
        }
        if (ids.GetSize() == 0) continue;
        const long group = ids[0];
        Answer comps = get("/api/composite/components?type=" + std::to_string(t) + "&group=" + std::to_string(group));
        ASSERT_EQ(comps.status, 200) << comps.raw;
        Array<long> compIds;
        componentsOf(t, group, compIds);
        ASSERT_EQ(comps.body["components"].size(), static_cast<std::size_t>(compIds.GetSize()));
        for (int i = 0; i < compIds.GetSize(); ++i)
            EXPECT_EQ(comps.body["components"][i]["id"], compIds[i]);
        if (compIds.GetSize() > 0) {
            const std::string base =
                "/api/composite/profile?type=" + std::to_string(t) + "&group=" + std::to_string(group);
            Answer one = get(base + "&component=" + std::to_string(compIds[0]));
            EXPECT_EQ(one.status, 200) << one.raw;
            // Several components at once: one series each, their sum in points.
            std::string list;
            for (int i = 0; i < std::min(3, compIds.GetSize()); ++i)
                list += (i ? "," : "") + std::to_string(compIds[i]);
            Answer several = get(base + "&components=" + list + "&px=200");
            ASSERT_EQ(several.status, 200) << several.raw;
            ASSERT_EQ(several.body["series"].size(), static_cast<std::size_t>(std::min(3, compIds.GetSize())));
            EXPECT_EQ(several.body["series"][0]["points"].size() > 0, one.body["points"].size() > 0);
            for (const json& series : several.body["series"])
                EXPECT_LE(series["points"].size(), 200u);
        }
        // A group that does not exist is named in the error.
        Answer missing = get("/api/composite/profile?type=" + std::to_string(t) + "&group=987654321");
        EXPECT_EQ(missing.status, 404);
        EXPECT_NE(missing.body["error"].get<std::string>().find("987654321"), std::string::npos);
    }
    EXPECT_GT(drawn, 0);
}

TEST(ServeApi, PageFilesAreServedFromTheEmbeddedAssets)
{
    auto c = client();
    const auto root = c.Get("/");
    ASSERT_TRUE(root);
    EXPECT_EQ(root->status, 200);
    EXPECT_NE(root->get_header_value("Content-Type").find("text/html"), std::string::npos);
    const auto index = c.Get("/index.html");
    ASSERT_TRUE(index);
    EXPECT_EQ(index->body, root->body);
    for (const char* path : {"/../../etc/passwd", "/etc/passwd", "/index.html/..", "/CMakeLists.txt", "/%2e%2e/"}) {
        Answer a = get(path);
        EXPECT_EQ(a.status, 404) << path;
        EXPECT_TRUE(a.body.is_object() && a.body["error"].is_string()) << path << ": " << a.raw;
    }
}

} // namespace
} // namespace batchplant::test

#endif // BATCHPLANT_HAVE_VIEWER
