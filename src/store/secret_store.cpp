#include "store/secret_store.h"

#include "store/secret_file.h"
#include "store/secret_service.h"

namespace {

using Kind = SecretServiceAnswer::Kind;

}  // namespace

CSecretStore::CSecretStore(std::string dataFolder, Backends backends)
    : m_folder(std::move(dataFolder)), m_backends(backends) {
    while (m_folder.size() > 1 && m_folder.back() == '/') {
        m_folder.pop_back();
    }
}

std::string CSecretStore::FilePath() const {
    return m_folder + "/data/secrets.conf";
}

SecretResult CSecretStore::Save(std::string_view name, std::string_view label,
                                std::string_view secret) {
    SecretResult result;
    if (!CSecretFile::IsValidName(name)) {
        result.failure = "not a name for a secret: " + std::string(name);
        return result;
    }
    if (secret.find('\0') != std::string_view::npos) {
        result.failure = "a password cannot hold a NUL character";
        return result;
    }
    const CSecretFile file(FilePath());
    if (m_backends == Backends::kSecretServiceFirst &&
        SecretServiceStore(m_folder, name, label, secret).kind == Kind::kDone) {
        // The file's copy would now be the older one, and read first: it goes.
        const CSecretFile::Written removed = file.Remove(name);
        result.ok = true;
        result.place = SecretPlace::kSecretService;
        result.fileWasExposed = removed.wasExposed;
        result.failure = removed.failure;
        return result;
    }
    const CSecretFile::Written written = file.Save(name, secret);
    result.ok = written.ok;
    result.place = written.ok ? SecretPlace::kFile : SecretPlace::kNowhere;
    result.failure = written.failure;
    result.fileWasExposed = written.wasExposed;
    return result;
}

SecretResult CSecretStore::Lookup(std::string_view name) {
    SecretResult result;
    const CSecretFile::Read read = CSecretFile(FilePath()).Lookup(name);
    result.fileWasExposed = read.wasExposed;
    if (read.found) {
        result.ok = true;
        result.place = SecretPlace::kFile;
        result.secret = read.secret;
        return result;
    }
    result.failure = read.failure;
    if (m_backends == Backends::kSecretServiceFirst && CSecretFile::IsValidName(name)) {
        SecretServiceAnswer answer = SecretServiceLookup(m_folder, name);
        if (answer.kind == Kind::kDone) {
            result.ok = true;
            result.place = SecretPlace::kSecretService;
            result.secret = std::move(answer.secret);
            result.failure.clear();
        }
    }
    return result;
}

SecretResult CSecretStore::Remove(std::string_view name) {
    SecretResult result;
    const CSecretFile::Written removed = CSecretFile(FilePath()).Remove(name);
    result.fileWasExposed = removed.wasExposed;
    result.failure = removed.failure;
    result.ok = removed.ok;
    if (m_backends == Backends::kSecretServiceFirst && CSecretFile::IsValidName(name)) {
        // A service that does not answer holds nothing this session could read back.
        static_cast<void>(SecretServiceClear(m_folder, name));
    }
    return result;
}
