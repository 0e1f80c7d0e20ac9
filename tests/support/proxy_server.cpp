#include "support/proxy_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace {

std::string Installed(const char* name) {
    for (const char* folder : {"/usr/bin/", "/usr/sbin/", "/usr/local/bin/"}) {
        const std::string path = std::string(folder) + name;
        if (access(path.c_str(), X_OK) == 0) {
            return path;
        }
    }
    return {};
}

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool Accepts(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = Loopback(port);
    const bool connected =
        connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

std::string TempFolder() {
    char pattern[] = "/tmp/quillon-proxy-XXXXXX";
    const char* made = mkdtemp(pattern);
    return made ? made : std::string();
}

}  // namespace

int ProxyServer::FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    socklen_t size = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    close(fd);
    return ntohs(address.sin_port);
}

bool ProxyServer::Launch(const std::string& program, const std::vector<std::string>& args) {
    std::vector<std::string> words{program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    const std::string outPath = m_folder + "/output.log";
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    m_pid = fork();
    if (m_pid == 0) {
        dup2(out, STDOUT_FILENO);
        dup2(out, STDERR_FILENO);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(out);
    if (m_logPath.empty()) {
        m_logPath = outPath;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (Accepts(m_port)) {
            return true;
        }
        if (int status = 0; waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            ADD_FAILURE() << program << " ended at once: " << Log();
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ADD_FAILURE() << program << " did not start listening";
    return false;
}

std::unique_ptr<ProxyServer> ProxyServer::StartTinyproxy(const std::string& user,
                                                         const std::string& password) {
    const std::string program = Installed("tinyproxy");
    if (program.empty()) {
        return nullptr;
    }
    std::unique_ptr<ProxyServer> server(new ProxyServer);
    server->m_folder = TempFolder();
    server->m_port = FreePort();
    server->m_logPath = server->m_folder + "/tinyproxy.log";
    const std::string config = server->m_folder + "/tinyproxy.conf";
    {
        std::ofstream out(config);
        out << "Port " << server->m_port << "\nListen 127.0.0.1\nTimeout 30\n"
            << "LogFile \"" << server->m_logPath << "\"\nLogLevel Connect\n"
            << "MaxClients 20\nAllow 127.0.0.1\n";
        if (!user.empty()) {
            out << "BasicAuth " << user << " " << password << "\n";
        }
    }
    // -d: in the foreground, so that the test ends it.
    if (!server->Launch(program, {"-d", "-c", config})) {
        return nullptr;
    }
    return server;
}

std::unique_ptr<ProxyServer> ProxyServer::StartMicrosocks(const std::string& user,
                                                          const std::string& password) {
    const std::string program = Installed("microsocks");
    if (program.empty()) {
        return nullptr;
    }
    std::unique_ptr<ProxyServer> server(new ProxyServer);
    server->m_folder = TempFolder();
    server->m_port = FreePort();
    std::vector<std::string> args{"-i", "127.0.0.1", "-p", std::to_string(server->m_port)};
    if (!user.empty()) {
        args.insert(args.end(), {"-u", user, "-P", password});
    }
    if (!server->Launch(program, args)) {
        return nullptr;
    }
    return server;
}

ProxyServer::~ProxyServer() {
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }
    if (!m_folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
}

std::string ProxyServer::Log() const {
    std::ifstream in(m_logPath, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
