#include "feeds/ttrss_client.h"

#include "base/http_fetch.h"

namespace {

TtRssAnswer Failed(TtRssFailure failure, std::string detail) {
    TtRssAnswer answer;
    answer.failure = failure;
    answer.detail = std::move(detail);
    return answer;
}

TtRssFailure FailureOfError(const std::string& error) {
    if (error == "LOGIN_ERROR") {
        return TtRssFailure::kLoginError;
    }
    if (error == "API_DISABLED") {
        return TtRssFailure::kApiDisabled;
    }
    if (error == "NOT_LOGGED_IN") {
        return TtRssFailure::kNotLoggedIn;
    }
    return TtRssFailure::kApiError;
}

// The answer of a 2xx body: the envelope's content, or what is wrong with it.
TtRssAnswer ReadEnvelope(const std::string& body) {
    nlohmann::json envelope = nlohmann::json::parse(body, nullptr, false);
    if (envelope.is_discarded()) {
        // A body that starts as the API's envelope but breaks off is a bad answer of the
        // right server; anything else (a page, nothing at all) is no such server.
        const bool looksLikeEnvelope = body.find("\"status\"") != std::string::npos &&
                                       body.find("\"content\"") != std::string::npos;
        return Failed(looksLikeEnvelope ? TtRssFailure::kBadAnswer : TtRssFailure::kNotTtRss,
                      body.empty() ? "empty answer" : "the answer is not JSON");
    }
    if (!envelope.is_object() || !envelope.contains("status") || !envelope.contains("content") ||
        !envelope["status"].is_number_integer()) {
        return Failed(TtRssFailure::kNotTtRss, "the answer is not the API's");
    }
    nlohmann::json& content = envelope["content"];
    if (envelope["status"].get<int>() != 0) {
        std::string error = "unknown error";
        if (content.is_object() && content.contains("error") && content["error"].is_string()) {
            error = content["error"].get<std::string>();
        }
        return Failed(FailureOfError(error), error);
    }
    TtRssAnswer answer;
    answer.content = std::move(content);
    return answer;
}

}  // namespace

std::string_view TtRssFailureName(TtRssFailure failure) {
    switch (failure) {
        case TtRssFailure::kNone:
            return "ok";
        case TtRssFailure::kNoConnection:
            return "no connection";
        case TtRssFailure::kTls:
            return "TLS error";
        case TtRssFailure::kHttpError:
            return "HTTP error";
        case TtRssFailure::kNotTtRss:
            return "not a Tiny Tiny RSS server";
        case TtRssFailure::kBadAnswer:
            return "bad answer";
        case TtRssFailure::kTooLarge:
            return "answer too large";
        case TtRssFailure::kLoginError:
            return "wrong user or password";
        case TtRssFailure::kApiDisabled:
            return "API access is switched off for this user";
        case TtRssFailure::kNotLoggedIn:
            return "not logged in";
        case TtRssFailure::kApiError:
            return "server error";
        case TtRssFailure::kAbandoned:
            return "stopped";
        case TtRssFailure::kNoPassword:
            return "cannot read the account's password";
    }
    return "unknown";
}

CTtRssClient::CTtRssClient(std::string address, std::string user, std::string password,
                           const std::atomic<bool>* stop)
    : m_apiUrl(ApiUrlOf(address)),
      m_user(std::move(user)),
      m_password(std::move(password)),
      m_stop(stop) {}

std::string CTtRssClient::ApiUrlOf(std::string_view address) {
    std::string base(address);
    while (!base.empty() && base.back() == '/') {
        base.pop_back();
    }
    if (base.size() >= 4 && base.compare(base.size() - 4, 4, "/api") == 0) {
        base.resize(base.size() - 4);
    }
    return base + "/api/";
}

TtRssAnswer CTtRssClient::Post(const nlohmann::json& body) {
    const std::string text = body.dump();
    FetchOptions options;
    options.stop = m_stop;
    options.jsonBody = &text;
    options.limits.maxBodyBytes = kMaxAnswerBytes;
    ++m_requests;
    const FetchResult result = FetchUrl(m_apiUrl, options);
    if (result.abandoned) {
        return Failed(TtRssFailure::kAbandoned, result.error);
    }
    if (result.tooLarge) {
        return Failed(TtRssFailure::kTooLarge, result.error);
    }
    if (result.tlsFailure) {
        return Failed(TtRssFailure::kTls, result.error);
    }
    if (!result.ok) {
        return Failed(result.status == 0 ? TtRssFailure::kNoConnection : TtRssFailure::kHttpError,
                      result.error);
    }
    return ReadEnvelope(result.body);
}

TtRssAnswer CTtRssClient::Login() {
    m_session.clear();
    nlohmann::json body = {{"op", "login"}, {"user", m_user}, {"password", m_password}};
    TtRssAnswer answer = Post(body);
    if (!answer.ok()) {
        return answer;
    }
    if (!answer.content.is_object() || !answer.content.contains("session_id") ||
        !answer.content["session_id"].is_string()) {
        return Failed(TtRssFailure::kBadAnswer, "the login answer holds no session");
    }
    m_session = answer.content["session_id"].get<std::string>();
    TtRssAnswer version = Post({{"op", "getVersion"}, {"sid", m_session}});
    if (!version.ok()) {
        return version;
    }
    if (version.content.is_object() && version.content.contains("version") &&
        version.content["version"].is_string()) {
        m_version = version.content["version"].get<std::string>();
    }
    return version;
}

TtRssAnswer CTtRssClient::Call(std::string_view op, nlohmann::json params) {
    if (m_session.empty()) {
        TtRssAnswer login = Login();
        if (!login.ok()) {
            return login;
        }
    }
    nlohmann::json body = params.is_object() ? std::move(params) : nlohmann::json::object();
    body["op"] = std::string(op);
    body["sid"] = m_session;
    TtRssAnswer answer = Post(body);
    if (answer.failure != TtRssFailure::kNotLoggedIn) {
        return answer;
    }
    // A session the server dropped (expired, removed, a restarted server): log in once more.
    TtRssAnswer login = Login();
    if (!login.ok()) {
        return login;
    }
    body["sid"] = m_session;
    return Post(body);
}
