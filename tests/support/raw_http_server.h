#pragma once

#include <atomic>
#include <string>
#include <thread>

// A server on 127.0.0.1 that answers every request with the same raw bytes (status line,
// headers and body as given) and then ends the connection: with a reset (a close with a zero
// linger time sends RST instead of FIN), or with an orderly close, which ends a body sent
// without Content-Length as if it were whole.
class RawHttpServer {
public:
    enum class Ending { kReset, kClose };

    RawHttpServer(std::string answer, Ending ending);
    ~RawHttpServer();
    RawHttpServer(const RawHttpServer&) = delete;
    RawHttpServer& operator=(const RawHttpServer&) = delete;

    // "http://127.0.0.1:PORT"
    std::string BaseUrl() const;
    std::string Url() const { return BaseUrl() + "/feed"; }
    int RequestCount() const { return m_requests.load(); }

private:
    void Serve();

    const std::string m_answer;
    const Ending m_ending;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_done{false};
    std::atomic<int> m_requests{0};
    std::thread m_thread;  // joined by the destructor
};
