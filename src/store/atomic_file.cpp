#include "store/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

bool WriteFileAtomically(const std::string& path, std::string_view contents) {
    std::string temporary = path + ".tmp-XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        return false;
    }
    bool ok = true;
    std::size_t written = 0;
    while (ok && written < contents.size()) {
        const ssize_t put = ::write(fd, contents.data() + written, contents.size() - written);
        ok = put > 0;
        written += ok ? static_cast<std::size_t>(put) : 0;
    }
    // mkstemp makes the file private; give it the usual permissions of a user's file.
    ok = ok && ::fchmod(fd, 0644) == 0 && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok && std::rename(temporary.c_str(), path.c_str()) == 0) {
        return true;
    }
    ::unlink(temporary.c_str());
    return false;
}
