// The viewer server against bad requests: every malformed request gets a
// 4xx with a JSON error, random ones and raw garbage leave it answering.

#ifdef BATCHPLANT_HAVE_VIEWER

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <random>
#include <sstream>

#include "ServeTestSupport.h"

namespace batchplant::test {
namespace {

using nlohmann::json;

struct BadRequest {
    std::string method;
    std::string path;
    std::string body;
    int status; // expected; 0 means any 4xx
};

void expectJsonError(const Answer& a, const BadRequest& r)
{
    const std::string what = r.method + " " + r.path + " " + r.body.substr(0, 60) + ": " + a.raw;
    EXPECT_TRUE(r.status ? a.status == r.status : a.status >= 400 && a.status < 500) << a.status << " " << what;
    EXPECT_TRUE(a.body.is_object() && a.body.contains("error") && a.body["error"].is_string() &&
                !a.body["error"].get<std::string>().empty())
        << what;
    EXPECT_NE(a.contentType.find("application/json"), std::string::npos) << what;
}

Answer send(const BadRequest& r)
{
    auto c = client();
    const std::string& m = r.method;
    if (m == "GET") return toAnswer(c.Get(r.path));
    if (m == "POST") return toAnswer(c.Post(r.path, r.body, "application/json"));
    if (m == "PUT") return toAnswer(c.Put(r.path, r.body, "application/json"));
    if (m == "DELETE") return toAnswer(c.Delete(r.path));
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
    for (const std::string& query : words(R"(state?t=abc state?t=NaN state?t=nan state?t=inf state?t=1e3 state?t=1.5
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
    // STATUS|METHOD|PATH[|BODY]: unknown things, unknown paths, wrong methods.
    for (const std::string& w : words(R"(404|GET|/api/composite/components?type=0&group=987654321
        0|GET|/api/composite/profile?type=0&group=1&components=1,,2 404|POST|/api/visibility|{"floor":9999,"visible":true}
        404|GET|/api/nothing 404|GET|/api 404|GET|/nothing.js 404|POST|/api/nothing|{} 405|POST|/api/model|{}
        405|GET|/api/select 405|PUT|/api/state|{} 405|DELETE|/api/floors 404|POST|/api/layout|{"mode":"force","floor":9999}
        404|POST|/api/floors|{"action":"moveUp","vessels":[0,100000]} 400|POST|/api/floors|{"action":"moveUp","vessels":[]})")) {
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
    json before = get("/api/model").body;
    for (const BadRequest& r : badRequests())
        expectJsonError(send(r), r);
    // None of them changed the model.
    EXPECT_EQ(get("/api/model").body["counts"], before["counts"]);
}

TEST(ServeRobustness, OnlyThePagesOwnRequestsAreServed)
{
    const std::string self = "127.0.0.1:" + std::to_string(ServedSample::instance().port());
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
        auto client = batchplant::test::client();
        httplib::Headers headers = {{"Host", c.host}};
        if (!c.origin.empty()) headers.emplace("Origin", c.origin);
        const Answer a = toAnswer(std::string(c.method) == "GET"
                                      ? client.Get("/api/composite/types", headers)
                                      : client.Post("/api/select", headers, "{\"item\": 0}", "application/json"));
        EXPECT_EQ(a.status, c.status) << c.method << " Host " << c.host << " Origin " << c.origin << ": " << a.raw;
        if (c.status == 403) {
            EXPECT_TRUE(a.body["error"].is_string()) << a.raw;
        }
    }
    // Answers are never compressed per request on loopback; the page's
    // files come as compressed when they were built.
    auto client = batchplant::test::client();
    client.set_decompress(false);
    const httplib::Headers br = {{"Accept-Encoding", "br, gzip"}};
    const auto gantt = client.Get("/api/gantt", br);
    ASSERT_TRUE(gantt);
    EXPECT_EQ(gantt->get_header_value("Content-Encoding"), "");
    const auto page = client.Get("/", br);
    ASSERT_TRUE(page);
    EXPECT_NE(page->get_header_value("Content-Encoding"), "br");
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
            a = post(posts[random() % 5], junk(random() % 64));
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

    const int port = ServedSample::instance().port();
    for (const std::string& raw :
         {std::string("\r\n\r\n"), std::string("GARBAGE\r\n\r\n"), std::string("GET\r\n\r\n"),
          std::string("GET /api/model HTTP/9.9\r\n\r\n"),
          std::string("POST /api/select HTTP/1.1\r\nContent-Length: "
                      "99999999999999999999\r\n\r\n{}"),
          std::string("POST /api/select HTTP/1.1\r\nContent-Length: -5\r\n\r\n"),
          std::string("GET /" + std::string(20000, 'a') + " HTTP/1.1\r\n\r\n"),
          std::string("GET /api/state?t=1 HTTP/1.1\r\nHost: x\r\n") + std::string(9000, 'h') + "\r\n\r\n",
          std::string("POST /api/select HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n{}\r\n0\r\n\r\n"),
          std::string(1000, '\0')})
        sendRaw(port, raw);

    Answer good = get("/api/state?t=60");
    ASSERT_EQ(good.status, 200) << good.raw;
    EXPECT_EQ(good.body["time"], 60);
    EXPECT_EQ(get("/api/model").status, 200);
}

TEST(ServeRobustness, StopBeforeRunReturnsAtOnce)
{
    const auto server = LoadSampleServer();
    ASSERT_GT(server->Bind("127.0.0.1", 0), 0);
    server->Stop();
    EXPECT_TRUE(server->Run());
    EXPECT_THROW(serve::ViewerServer{nullptr}, std::invalid_argument);
}

} // namespace
} // namespace batchplant::test

#endif // BATCHPLANT_HAVE_VIEWER
