// The viewer: its JSON API on a loopback server over the generated sample,
// compared with a facility loaded here on its own; every malformed request
// answered with a JSON 4xx; and `batchplant serve` as a process.

#ifdef BATCHPLANT_HAVE_VIEWER

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <optional>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <thread>
#include <utility>

#include "SampleDatabase.h"
#include "TestSupport.h"
#include "batchplant/db/Dao.h"
#include "batchplant/gantt/CompositeTypes.h"
#include "batchplant/gantt/GanttFacility.h"
#include "batchplant/model/Vessel.h"
#include "serve/ViewerApi.h"
#include "serve/ViewerFacility.h"
#include "serve/ViewerServer.h"

namespace batchplant::test {
namespace {

using nlohmann::json;

std::unique_ptr<serve::ViewerServer> loadSampleServer()
{
    std::string error;
    auto plant = serve::ViewerFacility::Load(SampleDatabasePath().string(), error);
    auto schedule = std::make_unique<GanttFacility>();
    if (!plant || !schedule->ReadGanttDatabase(CString(SampleDatabasePath().string())))
        throw std::runtime_error("cannot load the sample: " + error);
    return std::make_unique<serve::ViewerServer>(
        std::make_unique<serve::ViewerApi>(std::move(plant), std::move(schedule)));
}

// One server per test process, on a port of the system's choice, stopped at
// exit.
struct ServedSample {
    std::unique_ptr<serve::ViewerServer> server = loadSampleServer();
    int port = server->Bind("127.0.0.1", 0);
    std::thread thread{[this] { server->Run(); }};
    ~ServedSample()
    {
        server->Stop();
        thread.join();
    }
};
ServedSample& served()
{
    static ServedSample s;
    return s;
}

struct Answer {
    int status = 0; // 0: no answer at all
    json body;
    std::string contentType, raw;
};

Answer toAnswer(const httplib::Result& r)
{
    if (!r) return {};
    return {r->status, json::parse(r->body, nullptr, false), r->get_header_value("Content-Type"), r->body};
}

httplib::Client client()
{
    httplib::Client c("127.0.0.1", served().port);
    c.set_connection_timeout(5);
    c.set_read_timeout(30);
    return c;
}

Answer get(const std::string& path) { return toAnswer(client().Get(path)); }
// Bodies may hold bytes that are not UTF-8 (the random requests do).
Answer post(const std::string& path, const json& body)
{
    return toAnswer(client().Post(path, body.dump(-1, ' ', false, json::error_handler_t::replace), "application/json"));
}
json model() { return get("/api/model").body; }

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
    // Connecting streams carry items and the two vessels the library connects;
    // the others no item.
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
    EXPECT_EQ(a.body["selected"], (json{{"vessels", {2}}, {"streams", json::array()}, {"floors", json::array()}}));
    EXPECT_TRUE(a.body["vesselSelected"].get<bool>() && !a.body["sceneSelected"].get<bool>());
    EXPECT_EQ(a.body["events"][0]["dispid"], 1);
    EXPECT_TRUE(isHexColour(a.body["colours"]["vessels"]["2"]));
    EXPECT_TRUE(model()["vessels"][2]["selected"].get<bool>());
    CString name, procs, capacity;
    ASSERT_TRUE(f.GetInfoForBox(3, name, procs, capacity));
    json info = get("/api/info?item=3").body;
    EXPECT_EQ(json::array({info["name"], info["procedures"], info["capacity"]}),
              json::array({name.str(), procs.str(), capacity.str()}));
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
    Answer created = post("/api/floors", json{{"action", "create"}, {"name", "Mezzanine"}});
    ASSERT_EQ(created.body["counts"]["floors"], before["counts"]["floors"].get<int>() + 1) << created.raw;
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
        EXPECT_EQ(to, window.empty() ? end : end / 2 + 86400);
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
    // Compared with the server's own schedule view, whose profiles are loaded
    // already.
    auto idsOf = [&](int type, std::optional<long> group) {
        Array<long> ids;
        Array<CString> names;
        std::lock_guard<std::mutex> lock(served().server->ModelMutex());
        GanttFacility& g = served().server->Api().Schedule();
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
        for (const char* quantity : {"mass", t == Utilities ? "duty" : t == Labor ? "operators" : nullptr}) {
            if (!quantity) continue;
            Answer p = get("/api/composite/profile?" + type + "&quantity=" + quantity);
            if (p.status != 200) {
                EXPECT_TRUE(p.status >= 400 && p.status < 500 && p.body["error"].is_string()) << p.raw;
                continue;
            }
            long last = -1;
            for (json point : p.body["points"])
                EXPECT_GT(point["t"].get<long>(), std::exchange(last, point["t"].get<long>()));
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

struct BadRequest {
    std::string method, path, body;
    int status; // expected; 0 means any 4xx
};

Answer send(const BadRequest& r)
{
    auto c = client();
    if (r.method == "GET") return toAnswer(c.Get(r.path));
    if (r.method == "POST") return toAnswer(c.Post(r.path, r.body, "application/json"));
    if (r.method == "PUT") return toAnswer(c.Put(r.path, r.body, "application/json"));
    if (r.method == "DELETE") return toAnswer(c.Delete(r.path));
    return toAnswer(c.Patch(r.path, r.body, "application/json"));
}

std::vector<std::string> words(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

std::vector<BadRequest> badRequests()
{
    std::vector<BadRequest> r;
    // Numbers: not numbers, not whole, not finite, out of range, repeated.
    for (const std::string& query : words(
             R"(state?t=abc state?t=NaN state?t=nan state?t=inf state?t=1e3 state?t=1.5
        state?t=-1 state?t=+5 state?t=%205 state?t=5%20 state?t=0x10 state?t= state?t=99999999999999999999999999
        state?t=2147483648 state?t=1&t=2 info info?item=0 info?item=-3 info?item=100000000 composite/groups
        composite/groups?type=9 composite/groups?type=-1 composite/groups?type=Inputs composite/components?type=0
        composite/profile?type=0&quantity=weight composite/profile?type=0&perTime=2 composite/profile?type=0&group=1.5
        composite/profile?type=0&component=99999999999 composite/profile?type=0&components=1,2 gantt?from=10&to=10
        gantt?from=-1 gantt?px=0 gantt?px=9000 gantt?to=2147483648 utilisation?from=5&to=5)"))
        r.push_back({"GET", "/api/" + query, "", 400});
    // Bodies: not JSON, not an object, wrong kinds, out of range.
    const std::string longName = R"({"action":"create","name":")" + std::string(300, 'x') + "\"}";
    for (const std::string& line : words(R"(select:{ select:[] select:"item" select:{"item":NaN} select:{}
        select:{"item":-1} select:{"item":1.5} select:{"item":"1"} select:{"item":1e300}
        select:{"item":18446744073709551615} select:{"item":100000000} select:{"item":1,"multiSelect":1}
        animate:{"direction":"sideways"} animate:{"steps":0} animate:{"steps":1000000} visibility:{"floor":0}
        layout:{"mode":"spring","floor":0} layout:{"mode":"force"} layout:{"mode":"force","floor":0,"iterations":100000}
        floors:{} floors:{"action":"explode"} floors:{"action":"delete","floor":-1}
        floors:{"action":"moveUp","vessels":["a"]} floors:{"action":"moveUp","vessels":3} floors:)" +
                                         longName))
        r.push_back({"POST", "/api/" + line.substr(0, line.find(':')), line.substr(line.find(':') + 1), 400});
    r.push_back({"POST", "/api/select", std::string("{\"item\": 1}\0garbage", 20), 400});
    // STATUS|METHOD|PATH[|BODY]: unknown things, unknown paths and page files,
    // wrong methods.
    for (const std::string& w : words(R"(404|GET|/api/composite/components?type=0&group=987654321
        0|GET|/api/composite/profile?type=0&group=1&components=1,,2 404|POST|/api/visibility|{"floor":9999,"visible":true}
        404|GET|/api/nothing 404|GET|/api 404|GET|/nothing.js 404|POST|/api/nothing|{} 405|POST|/api/model|{}
        405|GET|/api/select 405|PUT|/api/state|{} 405|DELETE|/api/floors 404|POST|/api/layout|{"mode":"force","floor":9999}
        404|POST|/api/floors|{"action":"moveUp","vessels":[0,100000]} 400|POST|/api/floors|{"action":"moveUp","vessels":[]}
        404|GET|/../../etc/passwd 404|GET|/etc/passwd 404|GET|/index.html/.. 404|GET|/CMakeLists.txt 404|GET|/%2e%2e/)")) {
        std::istringstream in(w);
        std::string status, method, path, body;
        std::getline(std::getline(std::getline(std::getline(in, status, '|'), method, '|'), path, '|'), body);
        r.push_back({method, path, body, std::stoi(status)});
    }
    // Too large a body.
    r.push_back({"POST", "/api/select", "{\"item\": 1, \"pad\": \"" + std::string(100 * 1024, 'x') + "\"}", 413});
    r.push_back({"POST", "/api/select", std::string(70000, '['), 413});
    return r;
}

TEST(ServeRobustness, EveryMalformedRequestGetsAJsonClientError)
{
    const json before = model();
    for (const BadRequest& r : badRequests()) {
        const Answer a = send(r);
        const std::string what = r.method + " " + r.path + " " + r.body.substr(0, 60) + ": " + a.raw;
        EXPECT_TRUE(r.status ? a.status == r.status : a.status >= 400 && a.status < 500) << a.status << " " << what;
        EXPECT_TRUE(a.body.is_object() && a.body.contains("error") && a.body["error"].is_string() &&
                    !a.body["error"].get<std::string>().empty())
            << what;
        EXPECT_NE(a.contentType.find("application/json"), std::string::npos) << what;
    }
    // None of them changed the model.
    EXPECT_EQ(model()["counts"], before["counts"]);
}

TEST(ServeRobustness, OnlyThePagesOwnRequestsAreServed)
{
    const std::string self = "127.0.0.1:" + std::to_string(served().port);
    struct Case {
        const char* method;
        std::string host, origin;
        int status;
    };
    for (const Case& c : std::vector<Case>{{"GET", self, "", 200},
                                           {"GET", "localhost:8080", "", 200},
                                           {"GET", "[::1]", "", 200},
                                           {"GET", "rebound.example:8080", "", 403},
                                           {"GET", "127.0.0.1.rebound.example", "", 403},
                                           {"GET", "127.0.0.1:80x", "", 403},
                                           {"POST", self, "http://" + self, 200},
                                           {"POST", self, "", 200},
                                           {"POST", self, "http://attacker.example", 403},
                                           {"POST", self, "null", 403}}) {
        httplib::Headers headers = {{"Host", c.host}};
        if (!c.origin.empty()) headers.emplace("Origin", c.origin);
        const Answer a = toAnswer(std::string(c.method) == "GET"
                                      ? client().Get("/api/composite/types", headers)
                                      : client().Post("/api/select", headers, "{\"item\": 0}", "application/json"));
        EXPECT_EQ(a.status, c.status) << c.method << " Host " << c.host << " Origin " << c.origin << ": " << a.raw;
        EXPECT_TRUE(c.status == 200 || (a.body.contains("error") && a.body["error"].is_string())) << a.raw;
    }
    // Answers are never compressed per request on loopback; the page's
    // files come as compressed when they were built. "/" is the index page.
    auto c = client();
    c.set_decompress(false);
    const httplib::Headers br = {{"Accept-Encoding", "br, gzip"}};
    const auto gantt = c.Get("/api/gantt", br), page = c.Get("/", br), index = c.Get("/index.html", br);
    ASSERT_TRUE(gantt && page && index);
    EXPECT_EQ(gantt->get_header_value("Content-Encoding"), "");
    EXPECT_EQ(page->status, 200);
    EXPECT_NE(page->get_header_value("Content-Encoding"), "br");
    EXPECT_NE(page->get_header_value("Content-Type").find("text/html"), std::string::npos);
    EXPECT_EQ(index->body, page->body);
}

// Raw bytes on a loopback socket, for what an HTTP client library would never
// send; the answer (if any) is read and discarded.
void sendRaw(int port, const std::string& bytes)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    timeval timeout{2, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        (void)!::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        ::shutdown(fd, SHUT_WR);
        char buffer[4096];
        while (::recv(fd, buffer, sizeof buffer, 0) > 0) {
        }
    }
    ::close(fd);
}

TEST(ServeRobustness, ABoundedLoopOfBadRequestsLeavesTheServerAnswering)
{
    const std::vector<BadRequest> bad = badRequests();
    std::mt19937 random(20261206);
    const std::string alphabet = "0123456789-+.eE aZ%&=?/\\\"{}[]:,\x01\xff";
    auto junk = [&](std::size_t n) {
        std::string s;
        for (std::size_t i = 0; i < n; ++i)
            s += alphabet[random() % alphabet.size()];
        return s;
    };
    const char* paths[] = {
        "/api/state?t=", "/api/info?item=", "/api/composite/profile?type=", "/api/composite/components?type=0&group="};
    const char* posts[] = {"/api/select", "/api/animate", "/api/visibility", "/api/layout", "/api/floors"};
    for (int i = 0; i < 300; ++i) {
        Answer a;
        if (i % 4 == 0)
            a = send(bad[random() % bad.size()]);
        else if (i % 4 == 1)
            a = get(std::string(paths[random() % 4]) + httplib::detail::encode_query_param(junk(1 + random() % 12)));
        else if (i % 4 == 2)
            a = send({"POST", posts[random() % 5], junk(random() % 64), 0});
        else { // an object whose fields hold random kinds of values, or none
            json body;
            for (const char* field : {"item", "steps", "floor", "iterations", "mode", "action", "vessels"}) {
                if (const auto k = random() % 5; k == 0)
                    body[field] = static_cast<long long>(random()) - (1LL << 31);
                else if (k == 1)
                    body[field] = junk(5);
                else if (k == 2)
                    body[field] = json::array({static_cast<int>(random() % 1000) - 500});
                else if (k == 3)
                    body[field] = nullptr;
            }
            a = post(posts[random() % 5], body);
        }
        // Random requests may happen to be valid; none may fail the server.
        EXPECT_TRUE(a.status > 0 && a.status < 500) << "request " << i << ": " << a.status << " " << a.raw;
    }
    for (const std::string& raw :
         {std::string("\r\n\r\n"), std::string("GARBAGE\r\n\r\n"), std::string("GET\r\n\r\n"),
          std::string("GET /api/model HTTP/9.9\r\n\r\n"),
          std::string("POST /api/select HTTP/1.1\r\nContent-Length: "
                      "99999999999999999999\r\n\r\n{}"),
          std::string("POST /api/select HTTP/1.1\r\nContent-Length: -5\r\n\r\n"),
          std::string("GET /" + std::string(20000, 'a') + " HTTP/1.1\r\n\r\n"),
          std::string("GET /api/state?t=1 HTTP/1.1\r\nHost: x\r\n") + std::string(9000, 'h') + "\r\n\r\n",
          std::string("POST /api/select HTTP/1.1\r\nTransfer-Encoding: "
                      "chunked\r\n\r\nzz\r\n{}\r\n0\r\n\r\n"),
          std::string(1000, '\0')})
        sendRaw(served().port, raw);
    Answer good = get("/api/state?t=60");
    ASSERT_EQ(good.status, 200) << good.raw;
    EXPECT_EQ(good.body["time"], 60);
    EXPECT_EQ(get("/api/model").status, 200);

    const auto idle = loadSampleServer(); // stopped before it runs, it returns at once
    ASSERT_GT(idle->Bind("127.0.0.1", 0), 0);
    idle->Stop();
    EXPECT_TRUE(idle->Run());
    EXPECT_THROW(serve::ViewerServer{nullptr}, std::invalid_argument);
}

// Kills the server if a check fails before it is stopped.
struct Child {
    FILE* pipe = nullptr;
    int pid = 0;
    ~Child()
    {
        if (pid > 0) ::kill(pid, SIGKILL);
        if (pipe) ::pclose(pipe);
    }
};

TEST(ServeCommand, PrintsItsAddressAnswersRefusesAPortInUseAndStopsOnSignals)
{
    const std::string serve = std::string("'") + BATCHPLANT_CLI + "' serve '" + SampleDatabasePath().string() + "'";
    for (int signal : {SIGTERM, SIGINT}) {
        // The shell prints its pid, then becomes the server.
        Child child{::popen(("echo $$; exec " + serve + " --port 0 2>/dev/null").c_str(), "r")};
        ASSERT_NE(child.pipe, nullptr);
        char pid[32] = {}, line[200] = {};
        ASSERT_TRUE(std::fgets(pid, sizeof pid, child.pipe));
        child.pid = std::stoi(pid);
        ASSERT_TRUE(std::fgets(line, sizeof line, child.pipe));
        std::cmatch m;
        ASSERT_TRUE(std::regex_match(line, m, std::regex("^batchplant serve: http://127\\.0\\.0\\.1:([0-9]+)/\n$")))
            << line;
        const std::string port = m[1].str();
        const auto model = httplib::Client("127.0.0.1", std::stoi(port)).Get("/api/model");
        ASSERT_TRUE(model);
        EXPECT_GT(json::parse(model->body)["counts"]["vessels"].get<int>(), 0);
        // Loading is told on stderr, the address only once it listens.
        const CommandResult twice = runCommand(serve + " --port " + port);
        EXPECT_EQ(twice.exitCode, 1);
        EXPECT_NE(twice.err.find("cannot listen on 127.0.0.1:" + port + ": address in use\n"), std::string::npos)
            << twice.err;
        EXPECT_NE(twice.err.find("batchplant serve: loading the plant"), std::string::npos) << twice.err;
        EXPECT_EQ(twice.out, "");
        ::kill(std::exchange(child.pid, 0), signal);
        const int status = ::pclose(std::exchange(child.pipe, nullptr));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "signal " << signal << ": " << status;
    }
}

} // namespace
} // namespace batchplant::test

#endif // BATCHPLANT_HAVE_VIEWER
