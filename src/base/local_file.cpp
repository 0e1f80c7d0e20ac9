#include "base/local_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/file_descriptor.h"

namespace {

constexpr std::size_t kChunkBytes = 64 * 1024;

LocalFile Failure(LocalFile::Outcome outcome, const std::string& path, const std::string& why) {
    LocalFile file;
    file.outcome = outcome;
    file.error = path + ": " + why;
    return file;
}

}  // namespace

LocalFile ReadLocalFile(const std::string& path, std::size_t maxBytes,
                        const std::atomic<bool>* stop) {
    // O_NONBLOCK: opening a named pipe must not wait for a writer; the type is checked before
    // anything is read.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) {
        const int error = errno;
        const bool missing = error == ENOENT || error == ENOTDIR;
        return Failure(missing ? LocalFile::kMissing : LocalFile::kUnreadable, path,
                       std::strerror(error));
    }
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) {
        return Failure(LocalFile::kUnreadable, path, std::strerror(errno));
    }
    if (!S_ISREG(status.st_mode)) {
        return Failure(LocalFile::kNotRegular, path, "not a regular file");
    }
    const std::string tooLarge = "larger than " + std::to_string(maxBytes) + " bytes";
    if (static_cast<unsigned long long>(status.st_size) > maxBytes) {
        return Failure(LocalFile::kTooLarge, path, tooLarge);
    }
    LocalFile file;
    file.bytes.reserve(static_cast<std::size_t>(status.st_size));
    char buffer[kChunkBytes];
    while (true) {
        if (stop && stop->load(std::memory_order_relaxed)) {
            return Failure(LocalFile::kAbandoned, path, "abandoned");
        }
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return Failure(LocalFile::kUnreadable, path, std::strerror(errno));
        }
        if (got == 0) {
            break;
        }
        // The file may have grown since it was measured.
        if (file.bytes.size() + static_cast<std::size_t>(got) > maxBytes) {
            return Failure(LocalFile::kTooLarge, path, tooLarge);
        }
        file.bytes.append(buffer, static_cast<std::size_t>(got));
    }
    file.outcome = LocalFile::kRead;
    return file;
}
