// quillon-cli account URL USER | account | account --remove: the sync account.

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "base/http_fetch.h"
#include "cli/cli_commands.h"
#include "feeds/ttrss_client.h"
#include "store/secret_store.h"
#include "store/sync_settings.h"

namespace {

constexpr char kUsage[] = "usage: quillon-cli account [URL USER | --remove]\n";

// Turns the terminal's echo off for as long as the object lives.
class NoEcho {
public:
    NoEcho() {
        if (tcgetattr(STDIN_FILENO, &m_saved) == 0) {
            termios quiet = m_saved;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            m_active = tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
        }
    }
    ~NoEcho() {
        if (m_active) {
            tcsetattr(STDIN_FILENO, TCSAFLUSH, &m_saved);
        }
    }
    NoEcho(const NoEcho&) = delete;
    NoEcho& operator=(const NoEcho&) = delete;

private:
    termios m_saved{};
    bool m_active = false;
};

// QUILLON_PASSWORD, else a prompt without echo on a terminal, else one line of stdin.
std::string ReadPassword(const std::string& user) {
    if (const char* fromEnvironment = std::getenv("QUILLON_PASSWORD")) {
        return fromEnvironment;
    }
    std::string line;
    if (isatty(STDIN_FILENO)) {
        // Echo goes off before the prompt shows: a password typed as soon as the prompt is
        // there must neither be echoed nor thrown away by the switch.
        NoEcho quiet;
        std::fprintf(stderr, "password of %s: ", user.c_str());
        std::fflush(stderr);
        std::getline(std::cin, line);
        std::fputs("\n", stderr);
    } else {
        std::getline(std::cin, line);
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

const char* PlaceText(SecretPlace place) {
    return place == SecretPlace::kSecretService ? "the desktop's keyring (Secret Service)"
                                                : "a file only its owner may read";
}

int PrintAccount() {
    const CAppSettings& settings = theStore.MoreSettings();
    const std::string server = settings.Get(kSyncServerKey);
    if (server.empty()) {
        std::printf("no account\n");
        return 0;
    }
    std::printf("server\t%s\nuser\t%s\n", server.c_str(), settings.Get(kSyncUserKey).c_str());
    const SecretResult password = CSecretStore(theStore.DataPath("")).Lookup(kSyncSecretName);
    if (password.ok) {
        std::printf("password\tkept in %s\n", PlaceText(password.place));
    } else {
        std::printf("password\tnot kept%s%s\n", password.failure.empty() ? "" : ": ",
                    password.failure.c_str());
    }
    return 0;
}

int RemoveAccount() {
    CAppSettings& settings = theStore.MoreSettings();
    settings.Set(kSyncServerKey, "");
    settings.Set(kSyncUserKey, "");
    const SecretResult removed = CSecretStore(theStore.DataPath("")).Remove(kSyncSecretName);
    if (!theStore.SaveSettings()) {
        std::fprintf(stderr, "quillon-cli: the settings file cannot be written\n");
        return 1;
    }
    if (!removed.ok) {
        std::fprintf(stderr, "quillon-cli: the password could not be removed: %s\n",
                     removed.failure.c_str());
        return 1;
    }
    std::printf("account removed; every stored news item is kept\n");
    return 0;
}

int SetAccount(const std::string& server, const std::string& user) {
    if (!IsHttpAddress(server)) {
        std::fprintf(stderr, "quillon-cli: %s is not an http or https address\n", server.c_str());
        return 2;
    }
    const std::string password = ReadPassword(user);
    if (password.empty()) {
        // Checked before anything is kept, so that the account set before stays as it was.
        std::fprintf(stderr, "quillon-cli: no password given; the account is unchanged\n");
        return 1;
    }
    CAppSettings& settings = theStore.MoreSettings();
    settings.Set(kSyncServerKey, server);
    settings.Set(kSyncUserKey, user);
    const SecretResult saved =
        CSecretStore(theStore.DataPath("")).Save(kSyncSecretName, kSyncSecretLabel, password);
    if (!theStore.SaveSettings()) {
        std::fprintf(stderr, "quillon-cli: the settings file cannot be written\n");
        return 1;
    }
    if (!saved.ok) {
        std::fprintf(stderr, "quillon-cli: the password cannot be kept: %s\n",
                     saved.failure.c_str());
        return 1;
    }
    std::printf("account set; the password is kept in %s\n", PlaceText(saved.place));
    CTtRssClient client(server, user, password);
    const TtRssAnswer answer = client.Login();
    if (answer.ok()) {
        std::printf("logged in to %s (Tiny Tiny RSS %s)\n", server.c_str(),
                    client.Version().c_str());
        return 0;
    }
    std::fprintf(stderr, "quillon-cli: cannot log in to %s: %s\n", server.c_str(),
                 AccountFailureEnglish(answer).c_str());
    return 1;
}

}  // namespace

std::string AccountFailureEnglish(const TtRssAnswer& answer) {
    std::string text(TtRssFailureName(answer.failure));
    if (answer.failure == TtRssFailure::kNoPassword) {
        const std::string server = theStore.MoreSettings().Get(kSyncServerKey);
        const std::string user = theStore.MoreSettings().Get(kSyncUserKey);
        text += ": " +
                (answer.detail.empty() ? "neither the keyring nor the password file holds it"
                                       : answer.detail) +
                "; run 'quillon-cli account " + (server.empty() ? "URL" : server) + " " +
                (user.empty() ? "USER" : user) + "' again";
    } else if (answer.failure == TtRssFailure::kApiDisabled) {
        text += " (switch on \"Enable API\" in the user's preferences on the server)";
    } else if (answer.failure == TtRssFailure::kTls) {
        text += ": " + answer.detail + " (check the server's certificate and the address)";
    } else if (!answer.detail.empty() && answer.detail != text) {
        text += ": " + answer.detail;
    }
    return text;
}

int RunAccountCommand(const std::vector<std::string>& args) {
    theStore.LoadSettings();
    if (args.empty()) {
        return PrintAccount();
    }
    if (args.size() == 1 && args[0] == "--remove") {
        return RemoveAccount();
    }
    if (args.size() == 2 && !args[0].starts_with("--")) {
        return SetAccount(args[0], args[1]);
    }
    std::fputs(kUsage, stderr);
    return 2;
}
