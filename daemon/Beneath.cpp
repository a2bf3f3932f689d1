#include "daemon/Beneath.h"

#include "platform/MountPoints.h"

#include <atomic>
#include <cerrno>
#include <cstring>
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

int viaOpenat2(int dirFd, const std::string& relative, int flags, mode_t mode, bool sameMount) {
    open_how how{};
    how.flags = static_cast<std::uint64_t>(flags);
    how.mode = (flags & (O_CREAT | O_TMPFILE)) ? mode : 0;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    if (sameMount)
        how.resolve |= RESOLVE_NO_XDEV;
    for (;;) {
        long fd = ::syscall(SYS_openat2, dirFd, relative.c_str(), &how, sizeof how);
        if (fd < 0 && errno == EINTR)
            continue;
        return static_cast<int>(fd);
    }
}

// One component beneath at, never a link; a mount root only when allowed.
int stepInto(int at, const std::string& name, int flags, mode_t mode, bool mayCross) {
    int fd = ::openat(at, name.c_str(), flags, mode);
    if (fd >= 0 && !mayCross && tessaly::mounts::isMountRootAt(fd, "")) {
        ::close(fd);
        errno = EXDEV;
        return -1;
    }
    return fd;
}

int viaWalk(int dirFd, const std::string& relative, int flags, mode_t mode, bool crossFirst) {
    std::vector<std::string> parts = split(relative);
    UniqueFd current;
    int at = dirFd;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        int next = stepInto(at, parts[i], O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC, 0,
                            crossFirst && i == 0);
        if (next < 0)
            return -1;
        current.reset(next);
        at = next;
    }
    return stepInto(at, parts.back(), flags, mode, crossFirst && parts.size() == 1);
}

int viaOpenat2Crossing(int dirFd, const std::string& relative, int flags, mode_t mode,
                       bool crossFirst) {
    if (!crossFirst)
        return viaOpenat2(dirFd, relative, flags, mode, true);
    // The volume itself may be a mount; nothing beneath it may.
    auto slash = relative.find('/');
    if (slash == std::string::npos)
        return viaOpenat2(dirFd, relative, flags, mode, false);
    UniqueFd volume(
        viaOpenat2(dirFd, relative.substr(0, slash), O_PATH | O_DIRECTORY | O_CLOEXEC, 0, false));
    if (!volume)
        return -1;
    return viaOpenat2(volume.get(), relative.substr(slash + 1), flags, mode, true);
}

UniqueFd resolve(int dirFd, const std::string& relative, int flags, mode_t mode, bool crossFirst) {
    if (!walkAlways && !noOpenat2) {
        int fd = viaOpenat2Crossing(dirFd, relative, flags, mode, crossFirst);
        if (fd >= 0 || errno != ENOSYS)
            return UniqueFd(fd);
        noOpenat2 = true; // an older kernel: walk from now on
    }
    return UniqueFd(viaWalk(dirFd, relative, flags, mode, crossFirst));
}

// Whether a folder on the way to a trusted one could have been put there, or
// changed, by someone other than root or the service's own user.
std::string untrusted(const struct stat& st, bool last, std::optional<uid_t> owner) {
    const uid_t self = ::geteuid();
    if (last && owner) {
        if (st.st_uid != *owner)
            return "it does not belong to its user";
        return {};
    }
    if (st.st_uid != 0 && st.st_uid != self)
        return "it belongs to user " + std::to_string(st.st_uid);
    if (!last && (st.st_mode & (S_IWGRP | S_IWOTH)) && !(st.st_mode & S_ISVTX))
        return "others may write to it";
    return {};
}

} // namespace

void useComponentWalk(bool always) {
    walkAlways = always;
}

UniqueFd openTrustedFolder(const std::string& absolute, std::string* why,
                           std::optional<uid_t> owner) {
    auto fail = [why](std::string reason) {
        if (why)
            *why = std::move(reason);
        return UniqueFd();
    };
    if (absolute.empty() || absolute[0] != '/')
        return fail("not an absolute path");
    std::vector<std::string> parts;
    for (const auto& p : split(absolute.substr(1)))
        if (!p.empty())
            parts.push_back(p);
    for (const auto& p : parts)
        if (p == "." || p == "..")
            return fail("a path with . or .. components");
    UniqueFd current(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    std::string walked = "/";
    for (std::size_t i = 0; i <= parts.size(); ++i) {
        struct stat st {};
        if (!current || ::fstat(current.get(), &st) != 0)
            return fail("cannot open " + walked + ": " + std::strerror(errno));
        std::string problem = untrusted(st, i == parts.size(), owner);
        if (!problem.empty())
            return fail(walked + ": " + problem);
        if (i == parts.size())
            break;
        current.reset(::openat(current.get(), parts[i].c_str(),
                               O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        walked += (i == 0 ? "" : "/") + parts[i];
    }
    // The same folder, now open for listing as well.
    UniqueFd folder(::openat(current.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder)
        return fail("cannot open " + walked + ": " + std::strerror(errno));
    return folder;
}

UniqueFd openBeneath(int dirFd, const std::string& relative, int flags, mode_t mode,
                     bool crossFirst) {
    if (!canonicalRelative(relative)) {
        errno = EINVAL;
        return UniqueFd();
    }
    return resolve(dirFd, relative, flags | O_NOFOLLOW | O_CLOEXEC, mode, crossFirst);
}

std::optional<ParentFolder> openParentBeneath(int dirFd, const std::string& relative,
                                              bool crossFirst) {
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
        parent.dir =
            openBeneath(dirFd, relative.substr(0, slash), O_RDONLY | O_DIRECTORY, 0, crossFirst);
        parent.name = relative.substr(slash + 1);
    }
    if (!parent.dir)
        return std::nullopt;
    return parent;
}

UniqueFd openRegularAt(int dirFd, const std::string& name, int flags) {
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
        errno = EINVAL;
        return UniqueFd();
    }
    UniqueFd look(::openat(dirFd, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (!look || ::fstat(look.get(), &st) != 0)
        return UniqueFd();
    if (S_ISLNK(st.st_mode)) {
        errno = ELOOP;
        return UniqueFd();
    }
    if (!S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return UniqueFd();
    }
    if (tessaly::mounts::isMountRootAt(look.get(), "")) {
        errno = EXDEV;
        return UniqueFd();
    }
    // Opened again through the descriptor itself, so the file is the one looked
    // at (the link in /proc is the descriptor's own and is followed on purpose).
    const int reopen = (flags & ~(O_CREAT | O_NOFOLLOW)) | O_CLOEXEC | O_NONBLOCK;
    std::string self = "/proc/self/fd/" + std::to_string(look.get());
    UniqueFd fd(::open(self.c_str(), reopen));
    if (!fd && errno == ENOENT) // no /proc here: open by name, then compare
        fd.reset(::openat(dirFd, name.c_str(), reopen | O_NOFOLLOW));
    struct stat again {};
    if (fd && (::fstat(fd.get(), &again) != 0 || again.st_dev != st.st_dev ||
               again.st_ino != st.st_ino)) {
        errno = EAGAIN;
        return UniqueFd();
    }
    return fd;
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
        UniqueFd next(stepInto(current.get(), part, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC,
                               0, false));
        if (!next && errno == ENOENT) {
            // Made private first, then handed to its owner; a folder that
            // someone else made meanwhile is used as it is.
            bool made = ::mkdirat(current.get(), name, 0700) == 0;
            if (!made && errno != EEXIST)
                return UniqueFd();
            next.reset(stepInto(current.get(), part,
                                O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC, 0, false));
            if (made && next &&
                (::fchown(next.get(), uid, gid) != 0 || ::fchmod(next.get(), 0755) != 0))
                return UniqueFd();
        }
        current = std::move(next);
    }
    return current;
}

} // namespace dorn
