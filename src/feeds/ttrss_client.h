#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

// The JSON API of a Tiny Tiny RSS server (API level 15): each call is a POST of a JSON
// object with "op" to BASE/api/, answered with {"seq", "status", "content"} and HTTP status
// 200 whatever happened; an error is only in the content ({"error": "LOGIN_ERROR"}). A
// session is bound to the client's user agent, which FetchUrl keeps the same for every
// request of the process.
//
// Thread rule: an object belongs to one thread at a time.

enum class TtRssFailure {
    kNone,
    kNoConnection,  // no answer: refused, unreachable, timed out, a name that does not resolve
    kTls,           // the TLS handshake or the server's certificate failed
    kHttpError,     // an answer with an HTTP error status (a 500, a 404)
    kNotTtRss,      // an answer that is not the API's JSON (an HTML page, another program)
    kBadAnswer,     // the API's envelope, but empty, cut off or of the wrong shape inside
    kTooLarge,      // an answer past the size cap
    kLoginError,    // wrong user or password
    kApiDisabled,   // the user has API access switched off in the server's preferences
    kNotLoggedIn,   // the session ended, and logging in again did not help
    kApiError,      // any other error the API reports (its text in `detail`)
    kAbandoned,     // stopped through the stop flag
    kNoPassword,    // the account's password cannot be read here (keyring locked, file gone)
};

// The English name of a failure, for the command-line tool and the status table.
std::string_view TtRssFailureName(TtRssFailure failure);

struct TtRssAnswer {
    TtRssFailure failure = TtRssFailure::kNone;
    // What went wrong in the words of the system or the server ("" on success).
    std::string detail;
    nlohmann::json content;  // the answer's "content" on success

    bool ok() const { return failure == TtRssFailure::kNone; }
};

class CTtRssClient {
public:
    // The largest answer read: a page of 200 articles with their content is a few MB.
    static constexpr std::size_t kMaxAnswerBytes = 32u * 1024 * 1024;

    // `address` is the server's address as the user gives it ("https://host/tt-rss", with or
    // without a trailing "/api/").
    CTtRssClient(std::string address, std::string user, std::string password,
                 const std::atomic<bool>* stop = nullptr);

    // Logs in and asks the server's version (see Version).
    TtRssAnswer Login();
    // Calls `op` with `params` (an object; may be null), logging in first when there is no
    // session yet, and once more when the server says the session ended.
    TtRssAnswer Call(std::string_view op, nlohmann::json params = nullptr);

    const std::string& Version() const { return m_version; }
    // Requests sent so far.
    int RequestCount() const { return m_requests; }
    const std::string& ApiUrl() const { return m_apiUrl; }

    // The API's address of a server address: BASE/api/.
    static std::string ApiUrlOf(std::string_view address);

private:
    TtRssAnswer Post(const nlohmann::json& body);

    std::string m_apiUrl;
    std::string m_user;
    std::string m_password;
    const std::atomic<bool>* m_stop;
    std::string m_session;
    std::string m_version;
    int m_requests = 0;
};
