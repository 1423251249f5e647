#pragma once
// The viewer server the Serve* tests talk to: one per test process, loaded
// from the sample, on 127.0.0.1 at a port of the system's choice, on a
// thread of its own, stopped at exit.

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <memory>
#include <string>
#include <thread>

#include "SampleDatabase.h"
#include "serve/ViewerApi.h"
#include "serve/ViewerFacility.h"
#include "serve/ViewerServer.h"
#include "batchplant/gantt/GanttFacility.h"

namespace batchplant::test {

inline std::unique_ptr<serve::ViewerServer> LoadSampleServer()
{
    std::string error;
    auto plant = serve::ViewerFacility::Load(SampleDatabasePath().string(), error);
    auto schedule = std::make_unique<GanttFacility>();
    if (!plant || !schedule->ReadGanttDatabase(CString(SampleDatabasePath().string())))
        throw std::runtime_error("cannot load the sample: " + error);
    return std::make_unique<serve::ViewerServer>(
        std::make_unique<serve::ViewerApi>(std::move(plant), std::move(schedule)));
}

class ServedSample {
public:
    ServedSample() : server_(LoadSampleServer()), port_(server_->Bind("127.0.0.1", 0))
    {
        if (port_ <= 0) throw std::runtime_error("cannot bind a loopback port");
        thread_ = std::thread([this] { server_->Run(); });
    }
    ~ServedSample()
    {
        server_->Stop();
        thread_.join();
    }
    int port() const { return port_; }
    serve::ViewerServer& server() { return *server_; }
    static ServedSample& instance()
    {
        static ServedSample served;
        return served;
    }

private:
    std::unique_ptr<serve::ViewerServer> server_;
    int port_;
    std::thread thread_;
};

struct Answer {
    int status = 0; // 0: no answer at all
    nlohmann::json body;
    std::string contentType, raw;
};

inline Answer toAnswer(const httplib::Result& r)
{
    if (!r) return {};
    return {r->status, nlohmann::json::parse(r->body, nullptr, false), r->get_header_value("Content-Type"), r->body};
}

inline httplib::Client client()
{
    httplib::Client c("127.0.0.1", ServedSample::instance().port());
    c.set_connection_timeout(5);
    c.set_read_timeout(30);
    return c;
}

inline Answer get(const std::string& path) { return toAnswer(client().Get(path)); }
inline Answer post(const std::string& path, const std::string& body)
{
    return toAnswer(client().Post(path, body, "application/json"));
}
// Bodies may hold bytes that are not UTF-8 (the random requests do).
inline Answer post(const std::string& path, const nlohmann::json& body)
{
    return post(path, body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

} // namespace batchplant::test
