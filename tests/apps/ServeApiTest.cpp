// The viewer's JSON API, against its server on loopback over the generated
// sample: the answers are compared with a facility loaded here on its own
// (counts, levels at a time, info texts, Gantt blocks, profiles).

#ifdef BATCHPLANT_HAVE_VIEWER

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <optional>
#include <set>
#include <thread>

#include "ServeTestSupport.h"
#include "batchplant/db/Dao.h"
#include "batchplant/foundation/Array.h"
#include "batchplant/gantt/CompositeTypes.h"
#include "batchplant/model/Plane.h"
#include "batchplant/model/Vessel.h"

namespace batchplant::test {
namespace {

using nlohmann::json;

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

json model() { return get("/api/model").body; }

bool isHexColour(const json& j)
{
    const std::string s = j.is_string() ? j.get<std::string>() : "";
    return s.size() == 7 && s[0] == '#' && s.find_first_not_of("0123456789ABCDEFabcdef", 1) == std::string::npos;
}

TEST(ServeApi, ModelMatchesTheFacility)
{
    const Facility& f = referencePlant();
    json m = model();
    const int vessels = f.GetNumVessels(), connecting = f.GetNumConnectingStreams();
    ASSERT_GT(vessels, 0);
    EXPECT_EQ(m["counts"], (json{{"vessels", vessels},
                                 {"floors", f.GetNumFloors()},
                                 {"connecting", connecting},
                                 {"uni", f.GetNumUniStreams()},
                                 {"utility", f.GetNumUtilStreams()},
                                 {"vapor", f.GetNumVaporStreams()},
                                 {"items", f.GetNumDrawables()}}));
    EXPECT_EQ(m["run"]["plan"], f.GetPlanName().str());
    EXPECT_EQ(m["run"]["start"], f.GetStartTime().ToIso().str());
    ASSERT_EQ(m["vessels"].size(), static_cast<std::size_t>(vessels));
    for (int i = 0; i < vessels; ++i) {
        json& v = m["vessels"][i];
        EXPECT_EQ(v["item"], i + 1);
        EXPECT_EQ(v["name"], f.GetVesselByIndex(i)->GetName().str());
        EXPECT_LT(v["floor"].get<int>(), f.GetNumFloors());
        EXPECT_TRUE(v["x"].is_number() && v["z"].is_number() && v["radius"] > 0 && isHexColour(v["colour"])) << v;
    }
    // Floors take the items after the vessels and connecting streams.
    ASSERT_EQ(m["floors"].size(), static_cast<std::size_t>(f.GetNumFloors()));
    for (int i = 0; i < f.GetNumFloors(); ++i)
        EXPECT_EQ(m["floors"][i]["item"], vessels + connecting + i + 1);
    // Connecting streams carry items and the two vessels the library connects; the others no item.
    std::map<std::string, int> kinds;
    for (json s : m["streams"]) {
        ++kinds[s["kind"].get<std::string>()];
        if (s["kind"] != "connecting") {
            EXPECT_TRUE(s["item"].is_null()) << s.dump();
            continue;
        }
        const Stream* stream = f.GetStreamByIndex(s["index"].get<int>());
        EXPECT_EQ(s["item"], vessels + s["index"].get<int>() + 1);
        EXPECT_EQ(f.GetVesselByIndex(s["from"].get<int>()), stream->GetInputVessel()) << s.dump();
        EXPECT_EQ(f.GetVesselByIndex(s["to"].get<int>()), stream->GetOutputVessel()) << s.dump();
    }
    EXPECT_EQ(kinds["connecting"], connecting);
    EXPECT_EQ(kinds["input"] + kinds["output"], f.GetNumUniStreams());
    EXPECT_EQ(kinds["utility"] + kinds["vapor"], f.GetNumUtilStreams() + f.GetNumVaporStreams());
}

TEST(ServeApi, StateFollowsTheLibraryAtEachTimeAndAnimateMovesTheClock)
{
    Facility& f = referencePlant();
    const long end = model()["run"]["end"].get<long>();
    std::vector<json> states;
    for (int k = 0; k < 8; ++k) {
        const long t = end * k / 7;
        Answer a = get("/api/state?t=" + std::to_string(t));
        ASSERT_EQ(a.status, 200) << a.raw;
        EXPECT_EQ(a.body["time"], t);
        ASSERT_EQ(a.body["vessels"].size(), static_cast<std::size_t>(f.GetNumVessels()));
        f.SetAnimationTime(t);
        for (int i = 0; i < f.GetNumVessels(); ++i) {
            json& v = a.body["vessels"][i];
            const Vessel* ref = f.GetVesselByIndex(i);
            EXPECT_DOUBLE_EQ(v["volume"].get<double>(), ref->GetVolume()) << "vessel " << i << " at " << t;
            EXPECT_EQ(v["heating"], ref->IsHeating() != 0);
            EXPECT_EQ(v["active"], ref->IsActive() != 0);
            EXPECT_EQ(v["operation"], ref->GetCurrentOp().str());
        }
        for (json s : a.body["streams"])
            for (const char* key : {"segmentStart", "segmentEnd"})
                EXPECT_TRUE(s[key] >= 0.0 && s[key] <= 1.0) << s.dump();
        states.push_back(a.body);
    }
    EXPECT_NE(states[0]["vessels"], states[4]["vessels"]);
    EXPECT_NE(states[0]["date"], states[4]["date"]);
    // Without t the state is the clock's: the last time asked for.
    EXPECT_EQ(get("/api/state").body["vessels"], states.back()["vessels"]);
    // Clients asking for different times at once each get their time's state.
    // Only a vessel's contents colour (the last batch's while idle) and the
    // streams' slugs (a step per frame shown) depend on what came before.
    auto withoutContents = [](json vessels) {
        for (json& v : vessels)
            v.erase("contents");
        return vessels;
    };
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int th = 0; th < 4; ++th)
        threads.emplace_back([&, th] {
            auto c = client();
            for (int i = 0; i < 25; ++i) {
                const json& want = states[(th * 3 + i) % states.size()];
                const Answer a = toAnswer(c.Get("/api/state?t=" + want["time"].dump()));
                mismatches += a.status != 200 || a.body["time"] != want["time"] ||
                              withoutContents(a.body["vessels"]) != withoutContents(want["vessels"]) ||
                              a.body["operations"] != want["operations"];
            }
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(mismatches, 0);

    ASSERT_EQ(get("/api/state?t=0").status, 200);
    Answer forward = post("/api/animate", json{{"direction", "forward"}, {"steps", 40}});
    const long t1 = forward.body["time"];
    EXPECT_GT(t1, 0);
    EXPECT_EQ(forward.body["state"]["time"], t1);
    EXPECT_LT(post("/api/animate", json{{"direction", "backward"}, {"steps", 40}}).body["time"].get<long>(), t1);
    // Far enough forward the clock stops at the boundary, on the last time.
    Answer far;
    for (int i = 0; i < 50 && !(far.body.is_object() && far.body["boundary"].get<bool>()); ++i)
        far = post("/api/animate", json{{"direction", "forward"}, {"steps", 10000}});
    EXPECT_TRUE(far.body["boundary"].get<bool>());
    EXPECT_EQ(far.body["time"], far.body["lastTime"]);
}

TEST(ServeApi, SelectionInfoVisibilityLayoutAndFloors)
{
    const Facility& f = referencePlant();
    Answer a = post("/api/select", json{{"item", 3}});
    ASSERT_EQ(a.status, 200) << a.raw;
    EXPECT_EQ(a.body["selected"]["vessels"], json::array({2}));
    EXPECT_TRUE(a.body["selected"]["streams"].empty());
    EXPECT_TRUE(a.body["vesselSelected"].get<bool>() && !a.body["sceneSelected"].get<bool>());
    EXPECT_EQ(a.body["events"][0]["dispid"], 1);
    EXPECT_TRUE(isHexColour(a.body["colours"]["vessels"]["2"]));
    EXPECT_TRUE(model()["vessels"][2]["selected"].get<bool>());
    CString name, procs, capacity;
    ASSERT_TRUE(f.GetInfoForBox(3, name, procs, capacity));
    json info = get("/api/info?item=3").body;
    EXPECT_EQ(info["name"], name.str());
    EXPECT_EQ(info["procedures"], procs.str());
    EXPECT_EQ(info["capacity"], capacity.str());
    Answer cleared = post("/api/select", json{{"item", 0}});
    EXPECT_TRUE(cleared.body["selected"]["vessels"].empty() && cleared.body["sceneSelected"].get<bool>());
    EXPECT_FALSE(model()["vessels"][2]["selected"].get<bool>());
    // A floor has no info box.
    EXPECT_EQ(get("/api/info?item=" + std::to_string(f.GetNumVessels() + f.GetNumConnectingStreams() + 1)).status, 404);

    for (bool on : {false, false, true}) {
        ASSERT_EQ(post("/api/visibility", json{{"vessels", on}, {"labels", on}, {"floor", 0}, {"visible", on}}).status,
                  200);
        json m = model();
        EXPECT_EQ(json::array({m["visibility"]["vessels"], m["visibility"]["labels"], m["floors"][0]["visible"],
                               m["visibility"]["pipes"]}),
                  json::array({on, on, on, true}));
    }
    // A bad field leaves every switch as it was.
    EXPECT_EQ(post("/api/visibility", json{{"pipes", false}, {"labels", "no"}}).status, 400);
    EXPECT_TRUE(model()["visibility"]["pipes"].get<bool>());

    json before = model();
    Answer force = post("/api/layout", json{{"mode", "force"}, {"floor", 0}, {"iterations", 20}});
    ASSERT_EQ(force.status, 200) << force.raw;
    bool moved = false;
    for (std::size_t i = 0; i < before["vessels"].size(); ++i)
        moved =
            moved || (before["vessels"][i]["floor"] == 0 && before["vessels"][i]["x"] != force.body["vessels"][i]["x"]);
    EXPECT_TRUE(moved);
    Answer wizard = post("/api/layout", json{{"mode", "wizard"}, {"floor", 0}});
    ASSERT_EQ(wizard.status, 200);
    json after = model();
    for (std::size_t i = 0; i < after["vessels"].size(); ++i)
        EXPECT_EQ(after["vessels"][i]["x"], wizard.body["vessels"][i]["x"]);

    before = model();
    const int floors = before["counts"]["floors"];
    Answer created = post("/api/floors", json{{"action", "create"}, {"name", "Mezzanine"}});
    ASSERT_EQ(created.body["counts"]["floors"], floors + 1) << created.raw;
    EXPECT_EQ(created.body["floors"][created.body["created"].get<int>()]["name"], "Mezzanine");
    EXPECT_EQ(created.body["counts"]["items"], before["counts"]["items"].get<int>() + 1);
    Answer refused = post("/api/floors", json{{"action", "delete"}, {"floor", before["vessels"][0]["floor"]}});
    EXPECT_EQ(refused.status, 409);
    EXPECT_NE(refused.body["error"].get<std::string>().find("holds vessels"), std::string::npos);
    Answer deleted = post("/api/floors", json{{"action", "delete"}, {"floor", created.body["created"]}});
    EXPECT_EQ(deleted.body["floors"], before["floors"]) << deleted.raw;
    // Up goes to the next higher floor (if any), down back to the next lower.
    auto heightOf = [](json& m) { return m["floors"][m["vessels"][0]["floor"].get<int>()]["height"].get<double>(); };
    Answer up = post("/api/floors", json{{"action", "moveUp"}, {"vessels", {0}}});
    Answer down = post("/api/floors", json{{"action", "moveDown"}, {"vessels", {0}}});
    ASSERT_EQ(up.status + down.status, 400) << up.raw << down.raw;
    EXPECT_GE(heightOf(up.body), heightOf(before));
    EXPECT_EQ(heightOf(down.body), heightOf(up.body) > heightOf(before) ? heightOf(before) : heightOf(down.body));
    EXPECT_LE(heightOf(down.body), heightOf(up.body));
}

TEST(ServeApi, GanttEntriesAreTheScheduleBlocksInTheWindow)
{
    GanttFacility g;
    ASSERT_TRUE(g.ReadGanttDatabase(CString(SampleDatabasePath().string())));
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
    // the row's next block as it is, or a span of the next `count`.
    for (const std::string& window :
         {std::string(), "?from=" + std::to_string(end / 2) + "&to=" + std::to_string(end / 2 + 86400) + "&px=4000"}) {
        Answer a = get("/api/gantt" + window);
        ASSERT_EQ(a.body["rows"].size(), static_cast<std::size_t>(g.GetNumSchedVessels())) << a.raw.substr(0, 200);
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
            for (json nw : row["nonWorking"])
                EXPECT_TRUE(0 <= nw["start"] && nw["start"] < nw["end"] && nw["end"] <= end) << nw.dump();
        }
        EXPECT_GT(exact, 0) << window;
        EXPECT_EQ(spans > 0, window.empty()) << "spans only where blocks are narrower than a pixel";
    }
}

TEST(ServeApi, EveryProfileTypeAnswersOrSaysWhy)
{
    Answer types = get("/api/composite/types");
    ASSERT_EQ(types.body["types"].size(), static_cast<std::size_t>(kNumCompTypes));
    // Compared with the server's own schedule view, whose profiles are loaded already.
    ServedSample& served = ServedSample::instance();
    auto idsOf = [&](int type, std::optional<long> group) {
        Array<long> ids;
        Array<CString> names;
        std::lock_guard<std::mutex> lock(served.server().ModelMutex());
        GanttFacility& g = served.server().Api().Schedule();
        if (!group)
            g.GetCompositeVessels(ids, names, static_cast<CompType>(type));
        else
            g.GetCompositeComponents(static_cast<int>(*group), ids, names, static_cast<CompType>(type));
        std::vector<long> out;
        for (int i = 0; i < ids.GetSize(); ++i)
            out.push_back(ids[i]);
        return out;
    };
    auto idsIn = [](const json& list) {
        std::vector<long> ids;
        for (const json& item : list)
            ids.push_back(item["id"]);
        return ids;
    };
    int drawn = 0;
    for (int t = 0; t < kNumCompTypes; ++t) {
        const std::string type = "type=" + std::to_string(t);
        EXPECT_EQ(types.body["types"][t]["name"], CompTypeName(t));
        const std::vector<long> groups = idsOf(t, std::nullopt);
        EXPECT_EQ(idsIn(get("/api/composite/groups?" + type).body["groups"]), groups) << type;
        // Mass for every type, and the quantity each of two types is about.
        std::vector<std::string> quantities = {"mass"};
        if (t == Utilities) quantities.push_back("duty");
        if (t == Labor) quantities.push_back("operators");
        for (const std::string& quantity : quantities) {
            Answer p = get("/api/composite/profile?" + type + "&quantity=" + quantity);
            if (p.status != 200) {
                EXPECT_TRUE(p.status >= 400 && p.status < 500 && p.body["error"].is_string()) << p.raw;
                continue;
            }
            long last = -1;
            for (json point : p.body["points"]) {
                EXPECT_GT(point["t"].get<long>(), last);
                last = point["t"];
            }
            drawn += !p.body["points"].empty();
        }
        if (groups.empty()) continue;
        const std::string base = "/api/composite/profile?" + type + "&group=" + std::to_string(groups[0]);
        const std::vector<long> comps = idsOf(t, groups[0]);
        EXPECT_EQ(
            idsIn(get("/api/composite/components?" + type + "&group=" + std::to_string(groups[0])).body["components"]),
            comps);
        if (!comps.empty()) {
            Answer one = get(base + "&component=" + std::to_string(comps[0]));
            EXPECT_EQ(one.status, 200) << one.raw;
            // Several components at once: one series each.
            std::string list;
            const std::size_t n = std::min<std::size_t>(3, comps.size());
            for (std::size_t i = 0; i < n; ++i)
                list += (i ? "," : "") + std::to_string(comps[i]);
            Answer several = get(base + "&components=" + list + "&px=200");
            ASSERT_EQ(several.body["series"].size(), n) << several.raw;
            EXPECT_EQ(several.body["series"][0]["points"].empty(), one.body["points"].empty());
            for (const json& series : several.body["series"])
                EXPECT_LE(series["points"].size(), 200u);
        }
        // A group that does not exist is named in the error.
        Answer missing = get("/api/composite/profile?" + type + "&group=987654321");
        EXPECT_EQ(missing.status, 404);
        EXPECT_NE(missing.body["error"].get<std::string>().find("987654321"), std::string::npos);
    }
    EXPECT_GT(drawn, 0);
}

TEST(ServeApi, PageFilesAreServedFromTheEmbeddedAssetsOnly)
{
    auto c = client();
    const auto root = c.Get("/"), index = c.Get("/index.html");
    ASSERT_TRUE(root && index);
    EXPECT_EQ(root->status, 200);
    EXPECT_NE(root->get_header_value("Content-Type").find("text/html"), std::string::npos);
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
