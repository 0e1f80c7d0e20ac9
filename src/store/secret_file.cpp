#include "store/secret_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "base/ascii.h"
#include "base/atomic_file.h"
#include "base/file_descriptor.h"

namespace {

constexpr char kHeader[] =
    "# Passwords Quillon keeps here because no Secret Service answered: name = value, the\n"
    "# value percent-encoded. Only you may read this file; keep it so.\n";

bool IsUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

std::string PercentEncode(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (IsUnreserved(byte)) {
            encoded.push_back(c);
        } else {
            encoded.push_back('%');
            encoded.push_back(kHex[byte >> 4]);
            encoded.push_back(kHex[byte & 0x0F]);
        }
    }
    return encoded;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// The text `encoded` stands for; nothing when it is not what PercentEncode writes.
std::optional<std::string> PercentDecode(std::string_view encoded) {
    std::string text;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        const auto byte = static_cast<unsigned char>(encoded[i]);
        if (byte != '%') {
            if (!IsUnreserved(byte)) {
                return std::nullopt;
            }
            text.push_back(encoded[i]);
            continue;
        }
        if (i + 2 >= encoded.size()) {
            return std::nullopt;
        }
        const int high = HexValue(encoded[i + 1]);
        const int low = HexValue(encoded[i + 2]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        text.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return text;
}

std::string SystemReason(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// One line of the file: an entry, or a line kept as it is.
struct Line {
    std::string name;   // "" for a line that is no entry
    std::string value;  // an entry's decoded value, or the line as it stands
    bool damaged = false;
    std::string damagedName;  // the name a damaged line seems to carry
};

std::vector<Line> ParseLines(std::string_view text) {
    std::vector<Line> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view raw = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        const std::string_view line = TrimAsciiBlanks(raw);
        if (line.empty() || line.front() == '#') {
            continue;  // the header, a comment, a blank line: written afresh
        }
        const std::size_t equals = line.find('=');
        const std::string_view name =
            TrimAsciiBlanks(line.substr(0, equals == std::string_view::npos ? 0 : equals));
        std::optional<std::string> value;
        if (equals != std::string_view::npos && CSecretFile::IsValidName(name)) {
            value = PercentDecode(TrimAsciiBlanks(line.substr(equals + 1)));
        }
        if (value) {
            lines.push_back({std::string(name), std::move(*value), false, ""});
        } else {
            lines.push_back({"", std::string(raw), true, std::string(name)});
        }
    }
    return lines;
}

std::string LinesText(const std::vector<Line>& lines) {
    std::string text = kHeader;
    for (const Line& line : lines) {
        text += line.name.empty() ? line.value : line.name + " = " + PercentEncode(line.value);
        text += '\n';
    }
    return text;
}

struct FileText {
    bool ok = false;  // read, or missing (then empty)
    std::string text;
    std::string failure;
    bool wasExposed = false;
};

// Reads the file if it is one this program may use, making it private if others could read
// it. Never blocks on a pipe or follows a symbolic link.
FileText ReadPrivateFile(const std::string& path) {
    FileText read;
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        read.ok = errno == ENOENT;
        if (!read.ok) {
            read.failure = SystemReason("cannot open " + path);
        }
        return read;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        read.failure = SystemReason("cannot examine " + path);
        return read;
    }
    if (!S_ISREG(info.st_mode)) {
        read.failure = path + " is not a regular file";
        return read;
    }
    if (info.st_uid != ::geteuid()) {
        read.failure = path + " belongs to another user";
        return read;
    }
    if (static_cast<std::size_t>(info.st_size) > CSecretFile::kMaxFileBytes) {
        read.failure = path + " is too large to be a file of passwords";
        return read;
    }
    if ((info.st_mode & 077) != 0) {
        if (::fchmod(fd.get(), 0600) != 0) {
            read.failure = SystemReason("cannot make " + path + " private");
            return read;
        }
        read.wasExposed = true;
    }
    char buffer[8192];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0) {
            read.failure = SystemReason("cannot read " + path);
            return read;
        }
        if (got == 0) {
            break;
        }
        read.text.append(buffer, static_cast<std::size_t>(got));
        if (read.text.size() > CSecretFile::kMaxFileBytes) {
            read.failure = path + " is too large to be a file of passwords";
            return read;
        }
    }
    read.ok = true;
    return read;
}

// Holds an exclusive lock on the folder of a file while it lives.
class FolderLock {
public:
    explicit FolderLock(const std::string& filePath) : m_fd(OpenFolder(filePath)) {
        if (m_fd.get() >= 0) {
            while (::flock(m_fd.get(), LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    bool Held() const { return m_fd.get() >= 0; }

private:
    static int OpenFolder(const std::string& filePath) {
        const std::size_t slash = filePath.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : filePath.substr(0, slash);
        return ::open(folder.empty() ? "/" : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }

    FileDescriptor m_fd;  // closing it releases the lock
};

}  // namespace

bool CSecretFile::IsValidName(std::string_view name) {
    if (name.empty() || name.size() > 64) {
        return false;
    }
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (!IsUnreserved(byte) || byte == '~') {
            return false;
        }
    }
    return true;
}

CSecretFile::Read CSecretFile::Lookup(std::string_view name) const {
    Read result;
    const FileText file = ReadPrivateFile(m_path);
    result.wasExposed = file.wasExposed;
    if (!file.ok) {
        result.failure = file.failure;
        return result;
    }
    for (const Line& line : ParseLines(file.text)) {
        if (line.damaged && line.damagedName == name) {
            result.failure = "the line of " + std::string(name) + " in " + m_path + " is damaged";
        } else if (!line.damaged && line.name == name) {
            result.found = true;
            result.secret = line.value;
            result.failure.clear();
        }
    }
    return result;
}

CSecretFile::Written CSecretFile::Save(std::string_view name, std::string_view secret) const {
    const std::string value(secret);
    return Change(name, &value);
}

CSecretFile::Written CSecretFile::Remove(std::string_view name) const {
    return Change(name, nullptr);
}

CSecretFile::Written CSecretFile::Change(std::string_view name, const std::string* secret) const {
    Written result;
    if (!IsValidName(name)) {
        result.failure = "not a name for a secret: " + std::string(name);
        return result;
    }
    const FolderLock lock(m_path);
    if (!lock.Held()) {
        result.failure = SystemReason("cannot lock the folder of " + m_path);
        return result;
    }
    const FileText file = ReadPrivateFile(m_path);
    result.wasExposed = file.wasExposed;
    if (!file.ok) {
        result.failure = file.failure;  // written over, it would lose what it holds
        return result;
    }
    std::vector<Line> lines;
    for (Line& line : ParseLines(file.text)) {
        const bool ofName = line.damaged ? line.damagedName == name : line.name == name;
        if (!ofName) {
            lines.push_back(std::move(line));
        }
    }
    if (secret) {
        lines.push_back({std::string(name), *secret, false, ""});
    }
    if (lines.empty()) {
        result.ok = ::unlink(m_path.c_str()) == 0 || errno == ENOENT;
        if (!result.ok) {
            result.failure = SystemReason("cannot remove " + m_path);
        }
        return result;
    }
    result.ok = WriteFileAtomically(m_path, LinesText(lines), 0600);
    if (!result.ok) {
        result.failure = SystemReason("cannot write " + m_path);
    }
    return result;
}
