#include "platform/AtomicFile.h"

#include "platform/QuietOpen.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaly {

namespace {

void setError(std::string* error, const std::string& what) {
    if (error)
        *error = what + ": " + std::strerror(errno);
}

bool writeAll(int fd, const void* bytes, std::size_t length) {
    auto p = static_cast<const char*>(bytes);
    while (length > 0) {
        ssize_t n = ::write(fd, p, length);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

// The owner and group a replacement is given; none: the writer's own.
struct Owner {
    uid_t uid;
    gid_t gid;
};

bool replaceFile(const std::string& path, const void* bytes, std::size_t length, std::string* error,
                 unsigned mode, std::optional<Owner> owner) {
    auto slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    std::string tmp = path + ".tmp-XXXXXX";
    std::vector<char> name(tmp.begin(), tmp.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd < 0) {
        setError(error, "cannot create temporary file in " + dir);
        return false;
    }
    bool ok = true;
    // The owner first: a change of owner clears the set-id bits the mode gives.
    if (owner && ::fchown(fd, owner->uid, owner->gid) != 0) {
        ok = false;
        setError(error, "cannot keep the owner of " + path);
    }
    if (ok && ::fchmod(fd, static_cast<mode_t>(mode)) != 0) {
        ok = false;
        setError(error, "cannot keep the mode of " + path);
    }
    if (ok && !(writeAll(fd, bytes, length) && ::fsync(fd) == 0)) {
        ok = false;
        setError(error, "cannot write " + std::string(name.data()));
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        setError(error, "cannot close " + std::string(name.data()));
    }
    if (ok && ::rename(name.data(), path.c_str()) != 0) {
        ok = false;
        setError(error, "cannot rename over " + path);
    }
    if (!ok) {
        ::unlink(name.data());
        return false;
    }
    int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

} // namespace

bool writeFileAtomically(const std::string& path, const void* bytes, std::size_t length,
                         std::string* error, unsigned mode) {
    return replaceFile(path, bytes, length, error, mode, std::nullopt);
}

bool rewriteFileAtomically(const std::string& path, const void* bytes, std::size_t length,
                           std::string* error, unsigned newMode) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return replaceFile(path, bytes, length, error, newMode, std::nullopt);
    std::optional<Owner> owner;
    if (st.st_uid != ::geteuid() || st.st_gid != ::getegid())
        owner = Owner{st.st_uid, st.st_gid};
    return replaceFile(path, bytes, length, error, st.st_mode & 07777, owner);
}

std::optional<std::vector<std::uint8_t>> readWholeFile(const std::string& path,
                                                       std::size_t maxBytes) {
    // O_NONBLOCK: a pipe in a file's place never holds the reader up.
    int fd = fileops::openQuietly(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<std::uint64_t>(st.st_size) > maxBytes) {
        ::close(fd);
        return std::nullopt;
    }
    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(st.st_size));
    std::uint8_t buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        if (out.size() + static_cast<std::size_t>(n) > maxBytes) {
            ::close(fd);
            return std::nullopt;
        }
        out.insert(out.end(), buf, buf + n);
    }
    ::close(fd);
    return out;
}

} // namespace tessaly
