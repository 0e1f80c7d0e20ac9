#pragma once

#include <string>
#include <string_view>

// The file that keeps secrets where no Secret Service answers (a server, CI, a session
// without D-Bus): data/secrets.conf of the data folder, "name = value" a line with the value
// percent-encoded, "#" starting a comment. Only its owner may read or write it (0600): it is
// written whole to a temporary file that is private from its creation and renamed over the
// old one, so it is never readable by others, not even for a moment, and never half written.
//
// A file that others could read when it is opened is made private again and the caller told.
// A file of another owner, not a regular file, too large or unreadable is not used, and not
// written over either, so nothing in it is lost. Lines it cannot read are kept as they are
// when it is written again.
//
// Thread rule: any thread, any process. Every change reads, edits and writes the file under
// an exclusive lock (flock) on the folder that holds it, which serialises writers of all
// threads and processes.
class CSecretFile {
public:
    explicit CSecretFile(std::string path) : m_path(std::move(path)) {}

    struct Read {
        bool found = false;
        std::string secret;
        std::string failure;      // why the file, or the name's line, could not be read
        bool wasExposed = false;  // others could read the file; it is private now
    };
    Read Lookup(std::string_view name) const;

    struct Written {
        bool ok = false;
        std::string failure;
        bool wasExposed = false;
    };
    // Sets the value of `name`, keeping every other line.
    Written Save(std::string_view name, std::string_view secret) const;
    // Drops the line of `name`; the file goes once nothing is left in it. Ok also when there
    // was nothing to drop.
    Written Remove(std::string_view name) const;

    const std::string& Path() const { return m_path; }

    // A name fit for the file and the keyring: 1 to 64 ASCII letters, digits, '.', '-', '_'.
    static bool IsValidName(std::string_view name);
    // The longest file read; a larger one is not a file this program wrote.
    static constexpr std::size_t kMaxFileBytes = 1024 * 1024;

private:
    // Replaces, or with `secret` null drops, the line of `name`.
    Written Change(std::string_view name, const std::string* secret) const;

    std::string m_path;
};
