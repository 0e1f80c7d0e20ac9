#include "base/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// Writes `contents` to a new temporary file beside `path`, flushed to disk, and returns its
// name; empty on failure (nothing is left behind then).
std::string WriteTemporary(const std::string& path, std::string_view contents, mode_t mode) {
    std::string temporary = path + ".tmp-XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        return {};
    }
    bool ok = true;
    std::size_t written = 0;
    while (ok && written < contents.size()) {
        const ssize_t put = ::write(fd, contents.data() + written, contents.size() - written);
        ok = put > 0;
        written += ok ? static_cast<std::size_t>(put) : 0;
    }
    // mkstemp makes the file private (0600); give it the permissions asked for.
    ok = ok && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (!ok) {
        const int saved = errno;
        ::unlink(temporary.c_str());
        errno = saved;
        return {};
    }
    return temporary;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view contents, mode_t mode,
                         int* errorNumber) {
    const std::string temporary = WriteTemporary(path, contents, mode);
    if (temporary.empty()) {
        if (errorNumber) {
            *errorNumber = errno;
        }
        return false;
    }
    if (std::rename(temporary.c_str(), path.c_str()) == 0) {
        return true;
    }
    const int saved = errno;
    ::unlink(temporary.c_str());
    if (errorNumber) {
        *errorNumber = saved;
    }
    return false;
}

NewFileResult CreateFileAtomically(const std::string& path, std::string_view contents,
                                   std::string* error) {
    const std::string temporary = WriteTemporary(path, contents, 0644);
    if (temporary.empty()) {
        if (error) {
            *error = std::strerror(errno);
        }
        return NewFileResult::kFailed;
    }
    // link() never replaces: it fails with EEXIST when the name is taken.
    const int linked = ::link(temporary.c_str(), path.c_str());
    const int saved = errno;
    ::unlink(temporary.c_str());
    if (linked == 0) {
        return NewFileResult::kCreated;
    }
    if (saved == EEXIST) {
        return NewFileResult::kExisted;
    }
    if (error) {
        *error = std::strerror(saved);
    }
    return NewFileResult::kFailed;
}
