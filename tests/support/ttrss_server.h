#pragma once

#include <string>

// A Tiny Tiny RSS server of its own for a test (tests/support/ttrss-server): PostgreSQL on
// a Unix socket and the packaged tt-rss on a free port of 127.0.0.1, removed with the object.
// tt-rss reads one configuration file per machine, so these tests run one after another.
// Users, categories and API access cannot be set through the API: the test sets them in SQL.
class TtRssServer {
public:
    // Whether the packages are installed; tests skip with a message when not. The first call
    // also waits for the machine's lock of these tests (see ttrss_server.cpp) and holds it
    // until the process ends, so call it before serving port 80.
    static bool Available();

    TtRssServer();  // adds a test failure when the server does not start
    ~TtRssServer();
    TtRssServer(const TtRssServer&) = delete;
    TtRssServer& operator=(const TtRssServer&) = delete;

    bool Started() const { return m_started; }
    // "http://127.0.0.1:PORT"
    std::string Address() const;

    // Runs `sql` in the server's database; the rows, unaligned, one a line.
    std::string Sql(const std::string& sql) const;
    // A user with `password`, and API access when `apiAccess`; its id.
    int AddUser(const std::string& login, const std::string& password, bool apiAccess = true);
    void SetApiAccess(int userId, bool on);
    // A category of the user; its id.
    int AddCategory(int userId, const std::string& title);

    // Stops and starts the web server, the database keeping its data.
    void StopWeb();
    void StartWeb();

private:
    std::string Script() const;

    std::string m_dir;
    int m_port = 0;
    bool m_started = false;
};
