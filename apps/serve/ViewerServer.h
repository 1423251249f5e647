#pragma once
// The viewer's HTTP server: the embedded page and the JSON API of one
// ViewerApi, served on a thread pool with one lock around every use of the
// model (the library is single-threaded).
//
// Usage: Bind, then Run on some thread; Stop from any thread (also from a
// signal-waiting thread, and also before Run starts) makes Run return.

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>

namespace batchplant::serve {

class ViewerApi;

class ViewerServer {
public:
    // Largest request body accepted; larger ones get 413.
    static constexpr std::size_t kMaxBody = 64 * 1024;

    // Throws std::invalid_argument for a null API.
    explicit ViewerServer(std::unique_ptr<ViewerApi> api);
    ~ViewerServer();
    ViewerServer(const ViewerServer&) = delete;
    ViewerServer& operator=(const ViewerServer&) = delete;

    // Binds to host:port; port 0 takes any free port. The bound port, or -1
    // when the address cannot be bound (BindError says why). A port another
    // process listens on is refused, never shared.
    int Bind(const std::string& host, int port);
    // Why the last Bind failed, as "address in use"; empty after a success.
    const std::string& BindError() const;
    // Serves until Stop (true, also for a Stop before serving began). False
    // when not bound or when listening fails.
    bool Run();
    void Stop();

    // The API and the lock that guards it; hold the lock around any use of
    // the API while the server runs.
    ViewerApi& Api();
    std::mutex& ModelMutex();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace batchplant::serve
