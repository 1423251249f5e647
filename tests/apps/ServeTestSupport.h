#pragma once
// The viewer server the Serve* tests talk to: one per test process, loaded
// from the scale-1 sample, serving on 127.0.0.1 at a port of the system's
// choice on a thread of its own, stopped at exit.

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

class ServedSample {
public:
    ServedSample()
    {
        std::string error;
        auto plant = serve::ViewerFacility::Load(SampleDatabasePath().string(), error);
        if (!plant) throw std::runtime_error("cannot load the sample: " + error);
        auto schedule = std::make_unique<GanttFacility>();
        if (!schedule->ReadGanttDatabase(CString(SampleDatabasePath().string())))
            throw std::runtime_error("cannot load the sample's schedule");
        server_ = std::make_unique<serve::ViewerServer>(
            std::make_unique<serve::ViewerApi>(std::move(plant), std::move(schedule)));
        port_ = server_->Bind("127.0.0.1", 0);
        if (port_ <= 0) throw std::runtime_error("cannot bind a loopback port");
        thread_ = std::thread([this] { server_->Run(); });
    }
    ~ServedSample()
    {
        server_->Stop();
        thread_.join();
    }
    ServedSample(const ServedSample&) = delete;
    ServedSample& operator=(const ServedSample&) = delete;

    int port() const { return port_; }
    serve::ViewerServer& server() { return *server_; }

    static ServedSample& instance()
    {
        static ServedSample served;
        return served;
    }

private:
    std::unique_ptr<serve::ViewerServer> server_;
    int port_ = -1;
    std::thread thread_;
};

struct Answer {
    int status = 0;
    nlohmann::json body;
    std::string contentType;
    std::string raw;
};

inline Answer toAnswer(const httplib::Result& r)
{
    Answer a;
    if (!r) return a; // status 0: no answer at all
    a.status = r->status;
    a.raw = r->body;
    a.contentType = r->get_header_value("Content-Type");
    a.body = nlohmann::json::parse(r->body, nullptr, false);
    return a;
}

inline httplib::Client client()
{
    httplib::Client c("127.0.0.1", ServedSample::instance().port());
    c.set_connection_timeout(5);
    c.set_read_timeout(30);
    return c;
}

inline Answer get(const std::string& path)
{
    auto c = client();
    return toAnswer(c.Get(path));
}

inline Answer post(const std::string& path, const std::string& body)
{
    auto c = client();
    return toAnswer(c.Post(path, body, "application/json"));
}

// Bodies may hold bytes that are not UTF-8 (the random requests do).
inline Answer post(const std::string& path, const nlohmann::json& body)
{
    return post(path, body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

} // namespace batchplant::test
