#pragma once

#include <string>
#include <string_view>

// The program's passwords (the proxy's, a sync account's): kept in the desktop's Secret
// Service when one answers, else in data/secrets.conf of the data folder, which only its
// owner may read (see CSecretFile). Every result says which of the two holds the secret, so
// the dialog or the tool can tell the user. A password never goes to the settings file, the
// tree file, a log or a message.
//
// Where both hold a secret of one name, the file's is the newer: saving to the Secret Service
// removes the file's copy, while a save that had to go to the file could not reach the
// service's. So a lookup reads the file first.
//
// Thread rule: any thread. The calls can block for as long as the Secret Service takes (the
// user answering its unlock prompt), so the window runs them off its own thread.

enum class SecretPlace {
    kNowhere,        // nothing stored, or a save that failed
    kSecretService,  // the desktop's keyring
    kFile,           // data/secrets.conf, readable by its owner only
};

struct SecretResult {
    // Save: stored. Lookup: found. Remove: gone from every place that answered.
    bool ok = false;
    SecretPlace place = SecretPlace::kNowhere;
    std::string secret;  // what a lookup found
    // Why not ok, in the words of the system or the service; "" for a lookup that simply
    // found nothing.
    std::string failure;
    // The file could be read by others when this call found it; it is private now, but the
    // secrets in it may have been read.
    bool fileWasExposed = false;
};

class CSecretStore {
public:
    enum class Backends {
        kSecretServiceFirst,  // the program's way
        kFileOnly,            // never asks a Secret Service (tests that must not touch one)
    };

    // The secrets of the data folder `dataFolder`.
    explicit CSecretStore(std::string dataFolder,
                          Backends backends = Backends::kSecretServiceFirst);

    // Keeps `secret` under `name` (see CSecretFile::IsValidName), replacing what was there.
    // `label` names it in the desktop's keyring manager. A secret may hold no NUL byte.
    SecretResult Save(std::string_view name, std::string_view label, std::string_view secret);
    SecretResult Lookup(std::string_view name);
    SecretResult Remove(std::string_view name);

    // data/secrets.conf of the data folder.
    std::string FilePath() const;

private:
    std::string m_folder;
    Backends m_backends;
};
