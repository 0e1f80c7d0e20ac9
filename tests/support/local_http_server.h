#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

// An HTTP server on 127.0.0.1 with a port of its own, for tests. Routes can be added at any
// time, also while requests are served; every request is recorded.
class LocalHttpServer {
public:
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

    LocalHttpServer();
    // On `port` of 127.0.0.1 (80 for a server that fetches only from the usual ports).
    explicit LocalHttpServer(int port);
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    int Port() const { return m_port; }
    // "http://127.0.0.1:PORT"
    std::string BaseUrl() const;
    std::string Url(const std::string& path) const { return BaseUrl() + path; }

    // Answers GET (and POST) `path` (the decoded path, without query) with `body`.
    void Serve(const std::string& path, std::string body,
               std::string contentType = "application/rss+xml");
    void Handle(const std::string& path, Handler handler);
    // Answers GET (and POST) `path` only after `delay`, or when the server is being torn down.
    void ServeSlowly(const std::string& path, std::chrono::milliseconds delay, std::string body);

    // Raw request targets (path and query as sent on the wire), in arrival order.
    std::vector<std::string> Targets() const;
    int HitCount(const std::string& path) const;

    // Wakes every handler that waits in ServeSlowly; the destructor does it too.
    void ReleaseWaiters();

private:
    void Dispatch(const httplib::Request& request, httplib::Response& response);

    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;

    // Routes and the request log; guarded by m_mutex (handlers run on server threads).
    mutable std::mutex m_mutex;
    std::map<std::string, Handler> m_routes;
    std::vector<std::string> m_targets;
    std::map<std::string, int> m_hits;
    bool m_released = false;
    std::condition_variable m_releasedChanged;
};
