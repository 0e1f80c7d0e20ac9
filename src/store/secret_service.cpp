#include "store/secret_service.h"

#include <libsecret/secret.h>

#include <memory>

namespace {

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
    void operator()(GError* error) const { g_error_free(error); }
};
using ErrorHandle = std::unique_ptr<GError, ErrorDeleter>;

// A password libsecret handed out: wiped and freed by libsecret's own function.
struct PasswordDeleter {
    void operator()(gchar* password) const { secret_password_free(password); }
};
using PasswordHandle = std::unique_ptr<gchar, PasswordDeleter>;

SecretServiceAnswer Unavailable(GError* raw) {
    const ErrorHandle error(raw);
    SecretServiceAnswer answer;
    answer.failure = error && error->message ? error->message : "the Secret Service did not answer";
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
    const gboolean stored = secret_password_store_sync(
        &QuillonSchema(), SECRET_COLLECTION_DEFAULT, labelText.c_str(), secretText.c_str(), nullptr,
        &error, "folder", folderText.c_str(), "name", nameText.c_str(), nullptr);
    if (!stored) {
        return Unavailable(error);
    }
    return Answer(SecretServiceAnswer::Kind::kDone);
}

SecretServiceAnswer SecretServiceLookup(std::string_view folder, std::string_view name) {
    const std::string folderText(folder), nameText(name);
    GError* error = nullptr;
    const PasswordHandle password(secret_password_lookup_sync(&QuillonSchema(), nullptr, &error,
                                                              "folder", folderText.c_str(), "name",
                                                              nameText.c_str(), nullptr));
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
    GError* error = nullptr;
    secret_password_clear_sync(&QuillonSchema(), nullptr, &error, "folder", folderText.c_str(),
                               "name", nameText.c_str(), nullptr);
    if (error) {
        return Unavailable(error);
    }
    return Answer(SecretServiceAnswer::Kind::kDone);
}
