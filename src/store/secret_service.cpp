#include "store/secret_service.h"

#include <dlfcn.h>
#include <libsecret/secret.h>

#include <memory>

namespace {

// libsecret, opened at its first use rather than linked: linked, it brings GLib and GIO into
// every start of both programs (some 5 MB of memory), while only a password needs it. The
// types and the schema come from its header; the calls go through these pointers.
struct SecretLibrary {
    decltype(&secret_password_store_sync) store = nullptr;
    decltype(&secret_password_lookup_sync) lookup = nullptr;
    decltype(&secret_password_clear_sync) clear = nullptr;
    decltype(&secret_password_free) freePassword = nullptr;
    decltype(&g_error_free) freeError = nullptr;
    std::string failure;  // why it could not be opened; "" when it was
};

template <typename Function>
bool Find(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

SecretLibrary OpenSecretLibrary() {
    SecretLibrary opened;
    // Never closed: GLib cannot be unloaded once its types are registered.
    void* library = dlopen("libsecret-1.so.0", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* reason = dlerror();
        opened.failure = reason != nullptr ? reason : "libsecret-1.so.0 cannot be opened";
        return opened;
    }
    if (!Find(library, "secret_password_store_sync", opened.store) ||
        !Find(library, "secret_password_lookup_sync", opened.lookup) ||
        !Find(library, "secret_password_clear_sync", opened.clear) ||
        !Find(library, "secret_password_free", opened.freePassword) ||
        !Find(library, "g_error_free", opened.freeError)) {
        opened = SecretLibrary();
        opened.failure = "libsecret-1.so.0 lacks the password functions";
    }
    return opened;
}

// Opened once, by whichever thread asks first.
const SecretLibrary& Library() {
    static const SecretLibrary library = OpenSecretLibrary();
    return library;
}

// Quillon's items in the keyring: the data folder and the secret's name tell them apart.
const SecretSchema& QuillonSchema() {
    static const SecretSchema schema = [] {
        SecretSchema made{};
        made.name = "org.quillon.Quillon.Secret";
        made.flags = SECRET_SCHEMA_NONE;
        made.attributes[0] = {"folder", SECRET_SCHEMA_ATTRIBUTE_STRING};
        made.attributes[1] = {"name", SECRET_SCHEMA_ATTRIBUTE_STRING};
        made.attributes[2] = {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING};
        return made;
    }();
    return schema;
}

struct ErrorDeleter {
    void operator()(GError* error) const { Library().freeError(error); }
};
using ErrorHandle = std::unique_ptr<GError, ErrorDeleter>;

// A password libsecret handed out: wiped and freed by libsecret's own function.
struct PasswordDeleter {
    void operator()(gchar* password) const { Library().freePassword(password); }
};
using PasswordHandle = std::unique_ptr<gchar, PasswordDeleter>;

SecretServiceAnswer Unavailable(GError* raw) {
    const ErrorHandle error(raw);
    SecretServiceAnswer answer;
    answer.failure = error && error->message ? error->message : "the Secret Service did not answer";
    return answer;
}

SecretServiceAnswer Missing() {
    SecretServiceAnswer answer;
    answer.failure = Library().failure;
    return answer;
}

SecretServiceAnswer Answer(SecretServiceAnswer::Kind kind) {
    SecretServiceAnswer answer;
    answer.kind = kind;
    return answer;
}

}  // namespace

SecretServiceAnswer SecretServiceStore(std::string_view folder, std::string_view name,
                                       std::string_view label, std::string_view secret) {
    const std::string folderText(folder), nameText(name), labelText(label), secretText(secret);
    GError* error = nullptr;
    if (!Library().failure.empty()) {
        return Missing();
    }
    const gboolean stored = Library().store(
        &QuillonSchema(), SECRET_COLLECTION_DEFAULT, labelText.c_str(), secretText.c_str(), nullptr,
        &error, "folder", folderText.c_str(), "name", nameText.c_str(), nullptr);
    if (!stored) {
        return Unavailable(error);
    }
    return Answer(SecretServiceAnswer::Kind::kDone);
}

SecretServiceAnswer SecretServiceLookup(std::string_view folder, std::string_view name) {
    const std::string folderText(folder), nameText(name);
    if (!Library().failure.empty()) {
        return Missing();
    }
    GError* error = nullptr;
    const PasswordHandle password(Library().lookup(&QuillonSchema(), nullptr, &error, "folder",
                                                   folderText.c_str(), "name", nameText.c_str(),
                                                   nullptr));
    if (error) {
        return Unavailable(error);
    }
    if (!password) {
        return Answer(SecretServiceAnswer::Kind::kNotFound);
    }
    SecretServiceAnswer answer = Answer(SecretServiceAnswer::Kind::kDone);
    answer.secret = password.get();
    return answer;
}

SecretServiceAnswer SecretServiceClear(std::string_view folder, std::string_view name) {
    const std::string folderText(folder), nameText(name);
    if (!Library().failure.empty()) {
        return Missing();
    }
    GError* error = nullptr;
    Library().clear(&QuillonSchema(), nullptr, &error, "folder", folderText.c_str(), "name",
                    nameText.c_str(), nullptr);
    if (error) {
        return Unavailable(error);
    }
    return Answer(SecretServiceAnswer::Kind::kDone);
}
