#include "support/ttrss_server.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "support/run_process.h"

namespace {

// A port that was free a moment ago.
int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    close(fd);
    return port;
}

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("''") : std::string(1, c);
    }
    return quoted + "'";
}

// tt-rss reads one configuration file per machine and the test feeds are served on port 80,
// which the local HTTP server binds with SO_REUSEPORT: the tests of two checkouts (or two
// ctest runs) running at once would share both without a word. CTest's resource lock only
// orders one run, so every test process takes this lock of the machine first, and holds it
// until it ends.
void HoldMachineLock() {
    const int fd = open("/tmp/quillon-ttrss-tests.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0 || flock(fd, LOCK_EX) != 0) {
        ADD_FAILURE() << "cannot take /tmp/quillon-ttrss-tests.lock";
    }
    // The descriptor stays open: the lock goes with the process.
}

}  // namespace

bool TtRssServer::Available() {
    static const bool locked = (HoldMachineLock(), true);
    (void)locked;
    return RunProcess(QUILLON_TTRSS_SCRIPT, {"available"}, "/").exitCode == 0;
}

std::string TtRssServer::Script() const {
    return QUILLON_TTRSS_SCRIPT;
}

TtRssServer::TtRssServer() {
    char pattern[] = "/tmp/quillon-ttrss-XXXXXX";
    if (!mkdtemp(pattern)) {
        ADD_FAILURE() << "cannot make a folder for the server";
        return;
    }
    m_dir = pattern;
    m_port = FreePort();
    const ProcessResult result =
        RunProcess(Script(), {"start", m_dir, std::to_string(m_port)}, "/");
    m_started = result.exitCode == 0;
    if (!m_started) {
        ADD_FAILURE() << "the tt-rss server did not start: " << result.err;
    }
}

TtRssServer::~TtRssServer() {
    if (!m_dir.empty()) {
        RunProcess(Script(), {"stop", m_dir}, "/");
    }
}

std::string TtRssServer::Address() const {
    return "http://127.0.0.1:" + std::to_string(m_port);
}

std::string TtRssServer::Sql(const std::string& sql) const {
    const ProcessResult result = RunProcess(Script(), {"sql", m_dir, sql}, "/");
    EXPECT_EQ(result.exitCode, 0) << sql << ": " << result.err;
    std::string out = result.out;
    while (!out.empty() && out.back() == '\n') {
        out.pop_back();
    }
    return out;
}

int TtRssServer::AddUser(const std::string& login, const std::string& password, bool apiAccess) {
    const std::string id =
        Sql("insert into ttrss_users (login, pwd_hash, salt, access_level, created) values (" +
            Quoted(login) + ", 'MODE2:' || encode(sha256(convert_to('salt' || " + Quoted(password) +
            ", 'UTF8')), 'hex'), 'salt', 0, now()) returning id");
    const int userId = std::atoi(id.c_str());
    SetApiAccess(userId, apiAccess);
    return userId;
}

void TtRssServer::SetApiAccess(int userId, bool on) {
    const std::string uid = std::to_string(userId);
    Sql("delete from ttrss_user_prefs where owner_uid = " + uid +
        " and pref_name = 'ENABLE_API_ACCESS'; insert into ttrss_user_prefs (owner_uid, "
        "pref_name, value) values (" +
        uid + ", 'ENABLE_API_ACCESS', '" + (on ? "true" : "false") + "')");
}

int TtRssServer::AddCategory(int userId, const std::string& title) {
    return std::atoi(Sql("insert into ttrss_feed_categories (owner_uid, title) values (" +
                         std::to_string(userId) + ", " + Quoted(title) + ") returning id")
                         .c_str());
}

void TtRssServer::StopWeb() {
    RunProcess(Script(), {"stop-web", m_dir}, "/");
}

void TtRssServer::StartWeb() {
    const ProcessResult result = RunProcess(Script(), {"start-web", m_dir}, "/");
    EXPECT_EQ(result.exitCode, 0) << result.err;
}
