#include "platform/FileRemoval.h"

#include "platform/MountPoints.h"
#include "platform/Paths.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tessaly::fileops {

namespace {

// Deeper trees than this are left in place (and reported) rather than risk
// running out of descriptors.
constexpr std::size_t kMaxDepth = 400;

struct Frame {
    DIR* dir;
    std::string name; // name in the parent folder
};

void note(std::string* error, const std::string& what) {
    if (error && error->empty())
        *error = what + ": " + std::strerror(errno);
}

bool isDirAt(int dirFd, const struct dirent* e) {
    if (e->d_type != DT_UNKNOWN)
        return e->d_type == DT_DIR;
    struct stat st {};
    return ::fstatat(dirFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

DIR* openChildDir(int parentFd, const char* name) {
    int fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    DIR* d = ::fdopendir(fd);
    if (!d)
        ::close(fd);
    return d;
}

// Whether a failed lookup proves that nothing is there.
bool absentError(int error) {
    return error == ENOENT || error == ENOTDIR;
}

bool absentAt(int parentFd, const char* name) {
    struct stat st {};
    return ::fstatat(parentFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 && absentError(errno);
}

bool removeEntry(int parentFd, const std::string& name, const std::string& shown,
                 std::string* error, const std::function<bool()>& cancelled);

} // namespace

bool itemExists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 || !absentError(errno);
}

bool removeItem(const std::string& path, std::string* error,
                const std::function<bool()>& cancelled) {
    if (error)
        error->clear();
    std::string clean = path;
    while (clean.size() > 1 && clean.back() == '/')
        clean.pop_back();
    std::string parent = paths::deletingLastComponent(clean);
    std::string name = paths::lastComponent(clean);
    if (parent.empty())
        parent = ".";
    if (name.empty() || name == "/" || name == "." || name == "..") {
        errno = EINVAL;
        note(error, "refusing to remove " + path);
        return false;
    }
    int parentFd = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parentFd < 0) {
        if (absentError(errno))
            return true; // nothing there
        note(error, "cannot open " + parent);
        return !itemExists(clean);
    }
    bool gone = removeEntry(parentFd, name, clean, error, cancelled);
    ::close(parentFd);
    return gone;
}

bool removeItemAt(int parentFd, const std::string& name, std::string* error,
                  const std::function<bool()>& cancelled) {
    if (error)
        error->clear();
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
        errno = EINVAL;
        note(error, "refusing to remove " + name);
        return false;
    }
    return removeEntry(parentFd, name, name, error, cancelled);
}

namespace {

// shown: how the item is named in *error.
bool removeEntry(int parentFd, const std::string& name, const std::string& shown,
                 std::string* error, const std::function<bool()>& cancelled) {
    struct stat st {};
    if (::fstatat(parentFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        bool gone = absentError(errno);
        if (!gone)
            note(error, "cannot read " + shown);
        return gone;
    }
    // Another file system mounted here (or a bind mount) is not part of the item.
    if (mounts::isMountRootAt(parentFd, name)) {
        errno = EXDEV;
        note(error, "a file system is mounted at " + shown);
        return false;
    }

    if (!S_ISDIR(st.st_mode)) {
        if (::unlinkat(parentFd, name.c_str(), 0) != 0 && errno != ENOENT)
            note(error, "cannot remove " + shown);
        return absentAt(parentFd, name.c_str());
    }

    std::vector<Frame> stack;
    DIR* rootDir = openChildDir(parentFd, name.c_str());
    if (!rootDir) {
        note(error, "cannot open " + shown);
        return absentAt(parentFd, name.c_str());
    }
    stack.push_back({rootDir, name});
    bool stopped = false;
    while (!stack.empty()) {
        if (cancelled && cancelled()) {
            stopped = true;
            break;
        }
        Frame& top = stack.back();
        int topFd = ::dirfd(top.dir);
        errno = 0;
        struct dirent* e = ::readdir(top.dir);
        if (!e) {
            std::string done = top.name;
            ::closedir(top.dir);
            stack.pop_back();
            int holder = stack.empty() ? parentFd : ::dirfd(stack.back().dir);
            if (::unlinkat(holder, done.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT)
                note(error, "cannot remove folder " + done);
            continue;
        }
        const char* n = e->d_name;
        if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0')))
            continue;
        if (isDirAt(topFd, e)) {
            if (stack.size() >= kMaxDepth) {
                errno = ELOOP;
                note(error, std::string("folder nesting too deep at ") + n);
                continue;
            }
            if (mounts::isMountRootAt(topFd, n)) {
                errno = EXDEV;
                note(error, std::string("a file system is mounted at ") + n);
                continue;
            }
            DIR* child = openChildDir(topFd, n);
            if (!child) {
                note(error, std::string("cannot open folder ") + n);
                continue;
            }
            stack.push_back({child, n});
        } else if (::unlinkat(topFd, n, 0) != 0 && errno != ENOENT) {
            note(error, std::string("cannot remove ") + n);
        }
    }
    for (auto& f : stack)
        ::closedir(f.dir);
    if (stopped && error && error->empty())
        *error = "stopped";
    return absentAt(parentFd, name.c_str());
}

} // namespace

} // namespace tessaly::fileops
