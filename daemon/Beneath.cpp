#include "daemon/Beneath.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace dorn {

namespace {

std::atomic<bool> walkAlways{false};
std::atomic<bool> noOpenat2{false};

std::vector<std::string> split(const std::string& relative) {
    std::vector<std::string> parts;
    std::size_t i = 0;
    while (i <= relative.size()) {
        std::size_t j = relative.find('/', i);
        if (j == std::string::npos)
            j = relative.size();
        parts.push_back(relative.substr(i, j - i));
        i = j + 1;
    }
    return parts;
}

bool canonicalRelative(const std::string& relative) {
    if (relative.empty())
        return false;
    for (const auto& part : split(relative))
        if (part.empty() || part == "." || part == "..")
            return false;
    return true;
}

int viaOpenat2(int dirFd, const std::string& relative, int flags, mode_t mode) {
    open_how how{};
    how.flags = static_cast<std::uint64_t>(flags);
    how.mode = (flags & (O_CREAT | O_TMPFILE)) ? mode : 0;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    for (;;) {
        long fd = ::syscall(SYS_openat2, dirFd, relative.c_str(), &how, sizeof how);
        if (fd < 0 && errno == EINTR)
            continue;
        return static_cast<int>(fd);
    }
}

int viaWalk(int dirFd, const std::string& relative, int flags, mode_t mode) {
    std::vector<std::string> parts = split(relative);
    UniqueFd current;
    int at = dirFd;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        int next = ::openat(at, parts[i].c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0)
            return -1;
        current.reset(next);
        at = next;
    }
    return ::openat(at, parts.back().c_str(), flags, mode);
}

} // namespace

void useComponentWalk(bool always) {
    walkAlways = always;
}

UniqueFd openFolder(const std::string& absolute) {
    return UniqueFd(::open(absolute.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

UniqueFd openBeneath(int dirFd, const std::string& relative, int flags, mode_t mode) {
    if (!canonicalRelative(relative)) {
        errno = EINVAL;
        return UniqueFd();
    }
    flags |= O_NOFOLLOW | O_CLOEXEC;
    if (!walkAlways && !noOpenat2) {
        int fd = viaOpenat2(dirFd, relative, flags, mode);
        if (fd >= 0 || errno != ENOSYS)
            return UniqueFd(fd);
        noOpenat2 = true; // an older kernel: walk from now on
    }
    return UniqueFd(viaWalk(dirFd, relative, flags, mode));
}

std::optional<ParentFolder> openParentBeneath(int dirFd, const std::string& relative) {
    if (!canonicalRelative(relative)) {
        errno = EINVAL;
        return std::nullopt;
    }
    auto slash = relative.find_last_of('/');
    ParentFolder parent;
    if (slash == std::string::npos) {
        parent.dir = UniqueFd(::fcntl(dirFd, F_DUPFD_CLOEXEC, 0));
        parent.name = relative;
    } else {
        parent.dir = openBeneath(dirFd, relative.substr(0, slash), O_RDONLY | O_DIRECTORY);
        parent.name = relative.substr(slash + 1);
    }
    if (!parent.dir)
        return std::nullopt;
    return parent;
}

UniqueFd makeFoldersBeneath(int dirFd, const std::string& relative, uid_t uid, gid_t gid) {
    if (!canonicalRelative(relative)) {
        errno = EINVAL;
        return UniqueFd();
    }
    UniqueFd current(::fcntl(dirFd, F_DUPFD_CLOEXEC, 0));
    for (const auto& part : split(relative)) {
        if (!current)
            return current;
        const char* name = part.c_str();
        UniqueFd next(
            ::openat(current.get(), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next && errno == ENOENT) {
            // Made private first, then handed to its owner; a folder that
            // someone else made meanwhile is used as it is.
            bool made = ::mkdirat(current.get(), name, 0700) == 0;
            if (!made && errno != EEXIST)
                return UniqueFd();
            next.reset(
                ::openat(current.get(), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (made && next &&
                (::fchown(next.get(), uid, gid) != 0 || ::fchmod(next.get(), 0755) != 0))
                return UniqueFd();
        }
        current = std::move(next);
    }
    return current;
}

} // namespace dorn
