#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

// A real proxy on 127.0.0.1 with a free port, run for a test and ended with it: tinyproxy
// (HTTP) or microsocks (SOCKS5). With a user, it lets only that user and password through.
class ProxyServer {
public:
    // Null when the program is not installed, or (a test failure) when it did not start.
    static std::unique_ptr<ProxyServer> StartTinyproxy(const std::string& user = {},
                                                       const std::string& password = {});
    static std::unique_ptr<ProxyServer> StartMicrosocks(const std::string& user = {},
                                                        const std::string& password = {});
    ~ProxyServer();
    ProxyServer(const ProxyServer&) = delete;
    ProxyServer& operator=(const ProxyServer&) = delete;

    int Port() const { return m_port; }
    // What the proxy logged so far: tinyproxy's log file, microsocks's output.
    std::string Log() const;

    // A port of 127.0.0.1 that nothing listens on (free when asked).
    static int FreePort();

private:
    ProxyServer() = default;
    bool Launch(const std::string& program, const std::vector<std::string>& args);

    std::string m_folder;  // a temporary folder with the configuration and the log
    std::string m_logPath;
    pid_t m_pid = -1;
    int m_port = 0;
};
