#include "support/local_http_server.h"

#include <gtest/gtest.h>
#include <httplib.h>

LocalHttpServer::LocalHttpServer() : LocalHttpServer(0) {}

LocalHttpServer::LocalHttpServer(int port) : m_server(std::make_unique<httplib::Server>()) {
    const auto dispatch = [this](const httplib::Request& request, httplib::Response& response) {
        Dispatch(request, response);
    };
    m_server->Get(".*", dispatch);
    m_server->Post(".*", dispatch);
    if (port == 0) {
        m_port = m_server->bind_to_any_port("127.0.0.1");
    } else if (m_server->bind_to_port("127.0.0.1", port)) {
        m_port = port;
    }
    if (m_port <= 0) {
        ADD_FAILURE() << "cannot bind a port on 127.0.0.1";
        return;
    }
    // The socket is bound and listening already: connections made before the loop runs
    // wait in the backlog.
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    // stop() does nothing until the loop runs, so a server torn down at once would hang.
    while (!m_server->is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // The server counts as running before its worker threads exist; one answered request
    // means they all do, so a test that counts threads sees the server's whole set.
    httplib::Client(BaseUrl()).Get("/");
    std::lock_guard lock(m_mutex);
    m_targets.clear();
    m_hits.clear();
}

LocalHttpServer::~LocalHttpServer() {
    ReleaseWaiters();
    m_server->stop();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

std::string LocalHttpServer::BaseUrl() const {
    return "http://127.0.0.1:" + std::to_string(m_port);
}

void LocalHttpServer::Serve(const std::string& path, std::string body, std::string contentType) {
    Handle(path, [body = std::move(body), contentType = std::move(contentType)](
                     const httplib::Request&, httplib::Response& response) {
        response.set_content(body, contentType);
    });
}

void LocalHttpServer::Handle(const std::string& path, Handler handler) {
    std::lock_guard lock(m_mutex);
    m_routes[path] = std::move(handler);
}

void LocalHttpServer::ServeSlowly(const std::string& path, std::chrono::milliseconds delay,
                                  std::string body) {
    Handle(path, [this, delay, body = std::move(body)](const httplib::Request&,
                                                       httplib::Response& response) {
        std::unique_lock lock(m_mutex);
        m_releasedChanged.wait_for(lock, delay, [this] { return m_released; });
        response.set_content(body, "application/rss+xml");
    });
}

std::vector<std::string> LocalHttpServer::Targets() const {
    std::lock_guard lock(m_mutex);
    return m_targets;
}

int LocalHttpServer::HitCount(const std::string& path) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_hits.find(path);
    return it == m_hits.end() ? 0 : it->second;
}

void LocalHttpServer::ReleaseWaiters() {
    {
        std::lock_guard lock(m_mutex);
        m_released = true;
    }
    m_releasedChanged.notify_all();
}

void LocalHttpServer::Dispatch(const httplib::Request& request, httplib::Response& response) {
    Handler handler;
    {
        std::lock_guard lock(m_mutex);
        m_targets.push_back(request.target);
        ++m_hits[request.path];
        const auto it = m_routes.find(request.path);
        if (it != m_routes.end()) {
            handler = it->second;
        }
    }
    if (handler) {
        handler(request, response);
    } else {
        response.status = 404;
        response.set_content("not found", "text/plain");
    }
}
