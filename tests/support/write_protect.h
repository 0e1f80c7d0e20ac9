#pragma once

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <filesystem>
#include <string>

// Makes a file or folder impossible to write for this process, for as long as it lives: as
// root (whom permissions do not stop) by the immutable flag, otherwise by taking away its
// write permissions. IsSet is false when the file system cannot do it; the test then skips.
class WriteProtected {
public:
    explicit WriteProtected(std::string path) : m_path(std::move(path)) {
        if (::geteuid() == 0) {
            m_set = SetImmutable(true);
        } else {
            namespace fs = std::filesystem;
            std::error_code error;
            m_permissions = fs::status(m_path, error).permissions();
            fs::permissions(
                m_path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                fs::perm_options::remove, error);
            m_set = !error;
        }
    }
    ~WriteProtected() {
        if (!m_set) {
            return;
        }
        if (::geteuid() == 0) {
            SetImmutable(false);
        } else {
            std::error_code ignored;
            std::filesystem::permissions(m_path, m_permissions, ignored);
        }
    }
    WriteProtected(const WriteProtected&) = delete;
    WriteProtected& operator=(const WriteProtected&) = delete;
    bool IsSet() const { return m_set; }

private:
    bool SetImmutable(bool on) const {
        const int fd = ::open(m_path.c_str(), O_RDONLY);
        int flags = 0;
        bool ok = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        if (fd >= 0) {
            ::close(fd);
        }
        return ok;
    }

    std::string m_path;
    std::filesystem::perms m_permissions = std::filesystem::perms::none;
    bool m_set = false;
};
