#include "support/raw_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

RawHttpServer::RawHttpServer(std::string answer, Ending ending)
    : m_answer(std::move(answer)), m_ending(ending) {
    m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(m_listener, 16);
    ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Serve(); });
}

RawHttpServer::~RawHttpServer() {
    m_done = true;
    ::shutdown(m_listener, SHUT_RDWR);
    ::close(m_listener);
    m_thread.join();
}

std::string RawHttpServer::BaseUrl() const {
    return "http://127.0.0.1:" + std::to_string(m_port);
}

void RawHttpServer::Serve() {
    while (!m_done) {
        const int connection = ::accept(m_listener, nullptr, nullptr);
        if (connection < 0) {
            return;
        }
        std::string request;
        char buffer[1024];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const ssize_t got = ::read(connection, buffer, sizeof buffer);
            if (got <= 0) {
                break;
            }
            request.append(buffer, static_cast<std::size_t>(got));
        }
        ++m_requests;
        [[maybe_unused]] const ssize_t written =
            ::write(connection, m_answer.data(), m_answer.size());
        if (m_ending == Ending::kReset) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            const linger reset{1, 0};
            ::setsockopt(connection, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        }
        ::close(connection);
    }
}
