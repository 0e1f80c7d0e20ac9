#pragma once

#include <string>
#include <string_view>

// The desktop's Secret Service (a keyring such as the one a desktop session runs), reached
// through libsecret over the session's D-Bus. A secret is found by two attributes: the data
// folder it belongs to and its name, so two data folders keep their secrets apart.
//
// Every call blocks until the service answers: a D-Bus round trip, or as long as the user
// takes to answer the keyring's unlock prompt. The window calls them off its own thread. Any
// thread may call them; libsecret runs each call in a main context of its own.

struct SecretServiceAnswer {
    enum class Kind {
        kDone,         // stored, found or cleared
        kNotFound,     // the service answered and holds no such secret
        kUnavailable,  // no session bus, no service on it, or the service refused
    };
    Kind kind = Kind::kUnavailable;
    std::string secret;   // what a lookup found
    std::string failure;  // why the service was unavailable, as the service said it
};

// Keeps `secret` under (`folder`, `name`) in the default collection, labelled `label`,
// replacing the one stored there before.
SecretServiceAnswer SecretServiceStore(std::string_view folder, std::string_view name,
                                       std::string_view label, std::string_view secret);
SecretServiceAnswer SecretServiceLookup(std::string_view folder, std::string_view name);
// kDone also when there was nothing to clear.
SecretServiceAnswer SecretServiceClear(std::string_view folder, std::string_view name);
