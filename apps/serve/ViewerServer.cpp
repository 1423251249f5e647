#include "ViewerServer.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cctype>
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
                                            "/api/utilisation",
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

// Answers above this size go compressed to a client on another machine
// that asks for gzip; below it, or on loopback, compressing costs more than
// sending.
constexpr std::size_t kGzipAbove = 64 * 1024;

bool onLoopback(const httplib::Request& req)
{
    const std::string& a = req.remote_addr;
    return a.rfind("127.", 0) == 0 || a == "::1" || a.rfind("::ffff:127.", 0) == 0;
}

bool acceptsGzip(const httplib::Request& req)
{
    return req.get_header_value("Accept-Encoding").find("gzip") != std::string::npos;
}

// gzip at the fastest level: an answer of a few megabytes in milliseconds.
std::string gzipFast(const std::string& data)
{
    z_stream z{};
    if (deflateInit2(&z, 1, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
    std::string out(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int done = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return done == Z_STREAM_END ? out : std::string();
}

// The library compresses every body whose type is exactly one of a few it
// knows (with Brotli at its slowest level when asked for "br"); the charset
// parameter keeps it from doing so, and this server decides itself.
constexpr const char* kJsonType = "application/json; charset=utf-8";

void sendJson(httplib::Response& res, int status, const json& body, const httplib::Request* req = nullptr)
{
    res.status = status;
    // Names read from a database need not be valid UTF-8; such bytes are
    // replaced rather than failing the whole answer.
    std::string text = body.dump(-1, ' ', false, json::error_handler_t::replace);
    if (req && text.size() > kGzipAbove && !onLoopback(*req) && acceptsGzip(*req)) {
        std::string packed = gzipFast(text);
        if (!packed.empty()) {
            text = std::move(packed);
            res.set_header("Content-Encoding", "gzip");
        }
    }
    if (req) res.set_header("Vary", "Accept-Encoding");
    res.set_content(std::move(text), kJsonType);
    res.set_header("Cache-Control", "no-store");
}

// Whether a Host header names this server: the address it is bound to,
// localhost or a loopback address (any IP address when bound to all), so
// that a page served from another name cannot reach it by rebinding that
// name to this machine. Browsers always send Host; tools may not.
bool hostAllowed(const std::string& header, const std::string& bound)
{
    if (header.empty()) return true;
    std::string name = header;
    if (name.front() == '[') {
        const std::size_t close = name.find(']');
        if (close == std::string::npos) return false;
        const std::string rest = name.substr(close + 1);
        if (!rest.empty() && (rest[0] != ':' || rest.find_first_not_of("0123456789", 1) != std::string::npos))
            return false;
        name = name.substr(1, close - 1);
    } else if (const std::size_t colon = name.find(':'); colon != std::string::npos) {
        if (name.find_first_not_of("0123456789", colon + 1) != std::string::npos) return false;
        name = name.substr(0, colon);
    }
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name == "localhost" || name == "127.0.0.1" || name == "::1" || name == bound) return true;
    if (bound == "0.0.0.0" || bound == "::") {
        unsigned char address[16];
        return inet_pton(AF_INET, name.c_str(), address) == 1 || inet_pton(AF_INET6, name.c_str(), address) == 1;
    }
    return false;
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
    std::string boundHost; // as Host headers spell it, without brackets
    std::string bindError;
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> inRun{false};

    // Runs one API operation under the model lock and answers its JSON or
    // its error.
    void answer(const httplib::Request& req, httplib::Response& res, const std::function<json()>& work)
    {
        try {
            json body;
            {
                std::lock_guard<std::mutex> lock(model);
                MessageCapture capture;
                body = work();
                if (!capture.messages.empty() && body.is_object()) body["messages"] = capture.messages;
            }
            sendJson(res, 200, body, &req);
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
            answer(req, res, [&] { return work(req); });
        });
    }

    void post(const std::string& path, std::function<json(const json&)> work)
    {
        http.Post(path, [this, work](const httplib::Request& req, httplib::Response& res) {
            answer(req, res, [&] { return work(ParseBodyObject(req.body)); });
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
        // Sent as stored, compressed when the page was built: the library
        // would otherwise compress every file again on every request.
        const EmbeddedAsset& asset = *it->second;
        const bool packed = !asset.gzip.empty() && acceptsGzip(req);
        const std::string_view bytes = packed ? asset.gzip : asset.data;
        res.status = 200;
        if (packed) res.set_header("Content-Encoding", "gzip");
        if (!asset.gzip.empty()) res.set_header("Vary", "Accept-Encoding");
        res.set_header("Cache-Control", "no-cache");
        res.set_content_provider(bytes.size(), std::string(asset.contentType),
                                 [bytes](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                     return sink.write(bytes.data() + offset, std::min(length, bytes.size() - offset));
                                 });
    }

    void routes()
    {
        ViewerApi& a = *api;
        get("/api/model", [&a](const httplib::Request&) { return a.Model(); });
        get("/api/state", [&a](const httplib::Request& req) { return a.State(req.params); });
        get("/api/info", [&a](const httplib::Request& req) { return a.Info(req.params); });
        get("/api/gantt", [&a](const httplib::Request& req) { return a.Gantt(req.params); });
        get("/api/utilisation", [&a](const httplib::Request& req) { return a.Utilisation(req.params); });
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

        // Only this server's own page may use it: not a page that reached it
        // by another name (DNS rebinding), nor a cross-site form or script
        // that changes the view.
        http.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
            const std::string hostHeader = req.get_header_value("Host");
            if (!hostAllowed(hostHeader, boundHost)) {
                sendError(res, 403,
                          "Host " + shown(hostHeader) + " is not this server's address; open the viewer at " +
                              boundHost + " or localhost");
                return httplib::Server::HandlerResponse::Handled;
            }
            if (req.method != "GET" && req.method != "HEAD" && req.has_header("Origin") &&
                req.get_header_value("Origin") != "http://" + hostHeader) {
                sendError(res, 403,
                          "a request from " + shown(req.get_header_value("Origin")) +
                              " is refused: only the viewer's own page may change the view");
                return httplib::Server::HandlerResponse::Handled;
            }
            return httplib::Server::HandlerResponse::Unhandled;
        });

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
    m_impl->boundHost = host;
    for (char& c : m_impl->boundHost)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
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
