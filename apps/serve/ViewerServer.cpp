#include "ViewerServer.h"

#include <httplib.h>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>
#include <map>
#include <stdexcept>
#include <string_view>
#include <thread>
#include <vector>

#include "ViewerApi.h"
#include "ViewerAssets.h"
#include "batchplant/platform/MessageBox.h"

namespace batchplant::serve {

using nlohmann::json;

namespace {

// The API's paths by method, to tell a wrong method (405) from an unknown
// path (404).
const std::vector<std::string> kGetPaths = {"/api/model",
                                            "/api/state",
                                            "/api/info",
                                            "/api/gantt",
                                            "/api/composite/types",
                                            "/api/composite/groups",
                                            "/api/composite/components",
                                            "/api/composite/profile"};
const std::vector<std::string> kPostPaths = {"/api/animate", "/api/select", "/api/visibility", "/api/layout",
                                             "/api/floors"};

bool listed(const std::vector<std::string>& paths, const std::string& path)
{
    return std::find(paths.begin(), paths.end(), path) != paths.end();
}

// The path as it may be quoted back in an error: short and printable.
std::string shown(const std::string& path)
{
    std::string out;
    for (char c : path.substr(0, 80)) {
        const auto u = static_cast<unsigned char>(c);
        out += (u < 0x20 || u >= 0x7F) ? '?' : c;
    }
    return path.size() > 80 ? out + "..." : out;
}

void sendJson(httplib::Response& res, int status, const json& body)
{
    res.status = status;
    // Names read from a database need not be valid UTF-8; such bytes are
    // replaced rather than failing the whole answer.
    res.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace), "application/json");
    res.set_header("Cache-Control", "no-store");
}

void sendError(httplib::Response& res, int status, const std::string& message)
{
    sendJson(res, status, json{{"error", message}});
}

const char* reasonOf(int status)
{
    switch (status) {
    case 400:
        return "bad request";
    case 404:
        return "not found";
    case 405:
        return "method not allowed";
    case 408:
        return "request timeout";
    case 413:
        return "request body too large (at most 65536 bytes)";
    case 414:
        return "request URI too long";
    case 416:
        return "range not satisfiable";
    default:
        return status >= 500 ? "internal server error" : "request not accepted";
    }
}

// Collects the library's message boxes during one request (answered as the
// default handler would), so they reach the page instead of stderr.
class MessageCapture {
public:
    MessageCapture()
    {
        m_previous = SetMessageBoxHandler([this](const CString& text, unsigned type) {
            messages.push_back(text.str());
            return DefaultMessageBoxAnswer(type);
        });
    }
    ~MessageCapture() { SetMessageBoxHandler(m_previous); }
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;
    std::vector<std::string> messages;

private:
    MessageBoxHandler m_previous;
};

} // namespace

struct ViewerServer::Impl {
    std::unique_ptr<ViewerApi> api;
    std::mutex model;
    httplib::Server http;
    std::map<std::string_view, const EmbeddedAsset*> assets;
    bool bound = false;
    std::string bindError;
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> inRun{false};

    // Runs one API operation under the model lock and answers its JSON or
    // its error.
    void answer(httplib::Response& res, const std::function<json()>& work)
    {
        try {
            json body;
            {
                std::lock_guard<std::mutex> lock(model);
                MessageCapture capture;
                body = work();
                if (!capture.messages.empty() && body.is_object()) body["messages"] = capture.messages;
            }
            sendJson(res, 200, body);
        } catch (const ApiError& e) {
            sendError(res, e.Status(), e.what());
        } catch (const std::exception& e) {
            sendError(res, 500, std::string("internal error: ") + e.what());
        } catch (...) {
            sendError(res, 500, "internal error");
        }
    }

    void get(const std::string& path, std::function<json(const httplib::Request&)> work)
    {
        http.Get(path, [this, work](const httplib::Request& req, httplib::Response& res) {
            answer(res, [&] { return work(req); });
        });
    }

    void post(const std::string& path, std::function<json(const json&)> work)
    {
        http.Post(path, [this, work](const httplib::Request& req, httplib::Response& res) {
            answer(res, [&] { return work(ParseBodyObject(req.body)); });
        });
    }

    void unmatched(const httplib::Request& req, httplib::Response& res)
    {
        const bool known = listed(kGetPaths, req.path) || listed(kPostPaths, req.path);
        if (known)
            sendError(res, 405, req.method + " is not allowed on " + req.path);
        else
            sendError(res, 404, "no such path: " + shown(req.path));
    }

    void serveAsset(const httplib::Request& req, httplib::Response& res)
    {
        if (req.path.rfind("/api/", 0) == 0 || req.path == "/api") return unmatched(req, res);
        const std::string path = req.path == "/" ? std::string("/index.html") : req.path;
        const auto it = assets.find(path);
        if (it == assets.end()) return sendError(res, 404, "no such path: " + shown(req.path));
        const EmbeddedAsset& asset = *it->second;
        res.status = 200;
        res.set_content(asset.data.data(), asset.data.size(), std::string(asset.contentType).c_str());
        res.set_header("Cache-Control", "no-cache");
    }

    void routes()
    {
        ViewerApi& a = *api;
        get("/api/model", [&a](const httplib::Request&) { return a.Model(); });
        get("/api/state", [&a](const httplib::Request& req) { return a.State(req.params); });
        get("/api/info", [&a](const httplib::Request& req) { return a.Info(req.params); });
        get("/api/gantt", [&a](const httplib::Request&) { return a.Gantt(); });
        get("/api/composite/types", [&a](const httplib::Request&) { return a.CompositeTypes(); });
        get("/api/composite/groups", [&a](const httplib::Request& req) { return a.CompositeGroups(req.params); });
        get("/api/composite/components",
            [&a](const httplib::Request& req) { return a.CompositeComponents(req.params); });
        get("/api/composite/profile", [&a](const httplib::Request& req) { return a.CompositeProfile(req.params); });
        post("/api/animate", [&a](const json& body) { return a.Animate(body); });
        post("/api/select", [&a](const json& body) { return a.Select(body); });
        post("/api/visibility", [&a](const json& body) { return a.Visibility(body); });
        post("/api/layout", [&a](const json& body) { return a.Layout(body); });
        post("/api/floors", [&a](const json& body) { return a.Floors(body); });

        auto other = [this](const httplib::Request& req, httplib::Response& res) { unmatched(req, res); };
        http.Get(".*", [this](const httplib::Request& req, httplib::Response& res) { serveAsset(req, res); });
        http.Post(".*", other);
        http.Put(".*", other);
        http.Patch(".*", other);
        http.Delete(".*", other);
        http.Options(".*", other);

        // Errors the HTTP layer answers itself (a malformed request, a body
        // over the limit) get the same JSON error body as the API's own.
        http.set_error_handler([](const httplib::Request&, httplib::Response& res) {
            if (res.body.empty()) sendError(res, res.status, reasonOf(res.status));
        });
        http.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
            sendError(res, 500, "internal error");
        });
        http.set_payload_max_length(kMaxBody);

        // Without TCP_NODELAY an answer written in two pieces waits for the
        // browser's delayed acknowledgement of the first: 40 ms on every
        // kept-alive request. Only SO_REUSEADDR, so a restart binds at once
        // while a second server on a port in use is refused (SO_REUSEPORT, the
        // library's default, would let the two split the requests).
        http.set_tcp_nodelay(true);
        // The library's default closes a kept-alive connection after five
        // requests; a playing page sends sixty a second. An idle connection
        // still gives its worker back after the keep-alive timeout.
        http.set_keep_alive_max_count(1000000);
        http.set_socket_options([](int sock) {
            const int yes = 1;
            setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
            setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        });
    }
};

ViewerServer::ViewerServer(std::unique_ptr<ViewerApi> api) : m_impl(std::make_unique<Impl>())
{
    if (!api) throw std::invalid_argument("ViewerServer needs an API to serve");
    m_impl->api = std::move(api);
    for (const EmbeddedAsset& asset : ViewerAssets())
        m_impl->assets.emplace(asset.path, &asset);
    m_impl->routes();
}

ViewerServer::~ViewerServer() { Stop(); }

int ViewerServer::Bind(const std::string& host, int port)
{
    int bound = -1;
    errno = 0;
    if (port == 0)
        bound = m_impl->http.bind_to_any_port(host);
    else if (m_impl->http.bind_to_port(host, port))
        bound = port;
    m_impl->bound = bound > 0;
    const int why = errno;
    if (m_impl->bound)
        m_impl->bindError.clear();
    else if (why == EADDRINUSE)
        m_impl->bindError = "address in use";
    else if (why == EACCES)
        m_impl->bindError = "permission denied";
    else if (why == EADDRNOTAVAIL)
        m_impl->bindError = "no such address on this machine";
    else if (why != 0 && why != EINVAL)
        m_impl->bindError = std::strerror(why);
    else // the host did not resolve to an address
        m_impl->bindError = "not an address this machine can listen on";
    return m_impl->bound ? bound : -1;
}

const std::string& ViewerServer::BindError() const { return m_impl->bindError; }

bool ViewerServer::Run()
{
    if (!m_impl->bound) return false;
    // Paired with Stop: whichever of the two comes second sees the other's
    // flag, so a Stop that races with the start is never lost.
    m_impl->inRun = true;
    if (m_impl->stopRequested) {
        m_impl->inRun = false;
        return true;
    }
    const bool ok = m_impl->http.listen_after_bind();
    m_impl->inRun = false;
    return ok;
}

void ViewerServer::Stop()
{
    m_impl->stopRequested = true;
    // Run may be between its check and the start of listening; wait until it
    // listens (then stop works) or has returned.
    while (m_impl->inRun && !m_impl->http.is_running())
        std::this_thread::yield();
    m_impl->http.stop();
}

ViewerApi& ViewerServer::Api() { return *m_impl->api; }

std::mutex& ViewerServer::ModelMutex() { return m_impl->model; }

} // namespace batchplant::serve
