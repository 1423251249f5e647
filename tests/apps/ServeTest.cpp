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

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
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

// The error an answer names, "" when it names none.
std::string errorOf(const Answer& a)
{
    const bool named = a.body.is_object() && a.body.contains("error") && a.body["error"].is_string();
    return named ? a.body["error"].get<std::string>() : "";
}

httplib::Client client()
{
    httplib::Client c("127.0.0.1", served().port);
    c.set_connection_timeout(5);
    c.set_read_timeout(30);
    return c;
}

Answer get(const std::string& path) { return toAnswer(client().Get(path)); }
Answer post(const std::string& path, const json& body)
{
    return toAnswer(client().Post(path, body.dump(), "application/json"));
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
    EXPECT_EQ(m["counts"], (json{{"vessels", vessels},
                                 {"floors", f.GetNumFloors()},
                                 {"connecting", connecting},
                                 {"uni", f.GetNumUniStreams()},
                                 {"utility", f.GetNumUtilStreams()},
                                 {"vapor", f.GetNumVaporStreams()},
                                 {"items", f.GetNumDrawables()}}));
    EXPECT_EQ(json::array({m["run"]["plan"], m["run"]["start"]}),
              json::array({f.GetPlanName().str(), f.GetStartTime().ToIso().str()}));
    ASSERT_EQ(m["vessels"].size(), static_cast<std::size_t>(vessels));
    for (int i = 0; i < vessels; ++i) {
        json& v = m["vessels"][i];
        EXPECT_EQ(json::array({v["item"], v["name"]}), json::array({i + 1, f.GetVesselByIndex(i)->GetName().str()}));
        EXPECT_TRUE(v["floor"] < f.GetNumFloors() && v["radius"] > 0 && isHexColour(v["colour"])) << v;
    }
    // Items: vessels, then connecting streams, then floors; the other streams have none.
    for (int i = 0; i < f.GetNumFloors(); ++i)
        EXPECT_EQ(m["floors"][i]["item"], vessels + connecting + i + 1);
    int seen = 0;
    for (json s : m["streams"]) {
        const bool joins = s["kind"] == "connecting";
        EXPECT_EQ(s["item"], joins ? json(vessels + s["index"].get<int>() + 1) : json()) << s.dump();
        const Stream* stream = joins ? f.GetStreamByIndex(s["index"].get<int>()) : nullptr;
        EXPECT_TRUE(!joins || (f.GetVesselByIndex(s["from"].get<int>()) == stream->GetInputVessel() &&
                               f.GetVesselByIndex(s["to"].get<int>()) == stream->GetOutputVessel()))
            << s.dump();
        seen += joins;
    }
    EXPECT_EQ(seen, connecting);
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
            EXPECT_EQ(
                json::array({v["volume"], v["heating"], v["active"], v["operation"]}),
                json::array({ref->GetVolume(), ref->IsHeating() != 0, ref->IsActive() != 0, ref->GetCurrentOp().str()}))
                << "vessel " << i << " at " << t;
        }
        states.push_back(a.body);
    }
    EXPECT_NE(states[0]["vessels"], states[4]["vessels"]);
    // Without t the state is the clock's: the last time asked for.
    EXPECT_EQ(get("/api/state").body["vessels"], states.back()["vessels"]);
    // Clients asking for different times at once each get their time's state.
    // Only a vessel's contents colour (the last batch's while idle) and the
    // streams' slugs (a step per frame shown) depend on what came before.
    for (json& state : states)
        for (json& v : state["vessels"])
            v.erase("contents");
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int th = 0; th < 4; ++th)
        threads.emplace_back([&, th] {
            auto c = client();
            for (int i = 0; i < 25; ++i) {
                const json& want = states[(th * 3 + i) % states.size()];
                Answer a = toAnswer(c.Get("/api/state?t=" + want["time"].dump()));
                for (json& v : a.body["vessels"])
                    v.erase("contents");
                mismatches += a.status != 200 || a.body["time"] != want["time"] ||
                              a.body["vessels"] != want["vessels"] || a.body["operations"] != want["operations"];
            }
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(mismatches, 0);

    ASSERT_EQ(get("/api/state?t=0").status, 200);
    Answer forward = post("/api/animate", json{{"direction", "forward"}, {"steps", 40}});
    const long t1 = forward.body["time"];
    EXPECT_TRUE(t1 > 0 && forward.body["state"]["time"] == t1) << forward.raw.substr(0, 200);
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
    EXPECT_TRUE(model()["vessels"][2]["selected"].get<bool>());
    CString name, procs, capacity;
    ASSERT_TRUE(f.GetInfoForBox(3, name, procs, capacity));
    json info = get("/api/info?item=3").body;
    EXPECT_EQ(json::array({info["name"], info["procedures"], info["capacity"]}),
              json::array({name.str(), procs.str(), capacity.str()}));
    EXPECT_TRUE(post("/api/select", json{{"item", 0}}).body["sceneSelected"].get<bool>());
    EXPECT_FALSE(model()["vessels"][2]["selected"].get<bool>());

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

    // Force iterations move floor 0's vessels; the wizard's layout is what the model then holds.
    json before = model();
    Answer force = post("/api/layout", json{{"mode", "force"}, {"floor", 0}, {"iterations", 20}});
    bool moved = false;
    for (std::size_t i = 0; i < before["vessels"].size(); ++i)
        moved =
            moved || (before["vessels"][i]["floor"] == 0 && before["vessels"][i]["x"] != force.body["vessels"][i]["x"]);
    EXPECT_TRUE(moved) << force.raw.substr(0, 200);
    Answer wizard = post("/api/layout", json{{"mode", "wizard"}, {"floor", 0}});
    json after = model();
    for (std::size_t i = 0; i < after["vessels"].size(); ++i)
        EXPECT_EQ(after["vessels"][i]["x"], wizard.body["vessels"][i]["x"]);

    before = model();
    Answer created = post("/api/floors", json{{"action", "create"}, {"name", "Mezzanine"}});
    EXPECT_EQ(created.body["floors"][created.body["created"].get<int>()]["name"], "Mezzanine") << created.raw;
    EXPECT_EQ(created.body["counts"]["items"], before["counts"]["items"].get<int>() + 1);
    EXPECT_EQ(post("/api/floors", json{{"action", "delete"}, {"floor", created.body["created"]}}).body["floors"],
              before["floors"]);
    // Up goes to the next higher floor (if any), down back to the next lower.
    auto heightOf = [](json& m) { return m["floors"][m["vessels"][0]["floor"].get<int>()]["height"].get<double>(); };
    Answer up = post("/api/floors", json{{"action", "moveUp"}, {"vessels", {0}}});
    Answer down = post("/api/floors", json{{"action", "moveDown"}, {"vessels", {0}}});
    ASSERT_EQ(up.status + down.status, 400) << up.raw << down.raw;
    EXPECT_GE(heightOf(up.body), heightOf(before));
    EXPECT_EQ(heightOf(down.body), heightOf(up.body) > heightOf(before) ? heightOf(before) : heightOf(down.body));
}

TEST(ServeApi, GanttEntriesAreTheScheduleBlocksInTheWindow)
{
    GanttFacility g;
    ASSERT_TRUE(g.ReadGanttDatabase(CString(SampleDatabasePath().string())));
    const long end = model()["run"]["end"].get<long>();
    // The whole run at the default width, and a day zoomed in: each entry is
    // the row's next block in the window as it is, or a span of the next `count`.
    for (const std::string& window :
         {std::string(), "?from=" + std::to_string(end / 2) + "&to=" + std::to_string(end / 2 + 86400) + "&px=4000"}) {
        Answer a = get("/api/gantt" + window);
        ASSERT_EQ(a.body["rows"].size(), static_cast<std::size_t>(g.GetNumSchedVessels())) << a.raw.substr(0, 200);
        const long from = a.body["from"];
        const long to = a.body["to"];
        EXPECT_EQ(to, window.empty() ? end : end / 2 + 86400);
        int exact = 0;
        int spans = 0;
        for (int v = 0; v < g.GetNumSchedVessels(); ++v) {
            json& row = a.body["rows"][v];
            EXPECT_EQ(row["name"], g.GetVesselByIndex(v)->GetName().str());
            std::vector<ScheduleBlock> blocks;
            for (int b = 0; b < g.GetNumTimeBlocks(v); ++b)
                if (auto k = g.GetScheduleBlock(v, b); k && k->end >= from && k->start <= to) blocks.push_back(*k);
            std::size_t next = 0;
            for (json& entry : row["blocks"]) {
                ASSERT_LT(next, blocks.size()) << entry.dump();
                EXPECT_TRUE(isHexColour(entry["colour"]));
                const ScheduleBlock& k = blocks[next];
                json want = {{"start", k.start},
                             {"end", k.end},
                             {"batch", k.batch},
                             {"operation", k.op.str()},
                             {"step", k.stepName.str()}};
                if (entry.contains("count")) { // the span's blocks' batches, to the last one's end
                    std::set<int> batches;
                    long until = 0;
                    ASSERT_LE(next + entry["count"].get<std::size_t>(), blocks.size()) << entry.dump();
                    for (int n = 0; n < entry["count"].get<int>(); ++n) {
                        batches.insert(blocks[next].batch);
                        until = std::max(until, blocks[next++].end);
                    }
                    want = {{"start", k.start}, {"end", until}, {"batches", batches}};
                    ++spans;
                } else {
                    ++next;
                    ++exact;
                }
                for (auto it = want.begin(); it != want.end(); ++it)
                    EXPECT_EQ(entry[it.key()], *it) << it.key() << " " << entry.dump();
            }
            EXPECT_EQ(next, blocks.size()) << "row " << v << " misses blocks in " << window;
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
        for (const char* quantity : {"mass", t == Utilities ? "duty" : t == Labor ? "operators" : "mass"}) {
            Answer p = get("/api/composite/profile?" + type + "&quantity=" + quantity);
            EXPECT_TRUE(p.status == 200 || (p.status >= 400 && p.status < 500 && !errorOf(p).empty())) << p.raw;
            long last = -1;
            for (json point : p.body["points"])
                EXPECT_GT(point["t"].get<long>(), std::exchange(last, point["t"].get<long>()));
            drawn += p.status == 200 && !p.body["points"].empty();
        }
        if (groups.empty()) continue;
        const std::string base = "/api/composite/profile?" + type + "&group=" + std::to_string(groups[0]);
        const std::vector<long> comps = idsOf(t, groups[0]);
        EXPECT_EQ(
            idsIn(get("/api/composite/components?" + type + "&group=" + std::to_string(groups[0])).body["components"]),
            comps);
        if (comps.empty()) continue;
        // One component, and several at once: one series each.
        Answer one = get(base + "&component=" + std::to_string(comps[0]));
        EXPECT_EQ(one.status, 200) << one.raw;
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
    EXPECT_GT(drawn, 0);
}

struct BadRequest {
    std::string method, path, body;
    int status;        // expected; 0 means any 4xx
    std::string match; // searched for in the error
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

void words(const std::string& text, const std::function<void(const std::string&)>& each)
{
    std::istringstream in(text);
    for (std::string w; in >> w;)
        each(w);
}

// Fields split at '|', the last to the end of the word.
std::vector<std::string> fields(const std::string& word)
{
    std::vector<std::string> out;
    std::istringstream in(word);
    for (std::string f; std::getline(in, f, '|');)
        out.push_back(f);
    return out;
}

std::vector<BadRequest> badRequests()
{
    std::vector<BadRequest> r;
    // Numbers: not numbers, not whole, not finite, out of range, repeated.
    words(R"(state?t=abc state?t=NaN state?t=nan state?t=inf state?t=1e3 state?t=1.5
        state?t=-1 state?t=+5 state?t=%205 state?t=5%20 state?t=0x10 state?t= state?t=99999999999999999999999999
        state?t=2147483648 state?t=1&t=2 info info?item=0 info?item=-3 info?item=100000000 composite/groups
        composite/groups?type=9 composite/groups?type=-1 composite/groups?type=Inputs composite/components?type=0
        composite/profile?type=0&quantity=weight composite/profile?type=0&perTime=2 composite/profile?type=0&group=1.5
        composite/profile?type=0&component=99999999999 composite/profile?type=0&components=1,2 gantt?from=10&to=10
        gantt?from=-1 gantt?px=0 gantt?px=9000 gantt?to=2147483648 utilisation?from=5&to=5)",
          [&](const std::string& w) {
              r.push_back({"GET", "/api/" + w, "", 400, ""});
          });
    // Bodies: not JSON, not an object, wrong kinds, out of range.
    words(R"(select:{ select:[] select:"item" select:{"item":NaN} select:{}
        select:{"item":-1} select:{"item":1.5} select:{"item":"1"} select:{"item":1e300}
        select:{"item":18446744073709551615} select:{"item":100000000} select:{"item":1,"multiSelect":1}
        animate:{"direction":"sideways"} animate:{"steps":0} animate:{"steps":1000000} visibility:{"floor":0}
        layout:{"mode":"spring","floor":0} layout:{"mode":"force"} layout:{"mode":"force","floor":0,"iterations":100000}
        floors:{} floors:{"action":"explode"} floors:{"action":"delete","floor":-1}
        floors:{"action":"moveUp","vessels":["a"]} floors:{"action":"moveUp","vessels":3})",
          [&](const std::string& w) {
              r.push_back({"POST", "/api/" + w.substr(0, w.find(':')), w.substr(w.find(':') + 1), 400, ""});
          });
    // STATUS|METHOD|PATH|BODY|WORDS IN THE ERROR: unknown things, unknown
    // paths and page files, wrong methods, refusals.
    words(
        R"(404|GET|/api/composite/components?type=0&group=987654321 404|GET|/api/composite/profile?type=3&group=987654321||987654321
        0|GET|/api/composite/profile?type=0&group=1&components=1,,2 404|POST|/api/visibility|{"floor":9999,"visible":true}
        404|GET|/api/nothing 404|GET|/api 404|GET|/nothing.js 404|POST|/api/nothing|{} 405|POST|/api/model|{}
        405|GET|/api/select 405|PUT|/api/state|{} 405|DELETE|/api/floors 404|POST|/api/layout|{"mode":"force","floor":9999}
        404|POST|/api/floors|{"action":"moveUp","vessels":[0,100000]} 400|POST|/api/floors|{"action":"moveUp","vessels":[]}
        409|POST|/api/floors|{"action":"delete","floor":0}|holds_vessels 404|GET|/../../etc/passwd 404|GET|/etc/passwd
        404|GET|/index.html/.. 404|GET|/CMakeLists.txt 404|GET|/%2e%2e/)",
        [&](const std::string& w) {
            std::vector<std::string> f = fields(w);
            f.resize(5);
            std::replace(f[4].begin(), f[4].end(), '_', ' ');
            r.push_back({f[1], f[2], f[3], std::stoi(f[0]), f[4]});
        });
    // A floor has no info box.
    const json counts = model()["counts"];
    r.push_back({"GET",
                 "/api/info?item=" + std::to_string(counts["vessels"].get<int>() + counts["connecting"].get<int>() + 1),
                 "", 404, ""});
    r.push_back({"POST", "/api/floors", R"({"action":"create","name":")" + std::string(300, 'x') + "\"}", 400, ""});
    r.push_back({"POST", "/api/select", std::string("{\"item\": 1}\0garbage", 20), 400, ""});
    // Too large a body.
    r.push_back({"POST", "/api/select", "{\"item\": 1, \"pad\": \"" + std::string(100 * 1024, 'x') + "\"}", 413, ""});
    r.push_back({"POST", "/api/select", std::string(70000, '['), 413, ""});
    return r;
}

TEST(ServeRobustness, EveryMalformedRequestGetsAJsonClientError)
{
    const json before = model();
    for (const BadRequest& r : badRequests()) {
        const Answer a = send(r);
        const std::string what = r.method + " " + r.path + " " + r.body.substr(0, 60) + ": " + a.raw;
        EXPECT_TRUE(r.status ? a.status == r.status : a.status >= 400 && a.status < 500) << a.status << " " << what;
        EXPECT_TRUE(!errorOf(a).empty() && errorOf(a).find(r.match) != std::string::npos) << what;
        EXPECT_NE(a.contentType.find("application/json"), std::string::npos) << what;
    }
    // None of them changed the model.
    EXPECT_EQ(model()["counts"], before["counts"]);
}

TEST(ServeRobustness, OnlyThePagesOwnRequestsAreServed)
{
    // STATUS|METHOD|HOST|ORIGIN, SELF this server's address.
    words("200|GET|SELF 200|GET|localhost:8080 200|GET|[::1] 403|GET|rebound.example:8080 "
          "403|GET|127.0.0.1.rebound.example "
          "403|GET|127.0.0.1:80x 200|POST|SELF|http://SELF 200|POST|SELF 403|POST|SELF|http://attacker.example "
          "403|POST|SELF|null",
          [](const std::string& w) {
              std::string row = w;
              for (auto at = row.find("SELF"); at != std::string::npos; at = row.find("SELF"))
                  row.replace(at, 4, "127.0.0.1:" + std::to_string(served().port));
              const std::vector<std::string> f = fields(row);
              httplib::Headers headers = {{"Host", f[2]}};
              if (f.size() > 3) headers.emplace("Origin", f[3]);
              const Answer a =
                  toAnswer(f[1] == "GET" ? client().Get("/api/composite/types", headers)
                                         : client().Post("/api/select", headers, "{\"item\": 0}", "application/json"));
              EXPECT_EQ(a.status, std::stoi(f[0])) << row << ": " << a.raw;
              EXPECT_TRUE(a.status == 200 || !errorOf(a).empty()) << a.raw;
          });
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

// Table rows, their bodies cut short or turned into random bytes, and random
// kinds of fields: valid by chance or not, none may fail the server.
TEST(ServeRobustness, ABoundedLoopOfBadRequestsLeavesTheServerAnswering)
{
    const std::vector<BadRequest> bad = badRequests();
    std::mt19937 random(20261206);
    const std::string alphabet = "0123456789-+.eE aZ%&=?/\\\"{}[]:,\x01\xff";
    for (int i = 0; i < 300; ++i) {
        BadRequest r = bad[random() % bad.size()];
        if (i % 3 == 1) r.body.resize(random() % (r.body.size() + 1));
        std::string junk;
        for (int k = i % 3 == 2 ? 1 + static_cast<int>(random() % 12) : 0; k > 0; --k)
            junk += alphabet[random() % alphabet.size()];
        (r.method == "GET" ? r.path : r.body) += r.method == "GET" ? httplib::detail::encode_query_param(junk) : junk;
        if (i % 5 == 0) {
            json body;
            for (const char* field : {"item", "steps", "floor", "iterations", "mode", "action", "vessels"})
                if (const auto k = random() % 4; k == 0)
                    body[field] = static_cast<long long>(random()) - (1LL << 31);
                else if (k == 1)
                    body[field] = json::array({static_cast<int>(random() % 1000) - 500});
            r = {"POST", bad[random() % bad.size()].path, body.dump(), 0, ""};
        }
        const Answer a = send(r);
        EXPECT_TRUE(a.status > 0 && a.status < 500) << "request " << i << ": " << a.status << " " << a.raw;
    }
    for (const std::string& raw :
         {std::string("\r\n\r\n"), std::string("GARBAGE\r\n\r\n"), std::string("GET\r\n\r\n"),
          std::string("GET /api/model HTTP/9.9\r\n\r\n"),
          std::string("POST /api/select HTTP/1.1\r\nContent-Length: 99999999999999999999\r\n\r\n{}"),
          std::string("POST /api/select HTTP/1.1\r\nContent-Length: -5\r\n\r\n"),
          "GET /" + std::string(20000, 'a') + " HTTP/1.1\r\n\r\n",
          "GET /api/state?t=1 HTTP/1.1\r\nHost: x\r\n" + std::string(9000, 'h') + "\r\n\r\n",
          std::string("POST /api/select HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n{}\r\n0\r\n\r\n"),
          std::string(1000, '\0')})
        sendRaw(served().port, raw);
    Answer good = get("/api/state?t=60");
    ASSERT_EQ(good.status, 200) << good.raw;
    EXPECT_EQ(good.body["time"], 60);

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
        EXPECT_TRUE(
            twice.exitCode == 1 && twice.out.empty() &&
            std::regex_search(twice.err, std::regex("batchplant serve: loading the plant[\\s\\S]*cannot listen on "
                                                    "127\\.0\\.0\\.1:" +
                                                    port + ": address in use\n")))
            << twice.err;
        ::kill(std::exchange(child.pid, 0), signal);
        const int status = ::pclose(std::exchange(child.pipe, nullptr));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "signal " << signal << ": " << status;
    }
}

} // namespace
} // namespace batchplant::test

#endif // BATCHPLANT_HAVE_VIEWER
